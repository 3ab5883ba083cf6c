#include "ui/dialog_control_widgets.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QToolButton>
#include <cctype>
#include <cmath>

#include "core/date_time.h"
#include "core/format_settings.h"
#include "core/string_list.h"
#include "report/dialog_controls.h"
#include "ui/dialog_look.h"

namespace lgoty::ui {

using report::TfrxDialogControl;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// "&Save" marks the accelerator in both systems; "&&" is a literal ampersand in both.
QString Caption(const TfrxDialogControl& c) { return Q(c.caption); }

QStringList Lines(const core::TStringList& list) {
  QStringList out;
  for (int i = 0; i < list.Count(); ++i) out << Q(list[i]);
  return out;
}

void SetLines(core::TStringList& list, const QStringList& lines) {
  list.Clear();
  for (const QString& line : lines) list.Add(S(line));
}

Qt::Alignment HorizontalAlignment(int alignment) {
  switch (alignment) {
    case 1: return Qt::AlignRight;
    case 2: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
  }
}

// Day numbers count from 30 December 1899.
QDate QDateFromDateTime(double value) {
  return QDate(1899, 12, 30).addDays(static_cast<qint64>(std::floor(value)));
}
double DateTimeFromQDate(QDate date) {
  return static_cast<double>(QDate(1899, 12, 30).daysTo(date));
}
QTime QTimeFromDateTime(double value) {
  double fraction = std::fabs(value - std::floor(value));
  return QTime(0, 0).addMSecs(static_cast<int>(std::lround(fraction * 86400000.0)) % 86400000);
}
double DateTimeFromQTime(QTime time) { return time.msecsSinceStartOfDay() / 86400000.0; }

// A date pattern of FormatDateTime ("dd.mm.yyyy", "d mmmm yyyy") in QDate's notation.
QString QtDatePattern(const std::string& pattern) {
  QString out;
  for (char c : pattern) {
    if (c == 'm' || c == 'M') out += QLatin1Char('M');
    else if (c == 'd' || c == 'D') out += QLatin1Char('d');
    else if (c == 'y' || c == 'Y') out += QLatin1Char('y');
    else if (c == '/') out += Q(core::DefaultFormatSettings().DateSeparator);
    else if (std::isalpha(static_cast<unsigned char>(c))) out += QLatin1Char('\'') + QChar(c) + QLatin1Char('\'');
    else out += QChar(c);
  }
  return out;
}

// An edit mask ("!99/99/0000;1;_") in QLineEdit's notation. The roles of 0 and 9 are
// swapped between the two, and so are those of A/a (letter or digit) and L/l (letter).
QString QtInputMask(const std::string& mask) {
  std::string body = mask;
  char blank = '_';
  size_t semicolon = mask.find(';');
  if (semicolon != std::string::npos) {
    body = mask.substr(0, semicolon);
    size_t second = mask.find(';', semicolon + 1);
    if (second != std::string::npos && second + 1 < mask.size()) blank = mask[second + 1];
  }
  QString out;
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    switch (c) {
      case '0': out += QLatin1Char('9'); break;
      case '9': out += QLatin1Char('0'); break;
      case 'L': out += QLatin1Char('A'); break;
      case 'l': out += QLatin1Char('a'); break;
      case 'A': out += QLatin1Char('N'); break;
      case 'a': out += QLatin1Char('n'); break;
      case 'C': out += QLatin1Char('X'); break;
      case 'c': out += QLatin1Char('x'); break;
      case '#': out += QLatin1Char('#'); break;
      case '>': out += QLatin1Char('>'); break;
      case '<':
        if (i + 1 < body.size() && body[i + 1] == '>') {
          out += QLatin1Char('!');
          ++i;
        } else {
          out += QLatin1Char('<');
        }
        break;
      case '!': break;  // trimming of leading blanks: no counterpart
      case '\\':
        if (i + 1 < body.size()) out += QLatin1Char('\\') + QChar(body[++i]);
        break;
      default:
        // Letters that mean something to QLineEdit are literal here.
        if (QStringLiteral("9NnXxDdHhBbAa#").contains(QChar(c))) out += QLatin1Char('\\');
        out += QChar(c);
    }
  }
  if (out.isEmpty()) return out;
  return out + QLatin1Char(';') + QChar(blank);
}

