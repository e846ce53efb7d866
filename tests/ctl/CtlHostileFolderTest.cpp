// The hostile-folder table of corvanctl: each file it may read or write in the program
// folder, replaced in turn by each thing another account can plant there, and every
// command run on that folder as the real program in a child process. Each command ends
// within its limit without a crash, stays under its memory cap, ends holding no more
// descriptors than it started with (the watch: holds no more after the planted file's
// events than before), and nothing outside the folder changes; a settings file that
// cannot be read stays as it was.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "CtlFixture.h"
#include "HostileFolder.h"
#include "settings/CorvanSettings.h"

using namespace corvantest;
using namespace std::chrono_literals;

namespace {

// A command that has not ended by then is taken to hang. Each takes milliseconds.
constexpr auto kCommandLimit = 30s;
// The peak resident size of any command: 14 to 17 MB for every row here.
constexpr long kMemoryCapKb = 32 * 1024;

#ifdef __SANITIZE_ADDRESS__
// Shadow memory makes resident sizes meaningless, and the sanitizer's runtime must be
// the first library loaded, before the descriptor probe.
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct tCommand {
  const char* Name;
  std::vector<std::string> Args;
  int MaxStatus = 1;  // 0 success, 1 failure; a check's 2 and 3 say what it found
};

// Every command that ends by itself, with arguments that make it touch its files: the
// page of parse has an unknown suburb (a "U!" copy is written), settings set writes, the
// bundle of diag goes outside the folder.
std::vector<tCommand> Commands(const TempFolder& Scratch) {
  return {
      {"status", {"status"}},
      {"settings", {"settings"}},
      {"settings set", {"settings", "set", "UDPListenPort", "0"}},
      {"parse", {"parse", "--suburbs", Scratch.file("suburbs.txt"), TestPageText(brix32::Now())}},
      {"units", {"units"}},
      {"units fetch", {"units", "fetch"}},
      {"versions", {"versions"}},
      {"broadcast-test", {"broadcast-test"}},
      {"phone-home", {"phone-home"}},
      {"check", {"check"}, 3},
      {"metrics", {"metrics"}},
      {"diag", {"diag", "--output", Scratch.file("bundle.tar.gz")}},
  };
}

// The folder's files that corvanctl meets. Not its exception reports: they are named after
// the millisecond they are written in, which no one can plant in advance here (the
// panel's table, with its fixed clock, plants one for the same writer).
std::vector<tFolderFile> CtlFiles(brix32::TDateTime Now) {
  std::vector<tFolderFile> files = FolderFiles(Now, "CorvanCtl");
  std::erase_if(files, [](const tFolderFile& f) { return std::string(f.What) == "exception report"; });
  return files;
}

int DescriptorsOf(pid_t Pid) {
  int count = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(Pid) + "/fd", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    ++count;
  return count;
}

// True once `done` holds, false when it did not within the command limit.
bool Eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kCommandLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

class CtlHostileFolder : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    // A station's settings; the host is loopback, where nothing answers.
    EditSettings([] {
      Lib::gCorvanSettings.MainUnit = "STT";
      Lib::gVEKSettings.WWWHost = "127.0.0.1";
    });
    WriteServiceFiles(dir);
    scratch.write("suburbs.txt", "NOWHERE\n");
  }

  // corvanctl with its address space bounded, so that a read without end fails soon, and
  // the descriptor probe loaded.
  std::unique_ptr<SimProcess> Start(const std::vector<std::string>& Args) const {
    std::string line = BoundedAddressSpaceCommand();
    if (!kSanitized)
      line = "export LD_PRELOAD='" + std::string(CORVAN_DESCRIPTOR_PROBE_LIB) + "' CORVAN_DESCRIPTOR_PROBE='" +
             scratch.file("descriptors") + "'; " + line;
    std::vector<std::string> args = {"-c", line, kCorvanCtl, "--folder", dir.path()};
    args.insert(args.end(), Args.begin(), Args.end());
    return std::make_unique<SimProcess>("/bin/sh", args);
  }

  // Runs each command to its end and checks the bounds; `where` names the row. What each
  // printed, by the command's name.
  std::map<std::string, std::string> RunEveryCommand(const std::string& where) {
    std::map<std::string, std::string> printed;
    for (const tCommand& command : Commands(scratch)) {
      const std::string what = where + ", corvanctl " + command.Name;
      std::filesystem::remove(scratch.file("descriptors"));
      std::filesystem::remove(scratch.file("bundle.tar.gz"));
      const std::unique_ptr<SimProcess> run = Start(command.Args);
      const int status = run->waitForExit(kCommandLimit);
      if (!run->ended()) {
        ADD_FAILURE() << what << ": still running after " << kCommandLimit.count() << " s";
        continue;  // killed as the process object goes
      }
      printed[command.Name] = run->out();
      EXPECT_EQ(run->endSignal(), 0) << what << ": ended by a signal\n" << run->err();
      EXPECT_TRUE(status >= 0 && status <= command.MaxStatus) << what << ": exit status " << status << "\n"
                                                              << run->err();
      EXPECT_EQ(run->out().find(OutsideFolder::kSecret), std::string::npos) << what << ": " << run->out();
      // What went into the support bundle, unpacked (a tar file is its members' bytes).
      if (std::string unpacked; scratch.exists("bundle.tar.gz")) {
        RunToExit("/bin/gzip", {"-dc", scratch.file("bundle.tar.gz")}, nullptr, &unpacked);
        EXPECT_NE(unpacked.find("CorvanSrvc-Settings.xml"), std::string::npos) << what;
        EXPECT_EQ(unpacked.find(OutsideFolder::kSecret), std::string::npos) << what << ": the bundle holds it";
      }
      if (kSanitized) continue;
      EXPECT_LE(run->peakResidentKb(), kMemoryCapKb) << what;
      std::ifstream probe(scratch.file("descriptors"));
      int atStart = -1, atEnd = -1;
      probe >> atStart >> atEnd;
      EXPECT_GE(atStart, 0) << what << ": the descriptor probe said nothing";
      EXPECT_EQ(atEnd, atStart) << what << ": descriptors at the start and at the end";
    }
    return printed;
  }

  // watch started on the folder, `PlantIt` run once it has shown a first heartbeat, then a
  // heartbeat as the last event: its line shows that the planted file's events are behind
  // it. The UDP heartbeat, unless that is the planted file.
  void RunWatch(const std::string& where, const std::string& PlantedName, const std::function<void()>& PlantIt) {
    const std::string what = where + ", corvanctl watch";
    const bool udpPlanted = PlantedName == "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT";
    const std::string heartbeat = udpPlanted ? "CORVANSRVC-SERIAL-HEARTBEAT.TXT" : "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT";
    const std::string shown = udpPlanted ? "Heartbeat=COM:" : "Heartbeat=UDP:";
    const std::unique_ptr<SimProcess> watch = Start({"watch"});
    ASSERT_TRUE(watch->waitForError("watching", kCommandLimit)) << what << ": " << watch->err();
    dir.write(heartbeat, "FIRST");
    ASSERT_TRUE(watch->waitForOutput(shown + "FIRST\n", kCommandLimit)) << what << "\n" << watch->err();
    const int descriptors = DescriptorsOf(watch->pid());
    PlantIt();
    dir.write(heartbeat, "LAST");
    EXPECT_TRUE(watch->waitForOutput(shown + "LAST\n", kCommandLimit)) << what << ": the last event was not shown\n"
                                                                       << watch->out() << watch->err();
    // A file being read at this moment (a status decided later) holds one for a moment.
    EXPECT_TRUE(Eventually([&] { return DescriptorsOf(watch->pid()) <= descriptors; }))
        << what << ": " << DescriptorsOf(watch->pid()) << " descriptors, " << descriptors << " before";
    EXPECT_EQ(watch->stop(kCommandLimit), 0) << what << "\n" << watch->err();
    EXPECT_EQ(watch->out().find(OutsideFolder::kSecret), std::string::npos) << what << ": " << watch->out();
    if (!kSanitized) {
      EXPECT_LE(watch->peakResidentKb(), kMemoryCapKb) << what;
    }
  }

  TempFolder scratch;
  OutsideFolder outside;
};

