#include "dbf/field_codec.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/date_time.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/number_text.h"

namespace lgoty::dbf {

using data::TFieldType;

namespace {

constexpr std::byte kSpace{0x20};
constexpr uint32_t kBit31 = 0x8000'0000u;
constexpr uint64_t kSignBit64 = 0x8000'0000'0000'0000ull;
constexpr double kCurrencyScale = 10'000.0;

[[noreturn]] void ThrowDoesNotFit(const TDbfFieldDef& def, const std::string& value_text) {
  throw EDbfError("Value " + value_text + " does not fit into field \"" + def.FieldName() +
                  "\" (" + std::to_string(def.Size()) + "." + std::to_string(def.Precision()) +
                  ").");
}

std::string DoubleText(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}

// ---- value conversions between classes ------------------------------------------------------

// A double that is a valid TDateTime for the rest of the system (finite, within years
// 1..9999 give or take); anything else from a file is replaced by the zero date-time.
double SaneDateTime(double value) {
  constexpr double kLimit = 3'000'000.0;  // days; year 9999 is about 2 958 465
  return (std::isfinite(value) && std::fabs(value) < kLimit) ? value : 0.0;
}

int64_t DoubleToInt64(double value) {
  if (!std::isfinite(value) || std::fabs(value) >= 9.2e18) return 0;
  return static_cast<int64_t>(std::llround(value));
}

void StoreInteger(TFieldValue& out, TFieldType requested, int64_t value) {
  switch (ValueClassOf(requested)) {
    case TValueClass::Text: out.text = std::to_string(value); break;
    case TValueClass::Integer: out.integer = value; break;
    case TValueClass::Boolean: out.integer = value != 0; break;
    case TValueClass::Float: case TValueClass::Date: out.real = static_cast<double>(value); break;
    case TValueClass::BCD: out.integer = value * 10'000; break;
  }
}

void StoreReal(TFieldValue& out, TFieldType requested, double value) {
  switch (ValueClassOf(requested)) {
    case TValueClass::Text: out.text = DoubleText(value); break;
    case TValueClass::Integer: out.integer = DoubleToInt64(value); break;
    case TValueClass::Boolean: out.integer = value != 0; break;
    case TValueClass::Float: case TValueClass::Date: out.real = value; break;
    case TValueClass::BCD: out.integer = DoubleToInt64(value * kCurrencyScale); break;
  }
}

// The value of type as a double / integer (for binary fields).
double ValueAsDouble(TFieldType type, const TFieldValue& v) {
  switch (ValueClassOf(type)) {
    case TValueClass::Text: {
      double d = 0;
      ParseDecimal(v.text.data(), v.text.data() + v.text.size(), d);
      return d;
    }
    case TValueClass::Integer: case TValueClass::Boolean: return static_cast<double>(v.integer);
    case TValueClass::Float: case TValueClass::Date: return v.real;
    case TValueClass::BCD: return static_cast<double>(v.integer) / kCurrencyScale;
  }
  return 0;
}

// Integer value; false when the value is no whole number that int64 holds.
bool ValueAsInt64(TFieldType type, const TFieldValue& v, int64_t& out) {
  switch (ValueClassOf(type)) {
    case TValueClass::Text:
      return ParseInteger(v.text.data(), v.text.data() + v.text.size(), out);
    case TValueClass::Integer: case TValueClass::Boolean: out = v.integer; return true;
    case TValueClass::BCD: out = v.integer / 10'000; return true;
    case TValueClass::Float: case TValueClass::Date:
      if (!std::isfinite(v.real) || std::fabs(v.real) >= 9.2e18) return false;
      out = static_cast<int64_t>(std::llround(v.real));
      return true;
  }
  return false;
}

std::string ValueText(TFieldType type, const TFieldValue& v) {
  switch (ValueClassOf(type)) {
    case TValueClass::Text: return v.text;
    case TValueClass::Integer: case TValueClass::Boolean: return std::to_string(v.integer);
    case TValueClass::BCD: return DoubleText(static_cast<double>(v.integer) / kCurrencyScale);
    case TValueClass::Float: case TValueClass::Date: return DoubleText(v.real);
  }
  return {};
}

bool AllZero(const std::byte* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != std::byte{0}) return false;
  }
  return true;
}

// ---- text -------------------------------------------------------------------------------------

