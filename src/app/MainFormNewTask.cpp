// Enter: the operator types a page or edits the latest task file, saves it as a task text
// file, and SheetPress renders it.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QTextDocument>

#include "app/MainForm.h"
#include "app/NewTaskFrom.h"
#include "app/SheetPressCall.h"
#include "app/TaskFiles.h"
#include "pager/ReportParser.h"
#include "pager/VEKRecords.h"
#include "platform/qt/QtText.h"
#include "setup/SetupForm.h"
#include "support/BoundedRead.h"
#include "support/Counterparts.h"
#include "support/DosOutput.h"
#include "support/FileUtils.h"

namespace MainForm {

using platform::Q;
using platform::S;

using namespace Counterparts;

namespace {

constexpr const char* kSaveCancelled = "Save file was cancelled";

// The text box's text with its line breaks as "\n", every other character as typed
// (toPlainText would turn a non-breaking space into a blank).
std::string DialogText(const QPlainTextEdit* Memo) {
  QString text = Memo->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return S(text);
}

// Anything but a folder under that name, a link too (dangling or not): saving replaces it.
bool EntryExists(const std::string& Name) {
  struct stat st {};
  return ::lstat(Name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

void TfrmMain::Button4Click() {
  DropErrors([&] {
    const std::optional<std::string> seed = TaskFileToSeed(ProgramFolder());
    if (!seed) return;
    if (!isVisible()) return;
    if (!NewTaskFrom::frmNewTask) throw std::logic_error("the task dialog has not been created");
    NewTaskFrom::TfrmNewTask& dialog = *NewTaskFrom::frmNewTask;

    if (SetupForm::frmSetup) SetupForm::frmSetup->RefreshSetupForm();
    const TShowAgain shownAgain = HideForDialog();

    // The file lies in the shared folder: a link, a FIFO or a device there reads as an
    // empty page, and a file no page could fill is said so.
    const brix32::tBoundedRead seedText = brix32::ReadBoundedFile(*seed, kTaskFileLimit, brix32::tLinkRule::Refuse);
    if (seedText.Status == brix32::tReadStatus::TooLarge)
      Dialogs().ShowMessage("The task file " + *seed + " " + brix32::ReadProblemText(seedText) +
                            " and was not loaded.");
    dialog.SetTaskText(Q(seedText.Data));
    if (dialog.exec() == QDialog::Accepted) SaveTaskText(TaskFileText(DialogText(dialog.memText)));
    show();
    QCoreApplication::processEvents();
  });
}

void TfrmMain::SaveTaskText(const std::string& Text) {
  platform::Dialogs& dialogs = Dialogs();
  const std::string folder = ProgramFolder();
  // The page is parsed only for the name it proposes; an incomplete page proposes none.
  const VEKLib::tTaskRec task = VEKLib::ParseRawTextToTask(Text, std::string("TfrmMain.Button4Click:") + "0");

  platform::tSaveDialogParams params;
  params.Title = "Save your text file";
  params.InitialDir = folder;
  params.FileName = VEKLib::TaskFileName(task, "TXT", false);
  params.Filter = "Task file|TASK-*.txt";
  params.DefaultExt = "txt";
  params.FilterIndex = 1;
  const std::optional<std::string> chosen = dialogs.SaveFile(params);
  if (!chosen) {
    dialogs.ShowMessage(kSaveCancelled);
    return;
  }
  if (EntryExists(*chosen) &&
      dialogs.MessageDlg("File aleady exists. Do you want to overwrite it?", platform::tMsgDlgType::mtInformation,
                         {platform::tMsgDlgBtn::mbYes, platform::tMsgDlgBtn::mbNo}) != platform::tModalResult::mrYes) {
    dialogs.ShowMessage(kSaveCancelled);
    return;
  }

  // An empty text is not written, yet it goes on to SheetPress like any other. A file
  // that could not be written is said so, and SheetPress would only print what an
  // older file of that name holds. A new file replaces the old one whole, or not at all,
  // and replaces a link of that name rather than writing where it points.
  if (brix32::WriteTextFileAtomic(Text, *chosen) == -5) {
    dialogs.ShowMessage("Could not save to " + *chosen);
    return;
  }
  if (ServiceFileExists(kSheetPressExeName)) {
    // Output collected until SheetPress ends (or the time limit), and not used.
    brix32::GetDosOutput(SheetPressCommandLine(ServiceFile(kSheetPressExeName), *chosen), true, folder);
  }
  dialogs.ShowMessage("Saved to" + *chosen);
}

}  // namespace MainForm
