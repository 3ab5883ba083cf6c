#include "ui/dialog_form.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <cmath>

#include "report/dialog_controls.h"
#include "report/dialog_events.h"
#include "report/dialog_session.h"
#include "report/pages.h"
#include "ui/dialog_look.h"

namespace lgoty::ui {

using report::TfrxDialogControl;
using report::TFormBorderStyle;
using report::TPosition;

namespace {

int Round(double value) { return static_cast<int>(std::lround(value)); }

int MouseButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton: return report::kMouseRight;
    case Qt::MiddleButton: return report::kMouseMiddle;
    default: return report::kMouseLeft;
  }
}

}  // namespace

DialogForm::DialogForm(report::DialogSession& session, QWidget* parent)
    : QDialog(parent), session_(session), page_(session.Page()) {
  setObjectName(QString::fromStdString(page_.Name()));
  BindControls(page_, this);
}

DialogForm::~DialogForm() { qApp->removeEventFilter(this); }

void DialogForm::BindControls(report::TfrxComponent& holder, QWidget* parent) {
  for (int i = 0; i < holder.ObjectCount(); ++i) {
    auto* control = dynamic_cast<TfrxDialogControl*>(holder.Object(i));
    if (!control) continue;
    std::unique_ptr<DialogControlBinding> binding = BindDialogControl(*control, parent, *this);
    if (!binding) continue;
    QWidget* widget = binding->Widget();
    if (!control->on_mouse_move.empty()) widget->setMouseTracking(true);
    by_widget_.insert(widget, binding.get());
    bindings_.push_back(std::move(binding));
    // Panels and group boxes hold the widgets of their own controls.
    BindControls(*control, widget);
  }
}

QWidget* DialogForm::WidgetFor(const TfrxDialogControl& control) const {
  for (const auto& binding : bindings_) {
    if (&binding->Control() == &control) return binding->Widget();
  }
  return nullptr;
}

DialogControlBinding* DialogForm::BindingOf(QObject* object) const {
  for (auto* w = qobject_cast<QWidget*>(object); w && w != this; w = w->parentWidget()) {
    if (DialogControlBinding* binding = by_widget_.value(w)) return binding;
    if (w->isWindow()) break;
  }
  return nullptr;
}

bool DialogForm::Pressable(const DialogControlBinding* binding) const {
  return binding && binding->IsPushButton() && binding->Widget()->isVisibleTo(this) &&
         binding->Widget()->isEnabled();
}

QWidget* DialogForm::ReturnButton() const {
  DialogControlBinding* focused = BindingOf(focusWidget());
  if (Pressable(focused)) return focused->Widget();
  for (const auto& b : bindings_) {
    if (Pressable(b.get()) && b->Control().default_button) return b->Widget();
  }
  for (const auto& b : bindings_) {
    if (Pressable(b.get()) && b->Control().modal_result == report::mrOk) return b->Widget();
  }
  return nullptr;
}

QWidget* DialogForm::EscapeButton() const {
  for (const auto& b : bindings_) {
    if (Pressable(b.get()) && b->Control().cancel) return b->Widget();
  }
  return nullptr;
}

void DialogForm::PullWindow() {
  setWindowTitle(QString::fromStdString(page_.caption));
  setFont(QFontFromReport(page_.Font()));
  QPalette p = QApplication::palette(this);
  if (page_.color != report::clBtnFace) {
    if (auto color = QColorFromReport(page_.color, p)) p.setColor(QPalette::Window, *color);
  }
  setPalette(p);
  QSize client(Round(page_.ClientWidth()), Round(page_.ClientHeight()));
  if (client != applied_client_ && !client.isEmpty()) {
    applied_client_ = client;
    bool fixed = page_.border_style != TFormBorderStyle::bsSizeable &&
                 page_.border_style != TFormBorderStyle::bsSizeToolWin;
    placing_ = true;
    if (fixed) {
      setFixedSize(client);
    } else {
      setMinimumSize(0, 0);
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      resize(client);
    }
    placing_ = false;
  }
}

void DialogForm::PullAll() {
  PullWindow();
  for (const auto& binding : bindings_) binding->Pull();
  // A script's SetFocus moves the focus.
  TfrxDialogControl* active = page_.ActiveControl();
  if (active && active != focused_control_) {
    if (QWidget* widget = WidgetFor(*active); widget && widget->isEnabled()) {
      widget->setFocus(Qt::OtherFocusReason);
    }
  }
}

