// Pages rebuilt through a sequence, whose memos are kept and set up again for later pages,
// against the same pages built afresh by Page: object by object and property by property,
// on runs whose rows change the memos in many ways from page to page (texts, positions,
// fonts, frames, fills of other types, visibility, references, nested memos, formats and
// highlights that are never reused), with two source pages, band fills drawn by hidden
// memos and pictures; bands are reused with other places, sizes, fonts and tags, and with
// more or fewer children (a picture, which is never kept, keeps its band from being kept).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/stream.h"
#include "report/bands.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_sequence.h"
#include "report/report.h"
#include "report/views.h"
#include "tests/report/prepared_run.h"
#include "tests/report/tree_compare.h"

namespace lgoty::report {
namespace {

using testing::FakeEngine;

// A report of two pages: the first with a header and a data band of several memos (one
// holding a memo of its own, one flowing into another) and a picture; the second with a
// data band of other memos. Rows change the template objects before each is stored.
struct VariedRun {
  VariedRun() {
    first = report.Add(std::make_unique<TfrxReportPage>());
    first->SetName("Page1");
    header = first->Add(std::make_unique<TfrxPageHeader>());
    header->SetName("PageHeader1");
    header->SetBounds(0, 0, 700, 40);
    title = header->Add(std::make_unique<TfrxMemoView>());
    title->SetName("Title");
    title->SetBounds(10, 5, 400, 20);
    title->SetText("Register [Page#] of [TotalPages#]");
    title->SetParentFont(false);
    title->Font().name = "Times New Roman";
    title->Font().style = 1;
    band = first->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    band->SetBounds(0, 50, 700, 20);
    for (int i = 0; i < 4; ++i) {
      TfrxMemoView* memo = band->Add(std::make_unique<TfrxMemoView>());
      memo->SetName("Cell" + std::to_string(i));
      memo->SetBounds(150.0 * i, 0, 150, 20);
      memo->SetText(i == 3 ? "fixed text" : "");
      cells.push_back(memo);
    }
    cells[1]->Frame().typ = 15;
    cells[2]->SetParentFont(false);
    cells[2]->Font().color = 255;
    cells[0]->flow_to.Set(cells[3]);
    inner = cells[3]->Add(std::make_unique<TfrxMemoView>());
    inner->SetName("Inner");
    inner->SetBounds(2, 2, 50, 10);
    inner->SetText("inner");
    picture = band->Add(std::make_unique<TfrxPictureView>());
    picture->SetName("Picture1");
    picture->SetBounds(600, 0, 20, 20);

    second = report.Add(std::make_unique<TfrxReportPage>());
    second->SetName("Page2");
    other_band = second->Add(std::make_unique<TfrxMasterData>());
    other_band->SetName("MasterData2");
    other_band->SetBounds(0, 0, 700, 30);
    for (int i = 0; i < 2; ++i) {
      TfrxMemoView* memo = other_band->Add(std::make_unique<TfrxMemoView>());
      memo->SetName("Other" + std::to_string(i));
      memo->SetBounds(300.0 * i, 0, 300, 30);
      memo->halign = TfrxHAlign::haCenter;
      others.push_back(memo);
    }
    pages().SetEngine(&engine);
  }
  ~VariedRun() { pages().SetEngine(nullptr); }

  TfrxPreviewPages& pages() { return report.PreviewPages(); }

