#include "CorvanSettings.h"

#include <sys/stat.h>

#include <cerrno>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "Counterparts.h"
#include "Diagnostics.h"
#include "FileUtils.h"
#include "ServiceFileRead.h"
#include "Syslog.h"
#include "TemporaryFiles.h"
#include "TextUtils.h"

namespace Lib {

tCorvanSettings gCorvanSettings;
tVEKSettings gVEKSettings;

namespace {

using brix32::gGlobalSettings;

constexpr std::string_view kBroadcastAddr = "255.255.255.255";
constexpr std::int32_t kDefaultUDPListenPort = Counterparts::kTestPagePort;
constexpr std::int32_t kDefaultDaysOfLogFilesRetained = 7;

std::function<std::string(const std::string&)>& SettingsFileReader() {
  static std::function<std::string(const std::string&)> reader;
  return reader;
}

// Anything but a folder counts as present, as it does for the service.
bool SettingsFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// "path" cannot be written: <the system's reason>
[[noreturn]] void ThrowFileError(const char* What, const std::string& path, int error) {
  const std::string message = "\"" + path + "\" cannot be " + What;
  if (error != 0) throw std::system_error(error, std::generic_category(), message);
  throw std::runtime_error(message);
}

// Only a regular file is read, never blocking and within a bound: a FIFO or a device in
// its place would block or never end. A file that exists but cannot be read is an error,
// not an empty file: what it holds is unknown, and it must not be replaced. Nothing when
// the file is gone (removed since it was seen).
std::optional<std::string> ReadSettingsFile(const std::string& path) {
  if (const auto& reader = SettingsFileReader()) return reader(path);
  brix32::tBoundedRead read = brix32::ReadBoundedFile(path, brix32::kFileToBinLimit);
  if (read.Ok()) return std::move(read.Data);
  if (read.Status == brix32::tReadStatus::Missing) return std::nullopt;
  throw std::runtime_error("\"" + path + "\" " + brix32::ReadProblemText(read));
}

// An entry that a save would replace must be one the loader can read: a file that cannot
// be read (no permission, a FIFO, a dangling link) is kept. A folder makes the rename fail.
void RequireReplaceable(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
  std::optional<std::string> text;
  try {
    text = ReadSettingsFile(path);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string(e.what()) + "; the file is kept as it is");
  }
  if (!text && ::lstat(path.c_str(), &st) == 0)
    throw std::runtime_error("\"" + path + "\" is a link to nothing; the file is kept as it is");
}

// A decimal number with optional leading blanks and sign, the whole value, within 32 bits;
// anything else gives the element's default.
std::int32_t StrToIntDef(std::string_view s, std::int32_t def) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i == s.size()) return def;
  std::int64_t value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return def;
    value = value * 10 + (s[i] - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return def;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return def;
  return static_cast<std::int32_t>(value);
}

std::int32_t EnablePrintingFromText(std::string_view value) {
  const std::string v = brix32::UpperCase(value);
  if (v == "DISABLED") return 2;
  if (v == "FALSE") return 0;
  return 1;
}

std::string_view TrueFalse(bool flag) { return flag ? "True" : "False"; }

// Tags in the order they are tested on each line; the first one found is the only one
// read from that line.
enum class Element {
  MainUnit,
  DaysOfLogFilesRetained,
  EnablePrinting,
  GUID,
  PDWLogPath,
  PrintCFSTasks,
  PrintTestPageAtStartup,
  ProcessTarnexTCPFeed,
  ProcessVEKUnits,
  SerialComms,
  VEKUnits,
  UDPAddr,
  UDPListenPort,
  URI,
  SyslogServer,
  URL,
  WWWHost,
  WWWHostAlt,
  WWWHostActive,
};

struct TagPair {
  std::string_view open, close;
  Element element;
};

