// The parser's stages find list names through indexes and skip what cannot count; the
// plain reading of the grammar (ReferencePageParser) walks every list entry by entry.
// Pages built at random from the grammar's own pieces, with lists full of names that end
// in, contain or repeat one another, must parse the same both ways.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "PagerFixtures.h"
#include "ReferencePageParser.h"
#include "pager/UnitClaims.h"

using namespace VEKLib;

namespace {

class PlainReading : public corvantest::PagerTest {};

// Pieces of pages: every marker the stages look for. Names (below) come with what may
// follow a suburb, so that a page often holds a name in several of those forms.
const std::vector<std::string> kPieces = {
    "*CFSRES ",
    "TEST PAGE ",
    "test page ",
    "INC:S9000 ",
    "INC:9001 ",
    " INC",
    "20/06/22 14:30 ",
    "01/10/13 09:00 ",
    "RESPOND ",
    " P0 ",
    " P1 ",
    " P2 ",
    " P3 ",
    " P5 ",
    " P7 ",
    " p2 ",
    "ALARM LEVEL: 1 ",
    "3 NORTH ESP ",
    "LIGHTHOUSE ",
    "MAP:ADL 128 D15, ",
    "MAP:ABCDEFGHIJKLMNOPQ, ",
    ",",
    ".",
    "==CALLER: JOHN: SMITH ",
    "==SMOKE ",
    " BOAT RAMP ",
    " RESPOND MARINE SEARCH AND RESCUE ",
    "EAS20 ",
    "EAS20",
    "MTB23_",
    "STT29 ",
    "A20 ",
    "CFS20 ",
    " VEKOOA",
    ":VEKOOA",
    "&lt;",
    "&gt;",
    " &amp; ",
    "<PAGE>",
    "<MSG>",
    "</MSG>",
    "`",
    "\"",
    " ",
    "  ",
    "X",
    "@",
    ":",
};
const std::vector<std::string> kAfterNames = {" MAP", ",MAP", "MAP", ": ", " ,", ",,", " ", ""};

const std::vector<std::string> kUnitCodes = {"EAS", "MTB", "STT", "A", "CFS", "", "EA", "AS", "MTBX"};
const std::vector<std::string> kNames = {
    "GLENELG NORTH",
    "NORTH",
    "Glenelg North",
    "KINGSTON PARK",
    "PARK",
    "KINGSTON",
    "LIGHTHOUSE",
    "MAP",
    "ADL 128",
    "X",
    "",
    "NORTH,",
    "EAS",
    "TREE DOWN",
    "DOWN",
    "tree down",
    "SEVERE WEATHER",
    "A",
    "P2",
    "RESPOND",
};

const std::string& Pick1(std::mt19937& random, const std::vector<std::string>& pool) {
  return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
}

template <class Item>
std::vector<Item> Pick(std::mt19937& random, const std::vector<std::string>& pool, std::size_t most) {
  std::vector<Item> picked;
  const std::size_t n = std::uniform_int_distribution<std::size_t>(0, most)(random);
  for (std::size_t i = 0; i < n; ++i) picked.push_back(Item{Pick1(random, pool)});
  return picked;
}

}  // namespace

TEST_F(PlainReading, RandomPagesAndListsParseAsThePlainReadingSays) {
  std::mt19937 random(20240121);
  int suburbStageReached = 0;
  for (int lists = 0; lists < 300; ++lists) {
    // Lists are refilled the ways callers do: assigned whole, cleared, or left as they are.
    switch (lists % 3) {
      case 0:
        gVEKUnits.clear();
        for (std::string& code : Pick<std::string>(random, kUnitCodes, 6)) {
          tVEKUnitRec unit;
          unit.UnitCode = std::move(code);
          gVEKUnits.push_back(unit);
        }
        gSuburbs = Pick<tSuburbRec>(random, kNames, 8);
        break;
      case 1:
        gTaskTypes = Pick<std::string>(random, kNames, 8);
        if (random() % 4 == 0) gSuburbs.clear();
        break;
      default:
        break;
    }
    for (int page = 0; page < 40; ++page) {
      std::string text;
      for (const std::string& piece : Pick<std::string>(random, kPieces, 16)) {
        text += piece;
        if (random() % 2 == 0) text += Pick1(random, kNames) + Pick1(random, kAfterNames);
      }
      // Most pages get a date where the grammar looks for one, so that they get further.
      if (random() % 4 != 0) text = "*CFSRES INC:S9000 20/06/22 14:30 " + text;
      SCOPED_TRACE(text);
      const tZIRPageRec parsed = ParseRawTextToZIRPage(text, "test:1");
      ASSERT_EQ(parsed, corvantest::ReferenceParseRawTextToZIRPage(text));
      if (parsed.RC.AsInt == 0 || parsed.RC.AsInt == -16) ++suburbStageReached;
      const tClaimMarkers markers(text);
      for (const tVEKUnitRec& unit : gVEKUnits)
        ASSERT_EQ(markers.ClaimedBy(unit.UnitCode), corvantest::ReferenceUnitClaims(text, unit.UnitCode))
            << unit.UnitCode;
    }
    // The copies of set-aside pages, which name no more than the incident.
    for (const std::string& file : scratch.files()) std::filesystem::remove(scratch.folder().path() + "/" + file);
  }
  // Many pages got through to the suburb and street stages, not only to early failures.
  EXPECT_GT(suburbStageReached, 3000) << "of " << 300 * 40;
}
