#pragma once
// The pager traffic model shared with the service: a task is one page plus one incident
// report plus a result. Only the fields this program sets or reads are carried; the
// service keeps its own bookkeeping fields in its own copies.
#include <cstdint>
#include <string>

#include "support/DateTime.h"

namespace VEKLib {

// The result of an operation: 0 success, negative failure, positive status or count.
struct tRC {
  std::int32_t AsInt = 0;
  std::string AsStr;

  friend bool operator==(const tRC&, const tRC&) = default;
};

// One parsed page.
struct tZIRPageRec {
  std::int32_t ID = 0;       // task ID; 0 when not computed
  std::int32_t CapCode = 0;  // never set by this program
  brix32::TDateTime DateTime = 0;
  std::string Comment;
  std::string MapRef;
  std::int32_t MFSIncNo = 0;  // -1: the text after " INC" was not a number
  std::int32_t Priority = 0;
  std::string RawText;
  bool VEK = false;
  std::string VEKUnit;
  std::string Street;
  std::string Suburb;
  std::string TaskType;
  tRC RC;

  friend bool operator==(const tZIRPageRec&, const tZIRPageRec&) = default;
};

// The incident report of a task, filled from "[Key=Value]" attributes.
struct tReportRec {
  std::int32_t ID = 0;
  tRC RC;
  std::int32_t AirPressure = 0;
  std::string AttachedVEKUnits;  // "EAS,MTB."
  std::string Council;
  double LAT = 0;
  double LNG = 0;
  bool MFSCleared = false;
  std::int32_t PCode = 0;
  double Temp = 0;
  std::string WeatherDesc;
  std::string WeatherLocation;
  double WindSpeed = 0;
  std::string WindDirection;
  std::string ZoneName;
  std::string DutyOfficerInitials;

  friend bool operator==(const tReportRec&, const tReportRec&) = default;
};

struct tTaskRec {
  std::int32_t ID = 0;
  tZIRPageRec ZIRPage;
  tReportRec Report;
  tRC RC;

  friend bool operator==(const tTaskRec&, const tTaskRec&) = default;
};

// The fixed text of a result code; codes outside the table read "Fail (iRC=n)" when
// negative and "Record Count (iRC=n)" otherwise.
std::string RCtoStr(std::int32_t iRC);

// A code with its text.
tRC MakeRC(std::int32_t iRC);

// Resets the fields the parsers fill; RC becomes -4 "Not found". The weather, council,
// air pressure and duty officer fields and ID are kept.
void NullReport(tReportRec& Report);
// Resets the parsed fields; RawText and RC are kept.
void NullZIRPageRec(tZIRPageRec& ZIRPage);

// The task ID: the incident number plus the date's year and day of the year, with 5000
// added for CFS tasks, in 32-bit arithmetic. A negative incident number is returned as
// it is; a date not after day 0 gives -37.
std::int32_t GetIDFromDateAndMFSIncNo(std::int32_t MFSIncNo, bool bVEK, brix32::TDateTime DateTime);

// "TASK-yyyymmdd-S9000.TXT" (C for a CFS task), optionally with the zone before the
// extension. Empty when the page has no incident number or no date.
std::string TaskFileName(const tTaskRec& Task, const std::string& sFileExtension, bool bZoneName);

// Count the "D!*" and "Task*.PDF" entries of the current folder (names compared without
// regard to case, folders not counted) into gVEKSettings. Nothing matching leaves the
// counter as it was.
void SetVEKDebugFileCount();
void SetTaskPDFFileCount();

}  // namespace VEKLib
