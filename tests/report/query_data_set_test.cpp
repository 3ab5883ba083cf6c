// Query data sets: parameters derived from the text, their expressions, the SQL copy that
// scripts change, the ADO connection chain and login editing.
#include <gtest/gtest.h>

#include "../sql/sql_fixture.h"
#include "report/pages.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/report_evaluator.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace lgoty::report {
namespace {

using sql::testing::ScratchFolder;

std::vector<std::string> Names(const TfrxParams& params) {
  std::vector<std::string> out;
  for (int i = 0; i < params.Count(); ++i) out.push_back(params.Items(i).name);
  return out;
}

TEST(QueryParams, MarkersOutsideQuotesInTextOrder) {
  EXPECT_EQ(frxParamMarkers("select * from t where a = :A and b in (:b1,:b2) and c=':no' "
                            "and d=\":no\" and `:no` = 1 and e = :\"long name\"\r\n and f::g"),
            (std::vector<std::string>{"A", "b1", "b2", "long name"}));
  EXPECT_TRUE(frxParamMarkers("select '12:30', a::int, : from t").empty());
}

TEST(QueryParams, ADoubledNameGivesTwoItemsUnlessDuplicatesAreIgnored) {
  TfrxADOQuery query;
  query.SQL().SetText("select * from t where a > :lim or b > :lim or c = :other");
  EXPECT_EQ(Names(query.Params()), (std::vector<std::string>{"lim", "lim", "other"}));
  query.ParamByName("LIM").value = core::Variant(5);
  query.SetIgnoreDupParams(true);
  EXPECT_EQ(Names(query.Params()), (std::vector<std::string>{"lim", "other"}));
  // An item whose name stays keeps its value over a change of text.
  query.SQL().Add("or d = :lim");
  EXPECT_EQ(query.ParamByName("lim").value.AsInt64(), 5);
  EXPECT_EQ(query.Params().IndexOf("OTHER"), 1);
  query.SQL().SetText("select 1 from t where x = '::'");
  EXPECT_EQ(query.Params().Count(), 0);
}

TEST(QueryParams, AMissingNameIsRefusedByName) {
  TfrxADOQuery query;
  query.SQL().Add("select * from t where a = :a");
  try {
    query.ParamByName("X");
    FAIL() << "no error";
  } catch (const core::Exception& e) {
    EXPECT_STREQ(e.what(), "Parameter \"X\" not found");
  }
}

TEST(AdoQuery, TheSqlCopyCarriesScriptChangesIntoThePlatformQuery) {
  TfrxADOQuery query;
  query.SQL().Add("select * from t");
  query.SQL().Add("where a = :a");
  EXPECT_EQ(query.Query().SQL().Text(), "select * from t\r\nwhere a = :a\r\n");
  EXPECT_EQ(query.Query().Parameters().Count(), 1);
  EXPECT_EQ(query.Params().Count(), 1);
  // Text given to the platform query shows in the copy the next time it is read.
  query.Query().SQL().SetText("select 2");
  EXPECT_EQ(query.SQL().Text(), "select 2\r\n");
  core::TStringList lines;
  lines.Add("select :x, :y");
  query.SetSQL(lines);
  EXPECT_EQ(query.Query().SQL().Text(), "select :x, :y\r\n");
  EXPECT_EQ(Names(query.Params()), (std::vector<std::string>{"x", "y"}));
}

class CountingEvaluator : public ReportEvaluator {
 public:
  core::Variant Calc(const std::string& expression) override {
    seen.push_back(current + " " + expression);
    return next_values.at(seen.size() - 1);
  }
  std::string CurrentObjectName() const override { return current; }
  void SetCurrentObjectName(const std::string& name) override { current = name; }
  std::string current;
  std::vector<std::string> seen;
  std::vector<core::Variant> next_values;
};

class AdoFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    sql::testing::MakeTable(folder_.File("rows.dbf"), {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 12, 2}},
                            {{{"Иванов", "10.50"}}, {{"Петров", "3.00"}}, {{"Сидоров", "7.00"}}});
    connection_.SetLoginPrompt(false);
    connection_.SetConnectionString(sql::testing::JetConnectionString(folder_.Path()));
    components_.SetDefaultDatabase(&connection_);
  }

  std::vector<std::string> Walk(TfrxDataSet& ds) {
    std::vector<std::string> names;
    ds.First();
    while (!ds.Eof()) {
      names.push_back(ds.Value("FAMIL").AsString());
      ds.Next();
    }
    return names;
  }

  ScratchFolder folder_;
  sql::TAdoConnection connection_;
  TfrxADOComponents components_;
};

TEST_F(AdoFolder, AnExpressionParameterIsEvaluatedAtEveryOpen) {
  TfrxReport report;
  CountingEvaluator evaluator;
  evaluator.next_values = {core::Variant(5.0), core::Variant(1.0)};
  report.SetEvaluator(&evaluator);
  auto* query = report.CheckDataPage()->Add(std::make_unique<TfrxADOQuery>());
  query->SetName("ADOQuery1");
  query->SQL().Add("select FAMIL from rows where SUMPAY > :lim order by FAMIL");
  query->ParamByName("lim").expression = "<Limit>";
  query->ParamByName("lim").data_type = static_cast<int>(data::TFieldType::ftFloat);
  query->StartRun();
  EXPECT_EQ(Walk(*query), (std::vector<std::string>{"Иванов", "Сидоров"}));
  query->FinishRun();
  query->StartRun();
  EXPECT_EQ(Walk(*query), (std::vector<std::string>{"Иванов", "Петров", "Сидоров"}));
  query->FinishRun();
  EXPECT_EQ(evaluator.seen, (std::vector<std::string>{"ADOQuery1 <Limit>", "ADOQuery1 <Limit>"}));
  EXPECT_DOUBLE_EQ(query->ParamByName("lim").value.AsDouble(), 1.0);

  // A blank expression keeps the stored value.
  query->ParamByName("lim").expression = " ";
  query->ParamByName("lim").value = core::Variant(8.0);
  query->StartRun();
  EXPECT_EQ(Walk(*query), (std::vector<std::string>{"Иванов"}));
  query->FinishRun();
  EXPECT_EQ(evaluator.seen.size(), 2u);
}

