// A table scan that orders its own rows for an ORDER BY over text columns gives exactly
// what SQLite's sorter gives: the same rows in the same order, ties included. "+column"
// keeps a term from the scan (SQLite then sorts with the same collation), so each query runs
// both ways on the same random tables and the results are compared row by row.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sql/dbf_vtable.h"
#include "sql/sql_engine.h"
#include "sql/text_order.h"
#include "sql_fixture.h"
#include "tests/seeded_random.h"

namespace lgoty::sql {
namespace {

using testing::Cell;
using testing::ScratchFolder;

using Random = lgoty::testing::SeededRandom;

// Texts from pieces a collation shortcut could get wrong: letter case, ё and е, Latin,
// digits, blanks inside and in front, punctuation and code-page bytes above 127 that are no
// letters; a small pool of whole names makes many ties and texts equal but for case.
std::string RandomText(Random& random, size_t width) {
  static const std::vector<std::string> names = {
      "Иванов", "иванов", "ИВАНОВ", "Елкин", "Ёлкин", "ёлкин", "Елкина", "Ершов", "Фёдоров",
      "Федоров", "Ivanov", "ivanov", "Иванов-Петров", "ИвановПетров", "10", "9", "09"};
  static const std::vector<std::string> pieces = {
      "а", "е", "ё", "Е", "Ё", "ж", "я", "Я", "ь", "ъ", "a", "A", "z", "Z", " ", "-", "1", "0",
      "░", "╬", "№", "¤", "·", "ов", "ОВА", "'", "."};
  std::string text;
  switch (random.Below(6)) {
    case 0:
      return "";
    case 1:
    case 2:
      text = names[random.Below(static_cast<uint32_t>(names.size()))];
      break;
    default:
      for (uint32_t i = random.Below(6) + 1; i > 0; --i) {
        text += pieces[random.Below(static_cast<uint32_t>(pieces.size()))];
      }
  }
  if (random.Below(8) == 0) text = " " + text;
  // Cut to the field's width in characters (two bytes for every letter but ASCII).
  std::u32string wide;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    wide.push_back(static_cast<char32_t>(i));
    i += length;
  }
  if (wide.size() > width) text.resize(static_cast<size_t>(wide[width]));
  return text;
}

void MakeRandomTable(const std::string& path, uint64_t seed, int rows) {
  Random random(seed);
  std::vector<testing::RowSpec> specs;
  for (int i = 0; i < rows; ++i) {
    testing::RowSpec row;
    for (size_t width : {10u, 6u, 8u}) {
      const std::string text = RandomText(random, width);
      row.cells.push_back(text.empty() ? Cell() : Cell(text));
    }
    row.cells.push_back(Cell(std::to_string(random.Below(100))));
    row.deleted = random.Below(20) == 0;
    specs.push_back(row);
  }
  testing::MakeTable(path, {{"A", 'C', 10, 0}, {"B", 'C', 6, 0}, {"C", 'C', 8, 0},
                            {"N", 'N', 4, 0}},
                     specs);
}

// Every row of the result, values separated by "|", NULL as "<null>".
std::vector<std::string> Rows(TSqlEngine& engine, const std::string& sql) {
  std::unique_ptr<TSqlStatement> statement = engine.Prepare(sql);
  std::vector<std::string> rows;
  while (statement->Step()) {
    std::string row;
    for (int c = 0; c < statement->ColumnCount(); ++c) {
      if (c > 0) row += '|';
      if (statement->ColumnType(c) == SQLITE_NULL) {
        row += "<null>";
      } else {
        row += std::string(statement->ColumnText(c));
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::string Plan(TSqlEngine& engine, const std::string& sql) {
  std::string plan;
  for (const std::string& row : Rows(engine, "EXPLAIN QUERY PLAN " + sql)) plan += row + "\n";
  return plan;
}

struct OrderCase {
  const char* own;      // the scan orders the rows
  const char* sorter;   // the same with SQLite's sorter
};

const OrderCase kCases[] = {
    {"select rowid, * from t order by A", "select rowid, * from t order by +A"},
    {"select rowid, * from t order by A desc, B", "select rowid, * from t order by +A desc, +B"},
    {"select rowid, A, B from t order by B, A desc, C",
     "select rowid, A, B from t order by +B, +A desc, +C"},
    {"select rowid, * from t where N > 50 order by C desc, A",
     "select rowid, * from t where N > 50 order by +C desc, +A"},
    {"select rowid, * from t order by A limit 17", "select rowid, * from t order by +A limit 17"},
    {"select distinct A from t order by A", "select distinct A from t order by +A"},
    {"select A, count(*), max(rowid), B from t group by A order by A",
     "select A, count(*), max(rowid), B from t group by +A order by +A"},
};

void ExpectSameOrderBothWays(TSqlEngine& engine) {
  for (const OrderCase& c : kCases) {
    SCOPED_TRACE(c.own);
    // The first runs through the scan's own order, the second through SQLite's sorter.
    EXPECT_EQ(Plan(engine, c.own).find("TEMP B-TREE FOR ORDER BY"), std::string::npos)
        << Plan(engine, c.own);
    EXPECT_NE(Plan(engine, c.sorter).find("TEMP B-TREE"), std::string::npos)
        << Plan(engine, c.sorter);
    const std::vector<std::string> own = Rows(engine, c.own);
    const std::vector<std::string> sorted = Rows(engine, c.sorter);
    ASSERT_EQ(own.size(), sorted.size());
    EXPECT_FALSE(own.empty());
    for (size_t i = 0; i < own.size(); ++i) ASSERT_EQ(own[i], sorted[i]) << "row " << i;
  }
}

TEST(OrderedScan, GivesTheSortersRowsAndOrderOnRandomTables) {
  ScratchFolder folder;
  for (uint64_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    MakeRandomTable(folder.File("t.dbf"), seed, seed == 3 ? 20000 : 1500);
    TSqlEngine engine(folder.Path());
    ExpectSameOrderBothWays(engine);
  }
}

TEST(OrderedScan, ReadsTheRecordsAgainPastItsMemory) {
  ScratchFolder folder;
  MakeRandomTable(folder.File("t.dbf"), 9, 900);
  SetSortedScanMemory(1000);
  TSqlEngine engine(folder.Path());
  ExpectSameOrderBothWays(engine);
  SetSortedScanMemory(32u << 20);
}

TEST(OrderedScan, LeavesOtherOrdersToTheSorter) {
  ScratchFolder folder;
  MakeRandomTable(folder.File("t.dbf"), 4, 300);
  TSqlEngine engine(folder.Path());
  // A number column, the rowid, or another collation than the column's: SQLite sorts.
  for (const char* sql : {"select * from t order by N, A", "select * from t order by rowid desc",
                          "select * from t order by A collate binary",
                          "select * from t order by lower(A)"}) {
    EXPECT_NE(Plan(engine, sql).find("TEMP B-TREE"), std::string::npos) << sql;
  }
  const std::vector<std::string> binary = Rows(engine, "select A from t where A is not null order by A collate binary");
  ASSERT_GT(binary.size(), 100u);
  for (size_t i = 1; i < binary.size(); ++i) EXPECT_LE(binary[i - 1], binary[i]);
}

// Ranks packed into one number must order rows as the term-by-term comparison does: ties
// (few distinct ranks), descending terms, terms whose rows all rank 0, widths that add up to
// exactly 64 bits and ranks too wide to pack (the comparison then does the work itself).
TEST(OrderRows, PackedRanksGiveTheComparisonsOrder) {
  Random random(77);
  for (int round = 0; round < 300; ++round) {
    // Short lists and lists long enough for the radix sort.
    const size_t terms = 1 + random.Below(4), rows = random.Below(round % 2 ? 200 : 3000);
    std::vector<std::vector<uint32_t>> ranks(terms, std::vector<uint32_t>(rows));
    std::vector<bool> descending(terms);
    for (size_t t = 0; t < terms; ++t) {
      descending[t] = random.Below(2) == 1;
      const uint32_t kind = random.Below(4);
      for (uint32_t& rank : ranks[t]) {
        if (kind == 0) rank = 0;
        else if (kind == 1) rank = random.Below(4);
        else if (kind == 2) rank = random.Below(5000);
        else rank = UINT32_MAX - random.Below(3);  // 32 bits wide: two of these fill 64
      }
    }
    EXPECT_EQ(OrderRows(ranks, descending, rows), OrderRowsByComparison(ranks, descending, rows))
        << "round " << round;
  }
}

TEST(OrderTerms, RoundTripAndRefuseGarbage) {
  const std::vector<TOrderTerm> terms = {{3, false}, {0, true}, {12, false}};
  EXPECT_EQ(EncodeOrderTerms(terms), "3,0d,12");
  std::vector<TOrderTerm> back;
  ASSERT_TRUE(DecodeOrderTerms("3,0d,12", back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[1].column, 0);
  EXPECT_TRUE(back[1].descending);
  EXPECT_FALSE(back[2].descending);
  for (const char* bad : {"", ",", "3,", "x", "-1", "3d,,1", "3dd", "3;1"}) {
    EXPECT_FALSE(DecodeOrderTerms(bad, back)) << bad;
  }
}

}  // namespace
}  // namespace lgoty::sql
