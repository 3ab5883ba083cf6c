// A byte stream (core::TStream) over a platform file: what the report layer hands to the XML
// reader and writer when a template, a prepared report or a script's XML document is read
// from or written to disk, the file streams and string-list files of scripts, and the
// temporary file into which prepared pages and pictures are unloaded.
#pragma once

#include <memory>
#include <string>

#include "core/stream.h"
#include "platform/file.h"

namespace lgoty::platform {

// How FileStream::Open opens a file: an existing one for reading, a new (or emptied) one
// for reading and writing, an existing one for reading and writing.
enum class FileStreamMode { Read, Create, ReadWrite };

class FileStream final : public core::TStream {
 public:
  // The named disk file as a stream, others free to read and write it meanwhile. Throws
  // EFileError "Cannot open file \"path\". reason" (ESharingViolation when another handle
  // denies the access).
  static std::unique_ptr<FileStream> Open(const std::string& path, FileStreamMode mode);

  // Takes the file over. With delete_on_close the file is deleted when the stream goes.
  explicit FileStream(std::unique_ptr<RandomAccessFile> file, bool delete_on_close = false);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  const char* ClassName() const override { return "TFileStream"; }

  // A new empty file in folder (the system's temporary folder when folder is empty or
  // missing), open for reading and writing, deleted when the stream goes. Throws EFileError.
  static std::unique_ptr<FileStream> CreateTemporary(const std::string& folder);

  // Throws EFileError on an I/O error.
  size_t Read(void* buffer, size_t count) override;
  // Throws core::EStreamError when the file is read-only or the disk is full.
  void Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, core::SeekOrigin origin) override;
  int64_t Size() override;
  using core::TStream::Write;

  const std::string& Path() const { return file_->Path(); }

 private:
  std::unique_ptr<RandomAccessFile> file_;
  uint64_t position_ = 0;
  bool delete_on_close_;
};

}  // namespace lgoty::platform
