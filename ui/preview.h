// The preview control (TfrxPreview): the page area, the outline tree, the thumbnails and
// the cancel panel, with paging, zoom, text search, printing, prepared-report files and
// page settings. The window around it (toolbar, status bar) is TfrxPreviewForm.
//
// Working state: while a report is being built (or printed) the control shows the pages
// as they arrive; BeginWork / PageAdded / EndWork are called by the code that runs the
// engine, which asks Terminated() after each page. Commands that change pages do nothing
// while working.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

#include "report/enums.h"
#include "report/print_loop.h"
#include "ui/preview_document.h"

class QMenu;
class QPushButton;
class QSplitter;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace lgoty::report {
class TfrxReport;
}

namespace lgoty::ui {

class PreviewWorkspace;

class TfrxPreview : public QWidget, public report::PrintProgress {
  Q_OBJECT
 public:
  explicit TfrxPreview(QWidget* parent = nullptr);
  ~TfrxPreview() override;

  // The report whose options apply (it may be nullptr) and the document shown; both must
  // outlive the control or be replaced first.
  void SetReport(report::TfrxReport* report, PreviewDocument* document);
  report::TfrxReport* Report() const { return report_; }
  PreviewDocument* Document() const { return document_; }

  // Pages: 1-based; a number below 1 goes to page 1, beyond the last to the last.
  int PageNo() const { return page_no_; }
  void SetPageNo(int page);
  int PageCount() const;
  void First() { SetPageNo(1); }
  void Prior() { SetPageNo(page_no_ - 1); }
  void Next() { SetPageNo(page_no_ + 1); }
  void Last() { SetPageNo(PageCount()); }

  // Zoom: at least 0.25; setting one returns to zmDefault.
  double Zoom() const { return zoom_; }
  void SetZoom(double zoom);
  report::TfrxZoomMode ZoomMode() const { return zoom_mode_; }
  void SetZoomMode(report::TfrxZoomMode mode);
  void ZoomIn() { SetZoom(zoom_ + 0.25); }
  void ZoomOut() { SetZoom(zoom_ - 0.25); }
  // Ctrl + wheel: 0.1 per notch, never below 0.3.
  void WheelZoom(int notches);

  // Text search. Find shows the dialog; FindText searches from the start page (the first
  // with from_start, else the current one); FindNext continues after the last hit. False
  // (and "Текст не найден" shown) when nothing is found.
  void Find();
  bool FindText(const QString& text, bool from_start, bool case_sensitive);
  bool FindNext();
  // The page (1-based) and rectangle (page pixels) of the last hit; page 0 when none.
  int HitPage() const { return hit_page_ + 1; }
  QRectF HitRect() const { return hit_rect_; }

  void Print();
  // With dialogs (file names asked), and without.
  void SaveToFile();
  void LoadFromFile();
  void SaveToFile(const QString& path);
  bool LoadFromFile(const QString& path);
  void PageSetupDlg();
  void Edit() {}  // no designer is registered: the page stays as it is
  // Asks for a file name and exports the pages as PDF; see pdf_export.h.
  void ExportPdf();

  bool OutlineVisible() const;
  void SetOutlineVisible(bool visible);
  bool ThumbnailVisible() const;
  void SetThumbnailVisible(bool visible);
  QTreeWidget* OutlineTree() const { return outline_; }
  PreviewWorkspace* Workspace() const { return workspace_; }
  PreviewWorkspace* Thumbnails() const { return thumbnails_; }
  QPushButton* CancelButton() const { return cancel_button_; }

  // ---- building ---------------------------------------------------------------------
  void BeginWork();
  // The engine made page `count` (the count so far); first_pass while the first pass of a
  // double-pass run is built. Processes window messages.
  void PageAdded(int count, bool first_pass = false);
  void EndWork();
  bool Working() const { return working_; }
  // Builds the preview's report again (its dialog pages are shown again) in the working
  // state, the pages appearing as they are made (preview_rebuild.cpp). When the build fails
  // or is cancelled the document's RestoreTemplatePageSetup puts the former pages back and
  // an error is shown as a message (and taken off the report's error list). True when the
  // new pages stand.
  bool BuildAgain();
  // Sets the terminated flag that the running engine or print loop asks.
  void Cancel();
  bool Terminated() override { return terminated_; }
  void Progress(const std::string& text, int page_number) override;
  void ProcessMessages() override;

  // The first status panel: "Страница %d из %d", or "Первый проход: страница N".
  QString StatusText() const;
  // Shows messages ("Текст не найден"); a message box unless replaced.
  std::function<void(const QString&)> show_message;
  // Asks for file names; dialogs unless replaced. Arguments: caption filter, default name.
  std::function<QString(const QString& filter)> ask_open_name;
  std::function<QString(const QString& filter, const QString& name)> ask_save_name;

 signals:
  void pageChanged(int page, int count);
  void zoomChanged(double zoom);
  void workingChanged(bool working);
  void statusChanged(const QString& first, const QString& second);
  // A prepared report was loaded (the window updates its caption).
  void documentLoaded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateLayout();
  void ApplyZoom();
  void ShowPage(int page, double top = 0);
  // The pages changed under a found text: its mark goes and a repeated search starts over.
  void ForgetFoundText();
  void RebuildOutline();
  void AddOutlineItems(QTreeWidgetItem* parent, const std::vector<PreviewOutlineNode>& nodes);
  void OutlineClicked(QTreeWidgetItem* item);
  void EmitStatus(const QString& second = QString());
  bool SearchFrom(int page, int record);
  void Message(const QString& text);
  bool HandlePageKey(QKeyEvent* event);

  report::TfrxReport* report_ = nullptr;
  PreviewDocument* document_ = nullptr;
  int page_no_ = 1;
  double zoom_ = 1;
  report::TfrxZoomMode zoom_mode_ = report::TfrxZoomMode::zmDefault;
  bool working_ = false, terminated_ = false, first_pass_ = false;
  int built_pages_ = 0;
  int refresh_every_ = 20;
  QElapsedTimer first_page_timer_;
  qint64 first_page_ms_ = 0;

  // The search: text and case are shared by every preview of the process.
  static QString search_text_;
  static bool search_case_;
  int hit_page_ = -1, hit_record_ = -1;
  QRectF hit_rect_;
  bool searched_ = false;

  QSplitter* splitter_;
  QTreeWidget* outline_;
  QMenu* outline_menu_;
  PreviewWorkspace* thumbnails_;
  PreviewWorkspace* workspace_;
  QTabBar* tabs_;
  QWidget* cancel_panel_;
  QPushButton* cancel_button_;
};

}  // namespace lgoty::ui
