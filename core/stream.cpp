#include "core/stream.h"

#include <cstring>

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

}  // namespace lgoty::core
