// What the service's files say, shown (the watcher reads them), and the service status
// decided from them and from the process list.
#include "app/MainForm.h"
#include "platform/qt/PlainText.h"
#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"
#include "status/ServiceState.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/ProcessCount.h"
#include "support/ServiceFileRead.h"

namespace MainForm {

using platform::Q;

using namespace Counterparts;

namespace {

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

void TfrmMain::OnHeartbeat(const tHeartbeat& Event) {
  DropErrors([&] {
    SetTrayHint(LastMessageHint(application_->Title(), brix32::gGlobalSettings.Version, brix32::Now()));
    // A packet older than one of another feed, read later only because its wait was
    // shorter, would hide the newer one that is shown already or is about to be.
    if (Event.Latest) {
      memTarnexConnectionHeartbeat->clear();
      memTarnexConnectionHeartbeat->appendPlainText(MemoText(ShownText(Event)));
    }
    if (Event.Feed != tFeed::VendorTcp) return;
    if (Event.GoingCount >= 0) {
      SetCaption(lblGoingRFAs, std::to_string(Event.GoingCount));
      lblGoingRFAs->setVisible(true);
      lblGoingRFAsTitle->setVisible(true);
    }
    SetCaption(lblGoingRFAsTitle, GoingTitle(Event.GoingCount));
  });
}

void TfrmMain::OnMessage(const tServiceMessage& Event) {
  DropErrors([&] {
    ShowStatus(Event.Status);
    ShowTrayIcon(Event.PrintingReady ? imgPrint->Icon() : imgNoPrint->Icon());
    TrayIcon->ShowBalloonHint(Event.Text, Event.Alarm ? 2 : 0);
    SetTrayHint(application_->Title() + " v" + brix32::gGlobalSettings.Version + "\n" + Event.Text);
  });
}

void TfrmMain::OnSettingsChanged(const tSettingsChange& /*Event*/) {
  DropErrors([&] { ShowConnectedTo(); });
}

void TfrmMain::OnHostChanged(const tHostChange& /*Event*/) {}

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

void TfrmMain::ShowConnectedTo() { SetCaption(lblConnectedTo, ConnectedToText(Lib::gVEKSettings.WWWHostActive)); }

}  // namespace MainForm
