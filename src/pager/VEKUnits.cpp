#include "VEKUnits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "Counterparts.h"
#include "Diagnostics.h"
#include "FileUtils.h"
#include "Hooks.h"
#include "TarnexFetch.h"
#include "TextUtils.h"

namespace VEKLib {

ArrayOfVEKUnits gVEKUnits;

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Decimal only, the whole value (blanks around it allowed); anything else reads as 0.
std::int32_t IntOrZero(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size() ? value : 0;
}

// The decimal separator is always ".", whatever locale the process runs in, so a value
// written with a comma cannot be read and counts as 0.
double FloatOrZero(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  if (s.size() > 1 && s.front() == '+' && s[1] != '-') s.remove_prefix(1);
  double value = 0;
  const auto [end, ec] =
      std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(value) ? value : 0;
}

std::string Cut(std::string value, std::size_t capacity) {
  if (value.size() > capacity) value.resize(capacity);
  return value;
}

enum class Field {
  NextUnit,
  UnitCode, PCode, UnitName, District, Region, Suburb, UnitManagerID, DOPhoneNo, TalkGroup,
  AddressLine1, AddressLine2,
  Ignored,
  OfficerPagerGroup, ZIRSamplePeriod, AllPagerGroup, Lat, Lng,
};

struct Tag {
  std::string_view open;
  std::string_view close;
  Field field;
};

// Tested in this order; the first one found on a line decides.
constexpr std::array<Tag, 23> kTags{{
    {"<VEKUnit>", "", Field::NextUnit},
    {"<UnitCode>", "</UnitCode>", Field::UnitCode},
    {"<PCode>", "</PCode>", Field::PCode},
    {"<UnitName>", "</UnitName>", Field::UnitName},
    {"<District>", "</District>", Field::District},
    {"<Region>", "</Region>", Field::Region},
    {"<Suburb>", "</Suburb>", Field::Suburb},
    {"<UnitManagerID>", "</UnitManagerID>", Field::UnitManagerID},
    {"<DOPhoneNo>", "</DOPhoneNo>", Field::DOPhoneNo},
    {"<TalkGroup>", "</TalkGroup>", Field::TalkGroup},
    {"<AddressLine1>", "</AddressLine1>", Field::AddressLine1},
    {"<AddressLine2>", "</AddressLine2>", Field::AddressLine2},
    {"<EmailAddress>", "", Field::Ignored},
    {"<OfficerPagerGroup>", "</OfficerPagerGroup>", Field::OfficerPagerGroup},
    {"<ZIRSamplePeriod>", "</ZIRSamplePeriod>", Field::ZIRSamplePeriod},
    {"<AllPagerGroup>", "</AllPagerGroup>", Field::AllPagerGroup},
    {"<Geometry.lat>", "</Geometry.lat>", Field::Lat},
    {"<Geometry.lng>", "</Geometry.lng>", Field::Lng},
    {"<IncidentCount>", "", Field::Ignored},
    {"<Created>", "", Field::Ignored},
    {"<Modified>", "", Field::Ignored},
    {"</VEKUnit>", "", Field::Ignored},
    {"</VEKUnits>", "", Field::Ignored},
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

// Lines end with CR LF, LF or a lone CR.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  // A plain loop: find_first_of would search the set of two once for every byte.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
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

void Store(tVEKUnitRec& unit, const Tag& tag, std::string_view line) {
  const std::string value = brix32::Between(line, tag.open, tag.close);
  switch (tag.field) {
    case Field::UnitCode: unit.UnitCode = Cut(value, kUnitCodeCapacity); break;
    case Field::PCode: unit.PCode = IntOrZero(value); break;
    case Field::UnitName: unit.UnitName = Cut(value, kUnitNameCapacity); break;
    case Field::District: unit.District = Cut(value, kDistrictCapacity); break;
    case Field::Region: unit.Region = Cut(value, kRegionCapacity); break;
    case Field::Suburb: unit.Suburb = Cut(value, kSuburbCapacity); break;
    case Field::UnitManagerID: unit.UnitManagerID = IntOrZero(value); break;
    case Field::DOPhoneNo: unit.DOPhoneNo = Cut(value, kDOPhoneNoCapacity); break;
    case Field::TalkGroup: unit.TalkGroup = Cut(value, kTalkGroupCapacity); break;
    case Field::AddressLine1: unit.AddressLine1 = Cut(value, kAddressLineCapacity); break;
    case Field::AddressLine2: unit.AddressLine2 = Cut(value, kAddressLineCapacity); break;
    case Field::OfficerPagerGroup: unit.OfficerPagerGroup = IntOrZero(value); break;
    case Field::ZIRSamplePeriod: unit.ZIRSamplePeriod = IntOrZero(value); break;
    case Field::AllPagerGroup: unit.AllPagerGroup = IntOrZero(value); break;
    case Field::Lat: unit.Geometry.lat = FloatOrZero(value); break;
    case Field::Lng: unit.Geometry.lng = FloatOrZero(value); break;
    case Field::NextUnit:
    case Field::Ignored: break;
  }
}

// A folder of that name is no units file.
bool FileExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Unlike FileToBin, a file that exists but cannot be read is an error here.
std::string ReadWholeFile(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + name + ": " + std::strerror(errno));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      throw std::runtime_error("cannot read " + name + ": " + std::strerror(error));
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return bytes;
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
      fileName = folder + brix32::ResolveNameIgnoringCase(
                              folder, std::string(Counterparts::kUnitsFileName));
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
    const std::string text = ReadWholeFile(fileName);
    const std::vector<std::string_view> lines = SplitLines(text);

    op.Log.Trace = 300;
    std::size_t count = 0;
    {
      CommentTracker comments;
      for (const std::string_view line : lines) {
        if (comments.Enter(line) && line.find("<VEKUnit>") != std::string_view::npos) ++count;
        comments.Leave(line);
      }
    }
    gVEKUnits.assign(count, tVEKUnitRec{});

    op.Log.Trace = 400;
    std::string_view lastNode;
    try {
      CommentTracker comments;
      std::size_t next = 0;  // index of the next unit; 0 means "before the first"
      for (const std::string_view line : lines) {
        lastNode = line;
        if (comments.Enter(line)) {
          if (const Tag* tag = FirstTag(line)) {
            if (tag->field == Field::NextUnit) {
              ++next;
            } else if (next > 0 && next <= gVEKUnits.size()) {
              Store(gVEKUnits[next - 1], *tag, line);
            }
          }
        }
        comments.Leave(line);
        brix32::ProcessMessages();
      }
    } catch (...) {
      op.Ex.Notes = "sLastNode=" + std::string(lastNode);
      throw;
    }

    op.Log.Trace = 500;
    result = tRC{static_cast<std::int32_t>(gVEKUnits.size()), "Count"};
  });
  return result;
}

}  // namespace VEKLib
