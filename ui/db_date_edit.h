// TDBDateEdit: a field edit for dates with a button that drops down a calendar. Picking a
// day puts it into the box as dd.mm.yyyy (the short date format of the Russian settings),
// pending like typed text; the field parses it when the input is written.
#pragma once

#include <QCalendarWidget>
#include <QPointer>

#include "ui/db_edit.h"

namespace lgoty::ui {

class TDBDateEdit : public TDBEdit {
  Q_OBJECT

 public:
  explicit TDBDateEdit(QWidget* parent = nullptr);
  // Shows the calendar under the box, on the date in the box (today when it has none).
  void DropDown();
  // The open calendar, or nullptr (for tests).
  QCalendarWidget* Calendar() const { return calendar_; }
  static constexpr const char* kDateFormat = "dd.MM.yyyy";

 private:
  void Pick(QDate date);

  QPointer<QCalendarWidget> calendar_;
};

}  // namespace lgoty::ui
