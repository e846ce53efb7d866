#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileUtils.h"
#include "TempFolder.h"

using namespace brix32;
using corvantest::TempFolder;

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
