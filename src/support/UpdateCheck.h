#pragma once
// Program versions: the version of a program file, the version the vendor's web host
// publishes for it, and whether the installed one is out of date.
#include <chrono>
#include <cstdint>
#include <string>

namespace brix32 {

struct tFileVersion {
  std::int32_t Major = 0;
  std::int32_t Minor = 0;
  std::int32_t Release = 0;
  std::int32_t Build = 0;
  std::string VersionStr;  // "Major.Minor.Release.Build", or an error text
};

struct tFileUpdate {
  tFileVersion Version;  // the published version
  bool UpdateRequired = false;
};

// The version note of a program file; an empty name means this program's own file. A
// file without a note takes the numbers of gGlobalSettings.Version; a missing file, or
// one whose note cannot be read, gives 0.0.0.0. Pending window messages are handled
// before it returns.
tFileVersion GetExeVersion(const std::string& FileName);

// GETs the published version file at URL ("http://host/path"; a bare "/path" goes to the
// vendor's default host) and compares it with CurrentVersion. Never throws.
tFileUpdate GetUpdateVersion(const std::string& URL, const tFileVersion& CurrentVersion);

// True when CurrentVersion is older than LatestVersion, number by number.
bool FileUpdateRequired(const tFileVersion& CurrentVersion, const tFileVersion& LatestVersion);

// The published files are tiny; a longer body is refused rather than read without end.
inline constexpr std::size_t kMaxUpdateBodyBytes = 1024 * 1024;

// The whole request (connect, send, read) must finish within this time; 30 s unless a
// test shortens it. A zero or negative value restores the default.
void SetUpdateCheckTimeout(std::chrono::milliseconds timeout);

}  // namespace brix32
