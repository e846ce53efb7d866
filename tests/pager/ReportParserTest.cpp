#include <gtest/gtest.h>

#include <string>

#include "PagerFixtures.h"
#include "pager/ReportParser.h"

using namespace VEKLib;
using corvantest::kTreeDownSamplePage;
using corvantest::Units;

namespace {

class ReportParser : public corvantest::PagerTest {};

tReportRec Report(const std::string& text) { return ParseRawTextToReport(text, "test:1"); }

}  // namespace

TEST_F(ReportParser, EveryAttributeFillsItsField) {
  gVEKUnits.clear();
  const tReportRec r = Report(
      "[ZoneName=Zone 3: North.][WeatherLocation=Adelaide (West Terrace)][WeatherDesc=Light rain]"
      "[WindSpeed=12.5][WindDirection=SW][Temp=-1.5e1][PCode=5045][MFSCleared=T][LNG=138.5]"
      "[LAT=-34.92][DutyOfficerInitials=JB][Council=Holdfast Bay][AirPressure=1013]"
      "[AttachedVEKUnits=MTB,STT,]");
  tReportRec expected;
  expected.RC = {0, ""};
  expected.ZoneName = "Zone 3: North.";
  expected.WeatherLocation = "Adelaide (West Terrace)";
  expected.WeatherDesc = "Light rain";
  expected.WindSpeed = 12.5;
  expected.WindDirection = "SW";
  expected.Temp = -15;
  expected.PCode = 5045;
  expected.MFSCleared = true;
  expected.LNG = 138.5;
  expected.LAT = -34.92;
  expected.DutyOfficerInitials = "JB";
  expected.Council = "Holdfast Bay";
  expected.AirPressure = 1013;
  expected.AttachedVEKUnits = "MTB,STT.";
  EXPECT_EQ(r, expected);
  tReportRec none;
  none.RC = {0, ""};
  EXPECT_EQ(Report("no attributes here"), none);
}

TEST_F(ReportParser, ValueReading) {
  struct Case {
    const char* text;
    bool cleared;
    std::int32_t pcode, airPressure;
    double temp, windSpeed;
    const char* council;
  } cases[] = {
      {"[MFSCleared=T]", true, 0, 0, 0, 0, ""},
      {"[MFSCleared=True]", false, 0, 0, 0, 0, ""},
      {"[MFSCleared=t]", false, 0, 0, 0, 0, ""},
      {"[PCode=abc][AirPressure=10 13]", false, 0, 0, 0, 0, ""},
      {"[PCode=+5045][AirPressure=-3]", false, 5045, -3, 0, 0, ""},
      {"[Temp=][WindSpeed=fast]", false, 0, 0, 0, 0, ""},
      {"[Temp= 21.5 ][WindSpeed=12,5]", false, 0, 0, 21.5, 0, ""},
      {"[Temp=inf][WindSpeed=nan]", false, 0, 0, 0, 0, ""},
      {"[Temp=1e999][WindSpeed=.5]", false, 0, 0, 0, 0.5, ""},
      // Markers are case-sensitive; the first occurrence counts.
      {"[council=A][Council=B][Council=C]", false, 0, 0, 0, 0, "B"},
      // No closing bracket: the rest of the text is the value.
      {"[Council=Holdfast Bay", false, 0, 0, 0, 0, "Holdfast Bay"},
      {"[Council=]", false, 0, 0, 0, 0, ""},
  };
  for (const auto& c : cases) {
    const tReportRec r = Report(c.text);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(r.MFSCleared, c.cleared);
    EXPECT_EQ(r.PCode, c.pcode);
    EXPECT_EQ(r.AirPressure, c.airPressure);
    EXPECT_EQ(r.Temp, c.temp);
    EXPECT_EQ(r.WindSpeed, c.windSpeed);
    EXPECT_EQ(r.Council, c.council);
  }
}