void DialogForm::Place() {
  placing_ = true;
  // Without CustomizeWindowHint the window manager adds its own buttons (a dialog box has
  // no minimize and maximize buttons, and they would crowd out a short caption).
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  switch (page_.border_style) {
    case TFormBorderStyle::bsNone: flags = Qt::Dialog | Qt::FramelessWindowHint; break;
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsSizeable: flags |= Qt::WindowMinMaxButtonsHint; break;
    case TFormBorderStyle::bsDialog: break;
    case TFormBorderStyle::bsToolWindow:
    case TFormBorderStyle::bsSizeToolWin:
      flags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
              Qt::WindowCloseButtonHint;
      break;
  }
  setWindowFlags(flags);
  applied_client_ = QSize();
  PullWindow();

  // The page's Width and Height are the outer size, frame and caption included.
  QSize outer(Round(page_.Width()), Round(page_.Height()));
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  QRect owner = area;
  if (parentWidget()) owner = parentWidget()->window()->frameGeometry();
  switch (page_.position) {
    case TPosition::poDesigned:
    case TPosition::poDefaultSizeOnly:
      move(Round(page_.Left()), Round(page_.Top()));
      break;
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
      move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
      break;
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter:
      move(owner.center() - QPoint(outer.width() / 2, outer.height() / 2));
      break;
    case TPosition::poDefault:
    case TPosition::poDefaultPosOnly:
      break;
  }
  switch (page_.window_state) {
    case report::TWindowState::wsMaximized: setWindowState(Qt::WindowMaximized); break;
    case report::TWindowState::wsMinimized: setWindowState(Qt::WindowMinimized); break;
    case report::TWindowState::wsNormal: setWindowState(Qt::WindowNoState); break;
  }
  placing_ = false;
}

int DialogForm::Run() {
  Place();
  for (const auto& binding : bindings_) binding->Pull();
  qApp->installEventFilter(this);
  QMetaObject::Connection focus =
      connect(qApp, &QApplication::focusChanged, this, &DialogForm::FocusMoved);
  exec();
  disconnect(focus);
  qApp->removeEventFilter(this);
  closing_ = true;
  // A window that went away without a modal result (destroyed by the platform) cancels.
  if (page_.ModalResult() == report::mrNone) page_.SetModalResult(report::mrCancel);
  if (error_) std::rethrow_exception(error_);
  return session_.End();
}

void DialogForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (begun_) return;
  // The focus goes to the page's active control, else to the first control in tab order.
  QWidget* first = page_.ActiveControl() ? WidgetFor(*page_.ActiveControl()) : nullptr;
  if (!first || first->focusPolicy() == Qt::NoFocus) {
    for (const auto& b : bindings_) {
      QWidget* w = b->Widget();
      if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(this)) {
        first = w;
        break;
      }
    }
  }
  if (first) {
    first->setFocus(Qt::ActiveWindowFocusReason);
    if (DialogControlBinding* b = BindingOf(first)) {
      focused_control_ = &b->Control();
      page_.SetActiveControl(focused_control_);
    }
  }
  begun_ = true;
  // Closing from inside show() would leave exec() waiting: the close is posted.
  in_show_ = true;
  if (Dispatch([this] { session_.Begin(); })) Finish();
  in_show_ = false;
}

template <class F>
bool DialogForm::Dispatch(F&& step) {
  if (closing_) return false;
  try {
    step();
    PullAll();
    if (!session_.ShouldClose()) return false;
  } catch (...) {
    if (!error_) error_ = std::current_exception();
    page_.SetModalResult(report::mrCancel);
  }
  closing_ = true;
  return true;
}

void DialogForm::Finish() {
  int result = page_.ModalResult();
  if (in_show_) {
    QMetaObject::invokeMethod(this, [this, result] { done(result); }, Qt::QueuedConnection);
  } else {
    done(result);
  }
}

void DialogForm::Press(QWidget* button) {
  if (auto* b = qobject_cast<QAbstractButton*>(button)) b->click();
}

void DialogForm::ControlClicked(TfrxDialogControl& control) {
  if (Dispatch([&] { session_.Click(control); })) Finish();
}

void DialogForm::ControlChanged(TfrxDialogControl& control) {
  if (Dispatch([&] { session_.Change(control); })) Finish();
}

void DialogForm::FocusMoved(QWidget* old_widget, QWidget* new_widget) {
  if (!begun_ || closing_) return;
  DialogControlBinding* from = BindingOf(old_widget);
  DialogControlBinding* to = BindingOf(new_widget);
  TfrxDialogControl* from_control = from ? &from->Control() : nullptr;
  TfrxDialogControl* to_control = to ? &to->Control() : nullptr;
  if (!to_control || to_control == focused_control_) return;
  focused_control_ = to_control;
  bool close = Dispatch([&] {
    if (from_control && from_control != to_control) session_.Exit(*from_control);
    session_.Enter(*to_control);
  });
  if (close) Finish();
}

bool DialogForm::eventFilter(QObject* watched, QEvent* event) {
  QEvent::Type type = event->type();
  bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
  bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
               type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
  if ((!key && !mouse) || forwarding_ || closing_ || !begun_) return false;
  auto* receiver = qobject_cast<QWidget*>(watched);
  if (!receiver || (receiver != this && !isAncestorOf(receiver))) return false;
  if (key) return FilterKey(receiver, static_cast<QKeyEvent*>(event));
  return FilterMouse(receiver, static_cast<QMouseEvent*>(event));
}

