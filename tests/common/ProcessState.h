#pragma once
// The libraries' process-wide state, as a test finds it and leaves it.
#include <chrono>
#include <cstddef>

namespace corvantest {

// Puts every process-wide record and hook of the libraries back to its state at the start
// of the process, once when made and again when it goes: the settings records, the units,
// suburb and task-type lists, the user-interface hooks, the settings file reader and the
// network limits. A fixture holds one as its first member, so that the reset comes before
// everything else it makes and after everything it destroys; a plain test makes one first.
// The clock is FixedClock's to set and put back.
class ProcessStateGuard {
 public:
  ProcessStateGuard();
  ~ProcessStateGuard();
  ProcessStateGuard(const ProcessStateGuard&) = delete;
  ProcessStateGuard& operator=(const ProcessStateGuard&) = delete;

  // Puts everything back now: between the cases of one test.
  static void Reset();

 private:
  // The limits a test may shorten, as the first guard found them.
  struct tLimits {
    std::chrono::milliseconds FetchIdle, FetchTime;
    std::size_t FetchAnswer;
  };
  static const tLimits& StartLimits();
};

}  // namespace corvantest
