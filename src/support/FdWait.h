#pragma once
// Waiting on a descriptor until a point in time, for the blocking exchanges over sockets.
#include <chrono>

namespace brix32 {

// Milliseconds left until Deadline, rounded up (a wait must never end before it); 0 once
// it has passed.
int MsUntil(std::chrono::steady_clock::time_point Deadline);

// Waits until Fd is ready for Events (poll's) or Deadline passes; false on the deadline or
// a poll failure. An interrupted wait goes on.
bool WaitForFd(int Fd, short Events, std::chrono::steady_clock::time_point Deadline);

}  // namespace brix32
