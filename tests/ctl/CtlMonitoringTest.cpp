// check and metrics: the rendering of a station as monitoring systems read it, and the
// commands on real program folders beside the simulated service.
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "CtlFixture.h"
#include "ScopedMount.h"
#include "ctl/Monitoring.h"
#include "settings/CorvanSettings.h"
#include "support/FileUtils.h"

using namespace corvantest;
using corvanctl::tCheckOptions;
using corvanctl::tFeedLook;
using corvanctl::tPluginState;
using corvanctl::tStationLook;
using MainForm::tFeed;

namespace {

constexpr std::int64_t kNow = 1772366400000;  // 12:00:00 UTC on 1 March 2026
constexpr std::int64_t kSecond = 1000;

// A station that is well: one service process, printing on, connected.
tStationLook Healthy() {
  tStationLook look;
  look.NowMs = kNow;
  look.State.ServiceProgramExists = true;
  look.State.ProcessCount = 1;
  look.State.EnablePrinting = 1;
  look.State.WWWHost = "vendor.test";
  look.Status = MainForm::DecideStatus(look.State);
  look.PrintingReady = MainForm::PrintingReady(look.State);
  look.GoingCount = 2;
  look.ControlVersion = "1.0.0.1";
  look.ServiceVersion = "3.1.0.12";
  return look;
}

// A feed whose heartbeat was written AgeSeconds ago (negative: ahead of the clock).
tFeedLook Feed(tFeed Which, std::int64_t AgeSeconds, std::int32_t LimitMinutes = 10) {
  tFeedLook feed;
  feed.Feed = Which;
  feed.LimitMinutes = LimitMinutes;
  feed.Stamp.Present = true;
  feed.Stamp.HasTime = true;
  feed.Stamp.ModifiedMs = kNow - AgeSeconds * kSecond;
  feed.Age = MainForm::FeedAgeAt(feed.Stamp, kNow);
  return feed;
}

tFeedLook NoHeartbeat(tFeed Which) {
  tFeedLook feed;
  feed.Feed = Which;
  feed.LimitMinutes = 10;
  return feed;
}

void Decide(tStationLook& look) {
  look.Status = MainForm::DecideStatus(look.State);
  look.PrintingReady = MainForm::PrintingReady(look.State);
}

class CtlMonitoringTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    EditSettings([] {
      Lib::gVEKSettings.WWWHost = "127.0.0.1";
      Lib::gCorvanSettings.ProcessTarnexTCPFeed = true;
      Lib::gCorvanSettings.UDPListenPort = 0;
      Lib::gCorvanSettings.EnablePrinting = 1;
    });
  }

  void Age(const std::string& Name, int Seconds) const {
    const std::int64_t now = MainForm::UnixNowMs() / 1000 - Seconds;
    const timespec t{static_cast<time_t>(now), 0};
    const timespec times[2] = {t, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.file(Name).c_str(), times, 0), 0);
  }

  // promtool's verdict on a text in the exposition format.
  static CtlResult Promtool(const std::string& Text) {
    TempFolder scratch;
    scratch.write("metrics.prom", Text);
    return RunResult("/bin/sh", {"-c", "exec promtool check metrics <\"$0\"", scratch.file("metrics.prom")});
  }
};

}  // namespace

