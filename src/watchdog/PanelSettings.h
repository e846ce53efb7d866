#pragma once
// The panel's own preferences, kept apart from the settings file it shares with the
// service (whose layout the service fixes): a small INI file in the program folder, read
// with QSettings. It holds the feed watchdog's limits:
//
//   [FeedWatchdog]
//   VendorFeedMinutes=10
//   SerialReceiverMinutes=10
//   UdpFeedMinutes=10
//
// Minutes without data before a feed counts as stale, 0 switching its alarm off. The
// panel only reads the file; an administrator writes it.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "status/StatusRules.h"

namespace MainForm {

inline constexpr std::string_view kPanelSettingsFileName = "CorvanControl-Panel.ini";
inline constexpr std::int32_t kDefaultFeedLimitMinutes = 10;
// A week: longer silences are switched off with 0, not waited for.
inline constexpr std::int32_t kMaxFeedLimitMinutes = 7 * 24 * 60;
// The file holds a few lines; a larger one is not the panel's.
inline constexpr std::size_t kPanelSettingsFileLimit = 64 * 1024;

struct tWatchdogLimits {
  // By tFeed; 0: the feed's alarm is off.
  std::array<std::int32_t, 3> Minutes{kDefaultFeedLimitMinutes, kDefaultFeedLimitMinutes, kDefaultFeedLimitMinutes};
  // What could not be used, one sentence each: a value that is not a number of minutes,
  // a file that cannot be read. The defaults stand in for it.
  std::vector<std::string> Problems;

  std::int32_t MinutesOf(tFeed Feed) const { return Minutes[static_cast<std::size_t>(Feed)]; }
};

// The limits in Folder's panel settings file. A missing file gives the defaults without a
// problem; a file that is not a regular file, too large or unreadable gives the defaults
// and says so; a bad value gives its default and says so.
tWatchdogLimits ReadWatchdogLimits(const std::string& Folder);

}  // namespace MainForm
