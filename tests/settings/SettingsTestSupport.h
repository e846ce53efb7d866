#pragma once
// Shared by the settings tests: fresh records and a field-by-name view of them, so that
// tables of cases can name the field they expect.
#include <string>
#include <string_view>

#include "CorvanSettings.h"
#include "Diagnostics.h"
#include "FixedClock.h"

namespace settingstest {

// The three records as at program start, and the normal file reader.
inline void ResetRecords() {
  Lib::gCorvanSettings = Lib::tCorvanSettings{};
  Lib::gVEKSettings = Lib::tVEKSettings{};
  corvantest::ResetGlobalSettings();
  Lib::SetSettingsFileReader(nullptr);
}

inline std::string Field(std::string_view name) {
  const Lib::tCorvanSettings& c = Lib::gCorvanSettings;
  const Lib::tVEKSettings& v = Lib::gVEKSettings;
  const brix32::tGlobalSettings& g = brix32::gGlobalSettings;
  const auto flag = [](bool b) { return std::string(b ? "True" : "False"); };
  if (name == "SerialComms") return c.SerialComms;
  if (name == "Loaded") return flag(c.Loaded);
  if (name == "ProcessVEKUnits") return c.ProcessVEKUnits;
  if (name == "UDPAddr") return c.UDPAddr;
  if (name == "UDPListenPort") return std::to_string(c.UDPListenPort);
  if (name == "PrintTestPageAtStartup") return flag(c.PrintTestPageAtStartup);
  if (name == "EnablePrinting") return std::to_string(c.EnablePrinting);
  if (name == "PrintCFSTasks") return flag(c.PrintCFSTasks);
  if (name == "ProcessTarnexTCPFeed") return flag(c.ProcessTarnexTCPFeed);
  if (name == "MainUnit") return c.MainUnit;
  if (name == "PDWLogPath") return c.PDWLogPath;
  if (name == "WWWHost") return v.WWWHost;
  if (name == "WWWHostAlt") return v.WWWHostAlt;
  if (name == "WWWHostActive") return v.WWWHostActive;
  if (name == "URI") return v.URI;
  if (name == "GUID") return v.GUID;
  if (name == "DaysOfLogFilesRetained") return std::to_string(g.Log.DaysOfLogFilesRetained);
  if (name == "SyslogServer") return g.Log.SyslogServer;
  return "<unknown field " + std::string(name) + ">";
}

// Every field the file carries, for comparing two loads.
inline constexpr const char* kFileFields[] = {"SerialComms",
                                              "ProcessVEKUnits",
                                              "UDPAddr",
                                              "UDPListenPort",
                                              "PrintTestPageAtStartup",
                                              "EnablePrinting",
                                              "PrintCFSTasks",
                                              "ProcessTarnexTCPFeed",
                                              "MainUnit",
                                              "PDWLogPath",
                                              "WWWHost",
                                              "WWWHostAlt",
                                              "WWWHostActive",
                                              "URI",
                                              "GUID",
                                              "DaysOfLogFilesRetained",
                                              "SyslogServer"};

inline std::string Snapshot() {
  std::string s;
  for (const char* f : kFileFields) s += std::string(f) + "=" + Field(f) + "\n";
  return s;
}

// The values of the golden file all-fields.xml: none of them a default.
inline void SetAllFields() {
  Lib::tCorvanSettings& c = Lib::gCorvanSettings;
  c.SerialComms = "COM1,57600,N,8,1";
  c.ProcessTarnexTCPFeed = false;
  c.ProcessVEKUnits = "EAS,MTB";
  c.UDPAddr = "10.99.0.2";
  c.UDPListenPort = -1;
  c.PrintTestPageAtStartup = true;
  c.EnablePrinting = 2;
  c.PrintCFSTasks = true;
  c.MainUnit = "eas";
  c.PDWLogPath = "/var/pdw/logs/";
  Lib::gVEKSettings.WWWHost = "corvantest";
  Lib::gVEKSettings.WWWHostAlt = "127.0.0.1";
  Lib::gVEKSettings.WWWHostActive = "corvantest";
  Lib::gVEKSettings.URI = "/vek/rezedozo.dll";
  brix32::gGlobalSettings.Log.DaysOfLogFilesRetained = 14;
  brix32::gGlobalSettings.Log.SyslogServer = "10.99.0.1";
}

// Identity lines of the file header, as in the golden files.
inline void SetIdentity(const std::string& programFolder) {
  brix32::gGlobalSettings.Version = "1.2.3.4";
  brix32::gGlobalSettings.HostName = "PC01";
  brix32::gGlobalSettings.Path = programFolder;
}

}  // namespace settingstest
