// TDataSet: state, opening and closing, the record-buffer window and navigation.
#include "data/dataset.h"

#include <algorithm>
#include <utility>

#include "data/data_source.h"
#include "data/database_error.h"
#include "data/typed_fields.h"

namespace lgoty::data {

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  // The descendant has closed the cursor (hooks are gone by now). Sources only forget us.
  state_ = TDataSetState::dsInactive;
  for (TDataSource* source : data_sources_.Release()) source->DataSetDestroyed();
}

void TDataSet::CheckActive() const {
  if (state_ == TDataSetState::dsInactive) throw EDatabaseError(std::string(kDataSetClosed));
}

void TDataSet::CheckInactive() const {
  if (state_ != TDataSetState::dsInactive) throw EDatabaseError(std::string(kDataSetOpen));
}

bool TDataSet::IsEmpty() const {
  return state_ == TDataSetState::dsInactive || record_count_ == 0;
}

void TDataSet::SetState(TDataSetState state) {
  if (state_ == state) return;
  state_ = state;
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState, 0);
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (disable_count_ != 0) return;
  data_sources_.ForEach([&](TDataSource* source) { source->DataEvent(event, info); });
}

void TDataSet::DisableControls() {
  if (disable_count_ == 0) disable_state_ = state_;
  ++disable_count_;
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ != 0) return;
  if (state_ != disable_state_) DataEvent(TDataEvent::deUpdateState, 0);
  if (state_ != TDataSetState::dsInactive) DataEvent(TDataEvent::deDataSetChange, 0);
}

void TDataSet::AddDataSource(TDataSource* source) {
  data_sources_.Add(source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  data_sources_.Remove(source);
  UpdateBufferCount();
}

// ---- fields ---------------------------------------------------------------------------------

TFieldDefs& TDataSet::FieldDefs() {
  if (state_ == TDataSetState::dsInactive && !field_defs_.Updated() && !filling_field_defs_) {
    filling_field_defs_ = true;
    try {
      InternalInitFieldDefs();
    } catch (...) {
      filling_field_defs_ = false;
      throw;
    }
    filling_field_defs_ = false;
    field_defs_.SetUpdated(true);
  }
  return field_defs_;
}

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
  CheckInactive();
  if (fields_.FindField(field->FieldName())) {
    throw EDatabaseError(DuplicateFieldText(field->FieldName()));
  }
  field->dataset_ = this;
  return fields_.Add(std::move(field));
}

TField& TDataSet::CreatePersistentField(const TFieldDef& def) {
  return AddField(CreateField(def));
}

std::vector<TField*> TDataSet::GetFieldList(std::string_view names) const {
  std::vector<TField*> list;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(';', start);
    if (end == std::string_view::npos) end = names.size();
    std::string_view name = names.substr(start, end - start);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!name.empty()) list.push_back(&fields_.FieldByName(name));
    start = end + 1;
  }
  return list;
}

std::vector<std::string> TDataSet::GetFieldNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < fields_.Count(); ++i) names.push_back(fields_[i].FieldName());
  return names;
}

void TDataSet::CreateOrBindFields() {
  default_fields_ = fields_.Count() == 0;
  if (default_fields_) {
    for (int i = 0; i < field_defs_.Count(); ++i) {
      const TFieldDef& def = field_defs_.Items(i);
      if (def.Attributes().Hidden) continue;
      TField& field = fields_.Add(CreateField(def));
      field.dataset_ = this;
    }
  }
  calc_field_count_ = 0;
  for (int i = 0; i < fields_.Count(); ++i) {
    TField& field = fields_[i];
    if (field.Calculated()) {
      field.field_no_ = 0;
      field.calc_index_ = calc_field_count_++;
      continue;
    }
    field.calc_index_ = -1;
    const TFieldDef* def = field_defs_.Find(field.FieldName());
    if (!def) throw EDatabaseError(FieldNotFoundText(field.FieldName()));
    field.field_no_ = def->FieldNo();
    if (def->Attributes().ReadOnly) field.SetReadOnly(true);
    if (def->Attributes().Required) field.SetRequired(true);
  }
}

