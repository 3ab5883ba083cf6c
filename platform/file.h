// Files as the engines see them: positioned reads and writes, size, byte-range locks, and
// the sharing modes of a desktop file system (who else may read or write while we hold the
// file open). Two implementations: DiskFile over POSIX descriptors, MemoryFile for the memory
// storage modes and for tests that corrupt bytes or simulate a full disk.
//
// Sharing modes are emulated with open-file-description locks (F_OFD_SETLK), so they hold
// between processes and between two handles of one process alike. Every open handle holds
// shared locks on marker bytes at the very top of the 64-bit offset range (kShareMarkerBase
// and up): one for each access it has (read, write) and one for each access it denies to
// others. A new open checks the markers of the others under a guard byte and fails with
// ESharingViolation when either side's rules are broken. Record locks of the table engine use
// offsets below 2^32 and whole-file ranges of at most 2^31 bytes, far from the markers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/exception.h"

namespace lgoty::platform {

// Any failure of a file operation, with the system's reason in the text.
class EFileError : public core::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EFOpenError"; }
};
// The file is open elsewhere in a way that our open conflicts with.
class ESharingViolation : public EFileError {
 public:
  using EFileError::EFileError;
};

enum class FileAccess { Read, ReadWrite };
// What others may do while this handle is open.
enum class FileShare { DenyNone, DenyWrite, DenyReadWrite };
enum class FileCreate {
  OpenExisting,   // fail with EFileError when missing
  OpenOrCreate,   // create empty when missing
  CreateAlways,   // create, or empty an existing file
};

enum class LockResult { Granted, Violation, Failed };

inline constexpr uint64_t kShareMarkerBase = 0x7FFF'FFFF'FFFF'FF00ull;

class RandomAccessFile {
 public:
  RandomAccessFile() = default;
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;
  virtual ~RandomAccessFile() = default;

  // Bytes read (fewer at the end of the file; 0 past it). Throws EFileError on an I/O error.
  virtual size_t ReadAt(uint64_t offset, std::span<std::byte> buffer) = 0;
  // Bytes written; fewer than asked means the device is full (the caller decides). Throws
  // EFileError on other I/O errors, and when the file was opened for reading only.
  virtual size_t WriteAt(uint64_t offset, std::span<const std::byte> data) = 0;
  virtual uint64_t Size() = 0;
  // Truncates or extends with zero bytes.
  virtual void SetSize(uint64_t size) = 0;
  virtual void Flush() = 0;
  virtual bool IsWritable() const = 0;
  // Exclusive byte-range lock without waiting. Violation: another handle (of this or
  // another process) holds a conflicting lock. A read-only handle takes a shared lock.
  // Failed: any other refusal, including a range that reaches kShareMarkerBase. A zero
  // length locks nothing and is granted. Locks of one handle merge: locking a range twice
  // through the same handle succeeds, and one Unlock releases it. Closing the handle
  // releases all of its locks.
  virtual LockResult Lock(uint64_t offset, uint64_t length) = 0;
  virtual void Unlock(uint64_t offset, uint64_t length) = 0;
  virtual const std::string& Path() const = 0;
};

class DiskFile final : public RandomAccessFile {
 public:
  // Throws ESharingViolation when the sharing rules refuse the open, EFileError otherwise
  // ("Cannot open file \"%s\". %s" with the system's reason). Only regular files open.
  // CreateAlways needs ReadWrite access, and empties the file only once the sharing rules
  // have admitted the open.
  static std::unique_ptr<DiskFile> Open(const std::string& path, FileAccess access,
                                        FileShare share, FileCreate create);
  ~DiskFile() override;

  size_t ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  size_t WriteAt(uint64_t offset, std::span<const std::byte> data) override;
  uint64_t Size() override;
  void SetSize(uint64_t size) override;
  void Flush() override;
  bool IsWritable() const override { return access_ == FileAccess::ReadWrite; }
  LockResult Lock(uint64_t offset, uint64_t length) override;
  void Unlock(uint64_t offset, uint64_t length) override;
  const std::string& Path() const override { return path_; }

 private:
  DiskFile(int fd, std::string path, FileAccess access);
  int fd_;
  std::string path_;
  FileAccess access_;
};

// A file held in memory. Locks always succeed. A capacity limit makes writes past it store
// only what fits, as a full disk would (so does memory that cannot be allocated); SetSize
// past the capacity throws EFileError.
class MemoryFile final : public RandomAccessFile {
 public:
  explicit MemoryFile(std::string name = "<memory>");
  MemoryFile(std::string name, std::vector<std::byte> contents);

  size_t ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  size_t WriteAt(uint64_t offset, std::span<const std::byte> data) override;
  uint64_t Size() override { return data_.size(); }
  void SetSize(uint64_t size) override;
  void Flush() override {}
  bool IsWritable() const override { return true; }
  LockResult Lock(uint64_t, uint64_t) override { return LockResult::Granted; }
  void Unlock(uint64_t, uint64_t) override {}
  const std::string& Path() const override { return name_; }

  std::vector<std::byte>& Contents() { return data_; }
  void SetCapacity(uint64_t capacity) { capacity_ = capacity; }

 private:
  std::string name_;
  std::vector<std::byte> data_;
  uint64_t capacity_ = UINT64_MAX;
};

// Whole-file operations.
bool FileExists(const std::string& path);
// False when the file could not be deleted (missing, or the system refused).
bool DeleteFile(const std::string& path);
// False when the rename failed, also when `to` already exists: an existing file is never
// replaced.
bool RenameFile(const std::string& from, const std::string& to);
// Whole-file read into memory (throws EFileError) and write (replaces; a short write
// because the disk is full throws EFileError).
std::vector<std::byte> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::span<const std::byte> data);

}  // namespace lgoty::platform
