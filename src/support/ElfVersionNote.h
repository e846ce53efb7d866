#pragma once
// The file version our build embeds in every program it links: an ELF note with owner
// "Corvan", type 1 and two 32-bit words, dwFileVersionMS (major << 16 | minor) and
// dwFileVersionLS (release << 16 | build). Reading it never runs the file and never
// trusts its headers: any file, however broken, gives either the note or nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brix32 {

struct tElfVersionNote {
  std::uint32_t dwFileVersionMS = 0;
  std::uint32_t dwFileVersionLS = 0;
};

// Looks through the PT_NOTE segments, then the SHT_NOTE sections, of an ELF32 or ELF64
// image of either byte order. Nothing when the bytes are no ELF file or hold no note.
std::optional<tElfVersionNote> ReadElfVersionNote(std::string_view fileBytes);

// The same for an open file, reading only the headers and notes (not the whole file).
std::optional<tElfVersionNote> ReadElfVersionNoteFromFile(int fd);

// "major.minor.release.build", each number in decimal.
std::string ElfVersionText(const tElfVersionNote& note);

}  // namespace brix32
