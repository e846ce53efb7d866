// The service watcher: which events come out of which notifications, when, and with what,
// on a clock of the test's own; then on the event loop's real timers and inotify.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "MonitorTesting.h"
#include "ProcessState.h"
#include "ServiceProcesses.h"
#include "TempFolder.h"
#include "settings/CorvanSettings.h"
#include "watcher/ServiceWatcher.h"

using namespace MainForm;
using namespace std::chrono_literals;

namespace {

// Timers on a clock that moves only when the test says so.
class FakeWatchTimers : public TWatchTimers {
 public:
  tTime Now() const override { return now_; }
  void Start(std::size_t Slot, tTime When) override { due_[Slot] = {When, ++started_}; }
  void Stop(std::size_t Slot) override { due_.erase(Slot); }

  // Moves the clock on, running each slot that comes due meanwhile at its time, the
  // earliest first (slots due at the same time in the order they were started).
  void Advance(std::chrono::milliseconds Period) {
    const tTime until = now_ + Period;
    for (;;) {
      auto next = due_.end();
      for (auto it = due_.begin(); it != due_.end(); ++it)
        if (it->second.first <= until && (next == due_.end() || it->second < next->second)) next = it;
      if (next == due_.end()) break;
      const std::size_t slot = next->first;
      now_ = std::max(now_, next->second.first);
      due_.erase(next);
      OnDue(slot);
    }
    now_ = until;
  }

 private:
  tTime now_ = tTime(1h);
  std::uint64_t started_ = 0;
  std::map<std::size_t, std::pair<tTime, std::uint64_t>> due_;
};

// The events, one line each: "<ms since the start> <what>".
class Recorder : public TServiceSink {
 public:
  std::function<std::chrono::milliseconds()> Elapsed = [] { return 0ms; };
  std::vector<std::string> Log;

  void OnHeartbeat(const tHeartbeat& e) override {
    static const char* const feeds[] = {"TCP", "COM", "UDP"};
    std::string line = feeds[static_cast<int>(e.Feed)] + (" " + e.Text);
    if (e.GoingCount >= 0) line += " going " + std::to_string(e.GoingCount);
    if (!e.Latest) line += " (older)";
    Add(line);
  }
  void OnMessage(const tServiceMessage& e) override {
    Add("MSG " + e.Text + " / " + e.Status.StatusText + (e.Alarm ? " (alarm)" : ""));
  }
  void OnSettingsChanged(const tSettingsChange& e) override { Add("SETTINGS " + e.WWWHostActive); }
  void OnHostChanged(const tHostChange& e) override { Add("HOST " + e.Previous + " -> " + e.WWWHostActive); }

