#include "dbf/paged_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "dbf/dbf_errors.h"

namespace lgoty::dbf {

namespace {

// Bytes read at once by a sequential scan.
constexpr size_t kReadAheadBytes = 64 * 1024;
// How long a read-ahead window may serve a scan of a file that others may change.
constexpr auto kSharedWindowLifetime = std::chrono::milliseconds(50);
// Pause between attempts of a waiting lock.
constexpr auto kLockRetryPause = std::chrono::milliseconds(10);

// Whether other handles may write the file while we hold it open.
bool OthersMayWrite(TFileAccessMode mode) {
  return mode == TFileAccessMode::amNone || IsSharedMode(mode);
}

}  // namespace

bool IsMemoryMode(TFileAccessMode mode) {
  return mode == TFileAccessMode::amMemoryNew || mode == TFileAccessMode::amMemoryExisting;
}

bool IsCreatingMode(TFileAccessMode mode) {
  return mode == TFileAccessMode::amMemoryNew || mode == TFileAccessMode::amExclusiveNew ||
         mode == TFileAccessMode::amSharedNew;
}

bool IsSharedMode(TFileAccessMode mode) {
  return mode == TFileAccessMode::amSharedNew || mode == TFileAccessMode::amSharedExisting ||
         mode == TFileAccessMode::amReadOnly;
}

TPagedFile::TPagedFile() = default;

TPagedFile::~TPagedFile() {
  // A destructor must not throw; a failing header write at this point is lost just as a
  // failing close of the operating system would be.
  try {
    TPagedFile::Close();
  } catch (...) {
  }
}

void TPagedFile::Open() {
  if (active_) return;
  open_mode_ = mode_;
  if (IsMemoryMode(mode_)) {
    platform::MemoryFile* memory = borrowed_memory_;
    if (memory == nullptr) {
      if (!private_memory_) private_memory_ = std::make_unique<platform::MemoryFile>(file_name_);
      memory = private_memory_.get();
    }
    if (mode_ == TFileAccessMode::amMemoryNew) memory->SetSize(0);
    stream_ = memory;
  } else {
    bool exists = platform::FileExists(file_name_);
    if (!exists && auto_create_) {
      if (mode_ == TFileAccessMode::amExclusiveExisting) {
        mode_ = TFileAccessMode::amExclusiveNew;
      } else if (mode_ == TFileAccessMode::amSharedExisting ||
                 mode_ == TFileAccessMode::amReadOnly) {
        mode_ = TFileAccessMode::amSharedNew;
      }
    }
    if (!exists && !IsCreatingMode(mode_)) {
      mode_ = open_mode_;
      throw EDbfError(FileNotFoundMessage(file_name_));
    }
    platform::FileAccess access = platform::FileAccess::ReadWrite;
    platform::FileShare share = platform::FileShare::DenyNone;
    switch (mode_) {
      case TFileAccessMode::amNone:
      case TFileAccessMode::amReadOnly:
        access = platform::FileAccess::Read;
        break;
      case TFileAccessMode::amExclusiveNew:
      case TFileAccessMode::amExclusiveExisting:
        share = platform::FileShare::DenyWrite;
        break;
      default:
        break;
    }
    platform::FileCreate create = IsCreatingMode(mode_) ? platform::FileCreate::CreateAlways
                                                        : platform::FileCreate::OpenExisting;
    try {
      owned_stream_ = platform::DiskFile::Open(file_name_, access, share, create);
    } catch (...) {
      mode_ = open_mode_;
      throw;
    }
    stream_ = owned_stream_.get();
  }
  file_size_ = stream_->Size();
  shared_ = IsSharedMode(mode_);
  active_ = true;
  file_locked_ = false;
  position_ = 0;
  window_count_ = 0;
  last_read_ = 0;
}

void TPagedFile::Close() {
  if (!active_) return;
  try {
    FlushHeader();
  } catch (...) {
    if (file_locked_) UnlockAllPages();
    owned_stream_.reset();
    stream_ = nullptr;
    mode_ = open_mode_;
    active_ = false;
    throw;
  }
  if (file_locked_) UnlockAllPages();
  owned_stream_.reset();
  stream_ = nullptr;
  mode_ = open_mode_;
  active_ = false;
  window_count_ = 0;
}

void TPagedFile::SetHeaderSize(size_t size) {
  header_.assign(size, std::byte{0});
  header_modified_ = false;
  if (active_) ReadHeader();
}

void TPagedFile::SetRecordSize(size_t size) {
  record_size_ = size;
  page_size_ = size;
  window_count_ = 0;
}

void TPagedFile::SetPageSize(size_t size) {
  page_size_ = size;
  window_count_ = 0;
}

uint64_t TPagedFile::RecordPosition(uint64_t n) const {
  if (header_included_) {
    return header_offset_ + header_.size() + (n == 0 ? 0 : (n - 1) * page_size_);
  }
  return n * page_size_;
}

void TPagedFile::RefreshFileSize() {
  if (stream_ != nullptr) file_size_ = stream_->Size();
}

uint32_t TPagedFile::RecordCount() {
  if (!active_ || page_size_ == 0) return 0;
  if (shared_) RefreshFileSize();
  uint64_t count = 0;
  if (header_included_) {
    uint64_t start = header_offset_ + header_.size();
    count = file_size_ > start ? (file_size_ - start) / page_size_ : 0;
  } else {
    count = file_size_ / page_size_;
  }
  return static_cast<uint32_t>(std::min<uint64_t>(count, UINT32_MAX));
}

void TPagedFile::SetRecordCount(uint32_t count) {
  uint64_t size = header_included_ ? header_offset_ + header_.size() + count * page_size_
                                   : static_cast<uint64_t>(count) * page_size_;
  stream_->SetSize(size);
  file_size_ = size;
  window_count_ = 0;
}

void TPagedFile::SetFileSize(uint64_t size) {
  stream_->SetSize(size);
  file_size_ = size;
  window_count_ = 0;
}

size_t TPagedFile::FillWindow(uint64_t n) {
  size_t per_window = std::max<size_t>(1, kReadAheadBytes / record_size_);
  window_.resize(per_window * record_size_);
  size_t got = stream_->ReadAt(RecordPosition(n), window_);
  window_first_ = n;
  window_count_ = got / record_size_;
  return window_count_;
}

size_t TPagedFile::ReadRecord(uint64_t n, std::span<std::byte> buffer) {
  if (n == 0 || record_size_ == 0 || page_size_ != record_size_) {
    return ReadAt(RecordPosition(n), buffer.first(std::min(buffer.size(), record_size_)));
  }
  size_t wanted = std::min(buffer.size(), record_size_);
  bool sequential = n == last_read_ + 1;
  bool volatile_file = OthersMayWrite(mode_);
  if (volatile_file && window_count_ > 0 &&
      std::chrono::steady_clock::now() - window_time_ > kSharedWindowLifetime) {
    window_count_ = 0;
  }
  bool in_window = window_count_ > 0 && n >= window_first_ && n - window_first_ < window_count_;
  if (!in_window || (volatile_file && !sequential)) {
    if (!sequential) {
      last_read_ = n;
      return ReadAt(RecordPosition(n), buffer.first(wanted));
    }
    if (FillWindow(n) == 0) {
      last_read_ = n;
      // Not a whole record left: hand back what there is.
      return ReadAt(RecordPosition(n), buffer.first(wanted));
    }
    if (volatile_file) window_time_ = std::chrono::steady_clock::now();
  }
  std::memcpy(buffer.data(), window_.data() + (n - window_first_) * record_size_, wanted);
  last_read_ = n;
  return wanted;
}

void TPagedFile::WriteRecord(uint64_t n, std::span<const std::byte> data) {
  WriteAt(RecordPosition(n), data);
}

size_t TPagedFile::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  // A byte-range lock never blocks reading on this system (locks are advisory), so the
  // retry on a lock violation that mandatory-lock systems need does not arise here.
  return stream_->ReadAt(offset, buffer);
}

