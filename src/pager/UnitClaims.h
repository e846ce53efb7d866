#pragma once
// Which units a text names. A unit claims a text when its code is directly followed by
// "20", "23" or "29" and then a blank (the end of the text counts as one) or "_".
#include <bitset>
#include <cstdint>
#include <string_view>
#include <vector>

namespace VEKLib {

class tClaimMarkers {
 public:
  // Finds the markers once, so that asking for many units costs little per unit. The
  // text must outlive the object.
  explicit tClaimMarkers(std::string_view sText);

  // Most units of a long list end in a character that stands before no marker: those
  // are answered here, without a search.
  bool ClaimedBy(std::string_view sUnitCode) const {
    if (sUnitCode.empty()) return anyMarker_;
    return beforeMarker_[static_cast<unsigned char>(sUnitCode.back())] && Search(sUnitCode);
  }

 private:
  bool Search(std::string_view sUnitCode) const;

  std::string_view text_;
  bool anyMarker_ = false;            // a "20 ", "23_"... anywhere
  std::bitset<256> beforeMarker_;     // the characters that stand just before a marker
  std::vector<std::uint32_t> codes_;  // the 1 to 3 characters before each marker, sorted
};

}  // namespace VEKLib