TEST(CheckRenderingTest, StateSummaryAndPerformanceDataFollowTheStation) {
  struct tCase {
    const char* name;
    std::function<void(tStationLook&, tCheckOptions&)> setUp;
    tPluginState state;
    const char* line;
  };
  const tCase cases[] = {
      {"well, two feeds",
       [](tStationLook& l, tCheckOptions&) {
         l.Feeds = {Feed(tFeed::VendorTcp, 42), Feed(tFeed::Udp, 200)};
       },
       tPluginState::Ok,
       "CORVAN OK - Corvan service is running. Last data from the vendor feed 42 s ago, the UDP feed 3 min ago. | "
       "vendor_feed_age=42s;300;600;0 udp_feed_age=200s;300;600;0 processes=1;;;0 going=2;;;0"},
      {"no feed expected, going count not known", [](tStationLook& l, tCheckOptions&) { l.GoingCount = -1; },
       tPluginState::Ok, "CORVAN OK - Corvan service is running. | processes=1;;;0 going=U;;;0"},
      {"past the warning age", [](tStationLook& l, tCheckOptions&) { l.Feeds = {Feed(tFeed::Serial, 301)}; },
       tPluginState::Warning,
       "CORVAN WARNING - No data from the serial receiver for 5 min (warning at 5 min). | "
       "serial_feed_age=301s;300;600;0 processes=1;;;0 going=2;;;0"},
      {"past the critical age, the worst first",
       [](tStationLook& l, tCheckOptions&) {
         l.Feeds = {Feed(tFeed::VendorTcp, 400), Feed(tFeed::Udp, 601)};
       },
       tPluginState::Critical,
       "CORVAN CRITICAL - No data from the UDP feed for 10 min (critical at 10 min). No data from the vendor feed "
       "for 6 min (warning at 5 min). | vendor_feed_age=400s;300;600;0 udp_feed_age=601s;300;600;0 "
       "processes=1;;;0 going=2;;;0"},
      {"the options override the file's limits, 0 switching one off",
       [](tStationLook& l, tCheckOptions& o) {
         l.Feeds = {Feed(tFeed::VendorTcp, 400, 0)};
         o.WarningAgeSeconds = 0;
         o.CriticalAgeSeconds = 390;
       },
       tPluginState::Critical,
       "CORVAN CRITICAL - No data from the vendor feed for 6 min (critical at 6 min). | "
       "vendor_feed_age=400s;;390;0 processes=1;;;0 going=2;;;0"},
      {"a feed whose limit is off is only measured",
       [](tStationLook& l, tCheckOptions&) { l.Feeds = {Feed(tFeed::VendorTcp, 86400, 0)}; }, tPluginState::Ok,
       "CORVAN OK - Corvan service is running. Last data from the vendor feed 24 h ago. | "
       "vendor_feed_age=86400s;;;0 processes=1;;;0 going=2;;;0"},
      {"an expected feed without a heartbeat file",
       [](tStationLook& l, tCheckOptions&) { l.Feeds = {NoHeartbeat(tFeed::Udp)}; }, tPluginState::Critical,
       "CORVAN CRITICAL - No heartbeat file from the UDP feed. | udp_feed_age=U;300;600;0 processes=1;;;0 going=2;;;0"},
      {"a heartbeat without a modification time",
       [](tStationLook& l, tCheckOptions&) {
         tFeedLook feed = NoHeartbeat(tFeed::VendorTcp);
         feed.Stamp.Present = true;
         l.Feeds = {feed};
       },
       tPluginState::Unknown,
       "CORVAN UNKNOWN - The heartbeat of the vendor feed has no modification time. | "
       "vendor_feed_age=U;300;600;0 processes=1;;;0 going=2;;;0"},
      {"a heartbeat dated ahead of the clock",
       [](tStationLook& l, tCheckOptions&) { l.Feeds = {Feed(tFeed::VendorTcp, -3600)}; }, tPluginState::Warning,
       "CORVAN WARNING - The heartbeat of the vendor feed is dated 60 min ahead of this clock. | "
       "vendor_feed_age=0s;300;600;0 processes=1;;;0 going=2;;;0"},
      {"a few seconds ahead is a late write, not a clock",
       [](tStationLook& l, tCheckOptions&) { l.Feeds = {Feed(tFeed::VendorTcp, -5)}; }, tPluginState::Ok,
       "CORVAN OK - Corvan service is running. Last data from the vendor feed 0 s ago. | "
       "vendor_feed_age=0s;300;600;0 processes=1;;;0 going=2;;;0"},
      {"no service process",
       [](tStationLook& l, tCheckOptions&) {
         l.State.ProcessCount = 0;
         Decide(l);
       },
       tPluginState::Critical, "CORVAN CRITICAL - Corvan service is not running. | processes=0;;;0 going=2;;;0"},
      {"no service program",
       [](tStationLook& l, tCheckOptions&) {
         l.State.ServiceProgramExists = false;
         l.State.ProcessCount = 0;
         Decide(l);
       },
       tPluginState::Critical, "CORVAN CRITICAL - CorvanSrvc.exe is missing. | processes=0;;;0 going=2;;;0"},
      {"printing disabled",
       [](tStationLook& l, tCheckOptions&) {
         l.State.EnablePrinting = 2;
         Decide(l);
       },
       tPluginState::Warning, "CORVAN WARNING - Printing is disabled. | processes=1;;;0 going=2;;;0"},
      {"two service processes",
       [](tStationLook& l, tCheckOptions&) {
         l.State.ProcessCount = 2;
         Decide(l);
       },
       tPluginState::Warning, "CORVAN WARNING - 2 Corvan service processes are running. | processes=2;;;0 going=2;;;0"},
      {"disconnected, from a host name that would break the line",
       [](tStationLook& l, tCheckOptions&) {
         l.State.MessageText = "CorvanSrvc: Disconnected";
         l.State.WWWHost = "a|b\nc";
         Decide(l);
       },
       tPluginState::Warning, "CORVAN WARNING - Disconnected from a\\x7Cb\\nc. | processes=1;;;0 going=2;;;0"},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.name);
    tStationLook look = Healthy();
    tCheckOptions options;
    c.setUp(look, options);
    const corvanctl::tCheckReport report = corvanctl::RenderCheck(look, options);
    EXPECT_EQ(report.State, c.state);
    EXPECT_EQ(report.Text, std::string(c.line) + "\n");
  }
}

