// The whole window brought up to date from the settings and the service's files, every
// minute and on demand; the fresh-install question; the clock.
#include "app/JpegPicture.h"
#include "app/MainForm.h"
#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"
#include "status/VersionsReport.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/ServiceFileRead.h"
#include "support/TextUtils.h"

namespace MainForm {

using platform::Q;
using platform::S;

using namespace Counterparts;

void TfrmMain::RefreshForms() {
  DropErrors([&] {
    if (Lib::GetCorvanSettings(std::string("RefreshForms:") + "100") == 1) FreshInstall();

    LoadWatchdogLimits();
    ShowTrayIcon(GetPrintStateIcon());

    // The status file's text follows the hint's base text, once, however many refreshes
    // pass without a heartbeat or message.
    if (ServiceFileExists(kStatusFile))
      ShowTrayHint(hintBase_ + "\n" + brix32::ReadServiceText(ServiceFile(kStatusFile)));

    ShowPicture(imgDataSource, DataSourcePictureName(brix32::Now()));
    ShowPicture(imgGoingGraph, kGoingPictureFile);

    tGetStatus status;
    GetStatus(status);
    ShowStatus(status);

    const std::string& version = brix32::gGlobalSettings.Version;
    SetCaption(lblControlVersion, "Control Version: " + version);
    SetCaption(lblServiceVersion, "Service Version: ");
    ShowConnectedTo();
    const std::string serviceVersion = ServiceFileExists(kVersionFile)
                                           ? VersionText(brix32::ReadServiceText(ServiceFile(kVersionFile)))
                                           : std::string("missing CorvanSrvc-Version.txt");
    SetCaption(lblServiceVersion, S(lblServiceVersion->text()) + serviceVersion);

    lblURL->SetLink(CalloutReportURL(Lib::gVEKSettings.WWWHost, Lib::MainUnitCode()));
  });
}

void TfrmMain::FreshInstall() {
  platform::Dialogs& dialogs = *ports_.Dialogs;
  dialogs.ShowMessage("This is a fresh install.");
  const std::string answer =
      dialogs.InputBox("Fresh install...", "Set your unit.\n\nEnter a 3 character unit code to filter...", "");
  Lib::gCorvanSettings.ProcessVEKUnits = brix32::UpperCase(answer);
  Lib::gCorvanSettings.MainUnit = Lib::gCorvanSettings.ProcessVEKUnits;
  Lib::SaveCorvanSettings();
  const std::string& code = Lib::gCorvanSettings.ProcessVEKUnits;
  if (code.empty())
    dialogs.ShowMessage("The unit code was not set. You can update the unit code via Setup -> Advanced -> Unit.");
  else
    dialogs.ShowMessage("The unit code has been set to '" + code + "'" +
                        ". This can be changed via Setup -> Advanced -> Unit.");
}

void TfrmMain::ShowPicture(QLabel* Image, std::string_view FileName) {
  // An absent or unreadable picture keeps the one shown before.
  if (!ServiceFileExists(FileName)) return;
  const std::optional<QImage> picture = DecodeJpeg(brix32::ReadServicePicture(ServiceFile(FileName)));
  if (picture) Image->setPixmap(QPixmap::fromImage(*picture));
}

void TfrmMain::Timer1Timer() { RefreshForms(); }

void TfrmMain::timClockTimer() { pnlClock->setText(Q(brix32::FormatDateTime("hh:nn", brix32::Now()))); }

}  // namespace MainForm
