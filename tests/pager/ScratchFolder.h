#pragma once
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.h"

namespace corvantest {

// Makes a fresh temporary folder (or a folder below it) the current folder for the
// lifetime of the object: the parser and the file counters work on the current folder.
class InScratchFolder {
 public:
  explicit InScratchFolder(const std::string& below = "") : previous_(std::filesystem::current_path()) {
    const std::filesystem::path here = std::filesystem::path(folder_.path()) / below;
    std::filesystem::create_directories(here);
    std::filesystem::current_path(here);
  }
  ~InScratchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  InScratchFolder(const InScratchFolder&) = delete;
  InScratchFolder& operator=(const InScratchFolder&) = delete;

  const TempFolder& folder() const { return folder_; }

  // Every file below the scratch folder, as paths relative to it, sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder_.path()))
      if (!e.is_directory()) names.push_back(std::filesystem::relative(e.path(), folder_.path()).string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  TempFolder folder_;
  std::filesystem::path previous_;
};

}  // namespace corvantest
