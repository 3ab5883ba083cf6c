#include "dbf/dbf_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/code_page.h"
#include "core/locale.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "dbf/index_keys.h"

namespace lgoty::dbf {

using data::TFieldType;

std::string UnknownFieldMessage(const std::string& name) {
  return "Index based on unknown field \"" + name + "\".";
}

std::string InvalidFieldTypeMessage(const std::string& name) {
  return "Field \"" + name + "\" is an invalid field type to base index on.";
}

namespace {

std::string KeyTooLongMessage(const std::string& expression, size_t length) {
  return "Index result for \"" + expression + "\" too long, >100 characters (" +
         std::to_string(length) + ").";
}
constexpr const char* kInvalidIndexType = "Invalid index type: can only be string or float.";

// Numeric key encoders by result type and format: integers keep all their digits in MDX.
void MdxFromInteger(const TExprValue& v, std::span<std::byte> key) {
  EncodeMdxIntegerKey(v.integer, key);
}
void MdxFromLarge(const TExprValue& v, std::span<std::byte> key) {
  EncodeMdxIntegerKey(v.large, key);
}
void MdxFromFloat(const TExprValue& v, std::span<std::byte> key) {
  EncodeMdxNumericKey(v.real, key);
}
void NdxFromInteger(const TExprValue& v, std::span<std::byte> key) {
  EncodeNdxNumericKey(v.integer, key);
}
void NdxFromLarge(const TExprValue& v, std::span<std::byte> key) {
  EncodeNdxNumericKey(static_cast<double>(v.large), key);
}
void NdxFromFloat(const TExprValue& v, std::span<std::byte> key) {
  EncodeNdxNumericKey(v.real, key);
}

TDbfIndexParser::TKeyEncoder NumericKeyEncoder(TExpressionType type, TIndexKeyFormat format) {
  const bool mdx = format == TIndexKeyFormat::kfMdx;
  switch (type) {
    case TExpressionType::etInteger: return mdx ? &MdxFromInteger : &NdxFromInteger;
    case TExpressionType::etLargeInt: return mdx ? &MdxFromLarge : &NdxFromLarge;
    default: return mdx ? &MdxFromFloat : &NdxFromFloat;
  }
}

// The variable kind a field's dataset type gives; decided once per field.
enum class TVarKind { String, Integer, LargeInt, Float, DateTime, Boolean, None };

TVarKind VarKindOf(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
      return TVarKind::String;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
      return TVarKind::Integer;
    case TFieldType::ftLargeint:
      return TVarKind::LargeInt;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
      return TVarKind::Float;
    case TFieldType::ftDate:
    case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp:
      return TVarKind::DateTime;
    case TFieldType::ftBoolean:
      return TVarKind::Boolean;
    default:
      return TVarKind::None;
  }
}

size_t RecordEnd(const TDbfFieldDefs& defs) {
  size_t end = 1;
  for (int i = 0; i < defs.Count(); ++i) {
    end = std::max(end, static_cast<size_t>(defs[i].Offset() + defs[i].Size()));
  }
  return end;
}

}  // namespace

// ---- field variables --------------------------------------------------------------------------

TFieldVar::TFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def, TExpressionType type)
    : TVariable(def.FieldName(), type), defs_(defs), def_(def) {}

std::span<const std::byte> TFieldVar::FieldBytes(std::span<const std::byte> record) const {
  const auto offset = static_cast<size_t>(def_.Offset());
  const auto size = static_cast<size_t>(def_.Size());
  if (offset + size > record.size()) {
    throw EDbfError("Field \"" + def_.FieldName() + "\" lies outside the record.");
  }
  return record.subspan(offset, size);
}

