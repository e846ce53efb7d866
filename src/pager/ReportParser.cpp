#include "ReportParser.h"

#include <stdexcept>
#include <string_view>

#include "Diagnostics.h"
#include "NumberText.h"
#include "PageParser.h"
#include "TextUtils.h"
#include "UnitClaims.h"
#include "VEKUnits.h"

namespace VEKLib {
namespace {

// The value of "[Key=" up to the next "]" (or the end of the text), or nothing when the
// marker does not occur.
std::optional<std::string> Attribute(const std::string& text, std::string_view marker) {
  if (text.find(marker) == std::string::npos) return std::nullopt;
  return brix32::Between(text, marker, "]");
}

double RequiredFraction(const std::string& value) {
  if (const auto number = ReadDecimalFraction(value)) return *number;
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
    op.Log.Trace = 110;
    if (auto v = Attribute(text, "[AttachedVEKUnits=")) report.AttachedVEKUnits = std::move(*v);
    if (auto v = Attribute(text, "[AirPressure=")) report.AirPressure = ReadDecimal(*v).value_or(0);
    if (auto v = Attribute(text, "[Council=")) report.Council = std::move(*v);
    if (auto v = Attribute(text, "[DutyOfficerInitials=")) report.DutyOfficerInitials = std::move(*v);
    op.Log.Trace = 120;
    if (auto v = Attribute(text, "[LAT=")) report.LAT = RequiredFraction(*v);
    op.Log.Trace = 130;
    if (auto v = Attribute(text, "[LNG=")) report.LNG = RequiredFraction(*v);
    op.Log.Trace = 140;
    if (auto v = Attribute(text, "[MFSCleared=")) report.MFSCleared = *v == "T";
    if (auto v = Attribute(text, "[PCode=")) report.PCode = ReadDecimal(*v).value_or(0);
    if (auto v = Attribute(text, "[Temp=")) report.Temp = ReadDecimalFraction(*v).value_or(0);
    if (auto v = Attribute(text, "[WindDirection=")) report.WindDirection = std::move(*v);
    if (auto v = Attribute(text, "[WindSpeed=")) report.WindSpeed = ReadDecimalFraction(*v).value_or(0);
    if (auto v = Attribute(text, "[WeatherDesc=")) report.WeatherDesc = std::move(*v);
    if (auto v = Attribute(text, "[WeatherLocation=")) report.WeatherLocation = std::move(*v);
    if (auto v = Attribute(text, "[ZoneName=")) report.ZoneName = std::move(*v);

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
