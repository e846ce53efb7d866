#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "TempFolder.h"
#include "support/ElfVersionNote.h"
#include "support/FileVersion.h"

using namespace brix32;
using corvantest::TempFolder;

namespace {

// A minimal ELF image holding a GNU note followed by ours, laid out by hand (not with
// <elf.h>) so that the reader's use of the system layouts is checked independently.
struct ElfSpec {
  bool is64 = true;
  bool bigEndian = false;
  bool segment = true;   // a PT_NOTE program header covers the notes
  bool section = false;  // an SHT_NOTE section header covers them
  std::uint64_t noteAlign = 4;
  std::size_t headerGap = 0;                                  // bytes between the ELF header and the program header
  std::uint32_t ms = (2u << 16) | 1u, ls = (0u << 16) | 37u;  // 2.1.0.37
};

struct ElfImage {
  std::string bytes;
  std::size_t phdr = 0;  // the PT_NOTE program header
  std::size_t shdr = 0;  // the SHT_NOTE section header
  std::size_t firstNote = 0;
  std::size_t ourNote = 0;

  bool big = false;
  bool is64 = true;
  void set(std::size_t at, std::size_t width, std::uint64_t v) {
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t shift = 8 * (big ? width - 1 - i : i);
      bytes[at + i] = static_cast<char>((v >> shift) & 0xFF);
    }
  }
  std::size_t word() const { return is64 ? 8 : 4; }
  // Header fields by name, for the corruption table.
  void setPhoff(std::uint64_t v) { set(is64 ? 32 : 28, word(), v); }
  void setShoff(std::uint64_t v) { set(is64 ? 40 : 32, word(), v); }
  void setPhentsize(std::uint64_t v) { set(is64 ? 54 : 42, 2, v); }
  void setPhnum(std::uint64_t v) { set(is64 ? 56 : 44, 2, v); }
  void setShnum(std::uint64_t v) { set(is64 ? 60 : 48, 2, v); }
  void setPOffset(std::uint64_t v) { set(phdr + (is64 ? 8 : 4), word(), v); }
  void setPFilesz(std::uint64_t v) { set(phdr + (is64 ? 32 : 16), word(), v); }
};

ElfImage BuildElf(const ElfSpec& s) {
  ElfImage img;
  img.big = s.bigEndian;
  img.is64 = s.is64;
  const std::size_t ehsize = s.is64 ? 64 : 52, phentsize = s.is64 ? 56 : 32, shentsize = s.is64 ? 64 : 40;
  auto grow = [&](std::size_t n) { img.bytes.append(n, '\0'); };
  auto alignTo = [&](std::size_t a) { grow((a - img.bytes.size() % a) % a); };
  grow(ehsize);
  img.bytes.replace(0, 4,
                    "\x7f"
                    "ELF");
  img.bytes[4] = s.is64 ? 2 : 1;
  img.bytes[5] = s.bigEndian ? 2 : 1;
  img.bytes[6] = 1;
  img.set(16, 2, 2);  // ET_EXEC
  img.set(s.is64 ? 52 : 40, 2, ehsize);
  if (s.segment) {
    grow(s.headerGap);
    img.phdr = img.bytes.size();
    grow(phentsize);
  }
  alignTo(s.noteAlign);
  img.firstNote = img.bytes.size();
  auto note = [&](std::string_view name, std::uint32_t type, const std::string& desc) {
    const std::size_t at = img.bytes.size();
    grow(12);
    img.set(at, 4, name.size());
    img.set(at + 4, 4, desc.size());
    img.set(at + 8, 4, type);
    img.bytes += name;
    alignTo(s.noteAlign);
    img.bytes += desc;
    alignTo(s.noteAlign);
    return at;
  };
  note(std::string_view("GNU\0", 4), 3, "abcd");
  std::string words(8, '\0');
  img.ourNote = note(std::string_view("Corvan\0", 7), 1, words);
  const std::size_t descAt = img.bytes.size() - 8;
  img.set(descAt, 4, s.ms);
  img.set(descAt + 4, 4, s.ls);
  const std::size_t notesSize = img.bytes.size() - img.firstNote;
  if (s.segment) {
    img.setPhoff(img.phdr);
    img.setPhentsize(phentsize);
    img.setPhnum(1);
    img.set(img.phdr, 4, 4);  // PT_NOTE
    img.setPOffset(img.firstNote);
    img.setPFilesz(notesSize);
    img.set(img.phdr + (s.is64 ? 48 : 28), img.word(), s.noteAlign);
  }
  if (s.section) {
    alignTo(8);
    const std::size_t shoff = img.bytes.size();
    grow(2 * shentsize);  // the null section, then ours
    img.shdr = shoff + shentsize;
    img.setShoff(shoff);
    img.set(s.is64 ? 58 : 46, 2, shentsize);
    img.setShnum(2);
    img.set(img.shdr + 4, 4, 7);  // SHT_NOTE
    img.set(img.shdr + (s.is64 ? 24 : 16), img.word(), img.firstNote);
    img.set(img.shdr + (s.is64 ? 32 : 20), img.word(), notesSize);
    img.set(img.shdr + (s.is64 ? 48 : 32), img.word(), s.noteAlign);
  }
  return img;
}

