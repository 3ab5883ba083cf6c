// The band engine's calls into the other parts of the report: data-set iteration, the
// expression engine and its run state, per-print hooks of objects, text measuring and
// aggregates. Collected here so that the engine's walk reads as the rules it follows.
#pragma once

#include <string>
#include <vector>

#include "core/variant.h"

namespace lgoty::report {

class TfrxReport;
class TfrxReportPage;
class TfrxDataSet;
class TfrxBand;
class TfrxDataBand;
class TfrxReportComponent;
class TfrxView;
class TfrxCustomMemoView;

namespace engine_links {

// Data sets. StartRun/FinishRun bracket a run; First/Next/Prior/Eof iterate the rows.
void StartRun(TfrxDataSet& data_set);
void FinishRun(TfrxDataSet& data_set);
void First(TfrxDataSet& data_set);
void Next(TfrxDataSet& data_set);
void Prior(TfrxDataSet& data_set);
bool Eof(TfrxDataSet& data_set);
// The report's data sets (its Datasets list), in order.
std::vector<TfrxDataSet*> ReportDataSets(TfrxReport& report);

// Expressions. Calc raises on an expression that does not compile or run (the message is
// in the report's error list).
core::Variant Calc(TfrxReport& report, const std::string& expression);
// The run state that expressions read (Date, Time, Page, Line ..., the band and object
// being printed).
void StartRunState(TfrxReport& report);
void SetPageCounters(TfrxReport& report, int page, int page_physical, int total_pages,
                     int total_pages_all);
void SetLineCounters(TfrxReport& report, int line, int line_all);
void SetCurrentBand(TfrxReport& report, const TfrxBand* band);
void SetCurrentObject(TfrxReport& report, const std::string& name);
// Shows the report's dialog pages; false when the operator cancelled.
bool ShowDialogs(TfrxReport& report);
// Calls a script procedure by name; false when there is none (nothing ran).
bool CallProcedure(TfrxReport& report, const std::string& name,
                   std::vector<core::Variant>& args);

// Per print of an object: BeforePrint remembers what printing may change, FillData fills
// the content (memo expressions), AfterPrint restores what BeforePrint remembered. report
// is the object's Report() (nothing happens without one), memo and view the object seen as
// a memo and as a view (null when it is not one; FillData fills the memo, or else the
// view): the engine finds them once per band and print, not again in every hook.
void BeforePrint(TfrxReport* report, TfrxReportComponent& object, TfrxCustomMemoView* memo);
void FillData(TfrxReport* report, TfrxCustomMemoView* memo, TfrxView* view);
void AfterPrint(TfrxReport* report, TfrxReportComponent& object, TfrxCustomMemoView* memo);
// Clears the remembered text of memos with SuppressRepeated on the band.
void ResetSuppressRepeated(TfrxBand& band);

// The height a stretchable view needs for its content (report pixels, rounded).
double CalcHeight(TfrxView& view);

// Aggregates of the run.
void RegisterAggregates(TfrxReport& report, TfrxReportPage& page);
// Resets every item; with all, running totals too.
void ClearAggregates(TfrxReport& report, bool all);
void AddAggregateRow(TfrxReport& report, TfrxDataBand& band);
void ResetAggregates(TfrxReport& report, TfrxBand& parent);
// Page-footer totals while a break is handled.
void StartKeepingAggregates(TfrxReport& report);
void EndKeepingAggregates(TfrxReport& report);

}  // namespace engine_links
}  // namespace lgoty::report
