// Field definitions of a DBF table: TDbfFieldDef describes one field, TDbfFieldDefs is the
// ordered collection of a table and knows the table level.
//
// A definition is driven from one of two sides:
//   - from the file (TDbfFile reading descriptors): SetNativeFieldType, then SetSize, then
//     SetPrecision. The dataset type follows the letter (table below) and, for N and F, the
//     size and decimal count, so it is re-derived after each of these calls;
//   - from the dataset (creating a table): SetFieldType picks the letter for the table level
//     (or raises EDbfError when the level has none), gives a size-less definition its default
//     size, and keeps the dataset type as given.
// Every change of letter, size or decimal count applies the size rules of the letter:
//
//   letter   size                                    decimals
//   + I      4                                       0
//   @ D O    8                                       0
//   B        level 25: unchanged; else 10            level 25: unchanged; else 0
//   C        clamped to 0..255 (0..65535 level 25)   0
//   N F      clamped to 1..20                        clamped to 0..size-2
//   G M      level 25: 4 or 10 (else 4); else 10     0
//   L        1                                       0
//   T        8 at level 25, 14 otherwise             0
//   Y        8                                       4
//   other    unchanged                               unchanged
//
// Letter -> dataset type when a table is read:
//   C, 0x91 string     N F  float when decimals > 0, else smallint (size 1-4), integer (5-9),
//   D date                  largeint (10+)
//   L boolean          M memo      B float at level 25, blob otherwise      G OLE (ftDBaseOle)
//   I integer          + autoinc at level 7 (unknown elsewhere)             O float
//   @ T date-time      Y BCD when CurrencyAsBCD() (default), else currency  0 bytes
// Any other letter is unknown: NativeFieldType() is 0 and FieldType() ftUnknown, which the
// data file reports as an invalid file.
//
// The codec of a definition (dbf/field_codec.h) is chosen whenever the letter, size, table
// level or date-time handling changes, so decoding never looks at the letter again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/field_type.h"

namespace lgoty::dbf {

class TFieldCodec;

// How `@` timestamps are read and written: dtBDETimeStamp (the TDbf default) stores
// milliseconds since 1 January of year 1, dtDateTime the TDateTime value itself.
enum class TDateTimeHandling : uint8_t { dtDateTime, dtBDETimeStamp };

inline constexpr int kTableLevel3 = 3;
inline constexpr int kTableLevel4 = 4;
inline constexpr int kTableLevel7 = 7;
inline constexpr int kTableLevelFoxPro = 25;

// The FoxPro null-bit field and the lock field, by name (compared case-insensitively).
inline constexpr std::string_view kNullFlagsFieldName = "_NULLFLAGS";
inline constexpr std::string_view kDbaseLockFieldName = "_DBASELOCK";

// Engine-wide: `Y` fields read as BCD (true, the default) or as currency.
bool CurrencyAsBCD();
void SetCurrencyAsBCD(bool value);

class TDbfFieldDef {
 public:
  explicit TDbfFieldDef(int table_level = kTableLevel4,
                        TDateTimeHandling handling = TDateTimeHandling::dtBDETimeStamp);
  TDbfFieldDef(const TDbfFieldDef& other);
  TDbfFieldDef& operator=(const TDbfFieldDef& other);
  ~TDbfFieldDef();

  // ---- published properties -------------------------------------------------------------
  const std::string& FieldName() const { return field_name_; }
  // Stored upper-cased (ASCII letters).
  void SetFieldName(std::string_view name);

  data::TFieldType FieldType() const { return field_type_; }
  // Maps the dataset type to the letter of this level; throws EDbfError
  // `Cannot create field "NAME", VCL field type 24 not supported by DBF.` (ordinal in hex)
  // when there is none, leaving the definition unchanged.
  void SetFieldType(data::TFieldType type);

  // The descriptor byte; 0 when the letter is unknown.
  uint8_t NativeFieldType() const { return native_type_; }
  // a-z are stored upper-cased. An unknown letter leaves NativeFieldType() 0.
  void SetNativeFieldType(uint8_t letter);

  int Size() const { return size_; }
  void SetSize(int size);
  int Precision() const { return precision_; }
  void SetPrecision(int precision);
  // Letter, size and decimals in the order a descriptor gives them.
  void SetNative(uint8_t letter, int size, int precision);

  bool Required() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  // Bit index in the "_NULLFLAGS" field; -1 when the field has no null bit.
  int NullPosition() const { return null_position_; }
  void SetNullPosition(int position) { null_position_ = position; }

  // ---- engine-internal ------------------------------------------------------------------
  // Position in the record, 1-based after the deletion flag byte.
  int Offset() const { return offset_; }
  void SetOffset(int offset) { offset_ = offset; }
  // Next value of a level-7 `+` field; a new definition starts counting at 1.
  uint32_t AutoIncNext() const { return autoinc_next_; }
  void SetAutoIncNext(uint32_t value) { autoinc_next_ = value; }

