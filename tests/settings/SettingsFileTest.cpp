// Loading and saving the real file: golden bytes, fresh install, round trip, damaged files
// and failed writes. A failure writes an exception report, which posts a syslog broadcast.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "ScopedMount.h"
#include "SettingsTestSupport.h"
#include "TempFolder.h"
#include "UdpListener.h"
#include "support/FileUtils.h"
#include "support/TextUtils.h"

using corvantest::ReadTestData;
using corvantest::ScopedMount;
using corvantest::TempFolder;
using settingstest::Field;
using settingstest::Snapshot;

namespace {

const char kSettingsName[] = "CorvanSrvc-Settings.xml";

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    settingstest::SetIdentity(program.path());
    brix32::gGlobalSettings.SelfName = "CorvanControl";
    brix32::gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = data.file(kSettingsName);
  }

  // Names of the exception reports in the program folder.
  std::vector<std::string> Reports() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(program.path()))
      if (e.path().filename().string().starts_with("E!")) names.push_back(e.path().filename());
    return names;
  }

  // Loads `bytes` as the settings file into fresh records.
  std::int32_t LoadBytes(const std::string& bytes) {
    const std::string path = Lib::gCorvanSettings.CorvanSrvcSettingsFilePath;
    Lib::gCorvanSettings = Lib::tCorvanSettings{};
    Lib::gVEKSettings = Lib::tVEKSettings{};
    brix32::gGlobalSettings.Log = brix32::tLog{};
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = path;
    data.write(kSettingsName, bytes);
    return Lib::GetCorvanSettings("SettingsFileTest:100");
  }

  corvantest::ProcessStateGuard processState;
  TempFolder program;  // program folder: version file and exception reports
  TempFolder data;     // settings folder
  corvantest::FixedClock clock{2024, 1, 21, 15, 36, 7, 123};
};

std::string WithoutUpdatedLine(const std::string& text) {
  const std::size_t start = text.find("   Updated: ");
  const std::size_t end = text.find("\r\n", start);
  return text.substr(0, start) + text.substr(end);
}

}  // namespace

TEST_F(SettingsFileTest, WritesTheGoldenFile) {
  program.write("CorvanSrvc-Version.txt", "2.0.1.7");
  settingstest::SetAllFields();
  Lib::gVEKSettings.GUID = "{not-written}";
  Lib::SaveCorvanSettings();
  EXPECT_EQ(data.read(kSettingsName), ReadTestData("settings/all-fields.xml"));
  EXPECT_TRUE(Reports().empty());
}

TEST_F(SettingsFileTest, FreshInstallCreatesDefaultsThenReadsThem) {
  ASSERT_EQ(Lib::GetCorvanSettings("TfrmMain.RefreshForms:100"), 1);
  EXPECT_EQ(data.read(kSettingsName), ReadTestData("settings/fresh-install.xml"));
  EXPECT_EQ(Field("Loaded"), "True");
  const std::string first = Snapshot();
  EXPECT_EQ(Field("ProcessTarnexTCPFeed"), "True");
  EXPECT_EQ(Field("UDPListenPort"), "15167");
  EXPECT_EQ(Field("EnablePrinting"), "1");
  EXPECT_EQ(Field("DaysOfLogFilesRetained"), "7");
  EXPECT_EQ(Field("WWWHost"), "www.tarnex.example");

  // The second load only reads: same values, file untouched although the clock moved.
  clock.advanceMs(61000);
  EXPECT_EQ(Lib::GetCorvanSettings("TfrmMain.RefreshForms:100"), 0);
  EXPECT_EQ(Snapshot(), first);
  EXPECT_EQ(data.read(kSettingsName), ReadTestData("settings/fresh-install.xml"));
  EXPECT_TRUE(Reports().empty());
}