TStringFieldVar::TStringFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def,
                                 TStringFieldMode mode, int table_code_page, int ansi_code_page)
    : TFieldVar(defs, def, TExpressionType::etString),
      mode_(mode),
      table_code_page_(table_code_page),
      ansi_code_page_(ansi_code_page) {
  const size_t size = static_cast<size_t>(std::max(def.Size(), 0));
  value_.ReserveText(mode == TStringFieldMode::smRaw ? size : 3 * size + 1);
  value_.CommitText(0);
  if (mode != TStringFieldMode::smTranslated || table_code_page == ansi_code_page) return;
  const core::CodePage* from = core::FindCodePage(table_code_page);
  const core::CodePage* to = core::FindCodePage(ansi_code_page);
  if (from == nullptr || to == nullptr || !from->IsSingleByte() || !to->IsSingleByte()) return;
  translation_.resize(256);
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const std::string out = to->FromUtf8(from->ToUtf8(std::string_view(&c, 1)));
    translation_[static_cast<size_t>(b)] = out.size() == 1 ? out[0] : '?';
  }
}

void TStringFieldVar::Refresh(std::span<const std::byte> record) {
  const std::span<const std::byte> bytes = FieldBytes(record);
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (mode_ == TStringFieldMode::smRaw) {
    value_.SetText(text);
    return;
  }
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (table_code_page_ == ansi_code_page_) {
    value_.SetText(text);
  } else if (!translation_.empty()) {
    char* dest = value_.ReserveText(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      dest[i] = translation_[static_cast<unsigned char>(text[i])];
    }
    value_.CommitText(text.size());
  } else if (core::IsCodePageInstalled(table_code_page_) &&
             core::IsCodePageInstalled(ansi_code_page_)) {
    value_.SetText(core::TranslateCodePage(table_code_page_, ansi_code_page_, text));
  } else {
    value_.SetText(text);
  }
}

TIntegerFieldVar::TIntegerFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def)
    : TFieldVar(defs, def, TExpressionType::etInteger) {}

void TIntegerFieldVar::Refresh(std::span<const std::byte> record) {
  TFieldValue value;
  value_.integer = GetFieldData(defs_, def_, TFieldType::ftInteger, record, &value)
                       ? static_cast<int32_t>(value.integer)
                       : 0;
}

TLargeIntFieldVar::TLargeIntFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def)
    : TFieldVar(defs, def, TExpressionType::etLargeInt) {}

void TLargeIntFieldVar::Refresh(std::span<const std::byte> record) {
  TFieldValue value;
  value_.large =
      GetFieldData(defs_, def_, TFieldType::ftLargeint, record, &value) ? value.integer : 0;
}

TFloatFieldVar::TFloatFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def)
    : TFieldVar(defs, def, TExpressionType::etFloat) {}

void TFloatFieldVar::Refresh(std::span<const std::byte> record) {
  TFieldValue value;
  value_.real = GetFieldData(defs_, def_, TFieldType::ftFloat, record, &value) ? value.real : 0;
}

TDateTimeFieldVar::TDateTimeFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def)
    : TFieldVar(defs, def, TExpressionType::etDateTime) {}

void TDateTimeFieldVar::Refresh(std::span<const std::byte> record) {
  TFieldValue value;
  value_.real = GetFieldData(defs_, def_, TFieldType::ftDateTime, record, &value)
                    ? value.real
                    : std::numeric_limits<double>::quiet_NaN();
}

TBooleanFieldVar::TBooleanFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def)
    : TFieldVar(defs, def, TExpressionType::etBoolean) {}

void TBooleanFieldVar::Refresh(std::span<const std::byte> record) {
  TFieldValue value;
  value_.boolean =
      GetFieldData(defs_, def_, TFieldType::ftBoolean, record, &value) && value.integer != 0;
}

// ---- TDbfParser -------------------------------------------------------------------------------

TDbfParser::TDbfParser(const TDbfFieldDefs& defs, int table_code_page, size_t record_length)
    : defs_(defs), table_code_page_(table_code_page) {
  blank_record_ = BuildBlankRecord(defs, std::max(record_length, RecordEnd(defs)));
}

TDbfParser::~TDbfParser() = default;

void TDbfParser::SetStringFieldMode(TStringFieldMode mode) {
  if (string_mode_ == mode) return;
  string_mode_ = mode;
  Recompile();
}

void TDbfParser::SetTableCodePage(int code_page) {
  if (table_code_page_ == code_page) return;
  table_code_page_ = code_page;
  Recompile();
}

int TDbfParser::TextCodePage() const {
  return string_mode_ == TStringFieldMode::smRaw ? table_code_page_ : core::AnsiCodePage();
}

