// Any bytes as a page, with all three lists filled so that every stage of the grammar
// runs: a fixed set, or lists the input brings before a GS byte (0x1d): units, suburbs
// and task types separated by RS (0x1e), names within a list by US (0x1f). The page must
// parse exactly as the plain reading of the grammar in tests/pager does, the result must
// be one of the parser's own codes with its text, the fields must keep their bounds, and
// the only file a page can produce is the set-aside copy in the current folder.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ReferencePageParser.h"
#include "pager/PageParser.h"
#include "pager/ReportParser.h"
#include "pager/UnitClaims.h"
#include "pager/VEKRecords.h"
#include "pager/VEKUnits.h"
#include "support/DateTime.h"

namespace {

bool IsSetAsideName(std::string_view name) {
  // "U!" yyyymmdd "-INC" [sign] digits ".TXT"
  if (!name.starts_with("U!") || !name.ends_with(".TXT") || name.size() < 19) return false;
  std::string_view rest = name.substr(2, name.size() - 6);
  for (std::size_t i = 0; i < 8; ++i)
    if (rest[i] < '0' || rest[i] > '9') return false;
  rest.remove_prefix(8);
  if (!rest.starts_with("-INC")) return false;
  rest.remove_prefix(4);
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) rest.remove_prefix(1);
  if (rest.empty()) return false;
  for (const char c : rest)
    if (c < '0' || c > '9') return false;
  return true;
}

// Removes the set-aside copies and returns how many there were; anything else in the
// folder is a fault.
int ClearFolder() {
  DIR* dir = ::opendir(".");
  if (!dir) std::abort();
  int copies = 0;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!IsSetAsideName(name)) {
      std::fprintf(stderr, "unexpected file %s\n", e->d_name);
      std::abort();
    }
    ::unlink(e->d_name);
    ++copies;
  }
  ::closedir(dir);
  return copies;
}

VEKLib::tVEKUnitRec Unit(const char* code) {
  VEKLib::tVEKUnitRec unit;
  unit.UnitCode = code;
  return unit;
}

// The parser writes into the current folder; libFuzzer reads and writes its corpus by
// paths relative to the folder it started in. Each input is parsed in a scratch folder.
int gHome = -1;
int gScratch = -1;
char gScratchName[] = "/tmp/corvan-page-fuzz.XXXXXX";

// Every input leaves the folder empty, so it can go when the run ends.
void RemoveScratch() { ::rmdir(gScratchName); }

// Splits `text` at every `separator`.
std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  for (std::size_t from = 0;;) {
    const std::size_t end = text.find(separator, from);
    pieces.emplace_back(text.substr(from, end == std::string_view::npos ? end : end - from));
    if (end == std::string_view::npos) return pieces;
    from = end + 1;
  }
}

const VEKLib::ArrayOfVEKUnits kUnits = {Unit("EAS"), Unit("MTB"), Unit("A"), Unit("STT"), Unit("WAD")};
const VEKLib::ArrayOfSuburbs kSuburbs = {{"KINGSTON PARK"}, {"NORTH"}, {"GLENELG NORTH"}, {"Port Adelaide"}, {"X"}};
const VEKLib::ArrayOfString kTaskTypes = {"SEVERE WEATHER", "TREE DOWN", "RESCUE GENERAL", "DOWN", "A"};

// Fills the lists from the head of the input, or with the fixed set, and returns the page.
// A list is assigned only when it changes, so that runs in a row also read the parser's
// indexes of unchanged lists.
std::string_view TakeLists(std::string_view input) {
  VEKLib::ArrayOfVEKUnits units = kUnits;
  VEKLib::ArrayOfSuburbs suburbs = kSuburbs;
  VEKLib::ArrayOfString taskTypes = kTaskTypes;
  if (const std::size_t gs = input.find('\x1d'); gs != std::string_view::npos) {
    const std::vector<std::string> lists = Split(input.substr(0, gs), '\x1e');
    input.remove_prefix(gs + 1);
    units.clear();
    suburbs.clear();
    taskTypes.clear();
    if (lists.size() > 0)
      for (const std::string& code : Split(lists[0], '\x1f')) units.push_back(Unit(code.c_str()));
    if (lists.size() > 1)
      for (std::string& name : Split(lists[1], '\x1f')) suburbs.push_back({std::move(name)});
    if (lists.size() > 2) taskTypes = Split(lists[2], '\x1f');
  }
  if (!(VEKLib::gVEKUnits == units)) VEKLib::gVEKUnits = std::move(units);
  if (!(VEKLib::gSuburbs == suburbs)) VEKLib::gSuburbs = std::move(suburbs);
  if (!(VEKLib::gTaskTypes == taskTypes)) VEKLib::gTaskTypes = std::move(taskTypes);
  return input;
}

