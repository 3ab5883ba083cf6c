// The store writes a placed object's differences from its source copy through
// DifferenceWriter; the text must be, byte for byte, what the serializer's general path
// (FullDiff) gives for the same object, whatever was changed: fonts, frames, fills of
// another class, texts that need escaping, hidden objects, pictures in and out of the
// picture cache, references, nested objects, and the format settings of the moment.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/format_settings.h"
#include "core/xml_document.h"
#include "report/bands.h"
#include "report/difference_writer.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_detail.h"
#include "report/report.h"
#include "report/serializer.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using prepared_detail::DifferenceWriter;
using prepared_detail::FullDiff;

// A page with a data band holding one object of each kind the store meets.
struct Layout {
  Layout() {
    page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    band = page->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    band->SetBounds(0, 100, 700, 18.9);
    memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("Memo1");
    memo->SetBounds(0, 0, 200, 18.9);
    memo->SetText("[Name]");
    memo->Frame().typ = frame_typ::kAll;
    other = band->Add(std::make_unique<TfrxMemoView>());
    other->SetName("Memo2");
    other->SetBounds(200, 0, 100, 18.9);
    other->SetParentFont(false);
    other->Font().style = font_style::fsBold;
    other->halign = TfrxHAlign::haRight;
    picture = band->Add(std::make_unique<TfrxPictureView>());
    picture->SetName("Picture1");
    picture->SetBounds(300, 0, 40, 18.9);
    line = band->Add(std::make_unique<TfrxLineView>());
    line->SetName("Line1");
    line->SetBounds(340, 0, 0, 18.9);
    shape = band->Add(std::make_unique<TfrxShapeView>());
    shape->SetName("Shape1");
    shape->SetBounds(350, 0, 20, 18.9);
    objects = {band, memo, other, picture, line, shape};
  }

  TfrxReport report;
  TfrxReportPage* page;
  TfrxMasterData* band;
  TfrxMemoView* memo;
  TfrxMemoView* other;
  TfrxPictureView* picture;
  TfrxLineView* line;
  TfrxShapeView* shape;
  std::vector<TfrxComponent*> objects;
};

