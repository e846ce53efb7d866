#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brix32 {

// How many running processes have the program file ExeName, e.g. "corvansrvc.exe",
// whoever runs them. A process's name is its argv[0] (as the process list shows it) or,
// failing that, its kernel name (/proc/<pid>/comm, which follows the executed file even
// when argv[0] was changed). A name counts when its last path part, or the whole of it,
// equals ExeName with a..z compared without regard to case. After an error, the count
// reached so far.
std::int32_t ProcessCount(std::string_view ExeName);

// One running process of a program, for a support report.
struct tProcessInfo {
  pid_t Pid = 0;
  uid_t Uid = 0;
  std::int64_t Started = 0;            // seconds since 1970, from the boot time and the process's start
  std::vector<std::string> Arguments;  // its command line; argv[0] first
};

// The processes ProcessCount counts, in the order of the process list. Each command line
// is read up to 64 KB. Throws std::system_error when the process list cannot be read.
std::vector<tProcessInfo> ProcessesOf(std::string_view ExeName);

}  // namespace brix32