constexpr TagPair kTags[] = {
    {"<MainUnit>", "</MainUnit>", Element::MainUnit},
    {"<DaysOfLogFilesRetained>", "</DaysOfLogFilesRetained>", Element::DaysOfLogFilesRetained},
    {"<EnablePrinting>", "</EnablePrinting>", Element::EnablePrinting},
    {"<GUID>", "</GUID>", Element::GUID},
    {"<PDWLogPath>", "</PDWLogPath>", Element::PDWLogPath},
    {"<PrintCFSTasks>", "</PrintCFSTasks>", Element::PrintCFSTasks},
    {"<PrintTestPageAtStartup>", "</PrintTestPageAtStartup>", Element::PrintTestPageAtStartup},
    {"<ProcessTarnexTCPFeed>", "</ProcessTarnexTCPFeed>", Element::ProcessTarnexTCPFeed},
    {"<ProcessVEKUnits>", "</ProcessVEKUnits>", Element::ProcessVEKUnits},
    {"<SerialComms>", "</SerialComms>", Element::SerialComms},
    {"<VEKUnits>", "</VEKUnits>", Element::VEKUnits},
    {"<UDPAddr>", "</UDPAddr>", Element::UDPAddr},
    {"<UDPListenPort>", "</UDPListenPort>", Element::UDPListenPort},
    {"<URI>", "</URI>", Element::URI},
    {"<SyslogServer>", "</SyslogServer>", Element::SyslogServer},
    {"<URL>", "</URL>", Element::URL},
    {"<WWWHost>", "</WWWHost>", Element::WWWHost},
    {"<WWWHostAlt>", "</WWWHostAlt>", Element::WWWHostAlt},
    {"<WWWHostActive>", "</WWWHostActive>", Element::WWWHostActive},
};

void StoreElement(Element element, std::string value) {
  tCorvanSettings& c = gCorvanSettings;
  tVEKSettings& v = gVEKSettings;
  switch (element) {
    case Element::MainUnit: c.MainUnit = std::move(value); break;
    case Element::DaysOfLogFilesRetained:
      gGlobalSettings.Log.DaysOfLogFilesRetained =
          StrToIntDef(value, kDefaultDaysOfLogFilesRetained);
      break;
    case Element::EnablePrinting: c.EnablePrinting = EnablePrintingFromText(value); break;
    case Element::GUID: v.GUID = std::move(value); break;
    case Element::PDWLogPath: c.PDWLogPath = std::move(value); break;
    case Element::PrintCFSTasks: c.PrintCFSTasks = brix32::StrToBoolean(value); break;
    case Element::PrintTestPageAtStartup:
      c.PrintTestPageAtStartup = brix32::StrToBoolean(value);
      break;
    case Element::ProcessTarnexTCPFeed: c.ProcessTarnexTCPFeed = brix32::StrToBoolean(value); break;
    case Element::ProcessVEKUnits:
    case Element::VEKUnits: c.ProcessVEKUnits = std::move(value); break;
    case Element::SerialComms: c.SerialComms = std::move(value); break;
    case Element::UDPAddr: c.UDPAddr = std::move(value); break;
    case Element::UDPListenPort: c.UDPListenPort = StrToIntDef(value, kDefaultUDPListenPort); break;
    case Element::URI: v.URI = std::move(value); break;
    case Element::SyslogServer: gGlobalSettings.Log.SyslogServer = std::move(value); break;
    case Element::URL: {
      // The older combined "host/path" form. A value without "/" is taken as a host
      // alone; the URI then falls back to the default after the last line.
      const std::size_t slash = value.find('/');
      if (slash == std::string::npos) {
        v.WWWHost = std::move(value);
        v.URI.clear();
      } else {
        v.WWWHost = value.substr(0, slash);
        v.URI = value.substr(slash);
      }
      break;
    }
    case Element::WWWHost: v.WWWHost = std::move(value); break;
    case Element::WWWHostAlt: v.WWWHostAlt = std::move(value); break;
    case Element::WWWHostActive: v.WWWHostActive = std::move(value); break;
  }
}

void ReadLine(std::string_view line, bool& inComment) {
  if (brix32::Trim(line).starts_with("<!--")) inComment = true;
  if (!inComment) {
    for (const TagPair& tag : kTags) {
      if (line.find(tag.open) == std::string_view::npos) continue;
      StoreElement(tag.element, brix32::Between(line, tag.open, tag.close));
      break;
    }
  }
  if (line.find("-->") != std::string_view::npos) inComment = false;
}

