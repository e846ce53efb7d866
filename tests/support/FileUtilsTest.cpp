#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "Hostile.h"
#include "TempFolder.h"
#include "support/FileUtils.h"

using namespace brix32;
using corvantest::ModeOf;
using corvantest::TempFolder;

namespace {

// The umask for one test.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }

 private:
  mode_t old_;
};

}  // namespace

TEST(FileToBin, ReadsBytesUnchanged) {
  TempFolder dir;
  dir.write("zero", "");
  dir.write("bin", std::string("a\0b\r\n\xff", 6));
  std::string data = "stale";
  FileToBin(dir.file("zero"), data);
  EXPECT_EQ(data, "");
  EXPECT_EQ(FileToBin(dir.file("bin")), std::string("a\0b\r\n\xff", 6));
}

TEST(FileToBin, MissingFileLeavesDataUnreadableClearsIt) {
  TempFolder dir;
  std::string data = "kept";
  FileToBin(dir.file("missing"), data);
  EXPECT_EQ(data, "kept");
  ::mkdir(dir.file("folder").c_str(), 0755);
  FileToBin(dir.file("folder"), data);
  EXPECT_EQ(data, "");
}

TEST(WriteTextFile, EmptyTextLeavesFileAlone) {
  TempFolder dir;
  dir.write("f", "old");
  EXPECT_EQ(WriteTextFile("", dir.file("f"), false), -1);
  EXPECT_EQ(dir.read("f"), "old");
  EXPECT_EQ(WriteTextFile("", dir.file("new"), true), -1);
  EXPECT_FALSE(dir.exists("new"));
}

TEST(WriteTextFile, ReplaceAppendAndCreate) {
  TempFolder dir;
  dir.write("f", "old content");
  EXPECT_EQ(WriteTextFile("new", dir.file("f"), false), 0);
  EXPECT_EQ(dir.read("f"), "new");
  EXPECT_EQ(WriteTextFile("+more", dir.file("f"), true), 0);
  EXPECT_EQ(dir.read("f"), "new+more");
  EXPECT_EQ(WriteTextFile("created", dir.file("g"), true), 0);
  EXPECT_EQ(dir.read("g"), "created");
}

TEST(WriteTextFile, ErrorsGiveMinusFive) {
  TempFolder dir;
  EXPECT_EQ(WriteTextFile("x", dir.file("no/such/folder.txt"), false), -5);
  if (::geteuid() != 0) {  // root writes anywhere
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_EQ(WriteTextFile("x", dir.file("ro.txt"), false), -5);
  }
}

TEST(WriteTextFileAtomic, ReplacesWholeOrNotAtAll) {
  TempFolder dir;
  dir.write("s.xml", "previous");
  EXPECT_EQ(WriteTextFileAtomic("next", dir.file("s.xml")), 0);
  EXPECT_EQ(dir.read("s.xml"), "next");
  EXPECT_EQ(WriteTextFileAtomic("x", dir.file("missing/s.xml")), -5);
  EXPECT_EQ(WriteTextFileAtomic("", dir.file("s.xml")), -1);
  EXPECT_EQ(dir.read("s.xml"), "next");
}

TEST(ResolveNameIgnoringCase, ExactFirstThenAnyCase) {
  TempFolder dir;
  dir.write("CorvanSrvc-Status.txt", "x");
  EXPECT_EQ(ResolveNameIgnoringCase(dir.path(), "CORVANSRVC-STATUS.TXT"), "CorvanSrvc-Status.txt");
  EXPECT_EQ(ResolveNameIgnoringCase(dir.path(), "absent.txt"), "absent.txt");
  dir.write("CORVANSRVC-STATUS.TXT", "y");
  EXPECT_EQ(ResolveNameIgnoringCase(dir.path(), "CORVANSRVC-STATUS.TXT"), "CORVANSRVC-STATUS.TXT");
}

// What another account can put under a name we write: the old write followed a link out
// of the folder (or created its dangling target), wrote through a second name of a file
// elsewhere, and blocked on a FIFO.
TEST(WriteTextFile, NeverWritesThroughWhatIsPlantedUnderTheName) {
  for (const bool append : {true, false}) {
    TempFolder dir;
    TempFolder outside;
    outside.write("target", "outside");
    ::symlink(outside.file("target").c_str(), dir.file("link").c_str());
    ::symlink(outside.file("created").c_str(), dir.file("dangling").c_str());
    ::link(outside.file("target").c_str(), dir.file("second-name").c_str());
    ::mkfifo(dir.file("fifo").c_str(), 0666);
    ::mkdir(dir.file("folder").c_str(), 0755);
    for (const char* name : {"link", "dangling", "second-name", "fifo", "folder"}) {
      const std::string file = dir.file(name);
      ASSERT_TRUE(corvantest::FinishesInChild([&] { WriteTextFile("x", file, append); }))
          << name << " blocks the write";
      EXPECT_EQ(WriteTextFile("planted", file, append), -5) << name;
    }
    EXPECT_EQ(outside.read("target"), "outside");
    EXPECT_FALSE(outside.exists("created"));
  }
}

