// Drives the main window's commands on a real X display with the real dialogs and saves
// what the screen shows, so that a person can look at them: the display cycle, the task
// dialog, the save dialog, the "Saved to" message after SheetPress, the versions report,
// the setup dialog and the task sheet chooser. The window posts syslog at start-up and
// asks the host simulator for versions, so it runs only in the private network:
//
//   scripts/netns-run xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb
//       build-x/tests/app/command_screens OUTPUT_FOLDER        (one command line)
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "Controls.h"
#include "SamplePage.h"
#include "SimProcess.h"
#include "TempFolder.h"
#include "app/MainForm.h"
#include "app/NewTaskFrom.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtNotificationArea.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupAdvancedForm.h"
#include "setup/SetupForm.h"
#include "support/Diagnostics.h"

using corvantest::Control;

namespace {

std::string gOutput;
int gFailures = 0;

void Shoot(const QWidget* w, const std::string& name) {
  const QRect r = w->frameGeometry().adjusted(-12, -12, 12, 12);
  const QPixmap shot = w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
  const std::string file = gOutput + "/" + name;
  if (!shot.save(QString::fromStdString(file))) ++gFailures;
  std::printf("%s %dx%d\n", file.c_str(), shot.width(), shot.height());
}

// Runs `step` once whatever is open has been drawn.
void Later(std::function<void()> step) { QTimer::singleShot(500, std::move(step)); }

// The modal dialog now open, shot and closed by `close`; a failure when none is open.
void ShootModal(const std::string& name, const std::function<void(QWidget*)>& close) {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) {
    std::fprintf(stderr, "no dialog open for %s\n", name.c_str());
    ++gFailures;
    return;
  }
  Shoot(modal, name);
  close(modal);
}

void Accept(QWidget* w) { static_cast<QDialog*>(w)->accept(); }
void Reject(QWidget* w) { static_cast<QDialog*>(w)->reject(); }

const std::string kPage = corvantest::TreeDownSamplePage("STT", "\r\n");

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: command_screens OUTPUT_FOLDER\n");
    return 2;
  }
  const char* netns = std::getenv("CORVAN_NETNS");
  if (!netns || std::string(netns) != "inside") {
    std::fprintf(stderr, "command_screens: run it through scripts/netns-run\n");
    return 3;
  }
  gOutput = argv[1];
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  corvantest::TempFolder dir, runtime;
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", runtime.path().c_str(), 1);
  ::setenv("CUPS_SERVER", "127.0.0.1:9", 1);
  corvantest::SimProcess host(CORVAN_HOSTSIM_EXE,
                              {"--control-version", "1.0.0.2", "--service-version", "3.1.0.12", "--sheetpress-version",
                               "2.0.0.7", "--phonehome-log", runtime.file("phonehome.log")});
  if (!host.waitForOutput("ready")) {
    std::fprintf(stderr, "host simulator: %s\n", host.err().c_str());
    return 1;
  }

  // A program folder as a site has it: settings, the latest task file, the units, version
  // files, SheetPress.
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = dir.file("CorvanSrvc-Settings.xml");
  Lib::GetCorvanSettings("screens");
  Lib::gCorvanSettings.MainUnit = "STT";
  Lib::gVEKSettings.WWWHost = "127.0.0.1";
  Lib::SaveCorvanSettings();
  Lib::gCorvanSettings = {};
  Lib::gVEKSettings = {};
  dir.write("TASK-20220101-S0001.TXT", kPage);
  dir.write("VEKUnits.xml", corvantest::ReadTestData("tools/VEKUnits.xml"));
  dir.write("CorvanSrvc-Version.txt", "3.1.0.12");
  dir.write("SheetPress-Version.txt", "2.0.0.5");
  dir.write("CORVANSRVC-TARNEX-HEARTBEAT.TXT", "INFO:V=1.2 G=2 heartbeat from the screens driver");
  std::filesystem::copy_file(CORVAN_SHEETPRESS_EXE, dir.file("SheetPress.exe"));

  platform::QtDialogs dialogs;
  platform::QtNotificationArea area;
  MainForm::tMainFormPorts ports;
  ports.Area = &area;
  ports.Dialogs = &dialogs;
  ports.SetPathToEXEPath = [&] {
    std::filesystem::current_path(dir.path());
    return dir.path();
  };
  auto form = std::make_unique<MainForm::TfrmMain>(std::vector<std::string>{}, ports);
  dialogs.SetApplicationTitle(form->Application().Title());
  SetupForm::TfrmSetup setup(dialogs);
  SetupForm::frmSetup = &setup;
  SetupAdvancedForm::TfrmSetupAdvanced advanced(dialogs);
  SetupAdvancedForm::frmSetupAdvanced = &advanced;
  NewTaskFrom::TfrmNewTask newTask;
  NewTaskFrom::frmNewTask = &newTask;
  form->TrayIconClick(nullptr);
  // Show what a heartbeat would have put into the data-packet box.
  form->ServiceWatcher->DirMonitorChange(nullptr, components::faMODIFIED, "CORVANSRVC-TARNEX-HEARTBEAT.TXT");

  MainForm::TfrmMain& f = *form;
  const auto dblClick = [](QWidget* w) { QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(2, 2)); };

  Later([&] {
    Shoot(&f, "main-logo.png");
    dblClick(Control<QLabel>(f, "imgLogo"));
    Later([&] {
      Shoot(&f, "main-packets.png");
      dblClick(Control<QPlainTextEdit>(f, "memTarnexConnectionHeartbeat")->viewport());
      Later([&] {
        Shoot(&f, "main-graph.png");
        dblClick(Control<QLabel>(f, "imgGoingGraph"));
        Later([&] {
          Shoot(&f, "main-clock.png");
          dblClick(Control<QLabel>(f, "pnlClock"));
          // Enter: the task dialog, then the save dialog, then "Saved to".
          Later([&] {
            ShootModal("task-dialog.png", [&](QWidget* w) {
              Later([&] {
                ShootModal("task-save-dialog.png", [&](QWidget* save) {
                  Later([&] { ShootModal("task-saved-message.png", Accept); });
                  Accept(save);
                });
              });
              static_cast<NewTaskFrom::TfrmNewTask*>(w)->Button1->click();
            });
          });
          Control<QPushButton>(f, "Button4")->click();

          // About, Setup, Task Sheets.
          Later([&] { ShootModal("about-report.png", Accept); });
          Control<QPushButton>(f, "Button3")->click();
          Later([&] { ShootModal("setup-dialog.png", Reject); });
          Control<QPushButton>(f, "cmdSetup")->click();
          Later([&] { ShootModal("task-sheets-chooser.png", Reject); });
          Control<QPushButton>(f, "Button1")->click();
          Later([&] {
            Shoot(&f, "main-after.png");
            QApplication::quit();
          });
        });
      });
    });
  });
  QApplication::exec();

  if (!dir.exists("TASK-20220620-S9000.PDF")) {
    std::fprintf(stderr, "SheetPress made no sheet\n");
    ++gFailures;
  }
  NewTaskFrom::frmNewTask = nullptr;
  SetupAdvancedForm::frmSetupAdvanced = nullptr;
  SetupForm::frmSetup = nullptr;
  form.reset();
  host.stop();
  return gFailures == 0 ? 0 : 1;
}
