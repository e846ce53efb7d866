// Loading the units directory at start-up: a file of 1,000 units with every element the
// loader reads, in the line layout the vendor's host serves.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "VEKUnits.h"

namespace {

std::string UnitsFileText(int units) {
  std::string t = "<?xml version=\"1.0\"?>\r\n<!-- Units directory\r\n     generated for the benchmark -->\r\n<VEKUnits>\r\n";
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

void BM_LoadVEKUnitsArrayFromXML(benchmark::State& state) {
  const int units = static_cast<int>(state.range(0));
  char folder[] = "/tmp/corvan-units-bench.XXXXXX";
  if (!::mkdtemp(folder)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string file = std::string(folder) + "/VEKUnits.xml";
  const std::string text = UnitsFileText(units);
  std::ofstream(file, std::ios::binary) << text;
  for (auto _ : state) {
    const VEKLib::tRC rc = VEKLib::LoadVEKUnitsArrayFromXML(file);
    if (rc.AsInt != units) {
      state.SkipWithError("wrong unit count");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  std::remove(file.c_str());
  ::rmdir(folder);
}
BENCHMARK(BM_LoadVEKUnitsArrayFromXML)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
