// TPagedFile: a file seen as a header followed by fixed-size records (pages), the common base
// of the data file, the index files and the memo files.
//
// Layout. With the header-included flag set (the data file) record n, numbered from 1,
// starts at
//     header offset + header size + (n - 1) x page size;
// with it clear (index and memo files, whose page 0 is their header) record n starts at
//     n x page size.
// A record is record size bytes long; record size is a whole multiple of the page size
// (pages per record = record size / page size, 1 for the data file).
//
// Access modes (TFileAccessMode):
//
//   value  name                 creates/empties  shared (locks)  opened as
//   0      amNone               no               no              read only, others read+write
//   1      amMemoryNew          yes              no              memory stream
//   2      amMemoryExisting     no               no              memory stream
//   3      amExclusiveNew       yes              no              read+write, others read only
//   4      amExclusiveExisting  no               no              read+write, others read only
//   5      amSharedNew          yes              yes             read+write, others read+write
//   6      amSharedExisting     no               yes             read+write, others read+write
//   7      amReadOnly           no               yes             read only, others read+write
//
// Locks (shared modes only; in other modes every lock is granted at once). A lock is an
// exclusive byte-range lock of the operating system, held per open handle:
//   - record-lock-byte style (the data file): record n (0 = the header) is the single byte at
//     0xEFFFFFFE - n, far beyond any real data, so readers are never blocked; the whole-file
//     lock is the range [0xEFFFFFFE - 1000000000, +1000000002);
//   - page style (index and memo files): page n is the real bytes of the page, one page size
//     long from its position; the whole-file lock is [0, 0x7FFFFFFF).
// While a whole-file lock is held every page lock is granted without asking the system.
//
// Record count. In shared modes other programs append, so the file size is re-read on every
// request; the count is the number of whole records the file holds. Writes that store fewer
// bytes than asked set a sticky write-error flag which only ResetWriteError clears.
//
// Reads of records go through a read-ahead window: a sequential scan (record n after record
// n - 1) is served from one large read. In shared modes only strictly sequential reads use
// the window, so re-reading or jumping to a record always goes to the file and sees other
// programs' changes. Every write through this class updates or drops the window.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"

namespace lgoty::dbf {

enum class TFileAccessMode : uint8_t {
  amNone = 0,
  amMemoryNew = 1,
  amMemoryExisting = 2,
  amExclusiveNew = 3,
  amExclusiveExisting = 4,
  amSharedNew = 5,
  amSharedExisting = 6,
  amReadOnly = 7,
};

bool IsMemoryMode(TFileAccessMode mode);
bool IsCreatingMode(TFileAccessMode mode);
bool IsSharedMode(TFileAccessMode mode);

enum class TLockStyle {
  RecordLockBytes,  // data file: one byte per record far beyond the data
  PageBytes,        // index and memo files: the bytes of the page itself
};

// Lock byte of record n of a data file (0 = the header).
inline constexpr uint64_t kRecordLockBase = 0xEFFF'FFFEull;
// Whole-file lock range of a data file.
inline constexpr uint64_t kRecordLockMaxRecords = 1'000'000'000ull;
inline constexpr uint64_t kRecordLockRangeStart = kRecordLockBase - kRecordLockMaxRecords;
inline constexpr uint64_t kRecordLockRangeLength = kRecordLockMaxRecords + 2;
// Whole-file lock range of index and memo files.
inline constexpr uint64_t kPageLockRangeLength = 0x7FFF'FFFFull;

inline constexpr uint8_t kEofMarker = 0x1A;

class TPagedFile {
 public:
  TPagedFile();
  TPagedFile(const TPagedFile&) = delete;
  TPagedFile& operator=(const TPagedFile&) = delete;
  virtual ~TPagedFile();

  // ---- configuration (while closed) --------------------------------------------------------
  void SetFileName(std::string name) { file_name_ = std::move(name); }
  const std::string& FileName() const { return file_name_; }
  void SetMode(TFileAccessMode mode) { mode_ = mode; }
  TFileAccessMode Mode() const { return mode_; }
  // Lets Open create the file when it is missing (an existing-file mode becomes its
  // creating counterpart).
  void SetAutoCreate(bool allow) { auto_create_ = allow; }
  // A memory stream for the memory modes, borrowed: it must outlive the open file and stays
  // with its owner on close. Without one the memory modes use a private stream that lives
  // until the object is destroyed (so a closed and reopened memory file keeps its bytes).
  void SetMemoryStream(platform::MemoryFile* stream) { borrowed_memory_ = stream; }
  void SetLockStyle(TLockStyle style) { lock_style_ = style; }

  // ---- open and close ----------------------------------------------------------------------
  // Throws EDbfError "Open: file not found" when the file is missing and the mode does not
  // create; platform::EFileError (ESharingViolation) when the system refuses the open.
  virtual void Open();
  // Writes a modified header, releases the stream and returns to the mode Open started with.
  virtual void Close();
  bool Active() const { return active_; }
  bool IsShared() const { return shared_; }
  // The stream of the open file (REQUIRES: Active()).
  platform::RandomAccessFile& Stream() { return *stream_; }

