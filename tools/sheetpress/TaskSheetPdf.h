#pragma once
// A one-page PDF task sheet, written without a PDF library: the page is plain text in
// the standard fonts, which every reader has built in.
#include <string>
#include <string_view>
#include <vector>

namespace sheetpress {

struct tTaskSheet {
  std::string Title;                  // large heading
  std::vector<std::string> Subtitle;  // small lines under the heading
  std::string Text;                   // the task file's text, 8-bit, any line ends
};

// The PDF file's bytes. Text bytes are taken as Windows-1252 (the task files' code
// page); lines are wrapped to the page, and what does not fit on the one page is cut
// with a closing note saying how many lines were left out.
std::string BuildTaskSheetPdf(const tTaskSheet& sheet);

// "TASK-" + the task file's name without its extension + ".PDF", in the task file's
// folder; a name that already begins with "TASK-" (any case) is not prefixed twice.
std::string TaskSheetFileName(std::string_view taskFileName);

}  // namespace sheetpress
