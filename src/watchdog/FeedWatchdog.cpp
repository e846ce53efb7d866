#include "watchdog/FeedWatchdog.h"

#include <algorithm>
#include <cmath>

#include "status/ServiceState.h"
#include "support/Counterparts.h"
#include "support/DateTime.h"
#include "support/ProcessCount.h"

namespace MainForm {

using namespace Counterparts;

namespace {

// "14:02", or with the day when that is not today's: "03/10/13 14:02" (the shorter
// "03/10 14:02" with ShortDate).
std::string LocalTimeText(std::int64_t Ms, std::int64_t NowMs, bool ShortDate = false) {
  const brix32::TDateTime when = brix32::UnixMsToDateTime(Ms);
  const brix32::TDateTime now = brix32::UnixMsToDateTime(NowMs);
  if (std::floor(when) == std::floor(now)) return brix32::FormatDateTime("hh:nn", when);
  return brix32::FormatDateTime(ShortDate ? "dd/mm hh:nn" : "dd/mm/yy hh:nn", when);
}

std::int64_t Elapsed(std::int64_t From, std::int64_t To) { return To > From ? To - From : 0; }

std::int32_t FeedNumber(tFeed Feed) { return static_cast<std::int32_t>(Feed) + 1; }

}  // namespace

tWatchdogClock tWatchdogClock::System() { return {UnixNowMs, BootTimeMs}; }

std::string DurationText(std::int64_t Ms) {
  const std::int64_t seconds = Ms / 1000;
  if (seconds < 60) return std::to_string(seconds) + " s";
  const std::int64_t minutes = seconds / 60;
  if (minutes < 120) return std::to_string(minutes) + " min";
  const std::int64_t hours = minutes / 60;
  if (hours < 48)
    return std::to_string(hours) + " h" + (minutes % 60 ? " " + std::to_string(minutes % 60) + " min" : "");
  return std::to_string(hours / 24) + " days" + (hours % 24 ? " " + std::to_string(hours % 24) + " h" : "");
}

std::string FeedSilentText(tFeed Feed, std::int64_t SinceMs, std::int64_t NowMs) {
  return "No data from " + std::string(FeedName(Feed)) + " since " + LocalTimeText(SinceMs, NowMs) + " (" +
         DurationText(Elapsed(SinceMs, NowMs)) + ").";
}

std::string ServiceGoneText(std::int64_t SinceMs, std::int64_t NowMs) {
  return "The Corvan service has not been running since " + LocalTimeText(SinceMs, NowMs) + ".";
}

TFeedWatchdog::TFeedWatchdog(std::string Folder, tWatchdogClock Clock, tProcessCounter Counter)
    : folder_(std::move(Folder)), clock_(std::move(Clock)), counter_(std::move(Counter)) {
  if (!clock_.UnixMs) clock_.UnixMs = UnixNowMs;
  if (!clock_.TickMs) clock_.TickMs = BootTimeMs;
  if (!counter_) counter_ = [] { return brix32::ProcessCount(kServiceExeName); };
}

std::vector<tAlarmChange> TFeedWatchdog::Check(const tWatchdogLimits& Limits, const Lib::tCorvanSettings& Settings) {
  std::vector<tAlarmChange> changes;
  for (const tFeed feed : kFeeds) {
    const std::int32_t limit = Limits.MinutesOf(feed);
    CheckFeed(feed, limit, limit > 0 && FeedExpected(feed, Settings), changes);
  }
  CheckService(changes);
  // What ended goes first: a balloon about a new silence is the one left showing.
  std::stable_partition(changes.begin(), changes.end(), [](const tAlarmChange& c) { return !c.Raised; });
  return changes;
}

void TFeedWatchdog::CheckFeed(tFeed Feed, std::int32_t LimitMinutes, bool Expected,
                              std::vector<tAlarmChange>& Changes) {
  tFeedState& state = feeds_[static_cast<std::size_t>(Feed)];
  const std::int64_t nowMs = clock_.UnixMs();
  const tAlarmSubject subject{false, Feed};
  if (!Expected) {
    // Not watched: forget the anchor, so that watching again starts from the file.
    if (state.Alarm)
      Changes.push_back({false,
                         {subject, state.SinceMs},
                         "No longer watching " + std::string(FeedName(Feed)) + ".",
                         kFeedBackSyslogBase + FeedNumber(Feed)});
    state = {};
    return;
  }
  const std::uint64_t tick = clock_.TickMs();
  const tHeartbeatStamp stamp = StatHeartbeat(folder_, Feed);
  const bool newWrite = stamp.Present && (!state.Anchored || !stamp.SameWrite(state.Stamp));
  const std::int64_t ageBeforeMs =
      state.Anchored ? state.AgeAtAnchorMs + static_cast<std::int64_t>(tick - state.AnchorTick) : 0;
  if (!state.Anchored || newWrite) {
    // A write seen for the first time is as old as its time says, and never older than
    // 0: a time ahead of ours counts from now. Without a time (or a file), from now.
    state.AgeAtAnchorMs = FeedAgeAt(stamp, nowMs).AgeMs;
    state.AnchorTick = tick;
    state.Anchored = true;
  }
  state.Stamp = stamp;
  const std::int64_t ageMs = state.AgeAtAnchorMs + static_cast<std::int64_t>(tick - state.AnchorTick);
  const std::int64_t lastDataMs = nowMs - ageMs;
  const bool silent = ageMs > static_cast<std::int64_t>(LimitMinutes) * 60000;
  if (silent && !state.Alarm) {
    state.Alarm = true;
    state.SinceMs = lastDataMs;
    Changes.push_back({true,
                       {subject, lastDataMs},
                       FeedSilentText(Feed, lastDataMs, nowMs),
                       kFeedSilentSyslogBase + FeedNumber(Feed)});
  } else if (!silent && state.Alarm) {
    state.Alarm = false;
    // The silence as the monotonic clock measured it: from the last write to this one.
    const std::string text = newWrite ? "Data from " + std::string(FeedName(Feed)) + " again at " +
                                            LocalTimeText(lastDataMs, nowMs) + " (none for " +
                                            DurationText(std::max<std::int64_t>(ageBeforeMs - ageMs, 0)) + ")."
                                      : "The limit for " + std::string(FeedName(Feed)) + " is now " +
                                            DurationText(static_cast<std::int64_t>(LimitMinutes) * 60000) + ".";
    Changes.push_back({false, {subject, state.SinceMs}, text, kFeedBackSyslogBase + FeedNumber(Feed)});
  }
}

void TFeedWatchdog::CheckService(std::vector<tAlarmChange>& Changes) {
  const std::uint64_t tick = clock_.TickMs();
  if (service_.Looked && tick - service_.LookTick < kProcessScanIntervalMs) return;
  service_.Looked = true;
  service_.LookTick = tick;
  const std::int64_t nowMs = clock_.UnixMs();
  const tAlarmSubject subject{true, tFeed::VendorTcp};
  // No program file: the service is not installed, which the status line says already.
  if (!ServiceFileExists(folder_, kServiceExeName)) {
    if (service_.Alarm)
      Changes.push_back({false,
                         {subject, service_.SinceMs},
                         "The Corvan service is no longer watched: CorvanSrvc.exe is missing.",
                         kServiceBackSyslogId});
    service_.Alarm = false;
    return;
  }
  ++scans_;
  const bool gone = counter_() == 0;
  if (gone && !service_.Alarm) {
    service_.Alarm = true;
    service_.SinceMs = nowMs;
    service_.SinceTick = tick;
    Changes.push_back({true, {subject, nowMs}, ServiceGoneText(nowMs, nowMs), kServiceGoneSyslogId});
  } else if (!gone && service_.Alarm) {
    service_.Alarm = false;
    Changes.push_back({false,
                       {subject, service_.SinceMs},
                       "The Corvan service is running again at " + LocalTimeText(nowMs, nowMs) + " (not running for " +
                           DurationText(static_cast<std::int64_t>(tick - service_.SinceTick)) + ").",
                       kServiceBackSyslogId});
  }
}

std::vector<tAlarm> TFeedWatchdog::Alarms() const {
  std::vector<tAlarm> alarms;
  for (const tFeed feed : kFeeds) {
    const tFeedState& state = feeds_[static_cast<std::size_t>(feed)];
    if (state.Alarm) alarms.push_back({{false, feed}, state.SinceMs});
  }
  if (service_.Alarm) alarms.push_back({{true, tFeed::VendorTcp}, service_.SinceMs});
  return alarms;
}

bool TFeedWatchdog::AnyAlarm() const { return !Alarms().empty(); }

std::vector<std::string> TFeedWatchdog::HintLines() const {
  // Short: the notification area shows the hint's first 127 characters only, and all
  // four lines must fit, dates included.
  const std::int64_t nowMs = clock_.UnixMs();
  std::vector<std::string> lines;
  for (const tAlarm& alarm : Alarms()) {
    std::string what = "No service process";
    if (!alarm.Subject.Service)
      what = alarm.Subject.Feed == tFeed::VendorTcp ? "No vendor data"
             : alarm.Subject.Feed == tFeed::Serial  ? "No serial data"
                                                    : "No UDP data";
    lines.push_back(what + " since " + LocalTimeText(alarm.SinceMs, nowMs, true));
  }
  return lines;
}

}  // namespace MainForm
