#include "dbf/memo_file.h"

#include <gtest/gtest.h>

#include "core/byte_codec.h"
#include "dbf_test_support.h"

namespace lgoty::dbf {
namespace {

using testing::At;
using testing::Text;

std::vector<std::byte> Filled(size_t n, char c) { return std::vector<std::byte>(n, std::byte(c)); }

// A memo file over a memory stream the test can look into.
template <typename Memo>
struct MemoryMemo {
  platform::MemoryFile memory;
  Memo memo;
  template <typename... Args>
  explicit MemoryMemo(Args... args) : memo(args...) {
    memo.SetMode(TFileAccessMode::amMemoryNew);
    memo.SetMemoryStream(&memory);
    memo.OpenMemo(512);
    memo.FlushHeader();
  }
  std::vector<std::byte>& Bytes() { return memory.Contents(); }
};

TEST(MemoFile, NewDbaseFileHasNextFreeBlockOneAndTheBlockSize) {
  MemoryMemo<TDbaseMemoFile> level4(4);
  ASSERT_EQ(level4.Bytes().size(), 512u);
  EXPECT_EQ(core::GetU32LE(level4.Bytes(), 0), 1u);
  EXPECT_EQ(core::GetU16LE(level4.Bytes(), 20), 512u);

  MemoryMemo<TDbaseMemoFile> level3(3);
  EXPECT_EQ(core::GetU32LE(level3.Bytes(), 0), 1u);
  EXPECT_EQ(At(level3.Bytes(), 16), 3);

  // Small blocks: the header covers several of them.
  TFoxProMemoFile fox;
  platform::MemoryFile memory;
  fox.SetMode(TFileAccessMode::amMemoryNew);
  fox.SetMemoryStream(&memory);
  fox.OpenMemo(64);
  EXPECT_EQ(core::GetU32BE(memory.Contents(), 0), 8u);
  EXPECT_EQ(core::GetU16BE(memory.Contents(), 6), 64u);
}

TEST(MemoFile, Level4ValueOf1000BytesTakesTwoBlocksAndMovesToTheEndWhenItGrows) {
  MemoryMemo<TDbaseMemoFile> m(4);
  const auto value = Filled(1000, 'x');
  uint32_t block = m.memo.WriteValue(value, 0, 0);
  EXPECT_EQ(block, 1u);
  EXPECT_EQ(m.memo.NextFreeBlock(), 3u);
  ASSERT_EQ(m.Bytes().size(), 512u * 3);
  EXPECT_EQ(core::GetU32LE(m.Bytes(), 512), 0x0008FFFFu);
  EXPECT_EQ(core::GetU32LE(m.Bytes(), 516), 1008u);
  EXPECT_EQ(At(m.Bytes(), 512 + 8 + 999), 'x');
  EXPECT_EQ(At(m.Bytes(), 512 + 8 + 1000), ' ') << "the last block is filled with spaces";

  TMemoValue read = m.memo.ReadValue(block);
  EXPECT_EQ(read.data, value);
  EXPECT_EQ(read.block_count, 2u);

  // A shorter value stays where it is.
  EXPECT_EQ(m.memo.WriteValue(Filled(900, 'y'), block, read.block_count), 1u);
  EXPECT_EQ(m.memo.ReadValue(1).data, Filled(900, 'y'));

  const auto longer = Filled(1100, 'z');
  uint32_t moved = m.memo.WriteValue(longer, block, read.block_count);
  EXPECT_EQ(moved, 3u);
  EXPECT_EQ(m.memo.NextFreeBlock(), 6u);
  EXPECT_EQ(m.memo.ReadValue(moved).data, longer);
  EXPECT_EQ(m.memo.ReadValue(moved).block_count, 3u);
  EXPECT_EQ(m.memo.WriteValue({}, moved, 3), 0u) << "an empty value is block 0";
}

TEST(MemoFile, Level3ValueOf510BytesFitsOneBlockAnd511TakeTwo) {
  MemoryMemo<TDbaseMemoFile> m(3);
  EXPECT_EQ(m.memo.BlocksNeeded(510), 1u);
  EXPECT_EQ(m.memo.BlocksNeeded(511), 2u);
  uint32_t first = m.memo.WriteValue(Filled(510, 'a'), 0, 0);
  EXPECT_EQ(first, 1u);
  EXPECT_EQ(At(m.Bytes(), 512 + 510), 0x1A);
  EXPECT_EQ(At(m.Bytes(), 512 + 511), 0x1A);
  uint32_t second = m.memo.WriteValue(Filled(511, 'b'), 0, 0);
  EXPECT_EQ(second, 2u);
  EXPECT_EQ(m.memo.NextFreeBlock(), 4u);
  EXPECT_EQ(m.memo.ReadValue(first).data, Filled(510, 'a'));
  EXPECT_EQ(m.memo.ReadValue(second).data, Filled(511, 'b'));
  EXPECT_EQ(m.memo.ReadValue(second).block_count, 2u);
}

TEST(MemoFile, Level3TerminatorRules) {
  MemoryMemo<TDbaseMemoFile> m(3);
  auto& bytes = m.Bytes();
  bytes.resize(512 * 4, std::byte{' '});
  // Block 1: text, a lone 1A inside the value, then 1A followed by a zero byte.
  auto put = [&](size_t at, const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) bytes[at + i] = std::byte(s[i]);
  };
  put(512, "ab\x1A" "cd\x1A");
  bytes[512 + 6] = std::byte{0};
  EXPECT_EQ(m.memo.ReadValue(1).data, Text("ab\x1A" "cd"));
  // Block 2 ends with 1A and block 3 begins with 1A: the value is block 2 without its last
  // byte.
  std::fill(bytes.begin() + 1024, bytes.begin() + 1536, std::byte{'q'});
  bytes[1535] = std::byte{0x1A};
  bytes[1536] = std::byte{0x1A};
  TMemoValue v = m.memo.ReadValue(2);
  EXPECT_EQ(v.data, Filled(511, 'q'));
  // Without a terminator reading stops at the end of the file.
  std::fill(bytes.begin() + 1536, bytes.end(), std::byte{'r'});
  bytes[1535] = std::byte{'q'};
  EXPECT_EQ(m.memo.ReadValue(2).data.size(), 1024u);
}

TEST(MemoFile, FoxProValuesAreBigEndianWithTheirKind) {
  MemoryMemo<TFoxProMemoFile> m;
  EXPECT_EQ(core::GetU16BE(m.Bytes(), 6), 512u);
  uint32_t block = m.memo.WriteValue(Text("hello"), 0, 0);
  EXPECT_EQ(block, 1u);
  m.memo.FlushHeader();
  EXPECT_EQ(core::GetU32BE(m.Bytes(), 0), 2u);
  EXPECT_EQ(core::GetU32BE(m.Bytes(), 512), 1u);
  EXPECT_EQ(core::GetU32BE(m.Bytes(), 516), 5u);
  EXPECT_EQ(m.memo.ReadValue(block).data, Text("hello"));
}

TEST(MemoFile, ZeroBlockSizeIsRepairedTo512OnOpen) {
  testing::ScratchFolder dir;
  const std::string path = dir.File("zero.dbt");
  std::vector<std::byte> file(1024, std::byte{0});
  core::PutU32LE(file, 0, 2);
  core::PutU32LE(file, 512, 0x0008FFFF);
  core::PutU32LE(file, 516, 8 + 3);
  file[520] = std::byte{'a'};
  file[521] = std::byte{'b'};
  file[522] = std::byte{'c'};
  platform::WriteWholeFile(path, file);
  {
    TDbaseMemoFile memo(4);
    memo.SetFileName(path);
    memo.SetMode(TFileAccessMode::amSharedExisting);
    memo.OpenMemo(512);
    EXPECT_EQ(memo.BlockSize(), 512u);
    EXPECT_EQ(memo.ReadValue(1).data, Text("abc"));
  }
  EXPECT_EQ(core::GetU16LE(platform::ReadWholeFile(path), 20), 512u);
}

TEST(MemoFile, DamagedLengthsAndNumbersStayInsideTheFile) {
  MemoryMemo<TDbaseMemoFile> m(4);
  m.memo.WriteValue(Text("abc"), 0, 0);
  // A length far beyond the file reads what is there.
  core::PutU32LE(m.Bytes(), 516, 0xFFFFFFF0u);
  EXPECT_EQ(m.memo.ReadValue(1).data.size(), 512u - 8);
  EXPECT_TRUE(m.memo.ReadValue(0).data.empty());
  EXPECT_TRUE(m.memo.ReadValue(999999).data.empty());
  EXPECT_TRUE(m.memo.ReadValue(0xFFFFFFFFu).data.empty());
  // A next-free number pointing back into used blocks never overwrites them.
  core::PutU32LE(m.memo.Header(), 0, 1);
  uint32_t block = m.memo.WriteValue(Text("new"), 0, 0);
  EXPECT_EQ(block, 2u);
  EXPECT_EQ(m.memo.ReadValue(2).data, Text("new"));
}

TEST(MemoFile, NullMemoReadsEmptyAndKeepsTheFieldsBlock) {
  TNullMemoFile memo;
  memo.OpenMemo(512);
  EXPECT_TRUE(memo.ReadValue(5).data.empty());
  EXPECT_EQ(memo.WriteValue(Text("x"), 5, 1, 1), 5u);
}

}  // namespace
}  // namespace lgoty::dbf