// Every letter not stored in binary: C N F D L, M B G as 10-digit block numbers, 0x91, and
// the "_NULLFLAGS" bytes of type 0 (which a blank record holds as zero bytes).
class TextCodec final : public TFieldCodec {
 public:
  TextCodec(const TDbfFieldDef& def, bool zero_pad_block_numbers, bool blank_is_zero)
      : def_(def),
        size_(static_cast<size_t>(def.Size())),
        zero_pad_(zero_pad_block_numbers),
        blank_zero_(blank_is_zero) {}

  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    const char* begin = reinterpret_cast<const char*>(field);
    const char* end = begin + size_;
    end = TrimTrailingBlanks(begin, end);
    const TValueClass value_class = ValueClassOf(requested);
    if (value_class == TValueClass::Text) {
      if (out) out->text.assign(begin, end);
      return end != begin;
    }
    while (begin < end && *begin == ' ') ++begin;
    if (begin == end) return false;
    if (!out) return true;
    switch (value_class) {
      case TValueClass::Integer: {
        int64_t value = 0;
        if (!ParseInteger(begin, end, value)) value = 0;
        if (Is32Bit(requested) &&
            (value < std::numeric_limits<int32_t>::min() ||
             value > std::numeric_limits<int32_t>::max()))
          value = 0;
        out->integer = value;
        break;
      }
      case TValueClass::Boolean:
        out->integer = (*begin == 'T' || *begin == 't') ? 1 : 0;
        break;
      case TValueClass::Float: {
        double value = 0;
        if (!ParseDecimal(begin, end, value)) value = 0;
        out->real = value;
        break;
      }
      case TValueClass::BCD: {
        double value = 0;
        if (!ParseDecimal(begin, end, value)) value = 0;
        out->integer = DoubleToInt64(value * kCurrencyScale);
        break;
      }
      case TValueClass::Date:
        out->real = ParseDateText(begin, end);
        break;
      case TValueClass::Text:
        break;
    }
    return true;
  }

  bool TextIsTrimmedBytes() const override { return true; }

  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    if (!value) {
      std::memset(field, ' ', size_);
      return;
    }
    std::string text;
    bool right_align = true;
    switch (ValueClassOf(type)) {
      case TValueClass::Text:
        text = value->text;
        right_align = false;
        break;
      case TValueClass::Integer: {
        const bool zero_pad = zero_pad_ && (type == TFieldType::ftInteger ||
                                            type == TFieldType::ftAutoInc || IsBlobType(type));
        if (!FormatInteger(value->integer, size_, zero_pad, text))
          ThrowDoesNotFit(def_, std::to_string(value->integer));
        break;
      }
      case TValueClass::Boolean:
        text = value->integer ? "T" : "F";
        right_align = false;
        break;
      case TValueClass::Float:
        text = FloatText(value->real);
        break;
      case TValueClass::BCD:
        text = FloatText(static_cast<double>(value->integer) / kCurrencyScale);
        break;
      case TValueClass::Date:
        text = DateText(value->real);
        right_align = false;
        break;
    }
    const size_t n = std::min(text.size(), size_);
    if (right_align) {
      std::memset(field, ' ', size_ - n);
      std::memcpy(field + (size_ - n), text.data(), n);
    } else {
      std::memcpy(field, text.data(), n);
      std::memset(field + n, ' ', size_ - n);
    }
  }

  bool BlankIsZero() const override { return blank_zero_; }

 private:
  static bool Is32Bit(TFieldType t) {
    return t == TFieldType::ftSmallint || t == TFieldType::ftInteger ||
           t == TFieldType::ftWord || t == TFieldType::ftAutoInc;
  }

  // Fixed-point text with the field's decimals; decimals that do not fit are dropped from
  // the right, an integer part that does not fit is refused.
  std::string FloatText(double value) const {
    std::string text;
    if (!FormatFixed(value, def_.Precision(), text)) ThrowDoesNotFit(def_, DoubleText(value));
    if (text.size() > size_) {
      const size_t point = text.find('.');
      if (point == std::string::npos || point > size_) ThrowDoesNotFit(def_, text);
      text.resize(size_);
    }
    return text;
  }

  const TDbfFieldDef& def_;
  size_t size_;
  bool zero_pad_;
  bool blank_zero_;
};

