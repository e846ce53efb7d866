#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "PagerFixtures.h"

using namespace VEKLib;
using corvantest::Date;
using corvantest::kTreeDownSamplePage;
using corvantest::Suburbs;
using corvantest::Units;

namespace {

class PageParser : public corvantest::PagerTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(scratch.files(), std::vector<std::string>{}) << "no page here is set aside";
    PagerTest::TearDown();
  }
};

tZIRPageRec Parse(const std::string& text) { return ParseRawTextToZIRPage(text, "test:1"); }

// "*CFSRES INC:S9000 20/06/22 14:30 " + rest: the date's "/" stands at position 21.
std::string Page(const std::string& rest) { return "*CFSRES INC:S9000 20/06/22 14:30 " + rest; }

struct Case {
  std::string text;
  std::int32_t rc;
  std::function<void(const tZIRPageRec&)> check;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const tZIRPageRec page = Parse(c.text);
    EXPECT_EQ(page.RC, MakeRC(c.rc));
    if (c.check) c.check(page);
  }
}

}  // namespace

TEST_F(PageParser, TreeDownSamplePageWithFilledLists) {
  EXPECT_EQ(Parse(kTreeDownSamplePage), corvantest::TreeDownSampleRecord());
  // Longer lists: the suburb 50th of 100, the task type last of 50.
  ASSERT_EQ(LoadSuburbsFromTextFile(CORVAN_PAGER_TEST_DATA "/Suburbs100.txt").AsInt, 100);
  ASSERT_EQ(LoadTaskTypesFromTextFile(CORVAN_PAGER_TEST_DATA "/TaskTypes50.txt").AsInt, 50);
  EXPECT_EQ(Parse(kTreeDownSamplePage), corvantest::TreeDownSampleRecord());
}

TEST_F(PageParser, TreeDownSamplePageWithTheProgramsEmptyLists) {
  gSuburbs.clear();
  gTaskTypes.clear();
  tZIRPageRec expected = corvantest::TreeDownSampleRecord();
  expected.ID = 0;
  expected.TaskType.clear();
  expected.Suburb.clear();
  expected.Street.clear();
  expected.RC = {-30, "Suburbs not loaded"};
  EXPECT_EQ(Parse(kTreeDownSamplePage), expected);

  // Without a units directory either, nobody claims the page.
  gVEKUnits.clear();
  expected.VEKUnit = "CFS";
  expected.VEK = false;
  EXPECT_EQ(Parse(kTreeDownSamplePage), expected);
}

TEST_F(PageParser, FailuresStopAtTheirStage) {
  const auto dateNotReached = [](const tZIRPageRec& p) {
    EXPECT_EQ(p.DateTime, 0);
    EXPECT_EQ(p.VEKUnit, "");
  };
  RunCases({
      {"[RC=0][RESULT=OK]", -18, [](const tZIRPageRec& p) { EXPECT_EQ(p.RawText, ""); }},
      {" \t\r\n ", -18, nullptr},
      {"[RC=0][RESULT=OK] <PAGE> ", -18, nullptr},
      {"noise~[0;92m<PAGE>", -18, nullptr},
      {Page("CORVANSRVC INFO:V=1.2 G=3"), -19,
       [&](const tZIRPageRec& p) {
         EXPECT_EQ(p.RawText, Page("CORVANSRVC INFO:V=1.2 G=3"));
         dateNotReached(p);
       }},
      {"*CFSRES INC:S9000 RESPOND TREE DOWN P2", -37, dateNotReached},
      {"*CFSRES INC:S9000 32/13/22 14:30 RESPOND EAS20", -37, dateNotReached},
      {"*CFSRES INC:S9000 20/06/22 25:30 RESPOND EAS20", -37, dateNotReached},
      // "<MSG>" without its end empties the text (the first tag is removed before).
      {"<PAGE><MSG>" + kTreeDownSamplePage, -37, [](const tZIRPageRec& p) { EXPECT_EQ(p.RawText, ""); }},
      {"*CFSRES 20/06/22 14:30 RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH MAP:X, EAS20", -13,
       [](const tZIRPageRec& p) {
         EXPECT_EQ(p.DateTime, Date(2022, 6, 20, 14, 30));
         EXPECT_EQ(p.VEKUnit, "EAS");
         EXPECT_FALSE(p.VEK);  // no " INC:S"
         EXPECT_EQ(p.MFSIncNo, 0);
         EXPECT_EQ(p.MapRef, "");
       }},
      {"*CFSRES INC:SABC 20/06/22 14:30 RESPOND P2 X GLENELG NORTH MAP:X, EAS20", -14,
       [](const tZIRPageRec& p) {
         EXPECT_EQ(p.MFSIncNo, -1);
         EXPECT_EQ(p.Priority, 0);
       }},
      {"*CFSRES INC:S-1 20/06/22 14:30 RESPOND EAS20", -14, [](const tZIRPageRec& p) { EXPECT_EQ(p.MFSIncNo, -1); }},
      {"*CFSRES INC:S99999999999 20/06/22 14:30 RESPOND EAS20", -14, nullptr},
  });
}

