// Loading and saving a full settings file on disk, as every status refresh and every
// confirmed setup does. Run through scripts/netns-run: a failed load posts a syslog line.
#include <benchmark/benchmark.h>

#include "Hermetic.h"
#include "TempFolder.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"

namespace {

void FillAllFields(const std::string& folder) {
  Lib::tCorvanSettings& c = Lib::gCorvanSettings;
  c.CorvanSrvcSettingsFilePath = folder + "CorvanSrvc-Settings.xml";
  c.SerialComms = "COM1,57600,N,8,1";
  c.ProcessVEKUnits = "EAS,MTB,KLN";
  c.UDPAddr = "255.255.255.255";
  c.UDPListenPort = 15167;
  c.EnablePrinting = 1;
  c.MainUnit = "EAS";
  c.PDWLogPath = "/var/pdw/logs/";
  Lib::gVEKSettings.WWWHost = "corvantest";
  Lib::gVEKSettings.URI = "/vek/rezedozo.dll";
  brix32::gGlobalSettings.Path = folder;
  brix32::gGlobalSettings.Version = "1.0.0.1";
  brix32::gGlobalSettings.HostName = "corvantest";
  brix32::gGlobalSettings.Log.DaysOfLogFilesRetained = 7;
}

bool Hermetic(benchmark::State& state) {
  if (corvantest::InsideHermeticNetwork()) return true;
  state.SkipWithError("run through scripts/netns-run");
  return false;
}

void BM_GetCorvanSettings(benchmark::State& state) {
  if (!Hermetic(state)) return;
  corvantest::TempFolder folder;
  folder.write("CorvanSrvc-Version.txt", "2.0.1.7");
  FillAllFields(folder.path());
  Lib::SaveCorvanSettings();
  for (auto _ : state) benchmark::DoNotOptimize(Lib::GetCorvanSettings("bench:100"));
  if (!Lib::gCorvanSettings.Loaded) state.SkipWithError("the file did not load");
}
BENCHMARK(BM_GetCorvanSettings)->Unit(benchmark::kMicrosecond);

void BM_SaveCorvanSettings(benchmark::State& state) {
  if (!Hermetic(state)) return;
  corvantest::TempFolder folder;
  folder.write("CorvanSrvc-Version.txt", "2.0.1.7");
  FillAllFields(folder.path());
  for (auto _ : state) Lib::SaveCorvanSettings();
  if (folder.read("CorvanSrvc-Settings.xml").size() < 3000) state.SkipWithError("short file");
}
BENCHMARK(BM_SaveCorvanSettings)->Unit(benchmark::kMicrosecond);

}  // namespace
