#include "pager/ArrayOfVEKUnits.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace VEKLib {
namespace {

bool IsText(tUnitField field) { return field < tUnitField::UnitManagerID; }
bool IsNumber(tUnitField field) { return field >= tUnitField::UnitManagerID && field < tUnitField::Lat; }
bool IsCoordinate(tUnitField field) { return field == tUnitField::Lat || field == tUnitField::Lng; }

// The record's member of each field, by the field's number.
struct tTextField {
  std::string tVEKUnitRec::*Member;
  std::size_t Capacity;
};
constexpr tTextField kTextFields[] = {
    {&tVEKUnitRec::UnitName, kUnitNameCapacity},
    {&tVEKUnitRec::District, kDistrictCapacity},
    {&tVEKUnitRec::Region, kRegionCapacity},
    {&tVEKUnitRec::DOPhoneNo, kDOPhoneNoCapacity},
    {&tVEKUnitRec::TalkGroup, kTalkGroupCapacity},
    {&tVEKUnitRec::AddressLine1, kAddressLineCapacity},
    {&tVEKUnitRec::AddressLine2, kAddressLineCapacity},
    {&tVEKUnitRec::Suburb, kSuburbCapacity},
};
constexpr std::int32_t tVEKUnitRec::*kNumberFields[] = {
    &tVEKUnitRec::UnitManagerID, &tVEKUnitRec::PCode,           &tVEKUnitRec::OfficerPagerGroup,
    &tVEKUnitRec::AllPagerGroup, &tVEKUnitRec::ZIRSamplePeriod,
};
static_assert(std::size(kTextFields) == static_cast<std::size_t>(tUnitField::UnitManagerID));
static_assert(std::size(kNumberFields) ==
              static_cast<std::size_t>(tUnitField::Lat) - static_cast<std::size_t>(tUnitField::UnitManagerID));

const tTextField& TextField(tUnitField field) { return kTextFields[static_cast<std::size_t>(field)]; }
std::int32_t tVEKUnitRec::*NumberField(tUnitField field) {
  return kNumberFields[static_cast<std::size_t>(field) - static_cast<std::size_t>(tUnitField::UnitManagerID)];
}
double& Coordinate(tVEKUnitRec& u, tUnitField field) {
  return field == tUnitField::Lat ? u.Geometry.lat : u.Geometry.lng;
}

}  // namespace

ArrayOfVEKUnits::ArrayOfVEKUnits(std::initializer_list<tVEKUnitRec> units) {
  reserve(units.size());
  for (const tVEKUnitRec& u : units) push_back(u);
}

void ArrayOfVEKUnits::clear() {
  std::vector<tUnit>().swap(units_);
  std::string().swap(fields_);
}

void ArrayOfVEKUnits::shrink_to_fit() {
  units_.shrink_to_fit();
  fields_.shrink_to_fit();
}

void ArrayOfVEKUnits::push_back(const tVEKUnitRec& unit) {
  AddEmptyUnit();
  SetUnitCode(unit.UnitCode);
  // Only what differs from an empty unit takes room.
  for (std::size_t f = 0; f < std::size(kTextFields); ++f)
    if (const std::string& text = unit.*kTextFields[f].Member; !text.empty()) SetText(static_cast<tUnitField>(f), text);
  for (std::size_t f = 0; f < std::size(kNumberFields); ++f)
    if (const std::int32_t number = unit.*kNumberFields[f]; number != 0)
      SetNumber(static_cast<tUnitField>(f + std::size(kTextFields)), number);
  if (unit.Geometry.lat != 0) SetCoordinate(tUnitField::Lat, unit.Geometry.lat);
  if (unit.Geometry.lng != 0) SetCoordinate(tUnitField::Lng, unit.Geometry.lng);
}

void ArrayOfVEKUnits::AddEmptyUnit() {
  if (fields_.size() > std::numeric_limits<std::uint32_t>::max())
    throw std::length_error("units directory larger than 4 GB");
  tUnit unit;
  unit.FieldsAt = static_cast<std::uint32_t>(fields_.size());
  units_.push_back(unit);
}

void ArrayOfVEKUnits::SetUnitCode(std::string_view code) {
  tUnit& unit = units_.back();
  unit.CodeLength = static_cast<std::uint8_t>(std::min(code.size(), kUnitCodeCapacity));
  std::memcpy(unit.Code, code.data(), unit.CodeLength);
}

void ArrayOfVEKUnits::AppendField(tUnitField field, const void* value, std::size_t size) {
  fields_ += static_cast<char>(field);
  fields_.append(static_cast<const char*>(value), size);
}

void ArrayOfVEKUnits::SetText(tUnitField field, std::string_view value) {
  if (!IsText(field)) throw std::invalid_argument("not a text field");
  const auto length = static_cast<std::uint8_t>(std::min(value.size(), TextField(field).Capacity));
  fields_ += static_cast<char>(field);
  fields_ += static_cast<char>(length);
  fields_.append(value.data(), length);
}

void ArrayOfVEKUnits::SetNumber(tUnitField field, std::int32_t value) {
  if (!IsNumber(field)) throw std::invalid_argument("not a number field");
  AppendField(field, &value, sizeof value);
}

void ArrayOfVEKUnits::SetCoordinate(tUnitField field, double value) {
  if (!IsCoordinate(field)) throw std::invalid_argument("not a coordinate field");
  AppendField(field, &value, sizeof value);
}

std::size_t ArrayOfVEKUnits::FieldsEnd(std::size_t i) const {
  return i + 1 < units_.size() ? units_[i + 1].FieldsAt : fields_.size();
}

tVEKUnitRec ArrayOfVEKUnits::operator[](std::size_t i) const {
  tVEKUnitRec u;
  u.UnitCode = UnitCode(i);
  const char* at = fields_.data() + units_[i].FieldsAt;
  const char* const end = fields_.data() + FieldsEnd(i);
  while (at < end) {
    const auto field = static_cast<tUnitField>(*at++);
    if (IsText(field)) {
      const auto length = static_cast<unsigned char>(*at++);
      (u.*TextField(field).Member).assign(at, length);
      at += length;
    } else if (IsNumber(field)) {
      std::memcpy(&(u.*NumberField(field)), at, sizeof(std::int32_t));
      at += sizeof(std::int32_t);
    } else {
      std::memcpy(&Coordinate(u, field), at, sizeof(double));
      at += sizeof(double);
    }
  }
  return u;
}

bool operator==(const ArrayOfVEKUnits& a, const ArrayOfVEKUnits& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace VEKLib
