// Both setup dialogs driven as a user would, offscreen: what each operation puts into
// the controls, what OK stores, and the rules between the controls.
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "Controls.h"
#include "FifoProbe.h"
#include "SetupFixture.h"
#include "ShownText.h"
#include "platform/qt/QtText.h"
#include "setup/SetupWidgets.h"

using corvantest::Control;
using platform::S;
using platform::tDialogKind;
using platform::tModalResult;
using setuptest::SetupDialogsTest;

namespace {

std::string Text(const QAbstractButton* b) { return S(b->text()); }
std::string Text(const QLabel* l) { return S(l->text()); }
std::string Text(const QLineEdit* e) { return S(e->text()); }

const char* const kTCPFeedWarning =
    "WARNING: You have selected to monitor TCP feed while also monitoring the COM port which "
    "may prevent the service from broadcasting UDP packets.";

// Runs `body` as soon as the next modal dialog's loop (or any loop) is running.
void WhenModal(std::function<void()> body) { QTimer::singleShot(0, std::move(body)); }

}  // namespace

class SetupDialogs : public SetupDialogsTest {
 protected:
  // Dialogs as at program start, whatever earlier steps left in the controls.
  void NewDialogs() {
    SetupAdvancedForm::frmSetupAdvanced = nullptr;
    SetupForm::frmSetup = nullptr;
    advanced.reset();
    setup.reset();
    setup = std::make_unique<SetupForm::TfrmSetup>(dialogs);
    SetupForm::frmSetup = setup.get();
    advanced = std::make_unique<SetupAdvancedForm::TfrmSetupAdvanced>(dialogs);
    SetupAdvancedForm::frmSetupAdvanced = advanced.get();
  }
};

