#pragma once
// The station's health for the monitoring systems administrators already run: one look
// at the program folder (the service, its feeds, its files), rendered as a
// monitoring-plugin check line or in the Prometheus text format. Both renderings are
// plain functions returning their text, so that other commands can include them.
//
// The settings must have been loaded (LoadSettings) before: they say which feeds the
// service receives.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "status/StatusRules.h"
#include "watchdog/FeedHeartbeats.h"
#include "watchdog/PanelSettings.h"

namespace corvanctl {

// Files of kinds that pile up in the program folder (names compared ignoring case).
struct tFolderFileCounts {
  std::int64_t TaskSheets = 0;        // Task*.PDF
  std::int64_t DebugFiles = 0;        // D!*
  std::int64_t ExceptionReports = 0;  // E!*
};

struct tFeedLook {
  MainForm::tFeed Feed = MainForm::tFeed::VendorTcp;
  MainForm::tHeartbeatStamp Stamp;
  MainForm::tFeedAge Age;
  std::int32_t LimitMinutes = 0;  // the panel's limit; 0 off
};

struct tStationLook {
  std::int64_t NowMs = 0;  // Unix time of the look
  MainForm::tServiceState State;
  MainForm::tGetStatus Status;
  bool PrintingReady = false;
  std::int32_t GoingCount = -1;  // -1: not known
  std::vector<tFeedLook> Feeds;  // the feeds the settings expect, in their order
  std::vector<std::string> LimitProblems;
  tFolderFileCounts Counts;
  std::string ControlVersion;
  std::optional<std::string> ServiceVersion;  // none without CorvanSrvc-Version.txt
};

// Looks at Folder (ending with "/") once. Throws EFailure when the folder cannot be read.
tStationLook LookAtStation(const std::string& Folder);

struct tContext;
// The limits of the panel settings file that were not used, on standard error.
void SayLimitProblems(tContext& Ctx, const tStationLook& Look);

// ---- corvanctl check ----
enum class tPluginState { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

struct tCheckOptions {
  // Seconds; override the feeds' limits from the panel settings file (warning: half the
  // limit, critical: the limit). 0 switches that level off.
  std::optional<std::int64_t> WarningAgeSeconds;
  std::optional<std::int64_t> CriticalAgeSeconds;
};

struct tCheckReport {
  tPluginState State = tPluginState::Unknown;
  std::string Text;  // "CORVAN <STATE> - <summary> | <perfdata>" and a line feed
  int ExitCode() const { return static_cast<int>(State); }
};

tCheckReport RenderCheck(const tStationLook& Look, const tCheckOptions& Options);
// The UNKNOWN line for a station that could not be looked at.
tCheckReport UnknownCheck(const std::string& Why);
// LookAtStation and RenderCheck; a folder that cannot be read gives UNKNOWN.
tCheckReport CheckReport(const std::string& Folder, const tCheckOptions& Options);

// ---- corvanctl metrics ----
std::string RenderMetrics(const tStationLook& Look);
// LookAtStation and RenderMetrics; throws EFailure when the folder cannot be read.
std::string MetricsReport(const std::string& Folder);

}  // namespace corvanctl
