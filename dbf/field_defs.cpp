#include "dbf/field_defs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/ascii_text.h"
#include "dbf/dbf_errors.h"
#include "dbf/field_codec.h"

namespace lgoty::dbf {

using data::TFieldType;

namespace {

bool g_currency_as_bcd = true;

constexpr uint8_t kCharacter91 = 0x91;

bool IsKnownLetter(uint8_t letter, int level) {
  switch (letter) {
    case 'C': case 'N': case 'F': case 'D': case 'L': case 'M': case 'B': case 'G':
    case 'I': case 'O': case '@': case 'T': case 'Y': case '0': case kCharacter91:
      return true;
    case '+':
      return level == kTableLevel7;
    default:
      return false;
  }
}

// Size and decimals of a size-less definition given a dataset type; returns false when the
// type has no default (the size rules of its letter decide).
bool DefaultSize(TFieldType type, int level, int& size, int& precision) {
  precision = 0;
  switch (type) {
    case TFieldType::ftString: case TFieldType::ftFixedChar: case TFieldType::ftWideString:
      size = 30;
      return true;
    case TFieldType::ftInteger: case TFieldType::ftAutoInc:
      size = level == kTableLevel7 ? 4 : 9;
      return true;
    case TFieldType::ftSmallint: case TFieldType::ftWord:
      size = 4;
      return true;
    case TFieldType::ftFloat:
      size = 18;
      precision = 8;
      return true;
    case TFieldType::ftCurrency: case TFieldType::ftBCD:
      size = 8;
      precision = 4;
      return true;
    case TFieldType::ftLargeint:
      size = 18;
      return true;
    default:
      return false;
  }
}

}  // namespace

bool CurrencyAsBCD() { return g_currency_as_bcd; }
void SetCurrencyAsBCD(bool value) { g_currency_as_bcd = value; }

uint8_t NativeTypeForFieldType(TFieldType type, int level) {
  switch (type) {
    case TFieldType::ftString: case TFieldType::ftFixedChar: case TFieldType::ftWideString:
      return 'C';
    case TFieldType::ftSmallint: case TFieldType::ftWord: case TFieldType::ftFloat:
    case TFieldType::ftLargeint:
      return 'N';
    case TFieldType::ftInteger:
      return level == kTableLevel7 ? 'I' : 'N';
    case TFieldType::ftBoolean:
      return 'L';
    case TFieldType::ftCurrency: case TFieldType::ftBCD:
      return level == kTableLevelFoxPro ? 'Y' : 0;
    case TFieldType::ftDate:
      return 'D';
    case TFieldType::ftDateTime:
      return level == kTableLevel7 ? '@' : level == kTableLevelFoxPro ? 'T' : 'D';
    case TFieldType::ftAutoInc:
      return '+';
    case TFieldType::ftBlob:
      return 'B';
    case TFieldType::ftMemo:
      return 'M';
    case TFieldType::ftDBaseOle:
      return 'G';
    default:
      return 0;
  }
}

TFieldType FieldTypeForNative(uint8_t letter, int size, int precision, int level) {
  if (!IsKnownLetter(letter, level)) return TFieldType::ftUnknown;
  switch (letter) {
    case 'C': case kCharacter91:
      return TFieldType::ftString;
    case 'N': case 'F':
      if (precision > 0) return TFieldType::ftFloat;
      if (size <= 4) return TFieldType::ftSmallint;
      if (size <= 9) return TFieldType::ftInteger;
      return TFieldType::ftLargeint;
    case 'D':
      return TFieldType::ftDate;
    case 'L':
      return TFieldType::ftBoolean;
    case 'M':
      return TFieldType::ftMemo;
    case 'B':
      return level == kTableLevelFoxPro ? TFieldType::ftFloat : TFieldType::ftBlob;
    case 'G':
      return TFieldType::ftDBaseOle;
    case 'I':
      return TFieldType::ftInteger;
    case '+':
      return TFieldType::ftAutoInc;
    case 'O':
      return TFieldType::ftFloat;
    case '@': case 'T':
      return TFieldType::ftDateTime;
    case 'Y':
      return CurrencyAsBCD() ? TFieldType::ftBCD : TFieldType::ftCurrency;
    case '0':
      return TFieldType::ftBytes;
    default:
      return TFieldType::ftUnknown;
  }
}

// ---- TDbfFieldDef -------------------------------------------------------------------------

TDbfFieldDef::TDbfFieldDef(int table_level, TDateTimeHandling handling)
    : table_level_(table_level), datetime_handling_(handling) {
  RebuildCodec();
}

TDbfFieldDef::TDbfFieldDef(const TDbfFieldDef& other)
    : table_level_(other.table_level_), datetime_handling_(other.datetime_handling_) {
  *this = other;
}

TDbfFieldDef& TDbfFieldDef::operator=(const TDbfFieldDef& other) {
  if (this == &other) return *this;
  field_name_ = other.field_name_;
  field_type_ = other.field_type_;
  native_type_ = other.native_type_;
  size_ = other.size_;
  precision_ = other.precision_;
  required_ = other.required_;
  null_position_ = other.null_position_;
  offset_ = other.offset_;
  autoinc_next_ = other.autoinc_next_;
  has_default_ = other.has_default_;
  has_min_ = other.has_min_;
  has_max_ = other.has_max_;
  type_from_native_ = other.type_from_native_;
  table_level_ = other.table_level_;
  datetime_handling_ = other.datetime_handling_;
  value_bufs_.reset();
  value_bufs_size_ = 0;
  if (other.value_bufs_) {
    const size_t bytes = 3 * static_cast<size_t>(other.value_bufs_size_);
    value_bufs_ = std::make_unique<std::byte[]>(bytes);
    std::memcpy(value_bufs_.get(), other.value_bufs_.get(), bytes);
    value_bufs_size_ = other.value_bufs_size_;
  }
  RebuildCodec();
  return *this;
}

TDbfFieldDef::~TDbfFieldDef() = default;

void TDbfFieldDef::SetFieldName(std::string_view name) { field_name_ = core::AsciiUpper(name); }

void TDbfFieldDef::SetFieldType(TFieldType type) {
  const uint8_t letter = NativeTypeForFieldType(type, table_level_);
  if (letter == 0) {
    char message[160];
    std::snprintf(message, sizeof message,
                  "Cannot create field \"%s\", VCL field type %X not supported by DBF.",
                  field_name_.c_str(), static_cast<unsigned>(type));
    throw EDbfError(message);
  }
  field_type_ = type;
  native_type_ = letter;
  type_from_native_ = false;
  if (size_ == 0) {
    int size = 0;
    int precision = 0;
    if (DefaultSize(type, table_level_, size, precision)) {
      size_ = size;
      precision_ = precision;
    }
  }
  ApplySizeRules();
  RebuildCodec();
}

void TDbfFieldDef::SetNativeFieldType(uint8_t letter) {
  letter = static_cast<uint8_t>(core::AsciiUpper(static_cast<char>(letter)));
  native_type_ = IsKnownLetter(letter, table_level_) ? letter : 0;
  type_from_native_ = true;
  ApplySizeRules();
  DeriveFieldTypeFromNative();
  RebuildCodec();
}

void TDbfFieldDef::SetSize(int size) {
  size_ = size;
  ApplySizeRules();
  DeriveFieldTypeFromNative();
  RebuildCodec();
}

void TDbfFieldDef::SetPrecision(int precision) {
  precision_ = precision;
  ApplySizeRules();
  DeriveFieldTypeFromNative();
  RebuildCodec();
}

void TDbfFieldDef::SetNative(uint8_t letter, int size, int precision) {
  SetNativeFieldType(letter);
  SetSize(size);
  SetPrecision(precision);
}

void TDbfFieldDef::SetTableLevel(int level) {
  table_level_ = level;
  if (type_from_native_ && native_type_ != 0 && !IsKnownLetter(native_type_, level))
    native_type_ = 0;
  ApplySizeRules();
  DeriveFieldTypeFromNative();
  RebuildCodec();
}

void TDbfFieldDef::SetDateTimeHandling(TDateTimeHandling handling) {
  datetime_handling_ = handling;
  RebuildCodec();
}

void TDbfFieldDef::ApplySizeRules() {
  const bool fox = table_level_ == kTableLevelFoxPro;
  switch (native_type_) {
    case '+': case 'I':
      size_ = 4;
      precision_ = 0;
      break;
    case '@': case 'D': case 'O':
      size_ = 8;
      precision_ = 0;
      break;
    case 'B':
      if (!fox) {
        size_ = 10;
        precision_ = 0;
      }
      break;
    case 'C':
      size_ = std::clamp(size_, 0, fox ? 65535 : 255);
      precision_ = 0;
      break;
    case 'N': case 'F':
      size_ = std::clamp(size_, 1, 20);
      precision_ = std::max(0, std::min(precision_, size_ - 2));
      break;
    case 'G': case 'M':
      if (fox) {
        if (size_ != 4 && size_ != 10) size_ = 4;
      } else {
        size_ = 10;
      }
      precision_ = 0;
      break;
    case 'L':
      size_ = 1;
      precision_ = 0;
      break;
    case 'T':
      size_ = fox ? 8 : 14;
      precision_ = 0;
      break;
    case 'Y':
      size_ = 8;
      precision_ = 4;
      break;
    default:
      break;
  }
  // A size change invalidates the value buffers; they are re-made on next use.
  if (value_bufs_ && value_bufs_size_ != size_) {
    value_bufs_.reset();
    value_bufs_size_ = 0;
    has_default_ = has_min_ = has_max_ = false;
  }
}

void TDbfFieldDef::DeriveFieldTypeFromNative() {
  if (type_from_native_)
    field_type_ = FieldTypeForNative(native_type_, size_, precision_, table_level_);
}

void TDbfFieldDef::RebuildCodec() { codec_ = MakeFieldCodec(*this); }

std::span<std::byte> TDbfFieldDef::ValueBuf(int index) {
  if (!value_bufs_ || value_bufs_size_ != size_) {
    const size_t size = static_cast<size_t>(std::max(size_, 0));
    value_bufs_ = std::make_unique<std::byte[]>(3 * size);  // value-initialised: zero
    value_bufs_size_ = static_cast<int>(size);
  }
  return {value_bufs_.get() + static_cast<size_t>(index) * value_bufs_size_,
          static_cast<size_t>(value_bufs_size_)};
}

std::span<const std::byte> TDbfFieldDef::DefaultBuf() const {
  return const_cast<TDbfFieldDef*>(this)->ValueBuf(0);
}
std::span<const std::byte> TDbfFieldDef::MinBuf() const {
  return const_cast<TDbfFieldDef*>(this)->ValueBuf(1);
}
std::span<const std::byte> TDbfFieldDef::MaxBuf() const {
  return const_cast<TDbfFieldDef*>(this)->ValueBuf(2);
}

bool TDbfFieldDef::IsBlob() const {
  return native_type_ == 'M' || native_type_ == 'G' ||
         (native_type_ == 'B' && table_level_ != kTableLevelFoxPro);
}

bool TDbfFieldDef::IsNullFlags() const {
  return core::AsciiSameText(field_name_, kNullFlagsFieldName);
}

bool TDbfFieldDef::IsDbaseLock() const {
  return core::AsciiSameText(field_name_, kDbaseLockFieldName);
}

// ---- TDbfFieldDefs ------------------------------------------------------------------------

TDbfFieldDefs::TDbfFieldDefs(int table_level, TDateTimeHandling handling)
    : table_level_(table_level), datetime_handling_(handling) {}

TDbfFieldDefs::TDbfFieldDefs(const TDbfFieldDefs& other)
    : table_level_(other.table_level_), datetime_handling_(other.datetime_handling_) {
  for (const auto& def : other.defs_) defs_.push_back(std::make_unique<TDbfFieldDef>(*def));
}

TDbfFieldDefs& TDbfFieldDefs::operator=(const TDbfFieldDefs& other) {
  if (this == &other) return *this;
  table_level_ = other.table_level_;
  datetime_handling_ = other.datetime_handling_;
  defs_.clear();
  for (const auto& def : other.defs_) defs_.push_back(std::make_unique<TDbfFieldDef>(*def));
  return *this;
}

TDbfFieldDefs::~TDbfFieldDefs() = default;

void TDbfFieldDefs::SetTableLevel(int level) {
  table_level_ = level;
  for (auto& def : defs_) def->SetTableLevel(level);
}

void TDbfFieldDefs::SetDateTimeHandling(TDateTimeHandling handling) {
  datetime_handling_ = handling;
  for (auto& def : defs_) def->SetDateTimeHandling(handling);
}

TDbfFieldDef& TDbfFieldDefs::Add() {
  defs_.push_back(std::make_unique<TDbfFieldDef>(table_level_, datetime_handling_));
  return *defs_.back();
}

TDbfFieldDef& TDbfFieldDefs::Add(const TDbfFieldDef& def) {
  auto copy = std::make_unique<TDbfFieldDef>(def);
  if (copy->TableLevel() != table_level_) copy->SetTableLevel(table_level_);
  if (copy->DateTimeHandling() != datetime_handling_)
    copy->SetDateTimeHandling(datetime_handling_);
  defs_.push_back(std::move(copy));
  return *defs_.back();
}

void TDbfFieldDefs::Clear() { defs_.clear(); }

int TDbfFieldDefs::IndexOf(std::string_view name) const {
  const std::string upper = core::AsciiUpper(name);
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (defs_[i]->FieldName() == upper) return static_cast<int>(i);
  }
  return -1;
}

const TDbfFieldDef* TDbfFieldDefs::Find(std::string_view name) const {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : defs_[static_cast<size_t>(index)].get();
}

TDbfFieldDef* TDbfFieldDefs::Find(std::string_view name) {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : defs_[static_cast<size_t>(index)].get();
}

const TDbfFieldDef* TDbfFieldDefs::NullFlagsField() const {
  for (const auto& def : defs_) {
    if (def->IsNullFlags()) return def.get();
  }
  return nullptr;
}

int TDbfFieldDefs::AssignOffsets() {
  int offset = 1;
  for (auto& def : defs_) {
    def->SetOffset(offset);
    offset += def->Size();
  }
  return offset;
}

}  // namespace lgoty::dbf
