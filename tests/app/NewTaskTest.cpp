// Enter: the task dialog seeded from the task files of the program folder, the save
// dialog, the overwrite question, the file written, and SheetPress (the stand-in, or a
// recording fake) run with the saved file's name however that name is spelled.
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "CommandsFixture.h"
#include "Controls.h"
#include "Hostile.h"
#include "SamplePage.h"
#include "app/TaskFiles.h"
#include "platform/qt/QtText.h"

using namespace MainForm;
using apptest::CommandsTest;
using corvantest::Control;
using platform::S;
using platform::tDialogKind;
using platform::tModalResult;

namespace {

// The sample page of a tree-down task, as the service writes a task file: CR LF lines.
const std::string kPage = corvantest::TreeDownSamplePage("STT", "\r\n");

class NewTaskTest : public CommandsTest {
 protected:
  // The window shown, ready for Enter.
  void StartShown() {
    WriteSettings();
    form = StartWithDialogs();
    ShowForm(*form);
    dialogs.ClearCalls();
  }

  // Presses Enter; while the task dialog is open, `inDialog` runs and then the dialog
  // is closed with OK (or Cancel). What the dialog showed when it opened.
  std::string Enter(const std::function<void()>& inDialog = {}, bool ok = true) {
    std::string seeded;
    bool hidden = false;
    WhenModal([&](QWidget* modal) {
      EXPECT_EQ(modal, newTask.get());
      seeded = S(newTask->memText->toPlainText());
      hidden = !form->isVisible();
      if (inDialog) inDialog();
      (ok ? newTask->Button1 : newTask->Button2)->click();
    });
    Control<QPushButton>(*form, "Button4")->click();
    EXPECT_TRUE(hidden) << "the window stays hidden while the dialog is open";
    EXPECT_TRUE(form->isVisible());
    return seeded;
  }

  // A SheetPress that records its argument, under a name in another case.
  void FakeSheetPress() {
    dir.write("sheetpress.EXE",
              "#!/bin/sh\nprintf '%s' \"$1\" > sheetpress-ran.part && "
              "mv sheetpress-ran.part sheetpress-ran\n");
    std::filesystem::permissions(dir.file("sheetpress.EXE"), std::filesystem::perms::owner_all);
  }
  std::string SheetPressArgument() const {
    return dir.exists("sheetpress-ran") ? dir.read("sheetpress-ran") : std::string("(not run)");
  }

  std::unique_ptr<TfrmMain> form;
};

}  // namespace

TEST_F(NewTaskTest, NoTaskFileNoDialog) {
  dir.write("TASK-20220620-S9000.PDF", "a sheet");
  dir.write("NOTES.TXT", "not a task");
  StartShown();
  EXPECT_FALSE(OpensModal([&] { Control<QPushButton>(*form, "Button4")->click(); }));
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(dialogs.Calls().empty());
}

TEST_F(NewTaskTest, TheLastTaskFileInListingOrderSeedsTheDialog) {
  for (const char* name : {"TASK-20220620-S9000.TXT", "task-20220621-s9001.txt", "TASK-20220622-C0042.TXT"})
    dir.write(name, std::string("text of ") + name);
  dir.write("NOTES.TXT", "not a task");
  // The file system's own order (on tmpfs, newest first).
  std::string last;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().filename() != "NOTES.TXT") last = entry.path().filename().string();
  StartShown();
  Control<QLabel>(*form, "pnlClock")->setVisible(true);
  Control<QFrame>(*form, "pnlLogo")->setVisible(false);
  // Cancelled: nothing is written and nothing is said.
  EXPECT_EQ(Enter({}, false), "text of " + last);
  EXPECT_TRUE(dialogs.Calls().empty());
  EXPECT_TRUE(Control<QFrame>(*form, "pnlLogo")->isVisible());
  EXPECT_FALSE(Control<QLabel>(*form, "pnlClock")->isVisible());
}

