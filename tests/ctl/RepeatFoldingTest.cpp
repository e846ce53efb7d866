// The watch's folding of repeated lines, on a clock of the test's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ctl/RepeatFolding.h"

using corvanctl::tRepeatFolding;
using corvanctl::tWriteStamp;
using ms = std::chrono::milliseconds;

namespace {

// One write, seen through the three notifications it comes with (a few ms apart), and
// what the watch prints for it: "line", or the count of folded writes.
struct tWatchLog {
  tRepeatFolding folding;
  tRepeatFolding::tClock::time_point start{};
  std::vector<std::string> printed;

  void Write(int atMs, const std::string& text, std::int64_t stamp) {
    for (int notification = 0; notification < 3; ++notification) {
      const auto verdict = folding.Seen(text, {1, stamp}, start + ms(atMs + 5 * notification));
      if (verdict.Folded > 0) printed.push_back(std::to_string(verdict.Folded));
      if (verdict.Show) printed.push_back(text);
    }
  }
  void Timer(int atMs) {
    if (const std::int32_t due = folding.Due(start + ms(atMs))) printed.push_back(std::to_string(due));
  }
};

}  // namespace

TEST(RepeatFolding, TwentyIdenticalWritesOverTenSecondsAreCountedEveryFewSeconds) {
  tWatchLog log;
  for (int i = 0; i < 20; ++i) log.Write(500 * i, "INFO:V=3.1.0.12 G=3 ", 1000 + i);
  // The last ones are said when the timer comes, without a further write.
  ASSERT_TRUE(log.folding.NextDue().has_value());
  log.Timer(static_cast<int>(std::chrono::duration_cast<ms>(*log.folding.NextDue() - log.start).count()));
  EXPECT_EQ(log.printed, (std::vector<std::string>{"INFO:V=3.1.0.12 G=3 ", "6", "6", "6", "1"}));
  EXPECT_FALSE(log.folding.NextDue().has_value());
}

TEST(RepeatFolding, NewTextsAndPausesAreLinesAfterWhatWasFolded) {
  tWatchLog log;
  log.Write(0, "A", 1);
  log.Write(400, "A", 2);
  log.Write(800, "A", 3);
  log.Write(1200, "B", 4);  // another text: the two folded writes of A are said first
  log.Write(1300, "B", 4);  // the same write again (no new modification): not counted
  log.Write(2600, "B", 5);  // after a pause of more than a second: a line again
  log.Write(2700, "B", 6);
  log.Timer(4000);  // not yet three seconds after the last line
  EXPECT_EQ(log.printed, (std::vector<std::string>{"A", "2", "B", "B"}));
  EXPECT_EQ(log.folding.TakeFolded(), 1);  // at the end of the watch
  EXPECT_EQ(log.folding.TakeFolded(), 0);
}
