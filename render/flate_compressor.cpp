#include "render/flate_compressor.h"

#include <isa-l/igzip_lib.h>

namespace lgoty::render {

size_t FlateCompressor::Bound(size_t input_size) {
  // Stored blocks, the zlib header and checksum, and room for the largest block header
  // the compressor may write before it finds that compressing does not pay.
  return input_size + (input_size / 65535 + 1) * 5 + 6 + ISAL_DEF_MAX_HDR_SIZE + 64;
}

bool FlateCompressor::Compress(std::string_view data) {
  size_ = 0;
  if (data.size() > kMaxInput) return false;
  if (level_buffer_.empty()) level_buffer_.resize(ISAL_DEF_LVL1_DEFAULT);
  const size_t bound = Bound(data.size());
  if (output_.size() < bound) output_.resize(bound);
  isal_zstream stream;
  isal_deflate_stateless_init(&stream);
  stream.level = 1;
  stream.level_buf = level_buffer_.data();
  stream.level_buf_size = static_cast<uint32_t>(level_buffer_.size());
  stream.gzip_flag = IGZIP_ZLIB;
  // The stateless init leaves the history size unset, and the compressor reads it: left to
  // what the stack held, 1 to 9 narrows the window and changes the matches (and the bytes).
  // 0 is the full 32 KiB window.
  stream.hist_bits = 0;
  stream.end_of_stream = 1;
  stream.flush = NO_FLUSH;
  stream.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uint32_t>(data.size());
  stream.next_out = output_.data();
  stream.avail_out = static_cast<uint32_t>(bound);
  if (isal_deflate_stateless(&stream) != COMP_OK || stream.avail_in != 0) return false;
  size_ = stream.total_out;
  return true;
}

}  // namespace lgoty::render
