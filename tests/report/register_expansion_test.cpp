// Expressions over a real data set: the report's ADOQuery1 reading a small register folder
// through the SQL layer, printed by a stand-in engine (a loop that moves the query, counts
// the aggregates and fills memos as the band engine does); and the list template's OK
// handler run through the report's own script.
#include <gtest/gtest.h>

#include "../sql/sql_fixture.h"
#include "core/format_settings.h"
#include "report/aggregates.h"
#include "report/bands.h"
#include "report/dialog_controls.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/views.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace lgoty::report {
namespace {

using core::Variant;
using sql::testing::ScratchFolder;

const std::string kNbsp = "\xC2\xA0";

// In surname order (Null first): Нина without a surname 20.00, Андреев 1 234 567.50,
// Борисова without an amount, Яковлев 1 500.25; the deleted Зайцев never shows. Nobody
// has a patronymic.
void MakeRegister(const std::string& path) {
  sql::testing::MakeTable(path,
                          {{"FAMIL", 'C', 20, 0}, {"IMJA", 'C', 20, 0}, {"SUMPAY", 'N', 12, 2},
                           {"RECEPT", 'C', 10, 0}, {"NARYD", 'C', 10, 0}, {"OTCH", 'C', 20, 0}},
                          {{{"Яковлев", "Пётр", "1500.25", "ЛС 1", "Н 1"}},
                           {{std::nullopt, "Нина", "20.00", "ЛС 2", "Н 2"}},
                           {{"Андреев", "Олег", "1234567.50", "ЛС 3", "Н 3"}},
                           {{"Борисова", "Анна", std::nullopt, "ЛС 4", "Н 4"}},
                           {{"Зайцев", "Иван", "999.00", "ЛС 5", "Н 5"}, true}});
}

class RegisterExpansion : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeRegister(folder_.File("reg.dbf"));
    connection_.SetLoginPrompt(false);
    connection_.SetConnectionString(sql::FolderConnectionString(folder_.Path()));
    components_.SetDefaultDatabase(&connection_);
    query_ = report_.CheckDataPage()->Add(std::make_unique<TfrxADOQuery>());
    query_->SetName("ADOQuery1");
    report_.AddDataSet(query_, "ADOQuery1");
    auto* page = report_.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    data_ = page->Add(std::make_unique<TfrxMasterData>());
    data_->SetName("MasterData1");
    data_->SetBounds(0, 40, 700, 20);
    data_->data_set.Set(query_);
    summary_ = page->Add(std::make_unique<TfrxReportSummary>());
    summary_->SetName("ReportSummary1");
    summary_->SetBounds(0, 100, 700, 20);
    query_->SQL().Add("select * from reg order by FAMIL");
  }

  TfrxMemoView* AddMemo(TfrxBand* band, const std::string& text) {
    auto* m = band->Add(std::make_unique<TfrxMemoView>());
    m->CreateUniqueName();
    m->SetText(text);
    return m;
  }

  // The stand-in engine: every row of the query printed by MasterData1; `on_row` runs
  // before the row's aggregates are counted and may hide the band.
  void PrintRows(const std::function<void(int line)>& on_row = nullptr,
                 const std::function<void(int line)>& after_row = nullptr) {
    TfrxExpressions& ex = report_.Expressions();
    ex.Aggregates().Register();
    ex.Aggregates().ResetAll();
    query_->StartRun();
    int line = 0;
    for (query_->First(); !query_->Eof(); query_->Next()) {
      ++line;
      ex.State().line = line;
      ex.State().line_all = line;
      ex.State().current_band = data_;
      if (on_row) on_row(line);
      ex.Aggregates().AddValue(*data_);
      if (after_row) after_row(line);
    }
  }

  // What the memo prints on its band now.
  std::string Fill(TfrxBand* band, TfrxMemoView* memo) {
    report_.Expressions().State().current_band = band;
    MemoBeforePrint(*memo);
    MemoFillData(report_.Expressions(), *memo);
    std::string text = memo->Text();
    MemoAfterPrint(*memo);
    return text;
  }

  // Moves the query to the row whose IMJA is `name` (the stand-in engine's current row).
  void MoveTo(const std::string& name) {
    for (query_->First(); !query_->Eof(); query_->Next()) {
      if (query_->Value("IMJA").AsString() == name) return;
    }
    FAIL() << name << " not found";
  }

  ScratchFolder folder_;
  sql::TAdoConnection connection_;
  TfrxADOComponents components_;
  TfrxReport report_;
  TfrxADOQuery* query_ = nullptr;
  TfrxMasterData* data_ = nullptr;
  TfrxReportSummary* summary_ = nullptr;
};

