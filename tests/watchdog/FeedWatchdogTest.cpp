#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "Hostile.h"
#include "TempFolder.h"
#include "watchdog/FeedWatchdog.h"

using namespace MainForm;

namespace {

// 12:00:00 UTC on 1 March 2026.
constexpr std::int64_t kNoon = 1772366400000;
constexpr std::int64_t kMinute = 60000;

// A heartbeat file as the case needs it.
struct tBeat {
  enum tKind { Absent, File, Folder, Fifo } Kind = Absent;
  std::int64_t AgeMs = 0;  // File: how old its time is (negative: ahead of the clock)
};
tBeat Absent() { return {}; }
tBeat Aged(std::int64_t minutes) { return {tBeat::File, minutes * kMinute}; }

class FeedWatchdogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }

  tWatchdogClock Clock() {
    return {[this] { return unixMs; }, [this] { return tickMs; }};
  }
  TFeedWatchdog Watchdog() {
    return TFeedWatchdog(dir.path(), Clock(), [this] {
      ++counted;
      return processes;
    });
  }

  void Beat(tFeed Feed, const tBeat& Beat) {
    const std::string name = dir.file(std::string(HeartbeatFileName(Feed)));
    std::filesystem::remove_all(name);
    switch (Beat.Kind) {
      case tBeat::Absent:
        break;
      case tBeat::File:
        dir.write(std::string(HeartbeatFileName(Feed)), "INFO:V=3.1.0.12 G=1 ");
        SetTime(name, unixMs - Beat.AgeMs);
        break;
      case tBeat::Folder:
        corvantest::Plant(corvantest::tPlanted::Folder, name, "");
        break;
      case tBeat::Fifo:
        corvantest::Plant(corvantest::tPlanted::Fifo, name, "");
        break;
    }
  }
  static void SetTime(const std::string& name, std::int64_t ms) {
    const timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    const timespec times[2] = {t, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
  }
  // Both clocks move on together, as they do when nobody sets the wall clock.
  void Pass(std::int64_t ms) {
    unixMs += ms;
    tickMs += static_cast<std::uint64_t>(ms);
  }

  static std::string Subjects(const std::vector<tAlarm>& alarms) {
    std::string text;
    for (const tAlarm& alarm : alarms)
      text += (text.empty() ? "" : " ") +
              (alarm.Subject.Service ? std::string("service") : std::string(FeedLabel(alarm.Subject.Feed)));
    return text;
  }

  corvantest::TempFolder dir;
  std::int64_t unixMs = kNoon;
  std::uint64_t tickMs = 5000000;
  std::int32_t processes = 1;
  int counted = 0;
  Lib::tCorvanSettings settings;
  tWatchdogLimits limits;
};

struct tCase {
  const char* name;
  bool tcp, serial, udp;  // the feeds the settings expect
  tBeat beats[3];         // vendor, serial, UDP heartbeats
  bool program;           // corvansrvc.exe in the folder
  std::int32_t processes;
  std::int32_t vendorLimit;   // minutes
  const char* first;          // alarms after the first look
  std::int64_t laterMinutes;  // then both clocks move on, no new data
  const char* later;          // alarms after that look
};

}  // namespace

