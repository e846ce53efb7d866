// The directory monitor's hand-over: how many changes per second get from inotify to
// OnChange, and how long after a writer's close() its handler runs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "components/DirMonitor.h"

using namespace components;

namespace {

void EnsureCoreApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char arg0[] = "bench_components";
  static char* argv[] = {arg0, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
}

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvan-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void Touch(const std::string& path) { ::close(::open(path.c_str(), O_WRONLY | O_CREAT, 0644)); }

// Changes queued while the user-interface thread is busy, then delivered with an empty
// handler: the hand-over alone, not the cost of making the changes.
void BM_EventsToOnChange(benchmark::State& state) {
  EnsureCoreApplication();
  const int kChanges = static_cast<int>(state.range(0));
  ScratchFolder folder;
  TDirMonitor monitor;
  monitor.Directory = folder.path();
  monitor.FilterNotification = {nfFILE_NAME};
  int received = 0;
  monitor.OnChange = [&](TDirMonitor*, TAction, const std::string&) { ++received; };
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    monitor.SetActive(false);  // clearing the last round must not be reported
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) std::filesystem::remove(entry.path());
    monitor.SetActive(true);
    received = 0;
    ++round;
    for (int i = 0; i < kChanges; ++i) Touch(folder.path() + std::to_string(round) + "-" + std::to_string(i));
    state.ResumeTiming();
    while (received < kChanges) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  state.SetItemsProcessed(state.iterations() * kChanges);
}
BENCHMARK(BM_EventsToOnChange)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A writer rewrites a file; the time from just before its close() until OnChange runs
// with the close's change, as the main window watches the program folder.
void BM_CloseToOnChange(benchmark::State& state) {
  EnsureCoreApplication();
  using Clock = std::chrono::steady_clock;
  ScratchFolder folder;
  const std::string file = folder.path() + "CORVANSRVC-TARNEX-HEARTBEAT.TXT";
  Touch(file);
  TDirMonitor monitor;
  monitor.Directory = folder.path();
  monitor.FilterNotification = {nfFILE_NAME, nfLAST_WRITE, nfCREATION};
  bool seen = false;
  Clock::time_point handled;
  monitor.OnChange = [&](TDirMonitor*, TAction action, const std::string&) {
    if (action != faMODIFIED) return;
    handled = Clock::now();
    seen = true;
  };
  monitor.SetActive(true);
  std::vector<double> latencies;
  for (auto _ : state) {
    seen = false;
    const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
    benchmark::DoNotOptimize(::write(fd, "INFO:V=1 G=0", 12));
    const Clock::time_point closing = Clock::now();
    ::close(fd);
    while (!seen) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = std::chrono::duration<double>(handled - closing).count();
    state.SetIterationTime(seconds);
    latencies.push_back(seconds * 1e6);
  }
  std::sort(latencies.begin(), latencies.end());
  if (!latencies.empty()) {
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
  }
}
BENCHMARK(BM_CloseToOnChange)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
