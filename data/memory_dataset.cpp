#include "data/memory_dataset.h"

#include "data/database_error.h"

namespace lgoty::data {

TMemoryDataSet::~TMemoryDataSet() { CloseOnDestroy(); }

void TMemoryDataSet::EmptyDataSet() {
  if (Active()) CheckBrowseMode();
  rows_.clear();
  RowsChanged();
  cursor_ = -1;
  if (Active()) {
    CursorPosChanged();
    Resync(false, false);
  }
}

// The definitions are the ones the owner added; there is no file to read them from.
void TMemoryDataSet::InternalInitFieldDefs() {}

void TMemoryDataSet::InternalOpen() {
  // Definitions added since the rows were stored give those rows null values.
  size_t columns = static_cast<size_t>(FieldDefs().Count());
  for (Row& row : rows_) row.values.resize(columns);
  cursor_ = -1;
  RowsChanged();
}

void TMemoryDataSet::InternalClose() {
  cursor_ = -1;
  filter_.reset();
}

std::unique_ptr<TRecordBuffer> TMemoryDataSet::AllocRecordBuffer() {
  return std::make_unique<Record>();
}

void TMemoryDataSet::InternalInitRecord(TRecordBuffer& buffer) {
  auto& record = static_cast<Record&>(buffer);
  record.id = 0;
  record.values.assign(static_cast<size_t>(FieldDefs().Count()), core::Variant::Null());
}

void TMemoryDataSet::InternalFirst() { cursor_ = -1; }

void TMemoryDataSet::InternalLast() { cursor_ = static_cast<int64_t>(rows_.size()); }

TGetResult TMemoryDataSet::InternalGetRecord(TRecordBuffer& buffer, TGetMode mode) {
  const auto size = static_cast<int64_t>(rows_.size());
  switch (mode) {
    case TGetMode::gmNext:
      if (cursor_ + 1 >= size) {
        cursor_ = size;
        return TGetResult::grEOF;
      }
      ++cursor_;
      break;
    case TGetMode::gmPrior:
      if (cursor_ <= 0) {
        cursor_ = -1;
        return TGetResult::grBOF;
      }
      cursor_ = std::min(cursor_, size) - 1;
      break;
    case TGetMode::gmCurrent:
      if (cursor_ < 0 || cursor_ >= size) return TGetResult::grError;
      break;
  }
  auto& record = static_cast<Record&>(buffer);
  const Row& row = rows_[static_cast<size_t>(cursor_)];
  record.id = row.id;
  record.values = row.values;
  return TGetResult::grOK;
}

void TMemoryDataSet::InternalSetToRecord(const TRecordBuffer& buffer) {
  cursor_ = static_cast<int64_t>(PositionOf(static_cast<const Record&>(buffer).id));
}

TBookmark TMemoryDataSet::GetBookmarkData(const TRecordBuffer& buffer) const {
  return TBookmark::FromInteger(static_cast<const Record&>(buffer).id);
}

void TMemoryDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
  cursor_ = static_cast<int64_t>(PositionOf(bookmark.ToInteger()));
}

int TMemoryDataSet::CompareBookmarkData(const TBookmark& a, const TBookmark& b) const {
  int64_t id_a = a.ToInteger();
  int64_t id_b = b.ToInteger();
  if (id_a == id_b) return 0;
  // Rows that still exist compare by place; a vanished row by id.
  try {
    return PositionOf(id_a) < PositionOf(id_b) ? -1 : 1;
  } catch (const EDatabaseError&) {
    return id_a < id_b ? -1 : 1;
  }
}

size_t TMemoryDataSet::ColumnOf(const TField& field) const {
  auto column = static_cast<size_t>(field.FieldNo() - 1);
  if (field.FieldNo() < 1) throw EDatabaseError(FieldNotFoundText(field.FieldName()));
  return column;
}

bool TMemoryDataSet::GetFieldData(const TRecordBuffer& buffer, const TField& field,
                                  core::Variant& out) const {
  const auto& record = static_cast<const Record&>(buffer);
  size_t column = ColumnOf(field);
  if (column >= record.values.size() || record.values[column].IsEmptyOrNull()) return false;
  out = record.values[column];
  return true;
}

void TMemoryDataSet::SetFieldData(TRecordBuffer& buffer, const TField& field,
                                  const core::Variant& value) {
  auto& record = static_cast<Record&>(buffer);
  size_t column = ColumnOf(field);
  if (column >= record.values.size()) record.values.resize(column + 1);
  record.values[column] = value;
}

void TMemoryDataSet::InternalEdit() {
  auto& record = static_cast<Record&>(ActiveBuffer());
  record.values = rows_[PositionOf(record.id)].values;
}

void TMemoryDataSet::InternalPost() {
  auto& record = static_cast<Record&>(ActiveBuffer());
  if (State() == TDataSetState::dsEdit) {
    size_t position = PositionOf(record.id);
    rows_[position].values = record.values;
    cursor_ = static_cast<int64_t>(position);
    return;
  }
  size_t position;
  if (record.bookmark_flag == TBookmarkFlag::bfEOF) {
    position = rows_.size();
  } else if (!record.insert_before.IsEmpty()) {
    position = PositionOf(record.insert_before.ToInteger());
  } else {
    position = 0;
  }
  Row row{next_id_++, record.values};
  row.values.resize(static_cast<size_t>(FieldDefs().Count()));
  rows_.insert(rows_.begin() + static_cast<ptrdiff_t>(position), std::move(row));
  RowsChanged();
  cursor_ = static_cast<int64_t>(position);
}

void TMemoryDataSet::InternalDelete() {
  if (cursor_ < 0 || cursor_ >= static_cast<int64_t>(rows_.size())) {
    throw EDatabaseError(std::string(kRecordNotFound));
  }
  rows_.erase(rows_.begin() + cursor_);
  RowsChanged();
}

void TMemoryDataSet::InternalRefresh() { RowsChanged(); }

int TMemoryDataSet::GetRecordCount() {
  if (HidesRows()) return TDataSet::GetRecordCount();
  return static_cast<int>(rows_.size());
}

int TMemoryDataSet::GetRecNo(const TRecordBuffer& buffer) const {
  if (HidesRows()) return -1;
  const auto& record = static_cast<const Record&>(buffer);
  if (record.bookmark_flag != TBookmarkFlag::bfCurrent) return -1;
  return static_cast<int>(PositionOf(record.id)) + 1;
}

bool TMemoryDataSet::InternalSetRecNo(int rec_no) {
  if (HidesRows() || rec_no < 1 ||
      rec_no > static_cast<int>(rows_.size())) {
    return false;
  }
  cursor_ = rec_no - 1;
  return true;
}

void TMemoryDataSet::FilterTextChanged() {
  // Fields exist only while open; opening compiles the text again.
  if (State() == TDataSetState::dsInactive) return;
  if (Filter().empty()) {
    filter_.reset();
  } else {
    filter_ = std::make_unique<TFilterExpression>(Filter(), Fields(), FilterOptions());
  }
}

bool TMemoryDataSet::RecordFilter(const TRecordBuffer&) {
  // The base has made the buffer the one fields read.
  return !Filtered() || !filter_ || filter_->Evaluate();
}

size_t TMemoryDataSet::PositionOf(int64_t id) const {
  if (!positions_valid_) {
    positions_.clear();
    for (size_t i = 0; i < rows_.size(); ++i) positions_[rows_[i].id] = i;
    positions_valid_ = true;
  }
  auto it = positions_.find(id);
  if (it == positions_.end()) throw EDatabaseError(std::string(kRecordNotFound));
  return it->second;
}

}  // namespace lgoty::data
