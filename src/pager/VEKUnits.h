#pragma once
// The units directory: the VEK units the page parser recognises, read from the units file
// "VEKUnits.xml".
#include <cstddef>
#include <string>

#include "pager/ArrayOfVEKUnits.h"
#include "pager/VEKRecords.h"

namespace VEKLib {

// Filled once at start-up on the user-interface thread; the page parser only reads it.
extern ArrayOfVEKUnits gVEKUnits;

// The largest units file read: the vendor's has a few thousand units in about a MB.
inline constexpr std::size_t kUnitsFileLimit = 64u << 20;

// Reads the units file into gVEKUnits (empty name: "VEKUnits.xml" in the program folder).
// Count of units with "Count"; -4 "<name> does not exist." when the file is missing even
// after asking the vendor's host for it, and -5 "<name> is larger than 64 MB, the most a
// units file may hold." (with an exception report) beyond kUnitsFileLimit: gVEKUnits is
// unchanged in both; -99 "Exception." after a caught error, among them a file that cannot
// be read or is no regular file (the units read so far stay).
tRC LoadVEKUnitsArrayFromXML(const std::string& sFileName);

}  // namespace VEKLib
