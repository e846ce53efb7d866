#pragma once
// The units directory: the VEK units the page parser recognises, read from the units file
// "VEKUnits.xml".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "VEKRecords.h"

namespace VEKLib {

struct tGeometry {
  double lat = 0;
  double lng = 0;

  friend bool operator==(const tGeometry&, const tGeometry&) = default;
};

// The fields the units file fills, in record order. The service carries further fields
// in its copy of the record; nothing here reads or writes them, so they are left out.
struct tVEKUnitRec {
  std::string UnitCode;
  std::string UnitName;
  std::string District;
  std::string Region;
  std::int32_t UnitManagerID = 0;
  std::string DOPhoneNo;
  std::string TalkGroup;
  std::string AddressLine1;
  std::string AddressLine2;
  std::string Suburb;
  std::int32_t PCode = 0;
  std::int32_t OfficerPagerGroup = 0;
  std::int32_t AllPagerGroup = 0;
  std::int32_t ZIRSamplePeriod = 0;
  tGeometry Geometry;

  friend bool operator==(const tVEKUnitRec&, const tVEKUnitRec&) = default;
};

// The service declares its text fields with these lengths; a longer value is cut.
inline constexpr std::size_t kUnitCodeCapacity = 3;
inline constexpr std::size_t kUnitNameCapacity = 30;
inline constexpr std::size_t kDistrictCapacity = 20;
inline constexpr std::size_t kRegionCapacity = 10;
inline constexpr std::size_t kDOPhoneNoCapacity = 10;
inline constexpr std::size_t kTalkGroupCapacity = 3;
inline constexpr std::size_t kAddressLineCapacity = 50;
inline constexpr std::size_t kSuburbCapacity = 30;

using ArrayOfVEKUnits = std::vector<tVEKUnitRec>;

// Filled once at start-up on the user-interface thread; the page parser only reads it.
extern ArrayOfVEKUnits gVEKUnits;

// Reads the units file into gVEKUnits (empty name: "VEKUnits.xml" in the program folder).
// Count of units with "Count"; -4 "<name> does not exist." when the file is missing even
// after asking the vendor's host for it (gVEKUnits unchanged); -99 "Exception." after a
// caught error (the units read so far stay).
tRC LoadVEKUnitsArrayFromXML(const std::string& sFileName);

}  // namespace VEKLib
