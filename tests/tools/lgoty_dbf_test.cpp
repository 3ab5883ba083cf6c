// lgoty-dbf and gen_register run as programs, the way users and scripts run them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/json.h"
#include "platform/file.h"
#include "tests/tools/tool_test_support.h"

namespace lgoty::tools {
namespace {

using core::JsonValue;

TEST_F(ToolTest, CreateWritesTheHeaderOfTheLevel) {
  const Result r = Run("lgoty-dbf", "create " + File("one.dbf") + " --level 4 --ldid 0x65 NAME:C:10");
  ASSERT_EQ(r.status, 0) << r.err;
  const JsonValue info = Lines(r.out).at(0);
  EXPECT_EQ(info.Find("header_length")->Text(), "65");
  EXPECT_EQ(info.Find("record_length")->Text(), "11");
  EXPECT_EQ(info.Find("ldid")->Text(), "101");
  EXPECT_EQ(info.Find("code_page")->Text(), "866");
  const std::vector<std::byte> bytes = platform::ReadWholeFile(File("one.dbf"));
  ASSERT_EQ(bytes.size(), 66u);
  EXPECT_EQ(static_cast<int>(bytes[0]), 0x03);
  EXPECT_EQ(static_cast<int>(bytes[29]), 0x65);
  EXPECT_EQ(static_cast<int>(bytes[64]), 0x0D);
  EXPECT_EQ(static_cast<int>(bytes[65]), 0x1A);

  const Result again = Run("lgoty-dbf", "create " + File("one.dbf") + " --level 4 NAME:C:10");
  EXPECT_NE(again.status, 0) << "an existing table is not replaced without --overwrite";
  EXPECT_NE(Run("lgoty-dbf", "create " + File("x.dbf") + " --level 5 NAME:C:10").status, 0);
  EXPECT_NE(Run("lgoty-dbf", "create " + File("x.dbf") + " --level 4 NAME:J:10").status, 0);
}

TEST_F(ToolTest, AppendedRowsDumpAndSumWithTheirValues) {
  const std::string table = File("reg.dbf");
  ASSERT_EQ(Run("lgoty-dbf", "create " + table +
                                 " --level 4 --ldid 0x65 FAMIL:C:25 SUMPAY:N:12:2 "
                                 "DATERCPT:D:8 OK:L:1 PRIM:M:10")
                .status,
            0);
  const std::string rows =
      R"({"FAMIL":"Ёлкин","SUMPAY":1234.5,"DATERCPT":"2024-02-29","OK":true,"PRIM":"строка\r\nдве"})"
      "\n"
      R"({"FAMIL":"Петров","SUMPAY":"-150.25","OK":false})"
      "\n\n"
      R"({"FAMIL":"Ноль","SUMPAY":0,"DATERCPT":"20230101"})"
      "\n";
  const Result appended = Run("lgoty-dbf", "append " + table, rows);
  ASSERT_EQ(appended.status, 0) << appended.err;
  EXPECT_EQ(appended.out, "{\"_recno\":1}\n{\"_recno\":2}\n{\"_recno\":3}\n");

  const Result dump = Run("lgoty-dbf", "dump " + table);
  ASSERT_EQ(dump.status, 0) << dump.err;
  const std::vector<JsonValue> lines = Lines(dump.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Serialize(),
            R"({"_recno":1,"_deleted":false,"FAMIL":"Ёлкин","SUMPAY":1234.5,)"
            R"("DATERCPT":"2024-02-29","OK":true,"PRIM":"строка\r\nдве"})");
  EXPECT_EQ(lines[1].Serialize(),
            R"({"_recno":2,"_deleted":false,"FAMIL":"Петров","SUMPAY":-150.25,)"
            R"("DATERCPT":null,"OK":false,"PRIM":null})");
  EXPECT_EQ(lines[2].Find("DATERCPT")->AsString(), "2023-01-01");

  const Result sum = Run("lgoty-dbf", "sum " + table + " sumpay");
  ASSERT_EQ(sum.status, 0) << sum.err;
  EXPECT_EQ(sum.out, "{\"records\":3,\"nonzero\":2,\"sum\":1084.25}\n");
  EXPECT_NE(Run("lgoty-dbf", "sum " + table + " FAMIL").status, 0);
}

TEST_F(ToolTest, NothingIsWrittenAfterABadInputLine) {
  const std::string table = File("t.dbf");
  ASSERT_EQ(Run("lgoty-dbf", "create " + table + " --level 4 A:C:5 N:N:4").status, 0);
  const std::vector<std::byte> before = platform::ReadWholeFile(table);
  for (const char* input : {"{\"A\":\"ok\"}\n{\"N\":123456}\n",    // does not fit N4
                            "{\"A\":\"ok\"}\n{\"NOPE\":1}\n",      // no such field
                            "{\"A\":\"ok\"}\n{\"N\":\"x1\"}\n",    // not a number
                            "{\"A\":\"ok\"}\n{\"A\":\"ok\"\n"}) {  // broken JSON
    const Result r = Run("lgoty-dbf", "append " + table, input);
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(platform::ReadWholeFile(table), before) << input;
  }
  const Result missing = Run("lgoty-dbf", "append " + table, "{\"NOPE\":1}\n");
  EXPECT_NE(missing.err.find("Field 'NOPE' not found"), std::string::npos) << missing.err;
}

TEST_F(ToolTest, SetAndDeleteChangeOneRecord) {
  const std::string table = File("t.dbf");
  ASSERT_EQ(Run("lgoty-dbf", "create " + table + " --level 25 --ldid 0xC9 A:C:8 N:N:6:1 P:M:4")
                .status,
            0);
  ASSERT_EQ(Run("lgoty-dbf", "append " + table, "{\"A\":\"один\"}\n{\"A\":\"два\"}\n").status, 0);
  Result r = Run("lgoty-dbf", "set " + table + " 2 N=2.5 P=заметка A=");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run("lgoty-dbf", "delete " + table + " 1 --shared");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<JsonValue> lines = Lines(Run("lgoty-dbf", "dump --deleted " + table).out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].Find("_deleted")->AsBoolean());
  EXPECT_EQ(lines[1].Serialize(),
            R"({"_recno":2,"_deleted":false,"A":null,"N":2.5,"P":"заметка"})");
  EXPECT_EQ(Lines(Run("lgoty-dbf", "dump " + table).out).size(), 1u);