void TPagedFile::WriteAt(uint64_t offset, std::span<const std::byte> data) {
  window_count_ = 0;
  size_t written = stream_->WriteAt(offset, data);
  if (written < data.size()) write_error_ = true;
  if (written > 0) file_size_ = std::max(file_size_, offset + written);
}

void TPagedFile::ReadHeader() {
  if (header_.empty() || stream_ == nullptr) return;
  size_t got = stream_->ReadAt(header_offset_, header_);
  std::fill(header_.begin() + static_cast<std::ptrdiff_t>(got), header_.end(), std::byte{0});
  header_modified_ = false;
}

void TPagedFile::WriteHeader() {
  header_modified_ = true;
  if (shared_) FlushHeader();
}

void TPagedFile::FlushHeader() {
  if (!header_modified_) return;
  header_modified_ = false;
  if (stream_ == nullptr || !stream_->IsWritable()) return;
  WriteAt(header_offset_, header_);
}

void TPagedFile::LockRangeOf(uint64_t n, uint64_t& offset, uint64_t& length) const {
  if (lock_style_ == TLockStyle::RecordLockBytes) {
    offset = (kRecordLockBase - n) & 0xFFFF'FFFFull;
    length = 1;
  } else {
    offset = RecordPosition(n);
    length = page_size_ ? page_size_ : 1;
  }
}

