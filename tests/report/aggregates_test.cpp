// Aggregates through a stand-in engine: a loop that prints the rows of a data band and
// calls the aggregate hooks the band engine calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "core/locale.h"
#include "core/text_format.h"
#include "report/aggregates.h"
#include "report/bands.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using core::Variant;

class AggregatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    data = AddBand<TfrxMasterData>("MasterData1", 50);
    data->row_count = 1;  // top level without a data set of its own
    footer = AddBand<TfrxFooter>("Footer1", 100);
    summary = AddBand<TfrxReportSummary>("ReportSummary1", 200);
    page_footer = AddBand<TfrxPageFooter>("PageFooter1", 300);
    report.AddVariable("x", Variant::Null());
  }
  template <class T>
  T* AddBand(const char* name, double top) {
    auto* b = page->Add(std::make_unique<T>());
    b->SetName(name);
    b->SetTop(top);
    b->SetHeight(20);
    return b;
  }
  TfrxMemoView* AddMemo(TfrxBand* band, const std::string& text) {
    auto* m = band->Add(std::make_unique<TfrxMemoView>());
    m->CreateUniqueName();
    m->SetText(text);
    return m;
  }
  // Prints one row: the band's expressions see x = value.
  void Row(const Variant& value) {
    report.Variables()[0]->value = value;
    report.Expressions().State().current_band = data;
    aggregates().AddValue(*data);
  }
  // Prints a band holding memos and returns the first memo's text; the band's items are
  // reset afterwards, as when the engine finishes the band.
  std::string Print(TfrxBand* band, TfrxMemoView* memo) {
    report.Expressions().State().current_band = band;
    MemoBeforePrint(*memo);
    MemoFillData(report.Expressions(), *memo);
    std::string text = memo->Text();
    MemoAfterPrint(*memo);
    aggregates().Reset(*band);
    return text;
  }
  TfrxAggregateList& aggregates() { return report.Expressions().Aggregates(); }

  TfrxReport report;
  TfrxReportPage* page = nullptr;
  TfrxMasterData* data = nullptr;
  TfrxFooter* footer = nullptr;
  TfrxReportSummary* summary = nullptr;
  TfrxPageFooter* page_footer = nullptr;
};

