#pragma once
// Starting a program when a user logs on: an XDG autostart entry for every user.
#include <string>

namespace brix32 {

// The system autostart folder: "autostart/" under the first absolute folder of
// $XDG_CONFIG_DIRS, /etc/xdg when there is none. Ends with "/".
std::string AutostartFolder();

// Writes "<Description>.desktop" into the autostart folder, replacing an older entry, so
// that Path (a program file name, optionally in double quotes) starts at log-on; an entry
// whose Exec line already starts Path is left as it is (the package ships one). When the
// folder does not exist or cannot be written, nothing is written and nothing reported;
// the folder is never created. A Description that is no plain file name writes nothing.
void SetAutoRun(const std::string& Description, const std::string& Path);

// The entry's text (exposed for tests of its quoting).
std::string AutostartEntry(const std::string& Description, const std::string& Path);

}  // namespace brix32
