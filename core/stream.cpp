#include "core/stream.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace lgoty::core {

std::string TStream::ReadRest() {
  std::string out;
  char buffer[4096];
  for (;;) {
    size_t n = Read(buffer, sizeof buffer);
    if (n == 0) break;
    out.append(buffer, n);
  }
  return out;
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= data_.size()) return 0;
  size_t n = std::min(count, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return;
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ += count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::Begin     ? 0
                 : origin == SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                 : static_cast<int64_t>(data_.size());
  int64_t target = base + offset;
  if (target < 0) throw EStreamError("Stream seek before the start");
  position_ = static_cast<size_t>(target);
  return target;
}

TFileStream::TFileStream(std::FILE* file, std::string path, bool delete_on_close)
    : file_(file), path_(std::move(path)), delete_on_close_(delete_on_close) {}

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
  const char* fmode = mode == Mode::Read ? "rb" : mode == Mode::Create ? "w+b" : "r+b";
  file_ = std::fopen(path.c_str(), fmode);
  if (!file_) {
    throw EStreamError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  }
}

std::unique_ptr<TFileStream> TFileStream::CreateTemporary(const std::string& folder,
                                                          bool delete_on_close) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += "frxXXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd < 0) {
    throw EStreamError("Cannot create a temporary file in \"" + folder + "\". " +
                       std::strerror(errno));
  }
  std::FILE* file = fdopen(fd, "w+b");
  if (!file) {
    ::close(fd);
    ::unlink(pattern.c_str());
    throw EStreamError("Cannot open temporary file \"" + pattern + "\"");
  }
  return std::unique_ptr<TFileStream>(new TFileStream(file, pattern, delete_on_close));
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
  if (delete_on_close_) ::unlink(path_.c_str());
}

size_t TFileStream::Read(void* buffer, size_t count) {
  return std::fread(buffer, 1, count, file_);
}

void TFileStream::Write(const void* buffer, size_t count) {
  if (count != 0 && std::fwrite(buffer, 1, count, file_) != count) {
    throw EStreamError("Stream write error on \"" + path_ + "\"");
  }
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  int whence = origin == SeekOrigin::Begin ? SEEK_SET
               : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  if (origin == SeekOrigin::Current && offset == 0) return ftello(file_);
  if (fseeko(file_, offset, whence) != 0) throw EStreamError("Stream seek error");
  return ftello(file_);
}

int64_t TFileStream::Size() {
  off_t here = ftello(file_);
  fseeko(file_, 0, SEEK_END);
  off_t size = ftello(file_);
  fseeko(file_, here, SEEK_SET);
  return size;
}

}  // namespace lgoty::core
