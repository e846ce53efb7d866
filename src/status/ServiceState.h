#pragma once
// What the service's state is learnt from: the fixed-name files it writes into the program
// folder, its program file there, and its running processes. Shared by the panel and the
// command-line companion, so that both read the folder the same way.
#include <string>
#include <string_view>

#include "status/StatusRules.h"

namespace MainForm {

// A regular file by that name exists (a folder of that name does not count).
bool FileExists(const std::string& FileName);

// Full name in the program folder (ending with "/") of a service file with a fixed name,
// whatever the case of the name the service used.
std::string ServiceFile(const std::string& Folder, std::string_view Name);
bool ServiceFileExists(const std::string& Folder, std::string_view Name);

// The program's presence, its running processes, the message file and the two settings
// that GetStatus decides on, as they are now.
tServiceState GatherServiceState(const std::string& Folder);

// GatherServiceState + DecideStatus under the diagnostics pattern: after an error the
// report is written (without beeps), a syslog line names it, and both texts are empty.
tGetStatus GetServiceStatus(const std::string& Folder);

// The status line and the printing-ready icon, decided from one look at the folder (as
// GetServiceStatus; after an error the icon is the not-ready one).
struct tServiceVerdict {
  tGetStatus Status;
  bool PrintingReady = false;
};
tServiceVerdict GetServiceVerdict(const std::string& Folder);

}  // namespace MainForm