TEST_F(SettingsFileTest, FreshInstallKeepsTheFieldsWithoutDefault) {
  Lib::gCorvanSettings.PDWLogPath = "/pdw/";
  Lib::gCorvanSettings.PrintCFSTasks = true;
  brix32::gGlobalSettings.Log.SyslogServer = "10.99.0.1";
  Lib::gVEKSettings.WWWHostActive = "corvantest";
  Lib::gCorvanSettings.MainUnit = "EAS";  // has a default: emptied
  ASSERT_EQ(Lib::GetCorvanSettings("x"), 1);
  EXPECT_EQ(Field("PDWLogPath"), "/pdw/");
  EXPECT_EQ(Field("PrintCFSTasks"), "True");
  EXPECT_EQ(Field("SyslogServer"), "10.99.0.1");
  EXPECT_EQ(Field("WWWHostActive"), "corvantest");
  EXPECT_EQ(Field("MainUnit"), "");
}

TEST_F(SettingsFileTest, RoundTripKeepsEveryWrittenValue) {
  settingstest::SetAllFields();
  Lib::gVEKSettings.GUID = "{lost-on-save}";
  Lib::SaveCorvanSettings();
  const std::string written = data.read(kSettingsName);
  Lib::gVEKSettings.GUID.clear();
  const std::string expected = Snapshot();

  ASSERT_EQ(LoadBytes(written), 0);
  EXPECT_EQ(Snapshot(), expected);  // GUID included: empty, it was not written
  EXPECT_EQ(Field("Loaded"), "True");

  clock.advanceMs(61000);
  Lib::SaveCorvanSettings();
  const std::string rewritten = data.read(kSettingsName);
  EXPECT_NE(rewritten, written);  // the Updated: line moved on
  EXPECT_EQ(WithoutUpdatedLine(rewritten), WithoutUpdatedLine(written));
  EXPECT_TRUE(Reports().empty());
}

TEST_F(SettingsFileTest, OlderElementsAreRewrittenUnderTheirNewNames) {
  ASSERT_EQ(LoadBytes("<xml>\r\n<URL>corvantest/vek/rezedozo.dll</URL>\r\n"
                      "<VEKUnits>EAS</VEKUnits>\r\n</xml>\r\n"),
            0);
  Lib::SaveCorvanSettings();
  const std::string text = data.read(kSettingsName);
  EXPECT_NE(text.find("\r\n  <WWWHost>corvantest</WWWHost>\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n  <URI>/vek/rezedozo.dll</URI>\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n  <ProcessVEKUnits>EAS</ProcessVEKUnits>\r\n"), std::string::npos);
  EXPECT_EQ(text.find("<URL>"), std::string::npos);
  EXPECT_EQ(text.find("<VEKUnits>"), std::string::npos);
}

