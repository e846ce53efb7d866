// What the user does with the window and its notification-area icon.
#include "MainForm.h"
#include "SetupForm.h"

namespace MainForm {

void TfrmMain::TrayIconClick(TTrayIcon* /*Sender*/) {
  DropErrors([&] {
    // TODO: refill both setup dialogs from the settings (FillSetupControls) once they
    // have their controls.
    tGetStatus status;
    GetStatus(status);
    ShowStatus(status);
    // An open setup dialog ends as cancelled.
    if (SetupForm::frmSetup && SetupForm::frmSetup->isVisible()) SetupForm::frmSetup->reject();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  });
}

}  // namespace MainForm