// ---- open and close -------------------------------------------------------------------------

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    Fire(BeforeOpen);
    try {
      OpenCursor();
    } catch (const EOpenAbandoned&) {
      // Given up on purpose: close what was half opened and stay inactive, quietly.
      CloseCursor();
      return;
    } catch (...) {
      CloseCursor();
      throw;
    }
    bof_ = true;
    SetState(TDataSetState::dsBrowse);
    DataEvent(TDataEvent::deDataSetChange, 0);
    Fire(AfterOpen);
    if (!IsEmpty()) Fire(AfterScroll);
  } else {
    Fire(BeforeClose);
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) InternalCancel();
    SetState(TDataSetState::dsInactive);
    CloseCursor();
    Fire(AfterClose);
  }
}

void TDataSet::CloseOnDestroy() noexcept {
  if (state_ == TDataSetState::dsInactive) return;
  try {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) InternalCancel();
  } catch (...) {
    // Whatever the descendant could not release, the cursor goes below.
  }
  state_ = TDataSetState::dsInactive;
  try {
    CloseCursor();
  } catch (...) {
    // Closing failed half-way; the memory goes with the object.
  }
}

void TDataSet::OpenCursor() {
  state_ = TDataSetState::dsOpening;
  InternalOpen();
  if (!field_defs_.Updated()) {
    if (field_defs_.Count() == 0) InternalInitFieldDefs();
    field_defs_.SetUpdated(true);
  }
  CreateOrBindFields();
  try {
    FilterTextChanged();
  } catch (const core::Exception&) {
    // A filter text that does not compile against these fields is dropped, not fatal.
    filter_text_.clear();
    FilterTextChanged();
  }
  lookup_buffer_ = AllocRecordBuffer();
  lookup_buffer_->calc_values.assign(static_cast<size_t>(calc_field_count_), core::Variant());
  buffer_count_ = 0;
  buffers_.clear();
  int wanted = 1;
  std::as_const(data_sources_).ForEach(
      [&](TDataSource* source) { wanted = std::max(wanted, source->MaxBufferCount()); });
  AllocateBuffers(wanted);
  ClearBuffers();
  InternalFirst();
  CursorPosChanged();
  if (GetNextRecord()) GetNextRecords();
  state_ = TDataSetState::dsInactive;  // SetState(dsBrowse) announces the change
}

void TDataSet::CloseCursor() {
  bool was_opening = state_ == TDataSetState::dsOpening;
  state_ = TDataSetState::dsInactive;
  // An open that failed half-way may not have a cursor; InternalClose must cope with that.
  InternalClose();
  if (was_opening) field_defs_.SetUpdated(false);
  buffers_.clear();
  lookup_buffer_.reset();
  buffer_count_ = 0;
  ClearBuffers();
  temp_buffer_ = nullptr;
  if (default_fields_) {
    fields_.items_.clear();
    default_fields_ = false;
  }
  field_defs_.SetUpdated(false);
}

// ---- the window -----------------------------------------------------------------------------

void TDataSet::AllocateBuffers(int count) {
  while (static_cast<int>(buffers_.size()) < count + 1) {
    auto buffer = AllocRecordBuffer();
    buffer->calc_values.assign(static_cast<size_t>(calc_field_count_), core::Variant());
    buffers_.push_back(std::move(buffer));
  }
  buffer_count_ = count;
}

void TDataSet::UpdateBufferCount() {
  if (state_ == TDataSetState::dsInactive) return;
  int wanted = 1;
  std::as_const(data_sources_).ForEach(
      [&](TDataSource* source) { wanted = std::max(wanted, source->MaxBufferCount()); });
  if (wanted != buffer_count_) SetBufferCount(wanted);
}

void TDataSet::SetBufferCount(int count) {
  if (count > buffer_count_) {
    AllocateBuffers(count);
    if (state_ == TDataSetState::dsBrowse && record_count_ > 0) {
      GetNextRecords();
      GetPriorRecords();
    }
  } else {
    // Drop records from the far side of the active one until the window fits.
    while (record_count_ > count) {
      if (active_record_ > 0) {
        std::rotate(buffers_.begin(), buffers_.begin() + 1, buffers_.begin() + record_count_);
        --active_record_;
      }
      --record_count_;
    }
    buffers_.resize(static_cast<size_t>(count) + 1);
    buffer_count_ = count;
    CursorPosChanged();
  }
  DataEvent(TDataEvent::deDataSetChange, 0);
}

