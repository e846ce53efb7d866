// The program itself, copied into a program folder of its own as an installer would put
// it beside the service, and started as a separate process (offscreen).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "FifoProbe.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "SiteSettings.h"
#include "TempFolder.h"
#include "UdpListener.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"

extern char** environ;

namespace {

const std::string kVersion = CORVAN_PROJECT_VERSION;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    std::filesystem::copy_file(CORVANCONTROL_PROGRAM, dir.file("corvancontrol"));
    corvantest::WriteSiteSettings(dir.file("CorvanSrvc-Settings.xml"));
  }

  void TearDown() override {
    for (const pid_t pid : running_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  // Starts the program in the test's environment, XDG_RUNTIME_DIR replaced by `runtimeEnv`
  // (e.g. "TMPDIR=..." for none); its standard error goes to stderr.txt in `runtime`.
  pid_t Launch(std::string runtimeEnv = {}) {
    if (runtimeEnv.empty()) runtimeEnv = "XDG_RUNTIME_DIR=" + runtime.path();
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", runtimeEnv, "XDG_CONFIG_DIRS=" + config.path(),
                                    "HOME=" + runtime.path(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string exe = dir.file("corvancontrol");
    char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 2, runtime.file("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                       0600);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    running_.push_back(pid);
    return pid;
  }

  // The exit status, or -1 when the process still runs after `ms`.
  int WaitExit(pid_t pid, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        std::erase(running_, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  // The lines of the event log files, whichever weekday they went to.
  std::vector<std::string> EventLogLines() const {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      if (entry.path().filename().string().rfind("CORVANSRVC-EventLog-", 0) != 0) continue;
      const std::string text = dir.read(entry.path().filename().string());
      std::size_t start = 0;
      for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  bool WaitForEventLines(std::size_t count, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (EventLogLines().size() < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // Waits until `count` start events are logged while `pid` runs. Its resident size is
  // watched meanwhile: a process that grows past `bound` is ended, and the wait fails.
  bool WaitForStartWithin(pid_t pid, std::size_t count, std::size_t bound, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (EventLogLines().size() < count) {
      if (ResidentBytes(pid) > bound) {
        ADD_FAILURE() << "the panel grew past " << bound / (1024 * 1024) << " MiB";
        ::kill(pid, SIGKILL);
        return false;
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  static std::size_t ResidentBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
    return 0;
  }

  corvantest::ProcessStateGuard processState;
  corvantest::TempFolder dir;
  corvantest::TempFolder runtime;
  corvantest::TempFolder config;
  std::vector<pid_t> running_;
};

}  // namespace

TEST_F(ProgramTest, AnnouncesItsStartOnTheNetwork) {
  corvantest::UdpListener syslog(514);
  corvantest::UdpListener phoneHome(15171);
  Launch();
  const auto lines = syslog.receive(1, std::chrono::milliseconds(10000));
  ASSERT_EQ(lines.size(), 1u);
  // The program folder is the folder of the program's own file.
  EXPECT_EQ(lines[0].bytes, "<5>CorvanControl:00001 TfrmMain.FormCreate:100 v" + kVersion +
                                " started. gGlobalSettings.Path=" + dir.path() + " H=\"corvantest\" (ID=57002)");
  const auto reports = phoneHome.receive(1, std::chrono::milliseconds(10000));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].bytes.rfind("<PhoneHome><CorvanControl> v" + kVersion + "<MainUnit>STT</MainUnit>", 0), 0u);
  EXPECT_NE(reports[0].bytes.find("<Event>Program started. v" + kVersion + "\" (TfrmMain.FormCreate:900)</Event>"),
            std::string::npos);
  EXPECT_NE(reports[0].bytes.find("<Path>" + dir.path() + "</Path>"), std::string::npos);
}

TEST_F(ProgramTest, SecondCopyEndsAfterItsStartUpAndTheFirstRunsOn) {
  const pid_t first = Launch();
  ASSERT_TRUE(WaitForEventLines(1, 10000));
  const pid_t second = Launch();
  EXPECT_EQ(WaitExit(second, 10000), 0);
  // The second copy ran its start-up steps, event included, before it ended.
  EXPECT_EQ(EventLogLines().size(), 2u);
  EXPECT_EQ(WaitExit(first, 500), -1);  // the first copy is unaffected
  ::kill(first, SIGKILL);
  EXPECT_NE(WaitExit(first, 5000), -1);
  // Once the first copy is gone, a new one runs on.
  const pid_t third = Launch();
  ASSERT_TRUE(WaitForEventLines(3, 10000));
  EXPECT_EQ(WaitExit(third, 1000), -1);
}

TEST_F(ProgramTest, MarkupThatNamesEndlessPicturesNeitherStallsNorFloodsTheStart) {
  // The panel starts shown (offscreen there is no notification area): the texts are
  // laid out and painted at once. As markup, each would load its picture: /dev/zero
  // without end, the pipe never.
  corvantest::FifoProbe fifo(dir.file("FIFO"));
  struct Case {
    bool inVersionFile;  // else in WWWHostActive
    const char* picture;
  } cases[] = {{true, "<img src='/dev/zero'>"},
               {true, "<img src='FIFO'>"},
               {false, "<img src='/dev/zero'>"},
               {false, "<img src='FIFO'>"}};
  constexpr std::size_t kBound = 1024 * 1024 * 1024;
  std::size_t starts = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.inVersionFile ? "version file " : "WWWHostActive ") + c.picture);
    dir.write("CorvanSrvc-Version.txt", c.inVersionFile ? c.picture : "3.1.0.12");
    Lib::gVEKSettings.WWWHostActive = c.inVersionFile ? "127.0.0.1" : c.picture;
    Lib::SaveCorvanSettings();
    const pid_t pid = Launch();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(WaitForStartWithin(pid, ++starts, kBound, 60000)) << "start-up did not finish";
    ::kill(pid, SIGKILL);
    WaitExit(pid, 10000);
    starts = EventLogLines().size();
  }
  EXPECT_FALSE(fifo.Opened()) << "a picture named in a text was loaded";
}

TEST_F(ProgramTest, AForeignSingleInstanceFolderIsReportedAndStopsTheStart) {
  // No runtime folder: the lock goes to a folder of our own in TMPDIR. Another account
  // has made it first, writable by everyone, and could hold our lock there.
  corvantest::TempFolder temp;
  const std::string folder = temp.file("corvancontrol-" + std::to_string(::getuid()));
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  const pid_t pid = Launch("TMPDIR=" + temp.path());
  EXPECT_EQ(WaitExit(pid, 60000), 1);
  EXPECT_NE(runtime.read("stderr.txt").find("single-instance folder " + folder), std::string::npos)
      << runtime.read("stderr.txt");
  std::vector<std::string> reports;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().filename().string().rfind("E!CorvanControl-", 0) == 0)
      reports.push_back(dir.read(entry.path().filename().string()));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(folder + " belongs to user"), std::string::npos) << reports[0];
  EXPECT_TRUE(EventLogLines().empty()) << "start-up went no further";
}
