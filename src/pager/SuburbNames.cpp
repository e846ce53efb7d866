#include "pager/SuburbNames.h"

#include <cstring>
#include <utility>

namespace VEKLib {

namespace {

// Each ending is found through its first character that is not a blank: a page is full
// of blanks and holds few of the others. The endings by that character, in their order.
struct tKeyedEnding {
  char key;
  std::size_t offset;  // of the key in the ending
  std::size_t ending;  // in kEndings
};

constexpr auto kKeyedEndings = [] {
  std::array<tKeyedEnding, tSuburbNames::kEndings.size()> keyed{};
  for (std::size_t e = 0; e < keyed.size(); ++e) {
    const std::string_view ending = tSuburbNames::kEndings[e];
    const std::size_t offset = ending.find_first_not_of(' ');
    keyed[e] = {ending[offset], offset, e};
  }
  return keyed;
}();

// The keys, each once.
constexpr auto kKeys = [] {
  std::array<char, kKeyedEndings.size() + 1> keys{};
  std::size_t count = 0;
  for (const tKeyedEnding& keyed : kKeyedEndings)
    if (std::string_view(keys.data(), count).find(keyed.key) == std::string_view::npos) keys[count++] = keyed.key;
  return keys;
}();

bool StandsAt(std::string_view text, std::size_t at, std::string_view ending) {
  if (text.size() - at < ending.size()) return false;
  for (std::size_t i = 0; i < ending.size(); ++i)
    if (text[at + i] != ending[i]) return false;
  return true;
}

}  // namespace

std::optional<tSuburbNames::tNamed> tSuburbNames::FirstNamed(std::string_view text) const {
  std::optional<tNamed> best;
  if (names_.Lowest() == tNameTree::kNone) return best;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char key : std::string_view(kKeys.data())) {
    for (const char* p = begin; p < end; ++p) {
      p = static_cast<const char*>(std::memchr(p, key, static_cast<std::size_t>(end - p)));
      if (!p) break;
      const std::size_t k = static_cast<std::size_t>(p - begin);
      for (const tKeyedEnding& keyed : kKeyedEndings) {
        if (keyed.key != key || k < keyed.offset) continue;
        const std::size_t at = k - keyed.offset;
        if (!StandsAt(text, at, kEndings[keyed.ending])) continue;
        // A name further down the list than the best so far can only win with a
        // better ending, and only when it is that same name.
        const std::size_t limit = best ? best->Index + 1 : tNameTree::kNone;
        names_.NamesAt(text, at, limit, [&](std::size_t index) {
          if (!best || std::pair(index, keyed.ending) < std::pair(best->Index, best->Ending))
            best = tNamed{index, keyed.ending};
        });
      }
    }
  }
  return best;
}

}  // namespace VEKLib
