#include "pager/VEKUnits.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "Hostile.h"
#include "PeakMemory.h"
#include "ProcessState.h"
#include "ScratchFolder.h"
#include "TempFolder.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"
#include "support/Hooks.h"

using namespace VEKLib;
using corvantest::TempFolder;

namespace VEKLib {
// Readable failures: the fields that differ show up by name.
void PrintTo(const tVEKUnitRec& u, std::ostream* os) {
  *os << "{" << u.UnitCode << "|" << u.UnitName << "|" << u.District << "|" << u.Region << "|" << u.UnitManagerID << "|"
      << u.DOPhoneNo << "|" << u.TalkGroup << "|" << u.AddressLine1 << "|" << u.AddressLine2 << "|" << u.Suburb << "|"
      << u.PCode << "|" << u.OfficerPagerGroup << "|" << u.AllPagerGroup << "|" << u.ZIRSamplePeriod << "|"
      << u.Geometry.lat << "," << u.Geometry.lng << "}";
}
}  // namespace VEKLib

namespace {

class UnitsFile : public ::testing::Test {
 protected:
  void SetUp() override { brix32::gGlobalSettings.Path = folder.path(); }

  // Loads `text` from a file of its own and returns the units.
  ArrayOfVEKUnits Load(const std::string& text, tRC* rc = nullptr) {
    folder.write("units.xml", text);
    const tRC got = LoadVEKUnitsArrayFromXML(folder.file("units.xml"));
    if (rc) *rc = got;
    return gVEKUnits;
  }

  // No WWWHost either: a missing file must not reach out anywhere here.
  corvantest::ProcessStateGuard processState;
  TempFolder folder;
};

tVEKUnitRec Unit(std::string code) {
  tVEKUnitRec u;
  u.UnitCode = std::move(code);
  return u;
}

}  // namespace

TEST_F(UnitsFile, ReadsEveryFieldAndSkipsUnitsInComments) {
  folder.write("VEKUnits.xml", corvantest::ReadTestData("pager/units/VEKUnits.xml"));
  int events = 0;
  brix32::SetProcessMessagesHandler([&] { ++events; });

  const tRC rc = LoadVEKUnitsArrayFromXML("");

  EXPECT_EQ(rc, (tRC{2, "Count"}));
  ASSERT_EQ(gVEKUnits.size(), 2u);
  const tVEKUnitRec eas{"EAS",
                        "Eastwood Volunteers",
                        "Central",
                        "Metro",
                        1207,
                        "0412345678",
                        "T17",
                        "12 Station Road",
                        "Rear shed",
                        "EASTWOOD",
                        5063,
                        3301,
                        3300,
                        15,
                        {-34.92, 138.6125}};
  EXPECT_EQ(gVEKUnits[0], eas);
  const tVEKUnitRec mtb{"MTB", "Mount Barker",      "", "", 0, "", "", "", "", "MOUNT BARKER", 5251, 0, 0,
                        0,     {-35.0667, 138.8583}};
  EXPECT_EQ(gVEKUnits[1], mtb);
  // The user interface gets a turn after every line of the file.
  EXPECT_EQ(events, 40);
}

