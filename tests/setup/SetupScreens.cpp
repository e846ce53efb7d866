// Shows both setup dialogs on a real X display and saves what the screen shows, so that
// a person can look at them: the setup dialog, the advanced dialog opened from it with a
// site's values, and the explanation box of one "?" button. Sends nothing: the network
// buttons are not pressed, and the printer comes from a print server on loopback.
//
//   xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb
//       build-x/tests/setup/setup_screens OUTPUT_FOLDER     (one command line)
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>

#include "Controls.h"
#include "FakeCupsServer.h"
#include "TempFolder.h"
#include "platform/qt/QtDialogs.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupAdvancedForm.h"
#include "setup/SetupForm.h"
#include "support/Diagnostics.h"

using corvantest::Control;

namespace {

std::string gOutput;
int gFailures = 0;

// What the X server shows around `w`, as the user would see it.
void Shoot(const QWidget* w, const char* name) {
  const QRect r = w->frameGeometry().adjusted(-12, -12, 12, 12);
  const QPixmap shot = w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
  const std::string file = gOutput + "/" + name;
  if (!shot.save(QString::fromStdString(file))) ++gFailures;
  std::printf("%s %dx%d\n", file.c_str(), shot.width(), shot.height());
}

// Runs `step` once the event loop (of whichever modal dialog is open) has drawn.
void Later(std::function<void()> step) { QTimer::singleShot(400, std::move(step)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: setup_screens OUTPUT_FOLDER\n");
    return 2;
  }
  gOutput = argv[1];
  QApplication app(argc, argv);
  corvantest::TempFolder dir;
  corvantest::FakeCupsServer printers({.Printers = {"Front Office Laser"}, .Default = "Front Office Laser"});
  corvantest::UseCupsServer(printers.address());

  brix32::gGlobalSettings.Path = dir.path();
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = dir.file("CorvanSrvc-Settings.xml");
  Lib::GetCorvanSettings("screens");  // a fresh file with the defaults
  Lib::gCorvanSettings.MainUnit = "EAS";
  Lib::gCorvanSettings.PDWLogPath = "/var/lib/pdw/logs";
  Lib::gCorvanSettings.PrintCFSTasks = true;
  Lib::gCorvanSettings.ProcessVEKUnits = "EAS,MTB";
  Lib::SaveCorvanSettings();

  platform::QtDialogs dialogs;
  dialogs.SetApplicationTitle("Corvan Service Control.");
  SetupForm::TfrmSetup setup(dialogs);
  SetupForm::frmSetup = &setup;
  SetupAdvancedForm::TfrmSetupAdvanced advanced(dialogs);
  SetupAdvancedForm::frmSetupAdvanced = &advanced;

  // As the Setup command does: fill, refresh, open; then walk through the dialogs.
  const auto walk = [&](const std::string& suffix, bool help) {
    setup.FillSetupControls();
    setup.RefreshSetupForm();
    Later([&, suffix, help] {
      Shoot(&setup, ("setup" + suffix + ".png").c_str());
      Later([&, suffix, help] {
        Shoot(&advanced, ("setup-advanced" + suffix + ".png").c_str());
        if (!help) {
          Later([&] { Control<QPushButton>(advanced, "cmdCancel")->click(); });
          return;
        }
        Later([&] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Shoot(box, "setup-advanced-help.png");
            box->accept();
          } else {
            ++gFailures;
          }
          Later([&] { Control<QPushButton>(advanced, "cmdCancel")->click(); });
        });
        Control<QPushButton>(advanced, "cmdHelpUDPBroadcastPackets")->click();
      });
      Control<QPushButton>(setup, "cmdAdvanced")->click();
      Later([&] { Control<QPushButton>(setup, "cmdCancel")->click(); });
    });
    setup.exec();
  };
  walk("", true);

  // A site with a serial receiver, no service printer and a failed bind: the greyed states.
  Lib::gCorvanSettings.SerialComms = "COM1,57600,N,8,1";
  Lib::gCorvanSettings.ProcessTarnexTCPFeed = false;  // as the dialog saves it with a serial port
  Lib::gCorvanSettings.EnablePrinting = 2;
  Lib::gCorvanSettings.UDPListenPort = -1;
  Lib::SaveCorvanSettings();
  walk("-greyed", false);

  SetupAdvancedForm::frmSetupAdvanced = nullptr;
  SetupForm::frmSetup = nullptr;
  return gFailures == 0 ? 0 : 1;
}
