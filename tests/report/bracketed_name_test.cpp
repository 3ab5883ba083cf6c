// A text that is one bracketed name ("<vid>", "<Rows."A">") calls Get directly instead of
// running the compiled call Get('NAME'); a memo, an aggregate and IIF's branches all keep
// what they found about the text and the name from one evaluation to the next. Whatever
// changes between two evaluations of the same text (variables added, removed, renamed or
// shadowed, data sets replaced or reopened, the script given its own Get, a run budget
// set), the value and the errors must be those of the compiled twin "(<NAME>)" and of a
// fresh evaluator that has kept nothing.
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
  int errors = 0;
  bool operator==(const Outcome&) const = default;
};

std::string Describe(const Outcome& o) {
  return std::to_string(o.type) + " \"" + o.text + "\" errors " + std::to_string(o.errors);
}

class BracketedNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    report.AddVariable("vid", Variant("1"));
    report.AddVariable("word", Variant("'слово'"));
    report.AddVariable("expr", Variant("<vid> + 41"));
    report.AddVariable("nothing", Variant::Null());
    report.AddVariable("broken", Variant("1 div 0"));
    report.AddVariable("loop", Variant("<loop>"));
    rows = Rows("Rows", "Иванов");
    report.AddDataSet(rows.get(), "Rows");
  }
  void TearDown() override { report.Errors().Clear(); }

  static std::unique_ptr<TfrxUserDataSet> Rows(const char* user_name, std::string a) {
    auto ds = std::make_unique<TfrxUserDataSet>();
    ds->SetUserName(user_name);
    ds->fields.SetText("A\r\nN\r\n");
    ds->OnGetValue = [a](const std::string& field, Variant& v) {
      if (field == "A") {
        v = Variant(a);
      } else if (field == "N") {
        v = Variant(12.5);
      }
    };
    return ds;
  }

  // Evaluates the text through `site` when given (as a memo does), else by its text.
  Outcome Evaluate(TfrxExpressions& e, const std::string& text, TfrxCalcSite* site) {
    report.Errors().Clear();
    Outcome o;
    Variant v;
    try {
      v = site != nullptr ? e.Calc(text, *site) : e.Calc(text);
    } catch (const EExpressionError&) {
      o.text = "raised";
    }
    o.type = v.Type();
    if (o.text.empty()) o.text = v.IsEmptyOrNull() ? std::string() : core::VarToStr(v);
    o.errors = report.Errors().Count();
    return o;
  }

  // Every text through a kept site, against the compiled twin and a fresh evaluator.
  void ExpectAgreement(const std::vector<std::string>& texts, std::vector<TfrxCalcSite>& sites,
                       const char* step) {
    sites.resize(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      const std::string& text = texts[i];
      const Outcome kept = Evaluate(report.Expressions(), text, &sites[i]);
      TfrxExpressions fresh(report);
      if (report.Expressions().Script().IsPrepared()) {
        ASSERT_TRUE(fresh.Script().Prepare());
      }
      const script::TfsRuntime& limits = report.Expressions().Script().Program().runtime();
      fresh.Script().Program().SetStepLimit(limits.step_limit);
      fresh.Script().Program().SetMaxStringLength(limits.max_string);
      const Outcome anew = Evaluate(fresh, text, nullptr);
      EXPECT_EQ(kept, anew) << step << ": " << text << " -> " << Describe(kept) << " / " << Describe(anew);
      if (text.front() == '<') {
        const Outcome twin = Evaluate(fresh, "(" + text + ")", nullptr);
        // The twin's errors quote another text: their number must agree.
        EXPECT_EQ(kept, twin) << step << ": " << text << " -> " << Describe(kept) << " / " << Describe(twin);
      }
    }
  }

  TfrxReport report;
  std::unique_ptr<TfrxUserDataSet> rows;
};

const std::vector<std::string> kTexts = {
    "<vid>",      "<word>",       "<expr>",        "<nothing>",      "<broken>",
    "<loop>",     "<Rows.\"A\">", "<rows.\"n\">",  "<Rows.\"Z\">",   "<Nope.\"A\">",
    "<unknown>",  "<Line#>",      " <vid> ",       "<added>",        "<VID>",
    "IIF(<vid>=1, <Rows.\"A\">, <word>)",          "IIF(<added>=2, <added>, <Rows.\"N\">)",
    "<vid> * 2",  "SUM(<Rows.\"N\">)"};

