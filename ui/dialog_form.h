// The window of a dialog page: a modal QDialog that shows the page's caption, border
// style, position, size, colour and font, holds the native widgets of its controls and
// reports what the operator does to the page's DialogSession.
//
// Keys: the window sees every key before its controls (key preview): OnKeyDown and
// OnKeyPress of the page, then of the focused control, may change or swallow it. Then
// Enter presses a button: the focused push button, else the Default button, else the
// button whose ModalResult is mrOk (a memo keeps its Enter). Escape presses the Cancel
// button, else acts as the close box. Both only press what is visible and enabled.
//
// After every event the widgets are brought up to date with the controls (a script may
// have changed them) and the window closes once the session says so. An error thrown by a
// script procedure closes the window with mrCancel and is thrown again by Run().
#pragma once

#include <QDialog>
#include <QHash>
#include <exception>
#include <memory>
#include <vector>

#include "ui/dialog_control_widgets.h"

namespace lgoty::report {
class DialogSession;
class TfrxComponent;
class TfrxDialogControl;
class TfrxDialogPage;
}  // namespace lgoty::report

namespace lgoty::ui {

class DialogForm final : public QDialog, private DialogControlEvents {
  Q_OBJECT

 public:
  // REQUIRES session is a session over page; both outlive the window.
  DialogForm(report::DialogSession& session, QWidget* parent = nullptr);
  ~DialogForm() override;

  // Shows the window modally until it closes; returns the page's modal result. Fires the
  // session's Begin when the window is up and End after it closed.
  int Run();

  // The widget of a control on this page; nullptr when it has none.
  QWidget* WidgetFor(const report::TfrxDialogControl& control) const;
  // The button Enter or Escape presses now; nullptr when none.
  QWidget* ReturnButton() const;
  QWidget* EscapeButton() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ControlClicked(report::TfrxDialogControl& control) override;
  void ControlChanged(report::TfrxDialogControl& control) override;

  void BindControls(report::TfrxComponent& holder, QWidget* parent);
  void PullWindow();
  void PullAll();
  void Place();
  void CopyBoundsBack();
  // Runs one script-facing step: errors end the window; afterwards the widgets follow the
  // controls and the window closes when the session says so.
  // Returns true when the window is to close now; Finish() then closes it.
  template <class F>
  bool Dispatch(F&& step);
  void Finish();
  void Press(QWidget* button);
  DialogControlBinding* BindingOf(QObject* object) const;
  bool FilterKey(QWidget* receiver, QKeyEvent* key);
  bool FilterMouse(QWidget* receiver, QMouseEvent* mouse);
  void FocusMoved(QWidget* old_widget, QWidget* new_widget);
  bool Pressable(const DialogControlBinding* binding) const;

  report::DialogSession& session_;
  report::TfrxDialogPage& page_;
  std::vector<std::unique_ptr<DialogControlBinding>> bindings_;
  QHash<const QWidget*, DialogControlBinding*> by_widget_;
  QSize applied_client_;
  report::TfrxDialogControl* focused_control_ = nullptr;
  std::exception_ptr error_;
  bool begun_ = false;
  bool closing_ = false;
  bool deactivated_ = false;
  bool forwarding_ = false;
  bool placing_ = false;
  bool in_show_ = false;
};

}  // namespace lgoty::ui
