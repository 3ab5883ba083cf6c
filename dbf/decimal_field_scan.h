// Fast reading of N and F field text for scans that add up a column over every record.
//
// Both readers give, for the texts they accept, exactly the double the field codec's parse
// gives (GetFieldData with ftFloat): the digits as an integer (at most 15 of them, so exact)
// divided by the power of ten of the digits after the point (exact too), which is the double
// nearest to the decimal. A text they refuse is left to the codec; refusing is never wrong.
#pragma once

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
  // with value and null set when the text has the layout.
  bool Read(const char* text, double& value, bool& null) const;

 private:
  bool usable_ = false;
  int width_ = 0;
  int decimals_ = 0;
  unsigned pad_bits_ = 0;    // window bytes before the field, one bit each
  unsigned point_bit_ = 0;   // the byte of the point (0 without decimals)
  uint64_t field_low_ = 0;   // the field's bytes in the window's two halves, 0xFF each
  uint64_t field_high_ = 0;
  uint64_t whole_low_ = 0;   // the bytes left of the point (and of the field's end when it
  uint64_t whole_high_ = 0;  // has no decimals), likewise
};

#ifdef LGOTY_FIXED_DECIMAL_READER
namespace fixed_decimal_detail {

inline constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Eight digit values (0-9), the first in the lowest byte, as the number they spell: pairs of
// bytes become two-digit numbers, pairs of those four-digit ones, then the halves meet.
inline uint64_t EightDigits(uint64_t v) {
  v = (v * (10 * 256 + 1)) >> 8;
  v = ((v & 0x00FF00FF00FF00FFull) * (100 * 65536 + 1)) >> 16;
  return (((v & 0x0000FFFF0000FFFFull) * (10000ull * (1ull << 32) + 1)) >> 32) & 0xFFFFFFFFull;
}

}  // namespace fixed_decimal_detail

inline bool FixedDecimalReader::Read(const char* text, double& value, bool& null) const {
  namespace detail = fixed_decimal_detail;
  // Window byte 15 is the field's last byte; bytes before the field count as blanks.
  const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + width_ - 16));
  const unsigned blanks =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8(' ')))) |
      pad_bits_;
  if (blanks == 0xFFFF) {
    null = true;
    return true;
  }
  // Signed comparison: bytes from 0x80 on are negative, never digits.
  const __m128i digit_bytes =
      _mm_and_si128(_mm_cmpgt_epi8(w, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(w, _mm_set1_epi8('9' + 1)));
  const unsigned field_bits = 0xFFFFu & ~pad_bits_;
  const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(digit_bytes)) & field_bits;
  const unsigned minus =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8('-')))) & field_bits;
  const unsigned points =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8('.'))));
  // Blanks form one run from the window's start (adding one carries through all of it); a
  // minus sits right after them or nowhere; the point is in its place; every byte is one
  // of these or a digit, and the last one is a digit.
  const unsigned after_blanks = blanks + 1;
  if (((blanks & after_blanks) | (minus & ~after_blanks) | ((points & point_bit_) ^ point_bit_) |
       ((blanks | digits | minus | point_bit_) ^ 0xFFFFu) | (~digits & 0x8000u)) != 0)
    return false;
  // Digit values, 0 for every other byte (the point among them); the whole part then moves
  // one byte to the right over the point, leaving 16 digit places.
  const __m128i values =
      _mm_and_si128(_mm_sub_epi8(w, _mm_set1_epi8('0')), digit_bytes);
  uint64_t low = static_cast<uint64_t>(_mm_cvtsi128_si64(values)) & field_low_;
  uint64_t high =
      static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(values, values))) & field_high_;
  if (decimals_ > 0) {
    const uint64_t moved_low = (low & whole_low_) << 8;
    const uint64_t moved_high = ((high & whole_high_) << 8) | ((low & whole_low_) >> 56);
    low = moved_low | (low & ~whole_low_);
    high = moved_high | (high & ~whole_high_);
  }
  const uint64_t number =
      detail::EightDigits(low) * 100000000ull + detail::EightDigits(high);
  value = static_cast<double>(number) / detail::kPowers[decimals_];
  if (minus != 0) value = -value;
  null = false;
  return true;
}
#else
inline bool FixedDecimalReader::Read(const char*, double&, bool&) const { return false; }
#endif

}  // namespace lgoty::dbf
