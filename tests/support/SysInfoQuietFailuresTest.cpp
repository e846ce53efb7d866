#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "ChildProcesses.h"
#include "FakeCupsServer.h"
#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "UdpListener.h"
#include "support/AutoRun.h"
#include "support/DefaultPrinter.h"
#include "support/Diagnostics.h"
#include "support/DisplayFile.h"
#include "support/DosOutput.h"
#include "support/FileVersion.h"
#include "support/Hooks.h"
#include "support/ProcessCount.h"

using namespace brix32;
namespace fs = std::filesystem;

namespace {

// With the process named (so that any caught error would write a report, beep and post
// a syslog line), the routine failures of the system operations must do none of that.
class QuietFailuresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    // Printer discovery goes through avahi on the system bus and would browse the real
    // network: without a bus CUPS asks only the server it is given.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/corvan-no-bus", 1);
    gGlobalSettings.SelfName = "CorvanControl";
    gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
    gGlobalSettings.Path = reports.path();
    SetBeepHandler([this](int, int) { ++beeps; });
    SetMessageBoxHandler([this](const std::string&) { ++messages; });
  }
  std::size_t reportFiles() const {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(reports.path())) n += e.path().filename().string().rfind("E!", 0) == 0;
    return n;
  }

  corvantest::ProcessStateGuard processState;
  corvantest::TempFolder reports;
  corvantest::TempFolder scratch;
  corvantest::UdpListener syslog{514};
  corvantest::FixedClock clock{2024, 1, 21, 15, 36, 7, 123};
  int beeps = 0;
  int messages = 0;
};

}  // namespace

TEST_F(QuietFailuresTest, RoutineFailuresWriteNoReportBeepOrSyslog) {
  EXPECT_EQ(GetDosOutput("echo x", true, scratch.file("no/such/folder")), "");
  EXPECT_EQ(FileVersion2(scratch.file("missing.exe")), "");
  scratch.write("garbage.exe", std::string(100, '\x7f'));
  EXPECT_EQ(FileVersion2(scratch.file("garbage.exe")), "");
  EXPECT_EQ(ProcessCount("no-such-program.exe"), 0);

  const char* oldDirs = std::getenv("XDG_CONFIG_DIRS");
  const std::string savedDirs = oldDirs ? oldDirs : "";
  ::setenv("XDG_CONFIG_DIRS", scratch.file("xdg").c_str(), 1);  // no autostart folder
  SetAutoRun("CorvanControl", "\"/opt/corvan/CorvanControl\"");
  if (oldDirs)
    ::setenv("XDG_CONFIG_DIRS", savedDirs.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_DIRS");

  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", scratch.file("empty").c_str(), 1);  // no xdg-open anywhere
  DisplayFile(scratch.file("a.pdf"));
  ::setenv("PATH", savedPath.c_str(), 1);

  corvantest::UseCupsServer("127.0.0.1:" + std::to_string(corvantest::ClosedLoopbackPort()));
  EXPECT_EQ(GetDefaultPrinterName(), "");
  corvantest::UseCupsServer("");

  EXPECT_EQ(reportFiles(), 0u);
  EXPECT_EQ(beeps, 0);
  EXPECT_EQ(messages, 0);
  EXPECT_TRUE(syslog.receive(1, std::chrono::milliseconds(300)).empty());
}

TEST_F(QuietFailuresTest, TheWatchersAboveDoSeeARealError) {
  // The same checks notice an error that is caught and reported.
  Operation op("brix32.Probe");
  op.Run([] { throw std::runtime_error("probe"); });
  EXPECT_EQ(reportFiles(), 1u);
  EXPECT_EQ(beeps, 4);
  EXPECT_EQ(syslog.receive(1).size(), 1u);
}
