#include "pager/PageParser.h"

#include <string.h>  // memmem

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <tuple>
#include <utility>

#include "pager/NameTree.h"
#include "pager/SuburbNames.h"
#include "pager/UnitClaims.h"
#include "pager/VEKUnits.h"
#include "support/Diagnostics.h"
#include "support/FileUtils.h"
#include "support/NumberText.h"
#include "support/Syslog.h"
#include "support/TextUtils.h"

namespace VEKLib {

tVersionedList<tSuburbRec> gSuburbs;
tVersionedList<std::string> gTaskTypes;

namespace {

constexpr auto npos = std::string::npos;

// 3 October 2013: pages from before it mark VEK tasks by the claiming unit alone.
constexpr brix32::TDateTime kVEKIncidentMarkerDate = 41550;

// Pages are mostly letters, digits and blanks, so a marker is looked for through its
// first character that is none of those ("[", "<", ":"...), or else its first that is
// not a blank, and compared where that stands. Only a long marker of letters and blanks
// on a long text goes faster with memmem's skipping search.
std::size_t Find(std::string_view text, std::string_view what, std::size_t from = 0) {
  const std::size_t m = what.size();
  if (m == 0) return from <= text.size() ? from : npos;
  if (m > text.size() || from > text.size() - m) return npos;
  const auto plain = [](char c) {
    const char lower = static_cast<char>(c | 0x20);
    return c == ' ' || (c >= '0' && c <= '9') || (lower >= 'a' && lower <= 'z');
  };
  std::size_t key = 0;
  while (key < m && plain(what[key])) ++key;
  if (key == m) {
    if (m > 2 && text.size() - from > 1024) {
      const void* at = ::memmem(text.data() + from, text.size() - from, what.data(), m);
      return at ? static_cast<std::size_t>(static_cast<const char*>(at) - text.data()) : npos;
    }
    key = what.find_first_not_of(' ');
    if (key == npos) key = 0;
  }
  const char* const begin = text.data();
  const char* const lastKey = begin + (text.size() - m) + key;  // where the key of the last start is
  for (const char* p = begin + from + key; p <= lastKey; ++p) {
    p = static_cast<const char*>(std::memchr(p, what[key], static_cast<std::size_t>(lastKey - p) + 1));
    if (!p) return npos;
    const char* const start = p - key;
    std::size_t i = 0;
    while (i < m && start[i] == what[i]) ++i;
    if (i == m) return static_cast<std::size_t>(start - begin);
  }
  return npos;
}

bool Contains(std::string_view text, std::string_view what) { return Find(text, what) != npos; }

void RemoveFirst(std::string& text, std::string_view what) {
  if (const std::size_t p = Find(text, what); p != npos) text.erase(p, what.size());
}

void ReplaceFirst(std::string& text, std::string_view what, std::string_view with) {
  if (const std::size_t p = Find(text, what); p != npos) text.replace(p, what.size(), with);
}

// One pass over the text, so that long pages full of the pattern stay linear.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t p = Find(text, what); p != npos; p = Find(text, what, from)) {
    out.append(text.substr(from, p - from));
    out.append(with);
    from = p + what.size();
  }
  out.append(text.substr(from));
  return out;
}

// The text after the first `marker`, or the text unchanged when it does not occur.
void KeepAfter(std::string& text, std::string_view marker) {
  if (const std::size_t p = Find(text, marker); p != npos) text.erase(0, p + marker.size());
}

// "TEST PAGE " in any case of its letters becomes "*CFSRES ", the marker peers print
// test sheets for. Only places that begin with a "T" or a "t" are compared.
void ReplaceTestPageMarker(std::string& text) {
  constexpr std::string_view kMarker = "TEST PAGE ";
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  const std::string_view view = text;
  std::size_t nextUpper = view.find('T');
  std::size_t nextLower = view.find('t');
  while (true) {
    const std::size_t p = std::min(nextUpper, nextLower);
    if (p == npos || p + kMarker.size() > text.size()) return;
    std::size_t i = 1;
    while (i < kMarker.size() && upper(text[p + i]) == kMarker[i]) ++i;
    if (i == kMarker.size()) {
      text.replace(p, kMarker.size(), "*CFSRES ");
      return;
    }
    if (p == nextUpper) nextUpper = view.find('T', p + 1);
    if (p == nextLower) nextLower = view.find('t', p + 1);
  }
}

