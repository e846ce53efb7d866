#pragma once
// What the two setup dialogs do with values, kept apart from the widgets: how the controls
// map onto the settings, and the texts of the two network tests.
#include <cstdint>
#include <optional>
#include <string>

#include "pager/VEKRecords.h"
#include "support/DateTime.h"

namespace SetupForm {

// The states of the controls of both dialogs that ApplySetupControls takes over.
struct tSetupControlValues {
  std::string MainUnit;  // txtMainUnit as typed
  std::string WWWHost;
  std::string SerialComms;
  bool ProcessTarnexTCPFeed = false;
  bool ProcessUDPBroadcastPackets = false;
  bool PrintTestPageAtStartup = false;
  bool EnablePrintingEnabled = true;
  bool EnablePrintingChecked = false;
  std::string PDWLogPath;  // the hidden path of the advanced dialog
  std::string BroadcastAddr;
  bool PrintCFSTasks = false;
  std::string ProcessVEKUnits;
};

// Copies the values into gCorvanSettings and gVEKSettings (the file is not written).
void ApplySetupValues(const tSetupControlValues& Values);

// The settings file holds each value on one line and finds it by its tag: a value it would
// give back otherwise (one holding another setting's tag, say) would change settings the
// operator never touched. The message refusing the first field whose value OK would save
// so, naming the field (the main unit's for an empty unit filter, which takes it); nothing
// when the file can hold them all. With AdvancedFieldsOnly only the fields of the
// advanced dialog are looked at. The records are left as they are.
std::optional<std::string> UnstorableSetupValue(const tSetupControlValues& Values, bool AdvancedFieldsOnly);

// 2 while the box is greyed (the service has no default printer), else 1 or 0.
std::int32_t EnablePrintingFromBox(bool Enabled, bool Checked);
std::string EnablePrintingCaption(bool Enabled);

struct tCheckState {
  bool Checked = false;
  bool Enabled = true;
};
// -1 is the service's report that it could not bind: unchecked and greyed.
tCheckState UDPBoxFromPort(std::int32_t UDPListenPort);

// The unit filter field shows the main unit while no filter is set.
std::string UnitFilterShown(const std::string& ProcessVEKUnits, const std::string& MainUnit);

}  // namespace SetupForm

namespace SetupAdvancedForm {

// The text a missing "DummyPage.txt" is created with (no line end); UnitCode is the main
// unit code, empty when there is none.
std::string DefaultDummyPageText(brix32::TDateTime Now, const std::string& UnitCode);

// The file's content with a blank added; a leading "TEST PAGE " becomes "*CFSRES ".
std::string TestPageText(const std::string& DummyPage);

// "0000001 ", the time and date as "hh:nn dd-mm-yy", a blank and the test page text.
std::string TestPacket(const std::string& TestPage, brix32::TDateTime Now);

// What the broadcast button reports once the test page has gone out.
std::string BroadcastDoneMessage(std::int32_t MFSIncNo, const std::string& VEKUnit, const std::string& BroadcastAddr);

std::string PhoneHomeResultMessage(bool Sent, const std::string& WWWHost);

// What the broadcast of the test page came to.
struct tTestBroadcast {
  enum tResult { Sent, NoDummyPage, NetworkError };
  tResult Result = Sent;
  std::string Message;    // the problem, in the dialog's words; empty when sent
  VEKLib::tTaskRec Task;  // the test page parsed, once sent
};

// The broadcast button after its question: "DummyPage.txt" in Folder (created with the
// default text when missing), the test packet sent to the services on 15167 and again on
// 15171, and the page parsed for the message. Errors are the caller's to catch.
tTestBroadcast BroadcastTestPage(const std::string& Folder, const std::string& CallingFunction);

}  // namespace SetupAdvancedForm
