#include "data/data_source.h"

#include <algorithm>

#include "data/database_error.h"

namespace lgoty::data {

namespace {

bool IsEditState(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

}  // namespace

// ---- TDataSource ----------------------------------------------------------------------------

TDataSource::~TDataSource() {
  if (dataset_) dataset_->RemoveDataSource(this);
  dataset_ = nullptr;
  for (TDataLink* link : links_.Release()) {
    link->source_ = nullptr;
    link->UpdateState();
  }
}

bool TDataSource::IsLinkedTo(const TDataSet* dataset) const {
  // Bounded walk: a chain longer than this is itself a cycle that avoids this source.
  for (int steps = 0; dataset && steps < 1000; ++steps) {
    TDataSource* master = dataset->GetDataSource();
    if (!master) return false;
    if (master == this) return true;
    dataset = master->DataSet();
  }
  return dataset != nullptr;
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset && IsLinkedTo(dataset)) throw EDatabaseError(std::string(kCircularDataLink));
  if (dataset_) dataset_->RemoveDataSource(this);
  dataset_ = dataset;
  if (dataset_) dataset_->AddDataSource(this);
  UpdateState();
}

void TDataSource::DataSetDestroyed() {
  dataset_ = nullptr;
  UpdateState();
}

void TDataSource::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  UpdateState();
}

void TDataSource::Edit() {
  if (auto_edit_ && state_ == TDataSetState::dsBrowse) dataset_->Edit();
}

void TDataSource::UpdateState() {
  TDataSetState state =
      enabled_ && dataset_ ? dataset_->State() : TDataSetState::dsInactive;
  // Temporary states are never announced; a source reports the lasting one.
  if (state == TDataSetState::dsCalcFields || state == TDataSetState::dsFilter ||
      state == TDataSetState::dsOpening) {
    return;
  }
  bool changed = state != state_;
  state_ = state;
  links_.ForEach([](TDataLink* link) { link->UpdateState(); });
  if (changed && OnStateChange) OnStateChange(*this);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (event == TDataEvent::deUpdateState) {
    UpdateState();
    return;
  }
  if (state_ == TDataSetState::dsInactive) return;
  links_.ForEach([&](TDataLink* link) { link->DataEvent(event, info); });
  switch (event) {
    case TDataEvent::deFieldChange:
      if (OnDataChange) OnDataChange(*this, reinterpret_cast<TField*>(info));
      break;
    case TDataEvent::deRecordChange:
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange:
      if (OnDataChange) OnDataChange(*this, nullptr);
      break;
    case TDataEvent::deUpdateRecord:
      if (OnUpdateData) OnUpdateData(*this);
      break;
    default:
      break;
  }
}

int TDataSource::MaxBufferCount() const {
  int count = 1;
  links_.ForEach([&](TDataLink* link) { count = std::max(count, link->BufferCount()); });
  return count;
}

void TDataSource::AddLink(TDataLink* link) {
  links_.Add(link);
  if (dataset_) dataset_->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink* link) {
  links_.Remove(link);
  if (dataset_) dataset_->UpdateBufferCount();
}

// ---- TDataLink ------------------------------------------------------------------------------

TDataLink::~TDataLink() {
  if (source_) source_->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  if (source_) source_->RemoveLink(this);
  source_ = source;
  first_record_ = 0;
  if (source_) source_->AddLink(this);
  UpdateState();
}

void TDataLink::SetReadOnly(bool value) {
  if (read_only_ == value) return;
  read_only_ = value;
  UpdateState();
}

void TDataLink::SetBufferCount(int count) {
  count = std::max(count, 1);
  if (count == buffer_count_) return;
  buffer_count_ = count;
  if (source_ && source_->DataSet()) source_->DataSet()->UpdateBufferCount();
}

int TDataLink::RecordCount() const {
  if (!active_) return 0;
  int available = DataSet()->WindowRecordCount() - first_record_;
  return std::clamp(available, 0, buffer_count_);
}

int TDataLink::ActiveRecord() const {
  if (!active_) return 0;
  return DataSet()->ActiveRecord() - first_record_;
}

void TDataLink::SetActiveRecord(int index) {
  if (!active_) return;
  if (index < 0 || index >= RecordCount()) {
    throw core::EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  DataSet()->SetLinkActiveRecord(first_record_ + index);
}

bool TDataLink::Edit() {
  if (!read_only_ && source_) source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TDataLink::UpdateState() {
  bool active = source_ && source_->State() != TDataSetState::dsInactive;
  bool editing = active && !read_only_ && IsEditState(source_->State());
  if (active != active_) {
    active_ = active;
    if (active) first_record_ = 0;
    ActiveChanged();
  }
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
  if (!active_) return;
  switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange: {
      // Keep the slice on the same records when the buffers shifted, then move it just far
      // enough to hold the active record.
      const TDataSet& dataset = *DataSet();
      int active = dataset.ActiveRecord();
      int shift = event == TDataEvent::deDataSetScroll ? static_cast<int>(info) : 0;
      int first = first_record_ + shift;
      int last = first + buffer_count_ - 1;
      int distance = 0;
      if (active > last) {
        distance = active - last;
      } else if (active < first) {
        distance = active - first;
      }
      first += distance;
      if (event != TDataEvent::deDataSetScroll) {
        // A re-read window fills the slice from as high up as it can.
        first = std::min(first, std::max(0, dataset.WindowRecordCount() - buffer_count_));
        first = std::clamp(first, std::max(0, active - buffer_count_ + 1), std::max(0, active));
      }
      first_record_ = std::max(first, 0);
      if (event == TDataEvent::deDataSetChange) {
        DataSetChanged();
      } else if (event == TDataEvent::deDataSetScroll) {
        DataSetScrolled(distance);
      } else {
        LayoutChanged();
      }
      break;
    }
    case TDataEvent::deUpdateRecord:
      UpdateRecord();
      break;
    case TDataEvent::deCheckBrowseMode:
      CheckBrowseMode();
      break;
    default:
      break;
  }
}

}  // namespace lgoty::data
