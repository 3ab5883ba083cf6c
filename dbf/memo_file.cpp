#include "dbf/memo_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"

namespace lgoty::dbf {

using namespace memo_layout;

namespace {
constexpr std::byte kSpace{0x20};
constexpr std::byte kZero{0x00};
}  // namespace

TMemoFile::TMemoFile() {
  SetHeaderIncluded(false);
  SetLockStyle(TLockStyle::PageBytes);
}

void TMemoFile::OpenMemo(size_t block_size_for_new) {
  SetHeaderIncluded(false);
  Open();
  bool is_new = IsCreatingMode(Mode()) || CachedFileSize() == 0;
  SetHeaderSize(kMemoHeaderSize);
  if (is_new) {
    // The header keeps the size in 16 bits.
    bool storable = block_size_for_new > 0 && block_size_for_new <= 0xFFFF;
    InitNewHeader(storable ? block_size_for_new : kDefaultMemoBlockSize);
    return;
  }
  size_t size = BlockSizeInHeader();
  if (size == 0) {
    size = kDefaultMemoBlockSize;
    // Under the header lock, so that a next-free number another program is writing is kept.
    LockPage(0, true);
    if (IsShared()) ReadHeader();
    SetBlockSizeInHeader(size);
    WriteHeader();
    UnlockPage(0);
  }
  block_size_ = size;
  SetRecordSize(size);
}

void TMemoFile::InitNewHeader(size_t block_size) {
  std::fill(Header().begin(), Header().end(), kZero);
  block_size_ = block_size;
  SetRecordSize(block_size);
  SetNextFreeBlock(static_cast<uint32_t>(std::max<size_t>(1, kMemoHeaderSize / block_size)));
  SetBlockSizeInHeader(block_size);
  WriteHeader();
  // A new file gets its header at once, so that a table created and left open already has a
  // readable memo file beside it.
  FlushHeader();
}

uint32_t TMemoFile::BlocksNeeded(size_t data_length) const {
  uint64_t bytes = ValueHeaderSize() + static_cast<uint64_t>(data_length) + TerminatorSize();
  return static_cast<uint32_t>((bytes + block_size_ - 1) / block_size_);
}

TMemoValue TMemoFile::ReadValue(uint32_t block) {
  TMemoValue value;
  if (block == 0 || !Active()) return value;
  uint64_t start = static_cast<uint64_t>(block) * block_size_;
  // Asked of the stream each time: other programs may have appended values.
  uint64_t file_size = Stream().Size();
  if (start >= file_size) return value;

  std::byte head[kValueHeaderSize] = {};
  ReadAt(start, head);
  uint64_t length = 0;
  if (RecognisesValueHeaders() && DecodeValueHeader(head, length)) {
    // The stored length is not trusted: the value cannot run past the end of the file.
    uint64_t data_start = start + kValueHeaderSize;
    uint64_t available = file_size > data_start ? file_size - data_start : 0;
    length = std::min(length, available);
    value.data.resize(static_cast<size_t>(length));
    size_t got = ReadAt(data_start, value.data);
    value.data.resize(got);
    value.block_count = BlocksNeeded(got);
    return value;
  }
  return ReadTerminatedValue(start);
}

// A value without a length (level-3 layout): blocks are taken one after another until the
// terminator, the first 1A followed by 1A or a zero byte. A 1A as the last byte of a block
// ends the value when the next block starts with 1A or a zero byte (or does not exist).
TMemoValue TMemoFile::ReadTerminatedValue(uint64_t start) {
  TMemoValue value;
  const size_t size = block_size_;
  std::vector<std::byte> block(size), next(size);
  size_t got = ReadAt(start, block);
  if (got == 0) return value;
  std::fill(block.begin() + static_cast<std::ptrdiff_t>(got), block.end(), kZero);
  uint64_t position = start;
  value.block_count = 1;
  for (;;) {
    for (size_t i = 0; i + 1 < size; ++i) {
      if (block[i] == kLevel3Terminator &&
          (block[i + 1] == kLevel3Terminator || block[i + 1] == kZero)) {
        value.data.insert(value.data.end(), block.begin(),
                          block.begin() + static_cast<std::ptrdiff_t>(i));
        return value;
      }
    }
    if (got < size) {
      // The file ends inside this block without a terminator: keep what is there.
      value.data.insert(value.data.end(), block.begin(),
                        block.begin() + static_cast<std::ptrdiff_t>(got));
      return value;
    }
    size_t next_got = ReadAt(position + size, next);
    std::fill(next.begin() + static_cast<std::ptrdiff_t>(next_got), next.end(), kZero);
    if (block[size - 1] == kLevel3Terminator &&
        (next_got == 0 || next[0] == kLevel3Terminator || next[0] == kZero)) {
      value.data.insert(value.data.end(), block.begin(), block.end() - 1);
      // The second terminator byte opens the next block, which the value then occupies.
      if (next_got > 0 && next[0] == kLevel3Terminator) ++value.block_count;
      return value;
    }
    value.data.insert(value.data.end(), block.begin(), block.end());
    if (next_got == 0) return value;
    std::swap(block, next);
    got = next_got;
    position += size;
    ++value.block_count;
  }
}

uint32_t TMemoFile::WriteValue(std::span<const std::byte> data, uint32_t present_block,
                               uint32_t present_block_count, uint32_t kind) {
  if (data.empty()) return 0;
  if (data.size() > std::numeric_limits<uint32_t>::max() - kValueHeaderSize) {
    throw EDbfWriteError(kWriteError);
  }
  const uint32_t needed = BlocksNeeded(data.size());

  // The value as it goes to disk: header, data, terminator, spaces to the end of the block.
  std::vector<std::byte> image(static_cast<size_t>(needed) * block_size_, kSpace);
  const size_t head = ValueHeaderSize();
  if (head > 0) {
    EncodeValueHeader(std::span<std::byte>(image).first(head),
                      static_cast<uint32_t>(data.size()), kind);
  }
  std::memcpy(image.data() + head, data.data(), data.size());
  for (size_t i = 0; i < TerminatorSize(); ++i) {
    image[head + data.size() + i] = kLevel3Terminator;
  }

  if (present_block != 0 && present_block_count >= needed) {
    WriteAt(static_cast<uint64_t>(present_block) * block_size_, image);
    return present_block;
  }

  LockPage(0, true);
  if (IsShared()) ReadHeader();
  // Never hand out blocks inside the header or before the end of the file: a next-free
  // number that a damaged or foreign file holds too low would overwrite other values. Nor
  // beyond the end: one that is too high would make the file gigantic (terabytes for a
  // garbage number). So new values start at the end of the file, which in a healthy file
  // is where the next-free number points anyway.
  const uint64_t first_data_block = (kMemoHeaderSize + block_size_ - 1) / block_size_;
  const uint64_t end_block = (Stream().Size() + block_size_ - 1) / block_size_;
  const uint64_t block = std::max<uint64_t>({first_data_block, end_block, 1});
  if (block + needed > std::numeric_limits<uint32_t>::max()) {
    UnlockPage(0);
    throw EDbfWriteError(kWriteError);
  }
  WriteAt(block * block_size_, image);
  SetNextFreeBlock(static_cast<uint32_t>(block + needed));
  WriteHeader();
  UnlockPage(0);
  return static_cast<uint32_t>(block);
}

TMemoFile::TMark TMemoFile::Mark() {
  TMark mark;
  if (!Active()) return mark;
  LockPage(0, true);
  if (IsShared()) ReadHeader();
  mark.size = Stream().Size();
  mark.next_free = GetNextFreeBlock();
  UnlockPage(0);
  return mark;
}

bool TMemoFile::GiveBack(const TMark& before, const TMark& after) {
  if (!Active() || !Stream().IsWritable()) return false;
  if (before.size == after.size && before.next_free == after.next_free) return true;
  LockPage(0, true);
  if (IsShared()) ReadHeader();
  const bool last = Stream().Size() == after.size && GetNextFreeBlock() == after.next_free;
  if (last) {
    SetFileSize(before.size);
    SetNextFreeBlock(before.next_free);
    WriteHeader();
  }
  UnlockPage(0);
  return last;
}

// ---- dBASE ------------------------------------------------------------------------------

uint32_t TDbaseMemoFile::GetNextFreeBlock() const {
  return core::GetU32LE(Header(), kNextFreeBlockOffset);
}

void TDbaseMemoFile::SetNextFreeBlock(uint32_t block) {
  core::PutU32LE(Header(), kNextFreeBlockOffset, block);
}

size_t TDbaseMemoFile::BlockSizeInHeader() const {
  if (IsLevel3()) return kDefaultMemoBlockSize;
  return core::GetU16LE(Header(), kDbaseBlockSizeOffset);
}

void TDbaseMemoFile::SetBlockSizeInHeader(size_t size) {
  if (IsLevel3()) {
    core::PutU8(Header(), kDbaseLevel3MarkOffset, kDbaseLevel3Mark);
    return;
  }
  core::PutU16LE(Header(), kDbaseBlockSizeOffset, static_cast<uint16_t>(size));
}

size_t TDbaseMemoFile::ValueHeaderSize() const { return IsLevel3() ? 0 : kValueHeaderSize; }

size_t TDbaseMemoFile::TerminatorSize() const { return IsLevel3() ? kLevel3TerminatorSize : 0; }

bool TDbaseMemoFile::DecodeValueHeader(std::span<const std::byte> head, uint64_t& length) const {
  if (core::GetU32LE(head, 0) != kDbaseValueSignature) return false;
  uint32_t stored = core::GetU32LE(head, kValueLengthOffset);
  length = stored > kValueHeaderSize ? stored - kValueHeaderSize : 0;
  return true;
}

void TDbaseMemoFile::EncodeValueHeader(std::span<std::byte> head, uint32_t length,
                                       uint32_t) const {
  core::PutU32LE(head, 0, kDbaseValueSignature);
  core::PutU32LE(head, kValueLengthOffset, length + static_cast<uint32_t>(kValueHeaderSize));
}

// ---- FoxPro -----------------------------------------------------------------------------

uint32_t TFoxProMemoFile::GetNextFreeBlock() const {
  return core::GetU32BE(Header(), kNextFreeBlockOffset);
}

void TFoxProMemoFile::SetNextFreeBlock(uint32_t block) {
  core::PutU32BE(Header(), kNextFreeBlockOffset, block);
}

size_t TFoxProMemoFile::BlockSizeInHeader() const {
  return core::GetU16BE(Header(), kFoxProBlockSizeOffset);
}

void TFoxProMemoFile::SetBlockSizeInHeader(size_t size) {
  core::PutU16BE(Header().data() + kFoxProBlockSizeOffset, static_cast<uint16_t>(size));
}

bool TFoxProMemoFile::DecodeValueHeader(std::span<const std::byte> head,
                                        uint64_t& length) const {
  length = core::GetU32BE(head, kValueLengthOffset);
  return true;
}

void TFoxProMemoFile::EncodeValueHeader(std::span<std::byte> head, uint32_t length,
                                        uint32_t kind) const {
  core::PutU32BE(head, 0, kind);
  core::PutU32BE(head, kValueLengthOffset, length);
}

}  // namespace lgoty::dbf
