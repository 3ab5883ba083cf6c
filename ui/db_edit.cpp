#include "ui/db_edit.h"

#include <QKeyEvent>

#include "core/exception.h"

namespace lgoty::ui {

namespace {

bool IsTextField(data::TFieldType type) {
  return type == data::TFieldType::ftString || type == data::TFieldType::ftWideString ||
         type == data::TFieldType::ftFixedChar || type == data::TFieldType::ftMemo;
}

bool IsDecimalField(data::TFieldType type) {
  return type == data::TFieldType::ftFloat || type == data::TFieldType::ftCurrency ||
         type == data::TFieldType::ftBCD;
}

// Characters a text field can hold; 0 when there is no such limit.
int TextLimit(const data::TField& field) {
  return IsTextField(field.DataType()) && field.DataType() != data::TFieldType::ftMemo
             ? field.Size()
             : 0;
}

}  // namespace

void TDBEdit::SetNumberLimits(int width, int decimals) {
  number_width_ = width;
  number_decimals_ = decimals;
  Refresh();
}

// A decimal text with more decimals than the field declares would lose them silently when
// stored; it is refused with the message the engine gives for an integer part too long.
void TDBEdit::CheckDecimals(const data::TField& field, const std::string& text) const {
  if (!IsDecimalField(field.DataType()) || number_decimals_ < 0) return;
  const size_t point = text.find_last_of(".,");
  if (point == std::string::npos) return;
  int decimals = 0;
  for (size_t i = point + 1; i < text.size(); ++i)
    if (text[i] >= '0' && text[i] <= '9') ++decimals;
  if (decimals > number_decimals_)
    throw core::Exception("Value " + text + " does not fit into field \"" + field.FieldName() +
                          "\" (" + std::to_string(number_width_) + "." +
                          std::to_string(number_decimals_) + ").");
}

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
  int limit = field ? TextLimit(*field) : 0;
  if (field && IsDecimalField(field->DataType())) limit = number_width_;
  setMaxLength(limit > 0 ? limit : 32767);
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
  if (!IsTextField(field->DataType()) && this->text().trimmed().isEmpty()) {
    field->Clear();  // an emptied date or amount is an empty value, not a conversion error
    pending_ = false;
    return;
  }
  CheckDecimals(*field, text);
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
