#pragma once
// A mount over a folder for the life of the object: a read-only view that root cannot
// write through either, or a tiny file system to fill up. Needs the private mount
// namespace of scripts/netns-run.
#include <string>

namespace corvantest {

class ScopedMount {
 public:
  enum Kind { kReadOnly, kSmallDisk };
  ScopedMount(const std::string& folder, Kind kind);  // throws when the mount fails
  ~ScopedMount();
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;

 private:
  std::string folder_;
};

}  // namespace corvantest
