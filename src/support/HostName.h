#pragma once
#include <string>

namespace brix32 {

// The machine's host name (gethostname), also stored in gGlobalSettings.HostName.
// Empty after an error, and HostName is then left alone.
std::string GetHostName();

}  // namespace brix32
