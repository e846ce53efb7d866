#include "support/ExePath.h"

#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "support/Diagnostics.h"

namespace brix32 {
namespace {

std::string ReadLink(const char* path) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(path, target.data(), target.size());
    if (n < 0) throw std::system_error(errno, std::generic_category(), path);
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      return target;
    }
    target.resize(target.size() * 2);  // may have been cut short: try a larger buffer
  }
}

}  // namespace

std::string GetEXEPath() {
  Operation op("brix32.GetEXEPath");
  std::string folder;
  op.Run([&] {
    // A program replaced or removed while running reads as "<file> (deleted)"; the
    // folder part is the same.
    const std::string file = ReadLink("/proc/self/exe");
    op.Log.Trace = 110;
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) throw std::runtime_error("no folder in \"" + file + "\"");
    folder = file.substr(0, slash + 1);
  });
  return folder;
}

std::string SetPathToEXEPath() {
  Operation op("brix32.SetPathToEXEPath");
  std::string result;
  op.Run([&] {
    const std::string folder = GetEXEPath();
    op.Log.Trace = 110;
    if (::chdir(folder.c_str()) != 0) {
      result = "Error - " + folder;
      return;
    }
    op.Log.Trace = 120;
    gGlobalSettings.Path = folder;
    result = folder;
  });
  return result;
}

}  // namespace brix32
