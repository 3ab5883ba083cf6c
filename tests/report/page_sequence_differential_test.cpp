// The export's page sequence keeps the memos of drawn pages and sets them up again for the
// next pages. Every page it hands out must be the page a fresh build gives: here both are
// compared as the serializer writes them with every default value, together with what the
// property tables do not hold (every line of the text, formats and highlights one by one,
// the run state and the flags of a component), and by what drawing them records, page by
// page, on runs whose consecutive pages of the same objects differ in many ways and whose
// pages are drawn (page markers set into texts and put back) between two rebuilds.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/stream.h"
#include "report/bands.h"
#include "report/canvas.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/report_script.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/prepared_page_drawing.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_sequence.h"
#include "report/report.h"
#include "report/serializer.h"
#include "report/type_cast.h"
#include "report/view_drawing.h"
#include "report/views.h"
#include "tests/report/prepared_run.h"

namespace lgoty::report {
namespace {

// Writes every call as a line; one string per canvas page (BeginPage starts a new one).
class LogCanvas final : public TfrxCanvas {
 public:
  void BeginPage(double w, double h) override { Start() << "page " << w << ' ' << h << '\n'; }
  void EndPage() override { Out() << "end\n"; }
  void DrawText(double x, double y, std::string_view text, const CanvasFont& font,
                double spacing, double rotation) override {
    Out() << "text " << x << ' ' << y << " '" << text << "' " << font.name << ' ' << font.size
          << ' ' << font.style << ' ' << font.charset << ' ' << font.color << ' ' << spacing
          << ' ' << rotation << '\n';
  }
  void DrawLine(CanvasPoint from, CanvasPoint to, const CanvasPen& pen) override {
    Out() << "line " << from.x << ' ' << from.y << ' ' << to.x << ' ' << to.y << Pen(pen) << '\n';
  }
  void FillRect(const CanvasRect& rect, const CanvasBrush& brush) override {
    Out() << "fill" << Rect(rect) << Brush(brush) << '\n';
  }
  void FillGradient(const CanvasRect& rect, TColor a, TColor b, TfrxGradientStyle style) override {
    Out() << "gradient" << Rect(rect) << ' ' << a << ' ' << b << ' ' << static_cast<int>(style)
          << '\n';
  }
  void DrawRect(const CanvasRect& rect, const CanvasPen& pen, const CanvasBrush& brush,
                double radius) override {
    Out() << "rect" << Rect(rect) << Pen(pen) << Brush(brush) << ' ' << radius << '\n';
  }
  void DrawEllipse(const CanvasRect& rect, const CanvasPen& pen, const CanvasBrush& brush) override {
    Out() << "ellipse" << Rect(rect) << Pen(pen) << Brush(brush) << '\n';
  }
  void DrawPolygon(const std::vector<CanvasPoint>& points, const CanvasPen& pen,
                   const CanvasBrush& brush) override {
    Out() << "polygon";
    for (const CanvasPoint& p : points) Out() << ' ' << p.x << ',' << p.y;
    Out() << Pen(pen) << Brush(brush) << '\n';
  }
  bool PictureSize(std::string_view image, double& w, double& h) override {
    if (image.substr(0, 3) != "IMG") return false;
    w = 40.0 + static_cast<double>(image.size());
    h = 20;
    return true;
  }
  bool DrawPicture(const CanvasRect& rect, std::string_view image) override {
    Out() << "picture" << Rect(rect) << " '" << image << "'\n";
    return true;
  }
  void PushClip(const CanvasRect& rect) override { Out() << "clip" << Rect(rect) << '\n'; }
  void PopClip() override { Out() << "unclip\n"; }

  std::vector<std::string> Pages() const {
    std::vector<std::string> out;
    for (const std::ostringstream& page : pages_) out.push_back(page.str());
    return out;
  }

 private:
  std::ostringstream& Start() {
    pages_.emplace_back();
    return pages_.back();
  }
  std::ostringstream& Out() { return pages_.empty() ? Start() : pages_.back(); }
  static std::string Rect(const CanvasRect& r) {
    std::ostringstream s;
    s << ' ' << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom;
    return s.str();
  }
  static std::string Pen(const CanvasPen& p) {
    std::ostringstream s;
    s << " pen " << p.color << ' ' << p.width << ' ' << static_cast<int>(p.style);
    return s.str();
  }
  static std::string Brush(const CanvasBrush& b) {
    std::ostringstream s;
    s << " brush " << b.fore_color << ' ' << b.back_color << ' ' << static_cast<int>(b.style);
    return s.str();
  }

