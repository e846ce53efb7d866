#include "Hostile.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <filesystem>
#include <thread>

namespace corvantest {
namespace {

// A read without bound (of /dev/zero, say) ends with an allocation failure soon, not with
// the machine's memory. The sanitizers reserve address space beyond any such limit.
void BoundAddressSpace() {
#ifndef __SANITIZE_ADDRESS__
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  if (!(statm >> pages)) return;
  const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (rlim_t{1} << 30);
  const rlimit bound{limit, limit};
  ::setrlimit(RLIMIT_AS, &bound);
#endif
}

}  // namespace

bool FinishesInChild(const std::function<void()>& body, std::chrono::milliseconds limit) {
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    BoundAddressSpace();
    body();
    ::_exit(0);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int OpenDescriptorCount() {
  int count = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    ++count;
  return count - 1;  // the iterator's own
}

}  // namespace corvantest
