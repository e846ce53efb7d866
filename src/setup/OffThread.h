#pragma once
// A call that may take seconds (a host name the resolver waits on) made on a thread of
// its own, while this thread's event loop goes on: the window repaints, its timers run
// and the notification-area icon answers meanwhile.
#include <sys/eventfd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "support/UniqueFd.h"

namespace SetupWidgets {

// Turns the event loop until Fd is readable or Limit has passed (or the application is
// quitting); true when Fd became readable.
bool TurnTheLoopUntilReadable(int Fd, std::chrono::milliseconds Limit);

// Job's result; nothing when Limit passed first or the job failed. A job still running
// then goes on to its end on its own, and its result is dropped. Job must touch nothing
// that this thread uses.
template <class T>
std::optional<T> WaitOffThread(std::function<T()> Job, std::chrono::milliseconds Limit) {
  struct tShared {
    std::mutex Mutex;
    std::optional<T> Result;
    brix32::UniqueFd Done{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
  };
  auto shared = std::make_shared<tShared>();
  if (!shared->Done) throw std::system_error(errno, std::generic_category(), "eventfd");
  std::thread([shared, Job = std::move(Job)] {
    try {
      T result = Job();
      const std::lock_guard lock(shared->Mutex);
      shared->Result = std::move(result);
    } catch (...) {
    }
    const std::uint64_t one = 1;
    (void)!::write(shared->Done.get(), &one, sizeof one);
  }).detach();
  TurnTheLoopUntilReadable(shared->Done.get(), Limit);
  const std::lock_guard lock(shared->Mutex);
  return shared->Result;
}

}  // namespace SetupWidgets