  std::vector<std::ostringstream> pages_;
};

std::string Attributes(const core::TObject& object) {
  TfrxXMLSerializer serializer;
  serializer.serialize_default_values = true;
  return serializer.WriteAttributes(object, "");
}

// A page tree as the serializer writes it with every default value, then per object what
// the written text leaves out: the lines one by one (the text drops a last empty line), each
// format and highlight, the run state and the component flags.
std::string Dump(const TfrxReportPage& page) {
  TfrxXMLSerializer serializer;
  serializer.serialize_default_values = true;
  core::TMemoryStream stream;
  serializer.WriteTree(page, true, stream);
  std::ostringstream out;
  out << stream.Bytes() << '\n';
  for (const TfrxComponent* object : page.AllObjects()) {
    out << object->ClassName() << ' ' << object->Name() << " in "
        << (object->Parent() ? object->Parent()->Name() : "-") << " hidden " << object->IsHidden()
        << " inherited " << object->IsInherited() << " loading " << object->IsLoading()
        << " parent font " << object->ParentFont() << " font " << Attributes(object->Font())
        << '\n';
    const auto* memo = dynamic_cast<const TfrxCustomMemoView*>(object);
    if (!memo) continue;
    out << " lines " << memo->Lines().Count() << '\n';
    for (int i = 0; i < memo->Lines().Count(); ++i) out << "  [" << memo->Lines()[i] << "]\n";
    for (const auto& format : memo->Formats()) out << " format " << Attributes(*format) << '\n';
    for (const auto& highlight : memo->Highlights()) {
      out << " highlight " << Attributes(*highlight) << '\n';
    }
    out << " value " << static_cast<int>(memo->value.kind()) << " '"
        << (memo->value.IsEmptyOrNull() ? std::string() : memo->value.AsString()) << "' last '"
        << memo->last_printed_text << "' saved " << (memo->saved != nullptr) << '\n';
  }
  return out.str();
}

// Reports the first line where two dumps or drawings differ (the whole texts are long).
void ExpectSameText(const std::string& want, const std::string& got, const std::string& what) {
  if (want == got) return;
  std::istringstream a(want), b(got);
  std::string line_a, line_b;
  for (int line = 1;; ++line) {
    const bool more_a = static_cast<bool>(std::getline(a, line_a));
    const bool more_b = static_cast<bool>(std::getline(b, line_b));
    if (!more_a && !more_b) break;
    if (more_a != more_b || line_a != line_b) {
      ADD_FAILURE() << what << " differs at line " << line << "\n fresh:  " << line_a
                    << "\n reused: " << line_b;
      return;
    }
  }
}

// What the export's drawing does with a page tree: markers set into the texts, every view
// drawn, the texts put back.
void DrawAsTheExportDoes(TfrxReport& report, TfrxReportPage& page, int count, TfrxCanvas& canvas) {
  canvas.BeginPage(page.Width(), page.Height());
  std::vector<std::pair<TfrxCustomMemoView*, std::string>> changed;
  const double left = page.left_margin * fr01cm, top = page.top_margin * fr01cm;
  for (TfrxComponent* c : page.AllObjects()) {
    auto* view = CachedCast<TfrxView>(c);
    if (!view || !(view->visibility & visibility::vsExport)) continue;
    if (auto* memo = CachedCast<TfrxCustomMemoView>(view)) {
      std::string text = memo->Text();
      std::string replaced = ReplacePageMarkers(text, count, "");
      if (replaced != text) {
        memo->SetText(replaced);
        changed.emplace_back(memo, std::move(text));
      }
    }
    DrawView(*view, canvas, 1, 1, left, top, &report.DrawText());
  }
  for (auto& [memo, text] : changed) memo->SetText(text);
  canvas.EndPage();
}

// Two source pages. The first: a page header whose title holds markers, a data band of
// memos set differently on every row (texts with and without markers and with empty last
// lines, a flow reference to another memo or none, visibility, geometry, stretching, alignment and other plain values, fonts own and
// adopted from a band whose font changes, fills of every type, frames, formats, highlights)
// and a picture, and a second band stored on some pages only. The second page: a band of
// two memos, one of them holding a marker in its template text.
struct MixedRun {
  MixedRun() {
    first = report.Add(std::make_unique<TfrxReportPage>());
    first->SetName("Page1");
    header = first->Add(std::make_unique<TfrxPageHeader>());
    header->SetName("PageHeader1");
    title = header->Add(std::make_unique<TfrxMemoView>());
    title->SetName("Title");
    band = first->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    for (const char* name : {"Name", "Sum", "Box", "Note"}) {
      TfrxMemoView* memo = band->Add(std::make_unique<TfrxMemoView>());
      memo->SetName(name);
      memos.push_back(memo);
    }
    picture = band->Add(std::make_unique<TfrxPictureView>());
    picture->SetName("Picture1");
    extra_band = first->Add(std::make_unique<TfrxMasterData>());
    extra_band->SetName("MasterData2");
    extra = extra_band->Add(std::make_unique<TfrxMemoView>());
    extra->SetName("Extra");

    second = report.Add(std::make_unique<TfrxReportPage>());
    second->SetName("Page2");
    other_band = second->Add(std::make_unique<TfrxMasterData>());
    other_band->SetName("MasterData3");
    for (const char* name : {"OtherA", "OtherB"}) {
      TfrxMemoView* memo = other_band->Add(std::make_unique<TfrxMemoView>());
      memo->SetName(name);
      others.push_back(memo);
    }
    SetTemplate();
    pages().SetEngine(&engine);
  }
  ~MixedRun() { pages().SetEngine(nullptr); }

