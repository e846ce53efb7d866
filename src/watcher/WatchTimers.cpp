#include "WatchTimers.h"

#include <QTimer>
#include <algorithm>

namespace MainForm {

TQtWatchTimers::TQtWatchTimers() = default;

// The timers go with this object: nothing is due after it.
TQtWatchTimers::~TQtWatchTimers() = default;

void TQtWatchTimers::Start(std::size_t Slot, tTime When) {
  while (timers_.size() <= Slot) {
    const std::size_t slot = timers_.size();
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    // A coarse timer may fire up to 5 % early: the service would have less than its wait.
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, [this, slot] { Fire(slot); });
    timers_.push_back(std::move(timer));
    due_.emplace_back();
  }
  due_[Slot] = When;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(When - Now());
  timers_[Slot]->start(std::max<std::chrono::milliseconds>(wait, std::chrono::milliseconds(0)));
}

void TQtWatchTimers::Stop(std::size_t Slot) {
  if (Slot < timers_.size()) timers_[Slot]->stop();
}

void TQtWatchTimers::Fire(std::size_t Slot) {
  // Qt counts in whole milliseconds; a timer woken a little before its time waits on.
  if (Now() < due_[Slot]) {
    Start(Slot, due_[Slot]);
    return;
  }
  if (OnDue) OnDue(Slot);
}

}  // namespace MainForm
