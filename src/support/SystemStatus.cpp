#include "support/SystemStatus.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "support/DateTime.h"
#include "support/Diagnostics.h"
#include "support/Hooks.h"

namespace brix32 {
namespace {

// The user part of the x86-64 / AArch64 48-bit address space.
constexpr std::uint64_t kUserAddressSpace = 0x7FFFFFFFF000ULL;

std::uint64_t ProcessVmSizeBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0) {
      unsigned long long kb = 0;
      if (std::sscanf(line.c_str() + 7, "%llu", &kb) == 1) return kb * 1024ULL;
    }
  }
  throw std::runtime_error("VmSize not found in /proc/self/status");
}

double Percent(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole) * 100.0;
}

std::string Pad2(std::int64_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "%02lld", static_cast<long long>(v));
  return b;
}

}  // namespace

tMemoryStatusRec GetMemoryStatus() {
  Operation op("brix32.GetMemoryStatus");
  tMemoryStatusRec r;
  op.Run([&] {
    struct sysinfo si {};
    if (::sysinfo(&si) != 0) throw std::runtime_error("sysinfo failed");
    op.Log.Trace = 110;
    const std::uint64_t unit = si.mem_unit ? si.mem_unit : 1;
    r.TotalPhys = si.totalram * unit;
    r.AvailPhys = (si.freeram + si.bufferram) * unit;
    r.UsedPhys = r.TotalPhys - r.AvailPhys;
    r.AvailPhysPercent = Percent(r.AvailPhys, r.TotalPhys);
    r.TotalPageFile = si.totalswap * unit;
    r.AvailPageFile = si.freeswap * unit;
    r.UsedPageFile = r.TotalPageFile - r.AvailPageFile;
    r.AvailPageFilePercent = Percent(r.AvailPageFile, r.TotalPageFile);
    op.Log.Trace = 120;
    rlimit limit{};
    std::uint64_t total = kUserAddressSpace;
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < total)
      total = limit.rlim_cur;
    const std::uint64_t used = ProcessVmSizeBytes();
    r.TotalVirtual = total;
    r.AvailVirtual = used < total ? total - used : 0;
    r.UsedVirtual = r.TotalVirtual - r.AvailVirtual;
    r.AvailVirtualPercent = Percent(r.AvailVirtual, r.TotalVirtual);
    r.OK = true;
  });
  return r;
}

tMachineUpTime MachineUpTimeFromTicks(std::int64_t tickCount) {
  tMachineUpTime u;
  u.TickCount = tickCount;
  std::int64_t rest = tickCount < 0 ? 0 : tickCount;
  const std::int64_t weeks = rest / 604800000;
  rest %= 604800000;
  const std::int64_t days = rest / 86400000;
  rest %= 86400000;
  const std::int64_t hours = rest / 3600000;
  rest %= 3600000;
  const std::int64_t minutes = rest / 60000;
  rest %= 60000;
  const std::int64_t seconds = rest / 1000;
  u.Text = std::to_string(weeks) + "w" + std::to_string(days) + "d" + Pad2(hours) + "h" + Pad2(minutes) + "m" +
           Pad2(seconds) + "s";
  u.Days = static_cast<double>(weeks * 7 + days) + static_cast<double>(hours) / 24.0 +
           static_cast<double>(minutes) / 1440.0 + static_cast<double>(seconds) / 86400.0;
  return u;
}

tMachineUpTime MachineUpTime() {
  Operation op("brix32.MachineUpTime");
  tMachineUpTime u;
  op.Run([&] { u = MachineUpTimeFromTicks(static_cast<std::int64_t>(TickCount64())); });
  return u;
}

void SetGlobalExceptionAndDebugFileCount() {
  Operation op("brix32.SetGlobalExceptionAndDebugFileCount");
  op.Run([&] {
    const std::string folder = gGlobalSettings.Path.empty() ? "./" : gGlobalSettings.Path;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) throw std::runtime_error("Cannot open folder " + folder);
    op.Log.Trace = 110;
    std::int32_t count = 0;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() < 2 || name[1] != '!') continue;
      bool isFolder = entry->d_type == DT_DIR;
      if (entry->d_type == DT_UNKNOWN) {
        struct stat st {};
        isFolder = ::stat((folder + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      }
      if (isFolder) continue;
      if (name[0] == 'E')
        ++count;
      else if (name[0] != 'D' && name[0] != 'U')
        ProcessMessages();
    }
    ::closedir(dir);
    gGlobalSettings.ExceptionFileCount = count;
  });
}

}  // namespace brix32