  TfrxPreviewPages& pages() { return report.PreviewPages(); }

  // The template's values: set at the start and again after every stored row.
  void SetTemplate() {
    header->SetBounds(0, 0, 700, 40);
    title->SetBounds(10, 5, 400, 30);
    title->SetText("Sheet [Page#] of [TotalPages#]\r\n[CopyName#]\r\n");
    band->SetBounds(0, 50, 700, 20);
    band->Font().SetSize(10);
    band->Font().name = "Arial";
    band->SetFillType(TfrxFillType::ftBrush);
    for (size_t i = 0; i < memos.size(); ++i) {
      TfrxMemoView* memo = memos[i];
      memo->SetBounds(120.0 * static_cast<double>(i), 0, 120, 20);
      memo->SetVisible(true);
      memo->printable = true;
      memo->visibility = visibility::kAll;
      memo->stretch_mode = TfrxStretchMode::smDontStretch;
      memo->halign = TfrxHAlign::haLeft;
      memo->valign = TfrxVAlign::vaTop;
      memo->word_wrap = true;
      memo->rotation = 0;
      memo->gap_x = 2;
      memo->tag_str.clear();
      memo->hint.clear();
      memo->SetParentFont(true);
      memo->Font().Assign(band->Font());
      memo->SetFillType(TfrxFillType::ftBrush);
      memo->SetFillColor(clTransparent);
      memo->Frame().typ = 0;
      memo->Frame().SetWidth(1);
      memo->Frame().SetColor(clBlack);
      memo->Frame().SetStyle(TfrxFrameStyle::fsSolid);
      memo->Frame().drop_shadow = false;
      memo->DisplayFormat().kind = TfrxFormatKind::fkText;
      memo->DisplayFormat().format_str.clear();
      memo->Highlight().condition.clear();
      memo->Highlight().color = clTransparent;
    }
    memos[0]->SetText("");
    memos[0]->flow_to.Set(memos[3]);
    memos[1]->SetText("0");
    memos[1]->DisplayFormat().kind = TfrxFormatKind::fkNumeric;
    memos[1]->DisplayFormat().format_str = "%2.2f";
    memos[1]->Highlight().condition = "Value < 0";
    memos[1]->Highlight().color = 0x0000FF;
    memos[2]->SetText("box");
    memos[2]->Frame().typ = 15;
    memos[2]->SetFillColor(0xEEEEEE);
    memos[3]->SetText("[TotalPages#] in all\r\n\r\n");
    memos[3]->SetParentFont(false);
    memos[3]->Font().name = "Times New Roman";
    memos[3]->Font().style = 1;
    picture->SetBounds(500, 0, 20, 20);
    picture->Picture().data.clear();
    extra_band->SetBounds(0, 0, 700, 20);
    extra->SetBounds(0, 0, 300, 20);
    extra->SetText("extra");
    other_band->SetBounds(0, 0, 700, 30);
    others[0]->SetBounds(0, 0, 300, 30);
    others[0]->SetText("");
    others[0]->halign = TfrxHAlign::haLeft;
    others[1]->SetBounds(300, 0, 300, 30);
    others[1]->SetText("[CopyName#] of [TotalPages#]");
    others[1]->SetFillType(TfrxFillType::ftBrush);
    others[1]->SetFillColor(clTransparent);
  }

