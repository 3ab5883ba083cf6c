#include "report/preview_pages_output.h"

#include <cmath>

#include "report/band_engine.h"

namespace lgoty::report {

void PreviewPagesOutput::BeginPass() {
  pages_.SetEngine(this);
  pages_.BeginPass();
}

void PreviewPagesOutput::ClearFirstPassPages() { pages_.ClearFirstPassPages(); }

void PreviewPagesOutput::Finish() {
  pages_.Finish();
  pages_.SetEngine(nullptr);
}

void PreviewPagesOutput::AddAnchor(const std::string& text, double top) {
  (void)top;  // the store asks the engine for CurY
  pages_.AddAnchor(text);
}

void PreviewPagesOutput::ShiftAnchors(int from, double new_top) {
  pages_.ShiftAnchors(from, static_cast<int>(std::lround(new_top)));
}

void PreviewPagesOutput::AddOutlineItem(const std::string& text, double top) {
  pages_.Outline().AddItem(text, static_cast<int>(std::lround(top)));
}

void PreviewPagesOutput::MoveOutline(const TfrxOutline::Mark& mark, double new_top) {
  pages_.Outline().MoveSince(mark, static_cast<int>(std::lround(new_top)));
}

bool PreviewPagesOutput::Running() const { return engine_ && engine_->Running(); }
bool PreviewPagesOutput::FinalPass() const { return !engine_ || engine_->FinalPass(); }
double PreviewPagesOutput::CurY() const { return engine_ ? engine_->CurY() : 0; }
int PreviewPagesOutput::TotalPages() const { return engine_ ? engine_->TotalPages() : 0; }

}  // namespace lgoty::report
