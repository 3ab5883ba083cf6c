// The preview window (TfrxPreviewForm): the toolbar of PreviewOptions.Buttons, the zoom
// box, the page navigator, the status bar and the preview control; modal or not.
//
// Showing a report while it is built (the list report does this):
//
//   TfrxPreviewForm form;
//   form.Init(&report, &document);
//   form.ShowModal([&](TfrxPreview& preview) {
//     // runs inside the window's event loop, the preview in its working state:
//     // call preview.PageAdded(n) for every page made, stop when preview.Terminated()
//   });
//
// The window cannot close while the build runs; its Закрыть button reads "Отмена" then and
// cancels the build.
#pragma once

#include <QDialog>
#include <QStyle>
#include <functional>
#include <map>

#include "ui/preview.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;

namespace lgoty::ui {

// Bits of PreviewOptions.Buttons (bit n is element n).
enum TfrxPreviewButton : int {
  pbPrint, pbLoad, pbSave, pbExport, pbZoom, pbFind, pbOutline, pbPageSetup, pbTools, pbEdit,
  pbNavigator, pbExportQuick, pbNoClose, pbNoFullScreen, pbNoEmail
};

class TfrxPreviewForm : public QDialog {
  Q_OBJECT
 public:
  explicit TfrxPreviewForm(QWidget* parent = nullptr);

  // Configures the window from the report's PreviewOptions and shows the document.
  void Init(report::TfrxReport* report, PreviewDocument* document);
  TfrxPreview* Preview() const { return preview_; }

  // Shows the window modally and returns when it closes. `build`, when given, runs once the
  // window is up, with the preview in the working state.
  int ShowModal(const std::function<void(TfrxPreview&)>& build = {});
  // The report's close callback, called after the window closed.
  std::function<void()> on_close;

  // Toolbar actions by name: "Print", "Open", "Save", "Find", "ZoomIn", "ZoomOut",
  // "FullScreen", "Outline", "Thumbnails", "PageSetup", "Edit", "First", "Prior", "Next",
  // "Last", "QuickPdf", "Email", "Close"; nullptr for another name.
  QAction* Action(const QString& name) const;
  QComboBox* ZoomBox() const { return zoom_box_; }
  QLineEdit* PageBox() const { return page_box_; }
  QLabel* PageCountLabel() const { return count_label_; }
  QLabel* StatusPanel(int index) const { return index == 0 ? status_first_ : status_second_; }
  QMenu* SaveMenu() const { return save_menu_; }
  QToolBar* ToolBar() const { return tool_bar_; }
  // The right-click menu as it is built from the visible toolbar buttons.
  QMenu* BuildContextMenu();

  // Zoom box: item 6 page width, item 7 whole page, anything else is a number of percent.
  void ApplyZoomText(const QString& text);
  void GoToTypedPage();
  void ToggleFullScreen();
  bool IsFullScreen() const { return full_screen_; }
  // The Закрыть button: closes, or cancels the work in progress.
  void CloseClicked();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QAction* AddAction(const QString& name, const char* caption, const char* hint,
                     QStyle::StandardPixmap icon);
  void UpdateButtons();
  void UpdateCaption();
  void PageChanged(int page, int count);
  void ZoomChanged(double zoom);
  bool Has(TfrxPreviewButton button) const { return (buttons_ >> button) & 1u; }

  report::TfrxReport* report_ = nullptr;
  uint32_t buttons_ = 0;
  bool full_screen_ = false;
  Qt::WindowStates state_before_full_screen_;
  TfrxPreview* preview_;
  QToolBar* tool_bar_;
  std::map<QString, QAction*> actions_;
  std::map<QString, QAction*> separators_;
  QAction* save_action_ = nullptr;
  QMenu* save_menu_;
  QComboBox* zoom_box_;
  QAction* zoom_box_action_;
  QLineEdit* page_box_;
  QAction* page_box_action_;
  QLabel* count_label_;
  QAction* count_label_action_;
  QLabel *status_first_, *status_second_;
};

}  // namespace lgoty::ui
