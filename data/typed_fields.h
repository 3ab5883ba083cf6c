// The field classes by type family, and the factory that makes the right one for a field
// definition. Each class fixes the canonical variant kind it hands the dataset (TDataSet
// documents the table) and how it converts from and to the other value forms.
//
//   class            types                               display text (no format set)
//   TStringField     ftString ftFixedChar ftWideString    the text
//                    ftGuid
//   TIntegerField    ftInteger (TSmallintField ftSmallint, TWordField ftWord, TAutoIncField
//                    ftAutoInc): range-checked            decimal digits
//   TLargeintField   ftLargeint                           decimal digits
//   TFloatField      ftFloat (TCurrencyField ftCurrency)  FloatToStrF general, 15 digits;
//                                                         a currency field as currency
//   TBCDField        ftBCD ftFMTBcd                       as TFloatField
//   TBooleanField    ftBoolean                            DisplayValues "True;False"
//   TDateTimeField   ftDateTime ftTimeStamp (TDateField ftDate, TTimeField ftTime)
//                                                         "c", short date, long time
//   TBlobField       ftBlob ftGraphic and other blobs     "(BLOB)", "(Blob)" when null
//   TMemoField       ftMemo ftFmtMemo ftOraClob           "(MEMO)", "(Memo)" when null
//   TBytesField      ftBytes ftVarBytes                   the bytes
//   TVariantField    ftVariant                            VarToStr
#pragma once

#include <memory>
#include <string>

#include "data/field.h"

namespace lgoty::data {

class TFieldDef;

class TStringField : public TField {
 public:
  TStringField(std::string name, int size, TFieldType type = TFieldType::ftString)
      : TField(std::move(name), type, size) {}
  const char* ClassName() const override { return "TStringField"; }

 protected:
  core::Variant GetAsVariant() const override;
  void ReadAsVariant(core::Variant& out) const override { ReadText(out); }
  std::string GetAsString() const override;
  void SetVariantValue(const core::Variant& value) override;
  void SetStringValue(std::string_view value) override;
  int DefaultWidth() const override { return Size() > 0 ? Size() : 20; }
};

// DisplayFormat / EditFormat are FormatFloat pictures.
class TNumericField : public TField {
 public:
  using TField::TField;
  const std::string& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(std::string format) { display_format_ = std::move(format); }
  const std::string& EditFormat() const { return edit_format_; }
  void SetEditFormat(std::string format) { edit_format_ = std::move(format); }

 protected:
  // The picture for display or edit text ("" when none is set).
  const std::string& Picture(bool display) const {
    return display || edit_format_.empty() ? display_format_ : edit_format_;
  }

 private:
  std::string display_format_;
  std::string edit_format_;
};

class TIntegerField : public TNumericField {
 public:
  TIntegerField(std::string name, TFieldType type = TFieldType::ftInteger);
  const char* ClassName() const override { return "TIntegerField"; }
  int64_t MinValue() const { return min_; }
  int64_t MaxValue() const { return max_; }

 protected:
  void SetVariantValue(const core::Variant& value) override;
  std::string GetText(bool display) const override;
  int DefaultWidth() const override;

 private:
  int64_t min_;
  int64_t max_;
};

class TSmallintField final : public TIntegerField {
 public:
  explicit TSmallintField(std::string name)
      : TIntegerField(std::move(name), TFieldType::ftSmallint) {}
  const char* ClassName() const override { return "TSmallintField"; }
};

class TWordField final : public TIntegerField {
 public:
  explicit TWordField(std::string name) : TIntegerField(std::move(name), TFieldType::ftWord) {}
  const char* ClassName() const override { return "TWordField"; }
};

class TAutoIncField final : public TIntegerField {
 public:
  explicit TAutoIncField(std::string name)
      : TIntegerField(std::move(name), TFieldType::ftAutoInc) {}
  const char* ClassName() const override { return "TAutoIncField"; }
};

class TLargeintField final : public TNumericField {
 public:
  explicit TLargeintField(std::string name)
      : TNumericField(std::move(name), TFieldType::ftLargeint) {}
  const char* ClassName() const override { return "TLargeintField"; }

 protected:
  void SetVariantValue(const core::Variant& value) override;
  std::string GetText(bool display) const override;
  int DefaultWidth() const override { return 15; }
};

class TFloatField : public TNumericField {
 public:
  explicit TFloatField(std::string name, TFieldType type = TFieldType::ftFloat)
      : TNumericField(std::move(name), type), currency_(type == TFieldType::ftCurrency) {}
  const char* ClassName() const override { return "TFloatField"; }
  // Significant digits of the general format (15 by default).
  int Precision() const { return precision_; }
  void SetPrecision(int precision) { precision_ = precision; }
  bool Currency() const { return currency_; }
  void SetCurrency(bool value) { currency_ = value; }

