#include "ui/preview.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "report/print_job.h"
#include "report/printers.h"
#include "report/report.h"
#include "report/resources.h"
#include "ui/page_settings_form.h"
#include "ui/pdf_export.h"
#include "ui/print_dialog.h"
#include "ui/preview_workspace.h"
#include "ui/qt_printer.h"
#include "ui/search_dialog.h"

namespace lgoty::ui {

using report::TfrxZoomMode;

QString TfrxPreview::search_text_;
bool TfrxPreview::search_case_ = false;

namespace {

QString Text(const char* key) { return QString::fromStdString(report::frxGet(key)); }
QString QtFilter(const char* key) { return Text(key).section('|', 0, 0); }

constexpr int kOutlinePageRole = Qt::UserRole;
constexpr int kOutlineTopRole = Qt::UserRole + 1;
// Pages from this index on wait for the next refresh while a report is built.
constexpr int kPagesShownAtOnce = 50;

}  // namespace

TfrxPreview::TfrxPreview(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tabs_ = new QTabBar(this);
  tabs_->hide();  // one report only
  layout->addWidget(tabs_);

  splitter_ = new QSplitter(Qt::Horizontal, this);
  auto* side = new QWidget(splitter_);
  auto* side_layout = new QVBoxLayout(side);
  side_layout->setContentsMargins(0, 0, 0, 0);
  outline_ = new QTreeWidget(side);
  outline_->setHeaderHidden(true);
  outline_->setContextMenuPolicy(Qt::CustomContextMenu);
  outline_menu_ = new QMenu(outline_);
  outline_menu_->addAction(Text("clExpandAll"), outline_, &QTreeWidget::expandAll);
  outline_menu_->addAction(Text("clCollapseAll"), outline_, &QTreeWidget::collapseAll);
  connect(outline_, &QTreeWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { outline_menu_->popup(outline_->viewport()->mapToGlobal(at)); });
  connect(outline_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { OutlineClicked(item); });
  thumbnails_ = new PreviewWorkspace(side);
  thumbnails_->SetZoom(0.1);
  side_layout->addWidget(outline_);
  side_layout->addWidget(thumbnails_);
  side->hide();
  outline_->hide();
  thumbnails_->hide();
  workspace_ = new PreviewWorkspace(splitter_);
  splitter_->addWidget(side);
  splitter_->addWidget(workspace_);
  splitter_->setStretchFactor(1, 1);
  splitter_->setCollapsible(1, false);
  layout->addWidget(splitter_, 1);

  cancel_panel_ = new QWidget(this);
  auto* cancel_layout = new QHBoxLayout(cancel_panel_);
  cancel_layout->addStretch(1);
  cancel_button_ = new QPushButton(Text("clCancel"), cancel_panel_);
  cancel_layout->addWidget(cancel_button_);
  cancel_layout->addStretch(1);
  cancel_panel_->hide();
  layout->addWidget(cancel_panel_);
  connect(cancel_button_, &QPushButton::clicked, this, &TfrxPreview::Cancel);

  connect(workspace_, &PreviewWorkspace::topPageChanged, this, [this](int index) {
    if (index < 0 || index + 1 == page_no_) return;
    page_no_ = index + 1;
    thumbnails_->SetCurrentPage(index);
    EmitStatus();
    emit pageChanged(page_no_, PageCount());
  });
  connect(workspace_, &PreviewWorkspace::zoomWheel, this, &TfrxPreview::WheelZoom);
  connect(thumbnails_, &PreviewWorkspace::pageClicked, this,
          [this](int index, QPointF) { SetPageNo(index + 1); });
  workspace_->installEventFilter(this);

  show_message = [this](const QString& text) {
    QMessageBox::information(this, QApplication::applicationName(), text);
  };
  ask_open_name = [this](const QString& filter) {
    return QFileDialog::getOpenFileName(this, QString(), QString(), filter);
  };
  ask_save_name = [this](const QString& filter, const QString& name) {
    return QFileDialog::getSaveFileName(this, QString(), name, filter);
  };
}

TfrxPreview::~TfrxPreview() = default;

void TfrxPreview::SetReport(report::TfrxReport* report, PreviewDocument* document) {
  report_ = report;
  document_ = document;
  if (report) {
    const report::TfrxPreviewOptions& options = report->preview_options;
    zoom_ = std::max(options.zoom, 0.25);
    zoom_mode_ = options.zoom_mode;
    outline_->parentWidget()->setMaximumWidth(QWIDGETSIZE_MAX);
    splitter_->setSizes({options.outline_width, std::max(width() - options.outline_width, 100)});
  }
  workspace_->SetZoom(zoom_);
  workspace_->SetDocument(document);
  thumbnails_->SetDocument(document);
  page_no_ = 1;
  hit_page_ = -1;
  searched_ = false;
  RebuildOutline();
  if (report) {
    SetOutlineVisible(report->preview_options.outline_visible);
    if (report->preview_options.thumbnail_visible) SetThumbnailVisible(true);
  }
  UpdateLayout();
  ShowPage(1);
}

int TfrxPreview::PageCount() const { return workspace_->PageCount(); }

void TfrxPreview::ShowPage(int page, double top) {
  int count = PageCount();
  page_no_ = count == 0 ? 1 : std::clamp(page, 1, count);
  workspace_->ScrollToPage(page_no_ - 1, top);
  thumbnails_->ScrollToPage(page_no_ - 1);
  thumbnails_->SetCurrentPage(page_no_ - 1);
  EmitStatus();
  emit pageChanged(page_no_, count);
}

void TfrxPreview::SetPageNo(int page) {
  ShowPage(page);
  if (zoom_mode_ == TfrxZoomMode::zmWholePage) ApplyZoom();
}

void TfrxPreview::SetZoom(double zoom) {
  zoom_ = std::max(zoom, kMinZoom);
  zoom_mode_ = TfrxZoomMode::zmDefault;
  ApplyZoom();
}

void TfrxPreview::SetZoomMode(TfrxZoomMode mode) {
  zoom_mode_ = mode;
  ApplyZoom();
}

void TfrxPreview::WheelZoom(int notches) {
  double zoom = zoom_ + 0.1 * notches;
  // Rounded to tenths, so that 0.35 - 0.1 is 0.3 and not 0.25 by a floating error.
  zoom = std::round(zoom * 1000) / 1000;
  SetZoom(std::max(zoom, 0.3));
}

void TfrxPreview::ApplyZoom() {
  QSize page = workspace_->PageSize(page_no_ - 1);
  int bar = workspace_->verticalScrollBar()->sizeHint().width();
  QSize area = workspace_->size();
  if (zoom_mode_ == TfrxZoomMode::zmWholePage)
    zoom_ = WholePageZoom(page, area, bar);
  else if (zoom_mode_ == TfrxZoomMode::zmPageWidth)
    zoom_ = PageWidthZoom(page, area, bar);
  workspace_->SetZoom(zoom_);
  if (zoom_mode_ == TfrxZoomMode::zmWholePage) workspace_->ScrollToPage(page_no_ - 1);
  emit zoomChanged(zoom_);
}

void TfrxPreview::UpdateLayout() {
  int count = document_ ? document_->PageCount() : 0;
  workspace_->SetPageCount(count);
  thumbnails_->SetPageCount(count);
  ApplyZoom();
  EmitStatus();
  emit pageChanged(page_no_, PageCount());
}

void TfrxPreview::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (zoom_mode_ != TfrxZoomMode::zmDefault) ApplyZoom();
}

