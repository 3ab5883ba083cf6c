// The adapter over a platform dataset: over a DBF table and over an SQL query, its ranges,
// aliases, field kinds and widths, missing fields, the run's hooks and the host's cursor.
#include <gtest/gtest.h>

#include "../sql/sql_fixture.h"
#include "data/field.h"
#include "dbf/table_dataset.h"
#include "report/data_sets.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/report_evaluator.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace lgoty::report {
namespace {

using sql::testing::ScratchFolder;

// Names the object being evaluated, as the report's expression engine does.
class FakeEvaluator : public ReportEvaluator {
 public:
  core::Variant Calc(const std::string& expression) override {
    ++calls;
    return core::Variant(expression + "#" + std::to_string(calls));
  }
  std::string CurrentObjectName() const override { return current; }
  void SetCurrentObjectName(const std::string& name) override { current = name; }
  std::string current;
  int calls = 0;
};

void MakeRows(const std::string& path) {
  sql::testing::MakeTable(path,
                          {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 12, 2}, {"DATEP", 'D', 8, 0},
                           {"FLAG", 'L', 1, 0}},
                          {{{"Иванов", "10.50", "20240115", "T"}},
                           {{"Петров", "0.00", "20240201", "F"}},
                           {{"Сидоров", std::nullopt, std::nullopt, std::nullopt}},
                           {{"Удалённый", "5.00", "20240301", "T"}, true},
                           {{"Яковлев", "7.25", "20240310", "F"}}});
}

class DbfDataSet : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeRows(folder_.File("rows.dbf"));
    table_.SetTableName(folder_.File("rows.dbf"));
    page_ = report_.CheckDataPage();
    ds_ = page_->Add(std::make_unique<TfrxDBDataset>());
    ds_->SetName("Rows");
    ds_->SetDataSet(&table_);
    report_.SetEvaluator(&evaluator_);
  }

  // The surnames of a walk through the data set, as a band would read them.
  std::vector<std::string> Walk() {
    std::vector<std::string> names;
    ds_->First();
    while (!ds_->Eof() && names.size() < 20) {
      names.push_back(ds_->Value("FAMIL").AsString());
      ds_->Next();
    }
    return names;
  }

  ScratchFolder folder_;
  dbf::TDbf table_;
  TfrxReport report_;
  TfrxDataPage* page_ = nullptr;
  TfrxDBDataset* ds_ = nullptr;
  FakeEvaluator evaluator_;
};

TEST_F(DbfDataSet, StartRunOpensNothingAndTheFirstRowAccessOpensTheTable) {
  ds_->StartRun();
  EXPECT_FALSE(table_.Active());
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Иванов", "Петров", "Сидоров", "Яковлев"}));
  EXPECT_TRUE(table_.Active());
  EXPECT_EQ(ds_->RecordCount(), table_.RecordCount());
  ds_->FinishRun();
  // CloseDataSource is off for a plain adapter: the host's table stays open.
  EXPECT_TRUE(table_.Active());
}

TEST_F(DbfDataSet, FieldKindsValuesAndDisplayWidths) {
  // Closed: kinds and widths come from the field definitions.
  EXPECT_EQ(ds_->FieldType("famil"), TfrxFieldType::fftString);
  EXPECT_EQ(ds_->DisplayWidth("FAMIL"), 20);
  EXPECT_EQ(ds_->FieldsCount(), 4);
  EXPECT_FALSE(table_.Active());
  ds_->StartRun();
  ds_->First();
  EXPECT_EQ(ds_->FieldType("SUMPAY"), TfrxFieldType::fftNumeric);
  EXPECT_EQ(ds_->FieldType("DATEP"), TfrxFieldType::fftDate);
  EXPECT_EQ(ds_->FieldType("FLAG"), TfrxFieldType::fftBoolean);
  EXPECT_EQ(ds_->DisplayWidth("FAMIL"), table_.FieldByName("FAMIL").DisplayWidth());
  EXPECT_DOUBLE_EQ(ds_->Value("SUMPAY").AsDouble(), 10.5);
  EXPECT_EQ(ds_->Value("DATEP").kind(), core::Variant::Kind::Date);
  EXPECT_TRUE(ds_->Value("flag").AsBoolean());
  EXPECT_EQ(ds_->DisplayText("FAMIL"), "Иванов");
  ds_->Next();
  ds_->Next();
  EXPECT_TRUE(ds_->Value("SUMPAY").IsNull());
  EXPECT_TRUE(ds_->Value("DATEP").IsNull());
  EXPECT_EQ(report_.Errors().Count(), 0);
  ds_->FinishRun();
}