TEST_F(SetupDialogs, HelpButtonsShowTheExplanationThatIsAlsoTheTooltip) {
  const std::string tarnexServer =
      "This is the address of the Tarnex server. It is required for the ZIR Pager feed and downloading "
      "the VEKUnits.xml, Suburbs.xml and TaskTypes.xml files. At the VEK Units this needs to be set to "
      "www.tarnex.example.";
  struct Case {
    QPushButton* help;
    const QWidget* control;
    std::string text;
  };
  const Case cases[] = {
      {Control<QPushButton>(*setup, "cmdHelpPrintTestPage"), Control<QCheckBox>(*setup, "chkPrintTestPageAtStartup"),
       "If enabled the dummy tasking sheet (DummyPage.TXT) will be printed each time the CorvanSrvc "
       "service starts."},
      {Control<QPushButton>(*setup, "cmdHelpEnablePrinting"), Control<QCheckBox>(*setup, "chkEnablePrinting"),
       "Enables tasking sheets printing. If this is disabled, check the VEK Corvan Service default "
       "printer settings."},
      {Control<QPushButton>(*setup, "cmdHelpMainUnit"), Control<QLabel>(*setup, "lblMainUnit"),
       "This is the 3 character unit code that is displayed in the maps on the task sheets."},
      {Control<QPushButton>(*advanced, "cmdHelpTarnexTCPFeed"),
       Control<QCheckBox>(*advanced, "chkProcessTarnexTCPFeed"),
       "Leave this ENABLED to process the Pager feed from the Tarnex host. (TCP Port 15167). Disable "
       "when the service is running on the same machine running REZIZUZ or when connected to a "
       "Corvan300 via the serial port."},
      {Control<QPushButton>(*advanced, "cmdHelpPrintCFStasks"), Control<QCheckBox>(*advanced, "chkPrintCFStasks"),
       "ENABLE to print print CFS tasks that have the VEK."},
      {Control<QPushButton>(*advanced, "cmdHelpTarnexServer"), Control<QLabel>(*advanced, "lblTarnexServer"),
       tarnexServer},
      {Control<QPushButton>(*advanced, "cmdHelpPDWLogPath"), Control<QLineEdit>(*advanced, "lblPDWLogPathCaption"),
       "If PDW FLEX decoder is running, set this path to the PDW log files to enable processing."},
      {Control<QPushButton>(*advanced, "cmdHelpBroadcastAddress"),
       Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr"),
       "The Pager feed is broadcast to this address on the local network so other CorvanServices can "
       "receive them. The default Broadcast address is 255.255.255.255. If this doesn't work, try a "
       "more specific address such as 0.0.0.255. At the units, this should be set where there is a PDW "
       "receiver running on another machine broadcasting packets such at STT."},
      {Control<QPushButton>(*advanced, "cmdHelpBroadcast"), Control<QPushButton>(*advanced, "Button4"),
       "Click this to broadcast a dummy page on the local network."},
      {Control<QPushButton>(*advanced, "cmdHelpUDPBroadcastPackets"),
       Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets"),
       "Leave this option Checked. Only uncheck when running on the same machine as the REZEDOZO.DLL "
       "web service or if testing to see if packets are being received exclusively from the Tarnex "
       "server on TCP 15167. If this option is disabled then the service was unable to bind to the "
       "port and the <UDPListenPort> will need to be manually reset in CORVANSRVC-SETTINGS.XML."},
      {Control<QPushButton>(*advanced, "cmdHelpProcessUnit"),
       Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits"),
       "Filter tasks by unit. *=All, {3 letter unit code}=Unit, {blank}=none"},
      {Control<QPushButton>(*advanced, "cmdHelpSerialPortSettings"),
       Control<SetupWidgets::TSettingEdit>(*advanced, "txtSerialComms"),
       "Set the serial parameters if connected to a Corvan3000. Eg:- COM1,57600,N,8,1. At the units "
       "this should be left blank."},
      {Control<QPushButton>(*advanced, "cmdHelpSaveTasksAsPDF"), Control<QCheckBox>(*advanced, "chkSaveTasksAsPDF"),
       "If enabled the tasking sheets will be save locally."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(S(c.help->objectName()));
    dialogs.Message();
    c.help->click();
    ASSERT_FALSE(dialogs.Calls().empty());
    EXPECT_EQ(dialogs.Calls().back().Kind, tDialogKind::Message);
    EXPECT_EQ(dialogs.Calls().back().Text, c.text);
    EXPECT_EQ(S(c.control->toolTip()), c.text);
  }
  // Two controls carry tooltips of their own wording.
  EXPECT_EQ(S(Control<SetupWidgets::TSettingEdit>(*advanced, "txtWWWHost")->toolTip()),
            "This is the address if the Tarnex server. It required for the Pager feed and downloading "
            "the VEKUnits.xml, Suburbs.xml and TaskTypes.xml files");
  EXPECT_EQ(S(Control<QLabel>(*advanced, "lblProcessUnit")->toolTip()),
            "Filters units. *=All, {3 letter unit code}=Unit, {blank}=none");
  EXPECT_TRUE(Control<QCheckBox>(*advanced, "chkSaveTasksAsPDF")->isHidden());
  EXPECT_TRUE(Control<QPushButton>(*advanced, "cmdHelpSaveTasksAsPDF")->isHidden());
  EXPECT_TRUE(Control<QLabel>(*advanced, "lblPDWLogPath")->isHidden());
  EXPECT_EQ(Text(Control<QLineEdit>(*advanced, "lblPDWLogPathCaption")), "PDW log file path:");
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")), "255.255.255.255");
  // No close box: the dialogs are left through OK or Cancel.
  for (const QWidget* w : {static_cast<QWidget*>(setup.get()), static_cast<QWidget*>(advanced.get())})
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST_F(SetupDialogs, PrintingBoxShowsTheFileValueWhateverItShowedBefore) {
  // The box as created (-1) or filled from 0, 1 or 2, then filled from the value the
  // service wrote since.
  for (std::int32_t before = -1; before <= 2; ++before) {
    for (std::int32_t file = 0; file <= 2; ++file) {
      SCOPED_TRACE(testing::Message() << "before " << before << " file " << file);
      NewDialogs();
      if (before >= 0) {
        WriteSettings([&] { Lib::gCorvanSettings.EnablePrinting = before; });
        setup->FillSetupControls();
      }
      WriteSettings([&] { Lib::gCorvanSettings.EnablePrinting = file; });
      setup->FillSetupControls();

      EXPECT_EQ(Control<QCheckBox>(*setup, "chkEnablePrinting")->isChecked(), file == 1);
      EXPECT_EQ(Control<QCheckBox>(*setup, "chkEnablePrinting")->isEnabled(), file != 2);
      EXPECT_EQ(Text(Control<QCheckBox>(*setup, "chkEnablePrinting")),
                file == 2 ? "Enable printing (no service default printer)" : "Enable printing");
      EXPECT_EQ(Text(Control<QLabel>(*setup, "lblDefaultPrinter")), file == 1 ? kPrinter : "");
      EXPECT_EQ(Lib::gCorvanSettings.EnablePrinting, file);
      setup->ApplySetupControls();
      EXPECT_EQ(Stored().Corvan.EnablePrinting, file);
    }
  }
}

TEST_F(SetupDialogs, ClickingThePrintingBoxReloadsTheFileButKeepsTheBoxes) {
  WriteSettings([] {
    Lib::gCorvanSettings.MainUnit = "EAS";
    Lib::gCorvanSettings.EnablePrinting = 0;
  });
  setup->FillSetupControls();
  Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")->setText("xyz");  // an edit not yet confirmed
  Control<QCheckBox>(*setup, "chkPrintTestPageAtStartup")->setChecked(true);   // as left by a cancelled opening

  Control<QCheckBox>(*setup, "chkEnablePrinting")->click();
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")), "EAS");
  EXPECT_TRUE(Control<QCheckBox>(*setup, "chkEnablePrinting")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(*setup, "chkPrintTestPageAtStartup")->isChecked());
  EXPECT_EQ(Text(Control<QLabel>(*setup, "lblDefaultPrinter")), kPrinter);
  EXPECT_EQ(Lib::gCorvanSettings.EnablePrinting, 1);
  EXPECT_EQ(Stored().Corvan.EnablePrinting, 0);  // only OK writes the file

  Control<QCheckBox>(*setup, "chkEnablePrinting")->click();
  EXPECT_EQ(Text(Control<QLabel>(*setup, "lblDefaultPrinter")), "");
  EXPECT_EQ(Lib::gCorvanSettings.EnablePrinting, 0);

  Control<QCheckBox>(*setup, "chkEnablePrinting")->click();
  setup->RefreshSetupForm();  // the next Setup command: the cancelled states stay
  EXPECT_TRUE(Control<QCheckBox>(*setup, "chkEnablePrinting")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(*setup, "chkPrintTestPageAtStartup")->isChecked());
  setup->ApplySetupControls();
  EXPECT_EQ(Stored().Corvan.EnablePrinting, 1);
  EXPECT_TRUE(Stored().Corvan.PrintTestPageAtStartup);
}

TEST_F(SetupDialogs, UDPBoxGreysForAFailedBindAndStoresOnlyListenOrNot) {
  struct Case {
    std::int32_t file;
    bool checked, enabled;
    std::int32_t stored;
  };
  for (const Case c : {Case{-1, false, false, 0}, Case{0, false, true, 0}, Case{15167, true, true, 15167},
                       Case{12345, true, true, 15167}}) {
    SCOPED_TRACE(c.file);
    WriteSettings([&] { Lib::gCorvanSettings.UDPListenPort = c.file; });
    // Both ways in: the tray click's fill, and the refresh before the advanced dialog opens.
    setup->FillSetupControls();
    EXPECT_EQ(Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->isChecked(), c.checked);
    EXPECT_EQ(Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->isEnabled(), c.enabled);
    Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->setEnabled(true);
    Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->setChecked(!c.checked);
    advanced->RefreshAdvancedSetupForm();
    EXPECT_EQ(Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->isChecked(), c.checked);
    EXPECT_EQ(Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->isEnabled(), c.enabled);
    setup->ApplySetupControls();
    EXPECT_EQ(Stored().Corvan.UDPListenPort, c.stored);
  }
}

TEST_F(SetupDialogs, EmptyUnitFilterShowsAndStoresTheMainUnit) {
  WriteSettings([] {
    Lib::gCorvanSettings.MainUnit = "ADL";
    Lib::gCorvanSettings.ProcessVEKUnits = "";
  });
  setup->FillSetupControls();
  advanced->RefreshAdvancedSetupForm();
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")), "ADL");
  setup->ApplySetupControls();
  EXPECT_EQ(Stored().Corvan.ProcessVEKUnits, "ADL");

  // A unit typed in lower case with the filter cleared: the filter takes it as typed.
  Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")->setText("stt");
  Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")->clear();
  setup->ApplySetupControls();
  EXPECT_EQ(Stored().Corvan.MainUnit, "STT");
  EXPECT_EQ(Stored().Corvan.ProcessVEKUnits, "stt");
}

TEST_F(SetupDialogs, SerialParametersAndTheTCPFeedExcludeEachOther) {
  WriteSettings();  // the defaults: TCP feed on, no serial parameters
  setup->FillSetupControls();
  QCheckBox* tcp = Control<QCheckBox>(*advanced, "chkProcessTarnexTCPFeed");
  QLineEdit* serial = Control<SetupWidgets::TSettingEdit>(*advanced, "txtSerialComms");
  EXPECT_TRUE(tcp->isChecked());
  EXPECT_FALSE(serial->isEnabled());

  tcp->click();
  EXPECT_TRUE(serial->isEnabled());
  QTest::keyClicks(serial, "COM1,57600,N,8,1");
  EXPECT_FALSE(tcp->isEnabled());
  EXPECT_FALSE(tcp->isChecked());
  serial->selectAll();
  QTest::keyClick(serial, Qt::Key_Backspace);
  EXPECT_TRUE(tcp->isEnabled());
  EXPECT_FALSE(tcp->isChecked());  // available again, but left unchecked
  EXPECT_TRUE(serial->isEnabled());

  // A file with both: the fill leaves the serial port in charge.
  WriteSettings([] {
    Lib::gCorvanSettings.SerialComms = "COM1,57600,N,8,1";
    Lib::gCorvanSettings.ProcessTarnexTCPFeed = true;
  });
  setup->FillSetupControls();
  EXPECT_FALSE(tcp->isChecked());
  EXPECT_FALSE(tcp->isEnabled());
  EXPECT_TRUE(serial->isEnabled());
  EXPECT_EQ(Text(serial), "COM1,57600,N,8,1");

  // The refresh before the next opening checks the box from the file while the serial
  // field still holds text: the warning, and the serial port stays in charge.
  dialogs.Message();
  setup->RefreshSetupForm();
  ASSERT_EQ(dialogs.Calls().size(), 1u);
  EXPECT_EQ(dialogs.Calls()[0].Text, kTCPFeedWarning);
  EXPECT_FALSE(tcp->isChecked());
  EXPECT_FALSE(tcp->isEnabled());
  EXPECT_TRUE(serial->isEnabled());
  setup->ApplySetupControls();
  EXPECT_FALSE(Stored().Corvan.ProcessTarnexTCPFeed);
  EXPECT_EQ(Stored().Corvan.SerialComms, "COM1,57600,N,8,1");
}

TEST_F(SetupDialogs, BroadcastAddressTakesAtMostFifteenTypedCharacters) {
  Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")->clear();
  QTest::keyClicks(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr"), "255.255.255.255.255");
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")), "255.255.255.255");

  // A longer address the file already holds is shown and stored whole; typing can only
  // shorten it.
  const std::string relay = "relay.corvantest.lan";
  WriteSettings([&] { Lib::gCorvanSettings.UDPAddr = relay; });
  setup->FillSetupControls();
  advanced->RefreshAdvancedSetupForm();
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")), relay);
  setup->ApplySetupControls();
  EXPECT_EQ(Stored().Corvan.UDPAddr, relay);

  Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")->end(false);
  QTest::keyClick(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr"), Qt::Key_Backspace);
  QTest::keyClicks(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr"), "xy");
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")),
            relay.substr(0, relay.size() - 1));
}

TEST_F(SetupDialogs, AdvancedOpensInPlaceOfTheSetupDialogAndCancelPutsBackWhatItRefreshes) {
  WriteSettings([] {
    Lib::gCorvanSettings.UDPAddr = "0.0.0.255";
    Lib::gCorvanSettings.PDWLogPath = "/var/pdw";
    Lib::gCorvanSettings.ProcessVEKUnits = "EAS";
    Lib::gCorvanSettings.PrintCFSTasks = true;
    Lib::gVEKSettings.WWWHost = "corvantest";
  });
  setup->FillSetupControls();

  bool setupHidden = false;
  bool setupBackAfterCancel = false;
  // Inside the setup dialog's modal loop: Advanced..., edits, Cancel; then OK.
  WhenModal([&] {
    WhenModal([&] {
      setupHidden = !setup->isVisible() && advanced->isVisible();
      Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")->setText("10.99.0.255");
      Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")->setText("*");
      Control<QCheckBox>(*advanced, "chkPrintCFStasks")->setChecked(false);
      Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->setChecked(false);
      Control<QLabel>(*advanced, "lblPDWLogPath")->setText("/tmp/elsewhere");
      Control<SetupWidgets::TSettingEdit>(*advanced, "txtWWWHost")->setText("127.0.0.1");
      Control<QPushButton>(*advanced, "cmdCancel")->click();
    });
    Control<QPushButton>(*setup, "cmdAdvanced")->click();
    // Back in the setup dialog, which is still waiting for its own OK or Cancel.
    WhenModal([&] {
      setupBackAfterCancel = setup->isVisible();
      Control<QPushButton>(*setup, "cmdOK")->click();
    });
  });
  EXPECT_EQ(setup->exec(), QDialog::Accepted);
  EXPECT_TRUE(setupHidden);
  EXPECT_TRUE(setupBackAfterCancel);

  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")), "0.0.0.255");
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")), "EAS");
  EXPECT_TRUE(Control<QCheckBox>(*advanced, "chkPrintCFStasks")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(*advanced, "chkProcessUDPBroadcastPackets")->isChecked());
  EXPECT_EQ(Text(Control<QLabel>(*advanced, "lblPDWLogPath")), "/var/pdw");
  EXPECT_EQ(Text(Control<QLineEdit>(*advanced, "lblPDWLogPathCaption")), "PDW log path: /var/pdw");
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtWWWHost")),
            "127.0.0.1");  // not refreshed: kept for OK
  setup->ApplySetupControls();
  EXPECT_EQ(Stored().VEK.WWWHost, "127.0.0.1");
  EXPECT_EQ(Stored().Corvan.UDPAddr, "0.0.0.255");

  // With OK the advanced edits stay until the setup dialog is confirmed.
  WhenModal([&] {
    WhenModal([&] {
      Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")->setText("10.99.0.255");
      Control<QPushButton>(*advanced, "cmdOK")->click();
    });
    Control<QPushButton>(*setup, "cmdAdvanced")->click();
    WhenModal([&] { Control<QPushButton>(*setup, "cmdCancel")->click(); });
  });
  EXPECT_EQ(setup->exec(), QDialog::Rejected);
  EXPECT_EQ(Text(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")), "10.99.0.255");
  EXPECT_EQ(Stored().Corvan.UDPAddr, "0.0.0.255");
}

TEST_F(SetupDialogs, BrowseSetsThePDWLogFolderAndCanCreateIt) {
  const std::string stored = dir.file("pdw-stored");
  WriteSettings([&] { Lib::gCorvanSettings.PDWLogPath = stored; });
  setup->FillSetupControls();
  advanced->RefreshAdvancedSetupForm();
  std::filesystem::create_directory(dir.file("existing"));

  struct Case {
    const char* what;
    std::function<void()> script;
    std::string applied;
    bool created;
  };
  const std::string fresh = dir.file("new/logs");
  const std::string refused = dir.file("refused");
  const Case cases[] = {
      {"existing folder", [&] { dialogs.FolderChosen(dir.file("existing")); }, dir.file("existing"), false},
      {"cancelled", [&] { dialogs.Cancelled(tDialogKind::SelectDirectory); }, stored, false},
      {"new folder, created", [&] { dialogs.FolderChosen(fresh).Button(tModalResult::mrYes); }, fresh, true},
      {"new folder, refused", [&] { dialogs.FolderChosen(refused).Button(tModalResult::mrNo); }, stored, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs.ClearCalls();
    c.script();
    Control<QPushButton>(*advanced, "cmdBrowsePDWLogPath")->click();
    ASSERT_FALSE(dialogs.Calls().empty());
    EXPECT_EQ(dialogs.Calls()[0].Default, stored);  // the chooser starts at the stored folder
    EXPECT_EQ(Text(Control<QLabel>(*advanced, "lblPDWLogPath")), c.applied);
    EXPECT_EQ(Text(Control<QLineEdit>(*advanced, "lblPDWLogPathCaption")), "PDW log path: " + c.applied);
    if (c.created) {
      EXPECT_TRUE(std::filesystem::is_directory(c.applied));
    }
  }
  EXPECT_FALSE(std::filesystem::exists(refused));

  dialogs.FolderChosen(fresh);
  Control<QPushButton>(*advanced, "cmdBrowsePDWLogPath")->click();
  setup->ApplySetupControls();
  EXPECT_EQ(Stored().Corvan.PDWLogPath, fresh);
}

TEST_F(SetupDialogs, APastedLineBreakNeverReachesTheSettingsFile) {
  WriteSettings([] { Lib::gVEKSettings.WWWHostActive = "10.99.0.7"; });
  setup->FillSetupControls();
  // Each one-line field, as the operator would paste two lines into it.
  for (QLineEdit* field :
       {static_cast<QLineEdit*>(Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")),
        static_cast<QLineEdit*>(Control<SetupWidgets::TSettingEdit>(*advanced, "txtWWWHost")),
        static_cast<QLineEdit*>(Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")),
        static_cast<QLineEdit*>(Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")),
        static_cast<QLineEdit*>(Control<SetupWidgets::TSettingEdit>(*advanced, "txtSerialComms"))}) {
    SCOPED_TRACE(S(field->objectName()));
    field->setEnabled(true);
    field->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("10.99.0.1\r\n<!--"));
    field->paste();
    EXPECT_EQ(Text(field), "10.99.0.1<!--");
  }
  setup->ApplySetupControls();
  const setuptest::tStored stored = Stored();
  EXPECT_EQ(stored.VEK.WWWHost, "10.99.0.1<!--");
  EXPECT_EQ(stored.Corvan.MainUnit, "10.99.0.1<!--");
  EXPECT_EQ(stored.Corvan.UDPAddr, "10.99.0.1<!--");
  EXPECT_EQ(stored.Corvan.ProcessVEKUnits, "10.99.0.1<!--");
  EXPECT_EQ(stored.Corvan.SerialComms, "10.99.0.1<!--");
  // What follows the fields in the file is still read.
  EXPECT_EQ(stored.VEK.WWWHostActive, "10.99.0.7");
}

TEST_F(SetupDialogs, AFolderFromTheSettingsIsShownAsWritten) {
  // Rendered as markup, the picture would be read from a pipe that never ends.
  corvantest::FifoProbe fifo(dir.file("FIFO"));
  const std::string folder = "<b>/var/pdw</b><img src='" + dir.file("FIFO") + "'>";
  WriteSettings([&] { Lib::gCorvanSettings.PDWLogPath = folder; });
  setup->FillSetupControls();
  advanced->grab();  // laid out and painted
  EXPECT_EQ(Text(Control<QLineEdit>(*advanced, "lblPDWLogPathCaption")),
            "PDW log path: " + folder);  // a field shows text as written
  EXPECT_FALSE(fifo.Opened()) << "a picture named in the folder was loaded";
}

TEST_F(SetupDialogs, ALongPDWFolderScrollsInItsFieldInsteadOfWideningTheDialog) {
  WriteSettings([] { Lib::gCorvanSettings.PDWLogPath = "/var/pdw"; });
  advanced->RefreshAdvancedSetupForm();
  advanced->show();
  QCoreApplication::processEvents();
  const QSize usual = advanced->size();

  const std::string folder = "/srv/pager-decoders/pdw-flex-receiver-north-eastern-hills/logs/" + std::string(28, 'x');
  ASSERT_EQ(folder.size(), 91u);
  WriteSettings([&] { Lib::gCorvanSettings.PDWLogPath = folder; });
  advanced->RefreshAdvancedSetupForm();
  QCoreApplication::processEvents();
  EXPECT_EQ(advanced->size(), usual);
  // The field shows the caption first and keeps the whole folder for scrolling.
  EXPECT_EQ(Control<QLineEdit>(*advanced, "lblPDWLogPathCaption")->cursorPosition(), 0);
  EXPECT_EQ(Text(Control<QLineEdit>(*advanced, "lblPDWLogPathCaption")), "PDW log path: " + folder);
  advanced->hide();
}

TEST_F(SetupDialogs, AValueTheFileCannotGiveBackKeepsTheDialogOpenNamingItsField) {
  WriteSettings([] {
    Lib::gCorvanSettings.MainUnit = "STT";
    Lib::gCorvanSettings.ProcessVEKUnits = "STT";
    Lib::gVEKSettings.WWWHost = "127.0.0.1";
  });
  const std::string stored = dir.read("CorvanSrvc-Settings.xml");
  // Each text field holding a closing tag: the file would give back what precedes it.
  struct Case {
    const char* caption;
    std::function<void(const QString&)> type;
    const char* element;  // whose closing tag the value holds
    bool advancedField;
  };
  const Case cases[] = {
      // The main unit is upper-cased, so its own tag cannot be typed; an empty unit filter
      // takes it as typed.
      {"Main unit",
       [&](const QString& v) {
         Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")->setText(v);
         Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")->setText("");
       },
       "ProcessVEKUnits", false},
      {"Tarnex server",
       [&](const QString& v) { Control<SetupWidgets::TSettingEdit>(*advanced, "txtWWWHost")->setText(v); }, "WWWHost",
       true},
      {"PDW log file path", [&](const QString& v) { Control<QLabel>(*advanced, "lblPDWLogPath")->setText(v); },
       "PDWLogPath", true},
      {"UDP broadcast address",
       [&](const QString& v) { Control<SetupWidgets::TSettingEdit>(*advanced, "txtBroadcastAddr")->SetValue(v); },
       "UDPAddr", true},
      {"Process Unit",
       [&](const QString& v) { Control<SetupWidgets::TSettingEdit>(*advanced, "txtProcessVEKUnits")->setText(v); },
       "ProcessVEKUnits", true},
      {"Corvan300 serial port settings",
       [&](const QString& v) { Control<SetupWidgets::TSettingEdit>(*advanced, "txtSerialComms")->setText(v); },
       "SerialComms", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    const std::string value = std::string("a</") + c.element + ">b";
    const std::string refusal = std::string(c.caption) + ": '" + value +
                                "' cannot be stored in the settings file (it would read back as 'a'). Change "
                                "it, or cancel to keep the stored settings.";
    // The dialog the field is on refuses its OK, and so does the setup dialog's, which
    // saves the fields of both.
    std::vector<std::pair<QDialog*, QPushButton*>> oks = {{setup.get(), Control<QPushButton>(*setup, "cmdOK")}};
    if (c.advancedField) oks.push_back({advanced.get(), Control<QPushButton>(*advanced, "cmdOK")});
    for (const auto& [dialog, ok] : oks) {
      setup->FillSetupControls();
      c.type(platform::Q(value));
      dialogs.ClearCalls();
      dialogs.Message();
      bool stillOpen = false;
      WhenModal([&, dialog = dialog, ok = ok] {
        ok->click();
        stillOpen = dialog->isVisible();
        dialog->reject();
      });
      EXPECT_EQ(dialog->exec(), QDialog::Rejected);
      EXPECT_TRUE(stillOpen);
      ASSERT_EQ(dialogs.Calls().size(), 1u);
      EXPECT_EQ(dialogs.Calls()[0].Text, refusal);
      EXPECT_EQ(dir.read("CorvanSrvc-Settings.xml"), stored);
    }
  }

  // What the file gives back as it is goes through, markup and comment ends included.
  setup->FillSetupControls();
  Control<SetupWidgets::TSettingEdit>(*advanced, "txtWWWHost")->setText("<b>10.99.0.1</b> --> <!--");
  dialogs.ClearCalls();
  WhenModal([&] { Control<QPushButton>(*setup, "cmdOK")->click(); });
  EXPECT_EQ(setup->exec(), QDialog::Accepted);
  EXPECT_TRUE(dialogs.Calls().empty());
  setup->ApplySetupControls();
  EXPECT_EQ(Stored().VEK.WWWHost, "<b>10.99.0.1</b> --> <!--");
}
