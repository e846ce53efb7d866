#include "support/DisplayFile.h"

#include <sys/wait.h>

#include "support/ChildProcess.h"
#include "support/Diagnostics.h"

namespace brix32 {

pid_t DisplayFile(const std::string& FileName) {
  pid_t pid = -1;
  Operation op("brix32.DisplayFile");
  op.Run([&] { pid = StartChild({"xdg-open", {"xdg-open", FileName}, "", -1, -1}); });
  return pid;
}

std::string DisplayFileProblem(const std::string& FileName, int WaitStatus) {
  std::string why;
  if (WaitStatus < 0) {
    why =
        "xdg-open, which opens it with the desktop's program, could not be started. "
        "Is xdg-utils installed?";
  } else if (WIFSIGNALED(WaitStatus)) {
    why = "xdg-open was ended by signal " + std::to_string(WTERMSIG(WaitStatus)) + ".";
  } else if (!WIFEXITED(WaitStatus) || WEXITSTATUS(WaitStatus) == 0) {
    return {};
  } else {
    const int code = WEXITSTATUS(WaitStatus);
    switch (code) {
      case 1:
        why = "xdg-open did not understand the request";
        break;
      case 2:
        why = "it does not exist";
        break;
      case 3:
        why = "the desktop has no program to open it with";
        break;
      case 4:
        why = "the program that should have opened it failed";
        break;
      default:
        why = "xdg-open failed";
        break;
    }
    why += " (xdg-open exit status " + std::to_string(code) + ").";
  }
  return "Could not open " + FileName + ":\n" + why;
}

}  // namespace brix32
