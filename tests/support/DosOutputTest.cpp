#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "ChildProcesses.h"
#include "PeakMemory.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "support/DosOutput.h"
#include "support/Hooks.h"

using namespace brix32;
using namespace std::chrono_literals;
using corvantest::TempFolder;

namespace {

class GetDosOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProcessMessagesHandler([this] { ++pumped; });
  }

  static std::chrono::steady_clock::duration Timed(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::steady_clock::now() - start;
  }

  corvantest::ProcessStateGuard processState;
  TempFolder dir;
  int pumped = 0;
};

}  // namespace

TEST_F(GetDosOutputTest, CollectsStdoutAndStderrInOrder) {
  EXPECT_EQ(GetDosOutput("echo out; echo err >&2; echo 'a b'", true, dir.path()), "out\nerr\na b\n");
  EXPECT_GE(pumped, 1);
}

TEST_F(GetDosOutputTest, ReadsIn255BytePiecesProcessingMessagesBetween) {
  // Within the kept tail: every byte comes back.
  const std::string text = GetDosOutput("head -c 4000 /dev/zero | tr '\\0' a", true, "");
  EXPECT_EQ(text, std::string(4000, 'a'));
  EXPECT_GE(pumped, 4000 / 255);
}

TEST_F(GetDosOutputTest, AZeroByteEndsTheTextOfItsPiece) {
  // One write, so one piece: what follows the zero byte in it is dropped.
  EXPECT_EQ(GetDosOutput("printf 'ab\\000cd'", true, ""), "ab");
  // A later piece is taken again.
  EXPECT_EQ(GetDosOutput("printf 'ab\\000cd'; sleep 0.5; printf ef", true, ""), "abef");
}

TEST_F(GetDosOutputTest, RunsInWorkDirWithOurEnvironment) {
  ::setenv("CORVAN_DOS_PROBE", "it's $here", 1);
  const std::string out = GetDosOutput("/bin/pwd -P; printf %s \"$CORVAN_DOS_PROBE\"", true, dir.path());
  ::unsetenv("CORVAN_DOS_PROBE");
  EXPECT_EQ(out, std::filesystem::canonical(dir.path()).string() + "\nit's $here");
}

TEST_F(GetDosOutputTest, ACommandThatCannotStartGivesNothing) {
  EXPECT_EQ(GetDosOutput("echo never", true, dir.file("no/such/folder")), "");
  EXPECT_EQ(pumped, 0);
}

TEST_F(GetDosOutputTest, ASilentCommandReturnsWhenItEnds) {
  std::string out = "x";
  // The default 140 s limit: returning long before it shows that the end of the output,
  // not the deadline, ended the wait.
  EXPECT_LT(Timed([&] { out = GetDosOutput("sleep 0.3", true, ""); }), 60s);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(corvantest::WaitFor([] { return corvantest::ZombieChildren() == 0; }));
}

TEST_F(GetDosOutputTest, ANeverEndingCommandReturnsAtTheDeadlineStillRunning) {
  std::string out;
  const auto took = Timed([&] { out = GetDosOutput("echo $$; echo started; exec sleep 600", true, "", 400ms); });
  EXPECT_GE(took, 400ms);
  ASSERT_EQ(out.substr(out.find('\n') + 1), "started\n");
  const pid_t pid = std::stoi(out);
  EXPECT_EQ(::kill(pid, 0), 0) << "the command is left running";
  ::kill(pid, SIGKILL);
  EXPECT_TRUE(corvantest::WaitFor([] { return corvantest::ZombieChildren() == 0; })) << "and reaped once it ends";
}

TEST_F(GetDosOutputTest, WithoutInheritedHandlesTheOutputGoesNowhere) {
  EXPECT_EQ(GetDosOutput("echo hidden; echo ran > marker", false, dir.path()), "");
  EXPECT_TRUE(corvantest::WaitFor([&] { return dir.exists("marker"); })) << "the command still ran";
}

TEST_F(GetDosOutputTest, AFloodingCommandKeepsOnlyTheTailOfItsOutput) {
  // 51 MB of output, whole lines, then a recognisable end: only the last few KB are kept, and the
  // flood costs no more memory than that tail while it is read.
  const corvantest::PeakMemoryGrowth memory;
  const std::string out = GetDosOutput("yes 0123456789abcdef | head -c 53477376; printf ' the end'", true, dir.path());
  EXPECT_EQ(out.size(), kDosOutputTail);
  EXPECT_TRUE(out.ends_with("0123456789abcdef\n the end")) << out.substr(out.size() - 40);
  if (corvantest::PeakMemoryGrowth::Meaningful()) {
    EXPECT_LT(memory.Bytes(), 8u << 20);
  }
  EXPECT_TRUE(corvantest::WaitFor([] { return corvantest::ZombieChildren() == 0; }));
}
