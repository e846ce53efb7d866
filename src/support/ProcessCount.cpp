#include "ProcessCount.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <memory>
#include <string>
#include <system_error>

#include "Diagnostics.h"
#include "TextUtils.h"
#include "UniqueFd.h"

namespace brix32 {
namespace {

bool IsProcessEntry(const char* name) {
  if (*name == '\0') return false;
  for (const char* p = name; *p; ++p)
    if (*p < '0' || *p > '9') return false;
  return true;
}

// Reads /proc/<pid>/<file> until `stop` or `limit` bytes; empty when the process has gone.
std::string ReadProcFile(int procFd, const std::string& relative, char stop, std::size_t limit) {
  const UniqueFd fd(::openat(procFd, relative.c_str(), O_RDONLY | O_CLOEXEC));
  std::string text;
  if (!fd) return text;
  char buffer[512];
  while (text.size() < limit) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.find(stop) != std::string::npos) break;
  }
  return text.substr(0, text.find(stop));
}

bool NameMatches(std::string_view name, const std::string& wantedUpper) {
  return !name.empty() &&
         (UpperCase(ExtractFileName(name)) == wantedUpper || UpperCase(name) == wantedUpper);
}

// A zombie keeps its kernel name until reaped but is no longer running.
bool IsZombie(int procFd, const std::string& pid) {
  const std::string stat = ReadProcFile(procFd, pid + "/stat", '\n', 4096);
  const std::size_t close = stat.rfind(')');  // the name in brackets may hold ")"
  if (close == std::string::npos || close + 2 >= stat.size()) return true;  // gone
  const char state = stat[close + 2];
  return state == 'Z' || state == 'X';
}

}  // namespace

std::int32_t ProcessCount(std::string_view ExeName) {
  Operation op("brix32.ProcessCount");
  std::int32_t count = 0;
  op.Run([&] {
    const std::string wanted = UpperCase(ExeName);
    op.Log.Trace = 110;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc) throw std::system_error(errno, std::generic_category(), "/proc");
    const int procFd = ::dirfd(proc.get());
    op.Log.Trace = 200;
    while (const dirent* entry = ::readdir(proc.get())) {
      if (!IsProcessEntry(entry->d_name)) continue;
      const std::string pid = entry->d_name;
      // Processes come and go while we look: one that has gone reads as empty.
      const std::string argv0 = ReadProcFile(procFd, pid + "/cmdline", '\0', 65536);
      if (NameMatches(argv0, wanted)) {
        ++count;
        continue;
      }
      const std::string comm = ReadProcFile(procFd, pid + "/comm", '\n', 64);
      if (NameMatches(comm, wanted) && !IsZombie(procFd, pid)) ++count;
    }
  });
  return count;
}

}  // namespace brix32
