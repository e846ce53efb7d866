#pragma once
// The program folder as the support bundle sees it: one pass over its entries, without
// following a link or entering a sub-folder, bounded in entries looked at and kept.
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace corvanctl {

// What a name in the folder holds, by the names the service and the panel give files.
enum class tFileKind {
  Settings,         // the settings file, in any case
  EventLog,         // CORVANSRVC-EventLog-<weekday>.txt
  ExceptionReport,  // E!*.XML
  TaskFile,         // TASK*, the pages typed or received as task files
  Page,             // U!*.TXT set-aside pages, the heartbeats with the last packets
  Pdf,              // *.PDF, the task sheets
  Debug,            // D!*
  Other,
};
const char* KindName(tFileKind Kind);
tFileKind KindOf(std::string_view Name);

struct tFolderEntry {
  std::string Name;
  struct stat Status {};   // as lstat gives it: a link is a link
  std::string LinkTarget;  // a link's target as written (at most 4 KB)
  tFileKind Kind = tFileKind::Other;
};

// The user's name, or its number when it has none.
std::string UserName(uid_t Id);

// A name of the open folder as lstat sees it, with its kind; a name that is gone has no
// type (a mode of 0).
tFolderEntry LookAt(int FolderFd, const std::string& Name);

struct tKindTotal {
  std::uint64_t Count = 0;
  std::uint64_t Bytes = 0;
};

struct tFolderScan {
  std::uint64_t Entries = 0;  // entries looked at
  bool Incomplete = false;    // the folder holds more than the scan looks at
  std::map<tFileKind, tKindTotal> Totals;
  std::vector<tFolderEntry> Newest;  // the most recently changed entries, newest first
  std::vector<tFolderEntry> Wanted;  // the entries Wants chose, newest first
};

struct tScanRules {
  std::uint64_t ScanLimit = 1000000;  // entries looked at
  std::size_t ListLimit = 10000;      // entries kept for the listing
  std::size_t WantedLimit = 10000;    // files kept for the bundle
  // Whether an entry is meant for the bundle (what it holds is looked at when it is read).
  std::function<bool(const tFolderEntry&)> Wants;
};

// Looks at the entries of the open folder FolderFd. Throws std::system_error when the
// folder cannot be read at all.
tFolderScan ScanFolder(int FolderFd, const tScanRules& Rules);

// The listing: totals by kind, then one line per kept entry, "ls -l" style, with ISO 8601
// times and names written as values (control characters escaped).
std::string FolderListingText(const tFolderScan& Scan, const std::string& Folder, const tScanRules& Rules);

}  // namespace corvanctl