std::string VersionOf(std::string_view bytes) {
  const auto note = ReadElfVersionNote(bytes);
  return note ? ElfVersionText(*note) : std::string();
}

std::string OwnExecutable() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

}  // namespace

TEST(ReadElfVersionNote, FindsTheNoteInEveryLayout) {
  struct Case {
    const char* name;
    ElfSpec layout;
  } cases[] = {
      {"64 LE segment", {}},
      {"64 BE segment", {.bigEndian = true}},
      {"32 LE segment", {.is64 = false}},
      {"32 BE segment", {.is64 = false, .bigEndian = true}},
      {"64 LE section only", {.segment = false, .section = true}},
      {"32 BE section only", {.is64 = false, .bigEndian = true, .segment = false, .section = true}},
      {"64 LE 8-aligned notes", {.noteAlign = 8}},
      {"misaligned program header", {.headerGap = 3}},
  };
  for (const Case& c : cases) EXPECT_EQ(VersionOf(BuildElf(c.layout).bytes), "2.1.0.37") << c.name;

  const auto big = ReadElfVersionNote(BuildElf({.ms = 0xFFFF0000u, .ls = 0x0001FFFFu}).bytes);
  ASSERT_TRUE(big);
  EXPECT_EQ(ElfVersionText(*big), "65535.0.1.65535");
}

TEST(ReadElfVersionNote, CorruptImagesGiveNothingAndNeverReadOutside) {
  using Mutate = std::function<void(ElfImage&)>;
  struct Case {
    const char* name;
    Mutate mutate;
    bool found;
  } cases[] = {
      {"intact", [](ElfImage&) {}, true},
      {"bad magic", [](ElfImage& i) { i.bytes[1] = 'X'; }, false},
      {"unknown class", [](ElfImage& i) { i.bytes[4] = 3; }, false},
      {"unknown byte order", [](ElfImage& i) { i.bytes[5] = 0; }, false},
      {"other byte order", [](ElfImage& i) { i.bytes[5] = 2; }, false},
      {"phoff wraps", [](ElfImage& i) { i.setPhoff(~0ULL - 7); }, false},
      {"phoff past the end", [](ElfImage& i) { i.setPhoff(i.bytes.size() - 10); }, false},
      {"phentsize 0", [](ElfImage& i) { i.setPhentsize(0); }, false},
      {"phentsize too small", [](ElfImage& i) { i.setPhentsize(20); }, false},
      {"phnum huge, table past the end", [](ElfImage& i) { i.setPhnum(65535); }, true},
      {"p_offset wraps", [](ElfImage& i) { i.setPOffset(~0ULL - 3); }, false},
      {"p_offset past the end", [](ElfImage& i) { i.setPOffset(i.bytes.size() + 1); }, false},
      {"p_filesz beyond the file is clamped", [](ElfImage& i) { i.setPFilesz(~0ULL); }, true},
      {"p_filesz cuts our note", [](ElfImage& i) { i.setPFilesz(i.ourNote - i.firstNote + 20); }, false},
      {"first namesz huge", [](ElfImage& i) { i.set(i.firstNote, 4, 0xFFFFFFFF); }, false},
      {"first descsz huge", [](ElfImage& i) { i.set(i.firstNote + 4, 4, 0xFFFFFFFC); }, false},
      {"our namesz 6", [](ElfImage& i) { i.set(i.ourNote, 4, 6); }, false},
      {"our descsz 4", [](ElfImage& i) { i.set(i.ourNote + 4, 4, 4); }, false},
      {"our type 2", [](ElfImage& i) { i.set(i.ourNote + 8, 4, 2); }, false},
      {"other owner", [](ElfImage& i) { i.bytes[i.ourNote + 12] = 'c'; }, false},
      {"shoff wraps (no sections to fall back on)", [](ElfImage& i) { i.setShoff(~0ULL); }, true},
  };
  for (const Case& c : cases) {
    ElfImage img = BuildElf({});
    c.mutate(img);
    // An exact-size heap copy lets a sanitizer build catch any read beyond the image.
    const std::unique_ptr<char[]> exact(new char[img.bytes.size()]);
    std::memcpy(exact.get(), img.bytes.data(), img.bytes.size());
    EXPECT_EQ(ReadElfVersionNote({exact.get(), img.bytes.size()}).has_value(), c.found) << c.name;
  }
}