bool KnownUnit(const std::string& code) {
  if (code == "CFS" || code == "OOA") return true;
  for (const auto& unit : VEKLib::gVEKUnits)
    if (unit.UnitCode == code) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A set-aside page posts a syslog broadcast: only inside the private network.
  const char* netns = std::getenv("CORVAN_NETNS");
  if (!netns || std::strcmp(netns, "inside") != 0) {
    std::fprintf(stderr, "run this fuzzer through scripts/netns-run\n");
    std::exit(1);
  }
  if (!::mkdtemp(gScratchName)) std::abort();
  std::atexit(RemoveScratch);
  gHome = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  gScratch = ::open(gScratchName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (gHome < 0 || gScratch < 0) std::abort();
  // Templates are filled from the clock and the tick count: the same for both readings.
  brix32::SetNowSource([] { return brix32::EncodeDateTime({2024, 1, 21, 15, 36, 7, 0}); });
  brix32::SetTickSource([] { return std::uint64_t{273909000}; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(TakeLists(std::string_view(reinterpret_cast<const char*>(data), size)));
  if (::fchdir(gScratch) != 0) std::abort();
  const VEKLib::tTaskRec task = VEKLib::ParseRawTextToTask(text, "fuzz:1");
  // Exactly one copy for a set-aside page, none otherwise.
  const int copies = ClearFolder();
  if (::fchdir(gHome) != 0) std::abort();
  const VEKLib::tZIRPageRec& page = task.ZIRPage;
  if (!(page == corvantest::ReferenceParseRawTextToZIRPage(text))) {
    std::fprintf(stderr, "the page parses otherwise than the plain reading says\n");
    std::abort();
  }
  const VEKLib::tClaimMarkers markers(text);
  for (const auto& unit : VEKLib::gVEKUnits)
    if (markers.ClaimedBy(unit.UnitCode) != corvantest::ReferenceUnitClaims(text, unit.UnitCode)) {
      std::fprintf(stderr, "unit \"%s\" claims otherwise than the plain reading\n", unit.UnitCode.c_str());
      std::abort();
    }
  const std::int32_t code = task.RC.AsInt;
  switch (code) {
    case 0:
    case -13:
    case -14:
    case -16:
    case -18:
    case -19:
    case -30:
    case -37:
      break;
    default:
      std::abort();
  }
  if (task.RC != page.RC || task.RC.AsStr != VEKLib::RCtoStr(code)) std::abort();
  if (page.MapRef.size() > 15) std::abort();
  if (page.Priority != 0 && page.Priority != 1 && page.Priority != 2 && page.Priority != 3 && page.Priority != 5 &&
      page.Priority != 7)
    std::abort();
  if (!page.VEKUnit.empty() && !KnownUnit(page.VEKUnit)) std::abort();
  if (page.ID < 0) std::abort();
  if (code >= 0) {
    // A unit coded "" claims a page and leaves no code to attach.
    if (task.ID != page.ID || task.Report.ID != page.ID ||
        (task.Report.AttachedVEKUnits.empty() && !page.VEKUnit.empty()))
      std::abort();
    if (page.Suburb.empty() && page.VEK) std::abort();
  } else if (task.ID != 0 || !(task.Report == VEKLib::tReportRec{})) {
    std::abort();
  }
  if (copies != (code == -16 ? 1 : 0)) std::abort();
  return 0;
}
