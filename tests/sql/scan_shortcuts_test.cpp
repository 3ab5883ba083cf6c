// The table scan's shortcuts - texts read in place and the rows of an ordered scan decoded
// ahead on a second thread - give what the general way gives (one thread, every value
// through the field's codec): the same rows in the same order with the same values and
// storage classes, for ordered and unordered queries, filters, joins, grouping, DISTINCT,
// LIMIT, memo fields, deleted records and a file cut short.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "dbf/dbf_file.h"
#include "sql/dbf_vtable.h"
#include "sql/row_prefetch.h"
#include "sql/sql_engine.h"
#include "sql_fixture.h"
#include "tests/seeded_random.h"

namespace lgoty::sql {
namespace {

using testing::ScratchFolder;
using Random = lgoty::testing::SeededRandom;

std::string RandomName(Random& random) {
  static const std::vector<std::string> names = {
      "Иванов", "иванов", "ИВАНОВ", "Елкин", "Ёлкин", "ёлкин", "Елкина", "Фёдоров", "Федоров",
      "Ivanov", " Иванов", "Иванов-Петров", "10", "9", "", "  ", "Щ", "ъ", "Я я"};
  return names[random.Below(static_cast<uint32_t>(names.size()))];
}

// Date field bytes: mostly plain dates, else the edges of the calendar (leap days, the first
// and last days, the zero date 18991230), impossible dates, blanks inside or in front, and
// bytes that are no digits.
std::string RandomDate(Random& random) {
  static const std::vector<std::string> odd = {
      "20000229", "19000229", "20240229", "20230229", "00010101", "99991231", "00000000",
      "18991230", "18991231", "18991229", "20231301", "20230001", "20230132", "20230431",
      " 2023010", "2023 1 1", "2023010 ", "2023-1-1", "2O230101", "\xff" "0230101", "12345678"};
  if (random.Below(4) == 0) return odd[random.Below(static_cast<uint32_t>(odd.size()))];
  return std::to_string(1990 + random.Below(30)) + "0" + std::to_string(1 + random.Below(9)) +
         std::to_string(10 + random.Below(18));
}

// A level-4 table in code page 866: texts A (12), B (8), C (6), a number, a date, a logical
// and a memo; some records deleted.
void MakeTable(const std::string& path, uint64_t seed, int rows) {
  Random random(seed);
  const std::vector<testing::FieldSpec> fields = {
      {"A", 'C', 12, 0}, {"B", 'C', 8, 0}, {"C", 'C', 6, 0}, {"N", 'N', 10, 2},
      {"D", 'D', 8, 0},  {"L", 'L', 1, 0}, {"M", 'M', 10, 0}};
  std::vector<testing::RowSpec> specs;
  for (int i = 0; i < rows; ++i) {
    testing::RowSpec row;
    row.cells.resize(fields.size());
    for (size_t t = 0; t < 3; ++t) row.cells[t] = RandomName(random);
    if (random.Below(6)) {
      row.cells[3] = std::to_string(static_cast<int>(random.Below(2000)) - 500) + "." +
                     std::to_string(10 + random.Below(90));
    }
    if (random.Below(5)) row.cells[4] = RandomDate(random);
    if (random.Below(3)) row.cells[5] = random.Below(2) ? "T" : "F";
    if (random.Below(3) == 0) {
      row.cells[6] = "Заметка № " + std::to_string(i) + std::string(random.Below(3), ' ') +
                     RandomName(random);
    }
    row.deleted = random.Below(15) == 0;
    specs.push_back(std::move(row));
  }
  testing::MakeTable(path, fields, specs);
}

// Every row: each value's storage class and text.
std::vector<std::string> Rows(TSqlEngine& engine, const std::string& sql) {
  std::unique_ptr<TSqlStatement> statement = engine.Prepare(sql);
  std::vector<std::string> rows;
  while (statement->Step()) {
    std::string row;
    for (int c = 0; c < statement->ColumnCount(); ++c) {
      row += std::to_string(statement->ColumnType(c)) + ":";
      if (statement->ColumnType(c) != SQLITE_NULL) row += std::string(statement->ColumnText(c));
      row += '|';
    }
    rows.push_back(row);
  }
  return rows;
}

const char* const kQueries[] = {
    "select rowid, * from t order by A, B",
    "select * from t where N > 0 order by A desc, B, C",
    "select A, M, L from t order by C, B desc",
    "select B from t order by A limit 7",
    "select distinct A from t order by A",
    "select A, count(*), sum(N), max(D) from t group by A order by A",
    "select t1.A, t2.B, t2.M from t t1 join t t2 on t2.rowid = t1.rowid + 1 order by t1.B, t1.A",
    "select * from t",
    "select * from t where A like 'е%' order by C, A",
    "select max(D), min(A), count(M), group_concat(M, '/') from t",
    "select rowid, D from t where rowid = 5",
};

struct Way {
  int threads;
  size_t prefetch_from;
  bool plain_text;
};

// The general way first, then each shortcut on its own and together.
const Way kGeneral = {1, std::numeric_limits<size_t>::max(), false};
const Way kShortcuts[] = {{2, 0, true}, {2, 0, false}, {1, 0, true}, {2, 2048, true}};

void ExpectShortcutsGiveTheGeneralRows(const std::string& folder) {
  TSqlEngine engine(folder);
  std::vector<std::vector<std::string>> general;
  SetScanShortcuts(kGeneral.threads, kGeneral.prefetch_from, kGeneral.plain_text);
  for (const char* sql : kQueries) general.push_back(Rows(engine, sql));
  for (const Way& way : kShortcuts) {
    SetScanShortcuts(way.threads, way.prefetch_from, way.plain_text);
    for (size_t q = 0; q < std::size(kQueries); ++q) {
      SCOPED_TRACE(std::string(kQueries[q]) + " with " + std::to_string(way.threads) +
                   " threads from " + std::to_string(way.prefetch_from) + " rows, plain " +
                   std::to_string(way.plain_text));
      const std::vector<std::string> rows = Rows(engine, kQueries[q]);
      ASSERT_EQ(rows.size(), general[q].size());
      for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i], general[q][i]) << "row " << i;
    }
  }
  SetScanShortcuts(2, 2048, true);
}

