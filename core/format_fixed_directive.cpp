#include "core/format_fixed_directive.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "core/utf8_text.h"

namespace lgoty::core {
namespace {

constexpr int kMaxDecimals = 9;
constexpr uint64_t kPow10[kMaxDecimals + 1] = {1,         10,         100,         1000,        10000,
                                               100000,    1000000,    10000000,    100000000,   1000000000};
// Units at or above this have more than 15 digits: the 15-digit text may differ from them.
constexpr uint64_t kMaxUnits = 1000000000000000;
// Wider fields are left to Format (which pads up to its own limit).
constexpr int kMaxWidth = 1000;
// Longer separators are left to Format.
constexpr size_t kMaxSeparator = 8;
// The longest number laid out: sign, 15 digits with a separator between every three, the
// decimal separator and the decimals.
constexpr size_t kMaxNumber = 1 + 15 + 4 * kMaxSeparator + kMaxSeparator + kMaxDecimals;

// Reads up to four decimal digits; -1 when there is none, kMaxWidth + 1 when there are more.
int ReadNumber(std::string_view format, size_t& i) {
  int n = -1;
  int digits = 0;
  while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
    n = (n < 0 ? 0 : n) * 10 + (format[i] - '0');
    ++i;
    if (++digits > 4) return kMaxWidth + 1;
  }
  return n;
}

}  // namespace

bool TryFormatFixedDirective(std::string_view format, double value, const FormatSettings& fs,
                             std::string& out) {
  // The directive and the literal texts around it.
  const size_t percent = format.find('%');
  if (percent == std::string_view::npos) return false;
  size_t i = percent + 1;
  bool left = false;
  if (i < format.size() && format[i] == '-') {
    left = true;
    ++i;
  }
  const int width = ReadNumber(format, i);
  if (width > kMaxWidth) return false;
  int decimals = 2;
  if (i < format.size() && format[i] == '.') {
    ++i;
    decimals = ReadNumber(format, i);
    if (decimals < 0) decimals = 0;
  }
  if (decimals > kMaxDecimals || i >= format.size()) return false;
  const char type = format[i++];
  const bool grouped = type == 'n' || type == 'N';
  if (!grouped && type != 'f' && type != 'F') return false;
  const std::string_view suffix = format.substr(i);
  if (suffix.find('%') != std::string_view::npos) return false;

  // The value as units of its last decimal, when it is exactly such a decimal.
  const double magnitude = std::fabs(value);
  const uint64_t scale = kPow10[decimals];
  if (!(magnitude < static_cast<double>(kMaxUnits) / static_cast<double>(scale))) return false;  // also NaN
  const uint64_t units = static_cast<uint64_t>(std::llround(magnitude * static_cast<double>(scale)));
  if (units >= kMaxUnits || static_cast<double>(units) / static_cast<double>(scale) != magnitude) return false;

  // Sign, grouped integer part, decimal separator and fraction, as FloatToStrF lays them out,
  // laid out in a buffer of their own (separators longer than kMaxSeparator are left to
  // Format).
  const std::string& thousands = fs.ThousandSeparator;
  const std::string& decimal = fs.DecimalSeparator;
  if (thousands.size() > kMaxSeparator || decimal.size() > kMaxSeparator) return false;
  char digits[24];
  const auto integer_end = std::to_chars(digits, digits + sizeof digits, units / scale).ptr;
  const size_t count = static_cast<size_t>(integer_end - digits);
  const bool negative = units != 0 && std::signbit(value);
  char number[kMaxNumber];
  char* p = number;
  if (negative) *p++ = '-';
  // A separator after every digit that has a positive multiple of three digits after it.
  const size_t groups = grouped ? (count - 1) / 3 : 0;
  size_t k = count - 3 * groups;  // the digits before the first separator
  p = std::copy(digits, digits + k, p);
  for (; k < count; k += 3) {
    p = std::copy(thousands.begin(), thousands.end(), p);
    p = std::copy(digits + k, digits + k + 3, p);
  }
  if (decimals > 0) {
    p = std::copy(decimal.begin(), decimal.end(), p);
    uint64_t fraction = units % scale;
    for (int d = decimals - 1; d >= 0; --d) {
      p[d] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    p += decimals;
  }
  const std::string_view laid_out(number, static_cast<size_t>(p - number));

  // Padded to the width in characters. The sign and the digits are one character each, so
  // when they alone reach the width the separators need not be counted.
  size_t pad = 0;
  const size_t ascii = (negative ? 1 : 0) + count + static_cast<size_t>(decimals);
  if (width > 0 && ascii < static_cast<size_t>(width)) {
    const size_t length = Utf8Length(laid_out);
    if (length < static_cast<size_t>(width)) pad = static_cast<size_t>(width) - length;
  }
  out.assign(format.substr(0, percent));
  if (!left) out.append(pad, ' ');
  out.append(laid_out);
  if (left) out.append(pad, ' ');
  out.append(suffix);
  return true;
}

}  // namespace lgoty::core
