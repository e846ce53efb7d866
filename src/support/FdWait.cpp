#include "support/FdWait.h"

#include <poll.h>

#include <cerrno>

namespace brix32 {

int MsUntil(std::chrono::steady_clock::time_point Deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitForFd(int Fd, short Events, std::chrono::steady_clock::time_point Deadline) {
  for (;;) {
    pollfd p{Fd, Events, 0};
    const int ready = ::poll(&p, 1, MsUntil(Deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

}  // namespace brix32
