// TMemoryDataSet: a dataset over rows of variants held in memory. Its columns are the field
// definitions its owner adds while it is closed; its rows stay when it is closed and opened
// again. It is the reference implementation of the TDataSet hooks (every hook is a few
// lines over a vector), serves tests of the abstraction and of its consumers, and gives the
// report engine a row source that needs no file.
//
// Order and numbering: rows keep the order in which they were appended or inserted. A row's
// bookmark is its id (never reused); RecNo is its position + 1, or -1 while Filtered is on
// (visible records are then not numbered). Filtered on, a record is visible when the Filter
// text (TFilterExpression, compiled on open and whenever it changes) holds for it and then
// OnFilterRecord accepts it.
//
// Values are stored in the fields' canonical kinds (TDataSet documents them); strings are
// kept as given (Translate passes them unchanged).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/variant.h"
#include "data/dataset.h"
#include "data/filter_expression.h"

namespace lgoty::data {

class TMemoryDataSet : public TDataSet {
 public:
  TMemoryDataSet() = default;
  ~TMemoryDataSet() override;
  const char* ClassName() const override { return "TMemoryDataSet"; }

  // Refuses edits (Edit/Insert/Append/Delete: "Cannot modify a read-only dataset").
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  // Rows stored (all of them, filtered or not).
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Removes every row; an open dataset is then empty.
  void EmptyDataSet();

 protected:
  struct Record : TRecordBuffer {
    int64_t id = 0;
    std::vector<core::Variant> values;
  };

  void InternalInitFieldDefs() override;
  void InternalOpen() override;
  void InternalClose() override;
  std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override;
  void InternalInitRecord(TRecordBuffer& buffer) override;
  void InternalFirst() override;
  void InternalLast() override;
  TGetResult InternalGetRecord(TRecordBuffer& buffer, TGetMode mode) override;
  void InternalSetToRecord(const TRecordBuffer& buffer) override;
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  int CompareBookmarkData(const TBookmark& a, const TBookmark& b) const override;
  bool GetFieldData(const TRecordBuffer& buffer, const TField& field,
                    core::Variant& out) const override;
  void SetFieldData(TRecordBuffer& buffer, const TField& field,
                    const core::Variant& value) override;
  void InternalEdit() override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  int GetRecordCount() override;
  int GetRecNo(const TRecordBuffer& buffer) const override;
  bool InternalSetRecNo(int rec_no) override;
  bool CanModify() const override { return !read_only_; }
  void FilterTextChanged() override;
  bool RecordFilter(const TRecordBuffer& buffer) override;

 private:
  struct Row {
    int64_t id;
    std::vector<core::Variant> values;
  };

  // Position of the row with this id; EDatabaseError "Record not found" when it is gone.
  size_t PositionOf(int64_t id) const;
  void RowsChanged() { positions_valid_ = false; }
  size_t ColumnOf(const TField& field) const;
  // Whether a filter may hide rows (then rows are not numbered or counted directly).
  bool HidesRows() const { return Filtered() && (OnFilterRecord || filter_); }

  std::vector<Row> rows_;
  int64_t next_id_ = 1;
  // -1: before the first row; rows_.size(): after the last.
  int64_t cursor_ = -1;
  bool read_only_ = false;
  std::unique_ptr<TFilterExpression> filter_;
  mutable std::unordered_map<int64_t, size_t> positions_;
  mutable bool positions_valid_ = false;
};

}  // namespace lgoty::data
