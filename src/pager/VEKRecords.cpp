#include "pager/VEKRecords.h"

#include <fnmatch.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"
#include "support/TextUtils.h"

namespace VEKLib {
namespace {

struct CodeText {
  std::int32_t code;
  std::string_view text;
};

// Ordered by code for the binary search. The texts travel to peers and into stored task
// records, so their spelling (typos included) is part of the format.
constexpr std::array<CodeText, 94> kCodeTexts{{
    {-11004, "SMTP Err -11004"},
    {-11001, "Connection refused"},
    {-10061, "SMTP Err -10061"},
    {-10060, "Connection timeout"},
    {-10054, "Connection reset by peer"},
    {-10011, "Host not found"},
    {-699, "Unknown SMTP error"},
    {-606, "Service not available"},
    {-605, "Error connecting to SMTP server"},
    {-604, "Mal formed to address - 3"},
    {-603, "Mal formed to address - 2"},
    {-602, "Mal formed to address - 1"},
    {-601, "No to address specified"},
    {-600, "No SMTP IP set"},
    {-550, "Unknown user (Unable to Relay)"},
    {-535, "SMTP Authentication unsuccesful"},
    {-530, "Authentication required."},
    {-501, "Invalid Address (Unable to Relay)"},
    {-99, "Exception"},
    {-51, "Invalid Road/Suburb"},
    {-50, "Manual Entry"},
    {-49, "Invalid member"},
    {-48, "Null record"},
    {-47, "Violation of PRIMARY or UNIQUE KEY"},
    {-46, "Address is a boat ramp"},
    {-45, "Failed. UpdatesPending"},
    {-44, "Members not loaded"},
    {-43, "No Crew ID (CrewID=0)"},
    {-42, "No report record. (Task.Report.ID=0)"},
    {-41, "No ZIR Page record. (Task.ZIRPage.ID=0)"},
    {-40, "No task ID. (Ie ID=0)"},
    {-39, "Report record not updated"},
    {-38, "Incident no. is 0"},
    {-37, "Invalid Date/Time"},
    {-36, "No printer"},
    {-35, "Corrupt pager message"},
    {-34, "Cannot find file"},
    {-33, "Undefined"},
    {-32, "Unable to connecto to DB"},
    {-31, "Unable to delete file"},
    {-30, "Suburbs not loaded"},
    {-29, "No default printer"},
    {-28, "Printing disabled"},
    {-27, "Already processed"},
    {-26, "Unit mismatch"},
    {-25, "VEK units not loaded"},
    {-24, "Data ignored"},
    {-23, "No data"},
    {-22, "Unknown attribute"},
    {-21, "Permission denied"},
    {-20, "Unkown task type"},
    {-19, "Info packet"},
    {-18, "Empty string"},
    {-17, "Unknown incident type"},
    {-16, "Unknown suburb"},
    {-15, "Invalid ZIR date"},
    {-14, "Invalid incident no."},
    {-13, "Unknown incident no."},
    {-12, "Unknown VEK unit"},
    {-11, "No priority"},
    {-10, "DBpath not set"},
    {-9, "Deadlock"},
    {-8, "Failed to update"},
    {-7, "Not logged in"},
    {-5, "Invalid"},
    {-4, "Not found"},
    {-3, "Not active"},
    {-2, "Invalid password"},
    {-1, "Fail"},
    {0, "OK"},
    {1, "Added"},
    {2, "Updated"},
    {3, "Task printed"},
    {4, "Nil action"},
    {5, "OK - No sumplemtry attributes"},
    {6, "Loaded"},
    {7, "Loaded from ZIRPages Table"},
    {8, "Loaded from Reports Table"},
    {10, "Going"},
    {11, "ACK ADL Fire"},
    {12, "Crew mobile"},
    {13, "On scene"},
    {14, "Cleared MFS"},
    {15, "Departed LHQ"},
    {16, "RFA Cleared with Adelaide Fire"},
    {17, "RFA Stopped"},
    {18, "Completed"},
    {19, "Defaulted to another unit"},
    {20, "RFA Completed VEKIIMs"},
    {21, "Removed"},
    {22, "ADL Fire notified"},
    {23, "No task/Pending"},
    {24, "Defaulted from unit"},
    {25, "No crew attached"},
}};

static_assert(std::is_sorted(kCodeTexts.begin(), kCodeTexts.end(),
                             [](const CodeText& a, const CodeText& b) { return a.code < b.code; }));

// "%.*d": at least `digits` digits, the sign in front of the padding.
std::string ZeroPadded(std::int32_t value, int digits) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*d", digits, value);
  return buffer;
}

// The number of entries of the current folder whose name matches `pattern` ignoring case
// (as the service's Windows names are matched), folders left out; nothing when no entry
// matches at all.
std::optional<std::int32_t> CountMatchingFiles(const char* pattern) {
  namespace fs = std::filesystem;
  bool anyMatch = false;
  std::int32_t files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (fnmatch(pattern, name.c_str(), FNM_CASEFOLD) != 0) continue;
    anyMatch = true;
    std::error_code ec;
    if (!entry.is_directory(ec)) ++files;
  }
  if (!anyMatch) return std::nullopt;
  return files;
}

// The calendar covers the years 1 to 9999; a day count beyond it is a caller's error.
brix32::tDateTimeParts DecodeTaskDate(brix32::TDateTime date) {
  if (!(date < 2958466.0)) throw std::out_of_range("date beyond 31/12/9999");
  return brix32::DecodeDateTime(date);
}

void RefreshCounter(std::string_view logName, const char* pattern, std::int32_t& counter) {
  brix32::Operation op(logName);
  op.Run([&] {
    op.Log.Trace = 110;
    if (const auto count = CountMatchingFiles(pattern)) counter = *count;
  });
}

}  // namespace

