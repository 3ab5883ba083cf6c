// Reading data fields for expressions and data-field memos.
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/report.h"

namespace lgoty::report {

using core::Variant;

bool TfrxExpressions::ReadField(TfrxDataSet& data_set, const std::string& field, TfrxDataField& out) const {
  (void)data_set;
  (void)field;
  (void)out;
  return false;
}

bool TfrxExpressions::FieldValue(TfrxDataSet& data_set, const std::string& field, Variant& value) const {
  TfrxDataField f;
  if (!ReadField(data_set, field, f)) return false;
  value = f.value;
  if (value.IsNull() && report_.engine_options.convert_nulls) {
    switch (f.kind) {
      case TfrxDataField::Kind::kString:
        value = Variant("");
        break;
      case TfrxDataField::Kind::kBoolean:
        value = Variant(false);
        break;
      case TfrxDataField::Kind::kNumeric:
        value = Variant(0);
        break;
      case TfrxDataField::Kind::kOther:
        break;
    }
  }
  return true;
}

TfrxExpressions& TfrxReport::Expressions() {
  if (!expressions_) expressions_ = std::make_unique<TfrxExpressions>(*this);
  return *expressions_;
}

Variant TfrxReport::Calc(std::string_view expression) { return Expressions().Calc(expression); }

}  // namespace lgoty::report
