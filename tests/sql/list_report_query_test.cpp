// The list report's query on demo registers: its exact SQL texts, the live rows with every
// field as a column, the order a Russian reader expects, and the value kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "core/locale.h"
#include "data/field.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

using data::TFieldType;
using testing::Cell;
using testing::ScratchFolder;

// What the register holds, read straight from the file: the live records' values.
struct RegisterRow {
  std::string famil, imja, otch;
  std::optional<double> sumpay;
};

std::vector<RegisterRow> ReadRegister(const std::string& path) {
  dbf::TDbfFile file;
  file.SetFileName(path);
  file.SetMode(dbf::TFileAccessMode::amReadOnly);
  file.Open();
  std::vector<RegisterRow> rows;
  std::vector<std::byte> record(file.RecordSize());
  const auto& defs = file.FieldDefs();
  auto text = [&](int i) {
    dbf::TFieldValue v;
    if (!dbf::GetFieldData(defs, defs[i], TFieldType::ftString, record, &v)) return std::string();
    return core::ToUtf8(866, v.text);
  };
  for (uint32_t n = 1; n <= file.RecordCount(); ++n) {
    file.ReadRecord(n, record);
    if (record[0] == std::byte{'*'}) continue;
    RegisterRow row{text(0), text(1), text(2), std::nullopt};
    dbf::TFieldValue v;
    if (dbf::GetFieldData(defs, defs[6], TFieldType::ftFloat, record, &v)) row.sumpay = v.real;
    rows.push_back(row);
  }
  return rows;
}

// The texts the list template's script builds for a register base name.
std::string ListReportSql(const std::string& base_name, bool positive_only) {
  std::string s = "select * from '" + base_name + "'";
  if (positive_only) s += " WHERE SUMPAY>0";
  s += " ORDER BY FAMIL, IMJA, OTCH ";
  return s;
}

int CompareNames(const std::string& a, const std::string& b) {
  // NULL (blank) sorts first, as SQL orders it.
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : a.empty() ? -1 : 1;
  return core::AnsiCompareText(a, b);
}

std::string Text(data::TField& field) { return field.IsNull() ? "" : field.AsString(); }

class ListReportQuery : public ::testing::TestWithParam<const char*> {};

