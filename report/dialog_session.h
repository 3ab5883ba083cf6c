// One modal showing of a dialog page, without a screen: which script events fire, in what
// order, with which sender, and when the window closes. A host (the Qt window, the batch
// host) reports what happens to the window and its controls; the session fires the events
// and keeps the page's ModalResult.
//
// Order of a showing:
//   Begin      ModalResult := 0; OnShow; OnActivate; the controls' activation hooks
//   ...        control and window events as the operator acts
//   Close      whenever ModalResult is not 0 after an event, OnCloseQuery decides: CanClose
//              false sets ModalResult back to 0 and the window stays
//   End        OnHide; OnDeactivate
// Page events name the page as their sender (the page stands for its window); control
// events name the control. A button whose ModalResult is not 0 sets the page's ModalResult
// after its OnClick procedure ran, so the handler runs before the dialog ends.
//
// Key preview: the window sees keys before its controls. Key down/up and key press fire the
// page's procedure first; a key it swallows never reaches the control.
#pragma once

#include <string>

namespace lgoty::report {

class TfrxDialogControl;
class TfrxDialogPage;

class DialogSession {
 public:
  // REQUIRES page outlives the session.
  explicit DialogSession(TfrxDialogPage& page);
  DialogSession(const DialogSession&) = delete;
  DialogSession& operator=(const DialogSession&) = delete;

  TfrxDialogPage& Page() const { return page_; }

  void Begin();
  // The window became active again (after Begin) or lost activation.
  void Activate();
  void Deactivate();
  // A click on the window itself, and the end of a resize.
  void WindowClick();
  void WindowResize();

  void Click(TfrxDialogControl& control);
  void DblClick(TfrxDialogControl& control);
  void Enter(TfrxDialogControl& control);
  void Exit(TfrxDialogControl& control);
  void Change(TfrxDialogControl& control);
  void MouseDown(TfrxDialogControl& control, int button, int shift, int x, int y);
  void MouseUp(TfrxDialogControl& control, int button, int shift, int x, int y);
  void MouseMove(TfrxDialogControl& control, int shift, int x, int y);
  // focused may be nullptr (the window itself has the focus). Return the key that goes on
  // to the control: 0 (or an empty string) when a procedure swallowed it.
  int KeyDown(TfrxDialogControl* focused, int key, int shift);
  int KeyUp(TfrxDialogControl* focused, int key, int shift);
  std::string KeyPress(TfrxDialogControl* focused, const std::string& key);

  // The window's close box: the dialog is to end with mrCancel.
  void CloseBox();
  // Asked after every event: true when the window closes now (see the header comment).
  bool ShouldClose();
  // Returns the modal result the window closed with.
  int End();

 private:
  TfrxDialogPage& page_;
};

// True for the control classes that are push buttons (they carry a ModalResult).
bool IsDialogButton(const TfrxDialogControl& control);

}  // namespace lgoty::report
