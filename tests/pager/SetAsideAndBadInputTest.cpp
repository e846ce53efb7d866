#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <string>

#include "PagerFixtures.h"
#include "UdpListener.h"
#include "pager/ReportParser.h"
#include "support/Diagnostics.h"

using namespace VEKLib;
using corvantest::kTreeDownSamplePage;

namespace {

class SetAside : public corvantest::PagerTest {
 protected:
  void SetUp() override {
    PagerTest::SetUp();
    brix32::gGlobalSettings.SelfName = "CorvanControl";
    brix32::gGlobalSettings.HostName = "PC01";
  }
  corvantest::UdpListener syslog{514};
};

const std::string kUnknownSuburbPage =
    "TEST PAGE INC:S9000 20/06/22 14:30 RESPOND TREE DOWN P2 3 NORTH ESP KINGSTON PARK "
    "MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE EAS20";

}  // namespace

TEST_F(SetAside, VEKPageWithUnknownSuburbIsCopiedAndReported) {
  scratch.folder().write("a/b/U!20240121-INC9000.TXT", "an older copy that is replaced");
  const tZIRPageRec page = ParseRawTextToZIRPage(kUnknownSuburbPage, "test:1");
  EXPECT_EQ(page.RC, (tRC{-16, "Unknown suburb"}));
  EXPECT_EQ(page.TaskType, "TREE DOWN");
  EXPECT_EQ(page.MapRef, "ADL 128 D15");
  EXPECT_EQ(page.Suburb, "");
  EXPECT_EQ(page.Street, "");
  EXPECT_EQ(page.ID, 0);

  EXPECT_EQ(scratch.files(), std::vector<std::string>{"a/b/U!20240121-INC9000.TXT"});
  EXPECT_EQ(scratch.folder().read("a/b/U!20240121-INC9000.TXT"),
            "*CFSRES INC:S9000 20/06/22 14:30 RESPOND TREE DOWN P2 3 NORTH ESP KINGSTON PARK "
            "MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE EAS20\r\nVEKUnit=EAS,VEK=True");
  const auto got = syslog.receive(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes,
            "<0>CorvanControl:00001 VEKLib.ParseRawTextToZIRPage:7950 iRC=-16 -> Unknown suburb? "
            "FileName=\"U!20240121-INC9000.TXT\" H=\"PC01\" (ID=01090)");

  // The task carries the page's code and no report.
  const tTaskRec task = ParseRawTextToTask(kUnknownSuburbPage, "");
  EXPECT_EQ(task.RC.AsInt, -16);
  EXPECT_EQ(task.Report, tReportRec{});
}

// Another account's link under the copy's name: the copy is not written through it.
TEST_F(SetAside, TheCopyIsNeverWrittenThroughALink) {
  corvantest::TempFolder outside;
  outside.write("target", "outside");
  ASSERT_EQ(::symlink(outside.file("target").c_str(), scratch.folder().file("a/b/U!20240121-INC9000.TXT").c_str()), 0);
  EXPECT_EQ(ParseRawTextToZIRPage(kUnknownSuburbPage, "test:1").RC.AsInt, -16);
  EXPECT_EQ(outside.read("target"), "outside");
  syslog.receive(1);
}

TEST_F(SetAside, CFSPageOrEmptySuburbListIsNotSetAside) {
  ParseRawTextToZIRPage("*CFSRES INC:9000 20/06/22 14:30 RESPOND P2 3 NORTH ESP KINGSTON MAP:X,", "");
  gSuburbs.clear();
  EXPECT_EQ(ParseRawTextToZIRPage(kUnknownSuburbPage, "").RC.AsInt, -30);
  EXPECT_EQ(scratch.files(), std::vector<std::string>{});
  EXPECT_EQ(syslog.receive(1, std::chrono::milliseconds(200)).size(), 0u);
}

TEST_F(SetAside, NoIncidentTextLeadsOutOfTheCurrentFolder) {
  const std::string root = scratch.folder().path();  // two levels above the current folder
  const std::string incidents[] = {
      "../../evil",
      "..",
      "/" + root + "evil",
      root + "evil",
      "9000/../../evil",
      "9000\\..\\evil",
      std::string("90\0/x", 5),
      "9000%2F..%2Fevil",
      "0x2328",
      "$2328",
      "9000\n../x",
      "+9000",
      "-5",
      "00009000",
  };
  for (const std::string& incident : incidents) {
    // The date first, so that a "/" in the incident cannot stop the parse before it.
    const std::string text =
        "*CFSRES 20/06/22 14:30 INC:S" + incident + " RESPOND P2 3 NORTH ESP KINGSTON MAP:X, EAS20";
    const tZIRPageRec page = ParseRawTextToZIRPage(text, "");
    EXPECT_TRUE(page.RC.AsInt == -14 || page.RC.AsInt == -16) << incident << " " << page.RC.AsInt;
  }
  // Only plain numbers got as far as the copy, and every copy is here.
  EXPECT_EQ(scratch.files(), (std::vector<std::string>{"a/b/U!20240121-INC+9000.TXT", "a/b/U!20240121-INC-5.TXT",
                                                       "a/b/U!20240121-INC00009000.TXT"}));
}

