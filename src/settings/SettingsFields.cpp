#include "settings/SettingsFields.h"

#include "settings/CorvanSettings.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/NumberText.h"
#include "support/TextUtils.h"

namespace Lib {

namespace {

// The file's numbers may have spaces before them; anything else about them gives `def`.
std::int32_t StrToIntDef(std::string_view s, std::int32_t def) {
  return brix32::ReadDecimal(s, brix32::tBlanks::LeadingSpaces).value_or(def);
}

std::int32_t EnablePrintingFromText(std::string_view value) {
  const std::string v = brix32::UpperCase(value);
  if (v == "DISABLED") return 2;
  if (v == "FALSE") return 0;
  return 1;
}

std::vector<tSettingsField> MakeFields() {
  tCorvanSettings& c = gCorvanSettings;
  tVEKSettings& v = gVEKSettings;
  brix32::tLog& log = brix32::gGlobalSettings.Log;
  const std::string host(Counterparts::kDefaultWWWHost);
  using enum tSettingKind;
  return {
      {.Name = "SerialComms",
       .Kind = Text,
       .Value = &c.SerialComms,
       .ReadOrder = 10,
       .Default = "",
       .Comment = {"    Set <SerialComms> if connected to a local Corvan.", "    eg. COM1,57600,N,8,1"}},
      {.Name = "ProcessTarnexTCPFeed",
       .Kind = Flag,
       .Value = &c.ProcessTarnexTCPFeed,
       .ReadOrder = 8,
       .Default = "True",
       .Comment = {"    Enabling <ProcessTarnexTCPFeed> sets the CorvanSrvc to processes the VEK ",
                   "    paging data feed directly from the Tarnex web server.",
                   "    Set the TarnexFeed link parameters:-", "    <ProcessTarnexTCPFeed>True</ProcessTarnexTCPFeed>",
                   "    <WWWHost>" + host + "</WWWHost>", "    <URI>/vek/rezedozo.dll</URI>"}},
      {.Name = "WWWHost", .Kind = Text, .Value = &v.WWWHost, .ReadOrder = 17, .Default = host},
      {.Name = "WWWHostAlt", .Kind = Text, .Value = &v.WWWHostAlt, .ReadOrder = 18, .Default = ""},
      // Where the service records the host it is connected to.
      {.Name = "WWWHostActive", .Kind = Text, .Value = &v.WWWHostActive, .ReadOrder = 19},
      {.Name = "URI",
       .Kind = Text,
       .Value = &v.URI,
       .ReadOrder = 14,
       .Default = std::string(Counterparts::kDefaultURI),
       .NeverEmpty = true},
      {.Name = "ProcessVEKUnits",
       .Kind = Text,
       .Value = &c.ProcessVEKUnits,
       .ReadOrder = 9,
       .Default = "",
       .Comment = {"    The <ProcessVEKUnits> determines which tasks are printed and broadcast",
                   "    on the local network (UDP 15167). Set as follows:-",
                   "      All Units: <ProcessVEKUnits>*</ProcessVEKUnits>",
                   "      No Unit: <ProcessVEKUnits></ProcessVEKUnits>",
                   "      Single VEKUnit: <ProcessVEKUnits>XXX</ProcessVEKUnits>",
                   "      Multiple Units: <ProcessVEKUnits>XXX,YYY,ZZZ</ProcessVEKUnits>",
                   "      Note: This requires the VEKUnits.xml file which can be ",
                   "      downloaded from http://" + host + std::string(Counterparts::kUnitsDownloadPath)}},
      {.Name = "UDPAddr",
       .Kind = Text,
       .Value = &c.UDPAddr,
       .ReadOrder = 12,
       .Default = "255.255.255.255",
       .NeverEmpty = true,
       .Comment = {"    The service, broadcasts the Corvan Decoder packets on the local network on ",
                   "    the port 15167",
                   "    Set the <UDPAddr> for a unicast, otherwise it will do a local broadcast."}},
      {.Name = "UDPListenPort",
       .Kind = Number,
       .Value = &c.UDPListenPort,
       .ReadOrder = 13,
       .Default = std::to_string(Counterparts::kTestPagePort),
       .Comment = {"  The UDPListenPort is the port the CorvanSrvc listens on for data from other ",
                   "  CorvanSrvc on the network. Eg A CorvanSrvc connected to a ZIR Scanner broadcasts",
                   "  the data accross the local network on this port allowing other machines ",
                   "  running the CorvanSrvic to print the task sheets. ",
                   "  The default port 15167. To stop the service from binding to this port, set",
                   "  it to 0. Do NOT bind if the REZIZUZ is running on the same machine as it",
                   "  binds to this port to receive data. If the value is -1 the service failed",
                   "  to bind and this option will be disabled in the CorvanControl."}},
      {.Name = "PrintTestPageAtStartup",
       .Kind = Flag,
       .Value = &c.PrintTestPageAtStartup,
       .ReadOrder = 7,
       .Default = "False",
       .Comment = {"    If the <PrintTestPageAtStartup> is set to True, a Test Page is printed each",
                   "    time the servicve is started."}},
      {.Name = "EnablePrinting",
       .Kind = Printing,
       .Value = &c.EnablePrinting,
       .ReadOrder = 3,
       .Default = "True",
       .Comment = {"    If the <EnablePrinting> is set to True, a Tasking Sheets are printed.",
                   "    If the <EnablePrinting> is set to Disabled, the CorvanSrvc does not have a dafault "
                   "printer assigned."}},
      {.Name = "PrintCFSTasks",
       .Kind = Flag,
       .Value = &c.PrintCFSTasks,
       .ReadOrder = 6,
       .Comment = {"    If the <PrintCFSTasks> is set to False, a Tasking Sheets are not printed for CFS "
                   "tasks with the VEK unit attached."}},
      {.Name = "MainUnit",
       .Kind = Text,
       .Value = &c.MainUnit,
       .ReadOrder = 1,
       .Default = "",
       .Comment = {"    This defines the unit that is displayed in the centre of the tasksheet map."}},
      {.Name = "DaysOfLogFilesRetained",
       .Kind = Number,
       .Value = &log.DaysOfLogFilesRetained,
       .ReadOrder = 2,
       .Default = "7",
       .Comment = {"    Specify how long log files are retained in days."}},
      {.Name = "PDWLogPath",
       .Kind = Text,
       .Value = &c.PDWLogPath,
       .ReadOrder = 5,
       .Comment = {"    Path to PDW log files."}},
      {.Name = "SyslogServer",
       .Kind = Text,
       .Value = &log.SyslogServer,
       .ReadOrder = 15,
       .Comment = {"    Syslog server (UDP Port 514)."}},
      // The service's own; kept as read.
      {.Name = "GUID", .Kind = Text, .Value = &v.GUID, .ReadOrder = 4, .Written = false},
  };
}

}  // namespace

std::string_view EnablePrintingText(std::int32_t value) {
  switch (value) {
    case 0:
      return "False";
    case 2:
      return "Disabled";
    default:
      return "True";
  }
}

std::string tSettingsField::Text() const {
  switch (Kind) {
    case tSettingKind::Text:
      return *std::get<std::string*>(Value);
    case tSettingKind::Flag:
      return *std::get<bool*>(Value) ? "True" : "False";
    case tSettingKind::Number:
      return std::to_string(*std::get<std::int32_t*>(Value));
    case tSettingKind::Printing:
      return std::string(EnablePrintingText(*std::get<std::int32_t*>(Value)));
  }
  return {};
}

void tSettingsField::Read(std::string_view value) const {
  switch (Kind) {
    case tSettingKind::Text:
      std::get<std::string*>(Value)->assign(value);
      break;
    case tSettingKind::Flag:
      *std::get<bool*>(Value) = brix32::StrToBoolean(value);
      break;
    case tSettingKind::Number:
      *std::get<std::int32_t*>(Value) = StrToIntDef(value, Default ? StrToIntDef(*Default, 0) : 0);
      break;
    case tSettingKind::Printing:
      *std::get<std::int32_t*>(Value) = EnablePrintingFromText(value);
      break;
  }
}

const std::vector<tSettingsField>& SettingsFields() {
  static const std::vector<tSettingsField> fields = MakeFields();
  return fields;
}

}  // namespace Lib
