#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "support/Diagnostics.h"
#include "support/Hooks.h"
#include "support/SystemStatus.h"

using namespace brix32;

TEST(MachineUpTime, SplitsTicksIntoWeeksDaysAndTime) {
  struct Case {
    std::int64_t ticks;
    const char* text;
  } cases[] = {
      {0, "0w0d00h00m00s"},
      {999, "0w0d00h00m00s"},
      {273909000, "0w3d04h05m09s"},
      {4294967295LL, "7w0d17h02m47s"},
      {4294967296LL + 1000, "7w0d17h02m48s"},  // past 2^32 ms it goes on counting
      {86400000LL * 400, "57w1d00h00m00s"},
  };
  for (const auto& c : cases) EXPECT_EQ(MachineUpTimeFromTicks(c.ticks).Text, c.text) << c.ticks;
  EXPECT_NEAR(MachineUpTimeFromTicks(273909000).Days, 3.170243, 1e-6);
}

TEST(MachineUpTime, ReadsTheReplaceableTickCount) {
  corvantest::FixedClock clock(45000.0, 5000000000ULL);
  const tMachineUpTime u = MachineUpTime();
  EXPECT_EQ(u.TickCount, 5000000000LL);
  EXPECT_EQ(u.Text, "8w1d20h53m20s");
}

TEST(GetMemoryStatus, FillsConsistentFigures) {
  const tMemoryStatusRec m = GetMemoryStatus();
  ASSERT_TRUE(m.OK);
  EXPECT_GT(m.TotalPhys, 0u);
  EXPECT_LE(m.AvailPhys, m.TotalPhys);
  EXPECT_EQ(m.UsedPhys, m.TotalPhys - m.AvailPhys);
  EXPECT_GT(m.TotalVirtual, m.AvailVirtual);
  EXPECT_GT(m.UsedVirtual, 0u);
  EXPECT_NEAR(m.AvailVirtualPercent, static_cast<double>(m.AvailVirtual) / static_cast<double>(m.TotalVirtual) * 100,
              1e-9);
}

TEST(SetGlobalExceptionAndDebugFileCount, CountsReportFilesOnly) {
  CORVAN_REQUIRE_HERMETIC_NETWORK();
  const corvantest::ProcessStateGuard processState;
  corvantest::TempFolder dir;
  gGlobalSettings.Path = dir.path();
  for (const char* name : {"E!a.xml", "E!b.xml", "D!x.txt", "Ex.txt", "U!1.TXT", "X!other"}) dir.write(name, "x");
  ::mkdir(dir.file("E!folder").c_str(), 0755);
  int pumped = 0;
  SetProcessMessagesHandler([&] { ++pumped; });
  SetGlobalExceptionAndDebugFileCount();
  SetProcessMessagesHandler(nullptr);
  EXPECT_EQ(gGlobalSettings.ExceptionFileCount, 2);
  EXPECT_EQ(pumped, 1);  // only after the entry that is neither E, D nor U

  gGlobalSettings.ExceptionFileCount = 5;
  gGlobalSettings.Path = dir.file("gone/");  // failure keeps the previous count
  SetGlobalExceptionAndDebugFileCount();
  EXPECT_EQ(gGlobalSettings.ExceptionFileCount, 5);
}
