// Reading a row's values: a text value comes back with all its bytes (inside zeros too) and
// stays a text; numbers read as text are SQLite's own text of them; a value read in one go
// is what the separate reads give.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "sql/sql_engine.h"
#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

TEST(StatementText, GivesEveryByteOfTextAndSQLitesTextOfNumbers) {
  testing::ScratchFolder folder;
  TSqlEngine engine(folder.Path());
  std::unique_ptr<TSqlStatement> statement = engine.Prepare(
      "select 'abc', char(1071) || 'x', 'a' || char(0) || 'b', '', 12, 1.5, NULL, x'4142'");
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->ColumnText(0), "abc");
  EXPECT_EQ(statement->ColumnText(1), "Яx");
  EXPECT_EQ(statement->ColumnText(2), std::string("a\0b", 3));
  EXPECT_EQ(statement->ColumnText(3), "");
  EXPECT_EQ(statement->ColumnText(4), "12");
  EXPECT_EQ(statement->ColumnText(5), "1.5");
  EXPECT_EQ(statement->ColumnText(6), "");
  EXPECT_EQ(statement->ColumnText(7), "AB");
  for (int c : {0, 1, 2, 3}) EXPECT_EQ(statement->ColumnType(c), SQLITE_TEXT) << c;
  EXPECT_FALSE(statement->Step());
}

// Each value read in one go is what the separate calls read: class, number, bytes.
TEST(StatementText, StoredValuesAreWhatTheSeparateReadsGive) {
  testing::ScratchFolder folder;
  testing::MakeTable(folder.File("t.dbf"), {{"NAME", 'C', 12, 0}, {"SUM", 'N', 9, 2}},
                     {{{testing::Cell("Ёлкина"), testing::Cell("-12.50")}},
                      {{testing::Cell(), testing::Cell()}},
                      {{testing::Cell("abc  def"), testing::Cell("0")}}});
  TSqlEngine engine(folder.Path());
  for (const char* sql :
       {"select 0, -1, 9223372036854775807, -9223372036854775807 - 1, 1.5, -0.0, 1e308, "
        "'', 'Яx', 'a' || char(0) || 'b', x'', x'00ff41', NULL, 12 || ''",
        "select NAME, SUM, rowid, NAME || '!' from t order by NAME"}) {
    SCOPED_TRACE(sql);
    std::unique_ptr<TSqlStatement> statement = engine.Prepare(sql);
    int rows = 0;
    while (statement->Step()) {
      ++rows;
      for (int c = 0; c < statement->ColumnCount(); ++c) {
        SCOPED_TRACE(c);
        const TSqlStatement::TStoredValue stored = statement->ColumnStored(c);
        ASSERT_EQ(stored.type, statement->ColumnType(c));
        switch (stored.type) {
          case SQLITE_INTEGER: EXPECT_EQ(stored.integer, statement->ColumnInt64(c)); break;
          case SQLITE_FLOAT: EXPECT_EQ(stored.real, statement->ColumnDouble(c)); break;
          case SQLITE_TEXT: EXPECT_EQ(stored.bytes, statement->ColumnText(c)); break;
          case SQLITE_BLOB: EXPECT_EQ(stored.bytes, statement->ColumnBlob(c)); break;
          default: EXPECT_TRUE(stored.bytes.empty()); break;
        }
      }
    }
    EXPECT_GT(rows, 0);
  }
}

}  // namespace
}  // namespace lgoty::sql
