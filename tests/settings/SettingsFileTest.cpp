// Loading and saving the real file: golden bytes, fresh install, round trip, damaged files
// and failed writes. A failure writes an exception report, which posts a syslog broadcast.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "Hermetic.h"
#include "SettingsTestSupport.h"
#include "TempFolder.h"
#include "TextUtils.h"
#include "UdpListener.h"

using corvantest::ReadTestData;
using corvantest::TempFolder;
using settingstest::Field;
using settingstest::Snapshot;

namespace {

const char kSettingsName[] = "CorvanSrvc-Settings.xml";

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    settingstest::ResetRecords();
    settingstest::SetIdentity(program.path());
    brix32::gGlobalSettings.SelfName = "CorvanControl";
    brix32::gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = data.file(kSettingsName);
  }
  void TearDown() override { settingstest::ResetRecords(); }

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

  TempFolder program;  // program folder: version file and exception reports
  TempFolder data;     // settings folder
  corvantest::FixedClock clock{2024, 1, 21, 15, 36, 7, 123};
};

std::string WithoutUpdatedLine(const std::string& text) {
  const std::size_t start = text.find("   Updated: ");
  const std::size_t end = text.find("\r\n", start);
  return text.substr(0, start) + text.substr(end);
}

// A mount over a folder for the life of the object: a read-only view that root cannot
// write through either, or a tiny file system to fill up.
class ScopedMount {
 public:
  enum Kind { kReadOnly, kSmallDisk };
  ScopedMount(const std::string& folder, Kind kind) : folder_(folder) {
    const char* f = folder_.c_str();
    const bool ok =
        kind == kReadOnly
            ? ::mount(f, f, nullptr, MS_BIND, nullptr) == 0 &&
                  ::mount(nullptr, f, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0
            : ::mount("corvan-small", f, "tmpfs", 0, "size=16k,mode=0755") == 0;
    if (!ok) throw std::runtime_error(std::string("mount failed: ") + std::strerror(errno));
  }
  ~ScopedMount() { ::umount2(folder_.c_str(), MNT_DETACH); }
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;

 private:
  std::string folder_;
};

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
  while (tenMegabytes.size() < 10 * 1024 * 1024)
    tenMegabytes += "  <!-- filler --> no tag here\r\n";
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
       {{"UDPAddr", "255.255.255.255"},
        {"URI", "/vek/rezedozo.dll"},
        {"UDPListenPort", "0"},
        {"MainUnit", ""}}},
      {"binary with a zero byte inside a value",
       binary,
       {{"MainUnit", std::string("A\0B", 3)}, {"UDPAddr", "255.255.255.255"}}},
      {"10 MB of lines", tenMegabytes, {{"MainUnit", "EAS"}, {"WWWHost", ""}}},
      {"10 MB on one line without a closing tag",
       oneLongLine,
       {{"SerialComms", std::string(10 * 1024 * 1024, 'x')}}},
      // One long line: only the tag tested first is read.
      {"no line ends",
       replaceAll(golden, "\r\n", ""),
       {{"MainUnit", "eas"},
        {"SerialComms", ""},
        {"UDPAddr", "255.255.255.255"},
        {"URI", "/vek/rezedozo.dll"}}},
      {"truncated inside an opening tag",
       golden.substr(0, cutInTag + 11),
       {{"UDPAddr", "10.99.0.2"},
        {"ProcessVEKUnits", "EAS,MTB"},
        {"UDPListenPort", "0"},
        {"MainUnit", ""}}},
      {"truncated inside a value",
       golden.substr(0, cutInValue),
       {{"UDPAddr", "10.99.0.2"}, {"UDPListenPort", "15167"}, {"EnablePrinting", "0"}}},
      {"truncated inside the header comment",
       golden.substr(0, 40),
       {{"MainUnit", ""}, {"UDPAddr", "255.255.255.255"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadBytes(c.bytes), 0) << c.name;
    EXPECT_EQ(Field("Loaded"), "True") << c.name;
    for (const auto& [field, value] : c.expected)
      EXPECT_TRUE(Field(field) == value)
          << c.name << ": " << field << " has " << Field(field).size() << " bytes";
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

  // A device exists but is not read: no lines, no endless read.
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = "/dev/zero";
  EXPECT_EQ(Lib::GetCorvanSettings("x"), 0);
  EXPECT_EQ(Field("Loaded"), "True");
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
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.path()),
                          std::filesystem::directory_iterator()),
            1);

  const std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "E!CorvanControl-20240121153607123.XML");
  const std::string report = program.read(reports[0]);
  EXPECT_EQ(brix32::Between(report, "<Function>", "</Function>"), "Lib.SaveCorvanSettings:200");
  EXPECT_EQ(brix32::Between(report, "<Notes>", "</Notes>"),
            "gCorvanSettings.CorvanSrvcSettingsFilePath=" + data.file(kSettingsName));
  EXPECT_NE(brix32::Between(report, "<e.Message>", "</e.Message>").find("Read-only file system"),
            std::string::npos);

  const auto datagrams = syslog.receive(1);
  ASSERT_EQ(datagrams.size(), 1u);
  EXPECT_NE(datagrams[0].bytes.find("EXCEPTION:Func=Lib.SaveCorvanSettings Trace=200"),
            std::string::npos);
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
    while (std::fwrite(page.data(), 1, page.size(), filler) == page.size() &&
           std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  }
  settingstest::SetAllFields();
  Lib::SaveCorvanSettings();
  EXPECT_EQ(data.read(kSettingsName), old);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(data.path()))
    names.push_back(e.path().filename());
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
  for (const auto& d : datagrams)
    EXPECT_NE(d.bytes.find("Func=Lib.SaveCorvanSettings Trace=200"), std::string::npos);
}

TEST_F(SettingsFileTest, LoadErrorReturnsMinusOneReportsAndPostsSyslog) {
  corvantest::UdpListener syslog{514};
  data.write(kSettingsName, "<MainUnit>EAS</MainUnit>\r\n");
  Lib::SetSettingsFileReader(
      [](const std::string&) -> std::string { throw std::runtime_error("read failed"); });
  EXPECT_EQ(Lib::GetCorvanSettings("SetupForm.RefreshSetupForm:100"), -1);
  EXPECT_EQ(Field("Loaded"), "False");
  EXPECT_EQ(Field("MainUnit"), "");

  const std::string name = "E!CorvanControl-20240121153607123.XML";
  ASSERT_EQ(Reports(), std::vector<std::string>{name});
  const std::string report = program.read(name);
  EXPECT_EQ(brix32::Between(report, "<Function>", "</Function>"), "Lib.GetCorvanSettings:300");
  EXPECT_EQ(brix32::Between(report, "<CallingFunction>", "</CallingFunction>"),
            "SetupForm.RefreshSetupForm:100");
  EXPECT_EQ(brix32::Between(report, "<Notes>", "</Notes>"),
            "gCorvanSettings.CorvanSrvcSettingsFilePath=" + data.file(kSettingsName));
  EXPECT_EQ(brix32::Between(report, "<e.Message>", "</e.Message>"), "read failed");

  // The report's own line (5003) first, then the loader's (0).
  const auto datagrams = syslog.receive(2);
  ASSERT_EQ(datagrams.size(), 2u);
  EXPECT_EQ(datagrams[1].bytes,
            "<0>CorvanControl:00002 Lib.GetCorvanSettings:Exception! ExceptionRec.FileName=" +
                name + " H=\"PC01\" (ID=00000)");
}
