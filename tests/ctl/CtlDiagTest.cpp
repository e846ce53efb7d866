// diag: the support bundle read back with libarchive and compared with the folder it
// was made of; its limits, the files it leaves out, and outputs that cannot be written.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "CtlFixture.h"
#include "Hostile.h"
#include "ScopedMount.h"
#include "TcpListen.h"
#include "ctl/SupportBundle.h"
#include "support/BoundedRead.h"
#include "support/UniqueFd.h"

using namespace corvantest;
using ms = std::chrono::milliseconds;

namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;

struct Bundle {
  std::string top;                           // the one folder every entry lies in
  std::map<std::string, std::string> files;  // by name below it
  std::map<std::string, mode_t> modes;
  std::string error;  // why the archive could not be read
};

// Reads a .tar.gz whole with libarchive, as whoever receives the bundle would.
Bundle ReadBundle(const std::string& Bytes) {
  Bundle b;
  std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
  archive_read_support_filter_gzip(a.get());
  archive_read_support_format_tar(a.get());
  if (archive_read_open_memory(a.get(), Bytes.data(), Bytes.size()) != ARCHIVE_OK) {
    b.error = archive_error_string(a.get());
    return b;
  }
  archive_entry* entry = nullptr;
  int status;
  while ((status = archive_read_next_header(a.get(), &entry)) == ARCHIVE_OK) {
    const std::string path = archive_entry_pathname(entry);
    const std::size_t slash = path.find('/');
    if (slash == std::string::npos) {
      b.error = "an entry outside the top folder: " + path;
      return b;
    }
    if (b.top.empty()) b.top = path.substr(0, slash);
    if (path.substr(0, slash) != b.top) b.error = "a second top folder: " + path;
    std::string data(static_cast<std::size_t>(archive_entry_size(entry)), '\0');
    if (!data.empty() && archive_read_data(a.get(), data.data(), data.size()) != static_cast<la_ssize_t>(data.size()))
      b.error = "cannot read " + path;
    b.files[path.substr(slash + 1)] = data;
    b.modes[path.substr(slash + 1)] = archive_entry_perm(entry);
  }
  if (status != ARCHIVE_EOF) b.error = archive_error_string(a.get());
  return b;
}

std::vector<std::string> Names(const Bundle& b) {
  std::vector<std::string> names;
  for (const auto& [name, data] : b.files) names.push_back(name);
  return names;
}

void AgeSeconds(const std::string& File, std::int64_t Seconds) {
  const timespec when{static_cast<time_t>(::time(nullptr) - Seconds), 0};
  const timespec times[2] = {when, when};
  ASSERT_EQ(::utimensat(AT_FDCWD, File.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << File;
}

void Age(const std::string& File, std::int64_t Days) { AgeSeconds(File, Days * kDay); }

class CtlDiagTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    // The versions report asks the host; one that answers leaves no error reports behind.
    host = std::make_unique<SimProcess>(
        kHostSim, std::vector<std::string>{"--control-version", kProjectVersion, "--service-version", "3.1.0.12",
                                           "--sheetpress-version", "2.0.0.7"});
    ASSERT_TRUE(host->waitForOutput("ready")) << host->err();
    dir.write("CorvanSrvc-Settings.xml", kSettings);
  }

  // diag into the output folder; the bundle read back.
  Bundle Diag(const std::vector<std::string>& Options, CtlResult* Result = nullptr) const {
    std::vector<std::string> args = {"diag", "--output", out.file("bundle.tar.gz")};
    args.insert(args.end(), Options.begin(), Options.end());
    const CtlResult r = Ctl(args);
    if (Result) *Result = r;
    EXPECT_EQ(r.status, 0) << r.err;
    if (r.status != 0) return {};
    return ReadBundle(out.read("bundle.tar.gz"));
  }

  static constexpr const char* kSettings =
      "<xml>\r\n <GlobalSettings>\r\n  <WWWHost>127.0.0.1</WWWHost>\r\n  <GUID>5E2D77AA-1C2B</GUID>\r\n"
      "  <MainUnit>STT</MainUnit>\r\n </GlobalSettings>\r\n</xml>\r\n";

  TempFolder out;
  TempFolder outside;
  std::unique_ptr<SimProcess> host;
};

}  // namespace

