#pragma once
// The sample page the tests parse, broadcast and save as a task.
#include <string>
#include <string_view>

namespace corvantest {

// The sample page of a tree-down task for `Unit`, its two lines joined by `LineBreak`
// (a task file breaks it where the blank stands in a broadcast).
inline std::string TreeDownSamplePage(std::string_view Unit, std::string_view LineBreak = " ") {
  return "TEST PAGE INC:S9000 20/06/22 14:30 RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH" + std::string(LineBreak) +
         "MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE " + std::string(Unit) + "20";
}

// As the test broadcast sends it: the unit EAS, the suburb GLENELG NORTH and the task
// type TREE DOWN.
inline const std::string kTreeDownSamplePage = TreeDownSamplePage("EAS");

}  // namespace corvantest
