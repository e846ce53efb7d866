// The two network tests of the advanced dialog, in the hermetic namespace: the test page
// datagrams on 15167 and 15171 and the phone-home report, checked byte for byte.
#include <unistd.h>

#include <QTimer>
#include <chrono>
#include <filesystem>
#include <vector>

#include "Controls.h"
#include "FixedClock.h"
#include "Hermetic.h"
#include "SetupFixture.h"
#include "UdpListener.h"
#include "pager/VEKUnits.h"
#include "reports/PhoneHome.h"
#include "support/Diagnostics.h"

using corvantest::Control;
using platform::tDialogKind;
using platform::tModalResult;
using platform::tMsgDlgBtn;
using platform::tMsgDlgType;
using setuptest::SetupDialogsTest;

namespace {

const std::string kPageBody =
    " RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE ";

class NetworkTests : public SetupDialogsTest {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    brix32::gGlobalSettings.SelfName = "CorvanControl";
    Lib::gCorvanSettings.MainUnit = "eas";
    Lib::gCorvanSettings.UDPAddr = "255.255.255.255";
    VEKLib::tVEKUnitRec eas;
    eas.UnitCode = "EAS";
    VEKLib::gVEKUnits = {eas};
    advanced->RefreshAdvancedSetupForm();
    // The phone-home counters look at the working folder, the program folder when running.
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  }
  void TearDown() override { std::filesystem::current_path(oldCwd); }

  // Answers Yes to the question and expects `outcome` next, then clicks the button.
  void Broadcast(const std::function<void()>& outcome) {
    dialogs.Button(tModalResult::mrYes);
    outcome();
    dialogs.ClearCalls();
    Control<QPushButton>(*advanced, "Button4")->click();
  }
  std::string LastMessage() const { return dialogs.Calls().empty() ? "" : dialogs.Calls().back().Text; }

  std::string oldCwd = std::filesystem::current_path().string();
  corvantest::FixedClock clock{2022, 6, 20, 14, 30, 5};
  corvantest::UdpListener pages{15167};
  corvantest::UdpListener phoneHome{15171};
};

}  // namespace

TEST_F(NetworkTests, MissingDummyPageIsCreatedAndBroadcastOnBothPorts) {
  Broadcast([&] { dialogs.Message(); });

  const std::string page = "TEST PAGE INC:S9000 20/06/22 14:30" + kPageBody + "EAS20";
  EXPECT_EQ(dir.read("DummyPage.txt"), page);
  const std::string packet = "0000001 14:30 20-06-22 *CFSRES INC:S9000 20/06/22 14:30" + kPageBody + "EAS20 ";
  for (corvantest::UdpListener* listener : {&pages, &phoneHome}) {
    const auto got = listener->receive(3);
    ASSERT_EQ(got.size(), 1u) << listener->port();
    EXPECT_EQ(got[0].bytes, packet) << listener->port();
  }
  ASSERT_EQ(dialogs.Calls().size(), 2u);
  EXPECT_EQ(dialogs.Calls()[0].Text,
            "You are about to broadcast a dummy page on the local network. Do you want to continue?");
  EXPECT_EQ(dialogs.Calls()[0].DlgType, tMsgDlgType::mtInformation);
  EXPECT_EQ(dialogs.Calls()[0].Buttons, (platform::tMsgDlgButtons{tMsgDlgBtn::mbYes, tMsgDlgBtn::mbNo}));
  EXPECT_TRUE(LastMessage().starts_with("Incident 9000 for EAS was broadcast on 255.255.255.255.\r\n"))
      << LastMessage();

  // A day later the same file goes out again, unchanged, with the time of the send; the
  // message names the address in the field.
  clock.set(brix32::EncodeDateTime({2022, 6, 21, 8, 2}));
  Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")->setText("10.99.0.255");
  Broadcast([&] { dialogs.Message(); });
  EXPECT_EQ(dir.read("DummyPage.txt"), page);
  const auto again = pages.receive(3);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].bytes, "0000001 08:02 21-06-22 *CFSRES INC:S9000 20/06/22 14:30" + kPageBody + "EAS20 ");
  EXPECT_EQ(phoneHome.receive(3).size(), 1u);
  EXPECT_TRUE(LastMessage().starts_with("Incident 9000 for EAS was broadcast on 10.99.0.255.\r\n"));
}

