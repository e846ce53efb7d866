#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "SingleInstance.h"
#include "TempFolder.h"

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

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds) {
  corvantest::TempFolder runtime;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().c_str());
  EXPECT_EQ(TSingleInstance::LockFilePath("corvancontrol"), runtime.path() + "corvancontrol");
  auto first = std::make_unique<TSingleInstance>();
  ASSERT_TRUE(first->Claim("corvancontrol"));
  // Another process, as a second copy of the program would be.
  const pid_t child = ::fork();
  if (child == 0) {
    TSingleInstance second;
    ::_exit(second.Claim("corvancontrol") ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  TSingleInstance sameProcess;
  EXPECT_FALSE(sameProcess.Claim("corvancontrol"));
  first.reset();
  EXPECT_TRUE(sameProcess.Claim("corvancontrol"));
}

TEST(SingleInstance, WithoutRuntimeFolderAPerUserFileInTemp) {
  corvantest::TempFolder temp;
  ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
  ScopedEnv tmpdir("TMPDIR", temp.path().c_str());
  const std::string path = TSingleInstance::LockFilePath("corvancontrol");
  EXPECT_EQ(path, temp.path() + "corvancontrol-" + std::to_string(::getuid()));
  TSingleInstance lock;
  EXPECT_TRUE(lock.Claim("corvancontrol"));
  EXPECT_TRUE(temp.exists("corvancontrol-" + std::to_string(::getuid())));
}
