#include "report/band_engine.h"

#include <algorithm>

#include "report/bands.h"
#include "report/data_sets.h"
#include "report/engine_links.h"
#include "report/engine_output.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/units.h"
#include "report/views.h"

namespace lgoty::report {

namespace links = engine_links;

TfrxEngine::TfrxEngine(TfrxReport& report, EngineOutput& output)
    : report_(report), output_(output) {}

TfrxEngine::~TfrxEngine() = default;

bool TfrxEngine::Terminated() const { return report_.Terminated(); }

void TfrxEngine::StopReport() { report_.SetTerminated(true); }

void TfrxEngine::CheckTerminatedByHost() {
  if (ReportUserInterface* ui = report_.UserInterface()) {
    if (ui->ProgressCancelled()) report_.SetTerminated(true);
  }
}

void TfrxEngine::FireEvent(const std::string& handler, TfrxComponent* sender) {
  if (handler.empty()) return;
  std::vector<core::Variant> args{core::Variant(static_cast<core::TObject*>(sender))};
  links::CallProcedure(report_, handler, args);
}

void TfrxEngine::Initialize(TfrxReportPage* only_page) {
  contexts_.clear();
  shift_lists_.clear();
  band_objects_.clear();
  header_list_.clear();
  keep_band_ = nullptr;
  dialogs_cancelled_ = false;
  links::StartRunState(report_);
  links::ClearAggregates(report_, true);

  TfrxDataSet* report_ds = report_.data_set.Get();
  for (int i = 0; i < report_.ObjectCount(); ++i) {
    auto* page = dynamic_cast<TfrxReportPage*>(report_.Object(i));
    if (!page) continue;
    auto context = std::make_unique<PageContext>();
    context->page = page;
    BuildBandTree(*page, false, context->tree);
    BuildBandTree(*page, true, context->vertical_tree);
    for (std::string& error : context->tree.errors) report_.Errors().Add(error);
    for (std::string& error : context->vertical_tree.errors) report_.Errors().Add(error);
    TfrxDataSet* page_ds = page->data_set.Get();
    if (report_ds && page_ds == report_ds) {
      report_.Errors().Add("Cannot use the same dataset for Report.DataSet and Page.DataSet");
    }
    for (const DataBandNode* node : context->AllNodes()) {
      TfrxDataSet* ds = node->band->data_set.Get();
      if (!ds) continue;
      if (ds == report_ds) {
        report_.Errors().Add("Cannot use the same dataset for Report.DataSet and Band.DataSet");
      }
      if (ds == page_ds) {
        report_.Errors().Add("Cannot use the same dataset for Page.DataSet and Band.DataSet");
      }
    }
    for (int b = 0; b < page->ObjectCount(); ++b) {
      if (auto* band = dynamic_cast<TfrxBand*>(page->Object(b))) ShiftListsOf(*band);
    }
    contexts_.push_back(std::move(context));
  }
  CheckSubreports();
  pending_subreports_.clear();
  (void)only_page;
}

bool TfrxEngine::Run(TfrxReportPage* only_page) {
  running_ = true;
  const int errors_before = report_.Errors().Count();
  Initialize(only_page);
  if (report_.Errors().Count() > errors_before) {
    running_ = false;
    return false;
  }
  std::vector<TfrxDataSet*> data_sets = links::ReportDataSets(report_);
  std::vector<TfrxDataSet*> started;
  bool result = false;
  try {
    for (TfrxDataSet* ds : data_sets) {
      links::StartRun(*ds);
      started.push_back(ds);
    }
    // Row-count data sets of bands without a data set of their own.
    for (const auto& context : contexts_) {
      for (DataBandNode* node : context->AllNodes()) {
        if (node->data_set && !node->band->data_set.Get()) {
          links::StartRun(*node->data_set);
          started.push_back(node->data_set);
        }
      }
    }
    FireEvent(report_.on_start_report, &report_);
    if (!links::ShowDialogs(report_)) {
      dialogs_cancelled_ = true;
    } else if (!Terminated()) {
      for (const auto& context : contexts_) {
        // Sub-report pages are sources too: their bands land on the pages of others.
        if (only_page && context->page != only_page && !context->is_subreport) continue;
        output_.AddSourcePage(*context->page);
        links::RegisterAggregates(report_, *context->page);
      }
      final_pass_ = !report_.engine_options.double_pass;
      total_pages_ = 0;
      output_.BeginPass();
      RunReportPages(only_page);
      if (report_.engine_options.double_pass && !Terminated()) {
        total_pages_ = output_.Count();
        output_.ClearFirstPassPages();
        links::ClearAggregates(report_, true);
        final_pass_ = true;
        RunReportPages(only_page);
      }
      result = true;
    }
  } catch (...) {
    ReturnLentObjects();
    try {
      FireEvent(report_.on_stop_report, &report_);
    } catch (...) {
    }
    for (TfrxDataSet* ds : started) {
      try {
        links::FinishRun(*ds);
      } catch (...) {
      }
    }
    output_.Finish();
    running_ = false;
    throw;
  }
  FireEvent(report_.on_stop_report, &report_);
  for (TfrxDataSet* ds : started) links::FinishRun(*ds);
  output_.Finish();
  running_ = false;
  return result;
}

void TfrxEngine::RunReportPages(TfrxReportPage* only_page) {
  auto run_once = [&] {
    for (const auto& context : contexts_) {
      if (Terminated()) return;
      if (only_page ? context->page != only_page
                    : !context->page->Visible() || context->is_subreport) {
        continue;
      }
      RunPage(*context);
    }
  };
  if (TfrxDataSet* ds = report_.data_set.Get()) {
    links::First(*ds);
    while (!links::Eof(*ds) && !Terminated()) {
      run_once();
      links::Next(*ds);
    }
  } else {
    run_once();
  }
}

void TfrxEngine::RunPage(PageContext& context) {
  TfrxReportPage& page = *context.page;
  FireEvent(page.on_before_print, &page);
  if (TfrxDataSet* ds = page.data_set.Get()) {
    links::First(*ds);
    while (!links::Eof(*ds) && !Terminated()) {
      BuildPageInstance(context);
      links::Next(*ds);
    }
  } else {
    for (int i = 0; i < page.PageCount() && !Terminated(); ++i) BuildPageInstance(context);
  }
  FireEvent(page.on_after_print, &page);
}

bool TfrxEngine::PageHasRows(PageContext& context) {
  for (DataBandNode* node : context.tree.top_level) {
    if (HasPrintableRow(*node)) return true;
  }
  return false;
}

void TfrxEngine::BuildPageInstance(PageContext& context) {
  TfrxReportPage& page = *context.page;
  context_ = &context;
  page_ = &page;
  if (!report_.engine_options.print_if_empty && !PageHasRows(context)) return;

  BandTree& tree = context.tree;
  header_list_.clear();
  auto add_entry = [&](TfrxBand* band) {
    if (band) header_list_.push_back({band, 0, 0, 0});
  };
  if (page.title_before_header) {
    add_entry(tree.title);
    add_entry(tree.page_header);
  } else {
    add_entry(tree.page_header);
    add_entry(tree.title);
  }
  page_width_ = (page.PaperWidth() - page.left_margin - page.right_margin) * fr01cm;
  page_height_ = (page.PaperHeight() - page.top_margin - page.bottom_margin) * fr01cm;
  page_cur_x_ = 0;
  cur_x_ = 0;
  cur_y_ = 0;
  cur_column_ = 1;
  is_first_page_ = true;
  is_last_page_ = false;
  last_band_on_page_ = nullptr;
  if (page.reset_page_numbers) output_.ResetLogicalPageNumber();
  if (page.print_on_previous_page && output_.Count() > 0) {
    cur_y_ = output_.LastY();
    if (tree.title) {
      RemoveHeader(tree.title);
      ShowBand(tree.title);
    }
    data_start_y_ = cur_y_;
  } else {
    AddPage();
  }
  first_column_y_ = cur_y_;
  if (tree.column_header) {
    ShowBand(tree.column_header);
    AddHeader(tree.column_header);
  }
  if (tree.title) RemoveHeader(tree.title);
  data_start_y_ = cur_y_;

  PrintPageObjects(page);
  RunManualBuild(context);

  is_last_page_ = true;
  EndPage();
  is_last_page_ = false;
  context_ = nullptr;
}

void TfrxEngine::RunManualBuild(PageContext& context) {
  TfrxReportPage& page = *context.page;
  if (report_.on_manual_build_handler) {
    report_.on_manual_build_handler(page);
    return;
  }
  if (!page.on_manual_build.empty()) {
    FireEvent(page.on_manual_build, &page);
    return;
  }
  WalkBands(context.tree.top_level);
}

// Objects placed on the page itself are printed once, on a hidden band as high as the
// page, without moving CurY. They are lent to that band for the print and given back.
void TfrxEngine::PrintPageObjects(TfrxReportPage& page) {
  std::vector<TfrxComponent*> loose;
  for (int i = 0; i < page.ObjectCount(); ++i) {
    if (dynamic_cast<TfrxView*>(page.Object(i))) loose.push_back(page.Object(i));
  }
  if (loose.empty()) return;
  std::vector<int> places;
  for (TfrxComponent* c : loose) places.push_back(page.IndexOf(c));
  TfrxNullBand hidden;
  hidden.SetBounds(0, 0, page_width_, page_height_);
  for (TfrxComponent* c : loose) hidden.Adopt(page.Release(c));
  const double saved_y = cur_y_;
  cur_y_ = 0;
  try {
    ShowBand(&hidden);
  } catch (...) {
    cur_y_ = saved_y;
    for (size_t i = 0; i < loose.size(); ++i) page.Adopt(hidden.Release(loose[i]), places[i]);
    throw;
  }
  cur_y_ = saved_y;
  for (size_t i = 0; i < loose.size(); ++i) page.Adopt(hidden.Release(loose[i]), places[i]);
}

void TfrxEngine::AddAnchor(const std::string& text) { output_.AddAnchor(text, cur_y_); }

int TfrxEngine::GetAnchorPage(const std::string& text) { return output_.AnchorPage(text); }

}  // namespace lgoty::report
