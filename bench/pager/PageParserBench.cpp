// ParseRawTextToTask on the test broadcast's page: with the control panel's empty lists,
// with filled lists (200 units, 100 suburbs with the page's suburb 50th, 50 task types
// with the page's type last), and on long pages to show that the cost grows in step with
// the page, beside a single memchr pass over the same text.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "SamplePage.h"
#include "pager/PageParser.h"
#include "pager/ReportParser.h"
#include "pager/VEKUnits.h"

namespace {

using corvantest::kTreeDownSamplePage;

void FillLists() {
  VEKLib::gVEKUnits.clear();
  // 200 three-letter codes, the page's unit EAS in the middle.
  for (int i = 0; VEKLib::gVEKUnits.size() < 200; ++i) {
    VEKLib::tVEKUnitRec unit;
    unit.UnitCode = {static_cast<char>('B' + i / 676 % 26), static_cast<char>('A' + i / 26 % 26),
                     static_cast<char>('A' + i % 26)};
    if (VEKLib::gVEKUnits.size() == 100) unit.UnitCode = "EAS";
    VEKLib::gVEKUnits.push_back(unit);
  }
  const std::string data = CORVAN_PAGER_BENCH_DATA;
  if (VEKLib::LoadSuburbsFromTextFile(data + "/Suburbs100.txt").AsInt != 100 ||
      VEKLib::LoadTaskTypesFromTextFile(data + "/TaskTypes50.txt").AsInt != 50)
    std::abort();
}

void EmptyLists() {
  VEKLib::gVEKUnits.clear();
  VEKLib::gSuburbs.clear();
  VEKLib::gTaskTypes.clear();
}

void Expect(const VEKLib::tTaskRec& task, std::int32_t code, benchmark::State& state) {
  if (task.RC.AsInt != code) state.SkipWithError(("unexpected result " + task.RC.AsStr).c_str());
}

void BM_ParseTask_EmptyLists(benchmark::State& state) {
  EmptyLists();
  for (auto _ : state) {
    VEKLib::tTaskRec task = VEKLib::ParseRawTextToTask(kTreeDownSamplePage, "bench:1");
    benchmark::DoNotOptimize(task);
    Expect(task, -30, state);
  }
}
BENCHMARK(BM_ParseTask_EmptyLists);

void BM_ParseTask_FilledLists(benchmark::State& state) {
  FillLists();
  for (auto _ : state) {
    VEKLib::tTaskRec task = VEKLib::ParseRawTextToTask(kTreeDownSamplePage, "bench:1");
    benchmark::DoNotOptimize(task);
    Expect(task, 0, state);
  }
  EmptyLists();
}
BENCHMARK(BM_ParseTask_FilledLists);

// The page followed by filler text up to the given size.
std::string LongPage(std::int64_t size) {
  std::string page = kTreeDownSamplePage + " ";
  const std::string filler = "CREW 3 ATTENDING, MAP REF CHECKED, WATER ON ROAD 20 M ";
  while (page.size() < static_cast<std::size_t>(size)) page += filler;
  return page;
}

void BM_ParseTask_LongPage(benchmark::State& state) {
  FillLists();
  const std::string page = LongPage(state.range(0));
  for (auto _ : state) {
    VEKLib::tTaskRec task = VEKLib::ParseRawTextToTask(page, "bench:1");
    benchmark::DoNotOptimize(task);
    Expect(task, 0, state);
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  EmptyLists();
}
BENCHMARK(BM_ParseTask_LongPage)->RangeMultiplier(8)->Range(1 << 10, 1 << 20)->Complexity(benchmark::oN);

// What the long pages are measured against: one memchr pass over the same text for a
// byte it does not hold.
void BM_MemchrPass_LongPage(benchmark::State& state) {
  std::string page = LongPage(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(page.data());  // read the text anew every time
    const void* at = std::memchr(page.data(), '~', page.size());
    benchmark::DoNotOptimize(at);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MemchrPass_LongPage)->Arg(1 << 20);

}  // namespace
