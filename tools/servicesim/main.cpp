// Simulator of the companion service, built as "corvansrvc.exe" so that the control
// panel's process check counts it as the running service.
#include <sys/stat.h>

#include <string>

#include "Service.h"
#include "SimCommon.h"
#include "support/Counterparts.h"
#include "support/FileUtils.h"

namespace {

using simcommon::UsageError;

constexpr const char* kUsage = R"(usage: corvansrvc.exe --folder DIR [options]
  --folder DIR          the program folder shared with the control panel (must exist)
  --bind ADDR           IPv4 address of the UDP page port (default 127.0.0.1)
  --version A.B.C.D     written to CorvanSrvc-Version.txt (default 3.1.0.12)
  --host NAME           active web host to record (default: the settings' WWWHost)
  --scenario FILE       steps from FILE, one "AT COMMAND [TEXT]" per line
  --step "AT COMMAND [TEXT]"  one step (may be repeated)
  --demo                free-running demo: heartbeats, pages, feed changes
  --interval MS         demo tick (default 5000)
  --seed N              demo random seed (default 1)
  --page-log FILE       log of received UDP packets (default DIR/CorvanSrvc-TestPages.log)
Scenario commands: tarnex serial udp msg status TEXT | going N | feed KIND | host NAME | exit)";

servicesim::tServiceOptions ParseOptions(int argc, char** argv) {
  servicesim::tServiceOptions o;
  o.BindText = "127.0.0.1";
  o.Version = "3.1.0.12";
  simcommon::ArgReader args(argc, argv);
  while (!args.done()) {
    const std::string option = args.option();
    if (option == "--folder") {
      o.Folder = args.value(option);
    } else if (option == "--bind") {
      o.BindText = args.value(option);
    } else if (option == "--version") {
      o.Version = args.value(option);
      if (!simcommon::IsFourPartVersion(o.Version))
        throw UsageError("--version must be four whole numbers joined by \".\", not \"" + o.Version + "\"");
    } else if (option == "--host") {
      o.ActiveHost = args.value(option);
      if (o.ActiveHost.empty() || o.ActiveHost.find_first_of(" <>\r\n\t") != std::string::npos)
        throw UsageError("--host needs a host name");
    } else if (option == "--scenario") {
      const std::string file = args.value(option);
      struct stat st {};
      if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw UsageError("--scenario: no file \"" + file + "\"");
      for (auto& step : servicesim::ParseScenario(brix32::FileToBin(file))) o.Steps.push_back(step);
    } else if (option == "--step") {
      o.Steps.push_back(servicesim::ParseStep(args.value(option)));
    } else if (option == "--demo") {
      o.Demo = true;
    } else if (option == "--interval") {
      const auto ms = simcommon::ParseCount(args.value(option));
      if (!ms || *ms < 100 || *ms > 3600000) throw UsageError("--interval must be 100..3600000 ms");
      o.IntervalMs = static_cast<int>(*ms);
    } else if (option == "--seed") {
      const auto seed = simcommon::ParseCount(args.value(option));
      if (!seed || *seed > 0xFFFFFFFFLL) throw UsageError("--seed must be a whole number");
      o.Seed = static_cast<unsigned>(*seed);
    } else if (option == "--page-log") {
      o.PageLog = args.value(option);
      if (o.PageLog.empty()) throw UsageError("--page-log needs a file name");
    } else {
      throw UsageError("unknown option " + option);
    }
  }
  if (o.Folder.empty()) throw UsageError("--folder is required");
  struct stat st {};
  if (::stat(o.Folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw UsageError("--folder: no folder \"" + o.Folder + "\"");
  if (o.Folder.back() != '/') o.Folder += '/';
  const auto bind = simcommon::ParseIPv4(o.BindText);
  if (!bind) throw UsageError("--bind must be a dotted IPv4 address, not \"" + o.BindText + "\"");
  o.Bind = *bind;
  if (o.PageLog.empty()) o.PageLog = o.Folder + "CorvanSrvc-TestPages.log";
  servicesim::SortSteps(o.Steps);
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  simcommon::SetProgramName("corvansrvc");
  if (simcommon::HelpAsked(argc, argv)) return simcommon::PrintUsage(kUsage);
  const int signalFd = simcommon::OpenStopSignalFd();
  try {
    return servicesim::RunService(ParseOptions(argc, argv), signalFd);
  } catch (const UsageError& e) {
    simcommon::Complain(e.what());
    simcommon::Complain(kUsage);
    return simcommon::kExitBadArguments;
  }
}
