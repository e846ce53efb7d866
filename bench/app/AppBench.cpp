// What the control panel costs: the delay from the service's write of a heartbeat to the
// text in the data-packet box, a burst of heartbeats, the idle cost of a hidden window,
// and the program's start-up time and peak memory. Runs inside scripts/netns-run (the program broadcasts).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Controls.h"
#include "app/MainForm.h"
#include "platform/fakes/FakeNotificationArea.h"
#include "platform/fakes/ScriptedDialogs.h"
#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"

// The watcher's waits as timers: the panel can say whether reads are pending.
#if __has_include("ServiceWatcher.h")
#define CORVAN_BENCH_SERVICE_WATCHER
#endif

extern char** environ;

using corvantest::Control;

namespace {

using Clock = std::chrono::steady_clock;

// A folder for one measurement, removed afterwards.
struct Folder {
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvan-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path = pattern + "/";
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

void WriteSettings(const std::string& folder) {
  Lib::gCorvanSettings = {};
  Lib::gVEKSettings = {};
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = folder + "CorvanSrvc-Settings.xml";
  Lib::GetCorvanSettings("bench");
  Lib::gVEKSettings.WWWHost = "127.0.0.1";  // a reachable phone-home host
  Lib::gCorvanSettings.MainUnit = "STT";
  Lib::SaveCorvanSettings();
}

// The main window on `folder`, hidden behind a (recorded) notification area.
struct Panel {
  explicit Panel(const std::string& folder) {
    dialogs.SetFailureHandler([](const std::string& what) {
      std::fprintf(stderr, "unexpected dialog: %s\n", what.c_str());
      std::abort();
    });
    MainForm::tMainFormPorts ports;
    ports.Area = &area;
    ports.Dialogs = &dialogs;
    ports.TrayAvailable = [] { return true; };
    ports.SetPathToEXEPath = [folder] {
      std::filesystem::current_path(folder);
      brix32::gGlobalSettings.Path = folder;
      return folder;
    };
    form = std::make_unique<MainForm::TfrmMain>(std::vector<std::string>{}, ports);
  }
  platform::FakeNotificationArea area;
  platform::ScriptedDialogs dialogs;
  std::unique_ptr<MainForm::TfrmMain> form;
};

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  QTimer tick;
  tick.start(1);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

// Writes `text` into `file` as the service does: created or truncated, written, closed.
// When the writer's close() returned.
Clock::time_point WriteLikeTheService(const std::string& file, const std::string& text) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
  ::close(fd);
  return Clock::now();
}

// The moment the data-packet box last took a text, and the first paint of its viewport
// after that: what the operator can see, and when.
struct BoxObserver : QObject {
  explicit BoxObserver(QPlainTextEdit* box) : box_(box) {
    QObject::connect(box, &QPlainTextEdit::textChanged, this, [this] {
      changed = Clock::now();
      ++changes;
      painted.reset();
    });
    box->viewport()->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && !painted) painted = Clock::now();
    return false;
  }
  QString Text() const { return box_->toPlainText(); }

  QPlainTextEdit* box_;
  Clock::time_point changed{};
  std::optional<Clock::time_point> painted;
  long changes = 0;
};

