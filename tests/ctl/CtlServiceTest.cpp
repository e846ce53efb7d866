// status and watch beside the simulated service.
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <filesystem>
#include <sstream>
#include <thread>

#include "CtlFixture.h"
#include "settings/CorvanSettings.h"
#include "support/FileUtils.h"

using namespace corvantest;
using ms = std::chrono::milliseconds;

namespace {

class CtlServiceTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    EditSettings([] {
      Lib::gVEKSettings.WWWHost = "127.0.0.1";
      Lib::gCorvanSettings.MainUnit = "STT";
      Lib::gCorvanSettings.UDPListenPort = 0;
    });
  }

  // Lets the service's steps run: files are checked until they hold what the test expects.
  bool WaitForFile(const std::string& Name, const std::string& Text) const {
    for (int i = 0; i < 200; ++i) {
      // The service deletes and writes the message file anew: it may be gone for a moment.
      if (brix32::FileToBin(dir.file(Name)).find(Text) != std::string::npos) return true;
      std::this_thread::sleep_for(ms(25));
    }
    return false;
  }
};

}  // namespace

TEST_F(CtlServiceTest, StatusFollowsTheServiceAsThePanelDecidesIt) {
  const CtlResult missing = Ctl({"status"});
  EXPECT_EQ(missing.status, 0) << missing.err;
  EXPECT_EQ(missing.out,
            "StatusText=CorvanSrvc.exe is missing.\n"
            "HintText=The CorvanSrvc.exe is missing. You can download a copy from https://127.0.0.1/downloads.\n"
            "ProcessCount=0\n"
            "PrintingReady=False\n"
            "GoingCount=\n"
            "ControlVersion=" +
                kProjectVersion +
                "\n"
                "ServiceVersion=\n"
                "WWWHostActive=\n"
                "CalloutReportURL=https://127.0.0.1/vek/CalloutReport-STT-7Day.html\n");

  std::filesystem::copy_file(kServiceSim, dir.file("corvansrvc.exe"));
  EXPECT_EQ(ValueOf(Ctl({"status"}).out, "StatusText"), "Corvan service is not running.");

  auto service = StartService({"0 msg CorvanSrvc connected.", "0 going 2"});
  ASSERT_TRUE(WaitForFile("CORVANSRVC-TARNEX-HEARTBEAT.TXT", " G=2 "));
  const CtlResult running = Ctl({"status", "--json"});
  EXPECT_EQ(running.status, 0) << running.err;
  EXPECT_EQ(running.out,
            "{\n"
            "  \"StatusText\": \"Corvan service is running.\",\n"
            "  \"HintText\": \"Happy Days! The service is running, connected and printing is enabled.\",\n"
            "  \"ProcessCount\": 1,\n"
            "  \"PrintingReady\": true,\n"
            "  \"GoingCount\": 2,\n"
            "  \"ControlVersion\": \"" +
                kProjectVersion +
                "\",\n"
                "  \"ServiceVersion\": \"3.1.0.12\",\n"
                "  \"WWWHostActive\": \"127.0.0.1\",\n"
                "  \"CalloutReportURL\": \"https://127.0.0.1/vek/CalloutReport-STT-7Day.html\"\n"
                "}\n");
  service->stop();

  service = StartService({"0 msg CorvanSrvc: Disconnected from 127.0.0.1", "0 tarnex HEARTBEAT\r\n"});
  ASSERT_TRUE(WaitForFile("CORVANSRVC-MSG.TXT", "Disconnected"));
  ASSERT_TRUE(WaitForFile("CORVANSRVC-TARNEX-HEARTBEAT.TXT", "HEARTBEAT"));
  const CtlResult disconnected = Ctl({"status"});
  EXPECT_EQ(ValueOf(disconnected.out, "StatusText"), "Disconnected from 127.0.0.1");
  EXPECT_EQ(ValueOf(disconnected.out, "HintText"),
            "The Corvan service cannot connect to the Tarnex server. Check that you can PING:- \"127.0.0.1\"");
  EXPECT_EQ(ValueOf(disconnected.out, "PrintingReady"), "False");
  EXPECT_EQ(ValueOf(disconnected.out, "GoingCount"), "");  // no count in the last heartbeat
}

