// Memo text expansion: bracket extraction, formats, HideZeros, highlights,
// SuppressRepeated, FlowTo hand-over and the page-count markers.
#include <gtest/gtest.h>

#include <random>

#include "core/string_list.h"
#include "report/bands.h"
#include "report/display_format.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using core::Variant;

const std::string kNbsp = "\xC2\xA0";
constexpr TColor kRed = 0x0000FF;

class MemoFillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    band = page->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("Memo1");
  }
  // Fills the memo with `text` as the template text and returns what it would print.
  std::string Fill(const std::string& text) {
    memo->SetText(text);
    MemoBeforePrint(*memo);
    MemoFillData(report.Expressions(), *memo);
    std::string out = memo->Text();
    MemoAfterPrint(*memo);
    EXPECT_EQ(memo->Text(), text) << "the template text comes back after the print";
    return out;
  }
  TfrxReport report;
  TfrxMasterData* band = nullptr;
  TfrxMemoView* memo = nullptr;
};

TEST(BracketExtraction, QuotesAndNestedBracketsBelongToTheExpression) {
  BracketSpan span;
  ASSERT_TRUE(FindBracketed("a [IIF(<vid>=1,'[a]','')] b", "[", "]", 0, span));
  EXPECT_EQ(span.expression, "IIF(<vid>=1,'[a]','')");
  EXPECT_EQ(span.begin, 2u);
  EXPECT_EQ(span.end, 25u);
  ASSERT_TRUE(FindBracketed("[\"x]\" + 'y]' + \"it's\"]", "[", "]", 0, span));
  EXPECT_EQ(span.expression, "\"x]\" + 'y]' + \"it's\"");
  ASSERT_TRUE(FindBracketed("[a[b]c]", "[", "]", 0, span));
  EXPECT_EQ(span.expression, "a[b]c");
  // Quotes before the opening bracket play no part.
  ASSERT_TRUE(FindBracketed("it's [1]", "[", "]", 0, span));
  EXPECT_EQ(span.expression, "1");
  EXPECT_FALSE(FindBracketed("[a[b]c", "[", "]", 0, span));
  EXPECT_FALSE(FindBracketed("['x]", "[", "]", 0, span));
  ASSERT_TRUE(FindBracketed("<%1+2%>", "<%", "%>", 0, span));
  EXPECT_EQ(span.expression, "1+2");
}

TEST(BracketExtraction, DelimitersSplitAtTheFirstComma) {
  EXPECT_EQ(SplitExpressionDelimiters("[,]"), (std::pair<std::string, std::string>{"[", "]"}));
  EXPECT_EQ(SplitExpressionDelimiters("<%,%>"), (std::pair<std::string, std::string>{"<%", "%>"}));
  EXPECT_EQ(SplitExpressionDelimiters("{,},"), (std::pair<std::string, std::string>{"{", "},"}));
  EXPECT_EQ(SplitExpressionDelimiters(""), (std::pair<std::string, std::string>{"[", "]"}));
}

TEST_F(MemoFillTest, BracketsInsideQuotedStringsArePrinted) {
  EXPECT_EQ(Fill("[IIF(1=1,'[x]','y')]"), "[x]");
  EXPECT_EQ(report.Errors().Count(), 0);
}

TEST_F(MemoFillTest, TrailingEmptyLinesComeBackAfterEveryPrint) {
  memo->SetText("[1+1]\r\n\r\n\r\n");
  const int lines = memo->Lines().Count();
  const std::string text = memo->Text();
  for (int print = 0; print < 3; ++print) {
    MemoBeforePrint(*memo);
    MemoFillData(report.Expressions(), *memo);
    EXPECT_EQ(memo->Lines().Get(0), "2");
    MemoAfterPrint(*memo);
    EXPECT_EQ(memo->Lines().Count(), lines) << "print " << print;
    EXPECT_EQ(memo->Text(), text);
  }
}

