#include "ui/db_calc_edit.h"

#include <QAction>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

namespace lgoty::ui {
namespace {

QIcon CalculatorIcon() {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QColor(40, 40, 40));
  p.drawRect(2, 1, 9, 12);
  p.fillRect(3, 2, 8, 3, QColor(0, 110, 110));
  for (int y = 7; y <= 11; y += 2)
    for (int x = 4; x <= 9; x += 2) p.drawPoint(x, y);
  return QIcon(pixmap);
}

// The number as the box shows amounts: up to 15 significant digits, the separator given.
QString AmountText(double value, const QString& separator) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return QString::fromLatin1(buf).replace(QLatin1Char('.'), separator);
}

}  // namespace

TCalculatorPopup::TCalculatorPopup(double start, QString decimal_separator, QWidget* parent)
    : QFrame(parent, Qt::Popup), engine_(decimal_separator.toStdString()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setFrameShape(QFrame::Box);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(4, 4, 4, 4);
  display_ = new QLineEdit(this);
  display_->setReadOnly(true);
  display_->setAlignment(Qt::AlignRight);
  display_->setFocusPolicy(Qt::NoFocus);
  column->addWidget(display_);
  auto* keypad = new QGridLayout;
  keypad->setSpacing(2);
  struct Key {
    const char* caption;
    char key;
  };
  const std::string separator_caption = decimal_separator.toStdString();
  const Key keys[5][4] = {{{"C", 'C'}, {"←", '\b'}, {"±", '~'}, {"/", '/'}},
                          {{"7", '7'}, {"8", '8'}, {"9", '9'}, {"*", '*'}},
                          {{"4", '4'}, {"5", '5'}, {"6", '6'}, {"-", '-'}},
                          {{"1", '1'}, {"2", '2'}, {"3", '3'}, {"+", '+'}},
                          {{"0", '0'}, {separator_caption.c_str(), '.'}, {"=", '='}, {"OK", '\r'}}};
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 4; ++col) {
      const Key& k = keys[row][col];
      auto* button = new QPushButton(QString::fromUtf8(k.caption), this);
      button->setFocusPolicy(Qt::NoFocus);
      button->setFixedSize(30, 24);
      const char key = k.key;
      connect(button, &QPushButton::clicked, this, [this, key] { Press(key); });
      keypad->addWidget(button, row, col);
    }
  }
  column->addLayout(keypad);
  engine_.Reset(start);
  display_->setText(QString::fromStdString(engine_.Display()));
}

void TCalculatorPopup::Press(char key) {
  if (key == '\r') {
    engine_.Press('=');
    if (!engine_.Error()) {
      emit Accepted(engine_.Value());
      close();
      return;
    }
  } else {
    engine_.Press(key);
  }
  display_->setText(QString::fromStdString(engine_.Display()));
}

void TCalculatorPopup::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: Press('\r'); return;
    case Qt::Key_Escape: close(); return;
    case Qt::Key_Backspace: Press('\b'); return;
    case Qt::Key_Delete: Press('C'); return;
    default: break;
  }
  const QString text = event->text();
  if (text.size() == 1 && text.at(0).unicode() < 128) {
    Press(static_cast<char>(text.at(0).unicode()));
    return;
  }
  QFrame::keyPressEvent(event);
}

TDBCalcEdit::TDBCalcEdit(QWidget* parent) : TDBEdit(parent) {
  QAction* button = addAction(CalculatorIcon(), QLineEdit::TrailingPosition);
  button->setToolTip(QStringLiteral("Калькулятор"));
  connect(button, &QAction::triggered, this, [this] { DropDown(); });
}

void TDBCalcEdit::DropDown() {
  if (!Field()) return;
  const QString separator = decimal_separator_;
  QString shown = text().trimmed();
  shown.replace(separator, QStringLiteral("."));
  shown.remove(QChar(0x00A0));
  shown.remove(QLatin1Char(' '));
  bool ok = false;
  const double start = shown.toDouble(&ok);
  popup_ = new TCalculatorPopup(ok ? start : 0.0, separator, this);
  connect(popup_, &TCalculatorPopup::Accepted, this, [this, separator](double value) {
    SetTextAsInput(AmountText(value, separator));
    setFocus();
  });
  popup_->adjustSize();
  popup_->move(mapToGlobal(QPoint(0, height())));
  popup_->show();
}

}  // namespace lgoty::ui
