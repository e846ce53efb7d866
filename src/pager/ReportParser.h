#pragma once
// Incident report attributes ("[Key=Value]") and the assembly of a whole task.
#include <string>

#include "pager/VEKRecords.h"

namespace VEKLib {

// Reads the report attributes of a page text, then appends every unit of gVEKUnits that
// claims the text to AttachedVEKUnits ("EAS,MTB."). RC is always code 0 with an empty
// text. A "[LAT=" or "[LNG=" value that is not a number stops the parse there and is
// reported as an error; the attributes read before it stay.
tReportRec ParseRawTextToReport(const std::string& sRawText, const std::string& sCallingFunction);

// The page, and when the page parsed (code 0 or more) its report, the shared task ID and
// the claiming unit as attached unit when no other is named. RC is the page's result.
tTaskRec ParseRawTextToTask(const std::string& sRawText, const std::string& sCallingFunction);

}  // namespace VEKLib