TEST(WithoutGuid, ReplacesEveryGuidValueAndNothingElse) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"  <GUID>5E2D-77AA</GUID>\r\n", "  <GUID>(removed)</GUID>\r\n"},
      {"<guid>abc</Guid>", "<guid>(removed)</Guid>"},
      {"<GUID></GUID>\r\n", "<GUID></GUID>\r\n"},
      // Without its closing tag the value runs to the end of its line, as the reader takes it.
      {"<GUID>abc\r\n<MainUnit>STT</MainUnit>\r\n", "<GUID>(removed)\r\n<MainUnit>STT</MainUnit>\r\n"},
      {"<GUID>abc", "<GUID>(removed)"},
      {"<!-- <GUID>old</GUID> -->\n<GUID>new</GUID>\n", "<!-- <GUID>(removed)</GUID> -->\n<GUID>(removed)</GUID>\n"},
      {"<MainUnit>GUID</MainUnit>", "<MainUnit>GUID</MainUnit>"},
  };
  for (const auto& c : cases) EXPECT_EQ(corvanctl::WithoutGuid(c.in), c.out) << c.in;
}

TEST_F(CtlDiagTest, TheBundleHoldsTheStationsStateAndTheRecentLogsAndReports) {
  std::filesystem::copy_file(kServiceSim, dir.file("corvansrvc.exe"));
  SimProcess service(dir.file("corvansrvc.exe"), {"--folder", dir.path(), "--host", "127.0.0.1"});
  ASSERT_TRUE(service.waitForOutput("ready")) << service.err();
  // After the service's start, which writes the settings file without the GUID.
  dir.write("CorvanSrvc-Settings.xml", kSettings);

  const std::map<std::string, std::string> recent = {
      {"CORVANSRVC-EventLog-Mon.txt", "07/12/26 10:00:00.000 CorvanSrvc started\r\n"},
      {"E!CorvanSrvc-20261207100000123.XML", "<xml><Exception>recent</Exception></xml>\r\n"},
      {"CorvanControl-Panel.ini", "[FeedWatchdog]\nVendorFeedMinutes=5\n"},
  };
  for (const auto& [name, text] : recent) dir.write(name, text);
  const std::map<std::string, std::string> incidents = {
      {"TASK-20261207-S1234.TXT", "PAGE INC:S1234 TREE DOWN"},
      {"TASK-20261207-S1234.PDF", "%PDF-1.4 sheet"},
      {"U!20261207-INC1234.TXT", "PAGE INC:S1234\r\nVEKUnit=XYZ,VEK=True"},
      {"CORVANSRVC-TARNEX-HEARTBEAT.TXT", "INFO:V=3.1.0.12 G=2 "},
  };
  for (const auto& [name, text] : incidents) dir.write(name, text);
  dir.write("CORVANSRVC-EventLog-Tue.txt", "a week ago\r\n");
  Age(dir.file("CORVANSRVC-EventLog-Tue.txt"), 8);
  dir.write("E!CorvanSrvc-20261129100000123.XML", "old report");
  Age(dir.file("E!CorvanSrvc-20261129100000123.XML"), 8);
  dir.write("D!debug.txt", "debug");
  std::filesystem::create_directory(dir.file("sub"));
  dir.write("sub/E!inner.XML", "inside a sub-folder");
  // What another account may plant under a report's name: none of it is followed or read.
  outside.write("secret", "SECRET from outside");
  std::filesystem::create_symlink(outside.file("secret"), dir.file("E!link.XML"));
  std::filesystem::create_hard_link(outside.file("secret"), dir.file("E!hard.XML"));
  ASSERT_EQ(::mkfifo(dir.file("E!fifo.XML").c_str(), 0644), 0);

  CtlResult r;
  const Bundle b = Diag({}, &r);
  ASSERT_EQ(b.error, "");
  EXPECT_TRUE(std::regex_match(b.top, std::regex("corvan-diag-corvantest-[0-9]{8}-[0-9]{6}"))) << b.top;
  EXPECT_EQ(Names(b),
            (std::vector<std::string>{"check.txt", "contents.txt", "folder.txt", "folder/CORVANSRVC-EventLog-Mon.txt",
                                      "folder/CorvanControl-Panel.ini", "folder/CorvanSrvc-Settings.xml",
                                      "folder/E!CorvanSrvc-20261207100000123.XML", "metrics.prom", "os-release",
                                      "processes.txt", "status.json", "system.txt", "versions.txt"}));
  for (const auto& [name, text] : recent) EXPECT_EQ(b.files.at("folder/" + name), text) << name;
  std::string settings = kSettings;
  settings.replace(settings.find("5E2D77AA-1C2B"), 13, "(removed)");
  EXPECT_EQ(b.files.at("folder/CorvanSrvc-Settings.xml"), settings);

  // The reports are those of their own commands, run at the same time.
  EXPECT_EQ(b.files.at("status.json"), Ctl({"status", "--json"}).out);
  EXPECT_EQ(b.files.at("versions.txt"), Ctl({"versions"}).out);
  // These two hold the feeds' ages, which change by the second.
  EXPECT_TRUE(b.files.at("check.txt").starts_with("CORVAN ")) << b.files.at("check.txt");
  EXPECT_NE(b.files.at("metrics.prom").find("\ncorvan_service_processes 1\n"), std::string::npos)
      << b.files.at("metrics.prom");
  const std::string& processes = b.files.at("processes.txt");
  EXPECT_NE(processes.find("ServiceCount=1\n"), std::string::npos) << processes;
  EXPECT_NE(processes.find("Service[0].User=root\n"), std::string::npos) << processes;
  EXPECT_NE(processes.find("Service[0].CommandLine=" + dir.file("corvansrvc.exe") + " --folder " + dir.path() +
                           " --host 127.0.0.1\n"),
            std::string::npos)
      << processes;
  EXPECT_TRUE(std::regex_search(processes, std::regex("Service\\[0\\]\\.Started=20[0-9-]{8}T[0-9:]{8}[+-][0-9:]{5}\n")))
      << processes;
  const std::string& system = b.files.at("system.txt");
  for (const char* line : {"HostName=corvantest\n", "OS=Debian GNU/Linux 12 (bookworm)\n", "Kernel=Linux ",
                           "Library.libarchive=libarchive 3.", "Library.Qt=6.", "FreeSpace.Bytes="})
    EXPECT_NE(system.find(line), std::string::npos) << line << " in\n" << system;
  EXPECT_NE(system.find("Folder=" + dir.path() + "\n"), std::string::npos);
  EXPECT_EQ(b.files.at("os-release"), brix32::ReadBoundedFile("/etc/os-release", 65536).Data);

  // The listing names every entry of the folder, links with their targets, and no more.
  const std::string& listing = b.files.at("folder.txt");
  const std::vector<std::string> entries = EntryNames(dir.path());
  EXPECT_NE(listing.find("Entries=" + std::to_string(entries.size()) + "\n"), std::string::npos) << listing;
  for (const std::string& name : entries) EXPECT_NE(listing.find(" " + name), std::string::npos) << name;
  EXPECT_NE(listing.find(" E!link.XML -> " + outside.file("secret") + "\n"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("E!inner.XML"), std::string::npos);
  EXPECT_TRUE(
      std::regex_search(listing, std::regex("\n-rw-r--r-- 1 root root 12 [0-9T:+-]{25} CORVANSRVC-EventLog-Tue.txt\n")))
      << listing;

  const std::string& contents = b.files.at("contents.txt");
  for (const std::string& line :
       {"LeftOut=folder/E!link.XML (a link to " + outside.file("secret") + ", which is never followed)\n",
        std::string("LeftOut=folder/E!hard.XML (a file with more than one name)\n"),
        std::string("LeftOut=folder/E!fifo.XML (not a regular file)\n"),
        std::string("Included=folder/CorvanSrvc-Settings.xml (GUID replaced)\n")})
    EXPECT_NE(contents.find(line), std::string::npos) << line << " in\n" << contents;
  for (const auto& [name, data] : b.files) EXPECT_EQ(data.find("SECRET"), std::string::npos) << name;

  // What the command says, and the file: the whole of it, for its owner only.
  struct stat st {};
  ASSERT_EQ(::stat(out.file("bundle.tar.gz").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(r.out, "Bundle=" + out.file("bundle.tar.gz") + "\nBytes=" + std::to_string(st.st_size) +
                       "\nIncluded=13\nLeftOut=3\n");
  EXPECT_EQ(r.err, "");

  // The incident files only when asked for.
  const Bundle withTasks = Diag({"--with-tasks"});
  for (const auto& [name, text] : incidents) EXPECT_EQ(withTasks.files.at("folder/" + name), text) << name;
  EXPECT_EQ(withTasks.files.size(), b.files.size() + incidents.size());
  EXPECT_EQ(EntryNames(out.path()), std::vector<std::string>{"bundle.tar.gz"});
  service.stop();
}

TEST_F(CtlDiagTest, TheSizeLimitLeavesOutWhatDoesNotFitAndSaysSo) {
  // Logs give their last part; the small ones and the reports still fit beside a 2 GB log.
  dir.write("CORVANSRVC-EventLog-Wed.txt", "");
  std::filesystem::resize_file(dir.file("CORVANSRVC-EventLog-Wed.txt"), 2ULL << 30);  // sparse
  {
    std::ofstream tail(dir.file("CORVANSRVC-EventLog-Wed.txt"), std::ios::in | std::ios::out | std::ios::binary);
    tail.seekp(-6, std::ios::end);
    tail << "LAST\r\n";
  }
  dir.write("CORVANSRVC-EventLog-Thu.txt", "thursday\r\n");
  for (int i = 0; i < 40; ++i) {
    const std::string name = "E!CorvanSrvc-" + std::to_string(1000 + i) + ".XML";
    dir.write(name, std::string(30000, 'x'));
    AgeSeconds(dir.file(name), 40 - i);  // the higher the number, the newer
  }

  CtlResult r;
  const Bundle whole = Diag({}, &r);
  ASSERT_EQ(whole.error, "");
  const std::string& wed = whole.files.at("folder/CORVANSRVC-EventLog-Wed.txt");
  EXPECT_EQ(wed.size(), 8u << 20);
  EXPECT_TRUE(wed.ends_with("LAST\r\n"));
  EXPECT_EQ(whole.files.at("folder/CORVANSRVC-EventLog-Thu.txt"), "thursday\r\n");
  EXPECT_EQ(whole.files.size(), 9u + 1 + 2 + 40);
  EXPECT_EQ(r.err,
            "corvanctl: CORVANSRVC-EventLog-Wed.txt holds 2147483648 bytes: only its last 8388608 are in "
            "the bundle\n");
  EXPECT_NE(whole.files.at("contents.txt")
                .find("Included=folder/CORVANSRVC-EventLog-Wed.txt (its last 8388608 of 2147483648 bytes)\n"),
            std::string::npos);

  // One MB: a log gives an eighth of it, and reports beyond the rest are left out.
  const Bundle small = Diag({"--max-size", "1"}, &r);
  ASSERT_EQ(small.error, "");
  EXPECT_EQ(small.files.at("folder/CORVANSRVC-EventLog-Wed.txt").size(), 128u << 10);
  EXPECT_EQ(small.files.at("folder/CORVANSRVC-EventLog-Thu.txt"), "thursday\r\n");
  std::uint64_t held = 0;
  int reports = 0;
  for (const auto& [name, data] : small.files) {
    held += data.size() + 2048;
    reports += name.starts_with("folder/E!");
  }
  EXPECT_LE(held, 1u << 20);
  EXPECT_GT(reports, 0);
  EXPECT_LT(reports, 40);
  EXPECT_LE(std::filesystem::file_size(out.file("bundle.tar.gz")), 1u << 20);
  EXPECT_NE(r.err.find("corvanctl: " + std::to_string(40 - reports) +
                       " files were left out, over the bundle's limit of 1 MB, --max-size; contents.txt in the "
                       "bundle names them\n"),
            std::string::npos)
      << r.err;
  // The newest reports are the ones kept.
  EXPECT_EQ(small.files.count("folder/E!CorvanSrvc-1039.XML"), 1u);
  EXPECT_EQ(small.files.count("folder/E!CorvanSrvc-1000.XML"), 0u);
}

TEST_F(CtlDiagTest, AFolderOfManyFilesIsListedWithinBounds) {
  // More entries than the listing keeps: the newest are listed, all are counted.
  for (int i = 0; i < 10500; ++i) {
    const std::string name = dir.file("D!" + std::to_string(i));
    const brix32::UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(fd) << name;
  }
  for (int i = 0; i < 500; ++i) Age(dir.file("D!" + std::to_string(i)), 1);
  Age(dir.file("CorvanSrvc-Settings.xml"), 1);
  const Bundle b = Diag({});
  ASSERT_EQ(b.error, "");
  const std::string& listing = b.files.at("folder.txt");
  EXPECT_NE(listing.find("Entries=10501\nSettings.Count=1\n"), std::string::npos) << listing.substr(0, 300);
  EXPECT_NE(listing.find("Debug.Count=10500\n"), std::string::npos);
  EXPECT_NE(listing.find("Listed=10000 (the most recently changed)\n"), std::string::npos);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 8 + 10000);
  EXPECT_EQ(listing.find(" D!499\n"), std::string::npos) << "the older ones are not listed";
  EXPECT_NE(listing.find(" D!500\n"), std::string::npos);
}

TEST_F(CtlDiagTest, AnOutputThatCannotBeWrittenLeavesNothingAndExitsWithOne) {
  const std::string readOnly = out.file("read-only/");
  std::filesystem::create_directory(readOnly);
  const std::string smallDisk = out.file("small/");
  std::filesystem::create_directory(smallDisk);
  // Incompressible, so that the bundle cannot fit the small disk.
  std::mt19937 random(16);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  dir.write("E!CorvanSrvc-noise.XML", noise);

  ScopedMount readOnlyMount(readOnly, ScopedMount::kReadOnly);
  ScopedMount smallMount(smallDisk, ScopedMount::kSmallDisk);
  const struct {
    std::string output;
    std::string err;
  } cases[] = {
      {readOnly + "b.tar.gz", "corvanctl: cannot write " + readOnly + "b.tar.gz: Read-only file system\n"},
      {out.file("missing/b.tar.gz"),
       "corvanctl: cannot write " + out.file("missing/b.tar.gz") + ": No such file or directory\n"},
      {out.path(), "corvanctl: cannot write " + out.path() + ": it is a folder; name a file with --output\n"},
      {smallDisk + "b.tar.gz", "corvanctl: cannot write " + smallDisk + "b.tar.gz: No space left on device\n"},
  };
  for (const auto& c : cases) {
    const CtlResult r = Ctl({"diag", "--output", c.output});
    EXPECT_EQ(r.status, 1) << c.output;
    EXPECT_EQ(r.out, "") << c.output;
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(EntryNames(readOnly), std::vector<std::string>{});
  EXPECT_EQ(EntryNames(smallDisk), std::vector<std::string>{});
  EXPECT_EQ(EntryNames(out.path()), (std::vector<std::string>{"read-only", "small"}));
  EXPECT_EQ(Ctl({"diag", "--max-size", "0"}).status, 2);
}

TEST_F(CtlDiagTest, ItGoesToTheWorkingFolderOrToStandardOutput) {
  const CtlResult here = RunResult(
      "/bin/sh", {"-c", "cd \"$1\" && exec \"$2\" --folder \"$3\" diag", "sh", out.path(), kCorvanCtl, dir.path()});
  ASSERT_EQ(here.status, 0) << here.err;
  const std::vector<std::string> made = EntryNames(out.path());
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(std::regex_match(made[0], std::regex("corvan-diag-corvantest-[0-9]{8}-[0-9]{6}\\.tar\\.gz"))) << made[0];
  EXPECT_TRUE(here.out.starts_with("Bundle=" + out.file(made[0]) + "\n")) << here.out;
  const Bundle file = ReadBundle(out.read(made[0]));
  EXPECT_EQ(file.top + ".tar.gz", made[0]);

  const CtlResult piped = Ctl({"diag", "--output", "-"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  const Bundle streamed = ReadBundle(piped.out);
  EXPECT_EQ(streamed.error, "");
  EXPECT_EQ(Names(streamed), Names(file));
  EXPECT_EQ(streamed.files.at("folder/CorvanSrvc-Settings.xml"), file.files.at("folder/CorvanSrvc-Settings.xml"));
}

TEST_F(CtlDiagTest, InterruptedItLeavesNoPartOfTheBundle) {
  // A web host that takes the connection and never answers holds the versions report.
  host.reset();
  const int silent = ListenOnLoopback(80, 4);
  SimProcess diag(kCorvanCtl, {"--folder", dir.path(), "diag", "--output", out.file("b.tar.gz")});
  bool started = false;
  for (int i = 0; i < 400 && !started; ++i) {
    started = !EntryNames(out.path()).empty();
    if (!started) std::this_thread::sleep_for(ms(25));
  }
  ASSERT_TRUE(started) << "no temporary file appeared";
  EXPECT_NE(diag.stop(), 0);
  EXPECT_EQ(EntryNames(out.path()), std::vector<std::string>{});
  ::close(silent);
}

TEST_F(CtlDiagTest, WhateverIsPlantedUnderTheFilesNamesItEnds) {
  outside.write("secret", "SECRET from outside");
  for (const tPlanted kind : kEveryPlanted) {
    const std::string target = kind == tPlanted::DanglingLink ? outside.file("none") : outside.file("secret");
    for (const char* name : {"CorvanSrvc-Settings.xml", "CORVANSRVC-EventLog-Fri.txt", "E!CorvanSrvc-1.XML"}) {
      std::filesystem::remove_all(dir.file(name));
      Plant(kind, dir.file(name), target);
    }
    const CtlResult r = RunResult("/bin/sh", {"-c", BoundedAddressSpaceCommand(), kCorvanCtl, "--folder", dir.path(),
                                              "diag", "--output", out.file("bundle.tar.gz")});
    ASSERT_EQ(r.status, 0) << PlantedName(kind) << ": " << r.err;
    const Bundle b = ReadBundle(out.read("bundle.tar.gz"));
    EXPECT_EQ(b.error, "") << PlantedName(kind);
    for (const auto& [name, data] : b.files) EXPECT_EQ(data.find("SECRET"), std::string::npos) << name;
    EXPECT_EQ(b.files.count("folder/CorvanSrvc-Settings.xml"), 0u) << PlantedName(kind);
    EXPECT_EQ(b.files.count("folder/E!CorvanSrvc-1.XML"), 0u) << PlantedName(kind);
    // A huge log is a log: its last part comes.
    EXPECT_EQ(b.files.count("folder/CORVANSRVC-EventLog-Fri.txt"), kind == tPlanted::Huge ? 1u : 0u)
        << PlantedName(kind);
  }
}
