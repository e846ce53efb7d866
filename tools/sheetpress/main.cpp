// SheetPress stand-in: renders a task text file as a one-page PDF task sheet beside it,
// so that the control panel's task-sheet command has something to open.
//
//   SheetPress.exe TASKFILE
#include <sys/stat.h>

#include <string>

#include "SimCommon.h"
#include "TaskSheetPdf.h"
#include "support/DateTime.h"
#include "support/FileUtils.h"
#include "support/TextUtils.h"

namespace {

constexpr const char* kUsage = "usage: SheetPress.exe TASKFILE  (writes TASK-<name>.PDF beside it)";

int Run(int argc, char** argv) {
  using simcommon::Complain;
  if (argc != 2 || std::string(argv[1]).empty() || std::string(argv[1]).rfind("--", 0) == 0)
    throw simcommon::UsageError("expects exactly one task file name");

  const std::string taskFile = argv[1];
  struct stat st {};
  if (::stat(taskFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    Complain("no task file \"" + taskFile + "\"");
    return simcommon::kExitCannotStart;
  }
  std::string text;
  brix32::FileToBin(taskFile, text);

  sheetpress::tTaskSheet sheet;
  sheet.Title = "TASK SHEET";
  sheet.Subtitle = {
      "Task file: " + brix32::ExtractFileName(taskFile),
      "Printed: " + brix32::FormatDateTime("dd/mm/yy hh:nn:ss", brix32::Now()) + " by the SheetPress stand-in"};
  sheet.Text = text.empty() ? std::string("(the task file is empty)") : text;

  const std::string pdfFile = sheetpress::TaskSheetFileName(taskFile);
  // Through a temporary file: a reader never sees half a sheet.
  if (brix32::WriteTextFileAtomic(sheetpress::BuildTaskSheetPdf(sheet), pdfFile) != 0) {
    Complain("cannot write \"" + pdfFile + "\"");
    return simcommon::kExitCannotStart;
  }
  simcommon::Say("wrote " + pdfFile);
  return simcommon::kExitStopped;
}

}  // namespace

int main(int argc, char** argv) {
  simcommon::SetProgramName("SheetPress");
  if (simcommon::HelpAsked(argc, argv)) return simcommon::PrintUsage(kUsage);
  try {
    return Run(argc, argv);
  } catch (const simcommon::UsageError& e) {
    simcommon::Complain(e.what());
    simcommon::Complain(kUsage);
    return simcommon::kExitBadArguments;
  }
}