class CtlHostileFolderTable : public CtlHostileFolder, public ::testing::WithParamInterface<tHostileRow> {};

}  // namespace

// The table's own check: on the folder as the service keeps it every command does its
// work, reading and writing the files the rows replace.
TEST_F(CtlHostileFolder, AFolderWithoutPlantedFilesPassesTheSameChecks) {
  std::map<std::string, std::string> printed = RunEveryCommand("clean folder");
  RunWatch("clean folder", "CORVANSRVC-TARNEX-HEARTBEAT.TXT",
           [&] { dir.write("CORVANSRVC-TARNEX-HEARTBEAT.TXT", "INFO:V=3.1.0.12 G=3 "); });
  EXPECT_EQ(outside.Changes(), "");
  EXPECT_EQ(ValueOf(printed["status"], "ServiceVersion"), "3.1.0.12");
  EXPECT_EQ(ValueOf(printed["status"], "GoingCount"), "2");
  EXPECT_EQ(ValueOf(printed["units"], "RC.AsInt"), "1");
  EXPECT_NE(printed["versions"].find(" - SheetPress.EXE version: 2.0.0.7 "), std::string::npos) << printed["versions"];
  EXPECT_NE(printed["broadcast-test"].find("Incident 9000 for STT was broadcast"), std::string::npos)
      << printed["broadcast-test"];
  // The panel's feed limit of 7 minutes: warning at half of it.
  EXPECT_NE(printed["check"].find(" vendor_feed_age=0s;210;420;0 "), std::string::npos) << printed["check"];
  EXPECT_EQ(ValueOf(printed["diag"], "Bundle"), scratch.file("bundle.tar.gz"));
  // What the commands wrote: the parse's copy of a page with an unknown suburb, the dummy
  // page of the broadcast; the settings set changed the file.
  EXPECT_TRUE(dir.exists(NameOf(CtlFiles(brix32::Now()), "unknown-suburb copy")));
  EXPECT_TRUE(dir.exists("DummyPage.txt"));
  EXPECT_NE(dir.read("CorvanSrvc-Settings.xml").find("<UDPListenPort>0</UDPListenPort>"), std::string::npos);
}

TEST_P(CtlHostileFolderTable, EveryCommandEndsSmallAndWritesNothingOutside) {
  const tFolderFile file = CtlFiles(brix32::Now())[GetParam().File];
  const tPlanted kind = GetParam().Kind;
  const std::string where = std::string(file.What) + " (" + file.Name + ") as a " + PlantedName(kind);
  const std::string path = dir.file(file.Name);
  std::filesystem::remove(path);
  outside.PlantAt(kind, path);
  struct stat planted {};
  ASSERT_EQ(::lstat(path.c_str(), &planted), 0);

  RunEveryCommand(where);
  // Planted while the watch runs, so that it is notified of it.
  std::filesystem::remove_all(path);
  RunWatch(where, file.Name, [&] { outside.PlantAt(kind, path); });

  EXPECT_EQ(outside.Changes(), "") << where;
  ExpectSettingsFileKept(file.Name, kind, path, planted, where);
}

INSTANTIATE_TEST_SUITE_P(, CtlHostileFolderTable, ::testing::ValuesIn(HostileRows(CtlFiles(0))), HostileRowName);
