// A memo's bracketed expressions remember what their texts are from row to row: the names
// they stand for must still be asked on every row, in their order, and what was remembered
// must be forgotten when the script or the cache changes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "data/memory_dataset.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/variables.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using core::Variant;

class CalcSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    auto* band = page->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("Memo1");
  }
  void TearDown() override {
    std::lock_guard lock(GlobalVariablesLock());
    frxGlobalVariables().Clear();
  }
  // One print of the memo's template text, as a band prints it on every row.
  std::string Row(TfrxExpressions& expressions) {
    MemoBeforePrint(*memo);
    MemoFillData(expressions, *memo);
    std::string out = memo->Text();
    MemoAfterPrint(*memo);
    return out;
  }
  std::string Row() { return Row(report.Expressions()); }
  // Gives the report's script a function F(X) returning the expression body, and prepares
  // it as a run does.
  bool PrepareF(const std::string& body) {
    report.script_text.SetText("function F(X: Integer): Integer; begin Result := " + body +
                               "; end;\r\nbegin end.");
    return report.Expressions().Script().Prepare();
  }
  static std::unique_ptr<TfrxUserDataSet> RowsDataSet(const char* user_name, const char* value) {
    auto ds = std::make_unique<TfrxUserDataSet>();
    ds->SetUserName(user_name);
    ds->fields.SetText("A\r\n");
    std::string text = value;
    ds->OnGetValue = [text](const std::string&, Variant& v) { v = Variant(text); };
    return ds;
  }

  TfrxReport report;
  TfrxMemoView* memo = nullptr;
};

TEST_F(CalcSiteTest, VariablesAddedOrChangedBetweenRowsAreSeen) {
  {
    std::lock_guard lock(GlobalVariablesLock());
    frxGlobalVariables().Set("g", Variant(7));
  }
  memo->SetText("[g]|[1+1]");
  EXPECT_EQ(Row(), "7|2");
  EXPECT_EQ(Row(), "7|2");
  // A report variable comes before a global one of the same name, and before compiling.
  report.AddVariable("g", Variant("8"));
  report.AddVariable("1+1", Variant(5));
  EXPECT_EQ(Row(), "8|5");
  report.Variables()[0]->value = Variant("'x'");
  report.Variables()[1]->value = Variant("'y'");
  EXPECT_EQ(Row(), "x|y");
  // Renamed away: the global one and the compiled expression are back.
  report.Variables()[0]->SetName("other");
  report.Variables()[1]->SetName("other2");
  EXPECT_EQ(Row(), "7|2");
  {
    std::lock_guard lock(GlobalVariablesLock());
    frxGlobalVariables().Set("1+1", Variant("global"));
  }
  EXPECT_EQ(Row(), "7|global");
  EXPECT_EQ(report.Errors().Count(), 0);
}

TEST_F(CalcSiteTest, DataSetsReplacedOrRemovedBetweenRowsAreSeen) {
  auto first = RowsDataSet("Rows", "one");
  report.AddDataSet(first.get(), "Rows");
  memo->SetText("[Rows.\"A\"]");
  EXPECT_EQ(Row(), "one");
  // Another data set under the same user name; the old one is destroyed.
  report.DataSets().clear();
  first.reset();
  auto second = RowsDataSet("Rows", "two");
  report.AddDataSet(second.get(), "Rows");
  EXPECT_EQ(Row(), "two");
  // Renamed: the name finds nothing, the text goes to the compiler and fails there.
  second->SetUserName("Other");
  EXPECT_THROW(Row(), EExpressionError);
  EXPECT_EQ(report.Errors().Count(), 1);
  second->SetUserName("rows");  // letter case plays no part
  EXPECT_EQ(Row(), "two");
}

TEST_F(CalcSiteTest, PreparingTheScriptForgetsCompiledExpressions) {
  ASSERT_TRUE(PrepareF("X + 1"));
  memo->SetText("[F(1)]");
  EXPECT_EQ(Row(), "2");
  EXPECT_EQ(Row(), "2");
  ASSERT_TRUE(PrepareF("X + 10"));
  EXPECT_EQ(Row(), "11");
  report.Expressions().ClearCache();
  EXPECT_EQ(Row(), "11");
  EXPECT_EQ(report.Expressions().CachedCount(), 1);
}

