#include "ui/db_grid_model.h"

#include "core/exception.h"

namespace lgoty::ui {

TDBGridModel::TDBGridModel(QObject* parent) : QAbstractTableModel(parent), link_(*this) {}

TDBGridModel::~TDBGridModel() = default;

void TDBGridModel::SetDataSource(data::TDataSource* source) {
  link_.SetDataSource(source);
  Reload();
}

void TDBGridModel::SetColumns(std::vector<TGridColumn> columns) {
  beginResetModel();
  columns_ = std::move(columns);
  endResetModel();
  emit DataChanged();
}

void TDBGridModel::SetVisibleRows(int rows) {
  rows = rows < 1 ? 1 : rows;
  if (rows == link_.BufferCount()) return;
  link_.SetBufferCount(rows);
  Reload();
}

int TDBGridModel::CurrentRow() const {
  if (!link_.Active() || rows_ == 0) return -1;
  return link_.ActiveRecord();
}

void TDBGridModel::Reload() {
  beginResetModel();
  rows_ = link_.Active() ? link_.RecordCount() : 0;
  endResetModel();
  emit DataChanged();
}

int TDBGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int TDBGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

data::TField* TDBGridModel::FieldOf(int column) const {
  data::TDataSet* dataset = link_.DataSet();
  if (!dataset || !link_.Active() || column < 0 || column >= static_cast<int>(columns_.size()))
    return nullptr;
  return dataset->FindField(columns_[static_cast<size_t>(column)].field_name);
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_) return {};
  data::TField* field = FieldOf(index.column());
  if (!field) return QString();
  // Read row `index.row()` of the window and put the current record back.
  const int current = link_.ActiveRecord();
  link_.SetActiveRecord(index.row());
  std::string text;
  try {
    text = field->DisplayText();
  } catch (const core::Exception&) {
    text.clear();  // a value that does not decode paints blank
  }
  link_.SetActiveRecord(current);
  return QString::fromStdString(text);
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(columns_.size()))
    return {};
  if (role == Qt::DisplayRole) return columns_[static_cast<size_t>(section)].title;
  return {};
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

}  // namespace lgoty::ui
