// What lgoty-dbf stores: values that do not fit their field, texts the code page cannot hold,
// and the options that say how text is encoded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/tools/tool_test_support.h"

namespace lgoty::tools {
namespace {

class StoredValues : public ToolTest {};

TEST_F(StoredValues, ValuesThatWouldBeAlteredAreRefusedUnlessTruncateAsks) {
  const std::string table = File("t.dbf");
  ASSERT_EQ(Run("lgoty-dbf", "create " + table +
                                 " --level 4 --ldid 0x65 A:C:5 N:N:10:2 Y:F:6:1 P:M:10")
                .status,
            0);
  ASSERT_EQ(Run("lgoty-dbf", "append " + table, "{\"A\":\"ok\"}\n").status, 0);
  // An open rewrites the header with its 0x1A after the last record (an append leaves
  // none): from here on the bytes only change when something is stored.
  ASSERT_EQ(Run("lgoty-dbf", "set " + table + " 1 A=ok").status, 0);
  const std::vector<std::byte> before = platform::ReadWholeFile(table);
  const std::vector<std::byte> memo_before = platform::ReadWholeFile(File("t.dbt"));
  const struct {
    const char* input;
    const char* error;
  } refused[] = {
      {"{\"A\":\"abcdefgh\"}", "does not fit"},
      {"{\"N\":12345678.99}", "does not fit"},
      {"{\"N\":\"-12345678.5\"}", "does not fit"},
      {"{\"A\":\"é😀\"}", "code page 866 cannot hold"},
      {"{\"P\":\"note é\"}", "code page 866 cannot hold"},
  };
  for (const auto& c : refused) {
    const Result r = Run("lgoty-dbf", "append " + table, std::string(c.input) + "\n");
    EXPECT_EQ(r.status, 1) << c.input;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << c.input << ": " << r.err;
    EXPECT_EQ(platform::ReadWholeFile(table), before) << c.input;
    EXPECT_EQ(platform::ReadWholeFile(File("t.dbt")), memo_before) << c.input;
  }
  const Result set = Run("lgoty-dbf", "set " + table + " 1 A=abcdef");
  EXPECT_EQ(set.status, 1);
  EXPECT_EQ(platform::ReadWholeFile(table), before);

  // What fits goes in: trailing blanks, rounding to the field's decimals, Cyrillic in 866.
  Result ok = Run("lgoty-dbf", "append " + table,
                  "{\"A\":\"abcde   \",\"N\":1234567.891,\"Y\":12.34,\"P\":\"Ёлка\"}\n");
  ASSERT_EQ(ok.status, 0) << ok.err;
  std::vector<core::JsonValue> rows = Lines(Run("lgoty-dbf", "dump " + table).out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].Serialize(),
            R"({"_recno":2,"_deleted":false,"A":"abcde","N":1234567.89,"Y":12.3,"P":"Ёлка"})");

  // --truncate stores what the engine makes of it.
  ok = Run("lgoty-dbf", "append --truncate " + table,
           "{\"A\":\"abcdefgh\",\"N\":12345678.99,\"P\":\"é\"}\n");
  ASSERT_EQ(ok.status, 0) << ok.err;
  rows = Lines(Run("lgoty-dbf", "dump " + table).out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].Find("A")->AsString(), "abcde");
  EXPECT_EQ(rows[2].Find("N")->Text(), "12345678.9");
  EXPECT_EQ(rows[2].Find("P")->AsString(), "?");
  EXPECT_EQ(Run("lgoty-dbf", "set --truncate " + table + " 1 A=abcdef").status, 0);
}

TEST_F(StoredValues, HelpDriverAtLevelThreeAndCodePageOption) {
  for (const char* help : {"--help", "-h", "dump --help"}) {
    const Result r = Run("lgoty-dbf", help);
    EXPECT_EQ(r.status, 0) << help;
    EXPECT_EQ(r.out.rfind("usage: lgoty-dbf", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--code-page"), std::string::npos);
  }

  const Result refused = Run("lgoty-dbf", "create " + File("x.dbf") + " --level 3 --ldid 0x65 A:C:5");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("level-3 table has no language driver byte"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(platform::FileExists(File("x.dbf")));

  // A level-3 table's text is in the code page the reader names.
  const std::string table = File("old.dbf");
  ASSERT_EQ(Run("lgoty-dbf", "create " + table + " --level 3 A:C:10").status, 0);
  ASSERT_EQ(Run("lgoty-dbf", "append --code-page 866 " + table, "{\"A\":\"Жук\"}\n").status, 0);
  const std::vector<std::byte> bytes = platform::ReadWholeFile(table);
  const size_t record = 32 + 32 + 1;
  EXPECT_EQ(bytes.at(record + 1), std::byte{0x86});  // Ж in 866
  const Result dump = Run("lgoty-dbf", "dump --code-page 866 " + table);
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(Lines(dump.out).at(0).Find("A")->AsString(), "Жук");
  const Result other = Run("lgoty-dbf", "dump --code-page 1251 " + table);
  EXPECT_NE(Lines(other.out).at(0).Find("A")->AsString(), "Жук");
  EXPECT_EQ(Run("lgoty-dbf", "dump --code-page 12345 " + table).status, 2);
}

}  // namespace
}  // namespace lgoty::tools
