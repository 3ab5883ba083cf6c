// A TUiPort for tests: dialogs answer from a script and every message is recorded.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ui_port.h"

namespace lgoty::app::testing {

struct Message {
  std::string caption;
  std::string text;
  TMessageIcon icon;
};

class ScriptedPort : public TUiPort {
 public:
  // Paths the file dialog returns in turn; nullopt is a cancelled dialog.
  std::deque<std::optional<std::string>> files;
  std::deque<bool> answers;  // Yes/No answers in turn
  std::function<void()> person_window;  // what the user does in the person window
  std::vector<Message> messages;
  std::vector<bool> grid_attachments;
  int dialogs_shown = 0;
  int person_windows_shown = 0;
  int questions_asked = 0;
  int busy_depth = 0;
  int busy_calls = 0;
  bool last_busy_long = false;
  std::vector<double> progress;  // fractions reported while busy
  int progress_outside_busy = 0;

  std::optional<std::string> ChooseRegisterFile() override {
    ++dialogs_shown;
    if (files.empty()) return std::nullopt;
    auto file = files.front();
    files.pop_front();
    return file;
  }
  void ShowMessage(const std::string& caption, const std::string& text,
                   TMessageIcon icon) override {
    messages.push_back({caption, text, icon});
  }
  bool AskYesNo(const std::string& caption, const std::string& text) override {
    ++questions_asked;
    messages.push_back({caption, text, TMessageIcon::Question});
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowPersonWindow() override {
    ++person_windows_shown;
    if (person_window) person_window();
  }
  void SetGridAttached(bool attached) override { grid_attachments.push_back(attached); }
  void BeginBusy(const std::string&, bool long_step) override {
    ++busy_depth;
    ++busy_calls;
    last_busy_long = long_step;
  }
  void Progress(double fraction) override {
    if (busy_depth > 0) progress.push_back(fraction);
    else ++progress_outside_busy;
  }
  void EndBusy() override { --busy_depth; }
  // What the report run does: by default nothing is built; a test installs the run it needs.
  std::function<void(report::TfrxReport&)> show_report;
  int reports_shown = 0;
  void ShowReport(report::TfrxReport& report) override {
    ++reports_shown;
    if (show_report) show_report(report);
  }
};

}  // namespace lgoty::app::testing
