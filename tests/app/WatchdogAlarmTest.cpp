// The panel's feed watchdog against the simulated service: a feed that stops and comes
// back, a service process that goes and comes back; icon, balloon, hint, one syslog line
// and one event-log line for each.
#include <filesystem>
#include <regex>

#include "AppFixture.h"
#include "Controls.h"
#include "SimProcess.h"
#include "UdpListener.h"
#include "settings/CorvanSettings.h"
#include "support/FileUtils.h"

using namespace apptest;
using corvantest::Control;
using corvantest::SimProcess;

namespace {

const std::string kServiceSim = CORVAN_SERVICESIM_EXE;
const std::string kTime = "[0-2][0-9]:[0-5][0-9]";

class WatchdogAlarmTest : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    // Minutes of silence pass at once: the monotonic clock is moved on, the wall clock
    // (which dates the heartbeat files) is the system's.
    watchdogClock.TickMs = [this] { return MainForm::BootTimeMs() + skippedMs; };
    WriteSettings([] {
      Lib::gVEKSettings.WWWHost = "127.0.0.1";
      Lib::gCorvanSettings.ProcessTarnexTCPFeed = true;
      Lib::gCorvanSettings.UDPListenPort = 0;
      Lib::gCorvanSettings.EnablePrinting = 1;
    });
    std::filesystem::copy_file(kServiceSim, dir.file("corvansrvc.exe"));
  }

  // The simulated service from the program folder, once it has written its TCP heartbeat.
  std::unique_ptr<SimProcess> StartService(const std::string& Going) {
    auto service = std::make_unique<SimProcess>(
        dir.file("corvansrvc.exe"),
        std::vector<std::string>{"--folder", dir.path(), "--step", "0 msg CorvanSrvc connected.", "--step",
                                 "0 going " + Going});
    EXPECT_TRUE(service->waitForOutput("wrote CORVANSRVC-TARNEX-HEARTBEAT.TXT")) << service->err();
    return service;
  }

  // The balloons shown since `from`, as texts.
  std::vector<std::string> BalloonsSince(std::size_t from) const {
    std::vector<std::string> texts;
    const auto all = Balloons();
    for (std::size_t i = from; i < all.size(); ++i) texts.push_back(all[i].szInfo);
    return texts;
  }

  // The syslog lines that carry message number Id.
  static std::vector<std::string> WithId(const std::vector<corvantest::Datagram>& lines, int Id) {
    std::vector<std::string> found;
    for (const auto& line : lines)
      if (line.bytes.find("(ID=" + std::to_string(Id) + ")") != std::string::npos) found.push_back(line.bytes);
    return found;
  }

  std::string EventLog() const { return brix32::FileToBin(dir.file("CORVANSRVC-EventLog-Thu.txt")); }

  std::uint64_t skippedMs = 0;
};

}  // namespace

