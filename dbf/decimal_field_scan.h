// Fast reading of N and F field text for scans that add up a column over every record.
//
// Both readers give, for the texts they accept, exactly the double the field codec's parse
// gives (GetFieldData with ftFloat): the digits as an integer (at most 15 of them, so exact)
// divided by the power of ten of the digits after the point (exact too), which is the double
// nearest to the decimal. A text they refuse is left to the codec; refusing is never wrong.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#define LGOTY_FIXED_DECIMAL_READER 1
#endif

namespace lgoty::dbf {

// The common text: blanks, an optional sign, at most 15 digits with at most one point among
// them, blanks. All blanks: null. Anything else (exponents, more digits, stray characters,
// overflow stars) is refused: false.
bool ParsePlainDecimal(const char* text, size_t size, double& value, bool& null);

// The text as writers lay out a field of a given width and decimals: right-aligned, leading
// blanks, an optional "-" right before the first digit or point, the point (when the field
// has decimals) exactly `decimals` places from the right end, digits everywhere else. That is
// nearly every value of a register; it is read with a few vector and word operations on 16
// bytes at once, without a branch that depends on the text. All blanks is null; anything
// else is refused (the caller then tries ParsePlainDecimal, then the codec).
class FixedDecimalReader {
 public:
  FixedDecimalReader(size_t width, int decimals);

  // False for layouts the reader does not cover (wider than 16, more than 15 digit places,
  // the point outside the field) and on processors without the vector operations it uses:
  // Read must not be called then.
  bool Usable() const { return usable_; }

  // text points at the field. The reader loads the 16 bytes that end where the field ends,
  // so the 16 - width bytes before the field must be readable too (they are ignored). True
  // with value and null set when the text has the layout; a null text has the value 0.
  bool Read(const char* text, double& value, bool& null) const;

 private:
  bool usable_ = false;
  int width_ = 0;
  int decimals_ = 0;
  unsigned pad_bits_ = 0;    // window bytes before the field, one bit each
  unsigned point_bit_ = 0;   // the byte of the point (0 without decimals)
  uint64_t field_low_ = 0;   // the field's bytes in the window's two halves, 0xFF each
  uint64_t field_high_ = 0;
  uint64_t whole_low_ = 0;   // the bytes left of the point (none without decimals),
  uint64_t whole_high_ = 0;  // likewise
};

#ifdef LGOTY_FIXED_DECIMAL_READER
namespace fixed_decimal_detail {
inline constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
}  // namespace fixed_decimal_detail

inline bool FixedDecimalReader::Read(const char* text, double& value, bool& null) const {
  // Window byte 15 is the field's last byte; the bytes before the field count as blanks.
  const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + width_ - 16));
  const __m128i field = _mm_set_epi64x(static_cast<int64_t>(field_high_),
                                       static_cast<int64_t>(field_low_));
  const unsigned blanks =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8(' ')))) |
      pad_bits_;
  // Signed comparison: bytes from 0x80 on are negative, never digits.
  const __m128i digit_bytes = _mm_and_si128(
      _mm_and_si128(_mm_cmpgt_epi8(w, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(w, _mm_set1_epi8('9' + 1))),
      field);
  const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(digit_bytes));
  const unsigned minus =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('-')), field)));
  const unsigned points =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8('.'))));
  // Blanks form one run from the window's start (adding one carries through all of it); a
  // minus sits right after them or nowhere; the point is in its place; every byte is one
  // of these or a digit, and the last one is a digit. All blanks is null, and reads on as
  // the value 0 (no digit, no minus).
  null = blanks == 0xFFFFu;
  const unsigned after_blanks = blanks + 1;
  const unsigned wrong = (blanks & after_blanks) | (minus & ~after_blanks) |
                         ((points & point_bit_) ^ point_bit_) |
                         ((blanks | digits | minus | point_bit_) ^ 0xFFFFu) | (~digits & 0x8000u);
  if (wrong != 0 && !null) return false;
  // Digit values, 0 in every other byte; the whole part moves one byte to the right over the
  // point, leaving 16 digit places, the first of them 0.
  __m128i v = _mm_and_si128(_mm_sub_epi8(w, _mm_set1_epi8('0')), digit_bytes);
  const __m128i whole = _mm_set_epi64x(static_cast<int64_t>(whole_high_),
                                       static_cast<int64_t>(whole_low_));
  v = _mm_or_si128(_mm_slli_si128(_mm_and_si128(v, whole), 1), _mm_andnot_si128(whole, v));
  // Pairs of places into two-digit numbers, those into four-digit ones, those into two
  // eight-digit ones (at most 99 999 999, within the signed 32 bits of the multiply-add).
  const __m128i pairs = _mm_add_epi16(
      _mm_mullo_epi16(_mm_and_si128(v, _mm_set1_epi16(0x00FF)), _mm_set1_epi16(10)),
      _mm_srli_epi16(v, 8));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32((1 << 16) | 100));
  const __m128i eights =
      _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32((1 << 16) | 10000));
  const uint64_t first = static_cast<uint32_t>(_mm_cvtsi128_si32(eights));
  const uint64_t second = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
  const double magnitude = static_cast<double>(first * 100000000ull + second) /
                           fixed_decimal_detail::kPowers[decimals_];
  // The sign bit set for a minus: the negation without a branch.
  value = std::bit_cast<double>(std::bit_cast<uint64_t>(magnitude) |
                                (static_cast<uint64_t>(minus != 0) << 63));
  return true;
}
#else
inline bool FixedDecimalReader::Read(const char*, double&, bool&) const { return false; }
#endif

}  // namespace lgoty::dbf
