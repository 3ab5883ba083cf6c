// A data field's text (DataSet."FIELD") keeps the data set and the platform field it found
// from one read to the next. Whatever changes between reads (the table closed and opened
// again, another table, other fields, a rename, a data set taken off the list or
// destroyed), what it reads must be what a search by name reads at that moment.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../sql/sql_fixture.h"
#include "core/locale.h"
#include "dbf/table_dataset.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/pages.h"
#include "report/report.h"

namespace lgoty::report {
namespace {

using core::Variant;
using sql::testing::ScratchFolder;

void MakeRows(const std::string& path) {
  sql::testing::MakeTable(path,
                          {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 12, 2}, {"DATEP", 'D', 8, 0},
                           {"FLAG", 'L', 1, 0}},
                          {{{"Иванов", "10.50", "20240115", "T"}},
                           {{"Петров", "0.00", "20240201", "F"}},
                           {{"Сидоров", std::nullopt, std::nullopt, std::nullopt}}});
}

// Fields in another order, one of them missing and one the first table lacks.
void MakeOtherRows(const std::string& path) {
  sql::testing::MakeTable(path, {{"SUMPAY", 'N', 10, 1}, {"NOTE", 'C', 8, 0}, {"FAMIL", 'C', 12, 0}},
                          {{{"3.5", "a", "Орлов"}}, {{std::nullopt, std::nullopt, "Зайцев"}}});
}

std::string Shown(const Variant& v) {
  return std::to_string(static_cast<int>(v.kind())) + ":" + (v.IsNull() ? std::string("<null>") : v.AsString());
}

class FieldBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeRows(folder_.File("rows.dbf"));
    MakeOtherRows(folder_.File("other.dbf"));
    table_.SetTableName(folder_.File("rows.dbf"));
    other_.SetTableName(folder_.File("other.dbf"));
    page_ = report_.CheckDataPage();
    ds_ = page_->Add(std::make_unique<TfrxDBDataset>());
    ds_->SetName("Rows");
    ds_->SetDataSet(&table_);
    report_.AddDataSet(ds_, "Rows");
  }

  // Every field text read through the expressions (kept binding) against a search by name
  // and an uncached read, on every row of the data set from the first.
  void ExpectSameOnEveryRow(const std::vector<std::string>& fields) {
    TfrxExpressions& e = report_.Expressions();
    int rows = 0;
    for (ds_->First(); !ds_->Eof() && rows < 10; ds_->Next(), ++rows) {
      for (const std::string& field : fields) {
        const std::string text = "Rows.\"" + field + "\"";
        Variant general;
        TfrxDataSet* found = e.FindDataSet("Rows");
        ASSERT_NE(found, nullptr);
        // A field the data set lacks reads as Null and is listed in the errors either way.
        report_.Errors().Clear();
        ASSERT_TRUE(e.FieldValue(*found, field, general));
        const std::string general_errors = report_.Errors().Text();
        report_.Errors().Clear();
        Variant kept;
        ASSERT_TRUE(e.ResolveName(text, kept)) << text;
        EXPECT_EQ(Shown(kept), Shown(general)) << text << " row " << rows;
        EXPECT_EQ(report_.Errors().Text(), general_errors) << text;
      }
    }
    EXPECT_GT(rows, 0);
  }

  ScratchFolder folder_;
  dbf::TDbf table_, other_;
  TfrxReport report_;
  TfrxDataPage* page_ = nullptr;
  TfrxDBDataset* ds_ = nullptr;
};

