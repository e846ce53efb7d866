// The hostile-folder table of the control panel: each file it may read or write, replaced
// in turn by each thing another account can plant there, and the panel (offscreen, in
// this process) living through it: its start-up, the planted entry appearing again while
// it watches the folder, a status refresh, and its commands (Setup and OK, About, Enter
// with the task saved, the broadcast test). Nothing may block (a FIFO is let go after
// 20 s and the row fails), the panel grows by at most its memory cap, holds the same
// descriptors after the planted file's events and commands as before them and none
// after it ends, and nothing outside the folder changes.
#include <sys/stat.h>

#include <QApplication>
#include <QTimer>
#include <cstring>
#include <filesystem>

#include "CommandsFixture.h"
#include "Controls.h"
#include "HostileFolder.h"
#include "PeakMemory.h"
#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"

using namespace corvantest;
using apptest::CommandsTest;

namespace {

// The panel's growth while it lives through a row: under 1 MB for every row here, and on
// a clean folder (after the warm-up).
constexpr std::size_t kMemoryCap = 16u << 20;
constexpr int kEventLimitMs = 30000;

// Presses on as an operator would: Yes or OK, the unit STT at a fresh install, the task
// saved under the test page's task file name. Keeps what the panel said.
class TPressingOn : public platform::Dialogs {
 public:
  void ShowMessage(const std::string& Text) override { said += Text + "\n"; }
  platform::tModalResult MessageDlg(const std::string& Text, platform::tMsgDlgType,
                                    const platform::tMsgDlgButtons& Buttons) override {
    said += Text + "\n";
    for (const platform::tMsgDlgBtn b : Buttons)
      if (b == platform::tMsgDlgBtn::mbYes) return platform::tModalResult::mrYes;
    return platform::tModalResult::mrOk;
  }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override { return "STT"; }
  std::optional<std::vector<std::string>> OpenFiles(const platform::tOpenDialogParams&) override {
    return std::nullopt;
  }
  std::optional<std::string> SaveFile(const platform::tSaveDialogParams& Params) override {
    return Params.InitialDir + TaskFile;
  }
  std::optional<std::string> SelectDirectory(const std::string&, const std::string&) override { return std::nullopt; }
  void ShowException(const std::string& Message) override { said += Message + "\n"; }
  void SetCursor(platform::tCursor) override {}

  std::string TaskFile;
  std::string said;
};

constexpr const char* kLockWhat = "single-instance lock";

// The folder's files, and the single-instance lock in the runtime folder.
std::vector<tFolderFile> PanelFiles(brix32::TDateTime Now) {
  std::vector<tFolderFile> files = FolderFiles(Now, "CorvanControl");
  files.push_back({"corvancontrol", kLockWhat});
  return files;
}

class PanelHostileFolder : public CommandsTest {
 protected:
  void SetUp() override {
    CommandsTest::SetUp();
    WriteSettings([] {
      Lib::gCorvanSettings.MainUnit = "STT";
      Lib::gVEKSettings.WWWHost = "127.0.0.1";  // nothing answers there
    });
    WriteServiceFiles(dir);
    files = PanelFiles(clock.now());
    answers.TaskFile = TaskFile();
    dialogsPort = &answers;
    // Enter edits the latest task file: one is there unless it is the planted one.
    dir.write(TaskFile(), TestPageText(clock.now()));
    // What the panel's first life in a process sets up once and keeps (fonts, plug-ins,
    // caches, a descriptor) is not counted against a row.
    static bool warmedUp = false;
    if (!warmedUp) {
      warmedUp = true;
      warmingUp_ = true;
      LiveThrough("warm-up", "");
      warmingUp_ = false;
    }
  }

  std::string TaskFile() const { return NameOf(files, "task file"); }