 private:
  void Add(const std::string& line) { Log.push_back(std::to_string(Elapsed().count()) + " " + line); }
};

class ServiceWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    corvantest::EnsureCoreApplication();
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = dir.file("CorvanSrvc-Settings.xml");
    Lib::gCorvanSettings.EnablePrinting = 1;
    Lib::gVEKSettings.WWWHost = "corvantest";
    service.Start();
  }

  // The watcher on the fake clock, on the folder (its monitor's own notifications are
  // never handed over: no event loop runs).
  void StartOnFakeClock() {
    auto timers = std::make_unique<FakeWatchTimers>();
    clock = timers.get();
    const auto start = clock->Now();
    recorder.Elapsed = [this, start] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(clock->Now() - start);
    };
    watcher = std::make_unique<TServiceWatcher>(recorder, tWatchOptions{"test", false}, std::move(timers));
    watcher->Start(dir.path());
  }

  // One step of a sequence: "+N" lets N ms pass; "V text", "S text", "U text" write the
  // TCP, serial or UDP heartbeat and report it written; "M text" creates the message file
  // anew, "m text" rewrites it in place; "H host" writes the service's active host into
  // the settings file.
  void Step(const std::string& step) {
    if (step[0] == '+') {
      clock->Advance(std::chrono::milliseconds(std::stoi(step.substr(1))));
      return;
    }
    const std::string text = step.size() > 2 ? step.substr(2) : "";
    static const std::map<char, std::string> heartbeats = {{'V', "CORVANSRVC-TARNEX-HEARTBEAT.TXT"},
                                                           {'S', "CORVANSRVC-SERIAL-HEARTBEAT.TXT"},
                                                           {'U', "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT"}};
    switch (step[0]) {
      case 'M':
        std::filesystem::remove(dir.file("CORVANSRVC-MSG.TXT"));
        Notify(components::faREMOVED, "CORVANSRVC-MSG.TXT");
        dir.write("CORVANSRVC-MSG.TXT", text);
        Notify(components::faADDED, "CORVANSRVC-MSG.TXT");
        return;
      case 'm':
        dir.write("CORVANSRVC-MSG.TXT", text);
        Notify(components::faMODIFIED, "CORVANSRVC-MSG.TXT");
        return;
      case 'H':
        dir.write("CorvanSrvc-Settings.xml", "<xml>\r\n  <WWWHostActive>" + text + "</WWWHostActive>\r\n</xml>\r\n");
        Notify(components::faMODIFIED, "CorvanSrvc-Settings.xml");
        return;
      default:
        dir.write(heartbeats.at(step[0]), text);
        Notify(components::faMODIFIED, heartbeats.at(step[0]));
    }
  }
  void Notify(components::TAction action, const std::string& name) { watcher->DirMonitorChange(nullptr, action, name); }

  corvantest::ProcessStateGuard processState;
  corvantest::TempFolder dir;
  corvantest::ServiceProcesses service{dir.path()};
  Recorder recorder;
  FakeWatchTimers* clock = nullptr;
  std::unique_ptr<TServiceWatcher> watcher;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::ostringstream out;
  for (const auto& l : lines) out << "\n  " << l;
  return out.str();
}

}  // namespace

