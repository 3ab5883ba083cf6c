// Numbers to text: IntToStr, FloatToStr, FloatToStrF, CurrToStr and the picture formats of
// FormatFloat. The digits come from float_decimal.h; this file only lays them out.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/float_decimal.h"
#include "core/text_format.h"

namespace lgoty::core {
namespace {

using detail::FloatDecimal;

// Values with more integer digits than this are shown by FloatToStr in picture formats:
// the fixed layout would be all padding zeros.
constexpr int kMaxPictureIntegerDigits = 18;

std::string ExponentText(int exponent, int min_digits, bool plus_sign) {
  std::string digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < min_digits) {
    digits.insert(0, static_cast<size_t>(min_digits) - digits.size(), '0');
  }
  if (exponent < 0) return "-" + digits;
  return plus_sign ? "+" + digits : digits;
}

std::string GeneralText(double value, int precision, int exp_digits, const FormatSettings& fs) {
  const FloatDecimal d = detail::ToDecimal(value, precision);
  if (d.IsZero()) return "0";
  std::string out = d.negative ? "-" : "";
  const int n = static_cast<int>(d.digits.size());
  if (d.exponent > std::clamp(precision, 1, 18) || d.exponent < -3) {
    out += d.digits[0];
    if (n > 1) out += fs.DecimalSeparator + d.digits.substr(1);
    out += "E" + ExponentText(d.exponent - 1, exp_digits, false);
    return out;
  }
  out += detail::IntegerDigits(d);
  const int decimals = n - d.exponent;
  if (decimals > 0) out += fs.DecimalSeparator + detail::FractionDigits(d, decimals);
  return out;
}

std::string ExponentFormText(double value, int precision, int exp_digits,
                             const FormatSettings& fs) {
  precision = std::clamp(precision, 1, 18);
  const FloatDecimal d = detail::ToDecimal(value, precision);
  std::string digits = d.digits;
  digits.resize(static_cast<size_t>(precision), '0');
  std::string out = d.negative ? "-" : "";
  out += digits[0];
  if (precision > 1) out += fs.DecimalSeparator + digits.substr(1);
  out += "E" + ExponentText(d.IsZero() ? 0 : d.exponent - 1, std::clamp(exp_digits, 0, 4), true);
  return out;
}

// Applies the Windows currency layouts to the text of the absolute amount.
std::string CurrencyLayout(const std::string& amount, bool negative, const FormatSettings& fs) {
  const std::string& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return amount + c;
      case 2: return c + " " + amount;
      case 3: return amount + " " + c;
      default: return c + amount;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return "-" + c + amount;
    case 2: return c + "-" + amount;
    case 3: return c + amount + "-";
    case 4: return "(" + amount + c + ")";
    case 5: return "-" + amount + c;
    case 6: return amount + "-" + c;
    case 7: return amount + c + "-";
    case 8: return "-" + amount + " " + c;
    case 9: return "-" + c + " " + amount;
    case 10: return amount + " " + c + "-";
    case 11: return c + " " + amount + "-";
    case 12: return c + " -" + amount;
    case 13: return amount + "- " + c;
    case 14: return "(" + c + " " + amount + ")";
    case 15: return "(" + amount + " " + c + ")";
    default: return "(" + c + amount + ")";
  }
}

// ---- Picture formats ----------------------------------------------------------------------

// What one section of a picture format asks for.
struct PictureSection {
  std::string_view text;
  int int_placeholders = 0;  // "0"/"#" before the decimal point
  int min_int_digits = 0;    // from the first "0" before the point
  int max_decimals = 0;      // placeholders after the point
  int min_decimals = 0;      // up to the last "0" after the point
  bool grouping = false;
  bool scientific = false;
  int exp_digits = 0;
};

// Length of a quoted literal starting at i (the quote included), or 0.
size_t QuotedLength(std::string_view s, size_t i) {
  const char q = s[i];
  if (q != '\'' && q != '"') return 0;
  const size_t close = s.find(q, i + 1);
  return close == std::string_view::npos ? s.size() - i : close - i + 1;
}

