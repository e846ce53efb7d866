#include "watcher/WatchTimers.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace MainForm {

namespace {

// steady_clock is CLOCK_MONOTONIC, the clock the timerfds count on.
itimerspec At(TWatchTimers::tTime When) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(When.time_since_epoch()).count();
  itimerspec due{};
  // Zero would disarm the timer: a time that early is long past anyway.
  due.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
  due.it_value.tv_nsec = ns > 0 ? static_cast<long>(ns % 1000000000) : 1;
  return due;
}

void Set(int Fd, const itimerspec& Due, int Flags) {
  if (::timerfd_settime(Fd, Flags, &Due, nullptr) != 0)
    throw std::system_error(errno, std::generic_category(), "timerfd_settime");
}

}  // namespace

TQtWatchTimers::TQtWatchTimers(std::size_t Slots) : timers_(Slots) {
  for (std::size_t slot = 0; slot < Slots; ++slot) {
    tTimer& timer = timers_[slot];
    timer.Fd.reset(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
    if (!timer.Fd) throw std::system_error(errno, std::generic_category(), "timerfd_create");
    timer.Notifier = std::make_unique<QSocketNotifier>(timer.Fd.get(), QSocketNotifier::Read);
    QObject::connect(timer.Notifier.get(), &QSocketNotifier::activated, [this, slot] { Fire(slot); });
  }
}

// The notifiers and timers go with this object: nothing is due after it.
TQtWatchTimers::~TQtWatchTimers() = default;

void TQtWatchTimers::Start(std::size_t Slot, tTime When) {
  tTimer& timer = timers_.at(Slot);
  Set(timer.Fd.get(), At(When), TFD_TIMER_ABSTIME);
  timer.Due = When;
  timer.Armed = true;
}

void TQtWatchTimers::Stop(std::size_t Slot) {
  tTimer& timer = timers_.at(Slot);
  if (!timer.Armed) return;
  timer.Armed = false;
  Set(timer.Fd.get(), itimerspec{}, 0);
}

void TQtWatchTimers::Fire(std::size_t Slot) {
  tTimer& timer = timers_[Slot];
  // Setting the timer again (or stopping it) clears what it had counted: a notifier woken
  // by the old time finds nothing to read and lets it be.
  std::uint64_t expirations = 0;
  if (::read(timer.Fd.get(), &expirations, sizeof expirations) != sizeof expirations) return;
  if (!timer.Armed) return;
  if (Now() < timer.Due) {  // cannot happen on one clock; never read before the time, though
    Start(Slot, timer.Due);
    return;
  }
  timer.Armed = false;
  if (OnDue) OnDue(Slot);
}

}  // namespace MainForm
