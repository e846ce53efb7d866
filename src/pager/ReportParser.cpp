#include "pager/ReportParser.h"

#include <stdexcept>
#include <string_view>

#include "pager/PageParser.h"
#include "pager/UnitClaims.h"
#include "pager/VEKUnits.h"
#include "support/Diagnostics.h"
#include "support/NumberText.h"
#include "support/TextUtils.h"

namespace VEKLib {
namespace {

using brix32::ReadDecimal;

// Spaces may stand around a fraction, not around a whole number.
std::optional<double> Fraction(std::string_view value) {
  return brix32::ReadDecimalFraction(value, brix32::tBlanks::SpacesAround);
}

// The value of "[Key=" up to the next "]" (or the end of the text), or nothing when the
// marker does not occur. `from` is where the text's first "[" stands: a page without one
// is not searched again for every key.
std::optional<std::string> Attribute(const std::string& text, std::size_t from, std::string_view marker) {
  if (from == std::string::npos || text.find(marker, from) == std::string::npos) return std::nullopt;
  return brix32::Between(text, marker, "]");
}

double RequiredFraction(const std::string& value) {
  if (const auto number = Fraction(value)) return *number;
  // The value can be the rest of a long page: the report needs only its beginning.
  constexpr std::size_t kShown = 40;
  const std::string shown = value.size() > kShown ? value.substr(0, kShown) + "..." : value;
  throw std::invalid_argument("'" + shown + "' is not a valid floating point value");
}

}  // namespace

tReportRec ParseRawTextToReport(const std::string& sRawText, const std::string& sCallingFunction) {
  brix32::Operation op("VEKLib.ParseRawTextToReport");
  op.Ex.CallingFunction = sCallingFunction;
  tReportRec report;
  const tRC pending{0, ""};
  op.Run([&] {
    NullReport(report);
    const std::string& text = sRawText;
    const std::size_t from = text.find('[');
    op.Log.Trace = 110;
    if (auto v = Attribute(text, from, "[AttachedVEKUnits=")) report.AttachedVEKUnits = std::move(*v);
    if (auto v = Attribute(text, from, "[AirPressure=")) report.AirPressure = ReadDecimal(*v).value_or(0);
    if (auto v = Attribute(text, from, "[Council=")) report.Council = std::move(*v);
    if (auto v = Attribute(text, from, "[DutyOfficerInitials=")) report.DutyOfficerInitials = std::move(*v);
    op.Log.Trace = 120;
    if (auto v = Attribute(text, from, "[LAT=")) report.LAT = RequiredFraction(*v);
    op.Log.Trace = 130;
    if (auto v = Attribute(text, from, "[LNG=")) report.LNG = RequiredFraction(*v);
    op.Log.Trace = 140;
    if (auto v = Attribute(text, from, "[MFSCleared=")) report.MFSCleared = *v == "T";
    if (auto v = Attribute(text, from, "[PCode=")) report.PCode = ReadDecimal(*v).value_or(0);
    if (auto v = Attribute(text, from, "[Temp=")) report.Temp = Fraction(*v).value_or(0);
    if (auto v = Attribute(text, from, "[WindDirection=")) report.WindDirection = std::move(*v);
    if (auto v = Attribute(text, from, "[WindSpeed=")) report.WindSpeed = Fraction(*v).value_or(0);
    if (auto v = Attribute(text, from, "[WeatherDesc=")) report.WeatherDesc = std::move(*v);
    if (auto v = Attribute(text, from, "[WeatherLocation=")) report.WeatherLocation = std::move(*v);
    if (auto v = Attribute(text, from, "[ZoneName=")) report.ZoneName = std::move(*v);

    op.Log.Trace = 150;
    if (!gVEKUnits.empty()) {
      const tClaimMarkers markers(text);
      for (std::size_t i = 0; i < gVEKUnits.size(); ++i) {
        const std::string_view code = gVEKUnits.UnitCode(i);
        if (markers.ClaimedBy(code)) (report.AttachedVEKUnits += code) += ",";
      }
    }
    op.Log.Trace = 160;
    report.AttachedVEKUnits = brix32::CommaToFullStop(report.AttachedVEKUnits);
  });
  report.RC = pending;
  return report;
}

tTaskRec ParseRawTextToTask(const std::string& sRawText, const std::string& sCallingFunction) {
  brix32::Operation op("VEKLib.ParseRawTextToTask");
  op.Ex.CallingFunction = sCallingFunction;
  tTaskRec task;
  op.Run([&] {
    op.Log.Trace = 110;
    const std::string context = op.Context();
    task.ZIRPage = ParseRawTextToZIRPage(sRawText, context);
    if (task.ZIRPage.RC.AsInt < 0) return;
    op.Log.Trace = 120;
    task.Report = ParseRawTextToReport(sRawText, context);
    task.Report.ID = task.ZIRPage.ID;
    if (task.Report.AttachedVEKUnits.empty()) task.Report.AttachedVEKUnits = task.ZIRPage.VEKUnit;
    task.ID = task.ZIRPage.ID;
  });
  task.RC = task.ZIRPage.RC;
  return task;
}

}  // namespace VEKLib
