#pragma once
// The watcher's deferred reads: one timer per slot (a file, or the decision after a
// message), each due at a point in time. The program runs them on the thread's Qt event
// loop; tests run them on a clock of their own, so that every order of notifications and
// reads can be set up exactly and a two-second wait takes no time.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "support/UniqueFd.h"

class QSocketNotifier;

namespace MainForm {

class TWatchTimers {
 public:
  using tClock = std::chrono::steady_clock;
  using tTime = tClock::time_point;

  virtual ~TWatchTimers() = default;
  virtual tTime Now() const = 0;
  // OnDue(Slot) runs once, at When or as soon after as the loop gets to it (never before);
  // starting a slot again replaces its time.
  virtual void Start(std::size_t Slot, tTime When) = 0;
  virtual void Stop(std::size_t Slot) = 0;

  // Set by the owner before the first Start.
  std::function<void(std::size_t Slot)> OnDue;
};

// On the thread's Qt event loop: a timerfd per slot, watched by a socket notifier. A
// QTimer counts in whole milliseconds and the loop's poll rounds up once more, which
// would add up to two to every wait; the timerfd wakes the loop at the nanosecond.
class TQtWatchTimers : public TWatchTimers {
 public:
  // Slots 0 to Slots - 1, all made now: a timer that cannot be had fails here, not later
  // inside a notification. Throws std::system_error.
  explicit TQtWatchTimers(std::size_t Slots);
  ~TQtWatchTimers() override;
  TQtWatchTimers(const TQtWatchTimers&) = delete;
  TQtWatchTimers& operator=(const TQtWatchTimers&) = delete;

  tTime Now() const override { return tClock::now(); }
  void Start(std::size_t Slot, tTime When) override;
  void Stop(std::size_t Slot) override;

 private:
  struct tTimer {
    brix32::UniqueFd Fd;
    std::unique_ptr<QSocketNotifier> Notifier;  // declared after Fd: goes before it
    tTime Due{};
    bool Armed = false;
  };
  void Fire(std::size_t Slot);

  std::vector<tTimer> timers_;
};

}  // namespace MainForm