// The first "<" up to the first ">" after it: the tag that frames a relayed message.
void RemoveFirstTag(std::string& text) {
  const std::size_t open = text.find('<');
  if (open == npos) return;
  const std::size_t close = text.find('>', open);
  if (close != npos) text.erase(open, close - open + 1);
}

void RemoveEvery(std::string& text, char c) {
  if (text.find(c) != npos) std::erase(text, c);
}

// brix32::Trim without a copy of the text.
void TrimInPlace(std::string& text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t end = text.size();
  while (end > 0 && blank(text[end - 1])) --end;
  text.erase(end);
  std::size_t begin = 0;
  while (begin < text.size() && blank(text[begin])) ++begin;
  text.erase(0, begin);
}

// The random generator of the test page templates, with the classic 32-bit linear
// congruence so that a seed gives the same page wherever it is drawn.
class tRandom {
 public:
  explicit tRandom(std::uint32_t seed) : seed_(seed) {}
  int Next(int range) {
    seed_ = seed_ * 0x08088405u + 1u;
    return static_cast<int>((static_cast<std::uint64_t>(seed_) * static_cast<std::uint32_t>(range)) >> 32);
  }

 private:
  std::uint32_t seed_;
};

tRC LoadNames(std::string_view logName, const std::string& sFileName, std::vector<std::string>& names) {
  brix32::Operation op(logName);
  op.Ex.Notes = "sFileName=" + sFileName;
  tRC rc{-99, "Exception."};
  op.Run([&] {
    std::string data;
    if (!std::filesystem::exists(sFileName)) {
      rc = {-4, sFileName + " does not exist."};
      return;
    }
    op.Log.Trace = 110;
    brix32::FileToBin(sFileName, data);
    op.Log.Trace = 120;
    std::vector<std::string> read;
    std::size_t from = 0;
    while (from < data.size()) {
      std::size_t end = data.find('\n', from);
      if (end == npos) end = data.size();
      std::string name = brix32::Trim(std::string_view(data).substr(from, end - from));
      if (!name.empty()) read.push_back(std::move(name));
      from = end + 1;
    }
    op.Log.Trace = 130;
    names = std::move(read);
    rc = {static_cast<std::int32_t>(names.size()), "Count"};
  });
  return rc;
}

}  // namespace

tRC LoadSuburbsFromTextFile(const std::string& sFileName) {
  std::vector<std::string> names;
  const tRC rc = LoadNames("VEKLib.LoadSuburbsFromTextFile", sFileName, names);
  if (rc.AsInt >= 0) {
    ArrayOfSuburbs suburbs;
    suburbs.reserve(names.size());
    for (std::string& name : names) suburbs.push_back({std::move(name)});
    gSuburbs = std::move(suburbs);
  }
  return rc;
}

tRC LoadTaskTypesFromTextFile(const std::string& sFileName) {
  std::vector<std::string> names;
  const tRC rc = LoadNames("VEKLib.LoadTaskTypesFromTextFile", sFileName, names);
  if (rc.AsInt >= 0) gTaskTypes = std::move(names);
  return rc;
}

tRandomRFA RandomRFAFromDraws(int iPriority, int iTask, int iUnit, int iIncident) {
  struct TaskRow {
    int upTo;  // the highest draw that picks this row
    const char* task;
    const char* comment;
    const char* priority;  // nullptr: the drawn priority
  };
  static constexpr TaskRow kTasks[] = {
      {29, "SEVERE WEATHER", "WATER ENTERING INTO LIVING AREA", nullptr},
      {39, "RESCUE GENERAL", "", "1"},
      {49, "PROVIDE EQUIPMENT", "QUICK SHADE REQUIRED", nullptr},
      {59, "FLOODING SALVAGE", "BURST WATER PIPE", nullptr},
      {69, "ASSIST RESIDENT", "UNABLE TO ACCESS CAR", nullptr},
      {99, "TREE DOWN", "BLOCKING BOTH LANES", "P1"},
  };
  static constexpr const char* kUnits[] = {"EAS", "MTB", "STT", "WAD"};
  const TaskRow* row = &kTasks[0];
  while (iTask > row->upTo && row != &kTasks[std::size(kTasks) - 1]) ++row;
  const char* drawnPriority = iPriority < 20 ? "P1" : iPriority < 90 ? "P2" : "P3";
  std::string incident = std::to_string(9000 + iIncident);
  if (incident.size() < 4) incident.insert(0, 4 - incident.size(), '0');
  return tRandomRFA{row->priority ? row->priority : drawnPriority, row->task, row->comment, kUnits[iUnit & 3],
                    "INC:S" + incident};
}

