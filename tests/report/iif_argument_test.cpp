// IIF calls Get directly for an argument that is one bracketed name ("<vid>", "<Rows."A">").
// Whatever it gives must be what the compiled call gives: the same argument in parentheses
// takes the compiled path, so both forms are evaluated on many mixed expressions and their
// values, types and error lists compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/variant.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/macro_argument.h"
#include "report/report.h"
#include "report/report_script.h"
#include "script/interpreter.h"
#include "tests/report/expression_outcome.h"

namespace lgoty::report {
namespace {

using core::Variant;

using Outcome = ExpressionOutcome;

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

  Outcome Evaluate(const std::string& expression) { return EvaluateOutcome(report, expression, false); }

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

// A whole expression that is one IIF call is evaluated without the interpreter; with a step
// budget the call runs as compiled. Both must agree on values, types and errors.
TEST_F(IifArgumentTest, AWholeIifCallGivesWhatTheInterpretedCallGives) {
  std::mt19937 random(20261210);
  auto pick = [&random](auto& list) { return std::string(list[random() % std::size(list)]); };
  const char* const conditions[] = {"<vid>=1", "<vid>=2", "<nothing>", "<yes>", "<broken>",
                                    "<Rows.\"N\"> > 10", "<Rows.\"Z\">", "<unknown>"};
  script::TfsScript& program = report.Expressions().Script().Program();
  for (int round = 0; round < 300; ++round) {
    a = round % 3 == 0 ? "O'Brien [1] <2>" : round % 3 == 1 ? "" : "Иванов";
    n = round % 5 == 0 ? 0 : round * 0.75 - 20;
    const std::string x = random() % 2 ? pick(kArguments) : pick(kOthers);
    const std::string y = random() % 2 ? pick(kArguments) : pick(kOthers);
    std::string call = "IIF(" + pick(conditions) + ", " + x + ", " + y + ")";
    if (random() % 4 == 0) call = "IIF(" + pick(conditions) + ", " + call + ", " + x + ")";
    const Outcome direct = Evaluate(call);
    program.SetStepLimit(1'000'000);
    const Outcome interpreted = Evaluate(call);
    program.SetStepLimit(0);
    EXPECT_EQ(direct, interpreted) << call << " -> " << Describe(direct) << " / " << Describe(interpreted);
  }
  // Texts past the runtime's limit are refused alike.
  report.AddVariable("long", Variant("'" + std::string(40, 'x') + "'"));
  program.SetMaxStringLength(16);
  for (const char* call : {"IIF(True, 'abc' + <long>, 0)", "IIF(True, <long>, 0)", "IIF(False, 0, <long> + '')"}) {
    const Outcome direct = Evaluate(call);
    program.SetStepLimit(1'000'000);
    EXPECT_EQ(direct, Evaluate(call)) << call;
    program.SetStepLimit(0);
  }
}

// The same IIF texts evaluated again and again keep the entries their arguments were found
// in: what the arguments name may change between calls (variables set, added and renamed,
// data read, the cache emptied, a text differing only in letter case sharing the function),
// and every call must still give what the interpreted call gives at that moment.
TEST_F(IifArgumentTest, RepeatedCallsFollowWhatTheirArgumentsNameNow) {
  const std::string calls[] = {
      "IIF(<vid>=1, <Rows.\"A\">, IIF(<vid>=2, <Rows.\"N\">, ''))",
      "iif(<VID>=1, <rows.\"a\">, IIF(<Vid>=2, <ROWS.\"N\">, ''))",
      "IIF(<late>, <late>, <vid>)",
      "IIF(<vid>=1, <renamed>, <Rows.\"B\"> + 'x')",
      "<vid>=1",
      "<vid> <> <two>",
  };
  script::TfsScript& program = report.Expressions().Script().Program();
  auto find = [this](const std::string& name) -> TfrxVariable& {
    for (auto& v : report.Variables()) {
      if (v->Name() == name) return *v;
    }
    throw std::runtime_error("no variable " + name);
  };
  TfrxVariable* vid = &find("vid");
  std::mt19937 random(20261211);
  std::vector<std::string> values;
  for (int round = 0; round < 240; ++round) {
    a = round % 4 == 0 ? "" : "row " + std::to_string(round);
    n = round * 1.5;
    vid->value = Variant(std::to_string(random() % 3));
    if (round == 60) report.AddVariable("late", Variant("<vid>=0"));
    if (round == 90) find("two").SetName("renamed");
    if (round == 150) find("renamed").SetName("two");
    if (round % 50 == 25) report.Expressions().ClearCache();
    for (const std::string& call : calls) {
      const Outcome direct = Evaluate(call);
      program.SetStepLimit(1'000'000);
      const Outcome interpreted = Evaluate(call);
      program.SetStepLimit(0);
      EXPECT_EQ(direct, interpreted) << "round " << round << ": " << call << " -> " << Describe(direct)
                                     << " / " << Describe(interpreted);
      values.push_back(direct.text);
    }
  }
  // The inputs change what the calls give (a test that saw one value would prove nothing).
  std::sort(values.begin(), values.end());
  EXPECT_GT(std::unique(values.begin(), values.end()) - values.begin(), 100);
}

// A host value that prepares the script empties the expression cache while the IIF that
// asked for it runs: the function running and its argument texts must outlive the call (a
// memory checker sees the reads), and the call still gives its value, directly and compiled.
TEST_F(IifArgumentTest, TheCacheEmptiedWhileAnIifRunsKeepsItsFunction) {
  int prepares = 0;
  report.Expressions().on_get_value = [&](std::string_view name, Variant& v) {
    if (name != "hook") return false;
    ++prepares;
    EXPECT_TRUE(report.Expressions().Script().Prepare()) << report.Errors().Text();
    v = Variant(true);
    return true;
  };
  for (const int64_t limit : {0, 1'000'000}) {
    report.Expressions().Script().Program().SetStepLimit(limit);
    for (const char* call : {"IIF(<hook>, 'abc' + <Rows.\"A\">, 'x')", "IIF(<vid>=1, IIF(<hook>, 'in', 0), 'out')"}) {
      const Outcome first = Evaluate(call);
      EXPECT_TRUE(first.errors.empty()) << call << " -> " << Describe(first);
      EXPECT_EQ(first.text, call[4] == '<' && call[5] == 'h' ? "abcИванов" : "in") << call;
      EXPECT_EQ(Evaluate(call), first) << call;  // compiled anew after the cache was emptied
    }
  }
  report.Expressions().Script().Program().SetStepLimit(0);
  EXPECT_EQ(prepares, 8);
}

// The argument scan and the condition test have fast forms: each is compared with the
// plain form it replaced on many inputs.
std::string_view PlainBracketedName(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  if (e - b < 3 || text[b] != '<' || text[e - 1] != '>') return {};
  std::string_view name = text.substr(b + 1, e - b - 2);
  bool in_double = false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '<' || c == '>' || c == '[' || c == ']' || c == '\'') return {};
    if (c == '"') in_double = !in_double;
  }
  if (in_double) return {};
  return name;
}

