// Text to numbers, dates and booleans (StrTo*, TryStrTo*). Every parser takes the whole text
// (surrounding blanks allowed) and fails on anything else; the throwing forms turn a failure
// into EConvertError with the text quoted.
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "core/ascii_text.h"
#include "core/exception.h"
#include "core/text_format.h"
#include "core/text_trim.h"

namespace lgoty::core {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return !prefix.empty() && s.size() >= prefix.size() && AsciiSameText(s.substr(0, prefix.size()), prefix);
}

// Decimal or hexadecimal ("$1F", "0x1F") integer with an optional sign. Hexadecimal digits
// give the bit pattern, so "$FFFFFFFF" is -1 as a 32-bit integer; `bits` is 32 or 64.
bool ParseInteger(std::string_view text, int bits, int64_t& out) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (base == 16) {
    if (bits == 32) {
      if (magnitude > 0xFFFFFFFFull) return false;
      magnitude = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(magnitude)));
    }
    const int64_t v = static_cast<int64_t>(magnitude);
    out = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(v)) : v;
    return true;
  }
  const uint64_t limit = bits == 32 ? 0x7FFFFFFFull : 0x7FFFFFFFFFFFFFFFull;
  if (magnitude > limit + (negative ? 1 : 0)) return false;
  out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// The pieces of a decimal number text: [sign] digits [separator digits] [e [sign] digits].
struct NumberText {
  bool negative = false;
  std::string mantissa;  // all mantissa digits
  int point = 0;         // digits of mantissa before the decimal point
  int exponent = 0;
};

bool LexNumber(std::string_view text, const FormatSettings& fs, NumberText& n) {
  text = Trim(text);
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) n.negative = text[i++] == '-';
  while (i < text.size() && IsDigit(text[i])) n.mantissa += text[i++];
  n.point = static_cast<int>(n.mantissa.size());
  const std::string& sep = fs.DecimalSeparator.empty() ? std::string(".") : fs.DecimalSeparator;
  if (text.substr(i, sep.size()) == sep) {
    i += sep.size();
    while (i < text.size() && IsDigit(text[i])) n.mantissa += text[i++];
  }
  if (n.mantissa.empty()) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
    if (i >= text.size() || !IsDigit(text[i])) return false;
    int64_t e = 0;
    while (i < text.size() && IsDigit(text[i])) {
      if (e < 100000) e = e * 10 + (text[i] - '0');
      ++i;
    }
    n.exponent = static_cast<int>(exp_negative ? -e : e);
  }
  return i == text.size();
}

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

int CurrentYear() {
  int year = 0, month = 0, day = 0;
  DecodeDate(Now(), year, month, day);
  return year;
}

// A year written with one or two digits falls in the 100 years from 50 years before now.
int ExpandYear(int year, int digits) {
  if (digits > 2) return year;
  const int century_start = CurrentYear() - 50;
  year += century_start / 100 * 100;
  if (year < century_start) year += 100;
  return year;
}

// Reads an unsigned number (at most 9 digits) after optional blanks.
bool ScanNumber(std::string_view s, size_t& i, int& value, int& digits) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  value = 0;
  digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (digits == 9) return false;
    value = value * 10 + (s[i++] - '0');
    ++digits;
  }
  return digits > 0;
}

bool ScanText(std::string_view s, size_t& i, std::string_view what) {
  size_t j = i;
  while (j < s.size() && IsBlank(s[j])) ++j;
  if (what.empty() || s.substr(j, what.size()) != what) return false;
  i = j + what.size();
  return true;
}

enum class DateOrder { DMY, MDY, YMD };

DateOrder OrderOf(std::string_view short_date_format) {
  std::string letters;
  for (char c : short_date_format) {
    const char u = AsciiUpper(c);
    if ((u == 'D' || u == 'M' || u == 'Y') && letters.find(u) == std::string::npos) letters += u;
  }
  if (letters.rfind("Y", 0) == 0) return DateOrder::YMD;
  if (letters.rfind("M", 0) == 0) return DateOrder::MDY;
  return DateOrder::DMY;
}

