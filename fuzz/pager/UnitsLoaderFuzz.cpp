// Any bytes as the units file: the loader must not crash, must count exactly the units it
// keeps, and must keep every text within its field's capacity.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pager/VEKUnits.h"
#include "support/Diagnostics.h"

namespace {

// The loader reads a named file; an in-memory file keeps each run off the disk.
const std::string& UnitsFileName() {
  static const std::string name = [] {
    const int fd = ::memfd_create("units-fuzz", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return name;
}

// Lines end at CR or LF; an empty line holds nothing, so CR LF needs no special case.
std::size_t LinesHolding(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    if (text.substr(0, end).find(what) != std::string_view::npos) ++n;
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return n;
}

std::size_t Occurrences(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string_view::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // No self name: no exception report, so nothing can be broadcast.
  brix32::gGlobalSettings = brix32::tGlobalSettings{};
  const std::string& name = UnitsFileName();
  const int fd = std::stoi(name.substr(name.rfind('/') + 1));
  if (::ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

  const VEKLib::tRC rc = VEKLib::LoadVEKUnitsArrayFromXML(name);

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (rc.AsStr != "Count" || rc.AsInt < 0) std::abort();
  if (static_cast<std::size_t>(rc.AsInt) != VEKLib::gVEKUnits.size()) std::abort();
  if (VEKLib::gVEKUnits.size() > Occurrences(text, "<VEKUnit>")) std::abort();
  // Without comments every line holding "<VEKUnit>" is one unit.
  if (text.find("<!--") == std::string_view::npos && VEKLib::gVEKUnits.size() != LinesHolding(text, "<VEKUnit>"))
    std::abort();
  for (const VEKLib::tVEKUnitRec& u : VEKLib::gVEKUnits) {
    if (u.UnitCode.size() > VEKLib::kUnitCodeCapacity || u.UnitName.size() > VEKLib::kUnitNameCapacity ||
        u.District.size() > VEKLib::kDistrictCapacity || u.Region.size() > VEKLib::kRegionCapacity ||
        u.DOPhoneNo.size() > VEKLib::kDOPhoneNoCapacity || u.TalkGroup.size() > VEKLib::kTalkGroupCapacity ||
        u.AddressLine1.size() > VEKLib::kAddressLineCapacity || u.AddressLine2.size() > VEKLib::kAddressLineCapacity ||
        u.Suburb.size() > VEKLib::kSuburbCapacity)
      std::abort();
    if (!std::isfinite(u.Geometry.lat) || !std::isfinite(u.Geometry.lng)) std::abort();
    // Text fields never hold a line end: values end at the line.
    for (const std::string* s : {&u.UnitCode, &u.UnitName, &u.Suburb, &u.AddressLine1})
      if (s->find_first_of("\r\n") != std::string::npos) std::abort();
  }
  return 0;
}