// Single writes, far enough apart that each is read on its own: from the writer's close()
// to the text in the data-packet box (exact: the box's own change signal), against the
// wait the watcher must keep before it reads that file.
void WriteToReaction(benchmark::State& state, const char* fileName, const char* prefix, int writes) {
  Folder folder;
  WriteSettings(folder.path);
  Panel panel(folder.path);
  RunUntil([] { return false; }, std::chrono::milliseconds(300));  // start-up settles
  BoxObserver box(Control<QPlainTextEdit>(*panel.form, "memTarnexConnectionHeartbeat"));
  const std::string file = folder.path + fileName;
  std::vector<double> ms;
  int n = 0;
  for (auto _ : state) {
    for (int i = 0; i < writes; ++i) {
      const std::string text = "INFO:V=2.0.1 G=" + std::to_string(i % 7) + " T=" + std::to_string(++n);
      const QString expected = platform::Q(prefix + text);
      std::optional<Clock::time_point> shown;
      const QMetaObject::Connection c = QObject::connect(
          Control<QPlainTextEdit>(*panel.form, "memTarnexConnectionHeartbeat"), &QPlainTextEdit::textChanged, [&] {
            if (!shown && box.Text() == expected) shown = Clock::now();
          });
      const auto closed = WriteLikeTheService(file, text);
      if (!RunUntil([&] { return shown.has_value(); }, std::chrono::seconds(5)))
        state.SkipWithError("the data-packet box never showed the heartbeat");
      QObject::disconnect(c);
      if (shown) ms.push_back(std::chrono::duration<double, std::milli>(*shown - closed).count());
      // The rest of the write's notifications (modify, close-write) pass before the next.
      RunUntil([] { return false; }, std::chrono::milliseconds(150));
    }
  }
  state.counters["p50_ms"] = Percentile(ms, 0.5);
  state.counters["p99_ms"] = Percentile(ms, 0.99);
  state.counters["writes"] = static_cast<double>(ms.size());
}
BENCHMARK_CAPTURE(WriteToReaction, vendor_heartbeat_20ms, "CORVANSRVC-TARNEX-HEARTBEAT.TXT", "", 200)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteToReaction, udp_heartbeat_80ms, "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "UDP:", 100)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

double CpuSeconds(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// 1,000 writes within one second, the TCP heartbeat and the UDP heartbeat in turn (the
// UDP one last), from a thread of their own, while the window shows the data-packet box.
// A 1 ms timer in the window's thread measures how long its event loop stalls. Reported:
// from the last write until the box has painted the final text and nothing is left to
// read; the longest stall from the first write to then; the process's CPU time in that
// span, less the writer's.
void BM_AlternatingBurst(benchmark::State& state) {
  constexpr int kWrites = 1000;
  Folder folder;
  WriteSettings(folder.path);
  Panel panel(folder.path);
  panel.form->show();
  panel.form->imgLogoDblClick();                                   // the data-packet box in view
  RunUntil([] { return false; }, std::chrono::milliseconds(500));  // start-up settles
  BoxObserver box(Control<QPlainTextEdit>(*panel.form, "memTarnexConnectionHeartbeat"));
  const std::string vendor = folder.path + "CORVANSRVC-TARNEX-HEARTBEAT.TXT";
  const std::string udp = folder.path + "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT";
  const QString final = platform::Q("UDP:PACKET " + std::to_string(kWrites - 1));

  for (auto _ : state) {
    std::atomic<bool> written{false};
    Clock::time_point first{}, last{};
    double writerCpu = 0;
    std::thread writer([&] {
      first = Clock::now();
      for (int i = 0; i < kWrites; ++i) {
        std::this_thread::sleep_until(first + std::chrono::microseconds(1000 * i));
        last = i % 2 == 0 ? WriteLikeTheService(
                                vendor, "INFO:V=3.1.0.12 G=" + std::to_string(i % 5) + " T=" + std::to_string(i))
                          : WriteLikeTheService(udp, "PACKET " + std::to_string(i));
      }
      writerCpu = CpuSeconds(RUSAGE_THREAD);
      written = true;
    });
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto started = Clock::now();

    // The probe: each tick notes when it ran, the CPU time so far, and whether the panel
    // has reads pending.
    struct Tick {
      Clock::time_point at;
      double cpu;
    };
    std::vector<Tick> ticks;
    std::optional<Clock::time_point> idleSince;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      const auto now = Clock::now();
      ticks.push_back({now, CpuSeconds(RUSAGE_SELF)});
#ifdef CORVAN_BENCH_SERVICE_WATCHER
      const bool idle = panel.form->ServiceWatcher->Idle();
#else
      // The window reads each change as it is handed over: nothing waits between turns.
      const bool idle = true;
#endif
      if (!idle)
        idleSince.reset();
      else if (!idleSince)
        idleSince = now;
    });
    probe.start(1);
    // Done once the writer is, the final text shows, and a second passes without change
    // (longer than any wait before a read).
    const bool done = RunUntil(
        [&] {
          return written && box.Text() == final && idleSince && Clock::now() - box.changed > std::chrono::seconds(1) &&
                 Clock::now() - *idleSince > std::chrono::seconds(1);
        },
        std::chrono::seconds(300));
    probe.stop();
    writer.join();
    if (!done || !box.painted) {
      state.SkipWithError("the panel never settled on the final text");
      return;
    }
    const Clock::time_point settled = std::max({*box.painted, *idleSince, box.changed});
    double cpu = ticks.empty() ? CpuSeconds(RUSAGE_SELF) : ticks.back().cpu;
    for (const Tick& t : ticks)
      if (t.at >= settled) {
        cpu = t.cpu;
        break;
      }
    double stall = 0;
    Clock::time_point before = started;
    for (const Tick& t : ticks) {
      if (t.at > settled) break;
      stall = std::max(stall, std::chrono::duration<double, std::milli>(t.at - before).count() - 1.0);
      before = t.at;
    }
    state.counters["settled_after_last_write_ms"] = std::chrono::duration<double, std::milli>(settled - last).count();
    state.counters["longest_stall_ms"] = stall;
    state.counters["cpu_ms"] = 1000.0 * (cpu - cpu0 - writerCpu);
    state.counters["writes_s"] = std::chrono::duration<double>(last - first).count();
    state.counters["box_changes"] = static_cast<double>(box.changes);
  }
}
BENCHMARK(BM_AlternatingBurst)->Iterations(1)->Unit(benchmark::kMillisecond);

