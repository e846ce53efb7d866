#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace corvantest {

// A fresh folder under the temp folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder with a trailing "/", ready to prefix a file name.
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// The permission bits of a file (set-id and sticky bits included), the file itself when it
// is a link; 0 when there is none.
mode_t ModeOf(const std::string& Path);

// The names of a folder's entries, sorted.
std::vector<std::string> EntryNames(const std::string& Folder);

// Reads a file of the test data folder (tests/data) whole.
std::string ReadTestData(const std::string& relativeName);

}  // namespace corvantest