  void StoreRow(int r) {
    band->SetTop(50 + 25.0 * (r % 12));
    if (r % 5 == 1) band->Font().SetSize(12);
    if (r % 7 == 4) band->Font().name = "Courier New";
    if (r % 6 == 3) band->SetFillType(TfrxFillType::ftGradient);
    TfrxMemoView& name = *memos[0];
    switch (r % 6) {
      case 0: name.SetText("Name [TotalPages#]\r\n\r\n"); break;
      case 1: name.SetText(""); break;
      case 2: name.SetText("line one\r\nline two\r\n"); break;
      case 3: name.SetText("[CopyName#] copy"); break;
      case 4: name.SetText("\r\n"); break;
      default: name.SetText("Person " + std::to_string(r)); break;
    }
    if (r % 7 == 1) name.SetVisible(false);
    if (r % 9 == 3) name.printable = false;
    if (r % 4 == 2) {
      name.stretch_mode = TfrxStretchMode::smActualHeight;
      name.SetHeight(44);
    }
    if (r % 5 == 4) name.word_wrap = false;
    if (r % 8 == 2) name.rotation = 90;
    if (r % 10 == 7) name.gap_x = 6;
    if (r % 11 == 4) name.tag_str = "tag " + std::to_string(r);
    if (r % 3 == 1) name.valign = TfrxVAlign::vaCenter;
    if (r % 4 == 1) name.flow_to.Set(memos[1]);
    if (r % 9 == 8) name.flow_to.Set(nullptr);

    TfrxMemoView& sum = *memos[1];
    sum.SetText(std::to_string(r * 13 % 40 - 10) + ".5");
    if (r % 4 == 3) sum.DisplayFormat().format_str = "%2.3f";
    if (r % 5 == 2) sum.Highlight().color = 0x00FF00;
    if (r % 3 == 0) sum.halign = TfrxHAlign::haRight;
    if (r % 7 == 6) sum.SetWidth(60);

    TfrxMemoView& box = *memos[2];
    if (r % 4 == 0) {
      box.SetParentFont(false);
      box.Font().name = "Courier New";
      box.Font().SetSize(12);
      box.Font().style = 2;
    } else if (r % 4 == 1) {
      box.SetParentFont(false);
      box.Font().color = 0x008000;
    }
    if (r % 3 == 2) box.SetFillType(TfrxFillType::ftGradient);
    if (r % 5 == 3) box.SetFillType(TfrxFillType::ftGlass);
    if (r % 6 == 0) box.SetFillColor(0x00FFFF);
    if (r % 7 == 2) {
      box.Frame().SetWidth(3);
      box.Frame().SetColor(0xFF0000);
      box.Frame().SetStyle(TfrxFrameStyle::fsDash);
    }
    if (r % 8 == 5) box.Frame().drop_shadow = true;
    if (r % 9 == 1) box.Frame().typ = 0;
    if (r % 10 == 6) box.SetText("box " + std::to_string(r) + "\r\n[TotalPages#]");

    TfrxMemoView& note = *memos[3];
    if (r % 3 == 0) note.SetText("no marker");
    if (r % 4 == 3) note.visibility = visibility::kAll & ~visibility::vsExport;
    if (r % 5 == 0) note.SetParentFont(true);
    if (r % 6 == 4) note.SetLeft(400);

    picture->Picture().data = r % 3 == 0 ? std::string() : "IMG" + std::string(r % 5, 'x');
    picture->image_index = -1;
    pages().AddObject(band);
    SetTemplate();
  }

  void StoreExtra(int r) {
    extra_band->SetTop(400);
    if (r % 2 == 0) extra->SetText("extra [TotalPages#] " + std::to_string(r));
    pages().AddObject(extra_band);
    SetTemplate();
  }