TEST_F(RegisterExpansion, TheListTotalGroupsThousandsAndUsesTheFormatsDecimalSeparator) {
  TfrxMemoView* total = AddMemo(summary_, "[SUM(<ADOQuery1.\"SUMPAY\">,MasterData1)]");
  total->DisplayFormat().kind = TfrxFormatKind::fkNumeric;
  total->DisplayFormat().format_str = "%2.2n";
  total->DisplayFormat().decimal_separator = ",";
  TfrxMemoView* others = AddMemo(
      summary_,
      "[COUNT(MasterData1)];[AVG(<ADOQuery1.\"SUMPAY\">,MasterData1)];[MIN(<ADOQuery1.\"SUMPAY\">)];"
      "[MAX(<ADOQuery1.\"SUMPAY\">)]");
  // Without ConvertNulls Борисова's missing amount stays Null: AVG divides by three rows.
  report_.engine_options.convert_nulls = false;
  PrintRows();
  EXPECT_EQ(Fill(summary_, total), "1" + kNbsp + "236" + kNbsp + "087,75");
  EXPECT_EQ(Fill(summary_, others), "4;412029,25;20;1234567,5");

  // On a desktop whose decimal separator is a full stop the format still prints a comma.
  const core::FormatSettings saved = core::DefaultFormatSettings();
  core::FormatSettings dotted = saved;
  dotted.DecimalSeparator = ".";
  core::SetDefaultFormatSettings(dotted);
  const std::string with_dot = Fill(summary_, total);
  core::SetDefaultFormatSettings(saved);
  EXPECT_EQ(with_dot, "1" + kNbsp + "236" + kNbsp + "087,75");
  EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  query_->FinishRun();
}

TEST_F(RegisterExpansion, AHiddenRowCountsOnlyWithFlagBitZeroAndTheLastRowCanBeTakenBack) {
  TfrxMemoView* memo = AddMemo(summary_,
                               "[SUM(<ADOQuery1.\"SUMPAY\">,MasterData1)]|[SUM(<ADOQuery1.\"SUMPAY\">,MasterData1,1)]|"
                               "[COUNT(MasterData1)]");
  // Андреев's row is printed invisible; Яковлев's, the last, moves on and is taken back.
  PrintRows([this](int) { data_->SetVisible(query_->Value("IMJA").AsString() != "Олег"); },
            [this](int line) {
              if (line == 4) report_.Expressions().Aggregates().DeleteValue(*data_);
            });
  data_->SetVisible(true);
  EXPECT_EQ(Fill(summary_, memo), "20|1234587,5|2");
  query_->FinishRun();
}

TEST_F(RegisterExpansion, NullFieldsPrintEmptyAndConvertNullsDecidesTheirValue) {
  TfrxMemoView* memo = AddMemo(data_, "<[ADOQuery1.\"FAMIL\"]>[ADOQuery1.\"SUMPAY\"]");
  TfrxExpressions& ex = report_.Expressions();
  query_->StartRun();
  MoveTo("Нина");  // no surname
  EXPECT_EQ(Fill(data_, memo), "<>20");
  EXPECT_TRUE(ex.Calc("ADOQuery1.\"FAMIL\"").IsString());
  MoveTo("Анна");  // no amount
  EXPECT_EQ(Fill(data_, memo), "<Борисова>0");
  EXPECT_EQ(ex.Calc("<ADOQuery1.\"SUMPAY\"> + 1").AsInt64(), 1);

  report_.engine_options.convert_nulls = false;
  MoveTo("Нина");
  EXPECT_EQ(Fill(data_, memo), "<>20");
  EXPECT_TRUE(ex.Calc("ADOQuery1.\"FAMIL\"").IsNull());
  MoveTo("Анна");
  EXPECT_EQ(Fill(data_, memo), "<Борисова>");
  EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  query_->FinishRun();
}

TEST_F(RegisterExpansion, TheNumberColumnFollowsTheRegisterKind) {
  TfrxMemoView* memo =
      AddMemo(data_, "[IIF(<vid>=1,<ADOQuery1.\"RECEPT\">,IIF(<vid>=2,<ADOQuery1.\"NARYD\">, ''))]");
  query_->StartRun();
  MoveTo("Пётр");
  const std::pair<const char*, const char*> kinds[] = {{"0", ""}, {"1", "ЛС 1"}, {"2", "Н 1"}};
  for (const auto& [vid, expected] : kinds) {
    report_.Expressions().Set("vid", Variant(vid));
    EXPECT_EQ(Fill(data_, memo), expected) << "vid " << vid;
  }
  EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  query_->FinishRun();
}