  // Runs `Command`, pressing OK in every dialog it opens; one that keeps refusing its OK is
  // cancelled in the end.
  void PressingOK(const std::function<void()>& Command) {
    int presses = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (++presses > 50)
        apptest::Reject(modal);
      else if (modal == setup.get())
        Control<QPushButton>(*setup, "cmdOK")->click();
      else if (modal == advanced.get())
        Control<QPushButton>(*advanced, "cmdOK")->click();
      else
        apptest::Accept(modal);
    });
    poll.start(10);
    Command();
  }

  // A heartbeat written as the service writes it, and the panel showing it: every event
  // notified before it has been handled. The UDP one, unless that is the planted file.
  bool HeartbeatShown(MainForm::TfrmMain& form, const std::string& Planted, const std::string& Text) {
    const bool udpPlanted = Planted == "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT";
    dir.write(udpPlanted ? "CORVANSRVC-SERIAL-HEARTBEAT.TXT" : "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", Text);
    const std::string shown = (udpPlanted ? "COM:" : "UDP:") + Text;
    return WaitFor([&] { return MemoText(form) == shown; }, kEventLimitMs);
  }

  // The panel's life on the folder as it is; `Path` is planted again (as `Kind`) while
  // the panel watches the folder when it lies there. `Where` names the row in failures.
  void LiveThrough(const std::string& Where, const std::string& Path, tPlanted Kind = tPlanted::Fifo,
                   const std::string& Planted = "") {
    const int descriptorsBefore = OpenDescriptorCount();
    const PeakMemoryGrowth growth;
    {
      const AddressSpaceBound bound;
      FifoRescue rescue(!Path.empty() && Kind == tPlanted::Fifo ? std::vector<std::string>{Path}
                                                                : std::vector<std::string>{});
      auto form = StartWithDialogs();
      form->TrayIconClick(nullptr);
      ASSERT_TRUE(HeartbeatShown(*form, Planted, "FIRST")) << Where << ": " << MemoText(*form);
      const int descriptorsRunning = OpenDescriptorCount();

      if (!Path.empty() && Path.starts_with(dir.path())) {
        std::filesystem::remove_all(Path);
        outside.PlantAt(Kind, Path);
      }
      EXPECT_TRUE(HeartbeatShown(*form, Planted, "LAST")) << Where << ": " << MemoText(*form);
      form->RefreshForms();

      PressingOK([&] { Control<QPushButton>(*form, "cmdSetup")->click(); });
      PressingOK([&] { Control<QPushButton>(*form, "Button3")->click(); });  // About
      PressingOK([&] { Control<QPushButton>(*form, "Button4")->click(); });  // Enter
      PressingOK([&] { advanced->Button4Click(); });                         // the broadcast test

      shownAtEnd = MemoText(*form) + "\n" + form->TrayIcon->Hint();
      for (const char* label : {"lblServiceVersion", "lblStatus", "lblConnectedTo"})
        shownAtEnd += "\n" + platform::S(Control<QLabel>(*form, label)->text());
      EXPECT_EQ(shownAtEnd.find(OutsideFolder::kSecret), std::string::npos) << Where << ": " << shownAtEnd;
      EXPECT_EQ(answers.said.find(OutsideFolder::kSecret), std::string::npos) << Where << ": " << answers.said;
      EXPECT_EQ(OpenDescriptorCount(), descriptorsRunning) << Where << ": descriptors while running";
      form.reset();
      EndDialogs();
      EXPECT_FALSE(rescue.Needed()) << Where << ": a FIFO held the panel";
    }
    EXPECT_EQ(outside.Changes(), "") << Where;
    if (warmingUp_) return;
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore) << Where << ": descriptors once ended";
    if (PeakMemoryGrowth::Meaningful()) {
      EXPECT_LE(growth.Bytes(), kMemoryCap) << Where;
    }
  }

  std::vector<tFolderFile> files;
  // What the window showed at the end of the last life: texts of the folder's files.
  std::string shownAtEnd;
  TPressingOn answers;
  OutsideFolder outside;

 private:
  bool warmingUp_ = false;
};

class PanelHostileFolderTable : public PanelHostileFolder, public ::testing::WithParamInterface<tHostileRow> {};

}  // namespace

// The table's own check: on the folder as the service keeps it, the panel does its work,
// reading and writing the files the rows replace.
TEST_F(PanelHostileFolder, AFolderWithoutPlantedFilesPassesTheSameChecks) {
  LiveThrough("clean folder", "");
  EXPECT_NE(answers.said.find("Saved to" + dir.file(TaskFile())), std::string::npos) << answers.said;
  EXPECT_TRUE(dir.exists(NameOf(files, "event log")));
  EXPECT_TRUE(dir.exists(NameOf(files, "exception report")));  // the host did not answer About
  EXPECT_EQ(dir.read(TaskFile()), TestPageText(clock.now()));
  EXPECT_NE(shownAtEnd.find("Service Version: 3.1.0.12"), std::string::npos) << shownAtEnd;
  EXPECT_NE(shownAtEnd.find("Service status: waiting for pages"), std::string::npos) << shownAtEnd;
  EXPECT_NE(answers.said.find("Incident 9000 for STT was broadcast"), std::string::npos) << answers.said;
}

TEST_P(PanelHostileFolderTable, ThePanelLivesThroughItSmallAndWritesNothingOutside) {
  const tFolderFile& file = files[GetParam().File];
  const tPlanted kind = GetParam().Kind;
  const std::string where = std::string(file.What) + " (" + file.Name + ") as a " + PlantedName(kind);
  const std::string path = std::strcmp(file.What, kLockWhat) == 0 ? runtime.file(file.Name) : dir.file(file.Name);
  std::filesystem::remove(path);
  outside.PlantAt(kind, path);
  struct stat planted {};
  ASSERT_EQ(::lstat(path.c_str(), &planted), 0);

  LiveThrough(where, path, kind, file.Name);

  ExpectSettingsFileKept(file.Name, kind, path, planted, where);
}

INSTANTIATE_TEST_SUITE_P(, PanelHostileFolderTable, ::testing::ValuesIn(HostileRows(PanelFiles(0))), HostileRowName);
