#include "platform/file_stream.h"

#include <span>

#include "platform/system.h"

namespace lgoty::platform {

FileStream::FileStream(std::unique_ptr<RandomAccessFile> file, bool delete_on_close)
    : file_(std::move(file)), delete_on_close_(delete_on_close) {}

FileStream::~FileStream() {
  std::string path = file_->Path();
  file_.reset();  // close before deleting
  if (delete_on_close_) DeleteFile(path);
}

std::unique_ptr<FileStream> FileStream::Open(const std::string& path, FileStreamMode mode) {
  switch (mode) {
    case FileStreamMode::Read:
      return std::make_unique<FileStream>(
          DiskFile::Open(path, FileAccess::Read, FileShare::DenyNone, FileCreate::OpenExisting));
    case FileStreamMode::Create:
      return std::make_unique<FileStream>(
          DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyNone, FileCreate::CreateAlways));
    case FileStreamMode::ReadWrite:
      break;
  }
  return std::make_unique<FileStream>(
      DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyNone, FileCreate::OpenExisting));
}

std::unique_ptr<FileStream> FileStream::CreateTemporary(const std::string& folder) {
  std::string path = CreateTempFileIn(folder, "frx");
  std::unique_ptr<DiskFile> file;
  try {
    file = DiskFile::Open(path, FileAccess::ReadWrite, FileShare::DenyReadWrite,
                          FileCreate::OpenExisting);
  } catch (...) {
    DeleteFile(path);
    throw;
  }
  return std::make_unique<FileStream>(std::move(file), true);
}

size_t FileStream::Read(void* buffer, size_t count) {
  size_t n = file_->ReadAt(position_, std::span(static_cast<std::byte*>(buffer), count));
  position_ += n;
  return n;
}

void FileStream::Write(const void* buffer, size_t count) {
  if (count == 0) return;
  if (!file_->IsWritable()) {
    throw core::EStreamError("Stream write error on \"" + file_->Path() + "\"");
  }
  size_t n = file_->WriteAt(position_, std::span(static_cast<const std::byte*>(buffer), count));
  position_ += n;
  if (n != count) throw core::EStreamError("Stream write error on \"" + file_->Path() + "\"");
}

int64_t FileStream::Seek(int64_t offset, core::SeekOrigin origin) {
  int64_t base = origin == core::SeekOrigin::Begin     ? 0
                 : origin == core::SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                       : static_cast<int64_t>(file_->Size());
  int64_t target = base + offset;
  if (target < 0) throw core::EStreamError("Stream seek before the start");
  position_ = static_cast<uint64_t>(target);
  return target;
}

int64_t FileStream::Size() { return static_cast<int64_t>(file_->Size()); }

}  // namespace lgoty::platform
