// Encodings and comparisons of index keys.
//
// Character keys: the key text in the table code page, padded with spaces to the key length,
// compared position by position through a collation's 256 weights (dbf/collation.h).
//
// Numeric NDX keys (8 bytes): the IEEE double, little-endian.
//
// Numeric MDX keys (12 bytes):
//
//   offset  width  meaning
//   0       1      0x34 + decimal exponent e, where |value| = 0.d1d2d3... x 10^e (so 1 has
//                  e = 1, 123.45 e = 3, 0.05 e = -1); zero has 0x34
//   1       1      8 x ((number of digits + 1) div 2) + 1, plus 0x80 for a negative value
//   2       10     the significant digits d1 d2 ..., two per byte, first digit in the high
//                  nibble, trailing zeros dropped, unused nibbles zero. Zero has no digits.
//
// Integers give all their digits, floating values at most 15 significant digits (rounded),
// and no key holds more than 16. Exponents beyond what byte 0 can hold saturate: values
// smaller than 10^-53 in magnitude are stored as zero, larger than 10^203 as sixteen nines
// with the largest exponent. NaN is stored as zero.
//
// Ordering of numeric MDX keys: negatives, then zero, then positives; among positives by
// exponent then digit bytes, among negatives the reverse. Comparing sign, exponent byte and
// digits alone would put positive values below 0.1 (exponent byte below 0x34) in front of
// zero, whose exponent byte is 0x34 and which has no digits; so zero is recognised by its
// missing digits and ordered by value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lgoty::dbf {

inline constexpr uint8_t kMdxExponentBias = 0x34;
inline constexpr size_t kMdxKeyDigitBytes = 10;
inline constexpr size_t kMdxMaxDigits = 16;
inline constexpr size_t kMdxMaxFloatDigits = 15;

// out must hold 12 bytes.
void EncodeMdxNumericKey(double value, std::span<std::byte> out);
void EncodeMdxIntegerKey(int64_t value, std::span<std::byte> out);
// The value a 12-byte key stands for (digits beyond a double's precision are rounded).
double DecodeMdxNumericKey(std::span<const std::byte> key);
int CompareMdxNumericKeys(std::span<const std::byte> a, std::span<const std::byte> b);

// out must hold 8 bytes. NaN is stored as 0.
void EncodeNdxNumericKey(double value, std::span<std::byte> out);
double DecodeNdxNumericKey(std::span<const std::byte> key);
// As doubles; a NaN read from a file sorts before every number.
int CompareNdxNumericKeys(std::span<const std::byte> a, std::span<const std::byte> b);

}  // namespace lgoty::dbf