// ---- outline and thumbnails ------------------------------------------------------------

void TfrxPreview::RebuildOutline() {
  outline_->clear();
  if (!document_) return;
  AddOutlineItems(nullptr, document_->Outline());
  if (!report_ || report_->preview_options.outline_expand) outline_->expandAll();
}

void TfrxPreview::AddOutlineItems(QTreeWidgetItem* parent,
                                  const std::vector<PreviewOutlineNode>& nodes) {
  for (const PreviewOutlineNode& node : nodes) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(outline_);
    item->setText(0, node.text);
    item->setData(0, kOutlinePageRole, node.page);
    item->setData(0, kOutlineTopRole, node.top);
    AddOutlineItems(item, node.children);
  }
}

void TfrxPreview::OutlineClicked(QTreeWidgetItem* item) {
  if (!item) return;
  ShowPage(item->data(0, kOutlinePageRole).toInt() + 1, item->data(0, kOutlineTopRole).toDouble());
}

bool TfrxPreview::OutlineVisible() const { return outline_->isVisibleTo(this); }
bool TfrxPreview::ThumbnailVisible() const { return thumbnails_->isVisibleTo(this); }

void TfrxPreview::SetOutlineVisible(bool visible) {
  outline_->setVisible(visible);
  if (visible) thumbnails_->hide();
  outline_->parentWidget()->setVisible(visible || ThumbnailVisible());
}

void TfrxPreview::SetThumbnailVisible(bool visible) {
  thumbnails_->setVisible(visible);
  if (visible) {
    outline_->hide();
    thumbnails_->SetPageCount(PageCount());
    thumbnails_->ScrollToPage(page_no_ - 1);
  }
  outline_->parentWidget()->setVisible(visible || OutlineVisible());
}

// ---- status -----------------------------------------------------------------------------

QString TfrxPreview::StatusText() const {
  if (working_ && first_pass_) return Text("clFirstPass") + QString::number(built_pages_);
  QString text = Text("clPageOf");
  for (int value : {page_no_, PageCount()}) {
    int at = text.indexOf("%d");
    if (at >= 0) text.replace(at, 2, QString::number(value));
  }
  return text;
}

