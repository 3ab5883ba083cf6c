// The native widgets of dialog controls, bound to the control objects both ways: what the
// operator does in a widget is written to its control at once (so a script reading
// CheckBox1.Checked sees the click), and Pull() brings the widget up to date with the
// control after a script may have changed it.
//
// Controls and their widgets:
//   Label QLabel, Edit and MaskEdit QLineEdit, Memo QPlainTextEdit, Button and BitBtn
//   QPushButton, SpeedButton QToolButton, CheckBox QCheckBox, RadioButton QRadioButton,
//   ListBox QListWidget, CheckListBox QListWidget with check boxes, ComboBox and
//   DBLookupComboBox QComboBox, DateEdit QDateEdit / QTimeEdit, Panel QFrame, GroupBox
//   QGroupBox, Image QLabel with a pixmap, Bevel QFrame.
// Panels and group boxes hold the widgets of the controls placed on them.
#pragma once

#include <QWidget>
#include <memory>

namespace lgoty::report {
class TfrxDialogControl;
}

namespace lgoty::ui {

// Where the widgets report what the operator did.
class DialogControlEvents {
 public:
  virtual ~DialogControlEvents() = default;
  // A click as the control class has it: a button pressed, a check box toggled, a list or
  // combo box selection, a label or panel clicked with the mouse.
  virtual void ControlClicked(report::TfrxDialogControl& control) = 0;
  // Text or value edited (edits, memo, combo box, date edit).
  virtual void ControlChanged(report::TfrxDialogControl& control) = 0;
};

class DialogControlBinding {
 public:
  virtual ~DialogControlBinding() = default;
  DialogControlBinding(const DialogControlBinding&) = delete;
  DialogControlBinding& operator=(const DialogControlBinding&) = delete;

  report::TfrxDialogControl& Control() const { return control_; }
  QWidget* Widget() const { return widget_; }
  // Sets the widget from the control: bounds, enabled, visible, hint, font, colour and
  // the class's own properties. Signals of the widget stay silent meanwhile.
  void Pull();
  // True when a mouse click on the widget is the control's click (no widget signal gives
  // it).
  virtual bool ClickFromMouse() const { return false; }
  // True when Enter is the widget's own key (a multi-line edit).
  virtual bool WantsReturn() const { return false; }
  // Push buttons: whether Enter or Escape may press it.
  virtual bool IsPushButton() const { return false; }

 protected:
  DialogControlBinding(report::TfrxDialogControl& control, QWidget* widget);
  virtual void PullOwn() = 0;
  // The colour the widget shows when the control's colour is this one.
  virtual uint32_t NativeColor() const;
  virtual bool TakesFocus() const { return true; }

 private:
  report::TfrxDialogControl& control_;
  QWidget* widget_;  // owned by its parent widget
};

// The widget for a control, a child of parent; nullptr for a class without one.
std::unique_ptr<DialogControlBinding> BindDialogControl(report::TfrxDialogControl& control,
                                                        QWidget* parent,
                                                        DialogControlEvents& events);

}  // namespace lgoty::ui
