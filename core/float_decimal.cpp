#include "core/float_decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lgoty::core::detail {
namespace {

void Normalize(FloatDecimal& d) {
  const size_t first = d.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  d.digits.erase(0, first);
  d.exponent -= static_cast<int>(first);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
}

// Keeps the first `keep` digits, rounding half away from zero on digit `keep`.
void RoundAt(FloatDecimal& d, int keep) {
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(static_cast<size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') {
      d.digits[static_cast<size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  Normalize(d);
}

}  // namespace

FloatDecimal ToDecimal(double value, int precision) {
  precision = std::clamp(precision, 1, 18);
  FloatDecimal d;
  d.negative = std::signbit(value);
  if (value == 0) {
    d.negative = false;
    return d;
  }
  // printf rounds the exact binary value correctly; "%.*e" gives "d.ddddde±xx".
  // Fewer digits than the general precision round from the 15-digit text, half away from
  // zero (printf would round an exact binary tie such as 1234.5 to even).
  const int printed = std::max(precision, kGeneralPrecision);
  // std::to_chars prints the same correctly rounded digits as printf's "%.*e", several
  // times faster (numbers are formatted for every object stored in a prepared page).
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer - 1, std::fabs(value),
                                          std::chars_format::scientific, printed - 1);
  *(error == std::errc() ? end : buffer) = '\0';
  const char* p = buffer;
  d.digits.reserve(static_cast<size_t>(printed));
  for (; *p != 'e' && *p != '\0'; ++p) {
    if (*p >= '0' && *p <= '9') d.digits += *p;
  }
  const int exp10 = *p == 'e' ? std::atoi(p + 1) : 0;
  d.exponent = exp10 + 1;
  Normalize(d);
  RoundAt(d, precision);
  if (d.IsZero()) d.negative = false;
  return d;
}

void RoundToSignificant(FloatDecimal& d, int significant) {
  RoundAt(d, significant);
  if (d.IsZero()) d.negative = false;
}

void RoundToDecimals(FloatDecimal& d, int decimals) {
  if (d.IsZero()) return;
  RoundAt(d, d.exponent + decimals);
  if (d.IsZero()) d.negative = false;
}

std::string IntegerDigits(const FloatDecimal& d) {
  if (d.exponent <= 0) return "0";
  std::string out = d.digits.substr(0, static_cast<size_t>(std::min<int>(
                                           d.exponent, static_cast<int>(d.digits.size()))));
  out.append(static_cast<size_t>(d.exponent) - out.size(), '0');
  return out;
}

std::string FractionDigits(const FloatDecimal& d, int decimals) {
  std::string out;
  out.reserve(static_cast<size_t>(std::max(decimals, 0)));
  for (int i = 0; i < decimals; ++i) {
    const int index = d.exponent + i;  // position in digits
    out += (index >= 0 && index < static_cast<int>(d.digits.size()))
               ? d.digits[static_cast<size_t>(index)]
               : '0';
  }
  return out;
}

std::string GroupThousands(const std::string& digits, const std::string& separator) {
  std::string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    out += digits[i];
    const size_t left = n - i - 1;
    if (left > 0 && left % 3 == 0) out += separator;
  }
  return out;
}

std::string NonFiniteText(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace lgoty::core::detail
