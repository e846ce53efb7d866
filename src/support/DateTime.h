#pragma once
// Date-times as day counts since 30 Dec 1899 (local time), with the time of day as the
// fraction; the task IDs and the page rules count days in exactly this way.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brix32 {

using TDateTime = double;

struct tDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
};

TDateTime EncodeDateTime(const tDateTimeParts& p);
tDateTimeParts DecodeDateTime(TDateTime dt);
bool IsValidDate(int year, int month, int day);

// 1 = Sunday ... 7 = Saturday, as the weekday names are ordered.
int DayOfWeek(TDateTime dt);
// "Mon".."Sun": fixed English abbreviations, whatever the locale says.
std::string ShortDayName(int dayOfWeek);

// Formats with the letters d dd ddd dddd m mm mmm mmmm yy yyyy h hh n nn s ss z zzz,
// "am/pm", quoted literals, and "/" ":" as the (fixed) date and time separators. Letters
// are case-insensitive; m/mm right after an h or hh means minutes.
std::string FormatDateTime(std::string_view format, TDateTime dt);

// Reads "d/m/y" optionally followed by "h:n[:s[.z]]", day first, with fixed separators.
// A year of one or two digits takes the century that puts it within 50 years of today.
std::optional<TDateTime> TryStrToDateTime(std::string_view text);

// A Unix time in milliseconds (as file times and the system clock count) as local time.
TDateTime UnixMsToDateTime(std::int64_t UnixMs);

// The clock. Tests replace it; an empty function restores the system clock.
TDateTime Now();
void SetNowSource(std::function<TDateTime()> source);

// Milliseconds since the machine started (CLOCK_BOOTTIME); replaceable in the same way.
std::uint64_t TickCount64();
void SetTickSource(std::function<std::uint64_t()> source);

}  // namespace brix32
