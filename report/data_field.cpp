// Reading data fields for expressions and data-field memos.
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/report.h"
#include "report/report_evaluator.h"

namespace lgoty::report {

using core::Variant;

namespace {

TfrxDataField::Kind KindOf(TfrxFieldType type) {
  switch (type) {
    case TfrxFieldType::fftNumeric: return TfrxDataField::Kind::kNumeric;
    case TfrxFieldType::fftString: return TfrxDataField::Kind::kString;
    case TfrxFieldType::fftBoolean: return TfrxDataField::Kind::kBoolean;
    case TfrxFieldType::fftDate: return TfrxDataField::Kind::kOther;
  }
  return TfrxDataField::Kind::kOther;
}

}  // namespace

// A field the data set lacks still reads (as Null) so that the data set lists the
// missing field in the report's errors once per evaluation.
bool TfrxExpressions::ReadField(TfrxDataSet& data_set, const std::string& field, TfrxDataField& out) const {
  out.value = data_set.Value(field);
  if (!data_set.HasField(field)) {
    out.display_text.clear();
    out.is_blob = false;
    out.kind = TfrxDataField::Kind::kOther;
    return true;
  }
  out.display_text = data_set.DisplayText(field);
  out.is_blob = data_set.IsBlobField(field);
  out.kind = KindOf(data_set.FieldType(field));
  return true;
}

bool TfrxExpressions::FieldValue(TfrxDataSet& data_set, const std::string& field, Variant& value) const {
  TfrxFieldSlot slot;
  return FieldValue(data_set, field, slot, value);
}

bool TfrxExpressions::FieldValue(TfrxDataSet& data_set, const std::string& field, TfrxFieldSlot& slot,
                                 Variant& value) const {
  data_set.SlotValue(field, slot, value);
  if (value.IsNull() && report_.engine_options.convert_nulls && data_set.HasField(field)) {
    switch (KindOf(data_set.FieldType(field))) {
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

namespace {

// The report's own evaluator for the objects outside the expression engine (query
// parameters, data-set error lines): the report's expressions and their current object.
class ExpressionsEvaluator final : public ReportEvaluator {
 public:
  explicit ExpressionsEvaluator(TfrxExpressions& expressions) : expressions_(expressions) {}
  Variant Calc(const std::string& expression) override { return expressions_.Calc(expression); }
  std::string CurrentObjectName() const override { return expressions_.State().current_object; }
  void SetCurrentObjectName(const std::string& name) override {
    expressions_.State().current_object = name;
  }

 private:
  TfrxExpressions& expressions_;
};

}  // namespace

ReportEvaluator* TfrxReport::Evaluator() {
  if (evaluator_ != nullptr) return evaluator_;
  if (!default_evaluator_) default_evaluator_ = std::make_unique<ExpressionsEvaluator>(Expressions());
  return default_evaluator_.get();
}

TfrxExpressions& TfrxReport::MakeExpressions() {
  expressions_ = std::make_unique<TfrxExpressions>(*this);
  return *expressions_;
}

Variant TfrxReport::Calc(std::string_view expression) { return Expressions().Calc(expression); }

}  // namespace lgoty::report
