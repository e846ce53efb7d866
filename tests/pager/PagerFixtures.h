#pragma once
// Fixtures shared by the pager tests: the process-wide lists, a scratch current folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "SamplePage.h"
#include "ScratchFolder.h"
#include "pager/PageParser.h"
#include "pager/VEKRecords.h"
#include "pager/VEKUnits.h"
#include "support/DateTime.h"

namespace corvantest {

inline brix32::TDateTime Date(int y, int m, int d, int h = 0, int n = 0) {
  return brix32::EncodeDateTime({y, m, d, h, n, 0, 0});
}

inline VEKLib::ArrayOfVEKUnits Units(std::initializer_list<const char*> codes) {
  VEKLib::ArrayOfVEKUnits units;
  for (const char* code : codes) {
    VEKLib::tVEKUnitRec unit;
    unit.UnitCode = code;
    units.push_back(unit);
  }
  return units;
}

inline VEKLib::ArrayOfSuburbs Suburbs(std::initializer_list<const char*> names) {
  VEKLib::ArrayOfSuburbs suburbs;
  for (const char* name : names) suburbs.push_back({name});
  return suburbs;
}

// What the sample page parses to with all three lists filled.
inline VEKLib::tZIRPageRec TreeDownSampleRecord() {
  VEKLib::tZIRPageRec p;
  p.ID = 82239000;
  p.DateTime = Date(2022, 6, 20, 14, 30);
  p.MapRef = "ADL 128 D15";
  p.MFSIncNo = 9000;
  p.Priority = 2;
  p.RawText =
      "*CFSRES INC:S9000 20/06/22 14:30 RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH "
      "MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE EAS20";
  p.VEK = true;
  p.VEKUnit = "EAS";
  p.Street = "3 NORTH ESP";
  p.Suburb = "GLENELG NORTH";
  p.TaskType = "TREE DOWN";
  p.RC = {0, "OK"};
  return p;
}

// Parser tests fill the lists, and a VEK page with an unknown suburb posts a syslog
// broadcast: they all run inside the hermetic network. The clock is fixed (the century
// of two-digit years, the date in set-aside file names) and the current folder is a
// scratch folder that the test checks for files written.
class PagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    VEKLib::gVEKUnits = Units({"EAS"});
    VEKLib::gSuburbs = Suburbs({"GLENELG NORTH"});
    VEKLib::gTaskTypes = {"TREE DOWN"};
  }

  ProcessStateGuard processState;
  FixedClock clock{2024, 1, 21, 15, 36, 7};
  InScratchFolder scratch{"a/b"};
};

}  // namespace corvantest

namespace VEKLib {

inline void PrintTo(const tRC& rc, std::ostream* os) { *os << rc.AsInt << " \"" << rc.AsStr << "\""; }

inline void PrintTo(const tZIRPageRec& p, std::ostream* os) {
  *os << "{ID=" << p.ID << " DateTime=" << p.DateTime << " MFSIncNo=" << p.MFSIncNo << " Priority=" << p.Priority
      << " VEK=" << p.VEK << " VEKUnit=\"" << p.VEKUnit << "\" MapRef=\"" << p.MapRef << "\" Comment=\"" << p.Comment
      << "\" TaskType=\"" << p.TaskType << "\" Suburb=\"" << p.Suburb << "\" Street=\"" << p.Street << "\" RawText=\""
      << p.RawText << "\" RC=";
  PrintTo(p.RC, os);
  *os << "}";
}

}  // namespace VEKLib
