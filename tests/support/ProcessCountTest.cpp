#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "ChildProcesses.h"
#include "TempFolder.h"
#include "support/ProcessCount.h"
#include "support/TextUtils.h"

using namespace brix32;
using corvantest::RunningProcess;
namespace fs = std::filesystem;

namespace {

// A stand-in service program: a copy of sleep under a name of its own, unique to this
// run so that other tests running at the same time cannot add to the count.
class ProcessCountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Nobody must be able to reach and run the copy.
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::copy_file("/bin/sleep", program);
    fs::permissions(program, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  }

  corvantest::TempFolder dir;
  const std::string name = "srv" + std::to_string(::getpid()) + ".exe";
  const std::string program = dir.file(name);
};

}  // namespace

TEST_F(ProcessCountTest, CountsByArgv0OrKernelNameInAnyCaseForAnyUser) {
  EXPECT_EQ(ProcessCount(name), 0);
  // By full path: argv[0] and the kernel name both say so.
  RunningProcess byPath(program, {program, "600"});
  // Another program whose argv[0] is the bare name in other capitals.
  RunningProcess byArgv0("/bin/sleep", {"SRV" + std::to_string(::getpid()) + ".Exe", "600"});
  // Our program under another argv[0], run by another user: only the kernel name tells.
  RunningProcess asNobody(program, {"renamed", "600"}, corvantest::kNobody);

  EXPECT_EQ(ProcessCount(name), 3);
  EXPECT_EQ(ProcessCount(UpperCase(name)), 3);
  EXPECT_EQ(ProcessCount("Srv" + name.substr(3)), 3);
  EXPECT_EQ(ProcessCount(program), 1);  // the whole name, folder included
  EXPECT_EQ(ProcessCount("x" + name), 0);
  EXPECT_EQ(ProcessCount(""), 0);
}

TEST_F(ProcessCountTest, AnUnprivilegedCounterSeesOtherUsersProcesses) {
  RunningProcess one(program, {program, "600"});
  RunningProcess two("/bin/sleep", {name, "600"});
  EXPECT_EQ(corvantest::RunAsNobody([&] { return ProcessCount(name); }), 2);
}

TEST_F(ProcessCountTest, EndedButUnreapedProcessesDoNotCount) {
  RunningProcess byPath(program, {program, "600"});
  RunningProcess renamed(program, {"renamed", "600"});
  ASSERT_EQ(ProcessCount(name), 2);
  byPath.killLeavingZombie();
  renamed.killLeavingZombie();
  EXPECT_EQ(ProcessCount(name), 0);
}

TEST_F(ProcessCountTest, ProcessesOfGivesIdUserStartAndTheWholeCommandLine) {
  EXPECT_TRUE(ProcessesOf(name).empty());
  const std::int64_t before = static_cast<std::int64_t>(::time(nullptr));
  RunningProcess mine(program, {program, "300", "300"});
  RunningProcess nobodys(program, {"renamed", "600"}, corvantest::kNobody);
  const std::int64_t after = static_cast<std::int64_t>(::time(nullptr));

  std::vector<tProcessInfo> found = ProcessesOf(UpperCase(name));
  ASSERT_EQ(found.size(), 2u);
  std::partition(found.begin(), found.end(), [&](const tProcessInfo& p) { return p.Pid == mine.pid(); });
  EXPECT_EQ(found[0].Pid, mine.pid());
  EXPECT_EQ(found[0].Uid, ::getuid());
  EXPECT_EQ(found[0].Arguments, (std::vector<std::string>{program, "300", "300"}));
  EXPECT_EQ(found[1].Pid, nobodys.pid());
  EXPECT_EQ(found[1].Uid, corvantest::kNobody);
  EXPECT_EQ(found[1].Arguments, (std::vector<std::string>{"renamed", "600"}));
  for (const tProcessInfo& p : found) {
    // Clock ticks since the boot, counted in whole seconds: within a second of the start.
    EXPECT_GE(p.Started, before - 1) << p.Pid;
    EXPECT_LE(p.Started, after + 1) << p.Pid;
  }
}
