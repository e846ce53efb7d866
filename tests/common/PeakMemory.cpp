#include "PeakMemory.h"

#include <fstream>
#include <stdexcept>
#include <string>

namespace corvantest {
namespace {

// A "Name:  1234 kB" line of /proc/self/status, in bytes.
std::size_t StatusBytes(const std::string& name) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(name + ":", 0) == 0) return std::stoull(line.substr(name.size() + 1)) * 1024;
  throw std::runtime_error("no " + name + " in /proc/self/status");
}

}  // namespace

PeakMemoryGrowth::PeakMemoryGrowth() {
  // "5" resets the peak resident size to the current one.
  std::ofstream("/proc/self/clear_refs") << "5";
  start_ = StatusBytes("VmRSS");
}

std::size_t PeakMemoryGrowth::Bytes() const {
  const std::size_t peak = StatusBytes("VmHWM");
  return peak > start_ ? peak - start_ : 0;
}

bool PeakMemoryGrowth::Meaningful() {
#if defined(__SANITIZE_ADDRESS__)
  return false;
#else
  return true;
#endif
}

}  // namespace corvantest
