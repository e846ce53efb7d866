#include "ctl/RepeatFolding.h"

#include <utility>

namespace corvanctl {

tRepeatFolding::tVerdict tRepeatFolding::Seen(const std::string& Text, tWriteStamp Stamp, tClock::time_point Now) {
  tVerdict verdict;
  if (seen_ && Text == text_ && Now - lastReading_ < kFoldWithin) {
    if (!(Stamp == stamp_)) ++folded_;
    stamp_ = Stamp;
    lastReading_ = Now;
    verdict.Folded = Due(Now);
    return verdict;
  }
  // A new text, or the same after a pause: a line of its own, after what was folded.
  verdict.Folded = TakeFolded();
  verdict.Show = true;
  seen_ = true;
  text_ = Text;
  stamp_ = Stamp;
  lastReading_ = Now;
  lastSaid_ = Now;
  return verdict;
}

std::int32_t tRepeatFolding::Due(tClock::time_point Now) {
  if (folded_ == 0 || Now - lastSaid_ < kSayEvery) return 0;
  lastSaid_ = Now;
  return std::exchange(folded_, 0);
}

std::optional<tRepeatFolding::tClock::time_point> tRepeatFolding::NextDue() const {
  if (folded_ == 0) return std::nullopt;
  return lastSaid_ + kSayEvery;
}

std::int32_t tRepeatFolding::TakeFolded() { return std::exchange(folded_, 0); }

}  // namespace corvanctl