TEST_F(UnitsFile, FieldValues) {
  struct Case {
    std::string line;
    tVEKUnitRec expected;
  };
  const auto with = [](auto set) {
    tVEKUnitRec u;
    set(u);
    return u;
  };
  const Case cases[] = {
      {"<UnitCode>EASX</UnitCode>", Unit("EAS")},
      {"<UnitCode>EA</UnitCode>", Unit("EA")},
      {"<UnitName>The Quite Remarkably Long Unit Name Here</UnitName>",
       with([](tVEKUnitRec& u) { u.UnitName = "The Quite Remarkably Long Unit"; })},
      {"<District>abcdefghijklmnopqrstuvwxyz</District>",
       with([](tVEKUnitRec& u) { u.District = "abcdefghijklmnopqrst"; })},
      {"<Region>Metropolitan</Region>", with([](tVEKUnitRec& u) { u.Region = "Metropolit"; })},
      {"<DOPhoneNo>+61 412 345 678</DOPhoneNo>", with([](tVEKUnitRec& u) { u.DOPhoneNo = "+61 412 34"; })},
      {"<TalkGroup>T170</TalkGroup>", with([](tVEKUnitRec& u) { u.TalkGroup = "T17"; })},
      {"<AddressLine1>" + std::string(60, 'a') + "</AddressLine1>",
       with([](tVEKUnitRec& u) { u.AddressLine1 = std::string(50, 'a'); })},
      {"<Suburb>" + std::string(31, 'S') + "</Suburb>", with([](tVEKUnitRec& u) { u.Suburb = std::string(30, 'S'); })},
      // The value is taken as it stands: blanks and all, or to the end of the line.
      {"  <UnitName> Two  Blanks </UnitName>  ", with([](tVEKUnitRec& u) { u.UnitName = " Two  Blanks "; })},
      {"<UnitName>Unclosed", with([](tVEKUnitRec& u) { u.UnitName = "Unclosed"; })},
      {"<UnitName></UnitName>", tVEKUnitRec{}},
      // Numbers: decimal or nothing.
      {"<PCode>5000</PCode>", with([](tVEKUnitRec& u) { u.PCode = 5000; })},
      {"<PCode> 5000 </PCode>", with([](tVEKUnitRec& u) { u.PCode = 5000; })},
      {"<PCode>ADL</PCode>", tVEKUnitRec{}},
      {"<PCode>50OO</PCode>", tVEKUnitRec{}},
      {"<PCode></PCode>", tVEKUnitRec{}},
      {"<PCode>0x1F</PCode>", tVEKUnitRec{}},
      {"<PCode>2147483648</PCode>", tVEKUnitRec{}},
      {"<UnitManagerID>-2147483648</UnitManagerID>", with([](tVEKUnitRec& u) { u.UnitManagerID = INT32_MIN; })},
      {"<OfficerPagerGroup>+12</OfficerPagerGroup>", with([](tVEKUnitRec& u) { u.OfficerPagerGroup = 12; })},
      {"<AllPagerGroup>1.5</AllPagerGroup>", tVEKUnitRec{}},
      {"<ZIRSamplePeriod>-3</ZIRSamplePeriod>", with([](tVEKUnitRec& u) { u.ZIRSamplePeriod = -3; })},
      {"<Geometry.lat>-34.92</Geometry.lat>", with([](tVEKUnitRec& u) { u.Geometry.lat = -34.92; })},
      {"<Geometry.lat>-34,92</Geometry.lat>", tVEKUnitRec{}},
      {"<Geometry.lng>1.385e2</Geometry.lng>", with([](tVEKUnitRec& u) { u.Geometry.lng = 138.5; })},
      {"<Geometry.lng>nan</Geometry.lng>", tVEKUnitRec{}},
      {"<Geometry.lng>inf</Geometry.lng>", tVEKUnitRec{}},
      {"<Geometry.lng>east</Geometry.lng>", tVEKUnitRec{}},
      // Several tags on one line: the earlier one in the loader's order wins.
      {"<PCode>5000</PCode><UnitCode>XYZ</UnitCode>", Unit("XYZ")},
      {"<EmailAddress><UnitName>x</UnitName></EmailAddress>", with([](tVEKUnitRec& u) { u.UnitName = "x"; })},
      {"<Created><PCode>7</PCode></Created>", with([](tVEKUnitRec& u) { u.PCode = 7; })},
      // Tags are matched exactly.
      {"<unitcode>abc</unitcode>", tVEKUnitRec{}},
      {"<UnitCode >abc</UnitCode>", tVEKUnitRec{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    tRC rc;
    const ArrayOfVEKUnits units = Load("<VEKUnit>\n" + c.line + "\n</VEKUnit>\n", &rc);
    EXPECT_EQ(rc, (tRC{1, "Count"}));
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0], c.expected);
  }
}

TEST_F(UnitsFile, ALaterValueOfAFieldReplacesTheEarlierOne) {
  const auto units = Load(
      "<VEKUnit>\n<UnitName>First</UnitName>\n<PCode>5000</PCode>\n<UnitCode>AAA</UnitCode>\n"
      "<Geometry.lat>1.5</Geometry.lat>\n<UnitName></UnitName>\n<PCode>none</PCode>\n"
      "<UnitCode>B</UnitCode>\n<Geometry.lat>-2</Geometry.lat>\n<VEKUnit>\n<UnitName>Next</UnitName>\n");
  ASSERT_EQ(units.size(), 2u);
  tVEKUnitRec first = Unit("B");
  first.Geometry.lat = -2;
  EXPECT_EQ(units[0], first);
  tVEKUnitRec next;
  next.UnitName = "Next";
  EXPECT_EQ(units[1], next);
}

TEST_F(UnitsFile, AMillionBareUnitsCostLessThanFourTimesTheFile) {
  // The most units a file of its size can hold: 11 MB. Stored as full records they took
  // over 30 times that.
  std::string text;
  for (int i = 0; i < 1000000; ++i) text += "<VEKUnit>\r\n";
  text += "<UnitCode>END</UnitCode>\r\n";
  folder.write("units.xml", text);
  const corvantest::PeakMemoryGrowth memory;
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(folder.file("units.xml")), (tRC{1000000, "Count"}));
  if (corvantest::PeakMemoryGrowth::Meaningful()) {
    EXPECT_LT(memory.Bytes(), 4 * text.size());
  }
  EXPECT_EQ(gVEKUnits[999999].UnitCode, "END");
  EXPECT_EQ(gVEKUnits[0], tVEKUnitRec{});
}