tRandomRFA DrawRandomRFA(std::uint32_t seed) {
  tRandom random(seed);
  const int priority = random.Next(100);
  const int task = random.Next(100);
  const int unit = random.Next(4);
  const int incident = random.Next(999);
  return RandomRFAFromDraws(priority, task, unit, incident);
}

std::string ParseRandomRFA(const std::string& sText) {
  brix32::Operation op("vekLib.ParseRandomRFA");
  std::string s = sText;
  op.Run([&] {
    const tRandomRFA r = DrawRandomRFA(static_cast<std::uint32_t>(brix32::TickCount64()));
    op.Log.Trace = 110;
    if (s.find('^') == npos) return;
    const brix32::TDateTime now = brix32::Now();
    ReplaceFirst(s, "^DATE^", brix32::FormatDateTime("dd/mm/yy", now));
    op.Log.Trace = 120;
    ReplaceFirst(s, "^TIME^", brix32::FormatDateTime("hh:nn", now));
    ReplaceFirst(s, "^DIN^", r.Incident);
    ReplaceFirst(s, "^DATE_TIME^", brix32::FormatDateTime("dd/mm/yy hh:nn", now));
    op.Log.Trace = 130;
    ReplaceFirst(s, "^TASK^", r.Task);
    ReplaceFirst(s, "^PRTY^", r.Priority);
    ReplaceFirst(s, "^COMMENT^", r.Comment);
    ReplaceFirst(s, "^UNIT^", r.Unit);
  });
  return s;
}

