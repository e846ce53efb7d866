#pragma once
// The pager page grammar: a fixed sequence of searches and cuts on one working text that
// turns a page, from whatever source, into a tZIRPageRec.
#include <cstdint>
#include <string>
#include <vector>

#include "pager/VEKRecords.h"
#include "pager/VersionedList.h"

namespace VEKLib {

struct tSuburbRec {
  std::string Name;

  friend bool operator==(const tSuburbRec&, const tSuburbRec&) = default;
};

using ArrayOfSuburbs = std::vector<tSuburbRec>;
using ArrayOfString = std::vector<std::string>;

// The suburb and task-type lists the parser recognises, in list order (the first entry
// that matches wins). The control panel leaves both empty; tests, benchmarks and the
// command-line companion fill them with the loaders below. The parser keeps an index of
// each list's names, which the list's generation tells it to rebuild.
extern tVersionedList<tSuburbRec> gSuburbs;
extern tVersionedList<std::string> gTaskTypes;

// Replace the list with the names of a plain text file, one a line, in file order;
// blank lines are skipped and blanks around a name dropped. Count of names with
// "Count"; -4 "<name> does not exist." (list unchanged); -99 "Exception." after a
// caught error (list unchanged).
tRC LoadSuburbsFromTextFile(const std::string& sFileName);
tRC LoadTaskTypesFromTextFile(const std::string& sFileName);

// Parses one page. RC is 0 "OK" or the first failure found; the fields the failing stage
// had not reached keep their reset values. A VEK page naming no known suburb is copied
// to "U!yyyymmdd-INC<incident>.TXT" in the current folder and reported by syslog.
tZIRPageRec ParseRawTextToZIRPage(const std::string& sRawText, const std::string& sCallingFunction);

// The four values a test page template is filled with.
struct tRandomRFA {
  std::string Priority;
  std::string Task;
  std::string Comment;
  std::string Unit;
  std::string Incident;  // "INC:S9000".."INC:S9998"
};

// The values for the four draws (0..99, 0..99, 0..3, 0..998) of a template.
tRandomRFA RandomRFAFromDraws(int iPriority, int iTask, int iUnit, int iIncident);
// Seeds the generator with `seed` and makes the four draws.
tRandomRFA DrawRandomRFA(std::uint32_t seed);

// Fills the placeholders of a test page template ("^DATE^", "^TIME^", "^DIN^",
// "^DATE_TIME^", "^TASK^", "^PRTY^", "^COMMENT^", "^UNIT^", each at its first
// occurrence) with the clock and with values drawn from a generator seeded by the tick
// count. Text without placeholders comes back unchanged.
std::string ParseRandomRFA(const std::string& sText);

}  // namespace VEKLib
