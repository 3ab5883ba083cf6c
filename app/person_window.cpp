#include "app/person_window.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <QTimer>

#include "app/window_style.h"

namespace lgoty::app {
namespace {

constexpr int kClientWidth = 461;
constexpr int kClientHeight = 171;
constexpr int kEditHeight = 21;

QLabel* MakeLabel(QWidget* parent, const char* text, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

template <typename Edit>
Edit* MakeEdit(QWidget* parent, TRegisterState& state, const char* field, int left, int top,
               int width) {
  auto* edit = new Edit(parent);
  edit->setGeometry(left, top, width, kEditHeight);
  edit->SetDataSource(&state.DataSource1());
  if (field) edit->SetDataField(field);
  SetTextColor(edit, kTeal);
  return edit;
}

}  // namespace

TFPers::TFPers(TRegisterState& state, QWidget* parent)
    : QDialog(parent), state_(state), placement_(this, QStringLiteral("TFPers")) {
  setObjectName(QStringLiteral("FPers"));
  setWindowTitle(QStringLiteral("Редактирование данных"));
  setFont(FormFont());
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);

  Label1 = MakeLabel(this, "Фамилия", 16, 8);
  Label2 = MakeLabel(this, "Имя", 136, 8);
  Label3 = MakeLabel(this, "Отчество", 232, 8);
  Label4 = MakeLabel(this, "Номер карточки \r\n(PY+NKAR)", 360, 0);
  Label4->setText(QStringLiteral("Номер карточки \n(PY+NKAR)"));
  Label4->adjustSize();
  Label5 = MakeLabel(this, "Документ серия и номер", 8, 64);
  Label7 = MakeLabel(this, "Рецепт", 8, 120);
  Label8 = MakeLabel(this, "Дата рецепта", 136, 120);
  Label9 = MakeLabel(this, "Сумма", 232, 120);

  DBEdit1 = MakeEdit<ui::TDBEdit>(this, state, "FAMIL", 8, 32, 121);
  DBEdit2 = MakeEdit<ui::TDBEdit>(this, state, "IMJA", 136, 32, 89);
  DBEdit3 = MakeEdit<ui::TDBEdit>(this, state, "OTCH", 232, 32, 121);
  DBEdit4 = MakeEdit<ui::TDBEdit>(this, state, "PYNKAR", 360, 32, 89);
  DBEdit5 = MakeEdit<ui::TDBEdit>(this, state, "DOC_SER", 32, 88, 65);
  DBEdit6 = MakeEdit<ui::TDBEdit>(this, state, "DOC_NUM", 104, 88, 89);
  DBEdit7 = MakeEdit<ui::TDBEdit>(this, state, nullptr, 8, 136, 121);
  DBEdit8 = MakeEdit<ui::TDBDateEdit>(this, state, nullptr, 136, 136, 89);
  DBEdit9 = MakeEdit<ui::TDBCalcEdit>(this, state, "SUMPAY", 232, 136, 89);

  BitBtn1 = new QPushButton(QStringLiteral("Закрыть"), this);
  BitBtn1->setGeometry(376, 136, 75, 25);
  BitBtn1->setAutoDefault(false);
  SetTextColor(BitBtn1, kMaroon);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

  ui::TDBEdit* const edits[] = {DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5,
                                DBEdit6, DBEdit7, DBEdit8, DBEdit9};
  QWidget* previous = nullptr;
  for (ui::TDBEdit* edit : edits) {
    edit->OnKeyPress = [this](QChar& key) { DBEdit1KeyPress(key); };
    if (previous) setTabOrder(previous, edit);
    previous = edit;
  }
  setTabOrder(DBEdit9, BitBtn1);
  SetFullEditMode(false);
}

void TFPers::SetFullEditMode(bool on) {
  for (ui::TDBEdit* edit : {DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5, DBEdit6})
    edit->setEnabled(on);
}

void TFPers::ApplyBindings() {
  Label7->setText(QString::fromStdString(state_.NumberLabel()));
  Label8->setText(QString::fromStdString(state_.DateLabel()));
  Label7->adjustSize();
  Label8->adjustSize();
  DBEdit7->SetDataField(state_.NumberField());
  DBEdit8->SetDataField(state_.DateField());
  DBEdit9->SetNumberLimits(state_.AmountWidth(), state_.AmountDecimals());
}

void TFPers::FormShow() { DBEdit7->setFocus(Qt::OtherFocusReason); }

void TFPers::DBEdit1KeyPress(QChar& key) {
  if (key != QLatin1Char('\r')) return;
  key = QChar();
  focusNextChild();  // the next enabled tab stop, forward
}

void TFPers::BitBtn1Click() {
  if (state_.PersonCloseClick()) accept();
}

void TFPers::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (!placement_.Restored()) placement_.Restore();
  setFixedSize(kClientWidth, kClientHeight);
  FormShow();
  // The window system may move the focus while mapping the window; put it back afterwards.
  QTimer::singleShot(0, this, [this] {
    if (isVisible() && !DBEdit7->hasFocus() && focusWidget() == nullptr) FormShow();
  });
}

void TFPers::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) placement_.Save();
  QDialog::hideEvent(event);
}

void TFPers::keyPressEvent(QKeyEvent* event) {
  // No cancel button: Escape does not close the window, and Enter is for the boxes; on the
  // focused close button Enter presses it, as Space does.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && focusWidget() == BitBtn1) {
    event->accept();
    BitBtn1->click();
    return;
  }
  if (event->key() == Qt::Key_Escape || enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace lgoty::app
