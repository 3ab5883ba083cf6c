#include "app/main_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>

#include "app/qt_ui_port.h"
#include "app/window_style.h"
#include "core/text_format.h"
#include "platform/system.h"

namespace lgoty::app {
namespace {

constexpr int kClientWidth = 748;
constexpr int kClientHeight = 460;
constexpr int kPanelGap = 8;  // between the detail panel and the exit button or window edge

QLabel* MakeLabel(QWidget* parent, const char* text, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

TBox BoxOf(const QWidget* w) { return {w->x(), w->y(), w->width(), w->height()}; }
void Place(QWidget* w, const TBox& b) { w->setGeometry(b.left, b.top, b.width, b.height); }

}  // namespace

TFMain::TFMain(const core::FormatSettings& settings, TUiPort* port, QWidget* parent)
    : QMainWindow(parent), placement_(this, QStringLiteral("TFMain")) {
  setObjectName(QStringLiteral("FMain"));
  if (!port) {
    own_port_ = std::make_unique<TQtUiPort>(*this);
    port = own_port_.get();
  }
  state_ = std::make_unique<TRegisterState>(*port, platform::ProgramName(), settings);
  setWindowTitle(QString::fromUtf8(kStartCaption));
  setFont(FormFont());
  CreateComponents();
  CreateMenus();
  fpers_ = new TFPers(*state_, this);
  state_->OnBindingsChanged = [this] { ApplyBindings(); };
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

TFMain::~TFMain() {
  // The controls unlink from the data source before the state (and its table) goes.
  state_->OnBindingsChanged = nullptr;
  delete fpers_;
  delete centralWidget();
}

void TFMain::CreateComponents() {
  auto* client = new QWidget(this);
  setCentralWidget(client);

  Edit1 = new QLineEdit(client);
  Edit1->setGeometry(8, 8, 193, 21);
  Label8 = MakeLabel(client, "<- Поиск", 207, 11);
  SetTextColor(Label8, kBlue);
  Label9 = MakeLabel(client, "Размер шрифта", 337, 11);
  RxSpinEdit1 = new ui::TRxSpinEdit(client);
  RxSpinEdit1->setGeometry(424, 8, 50, 21);
  RxSpinEdit1->setRange(6, 999);
  RxSpinEdit1->setSingleStep(2);
  RxSpinEdit1->setValue(8);
  RxSpinEdit1->SetMaxLength(3);

  DBGrid1 = new ui::TDBGrid(client);
  DBGrid1->setGeometry(8, 30, 467, 297);
  DBGrid1->SetColumns({{"FAMIL", QStringLiteral("Фамилия"), 154},
                       {"IMJA", QStringLiteral("Имя"), 124},
                       {"OTCH", QStringLiteral("Отчество"), 154}});
  DBGrid1->SetDataSource(&state_->DataSource1());
  DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
  // The column titles keep the form's font when the grid's font changes.
  DBGrid1->horizontalHeader()->setFont(FormFont());

  BitBtn1 = new QPushButton(QStringLiteral("Выход"), client);
  BitBtn1->setGeometry(496, 304, 75, 25);
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  SetTextColor(BitBtn1, kMaroon);

  Label1 = MakeLabel(client, "Номер карточки", 480, 32);
  DBText1 = new ui::TDBText(client);
  DBText1->setGeometry(484, 49, 180, 17);
  Label2 = MakeLabel(client, "Документ", 480, 72);
  Label7 = MakeLabel(client, "Серия", 480, 88);
  DBText2 = new ui::TDBText(client);
  DBText2->setGeometry(480, 104, 38, 17);
  Label3 = MakeLabel(client, "Номер", 520, 88);
  DBText3 = new ui::TDBText(client);
  DBText3->setGeometry(520, 104, 120, 17);
  Label4 = MakeLabel(client, "Сумма", 480, 136);
  DBText4 = new ui::TDBText(client);
  DBText4->setGeometry(480, 160, 120, 17);
  Label5 = MakeLabel(client, "Рецепт", 480, 184);
  DBText5 = new ui::TDBText(client);
  DBText5->setGeometry(480, 208, 160, 17);
  Label6 = MakeLabel(client, "Дата рецепта", 480, 232);
  DBText6 = new ui::TDBText(client);
  DBText6->setGeometry(481, 251, 120, 17);

  const std::pair<ui::TDBText*, const char*> texts[] = {{DBText1, "PYNKAR"},
                                                        {DBText2, "DOC_SER"},
                                                        {DBText3, "DOC_NUM"},
                                                        {DBText4, "SUMPAY"},
                                                        {DBText5, nullptr},
                                                        {DBText6, nullptr}};
  for (const auto& [text, field] : texts) {
    text->SetDataSource(&state_->DataSource1());
    if (field) text->SetDataField(field);
    SetTextColor(text, kTeal);
  }

  panel_rows_ = {{Label1},         {DBText1}, {Label2}, {Label7, Label3}, {DBText2, DBText3},
                 {Label4},         {DBText4}, {Label5}, {DBText5},        {Label6},
                 {DBText6}};
  for (const auto& row : panel_rows_)
    for (QWidget* item : row) designed_places_[item] = item->geometry();

  components_ = {Edit1,   Label8,  Label9,  RxSpinEdit1, DBGrid1, BitBtn1, Label1,
                 DBText1, Label2,  Label7,  DBText2,     Label3,  DBText3, Label4,
                 DBText4, Label5,  DBText5, Label6,      DBText6};

  setTabOrder(DBGrid1, BitBtn1);
  setTabOrder(BitBtn1, Edit1);
  setTabOrder(Edit1, RxSpinEdit1);

  connect(Edit1, &QLineEdit::textChanged, this, &TFMain::Edit1Change);
  connect(RxSpinEdit1, &ui::TRxSpinEdit::TextChanged, this, &TFMain::RxSpinEdit1Change);
  connect(BitBtn1, &QPushButton::clicked, this, &TFMain::N4Click);
  Edit1->installEventFilter(this);
  RxSpinEdit1->Editor()->installEventFilter(this);
  DBGrid1->OnKeyDown = [this](QKeyEvent* event, bool& handled) {
    DBGrid1KeyDown(event->key(), handled);
  };
  DBGrid1->OnError = [this](const core::Exception& error) { state_->ReportError(error); };
  // A double-clicked row opens the person window, as Enter on the grid does.
  connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) state_->N8Click();
  });
}