void SetDefaults() {
  tCorvanSettings& c = gCorvanSettings;
  c.SerialComms.clear();
  c.ProcessTarnexTCPFeed = true;
  c.ProcessVEKUnits.clear();
  c.UDPAddr = kBroadcastAddr;
  c.UDPListenPort = kDefaultUDPListenPort;
  c.PrintTestPageAtStartup = false;
  c.EnablePrinting = 1;
  c.MainUnit.clear();
  gGlobalSettings.Log.DaysOfLogFilesRetained = kDefaultDaysOfLogFilesRetained;
  gVEKSettings.WWWHost = Counterparts::kDefaultWWWHost;
  gVEKSettings.WWWHostAlt.clear();
  gVEKSettings.URI = Counterparts::kDefaultURI;
}

std::string ServiceVersionText() {
  const std::string& folder = gGlobalSettings.Path;
  const std::string name =
      brix32::ResolveNameIgnoringCase(folder, std::string(Counterparts::kVersionFile));
  return brix32::ReadServiceText(folder + name);
}

}  // namespace

std::string_view EnablePrintingText(std::int32_t value) {
  switch (value) {
    case 0: return "False";
    case 2: return "Disabled";
    default: return "True";
  }
}

std::string MainUnitCode() {
  return gCorvanSettings.MainUnit.size() == 3 ? brix32::UpperCase(gCorvanSettings.MainUnit)
                                              : std::string();
}

void SetSettingsFileReader(std::function<std::string(const std::string& FileName)> Reader) {
  SettingsFileReader() = std::move(Reader);
}

void ReadCorvanSettingsText(std::string_view Text) {
  bool inComment = false;
  // CR LF, a lone LF and a lone CR each end a line; a last line needs no line end.
  while (!Text.empty()) {
    const std::size_t end = Text.find_first_of("\r\n");
    ReadLine(Text.substr(0, end), inComment);
    if (end == std::string_view::npos) break;
    const std::size_t next =
        Text[end] == '\r' && end + 1 < Text.size() && Text[end + 1] == '\n' ? end + 2 : end + 1;
    Text.remove_prefix(next);
  }
  if (gCorvanSettings.UDPAddr.empty()) gCorvanSettings.UDPAddr = kBroadcastAddr;
  if (gVEKSettings.URI.empty()) gVEKSettings.URI = Counterparts::kDefaultURI;
  gCorvanSettings.Loaded = true;
}

