#include "support/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <thread>

extern char** environ;

namespace brix32 {
namespace {

// A posix_spawn settings object, destroyed with its scope.
template <class T, int (*Init)(T*), int (*Destroy)(T*)>
class SpawnObject {
 public:
  SpawnObject() { Init(&value_); }
  ~SpawnObject() { Destroy(&value_); }
  SpawnObject(const SpawnObject&) = delete;
  SpawnObject& operator=(const SpawnObject&) = delete;
  T* get() { return &value_; }

 private:
  T value_;
};
using SpawnActions =
    SpawnObject<posix_spawn_file_actions_t, posix_spawn_file_actions_init, posix_spawn_file_actions_destroy>;
using SpawnAttributes = SpawnObject<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;

}  // namespace

pid_t StartChild(const tChildStart& start) {
  SpawnActions actions;
  if (start.StdOut >= 0 && ::posix_spawn_file_actions_adddup2(actions.get(), start.StdOut, 1) != 0) return -1;
  if (start.StdErr >= 0 && ::posix_spawn_file_actions_adddup2(actions.get(), start.StdErr, 2) != 0) return -1;
  if (!start.WorkDir.empty() && ::posix_spawn_file_actions_addchdir_np(actions.get(), start.WorkDir.c_str()) != 0)
    return -1;

  // Whatever this process ignores or blocks (a GUI may ignore SIGPIPE) is not the
  // child's business.
  SpawnAttributes attr;
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  ::posix_spawnattr_setsigdefault(attr.get(), &all);
  ::posix_spawnattr_setsigmask(attr.get(), &none);
  ::posix_spawnattr_setflags(attr.get(), POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> argv;
  argv.reserve(start.Argv.size() + 1);
  for (const std::string& a : start.Argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const bool search = start.Program.find('/') == std::string::npos;
  pid_t pid = -1;
  // glibc reports a failed chdir or exec here, not as a child that exits with 127.
  const int rc = search ? ::posix_spawnp(&pid, start.Program.c_str(), actions.get(), attr.get(), argv.data(), environ)
                        : ::posix_spawn(&pid, start.Program.c_str(), actions.get(), attr.get(), argv.data(), environ);
  return rc == 0 ? pid : -1;
}

void ReapInBackground(pid_t pid) {
  if (pid <= 0) return;
  int status = 0;
  if (::waitpid(pid, &status, WNOHANG) != 0) return;  // ended already (or not ours)
  std::thread([pid] {
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace brix32
