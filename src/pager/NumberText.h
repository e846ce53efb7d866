#pragma once
// Numbers written in page texts and report attributes. Only plain decimal notation is
// accepted: what is read here can end up in file names and task records.
#include <cstdint>
#include <optional>
#include <string_view>

namespace VEKLib {

// An optional sign and decimal digits, within 32 bits.
std::optional<std::int32_t> ReadDecimal(std::string_view text);

// A decimal fraction with "." as the separator and an optional exponent, blanks around
// it allowed; never infinity or NaN.
std::optional<double> ReadDecimalFraction(std::string_view text);

}  // namespace VEKLib