std::string RCtoStr(std::int32_t iRC) {
  brix32::Operation op("VEKLib.RCtoStr");
  std::string result;
  op.Run([&] {
    const auto it = std::lower_bound(kCodeTexts.begin(), kCodeTexts.end(), iRC,
                                     [](const CodeText& entry, std::int32_t code) { return entry.code < code; });
    if (it != kCodeTexts.end() && it->code == iRC) {
      result.assign(it->text);
      return;
    }
    op.Log.Trace = 110;
    result = (iRC < 0 ? "Fail (iRC=" : "Record Count (iRC=") + std::to_string(iRC) + ")";
  });
  return result;
}

tRC MakeRC(std::int32_t iRC) { return tRC{iRC, RCtoStr(iRC)}; }

void NullReport(tReportRec& Report) {
  brix32::Operation op("VEKLib.NullReport");
  op.Run([&] {
    Report.RC = MakeRC(-4);
    Report.AttachedVEKUnits.clear();
    Report.ZoneName.clear();
    Report.LAT = 0;
    Report.LNG = 0;
    Report.MFSCleared = false;
    Report.PCode = 0;
  });
}

void NullZIRPageRec(tZIRPageRec& ZIRPage) {
  brix32::Operation op("VEKLib.NullZIRPageRec");
  op.Run([&] {
    ZIRPage.ID = 0;
    ZIRPage.CapCode = 0;
    ZIRPage.MFSIncNo = 0;
    ZIRPage.Priority = 0;
    ZIRPage.DateTime = 0;
    ZIRPage.VEK = false;
    ZIRPage.VEKUnit.clear();
    ZIRPage.MapRef.clear();
    ZIRPage.TaskType.clear();
    ZIRPage.Comment.clear();
    ZIRPage.Street.clear();
    ZIRPage.Suburb.clear();
  });
}

std::int32_t GetIDFromDateAndMFSIncNo(std::int32_t MFSIncNo, bool bVEK, brix32::TDateTime DateTime) {
  brix32::Operation op("VEKLib.GetIDFromDateAndMFSIncNo");
  std::int32_t result = 0;
  op.Run([&] {
    if (MFSIncNo < 0) {
      result = MFSIncNo;
      return;
    }
    op.Log.Trace = 110;
    // Also catches NaN, which would otherwise reach the calendar arithmetic.
    if (!(DateTime > 0)) {
      result = -37;
      return;
    }
    op.Log.Trace = 120;
    const brix32::tDateTimeParts parts = DecodeTaskDate(DateTime);
    brix32::tDateTimeParts newYear;
    newYear.Year = parts.Year;
    newYear.Month = 1;
    newYear.Day = 1;
    brix32::tDateTimeParts day = parts;
    day.Hour = day.Minute = day.Second = day.MilliSecond = 0;
    const auto dayOfYear =
        static_cast<std::uint32_t>(brix32::EncodeDateTime(day) - brix32::EncodeDateTime(newYear) + 1);
    op.Log.Trace = 130;
    // Stored IDs were computed in 32-bit integers: far dates wrap exactly as they did.
    const std::uint32_t id = static_cast<std::uint32_t>(MFSIncNo) +
                             static_cast<std::uint32_t>(parts.Year - 2000) * 3660000u + dayOfYear * 10000u +
                             (bVEK ? 0u : 5000u);
    result = static_cast<std::int32_t>(id);
  });
  return result;
}

std::string TaskFileName(const tTaskRec& Task, const std::string& sFileExtension, bool bZoneName) {
  brix32::Operation op("VEKLib.TaskFileName");
  std::string result;
  op.Run([&] {
    const tZIRPageRec& page = Task.ZIRPage;
    if (page.MFSIncNo == 0) {
      op.Ex.Notes = " Task.ZIRPage.MFSIncNo=0!";
      return;
    }
    // Also refuses NaN.
    if (!(page.DateTime >= 1.0)) {
      op.Ex.Notes = " Task.ZIRPage.DateTime<1!";
      return;
    }
    op.Log.Trace = 110;
    std::string extension = sFileExtension;
    if (!extension.empty() && extension.find('.') == std::string::npos) extension.insert(0, ".");
    extension = brix32::UpperCase(extension);
    const brix32::tDateTimeParts date = DecodeTaskDate(page.DateTime);
    op.Log.Trace = 120;
    std::string name = "TASK-" + ZeroPadded(date.Year, 4) + ZeroPadded(date.Month, 2) + ZeroPadded(date.Day, 2) + "-" +
                       (page.VEK ? "S" : "C") + ZeroPadded(page.MFSIncNo, 4) + extension;
    if (bZoneName && !extension.empty()) {
      op.Log.Trace = 130;
      std::string zone;
      for (const char c : brix32::UpperCase(Task.Report.ZoneName)) {
        if (c == ' ' || c == '.') continue;
        zone += c == ':' ? '-' : c;
      }
      // The name is upper case already, so the upper-case extension finds it whatever
      // case the caller wrote it in.
      const std::size_t at = zone.empty() ? std::string::npos : name.find(extension);
      if (at != std::string::npos) name.replace(at, extension.size(), "-" + zone + extension);
    }
    result = std::move(name);
  });
  return result;
}

void SetVEKDebugFileCount() { RefreshCounter("VEKLib.SetVEKDebugFileCount", "D!*", Lib::gVEKSettings.DebugFileCount); }

void SetTaskPDFFileCount() {
  RefreshCounter("VEKLib.SetTaskPDFFileCount", "Task*.PDF", Lib::gVEKSettings.TaskPDFFileCount);
}

}  // namespace VEKLib