TEST_F(FieldBindingTest, KeptFieldsFollowCloseReopenAnotherTableAndOtherFields) {
  const std::vector<std::string> fields = {"FAMIL", "sumpay", "DATEP", "FLAG", "NOTE"};
  ds_->StartRun();
  ExpectSameOnEveryRow(fields);
  // The host closes the table in the middle of the run: the next read opens it again and
  // its fields are new objects.
  table_.Close();
  ExpectSameOnEveryRow(fields);
  ds_->Close();
  ExpectSameOnEveryRow(fields);
  ds_->FinishRun();

  // Another table under the same data set: other positions, a field gone, one added.
  ds_->SetDataSet(&other_);
  ds_->StartRun();
  ExpectSameOnEveryRow(fields);
  Variant v;
  ASSERT_TRUE(report_.Expressions().ResolveName("Rows.\"FAMIL\"", v));
  ds_->First();
  ASSERT_TRUE(report_.Expressions().ResolveName("Rows.\"FAMIL\"", v));
  EXPECT_EQ(v.AsString(), "Орлов");
  ds_->FinishRun();

  // The same table file rewritten with other fields, read after the table is opened anew.
  other_.Close();
  MakeRows(folder_.File("other.dbf"));
  ds_->StartRun();
  ExpectSameOnEveryRow(fields);
  ds_->First();
  ASSERT_TRUE(report_.Expressions().ResolveName("Rows.\"FAMIL\"", v));
  EXPECT_EQ(v.AsString(), "Иванов");
  ds_->FinishRun();

  // Aliases set while closed take effect at the next opening.
  ds_->Close();
  ds_->field_aliases.SetText("FAMIL=Фамилия\r\n-SUMPAY=SUMPAY\r\n");
  ds_->StartRun();
  ExpectSameOnEveryRow({"Фамилия", "FAMIL", "SUMPAY"});
  ds_->FinishRun();
}

TEST_F(FieldBindingTest, NullsConvertByTheFieldsKindThroughTheKeptField) {
  report_.engine_options.convert_nulls = true;
  ds_->StartRun();
  ExpectSameOnEveryRow({"FAMIL", "SUMPAY", "DATEP", "FLAG"});
  ds_->First();
  ds_->Next();
  ds_->Next();
  Variant v;
  ASSERT_TRUE(report_.Expressions().ResolveName("Rows.\"SUMPAY\"", v));
  EXPECT_FALSE(v.IsNull());
  EXPECT_EQ(v.AsString(), "0");
  ASSERT_TRUE(report_.Expressions().ResolveName("Rows.\"FLAG\"", v));
  EXPECT_FALSE(v.AsBoolean());
  report_.engine_options.convert_nulls = false;
  ASSERT_TRUE(report_.Expressions().ResolveName("Rows.\"SUMPAY\"", v));
  EXPECT_TRUE(v.IsNull());
  ds_->FinishRun();
}

std::unique_ptr<TfrxUserDataSet> ValueDataSet(const char* user_name, const char* value) {
  auto ds = std::make_unique<TfrxUserDataSet>();
  ds->SetUserName(user_name);
  ds->fields.SetText("A\r\n");
  std::string text = value;
  ds->OnGetValue = [text](const std::string&, Variant& v) { v = Variant(text); };
  return ds;
}

TEST_F(FieldBindingTest, KeptDataSetsFollowRenamesRemovalAndReplacement) {
  TfrxExpressions& e = report_.Expressions();
  auto one = ValueDataSet("One", "1");
  auto two = ValueDataSet("Two", "2");
  report_.AddDataSet(one.get(), "One");
  report_.AddDataSet(two.get(), "Two");
  // The text of a field as read now, "-" when the name finds no data set.
  auto read = [&e](const std::string& text) {
    Variant v;
    return e.ResolveName(text, v) ? v.AsString() : std::string("-");
  };
  EXPECT_EQ(read("Two.\"A\""), "2");
  EXPECT_EQ(read("two.\"A\""), "2");
  // Renamed away, then another data set earlier in the list takes the name.
  two->SetUserName("Three");
  EXPECT_EQ(read("Two.\"A\""), "-");
  EXPECT_EQ(read("Three.\"A\""), "2");
  one->SetUserName("Three");
  EXPECT_EQ(read("Three.\"A\""), "1");
  // The earlier one taken off the list.
  report_.DataSets().erase(report_.DataSets().begin() + 1);
  EXPECT_EQ(read("Three.\"A\""), "2");
  // The list's entry pointed at another data set of the same name.
  auto four = ValueDataSet("Three", "4");
  report_.DataSets().back()->data_set.Set(four.get());
  EXPECT_EQ(read("Three.\"A\""), "4");
  // Destroyed while listed, and a new one made (perhaps at the same address) and listed.
  four.reset();
  EXPECT_EQ(read("Three.\"A\""), "-");
  four = ValueDataSet("Three", "5");
  report_.DataSets().back()->data_set.Set(four.get());
  EXPECT_EQ(read("Three.\"A\""), "5");
  // Through Name when UserName follows it.
  auto named = std::make_unique<TfrxUserDataSet>();
  named->fields.SetText("A\r\n");
  named->OnGetValue = [](const std::string&, Variant& v) { v = Variant("n"); };
  named->SetName("Named");
  report_.AddDataSet(named.get(), "Named");
  EXPECT_EQ(read("Named.\"A\""), "n");
  named->SetName("Renamed");
  EXPECT_EQ(read("Named.\"A\""), "-");
  EXPECT_EQ(read("Renamed.\"A\""), "n");
  report_.DataSets().clear();
  EXPECT_EQ(read("Renamed.\"A\""), "-");
  EXPECT_EQ(read("Rows.\"FAMIL\""), "-");
}

