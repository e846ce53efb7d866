#pragma once
// One running copy per user: an exclusive flock on a lock file named after the program
// in $XDG_RUNTIME_DIR (or a per-user file in the temp folder). The lock is the kernel's,
// so it goes away with the process, however the process ends.
#include <string>

namespace MainForm {

class TSingleInstance {
 public:
  TSingleInstance() = default;
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // Takes the lock named `Name`. False only when another holder already has it; a lock
  // file that cannot be opened at all does not stop the program.
  bool Claim(const std::string& Name);
  // Where the lock file for `Name` lives.
  static std::string LockFilePath(const std::string& Name);

 private:
  int fd_ = -1;
};

}  // namespace MainForm
