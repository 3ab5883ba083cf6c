#include "ui/db_edit.h"

#include <QKeyEvent>

#include "core/exception.h"

namespace lgoty::ui {

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
  link_.OnDataChange = [this] { Refresh(); };
  link_.OnEditingChange = [this] {
    if (!link_.Editing()) pending_ = false;
  };
  link_.OnUpdateData = [this] { WritePending(); };
  connect(this, &QLineEdit::textEdited, this, [this](const QString&) {
    if (!refreshing_) pending_ = true;
  });
}

void TDBEdit::SetDataSource(data::TDataSource* source) {
  link_.SetDataSource(source);
  Refresh();
}

void TDBEdit::Refresh() {
  if (pending_ && link_.Editing()) return;  // keep what the user is typing
  pending_ = false;
  data::TField* field = link_.Field();
  std::string text;
  if (field) {
    try {
      text = field->Text();
    } catch (const core::Exception&) {
      text.clear();
    }
  }
  refreshing_ = true;
  setText(QString::fromStdString(text));
  setCursorPosition(0);
  refreshing_ = false;
}

bool TDBEdit::BeginInput() {
  if (!link_.Field()) return false;
  if (!link_.Editing() && !link_.Edit()) return false;
  return link_.CanWrite();
}

void TDBEdit::WritePending() {
  if (!pending_) return;
  data::TField* field = link_.Field();
  if (!field || !link_.Editing()) {
    pending_ = false;
    return;
  }
  const std::string text = this->text().toStdString();
  field->SetText(text);  // throws on a value the field refuses; input stays pending
  pending_ = false;
}

void TDBEdit::SetTextAsInput(const QString& text) {
  if (!BeginInput()) return;
  setText(text);
  pending_ = true;
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  if (OnKeyPress && typed.size() == 1) {
    QChar key = typed.at(0);
    OnKeyPress(key);
    if (key.isNull()) return;
  }
  // Keys that change the text need an editable record; moving the caret does not.
  const bool changes_text = (!typed.isEmpty() && typed.at(0).isPrint()) ||
                            event->key() == Qt::Key_Backspace ||
                            event->key() == Qt::Key_Delete || event->matches(QKeySequence::Paste) ||
                            event->matches(QKeySequence::Cut);
  if (changes_text && !BeginInput()) return;
  QLineEdit::keyPressEvent(event);
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
  try {
    WritePending();
  } catch (const core::Exception&) {
    // The post reports the refused value; the text stays for the user to correct.
  }
  QLineEdit::focusOutEvent(event);
}

}  // namespace lgoty::ui