void TFMain::CreateMenus() {
  auto icon = [this](QStyle::StandardPixmap pixmap) { return style()->standardIcon(pixmap); };
  N1 = menuBar()->addMenu(QStringLiteral("Файл"));
  N2 = N1->addAction(icon(QStyle::SP_DialogOpenButton), QStringLiteral("Открыть"));
  N2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  N3 = N1->addAction(icon(QStyle::SP_DirClosedIcon), QStringLiteral("Закрыть"));
  N3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  N4 = N1->addAction(icon(QStyle::SP_DialogCloseButton), QStringLiteral("Выход"));
  N4->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  N10 = menuBar()->addMenu(QStringLiteral("Списки"));
  fr31 = N10->addAction(icon(QStyle::SP_FileDialogDetailedView),
                        QStringLiteral("Список льготников"));
  fr31->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  N9 = N10->addAction(icon(QStyle::SP_FileDialogInfoView), QStringLiteral("Итоги"));
  N9->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  for (QAction* action : {N2, N3, N4, fr31, N9}) action->setShortcutContext(Qt::WindowShortcut);

  connect(N2, &QAction::triggered, this, [this] { state_->N2Click(); });
  connect(N3, &QAction::triggered, this, [this] { state_->N3Click(); });
  connect(N4, &QAction::triggered, this, [this] { N4Click(); });
  connect(N9, &QAction::triggered, this, [this] { state_->N9Click(); });
  connect(fr31, &QAction::triggered, this, [this] { state_->fr31Click(); });

  PopupMenu1 = new QMenu(this);
  N8 = PopupMenu1->addAction(QStringLiteral("Редактировать"));
  N5 = PopupMenu1->addAction(QStringLiteral("Добавить запись"));
  N5->setEnabled(false);
  N6 = PopupMenu1->addAction(QStringLiteral("Копировать запись"));
  N7 = PopupMenu1->addAction(QStringLiteral("Удалить запись"));
  connect(N8, &QAction::triggered, this, [this] { state_->N8Click(); });
  connect(N5, &QAction::triggered, this, [this] { state_->N5Click(); });
  connect(N6, &QAction::triggered, this, [this] { state_->N6Click(); });
  connect(N7, &QAction::triggered, this, [this] { state_->N7Click(); });
  connect(DBGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(at));
  });
}