// Scans a date at i; on success i is after it.
bool ScanDate(std::string_view s, size_t& i, TDateTime& out, const FormatSettings& fs) {
  int n[3] = {0, 0, 0};
  int len[3] = {0, 0, 0};
  int count = 0;
  if (!ScanNumber(s, i, n[0], len[0])) return false;
  count = 1;
  while (count < 3) {
    size_t j = i;
    if (!ScanText(s, j, fs.DateSeparator) || !ScanNumber(s, j, n[count], len[count])) break;
    i = j;
    ++count;
  }
  if (count < 2) return false;
  const DateOrder order = OrderOf(fs.ShortDateFormat);
  int year = 0, month = 0, day = 0, year_digits = 4;
  if (count == 2) {
    year = CurrentYear();
    if (order == DateOrder::DMY) {
      day = n[0];
      month = n[1];
    } else {
      month = n[0];
      day = n[1];
    }
  } else {
    switch (order) {
      case DateOrder::DMY: day = n[0]; month = n[1]; year = n[2]; year_digits = len[2]; break;
      case DateOrder::MDY: month = n[0]; day = n[1]; year = n[2]; year_digits = len[2]; break;
      case DateOrder::YMD: year = n[0]; month = n[1]; day = n[2]; year_digits = len[0]; break;
    }
    year = ExpandYear(year, year_digits);
  }
  return TryEncodeDate(year, month, day, out);
}

// Scans "h:nn[:ss[.zzz]]" with an optional AM/PM mark ("3 PM" needs no minutes).
bool ScanTime(std::string_view s, size_t& i, TDateTime& out, const FormatSettings& fs) {
  int hour = 0, minute = 0, second = 0, msec = 0, digits = 0;
  if (!ScanNumber(s, i, hour, digits)) return false;
  bool has_minutes = false;
  size_t j = i;
  if (ScanText(s, j, fs.TimeSeparator) && ScanNumber(s, j, minute, digits)) {
    i = j;
    has_minutes = true;
    if (ScanText(s, j, fs.TimeSeparator) && ScanNumber(s, j, second, digits)) {
      i = j;
      size_t k = i;
      if ((ScanText(s, k, fs.DecimalSeparator) || ScanText(s, k, ".")) && k < s.size() &&
          IsDigit(s[k])) {
        // Fraction of a second; digits past the milliseconds round.
        double fraction = 0;
        double scale = 0.1;
        while (k < s.size() && IsDigit(s[k])) {
          fraction += (s[k++] - '0') * scale;
          scale /= 10;
        }
        msec = static_cast<int>(std::lround(fraction * 1000));
        if (msec > 999) msec = 999;
        i = k;
      }
    }
  }
  // AM/PM mark: the settings' texts, "AM"/"PM", "A"/"P", any case.
  size_t k = i;
  while (k < s.size() && IsBlank(s[k])) ++k;
  const std::string_view rest = s.substr(k);
  int half = 0;  // 1 = AM, 2 = PM
  size_t mark_length = 0;
  for (const auto& [mark, which] :
       {std::pair<std::string_view, int>{fs.TimeAMString, 1}, {fs.TimePMString, 2}, {"AM", 1},
        {"PM", 2}, {"A", 1}, {"P", 2}}) {
    if (StartsWithNoCase(rest, mark)) {
      half = which;
      mark_length = mark.size();
      break;
    }
  }
  if (half != 0) {
    if (hour > 12) return false;
    if (hour == 12) hour = 0;
    if (half == 2) hour += 12;
    i = k + mark_length;
  } else if (!has_minutes) {
    return false;
  }
  return TryEncodeTime(hour, minute, second, msec, out);
}

