// Calendar arithmetic on TDateTime values. Dates convert through day numbers (1 = 1 January
// 0001, proleptic Gregorian); the civil-date algorithm is the era-based one (400-year cycles
// of 146 097 days) so it works for every year without loops or tables.
#include "core/date_time.h"

#include <cmath>
#include <ctime>

#include "core/exception.h"

namespace lgoty::core {
namespace {

// Day number of 1 January 1970, the epoch of the civil-date algorithm below.
constexpr int64_t kDayNumberOfUnixEpoch = 719'163;
// Day numbers of 1 January 0001 and 31 December 9999.
constexpr int64_t kMinDayNumber = 1;
constexpr int64_t kMaxDayNumber = 3'652'059;
// TDateTime values whose whole days cannot be a day number of years 1..9999 are rejected
// before any integer conversion, so that NaN, infinities and 1e300 stay defined.
constexpr double kMaxAbsDays = 4'000'000.0;

constexpr int kCumulativeDays[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// Whole days (toward zero) and milliseconds of the time of day (of the absolute fraction,
// rounded). A time that rounds up to 24:00 moves to 00:00 of the next day, so that date and
// time decoded from one value always agree. REQUIRES: |value| <= kMaxAbsDays.
struct DaySplit {
  int64_t days;
  int64_t msecs;
};

DaySplit Split(TDateTime value) {
  const double whole = std::trunc(value);
  DaySplit s{static_cast<int64_t>(whole),
             static_cast<int64_t>(std::llround(std::fabs(value - whole) * kMSecsPerDay))};
  if (s.msecs >= kMSecsPerDay) {
    s.msecs -= kMSecsPerDay;
    s.days += 1;
  }
  return s;
}

bool InRange(TDateTime value) { return std::isfinite(value) && std::fabs(value) <= kMaxAbsDays; }

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  const int* table = kCumulativeDays[IsLeapYear(year) ? 1 : 0];
  return table[month] - table[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  const int64_t day_number =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
      kDayNumberOfUnixEpoch;
  out = static_cast<double>(day_number - kDayNumberOfDay0);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result)) throw EConvertError("Invalid argument to date encode");
  return result;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      msec < 0 || msec > 999) {
    return false;
  }
  const int64_t ms = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + msec;
  out = static_cast<double>(ms) / kMSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime result = 0;
  if (!TryEncodeTime(hour, minute, second, msec, result)) {
    throw EConvertError("Invalid argument to time encode");
  }
  return result;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  year = month = day = 0;
  if (!InRange(value)) return;
  const int64_t day_number = Split(value).days + kDayNumberOfDay0;
  if (day_number < kMinDayNumber || day_number > kMaxDayNumber) return;
  CivilFromDays(day_number - kDayNumberOfUnixEpoch, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  hour = minute = second = msec = 0;
  if (!InRange(value)) return;
  int64_t ms = Split(value).msecs;
  msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  second = static_cast<int>(ms % 60);
  ms /= 60;
  minute = static_cast<int>(ms % 60);
  hour = static_cast<int>(ms / 60);
}

int DayOfWeek(TDateTime value) {
  if (!InRange(value)) return 0;
  const int64_t day_number = Split(value).days + kDayNumberOfDay0;
  // Day number 1 (1 January 0001) was a Monday.
  return static_cast<int>(day_number - FloorDiv(day_number, 7) * 7) + 1;
}

TDateTime DateOf(TDateTime value) {
  if (!InRange(value)) return std::isnan(value) ? value : std::trunc(value);
  return static_cast<double>(Split(value).days);
}

TDateTime TimeOf(TDateTime value) {
  if (!InRange(value)) return 0;
  return static_cast<double>(Split(value).msecs) / kMSecsPerDay;
}

int64_t DateToDayNumber(TDateTime value) {
  if (!std::isfinite(value)) return 0;
  if (std::fabs(value) > kMaxAbsDays) {
    const auto limit = static_cast<int64_t>(kMaxAbsDays);
    return (value < 0 ? -limit : limit) + kDayNumberOfDay0;
  }
  return Split(value).days + kDayNumberOfDay0;
}

TDateTime DayNumberToDate(int64_t day_number) {
  return static_cast<double>(day_number - kDayNumberOfDay0);
}

int64_t TimeToMSecs(TDateTime value) { return InRange(value) ? Split(value).msecs : 0; }

double DateTimeToMSecs(TDateTime value) {
  if (!InRange(value)) return 0;
  const DaySplit s = Split(value);
  return static_cast<double>((s.days + kDayNumberOfDay0) * kMSecsPerDay + s.msecs);
}

TDateTime MSecsToDateTime(double msecs) {
  if (!std::isfinite(msecs) || std::fabs(msecs) > kMaxAbsDays * 2 * kMSecsPerDay) return 0;
  const int64_t total = std::llround(msecs);
  const int64_t day_number = FloorDiv(total, kMSecsPerDay);
  const int64_t ms = total - day_number * kMSecsPerDay;
  const int64_t days = day_number - kDayNumberOfDay0;
  // Before day 0 the fraction still counts forward from midnight: the value is days - time.
  const double fraction = static_cast<double>(ms) / kMSecsPerDay;
  return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  TDateTime date = 0;
  TDateTime time = 0;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
  // A leap second (tm_sec 60) counts as the last second of the minute.
  TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                static_cast<int>(ts.tv_nsec / 1'000'000), time);
  return date + time;
}

TDateTime Date() { return DateOf(Now()); }

}  // namespace lgoty::core