TEST_F(CalcSiteTest, LetterCaseVariantsShareOneFunctionAcrossSites) {
  memo->SetText("[Length('abc') + 1] [LENGTH('abc') + 1] [length('abc') + 1]");
  EXPECT_EQ(Row(), "4 4 4");
  EXPECT_EQ(report.Expressions().CachedCount(), 1);
  EXPECT_EQ(report.Calc("LENGTH('abc') + 1").AsInteger(), 4);
  EXPECT_EQ(report.Expressions().CachedCount(), 1);
  report.Expressions().ClearCache();
  EXPECT_EQ(Row(), "4 4 4");
  EXPECT_EQ(report.Expressions().CachedCount(), 1);
}

TEST_F(CalcSiteTest, QuotedTextKeepsItsLetterCase) {
  // Letter case is ignored in names only: texts differing in a quoted string are not one
  // expression.
  memo->SetText("[Copy('abc', 1, 3)] [Copy('ABC', 1, 3)] [COPY('Abc', 1, 3)]");
  EXPECT_EQ(Row(), "abc ABC Abc");
  EXPECT_EQ(report.Calc("copy('aBC', 1, 3)").text(), "aBC");
  EXPECT_EQ(report.Expressions().CachedCount(), 4);
}

TEST_F(CalcSiteTest, ManyOtherTextsBetweenRowsDoNotConfuseTheSite) {
  report.AddVariable("n", Variant("3"));
  memo->SetText("[<n> * 2] [n]");
  EXPECT_EQ(Row(), "6 3");
  // Enough distinct names to make the expressions forget what they knew about texts.
  Variant value;
  for (int i = 0; i < 5000; ++i) report.Expressions().ResolveName("name" + std::to_string(i), value);
  EXPECT_EQ(Row(), "6 3");
  report.Variables()[0]->value = Variant("4");
  EXPECT_EQ(Row(), "8 4");
}

TEST_F(CalcSiteTest, OneTemplateFilledByTwoReportsKeepsThemApart) {
  TfrxReport other;
  report.AddVariable("x", Variant("'first'"));
  other.AddVariable("x", Variant("'second'"));
  memo->SetText("[x] [<x> + '!']");
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(Row(report.Expressions()), "first first!");
    EXPECT_EQ(Row(other.Expressions()), "second second!");
  }
}

TEST_F(CalcSiteTest, HostValuesAreAskedOnEveryRow) {
  int asked = 0;
  report.Expressions().on_get_value = [&asked](std::string_view name, Variant& value) {
    if (name != "Host") return false;
    value = Variant(++asked);
    return true;
  };
  memo->SetText("[Host] [Line#]");
  report.Expressions().State().line_all = 1;
  EXPECT_EQ(Row(), "1 1");
  report.Expressions().State().line_all = 2;
  EXPECT_EQ(Row(), "2 2");
}

TEST_F(CalcSiteTest, IifArgumentsSeeVariablesChangedBetweenRows) {
  report.AddVariable("v", Variant("1"));
  report.AddVariable("t", Variant("'first'"));
  memo->SetText("[IIF(<v>=1, <t>, IIF(<v>=2, 'two', 'other'))]");
  EXPECT_EQ(Row(), "first");
  report.Variables()[1]->value = Variant("'changed'");
  EXPECT_EQ(Row(), "changed");
  // The nested IIF's own arguments follow the variable as well.
  report.Variables()[0]->value = Variant("2");
  EXPECT_EQ(Row(), "two");
  report.Variables()[0]->value = Variant("3");
  EXPECT_EQ(Row(), "other");
  report.Variables()[0]->value = Variant("1");
  EXPECT_EQ(Row(), "changed");
  EXPECT_EQ(report.Errors().Count(), 0);
}

TEST_F(CalcSiteTest, IifArgumentsKeepTheResolutionOrderAcrossRows) {
  {
    std::lock_guard lock(GlobalVariablesLock());
    frxGlobalVariables().Set("w", Variant(7));
  }
  memo->SetText("[IIF(<w> = 7, <w>, 1 + 1)]|[IIF(False, 0, 1 + 1)]");
  EXPECT_EQ(Row(), "7|2");
  // A report variable comes before the global one and before compiling, inside IIF too.
  report.AddVariable("w", Variant("5"));
  report.AddVariable("1 + 1", Variant("'var'"));
  EXPECT_EQ(Row(), "var|var");
  report.Variables()[0]->value = Variant("7");
  EXPECT_EQ(Row(), "7|var");
  // Removed again: the global one and the compiled expression are back.
  report.Variables()[0]->SetName("gone");
  report.Variables()[1]->SetName("gone2");
  EXPECT_EQ(Row(), "7|2");
  // A host value is asked on every row, before the variables.
  int asked = 0;
  report.Expressions().on_get_value = [&asked](std::string_view name, Variant& value) {
    if (name != "w") return false;
    value = Variant(++asked);
    return true;
  };
  EXPECT_EQ(Row(), "2|2");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Row(), "2|2");
  EXPECT_EQ(asked, 2);
}