std::string BuildCorvanSettingsText() {
  const tCorvanSettings& c = gCorvanSettings;
  const tVEKSettings& v = gVEKSettings;
  const std::string_view host = Counterparts::kDefaultWWWHost;
  std::string t;
  t.reserve(4096);
  const auto line = [&t](auto&&... pieces) {
    (t.append(pieces), ...);
    t.append("\r\n");
  };
  line("<xml>");
  line(" <!--");
  line("   Updated: ", brix32::FormatDateTime("dd/mm/yy hh:nn:ss", brix32::Now()));
  line("   Control Version: ", gGlobalSettings.Version);
  line("   Service Version: ", ServiceVersionText());
  line("   Host: ", gGlobalSettings.HostName);
  line("   Refer: ReadMe.txt");
  line("   Note: Any manual changes to this file will require a restart of");
  line("   the CorvanSrvc service.");
  line(" -->");
  line("");
  line(" <GlobalSettings>");
  line("  <!--");
  line("    Set <SerialComms> if connected to a local Corvan.");
  line("    eg. COM1,57600,N,8,1");
  line("  -->");
  line("  <SerialComms>", c.SerialComms, "</SerialComms>");
  line("");
  line("  <!--");
  line("    Enabling <ProcessTarnexTCPFeed> sets the CorvanSrvc to processes the VEK ");
  line("    paging data feed directly from the Tarnex web server.");
  line("    Set the TarnexFeed link parameters:-");
  line("    <ProcessTarnexTCPFeed>True</ProcessTarnexTCPFeed>");
  line("    <WWWHost>", host, "</WWWHost>");
  line("    <URI>/vek/rezedozo.dll</URI>");
  line("  -->");
  line("  <ProcessTarnexTCPFeed>", TrueFalse(c.ProcessTarnexTCPFeed), "</ProcessTarnexTCPFeed>");
  line("  <WWWHost>", v.WWWHost, "</WWWHost>");
  line("  <WWWHostAlt>", v.WWWHostAlt, "</WWWHostAlt>");
  line("  <WWWHostActive>", v.WWWHostActive, "</WWWHostActive>");
  line("  <URI>", v.URI, "</URI>");
  line("");
  line("  <!--");
  line("    The <ProcessVEKUnits> determines which tasks are printed and broadcast");
  line("    on the local network (UDP 15167). Set as follows:-");
  line("      All Units: <ProcessVEKUnits>*</ProcessVEKUnits>");
  line("      No Unit: <ProcessVEKUnits></ProcessVEKUnits>");
  line("      Single VEKUnit: <ProcessVEKUnits>XXX</ProcessVEKUnits>");
  line("      Multiple Units: <ProcessVEKUnits>XXX,YYY,ZZZ</ProcessVEKUnits>");
  line("      Note: This requires the VEKUnits.xml file which can be ");
  line("      downloaded from http://", host, Counterparts::kUnitsDownloadPath);
  line("  -->");
  line("  <ProcessVEKUnits>", c.ProcessVEKUnits, "</ProcessVEKUnits>");
  line("");
  line("  <!--");
  line("    The service, broadcasts the Corvan Decoder packets on the local network on ");
  line("    the port 15167");
  line("    Set the <UDPAddr> for a unicast, otherwise it will do a local broadcast.");
  line("  -->");
  line("  <UDPAddr>", c.UDPAddr, "</UDPAddr>");
  line("");
  line("  <!--");
  line("  The UDPListenPort is the port the CorvanSrvc listens on for data from other ");
  line("  CorvanSrvc on the network. Eg A CorvanSrvc connected to a ZIR Scanner broadcasts");
  line("  the data accross the local network on this port allowing other machines ");
  line("  running the CorvanSrvic to print the task sheets. ");
  line("  The default port 15167. To stop the service from binding to this port, set");
  line("  it to 0. Do NOT bind if the REZIZUZ is running on the same machine as it");
  line("  binds to this port to receive data. If the value is -1 the service failed");
  line("  to bind and this option will be disabled in the CorvanControl.");
  line("  -->");
  line("  <UDPListenPort>", std::to_string(c.UDPListenPort), "</UDPListenPort>");
  line("");
  line("  <!--");
  line("    If the <PrintTestPageAtStartup> is set to True, a Test Page is printed each");
  line("    time the servicve is started.");
  line("  -->");
  line("  <PrintTestPageAtStartup>", TrueFalse(c.PrintTestPageAtStartup),
       "</PrintTestPageAtStartup>");
  line("");
  line("  <!--");
  line("    If the <EnablePrinting> is set to True, a Tasking Sheets are printed.");
  line(
      "    If the <EnablePrinting> is set to Disabled, the CorvanSrvc does not have a dafault "
      "printer assigned.");
  line("  -->");
  line("  <EnablePrinting>", EnablePrintingText(c.EnablePrinting), "</EnablePrinting>");
  line("");
  line("  <!--");
  line(
      "    If the <PrintCFSTasks> is set to False, a Tasking Sheets are not printed for CFS "
      "tasks with the VEK unit attached.");
  line("  -->");
  line("  <PrintCFSTasks>", TrueFalse(c.PrintCFSTasks), "</PrintCFSTasks>");
  line("");
  line("  <!--");
  line("    This defines the unit that is displayed in the centre of the tasksheet map.");
  line("  -->");
  line("  <MainUnit>", c.MainUnit, "</MainUnit>");
  line("");
  line("  <!--");
  line("    Specify how long log files are retained in days.");
  line("  -->");
  line("  <DaysOfLogFilesRetained>", std::to_string(gGlobalSettings.Log.DaysOfLogFilesRetained),
       "</DaysOfLogFilesRetained>");
  line("");
  line("  <!--");
  line("    Path to PDW log files.");
  line("  -->");
  line("  <PDWLogPath>", c.PDWLogPath, "</PDWLogPath>");
  line("");
  line("  <!--");
  line("    Syslog server (UDP Port 514).");
  line("  -->");
  line("  <SyslogServer>", gGlobalSettings.Log.SyslogServer, "</SyslogServer>");
  line(" </GlobalSettings>");
  line("</xml>");
  return t;
}