// ---- 32-bit integers: I and + -------------------------------------------------------------

class Int32Codec final : public TFieldCodec {
 public:
  Int32Codec(const TDbfFieldDef& def, bool foxpro) : def_(def), foxpro_(foxpro) {}

  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    int32_t value;
    if (foxpro_) {
      value = core::GetI32LE(field);
    } else {
      const uint32_t raw = core::GetU32BE(field);
      if (raw == 0) return false;
      value = static_cast<int32_t>(raw ^ kBit31);
    }
    if (out) StoreInteger(*out, requested, value);
    return true;
  }

  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    if (!value) {
      core::PutU32LE(field, 0);
      return;
    }
    int64_t v = 0;
    if (!ValueAsInt64(type, *value, v) || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
      ThrowDoesNotFit(def_, ValueText(type, *value));
    if (foxpro_)
      core::PutI32LE(field, static_cast<int32_t>(v));
    else
      core::PutU32BE(field, static_cast<uint32_t>(v) ^ kBit31);
  }

  bool BlankIsZero() const override { return true; }

 private:
  const TDbfFieldDef& def_;
  bool foxpro_;
};

// ---- @ timestamps -------------------------------------------------------------------------

class TimestampCodec final : public TFieldCodec {
 public:
  TimestampCodec(const TDbfFieldDef& def, TDateTimeHandling handling)
      : def_(def), handling_(handling) {}

  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    if (AllZero(field, 8)) return false;
    if (!out) return true;
    const double stored = std::bit_cast<double>(core::GetU64BE(field));
    double value;
    if (handling_ == TDateTimeHandling::dtBDETimeStamp) {
      // Milliseconds since the start of day number 0; outside years 1..9999 is garbage.
      constexpr double kMaxMSecs = 3'652'060.0 * 86'400'000.0;
      value = (std::isfinite(stored) && stored >= 0 && stored < kMaxMSecs)
                  ? core::MSecsToDateTime(std::round(stored))
                  : 0.0;
    } else {
      value = SaneDateTime(stored);
    }
    StoreReal(*out, requested, value);
    return true;
  }

  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    if (!value) {
      core::PutU64LE(field, 0);
      return;
    }
    const double date_time = ValueAsDouble(type, *value);
    if (!std::isfinite(date_time)) ThrowDoesNotFit(def_, ValueText(type, *value));
    const double stored = handling_ == TDateTimeHandling::dtBDETimeStamp
                              ? core::DateTimeToMSecs(date_time)
                              : date_time;
    core::PutU64BE(field, std::bit_cast<uint64_t>(stored));
  }

  bool BlankIsZero() const override { return true; }

 private:
  const TDbfFieldDef& def_;
  TDateTimeHandling handling_;
};

// ---- B at level 25: little-endian double ----------------------------------------------------

class DoubleCodec final : public TFieldCodec {
 public:
  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    if (out) StoreReal(*out, requested, core::GetDoubleLE(field));
    return true;
  }
  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    core::PutDoubleLE(field, value ? ValueAsDouble(type, *value) : 0.0);
  }
  bool BlankIsZero() const override { return true; }
};

// ---- 4-byte memo block numbers (FoxPro M and G of size 4) -----------------------------------

class BlockNumberCodec final : public TFieldCodec {
 public:
  explicit BlockNumberCodec(const TDbfFieldDef& def) : def_(def) {}

  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    const uint32_t block = core::GetU32LE(field);
    if (block == 0) return false;
    if (out) StoreInteger(*out, requested, block);
    return true;
  }
  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    int64_t block = 0;
    if (value && (!ValueAsInt64(type, *value, block) || block < 0 || block > UINT32_MAX))
      ThrowDoesNotFit(def_, ValueText(type, *value));
    core::PutU32LE(field, static_cast<uint32_t>(block));
  }
  bool BlankIsZero() const override { return true; }

 private:
  const TDbfFieldDef& def_;
};

// ---- O: doubles that sort as bytes ------------------------------------------------------------

