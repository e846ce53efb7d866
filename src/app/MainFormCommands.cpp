// What the user does with the window and its notification-area icon: the setup dialog,
// the callout report link, the task sheets, the versions report and the display cycle.
#include <QApplication>
#include <QDialog>

#include "app/ControlEvents.h"
#include "app/MainForm.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupAdvancedForm.h"
#include "setup/SetupForm.h"
#include "status/VersionsReport.h"
#include "support/Counterparts.h"

namespace MainForm {

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

void TfrmMain::TrayIconClick(components::TTrayIcon* /*Sender*/) {
  DropErrors([&] {
    FillSetupDialogs();
    tGetStatus status;
    GetStatus(status);
    ShowStatus(status);
    CancelOpenDialogs();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  });
}

void TfrmMain::CancelOpenDialogs() {
  // The open dialogs are Qt's modal windows, the innermost on top: message boxes and
  // choosers, the task dialog, the advanced and the setup dialog. Each ends as cancelled
  // and leaves the stack; its caller goes on once the click has been handled.
  while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
    dialog->reject();
    if (QApplication::activeModalWidget() == dialog) break;  // it would not close
  }
  // The setup dialog hides while the advanced one is open over it: it ends once that has.
  if (SetupForm::frmSetup) SetupForm::frmSetup->Cancel();
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

  const int result = setup.exec();

  if (result == QDialog::Accepted) {
    // Saved before the window shows again: showing it refills the dialogs from the file.
    setup.ApplySetupControls();
    show();
    ShowTrayIcon(GetPrintStateIcon());
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
    const platform::TBusyCursor busy(Dialogs());
    installed = ReadInstalledVersions(ProgramFolder(), "");
    published = GetPublishedVersions(installed, host);
  }
  Dialogs().MessageDlg(VersionsReportText(installed, published, host), platform::tMsgDlgType::mtInformation,
                       {platform::tMsgDlgBtn::mbOK});
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
void TfrmMain::memTarnexConnectionHeartbeatDblClick() { SwitchDisplay(memTarnexConnectionHeartbeat, pnlGoingGraph); }
void TfrmMain::imgGoingGraphDblClick() { SwitchDisplay(pnlGoingGraph, pnlClock); }
void TfrmMain::pnlGoingGraphDblClick() { SwitchDisplay(pnlGoingGraph, pnlClock); }
void TfrmMain::pnlClockDblClick() { SwitchDisplay(pnlClock, pnlLogo); }

}  // namespace MainForm