TEST_F(UnitsFile, WhatAnotherAccountCanPutThereLeavesTheListAlone) {
  const std::string name = folder.file("VEKUnits.xml");
  folder.write("outside.xml", "<VEKUnit>\n<UnitCode>OUT</UnitCode>\n");
  const std::string tooLarge = name + " is larger than 64 MB, the most a units file may hold.";
  const struct {
    corvantest::tPlanted kind;
    tRC expected;
  } cases[] = {
      {corvantest::tPlanted::Fifo, {-99, "Exception."}},
      {corvantest::tPlanted::DevZeroLink, {-99, "Exception."}},
      {corvantest::tPlanted::Folder, {-4, name + " does not exist."}},
      {corvantest::tPlanted::DanglingLink, {-4, name + " does not exist."}},
      {corvantest::tPlanted::Huge, {-5, tooLarge}},
      {corvantest::tPlanted::LinkOut, {1, "Count"}},  // a file named on purpose may be a link
  };
  corvantest::FifoRescue rescue({name});
  const corvantest::AddressSpaceBound bound;  // a read without end fails instead of taking the machine
  for (const auto& c : cases) {
    SCOPED_TRACE(corvantest::PlantedName(c.kind));
    std::filesystem::remove_all(name);
    corvantest::Plant(c.kind, name, folder.file(c.kind == corvantest::tPlanted::LinkOut ? "outside.xml" : "gone.xml"));
    gVEKUnits = {Unit("KEP")};
    EXPECT_EQ(LoadVEKUnitsArrayFromXML(name), c.expected);
    if (c.expected.AsInt < 0) {
      EXPECT_EQ(gVEKUnits, ArrayOfVEKUnits{Unit("KEP")});
    }
  }
  EXPECT_EQ(gVEKUnits, ArrayOfVEKUnits{Unit("OUT")});
  EXPECT_FALSE(rescue.Needed()) << "the loader blocked on a FIFO";
  // Just within the limit is read.
  std::filesystem::remove(name);
  folder.write("VEKUnits.xml", "<VEKUnit>\n<UnitCode>END</UnitCode>\n");
  std::filesystem::resize_file(name, kUnitsFileLimit);
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(name), (tRC{1, "Count"}));
  EXPECT_EQ(gVEKUnits, ArrayOfVEKUnits{Unit("END")});
}

TEST(ArrayOfVEKUnits, KeepsEveryFieldCutToItsCapacity) {
  const tVEKUnitRec full{"EASX",
                         std::string(40, 'n'),
                         std::string(25, 'd'),
                         "Metropolitan",
                         -7,
                         "0412345678901",
                         "T170",
                         std::string(60, 'a'),
                         std::string(50, 'b'),
                         std::string(31, 's'),
                         5063,
                         3301,
                         3300,
                         15,
                         {-34.92, 138.6125}};
  tVEKUnitRec cut = full;
  cut.UnitCode = "EAS";
  cut.UnitName.resize(kUnitNameCapacity);
  cut.District.resize(kDistrictCapacity);
  cut.Region.resize(kRegionCapacity);
  cut.DOPhoneNo.resize(kDOPhoneNoCapacity);
  cut.TalkGroup.resize(kTalkGroupCapacity);
  cut.AddressLine1.resize(kAddressLineCapacity);
  cut.Suburb.resize(kSuburbCapacity);
  ArrayOfVEKUnits units{tVEKUnitRec{}, full};
  units.push_back(Unit("Z"));
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[0], tVEKUnitRec{});
  EXPECT_EQ(units[1], cut);
  EXPECT_EQ(units.UnitCode(1), "EAS");
  EXPECT_EQ(units[2], Unit("Z"));
  std::vector<std::string> codes;
  for (const tVEKUnitRec& u : units) codes.push_back(u.UnitCode);
  EXPECT_EQ(codes, (std::vector<std::string>{"", "EAS", "Z"}));
  EXPECT_NE(units, (ArrayOfVEKUnits{tVEKUnitRec{}, full, Unit("Y")}));
  EXPECT_EQ(units, (ArrayOfVEKUnits{tVEKUnitRec{}, cut, Unit("Z")}));
  units.clear();
  EXPECT_TRUE(units.empty());
}

TEST_F(UnitsFile, EmailAddressLeavesTheAddressLinesAsRead) {
  const auto units = Load(
      "<VEKUnit>\r\n<AddressLine1>1 Main St</AddressLine1>\r\n"
      "<EmailAddress>x@y.example</EmailAddress>\r\n<AddressLine2>Unit 2</AddressLine2>\r\n");
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].AddressLine1, "1 Main St");
  EXPECT_EQ(units[0].AddressLine2, "Unit 2");
}