TEST_F(DbfDataSet, UnknownFieldIsNullWithOneErrorLineNamingTheObject) {
  ds_->StartRun();
  ds_->First();
  evaluator_.SetCurrentObjectName("Memo3");
  EXPECT_TRUE(ds_->Value("NOPE").IsNull());
  EXPECT_TRUE(ds_->Value("NOPE").IsNull());
  ASSERT_EQ(report_.Errors().Count(), 1);
  EXPECT_EQ(report_.Errors()[0], "Memo3: Поле не найдено: Rows.\"NOPE\"");
  EXPECT_EQ(ds_->DisplayText("NOPE"), "Поле не найдено: Rows.\"NOPE\"");
  EXPECT_EQ(report_.Errors().Count(), 1);
  ds_->FinishRun();
}

TEST_F(DbfDataSet, CurrentRowRangesStartOrEndOnTheHostRowAndGiveItBack) {
  table_.Open();
  ASSERT_TRUE(table_.Locate("FAMIL", core::Variant("Петров"), {}));
  ds_->range_end = TfrxRangeEnd::reCurrent;
  ds_->StartRun();
  // The row that was current is the last one, and it is included.
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Иванов", "Петров"}));
  ds_->FinishRun();
  EXPECT_EQ(table_.FieldByName("FAMIL").AsString(), "Петров");

  ds_->range_end = TfrxRangeEnd::reLast;
  ds_->range_begin = TfrxRangeBegin::rbCurrent;
  ds_->StartRun();
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Петров", "Сидоров", "Яковлев"}));
  ds_->FinishRun();
  EXPECT_EQ(table_.FieldByName("FAMIL").AsString(), "Петров");

  // A whole-table walk over an open table also leaves the host on its row.
  ds_->range_begin = TfrxRangeBegin::rbFirst;
  ds_->StartRun();
  EXPECT_EQ(Walk().size(), 4u);
  ds_->FinishRun();
  EXPECT_EQ(table_.FieldByName("FAMIL").AsString(), "Петров");
}

TEST_F(DbfDataSet, AliasesRenameHideAndTranslateBothWays) {
  ds_->field_aliases.SetText("FAMIL=Фамилия\r\n-SUMPAY=SUMPAY\r\nDATEP=Дата\r\n");
  EXPECT_EQ(ds_->ConvertAlias("фамилия"), "FAMIL");
  EXPECT_EQ(ds_->GetAlias("famil"), "Фамилия");
  EXPECT_EQ(ds_->ConvertAlias("FLAG"), "FLAG");
  core::TStringList fields;
  ds_->GetFieldList(fields);
  EXPECT_EQ(fields.Text(), "Фамилия\r\nДата\r\n");
  EXPECT_TRUE(ds_->HasField("ДАТА"));
  EXPECT_FALSE(ds_->HasField("SUMPAY"));
  EXPECT_EQ(ds_->FieldType("Дата"), TfrxFieldType::fftDate);

  ds_->StartRun();
  ds_->First();
  EXPECT_EQ(ds_->Value("Фамилия").AsString(), "Иванов");
  EXPECT_EQ(ds_->DisplayText("Фамилия"), "Иванов");
  // The platform name of an aliased field, and a hidden field, are not found.
  EXPECT_TRUE(ds_->Value("FAMIL").IsNull());
  EXPECT_TRUE(ds_->Value("SUMPAY").IsNull());
  EXPECT_EQ(report_.Errors().Count(), 2);
  EXPECT_EQ(ds_->FieldByName("Фамилия").AsString(), "Иванов");
  ds_->FinishRun();
}

