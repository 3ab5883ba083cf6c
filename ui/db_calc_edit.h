// TDBCalcEdit: a field edit for amounts with a button that drops down a calculator. The
// calculator starts from the amount in the box; "OK" (or Enter) puts its result into the
// box, pending like typed text. The arithmetic is ui/calculator.h.
#pragma once

#include <QFrame>
#include <QLineEdit>
#include <QPointer>

#include "ui/calculator.h"
#include "ui/db_edit.h"

namespace lgoty::ui {

// The drop-down: a display and a keypad over a Calculator.
class TCalculatorPopup : public QFrame {
  Q_OBJECT

 public:
  TCalculatorPopup(double start, QString decimal_separator, QWidget* parent);
  Calculator& Engine() { return engine_; }
  QString DisplayText() const { return display_->text(); }
  // Presses a key as the keypad would.
  void Press(char key);

 signals:
  void Accepted(double value);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Calculator engine_;
  QLineEdit* display_;
};

class TDBCalcEdit : public TDBEdit {
  Q_OBJECT

 public:
  explicit TDBCalcEdit(QWidget* parent = nullptr);
  void DropDown();
  TCalculatorPopup* Popup() const { return popup_; }
  // The separator the box shows amounts with (the user's settings; "," by default).
  void SetDecimalSeparator(QString separator) { decimal_separator_ = std::move(separator); }

 private:
  QString decimal_separator_ = QStringLiteral(",");
  QPointer<TCalculatorPopup> popup_;
};

}  // namespace lgoty::ui
