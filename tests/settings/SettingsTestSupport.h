#pragma once
// Shared by the settings tests: fresh records and a field-by-name view of them, so that
// tables of cases can name the field they expect.
#include <string>
#include <string_view>
#include <variant>

#include "settings/CorvanSettings.h"
#include "settings/SettingsFields.h"
#include "support/Diagnostics.h"

namespace settingstest {

// A field by the name of its element (or "Loaded"), as the record holds it: flags
// "True"/"False", numbers in decimal (EnablePrinting too).
inline std::string Field(std::string_view name) {
  const auto flag = [](bool b) { return std::string(b ? "True" : "False"); };
  if (name == "Loaded") return flag(Lib::gCorvanSettings.Loaded);
  for (const Lib::tSettingsField& field : Lib::SettingsFields()) {
    if (field.Name != name) continue;
    if (const auto* text = std::get_if<std::string*>(&field.Value)) return **text;
    if (const auto* b = std::get_if<bool*>(&field.Value)) return flag(**b);
    return std::to_string(*std::get<std::int32_t*>(field.Value));
  }
  return "<unknown field " + std::string(name) + ">";
}

// Every field the file carries, for comparing two loads.
inline std::string Snapshot() {
  std::string s;
  for (const Lib::tSettingsField& field : Lib::SettingsFields())
    s += std::string(field.Name) + "=" + Field(field.Name) + "\n";
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