bool DialogForm::FilterKey(QWidget* receiver, QKeyEvent* key) {
  DialogControlBinding* focused = BindingOf(focusWidget());
  TfrxDialogControl* control = focused ? &focused->Control() : nullptr;
  int vk = VirtualKeyFromQt(key->key());
  int shift = ShiftFromQt(key->modifiers());
  auto forward = [&](int qt_key, const QString& text) {
    QKeyEvent replaced(key->type(), qt_key, key->modifiers(), text, key->isAutoRepeat());
    forwarding_ = true;
    QApplication::sendEvent(receiver, &replaced);
    forwarding_ = false;
    return true;
  };

  if (key->type() == QEvent::KeyRelease) {
    if (vk == 0) return false;
    int out = vk;
    if (Dispatch([&] { out = session_.KeyUp(control, vk, shift); })) {
      Finish();
      return true;
    }
    if (out == 0) return true;
    return out != vk ? forward(QtKeyFromVirtualKey(out), QString()) : false;
  }

  int out = vk;
  if (vk != 0) {
    if (Dispatch([&] { out = session_.KeyDown(control, vk, shift); })) {
      Finish();
      return true;
    }
    if (out == 0) return true;
  }
  QString text = key->text();
  bool has_char = !text.isEmpty() && (text[0].isPrint() || vk == 13 || vk == 27 || vk == 8);
  if (has_char && !(shift & (report::kShiftCtrl | report::kShiftAlt))) {
    std::string typed = text.toStdString();
    std::string got = typed;
    if (Dispatch([&] { got = session_.KeyPress(control, typed); })) {
      Finish();
      return true;
    }
    if (got.empty()) return true;
    if (got != typed) return forward(0, QString::fromStdString(got));
  }
  if (out != vk) return forward(QtKeyFromVirtualKey(out), QString());

  if (vk == 13 && !(focused && focused->WantsReturn())) {
    if (QWidget* button = ReturnButton()) {
      Press(button);
      return true;
    }
    return false;
  }
  if (vk == 27) {
    reject();
    return true;
  }
  return false;
}

bool DialogForm::FilterMouse(QWidget* receiver, QMouseEvent* mouse) {
  DialogControlBinding* binding = BindingOf(receiver);
  if (!binding) return false;
  TfrxDialogControl& control = binding->Control();
  QWidget* widget = binding->Widget();
  QPoint at = widget->mapFromGlobal(mouse->globalPosition().toPoint());
  int shift = ShiftFromQt(mouse->modifiers(), mouse->buttons());
  int button = MouseButtonCode(mouse->button());
  bool close = false;
  switch (mouse->type()) {
    case QEvent::MouseButtonPress:
      close = Dispatch([&] { session_.MouseDown(control, button, shift, at.x(), at.y()); });
      break;
    case QEvent::MouseButtonDblClick:
      close = Dispatch([&] {
        session_.MouseDown(control, button, shift | report::kShiftDouble, at.x(), at.y());
        session_.DblClick(control);
      });
      break;
    case QEvent::MouseButtonRelease:
      close = Dispatch([&] {
        session_.MouseUp(control, button, shift, at.x(), at.y());
        if (binding->ClickFromMouse() && mouse->button() == Qt::LeftButton &&
            widget->rect().contains(at)) {
          session_.Click(control);
        }
      });
      break;
    case QEvent::MouseMove:
      if (control.on_mouse_move.empty()) return false;
      close = Dispatch([&] { session_.MouseMove(control, shift, at.x(), at.y()); });
      break;
    default: break;
  }
  if (close) {
    Finish();
    return true;
  }
  return false;
}

void DialogForm::mouseReleaseEvent(QMouseEvent* event) {
  QDialog::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && begun_ && Dispatch([this] { session_.WindowClick(); })) {
    Finish();
  }
}

void DialogForm::reject() {
  if (closing_ || !begun_) return;
  if (QWidget* button = EscapeButton()) {
    Press(button);
    return;
  }
  if (Dispatch([this] { session_.CloseBox(); })) Finish();
}

void DialogForm::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  if (!begun_) {
    page_.SetModalResult(report::mrCancel);
    closing_ = true;
    event->accept();
    return;
  }
  if (Dispatch([this] { session_.CloseBox(); })) {
    setResult(page_.ModalResult());
    event->accept();
  } else {
    event->ignore();
  }
}

void DialogForm::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || !begun_ || closing_) return;
  bool close = false;
  if (isActiveWindow()) {
    if (!deactivated_) return;
    deactivated_ = false;
    close = Dispatch([this] { session_.Activate(); });
  } else {
    deactivated_ = true;
    close = Dispatch([this] { session_.Deactivate(); });
  }
  if (close) Finish();
}

void DialogForm::CopyBoundsBack() {
  if (!begun_ || placing_ || closing_ || !isVisible()) return;
  QRect frame = frameGeometry();
  page_.SetLeft(frame.x());
  page_.SetTop(frame.y());
  page_.SetClientWidth(width());
  page_.SetClientHeight(height());
  applied_client_ = size();
}

void DialogForm::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  CopyBoundsBack();
}

void DialogForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!begun_ || placing_ || closing_) return;
  CopyBoundsBack();
  if (Dispatch([this] { session_.WindowResize(); })) Finish();
}

}  // namespace lgoty::ui
