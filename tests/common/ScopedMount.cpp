#include "ScopedMount.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace corvantest {

ScopedMount::ScopedMount(const std::string& folder, Kind kind) : folder_(folder) {
  const char* f = folder_.c_str();
  const bool ok = kind == kReadOnly ? ::mount(f, f, nullptr, MS_BIND, nullptr) == 0 &&
                                          ::mount(nullptr, f, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0
                                    : ::mount("corvan-small", f, "tmpfs", 0, "size=16k,mode=0755") == 0;
  if (!ok) throw std::runtime_error(std::string("mount failed: ") + std::strerror(errno));
}

ScopedMount::~ScopedMount() { ::umount2(folder_.c_str(), MNT_DETACH); }

}  // namespace corvantest
