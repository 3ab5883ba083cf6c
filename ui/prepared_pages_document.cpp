#include "ui/prepared_pages_document.h"

#include <algorithm>
#include <cstdlib>

#include "core/xml_document.h"
#include "render/painter_canvas.h"
#include "core/stream.h"
#include "report/bands.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/prepared_page_drawing.h"
#include "report/prepared_pages.h"
#include "report/print_loop.h"
#include "report/report.h"
#include "report/units.h"
#include "report/views.h"
#include "ui/qt_printer.h"

namespace lgoty::ui {

namespace {

// The place of a component on its page, in pixels from the page's margin corner.
QPointF PlaceOnPage(const report::TfrxComponent& component) {
  QPointF place(component.Left(), component.Top());
  for (const report::TfrxComponent* p = component.Parent(); p; p = p->Parent()) {
    if (dynamic_cast<const report::TfrxPage*>(p)) break;
    place += QPointF(p->Left(), p->Top());
  }
  return place;
}

// The outline's XML items: <item text=".." page=".." top=".."> nested.
void ReadOutline(const core::TfrxXMLItem& item, std::vector<PreviewOutlineNode>& out) {
  for (int i = 0; i < item.Count(); ++i) {
    const core::TfrxXMLItem& child = *item[i];
    PreviewOutlineNode node;
    node.text = QString::fromStdString(child.Attribute("text"));
    node.page = std::atoi(child.Attribute("page").c_str());
    node.top = std::atof(child.Attribute("top").c_str());
    ReadOutline(child, node.children);
    out.push_back(std::move(node));
  }
}

}  // namespace

// The prepared pages as the print loop sees them, drawn onto a Qt printer's painter.
class PreparedPagesDocument::PrintSourceImpl : public report::PrintPageSource {
 public:
  explicit PrintSourceImpl(report::TfrxReport& report) : report_(report) {}

  int Count() override { return report_.PreviewPages().Count(); }

  report::PrintPageInfo PageInfo(int index) override {
    report::PrintPageInfo info;
    if (index < 0 || index >= Count()) return info;
    report::TfrxReportPage* page = report_.PreviewPages().Page(index);
    info.orientation = page->Orientation();
    const bool landscape = info.orientation == report::TPrinterOrientation::poLandscape;
    // Paper dimensions are stored as for portrait; the loop wants them as the page lies.
    const double w = page->PaperWidth(), h = page->PaperHeight();
    info.width_mm = landscape && w < h ? h : w;
    info.height_mm = landscape && w < h ? w : h;
    info.paper = page->PaperSize();
    info.bin = page->bin;
    info.bin_other_pages = page->bin_other_pages;
    info.duplex = page->duplex;
    return info;
  }

  void DrawPage(int index, report::TfrxCustomPrinter& printer, double scale_x, double scale_y,
                double offset_x, double offset_y, int copy) override {
    auto* qt_printer = dynamic_cast<TfrxQtPrinter*>(&printer);
    QPainter* painter = qt_printer ? qt_printer->Painter() : nullptr;
    if (!painter) return;
    // The page drawing takes one scale; a different vertical scale goes to the painter.
    painter->save();
    painter->translate(offset_x, offset_y);
    painter->scale(1, scale_x != 0 ? scale_y / scale_x : 1);
    render::PainterCanvas canvas(painter);
    report::DrawPreparedPage(report_, index, canvas, scale_x, 0, 0, copy);
    painter->restore();
  }

