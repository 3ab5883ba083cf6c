// TFPers: the person window "Редактирование данных", shown modally by the Edit, Add and
// Copy commands. Its boxes are bound to the main window's DataSource1, so they show and
// change the table's current row. DBEdit1-DBEdit6 (identity) are enabled only in full edit
// mode; DBEdit7/DBEdit8 and Label7/Label8 follow the register kind. Enter in any data box
// moves to the next tab stop; "Закрыть" posts unposted changes and closes; closing any other
// way posts nothing.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "app/register_state.h"
#include "ui/db_calc_edit.h"
#include "ui/db_date_edit.h"
#include "ui/db_edit.h"
#include "ui/form_placement.h"

namespace lgoty::app {

class TFPers : public QDialog {
  Q_OBJECT

 public:
  // state is borrowed; it outlives the window.
  TFPers(TRegisterState& state, QWidget* parent = nullptr);

  // Enables the identity boxes (full edit mode).
  void SetFullEditMode(bool on);
  // Rebinds the kind-dependent boxes and labels from the state.
  void ApplyBindings();

  // Handlers named as the window's events.
  void FormShow();
  void DBEdit1KeyPress(QChar& key);
  void BitBtn1Click();

  ui::TDBEdit *DBEdit1, *DBEdit2, *DBEdit3, *DBEdit4, *DBEdit5, *DBEdit6, *DBEdit7;
  ui::TDBDateEdit* DBEdit8;
  ui::TDBCalcEdit* DBEdit9;
  QPushButton* BitBtn1;
  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label7, *Label8, *Label9;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TRegisterState& state_;
  ui::TFormPlacement placement_;
};

}  // namespace lgoty::app
