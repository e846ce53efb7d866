// After the rename that replaces a file, the folder is synced: otherwise a power cut can
// lose the new name although its content reached the disk. Watched with strace, as the
// effect itself shows only after a real power cut.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "TempFolder.h"

using corvantest::TempFolder;

TEST(WriteTextFileAtomic, SyncsTheFolderAfterTheRename) {
  TempFolder dir;
  TempFolder trace;
  dir.write("CorvanSrvc-Settings.xml", "old");
  const std::string file = dir.file("CorvanSrvc-Settings.xml");
  const std::string folder = dir.path().substr(0, dir.path().size() - 1);
  // A sanitizer build's leak checker cannot run under ptrace.
  const std::string command =
      "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=openat,rename,renameat,renameat2,fsync -o " +
      trace.file("log") + " " + CORVAN_ATOMIC_WRITE_PROBE + " " + file + " new";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(dir.read("CorvanSrvc-Settings.xml"), "new");

  std::ifstream log(trace.file("log"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  const std::regex rename("rename(at2?)?\\(.*\"" + file + "\"(, 0)?\\) *= 0");
  const std::regex openFolder("openat\\(AT_FDCWD, \"" + folder + "\", O_RDONLY[^)]*O_DIRECTORY[^)]*\\) = ([0-9]+)");
  std::size_t i = 0;
  while (i < lines.size() && !std::regex_search(lines[i], rename)) ++i;
  ASSERT_LT(i, lines.size()) << "no rename onto " << file;
  std::smatch m;
  while (i < lines.size() && !std::regex_search(lines[i], m, openFolder)) ++i;
  ASSERT_LT(i, lines.size()) << "the folder is not opened after the rename";
  const std::regex sync("fsync\\(" + m[1].str() + "\\) *= 0");
  while (i < lines.size() && !std::regex_search(lines[i], sync)) ++i;
  EXPECT_LT(i, lines.size()) << "the folder is not synced after the rename";
}
