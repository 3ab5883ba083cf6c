// Compresses whole buffers into zlib streams, the form a PDF's /FlateDecode filter reads:
// a two-byte header, deflate data and the Adler-32 checksum of the input.
//
// The compressor is the fastest level of a library built for speed (vector instructions,
// one pass over memory): page contents are repetitive text and shrink to about a fifth
// even so, and a long report compresses thousands of them. One compressor serves a whole
// file: its hash table and output buffer are allocated once and reused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace lgoty::render {

class FlateCompressor {
 public:
  // The largest input Compress takes.
  static constexpr size_t kMaxInput = size_t{1} << 31;

  // Compresses data whole; the result stays valid until the next call. False (and an
  // empty result) when data is larger than kMaxInput or the compressor fails.
  bool Compress(std::string_view data);
  std::string_view Result() const {
    return {reinterpret_cast<const char*>(output_.data()), size_};
  }

  // The most bytes the result of an input of this size takes: data that does not
  // compress is stored in blocks of 64 KiB, each with a five-byte header.
  static size_t Bound(size_t input_size);

 private:
  std::vector<uint8_t> level_buffer_;  // the compressor's hash table and token buffer
  std::vector<uint8_t> output_;        // grown only: shrinking and regrowing clears it
  size_t size_ = 0;
};

}  // namespace lgoty::render
