// What report objects outside the expression engine need from it: data sets name the
// object being evaluated in their error lines, and query parameters evaluate their
// expressions. The report's script program implements this and hands it to the report
// (TfrxReport::SetEvaluator); without one, parameter expressions are not evaluated and
// error lines name no object.
#pragma once

#include <string>

#include "core/variant.h"

namespace lgoty::report {

class ReportEvaluator {
 public:
  virtual ~ReportEvaluator() = default;
  // The value of a report expression (the text between brackets of a memo, or a variable
  // or field written as <OFName>). Throws on an expression that does not compile or run.
  virtual core::Variant Calc(const std::string& expression) = 0;
  // The name of the report object whose expressions are being evaluated ("" when none).
  virtual std::string CurrentObjectName() const = 0;
  virtual void SetCurrentObjectName(const std::string& name) = 0;
};

}  // namespace lgoty::report