TEST(WriteTextFile, ANewFileGetsThePlainCreateModeAndTheSharedFolderGroupsAccess) {
  const Umask mask(022);
  TempFolder dir;
  EXPECT_EQ(WriteTextFile("x", dir.file("plain"), true), 0);
  EXPECT_EQ(ModeOf(dir.file("plain")), 0644u);
  ::chmod(dir.file("plain").c_str(), 0600);
  EXPECT_EQ(WriteTextFile("y", dir.file("plain"), true), 0);
  EXPECT_EQ(ModeOf(dir.file("plain")), 0600u) << "an existing file keeps its mode";
  // A set-group-ID folder is shared: the group gets what the owner has.
  ::chmod(dir.path().c_str(), 02775);
  EXPECT_EQ(WriteTextFile("x", dir.file("shared"), false), 0);
  EXPECT_EQ(ModeOf(dir.file("shared")), 0664u);
}

TEST(WriteTextFileAtomic, ReplacesALinkItselfWithThePlainCreateMode) {
  const Umask mask(022);
  TempFolder dir;
  TempFolder outside;
  outside.write("target", "outside");
  ::chmod(outside.file("target").c_str(), 0604);
  ::symlink(outside.file("target").c_str(), dir.file("link").c_str());
  ::symlink("/dev/zero", dir.file("zero").c_str());
  ::symlink(outside.file("created").c_str(), dir.file("dangling").c_str());
  ::link(outside.file("target").c_str(), dir.file("second-name").c_str());
  for (const char* name : {"link", "zero", "dangling", "second-name"}) {
    EXPECT_EQ(WriteTextFileAtomic("inside", dir.file(name)), 0) << name;
    EXPECT_EQ(dir.read(name), "inside");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir.file(name))));
    EXPECT_EQ(ModeOf(dir.file(name)), 0644u) << name << " took a mode not its own";
  }
  EXPECT_EQ(outside.read("target"), "outside");
  EXPECT_EQ(ModeOf(outside.file("target")), 0604u);
  EXPECT_FALSE(outside.exists("created"));
}

TEST(WriteTextFileAtomic, KeepsTheModeOfTheFileItReplaces) {
  const Umask mask(022);
  TempFolder dir;
  dir.write("kept", "old");
  ::chmod(dir.file("kept").c_str(), 0640);
  EXPECT_EQ(WriteTextFileAtomic("new", dir.file("kept")), 0);
  EXPECT_EQ(ModeOf(dir.file("kept")), 0640u);
  ::chmod(dir.path().c_str(), 02775);
  EXPECT_EQ(WriteTextFileAtomic("new", dir.file("kept")), 0);
  EXPECT_EQ(ModeOf(dir.file("kept")), 0660u) << "the shared folder's group keeps the owner's access";
}

// A write that fails half way (the disk full; here the file size limit) leaves the old
// file whole and no temporary file behind.
TEST(WriteTextFileAtomic, AFailedWriteLeavesTheOldFileWhole) {
  TempFolder dir;
  const std::string old(900, 'o');
  dir.write("TASK-1.TXT", old);
  std::int32_t rc = 0;
  int error = 0;
  {
    const corvantest::FileSizeLimit diskFull(100);
    errno = 0;
    rc = WriteTextFileAtomic(std::string(2000, 'n'), dir.file("TASK-1.TXT"));
    error = errno;
  }
  EXPECT_EQ(rc, -5);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(dir.read("TASK-1.TXT"), old);
  EXPECT_EQ(corvantest::EntryNames(dir.path()), std::vector<std::string>{"TASK-1.TXT"});
}

TEST(ReplacingFile, TakesItsNameOnlyWhenCommittedAndReplacesALinkItself) {
  TempFolder dir;
  TempFolder outside;
  outside.write("target", "outside");
  const std::string name = dir.file("bundle");
  ::symlink(outside.file("target").c_str(), name.c_str());
  {
    tReplacingFile unfinished(name, 0600);
    ASSERT_TRUE(unfinished);
    ASSERT_EQ(::write(unfinished.Fd(), "half", 4), 4);
    EXPECT_EQ(corvantest::EntryNames(dir.path()).size(), 2u) << "the link and the temporary";
  }
  EXPECT_EQ(corvantest::EntryNames(dir.path()), std::vector<std::string>{"bundle"}) << "no temporary left";
  EXPECT_EQ(outside.read("target"), "outside");

  tReplacingFile whole(name, 0600);
  ASSERT_EQ(::write(whole.Fd(), "whole", 5), 5);
  EXPECT_EQ(whole.Commit(), 0);
  EXPECT_EQ(dir.read("bundle"), "whole");
  EXPECT_EQ(ModeOf(name), 0600u);
  EXPECT_EQ(outside.read("target"), "outside");
  EXPECT_EQ(corvantest::EntryNames(dir.path()), std::vector<std::string>{"bundle"});

  tReplacingFile nowhere(dir.file("missing/bundle"), 0600);
  EXPECT_FALSE(nowhere);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(nowhere.Commit(), -5);
}
