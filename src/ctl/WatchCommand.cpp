// watch: the panel's reaction to the service's files, as lines on standard output.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <map>
#include <ostream>
#include <thread>

#include "Commands.h"
#include "CorvanSettings.h"
#include "CtlOutput.h"
#include "DirMonitor.h"
#include "RepeatFolding.h"
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

tWriteStamp StampOf(const std::string& FileName) {
  struct stat st {};
  if (::lstat(FileName.c_str(), &st) != 0) return {};
  return {st.st_ino, std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

class tWatcher {
 public:
  explicit tWatcher(tContext& Ctx) : ctx_(Ctx) {}

  void Change(TAction Action, const std::string& FileName) {
    const MainForm::tServiceEvent event = MainForm::ServiceEventOf(FileName, Action == faADDED);
    if (event == MainForm::tServiceEvent::None) return;
    // A notified file is read by the name it was notified with.
    const std::string file = ctx_.Folder + FileName;
    Wait(MainForm::ReadDelayMs(event));
    const tWriteStamp stamp = StampOf(file);
    switch (event) {
      case MainForm::tServiceEvent::TarnexHeartbeat: {
        const std::string text = brix32::ReadHeartbeat(file);
        if (!Show(event, stamp, "Heartbeat", text)) break;
        const std::int32_t count = MainForm::GoingCount(text);
        if (count >= 0) Line("GoingCount", std::to_string(count));
        break;
      }
      case MainForm::tServiceEvent::SerialHeartbeat:
      case MainForm::tServiceEvent::UdpListenHeartbeat:
        Show(event, stamp, "Heartbeat", std::string(MainForm::HeartbeatPrefix(event)) + brix32::ReadHeartbeat(file));
        break;
      case MainForm::tServiceEvent::Message: {
        const std::string text = brix32::ReadServiceText(file);
        Line("Message", text);
        if (MainForm::MessageSaysStopped(text)) Wait(MainForm::kStoppedMessageDelayMs);
        Line("StatusText", MainForm::GetServiceStatus(ctx_.Folder).StatusText);
        break;
      }
      case MainForm::tServiceEvent::Settings:
        // As it is now; a file the service removed is not created again from here.
        Lib::LoadCorvanSettings(std::string("corvanctl.Watch:") + "100", false);
        Show(event, stamp, "WWWHostActive", Lib::gVEKSettings.WWWHostActive);
        break;
      case MainForm::tServiceEvent::None:
        break;
    }
  }

  // Says the folded writes whose time has come; Everything: all of them (at the end).
  void SayFolded(bool Everything) {
    const auto now = tRepeatFolding::tClock::now();
    for (auto& [event, shown] : shown_) {
      const std::int32_t folded = Everything ? shown.Folding.TakeFolded() : shown.Folding.Due(now);
      if (folded > 0) Folded(folded, shown);
    }
  }

  // When SayFolded next has something to say.
  std::optional<tRepeatFolding::tClock::time_point> NextDue() const {
    std::optional<tRepeatFolding::tClock::time_point> next;
    for (const auto& [event, shown] : shown_)
      if (const auto due = shown.Folding.NextDue(); due && (!next || *due < *next)) next = due;
    return next;
  }

 private:
  struct tShown {
    tRepeatFolding Folding;
    const char* Name = "";
    std::string Text;  // of the last line shown
  };

  // The line Name=Text unless it repeats the one before; false when folded.
  bool Show(MainForm::tServiceEvent Event, tWriteStamp Stamp, const char* Name, const std::string& Text) {
    tShown& shown = shown_[Event];
    const tRepeatFolding::tVerdict verdict = shown.Folding.Seen(Text, Stamp, tRepeatFolding::tClock::now());
    if (verdict.Folded > 0) Folded(verdict.Folded, shown);
    if (!verdict.Show) return false;
    shown.Name = Name;
    shown.Text = Text;
    Line(Name, Text);
    return true;
  }

  // "Repeated=N Name=Text": the line shown last was written N more times.
  void Folded(std::int32_t Count, const tShown& Shown) {
    Line("Repeated", std::to_string(Count) + " " + Shown.Name + "=" + Shown.Text);
  }

  void Line(const char* Name, const std::string& Value) {
    ctx_.Out << DateTimeText(brix32::Now()) << ' ' << Name << '=' << EscapeValue(Value) << std::endl;
  }

  tContext& ctx_;
  std::map<MainForm::tServiceEvent, tShown> shown_;
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
  // Folded repeats are said when their time comes, even when no further write follows.
  QTimer folded;
  folded.setSingleShot(true);
  const auto sayFoldedLater = [&] {
    if (const auto due = watcher.NextDue()) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - tRepeatFolding::tClock::now());
      folded.start(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
    }
  };
  QObject::connect(&folded, &QTimer::timeout, &app, [&] {
    watcher.SayFolded(false);
    sayFoldedLater();
  });
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
    sayFoldedLater();
  };
  try {
    monitor.SetActive(true);
  } catch (const std::exception& e) {
    throw EFailure("cannot watch " + Ctx.Folder + ": " + e.what());
  }
  Ctx.Err << "corvanctl: watching " << Ctx.Folder << " (Ctrl-C to stop)" << std::endl;
  app.exec();
  monitor.SetActive(false);
  watcher.SayFolded(true);
  return kExitOK;
}

}  // namespace corvanctl