TEST_F(NetworkTests, MessageShowsTheIncidentAndUnitOfTheLocalParse) {
  struct Case {
    std::string fileName, page, packetPage, message;
  };
  const Case cases[] = {
      {"DummyPage.txt", "TEST PAGE INC:S12 20/06/22 14:30" + kPageBody + "EAS20",
       "*CFSRES INC:S12 20/06/22 14:30" + kPageBody + "EAS20 ", "Incident 0012 for EAS was"},
      // Not a "TEST PAGE": sent as it is, with the blank added.
      {"DummyPage.txt", "*CFSRES INC:S123456 20/06/22 14:30" + kPageBody + "EAS20",
       "*CFSRES INC:S123456 20/06/22 14:30" + kPageBody + "EAS20 ", "Incident 123456 for EAS was"},
      // Still broadcast when it does not parse; the message shows what the parse set.
      {"DummyPage.txt", "NO PAGE HERE", "NO PAGE HERE ", "Incident 0000 for  was"},
      // The installer's file is found whatever the case of its name.
      {"DUMMYPAGE.TXT", "TEST PAGE INC:S77 20/06/22 14:30" + kPageBody + "EAS20",
       "*CFSRES INC:S77 20/06/22 14:30" + kPageBody + "EAS20 ", "Incident 0077 for EAS was"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    for (const char* name : {"DummyPage.txt", "DUMMYPAGE.TXT"}) std::filesystem::remove(dir.file(name));
    dir.write(c.fileName, c.page);
    Broadcast([&] { dialogs.Message(); });
    EXPECT_TRUE(LastMessage().starts_with(c.message)) << LastMessage();
    const auto got = pages.receive(3);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, "0000001 14:30 20-06-22 " + c.packetPage);
    EXPECT_EQ(phoneHome.receive(3).size(), 1u);
    if (c.fileName != "DummyPage.txt") {
      EXPECT_FALSE(dir.exists("DummyPage.txt"));
    }
  }
}

TEST_F(NetworkTests, NothingIsSentWithoutAYesOrWithoutAFile) {
  dialogs.Button(tModalResult::mrNo);
  Control<QPushButton>(*advanced, "Button4")->click();
  EXPECT_FALSE(dir.exists("DummyPage.txt"));

  // A program folder that cannot take the file.
  brix32::gGlobalSettings.Path = dir.file("gone/");
  Broadcast([&] { dialogs.Message(); });
  EXPECT_EQ(LastMessage(), "Oops! Spoke too soon. " + dir.file("gone/DummyPage.txt") + " is missing!");

  EXPECT_TRUE(pages.receive(1, std::chrono::milliseconds(300)).empty());
  EXPECT_TRUE(phoneHome.receive(1, std::chrono::milliseconds(100)).empty());
}

TEST_F(NetworkTests, AFailedSendIsReportedAsANetworkError) {
  // Larger than any datagram: the sends fail on every interface.
  dir.write("DummyPage.txt", "TEST PAGE INC:S12 " + std::string(70000, 'x'));
  Broadcast([&] { dialogs.Button(tModalResult::mrOk); });
  ASSERT_EQ(dialogs.Calls().size(), 2u);
  const platform::tDialogCall& warning = dialogs.Calls()[1];
  EXPECT_EQ(warning.Kind, tDialogKind::MessageDlg);
  EXPECT_EQ(warning.Text,
            "There was a network error broadcasting the task. Check that you have networking enabled "
            "and that it connected.");
  EXPECT_EQ(warning.DlgType, tMsgDlgType::mtWarning);
  EXPECT_EQ(warning.Buttons, platform::tMsgDlgButtons{tMsgDlgBtn::mbOK});
  EXPECT_TRUE(phoneHome.receive(1, std::chrono::milliseconds(300)).empty());
}

TEST_F(NetworkTests, PhoneHomeSendsTheTestEventAndSaysWhereTo) {
  Lib::gVEKSettings.WWWHost = "corvantest";
  dialogs.Message();
  Control<QPushButton>(*advanced, "cmdPhoneHome")->click();
  EXPECT_EQ(LastMessage(), "A UDP PhoneHome test packet was sent to CORVANTEST:15171.");
  const auto got = phoneHome.receive(2);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes, Lib::BuildPhoneHomeReport("CorvanControl Test"));
  EXPECT_NE(got[0].bytes.find("<Event>CorvanControl Test</Event>"), std::string::npos);

  Lib::gVEKSettings.WWWHost = "unknown.invalid";
  dialogs.Message();
  Control<QPushButton>(*advanced, "cmdPhoneHome")->click();
  EXPECT_EQ(LastMessage(), "The UDP PhoneHome test packet failed to send to UNKNOWN.INVALID:15171!");
  EXPECT_TRUE(phoneHome.receive(1, std::chrono::milliseconds(300)).empty());
}

TEST_F(NetworkTests, PhoneHomeWaitsForAHostNameWithoutHoldingTheWindows) {
  // A name server that takes the question and never answers: the resolver waits on it
  // (here its limit is a second; on a station it may be many).
  corvantest::UdpListener silentNameServer(53, "127.0.0.1");
  Lib::gVEKSettings.WWWHost = "vendor.example";
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
  tick.start(10);
  dialogs.Message();
  const auto clicked = std::chrono::steady_clock::now();
  Control<QPushButton>(*advanced, "cmdPhoneHome")->click();
  const auto waited = std::chrono::steady_clock::now() - clicked;

  EXPECT_EQ(LastMessage(), "The UDP PhoneHome test packet failed to send to VENDOR.EXAMPLE:15171!");
  EXPECT_GE(waited, std::chrono::milliseconds(500)) << "the resolver was not waited for";
  // The event loop went on turning meanwhile, under the hourglass.
  EXPECT_GE(ticks, 10);
  EXPECT_EQ(dialogs.Cursors(),
            (std::vector<platform::tCursor>{platform::tCursor::crHourGlass, platform::tCursor::crArrow}));
  EXPECT_TRUE(Control<QPushButton>(*advanced, "cmdPhoneHome")->isEnabled());
  EXPECT_TRUE(phoneHome.receive(1, std::chrono::milliseconds(300)).empty());
}
