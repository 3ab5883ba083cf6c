// Reading a row's text: a text value comes back with all its bytes (inside zeros too) and
// stays a text; numbers read as text are SQLite's own text of them.
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

}  // namespace
}  // namespace lgoty::sql