template <class W>
class Bound : public DialogControlBinding {
 protected:
  Bound(TfrxDialogControl& control, W* widget) : DialogControlBinding(control, widget), w(widget) {}
  W* w;
};

class LabelBinding final : public Bound<QLabel> {
 public:
  LabelBinding(TfrxDialogControl& c, QWidget* parent) : Bound(c, new QLabel(parent)) {}
  bool ClickFromMouse() const override { return true; }

 protected:
  bool TakesFocus() const override { return false; }
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    w->setText(Caption(c));
    w->setWordWrap(c.word_wrap);
    w->setAlignment(HorizontalAlignment(c.alignment) | Qt::AlignTop);
    if (c.auto_size && !c.word_wrap) {
      // The label takes the size of its text, as the control's bounds do.
      QSize size = w->sizeHint();
      c.SetWidth(size.width());
      c.SetHeight(size.height());
      w->resize(size);
    }
  }
};

class EditBinding final : public Bound<QLineEdit> {
 public:
  EditBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events, bool mask)
      : Bound(c, new QLineEdit(parent)), mask_(mask) {
    QObject::connect(w, &QLineEdit::textChanged, w, [this, &events](const QString& text) {
      Control().text = S(text);
      events.ControlChanged(Control());
    });
  }
  bool ClickFromMouse() const override { return true; }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    if (mask_ && w->inputMask() != QtInputMask(c.edit_mask)) w->setInputMask(QtInputMask(c.edit_mask));
    if (w->text() != Q(c.text)) w->setText(Q(c.text));
    w->setMaxLength(c.max_length > 0 ? c.max_length : 32767);
    w->setEchoMode(!mask_ && c.password_char ? QLineEdit::Password : QLineEdit::Normal);
    w->setReadOnly(c.read_only);
  }
  uint32_t NativeColor() const override { return static_cast<uint32_t>(report::clWindow); }

 private:
  bool mask_;
};

class MemoBinding final : public Bound<QPlainTextEdit> {
 public:
  MemoBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events)
      : Bound(c, new QPlainTextEdit(parent)) {
    QObject::connect(w, &QPlainTextEdit::textChanged, w, [this, &events] {
      SetLines(Control().lines, w->toPlainText().split(QLatin1Char('\n')));
      events.ControlChanged(Control());
    });
  }
  bool ClickFromMouse() const override { return true; }
  bool WantsReturn() const override { return true; }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    QString text = Lines(c.lines).join(QLatin1Char('\n'));
    if (w->toPlainText() != text) w->setPlainText(text);
    w->setReadOnly(c.read_only);
    w->setLineWrapMode(c.word_wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    bool horizontal = c.scroll_bars == 1 || c.scroll_bars == 3;
    bool vertical = c.scroll_bars == 2 || c.scroll_bars == 3;
    w->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    w->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  }
  uint32_t NativeColor() const override { return static_cast<uint32_t>(report::clWindow); }
};

class ButtonBinding final : public Bound<QPushButton> {
 public:
  ButtonBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events)
      : Bound(c, new QPushButton(parent)) {
    // Enter and Escape are the form's business, not the dialog's own default button.
    w->setAutoDefault(false);
    QObject::connect(w, &QPushButton::clicked, w, [this, &events] { events.ControlClicked(Control()); });
  }
  bool IsPushButton() const override { return true; }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    w->setText(Caption(c));
    w->setDefault(c.default_button);
    QPixmap glyph = QPixmapFromReport(c.picture);
    if (!glyph.isNull() && c.num_glyphs > 1) glyph = glyph.copy(0, 0, glyph.width() / c.num_glyphs, glyph.height());
    w->setIcon(glyph.isNull() ? QIcon() : QIcon(glyph));
  }
};

