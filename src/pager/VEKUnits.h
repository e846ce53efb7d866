#pragma once
// The units directory: the VEK units the page parser recognises, read from the units file
// "VEKUnits.xml".
#include <string>

#include "ArrayOfVEKUnits.h"
#include "VEKRecords.h"

namespace VEKLib {

// Filled once at start-up on the user-interface thread; the page parser only reads it.
extern ArrayOfVEKUnits gVEKUnits;

// Reads the units file into gVEKUnits (empty name: "VEKUnits.xml" in the program folder).
// Count of units with "Count"; -4 "<name> does not exist." when the file is missing even
// after asking the vendor's host for it (gVEKUnits unchanged); -99 "Exception." after a
// caught error (the units read so far stay).
tRC LoadVEKUnitsArrayFromXML(const std::string& sFileName);

}  // namespace VEKLib
