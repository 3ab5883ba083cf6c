// Sub-reports with PrintOnParent: the shown page's bands are drawn into the parent band
// instead of being placed as bands of their own.
//
// While the parent band is prepared (after its objects stretched), an engine of its own
// builds the shown page into a strip: the same bands as a sub-report builds, one below the
// other from Y 0, with no page and so no page breaks. Copies of the strip's bands are
// taken as they are placed. Their objects are then lent to the parent band at the
// sub-report's place (the band's top-left + the sub-report's + the strip band's + their
// own); the sub-report grows to the strip's height, objects below it move down as for any
// growing object, and the band grows to hold it. The band is then measured, placed (or
// split) and printed with the lent objects like with its own; they are taken back once the
// band is finished. Outline entries and anchors of the strip are left out.
#include <algorithm>
#include <memory>
#include <vector>

#include "core/rtti.h"
#include "report/band_engine.h"
#include "report/bands.h"
#include "report/engine_links.h"
#include "report/engine_output.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/shift_lists.h"
#include "report/views.h"

namespace lgoty::report {

namespace links = engine_links;

namespace {

// A copy of a placed object and its visible children, as the prepared pages would keep it.
std::unique_ptr<TfrxComponent> CopyPlaced(const TfrxComponent& source) {
  const core::ClassInfo* info = source.ClassType();
  if (!info || !info->CanCreate()) return nullptr;
  std::unique_ptr<core::TObject> made = info->Create();
  auto* component = dynamic_cast<TfrxComponent*>(made.get());
  if (!component) return nullptr;
  made.release();
  std::unique_ptr<TfrxComponent> copy(component);
  copy->Assign(source);
  copy->SetBounds(source.Left(), source.Top(), source.Width(), source.Height());
  copy->SetVisible(true);
  if (auto* view = dynamic_cast<TfrxView*>(copy.get())) {
    // Its events ran on the original in the strip; the parent band must not run them again.
    view->on_after_data.clear();
    view->on_after_print.clear();
    view->on_before_print.clear();
  }
  for (int i = 0; i < source.ObjectCount(); ++i) {
    const TfrxComponent& child = *source.Object(i);
    if (child.IsHidden() || !child.Visible()) continue;
    if (std::unique_ptr<TfrxComponent> c = CopyPlaced(child)) copy->Adopt(std::move(c));
  }
  return copy;
}

// The output of a strip: copies of the bands placed into it, in order. Page numbers are
// those of the real output; everything that belongs to pages is left out.
class StripOutput final : public EngineOutput {
 public:
  explicit StripOutput(EngineOutput& pages) : pages_(pages) {}

  std::vector<std::unique_ptr<TfrxComponent>>& Bands() { return bands_; }

  void AddSourcePage(TfrxReportPage&) override {}
  void BeginPass() override {}
  void ClearFirstPassPages() override {}
  void Finish() override {}
  void AddPage(TfrxReportPage&) override {}
  void AddObject(TfrxComponent& object) override {
    if (object.IsHidden() || !object.Visible()) return;
    if (std::unique_ptr<TfrxComponent> copy = CopyPlaced(object)) bands_.push_back(std::move(copy));
  }
  int Count() const override { return pages_.Count(); }
  int CurPage() const override { return pages_.CurPage(); }
  int CurPosition() const override { return static_cast<int>(bands_.size()); }
  // Keeping needs a page; a strip has none, so nothing is ever cut or pasted.
  void CutObjects(int) override {}
  void PasteObjects(double, double) override {}
  bool BandExists(const TfrxBand&) const override { return false; }
  double LastY() const override {
    double y = 0;
    for (const auto& band : bands_) y = std::max(y, band->Top() + band->Height());
    return y;
  }
  void IncLogicalPageNumber() override {}
  void ResetLogicalPageNumber() override {}
  int LogicalPageNumber() const override { return pages_.LogicalPageNumber(); }
  int LogicalTotalPages() const override { return pages_.LogicalTotalPages(); }
  void AddAnchor(const std::string&, double) override {}
  int AnchorCount() const override { return 0; }
  int AnchorPage(const std::string& text) const override { return pages_.AnchorPage(text); }
  void ShiftAnchors(int, double) override {}
  void AddOutlineItem(const std::string&, double) override {}
  void OutlineLevelUp() override {}
  TfrxOutline::Mark OutlineMark() const override { return {}; }
  void MoveOutline(const TfrxOutline::Mark&, double) override {}

