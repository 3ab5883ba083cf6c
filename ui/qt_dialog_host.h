// Shows a report's dialog pages as modal Qt windows (DialogForm), for the report run of a
// program with a screen:
//
//   ui::QtDialogHost host(main_window);
//   report.SetDialogHost(&host);
//   if (!report::RunDialogs(report)) return;   // the operator cancelled
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "report/dialog_host.h"

namespace lgoty::ui {

class DialogForm;

class QtDialogHost final : public report::DialogHost {
 public:
  // parent: the window the dialogs belong to (may be nullptr).
  explicit QtDialogHost(QWidget* parent = nullptr) : parent_(parent) {}

  int ShowModal(report::TfrxDialogPage& page) override;

  // Called with every window just before it is shown (tests drive the window from here).
  void SetOnFormCreated(std::function<void(DialogForm&)> hook) { on_created_ = std::move(hook); }

 private:
  QPointer<QWidget> parent_;
  std::function<void(DialogForm&)> on_created_;
};

}  // namespace lgoty::ui
