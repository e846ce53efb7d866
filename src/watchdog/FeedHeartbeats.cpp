#include "watchdog/FeedHeartbeats.h"

#include <sys/stat.h>

#include <ctime>

#include "status/ServiceState.h"
#include "support/Counterparts.h"
#include "watchdog/PanelSettings.h"

namespace MainForm {

using namespace Counterparts;

namespace {

struct tFeedInfo {
  std::string_view Name, Label, HeartbeatFile, LimitKey;
};

// By tFeed.
constexpr std::array<tFeedInfo, 3> kFeedInfo = {{
    {"the vendor feed", "vendor", kTarnexHeartbeatFile, "VendorFeedMinutes"},
    {"the serial receiver", "serial", kSerialHeartbeatFile, "SerialReceiverMinutes"},
    {"the UDP feed", "udp", kUdpListenHeartbeatFile, "UdpFeedMinutes"},
}};

const tFeedInfo& Info(tFeed Feed) { return kFeedInfo[static_cast<std::size_t>(Feed)]; }

}  // namespace

std::string_view FeedName(tFeed Feed) { return Info(Feed).Name; }
std::string_view FeedLabel(tFeed Feed) { return Info(Feed).Label; }
std::string_view HeartbeatFileName(tFeed Feed) { return Info(Feed).HeartbeatFile; }
std::string_view LimitKey(tFeed Feed) { return Info(Feed).LimitKey; }

bool FeedExpected(tFeed Feed, const Lib::tCorvanSettings& Settings) {
  switch (Feed) {
    case tFeed::VendorTcp:
      return Settings.ProcessTarnexTCPFeed;
    case tFeed::Serial:
      return !Settings.SerialComms.empty();
    case tFeed::Udp:
      return Settings.UDPListenPort > 0;
  }
  return false;
}

bool tHeartbeatStamp::SameWrite(const tHeartbeatStamp& Other) const {
  return Present == Other.Present && Inode == Other.Inode && ModifiedNs == Other.ModifiedNs &&
         ChangedNs == Other.ChangedNs && Size == Other.Size;
}

tHeartbeatStamp StatHeartbeat(const std::string& Folder, tFeed Feed) {
  tHeartbeatStamp stamp;
  struct stat st {};
  if (::lstat(ServiceFile(Folder, HeartbeatFileName(Feed)).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
  stamp.Present = true;
  stamp.Inode = st.st_ino;
  stamp.Size = st.st_size;
  stamp.ModifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.ChangedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  stamp.HasTime = st.st_mtim.tv_sec > 0;
  stamp.ModifiedMs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
  return stamp;
}

tFeedAge FeedAgeAt(const tHeartbeatStamp& Stamp, std::int64_t NowMs) {
  tFeedAge age;
  if (!Stamp.Present || !Stamp.HasTime) return age;
  age.Known = true;
  age.LastDataMs = Stamp.ModifiedMs;
  age.AgeMs = NowMs > Stamp.ModifiedMs ? NowMs - Stamp.ModifiedMs : 0;
  age.AheadMs = Stamp.ModifiedMs > NowMs ? Stamp.ModifiedMs - NowMs : 0;
  return age;
}

std::int64_t UnixNowMs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::uint64_t BootTimeMs() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000 + static_cast<std::uint64_t>(ts.tv_nsec / 1000000);
}

}  // namespace MainForm