TEST(ReadElfVersionNote, SegmentsAndSectionsAreBothSearched) {
  ElfImage img = BuildElf({.segment = true, .section = true});
  img.set(img.phdr, 4, 1);  // the segment becomes PT_LOAD: the section still leads to the note
  EXPECT_EQ(VersionOf(img.bytes), "2.1.0.37");
  img.set(img.shdr + 4, 4, 1);  // and SHT_PROGBITS: nothing left
  EXPECT_EQ(VersionOf(img.bytes), "");
}

TEST(ReadElfVersionNote, HugeHeaderCountsStayCheap) {
  // 65535 note segments all pointing at the same thousands of empty notes: the work is
  // bounded by the note budget, not by headers x notes.
  ElfImage img = BuildElf({});
  std::string table;
  const std::string phdr = img.bytes.substr(img.phdr, 56);
  for (int i = 0; i < 65535; ++i) table += phdr;
  const std::size_t filler = img.bytes.size();
  img.bytes.append(12 * 100000, '\0');  // 100000 notes with empty name and desc
  const std::size_t tableAt = img.bytes.size();
  img.bytes += table;
  img.setPhoff(tableAt);
  img.setPhnum(65535);
  img.setPOffset(filler);
  img.setPFilesz(12 * 100000);
  for (int i = 0; i < 65535; ++i) {
    const std::size_t at = tableAt + static_cast<std::size_t>(i) * 56;
    img.set(at + 8, 8, filler);
    img.set(at + 32, 8, 12 * 100000);
  }
  EXPECT_FALSE(ReadElfVersionNote(img.bytes).has_value());
}

TEST(ReadElfVersionNote, EveryTruncationOfARealProgramIsSafe) {
  corvantest::TempFolder dir;
  std::string own;
  {
    std::ifstream in(OwnExecutable(), std::ios::binary);
    own.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(own.size(), 8192u);
  bool seen = false;
  for (std::size_t n = 0; n <= 8192; ++n) {
    const std::unique_ptr<char[]> exact(new char[n + 1]);
    std::memcpy(exact.get(), own.data(), n);
    const bool found = ReadElfVersionNote({exact.get(), n}).has_value();
    EXPECT_TRUE(found || !seen) << "found at a shorter length but not at " << n;
    seen = seen || found;
  }
  EXPECT_TRUE(seen) << "the note lies in the first page of our programs";
  EXPECT_FALSE(ReadElfVersionNote(std::string_view(own.data(), 64)).has_value());
}

TEST(FileVersion2, OwnProgramCarriesTheProjectVersion) {
  EXPECT_EQ(FileVersion2(""), CORVAN_PROJECT_VERSION);
  EXPECT_EQ(FileVersion2(OwnExecutable()), CORVAN_PROJECT_VERSION);
}

TEST(FileVersion2, ReadsAnyFileAndGivesEmptyTextWithoutTheNote) {
  TempFolder dir;
  dir.write("v2.bin", BuildElf({.is64 = false, .bigEndian = true}).bytes);
  dir.write("plain.txt", "2.1.0.37\r\n");
  ElfImage stripped = BuildElf({});
  stripped.set(stripped.ourNote + 12, 1, 'X');
  dir.write("other.elf", stripped.bytes);
  ::mkfifo(dir.file("fifo").c_str(), 0600);
  ::mkdir(dir.file("folder").c_str(), 0755);

  EXPECT_EQ(FileVersion2(dir.file("v2.bin")), "2.1.0.37");
  for (const char* name : {"plain.txt", "other.elf", "missing", "fifo", "folder"})
    EXPECT_EQ(FileVersion2(dir.file(name)), "") << name;
  EXPECT_EQ(FileVersion2("/bin/sh"), "");  // an ELF program without our note
}
