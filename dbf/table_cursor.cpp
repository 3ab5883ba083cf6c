#include "dbf/table_cursor.h"

#include <algorithm>
#include <vector>

#include "dbf/dbf_errors.h"
#include "dbf/dbf_file.h"
#include "dbf/index_file.h"

namespace lgoty::dbf {

// ---- physical order -------------------------------------------------------------------------

// In shared modes the file's record count is re-read from the system on every request, so
// the cursor keeps the count it saw last and asks again only when it reaches that end.
uint64_t TPhysicalCursor::Count(bool refresh) {
  if (refresh || count_ == kUnknown) count_ = file_.RecordCount();
  return count_;
}

void TPhysicalCursor::Last() { position_ = Count(true) + 1; }

bool TPhysicalCursor::Next() {
  if (position_ >= Count(false) && position_ >= Count(true)) {
    position_ = Count(false) + 1;
    return false;
  }
  ++position_;
  return true;
}

bool TPhysicalCursor::Prior() {
  position_ = std::min(position_, Count(true) + 1);
  if (position_ <= 1) {
    position_ = 0;
    return false;
  }
  --position_;
  return true;
}

uint32_t TPhysicalCursor::PhysicalRecNo() {
  if (position_ == 0 || (position_ > Count(false) && position_ > Count(true))) return 0;
  return static_cast<uint32_t>(position_);
}

bool TPhysicalCursor::SetSequentialRecNo(int n) {
  if (n < 1 || static_cast<uint64_t>(n) > Count(true)) return false;
  position_ = static_cast<uint64_t>(n);
  return true;
}

int TPhysicalCursor::SequentialRecordCount() { return static_cast<int>(Count(true)); }

// ---- index order ----------------------------------------------------------------------------

void TIndexCursor::Select() {
  if (file_.SelectedTag() == &tag_) return;
  for (size_t i = 0; i < file_.TagCount(); ++i) {
    if (&file_.Tag(i) == &tag_) {
      file_.SelectTag(i);
      return;
    }
  }
  throw EDbfError("The index tag \"" + tag_.Name() + "\" is no longer open.");
}

bool TIndexCursor::Next() {
  if (state_ == State::Eof) return false;
  Select();
  const bool ok = state_ == State::Bof ? file_.First() : file_.Next();
  state_ = ok ? State::On : State::Eof;
  return ok;
}

bool TIndexCursor::Prior() {
  if (state_ == State::Bof) return false;
  Select();
  const bool ok = state_ == State::Eof ? file_.Last() : file_.Prior();
  state_ = ok ? State::On : State::Bof;
  return ok;
}

bool TIndexCursor::EntryHolds(std::span<std::byte> record) {
  if (state_ != State::On) return false;
  Select();
  return file_.CurrentEntryHolds(record);
}

uint32_t TIndexCursor::PhysicalRecNo() { return state_ == State::On ? tag_.RecNo() : 0; }

void TIndexCursor::SetPhysicalRecNo(uint32_t n) {
  Select();
  if (n != 0 && file_.GotoRecord(n) && tag_.RecNo() == n) {
    state_ = State::On;
    return;
  }
  // The record has no entry (a deleted record of a distinct tag, a record outside the
  // range): the cursor goes to where its key would be.
  std::vector<std::byte> record(file_.Table().RecordSize());
  if (n == 0 || file_.Table().ReadRecord(n, record) < record.size()) {
    state_ = State::Eof;
    return;
  }
  std::vector<std::byte> key(tag_.KeyOf(record).begin(), tag_.KeyOf(record).end());
  state_ = file_.Search(key, false) ? State::On : State::Eof;
}

int TIndexCursor::SequentialRecNo() {
  if (state_ != State::On) return 0;
  // The tag was brought up to date by the move that put the cursor here; its path gives the
  // estimate without reading the file again (which a shared file's calls would).
  return static_cast<int>(std::min<uint64_t>(tag_.EstimatedPosition(), INT32_MAX));
}

bool TIndexCursor::SetSequentialRecNo(int n) {
  Select();
  if (n < 1) return false;
  if (!file_.SeekPosition(static_cast<uint64_t>(n))) return false;
  state_ = State::On;
  return true;
}

int TIndexCursor::SequentialRecordCount() {
  Select();
  return static_cast<int>(std::min<uint64_t>(file_.EstimatedCount(), INT32_MAX));
}

bool TIndexCursor::Search(std::span<const std::byte> key, bool exact) {
  Select();
  if (!file_.Search(key, exact)) return false;
  state_ = State::On;
  return true;
}

std::span<const std::byte> TIndexCursor::CurrentKey() { return tag_.CurrentKey(); }

void TIndexCursor::SetRange(std::span<const std::byte> low, std::span<const std::byte> high) {
  Select();
  file_.SetRange(low, high);
  state_ = State::Bof;
}

void TIndexCursor::CancelRange() {
  tag_.CancelRange();
}

}  // namespace lgoty::dbf