TEST_F(CalcSiteTest, IifArgumentsReadTheCurrentRowOfReplacedDataSets) {
  auto first = RowsDataSet("Rows", "one");
  report.AddDataSet(first.get(), "Rows");
  report.AddVariable("v", Variant("1"));
  memo->SetText("[IIF(<v>=1, <Rows.\"A\">, IIF(<v>=2, <Rows.\"A\"> + '!', ''))]");
  EXPECT_EQ(Row(), "one");
  report.DataSets().clear();
  first.reset();
  auto second = RowsDataSet("Rows", "two");
  report.AddDataSet(second.get(), "Rows");
  EXPECT_EQ(Row(), "two");
  report.Variables()[0]->value = Variant("2");
  EXPECT_EQ(Row(), "two!");
}

TEST_F(CalcSiteTest, PreparingTheScriptForgetsIifArguments) {
  ASSERT_TRUE(PrepareF("X + 1"));
  memo->SetText("[IIF(F(1) = 2, 'old', IIF(F(1) = 11, 'new', F(1)))]");
  EXPECT_EQ(Row(), "old");
  EXPECT_EQ(Row(), "old");
  ASSERT_TRUE(PrepareF("X + 10"));
  EXPECT_EQ(Row(), "new");
  ASSERT_TRUE(PrepareF("X + 20"));
  EXPECT_EQ(Row(), "21");
}

TEST_F(CalcSiteTest, ManyIifArgumentsInOneExpressionAreEachRight) {
  // More argument texts than one expression keeps sites for: the rest are looked up by text.
  report.AddVariable("v", Variant("0"));
  std::string text = "[";
  for (int i = 0; i < 12; ++i) {
    if (i > 0) text += " + ";
    text += "IIF(<v> = " + std::to_string(i) + ", '" + std::string(1, static_cast<char>('a' + i)) + "', '-')";
  }
  text += "]";
  memo->SetText(text);
  for (int row = 0; row < 12; ++row) {
    report.Variables()[0]->value = Variant(std::to_string(row));
    std::string expected(12, '-');
    expected[static_cast<size_t>(row)] = static_cast<char>('a' + row);
    EXPECT_EQ(Row(), expected) << "row " << row;
  }
}

TEST_F(CalcSiteTest, LetterCaseVariantsOfAnIifShareItsFunction) {
  report.AddVariable("v", Variant("1"));
  memo->SetText("[IIF(<v>=1, 'a', 'b')] [iif(<V>=1, 'a', 'b')]");
  EXPECT_EQ(Row(), "a a");
  report.Variables()[0]->value = Variant("2");
  EXPECT_EQ(Row(), "b b");
}

TEST_F(CalcSiteTest, AnIifArgumentThatFailsLeavesLaterRowsRight) {
  report.AddVariable("v", Variant("1"));
  memo->SetText("[IIF(<v> = 1, 1 div (<v> - 1), <v>)]");
  // IIF gives Null when an argument fails; nothing is left half-done for the next row.
  EXPECT_EQ(Row(), "");
  report.Variables()[0]->value = Variant("3");
  EXPECT_EQ(Row(), "3");
  report.Variables()[0]->value = Variant("1");
  EXPECT_EQ(Row(), "");
  report.Variables()[0]->value = Variant("4");
  EXPECT_EQ(Row(), "4");
}

TEST_F(CalcSiteTest, ABracketedNameAloneReadsWhatTheSameNameInsideAnExpressionReads) {
  // "<name>" alone and "<name>" inside a larger expression must agree on every row, for a
  // variable, a data field and an IIF branch.
  auto rows = RowsDataSet("Rows", "one");
  report.AddDataSet(rows.get(), "Rows");
  report.AddVariable("v", Variant("1"));
  memo->SetText("[<v>]|[<v> + 0]|[<Rows.\"A\">]|[<Rows.\"A\"> + '']|[IIF(<v>=1,<Rows.\"A\">,<v>)]");
  EXPECT_EQ(Row(), "1|1|one|one|one");
  report.Variables()[0]->value = Variant("'2'");
  EXPECT_EQ(Row(), "2|2|one|one|2");
  report.DataSets().clear();
  rows = RowsDataSet("Rows", "two");
  report.AddDataSet(rows.get(), "Rows");
  report.Variables()[0]->value = Variant("1");
  EXPECT_EQ(Row(), "1|1|two|two|two");
}

