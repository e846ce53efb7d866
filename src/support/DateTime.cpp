#include "support/DateTime.h"

#include <array>
#include <cctype>
#include <cmath>
#include <ctime>
#include <mutex>

namespace brix32 {
namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

// Days from 0001-01-01 (day 1) in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d) {
  // Howard Hinnant's algorithm, shifted so that 1899-12-30 is 0.
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;  // 25569 = days 1899-12-30 .. 1970-01-01
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468 - 25569;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::mutex gClockMutex;
std::function<TDateTime()> gNowSource;
std::function<std::uint64_t()> gTickSource;

TDateTime SystemNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return UnixMsToDateTime(static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
}

std::uint64_t SystemTicks() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec / 1000000);
}

constexpr std::array<const char*, 7> kShortDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> kLongDays{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> kShortMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kLongMonths{"January",   "February", "March",    "April",
                                                  "May",       "June",     "July",     "August",
                                                  "September", "October",  "November", "December"};

void AppendPadded(std::string& out, long value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (value < 0) out += '-';
  for (int i = static_cast<int>(digits.size()); i < width; ++i) out += '0';
  out += digits;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

TDateTime EncodeDateTime(const tDateTimeParts& p) {
  const double days = static_cast<double>(DaysFromCivil(p.Year, p.Month, p.Day));
  const double time = (p.Hour * 3600000.0 + p.Minute * 60000.0 + p.Second * 1000.0 + p.MilliSecond) / 86400000.0;
  // Before 1899-12-30 the fraction counts away from zero, as the format has always done.
  return days >= 0 ? days + time : days - time;
}

tDateTimeParts DecodeDateTime(TDateTime dt) {
  tDateTimeParts p;
  // Work in whole milliseconds so that 0.999999 days does not print as 23:59:59.1000.
  const double absolute = std::fabs(dt);
  std::int64_t ms = std::llround(absolute * 86400000.0);
  std::int64_t days = ms / 86400000;
  std::int64_t rest = ms % 86400000;
  if (dt < 0) days = -days;
  CivilFromDays(days, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  p.Minute = static_cast<int>(rest / 60000);
  rest %= 60000;
  p.Second = static_cast<int>(rest / 1000);
  p.MilliSecond = static_cast<int>(rest % 1000);
  return p;
}

int DayOfWeek(TDateTime dt) {
  const std::int64_t days = static_cast<std::int64_t>(std::floor(dt + 1e-9));
  // Day 0 (30 Dec 1899) was a Saturday.
  std::int64_t w = (days + 6) % 7;
  if (w < 0) w += 7;
  return static_cast<int>(w) + 1;
}

std::string ShortDayName(int dayOfWeek) {
  if (dayOfWeek < 1 || dayOfWeek > 7) return {};
  return kShortDays[static_cast<std::size_t>(dayOfWeek - 1)];
}

std::string FormatDateTime(std::string_view format, TDateTime dt) {
  const tDateTimeParts p = DecodeDateTime(dt);
  std::string out;
  bool lastWasHour = false;
  std::size_t i = 0;
  auto runOf = [&](char lower) {
    std::size_t n = 0;
    while (i + n < format.size() && std::tolower(static_cast<unsigned char>(format[i + n])) == lower) ++n;
    return n;
  };
  while (i < format.size()) {
    const char c = format[i];
    const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '"' || c == '\'') {
      const std::size_t end = format.find(c, i + 1);
      const std::size_t stop = end == std::string_view::npos ? format.size() : end;
      out.append(format.substr(i + 1, stop - i - 1));
      i = stop == format.size() ? stop : stop + 1;
      continue;
    }
    if (lc == 'a' && format.substr(i).size() >= 5) {
      std::string five(format.substr(i, 5));
      for (char& ch : five) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (five == "am/pm") {
        out += p.Hour < 12 ? "am" : "pm";
        i += 5;
        continue;
      }
    }
    switch (lc) {
      case 'd': {
        const std::size_t n = runOf('d');
        if (n == 1)
          AppendPadded(out, p.Day, 1);
        else if (n == 2)
          AppendPadded(out, p.Day, 2);
        else if (n == 3)
          out += ShortDayName(DayOfWeek(dt));
        else
          out += kLongDays[static_cast<std::size_t>(DayOfWeek(dt) - 1)];
        i += n > 4 ? 4 : n;
        lastWasHour = false;
        continue;
      }
      case 'm': {
        std::size_t n = runOf('m');
        if (n > 4) n = 4;
        if (lastWasHour && n <= 2) {
          AppendPadded(out, p.Minute, static_cast<int>(n));
        } else if (n <= 2) {
          AppendPadded(out, p.Month, static_cast<int>(n));
        } else if (n == 3) {
          out += kShortMonths[static_cast<std::size_t>(p.Month - 1)];
        } else {
          out += kLongMonths[static_cast<std::size_t>(p.Month - 1)];
        }
        i += n;
        lastWasHour = false;
        continue;
      }
      case 'y': {
        const std::size_t n = runOf('y');
        if (n <= 2)
          AppendPadded(out, p.Year % 100, 2);
        else
          AppendPadded(out, p.Year, 4);
        i += n;
        lastWasHour = false;
        continue;
      }
      case 'h':
      case 'n':
      case 's':
      case 'z': {
        // One digit, or all of them (three for the milliseconds) when the run is that long.
        const int value = lc == 'h' ? p.Hour : lc == 'n' ? p.Minute : lc == 's' ? p.Second : p.MilliSecond;
        const std::size_t all = lc == 'z' ? 3 : 2;
        const std::size_t width = runOf(lc) >= all ? all : 1;
        AppendPadded(out, value, static_cast<int>(width));
        i += width;
        lastWasHour = lc == 'h';
        continue;
      }
      default:
        // Separators and other characters stand as they are; they do not end an hour run,
        // so "hh:mm" still reads mm as minutes.
        out += c;
        ++i;
        continue;
    }
  }
  return out;
}

std::optional<TDateTime> TryStrToDateTime(std::string_view text) {
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  auto number = [&](int maxDigits, int& value, int& digits) {
    value = 0;
    digits = 0;
    while (i < text.size() && digits < maxDigits && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + (text[i] - '0');
      ++i;
      ++digits;
    }
    return digits > 0;
  };
  auto expect = [&](char c) {
    if (i < text.size() && text[i] == c) {
      ++i;
      return true;
    }
    return false;
  };

  skipBlanks();
  int day = 0, month = 0, year = 0, nd = 0;
  if (!number(2, day, nd) || !expect('/')) return std::nullopt;
  if (!number(2, month, nd) || !expect('/')) return std::nullopt;
  if (!number(4, year, nd)) return std::nullopt;
  if (nd <= 2) {
    const int thisYear = DecodeDateTime(Now()).Year;
    const int threshold = thisYear - 50;
    year += threshold / 100 * 100;
    if (year < threshold) year += 100;
  }
  if (!IsValidDate(year, month, day)) return std::nullopt;

  tDateTimeParts p;
  p.Year = year;
  p.Month = month;
  p.Day = day;
  skipBlanks();
  if (i < text.size()) {
    int h = 0, n = 0, s = 0, z = 0;
    if (!number(2, h, nd) || !expect(':') || !number(2, n, nd)) return std::nullopt;
    if (expect(':')) {
      if (!number(2, s, nd)) return std::nullopt;
      if (expect('.') && !number(3, z, nd)) return std::nullopt;
    }
    if (h > 23 || n > 59 || s > 59) return std::nullopt;
    p.Hour = h;
    p.Minute = n;
    p.Second = s;
    p.MilliSecond = z;
    skipBlanks();
    if (i != text.size()) return std::nullopt;
  }
  return EncodeDateTime(p);
}

TDateTime UnixMsToDateTime(std::int64_t UnixMs) {
  // Floor division, so that a time before 1970 keeps its milliseconds positive.
  const std::int64_t ms = ((UnixMs % 1000) + 1000) % 1000;
  const time_t seconds = static_cast<time_t>((UnixMs - ms) / 1000);
  tm local{};
  localtime_r(&seconds, &local);
  tDateTimeParts p;
  p.Year = local.tm_year + 1900;
  p.Month = local.tm_mon + 1;
  p.Day = local.tm_mday;
  p.Hour = local.tm_hour;
  p.Minute = local.tm_min;
  p.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
  p.MilliSecond = static_cast<int>(ms);
  return EncodeDateTime(p);
}

TDateTime Now() {
  std::function<TDateTime()> source;
  {
    std::lock_guard lock(gClockMutex);
    source = gNowSource;
  }
  return source ? source() : SystemNow();
}

void SetNowSource(std::function<TDateTime()> source) {
  std::lock_guard lock(gClockMutex);
  gNowSource = std::move(source);
}

std::uint64_t TickCount64() {
  std::function<std::uint64_t()> source;
  {
    std::lock_guard lock(gClockMutex);
    source = gTickSource;
  }
  return source ? source() : SystemTicks();
}

void SetTickSource(std::function<std::uint64_t()> source) {
  std::lock_guard lock(gClockMutex);
  gTickSource = std::move(source);
}

}  // namespace brix32
