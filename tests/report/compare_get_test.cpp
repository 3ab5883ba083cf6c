// A whole expression that compares one bracketed name with a constant ("<vid>=1",
// "'a' <> <Rows."A">") is evaluated by Get and the operator's own rule instead of the
// interpreter. With a step budget the function runs as compiled: both must agree on value,
// type and errors for every operator, side, kind of value and constant.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/variant.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/report.h"
#include "report/report_script.h"
#include "script/interpreter.h"
#include "tests/report/expression_outcome.h"

namespace lgoty::report {
namespace {

using core::Variant;

using Outcome = ExpressionOutcome;

class CompareGetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    report.AddVariable("vid", Variant("1"));
    report.AddVariable("int", Variant(int32_t{2}));
    report.AddVariable("big", Variant(int64_t{1} << 40));
    report.AddVariable("real", Variant(2.5));
    report.AddVariable("day", Variant::FromDate(45292.0));
    report.AddVariable("flag", Variant(true));
    report.AddVariable("text", Variant("'abc'"));
    report.AddVariable("digits", Variant("'12'"));
    report.AddVariable("empty", Variant("''"));
    report.AddVariable("nothing", Variant::Null());
    report.AddVariable("blank", Variant("   "));
    report.AddVariable("broken", Variant("1 div 0"));
    report.AddVariable("self", Variant("<self> = 1"));
    report.AddVariable("long", Variant("'" + std::string(40, 'x') + "'"));
    rows = std::make_unique<TfrxUserDataSet>();
    rows->SetUserName("Rows");
    rows->fields.SetText("A\r\nN\r\nD\r\nZ\r\n");
    rows->OnGetValue = [this](const std::string& name, Variant& v) {
      if (name == "A") v = Variant(a);
      else if (name == "N") v = Variant(n);
      else if (name == "D") v = Variant::FromDate(n + 45000);
      else v = Variant::Null();
    };
    report.AddDataSet(rows.get(), "Rows");
  }

  Outcome Evaluate(const std::string& expression) { return EvaluateOutcome(report, expression, true); }

  // The expression directly and, under a step budget, as compiled.
  void ExpectSameBothWays(const std::string& expression) {
    script::TfsScript& program = report.Expressions().Script().Program();
    const Outcome direct = Evaluate(expression);
    program.SetStepLimit(1'000'000);
    const Outcome compiled = Evaluate(expression);
    program.SetStepLimit(0);
    EXPECT_EQ(direct, compiled) << expression << " -> " << Describe(direct) << " / " << Describe(compiled);
  }

  TfrxReport report;
  std::unique_ptr<TfrxUserDataSet> rows;
  std::string a = "Иванов";
  double n = 12.5;
};

const char* const kNames[] = {"<vid>",   "<int>",     "<big>",    "<real>",      "<day>",
                              "<flag>",  "<text>",    "<digits>", "<empty>",     "<nothing>",
                              "<blank>", "<broken>",  "<self>",   "<Rows.\"A\">", "<Rows.\"N\">",
                              "<Rows.\"D\">", "<Rows.\"Z\">", "<unknown>", "<Line#>", "<Rows.\"none\">"};
const char* const kConstants[] = {"1",    "2",      "0",     "2.5",  "1099511627776", "45292", "'abc'",
                                  "'12'", "''",     "'Иванов'", "True", "False",      "'01.01.2024'", "Null"};
const char* const kOperators[] = {"=", "<>", "<", ">", "<=", ">="};

TEST_F(CompareGetTest, ComparisonsGiveWhatTheInterpretedComparisonGives) {
  std::mt19937 random(20261210);
  auto pick = [&random](auto& list) { return std::string(list[random() % std::size(list)]); };
  for (int round = 0; round < 600; ++round) {
    a = round % 4 == 0 ? "abc" : round % 4 == 1 ? "" : round % 4 == 2 ? "12" : "Иванов";
    n = round % 5 == 0 ? 0 : round * 0.75 - 20;
    const std::string name = pick(kNames), constant = pick(kConstants), op = pick(kOperators);
    const std::string expression = random() % 2 ? name + op + constant : constant + " " + op + " " + name;
    ExpectSameBothWays(expression);
    // The same comparison as an IIF condition, as templates write it.
    ExpectSameBothWays("IIF(" + expression + ", 'yes', 'no')");
  }
}

TEST_F(CompareGetTest, TextLimitAndTheScriptsOwnGetAreKept) {
  // A text past the runtime's limit is refused as the call refuses a host's result.
  report.Expressions().Script().Program().SetMaxStringLength(16);
  ExpectSameBothWays("<long> = 'x'");
  ExpectSameBothWays("'x' < <long>");
  EXPECT_NE(Evaluate("<long> = 'x'").text.find("String too long"), std::string::npos);
  report.Expressions().Script().Program().SetMaxStringLength(1 << 20);
  EXPECT_EQ(Evaluate("<vid> = 1").text, "True");
  EXPECT_EQ(Evaluate("2 > <vid>").text, "True");
  EXPECT_EQ(Evaluate("<nothing> = Null").text, "True");
  // A script's own Get takes the place of the report's: the comparison must call it.
  report.script_text.SetText("function Get(Name: String): Variant; begin Result := 'own ' + Name; end;\r\nbegin end.");
  ASSERT_TRUE(report.Expressions().Script().Prepare()) << report.Errors().Text();
  EXPECT_EQ(Evaluate("<vid> = 'own vid'").text, "True");
  ExpectSameBothWays("<vid> = 'own vid'");
  ExpectSameBothWays("'own' < <Rows.\"A\">");
}

}  // namespace
}  // namespace lgoty::report
