#pragma once
// One XML-like report file per caught error, a rising alert and a syslog line.
#include <string>

#include "support/DateTime.h"
#include "support/Diagnostics.h"
#include "support/SystemStatus.h"

namespace brix32 {

// Writes the report of one error into the program folder and returns the file name
// (without folder), or empty text when no name was formed. Never throws.
std::string SaveExceptionRecAsXML(const tExceptionRec& ExceptionRec);

// The report's 18 CR LF lines, values inserted unescaped, exactly as the file holds them.
std::string BuildExceptionReportText(const tExceptionRec& rec, TDateTime now, const std::string& upTimeText,
                                     const tMemoryStatusRec& memory);

// The file name from the record's template (or the default one) at time `now`.
std::string ExceptionReportFileName(const std::string& fileNameTemplate, TDateTime now);

}  // namespace brix32