void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  auto begin = buffers_.begin();
  if (from < to) {
    std::rotate(begin + from, begin + from + 1, begin + to + 1);
  } else {
    std::rotate(begin + to, begin + from, begin + from + 1);
  }
}

void TDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::SetCurrentRecord(int index) {
  if (current_record_ == index) return;
  const TRecordBuffer& buffer = *buffers_[static_cast<size_t>(index)];
  switch (buffer.bookmark_flag) {
    case TBookmarkFlag::bfCurrent:
      InternalSetToRecord(buffer);
      break;
    case TBookmarkFlag::bfInserted:
      // An unposted insert stands where the record it goes before is.
      if (buffer.insert_before.IsEmpty()) {
        InternalLast();
      } else {
        InternalGotoBookmark(buffer.insert_before);
      }
      break;
    case TBookmarkFlag::bfBOF:
      InternalFirst();
      break;
    case TBookmarkFlag::bfEOF:
      InternalLast();
      break;
  }
  current_record_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (record_count_ > 0) SetCurrentRecord(active_record_);
}

TGetResult TDataSet::GetRecord(TRecordBuffer& buffer, TGetMode mode) {
  for (;;) {
    TGetResult result = InternalGetRecord(buffer, mode);
    if (result != TGetResult::grOK) return result;
    if (RecordVisible(buffer)) {
      buffer.bookmark_flag = TBookmarkFlag::bfCurrent;
      buffer.insert_before.Clear();
      ComputeCalcFields(buffer);
      return TGetResult::grOK;
    }
    if (mode == TGetMode::gmCurrent) return TGetResult::grError;
  }
}

bool TDataSet::RecordVisible(TRecordBuffer& buffer) {
  // Fields read the record under test while its visibility is decided.
  TempState scope(*this, TDataSetState::dsFilter, &buffer);
  if (!RecordFilter(buffer)) return false;
  if (!filtered_ || !OnFilterRecord) return true;
  bool accept = true;
  OnFilterRecord(*this, accept);
  return accept;
}

void TDataSet::ComputeCalcFields(TRecordBuffer& buffer) {
  if (calc_field_count_ == 0) return;
  for (auto& value : buffer.calc_values) value = core::Variant();
  if (!OnCalcFields) return;
  TempState scope(*this, TDataSetState::dsCalcFields, &buffer);
  OnCalcFields(*this);
}

bool TDataSet::GetNextRecord() {
  TGetMode mode = TGetMode::gmNext;
  if (record_count_ > 0) {
    SetCurrentRecord(record_count_ - 1);
    // An unposted insert sits in the window but not at the cursor: the cursor's record
    // (the one the insert goes before) is the next one to show.
    if (state_ == TDataSetState::dsInsert && current_record_ == active_record_ &&
        ActiveBuffer().bookmark_flag == TBookmarkFlag::bfInserted) {
      mode = TGetMode::gmCurrent;
    }
  }
  bool ok = GetRecord(*buffers_[static_cast<size_t>(record_count_)], mode) == TGetResult::grOK;
  if (!ok) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    MoveBuffer(0, record_count_);
  }
  current_record_ = record_count_ - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (record_count_ > 0) SetCurrentRecord(0);
  bool ok = GetRecord(*buffers_[static_cast<size_t>(record_count_)], TGetMode::gmPrior) ==
            TGetResult::grOK;
  if (!ok) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(record_count_, 0);
    if (record_count_ < buffer_count_) {
      ++record_count_;
      ++active_record_;
    }
  }
  current_record_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int count = 0;
  while (record_count_ < buffer_count_ && GetNextRecord()) ++count;
  return count;
}

int TDataSet::GetPriorRecords() {
  int count = 0;
  while (record_count_ < buffer_count_ && GetPriorRecord()) ++count;
  return count;
}

// ---- navigation -----------------------------------------------------------------------------

void TDataSet::First() {
  CheckBrowseMode();
  Fire(BeforeScroll);
  ClearBuffers();
  try {
    InternalFirst();
    if (GetNextRecord()) GetNextRecords();
  } catch (...) {
    bof_ = true;
    DataEvent(TDataEvent::deDataSetChange, 0);
    throw;
  }
  bof_ = true;
  DataEvent(TDataEvent::deDataSetChange, 0);
  Fire(AfterScroll);
}

