#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ChildProcesses.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "support/Diagnostics.h"
#include "support/ExePath.h"
#include "support/HostName.h"

using namespace brix32;
namespace fs = std::filesystem;

namespace {

// Started as a copy of this test program (see below), the program reports the program
// folder as seen from inside, removes its own folder, tries again, and ends before any
// test runs.
[[maybe_unused]] const bool kProbeRan = [] {
  if (!std::getenv("CORVAN_EXEPATH_PROBE")) return false;
  std::string report = GetEXEPath() + "\n";
  report += SetPathToEXEPath() + "\n";
  report += gGlobalSettings.Path + "\n";
  std::error_code ignored;
  fs::remove_all(GetEXEPath(), ignored);  // the program folder vanishes while we run
  gGlobalSettings.Path = "kept";
  report += SetPathToEXEPath() + "\n";
  report += gGlobalSettings.Path + "\n";
  (void)!::write(1, report.data(), report.size());
  ::_exit(0);
}();

std::string Canonical(const std::string& path) { return fs::canonical(path).string(); }

}  // namespace

TEST(GetEXEPath, IsTheFolderOfTheRunningProgramWithTrailingSlash) {
  EXPECT_EQ(GetEXEPath(), Canonical(CORVAN_TEST_BINARY_DIR) + "/");
}

TEST(SetPathToEXEPath, EntersTheProgramFolderAndRecordsIt) {
  const corvantest::ProcessStateGuard processState;
  const fs::path before = fs::current_path();
  ::chdir("/");
  const std::string folder = SetPathToEXEPath();
  EXPECT_EQ(folder, Canonical(CORVAN_TEST_BINARY_DIR) + "/");
  EXPECT_EQ(gGlobalSettings.Path, folder);
  EXPECT_EQ(fs::current_path().string() + "/", folder);
  fs::current_path(before);
}

TEST(SetPathToEXEPath, ThroughALinkAndAfterTheFolderWasRemoved) {
  corvantest::TempFolder dir;
  const std::string real = Canonical(dir.path()) + "/real/";
  fs::create_directory(real);
  fs::copy_file("/proc/self/exe", real + "prog");
  fs::permissions(real + "prog", fs::perms::owner_all);
  fs::create_symlink(real + "prog", dir.file("link"));

  const std::string report = corvantest::RunAndCapture(dir.file("link"), {"CORVAN_EXEPATH_PROBE=1"});
  EXPECT_EQ(report, real + "\n" +                    // GetEXEPath: the real folder, not the link's
                        real + "\n" + real + "\n" +  // entered and recorded
                        "Error - " + real + "\n" +   // gone: not entered ...
                        "kept\n");                   // ... and Path left alone
}

TEST(GetHostName, ReportsAndRecordsTheHostName) {
  const corvantest::ProcessStateGuard processState;
  utsname u{};
  ASSERT_EQ(::uname(&u), 0);
  EXPECT_EQ(GetHostName(), u.nodename);
  EXPECT_EQ(gGlobalSettings.HostName, u.nodename);
}
