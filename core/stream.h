// Byte streams with a position: the form in which templates, prepared reports and scripts
// are loaded and saved. TMemoryStream keeps its bytes in memory; a disk file's stream is
// platform::FileStream (files are opened, with their sharing modes, only through platform/).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "core/object.h"

namespace lgoty::core {

// A stream operation that the stream cannot do (reading a closed file, a seek before the
// start, a write to a full disk).
class EStreamError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EStreamError"; }
};

enum class SeekOrigin { Begin, Current, End };

class TStream : public TObject {
 public:
  const char* ClassName() const override { return "TStream"; }
  // Bytes read, fewer than asked at the end of the stream.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes all bytes or throws EStreamError.
  virtual void Write(const void* buffer, size_t count) = 0;
  // New position; a position before the start throws EStreamError. A position past the end
  // is allowed (a write there extends the stream).
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t Size() = 0;

  int64_t Position() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::Begin); }
  void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
  // The bytes from the current position to the end.
  std::string ReadRest();
};

class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}
  const char* ClassName() const override { return "TMemoryStream"; }

  size_t Read(void* buffer, size_t count) override;
  void Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  using TStream::Write;

  const std::string& Bytes() const { return data_; }
  std::string& MutableBytes() { return data_; }
  void Clear() {
    data_.clear();
    position_ = 0;
  }

 private:
  std::string data_;
  size_t position_ = 0;
};

}  // namespace lgoty::core