TEST_F(MemoFillTest, TextWithoutClosingBracketIsUnchanged) {
  EXPECT_EQ(Fill("Итого [1+2"), "Итого [1+2");
  EXPECT_EQ(Fill("[1+2] и [3"), "3 и [3");
  EXPECT_EQ(Fill("no expressions at all"), "no expressions at all");
}

TEST_F(MemoFillTest, InsertedTextIsNotScannedAgain) {
  report.AddVariable("t", Variant("'[1+1]'"));
  EXPECT_EQ(Fill("[t][2+2]"), "[1+1]4");
}

TEST_F(MemoFillTest, VariablesOfTheListTemplate) {
  report.AddVariable("usl", Variant("'Зубопротезирование'"));
  report.AddVariable("vid", Variant("2"));
  report.AddVariable("OFile", Variant("'C:\\Reg\\ZUBY.DBF'"));
  EXPECT_EQ(Fill("Список льготников по услуге: [usl]"), "Список льготников по услуге: Зубопротезирование");
  EXPECT_EQ(Fill("[IIF(<vid>=1,'Рецепт',IIF(<vid>=2,'Наряд','' ))]"), "Наряд");
  EXPECT_EQ(Fill("[OFile]"), "C:\\Reg\\ZUBY.DBF");
}

TEST_F(MemoFillTest, ATextChangedBetweenPrintsIsExpandedAfresh) {
  report.AddVariable("n", Variant("1"));
  // The same template on several rows, then changed as a script would between rows: the
  // split of the old text must not be reused.
  memo->SetText("a [n] b");
  for (int row = 0; row < 2; ++row) {
    MemoBeforePrint(*memo);
    MemoFillData(report.Expressions(), *memo);
    EXPECT_EQ(memo->Text(), "a 1 b");
    MemoAfterPrint(*memo);
  }
  memo->SetText("[<n>+1] c [<n>+2]");
  MemoBeforePrint(*memo);
  MemoFillData(report.Expressions(), *memo);
  EXPECT_EQ(memo->Text(), "2 c 3");
  MemoAfterPrint(*memo);
  EXPECT_EQ(memo->Text(), "[<n>+1] c [<n>+2]");
  // Same text, other delimiters: "[" is no longer an opening one.
  memo->expression_delimiters = "<%,%>";
  EXPECT_EQ(Fill("[<n>+1] c <%<n>+3%>"), "[<n>+1] c 4");
  memo->expression_delimiters = "[,]";
  EXPECT_EQ(Fill("[<n>+1] c <%<n>+3%>"), "2 c <%<n>+3%>");
  // A text that only its own expansion changes (a variable's value) follows every row.
  report.Variables().front()->value = Variant("5");
  EXPECT_EQ(Fill("[<n>+1] c [<n>+2]"), "6 c 7");
}

