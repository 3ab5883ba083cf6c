// TDBEdit: a one-line edit box bound to one field of the current record.
//
// It shows the field's text and takes input only while the dataset is in edit or insert
// state (its data source's AutoEdit decides whether typing may start an edit). Typed text is
// pending until the box loses focus or the dataset posts; then it is written into the field
// (SetText), so an untouched box never assigns its field. OnKeyPress sees every typed
// character first (Enter arrives as '\r') and may swallow it by setting it to 0.
#pragma once

#include <QLineEdit>
#include <functional>

#include "ui/field_data_link.h"

namespace lgoty::ui {

class TDBEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TDBEdit(QWidget* parent = nullptr);

  data::TDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(data::TDataSource* source);
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(std::string name) { link_.SetFieldName(std::move(name)); }
  data::TField* Field() const { return link_.Field(); }
  // Whether typed text waits to be written into the field.
  bool InputPending() const { return pending_; }
  // Writes pending input into the field now (errors of the field's conversion pass on).
  void WritePending();

  // The stored width and decimals of a numeric field, which the dataset's field does not
  // carry: the box then takes no more characters than the width, and refuses more decimals
  // than declared instead of letting them be cut off. width 0: not known.
  void SetNumberLimits(int width, int decimals);

  std::function<void(QChar& key)> OnKeyPress;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  // Replaces the text as if typed (pickers: the calendar, the calculator).
  void SetTextAsInput(const QString& text);

 private:
  void Refresh();
  void CheckDecimals(const data::TField& field, const std::string& text) const;
  // Starts editing through the data source; false when input cannot be taken now.
  bool BeginInput();

  TFieldDataLink link_;
  bool pending_ = false;
  bool refreshing_ = false;
  int number_width_ = 0;
  int number_decimals_ = -1;
};

}  // namespace lgoty::ui
