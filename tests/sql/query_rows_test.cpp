// The rows a query keeps: every cell of every row where the cursor reads it, declared and
// expression columns side by side, read forwards, backwards and by record number.
#include <gtest/gtest.h>

#include <string>

#include "data/field.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

using testing::Cell;
using testing::ScratchFolder;

TEST(QueryRows, EveryCellOfMixedColumnsReadsBackInAnyDirection) {
  ScratchFolder folder;
  testing::MakeTable(folder.File("reg.dbf"), {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 12, 2}},
                     {{{Cell("Петров"), Cell("10.50")}},
                      {{Cell("Ёлкин"), std::nullopt}},
                      {{Cell("Аверин"), Cell("-3")}},
                      {{Cell("Щукин"), Cell("0")}}});
  TAdoConnection connection;
  connection.SetConnectionString(testing::JetConnectionString(folder.Path()));
  TAdoQuery query;
  query.SetConnection(&connection);
  // Declared, expression text, declared, expression number: cells of neighbouring rows and
  // columns must not trade places.
  query.SQL().Add(
      "select FAMIL, UPPER(FAMIL) AS U, SUMPAY, SUMPAY * 2 AS D from reg order by FAMIL");
  query.Open();
  ASSERT_EQ(query.RecordCount(), 4);
  struct Expected {
    const char* famil;
    const char* upper;
    bool has_sum;
    double sum;
  };
  const Expected rows[] = {{"Аверин", "АВЕРИН", true, -3},
                           {"Ёлкин", "ЁЛКИН", false, 0},
                           {"Петров", "ПЕТРОВ", true, 10.5},
                           {"Щукин", "ЩУКИН", true, 0}};
  auto check = [&](int index) {
    const Expected& e = rows[index];
    SCOPED_TRACE(e.famil);
    EXPECT_EQ(query.RecNo(), index + 1);
    EXPECT_EQ(query.FieldByName("FAMIL").AsString(), e.famil);
    EXPECT_EQ(query.FieldByName("U").AsString(), e.upper);
    EXPECT_EQ(query.FieldByName("SUMPAY").IsNull(), !e.has_sum);
    EXPECT_EQ(query.FieldByName("D").IsNull(), !e.has_sum);
    if (e.has_sum) {
      EXPECT_DOUBLE_EQ(query.FieldByName("SUMPAY").AsFloat(), e.sum);
      EXPECT_DOUBLE_EQ(query.FieldByName("D").AsFloat(), 2 * e.sum);
    }
  };
  for (int i = 0; i < 4; ++i, query.Next()) check(i);
  EXPECT_TRUE(query.Eof());
  query.Last();
  for (int i = 3; i >= 0; --i, query.Prior()) check(i);
  EXPECT_TRUE(query.BOF());
  query.SetRecNo(2);
  check(1);
  // Opened again, the query holds the new result only.
  query.Close();
  query.SQL().SetText("select FAMIL from reg where SUMPAY > 1");
  query.Open();
  ASSERT_EQ(query.RecordCount(), 1);
  EXPECT_EQ(query.FieldByName("FAMIL").AsString(), "Петров");
  EXPECT_EQ(query.Fields().Count(), 1);
}

// The query's text fields skip the code-page pass (the query's texts are already the
// program's): every read gives what the general pass through Translate gives, for Cyrillic,
// blank, padded and missing values, as a Variant and as a string.
TEST(QueryRows, TextFieldsReadAsThroughTheGeneralTranslation) {
  ScratchFolder folder;
  testing::MakeTable(folder.File("reg.dbf"), {{"FAMIL", 'C', 20, 0}, {"NOTE", 'C', 12, 0}},
                     {{{Cell("Петров"), Cell("a  b")}},
                      {{Cell(""), std::nullopt}},
                      {{Cell("Ёлкин-Щукин"), Cell(" x ")}},
                      {{std::nullopt, Cell("0")}}});
  TAdoConnection connection;
  connection.SetConnectionString(testing::JetConnectionString(folder.Path()));
  TAdoQuery query;
  query.SetConnection(&connection);
  query.SQL().Add("select FAMIL, NOTE, FAMIL || NOTE AS BOTH, LENGTH(NOTE) AS N from reg");
  query.Open();
  ASSERT_TRUE(static_cast<const data::TDataSet&>(query).KeepsTextUnchanged());
  int rows = 0;
  for (; !query.Eof(); query.Next(), ++rows) {
    for (int i = 0; i < query.FieldCount(); ++i) {
      data::TField& field = query.Fields()[i];
      SCOPED_TRACE(field.FieldName() + " of row " + std::to_string(rows));
      const core::Variant fast = field.AsVariant();
      const std::string fast_text = field.AsString();
      const bool fast_null = field.IsNull();
      // The general pass, as for a dataset that converts its texts: the stored value, then
      // Translate over a text.
      field.SetTransliterate(false);
      core::Variant general = field.AsVariant();
      field.SetTransliterate(true);
      if (general.IsString()) general = core::Variant(query.Translate(general.text(), false));
      EXPECT_EQ(fast_null, general.IsNull());
      EXPECT_EQ(fast.kind(), general.kind());
      if (!general.IsNull()) {
        EXPECT_EQ(fast.AsString(), general.AsString());
        EXPECT_EQ(fast_text, query.Translate(general.AsString(), false));
      } else {
        EXPECT_EQ(fast_text, "");
      }
    }
  }
  EXPECT_EQ(rows, 4);
}

}  // namespace
}  // namespace lgoty::sql
