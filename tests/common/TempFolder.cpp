#include "TempFolder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvantest {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "corvan-test.XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern + "/";
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them writable so removal works.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void TempFolder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file(name));
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file(name));
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempFolder::exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

mode_t ModeOf(const std::string& Path) {
  struct stat st {};
  return ::lstat(Path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> EntryNames(const std::string& Folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadTestData(const std::string& relativeName) {
  const std::string path = std::string(CORVAN_TEST_DATA_DIR) + "/" + relativeName;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("missing test data " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace corvantest