void TDataSet::Last() {
  CheckBrowseMode();
  Fire(BeforeScroll);
  ClearBuffers();
  try {
    InternalLast();
    if (GetPriorRecord()) GetPriorRecords();
  } catch (...) {
    eof_ = true;
    DataEvent(TDataEvent::deDataSetChange, 0);
    throw;
  }
  eof_ = true;
  DataEvent(TDataEvent::deDataSetChange, 0);
  Fire(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  Fire(BeforeScroll);
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    int old_record_count = record_count_;
    // How far the buffers shifted: a record fetched into a full window pushes the others
    // one place towards index 0 (negative) or towards the end (positive).
    int scroll = 0;
    auto announce = [&] {
      if (record_count_ != old_record_count) {
        DataEvent(TDataEvent::deDataSetChange, 0);
      } else {
        DataEvent(TDataEvent::deDataSetScroll, scroll);
      }
    };
    try {
      while (distance > 0) {
        if (active_record_ < record_count_ - 1) {
          ++active_record_;
        } else {
          bool full = record_count_ >= buffer_count_;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          if (full) {
            --scroll;
          } else {
            ++active_record_;
          }
        }
        --distance;
        ++moved;
      }
      while (distance < 0) {
        if (active_record_ > 0) {
          --active_record_;
        } else {
          bool full = record_count_ >= buffer_count_;
          if (!GetPriorRecord()) {
            bof_ = true;
            break;
          }
          if (full) {
            ++scroll;
          } else {
            --active_record_;  // GetPriorRecord moved it along with the buffers
          }
        }
        ++distance;
        --moved;
      }
    } catch (...) {
      announce();
      throw;
    }
    announce();
  }
  Fire(AfterScroll);
  return moved;
}

void TDataSet::Resync(bool exact, bool center) {
  TRecordBuffer& spare = *buffers_[static_cast<size_t>(record_count_)];
  if (exact) {
    CursorPosChanged();
    if (GetRecord(spare, TGetMode::gmCurrent) != TGetResult::grOK) {
      throw EDatabaseError(std::string(kRecordNotFound));
    }
  } else if (GetRecord(spare, TGetMode::gmCurrent) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmNext) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmPrior) != TGetResult::grOK) {
    ClearBuffers();
    DataEvent(TDataEvent::deDataSetChange, 0);
    return;
  }
  int count = center ? (buffer_count_ - 1) / 2 : active_record_;
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  current_record_ = 0;
  try {
    while (count > 0 && GetPriorRecord()) --count;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    DataEvent(TDataEvent::deDataSetChange, 0);
    throw;
  }
  DataEvent(TDataEvent::deDataSetChange, 0);
}

void TDataSet::Refresh() {
  CheckActive();
  Fire(BeforeRefresh);
  CheckBrowseMode();
  UpdateCursorPos();
  try {
    InternalRefresh();
  } catch (...) {
    Resync(false, false);
    throw;
  }
  Resync(false, false);
  Fire(AfterRefresh);
}

int TDataSet::RecNo() const {
  CheckActive();
  if (record_count_ == 0) return 0;
  return GetRecNo(ActiveBuffer());
}

void TDataSet::SetRecNo(int rec_no) {
  CheckBrowseMode();
  if (rec_no == RecNo()) return;
  Fire(BeforeScroll);
  if (InternalSetRecNo(rec_no)) {
    Resync(true, true);
    Fire(AfterScroll);
    return;
  }
  int current = RecNo();
  if (current < 0) {
    // Unnumbered cursor: count from the first record.
    First();
    current = 1;
  }
  MoveBy(rec_no - current);
}

int TDataSet::GetRecordCount() {
  // Counts the visible records with the spare lookup buffer; the window is untouched, and
  // the cursor is put back on the active record by the next movement.
  int count = 0;
  CursorPosChanged();
  InternalFirst();
  while (GetRecord(*lookup_buffer_, TGetMode::gmNext) == TGetResult::grOK) ++count;
  CursorPosChanged();
  return count;
}

int TDataSet::RecordCount() {
  CheckActive();
  return GetRecordCount();
}

}  // namespace lgoty::data