// Context switches of every thread of this process: each is a wake-up.
long long ContextSwitches() {
  long long total = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::atoll(line.substr(line.find(':') + 1).c_str());
  }
  return total;
}

void BM_IdleHiddenWindow(benchmark::State& state) {
  const char* env = std::getenv("CORVAN_IDLE_SECONDS");
  const int seconds = env ? std::max(1, std::atoi(env)) : 60;
  Folder folder;
  WriteSettings(folder.path);
  Panel panel(folder.path);
  RunUntil([] { return false; }, std::chrono::milliseconds(500));  // start-up settles
  for (auto _ : state) {
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const long long switches0 = ContextSwitches();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds(RUSAGE_SELF) - cpu0) / seconds;
    state.counters["wakeups_per_s"] = static_cast<double>(ContextSwitches() - switches0) / seconds;
  }
  state.counters["seconds"] = seconds;
}
BENCHMARK(BM_IdleHiddenWindow)->Iterations(1)->Unit(benchmark::kSecond);

// The program as a process, started on a program folder of its own (`prepare` adds to
// it): how long from exec until the start event is in the event log (the first refresh is
// done by then), and its peak resident size at that moment.
struct ProgramRun {
  bool started = false;
  double ms = 0;
  double peakMb = 0;
};

ProgramRun RunProgram(const std::function<void(const std::string& folder)>& prepare) {
  Folder folder;
  Folder runtime;
  std::filesystem::copy_file(CORVANCONTROL_PROGRAM, folder.path + "corvancontrol");
  WriteSettings(folder.path);
  if (prepare) prepare(folder.path);
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ::inotify_add_watch(watch, folder.path.c_str(), IN_CLOSE_WRITE);
  std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime.path,
                                  "XDG_CONFIG_DIRS=" + runtime.path, "HOME=" + runtime.path};
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string exe = folder.path + "corvancontrol";
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
  pid_t pid = 0;
  ProgramRun run;
  const auto started = Clock::now();
  if (::posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()) != 0) std::abort();
  while (!run.started) {
    pollfd p{watch, POLLIN, 0};
    if (::poll(&p, 1, 60000) <= 0) break;
    alignas(inotify_event) char buffer[4096];
    const ssize_t got = ::read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < got;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      if (e->len && std::string(e->name).rfind("CORVANSRVC-EventLog-", 0) == 0) run.started = true;
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  run.ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) run.peakMb = std::atof(line.substr(6).c_str()) / 1024.0;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ::close(watch);
  return run;
}

