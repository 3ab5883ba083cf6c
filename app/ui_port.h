// TUiPort: what the register's commands need from the window system. The Qt windows
// implement it with the file dialog, message boxes and the modal person window; tests give
// a scripted one, so every command runs without a screen.
#pragma once

#include <optional>
#include <string>

namespace lgoty::report {
class TfrxReport;
}

namespace lgoty::app {

enum class TMessageIcon { None, Error, Question, Information };

class TUiPort {
 public:
  virtual ~TUiPort() = default;

  // The register file dialog (filter "*.dbf"); nullopt when the user cancels.
  virtual std::optional<std::string> ChooseRegisterFile() = 0;
  // A message box with an OK button.
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           TMessageIcon icon) = 0;
  // A Yes/No question with the question icon; true on Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  // Shows the person window modally; returns when it has closed.
  virtual void ShowPersonWindow() = 0;
  // The grid leaves its data source during a scan (false) and joins it again (true).
  virtual void SetGridAttached(bool attached) = 0;
  // A long step begins or ends (busy cursor). long_step: the step is expected to take more
  // than half a second (a large register), so a progress window shows from the start.
  virtual void BeginBusy(const std::string& what, bool long_step) = 0;
  // fraction in 0..1, or negative when unknown.
  virtual void Progress(double fraction) = 0;
  virtual void EndBusy() = 0;
  // Builds the loaded report (its dialog first) with the previous prepared pages cleared
  // and shows the pages; returns when the user has closed the preview (or, in batch runs,
  // when the pages are written). Errors of the run are thrown.
  virtual void ShowReport(report::TfrxReport& report) = 0;
};

}  // namespace lgoty::app
