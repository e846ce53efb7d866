// Service files planted in the program folder by another account: status, settings set,
// watch and broadcast-test end in time, stay small, and neither print nor send nor write
// anything outside the folder.
#include <sys/stat.h>

#include <filesystem>

#include "CtlFixture.h"
#include "Hostile.h"
#include "UdpListener.h"
#include "settings/CorvanSettings.h"

using namespace corvantest;

namespace {

class CtlHostileFilesTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    EditSettings([] { Lib::gCorvanSettings.MainUnit = "STT"; });
    outside.write("secret", "SECRET from outside");
  }

  // corvanctl with its address space bounded, so that a read without end fails soon.
  CtlResult BoundedCtl(const std::vector<std::string>& Args) const {
    std::vector<std::string> args = {"-c", BoundedAddressSpaceCommand(), kCorvanCtl, "--folder", dir.path()};
    args.insert(args.end(), Args.begin(), Args.end());
    return RunResult("/bin/sh", args);
  }

  TempFolder outside;
};

}  // namespace

TEST_F(CtlHostileFilesTest, StatusAndSettingsSetEndWhateverLiesUnderTheServiceNames) {
  const char* names[] = {"CORVANSRVC-TARNEX-HEARTBEAT.TXT", "CORVANSRVC-MSG.TXT", "CorvanSrvc-Version.txt"};
  for (const tPlanted kind : kEveryPlanted) {
    const std::string target = kind == tPlanted::DanglingLink ? outside.file("none") : outside.file("secret");
    for (const char* name : names) Plant(kind, dir.file(name), target);

    const CtlResult status = BoundedCtl({"status"});
    EXPECT_EQ(status.status, 0) << PlantedName(kind) << ": " << status.err;
    EXPECT_EQ(status.out.find("SECRET"), std::string::npos) << PlantedName(kind) << ": " << status.out;
    EXPECT_EQ(ValueOf(status.out, "ServiceVersion"), "") << PlantedName(kind);
    const CtlResult set = BoundedCtl({"settings", "set", "UDPListenPort", "0"});
    EXPECT_EQ(set.status, 0) << PlantedName(kind) << ": " << set.err;

    for (const char* name : names) std::filesystem::remove(dir.file(name));
  }
  EXPECT_EQ(outside.read("secret"), "SECRET from outside");
}

TEST_F(CtlHostileFilesTest, WatchGoesOnPastAFifo) {
  SimProcess watch(kCorvanCtl, {"--folder", dir.path(), "watch"});
  // Ready once its whole line on standard error is there.
  watch.waitForError("(Ctrl-C to stop)\n", std::chrono::seconds(30));
  ASSERT_NE(watch.err().find("watching"), std::string::npos) << watch.err();
  Plant(tPlanted::Fifo, dir.file("CORVANSRVC-TARNEX-HEARTBEAT.TXT"), "");
  dir.write("CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "AFTER");
  EXPECT_TRUE(watch.waitForOutput("Heartbeat=UDP:AFTER\n")) << watch.out();
  EXPECT_EQ(watch.stop(), 0);
}

// The dummy page is broadcast: through a link it would send any file the caller can read,
// and its creation would create a dangling link's target.
TEST_F(CtlHostileFilesTest, BroadcastTestNeitherSendsNorCreatesThroughAPlantedDummyPage) {
  UdpListener pages(15167);
  for (const tPlanted kind : {tPlanted::LinkOut, tPlanted::DanglingLink, tPlanted::Fifo, tPlanted::DevZeroLink}) {
    Plant(kind, dir.file("DummyPage.txt"), kind == tPlanted::LinkOut ? outside.file("secret") : outside.file("none"));
    const CtlResult r = BoundedCtl({"broadcast-test"});
    EXPECT_EQ(r.status, 1) << PlantedName(kind);
    EXPECT_EQ(r.err, "corvanctl: Oops! Spoke too soon. " + dir.file("DummyPage.txt") + " is missing!\n");
    std::filesystem::remove(dir.file("DummyPage.txt"));
  }
  EXPECT_TRUE(pages.receive(1, std::chrono::milliseconds(500)).empty());
  EXPECT_FALSE(outside.exists("none"));
  EXPECT_EQ(outside.read("secret"), "SECRET from outside");
}
