#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ChildProcesses.h"
#include "DisplayFile.h"
#include "TempFolder.h"

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
              "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" + bin.file("argv.tmp") + "'\n"
              "mv '" + bin.file("argv.tmp") + "' '" + bin.file("argv") + "'\n");
    fs::permissions(bin.file("bin/xdg-open"), fs::perms::owner_all);
    ::setenv("PATH", (bin.file("bin") + ":" + savedPath).c_str(), 1);
  }
  void TearDown() override { ::setenv("PATH", savedPath.c_str(), 1); }

  TempFolder bin;
  std::string savedPath;
};

}  // namespace

TEST_F(DisplayFileTest, PassesTheNameAsOneArgumentWithoutAShell) {
  const std::string name =
      bin.file("Task \"7\" $HOME `touch pwned` ; touch pwned2 $(touch pwned3)\nline2 'x'.pdf");
  DisplayFile(name);
  ASSERT_TRUE(corvantest::WaitFor([&] { return bin.exists("argv"); }));
  EXPECT_EQ(bin.read("argv"), name + std::string(1, '\0'));
  for (const char* f : {"pwned", "pwned2", "pwned3"}) EXPECT_FALSE(fs::exists(f)) << f;
  EXPECT_TRUE(corvantest::WaitFor([] { return corvantest::ZombieChildren() == 0; }))
      << "the opener is reaped when it ends";
}

TEST_F(DisplayFileTest, NoOpenerInstalledIsQuiet) {
  ::setenv("PATH", bin.file("nothing-here").c_str(), 1);
  DisplayFile(bin.file("a.pdf"));
  EXPECT_FALSE(bin.exists("argv"));
  EXPECT_EQ(corvantest::ZombieChildren(), 0);
}
