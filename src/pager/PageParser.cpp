#include "PageParser.h"

#include <string.h>  // memmem

#include <array>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

#include "Diagnostics.h"
#include "FileUtils.h"
#include "NumberText.h"
#include "Syslog.h"
#include "TextUtils.h"
#include "UnitClaims.h"
#include "VEKUnits.h"

namespace VEKLib {

ArrayOfSuburbs gSuburbs;
ArrayOfString gTaskTypes;

namespace {

constexpr auto npos = std::string::npos;

// 3 October 2013: pages from before it mark VEK tasks by the claiming unit alone.
constexpr brix32::TDateTime kVEKIncidentMarkerDate = 41550;

// Most markers begin with a blank, and a page is full of blanks: on a page of ordinary
// length the second character is compared before the rest, so that few candidates cost a
// call; on a long text memmem's skipping search pays for its set-up.
std::size_t Find(std::string_view text, std::string_view what, std::size_t from = 0) {
  const std::size_t m = what.size();
  if (m == 0) return from <= text.size() ? from : npos;
  if (m > text.size() || from > text.size() - m) return npos;
  if (text.size() - from > 1024) {
    const void* at = ::memmem(text.data() + from, text.size() - from, what.data(), m);
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - text.data()) : npos;
  }
  const char* p = text.data() + from;
  const char* const last = text.data() + (text.size() - m);
  while (p <= last) {
    p = static_cast<const char*>(std::memchr(p, what[0], static_cast<std::size_t>(last - p) + 1));
    if (!p) return npos;
    if (m == 1 || (p[1] == what[1] && std::memcmp(p + 2, what.data() + 2, m - 2) == 0))
      return static_cast<std::size_t>(p - text.data());
    ++p;
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

void RemoveEvery(std::string& text, char c) { std::erase(text, c); }

// The text after the first `marker`, or the text unchanged when it does not occur.
void KeepAfter(std::string& text, std::string_view marker) {
  if (const std::size_t p = Find(text, marker); p != npos) text.erase(0, p + marker.size());
}

// Step 8: "TEST PAGE " in any case of its letters.
void ReplaceTestPageMarker(std::string& text) {
  constexpr std::string_view kMarker = "TEST PAGE ";
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  for (std::size_t p = 0; p + kMarker.size() <= text.size(); ++p) {
    std::size_t i = 0;
    while (i < kMarker.size() && upper(text[p + i]) == kMarker[i]) ++i;
    if (i == kMarker.size()) {
      text.replace(p, kMarker.size(), "*CFSRES ");
      return;
    }
  }
}

// Step 5: the first "<" up to the first ">" after it.
void RemoveFirstTag(std::string& text) {
  const std::size_t open = text.find('<');
  if (open == npos) return;
  const std::size_t close = text.find('>', open);
  if (close != npos) text.erase(open, close - open + 1);
}

// Step 17: "==" and the text up to the map reference, cut at the first ":" that is not
// part of "CALLER:".
std::string CommentOf(const std::string& text, const std::string& mapRef) {
  std::string comment = "==" + brix32::Trim(brix32::Between(text, "==", mapRef));
  ReplaceFirst(comment, "CALLER:", "{CALLER}");
  if (const std::size_t colon = comment.find(':'); colon != npos) comment.erase(colon);
  ReplaceFirst(comment, "{CALLER}", "CALLER:");
  return brix32::Trim(comment);
}

// Step 19.2: the forms that may follow a suburb name, in the order they are tried.
constexpr std::array<std::string_view, 6> kSuburbEndings{" MAP", ",MAP", "MAP", ": ", " ,", ",,"};

// The index of the first ending (in the order above) that follows `name` somewhere in
// `text`, or -1. Every occurrence of the name is looked at once, so the cost is one scan.
int FirstSuburbEnding(std::string_view text, std::string_view name) {
  int best = -1;
  for (std::size_t p = Find(text, name); p != npos; p = Find(text, name, p + 1)) {
    const std::string_view rest = text.substr(p + name.size());
    for (int i = 0; i < static_cast<int>(kSuburbEndings.size()); ++i) {
      if (best != -1 && i >= best) break;
      if (rest.starts_with(kSuburbEndings[static_cast<std::size_t>(i)])) best = i;
    }
    if (best == 0) break;
  }
  return best;
}

// Step 16: the first of " P0 ", " P1 ", " P2 ", " P3 ", " P5 ", " P7 " and then
// "ALARM LEVEL: 1" that occurs, and where it stands. One pass finds all the " Pn " tokens.
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

std::string StreetOf(const std::string& upper, std::int32_t priority, const std::string& suburb) {
  std::string street = brix32::Trim(brix32::Between(
      upper, " P" + std::to_string(priority) + " ", brix32::UpperCase(suburb) + " MAP"));
  if (const std::size_t p = street.find(",=="); p != npos) street.erase(p);
  if (!street.empty() && street.back() == ',') street.pop_back();
  std::size_t lead = 0;
  while (lead < street.size() && (street[lead] == ':' || street[lead] == '@' || street[lead] == ' '))
    ++lead;
  street.erase(0, lead);
  return brix32::Trim(street);
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

tRC LoadNames(std::string_view logName, const std::string& sFileName,
              std::vector<std::string>& names) {
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
    int upTo;              // the highest draw that picks this row
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
  return tRandomRFA{row->priority ? row->priority : drawnPriority, row->task, row->comment,
                    kUnits[iUnit & 3], "INC:S" + incident};
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

tZIRPageRec ParseRawTextToZIRPage(const std::string& sRawText,
                                  const std::string& sCallingFunction) {
  brix32::Operation op("VEKLib.ParseRawTextToZIRPage");
  op.Ex.CallingFunction = sCallingFunction;
  tZIRPageRec page;
  std::int32_t code = 0;
  op.Run([&] {
    NullZIRPageRec(page);
    page.VEK = false;
    std::string s = sRawText;
    RemoveFirst(s, "[RC=0][RESULT=OK]");
    s = brix32::Trim(s);
    op.Log.Trace = 110;
    s = ParseRandomRFA(s);
    op.Log.Trace = 120;
    // Pages relayed from a terminal carry a colour prefix before the message proper.
    KeepAfter(s, "~[0;97m");
    KeepAfter(s, "~[0;92m");
    RemoveFirstTag(s);
    if (s.empty()) {
      code = -18;
      return;
    }

    op.Log.Trace = 130;
    RemoveEvery(s, '`');
    s = brix32::Trim(s);
    RemoveEvery(s, '"');
    s = brix32::Trim(s);
    // Pages scraped from the vendor's web page.
    KeepAfter(s, "<td class=message>");
    if (const std::size_t msg = Find(s, "<MSG>"); msg != npos) {
      s.erase(0, msg + 5);
      const std::size_t end = Find(s, "</MSG>");
      s.erase(end == npos ? 0 : end);
    }
    ReplaceTestPageMarker(s);
    page.RawText = s;

    op.Log.Trace = 140;
    if (s.starts_with("&lt;")) s = ReplaceAll(ReplaceAll(s, "&lt;", "<"), "&gt;", ">");
    s = ReplaceAll(s, " &amp; ", " & ");
    std::string upper = brix32::UpperCase(s);
    if (Contains(s, " INFO:")) {
      code = -19;
      return;
    }

    op.Log.Trace = 150;
    const std::size_t slash = s.find('/');
    const std::size_t slashPos = slash == npos ? 0 : slash + 1;  // counted from 1
    if (slashPos <= 10 || slashPos >= 70) {
      code = -37;
      return;
    }
    const auto dateTime = brix32::TryStrToDateTime(std::string_view(s).substr(slash - 2, 14));
    if (!dateTime) {
      code = -37;
      return;
    }
    page.DateTime = *dateTime;

    op.Log.Trace = 160;
    page.VEKUnit = "CFS";
    page.VEK = false;
    if (!gVEKUnits.empty()) {
      const tClaimMarkers markers(s);
      for (std::size_t i = 0; i < gVEKUnits.size(); ++i) {
        if (page.VEKUnit != "CFS") break;  // the first claiming unit keeps the page
        const std::string_view unitCode = gVEKUnits.UnitCode(i);
        if (!markers.ClaimedBy(unitCode)) continue;
        page.VEKUnit = unitCode;
        if (page.DateTime > kVEKIncidentMarkerDate) page.VEK = Contains(s, " INC:S");
      }
    }
    if (page.DateTime < kVEKIncidentMarkerDate + 1) page.VEK = page.VEKUnit != "CFS";
    if ((page.VEKUnit.empty() || page.VEKUnit == "CFS") &&
        (Contains(s, " VEKOOA") || Contains(s, ":VEKOOA"))) {
      page.VEKUnit = "OOA";
      page.VEK = true;
    }

    op.Log.Trace = 170;
    if (!Contains(s, " INC")) {
      code = -13;
      return;
    }
    std::string incident = brix32::Between(s, " INC", " ");
    std::erase_if(incident, [](char c) { return c == 'S' || c == ':' || c == ','; });
    page.MFSIncNo = ReadDecimal(incident).value_or(-1);
    if (page.MFSIncNo == -1) {
      code = -14;
      return;
    }

    op.Log.Trace = 180;
    if (Contains(s, "MAP:")) {
      page.MapRef = brix32::Trim(brix32::Between(s, "MAP:", ","));
    } else if (Contains(s, ",,")) {
      page.MapRef = "NA";
    }
    if (Contains(page.MapRef, ".")) page.MapRef = brix32::Between(s, "MAP:", ".");
    if (page.MapRef.size() > 15) page.MapRef = "?";

    op.Log.Trace = 190;
    const auto [priority, priorityAt] = PriorityOf(s);  // priorityAt npos: no token
    page.Priority = priority;

    op.Log.Trace = 200;
    if (Contains(s, "==")) page.Comment = CommentOf(s, page.MapRef);

    op.Log.Trace = 210;
    page.TaskType.clear();
    for (const std::string& taskType : gTaskTypes) {
      if (taskType.empty()) continue;
      const std::size_t p = Find(upper, taskType);
      if (p != npos && (priorityAt == npos || p < priorityAt)) {
        page.TaskType = taskType;
        break;
      }
    }

    op.Log.Trace = 220;
    if (gSuburbs.empty()) {
      code = -30;
      return;
    }
    page.Suburb.clear();
    bool suburbFound = false;
    {
      std::string search = upper;
      RemoveFirst(search, "LIGHTHOUSE ");
      for (const tSuburbRec& suburb : gSuburbs) {
        // An empty name would match every page.
        if (suburb.Name.empty()) continue;
        const std::string name = brix32::UpperCase(suburb.Name);
        const int ending = FirstSuburbEnding(search, name);
        if (ending < 0) continue;
        page.Suburb = suburb.Name;
        suburbFound = true;
        if (ending != 0)
          ReplaceFirst(upper, name + std::string(kSuburbEndings[static_cast<std::size_t>(ending)]),
                       name + " MAP");
        break;
      }
    }
    if (!suburbFound && page.VEK) {
      op.Log.Trace = 7950;
      // The incident text passed ReadDecimal: sign and digits, so the name stays in the
      // current folder whatever the page said.
      const std::string fileName =
          "U!" + brix32::FormatDateTime("yyyymmdd", brix32::Now()) + "-INC" + incident + ".TXT";
      brix32::WriteTextFile(s + "\r\nVEKUnit=" + page.VEKUnit + ",VEK=True", fileName, false);
      brix32::PostSyslogMsg({1090, op.Context() + " iRC=-16 -> Unknown suburb? FileName=\"" +
                                       fileName + "\""});
      code = -16;
      return;
    }

    op.Log.Trace = 230;
    page.Street = StreetOf(upper, page.Priority, page.Suburb);
    if ((Contains(upper, " BOAT RAMP ") || Contains(upper, " RESPOND MARINE SEARCH AND RESCUE ")) &&
        page.Suburb.empty())
      page.Street.clear();

    op.Log.Trace = 240;
    if (page.DateTime > 0 && page.MFSIncNo > 0) {
      page.ID = GetIDFromDateAndMFSIncNo(page.MFSIncNo, page.VEK, page.DateTime);
      if (page.ID < 0) page.ID = 0;
    }
  });
  page.RC = MakeRC(code);
  return page;
}

}  // namespace VEKLib
