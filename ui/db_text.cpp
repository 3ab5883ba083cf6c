#include "ui/db_text.h"

#include "core/exception.h"

namespace lgoty::ui {

TDBText::TDBText(QWidget* parent) : QLabel(parent) {
  link_.OnDataChange = [this] { Refresh(); };
}

void TDBText::SetDataSource(data::TDataSource* source) {
  link_.SetDataSource(source);
  Refresh();
}

void TDBText::Refresh() {
  data::TField* field = link_.Field();
  std::string text;
  if (field) {
    // A value that does not decode shows blank rather than breaking the repaint.
    try {
      text = field->DisplayText();
    } catch (const core::Exception&) {
      text.clear();
    }
  }
  setText(QString::fromStdString(text));
}

}  // namespace lgoty::ui