TEST_F(NewTaskTest, SavedByteForByteUnderTheProposedNameAndRenderedBySheetPress) {
  dir.write("TASK-20220101-S0001.TXT", kPage);
  // A site's units: the page's unit makes it a VEK task.
  dir.write("VEKUnits.xml", corvantest::ReadTestData("tools/VEKUnits.xml"));
  std::filesystem::copy_file(CORVAN_SHEETPRESS_EXE, dir.file("SheetPress.exe"));
  StartShown();
  const std::string target = dir.file("TASK-20220620-S9000.TXT");
  dialogs.SaveChosen(target).Message();
  EXPECT_EQ(Enter(), corvantest::TreeDownSamplePage("STT", "\n"));

  ASSERT_EQ(dialogs.Calls().size(), 2u);
  const platform::tSaveDialogParams& save = dialogs.Calls()[0].Save;
  EXPECT_EQ(save.Title, "Save your text file");
  EXPECT_EQ(save.InitialDir, dir.path());
  EXPECT_EQ(save.FileName, "TASK-20220620-S9000.TXT");
  EXPECT_EQ(save.Filter, "Task file|TASK-*.txt");
  EXPECT_EQ(save.DefaultExt, "txt");
  EXPECT_EQ(save.FilterIndex, 1);
  EXPECT_EQ(dialogs.Calls()[1].Text, "Saved to" + target);
  EXPECT_EQ(dir.read("TASK-20220620-S9000.TXT"), kPage);
  // SheetPress had finished when the message came.
  EXPECT_TRUE(dir.exists("TASK-20220620-S9000.PDF"));
  EXPECT_EQ(dir.read("TASK-20220620-S9000.PDF").substr(0, 5), "%PDF-");
}

TEST_F(NewTaskTest, AnIncompletePageProposesNoNameAndTypedTextIsKept) {
  dir.write("TASK-1.TXT", "old");
  StartShown();
  const std::string target = dir.file("TASK-typed.TXT");
  dialogs.SaveChosen(target).Message();
  // Typed characters beyond ASCII (a non-breaking space and an e acute) stay one byte each.
  Enter([&] { newTask->memText->setPlainText(QString::fromLatin1("line one\nline\xA0two \xE9")); });
  ASSERT_EQ(dialogs.Calls().size(), 2u);
  EXPECT_EQ(dialogs.Calls()[0].Save.FileName, "");
  EXPECT_EQ(dir.read("TASK-typed.TXT"), "line one\r\nline\xA0two \xE9");
}

TEST_F(NewTaskTest, OverwriteOnlyOnYes) {
  const struct {
    tModalResult answer;
    const char* content;
    const char* message;
  } cases[] = {
      {tModalResult::mrNo, "old text", "Save file was cancelled"},
      {tModalResult::mrCancel, "old text", "Save file was cancelled"},
      {tModalResult::mrYes, "new text", "Saved to"},
  };
  dir.write("TASK-1.TXT", "seed");
  StartShown();
  const std::string target = dir.file("TASK-existing.TXT");
  for (const auto& c : cases) {
    dir.write("TASK-existing.TXT", "old text");
    dialogs.ClearCalls();
    dialogs.SaveChosen(target).Button(c.answer).Message();
    Enter([&] { newTask->memText->setPlainText("new text"); });
    ASSERT_EQ(dialogs.Calls().size(), 3u);
    const platform::tDialogCall& question = dialogs.Calls()[1];
    EXPECT_EQ(question.Text, "File aleady exists. Do you want to overwrite it?");
    EXPECT_EQ(question.DlgType, platform::tMsgDlgType::mtInformation);
    EXPECT_EQ(question.Buttons, (platform::tMsgDlgButtons{platform::tMsgDlgBtn::mbYes, platform::tMsgDlgBtn::mbNo}));
    EXPECT_EQ(dialogs.Calls()[2].Text.substr(0, std::string(c.message).size()), c.message);
    EXPECT_EQ(dir.read("TASK-existing.TXT"), c.content);
  }
}

TEST_F(NewTaskTest, CancellingTheSaveDialogWritesNothing) {
  dir.write("TASK-1.TXT", "seed");
  FakeSheetPress();
  StartShown();
  dialogs.Cancelled(tDialogKind::SaveFile).Message();
  Enter();
  ASSERT_EQ(dialogs.Calls().size(), 2u);
  EXPECT_EQ(dialogs.Calls()[1].Text, "Save file was cancelled");
  EXPECT_EQ(SheetPressArgument(), "(not run)");
}

