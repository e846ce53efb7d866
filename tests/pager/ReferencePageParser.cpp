#include "ReferencePageParser.h"

#include <algorithm>
#include <cstdint>

#include "pager/VEKUnits.h"
#include "support/DateTime.h"
#include "support/NumberText.h"
#include "support/TextUtils.h"

namespace corvantest {

namespace {

constexpr auto npos = std::string::npos;

bool Has(const std::string& text, const std::string& what) { return text.find(what) != npos; }

void RemoveFirst(std::string& text, const std::string& what) {
  if (const std::size_t p = text.find(what); p != npos) text.erase(p, what.size());
}

void ReplaceFirst(std::string& text, const std::string& what, const std::string& with) {
  if (const std::size_t p = text.find(what); p != npos) text.replace(p, what.size(), with);
}

std::string ReplaceEvery(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t p = text.find(what); p != npos; p = text.find(what, p + with.size()))
    text.replace(p, what.size(), with);
  return text;
}

void KeepAfter(std::string& text, const std::string& marker) {
  if (const std::size_t p = text.find(marker); p != npos) text = text.substr(p + marker.size());
}

}  // namespace

bool ReferenceUnitClaims(const std::string& sText, const std::string& sUnitCode) {
  const std::string withBlank = sText + " ";
  for (const char* digits : {"20", "23", "29"}) {
    if (Has(withBlank, sUnitCode + digits + " ")) return true;
    if (Has(sText, sUnitCode + digits + "_")) return true;
  }
  return false;
}

