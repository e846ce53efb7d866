// The setup rules without a window: controls onto settings, and the texts of the tests.
#include <gtest/gtest.h>

#include "ProcessState.h"
#include "SamplePage.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupRules.h"

using namespace SetupForm;
using namespace SetupAdvancedForm;

namespace {

class ApplySetupValuesTest : public ::testing::Test {
 protected:
  corvantest::ProcessStateGuard processState;
};

}  // namespace

TEST_F(ApplySetupValuesTest, BoxesBecomeSettingValues) {
  struct Case {
    bool udpChecked, printingEnabled, printingChecked;
    std::int32_t portBefore, port, printing;
  };
  const Case cases[] = {
      {true, true, true, 15167, 15167, 1},
      {true, true, false, 12345, 15167, 0},  // another port in the file becomes the usual one
      {false, true, true, -1, 0, 1},         // the service's "could not bind" is not kept
      {false, false, true, 15167, 0, 2},     // greyed wins over checked: no service printer
      {false, false, false, 0, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "udp " << c.udpChecked << " printing " << c.printingEnabled << "/"
                                    << c.printingChecked);
    Lib::gCorvanSettings.UDPListenPort = c.portBefore;
    tSetupControlValues values;
    values.ProcessUDPBroadcastPackets = c.udpChecked;
    values.EnablePrintingEnabled = c.printingEnabled;
    values.EnablePrintingChecked = c.printingChecked;
    ApplySetupValues(values);
    EXPECT_EQ(Lib::gCorvanSettings.UDPListenPort, c.port);
    EXPECT_EQ(Lib::gCorvanSettings.EnablePrinting, c.printing);
  }
}

TEST_F(ApplySetupValuesTest, UnitIsUpperCasedAndAnEmptyFilterTakesItAsTyped) {
  struct Case {
    std::string typed, filter, mainUnit, storedFilter;
  };
  const Case cases[] = {
      {"adl", "", "ADL", "adl"},
      {"adl", "*", "ADL", "*"},
      {"Adelaide", "EAS,MTB", "ADELAIDE", "EAS,MTB"},  // any length is stored
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed + " / " + c.filter);
    tSetupControlValues values;
    values.MainUnit = c.typed;
    values.ProcessVEKUnits = c.filter;
    ApplySetupValues(values);
    EXPECT_EQ(Lib::gCorvanSettings.MainUnit, c.mainUnit);
    EXPECT_EQ(Lib::gCorvanSettings.ProcessVEKUnits, c.storedFilter);
  }
}

TEST_F(ApplySetupValuesTest, TextsAndFlagsArriveUnchanged) {
  tSetupControlValues values;
  values.WWWHost = "corvantest";
  values.SerialComms = "COM1,57600,N,8,1";
  values.ProcessTarnexTCPFeed = true;
  values.PrintTestPageAtStartup = true;
  values.PDWLogPath = "/var/pdw logs";
  values.BroadcastAddr = "0.0.0.255";
  values.PrintCFSTasks = true;
  ApplySetupValues(values);
  const Lib::tCorvanSettings& s = Lib::gCorvanSettings;
  EXPECT_EQ(Lib::gVEKSettings.WWWHost, "corvantest");
  EXPECT_EQ(s.SerialComms, "COM1,57600,N,8,1");
  EXPECT_TRUE(s.ProcessTarnexTCPFeed);
  EXPECT_TRUE(s.PrintTestPageAtStartup);
  EXPECT_EQ(s.PDWLogPath, "/var/pdw logs");
  EXPECT_EQ(s.UDPAddr, "0.0.0.255");
  EXPECT_TRUE(s.PrintCFSTasks);
}

TEST(SetupBoxes, UDPBoxFollowsThePortTheServiceReports) {
  struct Case {
    std::int32_t port;
    bool checked, enabled;
  };
  for (const Case c :
       {Case{-1, false, false}, Case{0, false, true}, Case{15167, true, true}, Case{40000, true, true}}) {
    SCOPED_TRACE(c.port);
    const tCheckState state = UDPBoxFromPort(c.port);
    EXPECT_EQ(state.Checked, c.checked);
    EXPECT_EQ(state.Enabled, c.enabled);
  }
  EXPECT_EQ(UnitFilterShown("", "ADL"), "ADL");
  EXPECT_EQ(UnitFilterShown("*", "ADL"), "*");
}

