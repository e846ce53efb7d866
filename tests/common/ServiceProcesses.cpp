#include "ServiceProcesses.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace corvantest {

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
  }
}

void ServiceProcesses::StopOne() {
  const pid_t pid = pids_.back();
  pids_.pop_back();
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace corvantest
