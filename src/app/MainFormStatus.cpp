// The reaction to the files the service writes into the program folder, and the service
// status decided from them and from the process list.
#include <chrono>
#include <thread>

#include "Counterparts.h"
#include "CorvanSettings.h"
#include "Diagnostics.h"
#include "MainForm.h"
#include "PlainText.h"
#include "ProcessCount.h"
#include "QtText.h"
#include "ServiceFileRead.h"
#include "ServiceState.h"

namespace MainForm {

using namespace Counterparts;

namespace {

// The service may still be writing when the change is reported; give it a moment.
void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The start of the text up to its kDataPacketBoxLines-th line end (CR LF, LF or a lone
// CR), and kDataPacketBoxBytes at most.
std::string_view FirstLines(std::string_view text) {
  text = text.substr(0, kDataPacketBoxBytes);
  std::size_t lines = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    if (++lines == kDataPacketBoxLines) return text.substr(0, i);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return text;
}

// The text box shows lines; the service writes CR LF.
QString MemoText(const std::string& text) {
  QString q = Q(FirstLines(text));
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return q;
}

}  // namespace

void TfrmMain::DirMonitorChange(TDirMonitor* /*Sender*/, TAction Action, const std::string& FileName) {
  DropErrors([&] {
    const tServiceEvent event = ServiceEventOf(FileName, Action == faADDED);
    if (event == tServiceEvent::None) return;
    // A notified file is read by the name it was notified with.
    const std::string file = ProgramFolder() + FileName;
    const std::string title = application_->Title();
    const std::string& version = brix32::gGlobalSettings.Version;
    Wait(ReadDelayMs(event));

    switch (event) {
      case tServiceEvent::TarnexHeartbeat: {
        const std::string text = brix32::ReadHeartbeat(file);
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
        break;
      }
      case tServiceEvent::SerialHeartbeat:
      case tServiceEvent::UdpListenHeartbeat:
        SetTrayHint(LastMessageHint(title, version, brix32::Now()));
        memTarnexConnectionHeartbeat->clear();
        memTarnexConnectionHeartbeat->appendPlainText(
            MemoText(std::string(HeartbeatPrefix(event)) + brix32::ReadHeartbeat(file)));
        break;
      case tServiceEvent::Message: {
        const std::string text = brix32::ReadServiceText(file);
        if (MessageSaysStopped(text)) Wait(kStoppedMessageDelayMs);
        tGetStatus status;
        GetStatus(status);
        ShowStatus(status);
        TrayIcon->SetIcon(GetPrintStateIcon());
        TrayIcon->ShowBalloonHint(text, MessageIsAlarm(text) ? 2 : 0);
        SetTrayHint(title + " v" + version + "\n" + text);
        break;
      }
      case tServiceEvent::Settings:
        Lib::GetCorvanSettings(std::string("TfrmMain.tCorvanService.DirMonitorChange:") + "100");
        ShowConnectedTo();
        break;
      case tServiceEvent::None:
        break;
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
    if (state.ProcessCount == 1) state.MessageText = brix32::ReadServiceText(ServiceFile(kMessageFile));
  }
  return PrintingReady(state) ? imgPrint->Icon() : imgNoPrint->Icon();
}

void TfrmMain::ShowStatus(const tGetStatus& Status) {
  lblStatus->setText(Q(Status.StatusText));
  lblStatus->setToolTip(platform::PlainTextToolTip(Q(Status.HintText)));
  QPalette p = lblStatus->palette();
  p.setColor(QPalette::WindowText, StatusColour(Status.StatusText));
  lblStatus->setPalette(p);
}

void TfrmMain::ShowConnectedTo() {
  SetCaption(lblConnectedTo, ConnectedToText(Lib::gVEKSettings.WWWHostActive));
}

}  // namespace MainForm