  void StoreOtherRow(int r) {
    other_band->SetTop(30.0 * (r % 15));
    others[0]->SetText("Other " + std::to_string(r) + (r % 2 ? "\r\n\r\n" : ""));
    if (r % 3 == 0) others[0]->halign = TfrxHAlign::haBlock;
    if (r % 4 == 1) others[1]->SetText("plain " + std::to_string(r));
    if (r % 5 == 2) others[1]->SetFillType(TfrxFillType::ftGlass);
    pages().AddObject(other_band);
    SetTemplate();
  }

  // Pages of the two source pages in an irregular order, with more and fewer rows in turn
  // (so that kept memos wait pages for their next use) and the second band on some pages.
  void Build(int page_count) {
    pages().Clear();
    pages().Initialize();
    pages().AddSourcePage(first);
    pages().AddSourcePage(second);
    engine.running = true;
    pages().BeginPass();
    int row = 0;
    for (int p = 0; p < page_count; ++p) {
      if (p % 3 == 2 || p % 7 == 3) {
        pages().AddPage(second);
        for (int r = 0; r < 3 + p % 5; ++r) StoreOtherRow(row++);
        continue;
      }
      pages().AddPage(first);
      if (p % 4 != 1) {
        header->SetTop(0);
        pages().AddObject(header);
      }
      for (int r = 0; r < 2 + (p * 5) % 9; ++r) StoreRow(row++);
      if (p % 2 == 1) StoreExtra(p);
    }
    pages().ResetLogicalPageNumber();
    engine.running = false;
    pages().Finish();
  }

