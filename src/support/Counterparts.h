#pragma once
// How this program meets the companion service and the vendor's web host: file names in
// the shared program folder, ports and download paths. Defined here once; the service
// and the host parse these names, so they keep their historical spelling and case.
#include <cstdint>
#include <string_view>

namespace Counterparts {

// ---- companion service (files in the program folder) ----
inline constexpr std::string_view kServiceExeName = "corvansrvc.exe";
inline constexpr std::string_view kSettingsFileName = "CorvanSrvc-Settings.xml";
inline constexpr std::string_view kTarnexHeartbeatFile = "CORVANSRVC-TARNEX-HEARTBEAT.TXT";
inline constexpr std::string_view kSerialHeartbeatFile = "CORVANSRVC-SERIAL-HEARTBEAT.TXT";
inline constexpr std::string_view kUdpListenHeartbeatFile = "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT";
inline constexpr std::string_view kMessageFile = "CORVANSRVC-MSG.TXT";
inline constexpr std::string_view kStatusFile = "CorvanSrvc-Status.txt";
inline constexpr std::string_view kVersionFile = "CorvanSrvc-Version.txt";
inline constexpr std::string_view kGoingPictureFile = "CORVANSRVC-GOING.JPG";
// + date "yyyymmdd" + kDataSourcePictureSuffix
inline constexpr std::string_view kDataSourcePicturePrefix = "CORVANSRVC-DATASOURCE-";
inline constexpr std::string_view kDataSourcePictureSuffix = ".jpg";
inline constexpr std::string_view kUnitsFileName = "VEKUnits.xml";
inline constexpr std::string_view kDummyPageFileName = "DummyPage.txt";
inline constexpr std::string_view kSheetPressExeName = "SheetPress.exe";
inline constexpr std::string_view kSheetPressVersionFile = "SheetPress-Version.txt";

// Keywords in heartbeat and message texts.
inline constexpr std::string_view kGoingInfoMarker = "INFO:V=";
inline constexpr std::string_view kGoingCountMarker = " G=";
inline constexpr std::string_view kDisconnectKeyword = "Disconnect";
inline constexpr std::string_view kStoppedKeyword = "stopped";

// Test page packets that peers print start with this task number, then a time and the text.
inline constexpr std::string_view kTestPageTaskNumber = "0000001 ";

// ---- ports ----
inline constexpr std::uint16_t kTestPagePort = 15167;   // services listen for pages (UDP)
inline constexpr std::uint16_t kFileFetchPort = 15170;  // vendor host file exchange (TCP)
inline constexpr std::uint16_t kPhoneHomePort = 15171;  // phone-home reports (UDP)
inline constexpr std::uint16_t kSyslogPort = 514;       // syslog broadcasts (UDP)
inline constexpr std::uint16_t kHttpPort = 80;

// ---- vendor's web host ----
// A reserved name that never resolves: installers set WWWHost to the real host.
inline constexpr std::string_view kDefaultWWWHost = "www.tarnex.example";
inline constexpr std::string_view kDefaultURI = "/vek/rezedozo.dll";
// Links that a browser opens (callout report, downloads page) use https.
inline constexpr std::string_view kWebLinkScheme = "https://";
inline constexpr std::string_view kDownloadsPath = "/downloads";
inline constexpr std::string_view kControlVersionPath = "/downloads/corvancontrol.xml";
inline constexpr std::string_view kServiceVersionPath = "/downloads/corvansrvc.xml";
inline constexpr std::string_view kSheetPressVersionPath = "/downloads/SheetPress.xml";
inline constexpr std::string_view kUnitsDownloadPath = "/downloads/VEKUnits.xml";
// "/vek/CalloutReport-" + main unit code + "-7Day.html"
inline constexpr std::string_view kCalloutReportPrefix = "/vek/CalloutReport-";
inline constexpr std::string_view kCalloutReportSuffix = "-7Day.html";
inline constexpr std::string_view kHttpUserAgent = "Mozilla/4.0";

// Text that the file fetch brackets the file's lines with.
inline constexpr std::string_view kStartOfFile = "<SOF>";
inline constexpr std::string_view kEndOfFile = "<EOF>";

}  // namespace Counterparts