class SpeedButtonBinding final : public Bound<QToolButton> {
 public:
  SpeedButtonBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events)
      : Bound(c, new QToolButton(parent)) {
    QObject::connect(w, &QToolButton::clicked, w, [this, &events] {
      TfrxDialogControl& c = Control();
      if (c.group_index != 0) {
        // A grouped speed button stays down and lifts the others of its group; a second
        // click lifts it only with AllowAllUp.
        c.down = c.down ? !c.allow_all_up : true;
        report::TfrxComponent* parent = c.Parent();
        for (int i = 0; c.down && parent && i < parent->ObjectCount(); ++i) {
          auto* other = dynamic_cast<report::TfrxSpeedButtonControl*>(parent->Object(i));
          if (other && other != &c && other->group_index == c.group_index) other->down = false;
        }
      }
      events.ControlClicked(c);
    });
  }

 protected:
  bool TakesFocus() const override { return false; }
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    w->setText(Caption(c));
    w->setAutoRaise(c.flat);
    w->setCheckable(c.group_index != 0);
    w->setChecked(c.down);
    QPixmap glyph = QPixmapFromReport(c.picture);
    w->setIcon(glyph.isNull() ? QIcon() : QIcon(glyph));
    w->setToolButtonStyle(glyph.isNull() ? Qt::ToolButtonTextOnly
                          : c.caption.empty() ? Qt::ToolButtonIconOnly
                                              : Qt::ToolButtonTextBesideIcon);
  }
};

class CheckBoxBinding final : public Bound<QCheckBox> {
 public:
  CheckBoxBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events)
      : Bound(c, new QCheckBox(parent)) {
    QObject::connect(w, &QCheckBox::clicked, w, [this, &events] {
      auto state = w->checkState();
      Control().SetState(state == Qt::Checked         ? report::TCheckBoxState::cbChecked
                         : state == Qt::PartiallyChecked ? report::TCheckBoxState::cbGrayed
                                                         : report::TCheckBoxState::cbUnchecked);
      events.ControlClicked(Control());
    });
  }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    w->setText(Caption(c));
    w->setTristate(c.allow_grayed || c.State() == report::TCheckBoxState::cbGrayed);
    w->setCheckState(c.State() == report::TCheckBoxState::cbChecked   ? Qt::Checked
                     : c.State() == report::TCheckBoxState::cbGrayed ? Qt::PartiallyChecked
                                                                     : Qt::Unchecked);
    // Alignment taLeftJustify puts the caption left of the box.
    w->setLayoutDirection(c.alignment == 0 ? Qt::RightToLeft : Qt::LeftToRight);
  }
};

class RadioBinding final : public Bound<QRadioButton> {
 public:
  RadioBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events)
      : Bound(c, new QRadioButton(parent)) {
    // Radio buttons on one parent exclude each other; the others learn it from toggled.
    QObject::connect(w, &QRadioButton::toggled, w, [this](bool on) { Control().SetChecked(on); });
    QObject::connect(w, &QRadioButton::clicked, w, [this, &events] { events.ControlClicked(Control()); });
  }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    w->setText(Caption(c));
    w->setAutoExclusive(false);  // lets a script clear every button of the group
    w->setChecked(c.Checked());
    w->setAutoExclusive(true);
    w->setLayoutDirection(c.alignment == 0 ? Qt::RightToLeft : Qt::LeftToRight);
  }
};

