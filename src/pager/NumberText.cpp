#include "NumberText.h"

#include <charconv>
#include <cmath>

namespace VEKLib {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

}  // namespace

std::optional<std::int32_t> ReadDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const std::size_t digitsFrom = !text.empty() && text.front() == '-' ? 1 : 0;
  if (text.size() == digitsFrom || SkipDigits(text, digitsFrom) != text.size()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ReadDecimalFraction(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  // The shape first: from_chars alone would also take "inf", "nan" and hex digits.
  std::size_t i = !text.empty() && text.front() == '-' ? 1 : 0;
  const std::size_t intEnd = SkipDigits(text, i);
  std::size_t digits = intEnd - i;
  i = intEnd;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fracEnd = SkipDigits(text, i + 1);
    digits += fracEnd - i - 1;
    i = fracEnd;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    const std::size_t expEnd = SkipDigits(text, e);
    if (expEnd == e) return std::nullopt;
    i = expEnd;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

}  // namespace VEKLib