TEST_F(PageParser, DateSlashMustStandAtPositions11To69) {
  for (const int position : {10, 11, 69, 70}) {
    // The first "/" at `position` (counted from 1), the date text two characters before.
    const std::string text = std::string(static_cast<std::size_t>(position - 3), 'x') +
                             "20/06/22 14:30 INC:S9000 RESPOND P2 3 NORTH ESP GLENELG NORTH MAP:X,";
    const tZIRPageRec page = Parse(text);
    SCOPED_TRACE(position);
    if (position == 10 || position == 70) {
      EXPECT_EQ(page.RC.AsInt, -37);
      EXPECT_EQ(page.DateTime, 0);
    } else {
      EXPECT_EQ(page.RC.AsInt, 0);
      EXPECT_EQ(page.DateTime, Date(2022, 6, 20, 14, 30));
    }
  }
}

TEST_F(PageParser, CleaningOfTheWorkingText) {
  const tZIRPageRec sample = corvantest::TreeDownSampleRecord();
  const auto sameAsSample = [&](const tZIRPageRec& p) { EXPECT_EQ(p, sample); };
  RunCases({
      {"[RC=0][RESULT=OK]  " + kTreeDownSamplePage + "  ", 0, sameAsSample},
      {"mhs-watchdog~[0;97m" + kTreeDownSamplePage, 0, sameAsSample},
      {"~[0;97mx~[0;92m" + kTreeDownSamplePage, 0, sameAsSample},
      {"<PAGE><MSG>" + kTreeDownSamplePage + "</MSG></PAGE>", 0, sameAsSample},
      {"<tr><td class=message>" + kTreeDownSamplePage, 0, sameAsSample},
      {"`\"" + kTreeDownSamplePage + "\"`", 0, sameAsSample},
      {"test page INC:S9000 20/06/22 14:30 RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH "
       "MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE EAS20",
       0, sameAsSample},
      {"Test Page" + kTreeDownSamplePage.substr(9), 0, sameAsSample},
      // Entities are decoded after RawText is taken; "&lt;"/"&gt;" only when the page
      // begins with one.
      {Page("RESPOND TREE DOWN P2 3 NORTH ESP &amp; PIER GLENELG NORTH MAP:ADL, EAS20"), 0,
       [](const tZIRPageRec& p) {
         EXPECT_EQ(p.Street, "3 NORTH ESP & PIER");
         EXPECT_EQ(p.RawText, Page("RESPOND TREE DOWN P2 3 NORTH ESP &amp; PIER GLENELG NORTH MAP:ADL, EAS20"));
       }},
      {"&lt;ZIR&gt;" + Page("RESPOND P2 3 &lt;A&gt; ESP GLENELG NORTH MAP:ADL, EAS20"), 0,
       [](const tZIRPageRec& p) { EXPECT_EQ(p.Street, "3 <A> ESP"); }},
      {Page("RESPOND P2 3 &lt;A&gt; ESP GLENELG NORTH MAP:ADL, EAS20"), 0,
       [](const tZIRPageRec& p) { EXPECT_EQ(p.Street, "3 &LT;A&GT; ESP"); }},
  });
}

