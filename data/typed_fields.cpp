#include "data/typed_fields.h"

#include <cmath>
#include <limits>

#include "core/locale.h"
#include "core/text_format.h"
#include "data/database_error.h"
#include "data/field_defs.h"

namespace lgoty::data {

namespace {

const core::FormatSettings& Settings() { return core::DefaultFormatSettings(); }

// "%d is not a valid value for field 'X'. The allowed range is %d to %d".
[[noreturn]] void RangeError(const std::string& value, const std::string& field, int64_t min,
                             int64_t max) {
  throw EDatabaseError(value + " is not a valid value for field '" + field +
                       "'. The allowed range is " + std::to_string(min) + " to " +
                       std::to_string(max));
}

// A value as a whole number: text is parsed as an integer, a fraction is refused.
int64_t WholeNumber(const core::Variant& value, const std::string& field) {
  if (value.IsString()) {
    int64_t number = 0;
    if (!core::TryStrToInt64(value.text(), number)) {
      throw core::EConvertError("'" + value.text() + "' is not a valid integer value");
    }
    return number;
  }
  if (value.kind() == core::Variant::Kind::Double || value.kind() == core::Variant::Kind::Date) {
    double real = value.real();
    if (!std::isfinite(real) || real < -9.2e18 || real > 9.2e18) {
      throw EDatabaseError(FieldRangeText(core::FloatToStr(real, Settings()), field));
    }
    return static_cast<int64_t>(std::llround(real));
  }
  return value.AsInt64(Settings());
}

}  // namespace

// ---- strings --------------------------------------------------------------------------------

core::Variant TStringField::GetAsVariant() const {
  core::Variant value;
  ReadText(value);
  return value;
}

std::string TStringField::GetAsString() const {
  core::Variant data = GetData();
  if (data.IsEmptyOrNull()) return {};
  if (data.IsString()) return TranslateFromTable(data.text());
  return TranslateFromTable(data.AsString(Settings()));
}

void TStringField::SetVariantValue(const core::Variant& value) {
  SetStringValue(value.AsString(Settings()));
}

void TStringField::SetStringValue(std::string_view value) {
  SetData(core::Variant(TranslateToTable(std::string(value))));
}

// ---- integers -------------------------------------------------------------------------------

TIntegerField::TIntegerField(std::string name, TFieldType type)
    : TNumericField(std::move(name), type) {
  switch (type) {
    case TFieldType::ftSmallint:
      min_ = std::numeric_limits<int16_t>::min();
      max_ = std::numeric_limits<int16_t>::max();
      break;
    case TFieldType::ftWord:
      min_ = 0;
      max_ = std::numeric_limits<uint16_t>::max();
      break;
    default:
      min_ = std::numeric_limits<int32_t>::min();
      max_ = std::numeric_limits<int32_t>::max();
      break;
  }
}

void TIntegerField::SetVariantValue(const core::Variant& value) {
  int64_t number = WholeNumber(value, FieldName());
  if (number < min_ || number > max_) RangeError(std::to_string(number), FieldName(), min_, max_);
  SetData(core::Variant(static_cast<int32_t>(number)));
}

std::string TIntegerField::GetText(bool display) const {
  core::Variant data = GetData();
  if (data.IsEmptyOrNull()) return {};
  int64_t number = data.AsInt64(Settings());
  const std::string& picture = Picture(display);
  if (picture.empty()) return core::IntToStr(number);
  return core::FormatFloat(picture, static_cast<double>(number), Settings());
}

int TIntegerField::DefaultWidth() const {
  switch (DataType()) {
    case TFieldType::ftSmallint:
      return 6;
    case TFieldType::ftWord:
      return 5;
    default:
      return 11;
  }
}

void TLargeintField::SetVariantValue(const core::Variant& value) {
  SetData(core::Variant(WholeNumber(value, FieldName())));
}

std::string TLargeintField::GetText(bool display) const {
  core::Variant data = GetData();
  if (data.IsEmptyOrNull()) return {};
  int64_t number = data.AsInt64(Settings());
  const std::string& picture = Picture(display);
  if (picture.empty()) return core::IntToStr(number);
  return core::FormatFloat(picture, static_cast<double>(number), Settings());
}

// ---- floats and fixed point -----------------------------------------------------------------

namespace {

std::string NumberText(double number, const std::string& picture, bool currency, int precision,
                       bool display) {
  const core::FormatSettings& fs = Settings();
  if (!picture.empty()) return core::FormatFloat(picture, number, fs);
  if (currency) {
    return core::FloatToStrF(number,
                             display ? core::FloatFormat::ffCurrency : core::FloatFormat::ffFixed,
                             precision, fs.CurrencyDecimals, fs);
  }
  return core::FloatToStrF(number, core::FloatFormat::ffGeneral, precision, 0, fs);
}

}  // namespace

double TFloatField::GetAsFloat() const {
  // Scans read one amount per record: the dataset's shortcut spares the Variant.
  double value;
  if (GetDataDouble(value)) return value;
  return TField::GetAsFloat();
}

void TFloatField::SetVariantValue(const core::Variant& value) {
  double number =
      value.IsString() ? core::StrToFloat(value.text(), Settings()) : value.AsDouble(Settings());
  SetData(core::Variant(number));
}

std::string TFloatField::GetText(bool display) const {
  core::Variant data = GetData();
  if (data.IsEmptyOrNull()) return {};
  return NumberText(data.AsDouble(Settings()), Picture(display), currency_,
                    precision_ > 0 ? precision_ : 15, display);
}

void TBCDField::SetVariantValue(const core::Variant& value) {
  if (value.IsString()) {
    int64_t scaled = 0;
    if (!core::TryStrToCurr(value.text(), scaled, Settings())) {
      throw core::EConvertError("'" + value.text() + "' is not a valid floating point value");
    }
    SetData(core::Variant::FromCurrency(scaled));
    return;
  }
  SetData(core::Variant::FromCurrency(value.AsCurrency(Settings())));
}

std::string TBCDField::GetText(bool display) const {
  core::Variant data = GetData();
  if (data.IsEmptyOrNull()) return {};
  return NumberText(data.AsDouble(Settings()), Picture(display), currency_, 15, display);
}

// ---- Booleans -------------------------------------------------------------------------------

void TBooleanField::SetDisplayValues(std::string values) {
  size_t semicolon = values.find(';');
  if (semicolon == std::string::npos) {
    true_text_ = values;
    false_text_.clear();
  } else {
    true_text_ = values.substr(0, semicolon);
    false_text_ = values.substr(semicolon + 1);
  }
  display_values_ = std::move(values);
}

void TBooleanField::SetVariantValue(const core::Variant& value) {
  if (value.IsString()) {
    SetStringValue(value.text());
    return;
  }
  SetData(core::Variant(value.AsBoolean(Settings())));
}

void TBooleanField::SetStringValue(std::string_view value) {
  if (value.empty()) {
    Clear();
    return;
  }
  // A text that begins one of the display texts stands for it (so "T" and "F" do).
  auto begins = [&](const std::string& text) {
    return !text.empty() && value.size() <= text.size() &&
           core::AnsiSameText(text.substr(0, value.size()), value);
  };
  bool result;
  if (begins(true_text_)) {
    result = true;
  } else if (begins(false_text_)) {
    result = false;
  } else if (!core::TryStrToBool(value, result, Settings())) {
    throw EDatabaseError("'" + std::string(value) + "' is not a valid boolean value for field '" +
                         FieldName() + "'");
  }
  SetData(core::Variant(result));
}

std::string TBooleanField::GetAsString() const {
  core::Variant data = GetData();
  if (data.IsEmptyOrNull()) return {};
  return data.AsBoolean(Settings()) ? true_text_ : false_text_;
}

// ---- dates and times ------------------------------------------------------------------------

void TDateTimeField::SetVariantValue(const core::Variant& value) {
  core::TDateTime date_time;
  if (value.IsString()) {
    switch (DataType()) {
      case TFieldType::ftDate:
        date_time = core::StrToDate(value.text(), Settings());
        break;
      case TFieldType::ftTime:
        date_time = core::StrToTime(value.text(), Settings());
        break;
      default:
        date_time = core::StrToDateTime(value.text(), Settings());
        break;
    }
  } else {
    date_time = value.AsDate(Settings());
  }
  SetData(core::Variant::FromDate(date_time));
}

std::string TDateTimeField::GetText(bool display) const {
  core::Variant data = GetData();
  if (data.IsEmptyOrNull()) return {};
  core::TDateTime value = data.AsDate(Settings());
  std::string_view format = display ? std::string_view(display_format_) : std::string_view();
  if (format.empty()) {
    switch (DataType()) {
      case TFieldType::ftDate:
        format = "ddddd";
        break;
      case TFieldType::ftTime:
        format = "tt";
        break;
      default:
        format = "c";
        break;
    }
  }
  return core::FormatDateTime(format, value, Settings());
}

int TDateTimeField::DefaultWidth() const {
  switch (DataType()) {
    case TFieldType::ftDate:
    case TFieldType::ftTime:
      return 10;
    default:
      return 18;
  }
}

// ---- blobs ----------------------------------------------------------------------------------

void TBlobField::SetVariantValue(const core::Variant& value) {
  SetData(core::Variant(value.AsString(Settings())));
}

std::string TBlobField::GetText(bool display) const {
  if (!display) return GetAsString();
  return IsNull() ? "(Blob)" : "(BLOB)";
}

core::Variant TMemoField::GetAsVariant() const {
  core::Variant value;
  ReadText(value);
  return value;
}

void TMemoField::SetVariantValue(const core::Variant& value) {
  SetData(core::Variant(TranslateToTable(value.AsString(Settings()))));
}

std::string TMemoField::GetText(bool display) const {
  if (!display) return GetAsString();
  return IsNull() ? "(Memo)" : "(MEMO)";
}

void TBytesField::SetVariantValue(const core::Variant& value) {
  SetData(core::Variant(value.AsString(Settings())));
}

// ---- the factory ----------------------------------------------------------------------------

std::unique_ptr<TField> CreateField(const TFieldDef& def) {
  const std::string& name = def.Name();
  std::unique_ptr<TField> field;
  switch (def.DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
    case TFieldType::ftGuid:
      field = std::make_unique<TStringField>(name, def.Size(), def.DataType());
      break;
    case TFieldType::ftSmallint:
      field = std::make_unique<TSmallintField>(name);
      break;
    case TFieldType::ftInteger:
      field = std::make_unique<TIntegerField>(name);
      break;
    case TFieldType::ftWord:
      field = std::make_unique<TWordField>(name);
      break;
    case TFieldType::ftAutoInc:
      field = std::make_unique<TAutoIncField>(name);
      break;
    case TFieldType::ftLargeint:
      field = std::make_unique<TLargeintField>(name);
      break;
    case TFieldType::ftFloat:
      field = std::make_unique<TFloatField>(name);
      break;
    case TFieldType::ftCurrency:
      field = std::make_unique<TCurrencyField>(name);
      break;
    case TFieldType::ftBCD:
    case TFieldType::ftFMTBcd: {
      auto bcd = std::make_unique<TBCDField>(name, def.Size(), def.DataType());
      bcd->SetPrecision(def.Precision());
      field = std::move(bcd);
      break;
    }
    case TFieldType::ftBoolean:
      field = std::make_unique<TBooleanField>(name);
      break;
    case TFieldType::ftDate:
      field = std::make_unique<TDateField>(name);
      break;
    case TFieldType::ftTime:
      field = std::make_unique<TTimeField>(name);
      break;
    case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp:
      field = std::make_unique<TDateTimeField>(name, def.DataType());
      break;
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftOraClob:
      field = std::make_unique<TMemoField>(name, def.DataType());
      break;
    case TFieldType::ftBlob:
    case TFieldType::ftGraphic:
    case TFieldType::ftParadoxOle:
    case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary:
    case TFieldType::ftOraBlob:
      field = std::make_unique<TBlobField>(name, def.DataType());
      break;
    case TFieldType::ftBytes:
    case TFieldType::ftVarBytes:
      field = std::make_unique<TBytesField>(name, def.Size(), def.DataType());
      break;
    case TFieldType::ftVariant:
      field = std::make_unique<TVariantField>(name);
      break;
    default:
      throw EDatabaseError(FieldUnknownTypeText(name));
  }
  if (def.DataType() != TFieldType::ftBCD && def.DataType() != TFieldType::ftFMTBcd) {
    field->SetSize(def.Size());
  }
  field->SetReadOnly(def.Attributes().ReadOnly);
  field->SetRequired(def.Attributes().Required);
  field->SetVisible(!def.Attributes().Hidden);
  return field;
}

}  // namespace lgoty::data
