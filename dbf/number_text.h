// Numbers and dates as DBF text fields hold them. The format belongs to the file, not to the
// user's locale: `.` is always the decimal point, there is no grouping, dates are YYYYMMDD.
// All parsers take the text already stripped of padding and never read outside [begin, end).
#pragma once

#include <cstdint>
#include <string>

namespace lgoty::dbf {

// Optional sign and decimal digits only. False for anything else, and on overflow.
bool ParseInteger(const char* begin, const char* end, int64_t& out);
// Optional sign, digits with an optional `.` fraction (at least one digit), optional
// exponent. False for anything else ("3,14", "abc", "inf", "nan").
bool ParseDecimal(const char* begin, const char* end, double& out);
// Characters 1-4 year, 5-6 month, 7-8 day, each a decimal number (a part that does not
// read counts as 1). An impossible date gives the zero date-time (0.0).
double ParseDateText(const char* begin, const char* end);

// Decimal digits of value right-aligned in width characters: "-" before the first digit with
// space padding, "-" in the first position with zero padding ("-000000005"). False when the
// digits and sign need more than width characters.
bool FormatInteger(int64_t value, size_t width, bool zero_pad, std::string& out);
// Fixed-point text with exactly decimals digits after ".", rounded half away from zero on the
// 15 significant digits a double holds (2.675 with 2 decimals gives "2.68"). "-" only when
// a non-zero digit remains. False for NaN and infinities.
bool FormatFixed(double value, int decimals, std::string& out);
// YYYYMMDD of the date part; "00000000" outside years 1..9999.
std::string DateText(double date_time);

}  // namespace lgoty::dbf
