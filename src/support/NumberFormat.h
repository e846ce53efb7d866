#pragma once
#include <string>

namespace brix32 {

// "#,##0" and "#,##0.00" with the fixed separators "," and ".".
std::string FormatThousands(double value, int decimals);

}  // namespace brix32