TEST_P(ListReportQuery, ReturnsTheLiveRowsInReadersOrderWithTypedColumns) {
  const bool dental = std::string(GetParam()) == "dent";
  ScratchFolder folder;
  const std::string base = dental ? "Dent2024" : "med2024";
  testing::MakeRegister(folder.File(base + ".dbf"), 700, GetParam());
  const std::vector<RegisterRow> live = ReadRegister(folder.File(base + ".dbf"));

  TAdoConnection connection;
  connection.SetLoginPrompt(false);
  connection.SetConnectionString(testing::JetConnectionString(folder.Path()));
  connection.Open();
  TAdoQuery query;
  query.SetConnection(&connection);
  query.SetLockType(TADOLockType::ltReadOnly);

  for (bool positive_only : {false, true}) {
    SCOPED_TRACE(positive_only ? "WHERE SUMPAY>0" : "all rows");
    query.Close();
    query.SQL().Clear();
    query.SQL().Add(ListReportSql(base, positive_only));
    query.Open();

    const std::vector<std::string> expected_fields = {
        "FAMIL", "IMJA", "OTCH", "PYNKAR", "DOC_SER", "DOC_NUM", "SUMPAY",
        dental ? "NARYD" : "RECEPT", dental ? "DATENRD" : "DATERCPT"};
    ASSERT_EQ(query.GetFieldNames(), expected_fields);
    EXPECT_EQ(query.FieldByName("FAMIL").DataType(), TFieldType::ftString);
    EXPECT_EQ(query.FieldByName("FAMIL").Size(), 25);
    EXPECT_EQ(query.FieldByName("SUMPAY").DataType(), TFieldType::ftFloat);
    EXPECT_EQ(query.FieldDefs().Find("SUMPAY")->Precision(), 2);
    EXPECT_EQ(query.FieldByName(dental ? "DATENRD" : "DATERCPT").DataType(), TFieldType::ftDate);

    size_t expected_count = 0;
    for (const RegisterRow& row : live) {
      if (!positive_only || (row.sumpay && *row.sumpay > 0)) ++expected_count;
    }
    ASSERT_EQ(query.RecordCount(), static_cast<int>(expected_count));

    // The rows are the register's rows, and each follows the one before in reader's order.
    std::multiset<std::tuple<std::string, std::string, std::string>> expected, got;
    for (const RegisterRow& row : live) {
      if (!positive_only || (row.sumpay && *row.sumpay > 0)) {
        expected.emplace(row.famil, row.imja, row.otch);
      }
    }
    std::tuple<std::string, std::string, std::string> previous;
    bool first = true;
    int blank_otch = 0, null_dates = 0;
    for (query.First(); !query.Eof(); query.Next()) {
      auto key = std::make_tuple(Text(query.FieldByName("FAMIL")), Text(query.FieldByName("IMJA")),
                                 Text(query.FieldByName("OTCH")));
      got.insert(key);
      if (!first) {
        int c = CompareNames(std::get<0>(previous), std::get<0>(key));
        if (c == 0) c = CompareNames(std::get<1>(previous), std::get<1>(key));
        if (c == 0) c = CompareNames(std::get<2>(previous), std::get<2>(key));
        ASSERT_LE(c, 0) << std::get<0>(previous) << " before " << std::get<0>(key);
      }
      previous = key;
      first = false;
      data::TField& sumpay = query.FieldByName("SUMPAY");
      if (positive_only) {
        EXPECT_GT(sumpay.AsFloat(), 0);
      }
      if (!sumpay.IsNull()) {
        EXPECT_TRUE(sumpay.AsVariant().IsNumeric());
      }
      if (query.FieldByName("OTCH").IsNull()) ++blank_otch;
      data::TField& date = query.FieldByName(dental ? "DATENRD" : "DATERCPT");
      if (date.IsNull()) {
        ++null_dates;
      } else {
        EXPECT_EQ(date.AsVariant().Type(), core::varDate);
        EXPECT_GE(date.AsDateTime(), core::EncodeDate(2000, 1, 1));
      }
    }
    EXPECT_EQ(got, expected);
    // The generator leaves some patronymics and dates blank: they read as NULL.
    EXPECT_GT(blank_otch, 0);
    EXPECT_GT(null_dates, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Registers, ListReportQuery, ::testing::Values("med", "dent"));

TEST(ListReportQueryOrder, PutsYoWithYeAndIgnoresLetterCase) {
  ScratchFolder folder;
  std::vector<testing::RowSpec> rows;
  for (const char* name : {"Яковлев", "Елкина", "Ёлкин", "жуков", "Абрамова", "Елкин", "абрамов",
                           "Жуков"}) {
    rows.push_back({{Cell(name), Cell("1.00")}});
  }
  rows.push_back({{Cell("Удалённый"), Cell("1.00")}, true});
  rows.push_back({{Cell(), Cell("2.00")}});
  testing::MakeTable(folder.File("REG.DBF"), {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 8, 2}}, rows);

  TAdoConnection connection;
  connection.SetConnectionString(testing::JetConnectionString(folder.Path()));
  TAdoQuery query;
  query.SetConnection(&connection);
  query.SQL().Add("select * from 'reg' ORDER BY FAMIL ");
  query.Open();  // connects on demand
  std::vector<std::string> order;
  for (query.First(); !query.Eof(); query.Next()) {
    order.push_back(query.FieldByName("FAMIL").IsNull() ? "<null>"
                                                        : query.FieldByName("FAMIL").AsString());
  }
  ASSERT_EQ(order.size(), 9u);
  EXPECT_EQ(order[0], "<null>");
  EXPECT_EQ(order[1], "абрамов");
  EXPECT_EQ(order[2], "Абрамова");
  EXPECT_EQ(order[3], "Елкин");
  EXPECT_EQ(order[4], "Ёлкин");
  EXPECT_EQ(order[5], "Елкина");
  // "жуков" and "Жуков" are equal but for case: either order, both before "Яковлев".
  EXPECT_TRUE((order[6] == "жуков" && order[7] == "Жуков") ||
              (order[6] == "Жуков" && order[7] == "жуков"));
  EXPECT_EQ(order[8], "Яковлев");
}

TEST(ListReportQueryText, UpperLowerAndLikeHandleCyrillic) {
  ScratchFolder folder;
  testing::MakeTable(folder.File("reg.dbf"), {{"FAMIL", 'C', 20, 0}},
                     {{{Cell("Ёлкина")}}, {{Cell("ёжиков")}}, {{Cell("Петров")}}});
  TAdoConnection connection;
  connection.SetConnectionString(testing::JetConnectionString(folder.Path()));
  TAdoQuery query;
  query.SetConnection(&connection);
  query.SQL().Add(
      "select UPPER(FAMIL) AS U, LOWER(FAMIL) AS L from reg where FAMIL like 'ё%' order by 1");
  query.Open();
  ASSERT_EQ(query.RecordCount(), 2);
  EXPECT_EQ(query.FieldByName("U").AsString(), "ЁЖИКОВ");
  EXPECT_EQ(query.FieldByName("L").AsString(), "ёжиков");
  query.Next();
  EXPECT_EQ(query.FieldByName("U").AsString(), "ЁЛКИНА");
  query.Close();
  query.SQL().SetText("select FAMIL from reg where FAMIL LIKE '_ЛК%' AND FAMIL = 'ёлкина'");
  query.Open();
  EXPECT_EQ(query.RecordCount(), 1);
  query.Close();
  query.SQL().SetText("select FAMIL from reg where FAMIL LIKE '%!%' ESCAPE '!'");
  query.Open();
  EXPECT_EQ(query.RecordCount(), 0);
}

}  // namespace
}  // namespace lgoty::sql
