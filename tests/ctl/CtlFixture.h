#pragma once
// corvanctl run as a separate process on a program folder of the test's own.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ProcessState.h"
#include "SimProcess.h"
#include "TempFolder.h"

namespace corvantest {

inline const std::string kCorvanCtl = CORVANCTL_PROGRAM;
inline const std::string kServiceSim = CORVAN_SERVICESIM_EXE;
inline const std::string kHostSim = CORVAN_HOSTSIM_EXE;
inline const std::string kProjectVersion = CORVAN_PROJECT_VERSION;

struct CtlResult {
  int status = -1;
  std::string out;
  std::string err;
};

class CtlTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // corvanctl --folder <the folder> ARGS...
  CtlResult Ctl(const std::vector<std::string>& Args) const;
  // The same with standard input read from Input.
  CtlResult CtlWithInput(const std::vector<std::string>& Args, const std::string& Input) const;

  // Loads (or creates) the folder's settings file in this process, lets Change edit the
  // records and saves the file, as another program sharing the folder would.
  void EditSettings(const std::function<void()>& Change) const;

  // The simulated service, installed in the program folder under the service's name and
  // started with the scenario Steps; returns once it says it is ready.
  std::unique_ptr<SimProcess> StartService(const std::vector<std::string>& Steps) const;

  ProcessStateGuard processState;
  TempFolder dir;
};

// Runs Program to its end with its output captured.
CtlResult RunResult(const std::string& Program, const std::vector<std::string>& Args);

// The value of "Name=" in Name=value lines; fails the test when the line is missing.
std::string ValueOf(const std::string& Lines, const std::string& Name);

}  // namespace corvantest