TEST_F(RegisterExpansion, AMissingParameterIsRefusedByNameInsideTheScript) {
  query_->SQL().SetText("select * from reg where SUMPAY > :lim order by FAMIL");
  report_.script_text.SetText(
      "procedure SetMissing;\r\nbegin\r\n  ADOQuery1.ParamByName('X').Value := 1;\r\nend;\r\n"
      "procedure SetKnown;\r\nbegin\r\n  ADOQuery1.ParamByName('LIM').Value := 100;\r\nend;\r\n\r\nbegin\r\nend.");
  TfrxReportScript& script = report_.Expressions().Script();
  ASSERT_TRUE(script.Prepare()) << script.ErrorPos() << " " << script.ErrorMessage();
  std::vector<Variant> none;
  try {
    script.CallProcedure("SetMissing", none);
    ADD_FAILURE() << "no error";
  } catch (const core::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Parameter \"X\" not found"), std::string::npos) << e.what();
  }
  ASSERT_TRUE(script.CallProcedure("SetKnown", none));
  query_->StartRun();
  std::vector<std::string> names;
  for (query_->First(); !query_->Eof(); query_->Next()) names.push_back(query_->DisplayText("IMJA"));
  query_->FinishRun();
  EXPECT_EQ(names, (std::vector<std::string>{"Олег", "Пётр"}));
}

// The list template as the register program drives it: the five variables set as
// expression texts, the script prepared, the dialog's OK handler run through the report's
// own script (Get of <OFName> reads the variable), and the data band's memos over the rows.
class ListTemplateThroughTheReportScript : public ::testing::TestWithParam<bool> {
 protected:
  ScratchFolder folder_;
  sql::TAdoConnection connection_;
  TfrxADOComponents components_;
  TfrxReport report_;
};

TEST_P(ListTemplateThroughTheReportScript, TheOkHandlerOpensTheRowsInSurnameOrder) {
  const bool positive_only = GetParam();
  MakeRegister(folder_.File("reg.dbf"));
  connection_.SetLoginPrompt(false);
  connection_.SetConnectionString(sql::FolderConnectionString(folder_.Path()));
  components_.SetDefaultDatabase(&connection_);
  ASSERT_TRUE(report_.LoadFromFile(std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3"));
  TfrxVariables& variables = report_.Expressions().Variables();
  variables.Set("OFile", Variant("'" + folder_.File("reg.dbf") + "'"));
  variables.Set("OFPath", Variant("'" + folder_.Path() + "'"));
  variables.Set("OFName", Variant("'reg'"));
  variables.Set("usl", Variant("'Лекарства'"));
  variables.Set("vid", Variant(int32_t{1}));
  auto* query = dynamic_cast<TfrxADOQuery*>(report_.FindObject("ADOQuery1"));
  auto* check_box = dynamic_cast<TfrxCheckBoxControl*>(report_.FindObject("CheckBox1"));
  auto* band = dynamic_cast<TfrxBand*>(report_.FindObject("MasterData1"));
  auto* names = dynamic_cast<TfrxMemoView*>(report_.FindObject("Memo3"));
  auto* number = dynamic_cast<TfrxMemoView*>(report_.FindObject("Memo15"));
  auto* amount = dynamic_cast<TfrxMemoView*>(report_.FindObject("Memo17"));
  ASSERT_TRUE(query && check_box && band && names && number && amount);

  for (TfrxComponent* c : report_.AllObjects()) c->BeforeStartReport();
  TfrxReportScript& script = report_.Expressions().Script();
  ASSERT_TRUE(script.Prepare()) << script.ErrorPos() << " " << script.ErrorMessage();
  script.RunMainBlock();
  query->SetReportRef(&report_);
  query->StartRun();
  check_box->SetChecked(positive_only);
  std::vector<Variant> args{Variant(static_cast<core::TObject*>(report_.FindObject("Button1")))};
  ASSERT_TRUE(script.CallProcedure("Button1OnClick", args));
  EXPECT_EQ(query->Query().SQL().Text(), std::string("select * from 'reg'") +
                                             (positive_only ? " WHERE SUMPAY>0" : "") +
                                             " ORDER BY FAMIL, IMJA, OTCH \r\n");

  std::vector<std::string> rows;
  TfrxExpressions& ex = report_.Expressions();
  ex.State().current_band = band;
  for (query->First(); !query->Eof(); query->Next()) {
    std::string row;
    for (TfrxMemoView* memo : {names, number, amount}) {
      MemoBeforePrint(*memo);
      MemoFillData(ex, *memo);
      row += memo->Text() + "|";
      MemoAfterPrint(*memo);
    }
    rows.push_back(row);
  }
  std::vector<std::string> expected{" Нина |ЛС 2|20,00|", "Андреев Олег |ЛС 3|1" + kNbsp + "234" + kNbsp + "567,50|"};
  if (!positive_only) expected.push_back("Борисова Анна |ЛС 4|0,00|");
  expected.push_back("Яковлев Пётр |ЛС 1|1" + kNbsp + "500,25|");
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  query->FinishRun();
  EXPECT_FALSE(query->Query().Active());
}

INSTANTIATE_TEST_SUITE_P(CheckBox, ListTemplateThroughTheReportScript, ::testing::Bool());

}  // namespace
}  // namespace lgoty::report
