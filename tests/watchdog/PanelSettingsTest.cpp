#include <gtest/gtest.h>

#include "Hostile.h"
#include "TempFolder.h"
#include "watchdog/PanelSettings.h"

using namespace MainForm;

namespace {

std::string Lines(const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& text : texts) all += text + "\n";
  return all;
}

}  // namespace

TEST(PanelSettingsTest, LimitsComeFromTheFileAndABadValueFallsBackToItsDefault) {
  struct tCase {
    const char* file;  // nullptr: no file
    std::array<std::int32_t, 3> minutes;
    const char* problems;
  };
  const tCase cases[] = {
      {nullptr, {10, 10, 10}, ""},
      {"", {10, 10, 10}, ""},
      {"[FeedWatchdog]\nVendorFeedMinutes=3\nSerialReceiverMinutes=0\nUdpFeedMinutes=10080\n", {3, 0, 10080}, ""},
      {"[FeedWatchdog]\r\nVendorFeedMinutes = 25 \r\n", {25, 10, 10}, ""},
      {"[Other]\nVendorFeedMinutes=3\n", {10, 10, 10}, ""},
      {"[FeedWatchdog]\nVendorFeedMinutes=ten\nUdpFeedMinutes=-1\nSerialReceiverMinutes=10081\n",
       {10, 10, 10},
       "CorvanControl-Panel.ini: [FeedWatchdog] VendorFeedMinutes=ten is not a whole number of minutes from 0 to 10080: using 10\n"
       "CorvanControl-Panel.ini: [FeedWatchdog] SerialReceiverMinutes=10081 is not a whole number of minutes from 0 to 10080: using 10\n"
       "CorvanControl-Panel.ini: [FeedWatchdog] UdpFeedMinutes=-1 is not a whole number of minutes from 0 to 10080: using 10\n"},
      {"[FeedWatchdog]\nVendorFeedMinutes=2.5\nUdpFeedMinutes=\n",
       {10, 10, 10},
       "CorvanControl-Panel.ini: [FeedWatchdog] VendorFeedMinutes=2.5 is not a whole number of minutes from 0 to 10080: using 10\n"
       "CorvanControl-Panel.ini: [FeedWatchdog] UdpFeedMinutes= is not a whole number of minutes from 0 to 10080: using 10\n"},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "(no file)");
    corvantest::TempFolder dir;
    if (c.file) dir.write("CorvanControl-Panel.ini", c.file);
    const tWatchdogLimits limits = ReadWatchdogLimits(dir.path());
    EXPECT_EQ(limits.Minutes, c.minutes);
    EXPECT_EQ(Lines(limits.Problems), c.problems);
  }
}

TEST(PanelSettingsTest, AFileThatCannotBeReadGivesTheDefaultsAndSaysSoWithoutBlocking) {
  for (const corvantest::tPlanted kind : {corvantest::tPlanted::Fifo, corvantest::tPlanted::Folder,
                                          corvantest::tPlanted::DevZeroLink, corvantest::tPlanted::Huge}) {
    SCOPED_TRACE(corvantest::PlantedName(kind));
    corvantest::TempFolder dir;
    corvantest::Plant(kind, dir.file("CorvanControl-Panel.ini"), "");
    tWatchdogLimits limits;
    ASSERT_TRUE(corvantest::FinishesInChild([&] { ReadWatchdogLimits(dir.path()); }));
    limits = ReadWatchdogLimits(dir.path());
    EXPECT_EQ(limits.Minutes, (std::array<std::int32_t, 3>{10, 10, 10}));
    ASSERT_EQ(limits.Problems.size(), 1u);
    EXPECT_EQ(limits.Problems[0].rfind("CorvanControl-Panel.ini ", 0), 0u) << limits.Problems[0];
    EXPECT_NE(limits.Problems[0].find(": using the default limits"), std::string::npos) << limits.Problems[0];
  }
}
