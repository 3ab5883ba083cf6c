// A bookmark: the bytes by which a concrete dataset finds a record again (a record number,
// a row id, a key). Empty means "no bookmark". Bookmarks are values: copying one is cheap
// and freeing one only empties it.
#pragma once

#include <cstdint>
#include <string>

namespace lgoty::data {

class TBookmark {
 public:
  TBookmark() = default;
  explicit TBookmark(std::string bytes) : bytes_(std::move(bytes)) {}

  // The common form: a 64-bit number, 8 bytes little-endian.
  static TBookmark FromInteger(int64_t value) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i) {
      bytes[static_cast<size_t>(i)] =
          static_cast<char>(static_cast<uint64_t>(value) >> (8 * i) & 0xFF);
    }
    return TBookmark(std::move(bytes));
  }
  // REQUIRES a bookmark made by FromInteger; other lengths read as -1.
  int64_t ToInteger() const {
    if (bytes_.size() != 8) return -1;
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
      value = value << 8 | static_cast<unsigned char>(bytes_[static_cast<size_t>(i)]);
    }
    return static_cast<int64_t>(value);
  }

  bool IsEmpty() const { return bytes_.empty(); }
  void Clear() { bytes_.clear(); }
  const std::string& Bytes() const { return bytes_; }
  bool operator==(const TBookmark& other) const = default;

 private:
  std::string bytes_;
};

}  // namespace lgoty::data
