// Memo files: the text and bytes of memo fields (M, and B and G outside level 25), kept in
// blocks beside the data file. The record holds only the number of the first block; 0 means
// no value.
//
// A memo file is a 512-byte header followed by blocks of the block size; block n starts at
// n x block size (with 512-byte blocks the header is block 0, with smaller ones it covers
// several blocks and the first free block is 512 / block size).
//
// Header, dBASE (".dbt", levels 3, 4 and 7):
//
//   offset  width  meaning
//   0       4      next free block number, little-endian
//   16      1      3 in the memo file of a level-3 table
//   20      2      block size in bytes, little-endian (levels 4 and 7; level 3 is always 512)
//
// Header, FoxPro (".fpt", level 25):
//
//   offset  width  meaning
//   0       4      next free block number, big-endian
//   6       2      block size in bytes, big-endian
//
// A block size read as 0 is taken as 512 and written back.
//
// Value layout, starting at the first block of the value; the rest of the last block is
// filled with spaces:
//
//   level 3       the data, then 1A 1A (no length anywhere)
//   levels 4, 7   FF FF 08 00, (data length + 8) little-endian, the data
//   FoxPro        value kind big-endian (1 = text), data length big-endian, the data
//
// A value grows in place while it fits the blocks it has; otherwise it moves to the end of
// the file (the old blocks are not reused). Taking blocks at the end holds the header lock so
// that two programs sharing the file never take the same blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dbf/paged_file.h"

namespace lgoty::dbf {

inline constexpr size_t kMemoHeaderSize = 512;
inline constexpr size_t kDefaultMemoBlockSize = 512;

namespace memo_layout {
inline constexpr size_t kNextFreeBlockOffset = 0;
inline constexpr size_t kDbaseLevel3MarkOffset = 16;
inline constexpr uint8_t kDbaseLevel3Mark = 3;
inline constexpr size_t kDbaseBlockSizeOffset = 20;
inline constexpr size_t kFoxProBlockSizeOffset = 6;
// Value headers.
inline constexpr size_t kValueHeaderSize = 8;
inline constexpr uint32_t kDbaseValueSignature = 0x0008FFFF;  // bytes FF FF 08 00, LE
inline constexpr size_t kValueLengthOffset = 4;
inline constexpr uint32_t kFoxProTextKind = 1;
inline constexpr std::byte kLevel3Terminator{0x1A};
inline constexpr size_t kLevel3TerminatorSize = 2;
}  // namespace memo_layout

// A value as read: its bytes and how many blocks it occupies (what a later write may reuse).
struct TMemoValue {
  std::vector<std::byte> data;
  uint32_t block_count = 0;
};

class TMemoFile : public TPagedFile {
 public:
  TMemoFile();

  // Opens the file in the mode set with SetMode (the table's). A new or empty file gets a
  // fresh header with block_size_for_new (512 when 0); an existing one keeps its own.
  virtual void OpenMemo(size_t block_size_for_new);
  virtual void CloseMemo() { Close(); }
  size_t BlockSize() const { return block_size_; }

  // The value that starts at block n; empty for block 0 or a block beyond the file.
  virtual TMemoValue ReadValue(uint32_t block);
  // Stores data as the value of a field whose present value starts at present_block and
  // occupies present_block_count blocks (0, 0 when it has none). Returns the block number to
  // store in the record (0 for an empty value). kind is the FoxPro value kind.
  virtual uint32_t WriteValue(std::span<const std::byte> data, uint32_t present_block,
                              uint32_t present_block_count,
                              uint32_t kind = memo_layout::kFoxProTextKind);

  // Blocks a value of data_length bytes needs in this file.
  uint32_t BlocksNeeded(size_t data_length) const;
  uint32_t NextFreeBlock() const { return GetNextFreeBlock(); }

  // Where the file ended and what the header said, taken before values are written, so that
  // a write whose record is then refused can give its blocks back.
  struct TMark {
    uint64_t size = 0;
    uint32_t next_free = 0;
  };
  TMark Mark();
  // Returns the file to before (size and next-free number) when after is still how it ends,
  // that is when no other program has taken blocks since; otherwise the blocks stay unused,
  // which is harmless. Returns whether the blocks were given back.
  bool GiveBack(const TMark& before, const TMark& after);