TEST(MacroArgument, BracketedNameScanMatchesThePlainScan) {
  std::mt19937 random(7);
  const std::string alphabet = std::string("ab<>[]'\" \t.#_\x01\x1f\x7f") + "\xd0\x98\xff" + std::string(1, '\0');
  int names = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text = round % 2 ? "<" : (round % 5 ? " <" : "");
    const size_t length = random() % 8;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    if (round % 3) text += round % 7 ? ">" : "> \t";
    const std::string_view fast = BracketedName(text), plain = PlainBracketedName(text);
    EXPECT_EQ(fast, plain) << text;
    EXPECT_EQ(fast.data() == plain.data() || fast.empty(), true) << text;
    if (!fast.empty()) ++names;
  }
  EXPECT_GT(names, 500);  // the inputs reach both outcomes
}

TEST(MacroArgument, ConditionTestMatchesTheGeneralComparison) {
  auto general = [](const Variant& v) -> std::string {
    try {
      return !v.IsEmptyOrNull() && core::VarSameValue(v, Variant(true)) ? "true" : "false";
    } catch (const core::Exception& e) {
      return std::string("error: ") + e.what();
    }
  };
  auto fast = [](const Variant& v) -> std::string {
    try {
      return IifTrue(v) ? "true" : "false";
    } catch (const core::Exception& e) {
      return std::string("error: ") + e.what();
    }
  };
  const Variant values[] = {Variant(true), Variant(false), Variant::Null(), Variant(),
                            Variant(int32_t{1}), Variant(int32_t{-1}), Variant(int32_t{0}),
                            Variant(int64_t{-1}), Variant(1.0), Variant(-1.0), Variant("True"),
                            Variant("False"), Variant("-1"), Variant("1"), Variant("yes"),
                            Variant(""), Variant::FromDate(-1.0), Variant::FromDate(45000.5)};
  int trues = 0;
  for (const Variant& v : values) {
    EXPECT_EQ(fast(v), general(v)) << core::VarToStr(v);
    if (fast(v) == "true") ++trues;
  }
  EXPECT_GE(trues, 2);
}

}  // namespace
}  // namespace lgoty::report
