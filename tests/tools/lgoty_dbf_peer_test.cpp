// Tables as other programs write them, built byte by byte, read and written by lgoty-dbf.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/tools/tool_test_support.h"

namespace lgoty::tools {
namespace {

using Bytes = std::vector<std::byte>;

void Put(Bytes& bytes, size_t at, std::initializer_list<int> values) {
  for (int v : values) bytes.at(at++) = static_cast<std::byte>(v);
}
void Put(Bytes& bytes, size_t at, const std::string& text) {
  for (char c : text) bytes.at(at++) = static_cast<std::byte>(c);
}

// A table of one record, NAME C(10) and NOTE M(10), with version byte `version` and language
// driver byte 0, whose memo value in block 1 is `block`.
void WritePeerTable(const std::string& dbf, const std::string& dbt, int version,
                    const Bytes& block) {
  Bytes table(97 + 21 + 1, std::byte{0});
  Put(table, 0, {version, 124, 1, 15, 1, 0, 0, 0, 97, 0, 21, 0});
  Put(table, 32, "NAME");
  Put(table, 32 + 11, "C");
  Put(table, 32 + 16, {10});
  Put(table, 64, "NOTE");
  Put(table, 64 + 11, "M");
  Put(table, 64 + 16, {10});
  Put(table, 96, {0x0D});
  Put(table, 97, " Ann                1");
  Put(table, 97 + 21, {0x1A});
  platform::WriteWholeFile(dbf, table);

  Bytes memo(1024, std::byte{' '});
  std::fill(memo.begin(), memo.begin() + 512, std::byte{0});
  Put(memo, 0, {2, 0, 0, 0});
  if (version == 0x8B) Put(memo, 20, {0x00, 0x02});
  std::copy(block.begin(), block.end(), memo.begin() + 512);
  platform::WriteWholeFile(dbt, memo);
}

Bytes Block(std::initializer_list<int> head, const std::string& text, std::initializer_list<int> tail) {
  Bytes b;
  for (int v : head) b.push_back(static_cast<std::byte>(v));
  for (char c : text) b.push_back(static_cast<std::byte>(c));
  for (int v : tail) b.push_back(static_cast<std::byte>(v));
  return b;
}

class PeerTables : public ToolTest {};

TEST_F(PeerTables, MemoBlocksFollowTheVersionByteNotTheLevel) {
  const std::string dbf = File("peer.dbf"), dbt = File("peer.dbt");
  // dBASE IV blocks in a table whose missing driver byte makes it level 3.
  WritePeerTable(dbf, dbt, 0x8B, Block({0xFF, 0xFF, 0x08, 0x00, 13, 0, 0, 0}, "hello", {}));
  const Result info = Run("lgoty-dbf", "info " + dbf);
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(Lines(info.out).at(0).Find("level")->Text(), "3");
  Result dump = Run("lgoty-dbf", "dump " + dbf);
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(Lines(dump.out).at(0).Find("NOTE")->AsString(), "hello");

  // A value written now gets the blocks of the file: signature and length, no terminator.
  const Result appended = Run("lgoty-dbf", "append " + dbf, "{\"NAME\":\"Bob\",\"NOTE\":\"world\"}\n");
  ASSERT_EQ(appended.status, 0) << appended.err;
  const Bytes memo = platform::ReadWholeFile(dbt);
  ASSERT_GE(memo.size(), 1024u + 13);
  EXPECT_EQ(Bytes(memo.begin() + 1024, memo.begin() + 1037),
            Block({0xFF, 0xFF, 0x08, 0x00, 13, 0, 0, 0}, "world", {}));
  dump = Run("lgoty-dbf", "dump " + dbf);
  const std::vector<core::JsonValue> rows = Lines(dump.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Find("NOTE")->AsString(), "hello");
  EXPECT_EQ(rows[1].Find("NOTE")->AsString(), "world");
}

TEST_F(PeerTables, LevelThreeBlocksReadAsBefore) {
  const std::string dbf = File("old.dbf"), dbt = File("old.dbt");
  WritePeerTable(dbf, dbt, 0x83, Block({}, "hello", {0x1A, 0x1A}));
  Result dump = Run("lgoty-dbf", "dump " + dbf);
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(Lines(dump.out).at(0).Find("NOTE")->AsString(), "hello");
  ASSERT_EQ(Run("lgoty-dbf", "append " + dbf, "{\"NOTE\":\"world\"}\n").status, 0);
  const Bytes memo = platform::ReadWholeFile(dbt);
  ASSERT_GE(memo.size(), 1024u + 7);
  EXPECT_EQ(Bytes(memo.begin() + 1024, memo.begin() + 1031), Block({}, "world", {0x1A, 0x1A}));

  // A dBASE IV value in such a file is told by its signature.
  WritePeerTable(dbf, dbt, 0x83, Block({0xFF, 0xFF, 0x08, 0x00, 11, 0, 0, 0}, "abc", {}));
  dump = Run("lgoty-dbf", "dump " + dbf);
  EXPECT_EQ(Lines(dump.out).at(0).Find("NOTE")->AsString(), "abc");
}

}  // namespace
}  // namespace lgoty::tools
