#include "support/NumberText.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace brix32 {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

std::string_view WithoutBlanks(std::string_view text, tBlanks blanks) {
  if (blanks == tBlanks::None) return text;
  const auto blank = [blanks](char c) {
    return blanks == tBlanks::AnyAround ? static_cast<unsigned char>(c) <= ' ' : c == ' ';
  };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  if (blanks != tBlanks::LeadingSpaces)
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The text without a plus sign, which from_chars does not read, and where its digits
// begin: after a minus sign only when no plus sign came first, so one sign at most.
std::pair<std::string_view, std::size_t> DropPlus(std::string_view text) {
  if (!text.empty() && text.front() == '+') return {text.substr(1), 0};
  return {text, !text.empty() && text.front() == '-' ? 1 : 0};
}

}  // namespace

std::optional<std::int32_t> ReadDecimal(std::string_view text, tBlanks blanks) {
  const auto [number, digitsFrom] = DropPlus(WithoutBlanks(text, blanks));
  if (number.size() == digitsFrom || SkipDigits(number, digitsFrom) != number.size()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
}

std::optional<double> ReadDecimalFraction(std::string_view text, tBlanks blanks) {
  const auto [number, digitsFrom] = DropPlus(WithoutBlanks(text, blanks));
  // The shape first: from_chars alone would also take "inf" and "nan".
  std::size_t i = SkipDigits(number, digitsFrom);
  std::size_t digits = i - digitsFrom;
  if (i < number.size() && number[i] == '.') {
    const std::size_t fracEnd = SkipDigits(number, i + 1);
    digits += fracEnd - i - 1;
    i = fracEnd;
  }
  if (digits == 0) return std::nullopt;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < number.size() && (number[e] == '+' || number[e] == '-')) ++e;
    const std::size_t expEnd = SkipDigits(number, e);
    if (expEnd == e) return std::nullopt;
    i = expEnd;
  }
  if (i != number.size()) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace brix32
