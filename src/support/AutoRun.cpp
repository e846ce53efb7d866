#include "support/AutoRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "support/Diagnostics.h"
#include "support/FileUtils.h"

namespace brix32 {
namespace {

// The escapes of a desktop entry string value; a line break must not start a new key.
std::string EscapeValue(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// The program as one quoted argument of an Exec key: inside the quotes a backslash goes
// before each of " ` $ and the backslash itself, and % (a field code) is doubled.
std::string ExecArgument(std::string_view program) {
  std::string out = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

std::string_view Unquoted(std::string_view path) {
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
    path.remove_prefix(1);
    path.remove_suffix(1);
  }
  return path;
}

// More than any log-on entry holds.
constexpr std::size_t kEntryLimit = 64 * 1024;

// The entry's Exec line: which program it starts.
std::string_view ExecLine(std::string_view entry) {
  for (std::size_t at = 0; at < entry.size();) {
    const std::size_t end = std::min(entry.find('\n', at), entry.size());
    const std::string_view line = entry.substr(at, end - at);
    if (line.starts_with("Exec=")) return line;
    at = end + 1;
  }
  return {};
}

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

}  // namespace

std::string AutostartFolder() {
  std::string_view dirs;
  if (const char* env = std::getenv("XDG_CONFIG_DIRS")) dirs = env;
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
    if (!dir.empty() && dir.front() == '/')  // relative entries are invalid: skipped
      return std::string(dir == "/" ? "" : dir) + "/autostart/";
  }
  return "/etc/xdg/autostart/";
}

std::string AutostartEntry(const std::string& Description, const std::string& Path) {
  // LF line ends: desktop entry readers keep a CR as part of the value.
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         EscapeValue(Description) +
         "\n"
         "Exec=" +
         EscapeValue(ExecArgument(Unquoted(Path))) +
         "\n"
         "Terminal=false\n";
}

void SetAutoRun(const std::string& Description, const std::string& Path) {
  Operation op("brix32.SetAutoRun");
  op.Run([&] {
    const std::string folder = AutostartFolder();
    op.Log.Trace = 110;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    if (!IsPlainFileName(Description)) return;
    op.Ex.Notes = "Description=" + Description + ",Path=" + Path;
    op.Log.Trace = 120;
    const std::string entry = AutostartEntry(Description, Path);
    const std::string file = folder + Description + ".desktop";
    // An entry that already starts this program file is left as it is: on an installed
    // station it is the package's, perhaps switched off by the administrator (Hidden=true).
    if (ExecLine(FileToBin(file, kEntryLimit)) == ExecLine(entry)) return;
    op.Log.Trace = 130;
    // Through a temporary file and a rename, so a half-written entry is never seen; a
    // folder we may not write to just means no entry.
    WriteTextFileAtomic(entry, file);
  });
}

}  // namespace brix32
