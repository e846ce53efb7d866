#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/TextUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  const std::string out = brix32::CommaToFullStop(in);
  // Tidying never grows the text, leaves no double comma and no lone full stop.
  if (out.size() > in.size()) std::abort();
  if (out.find(",,") != std::string::npos) std::abort();
  if (!out.empty() && (out.front() == ',' || out.back() == ',')) std::abort();
  if (out == ".") std::abort();
  return 0;
}
