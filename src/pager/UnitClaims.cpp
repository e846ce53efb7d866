#include "pager/UnitClaims.h"

#include <algorithm>
#include <cstring>

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

// Calls at(r) for every marker of the text, r being where its "2" stands.
template <class At>
void ForEachMarker(std::string_view text, At at) {
  const std::size_t n = text.size();
  const char* const begin = text.data();
  for (const char* two = begin; n > 1 && two < begin + (n - 1); ++two) {
    two = static_cast<const char*>(std::memchr(two, '2', static_cast<std::size_t>(begin + (n - 1) - two)));
    if (!two) return;
    const std::size_t r = static_cast<std::size_t>(two - begin);
    const char digit = text[r + 1];
    if (digit != '0' && digit != '3' && digit != '9') continue;
    // One blank is taken as appended to the text, so "EAS20" at the very end claims too.
    const char after = r + 2 < n ? text[r + 2] : ' ';
    if (after == ' ' || after == '_') at(r);
  }
}

}  // namespace

tClaimMarkers::tClaimMarkers(std::string_view sText) : text_(sText) {
  std::uint32_t lastKey[kShortCode + 1] = {};
  ForEachMarker(text_, [&](std::size_t r) {
    if (!anyMarker_) codes_.reserve(4 * kShortCode);  // a page names a few units
    anyMarker_ = true;
    if (r > 0) beforeMarker_.set(static_cast<unsigned char>(text_[r - 1]));
    for (std::size_t len = 1; len <= kShortCode && len <= r; ++len) {
      const std::uint32_t key = Key(text_.substr(r - len, len));
      // Repetitive pages name the same code again and again; keep the list short.
      if (key != lastKey[len]) codes_.push_back(lastKey[len] = key);
    }
  });
  std::sort(codes_.begin(), codes_.end());
  codes_.erase(std::unique(codes_.begin(), codes_.end()), codes_.end());
}

bool tClaimMarkers::Search(std::string_view sUnitCode) const {
  if (sUnitCode.size() <= kShortCode) return std::binary_search(codes_.begin(), codes_.end(), Key(sUnitCode));
  // The directory cuts codes to three characters; a longer one asked for reads the text again.
  bool claimed = false;
  const std::size_t len = sUnitCode.size();
  ForEachMarker(text_,
                [&](std::size_t r) { claimed = claimed || (r >= len && text_.substr(r - len, len) == sUnitCode); });
  return claimed;
}

}  // namespace VEKLib
