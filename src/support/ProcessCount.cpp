#include "support/ProcessCount.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>

#include "support/Diagnostics.h"
#include "support/TextUtils.h"
#include "support/UniqueFd.h"

namespace brix32 {
namespace {

bool IsProcessEntry(const char* name) {
  if (*name == '\0') return false;
  for (const char* p = name; *p; ++p)
    if (*p < '0' || *p > '9') return false;
  return true;
}

// Reads /proc/<pid>/<file> until `stop` or `limit` bytes (the whole file up to the limit
// with kWhole); empty when the process has gone.
constexpr int kWhole = -1;
std::string ReadProcFile(int procFd, const std::string& relative, int stop, std::size_t limit) {
  const UniqueFd fd(::openat(procFd, relative.c_str(), O_RDONLY | O_CLOEXEC));
  std::string text;
  if (!fd) return text;
  char buffer[512];
  while (text.size() < limit) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (stop != kWhole && text.find(static_cast<char>(stop)) != std::string::npos) break;
  }
  if (stop == kWhole) return text.substr(0, limit);
  return text.substr(0, text.find(static_cast<char>(stop)));
}

bool NameMatches(std::string_view name, const std::string& wantedUpper) {
  return !name.empty() && (UpperCase(ExtractFileName(name)) == wantedUpper || UpperCase(name) == wantedUpper);
}

// The fields of /proc/<pid>/stat after the name in brackets, which may hold ")" or blanks;
// empty when the process has gone.
std::string StatFieldsAfterName(int procFd, const std::string& pid) {
  const std::string stat = ReadProcFile(procFd, pid + "/stat", '\n', 4096);
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return {};
  return stat.substr(close + 2);
}

// A zombie keeps its kernel name until reaped but is no longer running.
bool IsZombie(int procFd, const std::string& pid) {
  const std::string fields = StatFieldsAfterName(procFd, pid);
  return fields.empty() || fields[0] == 'Z' || fields[0] == 'X';
}

// Calls Found with the /proc folder and the id of every running process of ExeName.
template <typename Visit>
void ForEachProcessOf(std::string_view ExeName, Visit Found) {
  const std::string wanted = UpperCase(ExeName);
  std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
  if (!proc) throw std::system_error(errno, std::generic_category(), "/proc");
  const int procFd = ::dirfd(proc.get());
  while (const dirent* entry = ::readdir(proc.get())) {
    if (!IsProcessEntry(entry->d_name)) continue;
    const std::string pid = entry->d_name;
    // Processes come and go while we look: one that has gone reads as empty.
    const std::string argv0 = ReadProcFile(procFd, pid + "/cmdline", '\0', 65536);
    if (NameMatches(argv0, wanted)) {
      Found(procFd, pid);
      continue;
    }
    const std::string comm = ReadProcFile(procFd, pid + "/comm", '\n', 64);
    if (NameMatches(comm, wanted) && !IsZombie(procFd, pid)) Found(procFd, pid);
  }
}

// The boot time in seconds since 1970 (the "btime" line of /proc/stat), 0 when unknown.
std::int64_t BootTime() {
  const UniqueFd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!proc) return 0;
  const std::string stat = ReadProcFile(proc.get(), "stat", kWhole, 1 << 20);
  const std::size_t at = stat.find("\nbtime ");
  return at == std::string::npos ? 0 : std::strtoll(stat.c_str() + at + 7, nullptr, 10);
}

// Seconds since 1970 at which the process started: field 22 of its stat line counts clock
// ticks since the boot. 0 when unknown.
std::int64_t StartTime(int procFd, const std::string& pid, std::int64_t bootTime) {
  std::istringstream fields(StatFieldsAfterName(procFd, pid));
  std::string field;
  // The fields after the name begin with the third, the state.
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  const long ticks = ::sysconf(_SC_CLK_TCK);
  if (!fields || bootTime == 0 || ticks <= 0) return 0;
  return bootTime + std::strtoll(field.c_str(), nullptr, 10) / ticks;
}

}  // namespace

std::int32_t ProcessCount(std::string_view ExeName) {
  Operation op("brix32.ProcessCount");
  std::int32_t count = 0;
  op.Run([&] {
    op.Log.Trace = 200;
    ForEachProcessOf(ExeName, [&](int, const std::string&) { ++count; });
  });
  return count;
}

std::vector<tProcessInfo> ProcessesOf(std::string_view ExeName) {
  const std::int64_t bootTime = BootTime();
  std::vector<tProcessInfo> found;
  ForEachProcessOf(ExeName, [&](int procFd, const std::string& pid) {
    tProcessInfo p;
    p.Pid = static_cast<pid_t>(std::stol(pid));
    struct stat st {};
    if (::fstatat(procFd, pid.c_str(), &st, 0) != 0) return;  // gone meanwhile
    p.Uid = st.st_uid;
    p.Started = StartTime(procFd, pid, bootTime);
    const std::string line = ReadProcFile(procFd, pid + "/cmdline", kWhole, 65536);
    for (std::size_t begin = 0; begin < line.size();) {
      const std::size_t end = std::min(line.find('\0', begin), line.size());
      p.Arguments.push_back(line.substr(begin, end - begin));
      begin = end + 1;
    }
    found.push_back(std::move(p));
  });
  return found;
}

}  // namespace brix32