void BM_ProgramStartUp(benchmark::State& state) {
  std::vector<double> ms;
  std::vector<double> peakMb;
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i) {
      const ProgramRun run = RunProgram({});
      if (!run.started) state.SkipWithError("the program never wrote its start event");
      ms.push_back(run.ms);
      peakMb.push_back(run.peakMb);
    }
  }
  state.counters["startup_median_ms"] = Percentile(ms, 0.5);
  state.counters["startup_max_ms"] = Percentile(ms, 1.0);
  state.counters["peak_rss_mb"] = Percentile(peakMb, 1.0);
}
BENCHMARK(BM_ProgramStartUp)->Iterations(1)->Unit(benchmark::kMillisecond);

// The program started on a units file of a million bare units (11 MB), against a start
// without one: what the units cost it at their peak.
void BM_ProgramStartUpWithAMillionUnits(benchmark::State& state) {
  std::string units;
  for (int i = 0; i < 1000000; ++i) units += "<VEKUnit>\r\n";
  ProgramRun plain;
  ProgramRun loaded;
  for (auto _ : state) {
    plain = RunProgram({});
    loaded = RunProgram(
        [&](const std::string& folder) { std::ofstream(folder + "VEKUnits.xml", std::ios::binary) << units; });
  }
  if (!plain.started || !loaded.started) state.SkipWithError("the program never wrote its start event");
  state.counters["file_MB"] = static_cast<double>(units.size()) / 1e6;
  state.counters["startup_ms"] = loaded.ms;
  state.counters["peak_over_plain_MB"] = (loaded.peakMb - plain.peakMb) * 1.048576;
}
BENCHMARK(BM_ProgramStartUpWithAMillionUnits)->Iterations(1)->Unit(benchmark::kMillisecond);

// A TCP heartbeat of 3 million short lines (9 MB): how long the window is busy with it
// (from the write to the data-packet box showing something new) and how far it raises the
// panel's resident size.
void BM_HeartbeatOfThreeMillionLines(benchmark::State& state) {
  Folder folder;
  WriteSettings(folder.path);
  Panel panel(folder.path);
  RunUntil([] { return false; }, std::chrono::milliseconds(500));  // start-up settles
  std::string text;
  for (int i = 0; i < 3000000; ++i) text += "ab\n";
  const std::string file = folder.path + "CORVANSRVC-TARNEX-HEARTBEAT.TXT";
  double ms = 0;
  long growthKb = 0;
  for (auto _ : state) {
    const QString before = Control<QPlainTextEdit>(*panel.form, "memTarnexConnectionHeartbeat")->toPlainText();
    std::ofstream("/proc/self/clear_refs") << "5";
    long rssKb = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) rssKb = std::atol(line.c_str() + 6);
    // Written whole under another name and renamed into place: one change to react to.
    std::ofstream(folder.path + "heartbeat.part", std::ios::binary) << text;
    const auto written = Clock::now();
    std::filesystem::rename(folder.path + "heartbeat.part", file);
    if (!RunUntil(
            [&] {
              return Control<QPlainTextEdit>(*panel.form, "memTarnexConnectionHeartbeat")->toPlainText() != before;
            },
            std::chrono::seconds(120)))
      state.SkipWithError("the data-packet box never changed");
    ms = std::chrono::duration<double, std::milli>(Clock::now() - written).count();
    std::ifstream after("/proc/self/status");
    for (std::string line; std::getline(after, line);)
      if (line.rfind("VmHWM:", 0) == 0) growthKb = std::atol(line.c_str() + 6) - rssKb;
  }
  state.counters["busy_ms"] = ms;
  state.counters["peak_growth_MB"] = static_cast<double>(growthKb) * 1024 / 1e6;
  state.counters["lines_shown"] = Control<QPlainTextEdit>(*panel.form, "memTarnexConnectionHeartbeat")->blockCount();
}
BENCHMARK(BM_HeartbeatOfThreeMillionLines)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Offscreen, and with runtime and autostart folders of its own, like the tests.
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  Folder scratch;
  ::setenv("XDG_RUNTIME_DIR", scratch.path.c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", scratch.path.c_str(), 1);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
