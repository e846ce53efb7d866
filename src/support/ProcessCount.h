#pragma once
#include <cstdint>
#include <string_view>

namespace brix32 {

// How many running processes have the program file ExeName, e.g. "corvansrvc.exe",
// whoever runs them. A process's name is its argv[0] (as the process list shows it) or,
// failing that, its kernel name (/proc/<pid>/comm, which follows the executed file even
// when argv[0] was changed). A name counts when its last path part, or the whole of it,
// equals ExeName with a..z compared without regard to case. After an error, the count
// reached so far.
std::int32_t ProcessCount(std::string_view ExeName);

}  // namespace brix32