TVariable* TDbfParser::ResolveName(const std::string& name) {
  const std::string key = core::UpperCase(name);
  if (auto it = field_vars_.find(key); it != field_vars_.end()) return it->second.get();
  const TDbfFieldDef* def = defs_.Find(key);
  if (def == nullptr) throw EDbfError(UnknownFieldMessage(name));
  std::unique_ptr<TFieldVar> variable;
  switch (VarKindOf(def->FieldType())) {
    case TVarKind::String:
      variable = std::make_unique<TStringFieldVar>(defs_, *def, string_mode_, table_code_page_,
                                                   core::AnsiCodePage());
      break;
    case TVarKind::Integer: variable = std::make_unique<TIntegerFieldVar>(defs_, *def); break;
    case TVarKind::LargeInt: variable = std::make_unique<TLargeIntFieldVar>(defs_, *def); break;
    case TVarKind::Float: variable = std::make_unique<TFloatFieldVar>(defs_, *def); break;
    case TVarKind::DateTime: variable = std::make_unique<TDateTimeFieldVar>(defs_, *def); break;
    case TVarKind::Boolean: variable = std::make_unique<TBooleanFieldVar>(defs_, *def); break;
    case TVarKind::None: throw EDbfError(InvalidFieldTypeMessage(name));
  }
  TVariable* raw = variable.get();
  field_vars_.emplace(key, std::move(variable));
  return raw;
}

size_t TDbfParser::StringResultLength() {
  if (const auto* field = dynamic_cast<const TStringFieldVar*>(SingleVariable())) {
    return static_cast<size_t>(field->FieldDef().Size());
  }
  return Evaluate(blank_record_).length;
}

// ---- TDbfIndexParser --------------------------------------------------------------------------

TDbfIndexParser::TDbfIndexParser(const TDbfFieldDefs& defs, int table_code_page,
                                 TIndexKeyFormat format, size_t record_length)
    : TDbfParser(defs, table_code_page, record_length), format_(format) {
  SetStringFieldMode(TStringFieldMode::smRaw);
}

void TDbfIndexParser::CheckCompiled() {
  switch (ResultType()) {
    case TExpressionType::etString:
      if (ResultLength() > kMaxCharacterKeyLength) {
        throw EDbfError(KeyTooLongMessage(Expression(), ResultLength()));
      }
      key_type_ = 'C';
      key_length_ = ResultLength();
      break;
    case TExpressionType::etInteger:
    case TExpressionType::etLargeInt:
    case TExpressionType::etFloat:
      key_type_ = 'N';
      key_length_ = format_ == TIndexKeyFormat::kfMdx ? kMdxNumericKeyLength
                                                      : kNdxNumericKeyLength;
      encode_ = NumericKeyEncoder(ResultType(), format_);
      break;
    default:
      throw EDbfError(kInvalidIndexType);
  }
  key_.assign(key_length_, std::byte{' '});
}

std::span<const std::byte> TDbfIndexParser::ExtractKeyFromRecord(
    std::span<const std::byte> record) {
  const TExprValue& value = Evaluate(record);
  std::byte* key = key_.data();
  if (key_type_ == 'C') {
    // A key may be empty (an expression such as SUBSTR(F, 1, 0)); key_ then has no storage.
    const size_t n = std::min(value.length, key_length_);
    if (n > 0) std::memcpy(key, value.text, n);
    if (key_length_ > n) std::memset(key + n, ' ', key_length_ - n);
    return key_;
  }
  encode_(value, key_);
  return key_;
}

std::unique_ptr<TDbfParser> MakeFilterParser(const TDbfFile& file) {
  return std::make_unique<TDbfParser>(file.FieldDefs(), file.EffectiveCodePage(),
                                      file.RecordSize());
}

std::unique_ptr<TDbfIndexParser> MakeIndexParser(const TDbfFile& file, TIndexKeyFormat format) {
  return std::make_unique<TDbfIndexParser>(file.FieldDefs(), file.EffectiveCodePage(), format,
                                           file.RecordSize());
}

}  // namespace lgoty::dbf
