#include "support/FileVersion.h"

#include <fcntl.h>

#include "support/Diagnostics.h"
#include "support/ElfVersionNote.h"
#include "support/UniqueFd.h"

namespace brix32 {

std::string FileVersion2(const std::string& FileName) {
  Operation op("brix32.FileVersion2");
  std::string version;
  op.Run([&] {
    const std::string name = FileName.empty() ? std::string("/proc/self/exe") : FileName;
    op.Log.Trace = 110;
    // Non-blocking, so that a FIFO given by mistake cannot hang the open.
    const UniqueFd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return;  // no such file or no access: no version, as for any unreadable file
    op.Log.Trace = 120;
    const auto note = ReadElfVersionNoteFromFile(fd.get());
    op.Log.Trace = 130;
    if (note) version = ElfVersionText(*note);
  });
  return version;
}

}  // namespace brix32