TEST_F(CtlMonitoringTest, PromtoolAcceptsTheMetricsWhateverTheFilesHold) {
  tStationLook look = Healthy();
  look.Feeds = {Feed(tFeed::VendorTcp, 42), NoHeartbeat(tFeed::Serial)};
  look.Counts = {12, 0, 3};
  look.ServiceVersion = "3.1\"\\\n\xE9";
  const std::string text = corvanctl::RenderMetrics(look);
  for (const char* line :
       {"corvan_service_up 1\n", "corvan_service_processes 1\n", "corvan_printing_enabled 1\n",
        "corvan_printing_ready 1\n", "corvan_feed_last_data_timestamp_seconds{feed=\"vendor\"} 1772366358\n",
        "corvan_feed_age_seconds{feed=\"vendor\"} 42\n", "corvan_feed_limit_seconds{feed=\"serial\"} 600\n",
        "corvan_going_rfas 2\n", "corvan_task_sheet_files 12\n", "corvan_exception_report_files 3\n",
        "corvan_build_info{control_version=\"1.0.0.1\",service_version=\"3.1\\\"\\\\??\"} 1\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
  // The serial receiver has no heartbeat: no age rather than a made-up one.
  EXPECT_EQ(text.find("corvan_feed_age_seconds{feed=\"serial\"}"), std::string::npos);
  EXPECT_NE(text.find("# HELP corvan_going_rfas Requests for assistance going, as the last vendor feed heartbeat "
                      "says.\n# TYPE corvan_going_rfas gauge\ncorvan_going_rfas 2\n"),
            std::string::npos);
  const CtlResult verdict = CtlMonitoringTest::Promtool(text);
  EXPECT_EQ(verdict.status, 0) << verdict.out << verdict.err << text;
}

TEST_F(CtlMonitoringTest, CheckExitsWithThePluginStatusOfTheFolder) {
  // The service program without a process: CRITICAL.
  std::filesystem::copy_file(kServiceSim, dir.file("corvansrvc.exe"));
  CtlResult result = Ctl({"check"});
  EXPECT_EQ(result.status, 2) << result.err;
  EXPECT_EQ(result.out.rfind(
                "CORVAN CRITICAL - Corvan service is not running. No heartbeat file from the vendor feed. | ", 0),
            0u)
      << result.out;

  // Running, with a fresh TCP heartbeat: OK, and its age in the performance data.
  auto service = StartService({"0 msg CorvanSrvc connected.", "0 going 2"});
  ASSERT_TRUE(service->waitForOutput("CORVANSRVC-TARNEX-HEARTBEAT.TXT")) << service->out();
  result = Ctl({"check"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_TRUE(
      std::regex_match(result.out, std::regex("CORVAN OK - Corvan service is running\\. Last data from the vendor "
                                              "feed [0-9] s ago\\. \\| vendor_feed_age=[0-9]s;300;600;0 "
                                              "processes=1;;;0 going=2;;;0\n")))
      << result.out;

  // The same heartbeat seven minutes old: WARNING by the panel's default limit, CRITICAL
  // by the file's own, and OK again when the options say so.
  Age("CORVANSRVC-TARNEX-HEARTBEAT.TXT", 7 * 60);
  EXPECT_EQ(Ctl({"check"}).status, 1);
  dir.write("CorvanControl-Panel.ini", "[FeedWatchdog]\nVendorFeedMinutes=6\n");
  EXPECT_EQ(Ctl({"check"}).status, 2);
  result = Ctl({"check", "--warning-age", "900", "--critical-age=1800"});
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_TRUE(std::regex_search(result.out, std::regex(" vendor_feed_age=4[2-3][0-9]s;900;1800;0 "))) << result.out;

  // A bad limit in the file is said on standard error, and its default used.
  dir.write("CorvanControl-Panel.ini", "[FeedWatchdog]\nVendorFeedMinutes=soon\n");
  result = Ctl({"check"});
  EXPECT_EQ(result.status, 1) << result.out;
  EXPECT_NE(result.err.find("corvanctl: CorvanControl-Panel.ini: [FeedWatchdog] VendorFeedMinutes=soon is not a "
                            "whole number of minutes from 0 to 10080: using 10\n"),
            std::string::npos)
      << result.err;
  service->stop();
}

TEST_F(CtlMonitoringTest, WhateverKeepsTheCheckFromLookingIsUnknown) {
  const std::vector<std::vector<std::string>> lines = {
      {"--folder", dir.file("missing"), "check"},
      {"--folder", dir.path(), "check", "--critical-age", "ten"},
      {"--folder", dir.path(), "check", "--critical-age", "-5"},
      {"--folder", dir.path(), "check", "--verbose"},
      {"--folder", dir.path(), "check", "extra"},
  };
  for (const std::vector<std::string>& line : lines) {
    SCOPED_TRACE(line.back());
    const CtlResult result = RunResult(kCorvanCtl, line);
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_EQ(result.out.rfind("CORVAN UNKNOWN - ", 0), 0u) << result.out;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
  }
  // A settings file that cannot be read leaves the expected feeds unknown.
  std::filesystem::remove(dir.file("CorvanSrvc-Settings.xml"));
  ASSERT_EQ(::mkfifo(dir.file("CorvanSrvc-Settings.xml").c_str(), 0664), 0);
  const CtlResult settings = Ctl({"check"});
  EXPECT_EQ(settings.status, 3) << settings.out;
}

TEST_F(CtlMonitoringTest, MetricsPassPromtoolAndReplaceTheOutputFileWhole) {
  dir.write("CORVANSRVC-TARNEX-HEARTBEAT.TXT", "INFO:V=3.1.0.12 G=4 ");
  Age("CORVANSRVC-TARNEX-HEARTBEAT.TXT", 90);
  dir.write("CorvanSrvc-Version.txt", "3.1.0.12\r\n");
  dir.write("TASK-20260301-S1234.PDF", "%PDF");
  dir.write("d!debug.txt", "x");
  std::filesystem::create_directory(dir.file("D!folder"));  // folders are not counted
  CtlResult result = Ctl({"metrics"});
  ASSERT_EQ(result.status, 0) << result.err;
  const CtlResult verdict = Promtool(result.out);
  EXPECT_EQ(verdict.status, 0) << verdict.out << verdict.err << result.out;
  EXPECT_TRUE(
      std::regex_search(result.out, std::regex("\ncorvan_feed_age_seconds\\{feed=\"vendor\"\\} 9[0-9](\\.[0-9]+)?\n")))
      << result.out;
  for (const char* line : {"corvan_service_installed 0\n", "corvan_service_up 0\n", "corvan_going_rfas 4\n",
                           "corvan_task_sheet_files 1\n", "corvan_debug_files 1\n"})
    EXPECT_NE(result.out.find(line), std::string::npos) << line;

  // --output: the whole text under the name, relative to where corvanctl was started.
  TempFolder collector;
  result = RunResult("/bin/sh", {"-c", "cd \"$0\" && exec \"$1\" --folder \"$2\" metrics --output corvan.prom",
                                 collector.path(), kCorvanCtl, dir.path()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_NE(collector.read("corvan.prom").find("# TYPE corvan_service_up gauge\n"), std::string::npos);
  EXPECT_EQ(Promtool(collector.read("corvan.prom")).status, 0);

  // A folder that is missing or cannot be written: a clear failure, and no file at all.
  result = Ctl({"metrics", "--output", collector.file("missing/corvan.prom")});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("corvanctl: cannot write " + collector.file("missing/corvan.prom") +
                            ": No such file or directory"),
            std::string::npos)
      << result.err;
  collector.write("old.prom", "old\n");
  {
    ScopedMount readOnly(collector.path(), ScopedMount::kReadOnly);
    result = Ctl({"metrics", "--output", collector.file("old.prom")});
  }
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Read-only file system"), std::string::npos) << result.err;
  EXPECT_EQ(collector.read("old.prom"), "old\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(collector.path()), std::filesystem::directory_iterator()),
            2);
}
