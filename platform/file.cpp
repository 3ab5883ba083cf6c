// DiskFile over POSIX descriptors, MemoryFile over a byte vector, and whole-file helpers.
//
// Sharing modes
// -------------
// A desktop file system refuses an open that conflicts with the access or the sharing of
// handles already open on the file. POSIX has no such check, so it is built here from
// open-file-description (OFD) locks, which belong to one open() and are therefore seen
// alike by other processes and by other handles of this process (classic POSIX record locks
// would be shared by all descriptors of one process and dropped by any close()).
//
// Five bytes at the top of the offset range carry the protocol:
//
//   offset                 lock held by every open handle            meaning
//   kShareMarkerBase + 0   (write lock, only while opening)          guard
//   kShareMarkerBase + 1   shared, always                            "I read"
//   kShareMarkerBase + 2   shared, when opened for read-write        "I write"
//   kShareMarkerBase + 3   shared, with DenyReadWrite                "nobody else reads"
//   kShareMarkerBase + 4   shared, with DenyWrite or DenyReadWrite   "nobody else writes"
//
// Opening, after the descriptor exists:
//   1. Take the guard: an exclusive lock with waiting (F_OFD_SETLKW), so that openers of one
//      file run the steps below one at a time. The exclusive lock needs a descriptor open for
//      writing; a read-only handle takes it through a second, short-lived read-write
//      descriptor, or, when the file is not writable for us, takes a shared guard lock on its
//      own descriptor (it then still waits for every writer that is opening).
//   2. Place this handle's own marker locks (shared locks never conflict with each other).
//   3. Test with F_OFD_GETLK, which reports locks of other open descriptions only:
//        - "nobody else reads" held by another handle: refused (every handle reads);
//        - we want to write and "nobody else writes" is held: refused;
//        - we deny reading and another handle holds "I read": refused;
//        - we deny writing and another handle holds "I write": refused.
//   4. Release the guard; on refusal close the descriptor, which drops every lock of it.
// Placing before testing makes the check safe even without the guard: of two openers that
// conflict, at least the later tester sees the other's markers, so both are never admitted.
// The guard only keeps concurrent openers from refusing each other needlessly.
//
// A creating open empties the file only after the sharing check has admitted it, so a refused
// open never damages a file that someone else holds.
//
// Byte-range locks of the engines (Lock/Unlock) are OFD locks too. Record lock bytes sit just
// below 2^32 and whole-file ranges are at most 2^32 bytes long, far below the markers; a range
// that would reach the markers is refused. Unlike the desktop system's locks, POSIX locks of
// one handle merge: locking a range twice through the same handle succeeds, and one unlock
// releases it.

