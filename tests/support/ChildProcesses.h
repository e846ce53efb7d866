#pragma once
// Real processes for the system-information tests: started, counted, killed and reaped.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvantest {

inline constexpr uid_t kNobody = 65534;

// A program started by fork + exec (optionally as another user), killed and reaped when
// the object goes. The constructor returns once the exec has happened.
class RunningProcess {
 public:
  RunningProcess(const std::string& program, std::vector<std::string> argv, std::optional<uid_t> user = std::nullopt);
  ~RunningProcess();
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Kills it and waits until it is a zombie, without reaping it.
  void killLeavingZombie();

 private:
  pid_t pid_ = -1;
};

// Runs `body` in a forked child as user nobody; its result is the child's exit code.
int RunAsNobody(const std::function<int()>& body);

// Runs a program with extra environment entries ("NAME=value") and returns its stdout.
std::string RunAndCapture(const std::string& program, const std::vector<std::string>& env);

// Children of this process that have ended but were never reaped.
int ZombieChildren();

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace corvantest
