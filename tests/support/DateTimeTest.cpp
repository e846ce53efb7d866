#include <gtest/gtest.h>

#include "FixedClock.h"
#include "support/DateTime.h"

using namespace brix32;

TEST(DateTime, DayNumbersCountFrom30Dec1899) {
  EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30}), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime({2013, 10, 3}), 41550.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime({1900, 1, 1, 12}), 2.5);
  const tDateTimeParts p = DecodeDateTime(EncodeDateTime({2024, 2, 29, 23, 59, 59, 999}));
  EXPECT_EQ(p.Year, 2024);
  EXPECT_EQ(p.Month, 2);
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.Hour, 23);
  EXPECT_EQ(p.Minute, 59);
  EXPECT_EQ(p.Second, 59);
  EXPECT_EQ(p.MilliSecond, 999);
}

TEST(DateTime, Weekdays) {
  EXPECT_EQ(ShortDayName(DayOfWeek(EncodeDateTime({2024, 1, 21}))), "Sun");
  EXPECT_EQ(ShortDayName(DayOfWeek(EncodeDateTime({2026, 12, 10, 23, 59, 59, 999}))), "Thu");
  EXPECT_EQ(ShortDayName(DayOfWeek(EncodeDateTime({1899, 12, 30}))), "Sat");
}

TEST(FormatDateTime, Letters) {
  const TDateTime t = EncodeDateTime({2024, 1, 21, 15, 36, 7, 123});
  struct Case {
    const char *format, *expected;
  } cases[] = {
      {"yyyymmddhhnnsszzz", "20240121153607123"},
      {"yyyy-mm-dd hh:nn:ss.zzz", "2024-01-21 15:36:07.123"},
      {"dd/mm/yy hh:nn:ss", "21/01/24 15:36:07"},
      {"DD/MM/YY HH:MM:SS", "21/01/24 15:36:07"},  // mm after hh is minutes
      {"HH:MM dd-mm-yy", "15:36 21-01-24"},
      {"ddd", "Sun"},
      {"yyyymmdd", "20240121"},
      {"d/m/yyyy h:n:s", "21/1/2024 15:36:7"},
      {"'at' hh", "at 15"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.format, t), c.expected) << c.format;
}

TEST(FormatDateTime, MillisecondsNeverRoundIntoTheNextSecond) {
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", EncodeDateTime({2024, 1, 1, 23, 59, 59, 999})), "23:59:59.999");
}

TEST(TryStrToDateTime, ReadsDayFirstWithCenturyWindow) {
  corvantest::FixedClock clock(2026, 12, 10);
  struct Case {
    const char* text;
    bool ok;
    tDateTimeParts expected;
  } cases[] = {
      {"03/10/13 14:25", true, {2013, 10, 3, 14, 25}},
      {"3/10/2013", true, {2013, 10, 3}},
      {"31/12/75 00:00", true, {2075, 12, 31}},  // 1975 is more than 50 years back
      {"01/01/76 23:59", true, {1976, 1, 1, 23, 59}},
      {"29/02/24 10:00:30", true, {2024, 2, 29, 10, 0, 30}},
      {"29/02/23 10:00", false, {}},
      {"32/01/24 10:00", false, {}},
      {"01/13/24 10:00", false, {}},
      {"01/01/24 24:00", false, {}},
      {"01/01/24 10:60", false, {}},
      {"01/01/24 10", false, {}},
      {"aa/bb/cc dd:ee", false, {}},
      {"", false, {}},
      {"01/01/24 10:00 junk", false, {}},
  };
  for (const auto& c : cases) {
    const auto got = TryStrToDateTime(c.text);
    ASSERT_EQ(got.has_value(), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(*got, EncodeDateTime(c.expected)) << c.text;
    }
  }
}
