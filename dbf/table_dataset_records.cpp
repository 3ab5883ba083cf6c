// TDbf: the dataset hooks over records - reading in the cursor's order with the deleted and
// filter rules, field data, bookmarks, numbering, and editing through the data file, which
// keeps the indexes in step.
#include <cstring>

#include "data/database_error.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_parser.h"
#include "dbf/field_codec.h"
#include "dbf/table_cursor.h"
#include "dbf/table_dataset.h"

namespace lgoty::dbf {

namespace {

constexpr std::byte kDeletedFlag{'*'};
constexpr size_t kBookmarkSize = 4;
constexpr uint32_t kLastRecordBookmark = UINT32_MAX;

data::TBookmark BookmarkOf(uint32_t n) {
  std::string bytes(kBookmarkSize, '\0');
  core::PutU32LE(std::span<std::byte>(reinterpret_cast<std::byte*>(bytes.data()), bytes.size()), 0, n);
  return data::TBookmark(std::move(bytes));
}

uint32_t RecordOf(const data::TBookmark& bookmark) {
  const std::string& bytes = bookmark.Bytes();
  if (bytes.size() != kBookmarkSize) throw data::EDatabaseError(std::string(data::kBookmarkNotFound));
  return core::GetU32LE(std::span<const std::byte>(reinterpret_cast<const std::byte*>(bytes.data()),
                                             bytes.size()),
                  0);
}

}  // namespace

TDbf::Buffer& TDbf::Cast(data::TRecordBuffer& buffer) const { return static_cast<Buffer&>(buffer); }
const TDbf::Buffer& TDbf::Cast(const data::TRecordBuffer& buffer) const {
  return static_cast<const Buffer&>(buffer);
}

std::unique_ptr<data::TRecordBuffer> TDbf::AllocRecordBuffer() {
  auto buffer = std::make_unique<Buffer>();
  buffer->record.assign(file_ ? file_->RecordSize() : 0, std::byte{' '});
  buffer->blobs.resize(static_cast<size_t>(memo_count_));
  return buffer;
}

void TDbf::ResetBlobs(Buffer& buffer) const {
  for (TDbfBlobSlot& slot : buffer.blobs) slot.Reset();
}

TIndexCursor* TDbf::IndexCursor() const {
  return cursor_ ? cursor_->AsIndexCursor() : nullptr;
}

bool TDbf::ReadInto(Buffer& buffer, uint32_t n) {
  ResetBlobs(buffer);
  buffer.physical = n;
  return n != 0 && file_->ReadRecord(n, buffer.record) == buffer.record.size();
}

// ---- movement -------------------------------------------------------------------------------

void TDbf::InternalFirst() { cursor_->First(); }
void TDbf::InternalLast() { cursor_->Last(); }

data::TGetResult TDbf::InternalGetRecord(data::TRecordBuffer& buffer, data::TGetMode mode) {
  TIndexCursor* index = IndexCursor();
  Buffer& b = Cast(buffer);
  for (;;) {
    switch (mode) {
      case data::TGetMode::gmNext:
        if (!cursor_->Next()) return data::TGetResult::grEOF;
        break;
      case data::TGetMode::gmPrior:
        if (!cursor_->Prior()) return data::TGetResult::grBOF;
        break;
      case data::TGetMode::gmCurrent:
        break;
    }
    if (!index) break;
    // In index order an entry counts only when its record holds it: the entry of a row
    // another program is still appending, or one an appender left when it died between
    // its keys and its row, is passed over (TIndexFile::CurrentEntryHolds).
    ResetBlobs(b);
    b.physical = cursor_->PhysicalRecNo();
    if (b.physical != 0 && index->EntryHolds(b.record)) {
      b.sequential = cursor_->SequentialRecNo();
      return data::TGetResult::grOK;
    }
    if (mode == data::TGetMode::gmCurrent) return data::TGetResult::grError;
  }
  const uint32_t n = cursor_->PhysicalRecNo();
  if (!ReadInto(b, n)) {
    if (mode == data::TGetMode::gmCurrent) return data::TGetResult::grError;
    // An index entry naming a record the file does not hold: damaged index.
    throw EDbfError("The index names record " + std::to_string(n) +
                    ", which the table does not hold.");
  }
  b.sequential = cursor_->SequentialRecNo();
  return data::TGetResult::grOK;
}

bool TDbf::RecordFilter(const data::TRecordBuffer& buffer) {
  const Buffer& b = Cast(buffer);
  if (!show_deleted_ && !b.record.empty() && b.record[0] == kDeletedFlag) return false;
  if (Filtered() && filter_) return filter_->Evaluate(b.record).boolean != 0;
  return true;
}

void TDbf::InternalSetToRecord(const data::TRecordBuffer& buffer) {
  cursor_->SetPhysicalRecNo(Cast(buffer).physical);
}

// ---- bookmarks and numbers ------------------------------------------------------------------

data::TBookmark TDbf::GetBookmarkData(const data::TRecordBuffer& buffer) const {
  return BookmarkOf(Cast(buffer).physical);
}

void TDbf::InternalGotoBookmark(const data::TBookmark& bookmark) {
  const uint32_t n = RecordOf(bookmark);
  if (n == 0) {
    cursor_->First();
    cursor_->Next();
  } else if (n == kLastRecordBookmark) {
    cursor_->Last();
    cursor_->Prior();
  } else {
    if (n > file_->RecordCount()) throw data::EDatabaseError(std::string(data::kRecordNotFound));
    cursor_->SetPhysicalRecNo(n);
  }
}

int TDbf::CompareBookmarkData(const data::TBookmark& a, const data::TBookmark& b) const {
  const uint32_t x = RecordOf(a);
  const uint32_t y = RecordOf(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

int TDbf::GetRecordCount() { return cursor_->SequentialRecordCount(); }

int TDbf::GetRecNo(const data::TRecordBuffer& buffer) const { return Cast(buffer).sequential; }

bool TDbf::InternalSetRecNo(int rec_no) { return cursor_->SetSequentialRecNo(rec_no); }

// ---- field data -----------------------------------------------------------------------------

const TDbfFieldDef& TDbf::DefOf(const data::TField& field) const {
  const int i = field.FieldNo() - 1;
  const TDbfFieldDefs& defs = file_->FieldDefs();
  if (i < 0 || i >= defs.Count()) {
    throw data::EDatabaseError(data::FieldNotFoundText(field.FieldName()));
  }
  return defs[i];
}

uint32_t TDbf::MemoBlockOf(const Buffer& buffer, int def_index) const {
  const TDbfFieldDefs& defs = file_->FieldDefs();
  const TDbfFieldDef& def = defs[def_index];
  TFieldValue v;
  if (!dbf::GetFieldData(defs, def, def.FieldType(), buffer.record, &v)) return 0;
  return v.integer > 0 && v.integer <= INT32_MAX ? static_cast<uint32_t>(v.integer) : 0;
}

TDbfBlobSlot& TDbf::SlotOf(const Buffer& buffer, int def_index) const {
  const int slot = memo_slot_of_def_.at(static_cast<size_t>(def_index));
  TDbfBlobSlot& s = buffer.blobs.at(static_cast<size_t>(slot));
  if (!s.loaded) s.Load(file_->MemoFile(), MemoBlockOf(buffer, def_index));
  return s;
}

bool TDbf::GetFieldData(const data::TRecordBuffer& buffer, const data::TField& field,
                        core::Variant& out) const {
  const Buffer& b = Cast(buffer);
  const TDbfFieldDef& def = DefOf(field);
  if (def.IsBlob()) {
    const TDbfBlobSlot& slot = SlotOf(b, field.FieldNo() - 1);
    if (slot.data.empty()) return false;
    out = core::Variant(slot.data);
    return true;
  }
  const TDbfFieldDefs& defs = file_->FieldDefs();
  const data::TFieldType type = def.FieldType();
  if (def.NullPosition() >= 0 && !dbf::GetFieldData(defs, def, type, b.record, nullptr)) {
    return false;
  }
  TFieldValue value;
  if (!dbf::GetFieldData(defs, def, type, b.record, &value)) return false;
  out = FieldValueToVariant(type, value);
  return true;
}

// The Float class but for currency (whose Variant is scaled): GetFieldData's Variant is then
// Variant(value.real) or null, so the number itself is the answer.
bool TDbf::GetFieldDouble(const data::TRecordBuffer& buffer, const data::TField& field,
                          double& out) const {
  const TDbfFieldDef& def = DefOf(field);
  const data::TFieldType type = def.FieldType();
  if (def.IsBlob() || ValueClassOf(type) != TValueClass::Float || type == data::TFieldType::ftCurrency)
    return false;
  const Buffer& b = Cast(buffer);
  const TDbfFieldDefs& defs = file_->FieldDefs();
  TFieldValue value;
  const bool present = (def.NullPosition() < 0 || dbf::GetFieldData(defs, def, type, b.record, nullptr)) &&
                       dbf::GetFieldData(defs, def, type, b.record, &value);
  out = present ? value.real : 0;
  return true;
}

void TDbf::SetFieldData(data::TRecordBuffer& buffer, const data::TField& field,
                        const core::Variant& value) {
  Buffer& b = Cast(buffer);
  const TDbfFieldDef& def = DefOf(field);
  if (def.IsBlob()) {
    TDbfBlobSlot& slot = SlotOf(b, field.FieldNo() - 1);
    slot.data = value.IsEmptyOrNull() ? std::string() : value.AsString();
    slot.dirty = true;
    return;
  }
  SetFieldVariant(file_->FieldDefs(), def, def.FieldType(), b.record, value);
}

void TDbf::FlushBlobs(Buffer& buffer) {
  const TDbfFieldDefs& defs = file_->FieldDefs();
  for (int i = 0; i < defs.Count(); ++i) {
    const int slot = memo_slot_of_def_[static_cast<size_t>(i)];
    if (slot < 0 || !buffer.blobs[static_cast<size_t>(slot)].dirty) continue;
    const uint32_t present = MemoBlockOf(buffer, i);
    const uint32_t block = buffer.blobs[static_cast<size_t>(slot)].Flush(file_->MemoFile(), present);
    TFieldValue v;
    v.integer = block;
    dbf::SetFieldData(defs, defs[i], defs[i].FieldType(), buffer.record, block == 0 ? nullptr : &v);
  }
}

// ---- editing --------------------------------------------------------------------------------

void TDbf::InternalInitRecord(data::TRecordBuffer& buffer) {
  Buffer& b = Cast(buffer);
  file_->InitRecord(b.record);
  b.physical = 0;
  b.sequential = 0;
  ResetBlobs(b);
}

void TDbf::InternalEdit() {
  Buffer& b = Cast(ActiveBuffer());
  ResetBlobs(b);
  file_->LockRecord(b.physical, b.record);
  edit_lock_ = b.physical;
}

void TDbf::InternalInsert() {}

void TDbf::InternalPost() {
  Buffer& b = Cast(ActiveBuffer());
  FlushBlobs(b);
  uint32_t n;
  if (State() == data::TDataSetState::dsEdit) {
    n = edit_lock_ != 0 ? edit_lock_ : b.physical;
    file_->UnlockRecord(n, b.record);
    edit_lock_ = 0;
  } else {
    // New records always go to the end of the file; an index order places them by key.
    n = file_->Insert(b.record);
    b.physical = n;
  }
  cursor_->SetPhysicalRecNo(n);
}

void TDbf::InternalCancel() {
  if (State() == data::TDataSetState::dsEdit || State() == data::TDataSetState::dsInsert) {
    ResetBlobs(Cast(ActiveBuffer()));
  }
  if (edit_lock_ != 0) {
    const uint32_t n = edit_lock_;
    edit_lock_ = 0;
    file_->CancelRecordLock(n);
  }
}

void TDbf::InternalDelete() {
  const uint32_t n = Cast(ActiveBuffer()).physical;
  std::vector<std::byte> image(file_->RecordSize());
  file_->LockRecord(n, image);
  try {
    image[0] = kDeletedFlag;
    // Writing the image back tells every index: a distinct tag drops the key of a record
    // marked deleted, the others keep it.
    file_->UnlockRecord(n, image);
  } catch (...) {
    file_->CancelRecordLock(n);
    throw;
  }
  cursor_->SetPhysicalRecNo(n);
}

void TDbf::InternalRefresh() { file_->DropReadAhead(); }

// ---- filter ---------------------------------------------------------------------------------

void TDbf::FilterTextChanged() {
  // While closed the text is only stored; opening compiles it.
  if (!file_) return;
  if (Filter().empty()) {
    filter_.reset();
    return;
  }
  auto parser = MakeFilterParser(*file_);
  parser->SetCaseInsensitive(FilterOptions().foCaseInsensitive);
  parser->SetPartialMatch(!FilterOptions().foNoPartialCompare);
  parser->CompileExpression(Filter());
  if (parser->ResultType() != TExpressionType::etBoolean) {
    throw EDbfError("The filter \"" + Filter() + "\" is not a condition.");
  }
  filter_ = std::move(parser);
}

}  // namespace lgoty::dbf
