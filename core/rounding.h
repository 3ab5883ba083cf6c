// Rounding half away from zero (as llround does) without the library call: the truncating
// cast drops the fraction, which the subtraction then gives exactly. It is several times
// faster than llround, which matters where every drawn coordinate and text run rounds.
#pragma once

#include <cstdint>

namespace lgoty::core {

// REQUIRES: |x| < 2^62 (the caller checks the range, or falls back to llround).
inline int64_t RoundHalfAwayFromZero(double x) {
  int64_t rounded = static_cast<int64_t>(x);
  const double rest = x - static_cast<double>(rounded);
  if (rest >= 0.5) {
    ++rounded;
  } else if (rest <= -0.5) {
    --rounded;
  }
  return rounded;
}

}  // namespace lgoty::core
