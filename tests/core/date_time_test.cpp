#include "core/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/exception.h"

namespace lgoty::core {
namespace {

struct Ymd {
  int year, month, day;
  bool operator==(const Ymd&) const = default;
};

Ymd DateParts(TDateTime value) {
  Ymd d{};
  DecodeDate(value, d.year, d.month, d.day);
  return d;
}

TEST(Calendar, LeapYearsFollowTheGregorianCenturyRule) {
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 12), 31);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
  EXPECT_EQ(DaysInMonth(2023, 0), 0);
}

TEST(Calendar, EncodeDateCountsDaysFrom30December1899) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  EXPECT_EQ(DateParts(45351.0), (Ymd{2024, 2, 29}));
  EXPECT_EQ(DateParts(-693593.0), (Ymd{1, 1, 1}));
  EXPECT_EQ(DateParts(2958465.0), (Ymd{9999, 12, 31}));
}

TEST(Calendar, EveryDayOfFourCenturiesRoundTrips) {
  // Walks 1600-03-01 .. 2000-02-29 day by day: encode and decode must agree with counting.
  TDateTime value = EncodeDate(1600, 3, 1);
  Ymd d{1600, 3, 1};
  for (int i = 0; i < 146097; ++i, value += 1) {
    ASSERT_EQ(DateParts(value), d) << value;
    if (++d.day > DaysInMonth(d.year, d.month)) {
      d.day = 1;
      if (++d.month > 12) {
        d.month = 1;
        ++d.year;
      }
    }
  }
  EXPECT_EQ(d, (Ymd{2000, 3, 1}));
}

TEST(Calendar, ImpossibleDatesAndTimesAreRefused) {
  TDateTime out = 123;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, out));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, out));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, out));
  EXPECT_FALSE(TryEncodeDate(2024, 4, 31, out));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, out));
  EXPECT_FALSE(TryEncodeTime(12, 60, 0, 0, out));
  EXPECT_FALSE(TryEncodeTime(12, 0, 0, 1000, out));
  EXPECT_EQ(out, 123);
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(-1, 0, 0, 0), EConvertError);
}

TEST(Calendar, TimeOfDayRoundsToTheMillisecondAndCarriesIntoTheDate) {
  int h, m, s, ms;
  DecodeTime(EncodeTime(13, 5, 7, 89), h, m, s, ms);
  EXPECT_EQ(std::vector<int>({h, m, s, ms}), std::vector<int>({13, 5, 7, 89}));
  // 23:59:59.9999999 rounds to midnight of the next day, both in the date and the time.
  const TDateTime almost = EncodeDate(2024, 2, 28) + 0.99999999999;
  DecodeTime(almost, h, m, s, ms);
  EXPECT_EQ(std::vector<int>({h, m, s, ms}), std::vector<int>({0, 0, 0, 0}));
  EXPECT_EQ(DateParts(almost), (Ymd{2024, 2, 29}));
  EXPECT_EQ(TimeToMSecs(0.5), 43'200'000);
}

TEST(Calendar, NegativeValuesKeepTheFractionAsTimeOfDay) {
  // -1.25 is one day before day 0, at 06:00.
  EXPECT_EQ(DateParts(-1.25), (Ymd{1899, 12, 29}));
  EXPECT_EQ(DateOf(-1.25), -1.0);
  EXPECT_EQ(TimeOf(-1.25), 0.25);
  int h, m, s, ms;
  DecodeTime(-1.25, h, m, s, ms);
  EXPECT_EQ(h, 6);
  EXPECT_EQ(DateOf(45351.75), 45351.0);
  EXPECT_EQ(TimeOf(45351.75), 0.75);
}

TEST(Calendar, DayOfWeekStartsOnSunday) {
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 2, 29)), 5);  // Thursday
  EXPECT_EQ(DayOfWeek(0), 7);                         // 30 December 1899, Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);       // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 6)), 1);   // Sunday
  EXPECT_EQ(DayOfWeek(-1.25), 6);                     // Friday 29 December 1899
}

TEST(DayNumbers, DayOneIsFirstJanuaryOfYearOne) {
  EXPECT_EQ(DateToDayNumber(EncodeDate(1, 1, 1)), 1);
  EXPECT_EQ(DateToDayNumber(0.75), kDayNumberOfDay0);
  EXPECT_EQ(DateToDayNumber(-1.25), kDayNumberOfDay0 - 1);
  EXPECT_EQ(DayNumberToDate(1), EncodeDate(1, 1, 1));
  // Julian day numbers: 1 January 0001 is day 1 721 426.
  EXPECT_EQ(DateToDayNumber(EncodeDate(1, 1, 1)) + kJulianDayOffset, 1'721'426);
  EXPECT_EQ(DayNumberToDate(1'721'426 - kJulianDayOffset), EncodeDate(1, 1, 1));
  EXPECT_EQ(DateToDayNumber(EncodeDate(2000, 1, 1)) + kJulianDayOffset, 2'451'545);
}

TEST(DayNumbers, MillisecondTimestampsRoundTrip) {
  const TDateTime noon = EncodeDate(2024, 2, 29) + 0.5;
  EXPECT_EQ(DateTimeToMSecs(noon), 63'844'891'200'000.0);
  EXPECT_EQ(MSecsToDateTime(63'844'891'200'000.0), noon);
  const TDateTime with_ms = EncodeDate(1970, 1, 1) + EncodeTime(1, 2, 3, 456);
  EXPECT_EQ(DateTimeToMSecs(with_ms), 719'163.0 * kMSecsPerDay + 3'723'456);
  EXPECT_NEAR(MSecsToDateTime(DateTimeToMSecs(with_ms)), with_ms, 1e-9);
  EXPECT_EQ(MSecsToDateTime(DateTimeToMSecs(-1.25)), -1.25);
}

TEST(DayNumbers, ValuesOutsideTheCalendarStayDefined) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {1e300, -1e300, nan, std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(DateParts(bad), (Ymd{0, 0, 0})) << bad;
    EXPECT_EQ(TimeToMSecs(bad), 0);
    EXPECT_EQ(DateTimeToMSecs(bad), 0.0);
  }
  EXPECT_EQ(DateParts(EncodeDate(9999, 12, 31) + 1), (Ymd{0, 0, 0}));
  EXPECT_EQ(MSecsToDateTime(nan), 0.0);
  EXPECT_EQ(MSecsToDateTime(1e300), 0.0);
}

TEST(Clock, NowIsTheLocalDateAndTime) {
  const TDateTime now = Now();
  EXPECT_GT(now, EncodeDate(2020, 1, 1));
  EXPECT_LT(now, EncodeDate(2200, 1, 1));
  const TDateTime today = Date();
  EXPECT_EQ(today, std::floor(today));
  EXPECT_LE(today, now);
  EXPECT_LT(now - today, 1.0 + 1e-6);
}

}  // namespace
}  // namespace lgoty::core