  // Row r as the engine leaves the template objects before storing the band; every change
  // is undone after, so that each row differs from the source in its own ways.
  void StoreRow(int r) {
    band->SetTop(50 + 20.0 * (r % 10));
    if (r % 5 == 1) band->SetLeft(4);
    if (r % 7 == 2) band->SetWidth(650);
    if (r % 6 == 1) {
      band->SetParentFont(false);
      band->Font().SetSize(12);
    }
    if (r % 4 == 3) band->tag = r;
    picture->SetVisible(r % 3 == 0);
    const bool tall = r % 4 == 1;
    band->SetHeight(tall ? 33 : 20);
    if (r % 9 == 4) band->SetFillType(TfrxFillType::ftGradient);
    for (TfrxMemoView* memo : cells) memo->SetHeight(tall ? 33 : 20);
    cells[0]->SetText("Person " + std::to_string(r));
    cells[1]->SetText(r % 3 == 0 ? "" : std::to_string(r * 7) + ",50");
    if (r % 5 == 2) cells[1]->Frame().SetWidth(2.5);
    if (r % 7 == 3) cells[1]->Frame().SetColor(0x0000FF);
    if (r % 6 == 5) {
      cells[2]->SetParentFont(true);
    } else if (r % 4 == 0) {
      cells[2]->Font().SetSize(14);
    }
    if (r % 8 == 6) cells[2]->SetFillType(TfrxFillType::ftGradient);
    if (r % 8 == 7) cells[2]->SetFillColor(0x00FFFF);
    if (r % 11 == 10) cells[0]->SetVisible(false);
    if (r % 13 == 12) cells[3]->Highlight().condition = "Value > 5";
    if (r % 10 == 9) cells[3]->DisplayFormat().format_str = "%2.2f";
    if (r % 12 == 0) cells[3]->SetText("changed " + std::to_string(r));
    if (r % 5 == 0) cells[3]->halign = TfrxHAlign::haRight;
    inner->SetText("inner " + std::to_string(r % 4));
    if (r % 3 == 1) inner->SetLeft(10);
    if (r % 7 == 2) inner->Highlight().condition = "Value < 0";  // never reused
    picture->Picture().data = r % 4 == 0 ? std::string() : "picture " + std::to_string(r % 3);
    picture->image_index = -1;
    pages().AddObject(band);
    band->SetLeft(0);
    band->SetWidth(700);
    band->SetParentFont(true);
    band->tag = 0;
    picture->SetVisible(true);
    band->SetFillType(TfrxFillType::ftBrush);
    cells[1]->Frame().SetWidth(1);
    cells[1]->Frame().SetColor(clBlack);
    cells[1]->Frame().typ = 15;
    cells[2]->SetParentFont(false);
    cells[2]->Font().SetSize(10);
    cells[2]->Font().color = 255;
    cells[2]->SetFillType(TfrxFillType::ftBrush);
    cells[2]->SetFillColor(clTransparent);
    cells[0]->SetVisible(true);
    cells[3]->Highlight().condition = "";
    cells[3]->DisplayFormat().format_str = "";
    cells[3]->SetText("fixed text");
    cells[3]->halign = TfrxHAlign::haLeft;
    inner->SetLeft(2);
    inner->Highlight().condition = "";
  }

  void StoreOtherRow(int r) {
    other_band->SetTop(30.0 * (r % 20));
    others[0]->SetText("Other " + std::to_string(r));
    if (r % 3 == 0) others[1]->halign = TfrxHAlign::haLeft;
    if (r % 4 == 2) others[1]->SetWidth(120);
    if (r % 5 == 3) other_band->SetHeight(45);
    if (r % 3 == 1) others[0]->SetVisible(false);
    pages().AddObject(other_band);
    others[1]->halign = TfrxHAlign::haCenter;
    others[1]->SetWidth(300);
    other_band->SetHeight(30);
    others[0]->SetVisible(true);
  }

  // page_count pages; every third page is built from the second source page.
  void Build(int page_count) {
    pages().Clear();
    pages().Initialize();
    pages().AddSourcePage(first);
    pages().AddSourcePage(second);
    engine.running = true;
    pages().BeginPass();
    int row = 0;
    for (int p = 0; p < page_count; ++p) {
      if (p % 3 == 2) {
        pages().AddPage(second);
        for (int r = 0; r < 5 + p % 4; ++r) StoreOtherRow(row++);
        continue;
      }
      pages().AddPage(first);
      if (p % 2 == 0) pages().AddObject(header);
      // Pages hold more and fewer rows in turn, so that some kept memos wait a page.
      for (int r = 0; r < 4 + (p * 5) % 7; ++r) StoreRow(row++);
    }
    pages().ResetLogicalPageNumber();
    engine.running = false;
    pages().Finish();
  }

