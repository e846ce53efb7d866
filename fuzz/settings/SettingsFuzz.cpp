// Any bytes as the settings file: the reader must not crash, must leave the fall-backs in
// place, and whatever it read must survive a write and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "CorvanSettings.h"
#include "Diagnostics.h"

namespace {

void ResetRecords() {
  Lib::gCorvanSettings = Lib::tCorvanSettings{};
  Lib::gVEKSettings = Lib::tVEKSettings{};
  brix32::gGlobalSettings = brix32::tGlobalSettings{};
  // No self name: no exception report, so nothing can be broadcast. No version file.
  brix32::gGlobalSettings.Path = "/nonexistent-corvan-fuzz/";
}

struct Values {
  Lib::tCorvanSettings c;
  Lib::tVEKSettings v;
  brix32::tLog log;
};

Values Take() { return {Lib::gCorvanSettings, Lib::gVEKSettings, brix32::gGlobalSettings.Log}; }

// Values are written without escaping, so only texts free of tags and line ends can
// come back unchanged.
bool Writable(std::string_view s) { return s.find_first_of("<\r\n") == std::string_view::npos; }

bool SameWrittenFields(const Values& a, const Values& b) {
  return a.c.SerialComms == b.c.SerialComms && a.c.ProcessVEKUnits == b.c.ProcessVEKUnits &&
         a.c.UDPAddr == b.c.UDPAddr && a.c.UDPListenPort == b.c.UDPListenPort &&
         a.c.PrintTestPageAtStartup == b.c.PrintTestPageAtStartup &&
         a.c.EnablePrinting == b.c.EnablePrinting && a.c.PrintCFSTasks == b.c.PrintCFSTasks &&
         a.c.ProcessTarnexTCPFeed == b.c.ProcessTarnexTCPFeed && a.c.MainUnit == b.c.MainUnit &&
         a.c.PDWLogPath == b.c.PDWLogPath && a.v.WWWHost == b.v.WWWHost &&
         a.v.WWWHostAlt == b.v.WWWHostAlt && a.v.WWWHostActive == b.v.WWWHostActive &&
         a.v.URI == b.v.URI && a.log.SyslogServer == b.log.SyslogServer &&
         a.log.DaysOfLogFilesRetained == b.log.DaysOfLogFilesRetained;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ResetRecords();
  Lib::ReadCorvanSettingsText(std::string_view(reinterpret_cast<const char*>(data), size));
  const Values first = Take();
  if (!first.c.Loaded || first.c.UDPAddr.empty() || first.v.URI.empty()) std::abort();
  if (first.c.EnablePrinting < 0 || first.c.EnablePrinting > 2) std::abort();

  for (std::string_view s :
       {std::string_view(first.c.SerialComms), std::string_view(first.c.ProcessVEKUnits),
        std::string_view(first.c.UDPAddr), std::string_view(first.c.MainUnit),
        std::string_view(first.c.PDWLogPath), std::string_view(first.v.WWWHost),
        std::string_view(first.v.WWWHostAlt), std::string_view(first.v.WWWHostActive),
        std::string_view(first.v.URI), std::string_view(first.log.SyslogServer)})
    if (!Writable(s)) return 0;

  const std::string text = Lib::BuildCorvanSettingsText();
  ResetRecords();
  Lib::ReadCorvanSettingsText(text);
  if (!SameWrittenFields(first, Take())) std::abort();
  return 0;
}
