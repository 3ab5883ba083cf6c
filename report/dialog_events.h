// Events of dialog pages and their controls as the report's script receives them.
//
// An event property holds the name of a script procedure. Firing it calls that procedure
// through the report (TfrxReport::CallScriptProcedure) with the sender first:
//   notify events              (Sender)
//   OnCloseQuery               (Sender, var CanClose: Boolean)
//   OnKeyDown, OnKeyUp         (Sender, var Key: Integer, Shift: Integer)
//   OnKeyPress                 (Sender, var Key: Char)   -- a one-character string
//   OnMouseDown, OnMouseUp     (Sender, Button: Integer, Shift: Integer, X, Y: Integer)
//   OnMouseMove                (Sender, Shift: Integer, X, Y: Integer)
// Var arguments are read back after the call. An empty name, a component outside a report,
// or a name that is not a procedure of the script does nothing and leaves the values as
// they were. Dialog events run whether or not the report is building pages.
#pragma once

#include <string>

#include "core/exception.h"

namespace lgoty::core {
class TObject;
}

namespace lgoty::report {

class TfrxComponent;

// Errors of showing dialogs (no host, a batch run that names what is not there).
class EDialogError : public core::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EDialogError"; }
};

// Modal results (the window system's numbering; scripts see these values).
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrAbort = 3;
constexpr int mrRetry = 4;
constexpr int mrIgnore = 5;
constexpr int mrYes = 6;
constexpr int mrNo = 7;

// The Shift argument of key and mouse events: a set of these bits.
constexpr int kShiftShift = 1;
constexpr int kShiftAlt = 2;
constexpr int kShiftCtrl = 4;
constexpr int kShiftLeft = 8;
constexpr int kShiftRight = 16;
constexpr int kShiftMiddle = 32;
constexpr int kShiftDouble = 64;

// The Button argument of mouse events.
constexpr int kMouseLeft = 0;
constexpr int kMouseRight = 1;
constexpr int kMouseMiddle = 2;

// `component` is the object whose event property names the handler (its report runs the
// script); `sender` is what the procedure receives as Sender.
void FireNotifyEvent(const TfrxComponent& component, const std::string& handler,
                     core::TObject* sender);
// Returns CanClose after the call (true when nothing ran).
bool FireCloseQueryEvent(const TfrxComponent& component, const std::string& handler,
                         core::TObject* sender);
// Returns the key after the call; 0 swallows it.
int FireKeyEvent(const TfrxComponent& component, const std::string& handler,
                 core::TObject* sender, int key, int shift);
// Returns the key text after the call: empty swallows the key, else its first character
// (UTF-8) is the key.
std::string FireKeyPressEvent(const TfrxComponent& component, const std::string& handler,
                              core::TObject* sender, const std::string& key);
void FireMouseEvent(const TfrxComponent& component, const std::string& handler,
                    core::TObject* sender, int button, int shift, int x, int y);
void FireMouseMoveEvent(const TfrxComponent& component, const std::string& handler,
                        core::TObject* sender, int shift, int x, int y);

}  // namespace lgoty::report