TEST_F(PageParser, UnitAndVEKFlag) {
  const auto unitVek = [](const char* unit, bool vek) {
    return [unit, vek](const tZIRPageRec& p) {
      EXPECT_EQ(p.VEKUnit, unit);
      EXPECT_EQ(p.VEK, vek);
    };
  };
  const std::string rest = " RESPOND P2 3 NORTH ESP GLENELG NORTH MAP:X, ";
  RunCases({
      {"*CFSRES INC:9000 20/06/22 14:30" + rest + "EAS20", 0, unitVek("EAS", false)},
      {"*CFSRES INC:9000 01/10/13 14:30" + rest + "EAS20", 0, unitVek("EAS", true)},
      // 3 October 2013 with a time of day: the older rule wins over the missing "INC:S".
      {"*CFSRES INC:9000 03/10/13 14:30" + rest + "EAS20", 0, unitVek("EAS", true)},
      {"*CFSRES INC:9000 04/10/13 00:00" + rest + "EAS20", 0, unitVek("EAS", false)},
      {"*CFSRES INC:S9000 04/10/13 00:00" + rest + "EAS20", 0, unitVek("EAS", true)},
      {"*CFSRES INC:9000 01/10/13 14:30" + rest, 0, unitVek("CFS", false)},
      {Page(rest + "EAS23_X"), 0, unitVek("EAS", true)},
      {Page(rest + "EAS29 X"), 0, unitVek("EAS", true)},
      {Page(rest + "EAS21 X"), 0, unitVek("CFS", false)},
      {Page(rest + "EAS20X"), 0, unitVek("CFS", false)},
      {Page(rest + "EAS20_"), 0, unitVek("EAS", true)},
      {Page(rest + "VEKOOA"), 0, unitVek("OOA", true)},
      {Page(rest + "X:VEKOOA"), 0, unitVek("OOA", true)},
      {Page(rest + "EAS20 VEKOOA"), 0, unitVek("EAS", true)},
  });
  // The first unit in list order keeps the page, wherever the others stand in the text.
  gVEKUnits = Units({"MTB", "EAS", "STT"});
  RunCases({{Page(rest + "EAS20 MTB29 STT20"), 0, unitVek("MTB", true)}});
}

TEST_F(PageParser, IncidentMapReferencePriorityAndComment) {
  const auto field = [](auto member, auto value) {
    return [member, value](const tZIRPageRec& p) { EXPECT_EQ(p.*member, value); };
  };
  const std::string tail = " GLENELG NORTH MAP:ADL 128 D15, EAS20";
  RunCases({
      {"*CFSRES INC:S9,000 20/06/22 14:30 RESPOND P2 X" + tail, 0, field(&tZIRPageRec::MFSIncNo, 9000)},
      {"*CFSRES INC12345 20/06/22 14:30 RESPOND P2 X" + tail, 0, field(&tZIRPageRec::MFSIncNo, 12345)},
      {Page("RESPOND P2 X GLENELG NORTH MAP:ADL 128 D15. MORE TEXT EAS20"), 0,
       field(&tZIRPageRec::MapRef, std::string("ADL 128 D15"))},
      {Page("RESPOND P2 X GLENELG NORTH MAP:ABCDEFGHIJKLMNO, EAS20"), 0,
       field(&tZIRPageRec::MapRef, std::string("ABCDEFGHIJKLMNO"))},
      {Page("RESPOND P2 X GLENELG NORTH MAP:ABCDEFGHIJKLMNOP, EAS20"), 0,
       field(&tZIRPageRec::MapRef, std::string("?"))},
      {Page("RESPOND P2 X GLENELG NORTH,,ADL 128 D15 EAS20"), 0, field(&tZIRPageRec::MapRef, std::string("NA"))},
      {Page("RESPOND P2 X GLENELG NORTH: ADL EAS20"), 0, field(&tZIRPageRec::MapRef, std::string(""))},
      {Page("RESPOND TREE DOWN P3 P1 3 NORTH ESP" + tail), 0,
       [](const tZIRPageRec& p) {
         EXPECT_EQ(p.Priority, 1);
         EXPECT_EQ(p.Street, "3 NORTH ESP");
       }},
      {Page("RESPOND P7 P5 3 NORTH ESP" + tail), 0, field(&tZIRPageRec::Priority, 5)},
      {Page("RESPOND TREE DOWN ALARM LEVEL: 1 3 NORTH ESP" + tail), 0,
       [](const tZIRPageRec& p) {
         EXPECT_EQ(p.Priority, 1);
         EXPECT_EQ(p.Street, "");
         EXPECT_EQ(p.TaskType, "TREE DOWN");
       }},
      {Page("RESPOND TREE DOWN 3 NORTH ESP" + tail), 0,
       [](const tZIRPageRec& p) {
         EXPECT_EQ(p.Priority, 0);
         EXPECT_EQ(p.Street, "");
       }},
      {Page("RESPOND P2 3 NORTH ESP,==CALLER: JOHN: SMITH" + tail), 0,
       [](const tZIRPageRec& p) {
         EXPECT_EQ(p.Comment, "==CALLER: JOHN");
         EXPECT_EQ(p.Street, "3 NORTH ESP");
       }},
      {Page("RESPOND P2 3 NORTH ESP ==SMOKE SEEN" + tail), 0,
       field(&tZIRPageRec::Comment, std::string("==SMOKE SEEN GLENELG NORTH MAP"))},
      // Without a map reference the comment runs to the end of the text.
      {Page("RESPOND P2 X GLENELG NORTH MAP ==LOOSE ROOF EAS20"), 0,
       field(&tZIRPageRec::Comment, std::string("==LOOSE ROOF EAS20"))},
  });
}