TEST(AggregateArguments, SplitAtTopLevelCommasOnly) {
  EXPECT_EQ(SplitAggregateArgs(" IIF(<a>=1, 'x,y', 2) , MasterData1 ,3"),
            (std::vector<std::string>{"IIF(<a>=1, 'x,y', 2)", "MasterData1", "3"}));
  EXPECT_EQ(SplitAggregateArgs("<Q.\"A,B\">"), (std::vector<std::string>{"<Q.\"A,B\">"}));
  EXPECT_TRUE(SplitAggregateArgs("  ").empty());
  EXPECT_EQ(SplitAggregateArgs("a,"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(ParseAggregateFlags(" 3 "), 3);
  EXPECT_EQ(ParseAggregateFlags("x"), 0);
}

TEST_F(AggregatesTest, SumCountAvgMinMaxOverTheRows) {
  TfrxMemoView* memo = AddMemo(summary, "[COUNT(MasterData1)];[SUM(<x>,MasterData1)];[AVG(<x>)];[MIN(<x>)];[MAX(<x>)]");
  aggregates().Register();
  ASSERT_EQ(aggregates().Items().size(), 5u);
  for (const auto& item : aggregates().Items()) EXPECT_EQ(item->band, data);
  for (const Variant& v : {Variant(4), Variant::Null(), Variant(10), Variant(-2), Variant::Null(), Variant(8)}) Row(v);
  // AVG counts the four non-Null rows only.
  EXPECT_EQ(Print(summary, memo), "6;20;5;-2;10");
}

TEST_F(AggregatesTest, BooleansCountAsOneAndNoRowsGiveZero) {
  TfrxMemoView* memo = AddMemo(footer, "[SUM(<x>)] [COUNT(MasterData1)] [MAX(<x>)]");
  aggregates().Register();
  EXPECT_EQ(Print(footer, memo), "0 0 0");
  Row(Variant(true));
  Row(Variant(false));
  Row(Variant(true));
  EXPECT_EQ(Print(footer, memo), "2 3 1");
  // The footer's print reset its items.
  EXPECT_EQ(Print(footer, memo), "0 0 0");
}

TEST_F(AggregatesTest, UndoTakesBackTheLastRow) {
  TfrxMemoView* memo = AddMemo(summary, "[SUM(<x>,MasterData1)] [COUNT(MasterData1)]");
  aggregates().Register();
  Row(Variant(5));
  Row(Variant(7));
  aggregates().DeleteValue(*data);
  EXPECT_EQ(Print(summary, memo), "5 1");
}

// Each row evaluates the items' expressions as Calc does at that moment, also after the
// expression cache is emptied and after a variable the expression names is redefined
// (what an item remembers of its text must not outlive either), for random rows.
TEST_F(AggregatesTest, EveryRowEvaluatesWhatTheExpressionMeansThen) {
  report.AddVariable("k", Variant(1));
  TfrxMemoView* memo = AddMemo(summary, "[SUM(<x> * <k>)];[MAX(<x> + <k>)];[SUM(<k>)]");
  aggregates().Register();
  ASSERT_EQ(aggregates().Items().size(), 3u);
  std::mt19937 random(3);
  double sum = 0, sum_k = 0, max = -1e9;
  for (int row = 0; row < 300; ++row) {
    if (random() % 7 == 0) report.Expressions().ClearCache();
    if (random() % 5 == 0) {
      // k becomes another number, or an expression of x.
      report.Variables()[1]->value = random() % 2 ? Variant(static_cast<int>(random() % 9))
                                                  : Variant(std::string("<x> - 1"));
    }
    const int x = static_cast<int>(random() % 100) - 50;
    report.Variables()[0]->value = Variant(x);
    const double k = report.Expressions().Calc("<k>").AsDouble();
    sum += x * k;
    sum_k += k;
    max = std::max(max, x + k);
    Row(Variant(x));
  }
  EXPECT_EQ(Print(summary, memo), core::FloatToStr(sum, core::DefaultFormatSettings()) + ";" +
                                      core::FloatToStr(max, core::DefaultFormatSettings()) + ";" +
                                      core::FloatToStr(sum_k, core::DefaultFormatSettings()));
}

// Doubles are summed in place, integers and the rest through the general addition, in
// any mix: eighths add up exactly whatever the order, and a sum that overflows is still
// the general addition's error, while an infinite amount stays infinite.
TEST_F(AggregatesTest, DoubleSumsInAnyMixOfKindsAndTheirOverflow) {
  TfrxMemoView* memo = AddMemo(summary, "[SUM(<x>)];[AVG(<x>)]");
  aggregates().Register();
  std::mt19937 random(8);
  int64_t eighths = 0;
  int rows = 0;
  for (int row = 0; row < 2000; ++row) {
    const int64_t n = static_cast<int64_t>(random() % 200001) - 100000;
    if (random() % 3 == 0) {
      eighths += n * 8;
      Row(Variant(static_cast<int>(n)));
    } else {
      eighths += n;
      Row(Variant(static_cast<double>(n) / 8));
    }
    ++rows;
  }
  const double sum = static_cast<double>(eighths) / 8;
  const auto& fs = core::DefaultFormatSettings();
  EXPECT_EQ(Print(summary, memo),
            core::FloatToStr(sum, fs) + ";" + core::FloatToStr(sum / rows, fs));
  Row(Variant(1e308));
  EXPECT_THROW(Row(Variant(1e308)), core::EMathError);
  aggregates().Reset(*summary);
  Row(Variant(std::numeric_limits<double>::infinity()));
  Row(Variant(2.5));
  EXPECT_EQ(Print(summary, memo).substr(0, 4), "INF;");
}

// Amounts in kopecks read as doubles are not exact in binary; a plain double sum of
// 88 000 of them printed in the general form shows noise in its last digits.
TEST_F(AggregatesTest, MoneySumsPrintTheirExactCentsAfterManyRows) {
  TfrxMemoView* memo = AddMemo(summary, "[SUM(<x>,MasterData1)]|[AVG(<x>)]");
  aggregates().Register();
  int64_t cents = 0;
  double plain = 0;
  uint32_t seed = 12345;
  for (int i = 0; i < 88000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int64_t c = 2000000 + static_cast<int64_t>(seed % 5000000u);  // 20 000,00 .. 70 000,00
    cents += c;
    const double amount = static_cast<double>(c) / 100;
    plain += amount;
    Row(Variant(amount));
  }
  // An undone row leaves the carry as it was before that row.
  Row(Variant(12345.67));
  aggregates().DeleteValue(*data);
  const std::string exact = std::to_string(cents / 100) + core::DefaultFormatSettings().DecimalSeparator +
                            std::to_string(cents % 100 / 10) +
                            std::to_string(cents % 10);
  // The data is such that the plain sum would not print exactly: the test means something.
  ASSERT_NE(core::FloatToStr(plain, core::DefaultFormatSettings()), exact);
  const std::string text = Print(summary, memo);
  EXPECT_EQ(text.substr(0, text.find('|')), exact);
}

TEST_F(AggregatesTest, KeptPageTotalsCarryTheirRoundingIntoTheMainTotal) {
  TfrxMemoView* total = AddMemo(summary, "[SUM(<x>)]");
  AddMemo(page_footer, "[SUM(<x>)]");
  aggregates().Register();
  for (int i = 0; i < 1000; ++i) Row(Variant(0.1));
  aggregates().BeginKeep();
  for (int i = 0; i < 1000; ++i) Row(Variant(0.1));
  aggregates().EndKeep();
  EXPECT_EQ(Print(summary, total), "200");
}

TEST_F(AggregatesTest, PageFooterKeepsPageTotalsAcrossABreak) {
  TfrxMemoView* pf = AddMemo(page_footer, "[SUM(<x>)]");
  TfrxMemoView* total = AddMemo(summary, "[SUM(<x>)]");
  aggregates().Register();
  Row(Variant(1));
  Row(Variant(2));
  // A kept block starts: its rows go to the next page's total.
  aggregates().BeginKeep();
  Row(Variant(10));
  Row(Variant(20));
  EXPECT_EQ(Print(page_footer, pf), "3");
  aggregates().EndKeep();
  Row(Variant(100));
  EXPECT_EQ(Print(page_footer, pf), "130");
  EXPECT_EQ(Print(summary, total), "133");
}

TEST_F(AggregatesTest, RunningTotalsSurviveResets) {
  TfrxMemoView* memo = AddMemo(footer, "[SUM(<x>,MasterData1,2)]|[SUM(<x>,MasterData1)]");
  aggregates().Register();
  ASSERT_EQ(aggregates().Items().size(), 2u);
  Row(Variant(3));
  EXPECT_EQ(Print(footer, memo), "3|3");
  Row(Variant(4));
  EXPECT_EQ(Print(footer, memo), "7|4");
  aggregates().ResetItems(false);
  EXPECT_EQ(Print(footer, memo), "7|0");
  aggregates().ResetAll();
  EXPECT_EQ(Print(footer, memo), "0|0");
}

TEST_F(AggregatesTest, InvisibleBandsCountOnlyWithFlagBitZero) {
  TfrxMemoView* memo = AddMemo(summary, "[COUNT(MasterData1)] [COUNT(MasterData1,1)] [COUNT(MasterData1,3)]");
  aggregates().Register();
  Row(Variant(1));
  data->SetVisible(false);
  Row(Variant(1));
  Row(Variant(1));
  data->SetVisible(true);
  EXPECT_EQ(Print(summary, memo), "1 3 3");
}

TEST_F(AggregatesTest, RegistrationFollowsVariablesAndSkipsQuotedText) {
  report.AddVariable("total", Variant("SUM(<x>, MasterData1) * 2"));
  TfrxMemoView* memo = AddMemo(footer, "[IIF(1=1, <total>, 0)] ['COUNT(MasterData1)'] [x]");
  // Memos with AllowExpressions off and memos of data bands are not scanned.
  AddMemo(summary, "[MAX(<x>)]")->allow_expressions = false;
  AddMemo(data, "[MIN(<x>)]");
  aggregates().Register();
  ASSERT_EQ(aggregates().Items().size(), 1u);
  const TfrxAggregateItem& item = *aggregates().Items()[0];
  EXPECT_EQ(item.function, TfrxAggregateFunction::agSum);
  EXPECT_EQ(item.expression, "<x>");
  EXPECT_EQ(item.parent_band, footer);
  EXPECT_EQ(item.memo_name, memo->Name());
  Row(Variant(21));
  report.Variables()[0]->value = Variant::Null();
  EXPECT_EQ(Print(footer, memo), "42 COUNT(MasterData1) ");
}

TEST_F(AggregatesTest, CallsMatchTheirOwnBandExpressionAndFlags) {
  TfrxMemoView* memo = AddMemo(summary, "[sum(<X>)]");
  aggregates().Register();
  Row(Variant(2));
  // Another band's print does not see the summary's item.
  report.Expressions().State().current_band = footer;
  EXPECT_TRUE(report.Calc("SUM(<x>)").IsNull());
  report.Expressions().State().current_band = summary;
  EXPECT_EQ(report.Calc(" SUM( <x> ) ").AsInteger(), 2);
  EXPECT_TRUE(report.Calc("SUM(<x>, MasterData1, 2)").IsNull());
  EXPECT_TRUE(report.Calc("SUM(<x> + 1)").IsNull());
  EXPECT_EQ(Print(summary, memo), "2");
}

TEST_F(AggregatesTest, AnUnknownBandNameFallsBackToTheDefaultBand) {
  AddMemo(footer, "[COUNT(NoSuchBand)]");
  aggregates().Register();
  ASSERT_EQ(aggregates().Items().size(), 1u);
  EXPECT_EQ(aggregates().Items()[0]->band, data);
}

TEST_F(AggregatesTest, VerticalColumnsHaveTheirOwnTotals) {
  TfrxMemoView* memo = AddMemo(footer, "[SUM(<x>)]");
  aggregates().Register();
  TfrxRunState& state = report.Expressions().State();
  state.current_column = 1;
  Row(Variant(1));
  state.current_column = 2;
  Row(Variant(10));
  Row(Variant(20));
  state.current_column = 2;
  report.Expressions().State().current_band = footer;
  EXPECT_EQ(report.Calc("SUM(<x>)").AsInteger(), 30);
  state.current_column = 0;
  EXPECT_EQ(Print(footer, memo), "31");
}

}  // namespace
}  // namespace lgoty::report
