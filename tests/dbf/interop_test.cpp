// Tables exchanged with independent implementations (Debian's python3-dbf writes, python3-dbfread
// reads). Skipped where those are not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "dbf_test_support.h"

namespace lgoty::dbf {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

bool PythonHas(const char* module) {
  if (!platform::FileExists(kPython)) return false;
  std::string command = std::string(kPython) + " -c 'import " + module + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// Runs a Python script and returns what it printed.
std::string RunPython(const testing::ScratchFolder& dir, const std::string& script) {
  const std::string script_path = dir.File("script.py");
  std::ofstream(script_path) << script;
  std::string command = std::string(kPython) + " " + script_path + " 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

std::string Text(const TDbfFile& table, int field, std::span<const std::byte> record) {
  const TDbfFieldDefs& defs = table.FieldDefs();
  return GetFieldVariant(defs, defs[field], data::TFieldType::ftString, record).AsString();
}

std::string Memo(TDbfFile& table, int field, std::span<const std::byte> record) {
  const TDbfFieldDefs& defs = table.FieldDefs();
  TFieldValue block;
  if (!GetFieldData(defs, defs[field], data::TFieldType::ftInteger, record, &block)) return {};
  auto bytes = table.MemoFile()->ReadValue(static_cast<uint32_t>(block.integer)).data;
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(Interop, TablesWrittenByAnotherLibraryOpenWithValuesAndMemos) {
  if (!PythonHas("dbf")) GTEST_SKIP() << "python3-dbf is not installed";
  testing::ScratchFolder dir;
  std::string output = RunPython(dir, R"(
import dbf
for kind in ['db3', 'vfp']:
    t = dbf.Table(')" + dir.File("") + R"(' + kind + '.dbf',
                  'name C(12); amount N(8,2); notes M', dbf_type=kind, codepage='cp866')
    t.open(dbf.READ_WRITE)
    for i in range(3):
        t.append(('n%d' % i, 1.5 * i, 'note %d ' % i + 'y' * (700 * i)))
    t.close()
print('done')
)");
  ASSERT_NE(output.find("done"), std::string::npos) << output;
  for (const char* kind : {"db3", "vfp"}) {
    SCOPED_TRACE(kind);
    TDbfFile table;
    table.SetFileName(dir.File(std::string(kind) + ".dbf"));
    table.SetMode(TFileAccessMode::amReadOnly);
    table.Open();
    EXPECT_EQ(table.TableLevel(), std::string(kind) == "vfp" ? 25 : 4);
    EXPECT_EQ(table.TableCodePage(), 866);
    ASSERT_EQ(table.RecordCount(), 3u);
    ASSERT_EQ(table.FieldDefs().Count(), 3);
    EXPECT_EQ(table.FieldDefs()[2].FieldName(), "NOTES");
    std::vector<std::byte> record(table.RecordSize());
    for (uint32_t n = 1; n <= 3; ++n) {
      table.ReadRecord(n, record);
      const int i = static_cast<int>(n) - 1;
      EXPECT_EQ(Text(table, 0, record), "n" + std::to_string(i));
      EXPECT_EQ(Memo(table, 2, record), "note " + std::to_string(i) + " " + std::string(700 * i, 'y'));
    }
  }
}

TEST(Interop, OurTablesReadInAnotherLibrary) {
  if (!PythonHas("dbfread")) GTEST_SKIP() << "python3-dbfread is not installed";
  testing::ScratchFolder dir;
  const std::string path = dir.File("ours.dbf");
  {
    TDbfFieldDefs defs(3);
    auto add = [&defs](const char* name, char letter, int length, int decimals) {
      TDbfFieldDef& def = defs.Add();
      def.SetFieldName(name);
      def.SetNative(static_cast<uint8_t>(letter), length, decimals);
    };
    add("NAME", 'C', 12, 0);
    add("AMOUNT", 'N', 8, 2);
    add("NOTES", 'M', 10, 0);
    TDbfFile table;
    table.SetFileName(path);
    table.SetTableLevel(3);
    table.SetMode(TFileAccessMode::amExclusiveNew);
    table.Create(defs, 0, 512);
    std::vector<std::byte> record(table.RecordSize());
    const TDbfFieldDefs& d = table.FieldDefs();
    for (int i = 0; i < 3; ++i) {
      table.InitRecord(record);
      SetFieldVariant(d, d[0], data::TFieldType::ftString, record,
                      core::Variant(std::string("row") + std::to_string(i)));
      SetFieldVariant(d, d[1], data::TFieldType::ftFloat, record, core::Variant(2.25 * i));
      std::string note(600 * i + 5, static_cast<char>('a' + i));
      uint32_t block = table.MemoFile()->WriteValue(testing::Text(note), 0, 0);
      SetFieldVariant(d, d[2], data::TFieldType::ftInteger, record,
                      core::Variant(static_cast<int32_t>(block)));
      table.Insert(record);
    }
  }
  std::string output = RunPython(dir, R"(
import dbfread
t = dbfread.DBF(')" + path + R"(')
print(len(t))
for r in t:
    print(r['NAME'], '%.2f' % r['AMOUNT'], len(r['NOTES']), r['NOTES'][:1])
)");
  EXPECT_EQ(output, "3\nrow0 0.00 5 a\nrow1 2.25 605 b\nrow2 4.50 1205 c\n");
}

}  // namespace
}  // namespace lgoty::dbf
