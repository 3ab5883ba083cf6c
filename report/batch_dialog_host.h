// A dialog host without a screen, for command-line runs and tests: each page it is asked
// to show gets the values given for its objects, then one of its buttons is clicked, as an
// operator would do it.
//
//   BatchDialogHost host;
//   host.Set("CheckBox1.Checked=False");   // object.property=value, through RTTI
//   host.Click("Button1");                 // optional: the OK button is the default
//   report.SetDialogHost(&host);
//
// Showing a page: the session begins (OnShow, OnActivate), the values for objects on this
// page are set in the order given, then the button is clicked: the one named for this
// page, else the page's OK button (ModalResult mrOk; failing that its Default button). Its
// OnClick procedure runs, its ModalResult ends the dialog (OnCloseQuery may refuse), and
// the page's modal result is returned. With CloseBox() the window is closed with its close
// box instead (mrCancel), which cancels the run.
//
// Everything named is checked against the report before anything is set; an unknown
// object, property or button, a value that does not convert, a button that is disabled or
// hidden, or a dialog that stays open after the click is an EDialogError with a message
// that names it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/dialog_host.h"

namespace lgoty::core {
class TObject;
}

namespace lgoty::report {

class TfrxComponent;
class TfrxDialogControl;

struct DialogAssignment {
  std::string object;    // "CheckBox1"
  std::string property;  // "Checked"; a path through nested objects: "Font.Size"
  std::string value;     // "False"
};

// Parses "Object.Property=Value"; EDialogError when it is not of that form.
DialogAssignment ParseDialogAssignment(std::string_view text);

// Sets object's property (a path as above) to a value given as text: enumerations by
// element name or number, Booleans as True/False, numbers with either decimal separator,
// string lists as their text (lines separated by line feeds). EDialogError naming the
// object and property when there is no such property or the value does not convert.
void SetPropertyFromText(core::TObject& object, const std::string& object_name,
                         const std::string& property_path, const std::string& value);

class BatchDialogHost final : public DialogHost {
 public:
  void Set(DialogAssignment assignment) { assignments_.push_back(std::move(assignment)); }
  void Set(std::string_view text) { Set(ParseDialogAssignment(text)); }
  // The button to click on the page that holds it.
  void Click(std::string button_name) { buttons_.push_back(std::move(button_name)); }
  // Close every page with its close box instead of clicking a button.
  void CloseBox(bool value = true) { close_box_ = value; }

  // Checks every name given against the report (EDialogError on the first that fails).
  void Check(const TfrxComponent& report) const;

  int ShowModal(TfrxDialogPage& page) override;

  // What happened, one line per page shown: "DialogPage1: Button1 -> 1".
  const std::vector<std::string>& Log() const { return log_; }

 private:
  TfrxDialogControl* ButtonFor(TfrxDialogPage& page) const;

  std::vector<DialogAssignment> assignments_;
  std::vector<std::string> buttons_;
  bool close_box_ = false;
  std::vector<std::string> log_;
};

}  // namespace lgoty::report
