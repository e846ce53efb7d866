#pragma once
// The settings file shared with the companion service, and the records that hold it.
#include <cstdint>
#include <string>
#include <string_view>

#include "DateTime.h"

namespace Lib {

struct tCorvanSettings {
  std::string SerialComms;
  bool Loaded = false;
  std::string ProcessVEKUnits;
  std::string UDPAddr;
  std::int32_t UDPListenPort = 0;
  bool PrintTestPageAtStartup = false;
  std::int32_t EnablePrinting = 0;  // 0 "False", 1 "True", 2 "Disabled"
  bool PrintCFSTasks = false;
  bool ProcessTarnexTCPFeed = false;
  std::string MainUnit;
  std::string PDWLogPath;
  std::int32_t LastPDWLogFileLength = 0;
  brix32::TDateTime LastCorvanLogFileDateTime = 0;
  std::string CorvanSrvcSettingsFilePath;
};

struct tVEKSettings {
  std::string WWWHost;
  std::string WWWHostAlt;
  std::string WWWHostActive;
  std::string URI;
  std::string GUID;
  std::int32_t DebugFileCount = 0;
  std::int32_t TaskPDFFileCount = 0;
};

extern tCorvanSettings gCorvanSettings;
extern tVEKSettings gVEKSettings;

// The upper-cased MainUnit when it has exactly three characters, otherwise empty.
std::string MainUnitCode();

// 0 read, 1 created with the defaults (a fresh install), -1 an error was caught.
std::int32_t GetCorvanSettings(std::string_view CallingFunction);
void SaveCorvanSettings();

}  // namespace Lib
