// versions, broadcast-test and phone-home: the vendor's host simulated on loopback, the
// broadcasts caught by listeners inside the private network namespace.
#include <filesystem>
#include <thread>

#include "CtlFixture.h"
#include "UdpListener.h"
#include "settings/CorvanSettings.h"

using namespace corvantest;
using ms = std::chrono::milliseconds;

namespace {

class CtlNetworkTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    EditSettings([] {
      Lib::gVEKSettings.WWWHost = "127.0.0.1";
      Lib::gCorvanSettings.MainUnit = "eas";
    });
  }

  std::unique_ptr<SimProcess> StartHost(const std::vector<std::string>& Args) {
    auto host = std::make_unique<SimProcess>(kHostSim, Args);
    EXPECT_TRUE(host->waitForOutput("ready")) << host->err();
    return host;
  }
};

}  // namespace

TEST_F(CtlNetworkTest, VersionsReportAgainstThePublishedVersions) {
  dir.write("CorvanSrvc-Version.txt", "3.1.0.12");
  dir.write("SheetPress-Version.txt", "2.0.0.7");
  {
    auto host = StartHost(
        {"--control-version", kProjectVersion, "--service-version", "3.1.0.13", "--sheetpress-version", "2.0.0.7"});
    const CtlResult r = Ctl({"versions"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Current Corvan Service Binary Versions:\n\n"
              " - CorvanControl.EXE version: " +
                  kProjectVersion +
                  "  - At latest version\n"
                  " - CorvanSrvc.EXE version: 3.1.0.12  - An update is available *\n"
                  " - SheetPress.EXE version: 2.0.0.7  - At latest version\n"
                  "\n"
                  "* Program updates for these files are available for download at https://127.0.0.1/downloads.\n");
  }

  // No host: nothing published reads as 0.0.0.0, and the report is still given.
  std::filesystem::remove(dir.file("SheetPress-Version.txt"));
  const CtlResult unreachable = Ctl({"versions"});
  EXPECT_EQ(unreachable.status, 0) << unreachable.err;
  EXPECT_NE(unreachable.out.find(" - CorvanSrvc.EXE version: 3.1.0.12  - An update is available *\n"),
            std::string::npos);
  EXPECT_NE(unreachable.out.find(" - SheetPress.EXE version: 0.0.0.0  - At latest version\n"), std::string::npos);

  // Blanks and a line end after the version are not part of it.
  dir.write("CorvanSrvc-Version.txt", "3.1.0.13 \r\n");
  const CtlResult lineEnd = Ctl({"versions"});
  EXPECT_EQ(lineEnd.status, 0) << lineEnd.err;
  EXPECT_NE(lineEnd.out.find(" - CorvanSrvc.EXE version: 3.1.0.13  - "), std::string::npos) << lineEnd.out;
  EXPECT_EQ(ValueOf(Ctl({"status"}).out, "ServiceVersion"), "3.1.0.13");

  // Anything else after the build number is no version: no report.
  dir.write("CorvanSrvc-Version.txt", "3.1.0.12 beta\r\n");
  const CtlResult bad = Ctl({"versions"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err,
            "corvanctl: a version file does not hold four whole numbers: '12 beta' is not a valid "
            "integer value\n");
}

TEST_F(CtlNetworkTest, BroadcastTestSendsTheDummyPageOnBothPorts) {
  dir.write("VEKUnits.xml", ReadTestData("ctl/VEKUnits.xml"));
  UdpListener pages(15167);
  UdpListener peers(15171);

  const CtlResult r = Ctl({"broadcast-test"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Incident 9000 for EAS was broadcast on 255.255.255.255.\n\n"
            "Note: This broadcast page was loaded from the DummyPage.txt file. If you send another "
            "broadcast today then be sure to change the MFS Incident Number in the file to make it "
            "unique.\n\n"
            "If you are not seeing the broadcast, try changing the broadcast address so that is and "
            "inverse of the local subnet address. Eg If subnet is 255.255.255.0 then set the "
            "broadcast to be 0.0.0.255.\n");

  // The file made for a missing dummy page, with the main unit code in capitals.
  const std::string page = dir.read("DummyPage.txt");
  EXPECT_TRUE(page.starts_with("TEST PAGE INC:S9000 ")) << page;
  EXPECT_TRUE(
      page.ends_with(" RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH MAP:ADL 128 D15, TEST "
                     "ONLY. PLEASE IGNORE EAS20"))
      << page;
  // Each packet: "0000001 hh:nn dd-mm-yy " and the page with "*CFSRES " for "TEST PAGE ".
  const std::string sent = "*CFSRES " + page.substr(10) + " ";
  for (UdpListener* listener : {&pages, &peers}) {
    const std::vector<Datagram> got = listener->receive(1, ms(2000));
    ASSERT_EQ(got.size(), 1u) << "port " << listener->port();
    const std::string& packet = got.front().bytes;
    ASSERT_EQ(packet.size(), 8 + 14 + 1 + sent.size()) << packet;
    EXPECT_TRUE(packet.starts_with("0000001 ")) << packet;
    EXPECT_EQ(packet.substr(10, 1) + packet.substr(13, 1) + packet.substr(16, 1) + packet.substr(19, 1), ": --")
        << packet;
    EXPECT_EQ(packet.substr(23), sent);
  }

  // An edited page is sent as it stands; the message shows what the parse found.
  dir.write("DummyPage.txt", "MY PAGE INC:S12 20/06/22 14:30 TEST");
  ASSERT_EQ(Ctl({"broadcast-test"}).out.substr(0, 28), "Incident 0012 for CFS was br");
  const std::vector<Datagram> edited = pages.receive(1, ms(2000));
  ASSERT_EQ(edited.size(), 1u);
  EXPECT_TRUE(edited.front().bytes.ends_with(" MY PAGE INC:S12 20/06/22 14:30 TEST ")) << edited.front().bytes;
}

TEST_F(CtlNetworkTest, TheDemosDummyPageIsAnIncidentOfTheDemosUnit) {
  // scripts/demo puts these two files beside a panel whose main unit is STT.
  dir.write("VEKUnits.xml", ReadTestData("tools/VEKUnits.xml"));
  dir.write("DummyPage.txt", ReadTestData("tools/DummyPage.txt"));
  EditSettings([] { Lib::gCorvanSettings.MainUnit = "STT"; });
  UdpListener pages(15167);
  const CtlResult r = Ctl({"broadcast-test"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("Incident 9123 for STT was broadcast on 255.255.255.255.\n")) << r.out;
  EXPECT_EQ(pages.receive(1, ms(2000)).size(), 1u);
}

TEST_F(CtlNetworkTest, BroadcastTestWithoutADummyPageSendsNothing) {
  UdpListener pages(15167);
  // A folder in the file's place: it can neither be read nor created.
  std::filesystem::create_directory(dir.file("DummyPage.txt"));
  const CtlResult r = Ctl({"broadcast-test"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "corvanctl: Oops! Spoke too soon. " + dir.file("DummyPage.txt") + " is missing!\n");
  EXPECT_TRUE(pages.receive(1, ms(500)).empty());
}

TEST_F(CtlNetworkTest, PhoneHomeReachesTheHost) {
  const std::string log = dir.file("phonehome.log");
  auto host = StartHost({"--phonehome-log", log});
  const CtlResult r = Ctl({"phone-home"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "A UDP PhoneHome test packet was sent to 127.0.0.1:15171.\n");
  ASSERT_TRUE(host->waitForOutput("phone-home report from", ms(5000))) << host->out();
  for (int i = 0; i < 100 && !dir.exists("phonehome.log"); ++i) std::this_thread::sleep_for(ms(20));
  const std::string report = dir.read("phonehome.log");
  EXPECT_TRUE(report.starts_with("<PhoneHome><CorvanCtl> v" + kProjectVersion + "<MainUnit>eas</MainUnit>")) << report;
  EXPECT_NE(report.find("<Event>CorvanCtl Test</Event>"), std::string::npos) << report;
  EXPECT_NE(report.find("<Path>" + dir.path() + "</Path>"), std::string::npos) << report;

  EditSettings([] { Lib::gVEKSettings.WWWHost = ""; });
  const CtlResult failed = Ctl({"phone-home"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, "corvanctl: The UDP PhoneHome test packet failed to send to :15171!\n");
}