void TfrxPreview::EmitStatus(const QString& second) { emit statusChanged(StatusText(), second); }

void TfrxPreview::Message(const QString& text) {
  if (show_message) show_message(text);
}

// ---- search -----------------------------------------------------------------------------

void TfrxPreview::Find() {
  TfrxSearchDialog dialog(this);
  dialog.TextEdit()->setText(search_text_);
  dialog.CaseSensitive()->setChecked(search_case_);
  if (dialog.exec() != QDialog::Accepted) return;
  FindText(dialog.TextEdit()->text(), dialog.FromStart()->isChecked(),
           dialog.CaseSensitive()->isChecked());
}

bool TfrxPreview::FindText(const QString& text, bool from_start, bool case_sensitive) {
  search_text_ = text;
  search_case_ = case_sensitive;
  searched_ = true;
  hit_record_ = -1;
  return SearchFrom(from_start ? 0 : page_no_ - 1, 0);
}

bool TfrxPreview::FindNext() {
  if (!searched_ || search_text_.isEmpty()) return false;
  if (hit_page_ >= 0) return SearchFrom(hit_page_, hit_record_ + 1);
  return SearchFrom(page_no_ - 1, 0);
}

bool TfrxPreview::SearchFrom(int page, int record) {
  if (!document_ || search_text_.isEmpty()) return false;
  Qt::CaseSensitivity sensitivity = search_case_ ? Qt::CaseSensitive : Qt::CaseInsensitive;
  int count = document_->PageCount();
  for (int index = std::max(page, 0); index < count; ++index, record = 0) {
    std::vector<PreviewTextRun> runs = document_->PageTexts(index);
    for (size_t i = static_cast<size_t>(std::max(record, 0)); i < runs.size(); ++i) {
      if (!runs[i].text.contains(search_text_, sensitivity)) continue;
      hit_page_ = index;
      hit_record_ = static_cast<int>(i);
      hit_rect_ = runs[i].rect;
      page_no_ = index + 1;
      workspace_->EnsureVisible(index, hit_rect_, 20);
      workspace_->SetHighlight(index, hit_rect_);
      thumbnails_->SetCurrentPage(index);
      EmitStatus();
      emit pageChanged(page_no_, PageCount());
      return true;
    }
  }
  hit_page_ = -1;
  hit_record_ = -1;
  workspace_->SetHighlight(-1, QRectF());
  Message(Text("clStrNotFound"));
  return false;
}

// ---- commands ---------------------------------------------------------------------------

void TfrxPreview::Print() {
  if (working_ || !document_ || !report_) return;
  report::PrintPageSource* source = document_->PrintSource();
  if (!source) return;
  UseQtPrinters();
  QtPrintHost host(this);
  working_ = true;
  terminated_ = false;
  report_->SetTerminated(false);
  emit workingChanged(true);
  try {
    report::PrintPreparedReport(*report_, *source, report::frxPrinters(), host, *this, page_no_);
  } catch (const std::exception& error) {
    working_ = false;
    emit workingChanged(false);
    EmitStatus();
    Message(QString::fromUtf8(error.what()));
    return;
  }
  working_ = false;
  emit workingChanged(false);
  EmitStatus();
}

void TfrxPreview::SaveToFile() {
  if (working_ || !document_) return;
  QString name = ask_save_name(QtFilter("clFP3files") + " (*.fp3)", QString());
  if (name.isEmpty()) return;
  SaveToFile(WithExtension(name, ".fp3"));
}

void TfrxPreview::SaveToFile(const QString& path) {
  if (working_ || !document_) return;
  emit statusChanged(StatusText(), Text("clSaving"));
  try {
    document_->SaveToFile(path.toStdString());
  } catch (...) {
    EmitStatus();
    throw;
  }
  EmitStatus();
}

void TfrxPreview::LoadFromFile() {
  if (working_ || !document_) return;
  QString name = ask_open_name(QtFilter("clFP3files") + " (*.fp3)");
  if (name.isEmpty()) return;
  LoadFromFile(name);
}

bool TfrxPreview::LoadFromFile(const QString& path) {
  if (working_ || !document_) return false;
  emit statusChanged(StatusText(), Text("clLoading"));
  bool loaded = false;
  try {
    loaded = document_->LoadFromFile(path.toStdString());
  } catch (...) {
    workspace_->Reload();
    thumbnails_->Reload();
    EmitStatus();
    throw;
  }
  workspace_->Reload();
  thumbnails_->Reload();
  ForgetFoundText();
  RebuildOutline();
  UpdateLayout();
  ShowPage(1);
  emit documentLoaded();
  return loaded;
}

void TfrxPreview::ForgetFoundText() {
  hit_page_ = -1;
  workspace_->SetHighlight(-1, QRectF());
}