void TFMain::SetStartArgument(const std::string& folded) {
  state_->SetStartArgument(folded);
  // Full edit mode: adding rows and the identity boxes of the person window.
  N5->setEnabled(state_->FullEditMode());
  fpers_->SetFullEditMode(state_->FullEditMode());
}

void TFMain::ApplyBindings() {
  setWindowTitle(QString::fromStdString(state_->Caption()));
  DBText5->SetDataField(state_->NumberField());
  DBText6->SetDataField(state_->DateField());
  fpers_->ApplyBindings();
}

// ---- layout and font size ---------------------------------------------------------------------

TMainLayout TFMain::CurrentLayout() const {
  return {BoxOf(Edit1), BoxOf(Label8), BoxOf(Label9), BoxOf(RxSpinEdit1), BoxOf(DBGrid1),
          BoxOf(BitBtn1)};
}

void TFMain::FormResize() {
  TMainLayout layout = CurrentLayout();
  const QSize outer = frameGeometry().size();
  ApplyLayoutStep(layout, outer.width(), outer.height());
  Place(Edit1, layout.edit1);
  Place(Label8, layout.label8);
  Place(Label9, layout.label9);
  Place(RxSpinEdit1, layout.spin_edit1);
  Place(DBGrid1, layout.grid);
  Place(BitBtn1, layout.exit_button);
  ReflowDetailPanel();
}

void TFMain::RxSpinEdit1Change(const QString& text) {
  int size = 0;
  try {
    size = core::StrToInt(text.toStdString());
  } catch (const core::Exception& error) {
    state_->ReportError(error);  // sizes stay as they were
    return;
  }
  if (size < 1) size = 1;  // a zero or negative point size does not exist
  for (QWidget* component : components_) {
    const bool sized = component == DBGrid1 || qobject_cast<QPushButton*>(component) ||
                       qobject_cast<QLabel*>(component) ||
                       component->metaObject() == &QLineEdit::staticMetaObject;
    if (!sized) continue;
    QFont font = component->font();
    font.setPointSize(size);
    component->setFont(font);
    // Boxes and buttons keep their designed size but grow to hold a larger text: a search
    // box or an exit button of the designed height cut a 24-point text off.
    if (component != DBGrid1 && !qobject_cast<QLabel*>(component)) {
      const QSize designed = designed_sizes_.try_emplace(component, component->size()).first->second;
      const QFontMetrics metrics(font);
      auto* button = qobject_cast<QPushButton*>(component);
      // Room for the frame and margins around the text (icon and text for a button).
      const int needed_height = metrics.height() + (button ? 10 : 6);
      const int needed_width =
          button ? metrics.horizontalAdvance(button->text()) + button->iconSize().width() + 20 : 0;
      component->resize(std::max(designed.width(), needed_width),
                        std::max(designed.height(), needed_height));
    }
    if (auto* label = qobject_cast<QLabel*>(component)) {
      // Labels size to their text; field texts keep their width but grow in height.
      if (qobject_cast<ui::TDBText*>(label)) {
        // Field texts keep their designed box and grow to hold the text in the new font.
        const QSize designed = designed_sizes_.try_emplace(label, label->size()).first->second;
        const QFontMetrics metrics(font);
        label->resize(std::max(designed.width(), metrics.horizontalAdvance(label->text()) + 4),
                      std::max(designed.height(), metrics.height() + 2));
      } else {
        label->adjustSize();
      }
    }
  }
  FormResize();
  // The window grows until the stacked panel fits above the exit button and beside the
  // grid's right edge; it never shrinks on its own (the operator's size is kept).
  int panel_bottom = 0, panel_right = 0;
  for (const auto& row : panel_rows_)
    for (const QWidget* item : row) {
      panel_bottom = std::max(panel_bottom, item->y() + item->height());
      panel_right = std::max(panel_right, item->x() + item->width());
    }
  const int short_by = panel_bottom + kPanelGap - BitBtn1->y();
  const int narrow_by = panel_right + kPanelGap - centralWidget()->width();
  if (short_by > 0 || narrow_by > 0)
    resize(width() + std::max(0, narrow_by), height() + std::max(0, short_by));
}

