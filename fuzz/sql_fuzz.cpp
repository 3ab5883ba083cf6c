// Arbitrary text as an SQL statement on a connection over a small folder of tables (made
// once per process): parameters found in it are bound, the statement runs under a short
// time budget, and every value of every row is read. Errors are expected; crashes, hangs,
// unbounded memory and any change to the folder's files are not.
#include <sqlite3.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "dbf/dbf_file.h"
#include "platform/file.h"
#include "sql/parameters.h"
#include "sql/sql_engine.h"

namespace {

namespace dbf = lgoty::dbf;

void WriteTable(const std::string& path) {
  dbf::TDbfFieldDefs defs(dbf::kTableLevel4);
  const struct {
    const char* name;
    char letter;
    int size, decimals;
  } fields[] = {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 10, 2}, {"NUM", 'N', 5, 0},
                {"DATERCPT", 'D', 8, 0}, {"OK", 'L', 1, 0}};
  for (const auto& f : fields) {
    dbf::TDbfFieldDef& def = defs.Add();
    def.SetFieldName(f.name);
    def.SetNative(static_cast<uint8_t>(f.letter), f.size, f.decimals);
  }
  dbf::TDbfFile file;
  file.SetFileName(path);
  file.SetMode(dbf::TFileAccessMode::amExclusiveNew);
  file.Create(defs, 0x65, dbf::kDefaultMemoBlockSize);
  std::vector<std::byte> record(file.RecordSize());
  const char* names[] = {"Иванов", "ёлкин", "Елкина", "", "Петров", "Ёжиков"};
  for (int n = 0; n < 12; ++n) {
    file.InitRecord(record);
    const std::string name = lgoty::core::FromUtf8(866, names[n % 6]);
    std::string row = " " + name + std::string(20 - name.size(), ' ');
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%10.2f%5d%s%c", n * 12.5 - 30, n,
                  n % 4 ? "20240131" : "        ", n % 2 ? 'T' : 'F');
    row += numbers;
    for (size_t i = 0; i < row.size() && i < record.size(); ++i) {
      record[i] = static_cast<std::byte>(row[i]);
    }
    if (n == 7) record[0] = std::byte{'*'};
    file.Insert(record);
  }
  file.Close();
}

struct Fixture {
  std::string folder;
  std::vector<std::byte> reg_bytes;
  std::unique_ptr<lgoty::sql::TSqlEngine> engine;

  Fixture() {
    char pattern[] = "/tmp/lgoty-sql-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    folder = std::string(pattern) + "/";
    WriteTable(folder + "reg.dbf");
    WriteTable(folder + "OTHER.DBF");
    reg_bytes = lgoty::platform::ReadWholeFile(folder + "reg.dbf");
    engine = std::make_unique<lgoty::sql::TSqlEngine>(folder);
    sqlite3_limit(engine->Handle(), SQLITE_LIMIT_LENGTH, 1 << 20);
    sqlite3_limit(engine->Handle(), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 1000);
  }
};

Fixture& TheFixture() {
  static Fixture* fixture = new Fixture();
  return *fixture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  Fixture& fixture = TheFixture();
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const lgoty::sql::TParsedSql parsed = lgoty::sql::ParseSqlMarkers(text);
    std::unique_ptr<lgoty::sql::TSqlStatement> statement = fixture.engine->Prepare(parsed.text);
    for (size_t i = 0; i < parsed.names.size(); ++i) {
      lgoty::sql::TParameter parameter(parsed.names[i]);
      if (i % 3 != 2) parameter.SetValue(lgoty::core::Variant(parsed.names[i]));
      parameter.Bind(*statement, static_cast<int>(i) + 1);
    }
    statement->StartBudget(0.2);
    size_t rows = 0;
    while (statement->Step() && ++rows < 100000) {
      for (int c = 0; c < statement->ColumnCount(); ++c) {
        statement->ColumnDeclType(c);
        switch (statement->ColumnType(c)) {
          case SQLITE_TEXT: statement->ColumnText(c); break;
          case SQLITE_BLOB: statement->ColumnBlob(c); break;
          default: statement->ColumnDouble(c); break;
        }
      }
    }
  } catch (const lgoty::core::Exception&) {
  }
  // Nothing a statement does may change the folder.
  if (lgoty::platform::ReadWholeFile(fixture.folder + "reg.dbf") != fixture.reg_bytes) {
    std::abort();
  }
  return 0;
}
