#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "ChildProcesses.h"
#include "TempFolder.h"
#include "support/DisplayFile.h"

using namespace brix32;
using corvantest::TempFolder;
namespace fs = std::filesystem;

namespace {

// Puts a fake xdg-open first on PATH that records its arguments, zero-separated.
class DisplayFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    fs::create_directory(bin.file("bin"));
    bin.write("bin/xdg-open",
              "#!/bin/sh\n"
              "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" +
                  bin.file("argv.tmp") +
                  "'\n"
                  "mv '" +
                  bin.file("argv.tmp") + "' '" + bin.file("argv") + "'\n");
    fs::permissions(bin.file("bin/xdg-open"), fs::perms::owner_all);
    ::setenv("PATH", (bin.file("bin") + ":" + savedPath).c_str(), 1);
  }
  void TearDown() override { ::setenv("PATH", savedPath.c_str(), 1); }

  TempFolder bin;
  std::string savedPath;
};

}  // namespace

TEST_F(DisplayFileTest, PassesTheNameAsOneArgumentWithoutAShell) {
  const std::string name = bin.file("Task \"7\" $HOME `touch pwned` ; touch pwned2 $(touch pwned3)\nline2 'x'.pdf");
  const pid_t opener = DisplayFile(name);
  ASSERT_GT(opener, 0);
  int status = -1;
  ASSERT_EQ(::waitpid(opener, &status, 0), opener);
  EXPECT_EQ(DisplayFileProblem(name, status), "");
  EXPECT_EQ(bin.read("argv"), name + std::string(1, '\0'));
  for (const char* f : {"pwned", "pwned2", "pwned3"}) EXPECT_FALSE(fs::exists(f)) << f;
}

TEST_F(DisplayFileTest, NoOpenerInstalledStartsNothingAndSaysSo) {
  ::setenv("PATH", bin.file("nothing-here").c_str(), 1);
  EXPECT_EQ(DisplayFile(bin.file("a.pdf")), -1);
  EXPECT_FALSE(bin.exists("argv"));
  EXPECT_EQ(corvantest::ZombieChildren(), 0);
  EXPECT_EQ(DisplayFileProblem("a.pdf", -1),
            "Could not open a.pdf:\nxdg-open, which opens it with the desktop's program, could not be "
            "started. Is xdg-utils installed?");
}

TEST_F(DisplayFileTest, TheOpenersFailuresAreSaidInWords) {
  const struct {
    int status;  // as waitpid gives it
    const char* why;
  } cases[] = {
      {1 << 8, "xdg-open did not understand the request (xdg-open exit status 1)."},
      {2 << 8, "it does not exist (xdg-open exit status 2)."},
      {3 << 8, "the desktop has no program to open it with (xdg-open exit status 3)."},
      {4 << 8, "the program that should have opened it failed (xdg-open exit status 4)."},
      {9 << 8, "xdg-open failed (xdg-open exit status 9)."},
      {SIGKILL, "xdg-open was ended by signal 9."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DisplayFileProblem("https://x/y", c.status), std::string("Could not open https://x/y:\n") + c.why);
}
