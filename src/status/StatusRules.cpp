#include "status/StatusRules.h"

#include "support/Counterparts.h"
#include "support/NumberText.h"
#include "support/TextUtils.h"

namespace MainForm {

using namespace Counterparts;

namespace {
bool Contains(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }
}  // namespace

tGetStatus DecideStatus(const tServiceState& State) {
  if (!State.ServiceProgramExists)
    return {"CorvanSrvc.exe is missing.",
            "The CorvanSrvc.exe is missing. You can download a copy from " + DownloadAddress(State.WWWHost) + "."};
  if (State.ProcessCount <= 0) return {"Corvan service is not running.", "Start the CorvanSrvc Service."};
  if (Contains(State.MessageText, kDisconnectKeyword))
    return {
        "Disconnected from " + State.WWWHost,
        "The Corvan service cannot connect to the Tarnex server. Check that you can PING:- \"" + State.WWWHost + "\""};
  if (State.EnablePrinting == 1)
    return {"Corvan service is running.", "Happy Days! The service is running, connected and printing is enabled."};
  return {"Printing is disabled.", "Tasksheet will not be printed"};
}

bool PrintingReady(const tServiceState& State) {
  return State.EnablePrinting == 1 && State.ProcessCount == 1 && !Contains(State.MessageText, kDisconnectKeyword);
}

std::int32_t GoingCount(std::string_view HeartbeatText) {
  if (!Contains(HeartbeatText, kGoingInfoMarker) || !Contains(HeartbeatText, kGoingCountMarker)) return -1;
  const std::int32_t value = brix32::ReadDecimal(brix32::Between(HeartbeatText, kGoingCountMarker, " ")).value_or(-1);
  return value < 0 ? -1 : value;
}

std::string GoingTitle(std::int32_t Count) { return Count == 1 ? "GOING RFA" : "GOING RFAs"; }

bool StatusShowsRunning(std::string_view StatusText) { return Contains(StatusText, "Corvan service is running."); }

std::string LastMessageHint(std::string_view Title, std::string_view Version, brix32::TDateTime Now) {
  return std::string(Title) + " v" + std::string(Version) + "\n" + "Last message at " +
         brix32::FormatDateTime("dd/mm/yy hh:nn:ss", Now);
}

std::string ConnectedToText(std::string_view WWWHostActive) {
  return "Connected to:" + std::string(WWWHostActive) + ":" + std::to_string(kTestPagePort);
}

tServiceFile ServiceFileOf(std::string_view FileName, bool Added) {
  const std::string name = brix32::UpperCase(FileName);
  if (name == kTarnexHeartbeatFile) return tServiceFile::TarnexHeartbeat;
  if (name == kSerialHeartbeatFile) return tServiceFile::SerialHeartbeat;
  if (name == kUdpListenHeartbeatFile) return tServiceFile::UdpListenHeartbeat;
  if (name == kMessageFile) return Added ? tServiceFile::Message : tServiceFile::None;
  if (name == brix32::UpperCase(kSettingsFileName)) return tServiceFile::Settings;
  return tServiceFile::None;
}

int ReadDelayMs(tServiceFile File) {
  switch (File) {
    case tServiceFile::TarnexHeartbeat:
      return 20;
    case tServiceFile::SerialHeartbeat:
    case tServiceFile::UdpListenHeartbeat:
    case tServiceFile::Message:
      return 80;
    case tServiceFile::None:
    case tServiceFile::Settings:
      break;
  }
  return 0;
}

bool MessageSaysStopped(std::string_view MessageText) { return Contains(MessageText, kStoppedKeyword); }

bool MessageIsAlarm(std::string_view MessageText) {
  return Contains(MessageText, kStoppedKeyword) || Contains(MessageText, kDisconnectKeyword);
}

std::string_view HeartbeatPrefix(tFeed Feed) {
  switch (Feed) {
    case tFeed::Serial:
      return "COM:";
    case tFeed::Udp:
      return "UDP:";
    case tFeed::VendorTcp:
      break;
  }
  return {};
}

std::string DownloadAddress(std::string_view Host) {
  return "https://" + std::string(Host) + std::string(kDownloadsPath);
}

std::string CalloutReportURL(std::string_view Host, std::string_view MainUnitCode) {
  if (MainUnitCode.empty()) return {};
  return "https://" + std::string(Host) + std::string(kCalloutReportPrefix) + std::string(MainUnitCode) +
         std::string(kCalloutReportSuffix);
}

std::string DataSourcePictureName(brix32::TDateTime Now) {
  return std::string(kDataSourcePicturePrefix) + brix32::FormatDateTime("yyyymmdd", Now) +
         std::string(kDataSourcePictureSuffix);
}

}  // namespace MainForm
