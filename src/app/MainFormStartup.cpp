// The start-up sequence, run once while the main window is created.
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "app/MainForm.h"
#include "pager/VEKUnits.h"
#include "platform/qt/QtText.h"
#include "reports/EventLog.h"
#include "settings/CorvanSettings.h"
#include "support/AutoRun.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/FileVersion.h"
#include "support/HostName.h"
#include "support/Syslog.h"
#include "support/TextUtils.h"

namespace MainForm {

using platform::Q;

using namespace Counterparts;

namespace {

constexpr std::int32_t kStartedSyslogId = 57002;

// This program's own file, for the log-on entry.
std::string OwnFileName() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

// The settings file named on the command line, kept absolute so that a file dialog that
// moves the working folder cannot make it point elsewhere.
std::string AbsoluteIn(const std::string& folder, const std::string& name) {
  if (!name.empty() && name.front() == '/') return name;
  return folder + name;
}

}  // namespace

void TfrmMain::FormCreate() {
  using brix32::gGlobalSettings;
  brix32::Operation op("TfrmMain.FormCreate");
  op.Run([&] {
    const tInstanceClaim claim = instance_.Claim(kInstanceName);
    if (claim != tInstanceClaim::Claimed) terminated_ = true;

    application_->SetTitle("Corvan Service Control.");

    for (QWidget* panel : {static_cast<QWidget*>(pnlLogo), static_cast<QWidget*>(memTarnexConnectionHeartbeat),
                           static_cast<QWidget*>(pnlClock), static_cast<QWidget*>(pnlGoingGraph)})
      panel->move(56, 24);
    pnlLogo->setVisible(true);
    memTarnexConnectionHeartbeat->setVisible(false);
    pnlClock->setVisible(false);
    pnlGoingGraph->setVisible(false);

    gGlobalSettings.Path = ports_.SetPathToEXEPath();
    const std::string& folder = gGlobalSettings.Path;

    const std::string argument = args_.empty() ? std::string() : args_.front();
    const std::string named = AbsoluteIn(folder, argument);
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath =
        !argument.empty() && FileExists(named) ? named : folder + std::string(kSettingsFileName);

    gGlobalSettings.SelfName = "CorvanControl";
    gGlobalSettings.Version = brix32::FileVersion2("");
    gGlobalSettings.HostName = brix32::GetHostName();
    gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";

    // Another account could hold our lock: say so, here and in the report, and end.
    if (claim == tInstanceClaim::FolderRefused) {
      exitCode_ = 1;
      std::cerr << "corvancontrol: " << instance_.Problem() << "; not starting\n";
      throw std::runtime_error(instance_.Problem());
    }

    op.Log.Trace = 100;
    brix32::PostSyslogMsg({kStartedSyslogId, "TfrmMain.FormCreate:" + std::to_string(op.Log.Trace) + " v" +
                                                 gGlobalSettings.Version + " started. gGlobalSettings.Path=" + folder});

    op.Log.Trace = 120;
    ServiceWatcher->Start(folder);
    FeedWatchdog = std::make_unique<TFeedWatchdog>(folder, ports_.WatchdogClock);
    if (ports_.WatchdogIntervalMs > 0) timWatchdog->start();

    op.Log.Trace = 200;
    if (ServiceFileExists(kUnitsFileName)) VEKLib::LoadVEKUnitsArrayFromXML(ServiceFile(kUnitsFileName));

    if (ServiceFileExists(kServiceExeName)) brix32::SetAutoRun(gGlobalSettings.SelfName, "\"" + OwnFileName() + "\"");

    hide();
    if (ports_.TrayAvailable()) {
      application_->SetShowMainForm(false);
    } else {
      // No notification area to come back from: the panel starts shown, and as a normal
      // window that may be minimized, so that it stays reachable from the task bar.
      setWindowFlags((kToolWindowFlags & ~Qt::WindowType_Mask) | Qt::Window | Qt::WindowMinimizeButtonHint);
    }

    RefreshForms();

    SetTrayHint(application_->Title() + " v" + gGlobalSettings.Version);

    memTarnexConnectionHeartbeat->clear();
    memTarnexConnectionHeartbeat->appendPlainText(
        Q("ProcessTarnexTCPFeed:=" + brix32::BooleanTStr(Lib::gCorvanSettings.ProcessTarnexTCPFeed, "True", "False")));

    pnlClock->setText(Q(brix32::FormatDateTime("hh:nn", brix32::Now())));

    op.Log.Trace = 900;
    Lib::WriteEventLog("Program started. v" + gGlobalSettings.Version + "\" (" + "TfrmMain.FormCreate" + ":" +
                           std::to_string(op.Log.Trace) + ")",
                       true);
  });
}

}  // namespace MainForm