TEST_F(PageParser, TaskTypeSuburbAndStreet) {
  const auto check = [](const char* taskType, const char* suburb, const char* street) {
    return [=](const tZIRPageRec& p) {
      EXPECT_EQ(p.TaskType, taskType);
      EXPECT_EQ(p.Suburb, suburb);
      EXPECT_EQ(p.Street, street);
    };
  };
  RunCases({
      {Page("RESPOND P2 TREE DOWN 3 NORTH ESP GLENELG NORTH MAP:X, EAS20"), 0,
       check("", "GLENELG NORTH", "TREE DOWN 3 NORTH ESP")},
      {Page("RESPOND P2 3 NORTH ESP GLENELG NORTH,,ADL EAS20"), 0, check("", "GLENELG NORTH", "3 NORTH ESP")},
      {Page("RESPOND P2 3 NORTH ESP GLENELG NORTH,MAP:X, EAS20"), 0, check("", "GLENELG NORTH", "3 NORTH ESP")},
      {Page("RESPOND P2 3 NORTH ESP GLENELG NORTHMAP:X, EAS20"), 0, check("", "GLENELG NORTH", "3 NORTH ESP")},
      {Page("RESPOND P2 3 NORTH ESP GLENELG NORTH: X EAS20"), 0, check("", "GLENELG NORTH", "3 NORTH ESP")},
      {Page("RESPOND P2 3 NORTH ESP GLENELG NORTH , X EAS20"), 0, check("", "GLENELG NORTH", "3 NORTH ESP")},
      {Page("RESPOND P2 @:3 NORTH ESP, GLENELG NORTH MAP:X, EAS20"), 0, check("", "GLENELG NORTH", "3 NORTH ESP")},
      {Page("RESPOND P2 LIGHTHOUSE GLENELG NORTH MAP:X, EAS20"), 0, check("", "GLENELG NORTH", "LIGHTHOUSE")},
      // "LIGHTHOUSE " is skipped when looking for the suburb only; the street then runs on
      // to the end, for want of "GLENELG NORTH MAP".
      {Page("RESPOND P2 3 NORTH ESP GLENELG NORTH LIGHTHOUSE MAP:X, EAS20"), 0,
       check("", "GLENELG NORTH", "3 NORTH ESP GLENELG NORTH LIGHTHOUSE MAP:X, EAS20")},
      // CFS pages (no unit) with no known suburb are not set aside.
      {"*CFSRES INC:9000 20/06/22 14:30 RESPOND P2 HOLDFAST PIER RD KINGSTON MAP:X,", 0,
       check("", "", "HOLDFAST PIER RD KINGSTON")},
      {"*CFSRES INC:9000 20/06/22 14:30 RESPOND P2 HOLDFAST BOAT RAMP PIER RD KINGSTON MAP:X,", 0, check("", "", "")},
      {"*CFSRES INC:9000 20/06/22 14:30 RESPOND MARINE SEARCH AND RESCUE P2 OFF KINGSTON MAP:X,", 0, check("", "", "")},
      {"*CFSRES INC:9000 20/06/22 14:30 RESPOND P2 GLENELG BOAT RAMP GLENELG NORTH MAP:X,", 0,
       check("", "GLENELG NORTH", "GLENELG BOAT RAMP")},
  });

  // The first entry in list order wins, for task types and for suburbs alike.
  gTaskTypes = {"DOWN", "TREE DOWN"};
  gSuburbs = Suburbs({"Kingston", "North", "Glenelg North"});
  RunCases({{kTreeDownSamplePage, 0, check("DOWN", "North", "3 NORTH ESP GLENELG")}});
}

