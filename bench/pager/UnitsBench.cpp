// Loading the units directory at start-up: a file of 1,000 units with every element the
// loader reads, in the line layout the vendor's host serves; and what a load costs in
// memory, for that file and for a hostile one of a million bare units.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "pager/VEKUnits.h"

namespace {

std::string UnitsFileText(int units) {
  std::string t =
      "<?xml version=\"1.0\"?>\r\n<!-- Units directory\r\n     generated for the benchmark -->\r\n<VEKUnits>\r\n";
  char code[8];
  for (int i = 0; i < units; ++i) {
    std::snprintf(code, sizeof code, "%c%c%c", 'A' + i / 676 % 26, 'A' + i / 26 % 26, 'A' + i % 26);
    const std::string n = std::to_string(i);
    t += "  <VEKUnit>\r\n";
    t += "    <UnitCode>" + std::string(code) + "</UnitCode>\r\n";
    t += "    <UnitName>Volunteer Unit " + n + "</UnitName>\r\n";
    t += "    <District>District " + std::to_string(i % 12) + "</District>\r\n";
    t += "    <Region>Region " + std::to_string(i % 5) + "</Region>\r\n";
    t += "    <UnitManagerID>" + std::to_string(1000 + i) + "</UnitManagerID>\r\n";
    t += "    <DOPhoneNo>04" + std::to_string(10000000 + i) + "</DOPhoneNo>\r\n";
    t += "    <TalkGroup>T" + std::to_string(i % 90 + 10) + "</TalkGroup>\r\n";
    t += "    <AddressLine1>" + n + " Station Road</AddressLine1>\r\n";
    t += "    <EmailAddress>unit" + n + "@units.example</EmailAddress>\r\n";
    t += "    <AddressLine2>Rear shed</AddressLine2>\r\n";
    t += "    <Suburb>SUBURB " + n + "</Suburb>\r\n";
    t += "    <PCode>" + std::to_string(5000 + i % 1000) + "</PCode>\r\n";
    t += "    <OfficerPagerGroup>" + std::to_string(3000 + i) + "</OfficerPagerGroup>\r\n";
    t += "    <AllPagerGroup>" + std::to_string(4000 + i) + "</AllPagerGroup>\r\n";
    t += "    <ZIRSamplePeriod>15</ZIRSamplePeriod>\r\n";
    t += "    <Geometry.lat>-34." + std::to_string(100000 + i) + "</Geometry.lat>\r\n";
    t += "    <Geometry.lng>138." + std::to_string(500000 + i) + "</Geometry.lng>\r\n";
    t += "    <IncidentCount>" + std::to_string(i * 3) + "</IncidentCount>\r\n";
    t += "    <Created>01/02/2011</Created>\r\n";
    t += "    <Modified>03/04/2019</Modified>\r\n";
    t += "  </VEKUnit>\r\n";
  }
  t += "</VEKUnits>\r\n";
  return t;
}

// A million units of nothing but their opening line: the most units a file of its size
// can hold.
std::string BareUnitsFileText(int units) {
  std::string t;
  t.reserve(static_cast<std::size_t>(units) * 11);
  for (int i = 0; i < units; ++i) t += "<VEKUnit>\r\n";
  return t;
}

// A file of its own in a temporary folder, removed at the end.
struct UnitsFile {
  explicit UnitsFile(const std::string& text) : size(text.size()) {
    if (!::mkdtemp(folder)) std::abort();
    name = std::string(folder) + "/VEKUnits.xml";
    std::ofstream(name, std::ios::binary) << text;
  }
  ~UnitsFile() {
    std::remove(name.c_str());
    ::rmdir(folder);
  }
  char folder[40] = "/tmp/corvan-units-bench.XXXXXX";
  std::string name;
  std::size_t size;
};

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  return -1;
}

// How far `work` raises the resident size above what the process held before it, in
// bytes: measured in a child of its own, so that memory freed by earlier runs and kept
// by the allocator cannot hide any of it.
long PeakGrowth(const std::function<void()>& work) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    std::ofstream("/proc/self/clear_refs") << "5";  // peak := now
    const long before = StatusKb("VmRSS:");
    work();
    const long growth = (StatusKb("VmHWM:") - before) * 1024;
    (void)!::write(ends[1], &growth, sizeof growth);
    ::_exit(0);
  }
  ::close(ends[1]);
  long growth = -1;
  if (::read(ends[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(ends[0]);
  ::waitpid(child, nullptr, 0);
  return growth;
}

// Peak memory of one load above the idle process, against the file's size.
void BM_UnitsLoadMemory(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  const bool bare = state.range(1) != 0;
  const UnitsFile file(bare ? BareUnitsFileText(units) : UnitsFileText(units));
  VEKLib::gVEKUnits.clear();
  long growth = -1;
  for (auto _ : state) {
    growth = PeakGrowth([&] {
      if (VEKLib::LoadVEKUnitsArrayFromXML(file.name).AsInt != units) std::abort();
    });
  }
  if (growth < 0) state.SkipWithError("could not measure");
  state.counters["file_MB"] = static_cast<double>(file.size) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(growth) / 1e6;
  state.counters["peak_per_file_byte"] = static_cast<double>(growth) / static_cast<double>(file.size);
}
BENCHMARK(BM_UnitsLoadMemory)
    ->Args({1000, 0})
    ->Args({1000000, 1})
    ->ArgNames({"units", "bare"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The peak resident size of `corvanctl units FILE`, its output thrown away, in bytes.
long CtlUnitsPeak(const std::string& file) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(CORVANCTL_PROGRAM, "corvanctl", "units", file.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  rusage usage{};
  int status = 0;
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss * 1024;
}

// `corvanctl units` on the file, against the same command on an empty units file.
void BM_CtlUnitsMemory(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  const bool bare = state.range(1) != 0;
  const UnitsFile file(bare ? BareUnitsFileText(units) : UnitsFileText(units));
  const UnitsFile empty("");
  long idle = -1;
  long peak = -1;
  for (auto _ : state) {
    idle = CtlUnitsPeak(empty.name);
    peak = CtlUnitsPeak(file.name);
  }
  if (idle < 0 || peak < 0) state.SkipWithError("corvanctl units failed");
  state.counters["file_MB"] = static_cast<double>(file.size) / 1e6;
  state.counters["idle_MB"] = static_cast<double>(idle) / 1e6;
  state.counters["peak_over_idle_MB"] = static_cast<double>(peak - idle) / 1e6;
}
BENCHMARK(BM_CtlUnitsMemory)
    ->Args({1000, 0})
    ->Args({1000000, 1})
    ->ArgNames({"units", "bare"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_LoadVEKUnitsArrayFromXML(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  const UnitsFile file(UnitsFileText(units));
  for (auto _ : state) {
    const VEKLib::tRC rc = VEKLib::LoadVEKUnitsArrayFromXML(file.name);
    if (rc.AsInt != units) {
      state.SkipWithError("wrong unit count");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size));
}
BENCHMARK(BM_LoadVEKUnitsArrayFromXML)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