class OrderedDoubleCodec final : public TFieldCodec {
 public:
  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    if (AllZero(field, 8)) return false;
    if (!out) return true;
    uint64_t bits = core::GetU64BE(field);
    bits = (bits & kSignBit64) ? (bits ^ kSignBit64) : ~bits;
    StoreReal(*out, requested, std::bit_cast<double>(bits));
    return true;
  }
  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    if (!value) {
      core::PutU64LE(field, 0);
      return;
    }
    // By the sign bit rather than by "< 0", so that -0.0 does not become all zeros (null).
    uint64_t bits = std::bit_cast<uint64_t>(ValueAsDouble(type, *value));
    bits = (bits & kSignBit64) ? ~bits : (bits | kSignBit64);
    core::PutU64BE(field, bits);
  }
  bool BlankIsZero() const override { return true; }
};

// ---- T: Julian day + milliseconds -----------------------------------------------------------

class JulianDateTimeCodec final : public TFieldCodec {
 public:
  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    if (AllZero(field, 8)) return false;
    if (!out) return true;
    const int64_t julian = core::GetI32LE(field);
    const int64_t msecs = core::GetI32LE(field + 4);
    const double date = core::DayNumberToDate(julian - core::kJulianDayOffset);
    const double value = date + static_cast<double>(msecs) / core::kMSecsPerDay;
    StoreReal(*out, requested, SaneDateTime(value));
    return true;
  }
  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    if (!value) {
      core::PutU64LE(field, 0);
      return;
    }
    const double date_time = SaneDateTime(ValueAsDouble(type, *value));
    const int64_t julian = core::DateToDayNumber(date_time) + core::kJulianDayOffset;
    const int64_t msecs = core::TimeToMSecs(date_time);
    core::PutI32LE(field, static_cast<int32_t>(julian));
    core::PutI32LE(field + 4, static_cast<int32_t>(msecs));
  }
  bool BlankIsZero() const override { return true; }
};

// ---- Y: currency as a 64-bit integer scaled by 10 000 ---------------------------------------

class CurrencyCodec final : public TFieldCodec {
 public:
  explicit CurrencyCodec(const TDbfFieldDef& def) : def_(def) {}

  bool Decode(const std::byte* field, TFieldType requested, TFieldValue* out) const override {
    if (!out) return true;
    const int64_t scaled = core::GetI64LE(field);
    switch (ValueClassOf(requested)) {
      case TValueClass::BCD: out->integer = scaled; break;
      case TValueClass::Integer: out->integer = scaled / 10'000; break;
      case TValueClass::Boolean: out->integer = scaled != 0; break;
      case TValueClass::Float: case TValueClass::Date:
        out->real = static_cast<double>(scaled) / kCurrencyScale;
        break;
      case TValueClass::Text: {
        std::string text;
        FormatFixed(static_cast<double>(scaled) / kCurrencyScale, 4, text);
        out->text = text;
        break;
      }
    }
    return true;
  }

  void Encode(std::byte* field, TFieldType type, const TFieldValue* value) const override {
    int64_t scaled = 0;
    if (value) {
      switch (ValueClassOf(type)) {
        case TValueClass::BCD: scaled = value->integer; break;
        case TValueClass::Integer: case TValueClass::Boolean:
          if (value->integer > INT64_MAX / 10'000 || value->integer < INT64_MIN / 10'000)
            ThrowDoesNotFit(def_, std::to_string(value->integer));
          scaled = value->integer * 10'000;
          break;
        default: {
          // Truncated toward zero, as currency conversion does.
          const double amount = ValueAsDouble(type, *value) * kCurrencyScale;
          if (!std::isfinite(amount) || std::fabs(amount) >= 9.2e18)
            ThrowDoesNotFit(def_, ValueText(type, *value));
          scaled = static_cast<int64_t>(std::trunc(amount));
          break;
        }
      }
    }
    core::PutI64LE(field, scaled);
  }

  bool BlankIsZero() const override { return true; }

 private:
  const TDbfFieldDef& def_;
};

}  // namespace

TValueClass ValueClassOf(TFieldType type) {
  switch (type) {
    case TFieldType::ftSmallint: case TFieldType::ftInteger: case TFieldType::ftWord:
    case TFieldType::ftAutoInc: case TFieldType::ftLargeint:
    case TFieldType::ftBlob: case TFieldType::ftMemo: case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo: case TFieldType::ftParadoxOle: case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary: case TFieldType::ftOraBlob: case TFieldType::ftOraClob:
      return TValueClass::Integer;
    case TFieldType::ftBoolean:
      return TValueClass::Boolean;
    case TFieldType::ftFloat: case TFieldType::ftCurrency:
      return TValueClass::Float;
    case TFieldType::ftBCD: case TFieldType::ftFMTBcd:
      return TValueClass::BCD;
    case TFieldType::ftDate: case TFieldType::ftTime: case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp:
      return TValueClass::Date;
    default:
      return TValueClass::Text;
  }
}

