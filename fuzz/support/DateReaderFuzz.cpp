#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "support/DateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto dt = brix32::TryStrToDateTime(text);
  if (dt) {
    // Whatever reads as a date formats back to a valid date of the same day.
    const brix32::tDateTimeParts p = brix32::DecodeDateTime(*dt);
    if (!brix32::IsValidDate(p.Year, p.Month, p.Day)) std::abort();
    const auto again = brix32::TryStrToDateTime(brix32::FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", *dt));
    if (!again || *again != *dt) std::abort();
  }
  return 0;
}
