#include "dbf/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/date_time.h"

namespace lgoty::dbf {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a short unsigned decimal part of a date; false when it is not all digits.
bool ReadDatePart(const char* begin, const char* end, int& out) {
  if (begin >= end) return false;
  int value = 0;
  for (const char* p = begin; p < end; ++p) {
    if (!IsDigit(*p)) return false;
    value = value * 10 + (*p - '0');
  }
  out = value;
  return true;
}

// A plain decimal of at most 15 digits and 22 decimals ([+-]digits[.digits], one point at
// most), the form of every numeric field a register writes: its digits as an integer are
// exact in a double, and so is the power of ten, so one division - rounded once, to nearest -
// gives the double nearest the decimal's value, which is what from_chars gives. False for
// any other text, which the general path reads.
bool ParseShortDecimal(const char* begin, const char* end, double& out) {
  const char* p = begin;
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '+' || *p == '-')) ++p;
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  uint64_t mantissa = 0;
  int digits = 0, decimals = 0;
  bool point = false;
  for (; p < end; ++p) {
    if (IsDigit(*p)) {
      if (++digits > 15) return false;
      mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
      if (point) ++decimals;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0 || decimals > 22) return false;
  const double value = static_cast<double>(mantissa) / kPowers[decimals];
  out = negative ? -value : value;
  return true;
}

}  // namespace

bool ParseInteger(const char* begin, const char* end, int64_t& out) {
  if (begin < end && *begin == '+') {
    ++begin;
    if (begin < end && *begin == '-') return false;
  }
  if (begin >= end) return false;
  int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end) return false;
  out = value;
  return true;
}

bool ParseDecimal(const char* begin, const char* end, double& out) {
  const char* p = begin;
  if (p < end && (*p == '+' || *p == '-')) ++p;
  // from_chars would also take "inf" and "nan" and skips nothing; insist on a digit or a
  // point first, and a digit somewhere in the mantissa.
  if (p >= end || !(IsDigit(*p) || *p == '.')) return false;
  const char* mantissa_end = p;
  bool digit = false;
  while (mantissa_end < end && (IsDigit(*mantissa_end) || *mantissa_end == '.')) {
    digit = digit || IsDigit(*mantissa_end);
    ++mantissa_end;
  }
  if (!digit) return false;
  if (mantissa_end == end && ParseShortDecimal(begin, end, out)) return true;
  const char* start = begin < end && *begin == '+' ? begin + 1 : begin;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(start, end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return false;
  out = value;
  return true;
}

double ParseDateText(const char* begin, const char* end) {
  auto part = [&](size_t from, size_t length) {
    const size_t size = static_cast<size_t>(end - begin);
    int value = 1;
    if (from >= size) return value;
    const char* b = begin + from;
    const char* e = begin + std::min(size, from + length);
    if (!ReadDatePart(b, e, value)) value = 1;
    return value;
  };
  core::TDateTime date = 0;
  if (!core::TryEncodeDate(part(0, 4), part(4, 2), part(6, 2), date)) return 0.0;
  return date;
}

bool FormatInteger(int64_t value, size_t width, bool zero_pad, std::string& out) {
  const bool negative = value < 0;
  const uint64_t magnitude =
      negative ? static_cast<uint64_t>(0) - static_cast<uint64_t>(value)
               : static_cast<uint64_t>(value);
  char digits[24];
  const auto [ptr, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
  (void)ec;
  const size_t count = static_cast<size_t>(ptr - digits);
  const size_t needed = count + (negative ? 1 : 0);
  if (needed > width) return false;
  out.assign(width, zero_pad ? '0' : ' ');
  std::copy(digits, ptr, out.begin() + static_cast<std::ptrdiff_t>(width - count));
  if (negative) out[zero_pad ? 0 : width - count - 1] = '-';
  return true;
}

bool FormatFixed(double value, int decimals, std::string& out) {
  if (!std::isfinite(value)) return false;
  decimals = std::clamp(decimals, 0, 30);
  // 15 significant digits as "d.dddddddddddddde+XX"; the value is 0.d1..d15 x 10^point.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  std::string digits;
  digits.reserve(16);
  digits.push_back(buf[0]);
  for (int i = 2; i < 16; ++i) digits.push_back(buf[i]);
  int point = std::atoi(buf + 17) + 1;
  if (value == 0) point = 1;

  // Keep the digits up to the last decimal; round half away from zero on the next one.
  const int keep = point + decimals;
  if (keep < 0) {
    digits.clear();
  } else if (keep < static_cast<int>(digits.size())) {
    const bool round_up = digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (round_up) {
      int i = keep - 1;
      while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
      if (i >= 0) {
        ++digits[static_cast<size_t>(i)];
      } else {
        digits.insert(digits.begin(), '1');
        ++point;
      }
    }
  }
  auto digit_at = [&](int index) {
    return index >= 0 && index < static_cast<int>(digits.size())
               ? digits[static_cast<size_t>(index)]
               : '0';
  };
  std::string text;
  if (point <= 0) {
    text = "0";
  } else {
    for (int i = 0; i < point; ++i) text.push_back(digit_at(i));
  }
  if (decimals > 0) {
    text.push_back('.');
    for (int i = point; i < point + decimals; ++i) text.push_back(digit_at(i));
  }
  const bool nonzero = text.find_first_of("123456789") != std::string::npos;
  out = (value < 0 && nonzero) ? "-" + text : text;
  return true;
}

std::string DateText(double date_time) {
  int year = 0;
  int month = 0;
  int day = 0;
  if (std::isfinite(date_time)) core::DecodeDate(date_time, year, month, day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
  return buf;
}

}  // namespace lgoty::dbf
