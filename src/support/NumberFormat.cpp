#include "support/NumberFormat.h"

#include <cmath>
#include <cstdio>

namespace brix32 {

std::string FormatThousands(double value, int decimals) {
  if (!std::isfinite(value)) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
  std::string digits(buffer);
  const std::size_t dot = digits.find('.');
  const std::string whole = digits.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? std::string() : digits.substr(dot);
  std::string grouped;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) grouped += ',';
    grouped += whole[i];
  }
  const bool negative = value < 0 && (grouped + fraction).find_first_not_of("0.,") != std::string::npos;
  return (negative ? "-" : "") + grouped + fraction;
}

}  // namespace brix32
