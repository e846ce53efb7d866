#pragma once
// Which suburb of a list a page names. A name counts only where one of the endings below
// follows it directly, and the first name in list order that counts anywhere wins, with
// the first ending (in the order below) that follows it somewhere.
//
// A page holds few of those endings, and a list holds many names: so the text is walked
// once for the endings, and at each one the names that end just before it are read off
// a tree of the names spelled backwards. The cost follows the page, not the list.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pager/NameTree.h"

namespace VEKLib {

class tSuburbNames {
 public:
  static constexpr std::array<std::string_view, 6> kEndings{" MAP", ",MAP", "MAP", ": ", " ,", ",,"};

  struct tNamed {
    std::size_t Index;   // in the list the names came from
    std::size_t Ending;  // in kEndings
  };

  tSuburbNames() = default;
  // `names` as they are looked for (upper case), in list order; empty ones never count.
  explicit tSuburbNames(const std::vector<std::string>& names) : names_(names, tNameTree::tReading::Backwards) {}

  std::optional<tNamed> FirstNamed(std::string_view text) const;

 private:
  tNameTree names_;
};

}  // namespace VEKLib
