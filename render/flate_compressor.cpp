#include "render/flate_compressor.h"

#include <isa-l/igzip_lib.h>

#include <mutex>

namespace lgoty::render {
namespace {

// The library's stream state, one for the process. Where the state lies in memory changes
// what the library makes of some inputs: in some 64 KiB stretches of the address space a
// match with the first bytes of the input is not taken (the stream still inflates back, but
// its bytes differ). A state on each caller's stack made a file's bytes depend on the
// thread that wrote it (the PDF drawn during a run and the one exported after it, each by a
// writing thread of its own); with one state at one place every compressor of the process
// gives the same bytes for the same input.
struct SharedState {
  std::mutex mutex;
  isal_zstream stream;
};

SharedState& State() {
  static SharedState state;
  return state;
}

}  // namespace

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
  SharedState& state = State();
  std::lock_guard lock(state.mutex);
  isal_zstream& stream = state.stream;
  isal_deflate_stateless_init(&stream);
  stream.level = 1;
  stream.level_buf = level_buffer_.data();
  stream.level_buf_size = static_cast<uint32_t>(level_buffer_.size());
  stream.gzip_flag = IGZIP_ZLIB;
  // The stateless init leaves the history size as it was, and the compressor reads it: 0 is
  // the full 32 KiB window (1 to 9 would narrow it and change the matches, and the bytes).
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
