#include "data/field.h"

#include "core/exception.h"
#include "core/text_format.h"
#include "data/database_error.h"
#include "data/dataset.h"
#include "data/field_defs.h"

namespace lgoty::data {

TField::TField(std::string field_name, TFieldType data_type, int size)
    : field_name_(std::move(field_name)), data_type_(data_type), size_(size) {}

TField::~TField() = default;

void TField::SetFieldKind(TFieldKind kind) {
  if (dataset_) dataset_->CheckInactive();
  field_kind_ = kind;
}

const std::string& TField::DisplayLabel() const {
  return display_label_.empty() ? field_name_ : display_label_;
}

int TField::DisplayWidth() const { return display_width_ >= 0 ? display_width_ : DefaultWidth(); }

void TField::AccessError(const char* type_name) const {
  throw EDatabaseError("Cannot access field '" + field_name_ + "' as type " + type_name);
}

core::Variant TField::GetData() const {
  core::Variant value;
  if (!dataset_ || !dataset_->ReadField(*this, value)) return core::Variant::Null();
  return value;
}

void TField::ReadText(core::Variant& out) const {
  // ReadField writes the whole value when it gives true (see TDataSet::GetFieldData).
  if (!dataset_ || !dataset_->ReadField(*this, out) || out.IsEmptyOrNull()) {
    out = core::Variant::Null();
    return;
  }
  if (!out.IsString() || (transliterate_ && !dataset_->KeepsTextUnchanged())) out = TextFromTable(std::move(out));
}

bool TField::GetDataDouble(double& value) const {
  return dataset_ && dataset_->ReadFieldDouble(*this, value);
}

void TField::SetData(const core::Variant& value) {
  if (!dataset_) throw EDatabaseError(std::string(kDataSetClosed));
  dataset_->CheckActive();
  dataset_->WriteField(*this, value);
}

std::string TField::TranslateFromTable(std::string text) const {
  if (!transliterate_ || !dataset_ || dataset_->KeepsTextUnchanged()) return text;
  return dataset_->Translate(text, false);
}

core::Variant TField::TextFromTable(core::Variant data) const {
  if (!data.IsString()) {
    return core::Variant(TranslateFromTable(data.AsString(core::DefaultFormatSettings())));
  }
  if (!transliterate_ || !dataset_ || dataset_->KeepsTextUnchanged()) return data;
  return core::Variant(dataset_->Translate(data.text(), false));
}

std::string TField::TranslateToTable(std::string text) const {
  if (!transliterate_ || !dataset_ || dataset_->KeepsTextUnchanged()) return text;
  return dataset_->Translate(text, true);
}

bool TField::IsNull() const {
  core::Variant value;
  return !dataset_ || !dataset_->ReadField(*this, value) || value.IsEmptyOrNull();
}

void TField::Clear() { SetData(core::Variant::Null()); }

void TField::SetAsVariant(const core::Variant& value) {
  if (value.IsEmptyOrNull()) {
    Clear();
  } else {
    SetVariantValue(value);
  }
}

void TField::SetAsString(std::string_view value) { SetStringValue(value); }
void TField::SetAsFloat(double value) { SetVariantValue(core::Variant(value)); }
void TField::SetAsInteger(int32_t value) { SetVariantValue(core::Variant(value)); }
void TField::SetAsLargeInt(int64_t value) { SetVariantValue(core::Variant(value)); }
void TField::SetAsBoolean(bool value) { SetVariantValue(core::Variant(value)); }
void TField::SetAsDateTime(core::TDateTime value) {
  SetVariantValue(core::Variant::FromDate(value));
}

std::string TField::GetAsString() const {
  return core::VarToStr(GetAsVariant(), core::DefaultFormatSettings());
}

double TField::GetAsFloat() const {
  core::Variant value = GetAsVariant();
  if (value.IsEmptyOrNull()) return 0;
  // A float needs no conversion (nor the format settings, which are behind a lock).
  if (value.kind() == core::Variant::Kind::Double) return value.real();
  try {
    return value.AsDouble(core::DefaultFormatSettings());
  } catch (const core::EVariantError&) {
    AccessError("Float");
  }
}

int32_t TField::GetAsInteger() const {
  core::Variant value = GetAsVariant();
  if (value.IsEmptyOrNull()) return 0;
  try {
    return value.AsInteger(core::DefaultFormatSettings());
  } catch (const core::EVariantError&) {
    AccessError("Integer");
  }
}

int64_t TField::GetAsLargeInt() const {
  core::Variant value = GetAsVariant();
  if (value.IsEmptyOrNull()) return 0;
  try {
    return value.AsInt64(core::DefaultFormatSettings());
  } catch (const core::EVariantError&) {
    AccessError("LargeInt");
  }
}

bool TField::GetAsBoolean() const {
  core::Variant value = GetAsVariant();
  if (value.IsEmptyOrNull()) return false;
  try {
    return value.AsBoolean(core::DefaultFormatSettings());
  } catch (const core::EVariantError&) {
    AccessError("Boolean");
  }
}

core::TDateTime TField::GetAsDateTime() const {
  core::Variant value = GetAsVariant();
  if (value.IsEmptyOrNull()) return 0;
  try {
    return value.AsDate(core::DefaultFormatSettings());
  } catch (const core::EVariantError&) {
    AccessError("DateTime");
  }
}

std::string TField::GetText(bool) const { return GetAsString(); }

void TField::SaveToStream(core::TStream& stream) const {
  if (!dataset_) throw EDatabaseError(std::string(kDataSetClosed));
  auto blob = dataset_->CreateBlobStream(const_cast<TField&>(*this), TBlobStreamMode::bmRead);
  std::string bytes = blob->ReadRest();
  stream.Write(bytes);
}

void TField::LoadFromStream(core::TStream& stream) {
  if (!dataset_) throw EDatabaseError(std::string(kDataSetClosed));
  std::string bytes = stream.ReadRest();
  auto blob = dataset_->CreateBlobStream(*this, TBlobStreamMode::bmWrite);
  blob->Write(bytes);
}

// ---- TFields --------------------------------------------------------------------------------

TField& TFields::operator[](int index) const {
  if (index < 0 || index >= Count()) {
    throw core::EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *items_[static_cast<size_t>(index)];
}

TField* TFields::FindField(std::string_view name) const {
  for (const auto& field : items_) {
    if (SameFieldName(field->FieldName(), name)) return field.get();
  }
  return nullptr;
}

TField& TFields::FieldByName(std::string_view name) const {
  TField* field = FindField(name);
  if (!field) throw EDatabaseError(FieldNotFoundText(name));
  return *field;
}

TField& TFields::Add(std::unique_ptr<TField> field) {
  items_.push_back(std::move(field));
  Renumber();
  return *items_.back();
}

std::unique_ptr<TField> TFields::Remove(TField& field) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == &field) {
      std::unique_ptr<TField> removed = std::move(*it);
      items_.erase(it);
      Renumber();
      removed->index_ = -1;
      return removed;
    }
  }
  return nullptr;
}

void TFields::Renumber() {
  for (size_t i = 0; i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
}

}  // namespace lgoty::data
