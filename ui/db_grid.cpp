#include "ui/db_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "core/exception.h"

namespace lgoty::ui {

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), model_(new TDBGridModel(this)) {
  setModel(model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->setVisible(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // The view never scrolls vertically by itself: all rows it has are the visible ones.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_bar_ = new QScrollBar(Qt::Vertical, this);
  scroll_bar_->setRange(0, 0);
  connect(scroll_bar_, &QScrollBar::valueChanged, this, &TDBGrid::ScrollBarMoved);
  setViewportMargins(0, 0, scroll_bar_->sizeHint().width(), 0);
  connect(model_, &TDBGridModel::DataChanged, this, &TDBGrid::Follow);
  ApplyRowHeight();
}

void TDBGrid::SetColumns(std::vector<TGridColumn> columns) {
  std::vector<int> widths;
  for (const TGridColumn& c : columns) widths.push_back(c.width);
  model_->SetColumns(std::move(columns));
  for (size_t i = 0; i < widths.size(); ++i)
    horizontalHeader()->resizeSection(static_cast<int>(i), widths[i]);
}

int TDBGrid::VisibleRows() const {
  const int row_height = verticalHeader()->defaultSectionSize();
  const int rows = row_height > 0 ? viewport()->height() / row_height : 1;
  return rows < 1 ? 1 : rows;
}

void TDBGrid::ApplyRowHeight() {
  const int height = fontMetrics().height() + 4;
  verticalHeader()->setMinimumSectionSize(height);
  verticalHeader()->setDefaultSectionSize(height);
  model_->SetVisibleRows(VisibleRows());
}

template <typename Move>
void TDBGrid::Navigate(Move move) {
  data::TDataSet* dataset = model_->DataSet();
  if (!dataset || !model_->LinkActive()) return;
  try {
    move(*dataset);
  } catch (const core::Exception& error) {
    if (OnError) OnError(error);
    else QApplication::beep();
  }
}

void TDBGrid::Follow() {
  const int row = model_->CurrentRow();
  if (row >= 0) {
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex index = model_->index(row, column);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    QTableView::scrollTo(index);
  } else {
    selectionModel()->clearSelection();
  }
  UpdateScrollBar();
}

void TDBGrid::UpdateScrollBar() {
  data::TDataSet* dataset = model_->DataSet();
  updating_scroll_ = true;
  if (!dataset || !model_->LinkActive() || dataset->IsEmpty()) {
    scroll_bar_->setRange(0, 0);
  } else {
    // Three positions (first, middle, last) unless the dataset numbers its records cheaply.
    const int rec_no = dataset->RecNo();
    if (rec_no > 0) {
      const int count = dataset->RecordCount();
      scroll_bar_->setRange(1, count > 1 ? count : 1);
      scroll_bar_->setPageStep(VisibleRows());
      scroll_bar_->setValue(rec_no);
    } else {
      scroll_bar_->setRange(0, 2);
      scroll_bar_->setPageStep(1);
      scroll_bar_->setValue(dataset->BOF() ? 0 : dataset->Eof() ? 2 : 1);
    }
  }
  updating_scroll_ = false;
}

void TDBGrid::ScrollBarMoved(int value) {
  if (updating_scroll_) return;
  Navigate([&](data::TDataSet& dataset) {
    if (scroll_bar_->maximum() == 2 && scroll_bar_->minimum() == 0) {
      if (value == 0) dataset.First();
      else if (value == 2) dataset.Last();
    } else {
      dataset.SetRecNo(value);
    }
  });
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown) {
    bool handled = false;
    OnKeyDown(event, handled);
    if (handled) return;
  }
  const int page = VisibleRows();
  const bool control = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Up: Navigate([](data::TDataSet& d) { d.Prior(); }); return;
    case Qt::Key_Down: Navigate([](data::TDataSet& d) { d.Next(); }); return;
    case Qt::Key_PageUp: Navigate([page](data::TDataSet& d) { d.MoveBy(-page); }); return;
    case Qt::Key_PageDown: Navigate([page](data::TDataSet& d) { d.MoveBy(page); }); return;
    case Qt::Key_Home:
    case Qt::Key_End:
      if (control) {
        if (event->key() == Qt::Key_Home) Navigate([](data::TDataSet& d) { d.First(); });
        else Navigate([](data::TDataSet& d) { d.Last(); });
        return;
      }
      QTableView::keyPressEvent(event);  // first or last column
      return;
    case Qt::Key_Left:
    case Qt::Key_Right: QTableView::keyPressEvent(event); return;
    default: break;
  }
  // Typing never edits; Tab, Enter and the rest go on to the window.
  event->ignore();
}

void TDBGrid::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 40;
  if (steps != 0) Navigate([steps](data::TDataSet& d) { d.MoveBy(-steps); });
  event->accept();
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  setFocus(Qt::MouseFocusReason);
  if (index.isValid()) {
    const int distance = index.row() - model_->CurrentRow();
    if (distance != 0) Navigate([distance](data::TDataSet& d) { d.MoveBy(distance); });
    const QModelIndex current = model_->index(model_->CurrentRow(), index.column());
    if (current.isValid())
      selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
  }
  event->accept();
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  // The press before it has made the row current; the owner decides what a double click
  // means (the register opens the person window).
  const QModelIndex index = indexAt(event->position().toPoint());
  event->accept();
  if (index.isValid()) emit doubleClicked(model_->index(model_->CurrentRow(), index.column()));
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  const QRect area = contentsRect();
  const int width = scroll_bar_->sizeHint().width();
  scroll_bar_->setGeometry(area.right() - width + 1, area.top(), width, area.height());
  model_->SetVisibleRows(VisibleRows());
}

void TDBGrid::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) ApplyRowHeight();
}

}  // namespace lgoty::ui
