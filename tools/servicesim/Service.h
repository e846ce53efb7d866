#pragma once
// The simulated companion service: it writes the service's files into the program
// folder, records its web host and UDP bind result in the shared settings file, and
// logs the test pages that reach its UDP port.
#include <netinet/in.h>

#include <string>
#include <vector>

#include "Scenario.h"

namespace servicesim {

struct tServiceOptions {
  std::string Folder;  // the program folder, ending with "/"
  in_addr Bind{};
  std::string BindText;
  std::string Version;     // written to the version file
  std::string ActiveHost;  // empty: the settings' WWWHost
  std::vector<tStep> Steps;
  bool Demo = false;
  int IntervalMs = 5000;
  unsigned Seed = 1;
  std::string PageLog;  // where received datagrams are logged
};

// Runs until the scenario's "exit" or a stop signal on `signalFd`; the exit code.
int RunService(const tServiceOptions& options, int signalFd);

}  // namespace servicesim
