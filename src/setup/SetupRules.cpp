#include "setup/SetupRules.h"

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "pager/ReportParser.h"
#include "settings/CorvanSettings.h"
#include "settings/StorableSettings.h"
#include "support/Counterparts.h"
#include "support/FileUtils.h"
#include "support/ServiceFileRead.h"
#include "support/Syslog.h"
#include "support/TextUtils.h"

namespace SetupForm {

void ApplySetupValues(const tSetupControlValues& Values) {
  Lib::tCorvanSettings& s = Lib::gCorvanSettings;
  s.MainUnit = brix32::UpperCase(Values.MainUnit);
  Lib::gVEKSettings.WWWHost = Values.WWWHost;
  s.SerialComms = Values.SerialComms;
  s.ProcessTarnexTCPFeed = Values.ProcessTarnexTCPFeed;
  // The box knows only "listen" or not: any other port in the file becomes the usual one.
  s.UDPListenPort = Values.ProcessUDPBroadcastPackets ? Counterparts::kTestPagePort : 0;
  s.PrintTestPageAtStartup = Values.PrintTestPageAtStartup;
  s.EnablePrinting = EnablePrintingFromBox(Values.EnablePrintingEnabled, Values.EnablePrintingChecked);
  s.PDWLogPath = Values.PDWLogPath;
  s.UDPAddr = Values.BroadcastAddr;
  s.PrintCFSTasks = Values.PrintCFSTasks;
  // Without a filter the service prints for the unit typed above, as typed.
  s.ProcessVEKUnits = Values.ProcessVEKUnits.empty() ? Values.MainUnit : Values.ProcessVEKUnits;
}

namespace {

// The dialogs' fields that take text, in the order the operator meets them.
struct tTextField {
  const char* Setting;
  const char* Caption;
  bool Advanced;
};
constexpr tTextField kTextFields[] = {
    {"MainUnit", "Main unit", false},          {"WWWHost", "Tarnex server", true},
    {"PDWLogPath", "PDW log file path", true}, {"UDPAddr", "UDP broadcast address", true},
    {"ProcessVEKUnits", "Process Unit", true}, {"SerialComms", "Corvan300 serial port settings", true},
};

// Whether the value of Setting came from Field: an empty unit filter takes the main unit
// as typed, so the main unit's field is the one to change.
bool CameFrom(const tTextField& Field, std::string_view Setting, const tSetupControlValues& Values) {
  if (Setting == "ProcessVEKUnits" && Values.ProcessVEKUnits.empty()) Setting = "MainUnit";
  return Setting == Field.Setting;
}

// A value short enough for a message box.
std::string Shown(const std::string& Value) {
  constexpr std::size_t kShown = 60;
  return Value.size() <= kShown ? Value : Value.substr(0, kShown) + "...";
}

}  // namespace

std::optional<std::string> UnstorableSetupValue(const tSetupControlValues& Values, bool AdvancedFieldsOnly) {
  const std::vector<Lib::tUnstorableSetting> unstorable = Lib::UnstorableSettings([&] { ApplySetupValues(Values); });
  for (const tTextField& field : kTextFields) {
    if (AdvancedFieldsOnly && !field.Advanced) continue;
    for (const Lib::tUnstorableSetting& u : unstorable)
      if (CameFrom(field, u.Name, Values))
        return std::string(field.Caption) + ": '" + Shown(u.Value) +
               "' cannot be stored in the settings file (it would read back as '" + Shown(u.ReadBack) +
               "'). Change it, or cancel to keep the stored settings.";
  }
  return std::nullopt;
}

std::int32_t EnablePrintingFromBox(bool Enabled, bool Checked) {
  if (!Enabled) return 2;
  return Checked ? 1 : 0;
}

std::string EnablePrintingCaption(bool Enabled) {
  return Enabled ? "Enable printing" : "Enable printing (no service default printer)";
}

tCheckState UDPBoxFromPort(std::int32_t UDPListenPort) { return {UDPListenPort > 0, UDPListenPort >= 0}; }

std::string UnitFilterShown(const std::string& ProcessVEKUnits, const std::string& MainUnit) {
  return ProcessVEKUnits.empty() ? MainUnit : ProcessVEKUnits;
}

}  // namespace SetupForm

