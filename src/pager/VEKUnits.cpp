#include "pager/VEKUnits.h"

#include <sys/stat.h>

#include <array>
#include <stdexcept>

#include "pager/TarnexFetch.h"
#include "support/BoundedRead.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/FileUtils.h"
#include "support/Hooks.h"
#include "support/NumberText.h"
#include "support/TextUtils.h"

namespace VEKLib {

ArrayOfVEKUnits gVEKUnits;

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Numbers may have blanks around them; one that cannot be read counts as 0. The decimal
// separator is always ".", whatever locale the process runs in, so a value written with a
// comma counts as 0.
std::int32_t IntOrZero(std::string_view text) {
  return brix32::ReadDecimal(text, brix32::tBlanks::AnyAround).value_or(0);
}
double FloatOrZero(std::string_view text) {
  return brix32::ReadDecimalFraction(text, brix32::tBlanks::AnyAround).value_or(0);
}

// What a tag line does: start the next unit, store into a field, or nothing.
enum class Action { NextUnit, UnitCode, Text, Number, Coordinate, Ignored };

struct Tag {
  std::string_view open;
  std::string_view close;
  Action action;
  tUnitField field = tUnitField::UnitName;  // for Text, Number and Coordinate
};

// Tested in this order; the first one found on a line decides.
constexpr std::array<Tag, 23> kTags{{
    {"<VEKUnit>", "", Action::NextUnit},
    {"<UnitCode>", "</UnitCode>", Action::UnitCode},
    {"<PCode>", "</PCode>", Action::Number, tUnitField::PCode},
    {"<UnitName>", "</UnitName>", Action::Text, tUnitField::UnitName},
    {"<District>", "</District>", Action::Text, tUnitField::District},
    {"<Region>", "</Region>", Action::Text, tUnitField::Region},
    {"<Suburb>", "</Suburb>", Action::Text, tUnitField::Suburb},
    {"<UnitManagerID>", "</UnitManagerID>", Action::Number, tUnitField::UnitManagerID},
    {"<DOPhoneNo>", "</DOPhoneNo>", Action::Text, tUnitField::DOPhoneNo},
    {"<TalkGroup>", "</TalkGroup>", Action::Text, tUnitField::TalkGroup},
    {"<AddressLine1>", "</AddressLine1>", Action::Text, tUnitField::AddressLine1},
    {"<AddressLine2>", "</AddressLine2>", Action::Text, tUnitField::AddressLine2},
    {"<EmailAddress>", "", Action::Ignored},
    {"<OfficerPagerGroup>", "</OfficerPagerGroup>", Action::Number, tUnitField::OfficerPagerGroup},
    {"<ZIRSamplePeriod>", "</ZIRSamplePeriod>", Action::Number, tUnitField::ZIRSamplePeriod},
    {"<AllPagerGroup>", "</AllPagerGroup>", Action::Number, tUnitField::AllPagerGroup},
    {"<Geometry.lat>", "</Geometry.lat>", Action::Coordinate, tUnitField::Lat},
    {"<Geometry.lng>", "</Geometry.lng>", Action::Coordinate, tUnitField::Lng},
    {"<IncidentCount>", "", Action::Ignored},
    {"<Created>", "", Action::Ignored},
    {"<Modified>", "", Action::Ignored},
    {"</VEKUnit>", "", Action::Ignored},
    {"</VEKUnits>", "", Action::Ignored},
}};

// The first tag of the table that occurs anywhere in the line, or nullptr. Every tag
// begins with "<", so only the positions of "<" need looking at: one pass per line
// instead of one search per tag keeps large files quick.
const Tag* FirstTag(std::string_view line) {
  std::size_t best = kTags.size();
  for (std::size_t p = line.find('<'); p != std::string_view::npos; p = line.find('<', p + 1)) {
    const std::string_view rest = line.substr(p);
    if (rest.size() < 2) break;
    for (std::size_t i = 0; i < best; ++i)
      if (kTags[i].open[1] == rest[1] && rest.starts_with(kTags[i].open)) {
        best = i;
        break;
      }
    if (best == 0) break;
  }
  return best < kTags.size() ? &kTags[best] : nullptr;
}

// Calls `each` with every line of the text; lines end with CR LF, LF or a lone CR. The
// lines are views into the text: a list of them would cost more than the units.
template <class Each>
void ForEachLine(std::string_view text, Each&& each) {
  std::size_t start = 0;
  // A plain loop: find_first_of would search the set of two once for every byte.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    each(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) each(text.substr(start));
}

// Comments: a line that begins (after blanks) with "<!--" opens one, a line holding
// "-->" closes it; the opening line itself is already inside.
class CommentTracker {
 public:
  // True when the line is to be read, i.e. not inside a comment.
  bool Enter(std::string_view line) {
    if (TrimBlanks(line).starts_with("<!--")) inComment_ = true;
    return !inComment_;
  }
  void Leave(std::string_view line) {
    if (line.find("-->") != std::string_view::npos) inComment_ = false;
  }

