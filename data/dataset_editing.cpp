// TDataSet: editing (Edit, Insert, Append, Post, Cancel, Delete), field values and blob
// streams.
#include "data/dataset.h"

#include "data/data_source.h"
#include "data/database_error.h"

namespace lgoty::data {

namespace {

bool IsEditState(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

}  // namespace

template <typename Op>
void TDataSet::CheckOperation(
    Op op, const std::function<void(TDataSet&, const core::Exception&, bool&)>& on_error) {
  for (;;) {
    try {
      op();
      return;
    } catch (const core::Exception& error) {
      bool retry = false;
      if (on_error) on_error(*this, error, retry);
      if (!retry) throw;
    }
  }
}

void TDataSet::CheckCanModify() const {
  if (!CanModify()) throw EDatabaseError(std::string(kDataSetReadOnly));
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  if (IsEditState(state_)) {
    UpdateRecord();
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  }
}

void TDataSet::UpdateRecord() {
  if (!IsEditState(state_)) throw EDatabaseError(std::string(kNotEditing));
  DataEvent(TDataEvent::deUpdateRecord, 0);
}

void TDataSet::InitRecord(TRecordBuffer& buffer) {
  InternalInitRecord(buffer);
  for (auto& value : buffer.calc_values) value = core::Variant();
  buffer.bookmark_flag = TBookmarkFlag::bfInserted;
  buffer.insert_before.Clear();
}

void TDataSet::Edit() {
  if (IsEditState(state_)) return;
  if (record_count_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeEdit);
  UpdateCursorPos();
  CheckOperation([this] { InternalEdit(); }, OnEditError);
  ComputeCalcFields(ActiveBuffer());
  SetState(TDataSetState::dsEdit);
  DataEvent(TDataEvent::deRecordChange, 0);
  Fire(AfterEdit);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeInsert);
  Fire(BeforeScroll);
}

void TDataSet::EndInsertAppend() {
  SetState(TDataSetState::dsInsert);
  try {
    Fire(OnNewRecord);
  } catch (...) {
    // The new record never existed: back to the window as it was.
    InternalCancel();
    CursorPosChanged();
    SetState(TDataSetState::dsBrowse);
    Resync(false, false);
    throw;
  }
  modified_ = false;
  DataEvent(TDataEvent::deDataSetChange, 0);
  Fire(AfterInsert);
  Fire(AfterScroll);
}

void TDataSet::Insert() {
  BeginInsertAppend();
  TBookmark before = GetBookmark();
  UpdateCursorPos();
  MoveBuffer(record_count_, active_record_);
  TRecordBuffer& buffer = ActiveBuffer();
  InitRecord(buffer);
  if (record_count_ == 0) {
    buffer.bookmark_flag = TBookmarkFlag::bfBOF;
  } else {
    buffer.insert_before = before;
  }
  if (record_count_ < buffer_count_) ++record_count_;
  // The cursor's record moved one buffer down (or out of the window).
  if (current_record_ >= active_record_) {
    current_record_ = current_record_ + 1 < record_count_ ? current_record_ + 1 : -1;
  }
  bof_ = false;
  eof_ = false;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer& buffer = *buffers_[0];
  InitRecord(buffer);
  buffer.bookmark_flag = TBookmarkFlag::bfEOF;
  record_count_ = 1;
  bof_ = false;
  eof_ = false;
  GetPriorRecords();
  InternalLast();
  CursorPosChanged();
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::CheckRequiredFields() {
  for (int i = 0; i < fields_.Count(); ++i) {
    TField& field = fields_[i];
    if (field.Required() && !field.ReadOnly() && !field.Calculated() && field.IsNull()) {
      throw EDatabaseError(FieldRequiredText(field.FieldName()));
    }
  }
}

void TDataSet::Post() {
  UpdateRecord();
  CheckRequiredFields();
  Fire(BeforePost);
  if (state_ == TDataSetState::dsEdit) UpdateCursorPos();
  CheckOperation([this] { InternalPost(); }, OnPostError);
  CursorPosChanged();
  SetState(TDataSetState::dsBrowse);
  Resync(false, false);
  Fire(AfterPost);
}

void TDataSet::Cancel() {
  if (!IsEditState(state_)) return;
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  Fire(BeforeCancel);
  bool inserting = state_ == TDataSetState::dsInsert;
  InternalCancel();
  if (inserting) {
    // The inserted buffer leaves the window; the cursor is wherever the window says.
    CursorPosChanged();
  } else {
    UpdateCursorPos();
  }
  SetState(TDataSetState::dsBrowse);
  if (inserting) {
    // Put the cursor on the record the insert stood before (or the first/last one).
    const TRecordBuffer& buffer = ActiveBuffer();
    if (!buffer.insert_before.IsEmpty()) {
      InternalGotoBookmark(buffer.insert_before);
    } else if (buffer.bookmark_flag == TBookmarkFlag::bfEOF) {
      InternalLast();
    } else {
      InternalFirst();
    }
  }
  Resync(false, false);
  Fire(AfterCancel);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (record_count_ == 0) throw EDatabaseError(std::string(kDataSetEmpty));
  CheckCanModify();
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  Fire(BeforeDelete);
  Fire(BeforeScroll);
  UpdateCursorPos();
  CheckOperation([this] { InternalDelete(); }, OnDeleteError);
  CursorPosChanged();
  SetState(TDataSetState::dsBrowse);
  Resync(false, false);
  Fire(AfterDelete);
  Fire(AfterScroll);
}

void TDataSet::AppendRecord(const std::vector<core::Variant>& values) {
  Append();
  for (size_t i = 0; i < values.size() && i < static_cast<size_t>(fields_.Count()); ++i) {
    if (!values[i].IsNull()) fields_[static_cast<int>(i)].SetAsVariant(values[i]);
  }
  Post();
}

void TDataSet::InsertRecord(const std::vector<core::Variant>& values) {
  Insert();
  for (size_t i = 0; i < values.size() && i < static_cast<size_t>(fields_.Count()); ++i) {
    if (!values[i].IsNull()) fields_[static_cast<int>(i)].SetAsVariant(values[i]);
  }
  Post();
}

// ---- field values -----------------------------------------------------------------------

const TRecordBuffer* TDataSet::FieldBuffer() const {
  switch (state_) {
    case TDataSetState::dsCalcFields:
    case TDataSetState::dsFilter:
      return temp_buffer_;
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
      return &ActiveBuffer();
    case TDataSetState::dsBrowse:
      return record_count_ == 0 ? nullptr : &ActiveBuffer();
    default:
      return nullptr;
  }
}

TRecordBuffer* TDataSet::FieldBuffer() {
  return const_cast<TRecordBuffer*>(static_cast<const TDataSet*>(this)->FieldBuffer());
}

bool TDataSet::ReadField(const TField& field, core::Variant& out) const {
  const TRecordBuffer* buffer = FieldBuffer();
  if (!buffer) return false;
  if (field.calc_index_ >= 0) {
    const core::Variant& value = buffer->calc_values[static_cast<size_t>(field.calc_index_)];
    if (value.IsEmptyOrNull()) return false;
    out = value;
    return true;
  }
  if (field.field_no_ <= 0) return false;
  return GetFieldData(*buffer, field, out);
}

bool TDataSet::ReadFieldDouble(const TField& field, double& out) const {
  if (field.calc_index_ >= 0 || field.field_no_ <= 0) return false;
  const TRecordBuffer* buffer = FieldBuffer();
  return buffer && GetFieldDouble(*buffer, field, out);
}

void TDataSet::WriteField(TField& field, const core::Variant& value) {
  bool calculating = state_ == TDataSetState::dsCalcFields;
  if (calculating) {
    if (field.calc_index_ < 0) throw EDatabaseError(std::string(kNotEditing));
  } else {
    if (!IsEditState(state_)) throw EDatabaseError(std::string(kNotEditing));
    // A calculated value comes from OnCalcFields only.
    if (field.ReadOnly() || field.calc_index_ >= 0) {
      throw EDatabaseError(FieldReadOnlyText(field.FieldName()));
    }
  }
  if (field.OnValidate) field.OnValidate(field, value);
  TRecordBuffer* buffer = FieldBuffer();
  if (field.calc_index_ >= 0) {
    buffer->calc_values[static_cast<size_t>(field.calc_index_)] = value;
  } else {
    if (field.field_no_ <= 0) throw EDatabaseError(FieldNotFoundText(field.FieldName()));
    SetFieldData(*buffer, field, value);
  }
  if (calculating) return;
  modified_ = true;
  DataEvent(TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(&field));
  if (field.OnChange) field.OnChange(field);
}

std::string TDataSet::Translate(std::string_view text, bool) const { return std::string(text); }

// ---- blob streams ---------------------------------------------------------------------------

// The bytes of one field of the current record. Reading takes a copy when the stream is
// made; in a write mode every change is stored into the field at once, so the record holds
// what the stream holds whenever the caller posts.
class TFieldBlobStream final : public core::TStream {
 public:
  TFieldBlobStream(TField& field, std::string bytes, bool writing)
      : field_(field), bytes_(std::move(bytes)), writing_(writing) {}
  const char* ClassName() const override { return "TBlobStream"; }

  size_t Read(void* buffer, size_t count) override { return bytes_.Read(buffer, count); }
  void Write(const void* buffer, size_t count) override {
    if (!writing_) throw core::EStreamError("Stream write error");
    bytes_.Write(buffer, count);
    Store();
  }
  int64_t Seek(int64_t offset, core::SeekOrigin origin) override {
    return bytes_.Seek(offset, origin);
  }
  int64_t Size() override { return bytes_.Size(); }

 private:
  // Stored as they are: a stream carries the table's bytes, untranslated.
  void Store() {
    const std::string& bytes = bytes_.Bytes();
    field_.DataSet()->WriteField(field_,
                                 bytes.empty() ? core::Variant::Null() : core::Variant(bytes));
  }

  TField& field_;
  core::TMemoryStream bytes_;
  bool writing_;
};

std::unique_ptr<core::TStream> TDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  CheckActive();
  bool writing = mode != TBlobStreamMode::bmRead;
  if (writing) {
    if (!IsEditState(state_)) throw EDatabaseError(std::string(kNotEditing));
    if (field.ReadOnly()) throw EDatabaseError(FieldReadOnlyText(field.FieldName()));
  }
  std::string bytes;
  if (mode != TBlobStreamMode::bmWrite) {
    // The stored bytes, untranslated: a memo's text is the table's, as a file would hold it.
    core::Variant raw;
    if (ReadField(field, raw) && !raw.IsEmptyOrNull()) bytes = raw.AsString();
  }
  auto stream = std::make_unique<TFieldBlobStream>(field, std::move(bytes), writing);
  if (mode == TBlobStreamMode::bmWrite) {
    // A write stream starts empty: the field is cleared now, as a rewrite would leave it.
    WriteField(field, core::Variant::Null());
  }
  return stream;
}

}  // namespace lgoty::data