TEST_F(WatchdogAlarmTest, AFeedThatFallsSilentIsShownAndLoggedOnceAndItsReturnToo) {
  corvantest::UdpListener syslog(514);
  auto service = StartService("2");
  auto form = Start();
  syslog.receive(1);  // the start's line

  form->timWatchdogTimer();
  EXPECT_EQ(form->TrayIcon->Icon(), Control<MainForm::TIconImage>(*form, "imgPrint")->Icon());
  const std::size_t before = Balloons().size();
  const std::string hint = form->TrayIcon->Hint();

  // The service runs on, but the vendor feed has sent nothing for eleven minutes.
  skippedMs += 11 * 60000;
  form->timWatchdogTimer();
  const std::regex silent("No data from the vendor feed since " + kTime + " \\(11 min\\)\\.");
  ASSERT_EQ(BalloonsSince(before).size(), 1u);
  const std::string text = BalloonsSince(before)[0];
  EXPECT_TRUE(std::regex_match(text, silent)) << text;
  EXPECT_EQ(Balloons().back().dwInfoFlags, platform::NIIF_ERROR);
  EXPECT_EQ(form->TrayIcon->Icon(), Control<MainForm::TIconImage>(*form, "imgAlarm")->Icon());
  EXPECT_NE(*Control<MainForm::TIconImage>(*form, "imgAlarm")->Icon(),
            *Control<MainForm::TIconImage>(*form, "imgPrint")->Icon());
  EXPECT_NE(*Control<MainForm::TIconImage>(*form, "imgAlarm")->Icon(),
            *Control<MainForm::TIconImage>(*form, "imgNoPrint")->Icon());
  // The alarm's line first, then the hint as it was.
  const std::string shown = form->TrayIcon->Hint();
  const std::size_t lineEnd = shown.find('\n');
  EXPECT_TRUE(std::regex_match(shown.substr(0, lineEnd), std::regex("No vendor data since " + kTime))) << shown;
  EXPECT_EQ(shown.substr(lineEnd + 1), hint);
  auto lines = syslog.receive(10);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].bytes.substr(0, 20), "<3>CorvanControl:000");
  EXPECT_NE(lines[0].bytes.find(" " + text + " H=\"corvantest\" (ID=31011)"), std::string::npos) << lines[0].bytes;
  EXPECT_NE(EventLog().find("03/10/13 14:05:09.000 CorvanControl " + text + " (ID=31011)\r\n"), std::string::npos)
      << EventLog();

  // Still silent a minute later: the same alarm, nothing new.
  skippedMs += 60000;
  form->timWatchdogTimer();
  EXPECT_TRUE(BalloonsSince(before + 1).empty());
  EXPECT_TRUE(syslog.receive(10).empty());
  EXPECT_EQ(form->TrayIcon->Icon(), Control<MainForm::TIconImage>(*form, "imgAlarm")->Icon());

  // The service, started again, sends: the alarm ends, and the icon is the printing one.
  service->stop();
  service = StartService("3");
  const std::size_t beforeBack = Balloons().size();
  form->timWatchdogTimer();
  ASSERT_EQ(BalloonsSince(beforeBack).size(), 1u);
  const std::string back = BalloonsSince(beforeBack)[0];
  EXPECT_TRUE(std::regex_match(
      back, std::regex("Data from the vendor feed again at " + kTime + " \\(none for 1[23] min\\)\\.")))
      << back;
  EXPECT_EQ(Balloons().back().dwInfoFlags, platform::NIIF_INFO);
  EXPECT_EQ(form->TrayIcon->Icon(), Control<MainForm::TIconImage>(*form, "imgPrint")->Icon());
  EXPECT_EQ(form->TrayIcon->Hint().find("No vendor data"), std::string::npos) << form->TrayIcon->Hint();
  lines = syslog.receive(10);
  ASSERT_EQ(WithId(lines, 51021).size(), 1u);
  EXPECT_NE(WithId(lines, 51021)[0].find("<5>CorvanControl:"), std::string::npos);
  EXPECT_NE(EventLog().find(" CorvanControl " + back + " (ID=51021)\r\n"), std::string::npos) << EventLog();
  service->stop();
}

TEST_F(WatchdogAlarmTest, AServiceThatVanishesIsFoundByItselfAndItsReturnToo) {
  watchdogIntervalMs = MainForm::kWatchdogIntervalMs;
  corvantest::UdpListener syslog(514);
  auto service = StartService("2");
  auto form = Start();
  const std::size_t before = Balloons().size();
  const std::regex gone("The Corvan service has not been running since " + kTime + "\\.");
  const auto goneShown = [&] {
    for (const std::string& text : BalloonsSince(before))
      if (std::regex_match(text, gone)) return true;
    return false;
  };

  // Killed: no "stopped" message, only the process list tells.
  service.reset();
  ASSERT_TRUE(WaitFor(goneShown, 30000)) << ::testing::PrintToString(BalloonsSince(before));
  EXPECT_EQ(form->TrayIcon->Icon(), Control<MainForm::TIconImage>(*form, "imgAlarm")->Icon());
  EXPECT_TRUE(std::regex_search(form->TrayIcon->Hint(), std::regex("^No service process since " + kTime + "\n")))
      << form->TrayIcon->Hint();

  service = StartService("2");
  const std::regex running("The Corvan service is running again at " + kTime + " \\(not running for [0-9]+ s\\)\\.");
  ASSERT_TRUE(WaitFor(
      [&] {
        const auto texts = BalloonsSince(before);
        return !texts.empty() && std::regex_match(texts.back(), running);
      },
      30000))
      << ::testing::PrintToString(BalloonsSince(before));
  EXPECT_EQ(form->TrayIcon->Icon(), Control<MainForm::TIconImage>(*form, "imgPrint")->Icon());
  EXPECT_EQ(form->TrayIcon->Hint().find("No service process"), std::string::npos);
  const auto lines = syslog.receive(20);
  EXPECT_EQ(WithId(lines, 21014).size(), 1u);
  EXPECT_EQ(WithId(lines, 51024).size(), 1u);
  EXPECT_NE(EventLog().find("(ID=21014)\r\n"), std::string::npos);
  EXPECT_NE(EventLog().find("(ID=51024)\r\n"), std::string::npos);
  service->stop();
}