  // ---- geometry ----------------------------------------------------------------------------
  void SetHeaderOffset(uint64_t offset) { header_offset_ = offset; }
  uint64_t HeaderOffset() const { return header_offset_; }
  // Allocates the in-memory header and reads it from the file (missing bytes read as zero).
  void SetHeaderSize(size_t size);
  size_t HeaderSize() const { return header_.size(); }
  // Also sets the page size.
  void SetRecordSize(size_t size);
  size_t RecordSize() const { return record_size_; }
  void SetPageSize(size_t size);
  size_t PageSize() const { return page_size_; }
  size_t PagesPerRecord() const { return page_size_ ? record_size_ / page_size_ : 0; }
  void SetHeaderIncluded(bool included) { header_included_ = included; }

  uint64_t RecordPosition(uint64_t n) const;
  // Whole records in the file (re-read from the file size in shared modes).
  uint32_t RecordCount();
  // Truncates or extends the file to exactly count records.
  void SetRecordCount(uint32_t count);
  // Truncates or extends the file to exactly size bytes.
  void SetFileSize(uint64_t size);
  uint64_t CachedFileSize() const { return file_size_; }

  // ---- records -----------------------------------------------------------------------------
  // Reads record n into buffer (at most buffer.size() bytes, normally the record size);
  // returns the bytes read, fewer when the record is not (completely) in the file.
  size_t ReadRecord(uint64_t n, std::span<std::byte> buffer);
  // Writes the record; a short write sets the write-error flag.
  void WriteRecord(uint64_t n, std::span<const std::byte> data);
  // Raw positioned access for the owners' own structures (memo blocks, 0x1A byte); keeps the
  // read-ahead window, the cached size and the write-error flag right.
  size_t ReadAt(uint64_t offset, std::span<std::byte> buffer);
  void WriteAt(uint64_t offset, std::span<const std::byte> data);
  // Forgets the read-ahead window (the owner knows the file changed under it).
  void DropReadAhead() { window_count_ = 0; }

  // ---- header ------------------------------------------------------------------------------
  std::span<std::byte> Header() { return header_; }
  std::span<const std::byte> Header() const { return header_; }
  void ReadHeader();
  // Marks the header modified; in shared modes writes it at once, else at close. On a file
  // opened read-only nothing is stored and nothing is raised.
  virtual void WriteHeader();
  void FlushHeader();
  bool HeaderModified() const { return header_modified_; }

  // ---- locks -------------------------------------------------------------------------------
  bool LockPage(uint64_t n, bool wait);
  void UnlockPage(uint64_t n);
  bool LockAllPages(bool wait);
  void UnlockAllPages();
  bool HasWholeFileLock() const { return file_locked_; }

  // ---- temporary exclusive access ----------------------------------------------------------
  virtual void TryExclusive();
  virtual void EndExclusive();
  bool IsTemporarilyExclusive() const { return exclusive_switched_; }
  // Raises EDbfError "Exclusive access is required for this operation." in shared modes.
  void CheckExclusiveAccess() const;

  // ---- errors ------------------------------------------------------------------------------
  bool WriteError() const { return write_error_; }
  void ResetWriteError() { write_error_ = false; }

  // ---- single bytes at the current position ------------------------------------------------
  void Seek(uint64_t position) { position_ = position; }
  uint64_t Position() const { return position_; }
  // Returns -1 at the end of the file.
  int ReadByte();
  void WriteByte(uint8_t value);

 protected:
  // Refreshes the cached file size from the stream.
  void RefreshFileSize();

 private:
  bool TryLockRange(uint64_t offset, uint64_t length, bool wait);
  void LockRangeOf(uint64_t n, uint64_t& offset, uint64_t& length) const;
  void ReopenIn(TFileAccessMode mode);
  size_t FillWindow(uint64_t n);

  std::string file_name_;
  TFileAccessMode mode_ = TFileAccessMode::amReadOnly;
  TFileAccessMode open_mode_ = TFileAccessMode::amReadOnly;  // restored by Close
  TFileAccessMode return_mode_ = TFileAccessMode::amReadOnly;  // after TryExclusive
  bool exclusive_switched_ = false;
  bool auto_create_ = false;
  bool active_ = false;
  bool shared_ = false;
  TLockStyle lock_style_ = TLockStyle::PageBytes;

  std::unique_ptr<platform::RandomAccessFile> owned_stream_;
  std::unique_ptr<platform::MemoryFile> private_memory_;
  platform::MemoryFile* borrowed_memory_ = nullptr;
  platform::RandomAccessFile* stream_ = nullptr;

  uint64_t header_offset_ = 0;
  std::vector<std::byte> header_;
  bool header_modified_ = false;
  size_t record_size_ = 0;
  size_t page_size_ = 0;
  bool header_included_ = true;
  uint64_t file_size_ = 0;

  bool file_locked_ = false;
  bool write_error_ = false;
  uint64_t position_ = 0;

  // Read-ahead window: records [window_first_, window_first_ + window_count_) of record size,
  // complete ones only.
  std::vector<std::byte> window_;
  uint64_t window_first_ = 0;
  size_t window_count_ = 0;
  uint64_t last_read_ = 0;  // last record read through ReadRecord (0 = none)
  std::chrono::steady_clock::time_point window_time_{};
};

}  // namespace lgoty::dbf
