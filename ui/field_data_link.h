// TFieldDataLink: the link a single-field control (field text, edit box, date and amount
// edits) keeps to one field of the current record. The control names the field; the link
// finds it whenever the dataset opens or its field list changes, and tells the control
// through callbacks when the value to show changed, when editing began or ended, and when
// the dataset is about to post (the control then writes its pending input).
//
// A field name that the dataset does not have leaves the link without a field: the control
// shows nothing and refuses input. Lifetimes: the link borrows the data source (see
// data_source.h); the control owns the link.
#pragma once

#include <functional>
#include <string>

#include "data/data_source.h"

namespace lgoty::ui {

class TFieldDataLink : public data::TDataLink {
 public:
  TFieldDataLink() = default;

  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(std::string name);
  // The bound field, or nullptr (no source, closed dataset, unknown name).
  data::TField* Field() const { return field_; }
  // Whether the dataset is in edit or insert state and the field can take a value.
  bool CanWrite() const;

  // The value to show changed (record moved, field assigned, dataset opened or closed).
  std::function<void()> OnDataChange;
  // Edit or insert state began or ended.
  std::function<void()> OnEditingChange;
  // The dataset is about to post: write the pending input into Field().
  std::function<void()> OnUpdateData;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void RecordChanged(data::TField* field) override;
  void LayoutChanged() override;
  void UpdateData() override;

 private:
  void FindField();

  std::string field_name_;
  data::TField* field_ = nullptr;
};

}  // namespace lgoty::ui