TEST_F(ReportParser, AttachedUnitsFollowTheAttributeValue) {
  gVEKUnits = Units({"EAS", "MTB", "STT"});
  struct Case {
    const char *text, *expected;
  } cases[] = {
      {"nothing", ""},
      {"EAS20", "EAS."},
      {"STT29 and EAS23_ and MTB21", "EAS,STT."},
      {"[AttachedVEKUnits=MTB,] EAS20", "MTB,EAS."},
      {"[AttachedVEKUnits=MTB] EAS20", "MTBEAS."},
      {"[AttachedVEKUnits=,,WAD,,]", "WAD."},
      {"[AttachedVEKUnits=.]", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Report(c.text).AttachedVEKUnits, c.expected) << c.text;
}

TEST_F(ReportParser, UnreadableCoordinateStopsTheReport) {
  for (const char* lat : {"[LAT=]", "[LAT=south]", "[LAT=-34,92]"}) {
    const tReportRec r = Report(std::string("[Council=Holdfast]") + lat + "[LNG=138.5][ZoneName=Z] EAS20");
    SCOPED_TRACE(lat);
    EXPECT_EQ(r.Council, "Holdfast");
    EXPECT_EQ(r.LAT, 0);
    EXPECT_EQ(r.LNG, 0);
    EXPECT_EQ(r.ZoneName, "");
    EXPECT_EQ(r.AttachedVEKUnits, "");  // the unit scan comes after
    EXPECT_EQ(r.RC, (tRC{0, ""}));
  }
  const tReportRec r = Report("[LAT=1.5][LNG=] EAS20");
  EXPECT_EQ(r.LAT, 1.5);
  EXPECT_EQ(r.AttachedVEKUnits, "");
}

TEST_F(ReportParser, TaskJoinsPageAndReport) {
  const tTaskRec task = ParseRawTextToTask(kTreeDownSamplePage + " [Council=Holdfast Bay][PCode=5045]", "test:1");
  EXPECT_EQ(task.RC, (tRC{0, "OK"}));
  EXPECT_EQ(task.ID, 82239000);
  EXPECT_EQ(task.ZIRPage.ID, 82239000);
  EXPECT_EQ(task.ZIRPage.Suburb, "GLENELG NORTH");
  EXPECT_EQ(task.Report.ID, 82239000);
  EXPECT_EQ(task.Report.AttachedVEKUnits, "EAS.");
  EXPECT_EQ(task.Report.Council, "Holdfast Bay");
  EXPECT_EQ(task.Report.PCode, 5045);
  EXPECT_EQ(task.Report.RC, (tRC{0, ""}));
  EXPECT_EQ(TaskFileName(task, "TXT", false), "TASK-20220620-S9000.TXT");

  // The report reads the text as given, before the page's cleaning.
  const tTaskRec quoted = ParseRawTextToTask("\"" + kTreeDownSamplePage + "\" [WindDirection=\"N\"]", "");
  EXPECT_EQ(quoted.Report.WindDirection, "\"N\"");

  // No unit named: the page's own claim ("CFS") stands as the attached unit.
  const tTaskRec cfs =
      ParseRawTextToTask("*CFSRES INC:9000 20/06/22 14:30 RESPOND P2 3 NORTH ESP GLENELG NORTH MAP:X,", "");
  EXPECT_EQ(cfs.RC.AsInt, 0);
  EXPECT_EQ(cfs.ID, 82244000);
  EXPECT_EQ(cfs.Report.AttachedVEKUnits, "CFS");
}

TEST_F(ReportParser, FailedPageLeavesTheReportCleared) {
  gSuburbs.clear();
  const tTaskRec task = ParseRawTextToTask(kTreeDownSamplePage + " [Council=Holdfast Bay]", "");
  EXPECT_EQ(task.RC, (tRC{-30, "Suburbs not loaded"}));
  EXPECT_EQ(task.ZIRPage.RC, task.RC);
  EXPECT_EQ(task.ID, 0);
  EXPECT_EQ(task.Report, tReportRec{});
  EXPECT_EQ(task.ZIRPage.VEKUnit, "EAS");
  EXPECT_EQ(task.ZIRPage.MFSIncNo, 9000);

  const tTaskRec empty = ParseRawTextToTask("", "");
  EXPECT_EQ(empty.RC, (tRC{-18, "Empty string"}));
  EXPECT_EQ(empty.Report, tReportRec{});
}
