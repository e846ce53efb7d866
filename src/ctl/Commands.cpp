#include "ctl/Commands.h"

#include <filesystem>
#include <iostream>

#include "ctl/CtlOutput.h"
#include "ctl/Monitoring.h"
#include "ctl/ProgramFolder.h"
#include "settings/CorvanSettings.h"
#include "status/ServiceState.h"
#include "status/StatusRules.h"
#include "status/VersionsReport.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/FileVersion.h"
#include "support/Hooks.h"
#include "support/HostName.h"
#include "support/ServiceFileRead.h"

namespace corvanctl {

using namespace Counterparts;

namespace {

// Who we are in exception reports, syslog lines and the phone-home report.
void SetIdentity(const std::string& Folder, std::ostream& Err) {
  using brix32::gGlobalSettings;
  gGlobalSettings.Path = Folder;
  gGlobalSettings.SelfName = "CorvanCtl";
  gGlobalSettings.Version = brix32::FileVersion2("");
  gGlobalSettings.HostName = brix32::GetHostName();
  gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = Folder + std::string(kSettingsFileName);
  // The few messages the libraries would show in a box go to standard error instead.
  brix32::SetMessageBoxHandler([&Err](const std::string& text) { Err << "corvanctl: " << text << '\n'; });
}

int Dispatch(tContext& Ctx) {
  const std::string& command = Ctx.Args.Command;
  if (command == "status") return StatusCommand(Ctx);
  if (command == "watch") return WatchCommand(Ctx);
  if (command == "settings") return SettingsCommand(Ctx);
  if (command == "parse") return ParseCommand(Ctx);
  if (command == "units") return UnitsCommand(Ctx);
  if (command == "versions") return VersionsCommand(Ctx);
  if (command == "broadcast-test") return BroadcastTestCommand(Ctx);
  if (command == "phone-home") return PhoneHomeCommand(Ctx);
  if (command == "check") return CheckCommand(Ctx);
  if (command == "metrics") return MetricsCommand(Ctx);
  if (command == "diag") return DiagCommand(Ctx);
  throw EUsage("unknown command '" + command + "'");
}

void NoArguments(const tContext& Ctx) {
  if (!Ctx.Args.Positional.empty())
    throw EUsage(Ctx.Args.Command + " takes no arguments ('" + Ctx.Args.Positional.front() + "')");
}

// Monitoring systems read a plugin's state from its exit status and first line: whatever
// goes wrong with a check, even its command line, is UNKNOWN (3), never a failure (1) or
// a usage error (2), which they would take for WARNING or CRITICAL.
bool IsCheck(const std::vector<std::string>& Args) {
  for (std::size_t i = 0; i < Args.size(); ++i) {
    if (Args[i] == "--folder") {
      ++i;
      continue;
    }
    if (Args[i] == "--" || Args[i].empty() || Args[i][0] != '-') return Args[i] == "check";
  }
  return false;
}

int Unknown(std::ostream& Out, const std::string& Why) {
  const tCheckReport report = UnknownCheck(Why);
  Out << report.Text;
  Out.flush();
  return report.ExitCode();
}

std::string CurrentFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::current_path(ec).string();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

int RunCorvanCtl(const std::vector<std::string>& Args, std::istream& In, std::ostream& Out, std::ostream& Err) {
  tArgs args;
  try {
    args = ParseArgs(Args);
    if (args.Help) {
      const tCommandSpec* command = FindCommand(args.Command);
      Out << (command ? command->Help : GeneralHelp());
      return kExitOK;
    }
    if (args.Command.empty()) throw EUsage("no command given");
    const std::string start = CurrentFolder();
    tContext ctx{EnterProgramFolder(ChooseProgramFolder(args.Folder)), args, In, Out, Err, start};
    SetIdentity(ctx.Folder, Err);
    const int status = Dispatch(ctx);
    Out.flush();
    return status;
  } catch (const EUsage& e) {
    Err << "corvanctl: " << e.what() << "\n"
        << "Try 'corvanctl " << (args.Command.empty() ? "" : args.Command + " ") << "--help'.\n";
    if (IsCheck(Args)) return Unknown(Out, e.what());
    return kExitUsage;
  } catch (const EFailure& e) {
    Out.flush();
    Err << "corvanctl: " << e.what() << '\n';
    if (IsCheck(Args)) return Unknown(Out, e.what());
    return kExitFailure;
  } catch (const std::exception& e) {
    const std::string what = brix32::ExceptionClassName(e) + ": " + e.what();
    Out.flush();
    Err << "corvanctl: " << what << '\n';
    if (IsCheck(Args)) return Unknown(Out, what);
    return kExitFailure;
  }
}

std::string UserPath(const tContext& Ctx, const std::string& Name) {
  if (Name.empty() || Name[0] == '/') return Name;
  // Taken from the program folder instead, it would land where nobody asked for it.
  if (Ctx.StartFolder.empty())
    throw EFailure("the folder corvanctl was started in is gone: give " + Name + " with its whole path");
  return Ctx.StartFolder + Name;
}

void LoadSettings(tContext& Ctx, const std::string& CallingFunction) {
  const Lib::tSettingsResult load = Lib::LoadCorvanSettings(CallingFunction, false);
  if (load.Result < 0) throw EFailure(load.Error);
  if (load.Result == 1)
    Ctx.Err << "corvanctl: " << Lib::CorvanSettingsFile()
            << " is missing; using the defaults (corvanctl settings set creates it)\n";
}

std::string ControlProgramFile(const std::string& Folder) {
  const std::string panel = MainForm::ServiceFile(Folder, kControlProgramName);
  return MainForm::FileExists(panel) ? panel : std::string();
}

int StatusCommand(tContext& Ctx) {
  NoArguments(Ctx);
  LoadSettings(Ctx, std::string("corvanctl.Status:") + "100");
  const MainForm::tGetStatus status = MainForm::GetServiceStatus(Ctx.Folder);
  const MainForm::tServiceState state = MainForm::GatherServiceState(Ctx.Folder);
  const std::int32_t going =
      MainForm::GoingCount(brix32::ReadHeartbeat(MainForm::ServiceFile(Ctx.Folder, kTarnexHeartbeatFile)));

  tRecordOutput out;
  out.Text("StatusText", status.StatusText);
  out.Text("HintText", status.HintText);
  out.Number("ProcessCount", state.ProcessCount);
  out.Flag("PrintingReady", MainForm::PrintingReady(state));
  if (going >= 0)
    out.Number("GoingCount", going);
  else
    out.Null("GoingCount");
  out.Text("ControlVersion", brix32::FileVersion2(ControlProgramFile(Ctx.Folder)));
  if (MainForm::ServiceFileExists(Ctx.Folder, kVersionFile))
    out.Text("ServiceVersion",
             MainForm::VersionText(brix32::ReadServiceText(MainForm::ServiceFile(Ctx.Folder, kVersionFile))));
  else
    out.Null("ServiceVersion");
  out.Text("WWWHostActive", Lib::gVEKSettings.WWWHostActive);
  out.Text("CalloutReportURL", MainForm::CalloutReportURL(Lib::gVEKSettings.WWWHost, Lib::MainUnitCode()));

  if (Ctx.Args.Flags.count("--json"))
    out.WriteJson(Ctx.Out);
  else
    out.WriteLines(Ctx.Out);
  return kExitOK;
}

int VersionsCommand(tContext& Ctx) {
  NoArguments(Ctx);
  LoadSettings(Ctx, std::string("corvanctl.Versions:") + "100");
  MainForm::tInstalledVersions installed;
  try {
    installed = MainForm::ReadInstalledVersions(Ctx.Folder, ControlProgramFile(Ctx.Folder));
  } catch (const MainForm::EConvertError& e) {
    throw EFailure("a version file does not hold four whole numbers: " + EscapeValue(e.what()));
  }
  const std::string& host = Lib::gVEKSettings.WWWHost;
  const MainForm::tPublishedVersions published = MainForm::GetPublishedVersions(installed, host);
  std::string text = MainForm::VersionsReportText(installed, published, host);
  if (text.back() != '\n') text += '\n';
  Ctx.Out << text;
  return kExitOK;
}

}  // namespace corvanctl