TEST_F(NewTaskTest, AnEmptyTextIsNotWrittenYetSheetPressRunsAndSavedToIsShown) {
  dir.write("TASK-1.TXT", "seed");
  FakeSheetPress();
  StartShown();
  const std::string target = dir.file("TASK-empty.TXT");
  dialogs.SaveChosen(target).Message();
  Enter([&] { newTask->memText->clear(); });
  EXPECT_FALSE(dir.exists("TASK-empty.TXT"));
  EXPECT_EQ(SheetPressArgument(), target);
  ASSERT_EQ(dialogs.Calls().size(), 2u);
  EXPECT_EQ(dialogs.Calls()[1].Text, "Saved to" + target);
}

TEST_F(NewTaskTest, AFileThatCannotBeWrittenIsReportedAndNotPrinted) {
  dir.write("TASK-1.TXT", "seed");
  FakeSheetPress();
  StartShown();
  const std::string target = dir.file("no-such-folder/TASK-1.TXT");
  dialogs.SaveChosen(target).Message();
  Enter();
  ASSERT_EQ(dialogs.Calls().size(), 2u);
  EXPECT_EQ(dialogs.Calls()[1].Text, "Could not save to " + target);
  EXPECT_EQ(SheetPressArgument(), "(not run)");
}

TEST_F(NewTaskTest, HostileFileNamesReachSheetPressWholeAndRunNothingElse) {
  dir.write("TASK-1.TXT", kPage);
  std::filesystem::copy_file(CORVAN_SHEETPRESS_EXE, dir.file("SheetPress.exe"));
  StartShown();
  const char* names[] = {
      "TASK-it's.TXT",
      "TASK-\"quoted\".TXT",
      "TASK-$(touch ran1).TXT",
      "TASK-`touch ran2`.TXT",
      "TASK-a; touch ran3.TXT",
      "TASK-x\ntouch ran4\n.TXT",
      "TASK-$HOME & touch ran5 | cat.TXT",
      "TASK-'; touch ran6; '.TXT",
  };
  for (const std::string name : names) {
    dialogs.ClearCalls();
    dialogs.SaveChosen(dir.file(name)).Message();
    Enter();
    EXPECT_EQ(dir.read(name), kPage) << name;
    const std::string sheet = name.substr(0, name.size() - 4) + ".PDF";
    EXPECT_TRUE(dir.exists(sheet)) << "no sheet for " << name;
  }
  for (const char* marker : {"ran1", "ran2", "ran3", "ran4", "ran5", "ran6"})
    EXPECT_FALSE(dir.exists(marker)) << marker << " was run";
}

// The latest task file lies in the shared folder, where another account may have put a
// FIFO (which blocked the window for ever), a link to /dev/zero (read until memory ran
// out) or to a file elsewhere (its text offered for saving), or a file no page could fill.
TEST_F(NewTaskTest, TheSeedIsARegularFileOfAtMost64KBOrNothing) {
  corvantest::TempFolder outside;
  outside.write("secret", "SECRET from outside");
  StartShown();
  const std::string seed = dir.file("TASK-20260101-S0001.TXT");
  const std::string tooLarge = "The task file " + seed + " is larger than 64 KB and was not loaded.";
  using corvantest::tPlanted;
  const struct {
    std::function<void()> plant;
    std::string seeded;
    std::string message;
  } cases[] = {
      {[&] { Plant(tPlanted::Fifo, seed, ""); }, "", ""},
      {[&] { Plant(tPlanted::DevZeroLink, seed, ""); }, "", ""},
      {[&] { Plant(tPlanted::LinkOut, seed, outside.file("secret")); }, "", ""},
      {[&] { Plant(tPlanted::DanglingLink, seed, outside.file("none")); }, "", ""},
      {[&] { Plant(tPlanted::Huge, seed, ""); }, "", tooLarge},
      {[&] { dir.write("TASK-20260101-S0001.TXT", std::string(kTaskFileLimit + 1, 'x')); }, "", tooLarge},
      {[&] { dir.write("TASK-20260101-S0001.TXT", std::string(kTaskFileLimit, 'x')); },
       std::string(kTaskFileLimit, 'x'), ""},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(seed);
    c.plant();
    dialogs.ClearCalls();
    if (!c.message.empty()) dialogs.Message();
    const corvantest::AddressSpaceBound bound;
    corvantest::FifoRescue rescue({seed});
    EXPECT_EQ(Enter({}, false), c.seeded);
    EXPECT_FALSE(rescue.Needed()) << "the FIFO blocked the window";
    if (c.message.empty()) {
      EXPECT_TRUE(dialogs.Calls().empty());
    } else {
      ASSERT_EQ(dialogs.Calls().size(), 1u);
      EXPECT_EQ(dialogs.Calls()[0].Text, c.message);
    }
  }
  EXPECT_EQ(outside.read("secret"), "SECRET from outside");
}

