#include "dbf/index_keys.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "core/byte_codec.h"

namespace lgoty::dbf {
namespace {

constexpr size_t kMdxKeyLength = 12;
constexpr size_t kMdxDigitsOffset = 2;
constexpr uint8_t kMdxNegativeFlag = 0x80;
constexpr int kMinExponent = -static_cast<int>(kMdxExponentBias);
constexpr int kMaxExponent = 0xFF - kMdxExponentBias;

// Writes the key of a value given as its significant digits (first digit nonzero, or no
// digits for zero) and exponent.
void PutMdxKey(std::string digits, int exponent, bool negative, std::span<std::byte> out) {
  std::fill(out.begin(), out.begin() + kMdxKeyLength, std::byte{0});
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty() || exponent < kMinExponent) {
    out[0] = std::byte{kMdxExponentBias};
    out[1] = std::byte{1};
    return;
  }
  if (exponent > kMaxExponent) {
    exponent = kMaxExponent;
    digits.assign(kMdxMaxDigits, '9');
  }
  if (digits.size() > kMdxMaxDigits) digits.resize(kMdxMaxDigits);
  out[0] = static_cast<std::byte>(kMdxExponentBias + exponent);
  uint8_t length_byte = static_cast<uint8_t>(8 * ((digits.size() + 1) / 2) + 1);
  if (negative) length_byte |= kMdxNegativeFlag;
  out[1] = std::byte{length_byte};
  for (size_t i = 0; i < digits.size(); ++i) {
    const auto nibble = static_cast<uint8_t>(digits[i] - '0');
    auto& target = out[kMdxDigitsOffset + i / 2];
    target |= static_cast<std::byte>(i % 2 == 0 ? nibble << 4 : nibble);
  }
}

bool IsZeroKey(std::span<const std::byte> key) {
  for (size_t i = kMdxDigitsOffset; i < kMdxDigitsOffset + kMdxKeyDigitBytes; ++i) {
    if (key[i] != std::byte{0}) return false;
  }
  return true;
}

// -1 negative, 0 zero, 1 positive.
int SignOf(std::span<const std::byte> key) {
  if (IsZeroKey(key)) return 0;
  return (core::GetU8(key.data() + 1) & kMdxNegativeFlag) != 0 ? -1 : 1;
}

}  // namespace

void EncodeMdxNumericKey(double value, std::span<std::byte> out) {
  if (std::isnan(value) || value == 0) {
    PutMdxKey({}, 0, false, out);
    return;
  }
  const bool negative = value < 0;
  if (std::isinf(value)) {
    PutMdxKey(std::string(kMdxMaxDigits, '9'), kMaxExponent, negative, out);
    return;
  }
  // d.dddddddddddddde+XX: 15 significant digits, rounded.
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, std::fabs(value),
                                    std::chars_format::scientific, kMdxMaxFloatDigits - 1);
  const std::string_view view(text, static_cast<size_t>(result.ptr - text));
  const size_t e_at = view.find('e');
  std::string digits;
  for (char c : view.substr(0, e_at)) {
    if (c != '.') digits.push_back(c);
  }
  int exponent10 = 0;
  const std::string_view exponent_text = view.substr(e_at + 1);
  const char* first = exponent_text.data();
  if (*first == '+') ++first;
  std::from_chars(first, exponent_text.data() + exponent_text.size(), exponent10);
  PutMdxKey(std::move(digits), exponent10 + 1, negative, out);
}

void EncodeMdxIntegerKey(int64_t value, std::span<std::byte> out) {
  const bool negative = value < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  if (magnitude == 0) {
    PutMdxKey({}, 0, false, out);
    return;
  }
  std::string digits = std::to_string(magnitude);
  const int exponent = static_cast<int>(digits.size());
  PutMdxKey(std::move(digits), exponent, negative, out);
}

double DecodeMdxNumericKey(std::span<const std::byte> key) {
  if (IsZeroKey(key)) return 0;
  std::string text = "0.";
  for (size_t i = 0; i < 2 * kMdxKeyDigitBytes; ++i) {
    const uint8_t byte = core::GetU8(key.data() + kMdxDigitsOffset + i / 2);
    const int nibble = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
    text.push_back(static_cast<char>('0' + std::min(nibble, 9)));
  }
  text += "e" + std::to_string(static_cast<int>(core::GetU8(key.data())) - kMdxExponentBias);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return SignOf(key) < 0 ? -value : value;
}

int CompareMdxNumericKeys(std::span<const std::byte> a, std::span<const std::byte> b) {
  const int sign_a = SignOf(a);
  const int sign_b = SignOf(b);
  if (sign_a != sign_b) return sign_a < sign_b ? -1 : 1;
  if (sign_a == 0) return 0;
  int order = 0;
  const uint8_t exponent_a = core::GetU8(a.data());
  const uint8_t exponent_b = core::GetU8(b.data());
  if (exponent_a != exponent_b) {
    order = exponent_a < exponent_b ? -1 : 1;
  } else {
    order = std::memcmp(a.data() + kMdxDigitsOffset, b.data() + kMdxDigitsOffset, 8);
    order = order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  return sign_a < 0 ? -order : order;
}

void EncodeNdxNumericKey(double value, std::span<std::byte> out) {
  core::PutDoubleLE(out.data(), std::isnan(value) ? 0.0 : value);
}

double DecodeNdxNumericKey(std::span<const std::byte> key) { return core::GetDoubleLE(key.data()); }

int CompareNdxNumericKeys(std::span<const std::byte> a, std::span<const std::byte> b) {
  const double x = DecodeNdxNumericKey(a);
  const double y = DecodeNdxNumericKey(b);
  const bool nan_x = std::isnan(x);
  const bool nan_y = std::isnan(y);
  if (nan_x || nan_y) return nan_x == nan_y ? 0 : (nan_x ? -1 : 1);
  return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace lgoty::dbf
