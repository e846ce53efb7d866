#pragma once
// How much this process's resident memory rose at its peak during a stretch of work:
// the kernel's high-water mark (VmHWM) is reset at the start and read at the end.
#include <cstddef>

namespace corvantest {

class PeakMemoryGrowth {
 public:
  PeakMemoryGrowth();  // resets the mark
  // Peak resident size since construction minus the resident size then, in bytes.
  std::size_t Bytes() const;
  // False where the figure says little: under AddressSanitizer freed memory stays
  // resident in its quarantine and every block carries red zones.
  static bool Meaningful();

 private:
  std::size_t start_ = 0;
};

}  // namespace corvantest
