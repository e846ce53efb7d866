#include "DisplayFile.h"

#include "ChildProcess.h"
#include "Diagnostics.h"

namespace brix32 {

void DisplayFile(const std::string& FileName) {
  Operation op("brix32.DisplayFile");
  op.Run([&] {
    const pid_t pid = StartChild({"xdg-open", {"xdg-open", FileName}, "", -1, -1});
    op.Log.Trace = 110;
    // The viewer may run for as long as the user keeps it open.
    ReapInBackground(pid);
  });
}

}  // namespace brix32
