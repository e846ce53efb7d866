#include "CtlFixture.h"

#include <filesystem>
#include <sstream>

#include "Hermetic.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"

namespace corvantest {

void CtlTest::SetUp() {
  // Anything corvanctl runs may write an exception report, which broadcasts a syslog line.
  CORVAN_REQUIRE_HERMETIC_NETWORK();
}

CtlResult RunResult(const std::string& Program, const std::vector<std::string>& Args) {
  CtlResult result;
  result.status = RunToExit(Program, Args, &result.err, &result.out);
  return result;
}

CtlResult CtlTest::Ctl(const std::vector<std::string>& Args) const {
  std::vector<std::string> args = {"--folder", dir.path()};
  args.insert(args.end(), Args.begin(), Args.end());
  return RunResult(kCorvanCtl, args);
}

CtlResult CtlTest::CtlWithInput(const std::vector<std::string>& Args, const std::string& Input) const {
  dir.write(".stdin", Input);
  std::string command = "exec \"$0\" --folder \"$1\"";
  std::vector<std::string> args = {"-c", "", kCorvanCtl, dir.path()};
  for (std::size_t i = 0; i < Args.size(); ++i) command += " \"$" + std::to_string(i + 2) + "\"";
  command += " <\"$1/.stdin\"";
  args[1] = command;
  args.insert(args.end(), Args.begin(), Args.end());
  return RunResult("/bin/sh", args);
}

void CtlTest::EditSettings(const std::function<void()>& Change) const {
  brix32::gGlobalSettings.Path = dir.path();
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = dir.file("CorvanSrvc-Settings.xml");
  Lib::GetCorvanSettings("CtlTest.EditSettings:100");
  Change();
  Lib::SaveCorvanSettings();
}

std::unique_ptr<SimProcess> CtlTest::StartService(const std::vector<std::string>& Steps) const {
  if (!dir.exists("corvansrvc.exe")) std::filesystem::copy_file(kServiceSim, dir.file("corvansrvc.exe"));
  std::vector<std::string> args = {"--folder", dir.path()};
  for (const std::string& step : Steps) {
    args.push_back("--step");
    args.push_back(step);
  }
  auto service = std::make_unique<SimProcess>(dir.file("corvansrvc.exe"), args);
  EXPECT_TRUE(service->waitForOutput("ready")) << service->err();
  return service;
}

std::string ValueOf(const std::string& Lines, const std::string& Name) {
  std::istringstream in(Lines);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(Name + "=")) return line.substr(Name.size() + 1);
  ADD_FAILURE() << "no line " << Name << "= in\n" << Lines;
  return {};
}

}  // namespace corvantest
