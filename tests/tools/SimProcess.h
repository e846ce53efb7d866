#pragma once
// Runs one simulator as a child process and watches what it prints.
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

namespace corvantest {

class SimProcess {
 public:
  using ms = std::chrono::milliseconds;

  // Starts `program` with `args`, its stdout and stderr captured.
  SimProcess(const std::string& program, const std::vector<std::string>& args);
  ~SimProcess();  // a child still running is killed
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // True once stdout holds `text`; false when the child ended or time ran out first.
  bool waitForOutput(const std::string& text, ms timeout = ms(10000));
  // The same for stderr.
  bool waitForError(const std::string& text, ms timeout = ms(10000));
  // The exit code once the child has ended by itself; -1 when it did not within the
  // timeout, or ended by a signal.
  int waitForExit(ms timeout = ms(10000));
  // SIGTERM, then the exit code as waitForExit gives it.
  int stop(ms timeout = ms(10000));

  pid_t pid() const { return pid_; }
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  // Once the child has ended: whether by a signal, which one, and its peak resident size.
  bool ended() const { return exited_; }
  int endSignal() const { return exited_ && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }
  long peakResidentKb() const { return usage_.ru_maxrss; }

 private:
  // True once `stream` (out_ or err_) holds `text`.
  bool waitFor(const std::string& stream, const std::string& text, ms timeout);
  // Reads what is there, waiting at most `wait`; false when both pipes are closed.
  bool pump(ms wait);
  bool reap();

  pid_t pid_ = -1;
  int outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
  int status_ = -1;
  bool exited_ = false;
  rusage usage_{};
};

// Runs a simulator to its end (it must end by itself) and returns the exit code.
int RunToExit(const std::string& program, const std::vector<std::string>& args, std::string* err = nullptr,
              std::string* out = nullptr);

}  // namespace corvantest
