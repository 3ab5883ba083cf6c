#include "ui/field_data_link.h"

namespace lgoty::ui {

void TFieldDataLink::SetFieldName(std::string name) {
  if (name == field_name_) return;
  field_name_ = std::move(name);
  FindField();
  if (OnDataChange) OnDataChange();
}

bool TFieldDataLink::CanWrite() const {
  return field_ != nullptr && Editing() && !field_->ReadOnly();
}

void TFieldDataLink::FindField() {
  data::TDataSet* dataset = DataSet();
  field_ = (Active() && dataset && !field_name_.empty()) ? dataset->FindField(field_name_)
                                                          : nullptr;
}

void TFieldDataLink::ActiveChanged() {
  FindField();
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::LayoutChanged() {
  FindField();
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::EditingChanged() {
  if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::RecordChanged(data::TField* field) {
  if (field_ == nullptr) FindField();
  if (field == nullptr || field == field_) {
    if (OnDataChange) OnDataChange();
  }
}

void TFieldDataLink::UpdateData() {
  if (field_ && OnUpdateData) OnUpdateData();
}

}  // namespace lgoty::ui
