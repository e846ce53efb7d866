#include "app/TaskFiles.h"

#include <filesystem>

#include "support/TextUtils.h"

namespace MainForm {

bool IsTaskTextFileName(std::string_view Name) {
  constexpr std::string_view kPrefix = "TASK-";
  constexpr std::string_view kSuffix = ".TXT";
  if (Name.size() < kPrefix.size() + kSuffix.size()) return false;
  const std::string upper = brix32::UpperCase(std::string(Name));
  return upper.starts_with(kPrefix) && upper.ends_with(kSuffix);
}

std::optional<std::string> TaskFileToSeed(const std::string& Folder) {
  namespace fs = std::filesystem;
  std::optional<fs::directory_entry> first;
  std::optional<fs::directory_entry> last;
  std::error_code ec;
  // The directory iterator lists in the file system's own order (readdir).
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!IsTaskTextFileName(it->path().filename().string())) continue;
    if (!first) first = *it;
    last = *it;
  }
  if (!first) return std::nullopt;
  std::error_code kindError;
  const fs::directory_entry& chosen = first->is_directory(kindError) ? *first : *last;
  return Folder + chosen.path().filename().string();
}

std::string TaskFileText(std::string_view DialogText) {
  std::string text;
  text.reserve(DialogText.size());
  for (const char c : DialogText) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

}  // namespace MainForm