 protected:
  double GetAsFloat() const override;
  void SetVariantValue(const core::Variant& value) override;
  std::string GetText(bool display) const override;

 private:
  int precision_ = 15;
  bool currency_;
};

class TCurrencyField final : public TFloatField {
 public:
  explicit TCurrencyField(std::string name)
      : TFloatField(std::move(name), TFieldType::ftCurrency) {}
  const char* ClassName() const override { return "TCurrencyField"; }
};

// A fixed-point number held as currency (scaled by 10 000). Size is the decimals, Precision
// the digits.
class TBCDField final : public TNumericField {
 public:
  TBCDField(std::string name, int size, TFieldType type = TFieldType::ftBCD)
      : TNumericField(std::move(name), type, size) {}
  const char* ClassName() const override { return "TBCDField"; }
  int Precision() const { return precision_; }
  void SetPrecision(int precision) { precision_ = precision; }
  bool Currency() const { return currency_; }
  void SetCurrency(bool value) { currency_ = value; }

 protected:
  void SetVariantValue(const core::Variant& value) override;
  std::string GetText(bool display) const override;

 private:
  int precision_ = 0;
  bool currency_ = false;
};

class TBooleanField final : public TField {
 public:
  explicit TBooleanField(std::string name) : TField(std::move(name), TFieldType::ftBoolean) {}
  const char* ClassName() const override { return "TBooleanField"; }
  // "true text;false text".
  const std::string& DisplayValues() const { return display_values_; }
  void SetDisplayValues(std::string values);

 protected:
  void SetVariantValue(const core::Variant& value) override;
  void SetStringValue(std::string_view value) override;
  std::string GetAsString() const override;
  std::string GetText(bool) const override { return GetAsString(); }
  int DefaultWidth() const override { return 5; }

 private:
  std::string display_values_ = "True;False";
  std::string true_text_ = "True";
  std::string false_text_ = "False";
};

class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(std::string name, TFieldType type = TFieldType::ftDateTime)
      : TField(std::move(name), type) {}
  const char* ClassName() const override { return "TDateTimeField"; }
  // A FormatDateTime pattern; empty: "c" for date-time, the short date for a date field,
  // the long time for a time field.
  const std::string& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(std::string format) { display_format_ = std::move(format); }

 protected:
  void SetVariantValue(const core::Variant& value) override;
  std::string GetAsString() const override { return GetText(false); }
  std::string GetText(bool display) const override;
  int DefaultWidth() const override;

 private:
  std::string display_format_;
};

class TDateField final : public TDateTimeField {
 public:
  explicit TDateField(std::string name) : TDateTimeField(std::move(name), TFieldType::ftDate) {}
  const char* ClassName() const override { return "TDateField"; }
};

class TTimeField final : public TDateTimeField {
 public:
  explicit TTimeField(std::string name) : TDateTimeField(std::move(name), TFieldType::ftTime) {}
  const char* ClassName() const override { return "TTimeField"; }
};

// Bytes of any length. The bytes are the value; text reads them as they are.
class TBlobField : public TField {
 public:
  explicit TBlobField(std::string name, TFieldType type = TFieldType::ftBlob)
      : TField(std::move(name), type) {}
  const char* ClassName() const override { return "TBlobField"; }
  bool IsBlob() const override { return true; }

 protected:
  void SetVariantValue(const core::Variant& value) override;
  std::string GetText(bool display) const override;
};

// A text blob; its text translates like a string field's.
class TMemoField final : public TBlobField {
 public:
  explicit TMemoField(std::string name, TFieldType type = TFieldType::ftMemo)
      : TBlobField(std::move(name), type) {}
  const char* ClassName() const override { return "TMemoField"; }

 protected:
  core::Variant GetAsVariant() const override;
  void ReadAsVariant(core::Variant& out) const override { ReadText(out); }
  void SetVariantValue(const core::Variant& value) override;
  std::string GetText(bool display) const override;
};

class TBytesField final : public TField {
 public:
  TBytesField(std::string name, int size, TFieldType type = TFieldType::ftBytes)
      : TField(std::move(name), type, size) {}
  const char* ClassName() const override { return "TBytesField"; }

 protected:
  void SetVariantValue(const core::Variant& value) override;
  int DefaultWidth() const override { return Size() > 0 ? Size() : 10; }
};

class TVariantField final : public TField {
 public:
  explicit TVariantField(std::string name) : TField(std::move(name), TFieldType::ftVariant) {}
  const char* ClassName() const override { return "TVariantField"; }
};

// A field of the definition's class, name, size and attributes; EDatabaseError
// "Field 'X' is of an unknown type" for types no field class serves (ADT, arrays,
// references, nested datasets, cursors, interfaces).
std::unique_ptr<TField> CreateField(const TFieldDef& def);

}  // namespace lgoty::data
