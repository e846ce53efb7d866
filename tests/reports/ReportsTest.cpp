#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "UdpListener.h"
#include "reports/EventLog.h"
#include "reports/PhoneHome.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"

using namespace Lib;
using brix32::gGlobalSettings;
using corvantest::FixedClock;
using corvantest::TempFolder;
using corvantest::UdpListener;

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
    text.replace(at, from.size(), to), at += to.size();
  return text;
}

// Every test runs with the temp folder as the current (program) folder, as start-up
// arranges, and with records filled the way a loaded settings file leaves them.
class ReportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    gGlobalSettings.SelfName = "CorvanControl";
    gGlobalSettings.Version = "1.2.3.4";
    gGlobalSettings.HostName = "PC01";
    gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
    gGlobalSettings.Path = dir.path();
    gGlobalSettings.Log.DaysOfLogFilesRetained = 7;
    gCorvanSettings.SerialComms = "COM1,57600,N,8,1";
    gCorvanSettings.ProcessVEKUnits = "ABC,DEF";
    gCorvanSettings.UDPAddr = "255.255.255.255";
    gCorvanSettings.UDPListenPort = 15167;
    gCorvanSettings.EnablePrinting = 1;
    gCorvanSettings.PrintCFSTasks = true;  // not part of the report
    gCorvanSettings.ProcessTarnexTCPFeed = true;
    gCorvanSettings.MainUnit = "abc";
    gCorvanSettings.PDWLogPath = "/srv/pdw logs/";
    gCorvanSettings.CorvanSrvcSettingsFilePath = dir.path() + "CorvanSrvc-Settings.xml";
    gVEKSettings.WWWHost = "127.0.0.1/vek";
    gVEKSettings.WWWHostAlt = "alt.tarnex.example";
    gVEKSettings.WWWHostActive = "active.tarnex.example";  // not part of the report
    gVEKSettings.URI = "/vek/rezedozo.dll";
  }
  void TearDown() override { ::chdir(home.c_str()); }

  corvantest::ProcessStateGuard processState;
  std::string home = std::filesystem::current_path().string();
  TempFolder dir;
  FixedClock clock{2024, 1, 21, 15, 36, 7, 123};  // a Sunday
  UdpListener phoneHome{15171};
};

const char* const kStartEvent = "Program started. v1.2.3.4\" (TfrmMain.FormCreate:900)";

}  // namespace

TEST_F(ReportsTest, PhoneHomeDatagramMatchesGoldenFile) {
  dir.write("CorvanSrvc-Version.txt", "2.1.0.37");
  dir.write("E!CorvanControl-20240101000000000.XML", "report");
  dir.write("D!one.txt", "");
  dir.write("D!two.txt", "");
  ASSERT_EQ(::mkdir(dir.file("D!folder").c_str(), 0755), 0);
  dir.write("Task-1.PDF", "");
  dir.write("Task-2.PDF", "");
  gVEKSettings.DebugFileCount = 99;  // refreshed from the folder before the report is built
  gGlobalSettings.ExceptionFileCount = 99;

  EXPECT_TRUE(PhoneHomeUDP15171(kStartEvent));
  const auto got = phoneHome.receive(2);
  ASSERT_EQ(got.size(), 1u);
  const std::string expected = ReplaceAll(corvantest::ReadTestData("reports/phone-home.txt"), "{Path}", dir.path());
  EXPECT_EQ(got[0].bytes, expected);
}

TEST_F(ReportsTest, ReportValuesAreInsertedAsTheyAre) {
  gCorvanSettings.EnablePrinting = 2;  // Disabled: the number, not the settings-file word
  gCorvanSettings.MainUnit = "A<B&C";
  gCorvanSettings.LastPDWLogFileLength = 0;
  gCorvanSettings.LastCorvanLogFileDateTime = 0;
  std::string report = BuildPhoneHomeReport("x < y & z");
  EXPECT_NE(report.find("<EnablePrinting>2</EnablePrinting>"), std::string::npos);
  EXPECT_NE(report.find("<MainUnit>A<B&C</MainUnit>"), std::string::npos);
  EXPECT_NE(report.find("<Event>x < y & z</Event>"), std::string::npos);
  EXPECT_NE(report.find("<LastPDWLogFileLength>0</LastPDWLogFileLength>"), std::string::npos);
  EXPECT_NE(report.find("<LastCorvanLogFileDateTime></LastCorvanLogFileDateTime>"), std::string::npos);
  EXPECT_NE(report.find("<CorvanSrvcVersion></CorvanSrvcVersion>"), std::string::npos);

  // A version file with its line end keeps it inside the element; the service's file is
  // found whatever the case of its name. A time set by the service is shown in full.
  dir.write("CORVANSRVC-VERSION.TXT", "3.0.0.1\r\n");
  gCorvanSettings.LastCorvanLogFileDateTime = brix32::EncodeDateTime({2023, 12, 5, 6, 7, 8});
  report = BuildPhoneHomeReport("e");
  EXPECT_NE(report.find("<CorvanSrvcVersion>3.0.0.1\r\n</CorvanSrvcVersion>"), std::string::npos);
  EXPECT_NE(report.find("<LastCorvanLogFileDateTime>05/12/23 06:07:08</LastCorvanLogFileDateTime>"), std::string::npos);
  for (const char* absent : {"PrintCFSTasks", "WWWHostActive", "SyslogServer"})
    EXPECT_EQ(report.find(absent), std::string::npos) << absent;
}