  // Level-7 default, minimum and maximum values in the field's raw record encoding. The
  // three buffers of Size() bytes are one allocation made on first use and released with the
  // definition (or re-made, zeroed, when the size changes).
  bool HasDefault() const { return has_default_; }
  bool HasMin() const { return has_min_; }
  bool HasMax() const { return has_max_; }
  void SetHasDefault(bool value) { has_default_ = value; }
  void SetHasMin(bool value) { has_min_ = value; }
  void SetHasMax(bool value) { has_max_ = value; }
  std::span<std::byte> DefaultBuf() { return ValueBuf(0); }
  std::span<std::byte> MinBuf() { return ValueBuf(1); }
  std::span<std::byte> MaxBuf() { return ValueBuf(2); }
  std::span<const std::byte> DefaultBuf() const;
  std::span<const std::byte> MinBuf() const;
  std::span<const std::byte> MaxBuf() const;

  int TableLevel() const { return table_level_; }
  // Re-applies the size rules and re-derives the types for the new level (used by the
  // collection).
  void SetTableLevel(int level);
  TDateTimeHandling DateTimeHandling() const { return datetime_handling_; }
  void SetDateTimeHandling(TDateTimeHandling handling);

  // `M`, `G`, and `B` outside level 25: the record holds a memo block number.
  bool IsBlob() const;
  // The field's name is "_NULLFLAGS" / "_DBASELOCK" (any case).
  bool IsNullFlags() const;
  bool IsDbaseLock() const;

  // The codec for this definition's letter, size and level. Never null.
  const TFieldCodec& Codec() const { return *codec_; }

 private:
  std::span<std::byte> ValueBuf(int index);
  void ApplySizeRules();
  void DeriveFieldTypeFromNative();
  void RebuildCodec();

  std::string field_name_;
  data::TFieldType field_type_ = data::TFieldType::ftUnknown;
  uint8_t native_type_ = 0;
  int size_ = 0;
  int precision_ = 0;
  bool required_ = false;
  int null_position_ = -1;
  int offset_ = 0;
  uint32_t autoinc_next_ = 1;
  bool has_default_ = false;
  bool has_min_ = false;
  bool has_max_ = false;
  // True when the dataset type follows the letter (the definition was read from a file).
  bool type_from_native_ = true;
  int table_level_;
  TDateTimeHandling datetime_handling_;
  std::unique_ptr<std::byte[]> value_bufs_;  // 3 x size_ bytes, or null
  int value_bufs_size_ = 0;
  std::unique_ptr<TFieldCodec> codec_;
};

// Letter for a dataset type at a table level; 0 when the level has none.
uint8_t NativeTypeForFieldType(data::TFieldType type, int table_level);
// Dataset type shown for a letter read from a file; ftUnknown for an unknown letter.
data::TFieldType FieldTypeForNative(uint8_t letter, int size, int precision, int table_level);

class TDbfFieldDefs {
 public:
  explicit TDbfFieldDefs(int table_level = kTableLevel4,
                         TDateTimeHandling handling = TDateTimeHandling::dtBDETimeStamp);
  TDbfFieldDefs(const TDbfFieldDefs& other);
  TDbfFieldDefs& operator=(const TDbfFieldDefs& other);
  ~TDbfFieldDefs();

  int TableLevel() const { return table_level_; }
  // Changes the level of the collection and of every definition in it.
  void SetTableLevel(int level);
  TDateTimeHandling DateTimeHandling() const { return datetime_handling_; }
  void SetDateTimeHandling(TDateTimeHandling handling);

  int Count() const { return static_cast<int>(defs_.size()); }
  // REQUIRES: 0 <= index < Count().
  TDbfFieldDef& operator[](int index) { return *defs_[static_cast<size_t>(index)]; }
  const TDbfFieldDef& operator[](int index) const { return *defs_[static_cast<size_t>(index)]; }
  // A new empty definition at the end, with the collection's level and handling. The
  // reference stays valid until the definition is removed or the collection destroyed.
  TDbfFieldDef& Add();
  // A copy of def appended (its level and handling become the collection's).
  TDbfFieldDef& Add(const TDbfFieldDef& def);
  void Clear();

  // The definition whose name equals name upper-cased; nullptr when none.
  const TDbfFieldDef* Find(std::string_view name) const;
  TDbfFieldDef* Find(std::string_view name);
  int IndexOf(std::string_view name) const;

  // The "_NULLFLAGS" field, nullptr when the table has none.
  const TDbfFieldDef* NullFlagsField() const;

  // Sets Offset() of every definition in field order (the first at 1) and returns the
  // record length (1 + the sum of the sizes).
  int AssignOffsets();

 private:
  int table_level_;
  TDateTimeHandling datetime_handling_;
  std::vector<std::unique_ptr<TDbfFieldDef>> defs_;
};

}  // namespace lgoty::dbf
