#pragma once
#include <sys/types.h>

#include <string>

namespace brix32 {

// Opens FileName with the desktop's associated program: xdg-open, started directly with
// the name as its one argument (no shell). The opener's process id, for the caller to
// collect when it ends (it may run for as long as the viewer stays open); -1 when it could
// not be started at all (not installed).
pid_t DisplayFile(const std::string& FileName);

// What went wrong when FileName was not opened: the reason the opener could not start
// (WaitStatus < 0) or the one its wait status gives (exit codes as xdg-open documents
// them). Empty when the opener succeeded.
std::string DisplayFileProblem(const std::string& FileName, int WaitStatus);

}  // namespace brix32
