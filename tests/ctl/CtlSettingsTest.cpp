// settings and settings set against the settings file shared with the service.
#include <sys/stat.h>

#include <filesystem>

#include "CtlFixture.h"
#include "ScopedMount.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"
#include "support/HostName.h"

using namespace corvantest;

namespace {

// The file with its "Updated:" line (the time of the save) taken out.
std::string WithoutUpdatedLine(std::string text) {
  const std::size_t at = text.find("   Updated: ");
  if (at == std::string::npos) return text;
  return text.erase(at, text.find("\r\n", at) + 2 - at);
}

class CtlSettingsTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    // What corvanctl puts in the file's comment lines, so that this process writes the same.
    brix32::gGlobalSettings.Version = kProjectVersion;
    brix32::gGlobalSettings.HostName = brix32::GetHostName();
    dir.write("CorvanSrvc-Version.txt", "3.1.0.12");
  }

  std::string File() const { return dir.read("CorvanSrvc-Settings.xml"); }

  // The file this process's settings library writes for the records as they are now.
  std::string Expected() const { return WithoutUpdatedLine(Lib::BuildCorvanSettingsText()); }
};

}  // namespace

TEST_F(CtlSettingsTest, PrintsEverySettingOfAMissingFileWithoutCreatingIt) {
  const CtlResult r = Ctl({"settings"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "SerialComms=\n"
            "ProcessTarnexTCPFeed=True\n"
            "WWWHost=www.tarnex.example\n"
            "WWWHostAlt=\n"
            "WWWHostActive=\n"
            "URI=/vek/rezedozo.dll\n"
            "ProcessVEKUnits=\n"
            "UDPAddr=255.255.255.255\n"
            "UDPListenPort=15167\n"
            "PrintTestPageAtStartup=False\n"
            "EnablePrinting=True\n"
            "PrintCFSTasks=False\n"
            "MainUnit=\n"
            "DaysOfLogFilesRetained=7\n"
            "PDWLogPath=\n"
            "SyslogServer=\n"
            "GUID=\n");
  EXPECT_EQ(r.err, "corvanctl: " + dir.file("CorvanSrvc-Settings.xml") +
                       " is missing; using the defaults (corvanctl settings set creates it)\n");
  EXPECT_FALSE(dir.exists("CorvanSrvc-Settings.xml"));

  // The file as the library creates it for a fresh install.
  EditSettings([] {});
  EXPECT_EQ(WithoutUpdatedLine(File()), Expected());

  // Values of the file printed one a line, whatever they hold.
  EditSettings([] {
    Lib::gCorvanSettings.PDWLogPath = "C:\\PDW\\Logs";
    Lib::gCorvanSettings.EnablePrinting = 2;
    Lib::gVEKSettings.WWWHostActive = "10.99.0.1";
  });
  const CtlResult again = Ctl({"settings"});
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(ValueOf(again.out, "PDWLogPath"), "C:\\\\PDW\\\\Logs");
  EXPECT_EQ(ValueOf(again.out, "EnablePrinting"), "Disabled");
  EXPECT_EQ(ValueOf(again.out, "WWWHostActive"), "10.99.0.1");
}

TEST_F(CtlSettingsTest, SetWritesTheFileByteForByteAsTheLibraryDoes) {
  EditSettings([] { Lib::gVEKSettings.WWWHostActive = "10.99.0.1"; });
  const CtlResult r =
      Ctl({"settings", "set", "MainUnit", "stt", "UDPListenPort", "0", "EnablePrinting", "false", "PDWLogPath",
           "/var/log/pdw", "WWWHost", "127.0.0.1", "PrintCFSTasks", "TRUE", "DaysOfLogFilesRetained", "30"});
  EXPECT_EQ(r.status, 0) << r.err;
  // What changed, in file order.
  EXPECT_EQ(r.out,
            "WWWHost=127.0.0.1\n"
            "ProcessVEKUnits=stt\n"
            "UDPListenPort=0\n"
            "EnablePrinting=False\n"
            "PrintCFSTasks=True\n"
            "MainUnit=STT\n"
            "DaysOfLogFilesRetained=30\n"
            "PDWLogPath=/var/log/pdw\n");
  // The unit filter was empty: it takes the main unit as it was typed.
  EXPECT_EQ(r.err, "corvanctl: ProcessVEKUnits is empty: set to the main unit stt\n");

  Lib::gCorvanSettings.MainUnit = "STT";
  Lib::gCorvanSettings.ProcessVEKUnits = "stt";
  Lib::gCorvanSettings.UDPListenPort = 0;
  Lib::gCorvanSettings.EnablePrinting = 0;
  Lib::gCorvanSettings.PDWLogPath = "/var/log/pdw";
  Lib::gCorvanSettings.PrintCFSTasks = true;
  Lib::gVEKSettings.WWWHost = "127.0.0.1";
  brix32::gGlobalSettings.Log.DaysOfLogFilesRetained = 30;
  EXPECT_EQ(WithoutUpdatedLine(File()), Expected());
  EXPECT_NE(File().find("\r\n   Updated: "), std::string::npos);

  // Printing what was set gives back exactly the values.
  const CtlResult print = Ctl({"settings"});
  EXPECT_EQ(ValueOf(print.out, "MainUnit"), "STT");
  EXPECT_EQ(ValueOf(print.out, "PDWLogPath"), "/var/log/pdw");
  EXPECT_EQ(ValueOf(print.out, "WWWHostActive"), "10.99.0.1");  // the service's, kept
}

TEST_F(CtlSettingsTest, TheSetupDialogsRulesHold) {
  struct Case {
    std::function<void()> stored;
    std::vector<std::string> set;
    std::string out;
    std::string err;
  } cases[] = {
      // A fresh install given its unit: the filter takes the unit as typed.
      {nullptr,
       {"MainUnit", "stt"},
       "ProcessVEKUnits=stt\nMainUnit=STT\n",
       "corvanctl: " + dir.file("CorvanSrvc-Settings.xml") +
           " was missing and has been created with the "
           "defaults\ncorvanctl: ProcessVEKUnits is empty: set to the main unit stt\n"},
      // A filter of its own is kept whatever the main unit becomes.
      {[] { Lib::gCorvanSettings.ProcessVEKUnits = "*"; }, {"MainUnit", "adl"}, "MainUnit=ADL\n", ""},
      // Emptying the filter gives it the stored main unit.
      {[] {
         Lib::gCorvanSettings.MainUnit = "STT";
         Lib::gCorvanSettings.ProcessVEKUnits = "STT,EAS";
       },
       {"ProcessVEKUnits", ""},
       "ProcessVEKUnits=STT\n",
       "corvanctl: ProcessVEKUnits is empty: set to the main unit STT\n"},
      // Serial parameters exclude the TCP feed.
      {[] {},
       {"SerialComms", "COM1,57600,N,8,1"},
       "SerialComms=COM1,57600,N,8,1\nProcessTarnexTCPFeed=False\n",
       "corvanctl: SerialComms is set: ProcessTarnexTCPFeed becomes False\n"},
      {[] { Lib::gCorvanSettings.UDPListenPort = -1; }, {"UDPListenPort", "15167"}, "UDPListenPort=15167\n", ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir.file("CorvanSrvc-Settings.xml"));
    Lib::gCorvanSettings = {};
    Lib::gVEKSettings = {};
    if (c.stored) EditSettings(c.stored);
    std::vector<std::string> args = {"settings", "set"};
    args.insert(args.end(), c.set.begin(), c.set.end());
    const CtlResult r = Ctl(args);
    EXPECT_EQ(r.status, 0) << c.out << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(CtlSettingsTest, RefusedChangesLeaveTheFileAsItWas) {
  EditSettings([] {
    Lib::gCorvanSettings.EnablePrinting = 2;
    Lib::gCorvanSettings.SerialComms = "COM1,57600,N,8,1";
    Lib::gCorvanSettings.ProcessTarnexTCPFeed = false;
  });
  const std::string before = File();
  struct Case {
    std::vector<std::string> set;
    int status;
    const char* err;
  } cases[] = {
      {{"EnablePrinting", "True"},
       1,
       "corvanctl: EnablePrinting is Disabled: the service has no default printer, and only the "
       "service changes that\n"},
      {{"ProcessTarnexTCPFeed", "True"},
       2,
       "corvanctl: ProcessTarnexTCPFeed cannot be True while SerialComms is set\n"},
      // Values the line-by-line reader would not give back.
      {{"URI", ""},
       2,
       "corvanctl: URI: '' cannot be stored in the settings file (it would read back as "
       "'/vek/rezedozo.dll')\n"},
      {{"WWWHost", "a<UDPAddr>b"},
       2,
       "corvanctl: WWWHost: 'a<UDPAddr>b' cannot be stored in the settings file (it would read back "
       "as '')\n"},
      {{"SyslogServer", "10.0.0.1\r\n  <MainUnit>XXX"},
       2,
       "corvanctl: SyslogServer: '10.0.0.1\\r\\n  <MainUnit>XXX' cannot be stored in the settings file (it "
       "would read back as '10.0.0.1')\n"},
      // One bad pair spoils the whole command.
      {{"MainUnit", "ADL", "UDPListenPort", "1"},
       2,
       "corvanctl: UDPListenPort takes 15167 (listen) or 0 (do not bind), not '1'\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"settings", "set"};
    args.insert(args.end(), c.set.begin(), c.set.end());
    const CtlResult r = Ctl(args);
    EXPECT_EQ(r.status, c.status) << c.err;
    EXPECT_TRUE(r.err.starts_with(c.err)) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(File(), before) << c.err;
  }
}

TEST_F(CtlSettingsTest, AFileThatCannotBeWrittenIsAFailureThatChangesNothing) {
  const std::string file = dir.file("CorvanSrvc-Settings.xml");
  const auto failsWith = [&](const std::vector<std::string>& set, const std::string& err) {
    std::vector<std::string> args = {"settings", "set"};
    args.insert(args.end(), set.begin(), set.end());
    const CtlResult r = Ctl(args);
    EXPECT_EQ(r.status, 1) << err;
    EXPECT_EQ(r.out, "") << err;  // nothing printed as changed
    EXPECT_EQ(r.err, "corvanctl: " + err + "; nothing was changed\n");
  };

  EditSettings([] { Lib::gCorvanSettings.MainUnit = "STT"; });
  const std::string before = File();
  {
    ScopedMount readOnly(dir.path(), ScopedMount::kReadOnly);
    failsWith({"MainUnit", "ADL"}, "\"" + file + "\" cannot be written: Read-only file system");
    // Even a value the file holds already: the file could not be written as asked.
    failsWith({"MainUnit", "STT"}, "\"" + file + "\" cannot be written: Read-only file system");
  }
  EXPECT_EQ(File(), before);
  EXPECT_EQ(ValueOf(Ctl({"settings"}).out, "MainUnit"), "STT");

  std::filesystem::remove(file);
  {
    ScopedMount readOnly(dir.path(), ScopedMount::kReadOnly);
    failsWith({"MainUnit", "ADL"}, "\"" + file + "\" cannot be created: Read-only file system");
  }
  EXPECT_FALSE(dir.exists("CorvanSrvc-Settings.xml"));

  // A folder in the file's place: nothing can be read from it or renamed over it.
  std::filesystem::create_directory(file);
  dir.write("CorvanSrvc-Settings.xml/keep", "");
  failsWith({"MainUnit", "ADL"}, "\"" + file + "\" cannot be created: Is a directory");
  EXPECT_TRUE(dir.exists("CorvanSrvc-Settings.xml/keep"));
}

TEST_F(CtlSettingsTest, AFileThatCannotBeReadIsNeverReplaced) {
  const std::string file = dir.file("CorvanSrvc-Settings.xml");
  const std::string serviceFile = "<xml>\r\n  <WWWHost>10.99.0.1</WWWHost>\r\n  <MainUnit>SRV</MainUnit>\r\n</xml>\r\n";

  ASSERT_EQ(::mkfifo(file.c_str(), 0664), 0);
  const CtlResult fifo = Ctl({"settings", "set", "UDPListenPort", "0"});
  EXPECT_EQ(fifo.status, 1);
  EXPECT_EQ(fifo.out, "");
  EXPECT_EQ(fifo.err, "corvanctl: \"" + file + "\" is not a regular file; nothing was changed\n");
  struct stat st {};
  ASSERT_EQ(::lstat(file.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  // A command that only reads says so as well.
  const CtlResult read = Ctl({"settings"});
  EXPECT_EQ(read.status, 1);
  EXPECT_EQ(read.err, "corvanctl: \"" + file + "\" is not a regular file\n");

  // A file larger than the reader takes (sparse: nothing reaches the disk).
  std::filesystem::remove(file);
  dir.write("CorvanSrvc-Settings.xml", serviceFile);
  const std::uintmax_t tooLarge = 64 * 1024 * 1024 + 1;
  std::filesystem::resize_file(file, tooLarge);
  const CtlResult large = Ctl({"settings", "set", "UDPListenPort", "0"});
  EXPECT_EQ(large.status, 1);
  EXPECT_EQ(large.out, "");
  EXPECT_EQ(large.err, "corvanctl: \"" + file + "\" is larger than 64 MB; nothing was changed\n");
  EXPECT_EQ(std::filesystem::file_size(file), tooLarge);
  std::filesystem::remove(file);

  // Another account's file this one may not read, in a folder both may write: run as
  // "nobody" where the test can start a process under another account.
  if (RunResult("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "true"}).status != 0) return;
  std::filesystem::remove(file);
  dir.write("CorvanSrvc-Settings.xml", serviceFile);
  ::chmod(file.c_str(), 0);
  ::chmod(dir.path().c_str(), 0777);
  const CtlResult other =
      RunResult("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", kCorvanCtl, "--folder",
                                     dir.path(), "settings", "set", "UDPListenPort", "0"});
  EXPECT_EQ(other.status, 1);
  EXPECT_EQ(other.out, "");
  EXPECT_EQ(other.err, "corvanctl: \"" + file + "\" cannot be read: Permission denied; nothing was changed\n");
  EXPECT_EQ(File(), serviceFile);
}

TEST_F(CtlSettingsTest, TheFileIsFoundWhateverTheCaseOfItsName) {
  EditSettings([] {
    Lib::gCorvanSettings.MainUnit = "STT";
    Lib::gCorvanSettings.ProcessVEKUnits = "*";
  });
  std::filesystem::rename(dir.file("CorvanSrvc-Settings.xml"), dir.file("corvansrvc-settings.xml"));

  const CtlResult set = Ctl({"settings", "set", "MainUnit", "adl"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out, "MainUnit=ADL\n");
  EXPECT_EQ(set.err, "");
  EXPECT_FALSE(dir.exists("CorvanSrvc-Settings.xml"));  // never a second file
  EXPECT_NE(dir.read("corvansrvc-settings.xml").find("<MainUnit>ADL</MainUnit>"), std::string::npos);

  const CtlResult print = Ctl({"settings"});
  EXPECT_EQ(print.err, "");
  EXPECT_EQ(ValueOf(print.out, "MainUnit"), "ADL");
}
