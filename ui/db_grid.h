// TDBGrid: a read-only grid over a data source. It shows as many records as fit, with the
// current record highlighted, and moves the dataset itself: arrows, Page Up/Down, Ctrl+Home/
// Ctrl+End, the wheel and clicks become Prior/Next/MoveBy/First/Last. Typing never starts an
// edit. The scroll bar shows where the current record lies when the dataset numbers its
// records, and moves the dataset when dragged.
//
// OnKeyDown sees every key press before the grid acts on it (a handler may take it by
// setting handled).
#pragma once

#include <QScrollBar>
#include <QTableView>
#include <functional>

#include "core/exception.h"
#include "ui/db_grid_model.h"

namespace lgoty::ui {

class TDBGrid : public QTableView {
  Q_OBJECT

 public:
  explicit TDBGrid(QWidget* parent = nullptr);

  data::TDataSource* DataSource() const { return model_->DataSource(); }
  // nullptr detaches the grid (it shows nothing and reads nothing).
  void SetDataSource(data::TDataSource* source) { model_->SetDataSource(source); }
  void SetColumns(std::vector<TGridColumn> columns);
  TDBGridModel* GridModel() const { return model_; }
  // Rows that fit in the viewport at the current font.
  int VisibleRows() const;

  std::function<void(QKeyEvent* event, bool& handled)> OnKeyDown;
  // A move the dataset refused (for example posting a pending edit that does not fit); the
  // owner reports it. Without a handler the grid only beeps.
  std::function<void(const core::Exception& error)> OnError;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Follow();
  void UpdateScrollBar();
  void ScrollBarMoved(int value);
  // Runs a move of the dataset; a failure goes to OnError and leaves the grid where it was.
  template <typename Move>
  void Navigate(Move move);
  void ApplyRowHeight();

  TDBGridModel* model_;
  QScrollBar* scroll_bar_;
  bool updating_scroll_ = false;
};

}  // namespace lgoty::ui
