#include "report/prepared_page_drawing.h"

#include <utility>
#include <vector>

#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_feed.h"
#include "report/prepared_pages_sequence.h"
#include "report/report.h"
#include "report/text_layout.h"
#include "report/type_cast.h"
#include "report/units.h"
#include "report/view_drawing.h"
#include "report/views.h"

namespace lgoty::report {

std::string CopyName(int copy) { return copy > 0 ? std::to_string(copy) : std::string(); }

namespace {

// Whether a memo's text may hold a marker, asked of its lines without joining them.
bool HasBracket(const TfrxCustomMemoView& memo) {
  const core::TStringList& lines = memo.Lines();
  for (int i = 0; i < lines.Count(); ++i) {
    if (lines[i].find('[') != std::string::npos) return true;
  }
  return false;
}

// Draws a page tree of a report with count pages, its memos laid out with layout. Sets
// *count_used when a [TotalPages#] marker took the count.
void DrawPageTree(TfrxDrawText& layout, TfrxReportPage* page, int count, TfrxCanvas& canvas,
                  double scale, double offset_x, double offset_y, int copy,
                  bool* count_used = nullptr) {
  const double left = offset_x + page->left_margin * fr01cm * scale;
  const double top = offset_y + page->top_margin * fr01cm * scale;
  const std::string copy_name = CopyName(copy);
  // Memo texts changed for drawing, to be put back: the store may hand out the same tree
  // again from its page cache.
  std::vector<std::pair<TfrxCustomMemoView*, std::string>> changed;
  for (TfrxComponent* c : page->AllObjects()) {
    auto* view = CachedCast<TfrxView>(c);
    if (!view || !(view->visibility & visibility::vsExport)) continue;
    if (auto* memo = CachedCast<TfrxCustomMemoView>(view); memo && HasBracket(*memo)) {
      std::string text = memo->Text();
      std::string replaced = ReplacePageMarkers(text, count, copy_name);
      if (replaced != text) {
        // Another count gives another text exactly when a count marker is there.
        if (count_used && !*count_used &&
            ReplacePageMarkers(text, count == 0 ? 1 : 0, copy_name) != replaced) {
          *count_used = true;
        }
        memo->SetText(replaced);
        changed.emplace_back(memo, std::move(text));
      }
    }
    DrawView(*view, canvas, scale, scale, left, top, &layout);
  }
  for (auto& [memo, text] : changed) memo->SetText(text);
}

}  // namespace

void DrawPreparedPage(TfrxReport& report, int index, TfrxCanvas& canvas, double scale,
                      double offset_x, double offset_y, int copy) {
  TfrxPreviewPages& pages = report.PreviewPages();
  const int count = pages.Count();
  if (index < 0 || index >= count) return;
  TfrxReportPage* page = pages.Page(index);
  if (!page) return;
  DrawPageTree(report.DrawText(), page, count, canvas, scale, offset_x, offset_y, copy);
}

int DrawPreparedPages(TfrxReport& report, TfrxCanvas& canvas) {
  // Every page once, in order: the next page is rebuilt while this one is drawn.
  TfrxPageSequence sequence(report.PreviewPages());
  const int count = sequence.Count();
  while (TfrxReportPage* page = sequence.Next()) {
    canvas.BeginPage(page->Width(), page->Height());
    DrawPageTree(report.DrawText(), page, count, canvas, 1, 0, 0, 0);
    canvas.EndPage();
  }
  return count;
}

FedDrawing DrawFedPages(TfrxPageFeed& feed, TfrxCanvas& canvas, TfrxDrawText& layout) {
  FedDrawing done;
  for (TfrxPageFeed::FedPage fed = feed.Next(); fed.page; fed = feed.Next()) {
    if (fed.index != done.pages) done.in_order = false;
    if (done.pages == 0) done.count = fed.count;
    if (fed.count != done.count) done.in_order = false;
    canvas.BeginPage(fed.page->Width(), fed.page->Height());
    DrawPageTree(layout, fed.page, fed.count, canvas, 1, 0, 0, 0, &done.count_used);
    canvas.EndPage();
    ++done.pages;
  }
  return done;
}

}  // namespace lgoty::report
