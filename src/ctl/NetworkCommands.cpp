// broadcast-test and phone-home: the two network tests of the advanced setup dialog.
#include <ostream>

#include "ctl/Commands.h"
#include "pager/VEKUnits.h"
#include "reports/PhoneHome.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupRules.h"
#include "status/ServiceState.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"

namespace corvanctl {

using namespace Counterparts;

namespace {

// The dialog's messages use CR LF; a terminal wants its own line ends.
std::string TerminalText(std::string Text) {
  for (std::size_t at = Text.find("\r\n"); at != std::string::npos; at = Text.find("\r\n", at)) Text.erase(at, 1);
  return Text;
}

}  // namespace

int BroadcastTestCommand(tContext& Ctx) {
  if (!Ctx.Args.Positional.empty()) throw EUsage("broadcast-test takes no arguments");
  LoadSettings(Ctx, std::string("corvanctl.BroadcastTest:") + "100");
  // The incident's unit in the message comes from the units directory, as in the panel.
  if (MainForm::ServiceFileExists(Ctx.Folder, kUnitsFileName))
    VEKLib::LoadVEKUnitsArrayFromXML(MainForm::ServiceFile(Ctx.Folder, kUnitsFileName));

  const SetupAdvancedForm::tTestBroadcast sent =
      SetupAdvancedForm::BroadcastTestPage(Ctx.Folder, std::string("corvanctl.BroadcastTest:") + "900");
  if (sent.Result != SetupAdvancedForm::tTestBroadcast::Sent) throw EFailure(sent.Message);
  // The address the dialog shows in its broadcast-address field.
  Ctx.Out << TerminalText(SetupAdvancedForm::BroadcastDoneMessage(sent.Task.ZIRPage.MFSIncNo, sent.Task.ZIRPage.VEKUnit,
                                                                  Lib::gCorvanSettings.UDPAddr))
          << '\n';
  return kExitOK;
}

int PhoneHomeCommand(tContext& Ctx) {
  if (!Ctx.Args.Positional.empty()) throw EUsage("phone-home takes no arguments");
  LoadSettings(Ctx, std::string("corvanctl.PhoneHome:") + "100");
  const bool sent = Lib::PhoneHomeUDP15171(brix32::gGlobalSettings.SelfName + " Test");
  const std::string message = SetupAdvancedForm::PhoneHomeResultMessage(sent, Lib::gVEKSettings.WWWHost);
  if (!sent) throw EFailure(message);
  Ctx.Out << message << '\n';
  return kExitOK;
}

}  // namespace corvanctl
