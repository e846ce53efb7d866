#pragma once
// The parts of the support bundle that describe the machine rather than the folder.
#include <cstdint>
#include <string>

namespace corvanctl {

// Name=value lines: when and by which corvanctl the bundle was made, the host, the
// kernel, the OS, the versions of the libraries corvanctl runs with and every shared
// library it has loaded, and the free space of the folder's file system.
std::string SystemReportText(const std::string& Folder, std::int64_t Now);

// /etc/os-release, else /usr/lib/os-release, as it stands (at most 64 KB); empty when
// neither can be read.
std::string OsReleaseText();

// Name=value lines for each running service process (corvansrvc.exe) and control panel
// (corvancontrol): its id, user, start time and command line.
std::string ProcessesReportText();

}  // namespace corvanctl
