#include "core/format_fixed_directive.h"

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

  // Sign, grouped integer part, decimal separator and fraction, as FloatToStrF lays them out.
  std::string number;
  if (units != 0 && std::signbit(value)) number += '-';
  char digits[24];
  const auto integer_end = std::to_chars(digits, digits + sizeof digits, units / scale).ptr;
  const size_t count = static_cast<size_t>(integer_end - digits);
  for (size_t k = 0; k < count; ++k) {
    number += digits[k];
    const size_t rest = count - k - 1;
    if (grouped && rest > 0 && rest % 3 == 0) number += fs.ThousandSeparator;
  }
  if (decimals > 0) {
    number += fs.DecimalSeparator;
    uint64_t fraction = units % scale;
    char fraction_digits[kMaxDecimals];
    for (int k = decimals - 1; k >= 0; --k) {
      fraction_digits[k] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    number.append(fraction_digits, static_cast<size_t>(decimals));
  }

  out.assign(format.substr(0, percent));
  const size_t length = width > 0 ? Utf8Length(number) : 0;
  if (width > 0 && length < static_cast<size_t>(width)) {
    const size_t pad = static_cast<size_t>(width) - length;
    if (!left) out.append(pad, ' ');
    out += number;
    if (left) out.append(pad, ' ');
  } else {
    out += number;
  }
  out.append(suffix);
  return true;
}

}  // namespace lgoty::core
