// A bookmark: the bytes by which a concrete dataset finds a record again (a record number,
// a row id, a key). Empty means "no bookmark". Bookmarks are values: copying one is cheap
// and freeing one only empties it.
#pragma once

#include <cstdint>
#include <string>

#include "core/byte_codec.h"

namespace lgoty::data {

class TBookmark {
 public:
  TBookmark() = default;
  explicit TBookmark(std::string bytes) : bytes_(std::move(bytes)) {}

  // The common form: a 64-bit number, 8 bytes little-endian.
  static TBookmark FromInteger(int64_t value) {
    std::string bytes(8, '\0');
    core::PutI64LE(reinterpret_cast<std::byte*>(bytes.data()), value);
    return TBookmark(std::move(bytes));
  }
  // REQUIRES a bookmark made by FromInteger; other lengths read as -1.
  int64_t ToInteger() const {
    if (bytes_.size() != 8) return -1;
    return core::GetI64LE(reinterpret_cast<const std::byte*>(bytes_.data()));
  }

  bool IsEmpty() const { return bytes_.empty(); }
  void Clear() { bytes_.clear(); }
  const std::string& Bytes() const { return bytes_; }
  bool operator==(const TBookmark& other) const = default;

 private:
  std::string bytes_;
};

}  // namespace lgoty::data
