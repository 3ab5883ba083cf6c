// Field objects: the current record's values as the program reads and writes them. A field
// belongs to one dataset and reads the dataset's current record (or, during filtering and
// calculation, the record being tested or calculated); it does not hold a value itself.
//
// Value forms. Every field reads and writes as a variant, text, float, integer, 64-bit
// integer, Boolean and date-time. A null field reads as Null, "", 0, false and 0; assigning
// Null or Empty as a variant clears it. The typed subclasses (typed_fields.h) decide the
// conversions: a date field parses text with the short date format, a float field prints
// with FloatToStr, and so on. Conversions use core::DefaultFormatSettings().
//
// Exchange with the dataset. A field hands the dataset one canonical variant kind per type
// family (TDataSet documents the table); string and memo fields pass their text through the
// dataset's Translate on every read (table to program) and every write (program to table).
//
// Writing: the dataset must be in edit or insert state ("Dataset not in edit or insert mode";
// a calculated field is written only while OnCalcFields runs), the field must not be
// read-only ("Field 'X' cannot be modified"). OnValidate runs before the value is stored and
// may throw to refuse it; OnChange runs after, and linked controls hear a field change.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/date_time.h"
#include "core/object.h"
#include "core/stream.h"
#include "core/variant.h"
#include "data/field_type.h"

namespace lgoty::data {

class TDataSet;
class TFieldDef;

enum class TFieldKind : uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

class TField : public core::TObject {
 public:
  TField(std::string field_name, TFieldType data_type, int size = 0);
  ~TField() override;
  const char* ClassName() const override { return "TField"; }

