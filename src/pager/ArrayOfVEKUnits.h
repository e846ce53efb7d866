#pragma once
// The units directory's records and the compact array that holds them. The units file
// comes from another account and may hold a million units of one line each: stored as
// records of ten strings they would cost 36 times the file. The array keeps, per unit,
// its code and an offset, and packs only the fields the file set, so that the units
// never take more memory than the file they came from.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

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

// Every field but the unit code, which the array keeps beside each unit.
enum class tUnitField : std::uint8_t {
  UnitName,
  District,
  Region,
  DOPhoneNo,
  TalkGroup,
  AddressLine1,
  AddressLine2,
  Suburb,  // text
  UnitManagerID,
  PCode,
  OfficerPagerGroup,
  AllPagerGroup,
  ZIRSamplePeriod,  // number
  Lat,
  Lng,  // coordinate
};

// A list of units used like a vector of tVEKUnitRec, except that an element is handed
// out as a copy (put together from what is stored) and only the last unit can be changed.
// Every text is cut to its field's capacity on the way in.
class ArrayOfVEKUnits {
 public:
  ArrayOfVEKUnits() = default;
  ArrayOfVEKUnits(std::initializer_list<tVEKUnitRec> units);

  std::size_t size() const { return units_.size(); }
  bool empty() const { return units_.empty(); }
  void clear();
  void reserve(std::size_t units) { units_.reserve(units); }
  // Gives back what growing set aside beyond what is held.
  void shrink_to_fit();

  void push_back(const tVEKUnitRec& unit);
  tVEKUnitRec operator[](std::size_t i) const;
  // The unit's code alone, without putting the record together (the page parser's loop,
  // which asks it of every unit: so it is inline).
  std::string_view UnitCode(std::size_t i) const { return {units_[i].Code, units_[i].CodeLength}; }

  // Appends a unit whose fields are all empty or zero; the Set functions then fill it.
  void AddEmptyUnit();
  void SetUnitCode(std::string_view code);
  void SetText(tUnitField field, std::string_view value);
  void SetNumber(tUnitField field, std::int32_t value);
  void SetCoordinate(tUnitField field, double value);

  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = tVEKUnitRec;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = tVEKUnitRec;

    const_iterator(const ArrayOfVEKUnits* units, std::size_t i) : units_(units), i_(i) {}
    tVEKUnitRec operator*() const { return (*units_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++i_;
      return before;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.i_ == b.i_; }

   private:
    const ArrayOfVEKUnits* units_;
    std::size_t i_;
  };
  using iterator = const_iterator;
  using value_type = tVEKUnitRec;

  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  friend bool operator==(const ArrayOfVEKUnits& a, const ArrayOfVEKUnits& b);

 private:
  // 8 bytes a unit: where its fields begin in fields_ (they end where the next unit's
  // begin), and its code.
  struct tUnit {
    std::uint32_t FieldsAt = 0;
    char Code[kUnitCodeCapacity] = {};
    std::uint8_t CodeLength = 0;
  };

  void AppendField(tUnitField field, const void* value, std::size_t size);
  std::size_t FieldsEnd(std::size_t i) const;

  std::vector<tUnit> units_;
  // Field after field, each a tUnitField byte and its value: a text as a length byte and
  // its bytes, a number as 4 bytes, a coordinate as 8. A later one of the same field wins.
  std::string fields_;
};

}  // namespace VEKLib
