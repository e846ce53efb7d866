#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace corvantest {

using Clock = std::chrono::steady_clock;

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args) {
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + program);
  }
}

SimProcess::~SimProcess() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
}

bool SimProcess::pump(ms wait) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (outFd_ < 0 && errFd_ < 0) return false;
  const int n = ::poll(fds, 2, static_cast<int>(wait.count()));
  if (n <= 0) return true;
  int* fdOf[2] = {&outFd_, &errFd_};
  std::string* textOf[2] = {&out_, &err_};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buffer[4096];
    const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
    if (got > 0) {
      textOf[i]->append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      ::close(*fdOf[i]);
      *fdOf[i] = -1;
    }
  }
  return outFd_ >= 0 || errFd_ >= 0;
}

bool SimProcess::reap() {
  if (exited_) return true;
  if (::wait4(pid_, &status_, WNOHANG, &usage_) == pid_) exited_ = true;
  return exited_;
}

bool SimProcess::waitForOutput(const std::string& text, ms timeout) { return waitFor(out_, text, timeout); }

bool SimProcess::waitForError(const std::string& text, ms timeout) { return waitFor(err_, text, timeout); }

bool SimProcess::waitFor(const std::string& stream, const std::string& text, ms timeout) {
  const auto deadline = Clock::now() + timeout;
  while (stream.find(text) == std::string::npos) {
    if (Clock::now() >= deadline) return false;
    if (!pump(ms(50)) && reap()) return stream.find(text) != std::string::npos;
  }
  return true;
}

int SimProcess::waitForExit(ms timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!reap()) {
    if (Clock::now() >= deadline) return -1;
    pump(ms(20));
  }
  while (pump(ms(200))) {
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int SimProcess::stop(ms timeout) {
  if (!exited_) ::kill(pid_, SIGTERM);
  return waitForExit(timeout);
}

int RunToExit(const std::string& program, const std::vector<std::string>& args, std::string* err, std::string* out) {
  SimProcess process(program, args);
  const int code = process.waitForExit();
  if (err) *err = process.err();
  if (out) *out = process.out();
  return code;
}

}  // namespace corvantest
