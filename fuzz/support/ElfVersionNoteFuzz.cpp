// Hostile ELF files for the version-note reader: it must never read outside the bytes,
// overflow an offset or spin on huge header counts, whatever the headers claim.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/ElfVersionNote.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto note = brix32::ReadElfVersionNote(std::string_view(reinterpret_cast<const char*>(data), size));
  if (note) (void)brix32::ElfVersionText(*note);
  return 0;
}