TEST_F(SettingsFileTest, DamagedFilesLoadWithTheFallBacks) {
  const std::string golden = ReadTestData("settings/all-fields.xml");
  ASSERT_EQ(LoadBytes(golden), 0);
  const std::string full = Snapshot();

  const auto replaceAll = [](std::string s, const std::string& what, const std::string& with) {
    for (std::size_t p = 0; (p = s.find(what, p)) != std::string::npos; p += with.size())
      s.replace(p, what.size(), with);
    return s;
  };
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
  binary += std::string("<MainUnit>A\0B</MainUnit>", 24);
  std::string tenMegabytes;
  while (tenMegabytes.size() < 10 * 1024 * 1024) tenMegabytes += "  <!-- filler --> no tag here\r\n";
  tenMegabytes += "  <MainUnit>EAS</MainUnit>\r\n";
  const std::string oneLongLine = "<SerialComms>" + std::string(10 * 1024 * 1024, 'x');
  const std::size_t cutInTag = golden.find("<UDPListenP");
  const std::size_t cutInValue = golden.find("<UDPListenPort>-1") + std::strlen("<UDPListenPort>-");

  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::pair<const char*, std::string>> expected;
  } cases[] = {
      {"empty",
       "",
       {{"UDPAddr", "255.255.255.255"}, {"URI", "/vek/rezedozo.dll"}, {"UDPListenPort", "0"}, {"MainUnit", ""}}},
      {"binary with a zero byte inside a value",
       binary,
       {{"MainUnit", std::string("A\0B", 3)}, {"UDPAddr", "255.255.255.255"}}},
      {"10 MB of lines", tenMegabytes, {{"MainUnit", "EAS"}, {"WWWHost", ""}}},
      {"10 MB on one line without a closing tag", oneLongLine, {{"SerialComms", std::string(10 * 1024 * 1024, 'x')}}},
      // One long line: only the tag tested first is read.
      {"no line ends",
       replaceAll(golden, "\r\n", ""),
       {{"MainUnit", "eas"}, {"SerialComms", ""}, {"UDPAddr", "255.255.255.255"}, {"URI", "/vek/rezedozo.dll"}}},
      {"truncated inside an opening tag",
       golden.substr(0, cutInTag + 11),
       {{"UDPAddr", "10.99.0.2"}, {"ProcessVEKUnits", "EAS,MTB"}, {"UDPListenPort", "0"}, {"MainUnit", ""}}},
      {"truncated inside a value",
       golden.substr(0, cutInValue),
       {{"UDPAddr", "10.99.0.2"}, {"UDPListenPort", "15167"}, {"EnablePrinting", "0"}}},
      {"truncated inside the header comment", golden.substr(0, 40), {{"MainUnit", ""}, {"UDPAddr", "255.255.255.255"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadBytes(c.bytes), 0) << c.name;
    EXPECT_EQ(Field("Loaded"), "True") << c.name;
    for (const auto& [field, value] : c.expected)
      EXPECT_TRUE(Field(field) == value) << c.name << ": " << field << " has " << Field(field).size() << " bytes";
    // Loading never writes: the damaged file stays as it was for the service to see.
    EXPECT_TRUE(data.read(kSettingsName) == c.bytes) << c.name;
  }

  // Other line ends read exactly like CR LF.
  for (const char* ending : {"\n", "\r"}) {
    EXPECT_EQ(LoadBytes(replaceAll(golden, "\r\n", ending)), 0);
    EXPECT_EQ(Snapshot(), full) << (ending[0] == '\n' ? "LF" : "CR");
  }
  EXPECT_TRUE(Reports().empty());
}

TEST_F(SettingsFileTest, AFolderOrDeviceInPlaceOfTheFile) {
  // A folder counts as no file; it cannot be replaced, so nothing is loaded.
  std::filesystem::create_directory(data.file(kSettingsName));
  EXPECT_EQ(Lib::GetCorvanSettings("x"), 1);
  EXPECT_EQ(Field("Loaded"), "False");
  EXPECT_TRUE(std::filesystem::is_directory(data.file(kSettingsName)));
  EXPECT_FALSE(Reports().empty());

  // A device is no file that can be read: an error, and no endless read.
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = "/dev/zero";
  EXPECT_EQ(Lib::GetCorvanSettings("x"), -1);
  EXPECT_EQ(Field("Loaded"), "False");
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadIsReportedAndNeverReplaced) {
  const std::string path = data.file(kSettingsName);
  const std::string serviceFile = "<xml>\r\n  <MainUnit>SRV</MainUnit>\r\n</xml>\r\n";
  struct Case {
    const char* name;
    std::function<void()> plant;
    std::int32_t loaded;
    std::string loadError;
  } cases[] = {
      // As another account's file without read permission looks to this one.
      {"no permission",
       [&] {
         data.write(kSettingsName, serviceFile);
         Lib::SetSettingsFileReader([](const std::string& name) -> std::string {
           throw std::system_error(EACCES, std::generic_category(), "\"" + name + "\" cannot be read");
         });
       },
       -1, "\"" + path + "\" cannot be read: Permission denied"},
      {"FIFO", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); }, -1, "\"" + path + "\" is not a regular file"},
      // Beyond what the reader takes (sparse, so nothing is written to the disk).
      {"larger than the limit",
       [&] {
         data.write(kSettingsName, serviceFile);
         std::filesystem::resize_file(path, brix32::kFileToBinLimit + 1);
       },
       -1, "\"" + path + "\" is larger than 64 MB"},
      // Counts as missing, and cannot be created: the defaults stay in memory.
      {"link to nothing", [&] { std::filesystem::create_symlink(program.file("gone"), path); }, 1, ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    corvantest::ProcessStateGuard::Reset();
    settingstest::SetIdentity(program.path());
    brix32::gGlobalSettings.SelfName = "CorvanControl";
    brix32::gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = path;
    c.plant();
    struct stat planted {};
    ASSERT_EQ(::lstat(path.c_str(), &planted), 0) << c.name;

    const Lib::tSettingsResult load = Lib::LoadCorvanSettings("SetupForm.RefreshSetupForm:100", true);
    EXPECT_EQ(load.Result, c.loaded) << c.name;
    if (c.loaded < 0) {
      EXPECT_EQ(load.Error, c.loadError) << c.name;
    }
    EXPECT_EQ(Field("Loaded"), "False") << c.name;

    // What an OK in the setup dialog would save then: the entry stays as it was.
    clock.advanceMs(1);
    settingstest::SetAllFields();
    const Lib::tSettingsResult save = Lib::WriteCorvanSettings(false);
    EXPECT_EQ(save.Result, -1) << c.name;
    EXPECT_NE(save.Error.find("; the file is kept as it is"), std::string::npos) << c.name << ": " << save.Error;
    struct stat after {};
    ASSERT_EQ(::lstat(path.c_str(), &after), 0) << c.name;
    EXPECT_EQ(after.st_ino, planted.st_ino) << c.name;
    EXPECT_EQ(after.st_mode, planted.st_mode) << c.name;
    EXPECT_EQ(after.st_size, planted.st_size) << c.name;
    if (S_ISREG(after.st_mode) && after.st_size < 4096) {
      EXPECT_EQ(data.read(kSettingsName), serviceFile) << c.name;
    }
    EXPECT_FALSE(program.exists("gone")) << c.name;

    // The panel learns of it through the exception report of the save.
    std::vector<std::string> reports = Reports();
    ASSERT_FALSE(reports.empty()) << c.name;
    std::sort(reports.begin(), reports.end());
    const std::string report = program.read(reports.back());
    EXPECT_EQ(brix32::Between(report, "<Function>", "</Function>"), "Lib.SaveCorvanSettings:190") << c.name;
    EXPECT_EQ(brix32::Between(report, "<e.Message>", "</e.Message>"), save.Error) << c.name;
  }
}

