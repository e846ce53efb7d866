// The guarded read: what another account can put under a file's name (links out of the
// folder, dangling links, FIFOs, devices, folders, huge files) is refused without blocking
// and without keeping a descriptor.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Hostile.h"
#include "TempFolder.h"
#include "support/BoundedRead.h"
#include "support/FileUtils.h"

using namespace brix32;
using corvantest::FinishesInChild;
using corvantest::OpenDescriptorCount;
using corvantest::TempFolder;

namespace {

class BoundedReadTest : public ::testing::Test {
 protected:
  BoundedReadTest() {
    dir.write("plain", "12345678");
    outside.write("secret", "outside the folder");
    ::symlink(outside.file("secret").c_str(), dir.file("link-out").c_str());
    ::symlink(outside.file("gone").c_str(), dir.file("dangling").c_str());
    ::symlink("/dev/zero", dir.file("zero").c_str());
    ::mkfifo(dir.file("fifo").c_str(), 0644);
    ::mkdir(dir.file("folder").c_str(), 0755);
  }
  TempFolder dir;
  TempFolder outside;
};

}  // namespace

TEST_F(BoundedReadTest, EachKindOfEntryUnderEachLinkRule) {
  const struct {
    const char* name;
    tLinkRule links;
    tReadStatus status;
    const char* data;
  } cases[] = {
      {"plain", tLinkRule::Follow, tReadStatus::Read, "12345678"},
      {"plain", tLinkRule::Refuse, tReadStatus::Read, "12345678"},
      {"missing", tLinkRule::Follow, tReadStatus::Missing, ""},
      {"link-out", tLinkRule::Follow, tReadStatus::Read, "outside the folder"},
      {"link-out", tLinkRule::Refuse, tReadStatus::NotRegular, ""},
      {"dangling", tLinkRule::Follow, tReadStatus::Missing, ""},
      {"dangling", tLinkRule::Refuse, tReadStatus::NotRegular, ""},
      {"zero", tLinkRule::Follow, tReadStatus::NotRegular, ""},
      {"zero", tLinkRule::Refuse, tReadStatus::NotRegular, ""},
      {"fifo", tLinkRule::Follow, tReadStatus::NotRegular, ""},
      {"folder", tLinkRule::Follow, tReadStatus::NotRegular, ""},
  };
  const int descriptors = OpenDescriptorCount();
  for (const auto& c : cases) {
    const std::string name = dir.file(c.name);
    const tLinkRule links = c.links;
    // A FIFO or device must not hold the read: tried first where it cannot hang the test.
    ASSERT_TRUE(FinishesInChild([&] { ReadBoundedFile(name, 1024, links); })) << c.name << " blocks";
    const tBoundedRead r = ReadBoundedFile(name, 1024, links);
    EXPECT_EQ(r.Status, c.status) << c.name;
    EXPECT_EQ(r.Data, c.data) << c.name;
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(BoundedReadTest, TheLimitIsInclusive) {
  EXPECT_TRUE(ReadBoundedFile(dir.file("plain"), 8).Ok());
  const tBoundedRead over = ReadBoundedFile(dir.file("plain"), 7);
  EXPECT_EQ(over.Status, tReadStatus::TooLarge);
  EXPECT_EQ(over.Data, "");
  EXPECT_EQ(ReadProblemText(over), "is larger than 7 bytes");
  EXPECT_EQ(ReadProblemText(ReadBoundedFile(dir.file("plain"), 0)), "is larger than 0 bytes");
  dir.write("empty", "");
  EXPECT_TRUE(ReadBoundedFile(dir.file("empty"), 0).Ok());
}

TEST(BoundedReadText, SizesAndProblems) {
  EXPECT_EQ(ByteSizeText(64 * 1024), "64 KB");
  EXPECT_EQ(ByteSizeText(64 * 1024 * 1024), "64 MB");
  EXPECT_EQ(ByteSizeText(1000), "1000 bytes");
  EXPECT_EQ(ByteSizeText(1), "1 byte");
  tBoundedRead r;
  r.Status = tReadStatus::Failed;
  r.Error = EACCES;
  EXPECT_EQ(ReadProblemText(r), "cannot be read: Permission denied");
  r.Status = tReadStatus::NotRegular;
  EXPECT_EQ(ReadProblemText(r), "is not a regular file");
}

// FileToBin is the guarded read with the units file's limit: the old read blocked on a
// FIFO, read /dev/zero until memory ran out, and kept its descriptor when it did.
TEST_F(BoundedReadTest, FileToBinReadsNothingButRegularFiles) {
  const int descriptors = OpenDescriptorCount();
  for (const char* name : {"fifo", "zero", "folder"}) {
    const std::string file = dir.file(name);
    ASSERT_TRUE(FinishesInChild([&] { FileToBin(file); }, std::chrono::seconds(30))) << name << " blocks";
    std::string data = "stale";
    FileToBin(file, data);
    EXPECT_EQ(data, "") << name;
  }
  EXPECT_EQ(FileToBin(dir.file("link-out")), "outside the folder");
  EXPECT_EQ(FileToBin(dir.file("link-out"), 1024, tLinkRule::Refuse), "");
  EXPECT_EQ(FileToBin(dir.file("plain"), 4), "");
  std::string kept = "kept";
  FileToBin(dir.file("dangling"), kept);
  EXPECT_EQ(kept, "kept");
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}