// Random memo lines (tags, Cyrillic, empty lines, lines with breaks of their own, lines
// with objects), changed now and then between the save and the filling as an OnBeforePrint
// handler would, or sorted during the print: the filled text is what expanding the text
// the memo holds at filling gives, and after the print the lines and their objects are
// exactly those saved (a list sorted during the print gets the saved text in its order).
TEST_F(MemoFillTest, RandomLinesExpandAsTheirTextAndComeBackExactly) {
  report.AddVariable("n", Variant("1"));
  const std::vector<std::string> pieces = {"",  "a ", "Иванов ", "[n]", "[<n>+1]", "<b>[n]</b>",
                                           "x\r\ny", "\n", "[IIF(<n>=1,'да','нет')]", "[ "};
  core::TStringList marker;
  std::mt19937 random(20261209);
  using Items = std::vector<std::pair<std::string, core::TObject*>>;
  auto items = [](const core::TStringList& list) {
    Items out;
    for (int i = 0; i < list.Count(); ++i) out.emplace_back(list[i], list.GetObject(i));
    return out;
  };
  auto random_line = [&] {
    std::string line;
    for (int k = static_cast<int>(random() % 3); k >= 0; --k) line += pieces[random() % pieces.size()];
    return line;
  };
  for (int round = 0; round < 1500; ++round) {
    report.Variables().front()->value = Variant(std::to_string(random() % 3));
    core::TStringList& lines = memo->Lines();
    lines.Clear();
    for (int i = static_cast<int>(random() % 4); i > 0; --i) {
      lines.AddObject(random_line(), random() % 4 == 0 ? &marker : nullptr);
    }
    const Items saved = items(lines);
    const std::string saved_text = lines.Text();
    MemoBeforePrint(*memo);
    switch (random() % 6) {
      case 0:
        lines.SetText(random_line());
        break;
      case 1:
        lines.Add(random_line());
        break;
      case 2:
        if (lines.Count() > 0) lines.Put(0, random_line());
        break;
      default:
        break;
    }
    // The general path: the memo's text expanded and, when that changed it, set as text.
    TfrxMemoView general;
    general.Lines().Assign(memo->Lines());
    const std::string expanded = ExpandExpressions(report.Expressions(), general, memo->Text());
    if (expanded != memo->Text()) general.SetText(expanded);
    MemoFillData(report.Expressions(), *memo);
    EXPECT_EQ(memo->Text(), general.Text()) << "round " << round;
    const bool sort = random() % 10 == 0;
    if (sort) lines.SetSorted(true);
    MemoAfterPrint(*memo);
    if (sort) {
      core::TStringList sorted;
      sorted.SetSorted(true);
      sorted.SetText(saved_text);
      EXPECT_EQ(lines.Text(), sorted.Text()) << "round " << round;
      lines.SetSorted(false);
    } else {
      EXPECT_EQ(items(lines), saved) << "round " << round;
    }
    if (HasFailure()) break;
  }
}

// The expanded text is written into storage the memo keeps from print to print; a value
// whose evaluation fills the same memo again (a host value printing it) must get a text of
// its own and leave the outer expansion whole.
TEST_F(MemoFillTest, AMemoFilledAgainWhileItExpandsKeepsBothTexts) {
  report.AddVariable("n", Variant("1"));
  int depth = 0;
  report.Expressions().on_get_value = [&](std::string_view name, Variant& v) {
    if (name != "again") return false;
    if (depth > 0) {
      v = Variant("x");
      return true;
    }
    ++depth;
    MemoFillData(report.Expressions(), *memo);
    --depth;
    v = Variant(memo->Text());
    return true;
  };
  memo->SetText("[n]-[again]-[<n>+1]");
  for (int row = 0; row < 3; ++row) {
    MemoBeforePrint(*memo);
    MemoFillData(report.Expressions(), *memo);
    EXPECT_EQ(memo->Text(), "1-1-x-2-2") << "row " << row;
    MemoAfterPrint(*memo);
    EXPECT_EQ(memo->Text(), "[n]-[again]-[<n>+1]");
  }
  report.Expressions().on_get_value = nullptr;
  EXPECT_EQ(Fill("[n]+[n]"), "1+1");
}

TEST_F(MemoFillTest, FormatsAreUsedInTurnAndTheLastOneServesTheRest) {
  memo->Formats().clear();
  auto add = [this](TfrxFormatKind kind, const char* fmt) {
    auto f = std::make_unique<TfrxFormat>();
    f->kind = kind;
    f->format_str = fmt;
    memo->Formats().push_back(std::move(f));
  };
  add(TfrxFormatKind::fkNumeric, "%2.2n");
  add(TfrxFormatKind::fkNumeric, "0.0");
  EXPECT_EQ(Fill("[1234.5] [2.25] [3.25]"), "1" + kNbsp + "234,50 2,3 3,3");
  EXPECT_DOUBLE_EQ(memo->value.AsDouble(), 3.25);
}