// One random change to one of the objects, as a run or a script may make it.
void Change(Layout& l, std::mt19937& random) {
  auto pick = [&](auto const& values) { return values[random() % values.size()]; };
  TfrxCustomMemoView* memo = random() % 2 ? static_cast<TfrxCustomMemoView*>(l.memo) : l.other;
  TfrxView* view = pick(std::vector<TfrxView*>{l.memo, l.other, l.picture, l.line, l.shape});
  const std::vector<std::function<void()>> changes = {
      [&] {
        memo->SetText(pick(std::vector<std::string>{
            "", "[Name]", "Иванов Иван", "a \"quoted\" & <tagged> text", "line one\r\nline two",
            "a long text with an & sign that is written as an entity, and more", "x\r\n"}));
      },
      [&] { view->SetTop(pick(std::vector<double>{0, 1e-7, 1e-5, 83.15, -3.5, 720})); },
      [&] { l.band->SetTop(100 + static_cast<double>(random() % 40) * 18.9); },
      [&] { view->SetHeight(pick(std::vector<double>{18.9, 33, 18.9000001, 0.1 + 0.2})); },
      [&] { view->SetLeft(view->Left() + pick(std::vector<double>{0, 1.0 / 3, 1e15})); },
      [&] { memo->SetParentFont(random() % 2 == 0); },
      [&] { view->Font().name = pick(std::vector<std::string>{"Arial", "Times New Roman", ""}); },
      [&] { view->Font().style = static_cast<uint32_t>(random() % 16); },
      [&] { view->Font().height = -static_cast<int>(random() % 20); },
      [&] { view->Font().color = pick(std::vector<TColor>{clBlack, clWhite, 0x123456}); },
      [&] { view->Frame().typ = static_cast<uint32_t>(random() % 16); },
      [&] { view->Frame().SetWidth(pick(std::vector<double>{1, 1.5, 2})); },
      [&] { view->Frame().SetStyle(static_cast<TfrxFrameStyle>(random() % 8)); },
      [&] { view->Frame().left_line.width = pick(std::vector<double>{1, 0.5}); },
      [&] { view->Frame().drop_shadow = random() % 2 == 0; },
      [&] { view->SetFillType(static_cast<TfrxFillType>(random() % 3)); },
      [&] { view->SetFillColor(pick(std::vector<TColor>{clTransparent, clWhite, 0xFF})); },
      [&] { view->SetVisible(random() % 3 != 0); },
      [&] { view->printable = random() % 4 != 0; },
      [&] { memo->halign = static_cast<TfrxHAlign>(random() % 4); },
      [&] { memo->valign = static_cast<TfrxVAlign>(random() % 3); },
      [&] { memo->word_wrap = random() % 2 == 0; },
      [&] { memo->gap_x = pick(std::vector<double>{2, 0, 3.5}); },
      [&] { memo->char_spacing = pick(std::vector<double>{0, 0.5}); },
      [&] { memo->DisplayFormat().format_str = pick(std::vector<std::string>{"", "%2.2n"}); },
      [&] { memo->DisplayFormat().kind = static_cast<TfrxFormatKind>(random() % 4); },
      [&] { memo->Highlight().condition = pick(std::vector<std::string>{"", " ", "<A> > 1"}); },
      [&] { memo->Highlight().font.name = pick(std::vector<std::string>{"Arial", "Courier"}); },
      [&] { memo->flow_to.Set(random() % 2 ? l.other : nullptr); },
      [&] { view->tag = static_cast<int>(random() % 3) - 1; },
      [&] { view->tag_str = pick(std::vector<std::string>{"", "tag <1>"}); },
      [&] { view->on_before_print = pick(std::vector<std::string>{"", "Memo1OnBeforePrint"}); },
      [&] { view->SetDataSetName(pick(std::vector<std::string>{"", "Query1"})); },
      [&] { view->restrictions = static_cast<uint32_t>(random() % 4); },
      [&] { view->Hyperlink().value = pick(std::vector<std::string>{"", "http://x/?a=1&b=2"}); },
      [&] {
        l.picture->Picture().data = pick(std::vector<std::string>{"", "GIF89a\x01\x02", "\x89PNG"});
      },
      [&] { l.picture->image_index = pick(std::vector<int>{-1, 0, 1, 7}); },
      [&] { l.line->diagonal = random() % 2 == 0; },
      [&] { l.shape->shape = static_cast<TfrxShapeKind>(random() % 7); },
      [&] { l.band->keep_child = random() % 2 == 0; },
  };
  changes[random() % changes.size()]();
}

TEST(DifferenceWriter, GivesTheGeneralPathsTextForEveryKindOfChange) {
  Layout l;
  TfrxPreviewPages& pages = l.report.PreviewPages();
  pages.Initialize();
  pages.AddSourcePage(l.page);
  std::vector<std::unique_ptr<DifferenceWriter>> writers;
  for (TfrxComponent* object : l.objects) {
    const TfrxComponent* source = pages.SourceCopy(object);
    ASSERT_NE(source, nullptr) << object->Name();
    writers.push_back(std::make_unique<DifferenceWriter>(*source));
  }
  TfrxXMLSerializer serializer;
  std::mt19937 random(20261209);
  int differing = 0;
  for (int round = 0; round < 3000; ++round) {
    for (int i = 0; i < 3; ++i) Change(l, random);
    for (size_t i = 0; i < l.objects.size(); ++i) {
      const std::string general = FullDiff(serializer, *l.objects[i], pages.SourceCopy(l.objects[i]));
      std::string fast = "kept ";
      writers[i]->Append(serializer, *l.objects[i], fast);
      ASSERT_EQ(fast, "kept " + general) << "round " << round << ", " << l.objects[i]->Name();
      if (!general.empty()) ++differing;
    }
  }
  EXPECT_GT(differing, 3000);  // the changes did make the objects differ
}