bool IsExponentAt(std::string_view s, size_t i) {
  return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  for (size_t i = 0; i < format.size();) {
    if (const size_t q = QuotedLength(format, i)) {
      i += q;
    } else if (format[i] == ';') {
      sections.push_back(format.substr(start, i - start));
      start = ++i;
    } else {
      ++i;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

PictureSection ScanSection(std::string_view text) {
  PictureSection s;
  s.text = text;
  bool after_point = false;
  int first_zero = -1;
  for (size_t i = 0; i < text.size();) {
    if (const size_t q = QuotedLength(text, i)) {
      i += q;
      continue;
    }
    const char c = text[i];
    if (s.scientific) {
      // Only the exponent's digits follow "E+"; anything else is literal.
      ++i;
      continue;
    }
    if (c == '0' || c == '#') {
      if (after_point) {
        ++s.max_decimals;
        if (c == '0') s.min_decimals = s.max_decimals;
      } else {
        if (c == '0' && first_zero < 0) first_zero = s.int_placeholders;
        ++s.int_placeholders;
      }
    } else if (c == '.') {
      after_point = true;
    } else if (c == ',') {
      s.grouping = true;
    } else if (IsExponentAt(text, i)) {
      s.scientific = true;
      i += 2;
      while (i < text.size() && text[i] == '0') {
        ++s.exp_digits;
        ++i;
      }
      continue;
    }
    ++i;
  }
  if (first_zero >= 0) s.min_int_digits = s.int_placeholders - first_zero;
  return s;
}

std::string ApplySection(const PictureSection& s, double abs_value, bool minus,
                         const FormatSettings& fs) {
  FloatDecimal d = detail::ToDecimal(abs_value);
  std::string int_digits;
  std::string frac_digits;
  int exponent = 0;
  if (s.scientific) {
    const int mantissa_int = std::max(s.int_placeholders, 1);
    detail::RoundToSignificant(d, mantissa_int + s.max_decimals);
    if (!d.IsZero()) exponent = d.exponent - mantissa_int;
    std::string all = d.digits;
    all.resize(static_cast<size_t>(mantissa_int + s.max_decimals), '0');
    int_digits = d.IsZero() ? "" : all.substr(0, static_cast<size_t>(mantissa_int));
    frac_digits = all.substr(static_cast<size_t>(mantissa_int));
  } else {
    detail::RoundToDecimals(d, s.max_decimals);
    if (d.exponent > 0) int_digits = detail::IntegerDigits(d);
    frac_digits = detail::FractionDigits(d, s.max_decimals);
  }
  if (static_cast<int>(int_digits.size()) < s.min_int_digits) {
    int_digits.insert(0, static_cast<size_t>(s.min_int_digits) - int_digits.size(), '0');
  }
  while (static_cast<int>(frac_digits.size()) > s.min_decimals && frac_digits.back() == '0') {
    frac_digits.pop_back();
  }

  std::string out = (minus && !d.IsZero()) ? "-" : "";
  const int n_int = static_cast<int>(int_digits.size());
  auto emit_int_digit = [&](int index) {
    out += int_digits[static_cast<size_t>(index)];
    const int left = n_int - index - 1;
    if (s.grouping && left > 0 && left % 3 == 0) out += fs.ThousandSeparator;
  };
  bool int_done = s.int_placeholders == 0 && n_int == 0;
  auto emit_all_int = [&]() {
    for (int k = 0; k < n_int; ++k) emit_int_digit(k);
    int_done = true;
  };
  int int_seen = 0;
  int frac_seen = 0;
  bool after_point = false;
  bool exponent_done = false;
  const std::string_view text = s.text;
  for (size_t i = 0; i < text.size();) {
    if (const size_t q = QuotedLength(text, i)) {
      const bool closed = q >= 2 && text[i + q - 1] == text[i];
      out += text.substr(i + 1, closed ? q - 2 : q - 1);
      i += q;
      continue;
    }
    const char c = text[i];
    if (!exponent_done && (c == '0' || c == '#')) {
      if (after_point) {
        if (frac_seen < static_cast<int>(frac_digits.size())) out += frac_digits[static_cast<size_t>(frac_seen)];
        ++frac_seen;
      } else {
        // Digits align to the right end of the placeholders; surplus digits go to the first.
        const int index = int_seen - (s.int_placeholders - n_int);
        if (int_seen == 0) {
          for (int k = 0; k < index; ++k) emit_int_digit(k);
        }
        if (index >= 0) emit_int_digit(index);
        ++int_seen;
        if (int_seen == s.int_placeholders) int_done = true;
      }
      ++i;
    } else if (c == '.' && !after_point && !exponent_done) {
      if (!int_done) emit_all_int();
      after_point = true;
      if (!frac_digits.empty()) out += fs.DecimalSeparator;
      ++i;
    } else if (c == ',' && !exponent_done) {
      ++i;
    } else if (s.scientific && !exponent_done && IsExponentAt(text, i)) {
      if (!int_done) emit_all_int();
      out += c;
      out += ExponentText(exponent, s.exp_digits, text[i + 1] == '+');
      i += 2;
      while (i < text.size() && text[i] == '0') ++i;
      exponent_done = true;
    } else {
      out += c;
      ++i;
    }
  }
  // A section of literals only ("'none'") shows no digits at all.
  if (!int_done && (s.int_placeholders > 0 || s.max_decimals > 0)) out += int_digits;
  return out;
}

}  // namespace

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kHex[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  digits = std::min(digits, 64);
  if (static_cast<int>(out.size()) < digits) out.insert(0, static_cast<size_t>(digits) - out.size(), '0');
  return out;
}

std::string FloatToStr(double value, const FormatSettings& fs) {
  return FloatToStrF(value, FloatFormat::ffGeneral, detail::kGeneralPrecision, 0, fs);
}

std::string CurrToStr(int64_t scaled_by_10000, const FormatSettings& fs) {
  const bool negative = scaled_by_10000 < 0;
  // Through unsigned so that the most negative amount has an absolute value.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled_by_10000)
                                      : static_cast<uint64_t>(scaled_by_10000);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  fraction.erase(fraction.find_last_not_of('0') + 1);
  if (!fraction.empty()) out += fs.DecimalSeparator + fraction;
  return out;
}

std::string FloatToStrF(double value, FloatFormat format, int precision, int digits,
                        const FormatSettings& fs) {
  if (!std::isfinite(value)) return detail::NonFiniteText(value);
  precision = std::clamp(precision, 1, 18);
  switch (format) {
    case FloatFormat::ffGeneral:
      return GeneralText(value, precision, std::clamp(digits, 0, 4), fs);
    case FloatFormat::ffExponent:
      return ExponentFormText(value, precision, digits, fs);
    case FloatFormat::ffFixed:
    case FloatFormat::ffNumber:
    case FloatFormat::ffCurrency: {
      digits = std::clamp(digits, 0, 18);
      FloatDecimal d = detail::ToDecimal(value, precision);
      // More integer digits than the precision holds: the fixed layout would invent digits.
      if (d.exponent > precision) return GeneralText(value, precision, 0, fs);
      detail::RoundToDecimals(d, digits);
      std::string amount = detail::IntegerDigits(d);
      if (format != FloatFormat::ffFixed) amount = detail::GroupThousands(amount, fs.ThousandSeparator);
      if (digits > 0) amount += fs.DecimalSeparator + detail::FractionDigits(d, digits);
      if (format == FloatFormat::ffCurrency) return CurrencyLayout(amount, d.negative, fs);
      return d.negative ? "-" + amount : amount;
    }
  }
  return FloatToStr(value, fs);
}

std::string FormatFloat(std::string_view format, double value, const FormatSettings& fs) {
  if (format.empty() || !std::isfinite(value)) return FloatToStr(value, fs);
  const std::vector<std::string_view> sections = SplitSections(format);
  const FloatDecimal d = detail::ToDecimal(value);
  size_t index = 0;
  if (d.IsZero()) {
    index = 2;
  } else if (d.negative) {
    index = 1;
  }
  // A missing or empty section falls back to the first, which then shows the sign itself.
  if (index >= sections.size() || sections[index].empty()) index = 0;
  const PictureSection section = ScanSection(sections[index]);
  if (!section.scientific && d.exponent > kMaxPictureIntegerDigits) return FloatToStr(value, fs);
  return ApplySection(section, std::fabs(value), index == 0 && d.negative, fs);
}

}  // namespace lgoty::core