#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace lgoty::platform {
namespace {

static_assert(sizeof(off_t) == 8, "64-bit file offsets are required (_FILE_OFFSET_BITS=64)");

constexpr off_t kGuardMarker = static_cast<off_t>(kShareMarkerBase + 0);
constexpr off_t kReadsMarker = static_cast<off_t>(kShareMarkerBase + 1);
constexpr off_t kWritesMarker = static_cast<off_t>(kShareMarkerBase + 2);
constexpr off_t kDeniesReadMarker = static_cast<off_t>(kShareMarkerBase + 3);
constexpr off_t kDeniesWriteMarker = static_cast<off_t>(kShareMarkerBase + 4);

std::string SystemReason(int error) { return std::system_category().message(error); }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void ThrowOpenError(const std::string& path, int error) {
  throw EFileError("Cannot open file " + Quoted(path) + ". " + SystemReason(error));
}

[[noreturn]] void ThrowIoError(const char* what, const std::string& path, int error) {
  throw EFileError(std::string(what) + " " + Quoted(path) + ". " + SystemReason(error));
}

struct flock MakeLock(short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  lock.l_pid = 0;  // must be 0 for OFD locks
  return lock;
}

// 0 on success, else the errno of the failed call. EINTR is retried for the waiting form.
int SetLock(int fd, short type, off_t start, off_t length, bool wait) {
  struct flock lock = MakeLock(type, start, length);
  for (;;) {
    if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

// True when a handle on another open description holds a lock on the byte at `marker`.
// The probe asks for an exclusive lock, which any lock of another handle conflicts with;
// F_OFD_GETLK does not require the descriptor to be open for writing.
bool HeldByOthers(int fd, off_t marker, int& error) {
  struct flock lock = MakeLock(F_WRLCK, marker, 1);
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) {
    error = errno;
    return false;
  }
  return lock.l_type != F_UNLCK;
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Opens without following the sharing rules yet. O_NONBLOCK keeps a named pipe given as a
// file name from blocking the open; only regular files are accepted.
int OpenDescriptor(const std::string& path, FileAccess access, FileCreate create) {
  const int base_flags =
      (access == FileAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
  int fd = -1;
  for (;;) {
    fd = open(path.c_str(), base_flags);
    if (fd >= 0) break;
    if (errno == EINTR) continue;
    if (errno != ENOENT || create == FileCreate::OpenExisting) ThrowOpenError(path, errno);
    fd = open(path.c_str(), base_flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) break;
    // Someone else created it between the two calls: open theirs.
    if (errno != EEXIST && errno != EINTR) ThrowOpenError(path, errno);
  }
  Descriptor guard(fd);
  struct stat info {};
  if (fstat(fd, &info) != 0) ThrowOpenError(path, errno);
  if (S_ISDIR(info.st_mode)) ThrowOpenError(path, EISDIR);
  if (!S_ISREG(info.st_mode)) {
    throw EFileError("Cannot open file " + Quoted(path) + ". It is not a regular file.");
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) ThrowOpenError(path, errno);
  return guard.Release();
}

// Holds the guard byte for the duration of one sharing check.
class ShareGuard {
 public:
  ShareGuard(int fd, const std::string& path, FileAccess access) {
    if (access == FileAccess::ReadWrite) {
      Take(fd, F_WRLCK, path);
      return;
    }
    // A read-only handle cannot place an exclusive lock; borrow a read-write description.
    int helper = -1;
    do {
      helper = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    } while (helper < 0 && errno == EINTR);
    if (helper >= 0) {
      struct stat mine {}, theirs {};
      // Only the same file will do; the name might have been replaced since our open.
      if (fstat(fd, &mine) == 0 && fstat(helper, &theirs) == 0 && mine.st_dev == theirs.st_dev &&
          mine.st_ino == theirs.st_ino) {
        helper_ = std::make_unique<Descriptor>(helper);
        Take(helper, F_WRLCK, path);
        return;
      }
      close(helper);
    }
    Take(fd, F_RDLCK, path);
  }
  ShareGuard(const ShareGuard&) = delete;
  ShareGuard& operator=(const ShareGuard&) = delete;
  ~ShareGuard() {
    if (fd_ >= 0) SetLock(fd_, F_UNLCK, kGuardMarker, 1, false);
  }

 private:
  void Take(int fd, short type, const std::string& path) {
    if (int error = SetLock(fd, type, kGuardMarker, 1, true); error != 0) {
      ThrowOpenError(path, error);
    }
    fd_ = fd;
  }

  std::unique_ptr<Descriptor> helper_;  // closed after fd_ is unlocked
  int fd_ = -1;
};

// Places this handle's markers and checks them against the other handles' markers.
void ApplySharing(int fd, const std::string& path, FileAccess access, FileShare share) {
  ShareGuard guard(fd, path, access);
  const bool writes = access == FileAccess::ReadWrite;
  const bool denies_read = share == FileShare::DenyReadWrite;
  const bool denies_write = share != FileShare::DenyNone;

  std::vector<off_t> mine{kReadsMarker};
  if (writes) mine.push_back(kWritesMarker);
  if (denies_read) mine.push_back(kDeniesReadMarker);
  if (denies_write) mine.push_back(kDeniesWriteMarker);
  for (off_t marker : mine) {
    if (int error = SetLock(fd, F_RDLCK, marker, 1, false); error != 0) {
      ThrowOpenError(path, error);
    }
  }

  // Each marker whose presence on another handle refuses this open.
  std::vector<off_t> forbidden{kDeniesReadMarker};
  if (writes) forbidden.push_back(kDeniesWriteMarker);
  if (denies_read) forbidden.push_back(kReadsMarker);
  if (denies_write) forbidden.push_back(kWritesMarker);
  for (off_t marker : forbidden) {
    int error = 0;
    const bool held = HeldByOthers(fd, marker, error);
    if (error != 0) ThrowOpenError(path, error);
    if (held) {
      throw ESharingViolation("Cannot open file " + Quoted(path) +
                              ". The process cannot access the file because it is being used "
                              "by another process.");
    }
  }
}

// Checks that [offset, offset + length) is representable and stays below the markers.
bool ValidLockRange(uint64_t offset, uint64_t length) {
  return offset < kShareMarkerBase && length <= kShareMarkerBase - offset;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// DiskFile

std::unique_ptr<DiskFile> DiskFile::Open(const std::string& path, FileAccess access,
                                         FileShare share, FileCreate create) {
  if (create == FileCreate::CreateAlways && access != FileAccess::ReadWrite) {
    throw EFileError("Cannot create file " + Quoted(path) + ". It was asked for reading only.");
  }
  Descriptor fd(OpenDescriptor(path, access, create));
  ApplySharing(fd.Get(), path, access, share);
  if (create == FileCreate::CreateAlways) {
    int result;
    do {
      result = ftruncate(fd.Get(), 0);
    } while (result != 0 && errno == EINTR);
    if (result != 0) ThrowOpenError(path, errno);
  }
  return std::unique_ptr<DiskFile>(new DiskFile(fd.Release(), path, access));
}

DiskFile::DiskFile(int fd, std::string path, FileAccess access)
    : fd_(fd), path_(std::move(path)), access_(access) {}

DiskFile::~DiskFile() {
  // Closing the only descriptor of the open description drops its marker and record locks.
  if (fd_ >= 0) close(fd_);
}

size_t DiskFile::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  if (offset > static_cast<uint64_t>(INT64_MAX)) return 0;
  // Reads must not run past the largest offset; such bytes cannot exist anyway.
  const uint64_t room = static_cast<uint64_t>(INT64_MAX) - offset;
  if (buffer.size() > room) buffer = buffer.first(static_cast<size_t>(room));
  size_t done = 0;
  while (done < buffer.size()) {
    const size_t chunk = std::min<size_t>(buffer.size() - done, SSIZE_MAX);
    const ssize_t got =
        pread(fd_, buffer.data() + done, chunk, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowIoError("Cannot read file", path_, errno);
    }
    if (got == 0) break;  // end of file
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t DiskFile::WriteAt(uint64_t offset, std::span<const std::byte> data) {
  if (!IsWritable()) {
    throw EFileError("Cannot write file " + Quoted(path_) + ". It is open for reading only.");
  }
  if (offset > static_cast<uint64_t>(INT64_MAX) ||
      data.size() > static_cast<uint64_t>(INT64_MAX) - offset) {
    ThrowIoError("Cannot write file", path_, EFBIG);
  }
  size_t done = 0;
  while (done < data.size()) {
    const size_t chunk = std::min<size_t>(data.size() - done, SSIZE_MAX);
    const ssize_t put = pwrite(fd_, data.data() + done, chunk, static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      // The device (or the quota, or the size limit) is full: report how much was stored and
      // let the caller decide, as the engines treat a short write as "disk full".
      if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) break;
      ThrowIoError("Cannot write file", path_, errno);
    }
    if (put == 0) break;
    done += static_cast<size_t>(put);
  }
  return done;
}

uint64_t DiskFile::Size() {
  struct stat info {};
  if (fstat(fd_, &info) != 0) ThrowIoError("Cannot get the size of file", path_, errno);
  return static_cast<uint64_t>(info.st_size);
}

void DiskFile::SetSize(uint64_t size) {
  if (!IsWritable()) {
    throw EFileError("Cannot change the size of file " + Quoted(path_) +
                     ". It is open for reading only.");
  }
  if (size > static_cast<uint64_t>(INT64_MAX)) {
    ThrowIoError("Cannot change the size of file", path_, EFBIG);
  }
  int result;
  do {
    result = ftruncate(fd_, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  if (result != 0) ThrowIoError("Cannot change the size of file", path_, errno);
}

void DiskFile::Flush() {
  if (!IsWritable()) return;
  int result;
  do {
    result = fdatasync(fd_);
  } while (result != 0 && errno == EINTR);
  // EINVAL: the file lives where synchronising means nothing.
  if (result != 0 && errno != EINVAL) ThrowIoError("Cannot flush file", path_, errno);
}

LockResult DiskFile::Lock(uint64_t offset, uint64_t length) {
  if (length == 0) return LockResult::Granted;
  if (!ValidLockRange(offset, length)) return LockResult::Failed;
  const short type = IsWritable() ? F_WRLCK : F_RDLCK;
  const int error =
      SetLock(fd_, type, static_cast<off_t>(offset), static_cast<off_t>(length), false);
  if (error == 0) return LockResult::Granted;
  if (error == EAGAIN || error == EACCES) return LockResult::Violation;
  return LockResult::Failed;
}

void DiskFile::Unlock(uint64_t offset, uint64_t length) {
  if (length == 0 || !ValidLockRange(offset, length)) return;
  SetLock(fd_, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length), false);
}

// ---------------------------------------------------------------------------------------------
// MemoryFile

MemoryFile::MemoryFile(std::string name) : name_(std::move(name)) {}

MemoryFile::MemoryFile(std::string name, std::vector<std::byte> contents)
    : name_(std::move(name)), data_(std::move(contents)) {}

size_t MemoryFile::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  if (offset >= data_.size()) return 0;
  const size_t count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), data_.size() - offset));
  std::copy_n(data_.begin() + static_cast<ptrdiff_t>(offset), count, buffer.begin());
  return count;
}

size_t MemoryFile::WriteAt(uint64_t offset, std::span<const std::byte> data) {
  const uint64_t limit = std::min<uint64_t>(capacity_, data_.max_size());
  if (offset >= limit) return 0;
  const size_t count = static_cast<size_t>(std::min<uint64_t>(data.size(), limit - offset));
  if (count == 0) return 0;
  const uint64_t end = offset + count;
  if (end > data_.size()) {
    // The gap is filled with zeros. Memory that cannot be had is a full device.
    try {
      data_.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      return 0;
    } catch (const std::length_error&) {
      return 0;
    }
  }
  std::copy_n(data.begin(), count, data_.begin() + static_cast<ptrdiff_t>(offset));
  return count;
}

void MemoryFile::SetSize(uint64_t size) {
  if (size > std::min<uint64_t>(capacity_, data_.max_size())) {
    throw EFileError("Cannot change the size of file " + Quoted(name_) +
                     ". There is not enough space.");
  }
  try {
    data_.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EFileError("Cannot change the size of file " + Quoted(name_) +
                     ". There is not enough memory.");
  } catch (const std::length_error&) {
    throw EFileError("Cannot change the size of file " + Quoted(name_) +
                     ". There is not enough memory.");
  }
}

// ---------------------------------------------------------------------------------------------
// Whole-file operations

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DeleteFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse replacing by itself; check first (not atomic, but the
  // best available there).
  struct stat info {};
  if (lstat(to.c_str(), &info) == 0 || errno != ENOENT) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

std::vector<std::byte> ReadWholeFile(const std::string& path) {
  auto file = DiskFile::Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting);
  std::vector<std::byte> contents;
  constexpr size_t kChunk = 64 * 1024;
  // The size is a hint only: the file may change while it is read.
  const uint64_t expected = file->Size();
  if (expected < (uint64_t{1} << 30)) contents.reserve(static_cast<size_t>(expected));
  for (;;) {
    const size_t old_size = contents.size();
    contents.resize(old_size + kChunk);
    const size_t got = file->ReadAt(old_size, std::span(contents).subspan(old_size));
    contents.resize(old_size + got);
    if (got < kChunk) break;
  }
  return contents;
}

void WriteWholeFile(const std::string& path, std::span<const std::byte> data) {
  auto file = DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyWrite,
                             FileCreate::CreateAlways);
  if (file->WriteAt(0, data) != data.size()) ThrowIoError("Cannot write file", path, ENOSPC);
}

}  // namespace lgoty::platform