// A link planted under the name the operator saves to is replaced by the task file; the
// file it pointed at, or would have created, stays as it was.
TEST_F(NewTaskTest, SavingReplacesALinkInsteadOfWritingWhereItPoints) {
  corvantest::TempFolder outside;
  outside.write("target", "outside");
  dir.write("TASK-1.TXT", kPage);
  ASSERT_EQ(::symlink(outside.file("target").c_str(), dir.file("TASK-link.TXT").c_str()), 0);
  ASSERT_EQ(::symlink(outside.file("created").c_str(), dir.file("TASK-dangling.TXT").c_str()), 0);
  StartShown();
  for (const char* name : {"TASK-link.TXT", "TASK-dangling.TXT"}) {
    dialogs.ClearCalls();
    dialogs.SaveChosen(dir.file(name)).Button(tModalResult::mrYes).Message();
    Enter();
    ASSERT_EQ(dialogs.Calls().size(), 3u) << name << ": the overwrite question is asked";
    EXPECT_EQ(dialogs.Calls()[2].Text, "Saved to" + dir.file(name));
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file(name))) << name;
    EXPECT_EQ(dir.read(name), kPage);
  }
  EXPECT_EQ(outside.read("target"), "outside");
  EXPECT_FALSE(outside.exists("created"));
}

// The disk fills up half way through the save (here: the file size limit). The old task
// file stays whole, no temporary file is left, and SheetPress prints nothing.
TEST_F(NewTaskTest, AFailedOverwriteKeepsTheOldFileWhole) {
  const std::string old(900, 'o');
  dir.write("TASK-1.TXT", old);
  FakeSheetPress();
  StartShown();
  dialogs.SaveChosen(dir.file("TASK-1.TXT")).Button(tModalResult::mrYes).Message();
  {
    const corvantest::FileSizeLimit diskFull(100);
    Enter([&] { newTask->memText->setPlainText(QString(2000, QLatin1Char('n'))); });
  }
  ASSERT_EQ(dialogs.Calls().size(), 3u);
  EXPECT_EQ(dialogs.Calls()[2].Text, "Could not save to " + dir.file("TASK-1.TXT"));
  EXPECT_EQ(dir.read("TASK-1.TXT"), old);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with("TASK-1.TXT.")) << entry.path();
  EXPECT_EQ(SheetPressArgument(), "(not run)");
}

TEST(NewTaskDialog, OnlyItsButtonsCloseIt) {
  NewTaskFrom::TfrmNewTask dialog;
  EXPECT_EQ(S(dialog.windowTitle()), "frmNewTask");
  EXPECT_EQ(dialog.memText->geometry(), QRect(12, 8, 373, 69));
  EXPECT_EQ(dialog.Button2->geometry(), QRect(284, 84, 49, 21));
  EXPECT_EQ(dialog.Button1->geometry(), QRect(340, 84, 45, 21));
  EXPECT_EQ(S(dialog.Button2->text()), "Cancel");
  EXPECT_EQ(S(dialog.Button1->text()), "OK");

  bool stillOpen = false;
  QTimer::singleShot(50, [&] {
    dialog.memText->setFocus();
    QTest::keyClicks(dialog.memText, "one");
    QTest::keyClick(dialog.memText, Qt::Key_Return);
    QTest::keyClicks(dialog.memText, "two");
    QTest::keyClick(dialog.memText, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    dialog.Button1->setFocus();
    QTest::keyClick(dialog.Button1, Qt::Key_Return);
    stillOpen = dialog.isVisible();
    dialog.Button2->click();
  });
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(S(dialog.memText->toPlainText()), "one\ntwo");
}