namespace SetupAdvancedForm {

std::string DefaultDummyPageText(brix32::TDateTime Now, const std::string& UnitCode) {
  std::string text = "TEST PAGE INC:S9000 ";
  text += brix32::FormatDateTime("dd/mm/yy hh:nn", Now);
  text += " RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE ";
  text += UnitCode;
  text += "20";
  return text;
}

std::string TestPageText(const std::string& DummyPage) {
  constexpr std::string_view kTestPage = "TEST PAGE ";
  std::string text = DummyPage + " ";
  if (text.starts_with(kTestPage)) text.replace(0, kTestPage.size(), "*CFSRES ");
  return text;
}

std::string TestPacket(const std::string& TestPage, brix32::TDateTime Now) {
  std::string packet(Counterparts::kTestPageTaskNumber);
  packet += brix32::FormatDateTime("hh:nn dd-mm-yy", Now);
  packet += ' ';
  packet += TestPage;
  return packet;
}

std::string BroadcastDoneMessage(std::int32_t MFSIncNo, const std::string& VEKUnit, const std::string& BroadcastAddr) {
  char incident[16];
  std::snprintf(incident, sizeof incident, "%.4d", MFSIncNo);  // at least four digits
  std::string text = "Incident ";
  text += incident;
  text += " for ";
  text += VEKUnit;
  text += " was broadcast on ";
  text += BroadcastAddr;
  text += ".\r\n\r\n";
  text +=
      "Note: This broadcast page was loaded from the DummyPage.txt file. If you send another "
      "broadcast today then be sure to change the MFS Incident Number in the file to make it "
      "unique.\r\n\r\n";
  text +=
      "If you are not seeing the broadcast, try changing the broadcast address so that is and "
      "inverse of the local subnet address. Eg If subnet is 255.255.255.0 then set the broadcast "
      "to be 0.0.0.255.";
  return text;
}

std::string PhoneHomeResultMessage(bool Sent, const std::string& WWWHost) {
  const std::string host = brix32::UpperCase(WWWHost);
  if (Sent) return "A UDP PhoneHome test packet was sent to " + host + ":15171.";
  return "The UDP PhoneHome test packet failed to send to " + host + ":15171!";
}

tTestBroadcast BroadcastTestPage(const std::string& Folder, const std::string& CallingFunction) {
  tTestBroadcast result;
  const std::string fileName =
      Folder + brix32::ResolveNameIgnoringCase(Folder, std::string(Counterparts::kDummyPageFileName));
  // A folder of that name is no dummy page: nothing could be read from it. Nor is a
  // link: its target, wherever it is, would be broadcast (and the write refuses it).
  const auto isPage = [&] {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(fileName, ec));
  };
  if (!isPage()) brix32::WriteTextFile(DefaultDummyPageText(brix32::Now(), Lib::MainUnitCode()), fileName, false);
  if (!isPage()) {
    result.Result = tTestBroadcast::NoDummyPage;
    result.Message = "Oops! Spoke too soon. " + fileName + " is missing!";
    return result;
  }

  const std::string testPage = TestPageText(brix32::ReadDummyPage(fileName));
  // The services listen on 15167; whether that send went out is told by the next one.
  brix32::BroadcastUDPPacket(TestPacket(testPage, brix32::Now()), Counterparts::kTestPagePort);
  if (brix32::BroadcastUDPPacket(TestPacket(testPage, brix32::Now()), Counterparts::kPhoneHomePort) != 0) {
    result.Result = tTestBroadcast::NetworkError;
    result.Message =
        "There was a network error broadcasting the task. Check that you have networking enabled and "
        "that it connected.";
    return result;
  }
  result.Task = VEKLib::ParseRawTextToTask(testPage, CallingFunction);
  return result;
}

}  // namespace SetupAdvancedForm
