#pragma once
// Running a command line through the shell and collecting what it writes.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace brix32 {

// How long the caller waits for a command's output at most.
inline constexpr std::chrono::milliseconds kDosOutputTimeLimit{140'000};

// How much of a command's output is kept: its last bytes, enough for an error report.
inline constexpr std::size_t kDosOutputTail = 4096;

// Runs `/bin/sh -c CommandLine` in WorkDir (empty: our working folder) with our
// environment and standard input, and returns the last kDosOutputTail bytes of what it
// writes to standard output and error (the rest is read and dropped, so that a command
// that floods its output cannot grow us), read in pieces of 255 bytes (a zero byte ends
// the text taken from a piece).
// Pending messages are processed while waiting. Returns when the output ends (the command
// and everything it started have closed it) or when TimeLimit has passed; the command is
// never stopped or waited for. With InheritHandles false the command's output goes
// nowhere. A command that cannot be started gives empty text and no report.
std::string GetDosOutput(std::string_view CommandLine, bool InheritHandles, const std::string& WorkDir,
                         std::chrono::milliseconds TimeLimit = kDosOutputTimeLimit);

}  // namespace brix32
