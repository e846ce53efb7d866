#pragma once
// The settings file shared with the companion service, and the records that hold it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "support/DateTime.h"

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

// How the file writes EnablePrinting: "False", "True" or "Disabled" for 0, 1, 2 (any other
// number as "True").
std::string_view EnablePrintingText(std::int32_t value);

// The upper-cased MainUnit when it has exactly three characters, otherwise empty.
std::string MainUnitCode();

// 0 read, 1 created with the defaults (a fresh install), -1 an error was caught.
// CallingFunction ("Caller.Name:" + progress) only goes into an exception report.
// A file created meanwhile by someone else is read, never replaced; a file that exists
// but cannot be read is an error (and is never replaced by a save either).
std::int32_t GetCorvanSettings(std::string_view CallingFunction);
// Writes the whole file through a temporary file and a rename, so the service never sees
// half a file and a failed write keeps the old one; a failure is reported, not returned.
void SaveCorvanSettings();

// A load or a save for a caller that must know what happened and why.
struct tSettingsResult {
  // Load: as GetCorvanSettings (1: missing). Save: 0 written; 1 not created, a file of
  // that name appeared meanwhile and was kept; -1 an error was caught (and reported).
  std::int32_t Result = -1;
  std::string Error;  // with -1: what went wrong, naming the file
};

// GetCorvanSettings for a reader that changes nothing when bCreateMissing is false: a
// missing file then gives the defaults in memory only (result 1, Loaded False).
tSettingsResult LoadCorvanSettings(std::string_view CallingFunction, bool bCreateMissing);
// SaveCorvanSettings with its result. bCreateOnly: write only if no file is there (the
// defaults of a missing file must never replace one the service wrote meanwhile).
tSettingsResult WriteCorvanSettings(bool bCreateOnly);

// The settings file as it is found now: CorvanSrvcSettingsFilePath, or the entry of its
// folder whose name differs only in case when there is no exact one (the service's
// Windows name), so that a load and a save never make a second file.
std::string CorvanSettingsFile();

// The loader's line rules applied to a file's bytes: fills the records from the elements
// found, then the UDPAddr and URI fall-backs, then sets Loaded.
void ReadCorvanSettingsText(std::string_view Text);
// The file's 101 CR LF lines as SaveCorvanSettings writes them at this moment.
std::string BuildCorvanSettingsText();

// Fault seam for tests: replaces how the file's bytes are read (nullptr restores the
// normal reader). A reader that throws drives the loader's error path.
void SetSettingsFileReader(std::function<std::string(const std::string& FileName)> Reader);

}  // namespace Lib
