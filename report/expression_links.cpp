// The band engine's links to expressions, the run state, per-print object hooks and
// aggregates (the declarations are in report/engine_links.h).
#include "report/aggregates.h"
#include "report/bands.h"
#include "report/engine_links.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report::engine_links {

core::Variant Calc(TfrxReport& report, const std::string& expression) {
  return report.Expressions().Calc(expression);
}

void StartRunState(TfrxReport& report) {
  TfrxRunState& state = report.Expressions().State();
  state = TfrxRunState();
  state.StartNow();
}

void SetPageCounters(TfrxReport& report, int page, int page_physical, int total_pages, int total_pages_all) {
  TfrxRunState& state = report.Expressions().State();
  state.page = page;
  state.page_physical = page_physical;
  state.total_pages = total_pages;
  state.total_pages_all = total_pages_all;
}

void SetLineCounters(TfrxReport& report, int line, int line_all) {
  TfrxRunState& state = report.Expressions().State();
  state.line = line;
  state.line_all = line_all;
}

void SetCurrentBand(TfrxReport& report, const TfrxBand* band) { report.Expressions().State().current_band = band; }

void SetCurrentObject(TfrxReport& report, const std::string& name) {
  report.Expressions().State().current_object = name;
}

bool CallProcedure(TfrxReport& report, const std::string& name, std::vector<core::Variant>& args) {
  return report.Expressions().Script().CallProcedure(name, args);
}

void BeforePrint(TfrxReport* report, TfrxReportComponent& object, TfrxCustomMemoView* memo) {
  if (report == nullptr) return;
  // A memo's TagStr and Hyperlink.Value are saved with its lines.
  report->Expressions().SaveForPrint(object, memo == nullptr);
  if (memo) MemoBeforePrint(*memo);
}

void FillData(TfrxReport* report, TfrxCustomMemoView* memo, TfrxView* view) {
  if (report == nullptr) return;
  if (memo) {
    MemoFillData(report->Expressions(), *memo);
  } else if (view) {
    ViewFillData(report->Expressions(), *view);
  }
}

void AfterPrint(TfrxReport* report, TfrxReportComponent& object, TfrxCustomMemoView* memo) {
  if (report == nullptr) return;
  if (memo) MemoAfterPrint(*memo);
  report->Expressions().RestoreAfterPrint(object);
}

void ResetSuppressRepeated(TfrxBand& band) {
  for (TfrxComponent* c : band.AllObjects()) {
    if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(c)) memo->last_printed_text.clear();
  }
}

void RegisterAggregates(TfrxReport& report, TfrxReportPage& page) {
  report.Expressions().Aggregates().RegisterPage(page);
}

void ClearAggregates(TfrxReport& report, bool all) { report.Expressions().Aggregates().ResetItems(all); }

void AddAggregateRow(TfrxReport& report, TfrxDataBand& band) { report.Expressions().Aggregates().AddValue(band); }

void ResetAggregates(TfrxReport& report, TfrxBand& parent) { report.Expressions().Aggregates().Reset(parent); }

void StartKeepingAggregates(TfrxReport& report) { report.Expressions().Aggregates().BeginKeep(); }

void EndKeepingAggregates(TfrxReport& report) { report.Expressions().Aggregates().EndKeep(); }

}  // namespace lgoty::report::engine_links
