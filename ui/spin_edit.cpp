#include "ui/spin_edit.h"

#include <QLineEdit>

namespace lgoty::ui {

TRxSpinEdit::TRxSpinEdit(QWidget* parent) : QSpinBox(parent) {
  setKeyboardTracking(true);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  // Typing reaches the line edit; stepping sets the text with the edit's signals blocked
  // and announces it through the spin box. Each distinct text is passed on once.
  auto pass_on = [this](const QString& text) {
    if (text == last_text_) return;
    last_text_ = text;
    emit TextChanged(text);
  };
  connect(lineEdit(), &QLineEdit::textChanged, this, pass_on);
  connect(this, &QSpinBox::textChanged, this, pass_on);
}

void TRxSpinEdit::SetMaxLength(int length) { lineEdit()->setMaxLength(length); }

QValidator::State TRxSpinEdit::validate(QString& input, int& pos) const {
  const QValidator::State state = QSpinBox::validate(input, pos);
  // Letters and an empty box are let through so that the owner sees (and reports) them;
  // only the length limit of the line edit applies.
  return state == QValidator::Invalid ? QValidator::Intermediate : state;
}

void TRxSpinEdit::fixup(QString& input) const {
  // On leaving the box an unreadable text goes back to the last value.
  bool ok = false;
  input.toInt(&ok);
  if (!ok) input = QString::number(value());
}

}  // namespace lgoty::ui