namespace {

// What one parse works on. The stages below read it and fill `page` in a fixed order;
// each returns 0 to go on, or the result code that ends the parse with what was filled
// so far.
struct tPageWork {
  tZIRPageRec& page;
  brix32::Operation& op;          // its progress number goes into exception reports
  const std::string& raw;         // the page as received
  std::string_view text;          // the working text: page.RawText, or `decoded`
  std::string decoded;            // page.RawText with its entities decoded, when it has any
  std::string upper;              // the working text in upper case, where names are looked for
  std::string incident;           // the incident number as written, for a set-aside copy
  std::size_t priorityAt = npos;  // where the priority token stands; npos: none
};

// Pages come from a serial receiver, the vendor's feed, peers, a decoder's log and the
// vendor's web page, each wrapped its own way. The wrappers go, so that every later
// stage reads the message alone; a message that was all wrapper is an empty string, and
// the service's own status lines are no pages at all.
std::int32_t CleanWorkingText(tPageWork& w) {
  std::string s = w.raw;
  RemoveFirst(s, "[RC=0][RESULT=OK]");
  TrimInPlace(s);
  w.op.Log.Trace = 110;
  // A test page template has its placeholders filled; a text without one stays as it is.
  if (s.find('^') != npos) s = ParseRandomRFA(s);
  w.op.Log.Trace = 120;
  // A terminal's colour prefixes, then a relay's framing tag.
  KeepAfter(s, "~[0;97m");
  KeepAfter(s, "~[0;92m");
  RemoveFirstTag(s);
  if (s.empty()) return -18;

  w.op.Log.Trace = 130;
  RemoveEvery(s, '`');
  TrimInPlace(s);
  RemoveEvery(s, '"');
  TrimInPlace(s);
  // A page scraped from the vendor's web page; "<MSG>" without its end holds no page.
  KeepAfter(s, "<td class=message>");
  if (const std::size_t msg = Find(s, "<MSG>"); msg != npos) {
    s.erase(0, msg + 5);
    const std::size_t end = Find(s, "</MSG>");
    s.erase(end == npos ? 0 : end);
  }
  ReplaceTestPageMarker(s);
  // The page as the operator should see it: entities stay as they came.
  w.page.RawText = std::move(s);
  w.text = w.page.RawText;

  w.op.Log.Trace = 140;
  if (w.text.starts_with("&lt;")) {
    w.decoded = ReplaceAll(ReplaceAll(w.text, "&lt;", "<"), "&gt;", ">");
    w.text = w.decoded;
  }
  if (Contains(w.text, " &amp; ")) {
    w.decoded = ReplaceAll(w.text, " &amp; ", " & ");
    w.text = w.decoded;
  }
  w.upper = brix32::UpperCase(w.text);
  return Contains(w.text, " INFO:") ? -19 : 0;
}

// The date and time stand where the page's first "/" is, in the shape dd/mm/yy hh:mm; a
// "/" too near the start or far into the page is something else.
std::int32_t ReadDateAndTime(tPageWork& w) {
  w.op.Log.Trace = 150;
  const std::size_t slash = w.text.find('/');
  const std::size_t slashPos = slash == npos ? 0 : slash + 1;  // counted from 1
  if (slashPos <= 10 || slashPos >= 70) return -37;
  const auto dateTime = brix32::TryStrToDateTime(w.text.substr(slash - 2, 14));
  if (!dateTime) return -37;
  w.page.DateTime = *dateTime;
  return 0;
}

// The first unit of the directory, in list order, whose code the page carries with a
// pager group marker keeps the page; no unit leaves it a CFS task. Since 3 October 2013
// an " INC:S" incident marks the VEK tasks; before, a claiming unit alone did. A VEK page
// for a unit outside the directory says so with "VEKOOA".
std::int32_t FindClaimingUnit(tPageWork& w) {
  w.op.Log.Trace = 160;
  tZIRPageRec& page = w.page;
  page.VEKUnit = "CFS";
  page.VEK = false;
  if (!gVEKUnits.empty()) {
    const tClaimMarkers markers(w.text);
    for (std::size_t i = 0; i < gVEKUnits.size(); ++i) {
      const std::string_view unitCode = gVEKUnits.UnitCode(i);
      if (!markers.ClaimedBy(unitCode)) continue;
      page.VEKUnit = unitCode;
      if (page.DateTime > kVEKIncidentMarkerDate) page.VEK = Contains(w.text, " INC:S");
      // The first claiming unit keeps the page (a unit coded "CFS" keeps it a CFS task).
      if (page.VEKUnit != "CFS") break;
    }
  }
  if (page.DateTime < kVEKIncidentMarkerDate + 1) page.VEK = page.VEKUnit != "CFS";
  if ((page.VEKUnit.empty() || page.VEKUnit == "CFS") && (Contains(w.text, " VEKOOA") || Contains(w.text, ":VEKOOA"))) {
    page.VEKUnit = "OOA";
    page.VEK = true;
  }
  return 0;
}

// The incident number follows " INC", with the "S" of VEK incidents, a colon and
// thousands commas as decoration around the digits.
std::int32_t ReadIncidentNumber(tPageWork& w) {
  w.op.Log.Trace = 170;
  if (!Contains(w.text, " INC")) return -13;
  w.incident = brix32::Between(w.text, " INC", " ");
  std::erase_if(w.incident, [](char c) { return c == 'S' || c == ':' || c == ','; });
  w.page.MFSIncNo = brix32::ReadDecimal(w.incident).value_or(-1);
  return w.page.MFSIncNo == -1 ? -14 : 0;
}

// The map reference runs from "MAP:" to the next comma, or to a full stop inside it; a
// page with ",," where the reference would be has none ("NA"), and one too long to be a
// reference is shown as "?". The comment follows "==" and ends where the map reference
// begins; its first colon ends it, unless that colon belongs to "CALLER:".
std::int32_t ReadMapReferenceAndComment(tPageWork& w) {
  w.op.Log.Trace = 180;
  const std::string_view s = w.text;
  std::string& mapRef = w.page.MapRef;
  if (Contains(s, "MAP:")) {
    mapRef = brix32::Trim(brix32::Between(s, "MAP:", ","));
  } else if (Contains(s, ",,")) {
    mapRef = "NA";
  }
  if (Contains(mapRef, ".")) mapRef = brix32::Between(s, "MAP:", ".");
  if (mapRef.size() > 15) mapRef = "?";

  w.op.Log.Trace = 200;
  if (Contains(s, "==")) {
    std::string comment = "==" + brix32::Trim(brix32::Between(s, "==", mapRef));
    ReplaceFirst(comment, "CALLER:", "{CALLER}");
    if (const std::size_t colon = comment.find(':'); colon != npos) comment.erase(colon);
    ReplaceFirst(comment, "{CALLER}", "CALLER:");
    w.page.Comment = brix32::Trim(comment);
  }
  return 0;
}

// The first of " P0 ", " P1 ", " P2 ", " P3 ", " P5 ", " P7 " and then "ALARM LEVEL: 1"
// that occurs, and where it stands. One pass finds all the " Pn " tokens.
std::pair<std::int32_t, std::size_t> PriorityOf(std::string_view text) {
  static constexpr std::string_view kDigits = "012357";
  std::array<std::size_t, kDigits.size()> first;
  first.fill(npos);
  for (std::size_t p = Find(text, " P"); p != npos && p + 3 < text.size(); p = Find(text, " P", p + 1)) {
    const std::size_t digit = kDigits.find(text[p + 2]);
    if (digit != npos && text[p + 3] == ' ' && first[digit] == npos) first[digit] = p;
  }
  for (std::size_t i = 0; i < kDigits.size(); ++i)
    if (first[i] != npos) return {kDigits[i] - '0', first[i]};
  if (const std::size_t p = Find(text, "ALARM LEVEL: 1"); p != npos) return {1, p};
  return {0, npos};
}

// An index built from a list, rebuilt when the list has changed since. Each thread keeps
// its own, so that a parse never reads an index another one is rebuilding.
template <class Index, class T, class Build>
const Index& IndexOf(const tVersionedList<T>& list, Build build) {
  thread_local std::uint64_t builtFor = 0;
  thread_local Index index;
  if (builtFor != list.Generation()) {
    index = build(list.items());
    builtFor = list.Generation();
  }
  return index;
}

// The task type is written before the priority token: the first type of the list, in
// list order, that begins there counts; a type further on is part of the address or the
// comment. So the types are looked for only at the places before the token.
std::int32_t ReadPriorityAndTaskType(tPageWork& w) {
  w.op.Log.Trace = 190;
  std::tie(w.page.Priority, w.priorityAt) = PriorityOf(w.text);

  w.op.Log.Trace = 210;
  const tNameTree& types = IndexOf<tNameTree>(
      gTaskTypes, [](const ArrayOfString& list) { return tNameTree(list, tNameTree::tReading::Forwards); });
  std::size_t first = tNameTree::kNone;
  const std::size_t before = std::min(w.priorityAt, w.upper.size());
  for (std::size_t at = 0; at < before && first != types.Lowest(); ++at)
    types.NamesAt(w.upper, at, first, [&](std::size_t position) { first = std::min(first, position); });
  w.page.TaskType = first == tNameTree::kNone ? std::string() : gTaskTypes[first];
  return 0;
}

// A VEK page for a suburb the list does not know is kept for someone to look at, as
// "U!<today>-INC<incident>.TXT" in the current folder, and announced by syslog.
void SetAsideUnknownSuburb(tPageWork& w) {
  w.op.Log.Trace = 7950;
  // The incident text passed ReadDecimal: sign and digits, so the name stays in the
  // current folder whatever the page said.
  const std::string fileName = "U!" + brix32::FormatDateTime("yyyymmdd", brix32::Now()) + "-INC" + w.incident + ".TXT";
  const std::string copy = std::string(w.text) + "\r\nVEKUnit=" + w.page.VEKUnit + ",VEK=True";
  brix32::WriteTextFile(copy, fileName, false);
  brix32::PostSyslogMsg({1090, w.op.Context() + " iRC=-16 -> Unknown suburb? FileName=\"" + fileName + "\""});
}

// The address is "<street> <suburb> MAP": the suburb is the first name of the list that
// the page writes before one of the endings a suburb can have (a "LIGHTHOUSE " before it
// is a place, not part of the name), and the street is what stands between the priority
// token and the suburb. The other endings are rewritten as " MAP" so that the street
// always ends at the same mark.
std::int32_t FindSuburbAndStreet(tPageWork& w) {
  tZIRPageRec& page = w.page;
  w.op.Log.Trace = 220;
  if (gSuburbs.empty()) return -30;
  page.Suburb.clear();
  std::string withoutLighthouse;
  std::string_view search = w.upper;
  if (const std::size_t p = Find(search, "LIGHTHOUSE "); p != npos) {
    withoutLighthouse = w.upper;
    withoutLighthouse.erase(p, 11);
    search = withoutLighthouse;
  }
  const tSuburbNames& names = IndexOf<tSuburbNames>(gSuburbs, [](const ArrayOfSuburbs& list) {
    std::vector<std::string> upper;
    upper.reserve(list.size());
    for (const tSuburbRec& suburb : list) upper.push_back(brix32::UpperCase(suburb.Name));
    return tSuburbNames(upper);
  });
  const auto named = names.FirstNamed(search);
  if (named) {
    page.Suburb = gSuburbs[named->Index].Name;
    if (named->Ending != 0) {
      const std::string name = brix32::UpperCase(page.Suburb);
      ReplaceFirst(w.upper, name + std::string(tSuburbNames::kEndings[named->Ending]), name + " MAP");
    }
  } else if (page.VEK) {
    SetAsideUnknownSuburb(w);
    return -16;
  }

  w.op.Log.Trace = 230;
  std::string street = brix32::Trim(
      brix32::Between(w.upper, " P" + std::to_string(page.Priority) + " ", brix32::UpperCase(page.Suburb) + " MAP"));
  // A comment glued to the address, and the separators before the street, are no part of it.
  if (const std::size_t p = street.find(",=="); p != npos) street.erase(p);
  if (!street.empty() && street.back() == ',') street.pop_back();
  std::size_t lead = 0;
  while (lead < street.size() && (street[lead] == ':' || street[lead] == '@' || street[lead] == ' ')) ++lead;
  street.erase(0, lead);
  page.Street = brix32::Trim(street);
  // A boat ramp or a search at sea without a known suburb has no street to go to.
  if (page.Suburb.empty() &&
      (Contains(w.upper, " BOAT RAMP ") || Contains(w.upper, " RESPOND MARINE SEARCH AND RESCUE ")))
    page.Street.clear();
  return 0;
}

// The task ID joins the incident number with the page's date and VEK flag; a date before
// 2000 computes negative, which is no ID.
std::int32_t SetTaskID(tPageWork& w) {
  w.op.Log.Trace = 240;
  tZIRPageRec& page = w.page;
  if (page.DateTime > 0 && page.MFSIncNo > 0)
    page.ID = std::max(0, GetIDFromDateAndMFSIncNo(page.MFSIncNo, page.VEK, page.DateTime));
  return 0;
}

}  // namespace

tZIRPageRec ParseRawTextToZIRPage(const std::string& sRawText, const std::string& sCallingFunction) {
  brix32::Operation op("VEKLib.ParseRawTextToZIRPage");
  op.Ex.CallingFunction = sCallingFunction;
  tZIRPageRec page;
  std::int32_t code = 0;
  op.Run([&] {
    NullZIRPageRec(page);
    page.VEK = false;
    tPageWork work{page, op, sRawText, {}, {}, {}, {}, npos};
    using tStage = std::int32_t (*)(tPageWork&);
    for (const tStage stage : {CleanWorkingText, ReadDateAndTime, FindClaimingUnit, ReadIncidentNumber,
                               ReadMapReferenceAndComment, ReadPriorityAndTaskType, FindSuburbAndStreet, SetTaskID}) {
      code = stage(work);
      if (code < 0) return;
    }
  });
  page.RC = MakeRC(code);
  return page;
}

}  // namespace VEKLib
