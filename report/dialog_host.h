// Showing the dialog pages of a report before its pages are built.
//
// The band engine calls RunDialogs after the data sets got StartRun and after the report's
// start event:
//   1. When the report's OnRunDialogs names a script procedure (not blank), it is called
//      with one var Boolean preset to True; its final value is the result and no page is
//      shown by the system (the procedure may call ShowModal on pages itself).
//   2. Otherwise every visible dialog page, in page order, that holds at least one dialog
//      control is shown through the host; a page closed with mrCancel ends the run: the
//      result is false and no further page is shown. A page without controls is skipped.
//   3. Any other modal result goes on; the result is true.
// A cancel is not an error: nothing is added to the report's errors.
#pragma once

namespace lgoty::report {

class TfrxDialogPage;
class TfrxReport;

// The user interface that shows dialog pages: a window system (ui/), or a batch run that
// fills in given values and presses a button. An implementation drives a DialogSession over
// the page for the whole showing, so that the page's and its controls' events reach the
// script in their order, and returns when the session says the window closes.
class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // Shows the page modally; returns the modal result it closed with (mrCancel for the
  // close box). May throw (EDialogError, script errors); the run then ends with the error.
  virtual int ShowModal(TfrxDialogPage& page) = 0;
};

// True: go on and build the pages; false: the operator cancelled the run. Pages are shown
// through the report's dialog host (TfrxReport::SetDialogHost); EDialogError when a page
// is to be shown and there is none.
bool RunDialogs(TfrxReport& report);

}  // namespace lgoty::report
