// watch: the panel's reaction to the service's files, as lines on standard output.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "Commands.h"
#include "CtlOutput.h"
#include "RepeatFolding.h"
#include "ServiceWatcher.h"

namespace corvanctl {

namespace {

// Ctrl-C and SIGTERM end the event loop through a pipe, the one thing a handler may do.
int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gStopPipe[1], &byte, 1);
}

// The watcher's events as lines "time Name=value"; a line that repeats the one before it
// is folded (RepeatFolding.h) and the folded writes are said when their time comes.
class tWatchLines : public MainForm::TServiceSink {
 public:
  explicit tWatchLines(tContext& Ctx) : ctx_(Ctx) {
    folded_.setSingleShot(true);
    QObject::connect(&folded_, &QTimer::timeout, [this] {
      SayFolded(false);
      SayFoldedLater();
    });
  }

  void OnHeartbeat(const MainForm::tHeartbeat& Event) override {
    Reporting([&] {
      if (Show(static_cast<int>(Event.Feed), Event.Stamp, "Heartbeat", MainForm::ShownText(Event)) &&
          Event.GoingCount >= 0)
        Line("GoingCount", std::to_string(Event.GoingCount));
    });
  }

  void OnMessage(const MainForm::tServiceMessage& Event) override {
    Reporting([&] {
      Line("Message", Event.Text);
      Line("StatusText", Event.Status.StatusText);
    });
  }

  void OnSettingsChanged(const MainForm::tSettingsChange& Event) override {
    Reporting([&] { Show(kSettingsLine, Event.Stamp, "WWWHostActive", Event.WWWHostActive); });
  }

  // The settings line says it already.
  void OnHostChanged(const MainForm::tHostChange&) override {}

  // Says the folded writes whose time has come; Everything: all of them (at the end).
  void SayFolded(bool Everything) {
    const auto now = tRepeatFolding::tClock::now();
    for (auto& [key, shown] : shown_) {
      const std::int32_t folded = Everything ? shown.Folding.TakeFolded() : shown.Folding.Due(now);
      if (folded > 0) Folded(folded, shown);
    }
  }

 private:
  static constexpr int kSettingsLine = -1;  // the heartbeats' lines are keyed by their feed

  struct tShown {
    tRepeatFolding Folding;
    const char* Name = "";
    std::string Text;  // of the last line shown
  };

  // As in the panel, one failed reaction does not end the watch.
  template <class Body>
  void Reporting(Body&& body) {
    try {
      body();
    } catch (const std::exception& e) {
      ctx_.Err << "corvanctl: " << e.what() << std::endl;
    }
    SayFoldedLater();
  }

  // The line Name=Text unless it repeats the one before; false when folded.
  bool Show(int Key, MainForm::tWriteStamp Stamp, const char* Name, const std::string& Text) {
    tShown& shown = shown_[Key];
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

  // Folded repeats are said when their time comes, even when no further write follows.
  void SayFoldedLater() {
    std::optional<tRepeatFolding::tClock::time_point> next;
    for (const auto& [key, shown] : shown_)
      if (const auto due = shown.Folding.NextDue(); due && (!next || *due < *next)) next = due;
    if (!next) return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - tRepeatFolding::tClock::now());
    folded_.start(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
  }

  tContext& ctx_;
  std::map<int, tShown> shown_;
  QTimer folded_;
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

  tWatchLines lines(Ctx);
  MainForm::tWatchOptions options;
  // As it is now; a file the service removed is not created again from here.
  options.SettingsCaller = std::string("corvanctl.Watch:") + "100";
  options.CreateMissingSettings = false;
  MainForm::TServiceWatcher watcher(lines, options);
  try {
    watcher.Start(Ctx.Folder);
  } catch (const std::exception& e) {
    throw EFailure("cannot watch " + Ctx.Folder + ": " + e.what());
  }
  Ctx.Err << "corvanctl: watching " << Ctx.Folder << " (Ctrl-C to stop)" << std::endl;
  app.exec();
  watcher.Stop();
  lines.SayFolded(true);
  return kExitOK;
}

}  // namespace corvanctl
