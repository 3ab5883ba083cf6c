// Data sources and data links: how controls hear about a dataset.
//
// A TDataSource connects one dataset to any number of TDataLinks (a grid, an edit box, a
// report adapter). The dataset sends every change as a TDataEvent to its sources; a source
// forwards them to its links while it is enabled, and a link turns them into calls of its
// virtual methods:
//
//   event              when                                         link call
//   deUpdateState      state changed (open, close, edit, insert,    ActiveChanged and/or
//                      post, cancel)                                EditingChanged
//   deDataSetChange    records re-read: open, First, Last, Insert,  DataSetChanged
//                      Append, Post, Cancel, Delete, Refresh,
//                      Locate, GotoBookmark, EnableControls
//   deDataSetScroll    moved within or by one fetch past the        DataSetScrolled(distance)
//                      window (Next, Prior, MoveBy)
//   deRecordChange     Edit began                                   RecordChanged(nullptr)
//   deFieldChange      a field was assigned                         RecordChanged(field)
//   deUpdateRecord     before Post: controls write their input     UpdateData
//   deCheckBrowseMode  before a browse step, Cancel or Delete       CheckBrowseMode
//
// Nothing reaches links while the dataset's controls are disabled (DisableControls).
//
// Buffer window for grids: a link asks for BufferCount rows; the dataset keeps as many
// records as the largest link wants. The link's rows 0 .. RecordCount()-1 are a slice of the
// dataset's window starting at the link's first record; ActiveRecord() is the current row.
// DataSetScrolled(distance) says how many rows the link's slice moved (positive: down).
//
// Lifetimes: a source and its dataset, a link and its source, each unregister from the
// other when destroyed; neither owns the other.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/object.h"
#include "data/dataset.h"
#include "data/notify_list.h"

namespace lgoty::data {

class TDataLink;

class TDataSource : public core::TObject {
 public:
  TDataSource() = default;
  explicit TDataSource(TDataSet* dataset) { SetDataSet(dataset); }
  ~TDataSource() override;
  const char* ClassName() const override { return "TDataSource"; }

  TDataSet* DataSet() const { return dataset_; }
  // EDatabaseError "Circular datalinks are not allowed" when the dataset takes its master
  // record from this source (directly or through other sources).
  void SetDataSet(TDataSet* dataset);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Edit() puts a browsing dataset into edit state when AutoEdit is set.
  bool AutoEdit() const { return auto_edit_; }
  void SetAutoEdit(bool value) { auto_edit_ = value; }
  void Edit();
  // The dataset's state; dsInactive without a dataset or while disabled.
  TDataSetState State() const { return state_; }
  // Whether dataset's master chain leads to this source.
  bool IsLinkedTo(const TDataSet* dataset) const;

  // Field is the changed field for a field change, nullptr for a record or dataset change.
  std::function<void(TDataSource&, TField* field)> OnDataChange;
  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&)> OnUpdateData;

 private:
  friend class TDataSet;
  friend class TDataLink;

  void DataEvent(TDataEvent event, intptr_t info);
  void UpdateState();
  int MaxBufferCount() const;
  void DataSetDestroyed();
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);

  TDataSet* dataset_ = nullptr;
  bool enabled_ = true;
  bool auto_edit_ = true;
  TDataSetState state_ = TDataSetState::dsInactive;
  TNotifyList<TDataLink> links_;
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const { return source_ ? source_->DataSet() : nullptr; }
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);

  int BufferCount() const { return buffer_count_; }
  // At least 1.
  void SetBufferCount(int count);
  // Rows of this link's slice that hold records.
  int RecordCount() const;
  // The current row within the slice. Setting it makes row `index` the dataset's current
  // record for reading (a grid paints row by row and puts the old value back).
  int ActiveRecord() const;
  void SetActiveRecord(int index);

  // Puts the dataset into edit state through the source (AutoEdit); true when editing.
  bool Edit();
  // Has this link write its pending input (UpdateData), without hearing its own change.
  void UpdateRecord();

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField*) {}
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  void DataEvent(TDataEvent event, intptr_t info);
  void UpdateState();

  TDataSource* source_ = nullptr;
  bool active_ = false;
  bool editing_ = false;
  bool read_only_ = false;
  bool updating_ = false;
  int buffer_count_ = 1;
  int first_record_ = 0;
};

}  // namespace lgoty::data