std::string CorvanSettingsFile() {
  const std::string& path = gCorvanSettings.CorvanSrvcSettingsFilePath;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return folder + brix32::ResolveNameIgnoringCase(folder, path.substr(folder.size()));
}

tSettingsResult WriteCorvanSettings(bool bCreateOnly) {
  brix32::Operation op("Lib.SaveCorvanSettings");
  op.Ex.Notes = "gCorvanSettings.CorvanSrvcSettingsFilePath=" + gCorvanSettings.CorvanSrvcSettingsFilePath;
  tSettingsResult result;
  const bool ok = op.Run([&] {
    const std::string path = CorvanSettingsFile();
    op.Log.Trace = 110;
    const std::string text = BuildCorvanSettingsText();
    op.Log.Trace = 150;
    // What an earlier save killed in the middle left behind.
    brix32::RemoveLeftoverTemporaries(path);
    if (bCreateOnly) {
      op.Log.Trace = 200;
      errno = 0;
      const std::int32_t created = brix32::CreateTextFileExclusive(text, path);
      if (created == 1 && SettingsFileExists(path)) {
        result.Result = 1;
        return;
      }
      if (created == 1) {  // a folder, a link to nothing
        struct stat st {};
        ThrowFileError("created", path, ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? EISDIR : EEXIST);
      }
      if (created != 0) ThrowFileError("created", path, errno);
    } else {
      op.Log.Trace = 190;
      RequireReplaceable(path);
      op.Log.Trace = 200;
      errno = 0;
      if (brix32::WriteTextFileAtomic(text, path) != 0) ThrowFileError("written", path, errno);
    }
    result.Result = 0;
  });
  if (!ok) result.Error = op.Ex.Message;
  return result;
}

void SaveCorvanSettings() { WriteCorvanSettings(false); }

tSettingsResult LoadCorvanSettings(std::string_view CallingFunction, bool bCreateMissing) {
  brix32::Operation op("Lib.GetCorvanSettings");
  op.Ex.CallingFunction.assign(CallingFunction);
  op.Ex.Notes =
      "gCorvanSettings.CorvanSrvcSettingsFilePath=" + gCorvanSettings.CorvanSrvcSettingsFilePath;
  tSettingsResult result;
  const bool ok = op.Run([&] {
    const std::string path = CorvanSettingsFile();
    op.Log.Trace = 110;
    gCorvanSettings.Loaded = false;
    std::int32_t rc = 0;
    std::int32_t created = -1;
    // A file removed between the look and the read is looked for again.
    for (int attempt = 1;; ++attempt) {
      op.Log.Trace = 200;
      if (!SettingsFileExists(path)) {
        op.Log.Trace = 210;
        SetDefaults();
        rc = 1;
        if (bCreateMissing) {
          op.Log.Trace = 220;
          // Never over a file the service wrote since the look: that one is read instead.
          created = WriteCorvanSettings(true).Result;
          if (created == 1) rc = 0;
        }
      }
      op.Log.Trace = 300;
      if (!SettingsFileExists(path)) break;
      if (const std::optional<std::string> text = ReadSettingsFile(path)) {
        op.Log.Trace = 400;
        ReadCorvanSettingsText(*text);
        break;
      }
      if (attempt == 3) ThrowFileError("read", path, ENOENT);
    }
    // The file just created holds these values already; a create that failed is tried
    // once more.
    if (rc == 1 && bCreateMissing && created < 0) {
      op.Log.Trace = 500;
      WriteCorvanSettings(true);
    }
    result.Result = rc;
  });
  if (!ok) {
    result.Error = op.Ex.Message;
    brix32::PostSyslogMsg(
        {0, "Lib.GetCorvanSettings:Exception! ExceptionRec.FileName=" + op.ReportFileName});
  }
  return result;
}

std::int32_t GetCorvanSettings(std::string_view CallingFunction) {
  return LoadCorvanSettings(CallingFunction, true).Result;
}

}  // namespace Lib
