// TQtUiPort: the window system for the commands - the file dialog, message boxes, the modal
// person window, the grid's attachment, and the busy cursor with a progress window that
// appears once a long step has taken half a second.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include "app/ui_port.h"

namespace lgoty::app {

class TFMain;

class TQtUiPort : public TUiPort {
 public:
  // main is borrowed: the window that owns this port.
  explicit TQtUiPort(TFMain& main) : main_(main) {}

  std::optional<std::string> ChooseRegisterFile() override;
  void ShowMessage(const std::string& caption, const std::string& text,
                   TMessageIcon icon) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowPersonWindow() override;
  void SetGridAttached(bool attached) override;
  void BeginBusy(const std::string& what, bool long_step) override;
  void Progress(double fraction) override;
  void EndBusy() override;
  void ShowReport(report::TfrxReport& report) override;
  // How long a progress window just shown may take to be mapped before it is painted
  // anyway (one second unless set).
  void SetMapWaitLimit(qint64 ms) { map_wait_ms_ = ms; }

 private:
  void ShowProgress(double fraction);

  TFMain& main_;
  QElapsedTimer busy_timer_;
  QElapsedTimer paint_timer_;  // since the progress window was last painted
  QString busy_text_;
  QPointer<QProgressDialog> progress_;
  int busy_depth_ = 0;
  qint64 map_wait_ms_ = 1000;
};

}  // namespace lgoty::app
