#include <gtest/gtest.h>

#include "status/StatusRules.h"
#include "support/DateTime.h"

using namespace MainForm;

namespace {

tServiceState Running(std::int32_t processes, std::string message, std::int32_t printing) {
  tServiceState s;
  s.ServiceProgramExists = true;
  s.ProcessCount = processes;
  s.MessageText = std::move(message);
  s.WWWHost = "corvantest";
  s.EnablePrinting = printing;
  return s;
}

}  // namespace

TEST(DecideStatus, FirstMatchingRowWins) {
  tServiceState missing = Running(1, "Disconnect", 1);
  missing.ServiceProgramExists = false;
  struct Case {
    tServiceState state;
    const char* status;
    const char* hint;
  } cases[] = {
      // A missing program wins over a running process and a disconnect.
      {missing, "CorvanSrvc.exe is missing.",
       "The CorvanSrvc.exe is missing. You can download a copy from https://corvantest/downloads."},
      {Running(0, "Disconnect", 1), "Corvan service is not running.", "Start the CorvanSrvc Service."},
      {Running(1, "xx Disconnected from host", 1), "Disconnected from corvantest",
       "The Corvan service cannot connect to the Tarnex server. Check that you can PING:- \"corvantest\""},
      // Two processes: decided by the message and the printing setting alone.
      {Running(2, "connected", 1), "Corvan service is running.",
       "Happy Days! The service is running, connected and printing is enabled."},
      {Running(1, "disconnect", 1), "Corvan service is running.",
       "Happy Days! The service is running, connected and printing is enabled."},
      {Running(1, "", 0), "Printing is disabled.", "Tasksheet will not be printed"},
      {Running(1, "", 2), "Printing is disabled.", "Tasksheet will not be printed"},
  };
  for (const auto& c : cases) {
    const tGetStatus got = DecideStatus(c.state);
    EXPECT_EQ(got.StatusText, c.status);
    EXPECT_EQ(got.HintText, c.hint);
  }
}

TEST(PrintingReady, NeedsPrintingOneProcessAndNoDisconnect) {
  EXPECT_TRUE(PrintingReady(Running(1, "Connected to corvantest", 1)));
  EXPECT_FALSE(PrintingReady(Running(0, "", 1)));
  EXPECT_FALSE(PrintingReady(Running(2, "", 1)));
  EXPECT_FALSE(PrintingReady(Running(1, "Disconnect", 1)));
  EXPECT_FALSE(PrintingReady(Running(1, "", 0)));
  EXPECT_FALSE(PrintingReady(Running(1, "", 2)));
}

TEST(GoingCount, NumberAfterGUpToTheNextBlank) {
  struct Case {
    const char* text;
    std::int32_t count;
    const char* title;
  } cases[] = {
      {"INFO:V=3.1 G=2 T=10", 2, "GOING RFAs"},
      {"INFO:V=3.1 G=1 ", 1, "GOING RFA"},
      {"INFO:V=3.1 G=0 ", 0, "GOING RFAs"},
      {"INFO:V=3.1 G=12", 12, "GOING RFAs"},  // no blank after: the rest of the text
      {" G=4 INFO:V=3.1", 4, "GOING RFAs"},   // the markers in either order
      {"INFO:V=3.1 G=+7 ", 7, "GOING RFAs"},
      {"INFO:V=3.1 G=x ", -1, "GOING RFAs"},  // not a number
      {"INFO:V=3.1 G=2x ", -1, "GOING RFAs"},
      {"INFO:V=3.1 G= 2", -1, "GOING RFAs"},  // the blank ends an empty number
      {"INFO:V=3.1 G=-3 ", -1, "GOING RFAs"},
      {"INFO:V=3.1 G=99999999999 ", -1, "GOING RFAs"},
      {"HEARTBEAT G=2 ", -1, "GOING RFAs"},   // no "INFO:V="
      {"INFO:V=3.1 g=2 ", -1, "GOING RFAs"},  // case matters
      {"INFO:V=3.1G=2 ", -1, "GOING RFAs"},   // " G=" needs its blank
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GoingCount(c.text), c.count) << c.text;
    EXPECT_EQ(GoingTitle(GoingCount(c.text)), c.title) << c.text;
  }
}

TEST(StatusTexts, HintsLinksAndPictureNames) {
  const brix32::TDateTime t = brix32::EncodeDateTime({2013, 10, 3, 7, 5, 9, 0});
  EXPECT_EQ(LastMessageHint("Corvan Service Control.", "1.2.3.4", t),
            "Corvan Service Control. v1.2.3.4\nLast message at 03/10/13 07:05:09");
  EXPECT_EQ(CalloutReportURL("corvantest", "STT"), "https://corvantest/vek/CalloutReport-STT-7Day.html");
  EXPECT_EQ(CalloutReportURL("corvantest", ""), "");
  EXPECT_EQ(DataSourcePictureName(t), "CORVANSRVC-DATASOURCE-20131003.jpg");
  EXPECT_TRUE(StatusShowsRunning("Corvan service is running."));
  EXPECT_FALSE(StatusShowsRunning("Corvan service is not running."));
  EXPECT_FALSE(StatusShowsRunning("Printing is disabled."));
}

TEST(ServiceFileOf, TheFilesThePanelReactsToInAnyCase) {
  struct Case {
    const char* name;
    bool added;
    tServiceFile file;
  } cases[] = {
      {"CORVANSRVC-TARNEX-HEARTBEAT.TXT", false, tServiceFile::TarnexHeartbeat},
      {"corvansrvc-serial-heartbeat.txt", false, tServiceFile::SerialHeartbeat},
      {"CorvanSrvc-UDPListen-Heartbeat.txt", true, tServiceFile::UdpListenHeartbeat},
      {"CORVANSRVC-MSG.TXT", true, tServiceFile::Message},
      {"CORVANSRVC-MSG.TXT", false, tServiceFile::None},  // rewritten in place: no message
      {"CorvanSrvc-Settings.xml", false, tServiceFile::Settings},
      {"CorvanSrvc-Status.txt", true, tServiceFile::None},
      {"CORVANSRVC-TARNEX-HEARTBEAT.TXT.tmp", true, tServiceFile::None},
  };
  for (const auto& c : cases) EXPECT_EQ(ServiceFileOf(c.name, c.added), c.file) << c.name;

  EXPECT_EQ(ReadDelayMs(tServiceFile::TarnexHeartbeat), 20);
  EXPECT_EQ(ReadDelayMs(tServiceFile::SerialHeartbeat), 80);
  EXPECT_EQ(ReadDelayMs(tServiceFile::Message), 80);
  EXPECT_EQ(HeartbeatPrefix(tFeed::Serial), "COM:");
  EXPECT_EQ(HeartbeatPrefix(tFeed::Udp), "UDP:");
  EXPECT_EQ(HeartbeatPrefix(tFeed::VendorTcp), "");
  EXPECT_TRUE(MessageIsAlarm("CorvanSrvc service stopped."));
  EXPECT_TRUE(MessageIsAlarm("Disconnected from corvantest"));
  EXPECT_FALSE(MessageIsAlarm("CorvanSrvc Stopped"));  // case matters
  EXPECT_EQ(ConnectedToText("corvantest"), "Connected to:corvantest:15167");
}