TEST_F(MemoFillTest, HashFormatSuffixesOverrideTheMemoFormat) {
  // The separator written in the format suffix becomes the decimal separator.
  EXPECT_EQ(Fill("[1234567.891 #n%2,2n]"), "1" + kNbsp + "234" + kNbsp + "567,89");
  EXPECT_EQ(Fill("[1234567.891 #n%2.2n]"), "1" + kNbsp + "234" + kNbsp + "567.89");
  EXPECT_EQ(Fill("[2.5 #N%2-2n]"), "2-50");
  EXPECT_EQ(Fill("[EncodeDate(2024, 2, 9) #ddd.mm.yyyy]"), "09.02.2024");
  EXPECT_EQ(Fill("[1=1 #bнет,да] [1=2 #Bнет,да]"), "да нет");
  // A suffix holding ')' is part of the expression; a blank-hash inside a quoted
  // string is text.
  EXPECT_EQ(Fill("['a #b']"), "a #b");
  EXPECT_EQ(Fill("[Length('x') #n0,00]"), "1,00");
}

TEST_F(MemoFillTest, PageCountMarkersAreLeftForDrawing) {
  std::string out = Fill("страница [Page#] из [totalpages#], [CopyName#]");
  EXPECT_EQ(out, "страница 1 из [TotalPages#], [CopyName#]");
  EXPECT_EQ(ReplacePageMarkers(out, 12, "Копия"), "страница 1 из 12, Копия");
  EXPECT_EQ(ReplacePageMarkers("[totalpages#][TOTALPAGES#]", 3, ""), "33");
}

TEST_F(MemoFillTest, HideZerosEmptiesNonStringZeros) {
  memo->hide_zeros = true;
  EXPECT_EQ(Fill("[0]|[0.0]|['0']|[1-1]|[2]"), "||0||2");
}

TEST_F(MemoFillTest, FirstMatchingHighlightIsAppliedAndRestored) {
  auto h1 = std::make_unique<TfrxHighlight>();
  h1->condition = "Value > 100";
  h1->font.color = kRed;
  auto h2 = std::make_unique<TfrxHighlight>();
  h2->condition = "1=1";
  h2->visible = false;
  h2->apply_font = false;
  memo->Highlights().clear();
  memo->Highlights().push_back(std::move(h1));
  memo->Highlights().push_back(std::move(h2));
  // Value is the memo's value.
  memo->SetText("[500]");
  MemoBeforePrint(*memo);
  MemoFillData(report.Expressions(), *memo);
  EXPECT_EQ(memo->Font().color, kRed);
  EXPECT_TRUE(memo->Visible());
  MemoAfterPrint(*memo);
  EXPECT_EQ(memo->Font().color, clBlack);

  memo->SetText("[5]");
  MemoBeforePrint(*memo);
  MemoFillData(report.Expressions(), *memo);
  EXPECT_FALSE(memo->Visible());
  EXPECT_EQ(memo->Font().color, clBlack);
  MemoAfterPrint(*memo);
  EXPECT_TRUE(memo->Visible());
}

TEST_F(MemoFillTest, SuppressRepeatedEmptiesARepeatedText) {
  memo->suppress_repeated = true;
  report.AddVariable("v", Variant("'A'"));
  EXPECT_EQ(Fill("[v]"), "A");
  EXPECT_EQ(Fill("[v]"), "");
  report.Variables()[0]->value = Variant("'B'");
  EXPECT_EQ(Fill("[v]"), "B");
  report.Variables()[0]->value = Variant("'A'");
  EXPECT_EQ(Fill("[v]"), "A");
}