TEST_F(PageParser, NegativeIDBecomesZero) {
  const tZIRPageRec page = Parse("*CFSRES INC:S9000 01/01/99 14:30 RESPOND P2 X GLENELG NORTH MAP:X, EAS20");
  EXPECT_EQ(page.RC.AsInt, 0);
  EXPECT_EQ(page.DateTime, Date(1999, 1, 1, 14, 30));
  EXPECT_TRUE(page.VEK);
  EXPECT_EQ(page.ID, 0);
}

TEST(RandomRFA, DrawsMapToTheTemplateValues) {
  struct Case {
    int priority, task, unit, incident;
    const char *expectedPriority, *taskName, *comment, *unitCode, *incidentToken;
  } cases[] = {
      {0, 0, 0, 0, "P1", "SEVERE WEATHER", "WATER ENTERING INTO LIVING AREA", "EAS", "INC:S9000"},
      {19, 29, 1, 998, "P1", "SEVERE WEATHER", "WATER ENTERING INTO LIVING AREA", "MTB", "INC:S9998"},
      {20, 30, 2, 1, "1", "RESCUE GENERAL", "", "STT", "INC:S9001"},
      {89, 39, 3, 500, "1", "RESCUE GENERAL", "", "WAD", "INC:S9500"},
      {89, 40, 0, 0, "P2", "PROVIDE EQUIPMENT", "QUICK SHADE REQUIRED", "EAS", "INC:S9000"},
      {90, 49, 0, 0, "P3", "PROVIDE EQUIPMENT", "QUICK SHADE REQUIRED", "EAS", "INC:S9000"},
      {99, 50, 0, 0, "P3", "FLOODING SALVAGE", "BURST WATER PIPE", "EAS", "INC:S9000"},
      {20, 59, 0, 0, "P2", "FLOODING SALVAGE", "BURST WATER PIPE", "EAS", "INC:S9000"},
      {90, 60, 0, 0, "P3", "ASSIST RESIDENT", "UNABLE TO ACCESS CAR", "EAS", "INC:S9000"},
      {20, 69, 0, 0, "P2", "ASSIST RESIDENT", "UNABLE TO ACCESS CAR", "EAS", "INC:S9000"},
      {90, 70, 0, 0, "P1", "TREE DOWN", "BLOCKING BOTH LANES", "EAS", "INC:S9000"},
      {50, 99, 0, 0, "P1", "TREE DOWN", "BLOCKING BOTH LANES", "EAS", "INC:S9000"},
  };
  for (const auto& c : cases) {
    const tRandomRFA r = RandomRFAFromDraws(c.priority, c.task, c.unit, c.incident);
    SCOPED_TRACE(std::to_string(c.priority) + "/" + std::to_string(c.task));
    EXPECT_EQ(r.Priority, c.expectedPriority);
    EXPECT_EQ(r.Task, c.taskName);
    EXPECT_EQ(r.Comment, c.comment);
    EXPECT_EQ(r.Unit, c.unitCode);
    EXPECT_EQ(r.Incident, c.incidentToken);
  }
}

