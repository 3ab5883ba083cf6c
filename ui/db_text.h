// TDBText: a label that shows one field of the current record as the field displays it.
// It never edits. Without a field (unbound, closed dataset, unknown name) it is blank.
#pragma once

#include <QLabel>

#include "ui/field_data_link.h"

namespace lgoty::ui {

class TDBText : public QLabel {
  Q_OBJECT

 public:
  explicit TDBText(QWidget* parent = nullptr);

  data::TDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(data::TDataSource* source);
  const std::string& DataField() const { return link_.FieldName(); }
  // An empty name unbinds.
  void SetDataField(std::string name) { link_.SetFieldName(std::move(name)); }

 private:
  void Refresh();

  TFieldDataLink link_;
};

}  // namespace lgoty::ui
