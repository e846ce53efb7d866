// What the user does with the window and its notification-area icon: the setup dialog,
// the callout report link, the task sheets, the versions report and the display cycle.
#include <QCoreApplication>

#include "ControlEvents.h"
#include "CorvanSettings.h"
#include "Counterparts.h"
#include "MainForm.h"
#include "QtText.h"
#include "SetupAdvancedForm.h"
#include "SetupForm.h"
#include "VersionsReport.h"

namespace MainForm {

namespace {

// The hourglass while the versions are asked for; the arrow again however that ends.
class TBusyCursor {
 public:
  explicit TBusyCursor(platform::Dialogs& Dialogs) : dialogs_(Dialogs) {
    dialogs_.SetCursor(platform::tCursor::crHourGlass);
  }
  ~TBusyCursor() { dialogs_.SetCursor(platform::tCursor::crArrow); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  platform::Dialogs& dialogs_;
};

}  // namespace

void TfrmMain::ConnectCommands() {
  connect(cmdSetup, &QPushButton::clicked, this, [this] { RunCommand(&TfrmMain::cmdSetupClick); });
  connect(Button1, &QPushButton::clicked, this, [this] { RunCommand(&TfrmMain::Button1Click); });
  connect(Button3, &QPushButton::clicked, this, [this] { RunCommand(&TfrmMain::Button3Click); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  OnClick(lblURL, [this] { lblURLClick(); });
  OnDblClick(imgLogo, [this] { imgLogoDblClick(); });
  OnDblClick(pnlLogo, [this] { pnlLogoDblClick(); });
  // The text box's own area is its viewport; the frame around it is the box.
  OnDblClick(memTarnexConnectionHeartbeat->viewport(), [this] { memTarnexConnectionHeartbeatDblClick(); });
  OnDblClick(imgGoingGraph, [this] { imgGoingGraphDblClick(); });
  OnDblClick(pnlGoingGraph, [this] { pnlGoingGraphDblClick(); });
  OnDblClick(pnlClock, [this] { pnlClockDblClick(); });
}

void TfrmMain::RunCommand(void (TfrmMain::*Command)()) {
  // Qt must not see an exception leave a slot; this is where the application's default
  // error box takes over.
  try {
    (this->*Command)();
  } catch (const std::exception& e) {
    Dialogs().ShowException(e.what());
  }
}

void TfrmMain::TrayIconClick(TTrayIcon* /*Sender*/) {
  DropErrors([&] {
    FillSetupDialogs();
    tGetStatus status;
    GetStatus(status);
    ShowStatus(status);
    // An open setup dialog ends as cancelled. Behind the advanced dialog it is hidden, and
    // a hidden dialog's loop cannot be ended: it ends as soon as the advanced one closes.
    if (SetupForm::TfrmSetup* setup = SetupForm::frmSetup) {
      if (setup->isVisible())
        setup->reject();
      else if (setupOpen_ && SetupAdvancedForm::frmSetupAdvanced)
        connect(SetupAdvancedForm::frmSetupAdvanced, &QDialog::finished, setup, &QDialog::reject,
                static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection |
                                                Qt::SingleShotConnection));
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  });
}

void TfrmMain::cmdSetupClick() {
  if (!isVisible()) return;
  if (!SetupForm::frmSetup) throw std::logic_error("the setup dialog has not been created");
  SetupForm::TfrmSetup& setup = *SetupForm::frmSetup;
  // Both dialogs open on what the file holds now, the advanced one included: OK saves its
  // fields too, whether or not the operator opened it.
  FillSetupDialogs();
  setup.RefreshSetupForm();

  const TShowAgain shownAgain = HideForDialog();

  // Modal to no window of ours: the dialog holds up this command, yet the notification
  // area's icon (a window of this application too) can still be clicked to cancel it.
  setup.setWindowModality(Qt::WindowModal);
  setupOpen_ = true;
  const int result = setup.exec();
  setupOpen_ = false;

  if (result == QDialog::Accepted) {
    // Saved before the window shows again: showing it refills the dialogs from the file.
    setup.ApplySetupControls();
    show();
    TrayIcon->SetIcon(GetPrintStateIcon());
    RefreshForms();
  }
  show();
  QCoreApplication::processEvents();
}

void TfrmMain::lblURLClick() {
  // The whole address, however much of it the label shows; an empty link has nothing to open.
  if (!lblURL->Link().empty()) opener_->Open(lblURL->Link());
}

void TfrmMain::Button1Click() {
  platform::tOpenDialogParams params;
  params.Filter = "Task sheets (Task-*.pdf)|TASK-*.PDF|All Files|*.*";
  params.InitialDir = ProgramFolder();
  params.AllowMultiSelect = true;
  const std::optional<std::vector<std::string>> files = Dialogs().OpenFiles(params);
  if (files && !files->empty()) opener_->Open(files->front());
}

void TfrmMain::Button3Click() {
  const std::string& host = Lib::gVEKSettings.WWWHost;
  tInstalledVersions installed;
  tPublishedVersions published;
  {
    const TBusyCursor busy(Dialogs());
    installed = ReadInstalledVersions(ProgramFolder(), "");
    published = GetPublishedVersions(installed, host);
  }
  Dialogs().MessageDlg(VersionsReportText(installed, published, host),
                       platform::tMsgDlgType::mtInformation, {platform::tMsgDlgBtn::mbOK});
}

void TfrmMain::SwitchDisplay(QWidget* Hide, QWidget* Show) {
  Hide->setVisible(false);
  Show->setVisible(true);
}

TfrmMain::TShowAgain TfrmMain::HideForDialog() {
  hide();
  ShowLogoOnly();
  return TShowAgain{*this};
}

void TfrmMain::ShowLogoOnly() {
  memTarnexConnectionHeartbeat->setVisible(false);
  pnlGoingGraph->setVisible(false);
  pnlClock->setVisible(false);
  pnlLogo->setVisible(true);
}

void TfrmMain::imgLogoDblClick() { SwitchDisplay(pnlLogo, memTarnexConnectionHeartbeat); }
void TfrmMain::pnlLogoDblClick() { SwitchDisplay(pnlLogo, memTarnexConnectionHeartbeat); }
void TfrmMain::memTarnexConnectionHeartbeatDblClick() {
  SwitchDisplay(memTarnexConnectionHeartbeat, pnlGoingGraph);
}
void TfrmMain::imgGoingGraphDblClick() { SwitchDisplay(pnlGoingGraph, pnlClock); }
void TfrmMain::pnlGoingGraphDblClick() { SwitchDisplay(pnlGoingGraph, pnlClock); }
void TfrmMain::pnlClockDblClick() { SwitchDisplay(pnlClock, pnlLogo); }

}  // namespace MainForm