  // The dataset that owns the field; nullptr until the field is added to one.
  TDataSet* DataSet() const { return dataset_; }
  const std::string& FieldName() const { return field_name_; }
  TFieldType DataType() const { return data_type_; }
  TFieldKind FieldKind() const { return field_kind_; }
  // Only while the dataset is closed.
  void SetFieldKind(TFieldKind kind);
  bool Calculated() const {
    return field_kind_ == TFieldKind::fkCalculated || field_kind_ == TFieldKind::fkInternalCalc;
  }
  // 1-based number of the field definition a data field is bound to (0 when unbound or
  // calculated); position in the dataset's field list.
  int FieldNo() const { return field_no_; }
  int Index() const { return index_; }
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }

  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  bool Required() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  // The column caption: the field name unless set.
  const std::string& DisplayLabel() const;
  void SetDisplayLabel(std::string label) { display_label_ = std::move(label); }
  // Characters a column shows; the type's default until set (a value below 0 resets it).
  int DisplayWidth() const;
  void SetDisplayWidth(int width) { display_width_ = width; }
  virtual bool IsBlob() const { return false; }
  // A string or memo field's text passes through the dataset's Translate (on by default).
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool value) { transliterate_ = value; }

  bool IsNull() const;
  void Clear();

  core::Variant AsVariant() const { return GetAsVariant(); }
  // AsVariant written into out, whatever out held: a text goes into the storage of a text
  // out holds, so that a value read into the same Variant row after row allocates nothing.
  void ReadVariant(core::Variant& out) const { ReadAsVariant(out); }
  void SetAsVariant(const core::Variant& value);
  core::Variant Value() const { return GetAsVariant(); }
  void SetValue(const core::Variant& value) { SetAsVariant(value); }
  std::string AsString() const { return GetAsString(); }
  void SetAsString(std::string_view value);
  double AsFloat() const { return GetAsFloat(); }
  void SetAsFloat(double value);
  int32_t AsInteger() const { return GetAsInteger(); }
  void SetAsInteger(int32_t value);
  int64_t AsLargeInt() const { return GetAsLargeInt(); }
  void SetAsLargeInt(int64_t value);
  bool AsBoolean() const { return GetAsBoolean(); }
  void SetAsBoolean(bool value);
  core::TDateTime AsDateTime() const { return GetAsDateTime(); }
  void SetAsDateTime(core::TDateTime value);
  double AsCurrency() const { return GetAsFloat(); }
  void SetAsCurrency(double value) { SetAsFloat(value); }

  // The text a grid shows (display format applied) and the text an editor starts from.
  std::string DisplayText() const { return GetText(true); }
  std::string Text() const { return GetText(false); }
  void SetText(std::string_view text) { SetAsString(text); }

  // Blob contents through the dataset's blob stream (any field type may be streamed: the
  // bytes are its canonical text).
  void SaveToStream(core::TStream& stream) const;
  void LoadFromStream(core::TStream& stream);

  std::function<void(TField&)> OnChange;
  // Called with the field before a new value is stored; throwing refuses the value.
  std::function<void(TField&, const core::Variant& new_value)> OnValidate;

 protected:
  // The stored value of the record the dataset exposes now, in the canonical kind (Null
  // when null or when there is no record).
  core::Variant GetData() const;
  // The value as a double straight from the dataset, when the dataset can give it without a
  // Variant (see TDataSet::GetFieldDouble): true with value set (0 when null).
  bool GetDataDouble(double& value) const;
  // Stores a value of the canonical kind (Null clears); checks state, read-only and runs
  // OnValidate / OnChange.
  void SetData(const core::Variant& value);
  std::string TranslateFromTable(std::string text) const;
  // A stored value (not Null) as the text a reader gets: TranslateFromTable of its text,
  // without copying a stored text that needs no translation.
  core::Variant TextFromTable(core::Variant data) const;
  std::string TranslateToTable(std::string text) const;

  virtual core::Variant GetAsVariant() const { return GetData(); }
  // GetAsVariant into out; a class that overrides one overrides both.
  virtual void ReadAsVariant(core::Variant& out) const { out = GetAsVariant(); }
  // What GetAsVariant gives a string or memo field: GetData, Null for an empty value, the
  // text through TextFromTable; written into out.
  void ReadText(core::Variant& out) const;
  // Converts value to the canonical kind and stores it; value is neither Null nor Empty.
  virtual void SetVariantValue(const core::Variant& value) { SetData(value); }
  virtual std::string GetAsString() const;
  virtual double GetAsFloat() const;
  virtual int32_t GetAsInteger() const;
  virtual int64_t GetAsLargeInt() const;
  virtual bool GetAsBoolean() const;
  virtual core::TDateTime GetAsDateTime() const;
  virtual void SetStringValue(std::string_view value) { SetVariantValue(core::Variant(value)); }
  virtual std::string GetText(bool display) const;
  virtual int DefaultWidth() const { return 10; }
  // EDatabaseError "Cannot access field 'X' as type Y".
  [[noreturn]] void AccessError(const char* type_name) const;

 private:
  friend class TDataSet;
  friend class TFields;

  TDataSet* dataset_ = nullptr;
  std::string field_name_;
  TFieldType data_type_;
  TFieldKind field_kind_ = TFieldKind::fkData;
  int field_no_ = 0;
  int index_ = -1;
  int calc_index_ = -1;  // slot in a record buffer's calculated values
  int size_ = 0;
  bool read_only_ = false;
  bool visible_ = true;
  bool required_ = false;
  bool transliterate_ = true;
  std::string display_label_;
  int display_width_ = -1;
};

// The fields of a dataset in their order. It owns them; pointers stay valid until the field
// is removed or the dataset destroys its default fields on Close.
class TFields {
 public:
  TFields() = default;
  TFields(const TFields&) = delete;
  TFields& operator=(const TFields&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES 0 <= index < Count(), else EListError "List index out of bounds (%d)".
  TField& operator[](int index) const;
  TField* FindField(std::string_view name) const;
  // EDatabaseError "Field 'X' not found".
  TField& FieldByName(std::string_view name) const;

 private:
  friend class TDataSet;
  TField& Add(std::unique_ptr<TField> field);
  std::unique_ptr<TField> Remove(TField& field);
  void Renumber();

  std::vector<std::unique_ptr<TField>> items_;
};

}  // namespace lgoty::data