VEKLib::tZIRPageRec ReferenceParseRawTextToZIRPage(const std::string& sRawText) {
  VEKLib::tZIRPageRec page;
  VEKLib::NullZIRPageRec(page);
  std::int32_t code = 0;
  [&] {
    std::string s = sRawText;
    RemoveFirst(s, "[RC=0][RESULT=OK]");
    s = brix32::Trim(s);
    s = VEKLib::ParseRandomRFA(s);
    KeepAfter(s, "~[0;97m");
    KeepAfter(s, "~[0;92m");
    if (const std::size_t open = s.find('<'); open != npos) {
      if (const std::size_t close = s.find('>', open); close != npos) s.erase(open, close - open + 1);
    }
    if (s.empty()) {
      code = -18;
      return;
    }
    s.erase(std::remove(s.begin(), s.end(), '`'), s.end());
    s = brix32::Trim(s);
    s.erase(std::remove(s.begin(), s.end(), '"'), s.end());
    s = brix32::Trim(s);
    KeepAfter(s, "<td class=message>");
    if (const std::size_t msg = s.find("<MSG>"); msg != npos) {
      s = s.substr(msg + 5);
      const std::size_t end = s.find("</MSG>");
      s = end == npos ? "" : s.substr(0, end);
    }
    if (const std::size_t test = brix32::UpperCase(s).find("TEST PAGE "); test != npos) s.replace(test, 10, "*CFSRES ");
    page.RawText = s;

    if (s.starts_with("&lt;")) s = ReplaceEvery(ReplaceEvery(s, "&lt;", "<"), "&gt;", ">");
    s = ReplaceEvery(s, " &amp; ", " & ");
    std::string upper = brix32::UpperCase(s);
    if (Has(s, " INFO:")) {
      code = -19;
      return;
    }

    const std::size_t slash = s.find('/');
    const std::size_t position = slash == npos ? 0 : slash + 1;
    if (position <= 10 || position >= 70) {
      code = -37;
      return;
    }
    const auto dateTime = brix32::TryStrToDateTime(s.substr(slash - 2, 14));
    if (!dateTime) {
      code = -37;
      return;
    }
    page.DateTime = *dateTime;

    page.VEKUnit = "CFS";
    page.VEK = false;
    for (const VEKLib::tVEKUnitRec& unit : VEKLib::gVEKUnits) {
      if (!ReferenceUnitClaims(s, unit.UnitCode)) continue;
      if (page.VEKUnit == "CFS") {
        page.VEKUnit = unit.UnitCode;
        if (page.DateTime > 41550) page.VEK = Has(s, " INC:S");
      }
    }
    if (page.DateTime < 41551) page.VEK = page.VEKUnit != "CFS";
    if ((page.VEKUnit.empty() || page.VEKUnit == "CFS") && (Has(s, " VEKOOA") || Has(s, ":VEKOOA"))) {
      page.VEKUnit = "OOA";
      page.VEK = true;
    }

    if (!Has(s, " INC")) {
      code = -13;
      return;
    }
    std::string incident = brix32::Between(s, " INC", " ");
    std::string digits;
    for (const char c : incident)
      if (c != 'S' && c != ':' && c != ',') digits += c;
    incident = digits;
    page.MFSIncNo = brix32::ReadDecimal(incident).value_or(-1);
    if (page.MFSIncNo == -1) {
      code = -14;
      return;
    }

    if (Has(s, "MAP:"))
      page.MapRef = brix32::Trim(brix32::Between(s, "MAP:", ","));
    else if (Has(s, ",,"))
      page.MapRef = "NA";
    if (Has(page.MapRef, ".")) page.MapRef = brix32::Between(s, "MAP:", ".");
    if (page.MapRef.size() > 15) page.MapRef = "?";

    std::size_t priorityAt = 0;  // counted from 1; 0 when no token occurs
    const struct {
      const char* token;
      std::int32_t priority;
    } tokens[] = {{" P0 ", 0}, {" P1 ", 1}, {" P2 ", 2}, {" P3 ", 3}, {" P5 ", 5}, {" P7 ", 7}, {"ALARM LEVEL: 1", 1}};
    for (const auto& t : tokens) {
      if (const std::size_t p = s.find(t.token); p != npos) {
        page.Priority = t.priority;
        priorityAt = p + 1;
        break;
      }
    }

    if (Has(s, "==")) {
      std::string comment = "==" + brix32::Trim(brix32::Between(s, "==", page.MapRef));
      ReplaceFirst(comment, "CALLER:", "{CALLER}");
      if (const std::size_t colon = comment.find(':'); colon != npos) comment = comment.substr(0, colon);
      ReplaceFirst(comment, "{CALLER}", "CALLER:");
      page.Comment = brix32::Trim(comment);
    }

    for (const std::string& taskType : VEKLib::gTaskTypes) {
      if (taskType.empty()) continue;
      const std::size_t p = upper.find(taskType);
      if (p != npos && (priorityAt == 0 || p + 1 < priorityAt)) {
        page.TaskType = taskType;
        break;
      }
    }

    if (VEKLib::gSuburbs.empty()) {
      code = -30;
      return;
    }
    std::string search = upper;
    RemoveFirst(search, "LIGHTHOUSE ");
    const char* const endings[] = {" MAP", ",MAP", "MAP", ": ", " ,", ",,"};
    bool found = false;
    for (const VEKLib::tSuburbRec& suburb : VEKLib::gSuburbs) {
      const std::string name = brix32::UpperCase(suburb.Name);
      if (name.empty()) continue;
      for (const char* ending : endings) {
        if (!Has(search, name + ending)) continue;
        page.Suburb = suburb.Name;
        if (std::string(ending) != " MAP") ReplaceFirst(upper, name + ending, name + " MAP");
        found = true;
        break;
      }
      if (found) break;
    }
    if (!found && page.VEK) {
      code = -16;
      return;
    }

    std::string street = brix32::Trim(
        brix32::Between(upper, " P" + std::to_string(page.Priority) + " ", brix32::UpperCase(page.Suburb) + " MAP"));
    if (const std::size_t p = street.find(",=="); p != npos) street = street.substr(0, p);
    if (!street.empty() && street.back() == ',') street.pop_back();
    while (!street.empty() && (street[0] == ':' || street[0] == '@' || street[0] == ' ')) street.erase(0, 1);
    page.Street = brix32::Trim(street);
    if ((Has(upper, " BOAT RAMP ") || Has(upper, " RESPOND MARINE SEARCH AND RESCUE ")) && page.Suburb.empty())
      page.Street.clear();

    if (page.DateTime > 0 && page.MFSIncNo > 0)
      page.ID = std::max(0, VEKLib::GetIDFromDateAndMFSIncNo(page.MFSIncNo, page.VEK, page.DateTime));
  }();
  page.RC = VEKLib::MakeRC(code);
  return page;
}

}  // namespace corvantest
