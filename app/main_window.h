// TFMain: the main window. It shows the open register in a grid ordered by surname with a
// detail panel of the current row, the search box, the font-size control and the exit
// button; its menus, pop-up menu and keys call the commands of TRegisterState. The window
// owns the state, the person window and the Qt side of the UI port.
#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <memory>

#include "app/layout_step.h"
#include "app/person_window.h"
#include "app/register_state.h"
#include "ui/db_grid.h"
#include "ui/db_text.h"
#include "ui/form_placement.h"
#include "ui/spin_edit.h"

namespace lgoty::app {

class TFMain : public QMainWindow {
  Q_OBJECT

 public:
  // port: the window system for the commands; nullptr gives the Qt one (dialogs, message
  // boxes, this window's person window). A test may pass its own.
  TFMain(const core::FormatSettings& settings, TUiPort* port = nullptr,
         QWidget* parent = nullptr);
  ~TFMain() override;

  TRegisterState& State() { return *state_; }
  TFPers* FPers() const { return fpers_; }

  // Start-up: the folded first argument (see command_line.h).
  void SetStartArgument(const std::string& folded);

  // Handlers named as the window's events.
  void FormResize();
  void RxSpinEdit1Change(const QString& text);
  void Edit1Change(const QString& text);
  void Edit1KeyUp(int key);
  void DBGrid1KeyDown(int key, bool& handled);
  void N4Click() { close(); }

  // Components.
  QLineEdit* Edit1;
  QLabel *Label8, *Label9;
  ui::TRxSpinEdit* RxSpinEdit1;
  ui::TDBGrid* DBGrid1;
  QPushButton* BitBtn1;
  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
  ui::TDBText *DBText1, *DBText2, *DBText3, *DBText4, *DBText5, *DBText6;
  QMenu *N1, *N10, *PopupMenu1;
  QAction *N2, *N3, *N4, *fr31, *N9;
  QAction *N8, *N5, *N6, *N7;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateComponents();
  void CreateMenus();
  void ApplyBindings();
  TMainLayout CurrentLayout() const;
  void ReflowDetailPanel();

  std::unique_ptr<TUiPort> own_port_;
  std::unique_ptr<TRegisterState> state_;
  TFPers* fpers_ = nullptr;
  ui::TFormPlacement placement_;
  // Components in creation order (the font-size change walks them in that order).
  std::vector<QWidget*> components_;
  // Sizes of the boxes and buttons as designed, taken at the first font-size change.
  std::map<QWidget*, QSize> designed_sizes_;
  // The detail panel's rows (captions and field texts) top to bottom, with their designed
  // places: a larger font pushes a row down rather than over the next one.
  std::vector<std::vector<QWidget*>> panel_rows_;
  std::map<QWidget*, QRect> designed_places_;
};

}  // namespace lgoty::app
