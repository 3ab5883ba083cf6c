// TRxSpinEdit: a number box with up/down buttons. Its text may be anything while the user
// types (even empty): the owner reads Text() and decides; the buttons and arrow keys step by
// Increment within MinValue..MaxValue. TextChanged fires on every change of the text.
#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace lgoty::ui {

class TRxSpinEdit : public QSpinBox {
  Q_OBJECT

 public:
  explicit TRxSpinEdit(QWidget* parent = nullptr);
  void SetMaxLength(int length);
  QString Text() const { return lineEdit()->text(); }
  void SetText(const QString& text) { lineEdit()->setText(text); }
  // The line edit inside (the owner filters its keys).
  QLineEdit* Editor() const { return lineEdit(); }

 signals:
  void TextChanged(const QString& text);

 protected:
  // Any text is acceptable while typing; only stepping needs a number.
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;

 private:
  QString last_text_;
};

}  // namespace lgoty::ui
