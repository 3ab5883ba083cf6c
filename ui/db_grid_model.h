// TDBGridModel: a table model over the record-buffer window of a dataset. It never holds
// rows of its own and never reads more records than fit on the screen: its rows are the
// rows of its data link's slice (see data_source.h), which the view sizes to the rows it can
// show, and every cell is read by making that row the link's active record for the moment
// of the read. Navigation happens on the dataset (the view moves it); every change the link
// hears resets the model, which costs only the visible rows - so a table of a million
// records is as fast as one of forty.
//
// Columns are field names with titles and pixel widths; a name the dataset lacks shows a
// blank column.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

#include "data/data_source.h"

namespace lgoty::ui {

struct TGridColumn {
  std::string field_name;
  QString title;
  int width = 64;
};

class TDBGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TDBGridModel(QObject* parent = nullptr);
  ~TDBGridModel() override;

  data::TDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(data::TDataSource* source);
  const std::vector<TGridColumn>& Columns() const { return columns_; }
  void SetColumns(std::vector<TGridColumn> columns);
  // Rows the view can show; the dataset's window grows to at least that many records.
  void SetVisibleRows(int rows);
  // The row of the current record in the model (-1 with no records).
  int CurrentRow() const;
  data::TDataSet* DataSet() const { return link_.DataSet(); }
  // Whether the link is attached and its dataset open.
  bool LinkActive() const { return link_.Active(); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // The records shown or the current row changed.
  void DataChanged();

 private:
  class Link : public data::TDataLink {
   public:
    explicit Link(TDBGridModel& model) : model_(model) {}
    using data::TDataLink::SetActiveRecord;

   protected:
    void ActiveChanged() override { model_.Reload(); }
    void DataSetChanged() override { model_.Reload(); }
    void DataSetScrolled(int) override { model_.Reload(); }
    void RecordChanged(data::TField*) override { model_.Reload(); }
    void EditingChanged() override { model_.Reload(); }
    void LayoutChanged() override { model_.Reload(); }

   private:
    TDBGridModel& model_;
  };

  void Reload();
  data::TField* FieldOf(int column) const;

  mutable Link link_;
  std::vector<TGridColumn> columns_;
  int rows_ = 0;
};

}  // namespace lgoty::ui