bool TPagedFile::TryLockRange(uint64_t offset, uint64_t length, bool wait) {
  for (;;) {
    switch (stream_->Lock(offset, length)) {
      case platform::LockResult::Granted:
        return true;
      case platform::LockResult::Failed:
        return false;
      case platform::LockResult::Violation:
        if (!wait) return false;
        std::this_thread::sleep_for(kLockRetryPause);
        break;
    }
  }
}

bool TPagedFile::LockPage(uint64_t n, bool wait) {
  if (!active_ || !shared_ || file_locked_) return true;
  uint64_t offset = 0, length = 0;
  LockRangeOf(n, offset, length);
  return TryLockRange(offset, length, wait);
}

void TPagedFile::UnlockPage(uint64_t n) {
  if (!active_ || !shared_ || file_locked_) return;
  uint64_t offset = 0, length = 0;
  LockRangeOf(n, offset, length);
  stream_->Unlock(offset, length);
}

bool TPagedFile::LockAllPages(bool wait) {
  if (!active_ || !shared_) return true;
  if (file_locked_) return true;
  bool ok = lock_style_ == TLockStyle::RecordLockBytes
                ? TryLockRange(kRecordLockRangeStart, kRecordLockRangeLength, wait)
                : TryLockRange(0, kPageLockRangeLength, wait);
  file_locked_ = ok;
  return ok;
}

void TPagedFile::UnlockAllPages() {
  if (!file_locked_) return;
  file_locked_ = false;
  if (lock_style_ == TLockStyle::RecordLockBytes) {
    stream_->Unlock(kRecordLockRangeStart, kRecordLockRangeLength);
  } else {
    stream_->Unlock(0, kPageLockRangeLength);
  }
}

// Only the stream is reopened: owners keep their parsed state (fields, memo and index
// files) across a switch of the access mode, hence the non-virtual calls.
void TPagedFile::ReopenIn(TFileAccessMode mode) {
  TPagedFile::Close();
  mode_ = mode;
  TPagedFile::Open();
  if (!header_.empty()) ReadHeader();
}

void TPagedFile::TryExclusive() {
  if (exclusive_switched_ || !active_ || !IsSharedMode(mode_)) return;
  return_mode_ = mode_ == TFileAccessMode::amReadOnly ? TFileAccessMode::amReadOnly
                                                      : TFileAccessMode::amSharedExisting;
  try {
    ReopenIn(TFileAccessMode::amExclusiveExisting);
    exclusive_switched_ = true;
  } catch (const platform::EFileError&) {
    ReopenIn(return_mode_);
  }
}

void TPagedFile::EndExclusive() {
  if (!exclusive_switched_) return;
  exclusive_switched_ = false;
  ReopenIn(return_mode_);
}

void TPagedFile::CheckExclusiveAccess() const {
  if (shared_) throw EDbfError(kNeedExclusiveAccess);
}

int TPagedFile::ReadByte() {
  std::byte b{};
  if (ReadAt(position_, std::span<std::byte>(&b, 1)) != 1) return -1;
  ++position_;
  return static_cast<int>(b);
}

void TPagedFile::WriteByte(uint8_t value) {
  std::byte b{value};
  WriteAt(position_, std::span<const std::byte>(&b, 1));
  ++position_;
}

}  // namespace lgoty::dbf
