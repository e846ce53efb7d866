#include "support/DosOutput.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "support/ChildProcess.h"
#include "support/Diagnostics.h"
#include "support/Hooks.h"
#include "support/UniqueFd.h"

namespace brix32 {
namespace {

constexpr std::size_t kPieceSize = 255;
// While the command is silent we still look up this often, so that the user interface
// stays responsive and the time limit is kept.
constexpr std::chrono::milliseconds kIdleWait{50};

// Appends a piece, then drops what lies before the last kDosOutputTail bytes. The text
// may grow to twice the tail before it is cut, so that a flood costs a copy of the tail
// now and then rather than one for every piece.
void KeepTail(std::string& output, std::string_view piece) {
  output.append(piece);
  if (output.size() >= 2 * kDosOutputTail) output.erase(0, output.size() - kDosOutputTail);
}

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

std::string GetDosOutput(std::string_view CommandLine, bool InheritHandles, const std::string& WorkDir,
                         std::chrono::milliseconds TimeLimit) {
  Operation op("brix32.GetDosOutput");
  std::string output;
  op.Run([&] {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) ThrowErrno("pipe");
    const UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    op.Log.Trace = 110;
    UniqueFd nowhere;
    if (!InheritHandles) {
      nowhere.reset(::open("/dev/null", O_WRONLY | O_CLOEXEC));
      if (!nowhere) ThrowErrno("/dev/null");
    }
    const int childOut = InheritHandles ? writeEnd.get() : nowhere.get();

    op.Log.Trace = 120;
    const pid_t pid = StartChild({"/bin/sh", {"sh", "-c", std::string(CommandLine)}, WorkDir, childOut, childOut});
    // Only the command (and what it starts) may hold the write end now, so the pipe ends
    // when they have all finished.
    writeEnd.reset();
    nowhere.reset();
    if (pid < 0) return;
    ReapInBackground(pid);

    op.Log.Trace = 200;
    const auto deadline = std::chrono::steady_clock::now() + TimeLimit;
    char piece[kPieceSize];
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{readEnd.get(), POLLIN, 0};
      const int waitMs = static_cast<int>(std::clamp(left, std::chrono::milliseconds(0), kIdleWait).count());
      const int ready = ::poll(&p, 1, waitMs);
      if (ready < 0 && errno != EINTR) ThrowErrno("poll");
      if (ready > 0) {
        op.Log.Trace = 210;
        const ssize_t n = ::read(readEnd.get(), piece, sizeof piece);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;  // end or failure
        if (n > 0) KeepTail(output, {piece, ::strnlen(piece, static_cast<std::size_t>(n))});
      }
      op.Log.Trace = 220;
      ::sched_yield();
      ProcessMessages();
      op.Log.Trace = 230;
      if (std::chrono::steady_clock::now() >= deadline) break;
    }
  });
  if (output.size() > kDosOutputTail) output.erase(0, output.size() - kDosOutputTail);
  return output;
}

}  // namespace brix32