TEST_F(ServiceWatcherTest, EventsOfInterleavedWritesComeInOrderAfterTheirWaits) {
  struct Case {
    const char* name;
    std::vector<std::string> steps;
    std::vector<std::string> events;
  } cases[] = {
      {"each file is read after its own wait, counted from its notification",
       {"V a", "+5", "S b", "+5", "U c", "+5", "M hello", "+200"},
       {"20 TCP a (older)", "85 COM b (older)", "90 UDP c", "95 MSG hello / Corvan service is running."}},
      {"a change while a read is pending joins it, and the read sees the last write",
       {"V a", "+10", "V b", "+9", "V c", "+1", "+200"},
       {"20 TCP c"}},
      {"a change after the read is read after a wait of its own",
       {"V a", "+20", "V b", "+100"},
       {"20 TCP a", "40 TCP b"}},
      {"the last packet notified is the latest, whichever feed waits longer",
       {"U a", "+10", "V b", "+100", "S c", "+10", "V d", "+100"},
       {"30 TCP b", "80 UDP a (older)", "140 TCP d", "190 COM c (older)"}},
      {"the going count comes with the TCP heartbeat only",
       {"V INFO:V=3.1.0.12 G=2 ", "S INFO:V=3.1.0.12 G=4 ", "+100"},
       {"20 TCP INFO:V=3.1.0.12 G=2  going 2 (older)", "80 COM INFO:V=3.1.0.12 G=4 "}},
      {"a message rewritten in place is no message", {"m rewritten", "+200"}, {}},
      {"messages created anew within one wait are read once, as the file is then",
       {"M one", "+30", "M two", "+200"},
       {"80 MSG two / Corvan service is running."}},
      {"a disconnection raises the alarm and decides the status at once",
       {"M CorvanSrvc: Disconnected from corvantest", "+100"},
       {"80 MSG CorvanSrvc: Disconnected from corvantest / Disconnected from corvantest (alarm)"}},
      {"after a stopped message the status waits two seconds, and reads the file then",
       {"M CorvanSrvc stopped", "+1000", "m CorvanSrvc: Disconnected from corvantest", "+1079", "+1", "+100"},
       {"2080 MSG CorvanSrvc stopped / Disconnected from corvantest (alarm)"}},
      {"a restart message within the two seconds follows the stopped one, never before it",
       {"M CorvanSrvc stopped", "+500", "M CorvanSrvc started", "+1000", "V beat", "+2000"},
       {"1520 TCP beat", "2080 MSG CorvanSrvc stopped / Corvan service is running. (alarm)",
        "2080 MSG CorvanSrvc started / Corvan service is running."}},
      {"messages created while one waits for its status are read once, after it",
       {"M CorvanSrvc stopped", "+100", "M one", "+100", "M two", "+5000"},
       {"2080 MSG CorvanSrvc stopped / Corvan service is running. (alarm)",
        "2080 MSG two / Corvan service is running."}},
      {"a second stopped message waits two seconds from its own notification",
       {"M CorvanSrvc stopped", "+100", "M CorvanSrvc stopped again", "+5000"},
       {"2080 MSG CorvanSrvc stopped / Corvan service is running. (alarm)",
        "2180 MSG CorvanSrvc stopped again / Corvan service is running. (alarm)"}},
      {"the settings are read once their batch of notifications is handled",
       {"H 10.99.0.1", "H 10.99.0.1", "+0", "H 10.99.0.1", "+0", "H 10.99.0.2", "+0"},
       {"0 SETTINGS 10.99.0.1", "0 HOST  -> 10.99.0.1", "0 SETTINGS 10.99.0.1", "0 SETTINGS 10.99.0.2",
        "0 HOST 10.99.0.1 -> 10.99.0.2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lib::gCorvanSettings.EnablePrinting = 1;
    Lib::gVEKSettings.WWWHost = "corvantest";
    Lib::gVEKSettings.WWWHostActive.clear();
    recorder.Log.clear();
    StartOnFakeClock();
    for (const auto& step : c.steps) Step(step);
    EXPECT_EQ(recorder.Log, c.events) << Joined(recorder.Log);
    EXPECT_TRUE(watcher->Idle());
    watcher.reset();
    for (const char* name : {"CORVANSRVC-MSG.TXT", "CORVANSRVC-TARNEX-HEARTBEAT.TXT", "CORVANSRVC-SERIAL-HEARTBEAT.TXT",
                             "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "CorvanSrvc-Settings.xml"})
      std::filesystem::remove(dir.file(name));
  }
}

TEST_F(ServiceWatcherTest, TheFolderRemovedWhileReadsArePendingReadsAsEmpty) {
  StartOnFakeClock();
  for (const char* step : {"V beat", "S page", "M CorvanSrvc connected.", "H 10.99.0.1"}) Step(step);
  service.StopOne();  // its program goes with the folder
  std::filesystem::remove_all(dir.path());
  clock->Advance(3000ms);
  // As a vanished file always read: empty heartbeats, an empty message, a missing program;
  // the settings stay as they were in memory, and nothing is created in the folder's place.
  const std::vector<std::string> expected = {"0 SETTINGS ", "20 TCP  (older)", "80 COM ",
                                             "80 MSG  / CorvanSrvc.exe is missing."};
  EXPECT_EQ(recorder.Log, expected) << Joined(recorder.Log);
  EXPECT_TRUE(watcher->Idle());
  EXPECT_FALSE(std::filesystem::exists(dir.path()));
  std::filesystem::create_directory(dir.path());  // for the folder's own clean-up
}

TEST_F(ServiceWatcherTest, StopDropsWhatIsPending) {
  StartOnFakeClock();
  for (const char* step : {"V beat", "M CorvanSrvc stopped", "+100"}) Step(step);
  ASSERT_EQ(recorder.Log, std::vector<std::string>{"20 TCP beat"});
  watcher->Stop();
  EXPECT_FALSE(watcher->Active());
  EXPECT_TRUE(watcher->Idle());
  clock->Advance(5000ms);
  EXPECT_EQ(recorder.Log.size(), 1u) << Joined(recorder.Log);
}

// On the event loop's own timers and the folder's real notifications.
class ServiceWatcherOnTheLoopTest : public ServiceWatcherTest {
 protected:
  void StartOnTheLoop() {
    watcher = std::make_unique<TServiceWatcher>(recorder, tWatchOptions{"test", false});
    watcher->Start(dir.path());
  }
  // Events are timed from now on.
  void TimeFromNow() {
    const auto start = std::chrono::steady_clock::now();
    recorder.Elapsed = [start] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    };
  }
  // The millisecond of the first event that ends with `what`, or -1.
  long long At(const std::string& what) const {
    for (const auto& line : recorder.Log)
      if (line.ends_with(what)) return std::stoll(line.substr(0, line.find(' ')));
    return -1;
  }
};

TEST_F(ServiceWatcherOnTheLoopTest, WaitsAreTimersThatLeaveTheLoopRunning) {
  StartOnTheLoop();
  // Ticks of the loop while the watcher waits: a sleeping watcher would hold them back.
  int ticks = 0;
  long long longestGapMs = 0;
  auto last = std::chrono::steady_clock::now();
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const auto now = std::chrono::steady_clock::now();
    longestGapMs =
        std::max<long long>(longestGapMs, std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count());
    last = now;
    ++ticks;
  });
  tick.start(5);

  dir.write("CORVANSRVC-MSG.TXT", "CorvanSrvc stopped");
  dir.write("CORVANSRVC-TARNEX-HEARTBEAT.TXT", "beat");
  TimeFromNow();  // the notifications are handed over later still, once the loop runs
  const std::string stopped = "MSG CorvanSrvc stopped / Corvan service is running. (alarm)";
  ASSERT_TRUE(corvantest::RunUntil([&] { return At(stopped) >= 0; })) << Joined(recorder.Log);
  const long long beat = At("TCP beat");
  const long long message = At(stopped);
  ASSERT_GE(beat, 0) << Joined(recorder.Log);
  // Never before its wait.
  EXPECT_GE(beat, 20);
  EXPECT_GE(message, 2080);
  EXPECT_LT(beat, message);
  // The loop went on meanwhile: a 2-second sleep would leave one gap of 2 s.
  EXPECT_GT(ticks, 20);
  EXPECT_LT(longestGapMs, 1500);
  EXPECT_TRUE(watcher->Idle());
}

TEST_F(ServiceWatcherOnTheLoopTest, DestroyedWithReadsPendingItCallsNoOneLater) {
  bool called = false;
  struct Watching : Recorder {
    bool* Called;
    void OnHeartbeat(const tHeartbeat&) override { *Called = true; }
    void OnMessage(const tServiceMessage&) override { *Called = true; }
  };
  auto watching = std::make_unique<Watching>();
  watching->Called = &called;
  const int fdsBefore = corvantest::OpenFdCount();
  auto watched = std::make_unique<TServiceWatcher>(*watching, tWatchOptions{"test", false});
  watched->Start(dir.path());
  dir.write("CORVANSRVC-MSG.TXT", "CorvanSrvc stopped");
  dir.write("CORVANSRVC-SERIAL-HEARTBEAT.TXT", "page");
  // Both notified, neither read yet (80 ms).
  ASSERT_TRUE(corvantest::RunUntil([&] { return !watched->Idle(); }));
  watched.reset();
  watching.reset();
  // Past every wait: a timer left behind would call into the freed sink (ASan says so).
  corvantest::RunFor(2300ms);
  EXPECT_FALSE(called);
  EXPECT_EQ(corvantest::OpenFdCount(), fdsBefore) << "the watcher's timers or monitor stayed open";
}

TEST(LoopWatchTimers, NeverBeforeTheTimeAndNeverAfterAStopOrAMove) {
  corvantest::EnsureCoreApplication();
  TQtWatchTimers timers(3);
  std::vector<std::pair<std::size_t, TWatchTimers::tTime>> fired;
  timers.OnDue = [&](std::size_t slot) { fired.emplace_back(slot, timers.Now()); };
  const auto start = timers.Now();
  timers.Start(0, start + 5ms);  // moved later before the loop gets to it
  timers.Start(1, start + 5ms);  // stopped before the loop gets to it
  timers.Start(2, start + 30ms);
  // Both come due while the loop is held up: what they counted then must not count.
  std::this_thread::sleep_for(20ms);
  const auto moved = timers.Now() + 60ms;
  timers.Start(0, moved);
  timers.Stop(1);
  ASSERT_TRUE(corvantest::RunUntil([&] { return fired.size() >= 2; })) << fired.size();
  corvantest::RunFor(100ms);

  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[0].first, 2u);
  EXPECT_GE(fired[0].second, start + 30ms);
  EXPECT_EQ(fired[1].first, 0u);
  EXPECT_GE(fired[1].second, moved);
}
