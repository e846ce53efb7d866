// The reaction to the files the service writes into the program folder, and the service
// status decided from them and from the process list.
#include <chrono>
#include <thread>

#include "Counterparts.h"
#include "CorvanSettings.h"
#include "Diagnostics.h"
#include "FileUtils.h"
#include "MainForm.h"
#include "ProcessCount.h"
#include "QtText.h"
#include "ServiceState.h"
#include "TextUtils.h"

namespace MainForm {

using namespace Counterparts;

namespace {

// The service may still be writing when the change is reported; give it a moment.
void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool Contains(const std::string& text, std::string_view what) {
  return text.find(what) != std::string::npos;
}

// The text box shows lines; the service writes CR LF.
QString MemoText(const std::string& text) {
  QString q = Q(text);
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return q;
}

}  // namespace

void TfrmMain::DirMonitorChange(TDirMonitor* /*Sender*/, TAction Action, const std::string& FileName) {
  DropErrors([&] {
    const std::string name = brix32::UpperCase(FileName);
    // A notified file is read by the name it was notified with.
    const std::string file = ProgramFolder() + FileName;
    const std::string title = application_->Title();
    const std::string& version = brix32::gGlobalSettings.Version;

    if (name == kTarnexHeartbeatFile) {
      Wait(20);
      const std::string text = brix32::FileToBin(file);
      SetTrayHint(LastMessageHint(title, version, brix32::Now()));
      memTarnexConnectionHeartbeat->clear();
      memTarnexConnectionHeartbeat->appendPlainText(MemoText(text));
      const std::int32_t count = GoingCount(text);
      if (count >= 0) {
        SetCaption(lblGoingRFAs, std::to_string(count));
        lblGoingRFAs->setVisible(true);
        lblGoingRFAsTitle->setVisible(true);
      }
      SetCaption(lblGoingRFAsTitle, GoingTitle(count));
    } else if (name == kSerialHeartbeatFile || name == kUdpListenHeartbeatFile) {
      Wait(80);
      SetTrayHint(LastMessageHint(title, version, brix32::Now()));
      memTarnexConnectionHeartbeat->clear();
      const std::string prefix = name == kSerialHeartbeatFile ? "COM:" : "UDP:";
      memTarnexConnectionHeartbeat->appendPlainText(MemoText(prefix + brix32::FileToBin(file)));
    } else if (name == kMessageFile) {
      // The service creates the file anew for each message; rewrites are not messages.
      if (Action != faADDED) return;
      Wait(80);
      const std::string text = brix32::FileToBin(file);
      if (Contains(text, kStoppedKeyword)) Wait(2000);
      tGetStatus status;
      GetStatus(status);
      ShowStatus(status);
      TrayIcon->SetIcon(GetPrintStateIcon());
      const bool bad = Contains(text, kStoppedKeyword) || Contains(text, kDisconnectKeyword);
      TrayIcon->ShowBalloonHint(text, bad ? 2 : 0);
      SetTrayHint(title + " v" + version + "\n" + text);
    } else if (name == brix32::UpperCase(kSettingsFileName)) {
      Lib::GetCorvanSettings(std::string("TfrmMain.tCorvanService.DirMonitorChange:") + "100");
      ShowConnectedTo();
    }
  });
}

void TfrmMain::GetStatus(tGetStatus& Status) { Status = GetServiceStatus(ProgramFolder()); }

platform::HICON TfrmMain::GetPrintStateIcon() {
  // Tested in order, each only when the ones before hold.
  tServiceState state;
  state.EnablePrinting = Lib::gCorvanSettings.EnablePrinting;
  if (state.EnablePrinting == 1) {
    state.ProcessCount = brix32::ProcessCount(kServiceExeName);
    if (state.ProcessCount == 1) state.MessageText = brix32::FileToBin(ServiceFile(kMessageFile));
  }
  return PrintingReady(state) ? imgPrint->Icon() : imgNoPrint->Icon();
}

void TfrmMain::ShowStatus(const tGetStatus& Status) {
  lblStatus->setText(Q(Status.StatusText));
  lblStatus->setToolTip(Q(Status.HintText));
  QPalette p = lblStatus->palette();
  p.setColor(QPalette::WindowText, StatusColour(Status.StatusText));
  lblStatus->setPalette(p);
}

void TfrmMain::ShowConnectedTo() {
  SetCaption(lblConnectedTo, "Connected to:" + Lib::gVEKSettings.WWWHostActive + ":" +
                                 std::to_string(kTestPagePort));
}

}  // namespace MainForm
