#pragma once
// The task text files in the program folder that the Enter command starts from.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace MainForm {

// The largest task file the dialog starts from. A task file holds one typed page, a few
// hundred bytes; this is far beyond any page and still lays out at once.
inline constexpr std::size_t kTaskFileLimit = 64 * 1024;

// "TASK-*.TXT" as Windows matches it: letters in either case.
bool IsTaskTextFileName(std::string_view Name);

// Full name of the entry whose text seeds the task dialog: the last "TASK-*.TXT" entry of
// Folder (ending with "/") in the order the file system lists them, of any kind; but the
// first one when that first one is a folder. Nothing when there is none.
std::optional<std::string> TaskFileToSeed(const std::string& Folder);

// The dialog's text as a task file holds it: lines end with CR LF.
std::string TaskFileText(std::string_view DialogText);

}  // namespace MainForm