TEST_F(FeedWatchdogTest, AlarmsFollowTheExpectedFeedsTheirAgesAndTheServiceProcess) {
  const tCase cases[] = {
      {"nothing expected, service running",
       false,
       false,
       false,
       {Aged(60), Aged(60), Aged(60)},
       true,
       1,
       10,
       "",
       60,
       ""},
      {"fresh vendor feed", true, false, false, {Aged(5), Absent(), Absent()}, true, 1, 10, "", 4, ""},
      {"vendor feed past its limit",
       true,
       false,
       false,
       {Aged(11), Absent(), Absent()},
       true,
       1,
       10,
       "vendor",
       30,
       "vendor"},
      {"exactly at the limit is not past it",
       true,
       false,
       false,
       {Aged(10), Absent(), Absent()},
       true,
       1,
       10,
       "",
       1,
       "vendor"},
      {"a limit of 0 switches the alarm off",
       true,
       false,
       false,
       {Aged(600), Absent(), Absent()},
       true,
       1,
       0,
       "",
       60,
       ""},
      {"feeds the settings do not expect are not watched",
       false,
       false,
       false,
       {Aged(20), Aged(20), Aged(20)},
       true,
       1,
       10,
       "",
       0,
       ""},
      {"serial and UDP past their limits",
       false,
       true,
       true,
       {Absent(), Aged(11), Aged(12)},
       true,
       1,
       10,
       "serial udp",
       0,
       "serial udp"},
      {"no heartbeat file: silent since the first look",
       false,
       true,
       false,
       {Absent(), Absent(), Absent()},
       true,
       1,
       10,
       "",
       11,
       "serial"},
      {"a folder in the heartbeat's place is no heartbeat",
       false,
       false,
       true,
       {Absent(), Absent(), {tBeat::Folder}},
       true,
       1,
       10,
       "",
       11,
       "udp"},
      {"a FIFO in the heartbeat's place is no heartbeat",
       false,
       false,
       true,
       {Absent(), Absent(), {tBeat::Fifo}},
       true,
       1,
       10,
       "",
       11,
       "udp"},
      {"a time a day ahead counts from the first look",
       true,
       false,
       false,
       {Aged(-24 * 60), Absent(), Absent()},
       true,
       1,
       10,
       "",
       11,
       "vendor"},
      {"service process gone", false, false, false, {}, true, 0, 10, "service", 0, "service"},
      {"no program file: no service to miss", false, false, false, {}, false, 0, 10, "", 0, ""},
      {"two service processes are not gone", false, false, false, {}, true, 2, 10, "", 0, ""},
      {"everything at once",
       true,
       true,
       true,
       {Aged(11), Aged(11), Aged(11)},
       true,
       0,
       10,
       "vendor serial udp service",
       0,
       "vendor serial udp service"},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.name);
    unixMs = kNoon;
    settings = {};
    settings.ProcessTarnexTCPFeed = c.tcp;
    settings.SerialComms = c.serial ? "COM1:9600,N,8,1" : "";
    settings.UDPListenPort = c.udp ? 15167 : 0;
    limits = {};
    limits.Minutes[0] = c.vendorLimit;
    for (const tFeed feed : kFeeds) Beat(feed, c.beats[static_cast<std::size_t>(feed)]);
    std::filesystem::remove(dir.file("corvansrvc.exe"));
    if (c.program) dir.write("corvansrvc.exe", "program");
    processes = c.processes;

    TFeedWatchdog watchdog = Watchdog();
    const std::vector<tAlarmChange> first = watchdog.Check(limits, settings);
    EXPECT_EQ(Subjects(watchdog.Alarms()), c.first);
    EXPECT_EQ(first.size(), watchdog.Alarms().size());
    Pass(c.laterMinutes * kMinute);
    watchdog.Check(limits, settings);
    EXPECT_EQ(Subjects(watchdog.Alarms()), c.later);
  }
}

TEST_F(FeedWatchdogTest, OneAlarmPerSilenceAndOneEndWhenDataComesBack) {
  settings.ProcessTarnexTCPFeed = true;
  dir.write("corvansrvc.exe", "program");
  Beat(tFeed::VendorTcp, Aged(2));
  TFeedWatchdog watchdog = Watchdog();
  std::vector<tAlarmChange> changes;
  // Looked at every five seconds for an hour, as the panel does.
  for (int i = 0; i < 12 * 60; ++i) {
    for (tAlarmChange& change : watchdog.Check(limits, settings)) changes.push_back(change);
    Pass(kWatchdogIntervalMs);
  }
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_TRUE(changes[0].Raised);
  EXPECT_EQ(changes[0].Text, "No data from the vendor feed since 11:58 (10 min).");
  EXPECT_EQ(changes[0].SyslogId, 31011);
  EXPECT_EQ(changes[0].Alarm.SinceMs, kNoon - 2 * kMinute);
  EXPECT_EQ(watchdog.HintLines(), std::vector<std::string>{"No vendor data since 11:58"});

  Beat(tFeed::VendorTcp, Aged(0));  // 13:00
  changes = watchdog.Check(limits, settings);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_FALSE(changes[0].Raised);
  EXPECT_EQ(changes[0].Text, "Data from the vendor feed again at 13:00 (none for 62 min).");
  EXPECT_EQ(changes[0].SyslogId, 51021);
  EXPECT_FALSE(watchdog.AnyAlarm());
  EXPECT_TRUE(watchdog.HintLines().empty());

  // Silent again: a new period, a new alarm.
  Pass(11 * kMinute);
  changes = watchdog.Check(limits, settings);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].Text, "No data from the vendor feed since 13:00 (11 min).");
}

TEST_F(FeedWatchdogTest, TheWallClockSetBackOrForwardNeitherHidesNorMakesUpASilence) {
  settings.ProcessTarnexTCPFeed = true;
  Beat(tFeed::VendorTcp, Aged(1));
  TFeedWatchdog watchdog = Watchdog();
  EXPECT_TRUE(watchdog.Check(limits, settings).empty());

  unixMs += 3 * 60 * kMinute;  // set three hours forward: no new silence
  EXPECT_TRUE(watchdog.Check(limits, settings).empty());
  unixMs -= 6 * 60 * kMinute;  // and back by six: the file is now "ahead", still no answer
  tickMs += 9 * kMinute;
  EXPECT_TRUE(watchdog.Check(limits, settings).empty());
  tickMs += 1 * kMinute;  // ten minutes and a bit since its write, by the monotonic clock
  tickMs += 1000;
  const std::vector<tAlarmChange> changes = watchdog.Check(limits, settings);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_TRUE(changes[0].Raised);
  // The time shown is the wall clock's now less the age: consistent with the clock shown.
  EXPECT_EQ(changes[0].Alarm.SinceMs, unixMs - 11 * kMinute - 1000);
}

