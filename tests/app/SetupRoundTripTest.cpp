// Setup closed with OK without an edit, after a look at the advanced dialog, or cancelled:
// every setting in the file stays as it was stored, whether the panel started behind a
// notification-area icon or shown on a desktop without one.
#include <QWidget>
#include <string>
#include <vector>

#include "CommandsFixture.h"
#include "Controls.h"
#include "settings/CorvanSettings.h"
#include "settings/StorableSettings.h"
#include "support/Diagnostics.h"

using apptest::CommandsTest;
using corvantest::Control;

namespace {

enum class tClose { OK, AdvancedThenOK, EditsCancelledThenOK };

struct tRoundTrip {
  bool Tray;
  tClose Close;
};

void PrintTo(const tRoundTrip& c, std::ostream* os) {
  *os << (c.Tray ? "with a tray, " : "without a tray, ") << static_cast<int>(c.Close);
}

using tSettingValues = std::vector<Lib::tSettingText>;

// Every setting of the file's text, by name, as the settings library reads it back.
tSettingValues FileSettings(const std::string& text) { return Lib::ReadSettingTexts(text); }

// A value short enough to read in a failure message.
std::string Shown(const std::string& value) {
  if (value.size() <= 40) return "'" + value + "'";
  return "'" + value.substr(0, 40) + "...' (" + std::to_string(value.size()) + " bytes)";
}

class SetupRoundTrip : public CommandsTest, public ::testing::WithParamInterface<tRoundTrip> {
 protected:
  // A station's settings, each unlike its default, one longer than a line edit holds
  // unless told otherwise.
  void WriteStationSettings() {
    WriteSettings([] {
      Lib::tCorvanSettings& c = Lib::gCorvanSettings;
      Lib::tVEKSettings& v = Lib::gVEKSettings;
      v.WWWHost = "127.0.0.1";
      v.WWWHostAlt = "10.99.0.2";
      v.WWWHostActive = "10.99.0.3";
      v.URI = "/vek/station.dll";
      c.EnablePrinting = 1;
      c.PrintTestPageAtStartup = true;
      c.UDPAddr = "10.1.2.255";
      c.ProcessVEKUnits = "*";
      c.MainUnit = std::string(40 * 1024, 'Q');
      c.SerialComms = "COM1,57600,N,8,1";
      c.ProcessTarnexTCPFeed = false;
      c.UDPListenPort = 0;
      c.PrintCFSTasks = true;
      c.PDWLogPath = "/var/lib/pdw";
      brix32::gGlobalSettings.Log.DaysOfLogFilesRetained = 30;
      brix32::gGlobalSettings.Log.SyslogServer = "127.0.0.1";
    });
  }

  // Setup pressed on the shown window; `step` runs inside the setup dialog and closes it.
  void RunSetup(const std::function<void()>& step) {
    WhenModal([&](QWidget* modal) {
      EXPECT_EQ(modal, setup.get());
      step();
    });
    Control<QPushButton>(*form, "cmdSetup")->click();
  }

  // "Advanced..." in the open setup dialog; `step` runs inside the advanced dialog and
  // closes it.
  void RunAdvanced(const std::function<void()>& step) {
    WhenModal([&](QWidget* modal) {
      EXPECT_EQ(modal, advanced.get());
      step();
    });
    Control<QPushButton>(*setup, "cmdAdvanced")->click();
  }

  void ExpectStored(const tSettingValues& stored) {
    const tSettingValues now = FileSettings(dir.read("CorvanSrvc-Settings.xml"));
    ASSERT_EQ(now.size(), stored.size());
    for (std::size_t i = 0; i < now.size(); ++i)
      EXPECT_TRUE(now[i].Value == stored[i].Value)
          << now[i].Name << " was " << Shown(stored[i].Value) << ", is " << Shown(now[i].Value);
  }

  std::unique_ptr<MainForm::TfrmMain> form;
};

TEST_P(SetupRoundTrip, LeavesEverySettingAsStored) {
  WriteStationSettings();
  const tSettingValues stored = FileSettings(dir.read("CorvanSrvc-Settings.xml"));
  trayAvailable = GetParam().Tray;
  form = StartWithDialogs();
  // Shown as the program shows it: by a click on the icon, or at once without a tray.
  if (trayAvailable)
    ShowForm(*form);
  else
    form->ShowOnStart();
  ASSERT_TRUE(form->isVisible());

  switch (GetParam().Close) {
    case tClose::OK:
      RunSetup([&] { Control<QPushButton>(*setup, "cmdOK")->click(); });
      break;
    case tClose::AdvancedThenOK:
      RunSetup([&] {
        RunAdvanced([&] { Control<QPushButton>(*advanced, "cmdOK")->click(); });
        Control<QPushButton>(*setup, "cmdOK")->click();
      });
      break;
    case tClose::EditsCancelledThenOK:
      // Edits in both dialogs, confirmed in the advanced one, then Setup cancelled: the
      // next opening shows the stored values again, and OK keeps them.
      RunSetup([&] {
        Control<QCheckBox>(*setup, "chkPrintTestPageAtStartup")->click();
        Control<QCheckBox>(*setup, "chkEnablePrinting")->click();
        Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")->setText("EAS");
        RunAdvanced([&] {
          Control<SetupWidgets::TSettingEdit>(*advanced, "txtSerialComms")->clear();
          Control<QCheckBox>(*advanced, "chkProcessTarnexTCPFeed")->click();
          Control<QCheckBox>(*advanced, "chkPrintCFStasks")->click();
          Control<SetupWidgets::TSettingEdit>(*advanced, "txtWWWHost")->setText("10.99.0.9");
          Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")->setText("10.99.0.255");
          Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")->setText("EAS");
          Control<QPushButton>(*advanced, "cmdOK")->click();
        });
        Control<QPushButton>(*setup, "cmdCancel")->click();
      });
      ExpectStored(stored);
      RunSetup([&] { Control<QPushButton>(*setup, "cmdOK")->click(); });
      break;
  }

  ExpectStored(stored);
  EXPECT_TRUE(form->isVisible());
}

std::string CaseName(const ::testing::TestParamInfo<tRoundTrip>& info) {
  std::string name = info.param.Tray ? "WithATray_" : "WithoutATray_";
  switch (info.param.Close) {
    case tClose::OK:
      return name + "OK";
    case tClose::AdvancedThenOK:
      return name + "AdvancedThenOK";
    case tClose::EditsCancelledThenOK:
      return name + "EditsCancelledThenOK";
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(, SetupRoundTrip,
                         ::testing::Values(tRoundTrip{true, tClose::OK}, tRoundTrip{true, tClose::AdvancedThenOK},
                                           tRoundTrip{true, tClose::EditsCancelledThenOK},
                                           tRoundTrip{false, tClose::OK}, tRoundTrip{false, tClose::AdvancedThenOK},
                                           tRoundTrip{false, tClose::EditsCancelledThenOK}),
                         CaseName);

}  // namespace
