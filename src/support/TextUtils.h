#pragma once
// Small text operations used to read tagged files and tidy list texts. All texts are
// 8-bit; comparisons are exact and case-sensitive unless a name says otherwise.
#include <cstdint>
#include <string>
#include <string_view>

namespace brix32 {

// The text after the first StartMarker, cut before the first EndMarker that follows it.
// An empty StartMarker matches at the start; a missing or empty EndMarker keeps the rest.
std::string Between(std::string_view Text, std::string_view StartMarker, std::string_view EndMarker);

// Collapses runs of commas, turns a trailing comma into "." and drops a leading one.
std::string CommaToFullStop(std::string_view Text);

std::string BooleanTStr(bool Flag, std::string_view TrueText, std::string_view FalseText);
std::int32_t BooleanToInt(bool Flag, std::int32_t TrueValue, std::int32_t FalseValue);

// True when the first character is T, Y or E in either case.
bool StrToBoolean(std::string_view Text);

// The part after the last "\" and then after the last "/".
std::string ExtractFileName(std::string_view Text);

// Letters a..z only: the byte values above 127 stay as they are.
std::string UpperCase(std::string_view Text);
// Removes leading and trailing characters with codes 0 to 32.
std::string Trim(std::string_view Text);

}  // namespace brix32
