// Dates as the SQL side writes them: the digits written directly must be what
// "%04d-%02d-%02d" makes of the decoded date, for every date a register can hold, and they
// must read back to the same day.
#include "sql/iso_date.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lgoty::sql {
namespace {

std::string Formatted(core::TDateTime value) {
  int year = 0, month = 0, day = 0;
  core::DecodeDate(value, year, month, day);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  return buffer;
}

TEST(IsoDate, WritesWhatTheFormatWritesAndReadsBack) {
  const double first = core::EncodeDate(1, 1, 1);
  const double last = core::EncodeDate(9999, 12, 31);
  // Every 13th day over the whole range, every day of 1899-1901 (around day 0) and 2000
  // (a leap century), and times of day, which the date leaves out.
  std::vector<double> days;
  for (double d = first; d <= last; d += 13) days.push_back(d);
  for (double d = core::EncodeDate(1899, 1, 1); d <= core::EncodeDate(1901, 12, 31); ++d) {
    days.push_back(d);
  }
  for (double d = core::EncodeDate(2000, 1, 1); d <= core::EncodeDate(2000, 12, 31); ++d) {
    days.push_back(d);
  }
  days.push_back(last);
  for (double day : days) {
    for (double time : {0.0, 0.25, 0.999}) {
      const double value = day >= 0 ? day + time : day - time;
      const std::string text = IsoDate(value);
      ASSERT_EQ(text, Formatted(value)) << value;
      core::TDateTime back = 0;
      ASSERT_TRUE(ParseIsoDateTime(text, back)) << text;
      EXPECT_EQ(back, day) << text;
    }
  }
}

}  // namespace
}  // namespace lgoty::sql