  const Result missing = Run("lgoty-dbf", "set " + table + " 3 N=1");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Record 3 does not exist"), std::string::npos) << missing.err;
  EXPECT_EQ(Run("lgoty-dbf", "bogus").status, 2);
}

TEST_F(ToolTest, GeneratedRegisterIsDeterministic) {
  for (const char* name : {"a.dbf", "b.dbf"}) {
    const Result r = Run("gen_register", "--rows 300 --seed 42 --kind dent " + File(name));
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::vector<std::byte> a = platform::ReadWholeFile(File("a.dbf"));
  std::vector<std::byte> b = platform::ReadWholeFile(File("b.dbf"));
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 1; i <= 3; ++i) a[i] = b[i] = std::byte{0};  // date of last update
  EXPECT_EQ(a, b);

  const JsonValue info = Lines(Run("lgoty-dbf", "info " + File("a.dbf")).out).at(0);
  EXPECT_EQ(info.Find("records")->Text(), "300");
  EXPECT_EQ(info.Find("ldid")->Text(), "101");
  std::vector<std::string> names;
  for (const JsonValue& f : info.Find("fields")->Items()) names.push_back(f.Find("name")->AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"FAMIL", "IMJA", "OTCH", "PYNKAR", "DOC_SER",
                                             "DOC_NUM", "SUMPAY", "NARYD", "DATENRD"}));
  const std::vector<JsonValue> all = Lines(Run("lgoty-dbf", "dump --deleted " + File("a.dbf")).out);
  int deleted = 0, blank_amounts = 0, negative = 0, zero = 0;
  bool yo = false;
  for (const JsonValue& row : all) {
    deleted += row.Find("_deleted")->AsBoolean();
    const JsonValue& amount = *row.Find("SUMPAY");
    if (amount.IsNull()) ++blank_amounts;
    else if (amount.AsDouble() < 0) ++negative;
    else if (amount.AsDouble() == 0) ++zero;
    const JsonValue& famil = *row.Find("FAMIL");
    yo = yo || (!famil.IsNull() && famil.AsString().find("ё") != std::string::npos);
  }
  EXPECT_EQ(all.size(), 300u);
  EXPECT_GT(deleted, 0);
  EXPECT_GT(blank_amounts, 0);
  EXPECT_GT(negative, 0);
  EXPECT_GT(zero, 0);
  EXPECT_TRUE(yo);
}

TEST_F(ToolTest, CapitalRegisterHasNoSmallLetters) {
  ASSERT_EQ(Run("gen_register", "--rows 300 --seed 7 --kind med --upper " + File("u.dbf")).status, 0);
  bool capital_yo = false;
  for (const JsonValue& row : Lines(Run("lgoty-dbf", "dump " + File("u.dbf")).out)) {
    for (const char* field : {"FAMIL", "IMJA", "OTCH"}) {
      const JsonValue& value = *row.Find(field);
      if (value.IsNull()) continue;
      const std::string text = value.AsString();
      EXPECT_EQ(text.find("ё"), std::string::npos) << text;
      for (char c : text) EXPECT_FALSE(c >= 'a' && c <= 'z') << text;
      capital_yo = capital_yo || text.find("Ё") != std::string::npos;
    }
  }
  EXPECT_TRUE(capital_yo);
}

}  // namespace
}  // namespace lgoty::tools