TEST(ScanShortcuts, GiveTheGeneralRowsOnRandomTables) {
  for (uint64_t seed : {1u, 2u}) {
    SCOPED_TRACE(seed);
    ScratchFolder folder;
    MakeTable(folder.File("t.dbf"), seed, seed == 1 ? 3000 : 700);
    ExpectShortcutsGiveTheGeneralRows(folder.Path());
  }
}

// A file cut inside its records: every way stops at the last whole record.
TEST(ScanShortcuts, StopAlikeAtAFileCutShort) {
  ScratchFolder folder;
  MakeTable(folder.File("t.dbf"), 5, 2600);
  const auto size = std::filesystem::file_size(folder.File("t.dbf"));
  std::filesystem::resize_file(folder.File("t.dbf"), size - 1000);
  ExpectShortcutsGiveTheGeneralRows(folder.Path());
}

// The ring on its own: every row arrives whole and in order however far the reader lags,
// and a prefetch left at any point (or never read) stops its worker.
TEST(RowPrefetch, HandsOverEveryRowAndStopsAnywhere) {
  auto decode = [](size_t index, TRowValues& row) {
    TRowValue value;
    value.type = TRowValue::Type::Integer;
    value.integer = static_cast<int64_t>(index * index);
    row.values.push_back(value);
    TRowValue text;
    text.type = TRowValue::Type::Text;
    text.at = static_cast<uint32_t>(row.text.size());
    row.text += "row " + std::to_string(index);
    text.size = static_cast<uint32_t>(row.text.size() - text.at);
    row.values.push_back(text);
  };
  for (size_t rows : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{513}, size_t{5000}}) {
    for (size_t stop_at : {size_t{0}, std::min<size_t>(3, rows), rows / 2, rows}) {
      SCOPED_TRACE(std::to_string(rows) + " rows, left at " + std::to_string(stop_at));
      TRowPrefetch prefetch(rows, decode);
      Random random(rows + stop_at);
      for (size_t i = 0; i < stop_at; i += 1 + random.Below(3)) {
        const TRowValues& row = prefetch.Row(i);
        ASSERT_EQ(row.values.size(), 2u);
        EXPECT_EQ(row.values[0].integer, static_cast<int64_t>(i * i));
        EXPECT_EQ(row.Bytes(row.values[1]), "row " + std::to_string(i));
      }
      EXPECT_THROW(prefetch.Row(rows), std::out_of_range);
    }
  }
}

}  // namespace
}  // namespace lgoty::sql
