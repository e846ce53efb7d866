// The feed watchdog in the panel: a silent feed or a vanished service shown on the
// notification-area icon, in a balloon and in the logs, as soon as it is found, and
// once more when it ends.
#include "app/MainForm.h"
#include "reports/EventLog.h"
#include "settings/CorvanSettings.h"
#include "support/Syslog.h"

namespace MainForm {

void TfrmMain::timWatchdogTimer() {
  DropErrors([&] {
    if (!FeedWatchdog) return;  // start-up ended before it knew the folder
    const std::vector<tAlarmChange> changes = FeedWatchdog->Check(watchdogLimits_, Lib::gCorvanSettings);
    if (changes.empty()) return;
    std::string balloon;
    bool raised = false;
    for (const tAlarmChange& change : changes) {
      brix32::PostSyslogMsg({change.SyslogId, change.Text});
      Lib::WriteEventLog(change.Text + " (ID=" + std::to_string(change.SyslogId) + ")", false);
      balloon += (balloon.empty() ? "" : "\n") + change.Text;
      raised = raised || change.Raised;
    }
    // One balloon for the look: a second one would replace the first before it is read.
    TrayIcon->ShowBalloonHint(balloon, raised ? 2 : 0);
    ShowTrayIcon(GetPrintStateIcon());
    ShowTrayHint(hintText_);
  });
}

void TfrmMain::ShowTrayIcon(const platform::HICON& PrintState) {
  TrayIcon->SetIcon(FeedWatchdog && FeedWatchdog->AnyAlarm() ? imgAlarm->Icon() : PrintState);
}

void TfrmMain::ShowTrayHint(const std::string& Text) {
  hintText_ = Text;
  // The alarm lines go first: the notification area shows the hint's start only.
  std::string hint;
  if (FeedWatchdog)
    for (const std::string& line : FeedWatchdog->HintLines()) hint += line + "\n";
  TrayIcon->SetHint(hint + Text);
}

void TfrmMain::LoadWatchdogLimits() {
  watchdogLimits_ = ReadWatchdogLimits(ProgramFolder());
  for (const std::string& problem : watchdogLimits_.Problems)
    if (reportedLimitProblems_.insert(problem).second) {
      brix32::PostSyslogMsg({kPanelSettingsSyslogId, problem});
      Lib::WriteEventLog(problem + " (ID=" + std::to_string(kPanelSettingsSyslogId) + ")", false);
    }
}

}  // namespace MainForm
