// Date-time values as the whole system exchanges them: a double counting days since
// 30 December 1899 (day 0), the time of day as the fraction. Negative values count back
// from day 0 and their fraction is still the time of day: -1.25 is 29 December 1899 06:00.
//
// The DBF codecs need two further day counts:
//   - day numbers where day 1 is 1 January of year 1 (proleptic Gregorian calendar);
//     day number = whole days of the date-time + kDayNumberOfDay0;
//   - Julian day numbers, where 1 January of year 1 is day 1721426 (= day number + 1721425).
#pragma once

#include <cstdint>

namespace lgoty::core {

using TDateTime = double;

inline constexpr int64_t kMSecsPerDay = 86'400'000;
// Day number (1 = 1 January 0001) of day 0 of TDateTime (30 December 1899).
inline constexpr int64_t kDayNumberOfDay0 = 693'594;
// Julian day number minus day number.
inline constexpr int64_t kJulianDayOffset = 1'721'425;

bool IsLeapYear(int year);
// 28..31; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// Years 1..9999. Try* return false for an impossible date or time instead of throwing;
// the others throw EConvertError.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
// A date-time out of 1..9999 decodes to year 0 month 0 day 0.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
// Rounds to the nearest millisecond. A time that rounds up to 24:00 is 00:00 of the next
// day, and DecodeDate, DayOfWeek, DateOf and TimeOf agree with that.
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);
// The date part (time dropped, sign rules above) and the time part (0 <= t < 1).
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

// Whole days of value as a day number (1 = 1 January 0001), and back. NaN and infinities
// give 0; values beyond 4 000 000 days either side of day 0 are clamped there.
int64_t DateToDayNumber(TDateTime value);
TDateTime DayNumberToDate(int64_t day_number);
// Milliseconds since midnight of value's day (0 .. 86 399 999), rounded.
int64_t TimeToMSecs(TDateTime value);
// Milliseconds since the start of day number 0 (that is, day_number * kMSecsPerDay + msecs);
// this is the count that dBASE 7 timestamps store. And back, rounding to whole milliseconds.
double DateTimeToMSecs(TDateTime value);
TDateTime MSecsToDateTime(double msecs);

// Local date and time now.
TDateTime Now();
TDateTime Date();

}  // namespace lgoty::core