TEST_F(SetAside, UnreadableLatitudeWritesAnExceptionReport) {
  brix32::gGlobalSettings.Path = scratch.folder().path();
  brix32::gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
  const tTaskRec task = ParseRawTextToTask(kTreeDownSamplePage + " [Council=Holdfast][LAT=][ZoneName=Z]", "");
  EXPECT_EQ(task.RC.AsInt, 0);
  EXPECT_EQ(task.Report.Council, "Holdfast");
  EXPECT_EQ(task.Report.ZoneName, "");
  // The unit scan was skipped, so the page's claim stands in.
  EXPECT_EQ(task.Report.AttachedVEKUnits, "EAS");
  EXPECT_EQ(task.Report.ID, 82239000);

  const std::string report = scratch.folder().read("E!CorvanControl-20240121153607000.XML");
  EXPECT_NE(report.find("<Function>VEKLib.ParseRawTextToReport:120</Function>"), std::string::npos);
  EXPECT_NE(report.find("<CallingFunction>VEKLib.ParseRawTextToTask:110</CallingFunction>"), std::string::npos);
  EXPECT_NE(report.find("<ClassName>std::invalid_argument</ClassName>"), std::string::npos);
  const auto got = syslog.receive(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NE(got[0].bytes.find("EXCEPTION:Func=VEKLib.ParseRawTextToReport"), std::string::npos);
}

// Pages of a megabyte, binary bytes, and every marker the grammar looks for repeated
// or cut off at the end: each must parse to one of the parser's own codes.
TEST_F(SetAside, HostileTextsParseToTheParsersCodes) {
  brix32::gGlobalSettings.SelfName.clear();  // no exception report files for "[LAT=" pages
  gVEKUnits = corvantest::Units({"EAS", "MTB", "", "A"});
  gSuburbs = corvantest::Suburbs({"GLENELG NORTH", "A", "NORTH"});
  gTaskTypes = {"TREE DOWN", "A"};
  const std::set<std::int32_t> codes{0, -13, -14, -16, -18, -19, -30, -37};
  const std::string markers[] = {
      "[RC=0][RESULT=OK]",
      "~[0;97m",
      "~[0;92m",
      "<",
      ">",
      "<x>",
      "`",
      "\"",
      "<td class=message>",
      "<MSG>",
      "</MSG>",
      "TEST PAGE ",
      "&lt;",
      "&gt;",
      " &amp; ",
      " INFO:",
      "/",
      "20/06/22 14:30 ",
      " INC",
      " INC:S",
      "9",
      "MAP:",
      ",",
      ",,",
      ".",
      " P2 ",
      "ALARM LEVEL: 1",
      "==",
      "CALLER:",
      ":",
      "{CALLER}",
      "EAS20 ",
      "EAS20_",
      "20 ",
      " VEKOOA",
      "GLENELG NORTH",
      "GLENELG NORTH,,",
      "LIGHTHOUSE ",
      " BOAT RAMP ",
      "TREE DOWN",
      "^DATE^",
      "^DIN^",
      "^UNIT^",
      "[LAT=",
      "[AttachedVEKUnits=",
      "[LNG=1]",
      "]",
      " ",
      std::string(1, '\0'),
      "\xff",
  };
  constexpr std::size_t kMegabyte = 1 << 20;
  const auto repeated = [&](const std::string& piece) {
    std::string big;
    big.reserve(kMegabyte + piece.size());
    while (big.size() < kMegabyte) big += piece;
    return big;
  };
  std::vector<std::string> texts;
  for (const std::string& m : markers) {
    texts.push_back(repeated(m));
    texts.push_back(kTreeDownSamplePage + repeated(m));
    texts.push_back(kTreeDownSamplePage.substr(0, 60) + m);
    texts.push_back(m + kTreeDownSamplePage);
  }
  for (std::size_t cut = 0; cut <= kTreeDownSamplePage.size(); ++cut)
    texts.push_back(kTreeDownSamplePage.substr(0, cut));
  std::string binary(kMegabyte, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 2654435761u) >> 13);
  texts.push_back(binary);
  texts.push_back(kTreeDownSamplePage + binary);

  for (const std::string& text : texts) {
    const tTaskRec task = ParseRawTextToTask(text, "");
    ASSERT_TRUE(codes.count(task.RC.AsInt)) << task.RC.AsInt << " for " << text.substr(0, 80);
    ASSERT_EQ(task.RC.AsStr, RCtoStr(task.RC.AsInt));
    ASSERT_LE(task.ZIRPage.MapRef.size(), 15u);
  }
  for (const std::string& name : scratch.files()) EXPECT_TRUE(name.starts_with("a/b/U!")) << name;
}
