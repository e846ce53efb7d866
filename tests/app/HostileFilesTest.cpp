// Service files planted in the program folder by another account: the window's reactions
// and refreshes neither block nor grow, keep no descriptor, and show nothing of what lies
// outside the folder.
#include <filesystem>

#include "AppFixture.h"
#include "Controls.h"
#include "Hostile.h"
#include "platform/qt/QtText.h"

using namespace MainForm;
using apptest::MainFormTest;
using corvantest::Control;
using corvantest::tPlanted;
using platform::S;

TEST_F(MainFormTest, PlantedServiceFilesNeitherBlockNorLeakNorShowWhatLiesOutside) {
  WriteSettings();
  corvantest::TempFolder outside;
  outside.write("secret", "SECRET from outside");
  auto form = Start();
  Settle();
  const char* events[] = {"CORVANSRVC-TARNEX-HEARTBEAT.TXT", "CORVANSRVC-SERIAL-HEARTBEAT.TXT", "CORVANSRVC-MSG.TXT"};
  const char* refreshed[] = {"CorvanSrvc-Status.txt", "CorvanSrvc-Version.txt", "CORVANSRVC-GOING.JPG"};
  const int descriptors = corvantest::OpenDescriptorCount();

  for (const tPlanted kind : corvantest::kEveryPlanted) {
    const std::string target = kind == tPlanted::DanglingLink ? outside.file("none") : outside.file("secret");
    std::vector<std::string> fifos;
    for (const char* name : events) Plant(kind, dir.file(name), target);
    for (const char* name : refreshed) Plant(kind, dir.file(name), target);
    if (kind == tPlanted::Fifo)
      for (const char* name : events) fifos.push_back(dir.file(name));
    {
      const corvantest::AddressSpaceBound bound;
      corvantest::FifoRescue rescue(fifos);
      for (const char* name : events) form->ServiceWatcher->DirMonitorChange(nullptr, components::faADDED, name);
      ASSERT_TRUE(WaitFor([&] { return form->ServiceWatcher->Idle(); }, 30000));
      form->RefreshForms();
      EXPECT_FALSE(rescue.Needed()) << "a " << PlantedName(kind) << " blocked the window";
    }
    const std::string shown =
        MemoText(*form) + form->TrayIcon->Hint() + S(Control<QLabel>(*form, "lblServiceVersion")->text());
    EXPECT_EQ(shown.find("SECRET"), std::string::npos) << PlantedName(kind) << ": " << shown;
    EXPECT_LT(shown.size(), 1000u) << PlantedName(kind);

    for (const char* name : events) std::filesystem::remove(dir.file(name));
    for (const char* name : refreshed) std::filesystem::remove(dir.file(name));
    Settle();  // the notifications of the planting, handled too
  }
  EXPECT_EQ(corvantest::OpenDescriptorCount(), descriptors);
  EXPECT_EQ(outside.read("secret"), "SECRET from outside");
}
