#pragma once
// The one command line this program hands to /bin/sh: SheetPress with a task file.
#include <string>
#include <string_view>

namespace MainForm {

// Text as one word for /bin/sh: inside single quotes nothing is special, so only the
// single quote itself needs care (closed, escaped, reopened). Whatever the text holds
// (quotes, $, backticks, semicolons, line ends), the shell reads it back unchanged and
// runs none of it.
std::string QuoteForShell(std::string_view Text);

// SheetPress run by its full name with the task file as its only argument.
std::string SheetPressCommandLine(std::string_view SheetPressFile, std::string_view TaskFile);

}  // namespace MainForm
