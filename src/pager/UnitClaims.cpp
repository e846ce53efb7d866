#include "UnitClaims.h"

#include <algorithm>

namespace VEKLib {

namespace {

constexpr std::size_t kShortCode = 3;  // unit codes are cut to three characters

// A code of up to three characters as one number: its length and its bytes.
std::uint32_t Key(std::string_view code) {
  std::uint32_t key = static_cast<std::uint32_t>(code.size()) << 24;
  for (std::size_t i = 0; i < code.size(); ++i)
    key |= static_cast<std::uint32_t>(static_cast<unsigned char>(code[i])) << (8 * i);
  return key;
}

}  // namespace

tClaimMarkers::tClaimMarkers(std::string_view sText) : text_(sText) {
  const std::size_t n = text_.size();
  std::uint32_t lastKey[kShortCode + 1] = {};
  for (std::size_t r = 0; r + 1 < n; ++r) {
    if (text_[r] != '2') continue;
    const char digit = text_[r + 1];
    if (digit != '0' && digit != '3' && digit != '9') continue;
    // One blank is taken as appended to the text, so "EAS20" at the very end claims too.
    const char after = r + 2 < n ? text_[r + 2] : ' ';
    if (after != ' ' && after != '_') continue;
    markers_.push_back(r);
    for (std::size_t len = 1; len <= kShortCode && len <= r; ++len) {
      const std::uint32_t key = Key(text_.substr(r - len, len));
      // Repetitive pages name the same code again and again; keep the list short.
      if (key != lastKey[len]) codes_.push_back(lastKey[len] = key);
    }
  }
  std::sort(codes_.begin(), codes_.end());
  codes_.erase(std::unique(codes_.begin(), codes_.end()), codes_.end());
}

bool tClaimMarkers::ClaimedBy(std::string_view sUnitCode) const {
  if (sUnitCode.empty()) return !markers_.empty();
  if (sUnitCode.size() <= kShortCode)
    return std::binary_search(codes_.begin(), codes_.end(), Key(sUnitCode));
  const std::size_t len = sUnitCode.size();
  return std::any_of(markers_.begin(), markers_.end(), [&](std::size_t r) {
    return r >= len && text_.substr(r - len, len) == sUnitCode;
  });
}

}  // namespace VEKLib