  testing::FakeEngine engine;
  TfrxReport report;
  TfrxReportPage* first;
  TfrxReportPage* second;
  TfrxPageHeader* header;
  TfrxMemoView* title;
  TfrxMasterData* band;
  std::vector<TfrxMemoView*> memos;
  TfrxPictureView* picture;
  TfrxMasterData* extra_band;
  TfrxMemoView* extra;
  TfrxMasterData* other_band;
  std::vector<TfrxMemoView*> others;
};

// Reads a's pages through a sequence, drawing each as the export does before the next
// rebuild, and compares each with b's page built afresh (dump and drawing). Returns the
// memos reused.
size_t ExpectSequenceIsFreshPages(TfrxReport& a, TfrxReport& b) {
  TfrxPageSequence sequence(a.PreviewPages());
  const int count = sequence.Count();
  EXPECT_EQ(count, b.PreviewPages().Count());
  int index = 0;
  while (TfrxReportPage* page = sequence.Next()) {
    SCOPED_TRACE("page " + std::to_string(index));
    TfrxReportPage* fresh = b.PreviewPages().Page(index);
    ExpectSameText(Dump(*fresh), Dump(*page), "tree");
    LogCanvas reused_canvas, fresh_canvas;
    DrawAsTheExportDoes(a, *page, count, reused_canvas);
    DrawAsTheExportDoes(b, *fresh, count, fresh_canvas);
    ExpectSameText(fresh_canvas.Pages().at(0), reused_canvas.Pages().at(0), "drawing");
    // Drawing leaves the tree as it found it.
    ExpectSameText(Dump(*fresh), Dump(*page), "tree after drawing");
    ++index;
  }
  EXPECT_EQ(index, count);
  return sequence.ReusedCount();
}

// A page rebuilt the plain way, without compiled references, recycled objects or parts:
// every object made new from its class, its source copy's whole attribute text and its
// differences applied as one text, named as the source, pictures from the cache.
void PlainBuildObjects(TfrxPreviewPages& pages, core::TfrxXMLItem* item, TfrxComponent& parent,
                       TfrxComponent& root, TfrxXMLSerializer& serializer) {
  for (int i = 0; i < item->Count(); ++i) {
    core::TfrxXMLItem* child = item->Items(i);
    const TfrxDictionary::Entry* entry = pages.Dictionary().Find(child->Name());
    const core::ClassInfo* cls =
        entry ? entry->object->ClassType() : core::ClassRegistry::Instance().Find(child->Name());
    if (!cls || !cls->CanCreate() || !cls->InheritsFrom(TfrxComponent::StaticClass()) ||
        cls->InheritsFrom(TfrxPage::StaticClass()) ||
        cls->InheritsFrom(TfrxReport::StaticClass())) {
      continue;
    }
    std::unique_ptr<core::TObject> created = cls->Create();
    auto* component = dynamic_cast<TfrxComponent*>(created.get());
    if (!component) continue;
    created.release();
    TfrxComponent* object = parent.Adopt(std::unique_ptr<TfrxComponent>(component));
    std::string text = child->Text();
    if (entry) text = serializer.WriteAttributes(*entry->object, "") + " " + text;
    serializer.ApplyItemAttributes(text, *object, &root);
    if (entry) {
      try {
        object->SetName(entry->object->Name());
      } catch (const std::exception&) {
      }
    }
    if (auto* picture = dynamic_cast<TfrxPictureView*>(object)) {
      if (picture->Picture().Empty() && picture->image_index > 0) {
        picture->Picture().data = pages.PictureCache().Get(picture->image_index);
      }
    }
    PlainBuildObjects(pages, child, *object, root, serializer);
  }
}

std::unique_ptr<TfrxReportPage> PlainBuildPage(TfrxPreviewPages& pages, int index) {
  core::TfrxXMLItem* item = pages.PageItem(index);
  auto page = std::make_unique<TfrxReportPage>();
  TfrxXMLSerializer serializer;
  const std::string& name = item->Name();
  if (name == "TfrxReportPage") {
    serializer.ReadTree(*page, item);
    return page;
  }
  if (name.size() > 4 && name.compare(0, 4, "page") == 0) {
    const int source = std::stoi(name.substr(4));
    if (source < pages.SourcePageCount()) {
      const TfrxReportPage& from = *pages.SourcePage(source);
      serializer.ApplyItemAttributes(serializer.WriteAttributes(from, ""), *page);
      page->SetName(from.Name());
    }
  }
  PlainBuildObjects(pages, item, *page, *page, serializer);
  for (TfrxComponent* object : page->AllObjects()) object->Loaded();
  return page;
}

// Every page of a report built by Page and through a sequence (whose memos are reused)
// against the plain rebuild: dumps compared, which cover every property of every object.
void ExpectPagesAreThePlainRebuild(TfrxReport& report) {
  TfrxPreviewPages& pages = report.PreviewPages();
  // The plain rebuilds are made before the sequence starts: while it lives, its thread
  // alone reads the store (a picture read moves the picture cache's stream).
  std::vector<std::string> plain;
  for (int i = 0; i < pages.Count(); ++i) {
    SCOPED_TRACE("Page(" + std::to_string(i) + ")");
    plain.push_back(Dump(*PlainBuildPage(pages, i)));
    ExpectSameText(plain.back(), Dump(*pages.Page(i)), "tree");
  }
  TfrxPageSequence sequence(pages);
  int index = 0;
  while (TfrxReportPage* page = sequence.Next()) {
    SCOPED_TRACE("sequence page " + std::to_string(index));
    ASSERT_LT(index, static_cast<int>(plain.size()));
    ExpectSameText(plain[static_cast<size_t>(index)], Dump(*page), "tree");
    ++index;
  }
  EXPECT_EQ(index, pages.Count());
  EXPECT_GT(sequence.ReusedCount(), 100u);
}

TEST(PageSequenceDifferential, PagesAreThoseAPlainRebuildMakes) {
  MixedRun run;
  run.Build(30);
  ExpectPagesAreThePlainRebuild(run.report);
  // The same pages saved and loaded: source copies and differences read from the file.
  const std::string bytes = testing::Saved(run.pages());
  TfrxReport loaded;
  core::TMemoryStream stream(bytes);
  loaded.PreviewPages().LoadFromStream(stream);
  ExpectPagesAreThePlainRebuild(loaded);
  // Items damaged as a garbled file leaves them: names in other letter cases, values that
  // fail to read or read other ways, texts with entities, names repeated, references to
  // nothing and to objects, unknown names.
  TfrxReport damaged;
  core::TMemoryStream again(bytes);
  damaged.PreviewPages().LoadFromStream(again);
  TfrxPreviewPages& pages = damaged.PreviewPages();
  for (int p = 1; p < pages.Count(); ++p) {
    core::TfrxXMLItem* page = pages.PageItem(p);
    for (int i = 0; i < page->Count(); ++i) {
      core::TfrxXMLItem* band = page->Items(i);
      for (int j = 0; j < band->Count(); ++j) {
        core::TfrxXMLItem* item = band->Items(j);
        switch ((p * 5 + i * 3 + j) % 9) {
          case 0: item->SetText(item->Text() + " LEFT=\"12.5\" font.HEIGHT=\"-20\""); break;
          case 1: item->SetText(item->Text() + " l=\" 1 2,5 \" t=\"1e1\" w=\"-0\" h=\"x\""); break;
          case 2: item->SetText(item->Text() + " FlowTo=\"Nowhere\" Frame.Typ=\"&#49;5\""); break;
          case 3:
            item->SetText(item->Text() + " HAlign=\"2\" Visible=\"False\" Tag=\"99999999999\"" +
                          " x=\"&#200;\"");
            break;
          case 4: item->SetText("Rotation=\"90\" " + item->Text() + " Fill.BackColor=\"255\""); break;
          case 5: item->SetText(item->Text() + " NoSuchName=\"1\" Font.NoSuch=\"2\" Text"); break;
          case 6: item->SetText(item->Text() + " u=\"a&amp;b&#13;&#10;c\" h=\"2,5\""); break;
          case 7:
            // More plain positions than a memo is set up from straight, names repeated.
            item->SetText(item->Text() + " l=\"1\" t=\"2\" w=\"3\" h=\"4\" l=\"5\" t=\"-6\"" +
                          " w=\"7\" h=\"8\" l=\"9.5\"");
            break;
          default: break;
        }
      }
    }
  }
  ExpectPagesAreThePlainRebuild(damaged);
}

TEST(PageSequenceDifferential, RecycledPagesDumpAndDrawAsFreshPages) {
  MixedRun a, b;
  a.Build(30);
  b.Build(30);
  EXPECT_GT(ExpectSequenceIsFreshPages(a.report, b.report), 200u);
}

// The same run saved and loaded again: the source copies and the differences come from the
// file (texts with empty last lines included), and the export draws through its own path.
TEST(PageSequenceDifferential, LoadedReportExportsAsPagesDrawnOneByOne) {
  MixedRun run;
  run.Build(30);
  const std::string bytes = testing::Saved(run.pages());
  TfrxReport a, b;
  for (TfrxReport* report : {&a, &b}) {
    core::TMemoryStream stream(bytes);
    report->PreviewPages().LoadFromStream(stream);
  }
  EXPECT_GT(ExpectSequenceIsFreshPages(a, b), 200u);

  LogCanvas exported, one_by_one;
  EXPECT_EQ(DrawPreparedPages(a, exported), a.PreviewPages().Count());
  for (int i = 0; i < b.PreviewPages().Count(); ++i) {
    TfrxReportPage* page = b.PreviewPages().Page(i);
    one_by_one.BeginPage(page->Width(), page->Height());
    DrawPreparedPage(b, i, one_by_one);
    one_by_one.EndPage();
  }
  const std::vector<std::string> want = one_by_one.Pages(), got = exported.Pages();
  ASSERT_EQ(want.size(), got.size());
  for (size_t i = 0; i < want.size(); ++i) {
    ExpectSameText(want[i], got[i], "exported page " + std::to_string(i));
  }
}

// Page items damaged as a garbled file leaves them, the same in both reports: objects
// missing from pages, items of no known object, values that fail to read, and memos of one
// page stored again under a page of the other source page.
TEST(PageSequenceDifferential, DamagedPageItemsGiveTheSamePagesThroughTheSequence) {
  MixedRun a, b;
  a.Build(30);
  b.Build(30);
  for (MixedRun* run : {&a, &b}) {
    TfrxPreviewPages& pages = run->pages();
    for (int p = 2; p < pages.Count(); ++p) {
      core::TfrxXMLItem* page = pages.PageItem(p);
      for (int i = 0; i < page->Count(); ++i) {
        core::TfrxXMLItem* band = page->Items(i);
        for (int j = band->Count() - 1; j >= 0; --j) {
          core::TfrxXMLItem* item = band->Items(j);
          const int n = p * 7 + i * 3 + j;
          if (n % 11 == 0) {
            band->Delete(item);
          } else if (n % 7 == 1) {
            item->SetText(item->Text() + " l=\"far\" HAlign=\"sideways\" FillType=\"ftNone\"" +
                          " Frame.Typ=\"x\" Font.Height=\"tall\" Visible=\"maybe\"");
          } else if (n % 9 == 2) {
            item->SetText(item->Text() + " FlowTo=\"Nowhere\" Text=\"[TotalPages#]&#13;&#10;\"");
          } else if (n % 13 == 5) {
            item->SetName("NoSuchClass");
          }
        }
        if ((p + i) % 5 == 0) band->Add()->SetName("TfrxReportPage");
      }
    }
  }
  EXPECT_GT(ExpectSequenceIsFreshPages(a.report, b.report), 150u);
}

// A report run by the band engine over a data set: memos whose expressions, formats,
// highlights, hidden zeros, repeated values and stretched heights the engine works out row
// by row, a page header with page markers and a child-less master band over three pages
// and more.
TEST(PageSequenceDifferential, EnginePreparedListExportsAsFreshPages) {
  TfrxReport reports[2];
  for (TfrxReport& report : reports) {
    auto* data_page = report.Add(std::make_unique<TfrxDataPage>());
    data_page->SetName("Data");
    auto* rows = data_page->Add(std::make_unique<TfrxUserDataSet>());
    rows->SetName("Rows");
    rows->fields.Add("N");
    rows->range_end = TfrxRangeEnd::reCount;
    rows->range_end_count = 140;
    report.AddDataSet(rows, "Rows");
    // Host values of the row: its number N, a sum S that turns negative, Z with zeros, R
    // repeated over ten rows.
    report.Expressions().on_get_value = [rows](std::string_view name, core::Variant& value) {
      const int n = rows->RecNo() + 1;
      if (name == "N") value = core::Variant(static_cast<int32_t>(n));
      else if (name == "S") value = core::Variant(n * 2.5 - 40);
      else if (name == "Z") value = core::Variant(static_cast<int32_t>(n % 4));
      else if (name == "R") value = core::Variant(static_cast<int32_t>(n / 10));
      else return false;
      return true;
    };
    report.Expressions().Script().on_calc_height = [](TfrxComponent& c) {
      auto* memo = dynamic_cast<TfrxCustomMemoView*>(&c);
      return memo ? memo->Lines().Count() * 16.0 + 2 : c.Height();
    };
    report.engine_options.destroy_forms = false;
    report.engine_options.new_silent_mode = TfrxSilentMode::simSilent;
    auto* page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    auto* header = page->Add(std::make_unique<TfrxPageHeader>());
    header->SetName("PageHeader1");
    header->SetBounds(0, 0, 700, 40);
    auto* title = header->Add(std::make_unique<TfrxMemoView>());
    title->SetName("Title");
    title->SetBounds(0, 0, 400, 36);
    title->SetText("Sheet [Page#] of [TotalPages#]\r\n\r\n");
    auto* band = page->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    band->SetBounds(0, 60, 700, 18);
    band->data_set.Set(rows);
    auto add = [&](const char* name, double left, const std::string& text) {
      auto* memo = band->Add(std::make_unique<TfrxMemoView>());
      memo->SetName(name);
      memo->SetBounds(left, 0, 100, 18);
      memo->SetText(text);
      return memo;
    };
    add("Number", 0, "[N]");
    TfrxMemoView* sum = add("Sum", 100, "[S]");
    sum->DisplayFormat().kind = TfrxFormatKind::fkNumeric;
    sum->DisplayFormat().format_str = "%2.2f";
    sum->Highlight().condition = "Value < 0";
    sum->Highlight().font.color = 0x0000FF;
    sum->Highlight().color = 0x00FFFF;
    TfrxMemoView* zeros = add("Zeros", 200, "[Z]");
    zeros->hide_zeros = true;
    TfrxMemoView* repeated = add("Repeated", 300, "[R]");
    repeated->suppress_repeated = true;
    TfrxMemoView* tall = add("Tall", 400, "[N]");
    tall->stretch_mode = TfrxStretchMode::smActualHeight;
    tall->Frame().typ = 15;
    add("Marked", 500, "[N] of [TotalPages#]");
    ASSERT_TRUE(report.Prepare()) << report.Errors().Text();
  }
  ASSERT_GT(reports[0].PreviewPages().Count(), 2);
  EXPECT_GT(ExpectSequenceIsFreshPages(reports[0], reports[1]), 100u);
}

}  // namespace
}  // namespace lgoty::report