TEST(DifferenceWriter, StoredItemsOfNestedObjectsAreTheGeneralPathsTexts) {
  Layout l;
  TfrxPreviewPages& pages = l.report.PreviewPages();
  pages.Initialize();
  pages.AddSourcePage(l.page);
  pages.BeginPass();
  TfrxXMLSerializer serializer;
  std::mt19937 random(7);
  int stored = 0;
  for (int round = 0; round < 400; ++round) {
    if (round % 20 == 0) pages.AddPage(l.page);
    for (int i = 0; i < 4; ++i) Change(l, random);
    l.band->SetVisible(true);
    pages.AddObject(l.band);
    const core::TfrxXMLItem* page_item = pages.PageItem(pages.Count() - 1);
    const core::TfrxXMLItem* band_item = page_item->Items(page_item->Count() - 1);
    ASSERT_EQ(band_item->Text(), FullDiff(serializer, *l.band, pages.SourceCopy(l.band)));
    // Hidden and non-printing children get no item; the others follow in order.
    int child = 0;
    for (TfrxComponent* object : l.objects) {
      if (object == l.band) continue;
      auto* view = static_cast<TfrxView*>(object);
      if (!view->Visible() || !view->printable) continue;
      ASSERT_LT(child, band_item->Count()) << "round " << round;
      const core::TfrxXMLItem* item = band_item->Items(child++);
      EXPECT_EQ(item->Name(), pages.AliasOf(object));
      EXPECT_EQ(item->Text(), FullDiff(serializer, *object, pages.SourceCopy(object)))
          << "round " << round << ", " << object->Name();
      ++stored;
    }
    EXPECT_EQ(child, band_item->Count());
  }
  EXPECT_GT(stored, 1000);
}

TEST(DifferenceWriter, OtherClassesAndTheCurrentDecimalSeparatorFollowTheGeneralPath) {
  Layout l;
  TfrxPreviewPages& pages = l.report.PreviewPages();
  pages.Initialize();
  pages.AddSourcePage(l.page);
  const TfrxComponent* source = pages.SourceCopy(l.memo);
  ASSERT_NE(source, nullptr);
  DifferenceWriter writer(*source);
  TfrxXMLSerializer serializer;

  // An object of another class than the copy's is compared with it the general way.
  TfrxSysMemoView system;
  system.SetBounds(0, 0, 200, 18.9);
  system.SetText("[Name]");
  system.Frame().typ = frame_typ::kAll;
  std::string text;
  writer.Append(serializer, system, text);
  EXPECT_EQ(text, FullDiff(serializer, system, source));

  // Values are formatted with the settings of the moment, not those the writer began with.
  const core::FormatSettings saved = core::DefaultFormatSettings();
  core::FormatSettings dot = saved;
  dot.DecimalSeparator = saved.DecimalSeparator == "." ? "," : ".";
  l.memo->SetTop(83.15);
  l.memo->Frame().SetWidth(1.5);
  core::SetDefaultFormatSettings(dot);
  std::string changed;
  writer.Append(serializer, *l.memo, changed);
  const std::string general = FullDiff(serializer, *l.memo, source);
  core::SetDefaultFormatSettings(saved);
  EXPECT_EQ(changed, general);
  EXPECT_NE(changed.find("t=\"83" + dot.DecimalSeparator + "15\""), std::string::npos) << changed;
  EXPECT_NE(changed.find("Frame.Width=\"1" + dot.DecimalSeparator + "5\""), std::string::npos)
      << changed;

  // With defaults written too, the writer hands the whole object to the serializer.
  serializer.serialize_default_values = true;
  std::string everything;
  writer.Append(serializer, *l.memo, everything);
  EXPECT_EQ(everything, FullDiff(serializer, *l.memo, source));
  EXPECT_NE(everything.find("WordWrap=\"True\""), std::string::npos) << everything;
}

}  // namespace
}  // namespace lgoty::report
