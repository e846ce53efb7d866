#pragma once
// The page grammar read in the plainest way, without any of the program's shortcuts:
// every search is std::string::find, every list is walked entry by entry. The tests and
// the fuzz target hold the program's parser to it. It writes no file and posts nothing:
// a page the program would set aside simply ends with -16.
#include <string>
#include <string_view>

#include "pager/PageParser.h"
#include "pager/VEKRecords.h"

namespace corvantest {

VEKLib::tZIRPageRec ReferenceParseRawTextToZIRPage(const std::string& sRawText);

// Whether `sUnitCode` claims `sText`: the code directly followed by "20 ", "23 " or
// "29 " in the text with one blank appended, or by "20_", "23_" or "29_".
bool ReferenceUnitClaims(const std::string& sText, const std::string& sUnitCode);

}  // namespace corvantest
