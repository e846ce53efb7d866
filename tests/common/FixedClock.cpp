#include "FixedClock.h"

namespace corvantest {

FixedClock::FixedClock(brix32::TDateTime now, std::uint64_t ticks) : now_(now), ticks_(ticks) {
  brix32::SetNowSource([this] { return now_; });
  brix32::SetTickSource([this] { return ticks_; });
}

FixedClock::FixedClock(int year, int month, int day, int hour, int minute, int second, int ms)
    : FixedClock(brix32::EncodeDateTime({year, month, day, hour, minute, second, ms})) {}

FixedClock::~FixedClock() {
  brix32::SetNowSource(nullptr);
  brix32::SetTickSource(nullptr);
}

}  // namespace corvantest
