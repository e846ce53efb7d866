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

#include "ctl/Commands.h"
#include "ctl/CtlOutput.h"
#include "ctl/RepeatFolding.h"
#include "watchdog/FeedHeartbeats.h"
#include "watcher/ServiceWatcher.h"

namespace corvanctl {

namespace {

// Ctrl-C and SIGTERM end the event loop through a pipe, the one thing a handler may do.
int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(gStopPipe[1], &byte, 1);
}

// The watcher's events as lines "time Name=value", or with --json as JSON Lines, one
// object an event with its time in ISO 8601. A line that repeats the one before it is
// folded (RepeatFolding.h) and the folded writes are said when their time comes.
class tWatchLines : public MainForm::TServiceSink {
 public:
  tWatchLines(tContext& Ctx, bool Json) : ctx_(Ctx), json_(Json) {
    folded_.setSingleShot(true);
    QObject::connect(&folded_, &QTimer::timeout, [this] {
      SayFolded(false);
      SayFoldedLater();
    });
  }

  void OnHeartbeat(const MainForm::tHeartbeat& Event) override {
    Reporting([&] {
      tRecordOutput what;
      what.Text("Feed", MainForm::FeedLabel(Event.Feed));
      what.Text("Text", Event.Text);
      if (!Show(static_cast<int>(Event.Feed), Event.Stamp, "Heartbeat", "Heartbeat", MainForm::ShownText(Event), what))
        return;
      if (json_) {
        tRecordOutput record = Record("Heartbeat");
        record.Append(what);
        if (Event.GoingCount >= 0)
          record.Number("GoingCount", Event.GoingCount);
        else
          record.Null("GoingCount");
        record.WriteJsonLine(ctx_.Out);
        ctx_.Out.flush();
      } else {
        Line("Heartbeat", MainForm::ShownText(Event));
        if (Event.GoingCount >= 0) Line("GoingCount", std::to_string(Event.GoingCount));
      }
    });
  }

  void OnMessage(const MainForm::tServiceMessage& Event) override {
    Reporting([&] {
      if (!json_) {
        Line("Message", Event.Text);
        Line("StatusText", Event.Status.StatusText);
        return;
      }
      tRecordOutput record = Record("Message");
      record.Text("Text", Event.Text);
      record.Text("StatusText", Event.Status.StatusText);
      record.Text("HintText", Event.Status.HintText);
      record.Flag("PrintingReady", Event.PrintingReady);
      record.Flag("Alarm", Event.Alarm);
      record.WriteJsonLine(ctx_.Out);
      ctx_.Out.flush();
    });
  }

  void OnSettingsChanged(const MainForm::tSettingsChange& Event) override {
    Reporting([&] {
      tRecordOutput what;
      what.Text("WWWHostActive", Event.WWWHostActive);
      if (!Show(kSettingsLine, Event.Stamp, "Settings", "WWWHostActive", Event.WWWHostActive, what)) return;
      if (json_) {
        tRecordOutput record = Record("Settings");
        record.Append(what);
        record.WriteJsonLine(ctx_.Out);
        ctx_.Out.flush();
      } else {
        Line("WWWHostActive", Event.WWWHostActive);
      }
    });
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
    const char* Event = "";  // of the last object shown
    const char* Name = "";
    std::string Text;    // of the last line shown
    tRecordOutput What;  // of the last object shown: what tells it from others of its kind
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

  // Whether to show the line Name=Text (or the object of Event, What) unless it repeats
  // the one before; false when folded.
  bool Show(int Key, MainForm::tWriteStamp Stamp, const char* Event, const char* Name, const std::string& Text,
            const tRecordOutput& What) {
    tShown& shown = shown_[Key];
    const tRepeatFolding::tVerdict verdict = shown.Folding.Seen(Text, Stamp, tRepeatFolding::tClock::now());
    if (verdict.Folded > 0) Folded(verdict.Folded, shown);
    if (!verdict.Show) return false;
    shown.Event = Event;
    shown.Name = Name;
    shown.Text = Text;
    shown.What = What;
    return true;
  }

  // "Repeated=N Name=Text", or an object "Repeated" with the count and what was repeated:
  // the one shown last was written N more times.
  void Folded(std::int32_t Count, const tShown& Shown) {
    if (!json_) {
      Line("Repeated", std::to_string(Count) + " " + Shown.Name + "=" + Shown.Text);
      return;
    }
    tRecordOutput record = Record("Repeated");
    record.Number("Count", Count);
    record.Text("Of", Shown.Event);
    record.Append(Shown.What);
    record.WriteJsonLine(ctx_.Out);
    ctx_.Out.flush();
  }

  void Line(const char* Name, const std::string& Value) {
    ctx_.Out << DateTimeText(brix32::Now()) << ' ' << Name << '=' << EscapeValue(Value) << std::endl;
  }

  // An object's time and kind.
  static tRecordOutput Record(const char* Event) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    tRecordOutput record;
    record.Text("Time", IsoTimeText(ms / 1000, static_cast<int>(ms % 1000)));
    record.Text("Event", Event);
    return record;
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
  const bool json_;
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

  tWatchLines lines(Ctx, Ctx.Args.Flags.count("--json") > 0);
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
