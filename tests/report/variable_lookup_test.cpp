// What an expression's text found among the report's variables (no entry, or the one entry
// of its name) is remembered while no variable of the process was made, destroyed or renamed
// and the report's list kept its length. Every way a list's names can change must end that:
// entries added by the report, by the Variables view and by a script, removed one by one or
// all at once, renamed directly or through the class registry (as a template or the
// dictionary writes them), moved in from another report's list, reordered (which changes
// what a name finds only when two entries share it). After each random change, texts kept
// at their sites must give what a fresh evaluator (which has remembered nothing) gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/rtti.h"
#include "core/variant.h"
#include "report/expressions.h"
#include "report/report.h"
#include "report/report_script.h"
#include "script/interpreter.h"
#include "tests/report/expression_outcome.h"

namespace lgoty::report {
namespace {

using core::Variant;

// Names that are also texts evaluated below, some of them no identifier at all (a report
// variable's name may be any text, and the variable wins over compiling the text).
const char* const kNames[] = {"a", "B", "vid", "1+1", "IIF(<vid>=1, 'x', 'y')", "<vid>=1", "Пол", "пол", " cat"};
const char* const kValues[] = {"7", "'text'", "<vid> + 1", "", "1 div 0", "'A' + 'B'"};
const std::vector<std::string> kTexts = {
    "a", "b", "vid", "<vid>", "1+1", "IIF(<vid>=1, 'x', 'y')", "<vid>=1", "ПОЛ", "<пол>",
    "IIF(<vid>=1, <a>, <B>)", "<1+1>", "cat", " cat", "<<vid>=1>"};

ExpressionOutcome EvaluateAt(TfrxReport& report, const std::string& text, TfrxCalcSite& site) {
  return OutcomeOf(report, [&] { return report.Expressions().Calc(text, site); }, true);
}

ExpressionOutcome EvaluateFresh(TfrxReport& report, const std::string& text) {
  TfrxExpressions fresh(report);
  return OutcomeOf(report, [&] { return fresh.Calc(text); }, true);
}

TEST(VariableLookup, EveryChangeOfTheNamesIsSeenByKeptTexts) {
  TfrxReport report;
  TfrxReport other;
  report.AddVariable("vid", Variant("1"));
  const core::PropInfo* name_property = TfrxVariable::StaticClass()->FindProperty("Name");
  ASSERT_NE(name_property, nullptr);
  ASSERT_TRUE(name_property->set_string);
  report.Expressions().Script().Prepare();

  std::mt19937 random(20261210);
  auto pick = [&random](const auto& list) { return list[random() % std::size(list)]; };
  // Made before any text is evaluated, so that moving them in makes nothing new.
  for (int i = 0; i < 40; ++i) other.AddVariable(pick(kNames), Variant(pick(kValues)));
  std::vector<TfrxCalcSite> sites(kTexts.size());
  std::vector<std::string> seen;
  for (int round = 0; round < 200; ++round) {
    auto& list = report.Variables();
    switch (random() % 10) {
      case 0:
        report.AddVariable(pick(kNames), Variant(pick(kValues)));
        break;
      case 1:
        report.Expressions().Variables().Set(pick(kNames), Variant(pick(kValues)));
        break;
      case 2:
        if (!list.empty()) list.erase(list.begin() + random() % list.size());
        break;
      case 3:
        if (!list.empty()) list[random() % list.size()]->SetName(pick(kNames));
        break;
      case 4:
        if (!list.empty()) name_property->set_string(*list[random() % list.size()], pick(kNames));
        break;
      case 5:
        // Moved in from another list: nothing made or destroyed, the length changes.
        if (other.Variables().empty()) break;
        list.insert(list.begin() + random() % (list.size() + 1), std::move(other.Variables().back()));
        other.Variables().pop_back();
        break;
      case 6:
        if (random() % 8 == 0) report.Expressions().Variables().Clear();
        break;
      case 9:
        // Reordered in place: nothing made, destroyed or renamed, the length kept; with two
        // entries of one name, another one is found first.
        if (list.size() > 1) std::swap(list[random() % list.size()], list[random() % list.size()]);
        if (random() % 4 == 0) std::reverse(list.begin(), list.end());
        break;
      case 7: {
        report.script_text.SetText(std::string("begin Report.Variables['") + pick(kNames) + "'] := '" +
                                   pick(kValues) + "'; end.");
        report.Expressions().Script().Prepare();
        report.Expressions().Script().Program().Execute();
        break;
      }
      default:
        if (!list.empty()) list[random() % list.size()]->value = Variant(pick(kValues));
        break;
    }
    for (size_t i = 0; i < kTexts.size(); ++i) {
      const ExpressionOutcome kept = EvaluateAt(report, kTexts[i], sites[i]);
      const ExpressionOutcome fresh = EvaluateFresh(report, kTexts[i]);
      EXPECT_EQ(kept, fresh) << "round " << round << ": " << kTexts[i] << " -> " << Describe(kept) << " / "
                             << Describe(fresh);
      seen.push_back(kept.text);
    }
  }
  // The changes made the texts give many different values (a run that saw one would prove
  // nothing).
  std::sort(seen.begin(), seen.end());
  EXPECT_GT(std::unique(seen.begin(), seen.end()) - seen.begin(), 12);
}

}  // namespace
}  // namespace lgoty::report
