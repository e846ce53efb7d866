#include "app/SheetPressCall.h"

namespace MainForm {

std::string QuoteForShell(std::string_view Text) {
  std::string quoted = "'";
  for (const char c : Text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

std::string SheetPressCommandLine(std::string_view SheetPressFile, std::string_view TaskFile) {
  return QuoteForShell(SheetPressFile) + " " + QuoteForShell(TaskFile);
}

}  // namespace MainForm
