#pragma once
// Starting other programs directly (never through a shell unless the caller names one),
// and making sure that a program we do not wait for cannot linger as a zombie.
#include <sys/types.h>

#include <string>
#include <vector>

namespace brix32 {

struct tChildStart {
  std::string Program;            // a path, or a bare name looked up in PATH
  std::vector<std::string> Argv;  // Argv[0] included
  std::string WorkDir;            // empty: this process's working folder
  int StdOut = -1;                // descriptors for the child's 1 and 2; -1 keeps ours
  int StdErr = -1;
};

// Starts the program with this process's environment and standard input, signal
// dispositions and mask back at their defaults. The process id, or -1 when it could not
// be started (no such program, a WorkDir that cannot be entered, ...).
pid_t StartChild(const tChildStart& start);

// Collects the exit status of `pid` whenever it ends, without making the caller wait.
void ReapInBackground(pid_t pid);

}  // namespace brix32
