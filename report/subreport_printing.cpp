// Sub-reports: a TfrxSubreport on a band shows the bands of another report page at its
// place each time the band is printed.
//
// Rules:
//   - A page shown by a sub-report is not built as a page of its own (unless a run asks
//     for that page alone). Its report title, data bands (with headers, footers, groups
//     and nested bands) and report summary are built; its page-level bands (page and
//     column headers and footers, overlay) and objects placed on the page itself belong to
//     pages and are left out.
//   - The first band goes to X = the band's left + the sub-report's left, Y = the band's
//     top + the sub-report's top, as both were placed (after stretching and shifting).
//     The bands follow each other down from there; a page break inside goes on at the
//     top of the next page (below its headers) at the same X.
//   - Several sub-reports of one band each start at their own place; one that starts
//     after an earlier one already went on to a later page starts on that page, below its
//     headers, because output never goes back to an earlier page.
//   - Afterwards the parent goes on below the lowest output of its sub-reports when that
//     is lower than the band (the band's child comes next).
//   - Bands that are printed while a page starts or ends (page header and footer, a
//     report title printed with the page headers, reprinted headers, column footer,
//     overlay) and the hidden band of a page's loose
//     objects do not build such sub-reports: one there could break the page it is
//     starting or ending. PrintOnParent sub-reports never break pages and work on any band
//     (subreport_on_parent.cpp).
//   - Before a run every sub-report must show a page of the report other than its own and
//     sub-reports may not show each other in a circle; otherwise an error line names the
//     sub-report (or the circle) and no page is built.
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "report/band_engine.h"
#include "report/bands.h"
#include "report/engine_links.h"
#include "report/engine_output.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {

namespace links = engine_links;

namespace {

// Bands placed by page starts and ends (page header 2, page footer 3, column header 15,
// column footer 16, overlay 17) and the hidden band of loose page objects (a plain band,
// -1) build no sub-reports.
bool BuildsSubreports(const TfrxBand& band) {
  const int n = BandNumber(band);
  return n >= 0 && n != 2 && n != 3 && n != 15 && n != 16 && n != 17;
}

std::vector<TfrxSubreport*> SubreportsOf(TfrxReportPage& page) {
  std::vector<TfrxSubreport*> found;
  for (TfrxComponent* c : page.AllObjects()) {
    if (auto* sub = dynamic_cast<TfrxSubreport*>(c)) found.push_back(sub);
  }
  return found;
}

}  // namespace

TfrxEngine::PageContext* TfrxEngine::ContextOf(const TfrxReportPage* page) const {
  for (const auto& context : root_->contexts_) {
    if (context->page == page) return context.get();
  }
  return nullptr;
}

void TfrxEngine::CheckSubreports() {
  // Which pages each page shows through its sub-reports.
  std::map<PageContext*, std::vector<PageContext*>> shows;
  for (const auto& context : contexts_) {
    for (TfrxSubreport* sub : SubreportsOf(*context->page)) {
      TfrxReportPage* target = sub->page.Get();
      if (!target) {
        report_.Errors().Add("Sub-report " + sub->Name() + " shows no page");
        continue;
      }
      if (target == context->page) {
        report_.Errors().Add("Sub-report " + sub->Name() + " shows its own page " +
                             target->Name());
        continue;
      }
      PageContext* shown = ContextOf(target);
      if (!shown) {
        report_.Errors().Add("Sub-report " + sub->Name() +
                             " shows a page that is not in the report");
        continue;
      }
      shown->is_subreport = true;
      shows[context.get()].push_back(shown);
    }
  }
  // A circle of pages showing each other would build forever: depth-first search, each
  // circle reported once by the page names along it.
  enum class Mark { kNone, kOpen, kDone };
  std::map<PageContext*, Mark> marks;
  std::vector<PageContext*> path;
  std::function<void(PageContext*)> visit = [&](PageContext* context) {
    marks[context] = Mark::kOpen;
    path.push_back(context);
    for (PageContext* next : shows[context]) {
      if (marks[next] == Mark::kOpen) {
        std::string names;
        auto from = std::find(path.begin(), path.end(), next);
        for (auto it = from; it != path.end(); ++it) names += (*it)->page->Name() + ", ";
        report_.Errors().Add("Sub-reports show each other in a circle: " + names +
                             next->page->Name());
      } else if (marks[next] == Mark::kNone) {
        visit(next);
      }
    }
    path.pop_back();
    marks[context] = Mark::kDone;
  };
  for (const auto& context : contexts_) {
    if (marks[context.get()] == Mark::kNone) visit(context.get());
  }
}