TEST_F(SettingsFileTest, TheDefaultsNeverReplaceAFileThatAppearsMeanwhile) {
  // The service removes its file and writes it anew, again and again, while the panel
  // loads it: a load that finds it missing creates the defaults only where no file is.
  const std::string path = data.file(kSettingsName);
  const std::string serviceFile = "<xml>\r\n  <MainUnit>SRV</MainUnit>\r\n</xml>\r\n";
  std::atomic<bool> stop{false};
  std::atomic<int> serviceWrites{0}, replaced{0};
  std::thread service([&] {
    for (int cycle = 0; !stop; ++cycle) {
      ::unlink(path.c_str());
      // Gone for a moment, or for long enough that the panel sees it missing.
      if (cycle % 2 == 1) std::this_thread::sleep_for(std::chrono::microseconds(500));
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd < 0) continue;  // the panel's came first
      const bool written =
          ::write(fd, serviceFile.data(), serviceFile.size()) == static_cast<ssize_t>(serviceFile.size());
      struct stat own {
      }, now{};
      ::fstat(fd, &own);
      ::close(fd);
      ++serviceWrites;
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      if (written && (::lstat(path.c_str(), &now) != 0 || now.st_ino != own.st_ino)) ++replaced;
    }
  });
  int freshInstalls = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while ((freshInstalls < 50 || serviceWrites < 50) && std::chrono::steady_clock::now() < end) {
    corvantest::ProcessStateGuard::Reset();
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = path;
    const std::int32_t result = Lib::GetCorvanSettings("TfrmMain.RefreshForms:100");
    if (result == 1) ++freshInstalls;
    // Read whatever file is there when it exists: the service's, or the defaults.
    if (result == 0 && Field("Loaded") == "True" && Field("MainUnit") != "") {
      EXPECT_EQ(Field("MainUnit"), "SRV");
    }
  }
  stop = true;
  service.join();
  EXPECT_GT(serviceWrites, 0);
  EXPECT_EQ(replaced, 0) << "of " << serviceWrites << " service files, " << freshInstalls << " fresh installs";
}