TEST_F(BracketedNameTest, KeptTextsFollowVariablesAddedRemovedRenamedAndShadowed) {
  std::vector<TfrxCalcSite> sites;
  ExpectAgreement(kTexts, sites, "first");
  ExpectAgreement(kTexts, sites, "again");
  report.AddVariable("added", Variant("2"));
  ExpectAgreement(kTexts, sites, "added");
  // Renamed behind the list's back, then renamed back with another letter case.
  report.Variables()[0]->SetName("was_vid");
  ExpectAgreement(kTexts, sites, "renamed");
  report.Variables()[0]->SetName("VID");
  ExpectAgreement(kTexts, sites, "renamed back");
  // An entry of the same name put before it: the first one wins.
  auto shadow = std::make_unique<TfrxVariable>();
  shadow->SetName("vid");
  shadow->value = Variant("'shadow'");
  report.Variables().insert(report.Variables().begin(), std::move(shadow));
  ExpectAgreement(kTexts, sites, "shadowed");
  report.Variables().erase(report.Variables().begin());
  ExpectAgreement(kTexts, sites, "shadow removed");
  // Removed: the name is unknown now.
  report.Variables().erase(report.Variables().begin() + 1);  // word
  ExpectAgreement(kTexts, sites, "removed");
  report.Expressions().Set("word", Variant("'back'"));
  ExpectAgreement(kTexts, sites, "set again");
}

TEST_F(BracketedNameTest, KeptTextsFollowDataSetsReplacedRenamedAndRemoved) {
  std::vector<TfrxCalcSite> sites;
  ExpectAgreement(kTexts, sites, "first");
  auto other = Rows("Rows", "Петров");
  report.DataSets().clear();
  rows.reset();
  report.AddDataSet(other.get(), "Rows");
  ExpectAgreement(kTexts, sites, "replaced");
  other->fields.SetText("N\r\n");
  other->OnGetValue = [](const std::string&, Variant& v) { v = Variant(3); };
  ExpectAgreement(kTexts, sites, "other fields");
  other->SetUserName("Gone");
  ExpectAgreement(kTexts, sites, "renamed");
  report.DataSets().clear();
  ExpectAgreement(kTexts, sites, "removed");
}

TEST_F(BracketedNameTest, OwnGetBudgetsAndLanguageTakeTheCompiledPath) {
  std::vector<TfrxCalcSite> sites;
  ExpectAgreement(kTexts, sites, "first");
  report.Expressions().Script().Program().SetStepLimit(1'000'000);
  ExpectAgreement(kTexts, sites, "step limit");
  report.Expressions().Script().Program().SetStepLimit(0);
  report.script_text.SetText("function Get(Name: String): Variant; begin Result := 'own ' + Name; end;\r\nbegin end.");
  ASSERT_TRUE(report.Expressions().Script().Prepare());
  EXPECT_EQ(Evaluate(report.Expressions(), "<vid>", &sites[0]).text, "own vid");
  ExpectAgreement(kTexts, sites, "own Get");
  report.script_text.SetText("begin end.");
  ASSERT_TRUE(report.Expressions().Script().Prepare());
  ExpectAgreement(kTexts, sites, "own Get gone");
}

TEST_F(BracketedNameTest, ATextLongerThanTheRuntimeAllowsIsRefusedAsCompiled) {
  report.AddVariable("long", Variant("'" + std::string(40, 'x') + "'"));
  report.Expressions().Script().Program().SetMaxStringLength(16);
  std::vector<TfrxCalcSite> sites;
  ExpectAgreement({"<long>", "<vid>", "IIF(True, <long>, 0)"}, sites, "limit");
  EXPECT_EQ(Evaluate(report.Expressions(), "<long>", &sites[0]).text, "raised");
}

TEST_F(BracketedNameTest, RandomChangesBetweenEvaluationsAgreeWithAFreshEvaluator) {
  std::mt19937 random(20261210);
  std::vector<TfrxCalcSite> sites;
  std::vector<std::unique_ptr<TfrxUserDataSet>> keep;
  const char* const names[] = {"vid", "word", "added", "VID", "expr"};
  const char* const values[] = {"1", "2", "'x'", "<vid> + 1", "", "<Rows.\"A\">"};
  for (int round = 0; round < 60; ++round) {
    switch (random() % 5) {
      case 0:
        report.AddVariable(names[random() % std::size(names)], Variant(values[random() % std::size(values)]));
        break;
      case 1:
        if (!report.Variables().empty()) {
          report.Variables().erase(report.Variables().begin() + random() % report.Variables().size());
        }
        break;
      case 2:
        if (!report.Variables().empty()) {
          report.Variables()[random() % report.Variables().size()]->SetName(names[random() % std::size(names)]);
        }
        break;
      case 3: {
        keep.push_back(Rows(random() % 2 ? "Rows" : "rows", "r" + std::to_string(round)));
        report.DataSets().clear();
        report.AddDataSet(keep.back().get(), "Rows");
        break;
      }
      default:
        if (!report.Variables().empty()) {
          report.Variables()[random() % report.Variables().size()]->value = Variant(values[random() % std::size(values)]);
        }
        break;
    }
    ExpectAgreement(kTexts, sites, ("round " + std::to_string(round)).c_str());
  }
}

}  // namespace
}  // namespace lgoty::report