bool AtEnd(std::string_view s, size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i == s.size();
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

bool TryStrToInt(std::string_view text, int32_t& out) {
  int64_t value = 0;
  if (!ParseInteger(text, 32, value)) return false;
  out = static_cast<int32_t>(value);
  return true;
}

bool TryStrToInt64(std::string_view text, int64_t& out) { return ParseInteger(text, 64, out); }

bool TryStrToFloat(std::string_view text, double& out, const FormatSettings& fs) {
  NumberText n;
  if (!LexNumber(text, fs, n)) return false;
  std::string normalized = n.negative ? "-" : "";
  normalized += n.mantissa.substr(0, static_cast<size_t>(n.point));
  normalized += '.';
  normalized += n.mantissa.substr(static_cast<size_t>(n.point));
  normalized += 'e' + std::to_string(n.exponent);
  const double value = strtod_l(normalized.c_str(), nullptr, CLocale());
  if (!std::isfinite(value)) return false;  // overflow; underflow gives 0 and is accepted
  out = value;
  return true;
}

bool TryStrToCurr(std::string_view text, int64_t& scaled_by_10000, const FormatSettings& fs) {
  NumberText n;
  if (!LexNumber(text, fs, n)) return false;
  // Digits before the point of value * 10^4.
  const int64_t int_digits = static_cast<int64_t>(n.point) + n.exponent + 4;
  const size_t first = n.mantissa.find_first_not_of('0');
  if (first != std::string::npos && int_digits - static_cast<int64_t>(first) > 19) return false;
  unsigned __int128 value = 0;
  for (int64_t k = 0; k < int_digits; ++k) {
    const char c = k < static_cast<int64_t>(n.mantissa.size()) ? n.mantissa[static_cast<size_t>(k)] : '0';
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (int_digits >= 0 && int_digits < static_cast<int64_t>(n.mantissa.size()) &&
      n.mantissa[static_cast<size_t>(int_digits)] >= '5') {
    ++value;  // half away from zero at the fourth decimal
  }
  const unsigned __int128 limit = static_cast<unsigned __int128>(INT64_MAX) + (n.negative ? 1 : 0);
  if (value > limit) return false;
  const uint64_t v = static_cast<uint64_t>(value);
  scaled_by_10000 = n.negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

bool TryStrToDate(std::string_view text, TDateTime& out, const FormatSettings& fs) {
  size_t i = 0;
  TDateTime value = 0;
  if (!ScanDate(text, i, value, fs) || !AtEnd(text, i)) return false;
  out = value;
  return true;
}

bool TryStrToTime(std::string_view text, TDateTime& out, const FormatSettings& fs) {
  size_t i = 0;
  TDateTime value = 0;
  if (!ScanTime(text, i, value, fs) || !AtEnd(text, i)) return false;
  out = value;
  return true;
}

bool TryStrToDateTime(std::string_view text, TDateTime& out, const FormatSettings& fs) {
  size_t i = 0;
  TDateTime date = 0;
  TDateTime time = 0;
  if (ScanDate(text, i, date, fs)) {
    if (AtEnd(text, i)) {
      out = date;
      return true;
    }
    if (i < text.size() && IsBlank(text[i]) && ScanTime(text, i, time, fs) && AtEnd(text, i)) {
      // Before day 0 the time counts forward from midnight, so it is subtracted.
      out = date < 0 ? date - time : date + time;
      return true;
    }
    return false;
  }
  i = 0;
  if (ScanTime(text, i, time, fs) && AtEnd(text, i)) {
    out = time;
    return true;
  }
  return false;
}

bool TryStrToBool(std::string_view text, bool& out, const FormatSettings& fs) {
  const std::string_view t = Trim(text);
  if (AsciiSameText(t, "True") || (!fs.TrueBoolStr.empty() && AsciiSameText(t, fs.TrueBoolStr))) {
    out = true;
    return true;
  }
  if (AsciiSameText(t, "False") || (!fs.FalseBoolStr.empty() && AsciiSameText(t, fs.FalseBoolStr))) {
    out = false;
    return true;
  }
  double number = 0;
  if (TryStrToFloat(t, number, fs)) {
    out = number != 0;
    return true;
  }
  return false;
}

int32_t StrToInt(std::string_view text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) throw EConvertError(Quoted(text) + " is not a valid integer value");
  return value;
}

int64_t StrToInt64(std::string_view text) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value)) throw EConvertError(Quoted(text) + " is not a valid integer value");
  return value;
}

double StrToFloat(std::string_view text, const FormatSettings& fs) {
  double value = 0;
  if (!TryStrToFloat(text, value, fs)) {
    throw EConvertError(Quoted(text) + " is not a valid floating point value");
  }
  return value;
}

TDateTime StrToDate(std::string_view text, const FormatSettings& fs) {
  TDateTime value = 0;
  if (!TryStrToDate(text, value, fs)) throw EConvertError(Quoted(text) + " is not a valid date");
  return value;
}

TDateTime StrToTime(std::string_view text, const FormatSettings& fs) {
  TDateTime value = 0;
  if (!TryStrToTime(text, value, fs)) throw EConvertError(Quoted(text) + " is not a valid time");
  return value;
}

TDateTime StrToDateTime(std::string_view text, const FormatSettings& fs) {
  TDateTime value = 0;
  if (!TryStrToDateTime(text, value, fs)) {
    throw EConvertError(Quoted(text) + " is not a valid date and time");
  }
  return value;
}

bool StrToBool(std::string_view text, const FormatSettings& fs) {
  bool value = false;
  if (!TryStrToBool(text, value, fs)) throw EConvertError(Quoted(text) + " is not a valid boolean value");
  return value;
}

std::string BoolToStr(bool value, bool use_bool_strs) {
  if (use_bool_strs) return value ? "True" : "False";
  return value ? "-1" : "0";
}

}  // namespace lgoty::core