TEST_F(ReportsTest, PhoneHomeHostCases) {
  struct Case {
    const char* host;
    bool sent;
  } cases[] = {
      {"corvantest", true},  // the machine's own name inside the namespace
      {"127.0.0.1/vek/rezedozo.dll", true},
      {"", false},
      {"/vek", false},  // nothing before the first "/"
      {"nohost.tarnex.example", false},
  };
  for (const auto& c : cases) {
    gVEKSettings.WWWHost = c.host;
    EXPECT_EQ(PhoneHomeUDP15171("e"), c.sent) << c.host;
    EXPECT_EQ(phoneHome.receive(1, std::chrono::milliseconds(200)).size(), c.sent ? 1u : 0u) << c.host;
  }
}

TEST_F(ReportsTest, EventLogLinesGoToWeekdayFiles) {
  // The service's own lines stay; the name is matched whatever its case.
  dir.write("CORVANSRVC-EVENTLOG-SUN.TXT", "old line\r\n");
  clock.set(brix32::EncodeDateTime({2024, 1, 21, 23, 59, 59, 999}));
  WriteEventLog("last of Sunday", false);
  clock.set(brix32::EncodeDateTime({2024, 1, 22, 0, 0, 0, 0}));
  WriteEventLog("first of Monday", false);
  clock.set(brix32::EncodeDateTime({2024, 1, 28, 8, 5, 3, 7}));  // Sunday a week later
  WriteEventLog("two\r\nlines", false);

  EXPECT_EQ(dir.read("CORVANSRVC-EVENTLOG-SUN.TXT"),
            "old line\r\n"
            "21/01/24 23:59:59.999 CorvanControl last of Sunday\r\n"
            "28/01/24 08:05:03.007 CorvanControl two\r\nlines\r\n");
  EXPECT_EQ(dir.read("CORVANSRVC-EventLog-Mon.txt"), "22/01/24 00:00:00.000 CorvanControl first of Monday\r\n");
  EXPECT_TRUE(phoneHome.receive(1, std::chrono::milliseconds(200)).empty());
}

TEST_F(ReportsTest, EventLogPhonesHomeEvenWhenTheLineIsLost) {
  WriteEventLog(kStartEvent, true);
  EXPECT_EQ(dir.read("CORVANSRVC-EventLog-Sun.txt"),
            std::string("21/01/24 15:36:07.123 CorvanControl ") + kStartEvent + "\r\n");
  auto got = phoneHome.receive(2);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NE(got[0].bytes.find(std::string("<Event>") + kStartEvent + "</Event>"), std::string::npos);

  // A folder in the file's place makes the append fail.
  clock.set(brix32::EncodeDateTime({2024, 1, 22, 9, 0, 0, 0}));
  ASSERT_EQ(::mkdir(dir.file("CORVANSRVC-EventLog-Mon.txt").c_str(), 0755), 0);
  WriteEventLog("lost line", true);
  got = phoneHome.receive(2);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NE(got[0].bytes.find("<Event>lost line</Event>"), std::string::npos);
}

// Links another account planted under the event log's and the version file's names: the
// line is not appended to the link's target, and the target is not sent home.
TEST_F(ReportsTest, EventLogAndPhoneHomeNeverGoThroughAPlantedLink) {
  TempFolder outside;
  outside.write("log", "outside\r\n");
  outside.write("version", "SECRET");
  ASSERT_EQ(::symlink(outside.file("log").c_str(), dir.file("CORVANSRVC-EventLog-Sun.txt").c_str()), 0);
  ASSERT_EQ(::symlink(outside.file("version").c_str(), dir.file("CorvanSrvc-Version.txt").c_str()), 0);
  WriteEventLog("planted", true);
  EXPECT_EQ(outside.read("log"), "outside\r\n");
  const auto got = phoneHome.receive(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes.find("SECRET"), std::string::npos) << got[0].bytes;
}
