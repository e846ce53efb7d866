#include "ServiceProcesses.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace corvantest {
namespace {

// posix_spawn returns once the child has left our memory, before the kernel has given it
// its new command line and name: until then the process list does not show it as the
// service, and a status decided meanwhile says "not running".
void WaitUntilListed(pid_t pid, const std::string& exe) {
  const std::string cmdline = "/proc/" + std::to_string(pid) + "/cmdline";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    std::ifstream in(cmdline, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (text.compare(0, exe.size() + 1, exe + '\0') == 0) return;
    if (std::chrono::steady_clock::now() > deadline)
      throw std::runtime_error(exe + " never showed in the process list");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

ServiceProcesses::~ServiceProcesses() {
  while (!pids_.empty()) StopOne();
}

void ServiceProcesses::Start(int count) {
  const std::string exe = folder_ + "corvansrvc.exe";
  if (!std::filesystem::exists(exe)) std::filesystem::copy_file("/bin/sleep", exe);
  for (int i = 0; i < count; ++i) {
    char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("600"), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ) != 0)
      throw std::runtime_error("cannot start " + exe);
    pids_.push_back(pid);
    WaitUntilListed(pid, exe);
  }
}

void ServiceProcesses::StopOne() {
  const pid_t pid = pids_.back();
  pids_.pop_back();
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace corvantest