TEST(RandomRFA, SeedsGiveRepeatableDrawsThatCoverEveryValue) {
  std::set<std::string> tasks, units, priorities;
  int lowest = 99999, highest = 0;
  for (std::uint32_t seed = 0; seed < 3000; ++seed) {
    const tRandomRFA r = DrawRandomRFA(seed * 7919u);
    const tRandomRFA again = DrawRandomRFA(seed * 7919u);
    ASSERT_EQ(r.Incident, again.Incident);
    ASSERT_EQ(r.Task, again.Task);
    tasks.insert(r.Task);
    units.insert(r.Unit);
    priorities.insert(r.Priority);
    const int incident = std::stoi(r.Incident.substr(5));
    lowest = std::min(lowest, incident);
    highest = std::max(highest, incident);
  }
  EXPECT_EQ(tasks.size(), 6u);
  EXPECT_EQ(units, (std::set<std::string>{"EAS", "MTB", "STT", "WAD"}));
  EXPECT_EQ(priorities, (std::set<std::string>{"1", "P1", "P2", "P3"}));
  EXPECT_GE(lowest, 9000);
  EXPECT_LE(highest, 9998);
  EXPECT_GT(highest - lowest, 900);
}

TEST(RandomRFA, FillsEachPlaceholderOnceFromTheClockAndTheTickSeed) {
  corvantest::FixedClock clock(Date(2024, 3, 7, 9, 5));
  clock.setTicks(123456789);
  const tRandomRFA r = DrawRandomRFA(123456789u);
  EXPECT_EQ(ParseRandomRFA("^DATE^|^TIME^|^DIN^|^DATE_TIME^|^TASK^|^PRTY^|^COMMENT^|^UNIT^|^UNIT^|^date^"),
            "07/03/24|09:05|" + r.Incident + "|07/03/24 09:05|" + r.Task + "|" + r.Priority + "|" + r.Comment + "|" +
                r.Unit + "|^UNIT^|^date^");
  EXPECT_EQ(ParseRandomRFA("no placeholders ^ here"), "no placeholders ^ here");
  clock.setTicks(987654321);
  EXPECT_EQ(ParseRandomRFA("^DIN^"), DrawRandomRFA(987654321u).Incident);
}

TEST_F(PageParser, TemplateBecomesAPlausiblePage) {
  gVEKUnits = Units({"EAS", "MTB", "STT", "WAD"});
  gTaskTypes = {"SEVERE WEATHER",   "RESCUE GENERAL",  "PROVIDE EQUIPMENT",
                "FLOODING SALVAGE", "ASSIST RESIDENT", "TREE DOWN"};
  clock.set(Date(2024, 3, 7, 9, 5));
  for (std::uint64_t ticks : {1u, 77u, 4242u, 99999u}) {
    clock.setTicks(ticks);
    const tRandomRFA r = DrawRandomRFA(static_cast<std::uint32_t>(ticks));
    const tZIRPageRec page = Parse(
        "TEST PAGE ^DIN^ ^DATE_TIME^ RESPOND ^TASK^ ^PRTY^ 3 NORTH ESP GLENELG NORTH "
        "MAP:ADL 128 D15, ^COMMENT^ ^UNIT^20");
    SCOPED_TRACE(ticks);
    EXPECT_EQ(page.RC.AsInt, 0);
    EXPECT_EQ(page.DateTime, Date(2024, 3, 7, 9, 5));
    EXPECT_EQ(page.VEKUnit, r.Unit);
    EXPECT_TRUE(page.VEK);
    EXPECT_EQ("INC:S" + std::to_string(page.MFSIncNo), r.Incident);
    EXPECT_EQ(page.TaskType, r.Task);
  }
}

TEST_F(PageParser, NameListsLoadFromTextFiles) {
  scratch.folder().write("a/b/s.txt", "  Kingston Park \r\n\r\nGLENELG NORTH\n \nNorth");
  EXPECT_EQ(LoadSuburbsFromTextFile("s.txt"), (tRC{3, "Count"}));
  ASSERT_EQ(gSuburbs.size(), 3u);
  EXPECT_EQ(gSuburbs[0].Name, "Kingston Park");
  EXPECT_EQ(gSuburbs[1].Name, "GLENELG NORTH");
  EXPECT_EQ(gSuburbs[2].Name, "North");
  EXPECT_EQ(LoadTaskTypesFromTextFile("s.txt").AsInt, 3);
  EXPECT_EQ(gTaskTypes, (ArrayOfString{"Kingston Park", "GLENELG NORTH", "North"}));

  EXPECT_EQ(LoadSuburbsFromTextFile("missing.txt"), (tRC{-4, "missing.txt does not exist."}));
  EXPECT_EQ(gSuburbs.size(), 3u);
  std::filesystem::remove("s.txt");
}
