// Tables exchanged with independent implementations at test time, in both directions:
//   - python3-dbf (dBASE III, FoxPro and Visual FoxPro with memos) and Perl XBase (dBASE IV
//     with a dBASE IV memo file) write the same rows, our engine reads them;
//   - our engine writes the rows at levels 3, 4 and 25 with memos, python3-dbfread reads them.
// Cyrillic text in code page 866 (LDID 0x65) and 1251 (LDID 0xC9). The helper scripts are in
// tests/dbf/oracles/. A test is skipped only when its tool is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "core/json.h"
#include "dbf_test_support.h"
#include "interop_support.h"

namespace lgoty::dbf {
namespace {

using core::JsonValue;

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kPerl = "/usr/bin/perl";
const std::string kOracles = std::string(LGOTY_SOURCE_DIR) + "/tests/dbf/oracles/";

bool Succeeds(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}
bool HavePython(const char* module) {
  return Succeeds(std::string(kPython) + " -c 'import " + module + "'");
}
bool HavePerlXBase() { return Succeeds(std::string(kPerl) + " -MXBase -MJSON::PP -e 1"); }

// Runs command; returns its standard output, failing the test on a non-zero exit.
std::string RunTool(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return output;
  }
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << command << "\n" << output;
  return output;
}

std::string LongMemo(int lines) {
  std::string text;
  for (int i = 1; i <= lines; ++i)
    text += "строка " + std::to_string(i) + "\tльгота Ёё\r\n";
  return text;
}

// The rows every writer writes: FAMIL C25, SUMPAY N12.2, DATERCPT D8, OK L1, PRIM M.
JsonValue Rows() {
  struct Row {
    const char* famil;
    const char* sumpay;
    const char* date;
    int ok;  // -1 = null
    std::string prim;
  };
  const Row rows[] = {
      {"Ёлкин", "1234.50", "2024-02-29", 1, "Инвалид II группы"},
      {"Иванов-Ёжиков", "-150.25", "2023-12-31", 0, LongMemo(20)},  // ~600 bytes
      {"", nullptr, nullptr, -1, ""},
      {"ЩУКИН ёж", "0.00", "1999-01-01", 1, "x"},
      {"Latin Name", "999999999.99", "2000-01-31", 0, LongMemo(50)},  // ~1500 bytes
  };
  JsonValue array = JsonValue::Array();
  for (const Row& r : rows) {
    JsonValue row = JsonValue::Object();
    row.Add("FAMIL", JsonValue::String(r.famil));
    row.Add("SUMPAY", r.sumpay ? JsonValue::String(r.sumpay) : JsonValue());
    row.Add("DATERCPT", r.date ? JsonValue::String(r.date) : JsonValue());
    row.Add("OK", r.ok < 0 ? JsonValue() : JsonValue::Boolean(r.ok == 1));
    row.Add("PRIM", JsonValue::String(r.prim));
    array.Add(std::move(row));
  }
  return array;
}

const char* kLetters[][2] = {{"FAMIL", "C"}, {"SUMPAY", "N"}, {"DATERCPT", "D"},
                             {"OK", "L"}, {"PRIM", "M"}};

std::string WriteRowsFile(const testing::ScratchFolder& dir) {
  const std::string path = dir.File("rows.json");
  std::ofstream(path, std::ios::binary) << Rows().Serialize();
  return path;
}

// Our reading of a table another tool wrote from Rows(). Those tools store a missing logical
// as "?", which reads as false (only T is true), so a null OK is expected as false.
void ExpectEngineReadsRows(const std::string& path, int level, int code_page) {
  TDbfFile file;
  const interop::EngineTable table = interop::ReadWithEngine(file, path);
  EXPECT_EQ(table.level, level);
  EXPECT_EQ(table.code_page, code_page);
  const JsonValue rows = Rows();
  ASSERT_EQ(table.records.size(), rows.Items().size());
  for (size_t r = 0; r < table.records.size(); ++r) {
    EXPECT_FALSE(table.records[r].deleted);
    for (const auto& [name, letter] : kLetters) {
      JsonValue want = *rows.Items()[r].Find(name);
      if (letter[0] == 'L' && want.IsNull()) want = JsonValue::Boolean(false);
      interop::ExpectSameValue(letter[0], want, table.records[r].values.at(name),
                               path + " record " + std::to_string(r + 1) + " " + name);
    }
  }
}

struct Written {
  const char* kind;
  int ldid;
  int level;
  int code_page;
};

TEST(InteropOracles, TablesWrittenByPythonDbfReadBack) {
  if (!HavePython("dbf")) GTEST_SKIP() << "python3-dbf is not installed";
  testing::ScratchFolder dir;
  const std::string rows = WriteRowsFile(dir);
  // A dBASE III file with a language driver byte opens as level 4.
  const Written cases[] = {{"db3", 0x65, 4, 866}, {"db3", 0xC9, 4, 1251},
                           {"fp", 0x65, 25, 866}, {"fp", 0xC9, 25, 1251},
                           {"vfp", 0x65, 25, 866}, {"vfp", 0xC9, 25, 1251}};
  for (const Written& c : cases) {
    const std::string path =
        dir.File(std::string("py_") + c.kind + "_" + std::to_string(c.ldid) + ".dbf");
    RunTool(std::string(kPython) + " " + kOracles + "pydbf_write.py " + path + " " + c.kind + " " +
        std::to_string(c.ldid) + " " + rows);
    SCOPED_TRACE(path);
    ExpectEngineReadsRows(path, c.level, c.code_page);
  }
}

TEST(InteropOracles, DbaseIvTablesWrittenByPerlXBaseReadBack) {
  if (!HavePerlXBase()) GTEST_SKIP() << "Perl XBase is not installed";
  testing::ScratchFolder dir;
  const std::string rows = WriteRowsFile(dir);
  for (const auto& [ldid, encoding, code_page] :
       {std::tuple{"0x65", "cp866", 866}, std::tuple{"0xC9", "cp1251", 1251}}) {
    const std::string path = dir.File(std::string("perl_") + encoding + ".dbf");
    RunTool(std::string(kPerl) + " " + kOracles + "xbase_write.pl " + path + " " + ldid + " " +
        encoding + " " + rows);
    SCOPED_TRACE(path);
    ExpectEngineReadsRows(path, 4, code_page);
  }
}

// Writes Rows() with our engine; the last row is marked deleted.
void WriteWithEngine(const std::string& path, int level, uint8_t ldid, int memo_size,
                     int& code_page) {
  TDbfFieldDefs defs(level);
  const struct {
    const char* name;
    char letter;
    int size, decimals;
  } specs[] = {{"FAMIL", 'C', 25, 0}, {"SUMPAY", 'N', 12, 2}, {"DATERCPT", 'D', 8, 0},
               {"OK", 'L', 1, 0}, {"PRIM", 'M', memo_size, 0}};
  for (const auto& s : specs) {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(s.name);
    def.SetNative(static_cast<uint8_t>(s.letter), s.size, s.decimals);
  }
  TDbfFile file;
  file.SetFileName(path);
  file.SetMode(TFileAccessMode::amExclusiveNew);
  file.SetTableLevel(level);
  file.Create(defs, ldid, 512);
  code_page = file.EffectiveCodePage();
  const TDbfFieldDefs& table_defs = file.FieldDefs();
  const JsonValue rows = Rows();
  for (size_t r = 0; r < rows.Items().size(); ++r) {
    const JsonValue& row = rows.Items()[r];
    std::vector<std::byte> record(file.BlankRecord().begin(), file.BlankRecord().end());
    TFieldValue v;
    v.text = core::FromUtf8(code_page, row.Find("FAMIL")->AsString());
    SetFieldData(table_defs, table_defs[0], data::TFieldType::ftString, record, &v);
    if (!row.Find("SUMPAY")->IsNull()) {
      const std::string& text = row.Find("SUMPAY")->AsString();
      ASSERT_TRUE(ParseDecimal(text.data(), text.data() + text.size(), v.real));
      SetFieldData(table_defs, table_defs[1], data::TFieldType::ftFloat, record, &v);
    }
    if (!row.Find("DATERCPT")->IsNull()) {
      const std::string& iso = row.Find("DATERCPT")->AsString();
      v.real = core::EncodeDate(std::stoi(iso.substr(0, 4)), std::stoi(iso.substr(5, 2)),
                                std::stoi(iso.substr(8, 2)));
      SetFieldData(table_defs, table_defs[2], data::TFieldType::ftDate, record, &v);
    }
    if (!row.Find("OK")->IsNull()) {
      v.integer = row.Find("OK")->AsBoolean();
      SetFieldData(table_defs, table_defs[3], data::TFieldType::ftBoolean, record, &v);
    }
    const std::string memo = core::FromUtf8(code_page, row.Find("PRIM")->AsString());
    if (!memo.empty()) {
      const auto* bytes = reinterpret_cast<const std::byte*>(memo.data());
      v.integer = file.MemoFile()->WriteValue({bytes, memo.size()}, 0, 0);
      SetFieldData(table_defs, table_defs[4], data::TFieldType::ftInteger, record, &v);
    }
    if (r + 1 == rows.Items().size()) record[0] = std::byte{'*'};
    file.Insert(record);
  }
  file.Close();
}

TEST(InteropOracles, TablesWeWriteReadBackByDbfread) {
  if (!HavePython("dbfread")) GTEST_SKIP() << "python3-dbfread is not installed";
  testing::ScratchFolder dir;
  struct Case {
    int level;
    uint8_t ldid;
    int memo_size;
  };
  // Level 3 writes no language driver byte: its text is in the default code page.
  const Case cases[] = {{3, 0, 10},    {4, 0x65, 10},  {4, 0xC9, 10},
                        {25, 0x65, 4}, {25, 0xC9, 10}};
  for (const Case& c : cases) {
    const std::string path =
        dir.File("ours_" + std::to_string(c.level) + "_" + std::to_string(c.ldid) + ".dbf");
    SCOPED_TRACE(path);
    int code_page = 0;
    WriteWithEngine(path, c.level, c.ldid, c.memo_size, code_page);
    if (::testing::Test::HasFatalFailure()) return;
    const JsonValue read = core::ParseJson(RunTool(std::string(kPython) + " " + kOracles +
                                               "dbfread_dump.py " + path + " cp" +
                                               std::to_string(code_page)));
    const JsonValue rows = Rows();
    const auto& records = read.Find("records")->Items();
    ASSERT_EQ(records.size(), rows.Items().size());
    for (size_t r = 0; r < records.size(); ++r) {
      EXPECT_EQ(records[r].Find("_deleted")->AsBoolean(), r + 1 == records.size());
      for (const auto& [name, letter] : kLetters) {
        const JsonValue& want = *rows.Items()[r].Find(name);
        const JsonValue& got = *records[r].Find(name);
        const std::string where = "record " + std::to_string(r + 1) + " " + name;
        if (letter[0] == 'N' && !want.IsNull()) {
          ASSERT_EQ(got.kind(), JsonValue::Kind::String) << where;
          double a = 0, b = 0;
          ASSERT_TRUE(ParseDecimal(got.AsString().data(),
                                   got.AsString().data() + got.AsString().size(), a));
          ASSERT_TRUE(ParseDecimal(want.AsString().data(),
                                   want.AsString().data() + want.AsString().size(), b));
          EXPECT_EQ(a, b) << where;
        } else if ((letter[0] == 'C' || letter[0] == 'M') && want.AsString().empty()) {
          EXPECT_TRUE(got.IsNull() || got.AsString().empty()) << where << got.Serialize();
        } else {
          EXPECT_EQ(got.Serialize(), want.Serialize()) << where;
        }
      }
    }
  }
}

}  // namespace
}  // namespace lgoty::dbf
