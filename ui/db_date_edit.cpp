#include "ui/db_date_edit.h"

#include <QAction>
#include <QPainter>

namespace lgoty::ui {
namespace {

QIcon CalendarIcon() {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QColor(40, 40, 40));
  p.drawRect(1, 2, 11, 10);
  p.fillRect(2, 3, 10, 2, QColor(160, 0, 0));
  for (int y = 7; y <= 10; y += 3)
    for (int x = 3; x <= 10; x += 3) p.drawPoint(x, y);
  return QIcon(pixmap);
}

}  // namespace

TDBDateEdit::TDBDateEdit(QWidget* parent) : TDBEdit(parent) {
  QAction* button = addAction(CalendarIcon(), QLineEdit::TrailingPosition);
  button->setToolTip(QStringLiteral("Календарь"));
  connect(button, &QAction::triggered, this, [this] { DropDown(); });
}

void TDBDateEdit::DropDown() {
  if (!Field()) return;
  if (!calendar_) {
    calendar_ = new QCalendarWidget(this);
    calendar_->setWindowFlags(Qt::Popup);
    calendar_->setAttribute(Qt::WA_DeleteOnClose);
    calendar_->setFirstDayOfWeek(Qt::Monday);
    calendar_->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate date) { Pick(date); });
    connect(calendar_, &QCalendarWidget::activated, this, [this](QDate date) { Pick(date); });
  }
  const QDate shown = QDate::fromString(text().trimmed(), QString::fromLatin1(kDateFormat));
  calendar_->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
  calendar_->adjustSize();
  calendar_->move(mapToGlobal(QPoint(0, height())));
  calendar_->show();
  calendar_->setFocus();
}

void TDBDateEdit::Pick(QDate date) {
  SetTextAsInput(date.toString(QString::fromLatin1(kDateFormat)));
  if (calendar_) calendar_->close();
  setFocus();
}

}  // namespace lgoty::ui
