#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "TempFolder.h"
#include "app/SingleInstance.h"

using MainForm::tInstanceClaim;
using MainForm::TSingleInstance;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_.empty())
      ::unsetenv(name_);
    else
      ::setenv(name_, old_.c_str(), 1);
  }

 private:
  const char* name_;
  std::string old_;
};

}  // namespace

// Whether another process (as a second copy of the program would be) gets the lock.
tInstanceClaim ClaimInAnotherProcess() {
  const pid_t child = ::fork();
  if (child == 0) {
    TSingleInstance second;
    ::_exit(static_cast<int>(second.Claim("corvancontrol")));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return static_cast<tInstanceClaim>(WEXITSTATUS(status));
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds) {
  corvantest::TempFolder runtime;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().c_str());
  EXPECT_EQ(TSingleInstance::LockFilePath("corvancontrol"), runtime.path() + "corvancontrol");
  auto first = std::make_unique<TSingleInstance>();
  ASSERT_EQ(first->Claim("corvancontrol"), tInstanceClaim::Claimed);
  EXPECT_EQ(ClaimInAnotherProcess(), tInstanceClaim::HeldElsewhere);
  TSingleInstance sameProcess;
  EXPECT_EQ(sameProcess.Claim("corvancontrol"), tInstanceClaim::HeldElsewhere);
  first.reset();
  EXPECT_EQ(sameProcess.Claim("corvancontrol"), tInstanceClaim::Claimed);
}

TEST(SingleInstance, WithoutRuntimeFolderAFolderOfOurOwnInTemp) {
  corvantest::TempFolder temp;
  ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
  ScopedEnv tmpdir("TMPDIR", temp.path().c_str());
  const std::string folder = temp.path() + "corvancontrol-" + std::to_string(::getuid());
  EXPECT_EQ(TSingleInstance::LockFilePath("corvancontrol"), folder + "/corvancontrol");
  const mode_t oldMask = ::umask(0);  // the folder is 0700 whatever the umask
  TSingleInstance lock;
  const tInstanceClaim claim = lock.Claim("corvancontrol");
  ::umask(oldMask);
  ASSERT_EQ(claim, tInstanceClaim::Claimed);
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/corvancontrol"));
  EXPECT_EQ(ClaimInAnotherProcess(), tInstanceClaim::HeldElsewhere);
}

TEST(SingleInstance, AFallbackFolderNotOursWithMode0700IsRefused) {
  const std::string uid = std::to_string(::getuid());
  int held = -1;
  // Each prepares TMPDIR's fallback folder (or what stands in its place).
  const struct {
    const char* name;
    std::function<void(const std::string&)> prepare;
  } cases[] = {
      {"world-writable, another holding the lock in it",
       [&held](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         ::chmod(f.c_str(), 0777);
         held = ::open((f + "/corvancontrol").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
         ::flock(held, LOCK_EX);
       }},
      {"readable by the group",
       [](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         ::chmod(f.c_str(), 0750);
       }},
      {"a link to a folder of ours",
       [](const std::string& f) {
         ::mkdir((f + ".real").c_str(), 0700);
         ::symlink((f + ".real").c_str(), f.c_str());
       }},
      {"a file", [](const std::string& f) { ::close(::open(f.c_str(), O_WRONLY | O_CREAT, 0600)); }},
      {"another user's",
       [](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         if (::chown(f.c_str(), 65534, 65534) != 0) {
           ::chmod(f.c_str(), 0770);  // not root: a wrong mode must do
         }
       }},
  };
  ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    corvantest::TempFolder temp;
    ScopedEnv tmpdir("TMPDIR", temp.path().c_str());
    const std::string folder = temp.path() + "corvancontrol-" + uid;
    c.prepare(folder);
    TSingleInstance lock;
    EXPECT_EQ(lock.Claim("corvancontrol"), tInstanceClaim::FolderRefused);
    EXPECT_NE(lock.Problem().find(folder), std::string::npos) << lock.Problem();
  }
  ::close(held);
  // A temp folder where ours cannot be made.
  ScopedEnv tmpdir("TMPDIR", "/proc");
  TSingleInstance lock;
  EXPECT_EQ(lock.Claim("corvancontrol"), tInstanceClaim::FolderRefused);
  EXPECT_NE(lock.Problem().find("cannot be made"), std::string::npos) << lock.Problem();
}