 private:
  report::TfrxReport& report_;
};

PreparedPagesDocument::PreparedPagesDocument(report::TfrxReport& report)
    : report_(report), print_source_(std::make_unique<PrintSourceImpl>(report)) {}

PreparedPagesDocument::~PreparedPagesDocument() = default;

int PreparedPagesDocument::PageCount() { return report_.PreviewPages().Count(); }

QSize PreparedPagesDocument::PageSize(int index) {
  if (index < 0 || index >= PageCount()) return {};
  report::TfrxPageSize size = report_.PreviewPages().PageSize(index);
  return QSize(size.width, size.height);
}

void PreparedPagesDocument::DrawPage(int index, QPainter& painter, double zoom, QPointF offset) {
  render::PainterCanvas canvas(&painter);
  report::DrawPreparedPage(report_, index, canvas, zoom, offset.x(), offset.y());
}

std::vector<PreviewTextRun> PreparedPagesDocument::PageTexts(int index) {
  std::vector<PreviewTextRun> runs;
  report::TfrxPreviewPages& pages = report_.PreviewPages();
  const int count = pages.Count();
  if (index < 0 || index >= count) return runs;
  report::TfrxReportPage* page = pages.Page(index);
  const QPointF margin(page->left_margin * report::fr01cm, page->top_margin * report::fr01cm);
  for (report::TfrxComponent* c : page->AllObjects()) {
    auto* memo = dynamic_cast<report::TfrxCustomMemoView*>(c);
    if (!memo || !(memo->visibility & report::visibility::vsExport)) continue;
    std::string text = memo->Text();
    if (text.find('[') != std::string::npos) text = report::ReplacePageMarkers(text, count, "");
    if (text.empty()) continue;
    runs.push_back({QString::fromStdString(text),
                    QRectF(PlaceOnPage(*memo) + margin, QSizeF(memo->Width(), memo->Height()))});
  }
  return runs;
}

std::vector<PreviewOutlineNode> PreparedPagesDocument::Outline() {
  std::vector<PreviewOutlineNode> nodes;
  if (const core::TfrxXMLItem* root = report_.PreviewPages().Outline().Root()) {
    ReadOutline(*root, nodes);
  }
  return nodes;
}

int PreparedPagesDocument::AnchorPage(const std::string& anchor) {
  report::TfrxPreviewPages& pages = report_.PreviewPages();
  // The store answers page 1 for an unknown anchor; with no anchors at all none is known.
  if (pages.AnchorCount() == 0) return -1;
  return pages.GetAnchorPage(anchor) - 1;
}

void PreparedPagesDocument::SaveToFile(const std::string& path) {
  report_.PreviewPages().SaveToFile(path);
}

bool PreparedPagesDocument::LoadFromFile(const std::string& path) {
  const bool loaded = report_.PreviewPages().LoadFromFile(path);
  if (loaded) loaded_from_file_ = true;
  return loaded;
}

report::PrintPageSource* PreparedPagesDocument::PrintSource() { return print_source_.get(); }

namespace {

void ReadSetup(const report::TfrxReportPage& page, PageSetup& setup) {
  setup.width = page.PaperWidth();
  setup.height = page.PaperHeight();
  setup.paper = page.PaperSize();
  setup.orientation = page.Orientation();
  setup.left = page.left_margin;
  setup.top = page.top_margin;
  setup.right = page.right_margin;
  setup.bottom = page.bottom_margin;
}

// The orientation first: turning the page swaps its paper dimensions and rotates its
// margins, which the values after it then replace.
void WriteSetup(const PageSetup& setup, report::TfrxReportPage& page) {
  page.SetOrientation(setup.orientation);
  page.SetPaperWidth(setup.width);
  page.SetPaperHeight(setup.height);
  page.SetPaperSize(setup.paper);
  page.left_margin = setup.left;
  page.top_margin = setup.top;
  page.right_margin = setup.right;
  page.bottom_margin = setup.bottom;
}

// The report pages of the template, in their order.
std::vector<report::TfrxReportPage*> TemplatePages(const report::TfrxReport& report) {
  std::vector<report::TfrxReportPage*> pages;
  for (int i = 0; i < report.ObjectCount(); ++i) {
    if (auto* page = dynamic_cast<report::TfrxReportPage*>(report.Object(i)))
      pages.push_back(page);
  }
  return pages;
}

bool HasBands(const report::TfrxReportPage& page) {
  for (int i = 0; i < page.ObjectCount(); ++i) {
    if (dynamic_cast<const report::TfrxBand*>(page.Object(i))) return true;
  }
  return false;
}

}  // namespace

bool PreparedPagesDocument::GetPageSetup(int index, PageSetup& setup) {
  if (index < 0 || index >= PageCount()) return false;
  ReadSetup(*report_.PreviewPages().Page(index), setup);
  return true;
}

void PreparedPagesDocument::SetPageSetup(int index, const PageSetup& setup) {
  report::TfrxPreviewPages& pages = report_.PreviewPages();
  const int count = pages.Count();
  const int first = setup.all_pages ? 0 : index;
  const int last = setup.all_pages ? count - 1 : index;
  for (int i = std::max(first, 0); i <= last && i < count; ++i) {
    report::TfrxReportPage* page = pages.Page(i);
    WriteSetup(setup, *page);
    pages.ModifyPage(i, *page);
  }
}

bool PreparedPagesDocument::SetTemplatePageSetup(const PageSetup& setup) {
  // Pages read from a prepared-report file have no template here to be built from (a fresh
  // report holds no report page with bands), and a build would replace the file's pages by
  // the template's own report: such pages are changed in place by SetPageSetup instead.
  if (loaded_from_file_) return false;
  const std::vector<report::TfrxReportPage*> pages = TemplatePages(report_);
  if (std::none_of(pages.begin(), pages.end(),
                   [](const report::TfrxReportPage* page) { return HasBands(*page); }))
    return false;
  core::TMemoryStream stored;
  report_.PreviewPages().SaveToStream(stored);
  pages_backup_ = stored.Bytes();
  template_backup_.clear();
  for (report::TfrxReportPage* page : pages) {
    PageSetup former;
    ReadSetup(*page, former);
    template_backup_.push_back(former);
    WriteSetup(setup, *page);
  }
  return true;
}

void PreparedPagesDocument::RestoreTemplatePageSetup() {
  const std::vector<report::TfrxReportPage*> pages = TemplatePages(report_);
  for (size_t i = 0; i < pages.size() && i < template_backup_.size(); ++i)
    WriteSetup(template_backup_[i], *pages[i]);
  template_backup_.clear();
  core::TMemoryStream stored(std::move(pages_backup_));
  pages_backup_.clear();
  report_.PreviewPages().Clear();
  if (stored.Size() > 0) report_.PreviewPages().LoadFromStream(stored);
}

}  // namespace lgoty::ui
