#include "app/Program.h"

#include <QApplication>
#include <memory>

#include "app/InstanceHandOver.h"
#include "app/MainForm.h"
#include "app/NewTaskFrom.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtNotificationArea.h"
#include "setup/SetupAdvancedForm.h"
#include "setup/SetupForm.h"
#include "support/Hooks.h"

namespace MainForm {
namespace {

// How long a second start waits for the first copy to answer (it may still be starting).
constexpr int kHandOverTimeoutMs = 5000;

}  // namespace

int RunCorvanControl(int argc, char** argv) {
  QApplication app(argc, argv);  // takes the arguments meant for Qt out of argv
  // The desktop entry the installed program comes with: Wayland desktops find the icon
  // and name of the panel's window through it.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.corvan.CorvanControl"));
  // Hidden behind the icon, the program has no visible window; closing the main window
  // is what ends it.
  QApplication::setQuitOnLastWindowClosed(false);

  platform::QtDialogs dialogs;
  platform::QtNotificationArea area;
  brix32::SetBeepHandler([](int, int) { QApplication::beep(); });
  brix32::SetProcessMessagesHandler([] { QCoreApplication::processEvents(); });
  brix32::SetMessageBoxHandler([&dialogs](const std::string& text) { dialogs.ShowMessage(text); });

  std::vector<std::string> args(argv + 1, argv + argc);
  tMainFormPorts ports;
  ports.Area = &area;
  ports.Dialogs = &dialogs;

  // The main window first: creating it runs the start-up sequence, before the dialogs exist.
  auto frmMain = std::make_unique<TfrmMain>(std::move(args), ports);
  dialogs.SetApplicationTitle(frmMain->Application().Title());
  auto frmSetup = std::make_unique<SetupForm::TfrmSetup>(dialogs);
  SetupForm::frmSetup = frmSetup.get();
  auto frmSetupAdvanced = std::make_unique<SetupAdvancedForm::TfrmSetupAdvanced>(dialogs);
  SetupAdvancedForm::frmSetupAdvanced = frmSetupAdvanced.get();
  auto frmNewTask = std::make_unique<NewTaskFrom::TfrmNewTask>();
  NewTaskFrom::frmNewTask = frmNewTask.get();

  // One panel per user: the first listens beside its lock for later starts, which bring
  // it forward as a click on its icon would, and end.
  const std::string handOverSocket = TInstanceHandOver::SocketPathFor(TSingleInstance::LockFilePath(kInstanceName));
  TInstanceHandOver handOver([&frmMain] { frmMain->TrayIconClick(frmMain->TrayIcon.get()); });
  int result = frmMain->ExitCode();
  if (!frmMain->Terminated()) {
    handOver.Listen(handOverSocket);
    frmMain->ShowOnStart();
    result = QApplication::exec();
  } else if (result == 0) {  // another copy holds the lock (not: the lock was refused)
    TInstanceHandOver::AskToShow(handOverSocket, kHandOverTimeoutMs);
  }

  NewTaskFrom::frmNewTask = nullptr;
  SetupAdvancedForm::frmSetupAdvanced = nullptr;
  SetupForm::frmSetup = nullptr;
  frmNewTask.reset();
  frmSetupAdvanced.reset();
  frmSetup.reset();
  frmMain.reset();
  brix32::SetMessageBoxHandler({});
  brix32::SetProcessMessagesHandler({});
  brix32::SetBeepHandler({});
  return result;
}

}  // namespace MainForm
