#include "support/HostName.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "support/Diagnostics.h"

namespace brix32 {

std::string GetHostName() {
  Operation op("brix32.GetHostName", 0);
  std::string result;
  op.Run([&] {
    char buffer[256] = {};  // Linux names have at most 64 characters
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
      throw std::system_error(errno, std::generic_category(), "gethostname");
    std::string name = buffer;
    gGlobalSettings.HostName = name;
    result = std::move(name);
  });
  return result;
}

}  // namespace brix32
