#include "setup/SetupAdvancedForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/qt/QtText.h"
#include "reports/PhoneHome.h"
#include "settings/CorvanSettings.h"
#include "setup/OffThread.h"
#include "setup/SetupRules.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"

namespace SetupAdvancedForm {

using platform::Q;
using platform::S;

TfrmSetupAdvanced* frmSetupAdvanced = nullptr;

namespace {

constexpr int kBroadcastAddrLength = 15;  // "255.255.255.255"

// The longest the phone-home test waits for its host's address; past it, it failed.
constexpr std::chrono::milliseconds kPhoneHomeLookupLimit{10000};

const char* const kTCPFeedWarning =
    "WARNING: You have selected to monitor TCP feed while also monitoring the COM port which "
    "may prevent the service from broadcasting UDP packets.";

std::string TarnexServerHelp() {
  std::string text =
      "This is the address of the Tarnex server. It is required for the ZIR Pager feed and "
      "downloading the VEKUnits.xml, Suburbs.xml and TaskTypes.xml files. At the VEK Units "
      "this needs to be set to ";
  text += Counterparts::kDefaultWWWHost;
  text += ".";
  return text;
}

template <class Widget>
Widget* Named(Widget* w, const char* Name) {
  w->setObjectName(QString::fromLatin1(Name));
  return w;
}

bool IsFolder(const std::string& Path) {
  std::error_code ec;
  return std::filesystem::is_directory(Path, ec);
}

}  // namespace

QPushButton* TfrmSetupAdvanced::HelpButton(const char* Name, const char* Text) {
  QPushButton* button = SetupWidgets::MakeHelpButton(this, Name);
  button->setToolTip(QString::fromLatin1(Text));
  connect(button, &QPushButton::clicked, this, [this, button] { dialogs_.ShowMessage(S(button->toolTip())); });
  return button;
}

TfrmSetupAdvanced::TfrmSetupAdvanced(platform::Dialogs& Dialogs) : QDialog(nullptr), dialogs_(Dialogs) {
  SetupWidgets::SetUpDialogWindow(this, "frmSetupAdvanced", "Corvan Service - Setup (Advanced)");

  // Row 1: saving PDF copies locally is not offered on this side; the row stays hidden.
  chkSaveTasksAsPDF =
      Named(new QCheckBox(QStringLiteral("Save Tasks as PDF on local machine"), this), "chkSaveTasksAsPDF");
  cmdHelpSaveTasksAsPDF = HelpButton("cmdHelpSaveTasksAsPDF", "If enabled the tasking sheets will be save locally.");
  chkSaveTasksAsPDF->setToolTip(cmdHelpSaveTasksAsPDF->toolTip());

  chkProcessTarnexTCPFeed = Named(new QCheckBox(QStringLiteral("Process Pager feed from Tarnex host (TCP)"), this),
                                  "chkProcessTarnexTCPFeed");
  cmdHelpTarnexTCPFeed =
      HelpButton("cmdHelpTarnexTCPFeed",
                 "Leave this ENABLED to process the Pager feed from the Tarnex host. (TCP Port 15167). Disable when "
                 "the service is running on the same machine running REZIZUZ or when connected to a Corvan300 via "
                 "the serial port.");
  chkProcessTarnexTCPFeed->setToolTip(cmdHelpTarnexTCPFeed->toolTip());

  chkPrintCFStasks = Named(new QCheckBox(QStringLiteral("Print CFS tasks"), this), "chkPrintCFStasks");
  cmdHelpPrintCFStasks = HelpButton("cmdHelpPrintCFStasks", "ENABLE to print print CFS tasks that have the VEK.");
  chkPrintCFStasks->setToolTip(cmdHelpPrintCFStasks->toolTip());

  lblTarnexServer = Named(new QLabel(QStringLiteral("Tarnex server"), this), "lblTarnexServer");
  txtWWWHost = Named(new SetupWidgets::TSettingEdit(this), "txtWWWHost");
  txtWWWHost->setToolTip(
      QStringLiteral("This is the address if the Tarnex server. It required for the Pager feed and downloading the "
                     "VEKUnits.xml, Suburbs.xml and TaskTypes.xml files"));
  cmdHelpTarnexServer = HelpButton("cmdHelpTarnexServer", TarnexServerHelp().c_str());
  lblTarnexServer->setToolTip(cmdHelpTarnexServer->toolTip());

  lblPDWLogPathCaption = Named(new QLineEdit(QStringLiteral("PDW log file path:"), this), "lblPDWLogPathCaption");
  lblPDWLogPathCaption->setReadOnly(true);
  lblPDWLogPathCaption->setFocusPolicy(Qt::ClickFocus);
  lblPDWLogPath = Named(new QLabel(this), "lblPDWLogPath");
  lblPDWLogPath->hide();
  cmdBrowsePDWLogPath = SetupWidgets::MakeButton(this, "cmdBrowsePDWLogPath", "...");
  cmdBrowsePDWLogPath->setFixedWidth(28);
  cmdHelpPDWLogPath = HelpButton(
      "cmdHelpPDWLogPath", "If PDW FLEX decoder is running, set this path to the PDW log files to enable processing.");
  lblPDWLogPathCaption->setToolTip(cmdHelpPDWLogPath->toolTip());
  cmdBrowsePDWLogPath->setToolTip(cmdHelpPDWLogPath->toolTip());

  lblUDPBroadcastAddress = Named(new QLabel(QStringLiteral("UDP broadcast address"), this), "lblUDPBroadcastAddress");
  txtBroadcastAddr = Named(new SetupWidgets::TSettingEdit(this, kBroadcastAddrLength), "txtBroadcastAddr");
  txtBroadcastAddr->SetValue(QStringLiteral("255.255.255.255"));
  cmdHelpBroadcastAddress =
      HelpButton("cmdHelpBroadcastAddress",
                 "The Pager feed is broadcast to this address on the local network so other CorvanServices can "
                 "receive them. The default Broadcast address is 255.255.255.255. If this doesn't work, try a more "
                 "specific address such as 0.0.0.255. At the units, this should be set where there is a PDW "
                 "receiver running on another machine broadcasting packets such at STT.");
  lblUDPBroadcastAddress->setToolTip(cmdHelpBroadcastAddress->toolTip());
  txtBroadcastAddr->setToolTip(cmdHelpBroadcastAddress->toolTip());

  Button4 = SetupWidgets::MakeButton(this, "Button4", "Broadcast a task on the local network.");
  cmdHelpBroadcast = HelpButton("cmdHelpBroadcast", "Click this to broadcast a dummy page on the local network.");
  Button4->setToolTip(cmdHelpBroadcast->toolTip());

  chkProcessUDPBroadcastPackets = Named(new QCheckBox(QStringLiteral("Process received UDP broadcast packets"), this),
                                        "chkProcessUDPBroadcastPackets");
  cmdHelpUDPBroadcastPackets =
      HelpButton("cmdHelpUDPBroadcastPackets",
                 "Leave this option Checked. Only uncheck when running on the same machine as the REZEDOZO.DLL web "
                 "service or if testing to see if packets are being received exclusively from the Tarnex server on "
                 "TCP 15167. If this option is disabled then the service was unable to bind to the port and the "
                 "<UDPListenPort> will need to be manually reset in CORVANSRVC-SETTINGS.XML.");
  chkProcessUDPBroadcastPackets->setToolTip(cmdHelpUDPBroadcastPackets->toolTip());

  lblProcessUnit = Named(new QLabel(QStringLiteral("Process Unit:"), this), "lblProcessUnit");
  lblProcessUnit->setToolTip(QStringLiteral("Filters units. *=All, {3 letter unit code}=Unit, {blank}=none"));
  txtProcessVEKUnits = Named(new SetupWidgets::TSettingEdit(this), "txtProcessVEKUnits");
  txtProcessVEKUnits->setFixedWidth(90);
  cmdHelpProcessUnit =
      HelpButton("cmdHelpProcessUnit", "Filter tasks by unit. *=All, {3 letter unit code}=Unit, {blank}=none");
  txtProcessVEKUnits->setToolTip(cmdHelpProcessUnit->toolTip());

  lblSerialPortSettings =
      Named(new QLabel(QStringLiteral("Corvan300 serial port settings"), this), "lblSerialPortSettings");
  txtSerialComms = Named(new SetupWidgets::TSettingEdit(this), "txtSerialComms");
  cmdHelpSerialPortSettings =
      HelpButton("cmdHelpSerialPortSettings",
                 "Set the serial parameters if connected to a Corvan3000. Eg:- COM1,57600,N,8,1. At the units this "
                 "should be left blank.");
  lblSerialPortSettings->setToolTip(cmdHelpSerialPortSettings->toolTip());
  txtSerialComms->setToolTip(cmdHelpSerialPortSettings->toolTip());

  cmdPhoneHome = SetupWidgets::MakeButton(this, "cmdPhoneHome", "Phone Home");
  cmdCancel = SetupWidgets::MakeButton(this, "cmdCancel", "Cancel");
  cmdOK = SetupWidgets::MakeButton(this, "cmdOK", "OK");

  // Columns: caption or box, value, browse, "?".
  auto* rows = new QGridLayout;
  rows->setColumnStretch(1, 1);
  rows->setColumnMinimumWidth(1, 180);
  int row = 0;
  rows->addWidget(chkSaveTasksAsPDF, row, 0, 1, 3);
  rows->addWidget(cmdHelpSaveTasksAsPDF, row++, 3);
  rows->addWidget(chkProcessTarnexTCPFeed, row, 0, 1, 3);
  rows->addWidget(cmdHelpTarnexTCPFeed, row++, 3);
  rows->addWidget(chkPrintCFStasks, row, 0, 1, 3);
  rows->addWidget(cmdHelpPrintCFStasks, row++, 3);
  rows->addWidget(lblTarnexServer, row, 0);
  rows->addWidget(txtWWWHost, row, 1, 1, 2);
  rows->addWidget(cmdHelpTarnexServer, row++, 3);
  rows->addWidget(lblPDWLogPathCaption, row, 0, 1, 2);
  rows->addWidget(cmdBrowsePDWLogPath, row, 2);
  rows->addWidget(cmdHelpPDWLogPath, row++, 3);
  rows->addWidget(lblUDPBroadcastAddress, row, 0);
  rows->addWidget(txtBroadcastAddr, row, 1, 1, 2);
  rows->addWidget(cmdHelpBroadcastAddress, row++, 3);
  rows->addWidget(Button4, row, 0, 1, 3);
  rows->addWidget(cmdHelpBroadcast, row++, 3);
  rows->addWidget(chkProcessUDPBroadcastPackets, row, 0, 1, 3);
  rows->addWidget(cmdHelpUDPBroadcastPackets, row++, 3);
  auto* unit = new QHBoxLayout;
  unit->addWidget(txtProcessVEKUnits);
  unit->addStretch(1);
  rows->addWidget(lblProcessUnit, row, 0);
  rows->addLayout(unit, row, 1, 1, 2);
  rows->addWidget(cmdHelpProcessUnit, row++, 3);
  rows->addWidget(lblSerialPortSettings, row, 0);
  rows->addWidget(txtSerialComms, row, 1, 1, 2);
  rows->addWidget(cmdHelpSerialPortSettings, row++, 3);
  chkSaveTasksAsPDF->hide();
  cmdHelpSaveTasksAsPDF->hide();
  SetupWidgets::ShowLabelsAsPlainText(this);

  SetupWidgets::LayOutDialog(this, rows, cmdPhoneHome, cmdCancel, cmdOK);

  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });
  connect(cmdCancel, &QPushButton::clicked, this, &TfrmSetupAdvanced::reject);
  connect(cmdBrowsePDWLogPath, &QPushButton::clicked, this, [this] { cmdBrowsePDWLogPathClick(); });
  connect(chkProcessTarnexTCPFeed, &QCheckBox::toggled, this, [this] { chkProcessTarnexTCPFeedClick(); });
  connect(txtSerialComms, &QLineEdit::textChanged, this, [this] { txtSerialCommsChange(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(cmdPhoneHome, &QPushButton::clicked, this, [this] { cmdPhoneHomeClick(); });
}

void TfrmSetupAdvanced::ShowPDWLogPath(const std::string& Folder) {
  lblPDWLogPath->setText(Q(Folder));
  lblPDWLogPathCaption->setText(Q("PDW log path: " + Folder));
  lblPDWLogPathCaption->setCursorPosition(0);  // the caption first; the rest scrolls
}

void TfrmSetupAdvanced::SetUDPBox(std::int32_t UDPListenPort) {
  const SetupForm::tCheckState state = SetupForm::UDPBoxFromPort(UDPListenPort);
  chkProcessUDPBroadcastPackets->setChecked(state.Checked);
  chkProcessUDPBroadcastPackets->setEnabled(state.Enabled);
}

void TfrmSetupAdvanced::FillAdvancedControls() {
  const Lib::tCorvanSettings& settings = Lib::gCorvanSettings;
  // The serial parameters before the TCP feed box: checked while the field still held an
  // older value, the box would warn and uncheck itself, and OK would save the feed off.
  txtSerialComms->SetValue(Q(settings.SerialComms));
  const bool serial = !settings.SerialComms.empty();
  chkProcessTarnexTCPFeed->setEnabled(!serial);
  chkProcessTarnexTCPFeed->setChecked(!serial && settings.ProcessTarnexTCPFeed);
  txtSerialComms->setEnabled(!chkProcessTarnexTCPFeed->isChecked());
  txtWWWHost->SetValue(Q(Lib::gVEKSettings.WWWHost));
  RefreshAdvancedSetupForm();
}

void TfrmSetupAdvanced::RefreshAdvancedSetupForm() {
  const Lib::tCorvanSettings& settings = Lib::gCorvanSettings;
  ShowPDWLogPath(settings.PDWLogPath);
  txtBroadcastAddr->SetValue(Q(settings.UDPAddr));
  SetUDPBox(settings.UDPListenPort);
  chkPrintCFStasks->setChecked(settings.PrintCFSTasks);
  txtProcessVEKUnits->SetValue(Q(SetupForm::UnitFilterShown(settings.ProcessVEKUnits, settings.MainUnit)));
}

void TfrmSetupAdvanced::RefreshFromSetupForm(const Lib::tCorvanSettings& Settings) {
  chkProcessTarnexTCPFeed->setChecked(Settings.ProcessTarnexTCPFeed);
  SetUDPBox(Settings.UDPListenPort);
  chkPrintCFStasks->setChecked(Settings.PrintCFSTasks);
  lblPDWLogPath->setText(Q(Settings.PDWLogPath));
}

void TfrmSetupAdvanced::PutControlValues(SetupForm::tSetupControlValues& Values) const {
  Values.WWWHost = S(txtWWWHost->text());
  Values.SerialComms = S(txtSerialComms->text());
  Values.ProcessTarnexTCPFeed = chkProcessTarnexTCPFeed->isChecked();
  Values.ProcessUDPBroadcastPackets = chkProcessUDPBroadcastPackets->isChecked();
  Values.PDWLogPath = S(lblPDWLogPath->text());
  Values.BroadcastAddr = S(txtBroadcastAddr->text());
  Values.PrintCFSTasks = chkPrintCFStasks->isChecked();
  Values.ProcessVEKUnits = S(txtProcessVEKUnits->text());
}

void TfrmSetupAdvanced::cmdBrowsePDWLogPathClick() {
  const std::string stored = Lib::gCorvanSettings.PDWLogPath;
  std::optional<std::string> chosen = dialogs_.SelectDirectory("PDW log path", stored);
  if (chosen && !IsFolder(*chosen)) {
    // A name typed into the chooser that does not exist yet: create it once confirmed.
    const platform::tModalResult answer = dialogs_.MessageDlg(
        *chosen + "\r\nThis folder does not exist. Do you want to create it?", platform::tMsgDlgType::mtConfirmation,
        {platform::tMsgDlgBtn::mbYes, platform::tMsgDlgBtn::mbNo});
    std::error_code ec;
    if (answer != platform::tModalResult::mrYes) {
      chosen.reset();
    } else if (!std::filesystem::create_directories(*chosen, ec) && !IsFolder(*chosen)) {
      dialogs_.ShowMessage("The folder " + *chosen + " could not be created.");
      chosen.reset();
    }
  }
  // Without a choice the stored folder applies again, and the caption says so.
  ShowPDWLogPath(chosen ? *chosen : stored);
}

void TfrmSetupAdvanced::chkProcessTarnexTCPFeedClick() {
  if (chkProcessTarnexTCPFeed->isChecked() && !txtSerialComms->text().isEmpty()) {
    dialogs_.ShowMessage(kTCPFeedWarning);
    // Only a fill from the settings gets here (the box is greyed while serial parameters
    // are set). The serial port wins, as it does when the parameters are typed: left
    // checked, the box and the serial field would both be greyed for good.
    chkProcessTarnexTCPFeed->setChecked(false);
    return;
  }
  txtSerialComms->setEnabled(!chkProcessTarnexTCPFeed->isChecked());
}

void TfrmSetupAdvanced::txtSerialCommsChange() {
  if (!txtSerialComms->text().isEmpty()) {
    chkProcessTarnexTCPFeed->setEnabled(false);
    chkProcessTarnexTCPFeed->setChecked(false);
  } else {
    chkProcessTarnexTCPFeed->setEnabled(true);
  }
}

void TfrmSetupAdvanced::cmdOKClick() {
  // The setup dialog's own fields are judged by its OK, which saves both dialogs' fields.
  SetupForm::tSetupControlValues values;
  PutControlValues(values);
  if (const std::optional<std::string> refused = SetupForm::UnstorableSetupValue(values, true)) {
    dialogs_.ShowMessage(*refused);
    return;
  }
  accept();
}

void TfrmSetupAdvanced::reject() {
  lblPDWLogPath->setText(Q(Lib::gCorvanSettings.PDWLogPath));
  QDialog::reject();
}

void TfrmSetupAdvanced::Button4Click() {
  brix32::Operation op("TfrmSetupAdvanced.Button4Click");
  op.Run([&] {
    const platform::tModalResult answer = dialogs_.MessageDlg(
        "You are about to broadcast a dummy page on the local network. Do you want to continue?",
        platform::tMsgDlgType::mtInformation, {platform::tMsgDlgBtn::mbYes, platform::tMsgDlgBtn::mbNo});
    if (answer != platform::tModalResult::mrYes) return;

    op.Log.Trace = 200;
    const tTestBroadcast sent = BroadcastTestPage(brix32::gGlobalSettings.Path, "TfrmSetup.Button4Click:900");
    switch (sent.Result) {
      case tTestBroadcast::NoDummyPage:
        dialogs_.ShowMessage(sent.Message);
        break;
      case tTestBroadcast::NetworkError:
        dialogs_.MessageDlg(sent.Message, platform::tMsgDlgType::mtWarning, {platform::tMsgDlgBtn::mbOK});
        break;
      case tTestBroadcast::Sent:
        dialogs_.ShowMessage(
            BroadcastDoneMessage(sent.Task.ZIRPage.MFSIncNo, sent.Task.ZIRPage.VEKUnit, S(txtBroadcastAddr->text())));
        break;
    }
  });
}

void TfrmSetupAdvanced::cmdPhoneHomeClick() {
  SetupWidgets::DropErrors([&] {
    const Lib::tPhoneHomeDatagram datagram = Lib::PreparePhoneHome(brix32::gGlobalSettings.SelfName + " Test");
    std::optional<std::uint32_t> address;
    {
      // A name the resolver gets no answer for holds it for seconds: it is looked up on a
      // thread of its own, while the windows go on answering, and not waited for forever.
      struct tEnabledAgain {
        QWidget* Button;
        ~tEnabledAgain() { Button->setEnabled(true); }
      } enabledAgain{cmdPhoneHome};
      cmdPhoneHome->setEnabled(false);
      const platform::TBusyCursor busy(dialogs_);
      address = SetupWidgets::WaitOffThread<std::optional<std::uint32_t>>(
                    [host = datagram.Host] { return Lib::ResolvePhoneHomeHost(host); }, kPhoneHomeLookupLimit)
                    .value_or(std::nullopt);
    }
    const bool sent = address && Lib::SendPhoneHome(*address, datagram.Text);
    dialogs_.ShowMessage(PhoneHomeResultMessage(sent, Lib::gVEKSettings.WWWHost));
  });
}

}  // namespace SetupAdvancedForm