TEST(TestPageTexts, DefaultDummyPageEndsWithTheMainUnitCodeOrNothing) {
  const corvantest::ProcessStateGuard processState;
  const brix32::TDateTime now = brix32::EncodeDateTime({2022, 6, 20, 14, 30, 59});
  EXPECT_EQ(DefaultDummyPageText(now, "EAS"), corvantest::kTreeDownSamplePage);
  struct Case {
    std::string mainUnit, ending;
  };
  for (const Case& c : {Case{"eas", "PLEASE IGNORE EAS20"}, Case{"", "PLEASE IGNORE 20"},
                        Case{"EA", "PLEASE IGNORE 20"}, Case{"east", "PLEASE IGNORE 20"}}) {
    SCOPED_TRACE(c.mainUnit);
    Lib::gCorvanSettings.MainUnit = c.mainUnit;
    const std::string text = DefaultDummyPageText(now, Lib::MainUnitCode());
    EXPECT_TRUE(text.ends_with(" " + c.ending)) << text;
  }
}

TEST(TestPageTexts, OnlyALeadingTestPageIsReplacedAndABlankIsAdded) {
  struct Case {
    std::string file, page;
  };
  const Case cases[] = {
      {"TEST PAGE INC:S9000 20/06/22", "*CFSRES INC:S9000 20/06/22 "},
      {"*CFSRES INC:S12 20/06/22", "*CFSRES INC:S12 20/06/22 "},
      {"test page INC:S12", "test page INC:S12 "},  // the parser deals with other cases
      {"A TEST PAGE INC:S12", "A TEST PAGE INC:S12 "},
      {"TEST PAGE", "*CFSRES "},  // the added blank completes the marker
      {"", " "},
  };
  for (const Case& c : cases) EXPECT_EQ(TestPageText(c.file), c.page) << c.file;
}

TEST(TestPageTexts, PacketCarriesTimeFirstAndTheDateWithMinusSigns) {
  const brix32::TDateTime now = brix32::EncodeDateTime({2022, 6, 20, 9, 5, 59});
  EXPECT_EQ(TestPacket("*CFSRES INC:S9000 ", now), "0000001 09:05 20-06-22 *CFSRES INC:S9000 ");
}

TEST(TestPageTexts, BroadcastMessageWritesTheIncidentWithAtLeastFourDigits) {
  EXPECT_EQ(BroadcastDoneMessage(9000, "EAS", "255.255.255.255"),
            "Incident 9000 for EAS was broadcast on 255.255.255.255.\r\n\r\n"
            "Note: This broadcast page was loaded from the DummyPage.txt file. If you send another "
            "broadcast today then be sure to change the MFS Incident Number in the file to make it "
            "unique.\r\n\r\n"
            "If you are not seeing the broadcast, try changing the broadcast address so that is and "
            "inverse of the local subnet address. Eg If subnet is 255.255.255.0 then set the "
            "broadcast to be 0.0.0.255.");
  struct Case {
    std::int32_t incident;
    std::string start;
  };
  for (const Case& c : {Case{12, "Incident 0012 for  was"}, Case{123456, "Incident 123456 for  was"},
                        Case{0, "Incident 0000 for  was"}, Case{-1, "Incident -0001 for  was"}})
    EXPECT_TRUE(BroadcastDoneMessage(c.incident, "", "x").starts_with(c.start)) << c.incident;
}

TEST(TestPageTexts, PhoneHomeMessagesNameTheHostInCapitals) {
  EXPECT_EQ(PhoneHomeResultMessage(true, "corvantest"), "A UDP PhoneHome test packet was sent to CORVANTEST:15171.");
  EXPECT_EQ(PhoneHomeResultMessage(false, "unknown.invalid"),
            "The UDP PhoneHome test packet failed to send to UNKNOWN.INVALID:15171!");
}