class ListBinding final : public Bound<QListWidget> {
 public:
  ListBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events, bool checks)
      : Bound(c, new QListWidget(parent)), checks_(checks) {
    QObject::connect(w, &QListWidget::currentRowChanged, w, [this, &events](int row) {
      Control().item_index = row;
      events.ControlClicked(Control());
    });
    if (checks_) {
      QObject::connect(w, &QListWidget::itemChanged, w, [this](QListWidgetItem* item) {
        int row = w->row(item);
        auto& states = Control().item_states;
        if (row < 0) return;
        if (states.size() <= static_cast<size_t>(row)) {
          states.resize(static_cast<size_t>(row) + 1, report::TCheckBoxState::cbUnchecked);
        }
        states[static_cast<size_t>(row)] = item->checkState() == Qt::Checked ? report::TCheckBoxState::cbChecked
                                           : item->checkState() == Qt::PartiallyChecked ? report::TCheckBoxState::cbGrayed
                                                                                         : report::TCheckBoxState::cbUnchecked;
      });
    }
  }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    QStringList items = Lines(c.lines);
    bool same = w->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i) same = w->item(i)->text() == items[i];
    if (!same) {
      w->clear();
      w->addItems(items);
    }
    w->setSortingEnabled(c.sorted);
    if (checks_) {
      for (int i = 0; i < w->count(); ++i) {
        QListWidgetItem* item = w->item(i);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable |
                       (c.allow_grayed ? Qt::ItemIsAutoTristate : Qt::ItemFlags()));
        auto mark = static_cast<size_t>(i) < c.item_states.size() ? c.item_states[static_cast<size_t>(i)]
                                                                  : report::TCheckBoxState::cbUnchecked;
        item->setCheckState(mark == report::TCheckBoxState::cbChecked  ? Qt::Checked
                            : mark == report::TCheckBoxState::cbGrayed ? Qt::PartiallyChecked
                                                                       : Qt::Unchecked);
      }
    }
    if (w->currentRow() != c.item_index) w->setCurrentRow(c.item_index);
  }
  uint32_t NativeColor() const override { return static_cast<uint32_t>(report::clWindow); }

 private:
  bool checks_;
};

class ComboBinding final : public Bound<QComboBox> {
 public:
  ComboBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events)
      : Bound(c, new QComboBox(parent)) {
    w->setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(w, QOverload<int>::of(&QComboBox::activated), w, [this, &events](int) {
      events.ControlClicked(Control());
    });
    QObject::connect(w, &QComboBox::currentIndexChanged, w, [this](int index) {
      Control().item_index = index;
      Control().text = S(w->currentText());
    });
    QObject::connect(w, &QComboBox::currentTextChanged, w, [this, &events](const QString& text) {
      Control().text = S(text);
      Control().item_index = w->findText(text);
      events.ControlChanged(Control());
    });
  }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    // csDropDown and csSimple take typed text; csDropDownList only picks from the list.
    w->setEditable(c.combo_style == 0 || c.combo_style == 1);
    QStringList items = Lines(c.lines);
    bool same = w->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i) same = w->itemText(i) == items[i];
    if (!same) {
      w->clear();
      w->addItems(items);
    }
    if (c.item_index >= 0 && c.item_index < w->count() && Q(c.text) == w->itemText(c.item_index)) {
      w->setCurrentIndex(c.item_index);
    } else if (w->isEditable()) {
      w->setCurrentIndex(w->findText(Q(c.text)));
      w->setEditText(Q(c.text));
    } else {
      int index = c.item_index >= 0 ? c.item_index : w->findText(Q(c.text));
      w->setCurrentIndex(index < w->count() ? index : -1);
    }
    c.item_index = w->currentIndex();
    c.text = S(w->currentText());
  }
  uint32_t NativeColor() const override { return static_cast<uint32_t>(report::clWindow); }
};

class DateBinding final : public Bound<QDateTimeEdit> {
 public:
  DateBinding(TfrxDialogControl& c, QWidget* parent, DialogControlEvents& events)
      : Bound(c, c.date_kind == 1 ? static_cast<QDateTimeEdit*>(new QTimeEdit(parent))
                                  : new QDateEdit(parent)) {
    w->setCalendarPopup(c.date_kind == 0);
    QObject::connect(w, &QDateTimeEdit::dateTimeChanged, w, [this, &events](const QDateTime& value) {
      Control().date = DateTimeFromQDate(value.date());
      Control().time = DateTimeFromQTime(value.time());
      events.ControlChanged(Control());
    });
  }

