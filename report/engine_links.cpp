// The band engine's links to the data sets and to text measuring (the links to expressions,
// print hooks and aggregates are in expression_links.cpp, the dialogs in dialog_host.cpp).
#include "report/engine_links.h"

#include "report/data_sets.h"
#include "report/report.h"
#include "report/expressions.h"
#include "report/report_script.h"
#include "report/text_layout.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report::engine_links {

void StartRun(TfrxDataSet& data_set) { data_set.StartRun(); }
void FinishRun(TfrxDataSet& data_set) { data_set.FinishRun(); }
void First(TfrxDataSet& data_set) { data_set.First(); }
void Next(TfrxDataSet& data_set) { data_set.Next(); }
void Prior(TfrxDataSet& data_set) { data_set.Prior(); }
bool Eof(TfrxDataSet& data_set) { return data_set.Eof(); }

std::vector<TfrxDataSet*> ReportDataSets(TfrxReport& report) {
  std::vector<TfrxDataSet*> out;
  for (const auto& item : report.DataSets()) {
    TfrxDataSet* ds = item->data_set.Get();
    if (!ds) ds = frxFindDataSet(nullptr, item->data_set_name, &report);
    if (!ds) continue;
    bool seen = false;
    for (TfrxDataSet* d : out) seen = seen || d == ds;
    if (seen) continue;
    ds->SetReportRef(&report);
    out.push_back(ds);
  }
  return out;
}

// A memo is measured with the report's text layout, unless the host installed its own
// measuring as the script's height hook (the one CalcHeight of scripts uses).
double CalcHeight(TfrxView& view) {
  TfrxReport* report = view.Report();
  if (!report) return view.Height();
  if (const auto& measure = report->Expressions().Script().on_calc_height) return measure(view);
  if (auto* memo = CachedCast<TfrxCustomMemoView>(&view)) {
    return CalcMemoHeight(*memo, report->DrawText());
  }
  return view.Height();
}

}  // namespace lgoty::report::engine_links