TEST_F(AdoFolder, ANewerComponentObjectLendsItsConnectionUntilItGoes) {
  ScratchFolder other_folder;
  sql::testing::MakeTable(other_folder.File("rows.dbf"), {{"FAMIL", 'C', 20, 0}}, {{{"Другой"}}});
  sql::TAdoConnection other;
  other.SetLoginPrompt(false);
  other.SetConnectionString(sql::testing::JetConnectionString(other_folder.Path()));
  TfrxADOQuery query;
  query.SQL().Add("select FAMIL from rows order by FAMIL");
  EXPECT_EQ(query.Query().Connection(), &connection_);
  {
    TfrxADOComponents newer;
    newer.SetDefaultDatabase(&other);
    EXPECT_EQ(TfrxADOComponents::Current(), &newer);
    query.BeforeStartReport();
    EXPECT_EQ(query.Query().Connection(), &other);
    query.StartRun();
    EXPECT_EQ(Walk(query), (std::vector<std::string>{"Другой"}));
    query.FinishRun();
  }
  EXPECT_EQ(TfrxADOComponents::Current(), &components_);
  query.BeforeStartReport();
  EXPECT_EQ(query.Query().Connection(), &connection_);
  EXPECT_EQ(query.SQL().Text(), "select FAMIL from rows order by FAMIL\r\n");
  // Its own database wins over the default one.
  TfrxADODatabase database;
  database.SetLoginPrompt(false);
  database.SetDatabaseName(sql::testing::JetConnectionString(other_folder.Path()));
  query.SetDatabase(&database);
  EXPECT_EQ(query.Query().Connection(), &database.Database());
  EXPECT_TRUE(query.HasConnection());
}

TEST(AdoComponents, TheDefaultConnectionIsForgottenWhenItGoes) {
  TfrxADOComponents components;
  {
    sql::TAdoConnection connection;
    components.SetDefaultDatabase(&connection);
    EXPECT_EQ(components.DefaultDatabase(), &connection);
  }
  EXPECT_EQ(components.DefaultDatabase(), nullptr);
  TfrxADOQuery query;
  EXPECT_FALSE(query.HasConnection());
  query.SQL().Add("select 1");
  query.StartRun();
  EXPECT_THROW(query.First(), core::Exception);
  query.FinishRun();
}

TEST_F(AdoFolder, ExecSqlIsRefusedByTheReadOnlyConnection) {
  TfrxADOQuery query;
  query.SQL().Add("delete from rows");
  const auto before = sql::testing::FolderBytes(folder_.Path());
  try {
    query.ExecSQL();
    FAIL() << "no error";
  } catch (const core::Exception& e) {
    EXPECT_STREQ(e.what(), "DELETE is not allowed: a query may only read the tables of the folder");
  }
  EXPECT_EQ(sql::testing::FolderBytes(folder_.Path()), before);
}

TEST(AdoDatabase, ApplyLoginAppendsOrReplacesInPlace) {
  EXPECT_EQ(frxApplyLogin("Provider=P;Data Source=D", "ivan", "secret"),
            "Provider=P;Data Source=D;User ID=ivan;Password=secret");
  EXPECT_EQ(frxApplyLogin("user id=old;Provider=P;PASSWORD=x;Mode=Read", "ivan", "s"),
            "User ID=ivan;Provider=P;Password=s;Mode=Read");
  TfrxADODatabase database;
  database.SetDatabaseName("Provider=P;Password=a");
  database.ApplyLogin("u", "b");
  EXPECT_EQ(database.DatabaseName(), "Provider=P;Password=b;User ID=u");
}

TEST_F(AdoFolder, ConnectingAsksTheReportFirstAndTellsItAfterDisconnecting) {
  TfrxReport report;
  auto* database = report.CheckDataPage()->Add(std::make_unique<TfrxADODatabase>());
  database->SetLoginPrompt(false);
  database->SetDatabaseName(sql::testing::JetConnectionString(folder_.Path()));
  std::vector<std::string> calls;
  bool allow = false;
  report.OnBeforeConnect = [&](TfrxCustomDatabase&, bool& connected) {
    calls.push_back(connected ? "connect" : "disconnect");
    if (!allow) connected = false;
  };
  report.OnAfterDisconnect = [&](TfrxCustomDatabase&) { calls.push_back("after"); };
  database->SetConnected(true);
  EXPECT_FALSE(database->Connected());
  allow = true;
  database->SetConnected(true);
  EXPECT_TRUE(database->Connected());
  database->SetConnected(false);
  EXPECT_FALSE(database->Connected());
  // The platform connection's own before-connect asks again with true.
  EXPECT_EQ(calls, (std::vector<std::string>{"connect", "connect", "connect", "disconnect", "after"}));
}

}  // namespace
}  // namespace lgoty::report
