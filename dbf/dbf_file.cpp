#include "dbf/dbf_file.h"

#include <algorithm>
#include <cstring>

#include "core/date_time.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_header.h"
#include "dbf/field_codec.h"
#include "dbf/index_file.h"
#include "dbf/language_drivers.h"
#include "platform/system.h"

namespace lgoty::dbf {

using namespace dbf_layout;

namespace {

constexpr std::byte kSpace{0x20};
// Record numbers an appender tries past the count before it gives up: every one of them
// being locked by other appenders at the same moment means something is wrong.
constexpr uint32_t kMaxAppendProbes = 100'000;

// "_DBASELOCK" layout: a 16-bit change counter, the time and date of the lock, then the name
// of the user who holds it.
constexpr size_t kLockCounterOffset = 0;
constexpr size_t kLockHourOffset = 2;
constexpr size_t kLockMinuteOffset = 3;
constexpr size_t kLockSecondOffset = 4;
constexpr size_t kLockYearOffset = 5;
constexpr size_t kLockMonthOffset = 6;
constexpr size_t kLockDayOffset = 7;
constexpr size_t kLockUserOffset = 8;

bool IsValidLevel(int level) {
  return level == kTableLevel3 || level == kTableLevel4 || level == kTableLevel7 ||
         level == kTableLevelFoxPro;
}

TFileAccessMode CreatingCounterpart(TFileAccessMode mode) {
  if (IsMemoryMode(mode)) return TFileAccessMode::amMemoryNew;
  if (IsSharedMode(mode)) return TFileAccessMode::amSharedNew;
  return TFileAccessMode::amExclusiveNew;
}

// Opening an existing table never empties it, whatever mode a previous Create left behind.
TFileAccessMode ExistingCounterpart(TFileAccessMode mode) {
  switch (mode) {
    case TFileAccessMode::amMemoryNew:
      return TFileAccessMode::amMemoryExisting;
    case TFileAccessMode::amExclusiveNew:
      return TFileAccessMode::amExclusiveExisting;
    case TFileAccessMode::amSharedNew:
      return TFileAccessMode::amSharedExisting;
    default:
      return mode;
  }
}
}  // namespace

TFileAccessMode IndexOpenMode(TFileAccessMode data_mode) {
  switch (data_mode) {
    case TFileAccessMode::amMemoryNew:
    case TFileAccessMode::amMemoryExisting:
      return TFileAccessMode::amMemoryNew;
    case TFileAccessMode::amExclusiveNew:
    case TFileAccessMode::amExclusiveExisting:
      return TFileAccessMode::amExclusiveExisting;
    case TFileAccessMode::amSharedNew:
    case TFileAccessMode::amSharedExisting:
      return TFileAccessMode::amSharedExisting;
    default:
      return TFileAccessMode::amReadOnly;
  }
}

TFileAccessMode IndexCreateMode(TFileAccessMode data_mode) {
  switch (data_mode) {
    case TFileAccessMode::amMemoryNew:
    case TFileAccessMode::amMemoryExisting:
      return TFileAccessMode::amMemoryNew;
    case TFileAccessMode::amExclusiveNew:
    case TFileAccessMode::amExclusiveExisting:
      return TFileAccessMode::amExclusiveNew;
    case TFileAccessMode::amSharedNew:
    case TFileAccessMode::amSharedExisting:
      return TFileAccessMode::amSharedNew;
    default:
      return TFileAccessMode::amReadOnly;
  }
}

TDbfFile::TDbfFile() {
  SetHeaderIncluded(true);
  SetLockStyle(TLockStyle::RecordLockBytes);
}

TDbfFile::~TDbfFile() {
  try {
    TDbfFile::Close();
  } catch (...) {
  }
}

void TDbfFile::SetTableLevel(int level) {
  if (IsValidLevel(level) && !Active()) create_level_ = level;
}

void TDbfFile::ResetState() {
  has_autoinc_ = false;
  lock_field_ = -1;
  null_flags_field_ = -1;
  blank_record_.clear();
  old_image_.clear();
  locked_record_ = 0;
}

void TDbfFile::Abandon() {
  TDbfFile::Close();
  SetHeaderSize(0);
  SetRecordSize(0);
  open_abandoned_ = true;
}

void TDbfFile::Open() {
  if (Active()) Close();
  open_abandoned_ = false;
  ResetState();
  SetMode(ExistingCounterpart(Mode()));
  TPagedFile::Open();
  try {
    SetHeaderSize(kBaseHeaderSize);
    const uint8_t version = core::GetU8(Header(), kVersionOffset);
    const int level = TableLevelFromVersion(version, core::GetU8(Header(), kLanguageDriverOffset));
    if (level == 0) throw EDbfError(kInvalidDbfFile);
    const size_t header_length = core::GetU16LE(Header(), kHeaderLengthOffset);
    const size_t record_length = core::GetU16LE(Header(), kRecordLengthOffset);
    if (header_length == 0 || record_length == 0) {
      Abandon();
      return;
    }
    if (header_length < HeaderBaseSize(level)) throw EDbfError(kInvalidDbfFile);
    // The header must be in the file before any of it is believed: a header length beyond
    // the file's end would read zeros as descriptors and, once written back, grow the file.
    if (Stream().Size() < HeaderOffset() + header_length) throw EDbfError(kInvalidDbfFile);
    table_level_ = level;
    SetHeaderSize(header_length);
    SetRecordSize(record_length);

    bool rewrite = false;
    const uint32_t count = RecordCount();
    if (count != core::GetU32LE(Header(), kRecordCountOffset)) {
      core::PutU32LE(Header(), kRecordCountOffset, count);
      rewrite = true;
    }

    if (level == kTableLevel7) {
      std::string name = Level7LanguageName();
      table_code_page_ = CodePageOfLevel7Name(name);
      language_id_ = LdidOfLevel7Name(name);
    } else {
      language_id_ = core::GetU8(Header(), kLanguageDriverOffset);
      table_code_page_ = CodePageOfLdid(language_id_);
    }
    effective_code_page_ =
        table_code_page_ != 0 ? table_code_page_ : DbfGlobals().default_code_page;

    defs_ = TDbfFieldDefs(level, datetime_handling_);
    TParsedDescriptors parsed = ParseFieldDescriptors(Header(), level, defs_);
    // The header agrees with its descriptors or the file is not trusted at all: the
    // descriptor array ends with its terminator inside the header, and the record is the
    // deletion flag followed by the fields, packed. A header length or record length that
    // disagrees would place every record (and the 0x1A written after the last one) at the
    // wrong bytes. Nothing has been written yet, so a refused file stays as it was.
    if (defs_.Count() == 0 || !parsed.terminated ||
        static_cast<size_t>(parsed.record_length) != record_length) {
      throw EDbfError(kInvalidDbfFile);
    }
    for (int i = 0; i < defs_.Count(); ++i) {
      const TDbfFieldDef& def = defs_[i];
      if (static_cast<size_t>(def.Offset()) + static_cast<size_t>(def.Size()) > record_length) {
        throw EDbfError(kInvalidDbfFile);
      }
    }
    has_autoinc_ = parsed.has_autoinc;
    lock_field_ = parsed.lock_field;
    null_flags_field_ = parsed.null_flags_field;
    if (level == kTableLevel7) ReadFieldProperties(Header(), parsed.terminator_position, defs_);

    const bool has_memo = HasMemoFields(defs_);
    if (has_memo) OpenMemoFile(false, kDefaultMemoBlockSize);
    int new_version = -1;
    if (level != kTableLevelFoxPro) {
      new_version = has_memo ? (version | kMemoBit) : (version & ~kMemoBit);
      rewrite = true;
    }

    bool clear_production_index = false;
    if (!OpenProductionIndex(clear_production_index)) {
      Abandon();
      return;
    }
    rewrite = rewrite || clear_production_index;
    blank_record_ = BuildBlankRecord(defs_, record_length);
    if (rewrite) RewriteHeaderOnOpen(new_version, clear_production_index);
  } catch (...) {
    TDbfFile::Close();
    throw;
  }
}

void TDbfFile::OpenMemoFile(bool create, size_t block_size) {
  std::unique_ptr<TMemoFile> memo;
  if (table_level_ == kTableLevelFoxPro) {
    memo = std::make_unique<TFoxProMemoFile>();
  } else {
    const uint8_t version = core::GetU8(Header(), kVersionOffset);
    memo = std::make_unique<TDbaseMemoFile>(
        table_level_, !create && (version & kDbaseIVMemoBits) == kDbaseIVMemoBits);
  }
  const std::string name =
      platform::ChangeFileExt(FileName(), table_level_ == kTableLevelFoxPro ? ".fpt" : ".dbt");
  memo->SetFileName(name);
  TFileAccessMode mode = create ? CreatingCounterpart(Mode()) : Mode();
  memo->SetMode(mode);
  if (IsMemoryMode(mode)) {
    if (!create && mode == TFileAccessMode::amMemoryExisting && memo_memory_ == nullptr) {
      memo_ = std::make_unique<TNullMemoFile>();
      return;
    }
    memo->SetMemoryStream(memo_memory_);
  } else if (!create && !platform::FileExists(name)) {
    memo_ = std::make_unique<TNullMemoFile>();
    return;
  }
  memo->OpenMemo(block_size);
  memo_ = std::move(memo);
}

void TDbfFile::RewriteHeaderOnOpen(int version, bool clear_production_index) {
  // Other programs may be appending: the header is taken under its lock as they left it
  // (their count, their auto-increment values), and only what this open corrects is changed.
  const bool shared = IsShared();
  if (shared) {
    LockPage(0, true);
    ReadHeader();
  }
  if (version >= 0) core::PutU8(Header(), kVersionOffset, static_cast<uint8_t>(version));
  if (clear_production_index) core::PutU8(Header(), kProductionIndexOffset, 0);
  const uint32_t count = RecordCount();
  if (count != core::GetU32LE(Header(), kRecordCountOffset)) {
    core::PutU32LE(Header(), kRecordCountOffset, count);
  }
  WriteHeader();
  if (shared) UnlockPage(0);
}

bool TDbfFile::OpenProductionIndex(bool& clear_flag) {
  if (table_level_ == kTableLevelFoxPro || IsMemoryMode(Mode())) return true;
  if (core::GetU8(Header(), kProductionIndexOffset) == 0) return true;
  const std::string path = platform::ChangeFileExt(FileName(), ".mdx");
  if (platform::FileExists(path)) {
    try {
      std::unique_ptr<TRecordIndex> index =
          index_opener_ ? index_opener_(path, IndexOpenMode(Mode()), effective_code_page_)
                        : OpenProductionIndexFile(*this, path, IndexOpenMode(Mode()));
      if (index) indexes_.push_back(std::move(index));
    } catch (const std::exception&) {
      // An index that cannot be opened is dropped; the table opens without it.
    }
    return true;
  }
  bool delete_link = true;
  if (on_index_missing_) on_index_missing_(delete_link);
  if (!delete_link) return false;
  core::PutU8(Header(), kProductionIndexOffset, 0);
  clear_flag = true;
  return true;
}

void TDbfFile::Create(const TDbfFieldDefs& defs, uint8_t ldid, size_t memo_block_size) {
  if (Active()) Close();
  open_abandoned_ = false;
  ResetState();
  const int level = create_level_;
  TDbfFieldDefs new_defs(defs);
  new_defs.SetTableLevel(level);
  new_defs.SetDateTimeHandling(datetime_handling_);
  if (ldid == 0) ldid = DbfGlobals().default_ldid;
  // Everything that can refuse the definitions does so before the file is touched.
  std::vector<std::byte> header = BuildHeader(new_defs, level, ldid);

  SetMode(CreatingCounterpart(Mode()));
  TPagedFile::Open();
  try {
    table_level_ = level;
    defs_ = std::move(new_defs);
    SetHeaderSize(header.size());
    std::copy(header.begin(), header.end(), Header().begin());
    SetRecordSize(core::GetU16LE(header, kRecordLengthOffset));
    if (level == kTableLevel7) {
      std::string name = Level7LanguageName();
      table_code_page_ = CodePageOfLevel7Name(name);
      language_id_ = LdidOfLevel7Name(name);
    } else {
      language_id_ = level == kTableLevel3 ? 0 : ldid;
      table_code_page_ = CodePageOfLdid(language_id_);
    }
    effective_code_page_ =
        table_code_page_ != 0 ? table_code_page_ : DbfGlobals().default_code_page;
    for (int i = 0; i < defs_.Count(); ++i) {
      if (defs_[i].IsDbaseLock()) lock_field_ = i;
      if (defs_[i].IsNullFlags()) null_flags_field_ = i;
      if (level == kTableLevel7 && defs_[i].NativeFieldType() == '+') has_autoinc_ = true;
    }
    WriteHeader();
    // The new header goes to the file at once, also in exclusive mode, so that the file is
    // a valid table from this moment on.
    FlushHeader();
    if (HasMemoFields(defs_) && !memo_) OpenMemoFile(true, memo_block_size);
    blank_record_ = BuildBlankRecord(defs_, RecordSize());
  } catch (...) {
    TDbfFile::Close();
    throw;
  }
}

void TDbfFile::Close() {
  if (memo_) {
    try {
      memo_->CloseMemo();
    } catch (...) {
      memo_.reset();
      indexes_.clear();
      TPagedFile::Close();
      throw;
    }
    memo_.reset();
  }
  indexes_.clear();
  locked_record_ = 0;
  TPagedFile::Close();
}

std::string TDbfFile::Level7LanguageName() const {
  if (table_level_ != kTableLevel7 || HeaderSize() < kLevel7NameOffset + kLevel7NameSize) {
    return {};
  }
  std::string name;
  for (size_t i = 0; i < kLevel7NameSize; ++i) {
    char c = static_cast<char>(Header()[kLevel7NameOffset + i]);
    if (c == '\0') break;
    name.push_back(c);
  }
  return name;
}

void TDbfFile::WriteHeader() {
  StampHeaderDate(Header());
  TPagedFile::WriteHeader();
  if (!Active() || !Stream().IsWritable()) return;
  const std::byte eof{kEofMarker};
  WriteAt(RecordPosition(static_cast<uint64_t>(RecordCount()) + 1),
          std::span<const std::byte>(&eof, 1));
}

void TDbfFile::AddIndex(std::unique_ptr<TRecordIndex> index) {
  indexes_.push_back(std::move(index));
}

std::unique_ptr<TRecordIndex> TDbfFile::RemoveIndex(TRecordIndex* index) {
  auto it = std::find_if(indexes_.begin(), indexes_.end(),
                         [index](const auto& owned) { return owned.get() == index; });
  if (it == indexes_.end()) return nullptr;
  std::unique_ptr<TRecordIndex> removed = std::move(*it);
  indexes_.erase(it);
  return removed;
}

void TDbfFile::InitRecord(std::span<std::byte> buffer) const {
  size_t n = std::min(buffer.size(), blank_record_.size());
  std::memcpy(buffer.data(), blank_record_.data(), n);
}

void TDbfFile::FillDbaseLock(std::span<std::byte> record) const {
  if (lock_field_ < 0) return;
  const TDbfFieldDef& def = defs_[lock_field_];
  const size_t offset = static_cast<size_t>(def.Offset());
  const size_t size = static_cast<size_t>(def.Size());
  if (offset + size > record.size()) return;
  std::span<std::byte> field = record.subspan(offset, size);

  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
  const core::TDateTime now = core::Now();
  core::DecodeDate(now, year, month, day);
  core::DecodeTime(now, hour, minute, second, msec);
  std::byte prefix[kLockUserOffset] = {};
  uint16_t counter = size >= 2 ? core::GetU16LE(field.data()) : 0;
  core::PutU16LE(prefix + kLockCounterOffset, static_cast<uint16_t>(counter + 1));
  core::PutU8(prefix + kLockHourOffset, static_cast<uint8_t>(hour));
  core::PutU8(prefix + kLockMinuteOffset, static_cast<uint8_t>(minute));
  core::PutU8(prefix + kLockSecondOffset, static_cast<uint8_t>(second));
  core::PutU8(prefix + kLockYearOffset, static_cast<uint8_t>((year - 1900) & 0xFF));
  core::PutU8(prefix + kLockMonthOffset, static_cast<uint8_t>(month));
  core::PutU8(prefix + kLockDayOffset, static_cast<uint8_t>(day));
  std::memcpy(field.data(), prefix, std::min(size, kLockUserOffset));
  if (size <= kLockUserOffset) return;
  std::fill(field.begin() + kLockUserOffset, field.end(), kSpace);
  const std::string& user = DbfGlobals().user_name;
  const size_t n = std::min(user.size(), size - kLockUserOffset);
  std::memcpy(field.data() + kLockUserOffset, user.data(), n);
}

void TDbfFile::LockRecord(uint32_t n, std::span<std::byte> buffer) {
  if (!LockPage(n, false)) throw EDbfError(kRecordLocked);
  try {
    const size_t size = std::min(buffer.size(), RecordSize());
    InitRecord(buffer);
    ReadAt(RecordPosition(n), buffer.first(size));
    old_image_.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
    if (lock_field_ >= 0) {
      FillDbaseLock(buffer);
      WriteRecord(n, buffer.first(size));
    }
  } catch (...) {
    UnlockPage(n);
    throw;
  }
  locked_record_ = n;
}

void TDbfFile::CancelRecordLock(uint32_t n) {
  UnlockPage(n);
  if (locked_record_ == n) locked_record_ = 0;
}

void TDbfFile::ResetAllWriteErrors() {
  ResetWriteError();
  for (auto& index : indexes_) index->ResetWriteError();
}

void TDbfFile::UnlockRecord(uint32_t n, std::span<const std::byte> buffer) {
  if (locked_record_ != n || old_image_.size() != buffer.size()) {
    // Written back without having been locked through us: the file holds the old image.
    old_image_.assign(buffer.size(), kSpace);
    ReadAt(RecordPosition(n), old_image_);
  }
  // Changes the first `changed` indexes back from the new image to the old, last first.
  auto restore = [&](size_t changed) {
    for (size_t j = changed; j-- > 0;) {
      try {
        indexes_[j]->Update(n, buffer, old_image_);
      } catch (...) {
        // Restoring a key that was there a moment ago; nothing better can be done here.
      }
    }
  };
  for (size_t i = 0; i < indexes_.size(); ++i) {
    bool failed_write = false;
    try {
      indexes_[i]->Update(n, old_image_, buffer);
      failed_write = indexes_[i]->WriteError();
    } catch (...) {
      restore(i);
      throw;
    }
    if (failed_write) {
      restore(i + 1);
      ResetAllWriteErrors();
      throw EDbfWriteError(kWriteIndexError);
    }
  }
  WriteRecord(n, buffer);
  UnlockPage(n);
  if (locked_record_ == n) locked_record_ = 0;
  if (WriteError()) {
    ResetWriteError();
    throw EDbfWriteError(kWriteError);
  }
}

void TDbfFile::RecordDeleted(uint32_t n, std::span<const std::byte> buffer) {
  for (auto& index : indexes_) index->RecordDeleted(n, buffer);
}

void TDbfFile::AssignAutoIncValues(std::span<std::byte> record) {
  const bool shared = IsShared();
  if (shared) {
    LockPage(0, true);
    ReadHeader();
  }
  for (int i = 0; i < defs_.Count(); ++i) {
    TDbfFieldDef& def = defs_[i];
    if (def.NativeFieldType() != '+') continue;
    const size_t at = kLevel7BaseHeaderSize + kLevel7DescriptorSize * static_cast<size_t>(i) +
                      kLevel7AutoIncOffset;
    uint32_t next = shared ? core::GetU32LE(Header(), at) : def.AutoIncNext();
    EncodeAutoIncValue(record.data() + def.Offset(), next);
    core::PutU32LE(Header(), at, next + 1);
    def.SetAutoIncNext(next + 1);
  }
  WriteHeader();
  if (shared) UnlockPage(0);
}

uint32_t TDbfFile::Insert(std::span<std::byte> buffer) {
  const bool shared = IsShared();
  uint32_t n = RecordCount() + 1;
  if (shared) {
    // Another appender may hold record n or have written it and released its lock between
    // our count and our lock; holding the lock, the count read again tells whether n is
    // still free. An appender never skips past a record another one holds: if it took n + 1
    // and wrote it first, the holder of n would see the count past n, move on, and leave
    // record n a hole.
    uint32_t probes = 0;
    for (;;) {
      LockPage(n, true);
      const uint32_t count = RecordCount();
      if (n > count) break;
      UnlockPage(n);
      if (++probes >= kMaxAppendProbes) throw EDbfError(kRecordLocked);
      n = count + 1;
    }
  }

  try {
    if (has_autoinc_) AssignAutoIncValues(buffer);
  } catch (...) {
    UnlockPage(n);
    throw;
  }

  // Keys first: a refused key leaves the table untouched.
  size_t inserted = 0;
  for (; inserted < indexes_.size(); ++inserted) {
    bool failed_write = false;
    try {
      indexes_[inserted]->Insert(n, buffer);
      failed_write = indexes_[inserted]->WriteError();
    } catch (...) {
      UnlockPage(n);
      for (size_t j = inserted; j-- > 0;) indexes_[j]->Delete(n, buffer);
      ResetAllWriteErrors();
      throw;
    }
    if (failed_write) {
      UnlockPage(n);
      for (size_t j = inserted + 1; j-- > 0;) indexes_[j]->Delete(n, buffer);
      ResetAllWriteErrors();
      throw EDbfWriteError(kWriteIndexError);
    }
  }

  if (on_keys_written_) on_keys_written_(n);

  // Keys go before the row: a process that dies in between leaves keys for a record that is
  // not there. Readers pass over an entry whose record does not hold it, and the next append
  // that takes the record number keeps or replaces such an entry (TIndexFile::Insert).
  // The count in the header, the end-of-file byte and the record itself are written under
  // the header lock, so that appenders and readers of the count agree (invariant 4).
  LockPage(0, true);
  if (shared) ReadHeader();
  core::PutU32LE(Header(), kRecordCountOffset, core::GetU32LE(Header(), kRecordCountOffset) + 1);
  WriteHeader();
  if (!WriteError()) {
    FillDbaseLock(buffer);
    WriteRecord(n, buffer);
  }
  if (WriteError()) {
    if (shared) ReadHeader();
    uint32_t count = core::GetU32LE(Header(), kRecordCountOffset);
    if (count > 0) core::PutU32LE(Header(), kRecordCountOffset, count - 1);
    ResetWriteError();
    WriteHeader();
    UnlockPage(0);
    UnlockPage(n);
    // The keys of a record that is not there would point at nothing.
    for (size_t j = indexes_.size(); j-- > 0;) indexes_[j]->Delete(n, buffer);
    ResetAllWriteErrors();
    throw EDbfWriteError(kWriteError);
  }
  UnlockPage(0);
  UnlockPage(n);
  return n;
}

void TDbfFile::TryExclusive() {
  TPagedFile::TryExclusive();
  const auto mode = static_cast<int>(Mode());
  if (mode < 1 || mode > 4) return;
  for (auto& index : indexes_) {
    if (TPagedFile* file = index->File()) file->TryExclusive();
  }
  if (memo_) memo_->TryExclusive();
}

void TDbfFile::EndExclusive() {
  for (auto& index : indexes_) {
    if (TPagedFile* file = index->File()) file->EndExclusive();
  }
  if (memo_) memo_->EndExclusive();
  TPagedFile::EndExclusive();
}

}  // namespace lgoty::dbf
