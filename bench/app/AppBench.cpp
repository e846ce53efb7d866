// What the control panel costs: the delay from the service's write of a heartbeat to the
// text in the data-packet box, the idle cost of a hidden window, and the program's
// start-up time and peak memory. Runs inside scripts/netns-run (the program broadcasts).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "CorvanSettings.h"
#include "Diagnostics.h"
#include "FakeNotificationArea.h"
#include "MainForm.h"
#include "QtText.h"
#include "ScriptedDialogs.h"

extern char** environ;

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

void BM_HeartbeatCloseToDataBox(benchmark::State& state) {
  Folder folder;
  WriteSettings(folder.path);
  Panel panel(folder.path);
  const std::string file = folder.path + "CORVANSRVC-TARNEX-HEARTBEAT.TXT";
  std::vector<double> ms;
  int n = 0;
  for (auto _ : state) {
    for (int i = 0; i < 200; ++i) {
      const std::string text = "INFO:V=2.0.1 G=" + std::to_string(i % 7) + " T=" + std::to_string(++n);
      const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
      const auto closed = Clock::now();
      ::close(fd);
      const QString expected = MainForm::Q(text);
      if (!RunUntil([&] { return panel.form->memTarnexConnectionHeartbeat->toPlainText() == expected; },
                    std::chrono::seconds(5)))
        state.SkipWithError("the data-packet box never showed the heartbeat");
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - closed).count());
      // Let the rest of the batch (modify, close-write) pass before the next write.
      RunUntil([] { return false; }, std::chrono::milliseconds(60));
    }
  }
  state.counters["median_ms"] = Percentile(ms, 0.5);
  state.counters["p99_ms"] = Percentile(ms, 0.99);
  state.counters["writes"] = static_cast<double>(ms.size());
}
BENCHMARK(BM_HeartbeatCloseToDataBox)->Iterations(1)->Unit(benchmark::kMillisecond);

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

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
    const double cpu0 = CpuSeconds();
    const long long switches0 = ContextSwitches();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu0) / seconds;
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
    loaded = RunProgram([&](const std::string& folder) {
      std::ofstream(folder + "VEKUnits.xml", std::ios::binary) << units;
    });
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
    const QString before = panel.form->memTarnexConnectionHeartbeat->toPlainText();
    std::ofstream("/proc/self/clear_refs") << "5";
    long rssKb = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) rssKb = std::atol(line.c_str() + 6);
    // Written whole under another name and renamed into place: one change to react to.
    std::ofstream(folder.path + "heartbeat.part", std::ios::binary) << text;
    const auto written = Clock::now();
    std::filesystem::rename(folder.path + "heartbeat.part", file);
    if (!RunUntil([&] { return panel.form->memTarnexConnectionHeartbeat->toPlainText() != before; },
                  std::chrono::seconds(120)))
      state.SkipWithError("the data-packet box never changed");
    ms = std::chrono::duration<double, std::milli>(Clock::now() - written).count();
    std::ifstream after("/proc/self/status");
    for (std::string line; std::getline(after, line);)
      if (line.rfind("VmHWM:", 0) == 0) growthKb = std::atol(line.c_str() + 6) - rssKb;
  }
  state.counters["busy_ms"] = ms;
  state.counters["peak_growth_MB"] = static_cast<double>(growthKb) * 1024 / 1e6;
  state.counters["lines_shown"] = panel.form->memTarnexConnectionHeartbeat->blockCount();
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
