#pragma once
// The decisions of the status display, apart from the widgets that show them, so that
// each rule can be checked on its own: the status line, the printing-ready icon, the
// going count of a heartbeat, and the texts built around them.
#include <cstdint>
#include <string>
#include <string_view>

#include "support/DateTime.h"

namespace MainForm {

struct tGetStatus {
  std::string StatusText;  // the status line (lblStatus)
  std::string HintText;    // its explanation (lblStatus hint)
};

// What GetStatus and GetPrintStateIcon look at, gathered first.
struct tServiceState {
  bool ServiceProgramExists = false;  // corvansrvc.exe in the program folder
  std::int32_t ProcessCount = 0;      // running corvansrvc.exe processes
  std::string MessageText;            // CORVANSRVC-MSG.TXT, empty when absent
  std::string WWWHost;
  std::int32_t EnablePrinting = 0;
};

// First matching row wins: missing, not running, disconnected, printing on, otherwise.
tGetStatus DecideStatus(const tServiceState& State);

// The printing-ready icon needs printing on, exactly one service process, and no
// "Disconnect" in the service's message.
bool PrintingReady(const tServiceState& State);

// The going count a TARNEX heartbeat reports: the whole number after " G=" up to the next
// blank, when the text holds both "INFO:V=" and " G="; -1 otherwise or when not a number.
std::int32_t GoingCount(std::string_view HeartbeatText);
// "GOING RFA" for exactly one, "GOING RFAs" for anything else (also -1).
std::string GoingTitle(std::int32_t Count);

// lblStatus is black only for a running service.
bool StatusShowsRunning(std::string_view StatusText);

// Title + " v" + version + LF + "Last message at " + "dd/mm/yy hh:nn:ss".
std::string LastMessageHint(std::string_view Title, std::string_view Version, brix32::TDateTime Now);

// "Connected to:" + the host the service uses + ":15167".
std::string ConnectedToText(std::string_view WWWHostActive);

// The service files the panel reacts to when the program folder changes.
enum class tServiceFile { None, TarnexHeartbeat, SerialHeartbeat, UdpListenHeartbeat, Message, Settings };
// By the notified name in any case. The message file counts only when it was added: the
// service creates it anew for each message, so a rewrite in place is not a message.
tServiceFile ServiceFileOf(std::string_view FileName, bool Added);
// The service may still be writing when the change is reported: 20 ms for the TCP
// heartbeat and 80 ms for the other files before they are read.
int ReadDelayMs(tServiceFile File);
// A "stopped" message waits this much longer before the status is decided.
inline constexpr int kStoppedMessageDelayMs = 2000;
bool MessageSaysStopped(std::string_view MessageText);
// "stopped" or "Disconnect": shown with the error icon.
bool MessageIsAlarm(std::string_view MessageText);

// The feeds whose last packet the service writes into a heartbeat file: the vendor's TCP
// feed, the serial pager receiver, UDP packets of other services.
enum class tFeed { VendorTcp, Serial, Udp };
// What the data-packet box puts before a heartbeat's text: "COM:" for the serial and
// "UDP:" for the UDP heartbeat, nothing for the TCP one.
std::string_view HeartbeatPrefix(tFeed Feed);

// https://host/downloads, where the vendor offers the programs.
std::string DownloadAddress(std::string_view Host);
// https://host/vek/CalloutReport-XXX-7Day.html; empty without a main unit code.
std::string CalloutReportURL(std::string_view Host, std::string_view MainUnitCode);
// The day's data-source picture: "CORVANSRVC-DATASOURCE-yyyymmdd.jpg".
std::string DataSourcePictureName(brix32::TDateTime Now);

}  // namespace MainForm
