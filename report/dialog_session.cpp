#include "report/dialog_session.h"

#include "report/dialog_controls.h"
#include "report/dialog_events.h"
#include "report/pages.h"

namespace lgoty::report {

bool IsDialogButton(const TfrxDialogControl& control) {
  return dynamic_cast<const TfrxButtonControl*>(&control) != nullptr ||
         dynamic_cast<const TfrxBitBtnControl*>(&control) != nullptr;
}

DialogSession::DialogSession(TfrxDialogPage& page) : page_(page) {}

void DialogSession::Begin() {
  page_.SetModalResult(mrNone);
  FireNotifyEvent(page_, page_.on_show, &page_);
  Activate();
}

void DialogSession::Activate() {
  FireNotifyEvent(page_, page_.on_activate, &page_);
  for (TfrxComponent* object : page_.AllObjects()) {
    auto* control = dynamic_cast<TfrxDialogControl*>(object);
    if (control && control->activation_hook) control->activation_hook();
  }
}

void DialogSession::Deactivate() { FireNotifyEvent(page_, page_.on_deactivate, &page_); }

void DialogSession::WindowClick() { FireNotifyEvent(page_, page_.on_click, &page_); }

void DialogSession::WindowResize() { FireNotifyEvent(page_, page_.on_resize, &page_); }

void DialogSession::Click(TfrxDialogControl& control) {
  FireNotifyEvent(control, control.on_click, &control);
  if (IsDialogButton(control) && control.modal_result != mrNone) {
    page_.SetModalResult(control.modal_result);
  }
}

void DialogSession::DblClick(TfrxDialogControl& control) {
  FireNotifyEvent(control, control.on_dbl_click, &control);
}

void DialogSession::Enter(TfrxDialogControl& control) {
  page_.SetActiveControl(&control);
  FireNotifyEvent(control, control.on_enter, &control);
}

void DialogSession::Exit(TfrxDialogControl& control) {
  FireNotifyEvent(control, control.on_exit, &control);
}

void DialogSession::Change(TfrxDialogControl& control) {
  FireNotifyEvent(control, control.on_change, &control);
}

void DialogSession::MouseDown(TfrxDialogControl& control, int button, int shift, int x, int y) {
  FireMouseEvent(control, control.on_mouse_down, &control, button, shift, x, y);
}

void DialogSession::MouseUp(TfrxDialogControl& control, int button, int shift, int x, int y) {
  FireMouseEvent(control, control.on_mouse_up, &control, button, shift, x, y);
}

void DialogSession::MouseMove(TfrxDialogControl& control, int shift, int x, int y) {
  FireMouseMoveEvent(control, control.on_mouse_move, &control, shift, x, y);
}

int DialogSession::KeyDown(TfrxDialogControl* focused, int key, int shift) {
  key = FireKeyEvent(page_, page_.on_key_down, &page_, key, shift);
  if (key != 0 && focused) key = FireKeyEvent(*focused, focused->on_key_down, focused, key, shift);
  return key;
}

int DialogSession::KeyUp(TfrxDialogControl* focused, int key, int shift) {
  key = FireKeyEvent(page_, page_.on_key_up, &page_, key, shift);
  if (key != 0 && focused) key = FireKeyEvent(*focused, focused->on_key_up, focused, key, shift);
  return key;
}

std::string DialogSession::KeyPress(TfrxDialogControl* focused, const std::string& key) {
  std::string result = FireKeyPressEvent(page_, page_.on_key_press, &page_, key);
  if (!result.empty() && focused) {
    result = FireKeyPressEvent(*focused, focused->on_key_press, focused, result);
  }
  return result;
}

void DialogSession::CloseBox() { page_.SetModalResult(mrCancel); }

bool DialogSession::ShouldClose() {
  if (page_.ModalResult() == mrNone) return false;
  if (FireCloseQueryEvent(page_, page_.on_close_query, &page_)) return true;
  page_.SetModalResult(mrNone);
  return false;
}

int DialogSession::End() {
  FireNotifyEvent(page_, page_.on_hide, &page_);
  FireNotifyEvent(page_, page_.on_deactivate, &page_);
  return page_.ModalResult();
}

}  // namespace lgoty::report
