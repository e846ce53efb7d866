#pragma once
// Numbers written as text in the files, pages and command lines the program reads. Only
// plain decimal notation is accepted, with one optional sign: what is read here can end
// up in file names and task records. Each format says which blanks may stand around a
// number; a value with anything else in it is not a number.
#include <cstdint>
#include <optional>
#include <string_view>

namespace brix32 {

enum class tBlanks {
  None,           // the number alone
  LeadingSpaces,  // spaces before it
  SpacesAround,   // spaces before and after it
  AnyAround,      // tabs, line ends and any other byte up to the space, before and after it
};

// An optional sign and decimal digits, within 32 bits.
std::optional<std::int32_t> ReadDecimal(std::string_view text, tBlanks blanks = tBlanks::None);

// A decimal fraction with "." as the separator and an optional exponent; never infinity
// or NaN.
std::optional<double> ReadDecimalFraction(std::string_view text, tBlanks blanks);

}  // namespace brix32