  FakeEngine engine;
  TfrxReport report;
  TfrxReportPage* first;
  TfrxReportPage* second;
  TfrxPageHeader* header;
  TfrxMemoView* title;
  TfrxMasterData* band;
  std::vector<TfrxMemoView*> cells;
  TfrxMemoView* inner;
  TfrxPictureView* picture;
  TfrxMasterData* other_band;
  std::vector<TfrxMemoView*> others;
};

// Reads the sequence to its end, comparing each page with the one Page builds in the other
// run; returns how many memos the sequence reused.
size_t ExpectSequenceIsPages(VariedRun& through_sequence, VariedRun& through_page) {
  TfrxPageSequence sequence(through_sequence.pages());
  EXPECT_EQ(sequence.Count(), through_page.pages().Count());
  int visited = 0;
  while (TfrxReportPage* page = sequence.Next()) {
    SCOPED_TRACE("page " + std::to_string(sequence.Index()));
    testing::ExpectSameTree(*through_page.pages().Page(visited), *page);
    ++visited;
  }
  EXPECT_EQ(visited, sequence.Count());
  return sequence.ReusedCount();
}

TEST(PreparedObjectRecycler, ReusedMemosAreThoseAFreshBuildMakes) {
  VariedRun a, b;
  a.Build(24);
  b.Build(24);
  const size_t reused = ExpectSequenceIsPages(a, b);
  // Most memos of the later pages were reused, not made again.
  EXPECT_GT(reused, 300u);
  // A second reading (a new sequence, so nothing kept) gives the same pages again.
  EXPECT_EQ(ExpectSequenceIsPages(a, b), reused);
}

TEST(PreparedObjectRecycler, PageMarkersDrawnIntoTextsAndPutBackLeaveNoTrace) {
  VariedRun run;
  run.Build(12);
  // A saved report whose title ends with empty lines (its pages store no text for it):
  // read from the file, the title's source copy has ["Register [Page#]", "", ""] and a
  // rebuilt title ["Register [Page#]", ""]. Drawing reads that text ("Register [Page#]"
  // and one line end) and sets it back, which gives one line only.
  std::string bytes = testing::Saved(run.pages());
  const std::string title = "Text=\"Register [Page#] of [TotalPages#]\"";
  const size_t at = bytes.find(title, bytes.find("<sourcepages"));
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, title.size(), "Text=\"Register [Page#]&#13;&#10;&#13;&#10;&#13;&#10;\"");
  TfrxReport a, b;
  for (TfrxReport* report : {&a, &b}) {
    core::TMemoryStream stream(bytes);
    report->PreviewPages().LoadFromStream(stream);
  }
  TfrxPageSequence sequence(a.PreviewPages());
  int index = 0;
  while (TfrxReportPage* page = sequence.Next()) {
    SCOPED_TRACE("page " + std::to_string(index));
    testing::ExpectSameTree(*b.PreviewPages().Page(index++), *page);
    // What the drawing does with a marker: a text changed and put back before the next page.
    for (TfrxComponent* object : page->AllObjects()) {
      if (auto* memo = dynamic_cast<TfrxMemoView*>(object)) {
        const std::string text = memo->Text();
        memo->SetText("drawn " + text);
        memo->SetText(text);
      }
    }
  }
  EXPECT_EQ(index, b.PreviewPages().Count());
  EXPECT_GT(sequence.ReusedCount(), 100u);
}

TEST(PreparedObjectRecycler, PagesBuiltByPageAfterAPartialSequenceAreWhole) {
  VariedRun a, b;
  for (VariedRun* run : {&a, &b}) run->report.preview_options.pages_in_cache = 2;
  a.Build(15);
  b.Build(15);
  {
    // Left half way: what was kept is freed with the sequence.
    TfrxPageSequence partial(a.pages());
    for (int i = 0; i < 6; ++i) ASSERT_NE(partial.Next(), nullptr);
  }
  // Page builds its own trees: independent of what a sequence kept.
  for (int i = 0; i < a.pages().Count(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i));
    testing::ExpectSameTree(*b.pages().Page(i), *a.pages().Page(i));
  }
  ExpectSequenceIsPages(a, b);
}

// Differences a damaged file holds, that fail to read, leave the value a new object starts
// with, also in a memo whose last use set that value.
TEST(PreparedObjectRecycler, DifferencesThatFailToReadLeaveTheStartingValue) {
  VariedRun a, b;
  a.Build(18);
  b.Build(18);
  for (VariedRun* run : {&a, &b}) {
    for (int p = 3; p < run->pages().Count(); ++p) {
      core::TfrxXMLItem* page = run->pages().PageItem(p);
      for (int i = 0; i < page->Count(); ++i) {
        // A band's tag set on earlier pages, now unreadable.
        std::string band_text = page->Items(i)->Text();
        if (size_t at = band_text.find("Tag=\""); at != std::string::npos) {
          band_text.insert(at + 5, "x");
          page->Items(i)->SetText(band_text);
        }
        for (int j = 0; j < page->Items(i)->Count(); ++j) {
          core::TfrxXMLItem* item = page->Items(i)->Items(j);
          std::string text = item->Text();
          // A value set on earlier pages is now unreadable; a reference finds nothing.
          const std::string right = "HAlign=\"haRight\"";
          if (size_t at = text.find(right); at != std::string::npos) {
            text.replace(at, right.size(), "HAlign=\"sideways\" l=\"far\"");
          }
          if (size_t at = text.find("FlowTo="); at != std::string::npos) {
            // On every other page alone, so that the reference is resolved on its own.
            if (p % 2 == 0) text.insert(at, "Tag=\"x1\" ");
            text.replace(text.find("Cell3"), 5, "Nowhere");
          }
          item->SetText(text);
        }
      }
    }
  }
  EXPECT_GT(ExpectSequenceIsPages(a, b), 100u);
}

}  // namespace
}  // namespace lgoty::report