TEST_F(MemoFillTest, FlowToHandsTheRestToTheTargetWithoutExpansion) {
  auto* target = band->Add(std::make_unique<TfrxMemoView>());
  target->SetName("Memo2");
  target->SetText("[1+1]");
  memo->flow_to.Set(target);
  memo->SetText("first [1+2] second [3+4]");
  MemoBeforePrint(*memo);
  MemoBeforePrint(*target);
  MemoFillData(report.Expressions(), *memo, [](TfrxCustomMemoView& m) {
    std::string text = m.Text();
    size_t cut = text.find(" second");
    m.SetText(text.substr(0, cut));
    return text.substr(cut + 1);
  });
  EXPECT_EQ(memo->Text(), "first 3");
  MemoFillData(report.Expressions(), *target);
  EXPECT_EQ(target->Text(), "second 7");
  MemoAfterPrint(*target);
  MemoAfterPrint(*memo);
  EXPECT_EQ(target->Text(), "[1+1]");
  EXPECT_TRUE(target->allow_expressions);
}

TEST_F(MemoFillTest, ErrorsNameTheMemo) {
  memo->SetText("[1 +]");
  EXPECT_THROW(MemoFillData(report.Expressions(), *memo), EExpressionError);
  ASSERT_EQ(report.Errors().Count(), 1);
  EXPECT_EQ(report.Errors()[0].rfind("Memo1: ", 0), 0u);
}

TEST_F(MemoFillTest, TagStrAndHyperlinkAreExpanded) {
  memo->tag_str = "id=[2*21]";
  memo->Hyperlink().expression = "'O''Neil'";
  memo->SetText("x");
  MemoBeforePrint(*memo);
  MemoFillData(report.Expressions(), *memo);
  EXPECT_EQ(memo->tag_str, "id=42");
  EXPECT_EQ(memo->Hyperlink().value, "'O''Neil'");
  MemoAfterPrint(*memo);
  EXPECT_EQ(memo->tag_str, "id=[2*21]");
  EXPECT_EQ(memo->Hyperlink().value, "");
}

TEST(DisplayFormat, NumericPictureAndPrintfForms) {
  TfrxFormat f;
  f.kind = TfrxFormatKind::fkNumeric;
  f.format_str = "%2.2n";
  f.decimal_separator = ",";
  EXPECT_EQ(FormatValue(Variant(1234567.5), f), "1" + kNbsp + "234" + kNbsp + "567,50");
  EXPECT_EQ(FormatValue(Variant::FromCurrency(int64_t{123456789}), f), "12" + kNbsp + "345,68");
  f.format_str = "#,##0.00";
  EXPECT_EQ(FormatValue(Variant(-9876.5), f), "-9" + kNbsp + "876,50");
  f.format_str = "%d руб.";
  EXPECT_EQ(FormatValue(Variant(41.9), f), "41 руб.");
  f.format_str = "%2.2n";
  f.decimal_separator = ".";
  f.thousand_separator = " ";
  EXPECT_EQ(FormatValue(Variant(1234.5), f), "1 234.50");
  // Text that is no number, and a bad format, print plainly.
  EXPECT_EQ(FormatValue(Variant("abc"), f), "abc");
  f.format_str = "%s%s";
  EXPECT_EQ(FormatValue(Variant(2.5), f), "2,5");
  EXPECT_EQ(FormatValue(Variant::Null(), f), "");
}

TEST(DisplayFormat, DateTimeBooleanAndText) {
  TfrxFormat f;
  f.kind = TfrxFormatKind::fkDateTime;
  f.format_str = "dd.mm.yy";
  EXPECT_EQ(FormatValue(Variant::FromDate(core::EncodeDate(2021, 12, 31)), f), "31.12.21");
  f.kind = TfrxFormatKind::fkBoolean;
  f.format_str = "Нет,Да";
  EXPECT_EQ(FormatValue(Variant(true), f), "Да");
  EXPECT_EQ(FormatValue(Variant(false), f), "Нет");
  f.kind = TfrxFormatKind::fkText;
  EXPECT_EQ(FormatValue(Variant(2.5), f), "2,5");
  EXPECT_EQ(FormatValue(Variant(true), f), "True");
}

}  // namespace
}  // namespace lgoty::report
