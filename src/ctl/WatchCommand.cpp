// watch: the panel's reaction to the service's files, as lines on standard output.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <chrono>
#include <map>
#include <ostream>
#include <thread>

#include "Commands.h"
#include "CorvanSettings.h"
#include "CtlOutput.h"
#include "DirMonitor.h"
#include "ServiceFileRead.h"
#include "ServiceState.h"
#include "StatusRules.h"

namespace corvanctl {

namespace {

// Ctrl-C and SIGTERM end the event loop through a pipe, the one thing a handler may do.
int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gStopPipe[1], &byte, 1);
}

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class tWatcher {
 public:
  explicit tWatcher(tContext& Ctx) : ctx_(Ctx) {}

  void Change(TAction Action, const std::string& FileName) {
    const MainForm::tServiceEvent event = MainForm::ServiceEventOf(FileName, Action == faADDED);
    if (event == MainForm::tServiceEvent::None) return;
    // A notified file is read by the name it was notified with.
    const std::string file = ctx_.Folder + FileName;
    Wait(MainForm::ReadDelayMs(event));
    switch (event) {
      case MainForm::tServiceEvent::TarnexHeartbeat: {
        const std::string text = brix32::ReadHeartbeat(file);
        if (Repeated(event, text)) break;
        Line("Heartbeat", text);
        const std::int32_t count = MainForm::GoingCount(text);
        if (count >= 0) Line("GoingCount", std::to_string(count));
        break;
      }
      case MainForm::tServiceEvent::SerialHeartbeat:
      case MainForm::tServiceEvent::UdpListenHeartbeat: {
        const std::string text = brix32::ReadHeartbeat(file);
        if (Repeated(event, text)) break;
        Line("Heartbeat", std::string(MainForm::HeartbeatPrefix(event)) + text);
        break;
      }
      case MainForm::tServiceEvent::Message: {
        const std::string text = brix32::ReadServiceText(file);
        Line("Message", text);
        if (MainForm::MessageSaysStopped(text)) Wait(MainForm::kStoppedMessageDelayMs);
        Line("StatusText", MainForm::GetServiceStatus(ctx_.Folder).StatusText);
        break;
      }
      case MainForm::tServiceEvent::Settings:
        Lib::GetCorvanSettings(std::string("corvanctl.Watch:") + "100");
        if (Repeated(event, Lib::gVEKSettings.WWWHostActive)) break;
        Line("WWWHostActive", Lib::gVEKSettings.WWWHostActive);
        break;
      case MainForm::tServiceEvent::None:
        break;
    }
  }

 private:
  // A file written in several steps (created, then written) is reported once for each
  // step; the same text again within a second is that one write, shown once.
  bool Repeated(MainForm::tServiceEvent Event, const std::string& Text) {
    const auto now = std::chrono::steady_clock::now();
    tLast& last = last_[Event];
    const bool repeated = last.Seen && last.Text == Text && now - last.At < std::chrono::seconds(1);
    last = {true, Text, now};
    return repeated;
  }

  void Line(const char* Name, const std::string& Value) {
    ctx_.Out << DateTimeText(brix32::Now()) << ' ' << Name << '=' << EscapeValue(Value) << std::endl;
  }

  struct tLast {
    bool Seen = false;
    std::string Text;
    std::chrono::steady_clock::time_point At;
  };
  tContext& ctx_;
  std::map<MainForm::tServiceEvent, tLast> last_;
};

}  // namespace

int WatchCommand(tContext& Ctx) {
  if (!Ctx.Args.Positional.empty()) throw EUsage("watch takes no arguments");
  LoadSettings(Ctx, std::string("corvanctl.Watch:") + "100");

  int argc = 1;
  char name[] = "corvanctl";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) throw EFailure("cannot create a pipe");
  QSocketNotifier stop(gStopPipe[0], QSocketNotifier::Read);
  QObject::connect(&stop, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);

  tWatcher watcher(Ctx);
  TDirMonitor monitor;
  monitor.Directory = Ctx.Folder;
  monitor.WatchSubtree = false;
  // As the panel watches the folder.
  monitor.FilterNotification = TFilter{nfFILE_NAME, nfLAST_WRITE, nfCREATION};
  monitor.OnChange = [&](TDirMonitor*, TAction Action, const std::string& FileName) {
    // As in the panel, one failed reaction does not end the watch.
    try {
      watcher.Change(Action, FileName);
    } catch (const std::exception& e) {
      Ctx.Err << "corvanctl: " << FileName << ": " << e.what() << std::endl;
    }
  };
  try {
    monitor.SetActive(true);
  } catch (const std::exception& e) {
    throw EFailure("cannot watch " + Ctx.Folder + ": " + e.what());
  }
  Ctx.Err << "corvanctl: watching " << Ctx.Folder << " (Ctrl-C to stop)" << std::endl;
  app.exec();
  monitor.SetActive(false);
  return kExitOK;
}

}  // namespace corvanctl
