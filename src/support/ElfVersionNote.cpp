#include "support/ElfVersionNote.h"

#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace brix32 {
namespace {

constexpr std::uint32_t kVersionNoteType = 1;
constexpr char kVersionNoteOwner[] = "Corvan";  // namesz 7 with the terminator
constexpr std::uint32_t kVersionNoteOwnerSize = sizeof kVersionNoteOwner;
constexpr std::uint32_t kVersionNoteDescSize = 8;
// A hostile file may point every header at the same run of tiny notes; real programs
// carry a handful, so this bounds the work without missing ours.
constexpr std::uint32_t kNoteBudget = 4096;

// Random access to the bytes of an image; a read beyond the end fails.
class MemoryBytes {
 public:
  explicit MemoryBytes(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t size() const { return bytes_.size(); }
  bool read(std::uint64_t offset, void* out, std::size_t n) const {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    std::memcpy(out, bytes_.data() + offset, n);
    return true;
  }

 private:
  std::string_view bytes_;
};

class FileBytes {
 public:
  FileBytes(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t size() const { return size_; }
  bool read(std::uint64_t offset, void* out, std::size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    auto* p = static_cast<unsigned char*>(out);
    while (n > 0) {
      const ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;  // an error, or the file shrank under us
      p += got;
      offset += static_cast<std::uint64_t>(got);
      n -= static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

// Byte-order-aware reads of header fields, addressed by the <elf.h> layouts.
class Decoder {
 public:
  explicit Decoder(bool bigEndian) : big_(bigEndian) {}
  std::uint64_t get(const unsigned char* p, std::size_t width) const {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t at = big_ ? i : width - 1 - i;
      v = (v << 8) | p[at];
    }
    return v;
  }
  std::uint32_t u32(const unsigned char* p) const { return static_cast<std::uint32_t>(get(p, 4)); }

 private:
  bool big_;
};

#define CORVAN_ELF_FIELD(rec, type, member) decoder.get((rec) + offsetof(type, member), sizeof(type::member))

// The fields we need, in the same shape for both classes.
struct tHeader {
  std::uint64_t phoff, shoff;
  std::uint64_t phentsize, phnum, shentsize, shnum;
};
struct tRegion {
  std::uint64_t type, offset, size, align;
};

template <class Ehdr>
tHeader DecodeHeader(const Decoder& decoder, const unsigned char* rec) {
  return {CORVAN_ELF_FIELD(rec, Ehdr, e_phoff),     CORVAN_ELF_FIELD(rec, Ehdr, e_shoff),
          CORVAN_ELF_FIELD(rec, Ehdr, e_phentsize), CORVAN_ELF_FIELD(rec, Ehdr, e_phnum),
          CORVAN_ELF_FIELD(rec, Ehdr, e_shentsize), CORVAN_ELF_FIELD(rec, Ehdr, e_shnum)};
}
template <class Phdr>
tRegion DecodeSegment(const Decoder& decoder, const unsigned char* rec) {
  return {CORVAN_ELF_FIELD(rec, Phdr, p_type), CORVAN_ELF_FIELD(rec, Phdr, p_offset),
          CORVAN_ELF_FIELD(rec, Phdr, p_filesz), CORVAN_ELF_FIELD(rec, Phdr, p_align)};
}
template <class Shdr>
tRegion DecodeSection(const Decoder& decoder, const unsigned char* rec) {
  return {CORVAN_ELF_FIELD(rec, Shdr, sh_type), CORVAN_ELF_FIELD(rec, Shdr, sh_offset),
          CORVAN_ELF_FIELD(rec, Shdr, sh_size), CORVAN_ELF_FIELD(rec, Shdr, sh_addralign)};
}
#undef CORVAN_ELF_FIELD

std::uint64_t AlignUp(std::uint64_t v, std::uint64_t align) { return (v + align - 1) & ~(align - 1); }

// Walks the notes of one region; positions are kept relative to its start because the
// padding rule is relative to an aligned start, and every step is checked against the
// region's end (clamped to the file) before anything is read.
template <class Bytes>
std::optional<tElfVersionNote> ScanNotes(const Bytes& bytes, const Decoder& decoder, const tRegion& region,
                                         std::uint32_t& budget) {
  if (region.offset > bytes.size()) return std::nullopt;
  const std::uint64_t start = region.offset;
  const std::uint64_t length = std::min(region.size, bytes.size() - start);
  const std::uint64_t align = region.align == 8 ? 8 : 4;
  std::uint64_t pos = 0;
  while (budget > 0 && pos <= length && length - pos >= 12) {
    --budget;
    unsigned char h[12];
    if (!bytes.read(start + pos, h, sizeof h)) return std::nullopt;
    const std::uint32_t namesz = decoder.u32(h);
    const std::uint32_t descsz = decoder.u32(h + 4);
    const std::uint32_t type = decoder.u32(h + 8);
    // All terms stay far below 2^64: pos <= length <= file size, the sizes are 32-bit.
    const std::uint64_t desc = AlignUp(pos + 12 + namesz, align);
    if (desc > length || descsz > length - desc) return std::nullopt;
    if (type == kVersionNoteType && namesz == kVersionNoteOwnerSize && descsz == kVersionNoteDescSize) {
      char name[kVersionNoteOwnerSize];
      unsigned char words[kVersionNoteDescSize];
      if (!bytes.read(start + pos + 12, name, sizeof name)) return std::nullopt;
      if (std::memcmp(name, kVersionNoteOwner, sizeof name) == 0) {
        if (!bytes.read(start + desc, words, sizeof words)) return std::nullopt;
        return tElfVersionNote{decoder.u32(words), decoder.u32(words + 4)};
      }
    }
    pos = AlignUp(desc + descsz, align);
  }
  return std::nullopt;
}

// Visits `count` table entries of `entrySize` bytes at `tableOffset`, decoding each with
// `decode` (which needs `minSize` bytes) and scanning those of `noteType`.
template <class Bytes, class Decode>
std::optional<tElfVersionNote> ScanTable(const Bytes& bytes, const Decoder& decoder, std::uint64_t tableOffset,
                                         std::uint64_t count, std::uint64_t entrySize, std::size_t minSize,
                                         std::uint64_t noteType, Decode decode, std::uint32_t& budget) {
  if (count == 0 || entrySize < minSize || tableOffset > bytes.size()) return std::nullopt;
  unsigned char rec[sizeof(Elf64_Shdr)];  // the largest record we decode
  for (std::uint64_t i = 0; i < count && budget > 0; ++i) {
    // count and entrySize are 16-bit, tableOffset <= file size: no overflow.
    if (!bytes.read(tableOffset + i * entrySize, rec, minSize)) return std::nullopt;
    const tRegion region = decode(decoder, rec);
    if (region.type != noteType) continue;
    if (auto note = ScanNotes(bytes, decoder, region, budget)) return note;
  }
  return std::nullopt;
}

template <class Ehdr, class Phdr, class Shdr, class Bytes>
std::optional<tElfVersionNote> ReadClass(const Bytes& bytes, const Decoder& decoder) {
  unsigned char ehdr[sizeof(Ehdr)];
  if (!bytes.read(0, ehdr, sizeof ehdr)) return std::nullopt;
  const tHeader h = DecodeHeader<Ehdr>(decoder, ehdr);
  std::uint32_t budget = kNoteBudget;
  // Segments first: a linked program keeps them even when its sections are stripped.
  // A section count of 0 with the real count in section 0 (over 65279 sections) is not
  // followed: our programs are found through their segments long before that.
  if (auto note =
          ScanTable(bytes, decoder, h.phoff, h.phnum, h.phentsize, sizeof(Phdr), PT_NOTE, DecodeSegment<Phdr>, budget))
    return note;
  return ScanTable(bytes, decoder, h.shoff, h.shnum, h.shentsize, sizeof(Shdr), SHT_NOTE, DecodeSection<Shdr>, budget);
}

template <class Bytes>
std::optional<tElfVersionNote> Read(const Bytes& bytes) {
  unsigned char ident[EI_NIDENT];
  if (!bytes.read(0, ident, sizeof ident)) return std::nullopt;
  if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) return std::nullopt;
  if (ident[EI_DATA] != ELFDATA2LSB && ident[EI_DATA] != ELFDATA2MSB) return std::nullopt;
  const Decoder decoder(ident[EI_DATA] == ELFDATA2MSB);
  switch (ident[EI_CLASS]) {
    case ELFCLASS32:
      return ReadClass<Elf32_Ehdr, Elf32_Phdr, Elf32_Shdr>(bytes, decoder);
    case ELFCLASS64:
      return ReadClass<Elf64_Ehdr, Elf64_Phdr, Elf64_Shdr>(bytes, decoder);
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<tElfVersionNote> ReadElfVersionNote(std::string_view fileBytes) { return Read(MemoryBytes(fileBytes)); }

std::optional<tElfVersionNote> ReadElfVersionNoteFromFile(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return std::nullopt;
  return Read(FileBytes(fd, static_cast<std::uint64_t>(st.st_size)));
}

std::string ElfVersionText(const tElfVersionNote& note) {
  char text[48];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", note.dwFileVersionMS >> 16, note.dwFileVersionMS & 0xFFFFu,
                note.dwFileVersionLS >> 16, note.dwFileVersionLS & 0xFFFFu);
  return text;
}

}  // namespace brix32