TEST_F(UnitsFile, LinesBeforeTheFirstUnitChangeNothing) {
  const auto units =
      Load("<UnitCode>PRE</UnitCode>\n<PCode>1</PCode>\n<VEKUnits>\n<VEKUnit>\n<UnitName>A</UnitName>\n");
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].UnitCode, "");
  EXPECT_EQ(units[0].PCode, 0);
  EXPECT_EQ(units[0].UnitName, "A");
}

TEST_F(UnitsFile, Comments) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> codes;
  } cases[] = {
      {"block holding a unit",
       "<VEKUnit>\n<UnitCode>AAA</UnitCode>\n<!-- gone\n<VEKUnit>\n<UnitCode>BBB</UnitCode>\n"
       "-->\n<VEKUnit>\n<UnitCode>CCC</UnitCode>\n",
       {"AAA", "CCC"}},
      {"one-line comment", "<!-- <VEKUnit> -->\n<VEKUnit>\n<UnitCode>AAA</UnitCode>\n", {"AAA"}},
      {"indented opener", "<VEKUnit>\n\t  <!--\n<UnitCode>XXX</UnitCode>\n-->\n", {""}},
      // An element on the closing line is still inside the comment.
      {"element on the closing line", "<VEKUnit>\n<!--\n--><UnitCode>XXX</UnitCode>\n<UnitName>N</UnitName>\n", {""}},
      // Only a line that begins with "<!--" opens a comment.
      {"comment after an element", "<VEKUnit> <!-- the first -->\n<UnitCode>AAA</UnitCode>\n", {"AAA"}},
      {"opener mid-line",
       "<VEKUnit>\n<UnitCode>AAA</UnitCode> <!--\n<VEKUnit>\n<UnitCode>BBB</UnitCode>\n",
       {"AAA", "BBB"}},
      {"never closed", "<VEKUnit>\n<!--\n<VEKUnit>\n<VEKUnit>\n", {""}},
      {"no units", "<VEKUnits>\n</VEKUnits>\n", {}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tRC rc;
    const auto units = Load(c.text, &rc);
    EXPECT_EQ(rc.AsInt, static_cast<std::int32_t>(c.codes.size()));
    std::vector<std::string> codes;
    for (const auto& u : units) codes.push_back(u.UnitCode);
    EXPECT_EQ(codes, c.codes);
  }
}

TEST_F(UnitsFile, LineEndings) {
  for (const char* eol : {"\n", "\r\n", "\r"}) {
    SCOPED_TRACE(testing::PrintToString(eol));
    const std::string e = eol;
    const auto units = Load("<VEKUnit>" + e + "<UnitName>Open" + e + "<VEKUnit>" + e + "<UnitCode>BBB</UnitCode>" + e);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].UnitName, "Open");  // no line-end byte in an unclosed value
    EXPECT_EQ(units[1].UnitCode, "BBB");
  }
}

TEST_F(UnitsFile, LoadingAgainReplacesTheList) {
  gVEKUnits = {Unit("ZZZ"), Unit("YYY"), Unit("XXX")};
  const auto units = Load("<VEKUnit>\n<UnitCode>AAA</UnitCode>\n");
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0], Unit("AAA"));
}

TEST_F(UnitsFile, DefaultNameIsFoundWhateverItsCase) {
  folder.write("vekunits.XML", "<VEKUnit>\n<UnitCode>LOW</UnitCode>\n");
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(""), (tRC{1, "Count"}));
  ASSERT_EQ(gVEKUnits.size(), 1u);
  EXPECT_EQ(gVEKUnits[0].UnitCode, "LOW");
}

TEST_F(UnitsFile, MissingFileWithoutHostLeavesTheListAlone) {
  gVEKUnits = {Unit("KEP")};
  corvantest::InScratchFolder scratch;
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(folder.file("nothere.xml")),
            (tRC{-4, folder.file("nothere.xml") + " does not exist."}));
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(""), (tRC{-4, folder.file("VEKUnits.xml") + " does not exist."}));
  // A folder by that name is no units file either.
  std::filesystem::create_directory(folder.file("dir.xml"));
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(folder.file("dir.xml")).AsInt, -4);
  EXPECT_EQ(gVEKUnits, ArrayOfVEKUnits{Unit("KEP")});
  EXPECT_EQ(scratch.files(), std::vector<std::string>{});  // nothing fetched
}

TEST_F(UnitsFile, UnreadableFileIsAnExceptionAndKeepsTheList) {
  gVEKUnits = {Unit("KEP")};
  // Exists, yet every read fails.
  EXPECT_EQ(LoadVEKUnitsArrayFromXML("/proc/self/mem"), (tRC{-99, "Exception."}));
  EXPECT_EQ(gVEKUnits, ArrayOfVEKUnits{Unit("KEP")});
}