void TFMain::ReflowDetailPanel() {
  // Columns: the number column steps right only where a larger font would make the series
  // caption or text run into it.
  for (const auto& row : panel_rows_)
    for (QWidget* item : row) item->move(designed_places_[item].x(), item->y());
  const int series_right = std::max(Label7->x() + Label7->width(), DBText2->x() + DBText2->width());
  if (Label3->x() < series_right + 6) {
    Label3->move(series_right + 6, Label3->y());
    DBText3->move(series_right + 6, DBText3->y());
  }
  // Rows: each keeps its designed top unless the row above (or, for the first, the search
  // row beside it) now reaches lower; then it keeps the designed gap below that row. At the
  // designed font every row is where it was designed.
  int above_bottom = 0;
  for (const QWidget* w : std::initializer_list<const QWidget*>{Edit1, Label8, Label9, RxSpinEdit1})
    above_bottom = std::max(above_bottom, w->y() + w->height());
  int designed_above_bottom = 8 + 21;  // the search box as designed
  for (const auto& row : panel_rows_) {
    int designed_top = designed_places_[row.front()].top();
    int designed_bottom = 0;
    for (QWidget* item : row) {
      designed_top = std::min(designed_top, designed_places_[item].top());
      designed_bottom = std::max(designed_bottom, designed_places_[item].y() + designed_places_[item].height());
    }
    const int gap = std::max(0, designed_top - designed_above_bottom);
    const int top = std::max(designed_top, above_bottom + gap);
    int bottom = 0;
    for (QWidget* item : row) {
      const int offset = designed_places_[item].y() - designed_top;
      item->move(item->x(), top + offset);
      bottom = std::max(bottom, top + offset + item->height());
    }
    above_bottom = bottom;
    designed_above_bottom = designed_bottom;
  }
}

// ---- search and keys --------------------------------------------------------------------------

void TFMain::Edit1Change(const QString& text) { state_->Edit1Change(text.toStdString()); }

void TFMain::Edit1KeyUp(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) DBGrid1->setFocus(Qt::OtherFocusReason);
}

void TFMain::DBGrid1KeyDown(int key, bool& handled) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    handled = true;
    state_->N8Click();
  }
}

bool TFMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // The menus' shortcuts (Ctrl+Z, Ctrl+X, ...) win over the boxes' own editing keys.
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    for (QAction* action : {N2, N3, N4, fr31, N9}) {
      if (action->shortcut() == pressed) {
        event->ignore();
        return true;
      }
    }
  }
  if (watched == Edit1 && event->type() == QEvent::KeyRelease)
    Edit1KeyUp(static_cast<QKeyEvent*>(event)->key());
  return QMainWindow::eventFilter(watched, event);
}

// ---- window events ----------------------------------------------------------------------------

void TFMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TFMain::showEvent(QShowEvent* event) {
  if (!placement_.Restored()) placement_.Restore();
  QMainWindow::showEvent(event);
}

void TFMain::closeEvent(QCloseEvent* event) {
  state_->N3Click();
  placement_.Save();
  event->accept();
}

}  // namespace lgoty::app
