// What an expression gave a test: the value's type and text and the report's error lines,
// compared between two ways of evaluating the same expression.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/variant.h"
#include "report/report.h"

namespace lgoty::report {

struct ExpressionOutcome {
  uint16_t type = 0;
  std::string text;
  std::vector<std::string> errors;
  bool operator==(const ExpressionOutcome&) const = default;
};

inline std::string Describe(const ExpressionOutcome& o) {
  std::string out = std::to_string(o.type) + " \"" + o.text + "\"";
  for (const std::string& e : o.errors) out += " | " + e;
  return out;
}

// What calc() gives, evaluated with an empty error list. An exception that rises out of it
// is part of the outcome only when `keep_raised` (otherwise it reaches the test and fails it).
template <class Calc>
ExpressionOutcome OutcomeOf(TfrxReport& report, Calc&& calc, bool keep_raised) {
  report.Errors().Clear();
  ExpressionOutcome o;
  try {
    const core::Variant v = calc();
    o.type = v.Type();
    o.text = v.IsEmptyOrNull() ? std::string() : core::VarToStr(v);
  } catch (const core::Exception& e) {
    if (!keep_raised) throw;
    o.text = std::string("raised ") + e.what();
  }
  for (int i = 0; i < report.Errors().Count(); ++i) o.errors.push_back(report.Errors()[i]);
  return o;
}

// The expression evaluated by the report (see OutcomeOf).
inline ExpressionOutcome EvaluateOutcome(TfrxReport& report, const std::string& expression,
                                         bool keep_raised) {
  return OutcomeOf(report, [&] { return report.Calc(expression); }, keep_raised);
}

}  // namespace lgoty::report
