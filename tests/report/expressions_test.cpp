// Expressions of a report: name resolution, variables, the cache, errors and the script
// functions the report adds.
#include <gtest/gtest.h>

#include "core/text_format.h"
#include "report/bands.h"
#include "report/expressions.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/resources.h"
#include "report/variables.h"
#include "report/views.h"
#include "script/interpreter.h"

namespace lgoty::report {
namespace {

using core::Variant;

bool HasError(TfrxReport& report, const std::string& part) {
  for (int i = 0; i < report.Errors().Count(); ++i) {
    if (report.Errors()[i].find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(ReportVariables, QuotedTextIsAnExpressionGivingTheText) {
  TfrxReport report;
  report.AddVariable("usl", Variant("'Лекарства'"));
  Variant v = report.Calc("usl");
  ASSERT_TRUE(v.IsString());
  EXPECT_EQ(v.text(), "Лекарства");
}

TEST(ReportVariables, NumberTextEvaluatesToANumber) {
  TfrxReport report;
  report.AddVariable("vid", Variant("2"));
  Variant v = report.Calc("VID");  // names ignore letter case
  EXPECT_EQ(v.kind(), Variant::Kind::Integer);
  EXPECT_EQ(v.AsInteger(), 2);
  EXPECT_EQ(report.Calc("<vid>*3").AsInteger(), 6);
}

TEST(ReportVariables, MultiLineTextIsReturnedUnchanged) {
  TfrxReport report;
  report.AddVariable("note", Variant("first 'line\r\nsecond (line"));
  EXPECT_EQ(report.Calc("note").text(), "first 'line\r\nsecond (line");
  EXPECT_EQ(report.Errors().Count(), 0);
}

TEST(ReportVariables, NonStringValuesAndGlobalsAreTakenAsTheyAre) {
  TfrxReport report;
  report.AddVariable("n", Variant(41));
  EXPECT_EQ(report.Calc("<n>+1").AsInteger(), 42);
  {
    std::lock_guard lock(GlobalVariablesLock());
    frxGlobalVariables().Set("GlobalText", Variant("1+1"));
  }
  EXPECT_EQ(report.Calc("GlobalText").text(), "1+1");
  {
    std::lock_guard lock(GlobalVariablesLock());
    frxGlobalVariables().Clear();
  }
}

TEST(ReportVariables, ABlankValueIsNullNotAnError) {
  TfrxReport report;
  report.AddVariable("OFile", Variant(""));
  EXPECT_TRUE(report.Calc("OFile").IsNull());
  EXPECT_EQ(report.Errors().Count(), 0);
}

TEST(ReportVariables, SelfReferenceIsRefused) {
  TfrxReport report;
  report.AddVariable("a", Variant("<a>+1"));
  EXPECT_THROW(report.Calc("a"), EExpressionError);
  EXPECT_TRUE(HasError(report, frxGet("clVarSelfRef") + " a"));
}

TEST(ReportVariables, ReferenceCycleThroughOthersIsRefused) {
  TfrxReport report;
  report.AddVariable("a", Variant("<b>+1"));
  report.AddVariable("b", Variant("<c>*2"));
  report.AddVariable("c", Variant("<A>"));
  EXPECT_THROW(report.Calc("<b>"), EExpressionError);
  EXPECT_TRUE(HasError(report, frxGet("clVarSelfRef") + " b"));
  // A variable used twice side by side is no cycle.
  report.AddVariable("d", Variant("3"));
  report.AddVariable("e", Variant("<d>+<d>"));
  EXPECT_EQ(report.Calc("e").AsInteger(), 6);
}

TEST(ReportVariables, NestingDeeperThanTheLimitIsRefused) {
  TfrxReport report;
  // v0 = 1, v1 = <v0>+1, ... each level nests one Calc inside the previous one.
  report.AddVariable("v0", Variant("1"));
  for (int i = 1; i <= TfrxExpressions::kMaxNesting + 2; ++i) {
    report.AddVariable("v" + std::to_string(i), Variant("<v" + std::to_string(i - 1) + ">+1"));
  }
  EXPECT_EQ(report.Calc("v10").AsInteger(), 11);
  EXPECT_THROW(report.Calc("v" + std::to_string(TfrxExpressions::kMaxNesting + 2)), EExpressionError);
  EXPECT_TRUE(HasError(report, frxGet("clExprTooDeep")));
}

TEST(SystemVariables, ReadTheRunState) {
  TfrxReport report;
  TfrxRunState& state = report.Expressions().State();
  state.page = 2;
  state.page_physical = 5;
  state.total_pages = 3;
  state.total_pages_all = 9;
  state.line = 4;
  state.line_all = 14;
  EXPECT_EQ(report.Calc("Page").AsInteger(), 2);
  EXPECT_EQ(report.Calc("page#").AsInteger(), 5);
  EXPECT_EQ(report.Calc("TotalPages").AsInteger(), 3);
  EXPECT_EQ(report.Calc("TotalPages#").AsInteger(), 9);
  EXPECT_EQ(report.Calc("Line").AsInteger(), 4);
  EXPECT_EQ(report.Calc("LINE#").AsInteger(), 14);
  EXPECT_EQ(report.Calc("<Line#>+1").AsInteger(), 15);
  state.start_date = core::EncodeDate(2024, 3, 5);
  EXPECT_EQ(report.Calc("Date").kind(), Variant::Kind::Date);
  EXPECT_EQ(core::VarToStr(report.Calc("Date")), "05.03.2024");
}

TEST(ExpressionCache, LetterCaseDifferencesShareOneFunction) {
  TfrxReport report;
  EXPECT_EQ(report.Calc("Length('abc') + 1").AsInteger(), 4);
  EXPECT_EQ(report.Calc("LENGTH('abc') + 1").AsInteger(), 4);
  EXPECT_EQ(report.Calc("length('abc') + 1").AsInteger(), 4);
  EXPECT_EQ(report.Expressions().CachedCount(), 1);
  EXPECT_EQ(report.Calc("Length('abcd') + 1").AsInteger(), 5);
  EXPECT_EQ(report.Expressions().CachedCount(), 2);
  // Preparing the script empties the cache.
  ASSERT_TRUE(report.Expressions().Script().Prepare());
  EXPECT_EQ(report.Expressions().CachedCount(), 0);
  EXPECT_EQ(report.Calc("length('abc') + 1").AsInteger(), 4);
}

TEST(ExpressionCache, ResolvedNamesNeverReachTheCompiler) {
  TfrxReport report;
  report.AddVariable("vid", Variant("1"));
  report.AddVariable("twice", Variant("<vid> * 2"));
  report.Calc("Page#");
  EXPECT_EQ(report.Calc("vid").AsInteger(), 1);
  // A plain literal as the host writes it needs no function either.
  EXPECT_EQ(report.Expressions().CachedCount(), 0);
  // twice's value is an expression and compiled; vid inside it is a name again.
  EXPECT_EQ(report.Calc("twice").AsInteger(), 2);
  EXPECT_EQ(report.Expressions().CachedCount(), 1);
}

TEST(ExpressionErrors, CompileErrorIsListedWithTheObjectNameAndRaised) {
  TfrxReport report;
  report.Expressions().State().current_object = "Memo7";
  try {
    report.Calc("1 +");
    FAIL() << "no exception";
  } catch (const EExpressionError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Memo7: " + frxGet("clExprError") + " '1 +': ", 0), 0u) << e.what();
  }
  EXPECT_TRUE(HasError(report, "Memo7: Ошибка в выражении '1 +'"));
}

TEST(ExpressionErrors, UnknownNameIsListedAndGivesNull) {
  TfrxReport report;
  EXPECT_TRUE(report.Calc("<nobody>").IsNull());
  EXPECT_TRUE(HasError(report, "Неизвестная переменная или поле БД: nobody"));
}

TEST(ExpressionErrors, DivisionByZeroIsIgnoredOnlyWhenAsked) {
  TfrxReport report;
  EXPECT_THROW(report.Calc("1 div 0"), EExpressionError);
  EXPECT_EQ(report.Errors().Count(), 1);
  report.engine_options.ignore_dev_by_zero = true;
  EXPECT_TRUE(report.Calc("2 div 0").IsNull());
  EXPECT_TRUE(report.Calc("2 / 0").IsNull());
  EXPECT_EQ(report.Errors().Count(), 1);
  // Other errors still count.
  EXPECT_THROW(report.Calc("StrToInt('x')"), EExpressionError);
}

TEST(ExpressionErrors, NestedFailureIsListedOnceByTheOutermostExpression) {
  TfrxReport report;
  report.AddVariable("bad", Variant("1 +"));
  report.Expressions().State().current_object = "Memo1";
  EXPECT_THROW(report.Calc("<bad> * 2"), EExpressionError);
  ASSERT_EQ(report.Errors().Count(), 1);
  EXPECT_EQ(report.Errors()[0].rfind("Memo1: Ошибка в выражении '1 +'", 0), 0u) << report.Errors()[0];
}

TEST(ReportFunctions, IifEvaluatesOnlyTheChosenBranchAndSwallowsErrors) {
  TfrxReport report;
  report.AddVariable("vid", Variant("1"));
  EXPECT_EQ(report.Calc("IIF(<vid>=1, 'one', 1 div 0)").text(), "one");
  EXPECT_EQ(report.Calc("IIF(<vid>=2, 'two', 'other')").text(), "other");
  EXPECT_TRUE(report.Calc("IIF(<vid>=1, 1 div 0, 'x')").IsNull());
  EXPECT_TRUE(report.Calc("IIF(StrToInt('x') = 1, 1, 2)").IsNull());
  EXPECT_EQ(report.Errors().Count(), 0);
}

TEST(ReportFunctions, GetSetAndDateParts) {
  TfrxReport report;
  report.AddVariable("x", Variant("5"));
  EXPECT_EQ(report.Calc("Get('x') + 1").AsInteger(), 6);
  report.script_text.SetText("begin\r\n  Set('y', '<x>*2');\r\nend.");
  ASSERT_TRUE(report.Expressions().Script().Prepare());
  report.Expressions().Script().RunMainBlock();
  EXPECT_EQ(report.Calc("y").AsInteger(), 10);
  EXPECT_EQ(report.Calc("DayOf(EncodeDate(2023, 11, 7)) * 100 + MonthOf(EncodeDate(2023, 11, 7))").AsInteger(), 711);
  EXPECT_EQ(report.Calc("YearOf(EncodeDate(2023, 11, 7))").AsInteger(), 2023);
}

class ReportScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    band = page->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("Memo1");
    memo->SetBounds(10, 4, 100, 20);
  }
  TfrxReport report;
  TfrxReportPage* page = nullptr;
  TfrxMasterData* band = nullptr;
  TfrxMemoView* memo = nullptr;
};

TEST_F(ReportScriptTest, ObjectsAreVisibleToScriptAndExpressions) {
  report.script_text.SetText(
      "procedure Memo1OnBeforePrint(Sender: TfrxComponent);\r\n"
      "begin\r\n  Memo1.Text := 'from script ' + IntToStr(Round(Memo1.Left));\r\nend;\r\n"
      "begin\r\n  Memo1.Text := Report.Calc('1+1');\r\nend.");
  ASSERT_TRUE(report.Expressions().Script().Prepare()) << report.Expressions().Script().ErrorMessage();
  report.Expressions().Script().RunMainBlock();
  EXPECT_EQ(memo->Text(), "2");
  report.Expressions().Script().Program().CallFunction("Memo1OnBeforePrint", Variant(static_cast<core::TObject*>(memo)));
  EXPECT_EQ(memo->Text(), "from script 10");
  EXPECT_EQ(report.Calc("Memo1.Width + MasterData1.Height").AsDouble(), 100 + band->Height());
  EXPECT_EQ(report.Calc("Memo1.Parent.Name").text(), "MasterData1");
}

TEST_F(ReportScriptTest, ReportCalcFromScriptRaisesWithoutListing) {
  report.script_text.SetText(
      "var s: String;\r\nbegin\r\n  try\r\n    Report.Calc('1 +');\r\n  except\r\n    s := ExceptionMessage;\r\n"
      "  end;\r\n  Memo1.Text := s;\r\nend.");
  ASSERT_TRUE(report.Expressions().Script().Prepare()) << report.Expressions().Script().ErrorMessage();
  report.Expressions().Script().RunMainBlock();
  EXPECT_EQ(memo->Text().rfind(frxGet("clErrorInExp") + frxGet("clExprError"), 0), 0u) << memo->Text();
  EXPECT_EQ(report.Errors().Count(), 0);
}

TEST_F(ReportScriptTest, ScriptVariablesResolveAndMainFlagIsClearedDuringCalc) {
  report.script_text.SetText("var Counter: Integer;\r\nbegin\r\n  Counter := 7;\r\nend.");
  ASSERT_TRUE(report.Expressions().Script().Prepare());
  report.Expressions().Script().RunMainBlock();
  EXPECT_EQ(report.Calc("Counter").AsInteger(), 7);
  script::TfsScript& program = report.Expressions().Script().Program();
  bool during = true;
  program.AddMethod("function MainFlag: Boolean",
                    [&](core::TObject*, script::TfsClassVariable*, const std::string&, std::vector<Variant>&) {
                      during = program.main_prog;
                      return Variant(during);
                    });
  program.main_prog = true;
  report.Calc("MainFlag");
  EXPECT_FALSE(during);
  EXPECT_TRUE(program.main_prog);
}

TEST_F(ReportScriptTest, EventsReachScriptProceduresWithVarArguments) {
  report.script_text.SetText(
      "procedure Twice(Sender: TfrxComponent; var n: Integer);\r\nbegin\r\n  n := n * 2;\r\n"
      "  Memo1.Text := 'Memo1';\r\nend;\r\nbegin\r\nend.");
  std::vector<Variant> args{Variant(static_cast<core::TObject*>(memo)), Variant(21)};
  EXPECT_FALSE(report.CallScriptProcedure("Twice", args)) << "nothing runs before the script is prepared";
  ASSERT_TRUE(report.Expressions().Script().Prepare()) << report.Expressions().Script().ErrorMessage();
  EXPECT_TRUE(report.CallScriptProcedure(" Twice ", args));
  EXPECT_EQ(args[1].AsInteger(), 42);
  EXPECT_EQ(memo->Text(), "Memo1");
  EXPECT_FALSE(report.CallScriptProcedure("NoSuchProcedure", args));
}

TEST_F(ReportScriptTest, CachedExpressionsCallScriptFunctionsAndKeepTheRunBudget) {
  report.script_text.SetText(
      "function Twice(x: Integer): Integer;\r\nbegin\r\n  Result := x * 2;\r\nend;\r\n"
      "function Down(n: Integer): Integer;\r\nbegin\r\n  if n = 0 then Result := 0 else Result := Down(n - 1) + 1;\r\n"
      "end;\r\nbegin\r\nend.");
  ASSERT_TRUE(report.Expressions().Script().Prepare()) << report.Expressions().Script().ErrorMessage();
  report.AddVariable("n", Variant("4"));
  for (int i = 0; i < 2; ++i) {  // compiled, then from the cache
    EXPECT_EQ(report.Calc("Twice(<n>) + 1").AsInteger(), 9);
    EXPECT_EQ(report.Calc("IIF(<n> = 4, Twice(3), 0)").AsInteger(), 6);
  }
  script::TfsScript& program = report.Expressions().Script().Program();
  // The call depth counts the expression's own level as a call would.
  program.SetMaxCallDepth(4);
  EXPECT_EQ(report.Calc("Down(2)").AsInteger(), 2);
  EXPECT_THROW(report.Calc("Down(3)"), EExpressionError);
  program.SetMaxCallDepth(400);
  // A step budget still stops a script function an expression calls.
  program.SetStepLimit(1);
  EXPECT_THROW(report.Calc("Twice(<n>) + 1"), script::EScriptAbort);
  program.SetStepLimit(0);
  EXPECT_EQ(report.Calc("Twice(<n>) + 1").AsInteger(), 9);
}

TEST_F(ReportScriptTest, CompileErrorOfTheScriptIsReported) {
  report.script_text.SetText("begin\r\n  Memo1.Text := ;\r\nend.");
  EXPECT_FALSE(report.Expressions().Script().Prepare());
  EXPECT_FALSE(report.Expressions().Script().ErrorMessage().empty());
  EXPECT_EQ(report.Expressions().Script().ErrorPos().rfind("2:", 0), 0u);
}

TEST_F(ReportScriptTest, ClearingTheReportDropsRegistrations) {
  EXPECT_EQ(report.Calc("Memo1.Left").AsDouble(), 10);
  report.Clear();
  EXPECT_THROW(report.Calc("Memo1.Left"), EExpressionError);
}

}  // namespace
}  // namespace lgoty::report