std::unique_ptr<TFieldCodec> MakeFieldCodec(const TDbfFieldDef& def) {
  const bool fox = def.TableLevel() == kTableLevelFoxPro;
  // A binary encoding needs its whole width inside the field. The size rules give every
  // binary letter its width, except B at level 25, whose size a file may state freely; a
  // field too small for its encoding is handled as text, which never leaves the field.
  auto binary = [&](int width, auto make) -> std::unique_ptr<TFieldCodec> {
    if (def.Size() < width) return std::make_unique<TextCodec>(def, false, false);
    return make();
  };
  switch (def.NativeFieldType()) {
    case 'I': case '+':
      return binary(4, [&] { return std::make_unique<Int32Codec>(def, fox); });
    case '@':
      return binary(8, [&] { return std::make_unique<TimestampCodec>(def, def.DateTimeHandling()); });
    case 'O':
      return binary(8, [&] { return std::make_unique<OrderedDoubleCodec>(); });
    case 'T':
      return binary(8, [&] { return std::make_unique<JulianDateTimeCodec>(); });
    case 'Y':
      return binary(8, [&] { return std::make_unique<CurrencyCodec>(def); });
    case 'B':
      if (fox) return binary(8, [&] { return std::make_unique<DoubleCodec>(); });
      return std::make_unique<TextCodec>(def, true, false);
    case 'M': case 'G':
      if (def.Size() == 4) return std::make_unique<BlockNumberCodec>(def);
      return std::make_unique<TextCodec>(def, true, false);
    case '0':
      return std::make_unique<TextCodec>(def, false, true);
    default:
      return std::make_unique<TextCodec>(def, false, false);
  }
}

namespace {

void CheckFieldInRecord(const TDbfFieldDef& def, size_t record_size) {
  if (def.Offset() < 1 || def.Size() < 0 ||
      static_cast<size_t>(def.Offset()) + static_cast<size_t>(def.Size()) > record_size)
    throw EDbfError("Field \"" + def.FieldName() + "\" lies outside the record.");
}

// The byte and bit of def's null flag, or nullptr when it has none.
const std::byte* NullFlagByte(const TDbfFieldDefs& defs, const TDbfFieldDef& def,
                              std::span<const std::byte> record, uint8_t& mask) {
  if (def.NullPosition() < 0) return nullptr;
  const TDbfFieldDef* flags = defs.NullFlagsField();
  if (!flags) return nullptr;
  const int byte_index = def.NullPosition() / 8;
  if (byte_index >= flags->Size()) return nullptr;
  CheckFieldInRecord(*flags, record.size());
  mask = static_cast<uint8_t>(1u << (def.NullPosition() % 8));
  return record.data() + flags->Offset() + byte_index;
}

}  // namespace

bool GetFieldData(const TDbfFieldDefs& defs, const TDbfFieldDef& def, TFieldType requested,
                  std::span<const std::byte> record, TFieldValue* out) {
  CheckFieldInRecord(def, record.size());
  if (!out) {
    uint8_t mask = 0;
    if (const std::byte* flag = NullFlagByte(defs, def, record, mask))
      return (static_cast<uint8_t>(*flag) & mask) == 0;
  }
  return def.Codec().Decode(record.data() + def.Offset(), requested, out);
}

bool IsFieldNull(const TDbfFieldDefs& defs, const TDbfFieldDef& def,
                 std::span<const std::byte> record) {
  return !GetFieldData(defs, def, def.FieldType(), record, nullptr);
}

void SetFieldData(const TDbfFieldDefs& defs, const TDbfFieldDef& def, TFieldType type,
                  std::span<std::byte> record, const TFieldValue* value) {
  CheckFieldInRecord(def, record.size());
  // Encode first: a refused value leaves the record, null bit included, unchanged.
  def.Codec().Encode(record.data() + def.Offset(), type, value);
  uint8_t mask = 0;
  if (const std::byte* flag = NullFlagByte(defs, def, record, mask)) {
    std::byte* writable = record.data() + (flag - record.data());
    *writable = value ? (*writable & std::byte{static_cast<uint8_t>(~mask)})
                      : (*writable | std::byte{mask});
  }
}

