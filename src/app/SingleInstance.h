#pragma once
// One running copy per user: an exclusive flock on a lock file named after the program
// in $XDG_RUNTIME_DIR, or, without one, in a folder of our own in the temp folder
// ($TMPDIR/NAME-UID). The lock is the kernel's, so it goes away with the process, however
// the process ends.
#include <string>

namespace MainForm {

enum class tInstanceClaim {
  Claimed,        // ours now (also when no lock file could be made in a usable folder)
  HeldElsewhere,  // another copy holds it
  FolderRefused,  // the temp-folder fallback is not a folder of ours with mode 0700
};

class TSingleInstance {
 public:
  TSingleInstance() = default;
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // Takes the lock named `Name`. The temp folder is shared with every other account: a
  // fallback folder someone else made (or could write into) would let them hold our
  // lock, so it is refused, as Qt refuses such a runtime folder.
  tInstanceClaim Claim(const std::string& Name);
  // After FolderRefused: what is wrong, naming the folder.
  const std::string& Problem() const { return problem_; }

  // Where the lock file for `Name` lives.
  static std::string LockFilePath(const std::string& Name);

 private:
  int fd_ = -1;
  std::string problem_;
};

}  // namespace MainForm
