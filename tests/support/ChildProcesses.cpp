#include "ChildProcesses.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace corvantest {
namespace {

std::vector<char*> CStrings(const std::vector<std::string>& v) {
  std::vector<char*> out;
  for (const std::string& s : v) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

bool BecomeNobody() { return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0; }

}  // namespace

RunningProcess::RunningProcess(const std::string& program, std::vector<std::string> argv, std::optional<uid_t> user) {
  const std::vector<char*> args = CStrings(argv);
  int sync[2];
  if (::pipe2(sync, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    ::close(sync[0]);
    if (!user || BecomeNobody()) ::execv(program.c_str(), args.data());
    const int err = errno;
    (void)!::write(sync[1], &err, sizeof err);
    ::_exit(127);
  }
  ::close(sync[1]);
  int err = 0;
  // EOF means the exec happened (the close-on-exec end went away).
  const ssize_t n = ::read(sync[0], &err, sizeof err);
  ::close(sync[0]);
  if (n > 0) {
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(err));
  }
}

RunningProcess::~RunningProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

void RunningProcess::killLeavingZombie() {
  ::kill(pid_, SIGKILL);
  siginfo_t info{};
  ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);
}

int RunAsNobody(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) ::_exit(BecomeNobody() ? body() : 126);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string RunAndCapture(const std::string& program, const std::vector<std::string>& env) {
  std::vector<std::string> environment = env;
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  const std::vector<char*> envp = CStrings(environment);
  const std::vector<std::string> argv{program};
  const std::vector<char*> args = CStrings(argv);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::execve(program.c_str(), args.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  ::waitpid(pid, nullptr, 0);
  return text;
}

int ZombieChildren() {
  int zombies = 0;
  DIR* proc = ::opendir("/proc");
  if (!proc) return -1;
  while (const dirent* e = ::readdir(proc)) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
    std::string stat;
    std::getline(in, stat);
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && state == 'Z' && ppid == ::getpid())
      ++zombies;
  }
  ::closedir(proc);
  return zombies;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace corvantest