TEST_F(CalcSiteTest, AScriptFunctionNamedGetIsCalledForABracketedName) {
  report.AddVariable("v", Variant("'5'"));
  memo->SetText("[<v>]|[<v> + '']");
  EXPECT_EQ(Row(), "5|5");
  report.script_text.SetText(
      "function Get(Name: String): Variant; begin Result := 'own ' + Name; end;\r\nbegin end.");
  ASSERT_TRUE(report.Expressions().Script().Prepare());
  // The script's own Get shadows the report's, for the lone name as for the expression.
  EXPECT_EQ(Row(), "own v|own v");
  EXPECT_EQ(Row(), "own v|own v");
}


// Calc(text, site, out) reads a data field into storage out and the site take turns to hold;
// out kept from row to row must get what a fresh Calc gives (value, kind, errors), and stay
// as it was when the evaluation raises.
TEST(CalcIntoTest, ValuesReadIntoAHeldVariantAreWhatCalcGives) {
  data::TMemoryDataSet table;
  table.FieldDefs().Add("S", data::TFieldType::ftString, 40);
  table.FieldDefs().Add("M", data::TFieldType::ftMemo);
  table.FieldDefs().Add("F", data::TFieldType::ftFloat);
  table.FieldDefs().Add("I", data::TFieldType::ftInteger);
  table.FieldDefs().Add("D", data::TFieldType::ftDate);
  table.Open();
  const char* const texts[] = {"Иванов", "", "a text longer than fifteen bytes", "O'Brien [1]"};
  for (int row = 0; row < 12; ++row) {
    const bool blank = row % 5 == 3;
    table.AppendRecord({blank ? Variant::Null() : Variant(texts[row % 4]),
                        blank ? Variant::Null() : Variant(std::string(texts[(row + 2) % 4]) + " memo"),
                        blank ? Variant::Null() : Variant(row * 2.5 - 7), blank ? Variant::Null() : Variant(row),
                        blank ? Variant::Null() : Variant::FromDate(45000 + row)});
  }
  TfrxReport report;
  TfrxDBDataset rows;
  rows.SetUserName("Rows");
  rows.SetDataSet(&table);
  report.AddDataSet(&rows, "Rows");
  report.AddVariable("vid", Variant("1"));
  const std::string expressions[] = {"Rows.\"S\"", "Rows.\"M\"", "Rows.\"F\"", "Rows.\"I\"",
                                     "Rows.\"D\"", "Rows.\"none\"", "rows.\"s\"", "Other.\"S\"",
                                     "<Rows.\"S\">", "Rows.\"S\" + 'x'", "<vid>", "1 div 0"};
  struct Outcome {
    uint16_t type = 0;
    std::string text;
    int errors = 0;
    bool raised = false;
    bool operator==(const Outcome&) const = default;
  };
  auto outcome = [&report](const std::function<Variant()>& calc) {
    report.Errors().Clear();
    Outcome o;
    try {
      Variant v = calc();
      o.type = v.Type();
      o.text = v.IsEmptyOrNull() ? std::string() : core::VarToStr(v);
    } catch (const core::Exception&) {
      o.raised = true;
    }
    o.errors = report.Errors().Count();
    return o;
  };
  TfrxExpressions& calc = report.Expressions();
  TfrxCalcSite sites[std::size(expressions)];
  Variant held[std::size(expressions)];
  for (bool convert : {true, false}) {
    report.engine_options.convert_nulls = convert;
    rows.First();
    for (int row = 0; !rows.Eof(); ++row, rows.Next()) {
      for (size_t i = 0; i < std::size(expressions); ++i) {
        SCOPED_TRACE(expressions[i] + " row " + std::to_string(row));
        const Outcome fresh = outcome([&] { return calc.Calc(expressions[i]); });
        const Variant before = held[i];
        const Outcome into = outcome([&] {
          calc.Calc(expressions[i], sites[i], held[i]);
          return held[i];
        });
        EXPECT_EQ(into, fresh);
        if (into.raised) {
          EXPECT_EQ(held[i].Type(), before.Type());
          if (!before.IsEmptyOrNull()) {
            EXPECT_TRUE(core::VarSameValue(held[i], before));
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace lgoty::report
