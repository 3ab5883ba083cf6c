// IIF calls Get directly for an argument that is one bracketed name ("<vid>", "<Rows."A">").
// Whatever it gives must be what the compiled call gives: the same argument in parentheses
// takes the compiled path, so both forms are evaluated on many mixed expressions and their
// values, types and error lists compared.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/variant.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/report.h"
#include "report/report_script.h"
#include "script/interpreter.h"

namespace lgoty::report {
namespace {

using core::Variant;

struct Outcome {
  uint16_t type = 0;
  std::string text;
  std::vector<std::string> errors;
  bool operator==(const Outcome&) const = default;
};

std::string Describe(const Outcome& o) {
  std::string out = std::to_string(o.type) + " \"" + o.text + "\"";
  for (const std::string& e : o.errors) out += " | " + e;
  return out;
}

class IifArgumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    report.AddVariable("vid", Variant("1"));
    report.AddVariable("two", Variant("2"));
    report.AddVariable("quoted", Variant("'it''s [x] <y>'"));
    report.AddVariable("nothing", Variant::Null());
    report.AddVariable("yes", Variant("True"));
    report.AddVariable("broken", Variant("1 div 0"));
    report.AddVariable("bad syntax", Variant("1 +"));
    report.AddVariable("inner", Variant("IIF(<vid>=1, <Rows.\"A\">, 'no')"));
    rows = std::make_unique<TfrxUserDataSet>();
    rows->SetUserName("Rows");
    rows->fields.SetText("A\r\nB\r\nN\r\nZ\r\n");
    rows->OnGetValue = [this](const std::string& name, Variant& v) {
      if (name == "A") v = Variant(a);
      else if (name == "B") v = Variant("[" + a + "] \"q\" 'x'");
      else if (name == "N") v = Variant(n);
      else v = Variant::Null();
    };
    report.AddDataSet(rows.get(), "Rows");
  }

  Outcome Evaluate(const std::string& expression) {
    report.Errors().Clear();
    Outcome o;
    Variant v = report.Calc(expression);
    o.type = v.Type();
    o.text = v.IsEmptyOrNull() ? std::string() : core::VarToStr(v);
    for (int i = 0; i < report.Errors().Count(); ++i) o.errors.push_back(report.Errors()[i]);
    return o;
  }

  TfrxReport report;
  std::unique_ptr<TfrxUserDataSet> rows;
  std::string a = "Иванов";
  double n = 12.5;
};

// Bracketed arguments, and in each the parenthesised twin that is compiled.
const char* const kArguments[] = {
    "<vid>",       "<two>",        "<quoted>",        "<nothing>",    "<yes>",
    "<broken>",    "<bad syntax>", "<inner>",         "<Rows.\"A\">", "<Rows.\"B\">",
    "<Rows.\"N\">", "<Rows.\"Z\">", "<Rows.\"none\">", "<unknown>",    "<Line#>",
    "<Page>",      " <vid> ",      "<ROWS.\"a\">",    "<Rows.A>",     "<Nope.\"A\">",
};

const char* const kOthers[] = {"'a''b'", "1 div 0", "''", "3.25", "'[x] <y>'", "Null", "True"};

std::string Twin(const std::string& argument) { return "(" + argument + ")"; }

TEST_F(IifArgumentTest, BracketedArgumentsGiveWhatTheCompiledCallGives) {
  std::mt19937 random(20261209);
  auto pick = [&random](auto& list) {
    return std::string(list[random() % std::size(list)]);
  };
  const char* const conditions[] = {"<vid>=1", "<vid>=2", "<nothing>", "<yes>", "<broken>",
                                    "<Rows.\"N\"> > 10", "<Rows.\"Z\">", "<unknown>"};
  int compared = 0;
  for (int round = 0; round < 400; ++round) {
    a = round % 3 == 0 ? "O'Brien [1] <2>" : round % 3 == 1 ? "" : "Иванов";
    n = round % 5 == 0 ? 0 : round * 0.75 - 20;
    std::string x = pick(kArguments), y = random() % 2 ? pick(kArguments) : pick(kOthers);
    std::string condition = random() % 3 ? pick(conditions) : pick(kArguments);
    bool nested = random() % 4 == 0;
    auto build = [&](const std::string& c, const std::string& t, const std::string& f) {
      std::string call = "IIF(" + c + ", " + t + ", " + f + ")";
      return nested ? "IIF(" + c + ", " + call + ", " + t + ")" : call;
    };
    const std::string shortcut = build(condition, x, y);
    const std::string general =
        build(Twin(condition), Twin(x), y[0] == '<' || y[0] == ' ' ? Twin(y) : y);
    Outcome s = Evaluate(shortcut), g = Evaluate(general);
    // The twins differ only in the expression texts that errors quote: compare the values
    // and the number of errors, and the texts of errors that quote no expression.
    EXPECT_EQ(s.type, g.type) << shortcut << " -> " << Describe(s) << " / " << general << " -> " << Describe(g);
    EXPECT_EQ(s.text, g.text) << shortcut << " / " << general;
    EXPECT_EQ(s.errors, g.errors) << shortcut << " -> " << Describe(s) << " / " << Describe(g);
    ++compared;
  }
  EXPECT_EQ(compared, 400);
}

TEST_F(IifArgumentTest, SameErrorsAsTheCompiledCallOnUnknownNames) {
  // The compiled call adds the unknown name's error; so must the direct call.
  Outcome s = Evaluate("IIF(<vid>=1, <unknown>, 0)");
  EXPECT_TRUE(s.text.empty());
  ASSERT_EQ(s.errors.size(), 1u);
  EXPECT_NE(s.errors[0].find("unknown"), std::string::npos) << s.errors[0];
  EXPECT_EQ(s, Evaluate("IIF(<vid>=1, (<unknown>), 0)"));
}

TEST_F(IifArgumentTest, AStepBudgetOrTheScriptsOwnGetTakeTheCompiledPath) {
  const Outcome plain = Evaluate("IIF(<vid>=1, <Rows.\"B\">, 0)");
  EXPECT_EQ(plain.text, "[Иванов] \"q\" 'x'");
  // With a step budget the call counts its steps as compiled; the value stays.
  report.Expressions().Script().Program().SetStepLimit(1'000'000);
  EXPECT_EQ(Evaluate("IIF(<vid>=1, <Rows.\"B\">, 0)"), plain);
  report.Expressions().Script().Program().SetStepLimit(0);
  // A script's own Get takes the place of the report's: the shortcut must not bypass it.
  report.script_text.SetText("function Get(Name: String): Variant; begin Result := 'own ' + Name; end;\r\nbegin end.");
  ASSERT_TRUE(report.Expressions().Script().Prepare()) << report.Errors().Text();
  const Outcome own = Evaluate("IIF(True, <Rows.\"A\">, 0)");
  EXPECT_EQ(own.text, "own Rows.\"A\"");
  EXPECT_EQ(own, Evaluate("IIF(True, (<Rows.\"A\">), 0)"));
}

}  // namespace
}  // namespace lgoty::report