 private:
  bool inComment_ = false;
};

// Stores the tag's value into the last unit.
void Store(ArrayOfVEKUnits& units, const Tag& tag, std::string_view line) {
  const std::string value = brix32::Between(line, tag.open, tag.close);
  switch (tag.action) {
    case Action::UnitCode:
      units.SetUnitCode(value);
      break;
    case Action::Text:
      units.SetText(tag.field, value);
      break;
    case Action::Number:
      units.SetNumber(tag.field, IntOrZero(value));
      break;
    case Action::Coordinate:
      units.SetCoordinate(tag.field, FloatOrZero(value));
      break;
    case Action::NextUnit:
    case Action::Ignored:
      break;
  }
}

// The units of the text: counted first, so that the list is made once at its size.
void ReadUnits(std::string_view text, ArrayOfVEKUnits& units, std::string_view& lastNode) {
  std::size_t count = 0;
  {
    CommentTracker comments;
    ForEachLine(text, [&](std::string_view line) {
      if (comments.Enter(line) && line.find("<VEKUnit>") != std::string_view::npos) ++count;
      comments.Leave(line);
    });
  }
  units.clear();
  units.reserve(count);

  CommentTracker comments;
  ForEachLine(text, [&](std::string_view line) {
    lastNode = line;
    if (comments.Enter(line)) {
      if (const Tag* tag = FirstTag(line)) {
        // Element lines before the first unit change nothing.
        if (tag->action == Action::NextUnit)
          units.AddEmptyUnit();
        else if (!units.empty())
          Store(units, *tag, line);
      }
    }
    comments.Leave(line);
    brix32::ProcessMessages();
  });
}

// A folder of that name is no units file.
bool FileExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

tRC LoadVEKUnitsArrayFromXML(const std::string& sFileName) {
  brix32::Operation op("VEKLib.LoadVEKUnitsArrayFromXML");
  tRC result{-99, "Exception."};
  op.Ex.Notes = "sLastNode=";
  op.Run([&] {
    std::string fileName = sFileName;
    if (fileName.empty()) {
      const std::string& folder = brix32::gGlobalSettings.Path;
      fileName = folder + brix32::ResolveNameIgnoringCase(folder, std::string(Counterparts::kUnitsFileName));
    }
    if (!FileExists(fileName)) {
      // The fetch stores into the current folder, which is the program folder once the
      // program runs; the loader then looks again under the name it was given.
      GetFileFromTarnex(brix32::ExtractFileName(fileName), op.Context());
      if (!FileExists(fileName)) {
        result = tRC{-4, fileName + " does not exist."};
        return;
      }
    }

    op.Log.Trace = 200;
    {
      // Unlike FileToBin, a file that exists but cannot be read is an error here; one
      // beyond the limit is refused with a result that says so.
      const brix32::tBoundedRead read = brix32::ReadBoundedFile(fileName, kUnitsFileLimit);
      if (read.Status == brix32::tReadStatus::TooLarge) {
        result = tRC{-5, fileName + " " + brix32::ReadProblemText(read) + ", the most a units file may hold."};
        op.Report(std::length_error(result.AsStr));
        return;
      }
      if (!read.Ok()) throw std::runtime_error(fileName + " " + brix32::ReadProblemText(read));
      const std::string& text = read.Data;
      op.Log.Trace = 400;
      std::string_view lastNode;
      try {
        ReadUnits(text, gVEKUnits, lastNode);
      } catch (...) {
        op.Ex.Notes = "sLastNode=" + std::string(lastNode);
        throw;
      }
    }
    // The file's text is gone by now: the list's spare room goes without a copy of both.
    gVEKUnits.shrink_to_fit();

    op.Log.Trace = 500;
    result = tRC{static_cast<std::int32_t>(gVEKUnits.size()), "Count"};
  });
  return result;
}

}  // namespace VEKLib
