#pragma once
// The watcher's deferred reads: one timer per slot (a file, or the decision after a
// message), each due at a point in time. The program runs them on QTimer in the event
// loop; tests run them on a clock of their own, so that every order of notifications and
// reads can be set up exactly and a two-second wait takes no time.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

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

// On the thread's Qt event loop: a single-shot precise QTimer per slot.
class TQtWatchTimers : public TWatchTimers {
 public:
  TQtWatchTimers();
  ~TQtWatchTimers() override;
  TQtWatchTimers(const TQtWatchTimers&) = delete;
  TQtWatchTimers& operator=(const TQtWatchTimers&) = delete;

  tTime Now() const override { return tClock::now(); }
  void Start(std::size_t Slot, tTime When) override;
  void Stop(std::size_t Slot) override;

 private:
  void Fire(std::size_t Slot);

  std::vector<std::unique_ptr<QTimer>> timers_;
  std::vector<tTime> due_;
};

}  // namespace MainForm
