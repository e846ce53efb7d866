#pragma once
// corvanctl's commands over the libraries the control panel is built from.
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "ctl/CtlArgs.h"

namespace corvanctl {

// The panel's program, as the build names it.
inline constexpr std::string_view kControlProgramName = "corvancontrol";

struct tContext {
  std::string Folder;  // the program folder, absolute, ending with "/"
  const tArgs& Args;
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
  std::string StartFolder = {};  // the working folder corvanctl was started in, ending with "/"
};

// Runs one command line (without the program name) and returns the exit status.
int RunCorvanCtl(const std::vector<std::string>& Args, std::istream& In, std::ostream& Out, std::ostream& Err);

// Each command returns the exit status or throws EUsage / EFailure.
int StatusCommand(tContext& Ctx);
int WatchCommand(tContext& Ctx);
int SettingsCommand(tContext& Ctx);
int ParseCommand(tContext& Ctx);
int UnitsCommand(tContext& Ctx);
int VersionsCommand(tContext& Ctx);
int BroadcastTestCommand(tContext& Ctx);
int PhoneHomeCommand(tContext& Ctx);
int CheckCommand(tContext& Ctx);
int MetricsCommand(tContext& Ctx);
int DiagCommand(tContext& Ctx);

// Loads the settings file for a command that changes nothing: a missing file is said on
// standard error and the defaults are used, without writing anything; a file that exists
// but cannot be read is a failure.
void LoadSettings(tContext& Ctx, const std::string& CallingFunction);

// A file named on the command line: a relative name is taken from the folder corvanctl
// was started in, not from the program folder it works in; throws EFailure when that
// folder is gone.
std::string UserPath(const tContext& Ctx, const std::string& Name);

// The control panel's program file in the folder when it is installed there, otherwise
// this program's own file (both carry the version of the same build).
std::string ControlProgramFile(const std::string& Folder);

}  // namespace corvanctl
