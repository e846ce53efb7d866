// Help, bad arguments and exit statuses.
#include <filesystem>

#include "CtlFixture.h"

using namespace corvantest;

TEST_F(CtlTest, EveryCommandHasItsHelpAndNothingIsTouchedForIt) {
  for (const char* command :
       {"status", "watch", "settings", "parse", "units", "versions", "broadcast-test", "phone-home"}) {
    const CtlResult r = Ctl({command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_TRUE(r.out.starts_with("Usage: corvanctl [--folder DIR] " + std::string(command))) << r.out;
    EXPECT_EQ(r.err, "");
  }
  const CtlResult general = Ctl({"-h"});
  EXPECT_EQ(general.status, 0);
  EXPECT_NE(general.out.find("Exit status: 0 success, 1 failure, 2 usage error."), std::string::npos);
  // Help neither creates the settings file nor sets aside anything.
  EXPECT_FALSE(dir.exists("CorvanSrvc-Settings.xml"));
}

TEST_F(CtlTest, UsageErrorsExitWithTwoAndChangeNothing) {
  dir.write("CorvanSrvc-Settings.xml", "<xml>\r\n  <MainUnit>STT</MainUnit>\r\n</xml>\r\n");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{}, "corvanctl: no command given\nTry 'corvanctl --help'.\n"},
      {{"frobnicate"}, "corvanctl: unknown command 'frobnicate'\nTry 'corvanctl --help'.\n"},
      {{"status", "--csv"}, "corvanctl: unknown option '--csv' for status\n"},
      {{"--json", "status"}, "corvanctl: unknown option '--json'\n"},  // before its command
      {{"status", "now"}, "corvanctl: status takes no arguments ('now')\n"},
      {{"parse"}, "corvanctl: parse needs the page text, or - to read it\n"},
      {{"parse", "a", "b"}, "corvanctl: parse takes one page text (quote it)\n"},
      {{"parse", "--units"}, "corvanctl: option --units needs a value\n"},
      {{"units", "a.xml", "b.xml"}, "corvanctl: units takes at most one file name\n"},
      {{"units", "fetch", "VEKUnits.xml"}, "corvanctl: units fetch takes no arguments\n"},
      {{"settings", "show"}, "corvanctl: unknown settings action 'show'\n"},
      {{"settings", "set", "MainUnit"}, "corvanctl: settings set takes pairs of NAME VALUE\n"},
      {{"settings", "set", "MainUnit", "ABC", "Bogus", "1"}, "corvanctl: unknown setting 'Bogus'\n"},
      {{"settings", "set", "WWWHostActive", "x"},
       "corvanctl: WWWHostActive is where the service records the host it is connected to\n"},
      {{"settings", "set", "GUID", "x"}, "corvanctl: GUID is read from the settings file but never written to it\n"},
      {{"settings", "set", "UDPListenPort", "15168"},
       "corvanctl: UDPListenPort takes 15167 (listen) or 0 (do not bind), not '15168'\n"},
      {{"settings", "set", "UDPListenPort", "-1"},
       "corvanctl: UDPListenPort takes 15167 (listen) or 0 (do not bind), not '-1'\n"},
      {{"settings", "set", "PrintCFSTasks", "yes"}, "corvanctl: PrintCFSTasks takes True or False, not 'yes'\n"},
      {{"settings", "set", "DaysOfLogFilesRetained", "seven"},
       "corvanctl: DaysOfLogFilesRetained takes a whole number of days, not 'seven'\n"},
      {{"broadcast-test", "--yes"}, "corvanctl: unknown option '--yes' for broadcast-test\n"},
  };
  for (const Case& c : cases) {
    const CtlResult r = Ctl(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_TRUE(r.err.starts_with(c.message)) << r.err;
    EXPECT_EQ(r.out, "") << c.message;
  }
  EXPECT_EQ(dir.read("CorvanSrvc-Settings.xml"), "<xml>\r\n  <MainUnit>STT</MainUnit>\r\n</xml>\r\n");
}

TEST_F(CtlTest, FailuresExitWithOne) {
  const CtlResult noFolder = RunResult(kCorvanCtl, {"--folder", dir.file("absent"), "status"});
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_TRUE(noFolder.err.starts_with("corvanctl: cannot open the folder " + dir.file("absent"))) << noFolder.err;

  dir.write("plain", "not a folder");
  const CtlResult notFolder = RunResult(kCorvanCtl, {"--folder", dir.file("plain"), "status"});
  EXPECT_EQ(notFolder.status, 1);
  EXPECT_EQ(notFolder.err, "corvanctl: " + dir.file("plain") + " is not a folder\n");

  const CtlResult units = Ctl({"units", dir.file("absent.xml")});
  EXPECT_EQ(units.status, 1);
  EXPECT_EQ(units.err, "corvanctl: " + dir.file("absent.xml") + " does not exist.\n");

  const CtlResult suburbs = Ctl({"parse", "--suburbs", dir.file("absent.txt"), "page"});
  EXPECT_EQ(suburbs.status, 1);
  EXPECT_EQ(suburbs.err, "corvanctl: cannot load the suburbs: " + dir.file("absent.txt") + " does not exist.\n");
}

TEST_F(CtlTest, CommandsThatChangeNothingNeverCreateTheSettingsFile) {
  // Run in a folder without one (the wrong folder, or before the service's first start),
  // they say so and go on with the defaults.
  const std::string missing = "corvanctl: " + dir.file("CorvanSrvc-Settings.xml") +
                              " is missing; using the defaults (corvanctl settings set creates it)\n";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"status"},
                                               {"status", "--json"},
                                               {"settings"},
                                               {"versions"},
                                               {"broadcast-test"},
                                               {"phone-home"}}) {
    const CtlResult r = Ctl(args);
    EXPECT_TRUE(r.err.starts_with(missing)) << args.front() << ": " << r.err;
    EXPECT_FALSE(dir.exists("CorvanSrvc-Settings.xml")) << args.front();
  }
  EXPECT_EQ(ValueOf(Ctl({"status"}).out, "StatusText"), "CorvanSrvc.exe is missing.");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"units"}, {"parse", "TEST PAGE"}}) {
    Ctl(args);
    EXPECT_FALSE(dir.exists("CorvanSrvc-Settings.xml")) << args.front();
  }

  SimProcess watch(kCorvanCtl, {"--folder", dir.path(), "watch"});
  // Ready once its whole line on standard error is there.
  watch.waitForError("(Ctrl-C to stop)\n", std::chrono::seconds(30));
  EXPECT_TRUE(watch.err().starts_with(missing)) << watch.err();
  // The service removing its file is watched, not mended.
  dir.write("CorvanSrvc-Settings.xml", "<xml>\r\n  <WWWHostActive>10.99.0.1</WWWHostActive>\r\n</xml>\r\n");
  ASSERT_TRUE(watch.waitForOutput("WWWHostActive=10.99.0.1\n")) << watch.out() << watch.err();
  std::filesystem::remove(dir.file("CorvanSrvc-Settings.xml"));
  dir.write("CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "after");
  ASSERT_TRUE(watch.waitForOutput("Heartbeat=UDP:after\n")) << watch.out();
  EXPECT_EQ(watch.stop(), 0);
  EXPECT_FALSE(dir.exists("CorvanSrvc-Settings.xml"));
}