 protected:
  virtual uint32_t GetNextFreeBlock() const = 0;
  virtual void SetNextFreeBlock(uint32_t block) = 0;
  // 0 when the header holds none (or 0).
  virtual size_t BlockSizeInHeader() const = 0;
  virtual void SetBlockSizeInHeader(size_t size) = 0;
  // Bytes before the data in a value's first block, and after it.
  virtual size_t ValueHeaderSize() const = 0;
  virtual size_t TerminatorSize() const = 0;
  // From the first bytes of a value (kValueHeaderSize of them, zero-padded when the file is
  // shorter): the data length, or false when the value has no header (level-3 style).
  virtual bool DecodeValueHeader(std::span<const std::byte> head, uint64_t& length) const = 0;
  // Whether a value may start with a header even where ValueHeaderSize() is 0 (values
  // written by other programs with other block rules are told by their signature).
  virtual bool RecognisesValueHeaders() const { return ValueHeaderSize() > 0; }
  virtual void EncodeValueHeader(std::span<std::byte> head, uint32_t length,
                                 uint32_t kind) const = 0;

 private:
  void InitNewHeader(size_t block_size);
  TMemoValue ReadTerminatedValue(uint64_t start);

  size_t block_size_ = kDefaultMemoBlockSize;
};

// ".dbt" of levels 3, 4 and 7.
class TDbaseMemoFile final : public TMemoFile {
 public:
  // The block rules follow what the file is: level-3 blocks (terminated values, fixed
  // 512-byte blocks) for a table of level 3, unless dbase4_blocks says that the table's
  // version byte carries the dBASE IV memo bits (0x88), as level-3 tables written by several
  // other programs do. Reading also recognises a dBASE IV value by its signature in either
  // case.
  explicit TDbaseMemoFile(int table_level, bool dbase4_blocks = false)
      : table_level_(dbase4_blocks && table_level == 3 ? 4 : table_level) {}

 protected:
  uint32_t GetNextFreeBlock() const override;
  void SetNextFreeBlock(uint32_t block) override;
  size_t BlockSizeInHeader() const override;
  void SetBlockSizeInHeader(size_t size) override;
  size_t ValueHeaderSize() const override;
  size_t TerminatorSize() const override;
  bool DecodeValueHeader(std::span<const std::byte> head, uint64_t& length) const override;
  void EncodeValueHeader(std::span<std::byte> head, uint32_t length,
                         uint32_t kind) const override;
  bool RecognisesValueHeaders() const override { return true; }

 private:
  bool IsLevel3() const { return table_level_ == 3; }
  int table_level_;
};

// ".fpt" of level 25.
class TFoxProMemoFile final : public TMemoFile {
 protected:
  uint32_t GetNextFreeBlock() const override;
  void SetNextFreeBlock(uint32_t block) override;
  size_t BlockSizeInHeader() const override;
  void SetBlockSizeInHeader(size_t size) override;
  size_t ValueHeaderSize() const override { return memo_layout::kValueHeaderSize; }
  size_t TerminatorSize() const override { return 0; }
  bool DecodeValueHeader(std::span<const std::byte> head, uint64_t& length) const override;
  void EncodeValueHeader(std::span<std::byte> head, uint32_t length,
                         uint32_t kind) const override;
};

// Stands in for a memo file that does not exist: every value reads empty, writes store
// nothing and keep the field's present block number.
class TNullMemoFile final : public TMemoFile {
 public:
  void OpenMemo(size_t) override {}
  void CloseMemo() override {}
  TMemoValue ReadValue(uint32_t) override { return {}; }
  uint32_t WriteValue(std::span<const std::byte>, uint32_t present_block, uint32_t,
                      uint32_t) override {
    return present_block;
  }

 protected:
  uint32_t GetNextFreeBlock() const override { return 0; }
  void SetNextFreeBlock(uint32_t) override {}
  size_t BlockSizeInHeader() const override { return 0; }
  void SetBlockSizeInHeader(size_t) override {}
  size_t ValueHeaderSize() const override { return 0; }
  size_t TerminatorSize() const override { return 0; }
  bool DecodeValueHeader(std::span<const std::byte>, uint64_t&) const override { return false; }
  void EncodeValueHeader(std::span<std::byte>, uint32_t, uint32_t) const override {}
};

}  // namespace lgoty::dbf
