// Pages and columns of a run: adding a page (overlay, header list), ending one (column
// footer, report summary, page footer), breaking to the next column or page, and keeping
// a group of bands together across a break.
#include <algorithm>

#include "report/band_engine.h"
#include "report/bands.h"
#include "report/engine_links.h"
#include "report/engine_output.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/units.h"

namespace lgoty::report {

namespace links = engine_links;

namespace {

constexpr double kEndlessSpace = 1000000;

bool IsDataHeader(const TfrxBand* band) {
  int n = BandNumber(*band);
  return n == 4 || n == 12;
}

}  // namespace

double TfrxEngine::FooterHeight() const {
  if (!context_) return 0;
  double height = 0;
  if (TfrxPageFooter* pf = context_->tree.page_footer) {
    if (pf->Visible() && !(is_first_page_ && !pf->print_on_first_page)) height += pf->Height();
  }
  if (TfrxColumnFooter* cf = context_->tree.column_footer) {
    if (cf->Visible()) height += cf->Height();
  }
  return height;
}

double TfrxEngine::FreeSpace() const {
  if (page_ && page_->endless_height) return kEndlessSpace;
  return page_height_ - FooterHeight() - cur_y_;
}

// The height a band may have on a page that holds nothing but its headers.
double TfrxEngine::PageBodyHeight() const {
  if (page_ && page_->endless_height) return kEndlessSpace;
  return page_height_ - FooterHeight() - data_start_y_;
}

void TfrxEngine::AddHeader(TfrxBand* band) {
  for (const HeaderEntry& e : header_list_) {
    if (e.band == band) return;
  }
  header_list_.push_back({band, cur_x_, cur_line_, cur_line_through_});
}

void TfrxEngine::RemoveHeader(TfrxBand* band) {
  header_list_.erase(std::remove_if(header_list_.begin(), header_list_.end(),
                                    [&](const HeaderEntry& e) { return e.band == band; }),
                     header_list_.end());
}

void TfrxEngine::ReportProgress() {
  links::SetPageCounters(report_, output_.LogicalPageNumber(), output_.CurPage() + 1,
                         final_pass_ ? output_.LogicalTotalPages() : 0, total_pages_);
  if (ReportUserInterface* ui = report_.UserInterface()) {
    ui->ReportProgress(!final_pass_, output_.CurPage() + 1);
  }
  CheckTerminatedByHost();
}

void TfrxEngine::AddPage() {
  const bool was_adding = adding_page_;
  adding_page_ = true;
  output_.AddPage(*page_);
  cur_column_ = 1;
  cur_x_ = page_cur_x_;
  cur_y_ = 0;
  ReportProgress();
  if (TfrxOverlay* overlay = context_->tree.overlay; overlay && !overlay->print_on_top) {
    ShowBand(overlay);
    cur_y_ = 0;
  }
  PrintHeaderList(false);
  adding_page_ = was_adding;
  data_start_y_ = cur_y_;
}

// Prints the header list at the top of a new page (or of a new column, where the page
// header is left out and the column's X is used).
void TfrxEngine::PrintHeaderList(bool for_column) {
  const std::vector<HeaderEntry> entries = header_list_;
  TfrxBand* page_header = context_->tree.page_header;
  const int saved_line = cur_line_, saved_through = cur_line_through_;
  for (const HeaderEntry& e : entries) {
    TfrxBand* band = e.band;
    if (band == start_new_page_band_) continue;
    if (for_column && (band == page_header || band == context_->tree.title)) continue;
    if (band == page_header && is_first_page_ && !band->print_on_first_page) {
      if (TfrxChild* child = band->child.Get(); child && band->print_child_if_invisible) {
        ShowBand(child);
      }
      continue;
    }
    if (IsDataHeader(band)) {
      if (keeping_header_ || band == last_band_on_page_) continue;
      if (for_column && band == keep_band_) continue;
    }
    const double saved_x = cur_x_;
    if (!for_column) cur_x_ = e.x;
    SetLines(e.line, e.line_through);
    ShowBand(band);
    cur_x_ = saved_x;
    if (band == context_->tree.title) RemoveHeader(band);
    if (band == page_header) first_column_y_ = cur_y_;
  }
  SetLines(saved_line, saved_through);
}

void TfrxEngine::EndPage() {
  const BandTree& tree = context_->tree;
  if (!ending_last_page_ && tree.column_footer) ShowBand(tree.column_footer);
  if (is_last_page_ && !ending_last_page_) {
    ending_last_page_ = true;
    try {
      if (tree.summary) ShowBand(tree.summary);
    } catch (...) {
      ending_last_page_ = false;
      throw;
    }
    ending_last_page_ = false;
  }
  if (TfrxPageFooter* pf = tree.page_footer) {
    const bool skip = (is_first_page_ && !pf->print_on_first_page) ||
                      (is_last_page_ && !pf->print_on_last_page);
    if (!skip) {
      cur_y_ = page_height_ - pf->Height();
      ShowBand(pf);
    } else {
      links::ResetAggregates(report_, *pf);
    }
  }
  if (TfrxOverlay* overlay = tree.overlay; overlay && overlay->print_on_top) {
    cur_y_ = 0;
    ShowBand(overlay);
  }
  is_first_page_ = false;
}

void TfrxEngine::NewPage() { NewPageImpl(false); }

void TfrxEngine::NewPageImpl(bool from_column) {
  (void)from_column;
  if (!context_) return;
  if (keep_band_ && MoveKeptOutput()) return;
  last_band_on_page_ = cur_band_;
  // A summary that breaks to a new page ends a page that is not the last one.
  const bool saved_last = is_last_page_;
  if (ending_last_page_) is_last_page_ = false;
  EndPage();
  is_last_page_ = saved_last;
  AddPage();
}

void TfrxEngine::NewColumn() {
  if (!context_) return;
  const int columns = page_->Columns();
  if (columns <= 1 || cur_column_ >= columns) {
    NewPageImpl(true);
    return;
  }
  if (context_->tree.column_footer) ShowBand(context_->tree.column_footer);
  ++cur_column_;
  double position = 0;
  core::TStringList& positions = page_->ColumnPositions();
  if (cur_column_ - 1 < positions.Count()) {
    try {
      position = std::stod(positions[cur_column_ - 1]);
    } catch (...) {
      position = (cur_column_ - 1) * page_->column_width;
    }
  } else {
    position = (cur_column_ - 1) * page_->column_width;
  }
  cur_x_ = position * fr01cm + page_cur_x_;
  cur_y_ = first_column_y_;
  last_band_on_page_ = cur_band_;
  PrintHeaderList(true);
  data_start_y_ = cur_y_;
}

bool TfrxEngine::StartKeep(TfrxBand* band) {
  // Without a page (a strip built for a sub-report) there is nothing to move.
  if (keep_band_ || !context_ || cur_y_ <= data_start_y_ + 1e-6) return false;
  keep_band_ = band;
  keep_y_ = cur_y_;
  keep_page_x_ = page_cur_x_;
  keep_position_ = output_.CurPosition();
  keep_anchor_count_ = output_.AnchorCount();
  keep_outline_ = output_.OutlineMark();
  keeping_header_ = BandNumber(*band) == 4;
  links::StartKeepingAggregates(report_);
  return true;
}

void TfrxEngine::EndKeep(TfrxBand* band) {
  if (!keep_band_ || keep_band_ != band) return;
  keep_band_ = nullptr;
  keeping_header_ = false;
  links::EndKeepingAggregates(report_);
}

// A break while keeping: the output since keeping began moves to the new page, below its
// headers, unless it would not fit on an empty page either (then keeping is given up and
// the break happens where it is).
bool TfrxEngine::MoveKeptOutput() {
  TfrxBand* kept = keep_band_;
  const double band_height = cur_band_ ? cur_band_->Height() : 0;
  if (cur_y_ - keep_y_ + band_height > page_height_ - FooterHeight() ||
      output_.CurPosition() <= keep_position_) {
    EndKeep(kept);
    return false;
  }
  const double moved = cur_y_ - keep_y_;
  output_.CutObjects(keep_position_);
  last_band_on_page_ = cur_band_;
  keep_band_ = nullptr;  // breaks below do not move the output again
  EndPage();
  AddPage();
  output_.PasteObjects(keep_page_x_, cur_y_);
  output_.ShiftAnchors(keep_anchor_count_, cur_y_);
  output_.MoveOutline(keep_outline_, cur_y_);
  cur_y_ += moved;
  keeping_header_ = false;
  links::EndKeepingAggregates(report_);
  return true;
}

}  // namespace lgoty::report