TEST_F(DbfDataSet, TheRunBorrowsTheTablesHandlersAndGivesThemBack) {
  int opened = 0, closing = 0;
  table_.AfterOpen = [&](data::TDataSet&) { ++opened; };
  table_.BeforeClose = [&](data::TDataSet&) { ++closing; };
  ds_->close_data_source = true;
  ds_->StartRun();
  ds_->First();
  EXPECT_EQ(opened, 1);
  // Closed from outside during the run: the next access opens it again and rebinds.
  table_.Close();
  EXPECT_EQ(closing, 1);
  EXPECT_EQ(ds_->Value("FAMIL").AsString(), "Иванов");
  EXPECT_EQ(opened, 2);
  ds_->FinishRun();
  EXPECT_FALSE(table_.Active());
  EXPECT_EQ(closing, 2);
  table_.Open();
  table_.Close();
  EXPECT_EQ(opened, 3);
  EXPECT_EQ(closing, 3);
}

TEST_F(DbfDataSet, WithoutADatasetTheRunStopsWithTheComponentsName) {
  ds_->SetDataSet(nullptr);
  try {
    ds_->StartRun();
    FAIL() << "no error";
  } catch (const core::Exception& e) {
    EXPECT_STREQ(e.what(), "Компонент Rows не подключен к данным");
  }
  EXPECT_NO_THROW(ds_->FinishRun());
}

TEST(DBDatasetReference, ClearedWhenTheDatasetOrSourceGoes) {
  TfrxDBDataset ds;
  {
    ScratchFolder folder;
    MakeRows(folder.File("rows.dbf"));
    dbf::TDbf table;
    table.SetTableName(folder.File("rows.dbf"));
    ds.SetDataSet(&table);
    ds.StartRun();
    ds.First();
    EXPECT_EQ(ds.GetDataSet(), &table);
  }
  EXPECT_EQ(ds.GetDataSet(), nullptr);
  EXPECT_NO_THROW(ds.FinishRun());
  {
    data::TDataSource source;
    ds.SetDataSource(&source);
    EXPECT_EQ(ds.DataSource(), &source);
  }
  EXPECT_EQ(ds.DataSource(), nullptr);
}

TEST(QueryDataSet, AQueryOpensWithTheTextItHasAtTheFirstRowAccess) {
  ScratchFolder folder;
  MakeRows(folder.File("rows.dbf"));
  sql::TAdoConnection connection;
  connection.SetLoginPrompt(false);
  connection.SetConnectionString(sql::testing::JetConnectionString(folder.Path()));
  sql::TAdoQuery query;
  query.SetConnection(&connection);
  TfrxDBDataset ds;
  ds.SetName("Q");
  ds.SetDataSet(&query);
  ds.close_data_source = true;
  ds.StartRun();
  query.SQL().Add("select FAMIL, SUMPAY * 2 as TWICE from rows where SUMPAY > 1 order by FAMIL desc");
  ds.First();
  std::vector<std::string> names;
  while (!ds.Eof()) {
    names.push_back(ds.Value("famil").AsString() + ":" + ds.DisplayText("TWICE"));
    ds.Next();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Яковлев:14,5", "Иванов:21"}));
  EXPECT_EQ(ds.FieldType("FAMIL"), TfrxFieldType::fftString);
  EXPECT_EQ(ds.FieldType("TWICE"), TfrxFieldType::fftNumeric);
  EXPECT_EQ(ds.DisplayWidth("FAMIL"), 20);
  ds.FinishRun();
  EXPECT_FALSE(query.Active());
}

}  // namespace
}  // namespace lgoty::report