 protected:
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    const core::FormatSettings& fs = core::DefaultFormatSettings();
    if (c.date_kind == 1) {
      w->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    } else {
      w->setDisplayFormat(QtDatePattern(c.date_format == 1 ? fs.LongDateFormat : fs.ShortDateFormat));
    }
    QDateTime value(QDateFromDateTime(c.date), QTimeFromDateTime(c.time));
    if (w->dateTime() != value) w->setDateTime(value);
    if (QCalendarWidget* calendar = c.date_kind == 0 ? w->calendarWidget() : nullptr) {
      calendar->setVerticalHeaderFormat(c.week_numbers ? QCalendarWidget::ISOWeekNumbers
                                                       : QCalendarWidget::NoVerticalHeader);
      if (c.week_numbers) calendar->setMinimumWidth(calendar->minimumSizeHint().width());
    }
  }
  uint32_t NativeColor() const override { return static_cast<uint32_t>(report::clWindow); }
};

class PanelBinding final : public Bound<QFrame> {
 public:
  PanelBinding(TfrxDialogControl& c, QWidget* parent) : Bound(c, new QFrame(parent)) {
    caption_ = new QLabel(w);
    caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  bool ClickFromMouse() const override { return true; }

 protected:
  bool TakesFocus() const override { return false; }
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    // BevelOuter: bvNone, bvLowered, bvRaised, bvSpace.
    w->setFrameStyle(c.bevel_outer == 0 || c.bevel_outer == 3
                         ? QFrame::NoFrame
                         : QFrame::Panel | (c.bevel_outer == 1 ? QFrame::Sunken : QFrame::Raised));
    w->setLineWidth(c.bevel_width);
    w->setAutoFillBackground(true);
    caption_->setText(Caption(c));
    caption_->setAlignment(HorizontalAlignment(c.alignment) | Qt::AlignVCenter);
    caption_->setGeometry(w->rect().adjusted(c.bevel_width + 2, 0, -c.bevel_width - 2, 0));
    caption_->lower();
  }

 private:
  QLabel* caption_;
};

class GroupBoxBinding final : public Bound<QGroupBox> {
 public:
  GroupBoxBinding(TfrxDialogControl& c, QWidget* parent) : Bound(c, new QGroupBox(parent)) {}
  bool ClickFromMouse() const override { return true; }

 protected:
  bool TakesFocus() const override { return false; }
  void PullOwn() override { w->setTitle(Caption(Control())); }
};

class ImageBinding final : public Bound<QLabel> {
 public:
  ImageBinding(TfrxDialogControl& c, QWidget* parent) : Bound(c, new QLabel(parent)) {}
  bool ClickFromMouse() const override { return true; }

 protected:
  bool TakesFocus() const override { return false; }
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    QPixmap pixmap = QPixmapFromReport(c.picture);
    if (c.auto_size && !pixmap.isNull()) {
      c.SetWidth(pixmap.width());
      c.SetHeight(pixmap.height());
      w->resize(pixmap.size());
    }
    w->setPixmap(pixmap);
    w->setScaledContents(c.stretch);
    w->setAlignment(c.center ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
  }
};

class BevelBinding final : public Bound<QFrame> {
 public:
  BevelBinding(TfrxDialogControl& c, QWidget* parent) : Bound(c, new QFrame(parent)) {}

 protected:
  bool TakesFocus() const override { return false; }
  void PullOwn() override {
    TfrxDialogControl& c = Control();
    // Shape: bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer.
    int shadow = c.bevel_style == 1 ? QFrame::Raised : QFrame::Sunken;
    switch (c.bevel_shape) {
      case 0: w->setFrameStyle(QFrame::Panel | shadow); break;
      case 1: w->setFrameStyle(QFrame::Box | shadow); break;
      case 2:
      case 3: w->setFrameStyle(QFrame::HLine | shadow); break;
      case 4:
      case 5: w->setFrameStyle(QFrame::VLine | shadow); break;
      default: w->setFrameStyle(QFrame::NoFrame); break;
    }
  }
};

}  // namespace

DialogControlBinding::DialogControlBinding(TfrxDialogControl& control, QWidget* widget)
    : control_(control), widget_(widget) {
  widget_->setObjectName(Q(control.Name()));
}

uint32_t DialogControlBinding::NativeColor() const { return static_cast<uint32_t>(report::clBtnFace); }

