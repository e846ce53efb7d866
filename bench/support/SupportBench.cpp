#include <benchmark/benchmark.h>

#include <string>

#include "support/DateTime.h"
#include "support/ExceptionReport.h"
#include "support/TextUtils.h"

namespace {

const std::string kSettingsLine = "  <ProcessVEKUnits>EAS,MTB,GLN,,</ProcessVEKUnits>";

void BM_Between(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(brix32::Between(kSettingsLine, "<ProcessVEKUnits>", "</ProcessVEKUnits>"));
}
BENCHMARK(BM_Between);

void BM_CommaToFullStop(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(brix32::CommaToFullStop(" EAS,,MTB,GLN,,, "));
}
BENCHMARK(BM_CommaToFullStop);

void BM_FormatDateTime(benchmark::State& state) {
  const brix32::TDateTime t = brix32::EncodeDateTime({2024, 1, 21, 15, 36, 7, 123});
  for (auto _ : state) benchmark::DoNotOptimize(brix32::FormatDateTime("dd/mm/yy hh:nn:ss.zzz", t));
}
BENCHMARK(BM_FormatDateTime);

void BM_TryStrToDateTime(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(brix32::TryStrToDateTime("21/01/24 15:36"));
}
BENCHMARK(BM_TryStrToDateTime);

void BM_BuildExceptionReportText(benchmark::State& state) {
  brix32::tExceptionRec r;
  r.Function = "TfrmMain.FormCreate";
  r.ClassName = "std::runtime_error";
  r.Message = "Cannot open file";
  r.Trace = 120;
  const brix32::tMemoryStatusRec m = brix32::GetMemoryStatus();
  for (auto _ : state) benchmark::DoNotOptimize(brix32::BuildExceptionReportText(r, 45000.5, "0w3d04h05m09s", m));
}
BENCHMARK(BM_BuildExceptionReportText);

}  // namespace
