// The script variable Value holds the value of the expression evaluated last. SetValue keeps
// the storage of a text while values of other kinds pass through (memos alternate texts,
// numbers and dates row after row): whatever the sequence, Value must read as exactly the
// value set last, through the variable and through an expression.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "core/variant.h"
#include "report/expressions.h"
#include "report/report.h"
#include "report/report_script.h"
#include "script/interpreter.h"
#include "script/variables.h"

namespace lgoty::report {
namespace {

using core::Variant;

std::string Shown(const Variant& v) {
  return std::to_string(v.Type()) + ":" + (v.IsEmptyOrNull() || v.IsArray() ? std::string() : core::VarToStr(v));
}

TEST(ScriptValue, ReadsAsTheValueSetLastWhateverKindsCameBefore) {
  TfrxReport report;
  TfrxReportScript& script = report.Expressions().Script();
  ASSERT_TRUE(script.Prepare());
  std::mt19937 random(20261210);
  const std::string long_text(200, 'z');
  auto make = [&](unsigned kind) -> Variant {
    switch (kind) {
      case 0: return Variant(std::string(random() % 40, static_cast<char>('a' + random() % 26)));
      case 1: return Variant("Иванов " + std::to_string(random() % 1000));
      case 2: return Variant(static_cast<int32_t>(random() % 100000));
      case 3: return Variant(static_cast<double>(random() % 100000) / 100.0);
      case 4: return Variant::FromDate(static_cast<double>(40000 + random() % 9000));
      case 5: return Variant::Null();
      case 6: return Variant();
      case 7: return Variant(random() % 2 == 0);
      case 8: return Variant::Array({Variant(1), Variant("x")});
      default: return Variant(long_text.substr(random() % long_text.size()));
    }
  };
  std::vector<std::string> seen;
  for (int round = 0; round < 3000; ++round) {
    const Variant value = make(static_cast<unsigned>(random() % 10));
    script.SetValue(value);
    script::TfsCustomVariable* variable = script.Program().FindLocal("Value");
    ASSERT_NE(variable, nullptr);
    const Variant& held = variable->Raw();
    ASSERT_EQ(held.kind(), value.kind()) << "round " << round;
    ASSERT_EQ(Shown(held), Shown(value)) << "round " << round;
    if (value.IsArray()) {
      ASSERT_EQ(held.ArrayLength(), value.ArrayLength());
      continue;
    }
    ASSERT_EQ(Shown(report.Expressions().Calc("Value")), Shown(value)) << "round " << round;
    seen.push_back(Shown(held));
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_GT(std::unique(seen.begin(), seen.end()) - seen.begin(), 1000);
}

}  // namespace
}  // namespace lgoty::report
