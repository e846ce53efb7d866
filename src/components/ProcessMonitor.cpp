#include "components/ProcessMonitor.h"

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "components/DirMonitor.h"

namespace components {

TProcessMonitor::TProcessMonitor(TDirMonitor& Owner) : owner_(Owner), thread_([this] { Execute(); }) {}

TProcessMonitor::~TProcessMonitor() {
  {
    std::lock_guard lock(owner_.mutex_);
    owner_.terminated_ = true;
  }
  owner_.changed_.notify_all();
  owner_.WakeWorker();
  thread_.join();
}

void TProcessMonitor::Execute() {
  // As urgent as the system lets us be: without the privilege this stays unchanged.
  (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -20);

  TDirMonitor& c = owner_;
  std::optional<std::uint64_t> broken;  // a watch whose descriptor failed: no more reads
  std::unique_lock lock(c.mutex_);
  while (!c.terminated_) {
    const std::uint64_t generation = c.generation_;
    const int fd = broken == generation ? -1 : c.notifyFd_;
    c.pollingFd_ = fd;
    lock.unlock();

    pollfd fds[2] = {{c.wakeFd_, POLLIN, 0}, {fd, POLLIN, 0}};
    const int ready = ::poll(fds, fd >= 0 ? 2 : 1, -1);
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      std::uint64_t count;
      (void)!::read(c.wakeFd_, &count, sizeof count);
    }
    ssize_t bytes = 0;
    bool failed = false;
    if (ready > 0 && fd >= 0 && fds[1].revents != 0) {
      if (fds[1].revents & POLLIN) {
        std::memset(c.buffer_, 0, sizeof c.buffer_);
        bytes = ::read(fd, c.buffer_, sizeof c.buffer_);
        failed = bytes < 0 && errno != EAGAIN && errno != EINTR;
      } else {
        failed = true;
      }
    }

    lock.lock();
    c.pollingFd_ = -1;
    c.changed_.notify_all();
    if (c.terminated_) break;
    if (generation != c.generation_) continue;  // stopped or restarted meanwhile: stale
    if (failed) {
      // Waiting on a descriptor in error would spin; wait for the next start instead.
      broken = generation;
      continue;
    }
    if (bytes > 0) {
      c.bytesReturned_ = static_cast<std::size_t>(bytes);
      c.batchGeneration_ = generation;
      c.handoverPending_ = true;
      const std::uint64_t one = 1;
      (void)!::write(c.readyFd_, &one, sizeof one);
      c.changed_.wait(lock, [&] { return !c.handoverPending_ || c.terminated_; });
      c.bytesReturned_ = 0;
    }
  }
}

}  // namespace components