TEST_F(SettingsFileTest, ASaveRemovesWhatASaveKilledInTheMiddleLeftBehind) {
  const std::string path = data.file(kSettingsName);
  const auto leftovers = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(data.path()))
      if (e.path().filename().string().starts_with(std::string(kSettingsName) + ".")) names.push_back(e.path());
    return names;
  };
  // Saves killed with SIGKILL wherever they happen to be.
  settingstest::SetAllFields();
  for (int round = 0; round < 100 && leftovers().size() < 3; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
      for (;;) Lib::SaveCorvanSettings();
    std::this_thread::sleep_for(std::chrono::microseconds(200 + 97 * round % 3000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  // And one a test can count on, whatever the kills hit.
  data.write(std::string(kSettingsName) + ".Zz9Yy8", "<xml>\r\n <Glob");
  ASSERT_FALSE(leftovers().empty());

  Lib::SaveCorvanSettings();
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
  EXPECT_EQ(data.read(kSettingsName), Lib::BuildCorvanSettingsText());
  EXPECT_TRUE(Reports().empty());
}

TEST_F(SettingsFileTest, TheFileIsFoundWhateverTheCaseOfItsName) {
  const std::string golden = ReadTestData("settings/all-fields.xml");
  data.write("corvansrvc-settings.xml", golden);
  ASSERT_EQ(Lib::GetCorvanSettings("x"), 0);
  EXPECT_EQ(Field("MainUnit"), "eas");
  EXPECT_EQ(Lib::CorvanSettingsFile(), data.file("corvansrvc-settings.xml"));

  // A save writes the same file: the service and the panel never read two.
  Lib::gCorvanSettings.MainUnit = "STT";
  Lib::SaveCorvanSettings();
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(data.path())) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"corvansrvc-settings.xml"});
  EXPECT_NE(data.read("corvansrvc-settings.xml").find("<MainUnit>STT</MainUnit>"), std::string::npos);

  // The exact name comes first when both are there.
  data.write(kSettingsName, "<xml>\r\n  <MainUnit>ADL</MainUnit>\r\n</xml>\r\n");
  ASSERT_EQ(Lib::GetCorvanSettings("x"), 0);
  EXPECT_EQ(Field("MainUnit"), "ADL");
}

TEST_F(SettingsFileTest, ReadOnlyFolderKeepsTheOldFileAndReports) {
  corvantest::UdpListener syslog{514};
  data.write(kSettingsName, "old content\r\n");
  {
    ScopedMount readOnly(data.path(), ScopedMount::kReadOnly);
    settingstest::SetAllFields();
    Lib::SaveCorvanSettings();
  }
  EXPECT_EQ(data.read(kSettingsName), "old content\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.path()), std::filesystem::directory_iterator()), 1);

  const std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "E!CorvanControl-20240121153607123.XML");
  const std::string report = program.read(reports[0]);
  EXPECT_EQ(brix32::Between(report, "<Function>", "</Function>"), "Lib.SaveCorvanSettings:200");
  EXPECT_EQ(brix32::Between(report, "<Notes>", "</Notes>"),
            "gCorvanSettings.CorvanSrvcSettingsFilePath=" + data.file(kSettingsName));
  EXPECT_NE(brix32::Between(report, "<e.Message>", "</e.Message>").find("Read-only file system"), std::string::npos);

  const auto datagrams = syslog.receive(1);
  ASSERT_EQ(datagrams.size(), 1u);
  EXPECT_NE(datagrams[0].bytes.find("EXCEPTION:Func=Lib.SaveCorvanSettings Trace=200"), std::string::npos);
}

