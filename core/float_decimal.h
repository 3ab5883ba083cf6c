// Internal to the text formatting files: a double as decimal digits, and the rounding rule
// every number format shares.
//
// A value is first written with 15 significant digits (the precision a double reliably
// carries, as the general format shows it); every later rounding to fewer digits or to a
// number of decimals works on those decimal digits, half away from zero. So 2.675, stored as
// 2.67499999999999982..., still shows as 2,68 with two decimals, as a reader of "2.675"
// expects.
#pragma once

#include <string>

namespace lgoty::core::detail {

// value = sign * 0.d1 d2 d3 ... * 10^exponent; digits has no leading or trailing zeros and
// is empty for zero (then exponent is 0).
struct FloatDecimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;

  bool IsZero() const { return digits.empty(); }
};

inline constexpr int kGeneralPrecision = 15;

// REQUIRES: value is finite. precision is clamped to 1..18 significant digits.
FloatDecimal ToDecimal(double value, int precision = kGeneralPrecision);

// Rounds half away from zero so that at most `significant` digits remain.
void RoundToSignificant(FloatDecimal& d, int significant);
// Rounds half away from zero to `decimals` digits after the decimal point (may be 0 or
// negative: -2 rounds to hundreds).
void RoundToDecimals(FloatDecimal& d, int decimals);

// The integer part of d as digits ("0" when there is none) and the first `decimals` digits of
// its fraction, padded with zeros.
std::string IntegerDigits(const FloatDecimal& d);
std::string FractionDigits(const FloatDecimal& d, int decimals);

// Inserts separator between groups of three digits, counting from the right.
std::string GroupThousands(const std::string& digits, const std::string& separator);

// "NAN", "INF", "-INF" for the values that have no digits.
std::string NonFiniteText(double value);

}  // namespace lgoty::core::detail