TEST_F(CtlServiceTest, WatchPrintsTheEventsThePanelReactsTo) {
  std::filesystem::copy_file(kServiceSim, dir.file("corvansrvc.exe"));
  SimProcess watch(kCorvanCtl, {"--folder", dir.path(), "watch"});
  // Ready once its whole line on standard error is there.
  watch.waitForError("(Ctrl-C to stop)\n", std::chrono::seconds(30));
  ASSERT_NE(watch.err().find("corvanctl: watching " + dir.path() + " (Ctrl-C to stop)"), std::string::npos)
      << watch.err();

  auto service = StartService(
      {"0 going 3", "200 serial PAGE\r\nTWO", "400 msg CorvanSrvc connected.", "600 host 10.99.0.1", "800 udp PACKET"});
  ASSERT_TRUE(watch.waitForOutput("Heartbeat=UDP:PACKET\n")) << watch.out();
  // A message rewritten in place is no new message.
  dir.write("CORVANSRVC-MSG.TXT", "rewritten");
  dir.write("unrelated.txt", "x");
  dir.write("CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "LAST");
  ASSERT_TRUE(watch.waitForOutput("Heartbeat=UDP:LAST\n")) << watch.out();
  EXPECT_EQ(watch.stop(), 0);

  // Each line: "dd/mm/yyyy hh:nn:ss Name=value", once for each write however many changes
  // it caused; the service's start records its host in the settings file, which shows first.
  std::vector<std::string> events;
  std::istringstream lines(watch.out());
  for (std::string line; std::getline(lines, line);) {
    ASSERT_GT(line.size(), 20u) << line;
    EXPECT_EQ(line.substr(2, 1) + line.substr(5, 1) + line.substr(13, 1) + line.substr(19, 1), "//: ");
    events.push_back(line.substr(20));
  }
  const std::vector<std::string> expected = {
      "WWWHostActive=127.0.0.1",     "Heartbeat=INFO:V=3.1.0.12 G=3 ", "GoingCount=3",
      "Heartbeat=COM:PAGE\\r\\nTWO", "Message=CorvanSrvc connected.",  "StatusText=Corvan service is running.",
      "WWWHostActive=10.99.0.1",     "Heartbeat=UDP:PACKET",           "Heartbeat=UDP:LAST",
  };
  EXPECT_EQ(events, expected) << watch.out();
}

TEST_F(CtlServiceTest, WatchSaysHowManyRepeatsOfAHeartbeatItFolded) {
  SimProcess watch(kCorvanCtl, {"--folder", dir.path(), "watch"});
  // Ready once its whole line on standard error is there.
  watch.waitForError("(Ctrl-C to stop)\n", std::chrono::seconds(30));
  ASSERT_NE(watch.err().find("watching"), std::string::npos) << watch.err();

  // The same heartbeat, faster than once a second, for six seconds.
  const int writes = 20;
  for (int i = 0; i < writes; ++i) {
    dir.write("CORVANSRVC-TARNEX-HEARTBEAT.TXT", "INFO:V=3.1.0.12 G=3 ");
    std::this_thread::sleep_for(ms(300));
  }
  // Said while they come, or within a few seconds after the last one.
  ASSERT_TRUE(watch.waitForOutput(" Repeated=")) << watch.out();
  EXPECT_EQ(watch.stop(), 0);

  int shown = 0, folded = 0;
  std::istringstream lines(watch.out());
  for (std::string line; std::getline(lines, line);) {
    const std::string event = line.substr(20);
    if (event == "Heartbeat=INFO:V=3.1.0.12 G=3 ") {
      ++shown;
    } else if (event == "GoingCount=3") {
    } else {
      ASSERT_TRUE(event.starts_with("Repeated=") && event.ends_with(" Heartbeat=INFO:V=3.1.0.12 G=3 ")) << line;
      folded += std::stoi(event.substr(9));
    }
  }
  EXPECT_GE(shown, 1);
  // Every write shows as a line or in a count, and none twice (a watch slowed down by a
  // busy machine may read two writes as one).
  EXPECT_LE(shown + folded, writes) << watch.out();
  EXPECT_GE(shown + folded, writes / 2) << watch.out();
}

TEST_F(CtlServiceTest, WatchJsonGivesTheSameEventsAsJsonLines) {
  std::filesystem::copy_file(kServiceSim, dir.file("corvansrvc.exe"));
  SimProcess watch(kCorvanCtl, {"--folder", dir.path(), "watch", "--json"});
  // Ready once its whole line on standard error is there.
  watch.waitForError("(Ctrl-C to stop)\n", std::chrono::seconds(30));
  ASSERT_NE(watch.err().find("watching"), std::string::npos) << watch.err();

  auto service = StartService({"0 going 3", "200 serial PAGE\r\nTWO", "400 msg CorvanSrvc: Disconnected from x",
                               "600 host 10.99.0.1", "800 udp PACKET"});
  ASSERT_TRUE(watch.waitForOutput("\"Text\":\"PACKET\"")) << watch.out();
  // The same text again within a second is folded, and the count said a little later.
  dir.write("CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "PACKET");
  ASSERT_TRUE(watch.waitForOutput("\"Event\":\"Repeated\"")) << watch.out();
  EXPECT_EQ(watch.stop(), 0);

  // Each line one object whose first member is the time, then the event's members.
  std::vector<std::string> events;
  std::istringstream lines(watch.out());
  const QRegularExpression iso("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$");
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
    ASSERT_TRUE(doc.isObject()) << line;
    QJsonObject object = doc.object();
    EXPECT_TRUE(iso.match(object.take("Time").toString()).hasMatch()) << line;
    events.push_back(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
    EXPECT_TRUE(line.starts_with("{\"Time\":\"")) << line;
  }
  // (Qt writes the members back sorted by name.)
  const std::vector<std::string> expected = {
      R"({"Event":"Settings","WWWHostActive":"127.0.0.1"})",
      R"({"Event":"Heartbeat","Feed":"vendor","GoingCount":3,"Text":"INFO:V=3.1.0.12 G=3 "})",
      R"({"Event":"Heartbeat","Feed":"serial","GoingCount":null,"Text":"PAGE\r\nTWO"})",
      R"({"Alarm":true,"Event":"Message","HintText":"The Corvan service cannot connect to the Tarnex server. )"
      R"(Check that you can PING:- \"127.0.0.1\"","PrintingReady":false,"StatusText":"Disconnected from 127.0.0.1",)"
      R"("Text":"CorvanSrvc: Disconnected from x"})",
      R"({"Event":"Settings","WWWHostActive":"10.99.0.1"})",
      R"({"Event":"Heartbeat","Feed":"udp","GoingCount":null,"Text":"PACKET"})",
      R"({"Count":1,"Event":"Repeated","Feed":"udp","Of":"Heartbeat","Text":"PACKET"})",
  };
  EXPECT_EQ(events, expected) << watch.out();
}