TEST_F(SettingsFileTest, FullDiskKeepsTheOldFileAndLeavesNoTemporary) {
  ScopedMount disk(data.path(), ScopedMount::kSmallDisk);
  const std::string old = ReadTestData("settings/fresh-install.xml");
  data.write(kSettingsName, old);
  {
    // Fill what is left of the 16 KiB, page by page.
    std::FILE* filler = std::fopen(data.file("filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    const std::string page(4096, 'f');
    while (std::fwrite(page.data(), 1, page.size(), filler) == page.size() && std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  }
  settingstest::SetAllFields();
  Lib::SaveCorvanSettings();
  EXPECT_EQ(data.read(kSettingsName), old);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(data.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{kSettingsName, "filler"}));
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_NE(program.read(Reports()[0]).find("No space left on device"), std::string::npos);
}

TEST_F(SettingsFileTest, MissingFolderGivesAFreshInstallThatCannotLoad) {
  corvantest::UdpListener syslog{514};
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = data.file("gone/") + kSettingsName;
  EXPECT_EQ(Lib::GetCorvanSettings("x"), 1);
  EXPECT_EQ(Field("Loaded"), "False");
  EXPECT_EQ(Field("UDPListenPort"), "15167");  // the defaults stay in memory
  EXPECT_FALSE(std::filesystem::exists(data.file("gone")));
  // Both saves of a fresh install fail and report (same millisecond: one report file).
  EXPECT_EQ(Reports().size(), 1u);
  const auto datagrams = syslog.receive(3);
  ASSERT_EQ(datagrams.size(), 2u);
  for (const auto& d : datagrams) EXPECT_NE(d.bytes.find("Func=Lib.SaveCorvanSettings Trace=200"), std::string::npos);
}

TEST_F(SettingsFileTest, LoadErrorReturnsMinusOneReportsAndPostsSyslog) {
  corvantest::UdpListener syslog{514};
  data.write(kSettingsName, "<MainUnit>EAS</MainUnit>\r\n");
  Lib::SetSettingsFileReader([](const std::string&) -> std::string { throw std::runtime_error("read failed"); });
  EXPECT_EQ(Lib::GetCorvanSettings("SetupForm.RefreshSetupForm:100"), -1);
  EXPECT_EQ(Field("Loaded"), "False");
  EXPECT_EQ(Field("MainUnit"), "");

  const std::string name = "E!CorvanControl-20240121153607123.XML";
  ASSERT_EQ(Reports(), std::vector<std::string>{name});
  const std::string report = program.read(name);
  EXPECT_EQ(brix32::Between(report, "<Function>", "</Function>"), "Lib.GetCorvanSettings:300");
  EXPECT_EQ(brix32::Between(report, "<CallingFunction>", "</CallingFunction>"), "SetupForm.RefreshSetupForm:100");
  EXPECT_EQ(brix32::Between(report, "<Notes>", "</Notes>"),
            "gCorvanSettings.CorvanSrvcSettingsFilePath=" + data.file(kSettingsName));
  EXPECT_EQ(brix32::Between(report, "<e.Message>", "</e.Message>"), "read failed");

  // The report's own line (5003) first, then the loader's (0).
  const auto datagrams = syslog.receive(2);
  ASSERT_EQ(datagrams.size(), 2u);
  EXPECT_EQ(datagrams[1].bytes, "<0>CorvanControl:00002 Lib.GetCorvanSettings:Exception! ExceptionRec.FileName=" +
                                    name + " H=\"PC01\" (ID=00000)");
}
