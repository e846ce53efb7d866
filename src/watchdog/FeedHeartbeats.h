#pragma once
// The feeds the service receives pages from, and how old the last data of each is. The
// service rewrites a feed's heartbeat file with every packet, so the file's modification
// time is the time of the feed's last data: it is right after the panel starts, not only
// once a change has been seen.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/CorvanSettings.h"
#include "status/StatusRules.h"

namespace MainForm {

inline constexpr std::array<tFeed, 3> kFeeds = {tFeed::VendorTcp, tFeed::Serial, tFeed::Udp};

// "the vendor feed", "the serial receiver", "the UDP feed": in sentences.
std::string_view FeedName(tFeed Feed);
// "vendor", "serial", "udp": in labels that programs read.
std::string_view FeedLabel(tFeed Feed);
std::string_view HeartbeatFileName(tFeed Feed);
// The panel settings file's key of the feed's limit: "VendorFeedMinutes",
// "SerialReceiverMinutes", "UdpFeedMinutes".
std::string_view LimitKey(tFeed Feed);

// Whether the settings have the service receive the feed: the vendor's TCP feed when
// ProcessTarnexTCPFeed is on, the serial receiver when SerialComms is set, the UDP feed
// when UDPListenPort is above 0.
bool FeedExpected(tFeed Feed, const Lib::tCorvanSettings& Settings);

// A heartbeat file's entry, looked at without opening it: whoever put a FIFO or a device
// in its place cannot make us wait.
struct tHeartbeatStamp {
  bool Present = false;         // a regular file; a link, folder, FIFO or device is no heartbeat
  bool HasTime = false;         // a modification time after 1970 (some file systems keep none)
  std::int64_t ModifiedMs = 0;  // Unix time
  // Together with the time, what tells one write from the next where times are coarse
  // or missing.
  std::uint64_t Inode = 0;
  std::int64_t ChangedNs = 0;
  std::int64_t ModifiedNs = 0;
  std::int64_t Size = 0;

  bool SameWrite(const tHeartbeatStamp& Other) const;
};

// The feed's heartbeat file in Folder (ending with "/"), found whatever the case of its
// name.
tHeartbeatStamp StatHeartbeat(const std::string& Folder, tFeed Feed);

// How old a feed's last data is at one moment, from the heartbeat file alone.
struct tFeedAge {
  bool Known = false;           // a heartbeat with a modification time
  std::int64_t LastDataMs = 0;  // Unix time of the last data
  std::int64_t AgeMs = 0;       // never below 0
  std::int64_t AheadMs = 0;     // how far the file's time is ahead of NowMs (else 0)
};
tFeedAge FeedAgeAt(const tHeartbeatStamp& Stamp, std::int64_t NowMs);

// The wall clock as Unix milliseconds: the clock file times are written with.
std::int64_t UnixNowMs();
// Milliseconds since the machine started, counting suspended time (CLOCK_BOOTTIME): a
// machine asleep received no data either. Never set back or forward.
std::uint64_t BootTimeMs();

}  // namespace MainForm
