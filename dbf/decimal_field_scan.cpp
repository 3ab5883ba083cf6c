#include "dbf/decimal_field_scan.h"

#include <cstdint>
#include <cstring>

namespace lgoty::dbf {
namespace {

constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr int kWindow = 16;
constexpr int kMaxDigits = 15;

// 0xFF in bytes [first, last) of a 64-bit half that holds window bytes [base, base + 8).
constexpr uint64_t ByteRange(int first, int last, int base) {
  uint64_t w = 0;
  for (int i = first; i < last; ++i)
    if (i >= base && i < base + 8) w |= uint64_t{0xFF} << (8 * (i - base));
  return w;
}

}  // namespace

bool ParsePlainDecimal(const char* text, size_t size, double& value, bool& null) {
  size_t i = 0;
  while (i < size && text[i] == ' ') ++i;
  if (i == size) {
    null = true;
    return true;
  }
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  int64_t digits = 0;
  int count = 0, decimals = 0;
  bool point = false;
  for (; i < size && text[i] != ' '; ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (++count > kMaxDigits) return false;
      digits = digits * 10 + (c - '0');
      decimals += point;
    } else {
      return false;
    }
  }
  while (i < size && text[i] == ' ') ++i;
  if (i != size || count == 0) return false;
  value = static_cast<double>(digits) / kPowers[decimals];
  if (negative) value = -value;
  null = false;
  return true;
}

FixedDecimalReader::FixedDecimalReader(size_t width, int decimals) {
#ifdef LGOTY_FIXED_DECIMAL_READER
  if (width == 0 || width > kWindow || decimals < 0 || decimals > kMaxDigits) return;
  const int w = static_cast<int>(width);
  // Digit places: the width, less the point.
  if (decimals > 0 ? decimals > w - 1 : w > kMaxDigits) return;
  width_ = w;
  decimals_ = decimals;
  // The field's first byte is window byte kWindow - w, its last byte 15.
  pad_bits_ = (1u << (kWindow - w)) - 1;
  field_low_ = ByteRange(kWindow - w, kWindow, 0);
  field_high_ = ByteRange(kWindow - w, kWindow, 8);
  if (decimals > 0) {
    const int point = kWindow - 1 - decimals;
    point_bit_ = 1u << point;
    whole_low_ = ByteRange(0, point, 0);
    whole_high_ = ByteRange(0, point, 8);
  }
  usable_ = true;
#else
  (void)width;
  (void)decimals;
#endif
}

}  // namespace lgoty::dbf
