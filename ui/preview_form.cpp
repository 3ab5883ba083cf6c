#include "ui/preview_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "report/report.h"
#include "report/resources.h"
#include "ui/preview_layout.h"

namespace lgoty::ui {

using report::TfrxZoomMode;

namespace {

QString Text(const char* key) { return QString::fromStdString(report::frxGet(key)); }

}  // namespace

TfrxPreviewForm::TfrxPreviewForm(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowTitle(Text("clPreview"));
  resize(1000, 720);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tool_bar_ = new QToolBar(this);
  tool_bar_->setIconSize(QSize(20, 20));
  tool_bar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  layout->addWidget(tool_bar_);
  preview_ = new TfrxPreview(this);
  layout->addWidget(preview_, 1);
  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  status_first_ = new QLabel(status);
  status_first_->setMinimumWidth(180);
  status_second_ = new QLabel(status);
  status->addWidget(status_first_);
  status->addWidget(status_second_, 1);
  layout->addWidget(status);

  auto separator = [this](const QString& name) { separators_[name] = tool_bar_->addSeparator(); };
  QAction* print = AddAction("Print", "pvPrint", "pvPrintHint", QStyle::SP_FileDialogDetailedView);
  connect(print, &QAction::triggered, preview_, &TfrxPreview::Print);
  QAction* open = AddAction("Open", "pvOpen", "pvOpenHint", QStyle::SP_DialogOpenButton);
  connect(open, &QAction::triggered, preview_, qOverload<>(&TfrxPreview::LoadFromFile));
  save_action_ = AddAction("Save", "pvSave", "pvSaveHint", QStyle::SP_DialogSaveButton);
  save_menu_ = new QMenu(this);
  save_action_->setMenu(save_menu_);
  if (auto* button = qobject_cast<QToolButton*>(tool_bar_->widgetForAction(save_action_)))
    button->setPopupMode(QToolButton::InstantPopup);
  QAction* quick_pdf = AddAction("QuickPdf", "pvQuickPdf", "pvQuickPdfHint", QStyle::SP_FileIcon);
  connect(quick_pdf, &QAction::triggered, preview_, &TfrxPreview::ExportPdf);
  QAction* email = AddAction("Email", "pvEmail", "pvEmailHint", QStyle::SP_MessageBoxInformation);
  email->setVisible(false);  // no e-mail filter is registered
  separator("files");
  QAction* find = AddAction("Find", "pvFind", "pvFindHint", QStyle::SP_FileDialogContentsView);
  connect(find, &QAction::triggered, preview_, &TfrxPreview::Find);
  separator("find");
  QAction* zoom_in = AddAction("ZoomIn", "pvZoomIn", "pvZoomInHint", QStyle::SP_ArrowUp);
  connect(zoom_in, &QAction::triggered, preview_, &TfrxPreview::ZoomIn);
  zoom_box_ = new QComboBox(this);
  zoom_box_->setEditable(true);
  zoom_box_->addItems(ZoomItems());
  zoom_box_->setMinimumContentsLength(7);
  zoom_box_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  zoom_box_->setToolTip(Text("pvZoomHint"));
  zoom_box_->setInsertPolicy(QComboBox::NoInsert);
  zoom_box_action_ = tool_bar_->addWidget(zoom_box_);
  connect(zoom_box_, &QComboBox::activated, this,
          [this](int index) { ApplyZoomText(zoom_box_->itemText(index)); });
  // Enter in the box applies what was typed. Keys reach the box itself (its line edit is
  // only the focus proxy) and are handed on to the line edit past any event filter, so the
  // line edit's own signal is the one place that sees every Enter.
  connect(zoom_box_->lineEdit(), &QLineEdit::returnPressed, this,
          [this] { ApplyZoomText(zoom_box_->currentText()); });
  QAction* zoom_out = AddAction("ZoomOut", "pvZoomOut", "pvZoomOutHint", QStyle::SP_ArrowDown);
  connect(zoom_out, &QAction::triggered, preview_, &TfrxPreview::ZoomOut);
  QAction* full = AddAction("FullScreen", "pvFullScreen", "pvFullScreenHint",
                            QStyle::SP_TitleBarMaxButton);
  connect(full, &QAction::triggered, this, &TfrxPreviewForm::ToggleFullScreen);
  separator("zoom");
  QAction* outline = AddAction("Outline", "pvOutline", "pvOutlineHint", QStyle::SP_DirIcon);
  outline->setCheckable(true);
  connect(outline, &QAction::triggered, this,
          [this](bool on) { preview_->SetOutlineVisible(on); UpdateButtons(); });
  QAction* thumbs = AddAction("Thumbnails", "pvThumbnails", "pvThumbnailsHint",
                              QStyle::SP_FileDialogListView);
  thumbs->setCheckable(true);
  connect(thumbs, &QAction::triggered, this,
          [this](bool on) { preview_->SetThumbnailVisible(on); UpdateButtons(); });
  separator("outline");
  QAction* setup = AddAction("PageSetup", "pvPageSetup", "pvPageSetupHint",
                             QStyle::SP_FileDialogInfoView);
  connect(setup, &QAction::triggered, preview_, &TfrxPreview::PageSetupDlg);
  QAction* edit = AddAction("Edit", "pvEdit", "pvEditHint", QStyle::SP_FileDialogNewFolder);
  connect(edit, &QAction::triggered, preview_, &TfrxPreview::Edit);
  separator("tools");
  QAction* first = AddAction("First", "pvFirst", "pvFirstHint", QStyle::SP_MediaSkipBackward);
  connect(first, &QAction::triggered, preview_, &TfrxPreview::First);
  QAction* prior = AddAction("Prior", "pvPrior", "pvPriorHint", QStyle::SP_MediaSeekBackward);
  connect(prior, &QAction::triggered, preview_, &TfrxPreview::Prior);
  page_box_ = new QLineEdit(this);
  page_box_->setFixedWidth(56);
  page_box_->setAlignment(Qt::AlignRight);
  page_box_->setToolTip(Text("pvPageNumberHint"));
  page_box_action_ = tool_bar_->addWidget(page_box_);
  connect(page_box_, &QLineEdit::returnPressed, this, &TfrxPreviewForm::GoToTypedPage);
  count_label_ = new QLabel(this);
  count_label_->setContentsMargins(4, 0, 4, 0);
  count_label_action_ = tool_bar_->addWidget(count_label_);
  QAction* next = AddAction("Next", "pvNext", "pvNextHint", QStyle::SP_MediaSeekForward);
  connect(next, &QAction::triggered, preview_, &TfrxPreview::Next);
  QAction* last = AddAction("Last", "pvLast", "pvLastHint", QStyle::SP_MediaSkipForward);
  connect(last, &QAction::triggered, preview_, &TfrxPreview::Last);
  separator("navigator");
  QAction* close = AddAction("Close", "pvClose", "pvCloseHint", QStyle::SP_DialogCloseButton);
  close->setText(Text("clClose"));
  connect(close, &QAction::triggered, this, &TfrxPreviewForm::CloseClicked);
  if (auto* button = qobject_cast<QToolButton*>(tool_bar_->widgetForAction(close)))
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

  connect(preview_, &TfrxPreview::pageChanged, this, &TfrxPreviewForm::PageChanged);
  connect(preview_, &TfrxPreview::zoomChanged, this, &TfrxPreviewForm::ZoomChanged);
  connect(preview_, &TfrxPreview::statusChanged, this,
          [this](const QString& first_text, const QString& second_text) {
            status_first_->setText(first_text);
            status_second_->setText(second_text);
          });
  connect(preview_, &TfrxPreview::workingChanged, this, [this](bool working) {
    actions_["Close"]->setText(Text(working ? "clCancel" : "clClose"));
    UpdateButtons();
  });
  connect(preview_, &TfrxPreview::documentLoaded, this, &TfrxPreviewForm::UpdateCaption);
  buttons_ = report::kDefaultPreviewButtons;
  UpdateButtons();
}

QAction* TfrxPreviewForm::AddAction(const QString& name, const char* caption, const char* hint,
                                    QStyle::StandardPixmap icon) {
  QAction* action = tool_bar_->addAction(style()->standardIcon(icon), Text(caption));
  action->setObjectName(name);
  action->setToolTip(Text(hint));
  action->setStatusTip(Text(hint));
  actions_[name] = action;
  return action;
}

QAction* TfrxPreviewForm::Action(const QString& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

void TfrxPreviewForm::Init(report::TfrxReport* report, PreviewDocument* document) {
  report_ = report;
  buttons_ = report ? report->preview_options.buttons : report::kDefaultPreviewButtons;
  preview_->SetReport(report, document);
  UpdateCaption();
  UpdateButtons();
  ZoomChanged(preview_->Zoom());
  PageChanged(preview_->PageNo(), preview_->PageCount());
}

void TfrxPreviewForm::UpdateCaption() {
  std::string name = report_ ? report_->report_options.name : std::string();
  setWindowTitle(name.empty() ? Text("clPreview") : QString::fromStdString(name));
}

void TfrxPreviewForm::UpdateButtons() {
  bool working = preview_->Working();
  bool allow_edit = !report_ || report_->preview_options.allow_edit;
  auto show = [this](const QString& name, bool visible) { actions_[name]->setVisible(visible); };
  show("Print", Has(pbPrint));
  show("Open", Has(pbLoad));
  show("Save", Has(pbSave) || Has(pbExport));
  // The quick PDF export is this program's own filter; e-mail has none.
  show("QuickPdf", Has(pbExportQuick));
  show("Email", false);
  show("Find", Has(pbFind));
  show("ZoomIn", Has(pbZoom));
  show("ZoomOut", Has(pbZoom));
  zoom_box_action_->setVisible(Has(pbZoom));
  show("FullScreen", Has(pbZoom) && !Has(pbNoFullScreen));
  show("Outline", Has(pbOutline));
  show("Thumbnails", Has(pbOutline));
  show("PageSetup", Has(pbPageSetup));
  show("Edit", Has(pbEdit));
  actions_["Edit"]->setEnabled(allow_edit && !working);
  for (const char* name : {"First", "Prior", "Next", "Last"}) show(name, Has(pbNavigator));
  page_box_action_->setVisible(Has(pbNavigator));
  count_label_action_->setVisible(Has(pbNavigator));
  show("Close", !Has(pbNoClose));
  // Separators follow the groups they close.
  separators_["files"]->setVisible(Has(pbPrint) || Has(pbLoad) || Has(pbSave) || Has(pbExport) ||
                                   Has(pbExportQuick));
  separators_["find"]->setVisible(Has(pbFind));
  separators_["zoom"]->setVisible(Has(pbZoom));
  separators_["outline"]->setVisible(Has(pbOutline));
  separators_["tools"]->setVisible(Has(pbPageSetup) || Has(pbEdit));
  separators_["navigator"]->setVisible(Has(pbNavigator) && !Has(pbNoClose));
  actions_["Outline"]->setChecked(preview_->OutlineVisible());
  actions_["Thumbnails"]->setChecked(preview_->ThumbnailVisible());
  for (const char* name : {"Open", "Save", "PageSetup", "QuickPdf", "Print"})
    actions_[name]->setEnabled(!working);

  save_menu_->clear();
  if (Has(pbSave)) {
    QAction* item = save_menu_->addAction(Text("clFP3files") + "...");
    item->setObjectName("SaveFp3");
    connect(item, &QAction::triggered, preview_, qOverload<>(&TfrxPreview::SaveToFile));
  }
  if (Has(pbExport)) {
    if (Has(pbSave)) save_menu_->addSeparator();
    QAction* pdf = save_menu_->addAction(Text("PDFexport") + "...");
    pdf->setObjectName("ExportPdf");
    connect(pdf, &QAction::triggered, preview_, &TfrxPreview::ExportPdf);
  }
}

void TfrxPreviewForm::PageChanged(int page, int count) {
  if (!page_box_->hasFocus()) page_box_->setText(QString::number(page));
  count_label_->setText(Text("clOf").replace("%d", QString::number(count)));
}

void TfrxPreviewForm::ZoomChanged(double zoom) { zoom_box_->setEditText(ZoomText(zoom)); }

void TfrxPreviewForm::ApplyZoomText(const QString& text) {
  QStringList items = ZoomItems();
  if (text == items[kZoomItemPageWidth]) {
    preview_->SetZoomMode(TfrxZoomMode::zmPageWidth);
  } else if (text == items[kZoomItemWholePage]) {
    preview_->SetZoomMode(TfrxZoomMode::zmWholePage);
  } else {
    double zoom = 0;
    if (ParseZoomText(text, zoom)) preview_->SetZoom(zoom);
  }
  ZoomChanged(preview_->Zoom());
}

void TfrxPreviewForm::GoToTypedPage() {
  bool ok = false;
  int page = page_box_->text().trimmed().toInt(&ok);
  if (ok) preview_->SetPageNo(page);
  page_box_->setText(QString::number(preview_->PageNo()));
}

void TfrxPreviewForm::ToggleFullScreen() {
  if (!full_screen_) {
    state_before_full_screen_ = windowState();
    tool_bar_->setVisible(false);
    showFullScreen();
  } else {
    tool_bar_->setVisible(true);
    setWindowState(state_before_full_screen_);
  }
  full_screen_ = !full_screen_;
}

void TfrxPreviewForm::CloseClicked() {
  if (preview_->Working())
    preview_->Cancel();
  else
    close();
}

int TfrxPreviewForm::ShowModal(const std::function<void(TfrxPreview&)>& build) {
  setModal(true);
  if (report_ && report_->preview_options.maximized) setWindowState(Qt::WindowMaximized);
  if (build) {
    QTimer::singleShot(0, this, [this, build] {
      preview_->BeginWork();
      try {
        build(*preview_);
      } catch (...) {
        preview_->EndWork();
        throw;
      }
      preview_->EndWork();
    });
  }
  int result = exec();
  if (on_close) on_close();
  return result;
}

void TfrxPreviewForm::closeEvent(QCloseEvent* event) {
  if (preview_->Working()) {
    preview_->Cancel();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TfrxPreviewForm::keyPressEvent(QKeyEvent* event) {
  bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Escape: CloseClicked(); return;
    case Qt::Key_F11: ToggleFullScreen(); return;
    case Qt::Key_F3:
      if (Has(pbFind)) preview_->FindNext();
      return;
    case Qt::Key_P:
      if (ctrl && Has(pbPrint)) return preview_->Print();
      break;
    case Qt::Key_S:
      if (ctrl && Has(pbSave)) return preview_->SaveToFile();
      break;
    case Qt::Key_F:
      if (ctrl && Has(pbFind)) return preview_->Find();
      break;
    case Qt::Key_O:
      if (ctrl && Has(pbLoad)) return preview_->LoadFromFile();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return;  // no default button to press
    default: break;
  }
  QDialog::keyPressEvent(event);
}

QMenu* TfrxPreviewForm::BuildContextMenu() {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (QAction* action : tool_bar_->actions()) {
    if (!action->isVisible() || action->isSeparator() || action->toolTip().isEmpty()) continue;
    if (action->objectName().isEmpty()) continue;  // the boxes
    if (action->menu()) {
      QMenu* sub = menu->addMenu(action->icon(), action->toolTip());
      for (QAction* item : action->menu()->actions()) {
        if (item->isSeparator())
          sub->addSeparator();
        else
          sub->addAction(item);
      }
    } else {
      QAction* copy = menu->addAction(action->icon(), action->toolTip());
      copy->setEnabled(action->isEnabled());
      connect(copy, &QAction::triggered, action, &QAction::trigger);
    }
  }
  return menu;
}

void TfrxPreviewForm::contextMenuEvent(QContextMenuEvent* event) {
  BuildContextMenu()->popup(event->globalPos());
}

}  // namespace lgoty::ui
