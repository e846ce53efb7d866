#pragma once
// TFeedWatchdog: a feed gone silent, or the service process gone, raised as an alarm once
// and ended once, so that nobody has to read a time stamp to learn that a callout may be
// missed. The panel looks through it every few seconds and shows, balloons and logs what
// it returns.
//
// A feed's age is how old its last write was when the watchdog first saw that write
// (from the file's modification time) plus the time counted since on the monotonic
// clock: a wall clock set back or forward meanwhile, or a file dated in the future,
// cannot hide a silence nor make one up. A feed whose heartbeat file is missing, or is
// no regular file, counts as silent since the watchdog began to look (or since the last
// write it saw).
//
// The process list is read at most once every kProcessScanIntervalMs: looked through
// every kWatchdogIntervalMs, a service that went is found within ten seconds.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/CorvanSettings.h"
#include "watchdog/FeedHeartbeats.h"
#include "watchdog/PanelSettings.h"

namespace MainForm {

inline constexpr int kWatchdogIntervalMs = 5000;
inline constexpr std::uint64_t kProcessScanIntervalMs = 4000;

// What the watchdog reads the time from; tests give it clocks of their own.
struct tWatchdogClock {
  std::function<std::int64_t()> UnixMs;   // wall clock, as file times are written
  std::function<std::uint64_t()> TickMs;  // monotonic: never set back or forward
  static tWatchdogClock System();         // UnixNowMs and BootTimeMs
};

// What an alarm is about: one of the feeds, or the service process.
struct tAlarmSubject {
  bool Service = false;
  tFeed Feed = tFeed::VendorTcp;  // when not the service
  bool operator==(const tAlarmSubject&) const = default;
};

struct tAlarm {
  tAlarmSubject Subject;
  std::int64_t SinceMs = 0;  // Unix time: the last data, or when the service was found gone
};

// An alarm raised or ended by one look, with what the panel says about it.
struct tAlarmChange {
  bool Raised = false;  // false: ended
  tAlarm Alarm;
  std::string Text;           // the balloon and log text
  std::int32_t SyslogId = 0;  // the message number of its syslog and event-log lines
};

// Syslog message numbers (priority * 10000 + code). Feeds: + 1 vendor, + 2 serial, + 3 UDP.
inline constexpr std::int32_t kFeedSilentSyslogBase = 31010;   // error
inline constexpr std::int32_t kServiceGoneSyslogId = 21014;    // critical
inline constexpr std::int32_t kFeedBackSyslogBase = 51020;     // notice
inline constexpr std::int32_t kServiceBackSyslogId = 51024;    // notice
inline constexpr std::int32_t kPanelSettingsSyslogId = 41030;  // warning: a limit not used

class TFeedWatchdog {
 public:
  using tProcessCounter = std::function<std::int32_t()>;

  // Folder ends with "/". Clock: the system's where a function is empty. Counter: the
  // running service processes (by default the process list's corvansrvc.exe).
  explicit TFeedWatchdog(std::string Folder, tWatchdogClock Clock = tWatchdogClock::System(),
                         tProcessCounter Counter = nullptr);

  // One look: the expected feeds' heartbeat files every time, the service's program file
  // and processes when the last look at them is old enough. Returns the alarms this look
  // raised and ended, ended ones first.
  std::vector<tAlarmChange> Check(const tWatchdogLimits& Limits, const Lib::tCorvanSettings& Settings);

  // The alarms that stand, feeds in their order, then the service.
  std::vector<tAlarm> Alarms() const;
  bool AnyAlarm() const;
  // One short line per standing alarm, for the notification-area hint.
  std::vector<std::string> HintLines() const;

  // How many times the process list has been read.
  std::uint64_t ProcessScans() const { return scans_; }

 private:
  struct tFeedState {
    bool Anchored = false;
    tHeartbeatStamp Stamp;
    std::int64_t AgeAtAnchorMs = 0;
    std::uint64_t AnchorTick = 0;
    bool Alarm = false;
    std::int64_t SinceMs = 0;
  };
  struct tServiceState {
    std::uint64_t SinceTick = 0;
    bool Looked = false;
    std::uint64_t LookTick = 0;
    bool Gone = false;
    bool Alarm = false;
    std::int64_t SinceMs = 0;
  };

  void CheckFeed(tFeed Feed, std::int32_t LimitMinutes, bool Expected, std::vector<tAlarmChange>& Changes);
  void CheckService(std::vector<tAlarmChange>& Changes);

  std::string folder_;
  tWatchdogClock clock_;
  tProcessCounter counter_;
  std::array<tFeedState, 3> feeds_{};
  tServiceState service_;
  std::uint64_t scans_ = 0;
};

// "No data from the vendor feed since 14:02 (12 min)."; a day other than NowMs's is
// written with its date ("03/10/13 14:02").
std::string FeedSilentText(tFeed Feed, std::int64_t SinceMs, std::int64_t NowMs);
// "The Corvan service has not been running since 14:02."
std::string ServiceGoneText(std::int64_t SinceMs, std::int64_t NowMs);
// "12 min", "2 h 5 min", "3 days 4 h".
std::string DurationText(std::int64_t Ms);

}  // namespace MainForm