void DialogControlBinding::Pull() {
  QSignalBlocker blocker(widget_);
  TfrxDialogControl& c = control_;
  widget_->setFont(QFontFromReport(c.Font()));
  PullOwn();
  QRect bounds(static_cast<int>(std::lround(c.Left())), static_cast<int>(std::lround(c.Top())),
               static_cast<int>(std::lround(c.Width())), static_cast<int>(std::lround(c.Height())));
  if (widget_->geometry() != bounds) widget_->setGeometry(bounds);
  widget_->setEnabled(c.enabled);
  widget_->setVisible(c.Visible());
  widget_->setToolTip(c.show_hint ? Q(c.hint) : QString());
  if (!TakesFocus()) {
    widget_->setFocusPolicy(Qt::NoFocus);
  } else {
    widget_->setFocusPolicy(c.tab_stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
  QPalette palette = widget_->parentWidget() ? widget_->parentWidget()->palette() : widget_->palette();
  if (static_cast<uint32_t>(c.color) != NativeColor()) {
    if (auto color = QColorFromReport(c.color, palette)) {
      palette.setColor(QPalette::Window, *color);
      palette.setColor(QPalette::Base, *color);
      palette.setColor(QPalette::Button, *color);
      widget_->setAutoFillBackground(true);
    }
  }
  if (auto text = QColorFromReport(c.Font().color, palette); text && c.Font().color != report::clBlack) {
    palette.setColor(QPalette::WindowText, *text);
    palette.setColor(QPalette::Text, *text);
    palette.setColor(QPalette::ButtonText, *text);
  }
  widget_->setPalette(palette);
}

std::unique_ptr<DialogControlBinding> BindDialogControl(TfrxDialogControl& control, QWidget* parent,
                                                        DialogControlEvents& events) {
  using namespace report;
  TfrxDialogControl& c = control;
  std::unique_ptr<DialogControlBinding> b;
  if (dynamic_cast<TfrxLabelControl*>(&c)) b = std::make_unique<LabelBinding>(c, parent);
  else if (dynamic_cast<TfrxEditControl*>(&c)) b = std::make_unique<EditBinding>(c, parent, events, false);
  else if (dynamic_cast<TfrxMaskEditControl*>(&c)) b = std::make_unique<EditBinding>(c, parent, events, true);
  else if (dynamic_cast<TfrxMemoControl*>(&c)) b = std::make_unique<MemoBinding>(c, parent, events);
  else if (dynamic_cast<TfrxButtonControl*>(&c) || dynamic_cast<TfrxBitBtnControl*>(&c)) b = std::make_unique<ButtonBinding>(c, parent, events);
  else if (dynamic_cast<TfrxSpeedButtonControl*>(&c)) b = std::make_unique<SpeedButtonBinding>(c, parent, events);
  else if (dynamic_cast<TfrxCheckBoxControl*>(&c)) b = std::make_unique<CheckBoxBinding>(c, parent, events);
  else if (dynamic_cast<TfrxRadioButtonControl*>(&c)) b = std::make_unique<RadioBinding>(c, parent, events);
  else if (dynamic_cast<TfrxListBoxControl*>(&c)) b = std::make_unique<ListBinding>(c, parent, events, false);
  else if (dynamic_cast<TfrxCheckListBoxControl*>(&c)) b = std::make_unique<ListBinding>(c, parent, events, true);
  else if (dynamic_cast<TfrxComboBoxControl*>(&c) || dynamic_cast<TfrxDBLookupComboBox*>(&c)) b = std::make_unique<ComboBinding>(c, parent, events);
  else if (dynamic_cast<TfrxDateEditControl*>(&c)) b = std::make_unique<DateBinding>(c, parent, events);
  else if (dynamic_cast<TfrxPanelControl*>(&c)) b = std::make_unique<PanelBinding>(c, parent);
  else if (dynamic_cast<TfrxGroupBoxControl*>(&c)) b = std::make_unique<GroupBoxBinding>(c, parent);
  else if (dynamic_cast<TfrxImageControl*>(&c)) b = std::make_unique<ImageBinding>(c, parent);
  else if (dynamic_cast<TfrxBevelControl*>(&c)) b = std::make_unique<BevelBinding>(c, parent);
  if (b) b->Pull();
  return b;
}

}  // namespace lgoty::ui