std::vector<std::byte> BuildBlankRecord(const TDbfFieldDefs& defs, size_t record_length) {
  std::vector<std::byte> record(record_length, kSpace);
  auto fill = [&](const TDbfFieldDef& def, std::byte value) {
    CheckFieldInRecord(def, record_length);
    std::memset(record.data() + def.Offset(), static_cast<int>(value),
                static_cast<size_t>(def.Size()));
  };
  if (const TDbfFieldDef* flags = defs.NullFlagsField()) fill(*flags, std::byte{0xFF});
  for (int i = 0; i < defs.Count(); ++i) {
    if (defs[i].Codec().BlankIsZero()) fill(defs[i], std::byte{0});
  }
  for (int i = 0; i < defs.Count(); ++i) {
    const TDbfFieldDef& def = defs[i];
    if (!def.HasDefault()) continue;
    CheckFieldInRecord(def, record_length);
    const auto value = def.DefaultBuf();
    std::memcpy(record.data() + def.Offset(), value.data(),
                std::min(value.size(), static_cast<size_t>(def.Size())));
    uint8_t mask = 0;
    if (const std::byte* flag = NullFlagByte(defs, def, record, mask)) {
      std::byte* writable = record.data() + (flag - record.data());
      *writable &= std::byte{static_cast<uint8_t>(~mask)};
    }
  }
  return record;
}

void EncodeAutoIncValue(std::byte* field, uint32_t value) { core::PutU32BE(field, value ^ kBit31); }

// ---- Variant forms ----------------------------------------------------------------------------

TFieldValue FieldValueFromVariant(TFieldType type, const core::Variant& value) {
  TFieldValue v;
  switch (ValueClassOf(type)) {
    case TValueClass::Text: v.text = value.AsString(); break;
    case TValueClass::Integer: v.integer = value.AsInt64(); break;
    case TValueClass::Boolean: v.integer = value.AsBoolean() ? 1 : 0; break;
    case TValueClass::Float: v.real = value.AsDouble(); break;
    case TValueClass::BCD: v.integer = value.AsCurrency(); break;
    case TValueClass::Date: v.real = value.AsDate(); break;
  }
  return v;
}

core::Variant FieldValueToVariant(TFieldType type, const TFieldValue& v) {
  switch (ValueClassOf(type)) {
    case TValueClass::Text: return core::Variant(v.text);
    case TValueClass::Integer:
      if (type == TFieldType::ftSmallint) return core::Variant::FromSmallint(static_cast<int16_t>(v.integer));
      if (type == TFieldType::ftInteger || type == TFieldType::ftWord ||
          type == TFieldType::ftAutoInc)
        return core::Variant(static_cast<int32_t>(v.integer));
      return core::Variant(static_cast<int64_t>(v.integer));
    case TValueClass::Boolean: return core::Variant(v.integer != 0);
    case TValueClass::Float:
      if (type == TFieldType::ftCurrency) return core::Variant::FromCurrency(v.real);
      return core::Variant(v.real);
    case TValueClass::BCD: return core::Variant::FromCurrency(static_cast<int64_t>(v.integer));
    case TValueClass::Date: return core::Variant::FromDate(v.real);
  }
  return {};
}

core::Variant GetFieldVariant(const TDbfFieldDefs& defs, const TDbfFieldDef& def,
                              TFieldType requested, std::span<const std::byte> record) {
  TFieldValue v;
  if (!GetFieldData(defs, def, requested, record, nullptr)) return core::Variant::Null();
  if (!GetFieldData(defs, def, requested, record, &v)) return core::Variant::Null();
  return FieldValueToVariant(requested, v);
}

void SetFieldVariant(const TDbfFieldDefs& defs, const TDbfFieldDef& def, TFieldType type,
                     std::span<std::byte> record, const core::Variant& value) {
  if (value.IsEmptyOrNull()) {
    SetFieldData(defs, def, type, record, nullptr);
    return;
  }
  const TFieldValue v = FieldValueFromVariant(type, value);
  SetFieldData(defs, def, type, record, &v);
}

}  // namespace lgoty::dbf
