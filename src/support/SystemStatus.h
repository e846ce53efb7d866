#pragma once
// Memory figures and machine up-time, carried by the exception and phone-home reports.
#include <cstdint>
#include <string>

namespace brix32 {

struct tMemoryStatusRec {
  std::uint64_t TotalPhys = 0, AvailPhys = 0, UsedPhys = 0;
  double AvailPhysPercent = 0;
  std::uint64_t TotalPageFile = 0, AvailPageFile = 0, UsedPageFile = 0;
  double AvailPageFilePercent = 0;
  std::uint64_t TotalVirtual = 0, AvailVirtual = 0, UsedVirtual = 0;
  double AvailVirtualPercent = 0;
  bool OK = false;
};

// Physical memory and swap from sysinfo; the virtual address space is the user address
// space (or RLIMIT_AS when set) against this process's VmSize.
tMemoryStatusRec GetMemoryStatus();

struct tMachineUpTime {
  std::string Text;  // 0w3d04h05m09s
  std::int64_t TickCount = 0;
  double Days = 0;
};

// Up-time from TickCount64(); it does not wrap at 2^32 ms.
tMachineUpTime MachineUpTime();
// The same split and text for a given millisecond count.
tMachineUpTime MachineUpTimeFromTicks(std::int64_t tickCount);

// Counts the "E!*" report files of the program folder into gGlobalSettings.
void SetGlobalExceptionAndDebugFileCount();

}  // namespace brix32
