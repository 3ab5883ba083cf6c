// What a query may not do: write, attach, use pragmas, run a second statement, or run past
// its time budget. Each refusal is a clear error and leaves the folder's bytes as they were.
#include <gtest/gtest.h>

#include "core/string_list.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql/sql_engine.h"
#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

using testing::Cell;
using testing::ScratchFolder;

class QueryRefusals : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeTable(folder_.File("reg.dbf"), {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 10, 2}},
                       {{{Cell("Иванов"), Cell("10.00")}}, {{Cell("Петров"), Cell("-2.50")}}});
    testing::MakeTable(folder_.File("OTHER.DBF"), {{"NAME", 'C', 10, 0}}, {{{Cell("x")}}});
    connection_.SetConnectionString(testing::JetConnectionString(folder_.Path()));
    connection_.Open();
    query_.SetConnection(&connection_);
  }

  // The error text of running sql, or "" when it ran.
  std::string ErrorOf(const std::string& sql) {
    query_.Close();
    query_.SQL().SetText(sql);
    try {
      query_.ExecSQL();
      return "";
    } catch (const ESqlError& e) {
      return e.what();
    }
  }

  ScratchFolder folder_;
  TAdoConnection connection_;
  TAdoQuery query_;
};

TEST_F(QueryRefusals, WritesAttachPragmaAndSecondStatementsAreRefusedWithoutTouchingFiles) {
  const auto before = testing::FolderBytes(folder_.Path());
  const std::string outside = folder_.File("elsewhere.db");
  const struct {
    std::string sql;
    std::string expected;
  } cases[] = {
      {"INSERT INTO reg (FAMIL) VALUES ('Сидоров')", "INSERT is not allowed"},
      {"UPDATE reg SET SUMPAY = 0", "UPDATE is not allowed"},
      {"DELETE FROM reg", "DELETE is not allowed"},
      {"CREATE TABLE t (a)", "CREATE is not allowed"},
      {"CREATE VIEW v AS SELECT * FROM reg", "CREATE is not allowed"},
      {"DROP TABLE reg", "DROP is not allowed"},
      {"DROP TABLE 'other'", "DROP is not allowed"},
      {"ATTACH DATABASE '" + outside + "' AS other2", "ATTACH is not allowed"},
      {"PRAGMA table_info(reg)", "PRAGMA is not allowed"},
      {"PRAGMA writable_schema = 1", "PRAGMA is not allowed"},
      {"BEGIN", "not allowed"},
      {"REINDEX", "REINDEX is not allowed"},
      {"  /* first */ reindex reg", "REINDEX is not allowed"},
      {"ANALYZE", "ANALYZE is not allowed"},
      {"VACUUM INTO '" + outside + "'", "not allowed"},
      {"select * from reg; DELETE FROM reg", "Only one statement"},
      {"select * from reg; select 1", "Only one statement"},
  };
  for (const auto& c : cases) {
    const std::string error = ErrorOf(c.sql);
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.sql << " -> " << error;
  }
  EXPECT_EQ(testing::FolderBytes(folder_.Path()), before);
  // The tables are still there and whole.
  EXPECT_EQ(ErrorOf("select * from reg;  -- one statement and a comment\n"), "");
  query_.Close();
  query_.SQL().SetText("select count(*) AS N from reg");
  query_.Open();
  EXPECT_EQ(query_.FieldByName("N").AsInteger(), 2);
}

TEST_F(QueryRefusals, RunawayQueryStopsAtItsTimeBudget) {
  query_.SetCommandTimeout(1);
  const std::string error = ErrorOf(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
      "SELECT count(*) FROM n, reg");
  EXPECT_NE(error.find("time limit of 1 s"), std::string::npos) << error;
  // The connection goes on working.
  EXPECT_EQ(ErrorOf("select * from reg"), "");
}

TEST_F(QueryRefusals, FormatWidthsBeyondTheValueLimitAreRefusedBeforeTheyAreBuilt) {
  for (const char* sql : {"SELECT length(printf('%.*c', 2000000000, 'x')) AS L",
                          "SELECT printf('%2000000000c', 'x') AS L",
                          "SELECT format('%0*d', -2000000000, 1) AS L",
                          "SELECT printf('%s %.*f', 'a', 99999999999, 1.5) AS L"}) {
    EXPECT_NE(ErrorOf(sql).find("too big"), std::string::npos) << sql;
  }
  // Within the limit the functions format as ever.
  query_.Close();
  query_.SQL().SetText(
      "SELECT printf('%5.2f|%-4s|%.*c|%%', 3.14159, 'ab', 3, 'z') AS P, "
      "format('%d-%s', 7, FAMIL) AS F, printf('%d', NULL) AS N FROM reg ORDER BY FAMIL");
  query_.Open();
  EXPECT_EQ(query_.FieldByName("P").AsString(), " 3.14|ab  |zzz|%");
  EXPECT_EQ(query_.FieldByName("F").AsString(), "7-Иванов");
  EXPECT_EQ(query_.FieldByName("N").AsString(), "0");
}

TEST_F(QueryRefusals, BadSqlAndMissingTablesAreClearErrors) {
  EXPECT_NE(ErrorOf("selec * from reg").find("syntax error"), std::string::npos);
  EXPECT_NE(ErrorOf("select * from 'nosuch'").find("no such table: nosuch"), std::string::npos);
  EXPECT_NE(ErrorOf("   ").find("no statement"), std::string::npos);
}

TEST_F(QueryRefusals, TableNamesIgnoreCaseAndFollowTheFolder) {
  EXPECT_EQ(ErrorOf("select * from 'REG'"), "");
  EXPECT_EQ(ErrorOf("select * from Other"), "");
  core::TStringList names;
  connection_.GetTableNames(names);
  ASSERT_EQ(names.Count(), 2);
  EXPECT_EQ(names[0], "OTHER");
  EXPECT_EQ(names[1], "reg");

  // A table file that appears after connecting is a table at the next statement; one that
  // goes away is no longer one.
  testing::MakeTable(folder_.File("later.dbf"), {{"A", 'N', 5, 0}}, {{{Cell("42")}}});
  query_.SQL().SetText("select A from later");
  query_.Open();
  EXPECT_EQ(query_.FieldByName("A").AsInteger(), 42);
  EXPECT_EQ(query_.FieldByName("A").DataType(), data::TFieldType::ftInteger);
  query_.Close();
  std::filesystem::remove(folder_.File("later.dbf"));
  EXPECT_NE(ErrorOf("select A from later").find("no such table"), std::string::npos);

  // The schema query: one row per table with its name.
  TAdoQuery schema;
  connection_.OpenSchemaTables(schema);
  ASSERT_EQ(schema.RecordCount(), 2);
  EXPECT_TRUE(schema.FieldByName("TABLE_SCHEMA").IsNull());
  EXPECT_EQ(schema.FieldByName("TABLE_NAME").AsString(), "OTHER");
  schema.Next();
  EXPECT_EQ(schema.FieldByName("TABLE_NAME").AsString(), "reg");
}

TEST_F(QueryRefusals, AFileThatIsNoTableIsNamedInTheError) {
  std::vector<std::byte> junk(100, std::byte{0x41});
  platform::WriteWholeFile(folder_.File("broken.dbf"), junk);
  const std::string error = ErrorOf("select * from broken");
  EXPECT_NE(error.find("\"broken\" cannot be read"), std::string::npos) << error;
  EXPECT_EQ(ErrorOf("select * from reg"), "");
}

}  // namespace
}  // namespace lgoty::sql