TEST_F(FieldBindingTest, ANameThatFoundNothingIsAskedAgainAfterChanges) {
  TfrxExpressions& e = report_.Expressions();
  auto read = [&e](const std::string& text) {
    Variant v;
    return e.ResolveName(text, v) ? v.AsString() : std::string("-");
  };
  report_.DataSets().clear();
  EXPECT_EQ(read("Late.\"A\""), "-");
  EXPECT_EQ(read("Late.\"A\""), "-");
  // Listed after the first search.
  auto late = ValueDataSet("Other", "late");
  report_.AddDataSet(late.get(), "Other");
  EXPECT_EQ(read("Late.\"A\""), "-");
  // Renamed to the name searched for.
  late->SetUserName("LATE");
  EXPECT_EQ(read("Late.\"A\""), "late");
  late->SetUserName("Other");
  EXPECT_EQ(read("Late.\"A\""), "-");
  // An entry of the list pointed at a data set of that name.
  auto named = ValueDataSet("Late", "pointed");
  report_.DataSets()[0]->data_set.Set(named.get());
  EXPECT_EQ(read("Late.\"A\""), "pointed");
  report_.DataSets()[0]->data_set.Set(late.get());
  EXPECT_EQ(read("Late.\"A\""), "-");
  // More entries than are compared whole: searched every time, still right.
  std::vector<std::unique_ptr<TfrxUserDataSet>> many;
  for (int i = 0; i < 6; ++i) {
    many.push_back(ValueDataSet(("M" + std::to_string(i)).c_str(), "m"));
    report_.AddDataSet(many.back().get(), "M");
  }
  EXPECT_EQ(read("Late.\"A\""), "-");
  many.back()->SetUserName("Late");
  EXPECT_EQ(read("Late.\"A\""), "m");
  EXPECT_EQ(read("M5.\"A\""), "-");
  EXPECT_EQ(read("M4.\"A\""), "m");
}

// The search a data set makes without its own HasField: the field list, then each name.
bool ListedField(TfrxDataSet& ds, const std::string& name) {
  core::TStringList list;
  ds.GetFieldList(list);
  for (int i = 0; i < list.Count(); ++i) {
    if (core::AnsiSameText(list[i], name)) return true;
  }
  return false;
}

TEST_F(FieldBindingTest, HasFieldAnswersAsTheFieldListDoes) {
  const std::vector<std::string> names = {"FAMIL", "famil", "Famil ", "SUMPAY", "DATEP", "FLAG", "NOTE",
                                          "Фамилия", "ФАМИЛИЯ", "Дата", "", "-SUMPAY", "Другое"};
  auto check = [&](const char* state) {
    for (const std::string& name : names) {
      EXPECT_EQ(ds_->HasField(name), ListedField(*ds_, name)) << state << " '" << name << "'";
    }
  };
  check("closed, definitions");
  ds_->StartRun();
  ds_->First();
  check("open");
  ds_->field_aliases.SetText("FAMIL=Фамилия\r\n-SUMPAY=SUMPAY\r\nDATEP=Дата\r\nFLAG=\r\n=NOTE\r\n");
  check("aliases");
  EXPECT_TRUE(ds_->HasField("фамилия"));
  EXPECT_FALSE(ds_->HasField("FAMIL"));
  ds_->FinishRun();
  ds_->field_aliases.Clear();
  ds_->SetDataSet(nullptr);
  check("no dataset");
  EXPECT_FALSE(ds_->HasField("FAMIL"));
}

}  // namespace
}  // namespace lgoty::report
