// Value codecs: how a field's bytes in a record become a value and back.
//
// Binary encodings (offsets within the field):
//
//   letter  level   width  encoding                                          null when
//   I +     25      4      signed 32-bit little-endian                       never
//   I +     others  4      big-endian, bit 31 inverted (so 80 00 00 05 = 5)  all bytes 0
//   @       any     8      double with its bytes reversed (big-endian):      all bytes 0
//                          ms since 1 Jan 0001 (dtBDETimeStamp) or the
//                          TDateTime itself (dtDateTime)
//   B       25      8      double, little-endian                             never
//   M G     size 4  4      memo block number, 32-bit little-endian           value 0
//   O       any     8      big-endian double; >= 0 stored with the sign bit  all bytes 0
//                          set, < 0 stored with every bit inverted, so the
//                          bytes sort like the numbers
//   T       any     8      0-3 Julian day, 4-7 ms since midnight, both LE   all bytes 0
//   Y       any     8      signed 64-bit LE, the amount x 10 000             never
//
// Every other letter is text in the table code page, padded with spaces: after removing
// trailing spaces (and leading ones for a non-string request) an empty field is null.
//   - numbers: `.` is the decimal point whatever the locale; right-aligned, space padded;
//     block numbers of M/B/G text fields are zero padded ("0000000012", "-000000005");
//   - dates: YYYYMMDD; an impossible date reads as the zero date-time;
//   - logical: T or t is true, anything else false.
//
// A number whose digits do not fit the field is refused with EDbfError instead of being
// stored cut (the record is left unchanged): a cut number would read back as a different
// value. Decimals that do not fit are dropped from the right.
//
// With a "_NULLFLAGS" field, a field with a null bit is null when its bit is set (asked
// through IsFieldNull / GetFieldData without an output place); writing sets or clears it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/variant.h"
#include "data/field_type.h"
#include "dbf/field_defs.h"

namespace lgoty::dbf {

// The end of a text field's bytes [begin, end) without its trailing blanks. Fields are padded
// with blanks to their width: whole words of eight blanks are stepped over first; in the
// first word that is not all blanks, the blanks at its end are counted at once (on a
// little-endian machine the word's last bytes are its most significant ones).
inline const char* TrimTrailingBlanks(const char* begin, const char* end) {
  constexpr uint64_t kBlanks = 0x2020202020202020ull;
  while (end - begin >= 8) {
    uint64_t word;
    std::memcpy(&word, end - 8, 8);
    if (word != kBlanks) {
      if constexpr (std::endian::native == std::endian::little) {
        return end - std::countl_zero(word ^ kBlanks) / 8;
      }
      break;
    }
    end -= 8;
  }
  while (end > begin && end[-1] == ' ') --end;
  return end;
}

// A value in the form of a dataset type. Which member holds it follows the type's class:
//   text     ftString ftFixedChar ftWideString ftBytes ftVarBytes (and unknown)  -> text
//            (raw bytes in the table code page; translation is the dataset's job)
//   integer  ftSmallint ftInteger ftWord ftAutoInc ftLargeint, and the blob types
//            (memo block number)                                                   -> integer
//   boolean  ftBoolean                                                             -> integer 0/1
//   float    ftFloat ftCurrency                                                    -> real
//   BCD      ftBCD ftFMTBcd: the amount scaled by 10 000                           -> integer
//   date     ftDate ftTime ftDateTime ftTimeStamp (TDateTime)                      -> real
struct TFieldValue {
  int64_t integer = 0;
  double real = 0;
  std::string text;
};

enum class TValueClass : uint8_t { Text, Integer, Boolean, Float, BCD, Date };
TValueClass ValueClassOf(data::TFieldType type);

// One codec per kind of stored value, chosen once per field definition.
class TFieldCodec {
 public:
  virtual ~TFieldCodec() = default;
  // field: the Size() bytes of the field. Returns false when the field is null; out (when
  // given) then holds nothing meaningful. With out == nullptr only the null test is made.
  virtual bool Decode(const std::byte* field, data::TFieldType requested,
                      TFieldValue* out) const = 0;
  // value == nullptr stores null. Throws EDbfError when a number does not fit; the field is
  // then unchanged.
  virtual void Encode(std::byte* field, data::TFieldType type,
                      const TFieldValue* value) const = 0;
  // Fills the field of a blank record (spaces for text, zero bytes for binary fields).
  virtual bool BlankIsZero() const { return false; }
  // True when a text read (a requested string type) gives the field's bytes without their
  // trailing blanks, null when none are left: a reader of many records may take the bytes
  // in place (TrimTrailingBlanks) instead of decoding each value.
  virtual bool TextIsTrimmedBytes() const { return false; }
};

// Creates the codec for a definition (used by TDbfFieldDef; exposed for tests).
std::unique_ptr<TFieldCodec> MakeFieldCodec(const TDbfFieldDef& def);

// Reads field def of record. With out == nullptr and a null bit in "_NULLFLAGS" the bit
// decides; otherwise the bytes do. Returns true when the field holds a value.
// Throws EDbfError when the field lies outside record (a definition not of this record).
bool GetFieldData(const TDbfFieldDefs& defs, const TDbfFieldDef& def,
                  data::TFieldType requested, std::span<const std::byte> record,
                  TFieldValue* out);
bool IsFieldNull(const TDbfFieldDefs& defs, const TDbfFieldDef& def,
                 std::span<const std::byte> record);
// Writes value (nullptr = null) into record, and the null bit when the field has one.
void SetFieldData(const TDbfFieldDefs& defs, const TDbfFieldDef& def, data::TFieldType type,
                  std::span<std::byte> record, const TFieldValue* value);

// Variant forms over the above, for tools, scripts and tests. Text is returned as raw bytes
// (a Variant string in the table code page); null reads as Variant::Null(), and a Null or
// Empty variant writes null.
core::Variant GetFieldVariant(const TDbfFieldDefs& defs, const TDbfFieldDef& def,
                              data::TFieldType requested, std::span<const std::byte> record);
void SetFieldVariant(const TDbfFieldDefs& defs, const TDbfFieldDef& def, data::TFieldType type,
                     std::span<std::byte> record, const core::Variant& value);
TFieldValue FieldValueFromVariant(data::TFieldType type, const core::Variant& value);
core::Variant FieldValueToVariant(data::TFieldType type, const TFieldValue& value);

// The template of a new record (record_length bytes): spaces; "_NULLFLAGS" 0xFF, then zero
// bytes for every + 0 @ I O Y field and every 4-byte M field (so "_NULLFLAGS" ends up zero);
// then each level-7 default value copied in with its null bit cleared.
std::vector<std::byte> BuildBlankRecord(const TDbfFieldDefs& defs, size_t record_length);

// Stores a level-7 auto-increment value into a `+` field: big-endian with bit 31 set.
void EncodeAutoIncValue(std::byte* field, uint32_t value);

}  // namespace lgoty::dbf
