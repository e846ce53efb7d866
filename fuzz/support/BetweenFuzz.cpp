// Splits the input into text and two markers and checks what Between promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "support/TextUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t a = data[0] % (size - 1) + 1, b = data[1] % (size - 1) + 1;
  const std::size_t lo = a < b ? a : b, hi = a < b ? b : a;
  const std::string_view start = all.substr(2 < lo ? 2 : lo, lo > 2 ? lo - 2 : 0);
  const std::string_view end = all.substr(lo, hi - lo);
  const std::string_view text = all.substr(hi);
  const std::string got = brix32::Between(text, start, end);
  // The result is always a piece of the text that follows the start marker.
  const std::size_t at = text.find(start);
  if (at == std::string_view::npos) {
    if (!got.empty()) std::abort();
  } else if (text.substr(at + start.size(), got.size()) != got) {
    std::abort();
  }
  return 0;
}
