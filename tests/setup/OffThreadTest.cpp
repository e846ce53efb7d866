// A slow call on a thread of its own: its result when it ends in time, nothing once the
// limit has passed or when it fails, and the event loop turning all the while.
#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <future>
#include <stdexcept>

#include "setup/OffThread.h"

using namespace std::chrono_literals;
using SetupWidgets::WaitOffThread;

TEST(WaitOffThread, TheResultInTimeNothingPastTheLimitOrAfterAFailure) {
  // Released by a timer of this thread: only a loop that turns while it waits gets there.
  std::promise<void> go;
  const std::shared_future<void> released = go.get_future().share();
  QTimer::singleShot(50ms, [&] { go.set_value(); });
  EXPECT_EQ(WaitOffThread<int>([released] { return released.wait(), 42; }, 20000ms), 42);

  // Past the limit: nothing, and the job ends on its own later.
  std::promise<void> late;
  const std::shared_future<void> lateRelease = late.get_future().share();
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitOffThread<int>([lateRelease] { return lateRelease.wait(), 42; }, 100ms), std::nullopt);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 100ms);
  late.set_value();

  EXPECT_EQ(WaitOffThread<int>([]() -> int { throw std::runtime_error("no"); }, 20000ms), std::nullopt);
}
