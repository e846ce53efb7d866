#pragma once
#include <cstdint>

#include "support/DateTime.h"

namespace corvantest {

// Fixes brix32::Now() (and optionally the tick count) for the lifetime of the object.
class FixedClock {
 public:
  explicit FixedClock(brix32::TDateTime now, std::uint64_t ticks = 273909000);
  FixedClock(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);
  ~FixedClock();
  FixedClock(const FixedClock&) = delete;
  FixedClock& operator=(const FixedClock&) = delete;

  void set(brix32::TDateTime now) { now_ = now; }
  void advanceMs(double ms) { now_ += ms / 86400000.0; }
  void setTicks(std::uint64_t ticks) { ticks_ = ticks; }
  brix32::TDateTime now() const { return now_; }

 private:
  brix32::TDateTime now_;
  std::uint64_t ticks_;
};

}  // namespace corvantest