TEST_F(FeedWatchdogTest, TheServiceGoneIsFoundWithinTenSecondsReadingTheProcessListRarely) {
  dir.write("corvansrvc.exe", "program");
  TFeedWatchdog watchdog = Watchdog();
  std::int64_t goneAt = -1, foundAt = -1;
  // Looked at every second (more often than the panel does) for a minute.
  for (int second = 0; second < 60; ++second) {
    if (second == 21) {
      processes = 0;
      goneAt = second;
    }
    for (const tAlarmChange& change : watchdog.Check(limits, settings))
      if (change.Raised && change.Alarm.Subject.Service && foundAt < 0) {
        foundAt = second;
        EXPECT_EQ(change.Text, "The Corvan service has not been running since 12:00.");
        EXPECT_EQ(change.SyslogId, 21014);
      }
    Pass(1000);
  }
  ASSERT_GE(foundAt, 0);
  EXPECT_LE(foundAt - goneAt, 10);
  EXPECT_LE(counted, 60 / 4 + 1);
  EXPECT_EQ(watchdog.ProcessScans(), static_cast<std::uint64_t>(counted));

  processes = 1;
  Pass(kProcessScanIntervalMs);
  const std::vector<tAlarmChange> back = watchdog.Check(limits, settings);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_FALSE(back[0].Raised);
  EXPECT_EQ(back[0].Text, "The Corvan service is running again at 12:01 (not running for 40 s).");
}

TEST_F(FeedWatchdogTest, AHeartbeatReplacedOrRemovedKeepsTheAgeOfItsLastWrite) {
  settings.UDPListenPort = 15167;
  Beat(tFeed::Udp, Aged(6));
  TFeedWatchdog watchdog = Watchdog();
  EXPECT_TRUE(watchdog.Check(limits, settings).empty());
  Pass(2 * kMinute);
  Beat(tFeed::Udp, {tBeat::Fifo});
  ASSERT_TRUE(corvantest::FinishesInChild([&] { watchdog.Check(limits, settings); }));
  EXPECT_TRUE(watchdog.Check(limits, settings).empty());
  Pass(2 * kMinute + 1000);  // 10 min since the last write
  Beat(tFeed::Udp, Absent());
  const std::vector<tAlarmChange> changes = watchdog.Check(limits, settings);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].Text, "No data from the UDP feed since 11:54 (10 min).");
}

TEST_F(FeedWatchdogTest, AFeedNoLongerExpectedOrWithinANewLimitEndsItsAlarm) {
  settings.SerialComms = "COM1:9600,N,8,1";
  Beat(tFeed::Serial, Aged(30));
  TFeedWatchdog watchdog = Watchdog();
  ASSERT_EQ(watchdog.Check(limits, settings).size(), 1u);
  limits.Minutes[static_cast<std::size_t>(tFeed::Serial)] = 45;
  std::vector<tAlarmChange> changes = watchdog.Check(limits, settings);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_FALSE(changes[0].Raised);
  EXPECT_EQ(changes[0].Text, "The limit for the serial receiver is now 45 min.");

  limits = {};
  ASSERT_EQ(watchdog.Check(limits, settings).size(), 1u);
  settings.SerialComms.clear();
  changes = watchdog.Check(limits, settings);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_FALSE(changes[0].Raised);
  EXPECT_EQ(changes[0].Text, "No longer watching the serial receiver.");
  EXPECT_FALSE(watchdog.AnyAlarm());
}

TEST_F(FeedWatchdogTest, TextsNameTheDayOfAnOldSilenceAndFitTheHint) {
  EXPECT_EQ(FeedSilentText(tFeed::Serial, kNoon - 26 * 60 * kMinute, kNoon),
            "No data from the serial receiver since 28/02/26 10:00 (26 h).");
  EXPECT_EQ(DurationText(59999), "59 s");
  EXPECT_EQ(DurationText(119 * kMinute), "119 min");
  EXPECT_EQ(DurationText(125 * kMinute), "2 h 5 min");
  EXPECT_EQ(DurationText(74 * 60 * kMinute), "3 days 2 h");

  // Every alarm at once still fits the 127 characters the notification area shows.
  settings.ProcessTarnexTCPFeed = true;
  settings.SerialComms = "COM1";
  settings.UDPListenPort = 15167;
  dir.write("corvansrvc.exe", "program");
  processes = 0;
  for (const tFeed feed : kFeeds) Beat(feed, Aged(3 * 24 * 60));
  TFeedWatchdog watchdog = Watchdog();
  watchdog.Check(limits, settings);
  std::string hint;
  for (const std::string& line : watchdog.HintLines()) hint += (hint.empty() ? "" : "\n") + line;
  EXPECT_EQ(hint,
            "No vendor data since 26/02 12:00\n"
            "No serial data since 26/02 12:00\n"
            "No UDP data since 26/02 12:00\n"
            "No service process since 12:00");
  EXPECT_LE(hint.size(), 127u);
}
