// corvanctl check: one line and an exit status as monitoring plugins give them (Nagios,
// Icinga, Naemon, the Zabbix and Checkmk agents run such checks).
#include <algorithm>

#include "ctl/Commands.h"
#include "ctl/CtlOutput.h"
#include "ctl/Monitoring.h"
#include "settings/CorvanSettings.h"
#include "support/NumberText.h"
#include "watchdog/FeedWatchdog.h"

namespace corvanctl {

namespace {

// A time ahead of ours by more than this is a clock that disagrees, not a late write.
constexpr std::int64_t kAheadToleranceMs = 60000;

// By tPluginState.
constexpr const char* kStateNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
// Worst first: CRITICAL, WARNING, UNKNOWN, OK.
constexpr int kSeverity[] = {0, 2, 3, 1};

const char* StateName(tPluginState State) { return kStateNames[static_cast<int>(State)]; }
int Severity(tPluginState State) { return kSeverity[static_cast<int>(State)]; }

// The summary stays on its line, and "|" would start the performance data.
std::string SummaryText(std::string_view Text) {
  std::string out;
  for (const char c : EscapeValue(Text)) out += c == '|' ? std::string("\\x7C") : std::string(1, c);
  return out;
}

struct tFinding {
  tPluginState State;
  std::string Text;
};

std::string Sentence(std::string Text) {
  if (!Text.empty() && Text.back() != '.') Text += '.';
  return Text;
}

// The status line's row decides: no program or no process is critical, a disconnection
// or printing off a warning.
tFinding ServiceFinding(const tStationLook& Look) {
  const MainForm::tServiceState& state = Look.State;
  tPluginState level = tPluginState::Ok;
  if (!state.ServiceProgramExists || state.ProcessCount == 0)
    level = tPluginState::Critical;
  else if (!MainForm::StatusShowsRunning(Look.Status.StatusText))
    level = tPluginState::Warning;
  return {level, Sentence(Look.Status.StatusText)};
}

std::string Seconds(std::int64_t Ms) { return std::to_string(Ms / 1000); }

struct tAgeLimits {
  std::int64_t WarningMs = 0;  // 0: off
  std::int64_t CriticalMs = 0;
};

tAgeLimits LimitsFor(const tFeedLook& Feed, const tCheckOptions& Options) {
  const std::int64_t limitMs = static_cast<std::int64_t>(Feed.LimitMinutes) * 60000;
  tAgeLimits limits{limitMs / 2, limitMs};
  if (Options.WarningAgeSeconds) limits.WarningMs = *Options.WarningAgeSeconds * 1000;
  if (Options.CriticalAgeSeconds) limits.CriticalMs = *Options.CriticalAgeSeconds * 1000;
  return limits;
}

std::string FeedOf(MainForm::tFeed Feed) { return std::string(MainForm::FeedName(Feed)); }

std::optional<tFinding> FeedFinding(const tFeedLook& Feed, const tAgeLimits& Limits) {
  const std::string name = FeedOf(Feed.Feed);
  if (!Feed.Stamp.Present) {
    if (Limits.CriticalMs > 0) return tFinding{tPluginState::Critical, "No heartbeat file from " + name + "."};
    if (Limits.WarningMs > 0) return tFinding{tPluginState::Warning, "No heartbeat file from " + name + "."};
    return std::nullopt;
  }
  if (!Feed.Age.Known)
    return tFinding{tPluginState::Unknown, "The heartbeat of " + name + " has no modification time."};
  if (Feed.Age.AheadMs > kAheadToleranceMs)
    return tFinding{tPluginState::Warning, "The heartbeat of " + name + " is dated " +
                                               MainForm::DurationText(Feed.Age.AheadMs) + " ahead of this clock."};
  const std::int64_t age = Feed.Age.AgeMs;
  if (Limits.CriticalMs > 0 && age > Limits.CriticalMs)
    return tFinding{tPluginState::Critical, "No data from " + name + " for " + MainForm::DurationText(age) +
                                                " (critical at " + MainForm::DurationText(Limits.CriticalMs) + ")."};
  if (Limits.WarningMs > 0 && age > Limits.WarningMs)
    return tFinding{tPluginState::Warning, "No data from " + name + " for " + MainForm::DurationText(age) +
                                               " (warning at " + MainForm::DurationText(Limits.WarningMs) + ")."};
  return std::nullopt;
}

std::string Threshold(std::int64_t Ms) { return Ms > 0 ? Seconds(Ms) : std::string(); }

}  // namespace

tCheckReport RenderCheck(const tStationLook& Look, const tCheckOptions& Options) {
  std::vector<tFinding> findings;
  const tFinding service = ServiceFinding(Look);
  if (service.State != tPluginState::Ok) findings.push_back(service);
  if (Look.State.ProcessCount > 1)
    findings.push_back(
        {tPluginState::Warning, std::to_string(Look.State.ProcessCount) + " Corvan service processes are running."});

  std::string perfdata;
  std::string lastData;
  for (const tFeedLook& feed : Look.Feeds) {
    const tAgeLimits limits = LimitsFor(feed, Options);
    if (const std::optional<tFinding> finding = FeedFinding(feed, limits)) findings.push_back(*finding);
    const std::string value = feed.Age.Known ? Seconds(feed.Age.AgeMs) + "s" : std::string("U");
    perfdata += std::string(MainForm::FeedLabel(feed.Feed)) + "_feed_age=" + value + ";" + Threshold(limits.WarningMs) +
                ";" + Threshold(limits.CriticalMs) + ";0 ";
    if (feed.Age.Known)
      lastData += (lastData.empty() ? " Last data from " : ", ") + FeedOf(feed.Feed) + " " +
                  MainForm::DurationText(feed.Age.AgeMs) + " ago";
  }
  perfdata += "processes=" + std::to_string(Look.State.ProcessCount) + ";;;0 ";
  perfdata += "going=" + (Look.GoingCount >= 0 ? std::to_string(Look.GoingCount) : std::string("U")) + ";;;0";

  std::stable_sort(findings.begin(), findings.end(),
                   [](const tFinding& a, const tFinding& b) { return Severity(a.State) > Severity(b.State); });
  tCheckReport report;
  report.State = findings.empty() ? tPluginState::Ok : findings.front().State;
  std::string summary;
  if (findings.empty()) {
    summary = service.Text + (lastData.empty() ? "" : lastData + ".");
  } else {
    for (const tFinding& finding : findings) summary += (summary.empty() ? "" : " ") + finding.Text;
  }
  report.Text =
      std::string("CORVAN ") + StateName(report.State) + " - " + SummaryText(summary) + " | " + perfdata + "\n";
  return report;
}

tCheckReport UnknownCheck(const std::string& Why) {
  return {tPluginState::Unknown, "CORVAN UNKNOWN - " + SummaryText(Why) + "\n"};
}

tCheckReport CheckReport(const std::string& Folder, const tCheckOptions& Options) {
  try {
    return RenderCheck(LookAtStation(Folder), Options);
  } catch (const EFailure& e) {
    return UnknownCheck(e.what());
  }
}

namespace {

std::optional<std::int64_t> AgeOption(const tArgs& Args, const std::string& Name) {
  const auto it = Args.Options.find(Name);
  if (it == Args.Options.end()) return std::nullopt;
  const std::string& text = it->second;
  const std::int32_t seconds = brix32::ReadDecimal(text).value_or(-1);
  // A year at most: the limit is a number of seconds, not a date.
  if (seconds < 0 || seconds > 366 * 24 * 3600)
    throw EUsage(Name + " takes a whole number of seconds, 0 to 31622400 ('" + EscapeValue(text) + "')");
  return seconds;
}

}  // namespace

int CheckCommand(tContext& Ctx) {
  if (!Ctx.Args.Positional.empty()) throw EUsage("check takes no arguments ('" + Ctx.Args.Positional.front() + "')");
  tCheckOptions options;
  options.WarningAgeSeconds = AgeOption(Ctx.Args, "--warning-age");
  options.CriticalAgeSeconds = AgeOption(Ctx.Args, "--critical-age");
  LoadSettings(Ctx, std::string("corvanctl.Check:") + "100");
  tCheckReport report;
  try {
    const tStationLook look = LookAtStation(Ctx.Folder);
    SayLimitProblems(Ctx, look);
    report = RenderCheck(look, options);
  } catch (const EFailure& e) {
    report = UnknownCheck(e.what());
  }
  Ctx.Out << report.Text;
  return report.ExitCode();
}

}  // namespace corvanctl
