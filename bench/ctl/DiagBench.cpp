// corvanctl diag on a crowded station: a program folder of 100,000 files (task files,
// debug files, a week of exception reports) with a 2 GB weekday log. Wall time, bundle
// size and peak resident size of one run; the folder is made once (the log is sparse).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class CrowdedFolder {
 public:
  CrowdedFolder() {
    std::string pattern = (fs::temp_directory_path() / "corvan-diag-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    root_ = pattern;
    fs::create_directory(Folder());
    const std::string report(900, 'r');
    const std::string task(300, 't');
    for (int i = 0; i < 100000; ++i) {
      std::string name;
      const std::string* text = &task;
      if (i % 10 == 0) {
        name = "E!CorvanSrvc-" + std::to_string(20261200000000000LL + i) + ".XML";
        text = &report;
      } else if (i % 10 < 5) {
        name = "TASK-20261207-S" + std::to_string(i) + ".TXT";
      } else {
        name = "D!" + std::to_string(i) + ".txt";
      }
      Write(Folder() + name, *text);
    }
    Write(Folder() + "CorvanSrvc-Settings.xml", "<xml>\r\n  <MainUnit>STT</MainUnit>\r\n</xml>\r\n");
    const std::string log = Folder() + "CORVANSRVC-EventLog-Mon.txt";
    Write(log, "");
    fs::resize_file(log, 2ULL << 30);
  }
  ~CrowdedFolder() { fs::remove_all(root_); }

  std::string Folder() const { return root_ + "/program/"; }
  std::string Bundle() const { return root_ + "/bundle.tar.gz"; }

 private:
  static void Write(const std::string& name, const std::string& text) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    ::close(fd);
  }
  std::string root_;
};

// The size of the tar archive inside the bundle: the last four bytes of a gzip file give
// it (modulo 4 GB, which a bundle never reaches).
double TarMegabytes(const std::string& bundle) {
  std::ifstream in(bundle, std::ios::binary);
  in.seekg(-4, std::ios::end);
  unsigned char size[4] = {};
  in.read(reinterpret_cast<char*>(size), 4);
  return static_cast<double>(size[0] | size[1] << 8 | size[2] << 16 | static_cast<std::uint32_t>(size[3]) << 24) / 1e6;
}

// Runs corvanctl diag once; its peak resident size in bytes, or -1.
long RunDiag(const CrowdedFolder& folder) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(CORVANCTL_PROGRAM, "corvanctl", "--folder", folder.Folder().c_str(), "diag", "--output",
            folder.Bundle().c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  rusage usage{};
  int status = 0;
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss * 1024;
}

void BM_DiagCrowdedFolder(benchmark::State& state) {
  static const CrowdedFolder folder;
  long peak = -1;
  for (auto _ : state) peak = RunDiag(folder);
  if (peak < 0) state.SkipWithError("corvanctl diag failed");
  state.counters["bundle_MB"] = static_cast<double>(fs::file_size(folder.Bundle())) / 1e6;
  state.counters["tar_MB"] = TarMegabytes(folder.Bundle());
  state.counters["peak_RSS_MB"] = static_cast<double>(peak) / 1e6;
}
BENCHMARK(BM_DiagCrowdedFolder)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