 private:
  EngineOutput& pages_;
  std::vector<std::unique_ptr<TfrxComponent>> bands_;
};

struct Strip {
  TfrxSubreport* subreport;
  std::vector<std::unique_ptr<TfrxComponent>> bands;
  double height;
};

}  // namespace

void TfrxEngine::PlaceSubreportsOnParent(TfrxBand& band, const BandObjects& objects) {
  if (!band.Visible()) return;
  std::vector<Strip> strips;
  for (TfrxSubreport* sub : objects.subreports) {
    if (!sub->print_on_parent || !sub->Visible() || Terminated()) continue;
    PageContext* shown = ContextOf(sub->page.Get());
    if (!shown) continue;
    StripOutput output(output_);
    TfrxEngine strip(report_, output);
    strip.root_ = root_;
    strip.running_ = true;
    strip.final_pass_ = final_pass_;
    strip.total_pages_ = total_pages_;
    strip.page_width_ = page_width_;
    strip.page_height_ = page_height_;
    try {
      strip.BuildSubreportBands(*shown);
    } catch (...) {
      strip.ReturnLentObjects();
      throw;
    }
    const double height = output.LastY();
    strips.push_back({sub, std::move(output.Bands()), height});
  }
  // The strips' engine moved the report's current band, object and line counters.
  cur_band_ = &band;
  links::SetCurrentBand(report_, &band);
  links::SetCurrentObject(report_, band.Name());
  SetLines(cur_line_, cur_line_through_);
  if (strips.empty()) return;

  // Every sub-report grows at once, so that one growing above another moves it before
  // anything is lent at its place.
  ShiftLists& lists = ShiftListsOf(band);
  const std::vector<TfrxView*>& views = lists.Views();
  std::vector<double> growth(views.size(), 0.0);
  bool grew = false;
  for (const Strip& strip : strips) {
    const double grow = strip.height - strip.subreport->Height();
    if (grow <= 0) continue;
    strip.subreport->SetHeight(strip.height);
    auto it = std::find(views.begin(), views.end(), strip.subreport);
    if (it != views.end()) growth[static_cast<size_t>(it - views.begin())] = grow;
    grew = true;
  }
  if (grew) lists.ApplyGrowth(growth);

  double lowest = band.Height();
  for (TfrxView* view : views) {
    if (view->Visible()) lowest = std::max(lowest, view->Top() + view->Height());
  }
  for (Strip& strip : strips) {
    TfrxSubreport& sub = *strip.subreport;
    double x = sub.Left(), y = sub.Top();
    for (TfrxComponent* p = sub.Parent(); p && p != &band; p = p->Parent()) {
      x += p->Left();
      y += p->Top();
    }
    lowest = std::max(lowest, y + sub.Height());
    for (auto& copied : strip.bands) {
      while (copied->ObjectCount() > 0) {
        std::unique_ptr<TfrxComponent> object = copied->Release(copied->Object(0));
        object->SetLeft(x + copied->Left() + object->Left());
        object->SetTop(y + copied->Top() + object->Top());
        TfrxComponent* lent = band.Adopt(std::move(object));
        lent_objects_.push_back({&band, lent});
      }
    }
  }
  band.SetHeight(lowest);
}

void TfrxEngine::ReturnLentObjects() {
  for (const LentObject& lent : lent_objects_) {
    std::unique_ptr<TfrxComponent> returned = lent.band->Release(lent.object);
  }
  lent_objects_.clear();
}

}  // namespace lgoty::report
