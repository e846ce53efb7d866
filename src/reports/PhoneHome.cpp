#include "reports/PhoneHome.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

#include "pager/VEKRecords.h"
#include "settings/CorvanSettings.h"
#include "support/Counterparts.h"
#include "support/DateTime.h"
#include "support/Diagnostics.h"
#include "support/FileUtils.h"
#include "support/ServiceFileRead.h"
#include "support/SystemStatus.h"
#include "support/TextUtils.h"

namespace Lib {
namespace {

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + value + "</" + name + ">";
}

std::string Element(const char* name, std::int32_t value) { return Element(name, std::to_string(value)); }

std::string BoolText(bool value) { return brix32::BooleanTStr(value, "True", "False"); }

// The host part of WWWHost: the setting may carry a path after the host name.
std::string PhoneHomeHost() {
  const std::string& host = gVEKSettings.WWWHost;
  return host.substr(0, host.find('/'));
}

}  // namespace

std::string BuildPhoneHomeReport(const std::string& Event) {
  const brix32::tGlobalSettings& g = brix32::gGlobalSettings;
  const tCorvanSettings& c = gCorvanSettings;
  const std::string lastLogTime = c.LastCorvanLogFileDateTime == 0
                                      ? std::string()
                                      : brix32::FormatDateTime("dd/mm/yy hh:nn:ss", c.LastCorvanLogFileDateTime);
  const std::string serviceVersion =
      brix32::ReadServiceText(brix32::ResolveNameIgnoringCase("", std::string(Counterparts::kVersionFile)));

  std::string r = "<PhoneHome><" + g.SelfName + "> v" + g.Version;
  r += Element("MainUnit", c.MainUnit);
  r += Element("DateTime", brix32::FormatDateTime("dd/mm/yy hh:nn:ss", brix32::Now()));
  r += Element("DaysOfLogFilesRetained", g.Log.DaysOfLogFilesRetained);
  r += Element("DebugFileCount", gVEKSettings.DebugFileCount);
  r += Element("DefaultPrinterName", g.DefaultPrinterName);
  r += Element("EnablePrinting", c.EnablePrinting);
  r += Element("Event", Event);
  r += Element("ExceptionFileCount", g.ExceptionFileCount);
  r += Element("HostName", g.HostName);
  r += Element("LastPDWLogFileLength", c.LastPDWLogFileLength);
  r += Element("LastCorvanLogFileDateTime", lastLogTime);
  r += Element("MachineUpTime", brix32::MachineUpTime().Text);
  r += Element("Path", g.Path);
  r += Element("CorvanSrvcSettingsFilePath", c.CorvanSrvcSettingsFilePath);
  r += Element("CorvanSrvcVersion", serviceVersion);
  r += Element("CorvanUDPPort", c.UDPListenPort);
  r += Element("PDWLogPath", c.PDWLogPath);
  r += Element("PrintTestPageAtStartup", BoolText(c.PrintTestPageAtStartup));
  r += Element("ProcessTarnexTCPFeed", BoolText(c.ProcessTarnexTCPFeed));
  r += Element("SelfName", g.SelfName);
  r += Element("SerialComms", c.SerialComms);
  r += Element("ProcessVEKUnits", c.ProcessVEKUnits);
  r += Element("TaskPDFFileCount", gVEKSettings.TaskPDFFileCount);
  r += Element("UDPAddr", c.UDPAddr);
  r += Element("URI", gVEKSettings.URI);
  r += Element("UserName", g.UserName);
  r += Element("Version", g.Version);
  r += Element("WWWHost", gVEKSettings.WWWHost);
  r += Element("WWWHostAlt", gVEKSettings.WWWHostAlt);
  r += "</PhoneHome>";
  return r;
}

tPhoneHomeDatagram PreparePhoneHome(const std::string& Event) {
  brix32::SetGlobalExceptionAndDebugFileCount();
  VEKLib::SetVEKDebugFileCount();
  VEKLib::SetTaskPDFFileCount();
  return {PhoneHomeHost(), BuildPhoneHomeReport(Event)};
}

std::optional<std::uint32_t> ResolvePhoneHomeHost(const std::string& Host) {
  if (Host.empty()) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(Host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, ::freeaddrinfo);
  sockaddr_in address{};
  std::memcpy(&address, list->ai_addr, std::min<std::size_t>(sizeof address, list->ai_addrlen));
  return address.sin_addr.s_addr;
}

bool SendPhoneHome(std::uint32_t Address, const std::string& Text) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(Counterparts::kPhoneHomePort);
  to.sin_addr.s_addr = Address;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const ssize_t sent = ::sendto(fd, Text.data(), Text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  ::close(fd);
  return sent == static_cast<ssize_t>(Text.size());
}

bool PhoneHomeUDP15171(const std::string& Event) {
  // A report that cannot go is simply not sent: no message, no exception report.
  try {
    const tPhoneHomeDatagram datagram = PreparePhoneHome(Event);
    const std::optional<std::uint32_t> address = ResolvePhoneHomeHost(datagram.Host);
    return address && SendPhoneHome(*address, datagram.Text);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace Lib