void TfrxPreview::PageSetupDlg() {
  if (working_ || !document_) return;
  PageSetup setup;
  if (!document_->GetPageSetup(page_no_ - 1, setup)) return;
  UseQtPrinters();
  report::TfrxCustomPrinter& printer = report::frxPrinters().Printer();
  bool inches = report_ && DesignerUsesInches(report_->ini_file);
  TfrxPageSettingsForm form(setup, printer, inches, this);
  if (form.exec() != QDialog::Accepted) return;
  int page = page_no_;
  const PageSetup result = form.Result();
  if (result.all_pages && report_ && document_->SetTemplatePageSetup(result)) {
    BuildAgain();
    SetPageNo(page);
    return;
  }
  document_->SetPageSetup(page_no_ - 1, result);
  ForgetFoundText();  // the page was laid out again
  workspace_->Reload();
  thumbnails_->Reload();
  UpdateLayout();
  ShowPage(page);
}


void TfrxPreview::ExportPdf() {
  if (working_ || !document_) return;
  QString base = report_ && !report_->FileName().empty()
                     ? QFileInfo(QString::fromStdString(report_->FileName())).completeBaseName()
                     : QString("report");
  QString name = ask_save_name(QtFilter("PDFfilter"), base + ".pdf");
  if (name.isEmpty()) return;
  name = WithExtension(name, ".pdf");
  try {
    ExportToPdf(*document_, name, report_ ? report::PrintDocumentTitle(*report_) : std::string());
  } catch (const std::exception& error) {
    Message(QString::fromUtf8(error.what()));
  }
}

// ---- building ---------------------------------------------------------------------------

void TfrxPreview::BeginWork() {
  working_ = true;
  terminated_ = false;
  first_pass_ = false;
  built_pages_ = 0;
  refresh_every_ = 20;
  if (report_) report_->Errors().Clear();
  cancel_panel_->show();
  emit workingChanged(true);
}

void TfrxPreview::PageAdded(int count, bool first_pass) {
  built_pages_ = count;
  first_pass_ = first_pass;
  if (!first_pass) {
    if (count == 1) {
      first_page_timer_.start();
      workspace_->SetPageCount(1);
      thumbnails_->SetPageCount(1);
      ShowPage(1);
      ApplyZoom();
    } else if (count == 2) {
      // How long one page takes decides how often the display follows.
      first_page_ms_ = first_page_timer_.elapsed();
      refresh_every_ = first_page_ms_ <= 4 ? 50 : (first_page_ms_ > 9 ? 5 : 20);
    }
    if (count > 1 && (count <= kPagesShownAtOnce || count % refresh_every_ == 0)) {
      workspace_->SetPageCount(count);
      if (ThumbnailVisible()) thumbnails_->SetPageCount(count);
      EmitStatus();
      emit pageChanged(page_no_, PageCount());
    }
  } else {
    EmitStatus();
  }
  ProcessMessages();
}

void TfrxPreview::EndWork() {
  working_ = false;
  first_pass_ = false;
  cancel_panel_->hide();
  // Pages drawn while they were being filled (the page notice comes when a page begins)
  // are drawn again from the finished store.
  workspace_->Reload();
  thumbnails_->Reload();
  UpdateLayout();
  RebuildOutline();
  emit workingChanged(false);
  emit statusChanged(StatusText(), QString());
}

void TfrxPreview::Cancel() {
  if (!working_) return;
  terminated_ = true;
  if (report_) report_->SetTerminated(true);
}

void TfrxPreview::Progress(const std::string& text, int) {
  emit statusChanged(StatusText(), QString::fromStdString(text));
}

void TfrxPreview::ProcessMessages() { QApplication::processEvents(); }

// ---- keyboard of the page area ----------------------------------------------------------

bool TfrxPreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == workspace_ && event->type() == QEvent::KeyPress)
    return HandlePageKey(static_cast<QKeyEvent*>(event));
  return QWidget::eventFilter(watched, event);
}

bool TfrxPreview::HandlePageKey(QKeyEvent* event) {
  bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Up: workspace_->ScrollBy(0, -8); return true;
    case Qt::Key_Down: workspace_->ScrollBy(0, 8); return true;
    case Qt::Key_Left: workspace_->ScrollBy(-8, 0); return true;
    case Qt::Key_Right: workspace_->ScrollBy(8, 0); return true;
    case Qt::Key_PageUp:
      if (ctrl) Prior(); else workspace_->ScrollBy(0, -300);
      return true;
    case Qt::Key_PageDown:
      if (ctrl) Next(); else workspace_->ScrollBy(0, 300);
      return true;
    case Qt::Key_Home: First(); return true;
    case Qt::Key_End: Last(); return true;
    default: return false;
  }
}

}  // namespace lgoty::ui
