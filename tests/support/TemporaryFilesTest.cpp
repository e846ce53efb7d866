// Temporaries beside a file: created locked, removed only when their writer is gone, and
// the create that never replaces an entry.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "support/FileUtils.h"
#include "support/TemporaryFiles.h"

using namespace brix32;
using corvantest::TempFolder;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const TempFolder& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(RemoveLeftoverTemporaries, OnlyDeadTemporariesOfThatFileGo) {
  TempFolder dir;
  TempFolder outside;
  outside.write("target", "not ours");
  dir.write("S.xml", "the file");
  // What a writer killed in the middle leaves: complete or not, any mode.
  dir.write("S.xml.aB3xY9", "half a fi");
  dir.write("S.xml.000000", "");
  ::chmod(dir.file("S.xml.000000").c_str(), 0600);
  // Not temporaries of S.xml, or not files: left alone.
  dir.write("S.xml.aB3xY", "five");
  dir.write("S.xml.aB3xY9z", "seven");
  dir.write("S.xml.aB-xY9", "a dash");
  dir.write("s.xml.aB3xY9", "other case");
  dir.write("T.xml.aB3xY9", "other file");
  dir.write("S.xmlXaB3xY9", "no dot");
  fs::create_directory(dir.file("S.xml.Folder"));
  fs::create_symlink(outside.file("target"), dir.file("S.xml.Link01"));
  fs::create_symlink(outside.file("gone"), dir.file("S.xml.Link02"));
  ASSERT_EQ(::mkfifo(dir.file("S.xml.Fifo01").c_str(), 0600), 0);
  // A save running in another process holds its temporary locked.
  std::string inFlight;
  UniqueFd held = CreateLockedTemporary(dir.file("S.xml"), inFlight);
  ASSERT_TRUE(held);
  EXPECT_EQ(fs::path(inFlight).parent_path(), fs::path(dir.path()).parent_path());
  const std::string inFlightName = fs::path(inFlight).filename();

  RemoveLeftoverTemporaries(dir.file("S.xml"));
  std::vector<std::string> kept = {"S.xml",        "S.xml.Fifo01", "S.xml.Folder", "S.xml.Link01",
                                   "S.xml.Link02", "S.xml.aB-xY9", "S.xml.aB3xY",  "S.xml.aB3xY9z",
                                   "S.xmlXaB3xY9", "T.xml.aB3xY9", "s.xml.aB3xY9", inFlightName};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Names(dir), kept);
  EXPECT_EQ(outside.read("target"), "not ours");
  EXPECT_FALSE(outside.exists("gone"));

  // Once its writer is gone (its descriptor closed, as at a kill), it is a leftover.
  held.reset();
  RemoveLeftoverTemporaries(dir.file("S.xml"));
  kept.erase(std::find(kept.begin(), kept.end(), inFlightName));
  EXPECT_EQ(Names(dir), kept);
}

TEST(RemoveLeftoverTemporaries, AMissingFolderIsNothingToDo) {
  TempFolder dir;
  RemoveLeftoverTemporaries(dir.file("none/S.xml"));
  EXPECT_TRUE(Names(dir).empty());
}

TEST(CreateTextFileExclusive, CreatesWithAPlainModeAndNeverReplaces) {
  TempFolder dir;
  TempFolder outside;
  const mode_t mask = ::umask(022);
  EXPECT_EQ(CreateTextFileExclusive("new\r\n", dir.file("S.xml")), 0);
  EXPECT_EQ(dir.read("S.xml"), "new\r\n");
  EXPECT_EQ(corvantest::ModeOf(dir.file("S.xml")), 0644u);

  // Whatever has the name meanwhile is kept as it is, a dangling link included.
  EXPECT_EQ(CreateTextFileExclusive("defaults", dir.file("S.xml")), 1);
  EXPECT_EQ(dir.read("S.xml"), "new\r\n");
  fs::create_symlink(outside.file("gone"), dir.file("L.xml"));
  EXPECT_EQ(CreateTextFileExclusive("defaults", dir.file("L.xml")), 1);
  EXPECT_FALSE(outside.exists("gone"));
  fs::create_directory(dir.file("D.xml"));
  EXPECT_EQ(CreateTextFileExclusive("defaults", dir.file("D.xml")), 1);

  EXPECT_EQ(CreateTextFileExclusive("", dir.file("E.xml")), -1);
  EXPECT_EQ(CreateTextFileExclusive("x", dir.file("none/S.xml")), -5);
  ::umask(mask);
  // No temporary is left by any of them.
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"D.xml", "L.xml", "S.xml"}));
}