void TfrxEngine::CollectSubreports(TfrxBand& band, const BandObjects& objects) {
  for (const LentObject& lent : lent_objects_) {
    if (lent.band != &band) continue;
    // No sub-report to build: the band's lent objects go back once it is finished.
    pending_subreports_.push_back({nullptr, 0, 0});
    break;
  }
  if (!band.Visible() || adding_page_ || !BuildsSubreports(band)) return;
  for (TfrxSubreport* sub : objects.subreports) {
    if (!sub->Visible() || sub->print_on_parent || !sub->page.Get()) continue;
    // The sub-report's place inside the band: its parents up to the band add up.
    double x = sub->Left(), y = sub->Top();
    for (TfrxComponent* p = sub->Parent(); p && p != &band; p = p->Parent()) {
      x += p->Left();
      y += p->Top();
    }
    pending_subreports_.push_back({sub, band.Left() + x, band.Top() + y});
  }
}

void TfrxEngine::BuildSubreports(TfrxBand& band) {
  std::vector<PlacedSubreport> placed;
  placed.swap(pending_subreports_);  // sub-reports of the bands built now collect anew
  auto lent_end = std::stable_partition(
      lent_objects_.begin(), lent_objects_.end(),
      [&](const LentObject& lent) { return lent.band != &band; });
  for (auto it = lent_end; it != lent_objects_.end(); ++it) band.Release(it->object);
  lent_objects_.erase(lent_end, lent_objects_.end());
  const int start_page = output_.CurPage();
  int bottom_page = start_page;
  double bottom_y = cur_y_;
  const double saved_x = cur_x_, saved_page_x = page_cur_x_;
  TfrxBand* const saved_band = cur_band_;
  const int saved_line = cur_line_, saved_through = cur_line_through_;
  for (const PlacedSubreport& p : placed) {
    if (Terminated()) break;
    if (!p.subreport) continue;
    PageContext* shown = ContextOf(p.subreport->page.Get());
    if (!shown) continue;
    cur_y_ = output_.CurPage() == start_page ? p.y : data_start_y_;
    page_cur_x_ = p.x;
    cur_x_ = p.x;
    try {
      BuildSubreportBands(*shown);
    } catch (...) {
      page_cur_x_ = saved_page_x;
      throw;
    }
    const int page = output_.CurPage();
    if (page > bottom_page || (page == bottom_page && cur_y_ > bottom_y)) {
      bottom_page = page;
      bottom_y = cur_y_;
    }
  }
  page_cur_x_ = saved_page_x;
  cur_x_ = saved_x;
  cur_y_ = bottom_y;
  cur_band_ = saved_band;
  links::SetCurrentBand(report_, saved_band);
  SetLines(saved_line, saved_through);
}

void TfrxEngine::BuildSubreportBands(PageContext& context) {
  TfrxReportPage& page = *context.page;
  FireEvent(page.on_before_print, &page);
  BandTree& tree = context.tree;
  if (tree.title) ShowBand(tree.title);
  WalkBands(tree.top_level);
  if (tree.summary) ShowBand(tree.summary);
  FireEvent(page.on_after_print, &page);
}

}  // namespace lgoty::report
