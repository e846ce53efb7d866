#pragma once
// Which units a text names. A unit claims a text when its code is directly followed by
// "20", "23" or "29" and then a blank (the end of the text counts as one) or "_".
#include <cstdint>
#include <string_view>
#include <vector>

namespace VEKLib {

class tClaimMarkers {
 public:
  // Finds the markers once, so that asking for many units costs little per unit. The
  // text must outlive the object.
  explicit tClaimMarkers(std::string_view sText);

  bool ClaimedBy(std::string_view sUnitCode) const;

 private:
  std::string_view text_;
  std::vector<std::size_t> markers_;  // where a "20 "/"23_"... begins
  std::vector<std::uint32_t> codes_;  // the 1 to 3 characters before each marker, sorted
};

}  // namespace VEKLib
