// The store writes a placed object's differences from its source copy through
// DifferenceWriter; the text must be, byte for byte, what the serializer's general path
// (FullDiff) gives for the same object, whatever was changed: fonts, frames, fills of
// another class, texts that need escaping, hidden objects, pictures in and out of the
// picture cache, references, nested objects, and the format settings of the moment.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/format_settings.h"
#include "core/xml_document.h"
#include "core/rtti.h"
#include "core/text_format.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/difference_writer.h"
#include "report/graphics.h"
#include "report/pages.h"
#include "report/persistent.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_detail.h"
#include "report/report.h"
#include "report/serializer.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using prepared_detail::DifferenceWriter;
using prepared_detail::FloatText;
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
    rows = report.Add(std::make_unique<TfrxUserDataSet>());
    rows->SetName("Rows");
    totals = report.Add(std::make_unique<TfrxUserDataSet>());
    totals->SetName("Totals");
    memo->data_set.Set(rows);
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
  TfrxUserDataSet* rows;
  TfrxUserDataSet* totals;
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
      // References: another target, none, and a target renamed under the same pointer.
      [&] { view->data_set.Set(pick(std::vector<TfrxDataSet*>{l.rows, l.totals, nullptr})); },
      [&] { l.other->SetName(pick(std::vector<std::string>{"Memo2", "Memo3"})); },
      [&] { l.totals->SetName(pick(std::vector<std::string>{"Totals", "TOTALS", "Sums"})); },
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
      [&] { view->Font().charset = pick(std::vector<int>{1, 204, 0}); },
      [&] { view->Font().pitch = static_cast<TFontPitch>(random() % 3); },
      [&] { view->Frame().shadow_width = pick(std::vector<double>{4, 2.25, 4.0000001}); },
      [&] { view->Frame().shadow_color = pick(std::vector<TColor>{clBlack, 0xFF00}); },
      [&] { view->Frame().bottom_line.style = static_cast<TfrxFrameStyle>(random() % 3); },
      [&] { view->Frame().right_line.color = pick(std::vector<TColor>{clBlack, 0xFF}); },
      [&] {
        if (auto* gradient = dynamic_cast<TfrxGradientFill*>(&view->Fill())) {
          gradient->end_color = pick(std::vector<TColor>{clBlack, 0x808080});
          gradient->gradient_style = static_cast<TfrxGradientStyle>(random() % 2);
        }
      },
      [&] {
        if (auto* glass = dynamic_cast<TfrxGlassFill*>(&view->Fill())) {
          glass->blend = pick(std::vector<double>{0.5, 0.25, 0.5000000001});
          glass->hatch = random() % 2 == 0;
        }
      },
      [&] {
        if (auto* brush = dynamic_cast<TfrxBrushFill*>(&view->Fill())) {
          brush->style = static_cast<TBrushStyle>(random() % 4);
          brush->fore_color = pick(std::vector<TColor>{clBlack, 0x00FF00});
        }
      },
      [&] { view->Hyperlink().kind = static_cast<TfrxHyperlinkKind>(random() % 3); },
      [&] { view->Hyperlink().expression = pick(std::vector<std::string>{"", "<Сумма>"}); },
      [&] { view->Hyperlink().values_separator = pick(std::vector<std::string>{"", ";"}); },
      [&] { memo->DisplayFormat().decimal_separator = pick(std::vector<std::string>{"", ","}); },
      [&] { memo->DisplayFormat().thousand_separator = pick(std::vector<std::string>{"", " "}); },
      [&] { l.band->FillGap().left = static_cast<int>(random() % 3); },
      [&] { l.band->FillGap().bottom = static_cast<int>(random() % 3); },
      // Positions with many digits, hundredths and near-hundredths, large and negative.
      [&] {
        view->SetTop(pick(std::vector<double>{123.45, -0.07, 99999.99, 1.005, 0.1 + 0.7,
                                              12345678901.23, 1e12 + 0.01, 2.0 / 3, 1e-3}));
      },
      [&] {
        memo->SetText(pick(std::vector<std::string>{"Ёлка & ель", "Сумма: 49\u00a0989,64",
                                                    "tab\there", "x\x01y", "<>", "&quot;"}));
      },
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
  for (int round = 0; round < 500; ++round) {
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
  // Separators of several bytes (a user's locale may give one), empty, and longer than the
  // room the writer keeps for one, in positions and in other floats.
  for (const char* separator : {"\xC2\xB7", "", "<sep>", "a very long separator"}) {
    core::FormatSettings odd = saved;
    odd.DecimalSeparator = separator;
    l.memo->SetTop(83.15 + (*separator ? 1 : 0));
    l.memo->SetHeight(-0.07);
    core::SetDefaultFormatSettings(odd);
    std::string fast;
    writer.Append(serializer, *l.memo, fast);
    const std::string expected = FullDiff(serializer, *l.memo, source);
    core::SetDefaultFormatSettings(saved);
    EXPECT_EQ(fast, expected) << separator;
  }

  // With defaults written too, the writer hands the whole object to the serializer.
  serializer.serialize_default_values = true;
  std::string everything;
  writer.Append(serializer, *l.memo, everything);
  EXPECT_EQ(everything, FullDiff(serializer, *l.memo, source));
  EXPECT_NE(everything.find("WordWrap=\"True\""), std::string::npos) << everything;
}

// Every byte value, alone and among letters, in a memo's text (kept in UTF-8) and in a
// string property (written in the ANSI code page): the writer decides from a table of
// bytes whether a text can be written as it is, and must decide as the escaping does.
TEST(DifferenceWriter, EveryByteInATextIsWrittenAsTheGeneralPathWritesIt) {
  Layout l;
  TfrxPreviewPages& pages = l.report.PreviewPages();
  pages.Initialize();
  pages.AddSourcePage(l.page);
  DifferenceWriter writer(*pages.SourceCopy(l.memo));
  TfrxXMLSerializer serializer;
  int escaped = 0;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string c(1, static_cast<char>(byte));
    // Short and long texts: the escaping treats values of 32 bytes and more otherwise.
    const std::string long_text = "a text long enough for the other escaping " + c + " here";
    for (const std::string& text : {c, "ab" + c + "cd", "Ж" + c, c + c + "x", long_text}) {
      l.memo->SetText(text);
      l.memo->tag_str = text;
      const std::string general = FullDiff(serializer, *l.memo, pages.SourceCopy(l.memo));
      std::string fast;
      writer.Append(serializer, *l.memo, fast);
      ASSERT_EQ(fast, general) << "byte " << byte;
      if (general.find('&') != std::string::npos) ++escaped;
    }
  }
  EXPECT_GT(escaped, 20);  // some bytes were escaped
}

using core::TypeKind;

// The value of attribute name in an attribute text; "-" when it is not there.
std::string ValueOf(const std::string& text, const std::string& name) {
  std::string value = "-";
  ForEachAttribute(text, [&](const XmlAttribute& attribute) {
    if (attribute.name == name) value = std::string(attribute.value);
  });
  return value;
}

// What a first pass keeps of an object writes its positions as FloatText does, also for the
// sums of heights a run makes, and leaves out the width of a memo that sizes itself.
TEST(DifferenceWriter, FirstPassPositionsAreTheGeneralText) {
  Layout l;
  TfrxPreviewPages& pages = l.report.PreviewPages();
  pages.Initialize();
  pages.AddSourcePage(l.page);
  const TfrxComponent* band_source = pages.SourceCopy(l.band);
  const TfrxComponent* memo_source = pages.SourceCopy(l.memo);
  ASSERT_NE(band_source, nullptr);
  ASSERT_NE(memo_source, nullptr);
  TfrxXMLSerializer serializer;
  std::mt19937 random(5);
  double top = 83.15;
  for (int row = 0; row < 4000; ++row) {
    top += row % 7 == 0 ? 33.0 : 18.9;
    if (row % 500 == 0) top = 37.8 * (row % 3);
    l.band->SetTop(top);
    const std::string band_text = prepared_detail::PartialDiff(serializer, *l.band, *band_source);
    ASSERT_EQ(ValueOf(band_text, "t"), FloatText(top)) << band_text;
    l.memo->SetBounds(top / 7, top / 3, 200 + top / 100, 18.9 + (row % 5) * 0.01);
    l.memo->auto_width = row % 4 == 0;
    const std::string memo_text = prepared_detail::PartialDiff(serializer, *l.memo, *memo_source);
    // Unchanged positions are left out.
    auto expected = [](double value, double source_value) {
      return std::fabs(value - source_value) > 0.0001 ? FloatText(value) : std::string("-");
    };
    EXPECT_EQ(ValueOf(memo_text, "l"), expected(l.memo->Left(), memo_source->Left())) << memo_text;
    EXPECT_EQ(ValueOf(memo_text, "t"), expected(l.memo->Top(), memo_source->Top())) << memo_text;
    EXPECT_EQ(ValueOf(memo_text, "w"), l.memo->auto_width
                                           ? "-"
                                           : expected(l.memo->Width(), memo_source->Width()))
        << memo_text;
    EXPECT_EQ(ValueOf(memo_text, "h"), expected(l.memo->Height(), memo_source->Height()))
        << memo_text;
  }
}

// A value different from the one the property has, through the property table.
bool ChangeValue(const core::PropInfo& p, core::TObject& object) {
  if (p.IsOrdinal()) {
    if (!p.set_ordinal) return false;
    int64_t v = p.get_ordinal(object);
    const int64_t count = p.kind == TypeKind::Enumeration && p.enum_info
                              ? static_cast<int64_t>(p.enum_info->names.size())
                              : 0;
    v = count > 0 ? (v + 1) % count : v + 1;
    p.set_ordinal(object, v);
    return true;
  }
  switch (p.kind) {
    case TypeKind::Float:
      if (!p.set_float) return false;
      p.set_float(object, p.get_float(object) + 0.5);
      return true;
    case TypeKind::String:
    case TypeKind::WString:
      if (!p.set_string) return false;
      p.set_string(object, p.get_string(object) + "x");
      return true;
    default:
      return false;
  }
}

// Every stored property of every nested class with a whole-value test, also inside nested
// values (a frame's lines), makes the test fail when it alone is changed: a property added
// to a class and left out of its test would otherwise never be written.
TEST(DifferenceWriter, WholeValueTestsSeeEveryStoredProperty) {
  std::vector<std::unique_ptr<core::TObject>> kinds;
  kinds.push_back(std::make_unique<TfrxFont>());
  kinds.push_back(std::make_unique<TfrxFrame>());
  kinds.push_back(std::make_unique<TfrxFrameLine>());
  kinds.push_back(std::make_unique<TfrxBrushFill>());
  kinds.push_back(std::make_unique<TfrxGradientFill>());
  kinds.push_back(std::make_unique<TfrxGlassFill>());
  kinds.push_back(std::make_unique<TfrxFormat>());
  kinds.push_back(std::make_unique<TfrxHyperlink>());
  kinds.push_back(std::make_unique<TfrxFillGaps>());
  int checked = 0;
  for (const auto& kind : kinds) {
    const core::ClassInfo* cls = kind->ClassType();
    ASSERT_NE(cls, nullptr);
    const prepared_detail::SameValueTest same = prepared_detail::SameValueTestFor(typeid(*kind));
    ASSERT_NE(same, nullptr) << cls->Name();
    // (property path) -> the object it lands on in a fresh value of the class.
    using Reach = std::function<core::TObject*(core::TObject&)>;
    auto check = [&](auto& self, const core::ClassInfo* info, const std::string& path,
                     const Reach& reach) -> void {
      for (const core::PropInfo* p : info->Properties()) {
        if (!p->stored) continue;
        if (p->kind == TypeKind::Class && p->role == core::ObjectRole::Nested) {
          const Reach nested_reach = [reach, p](core::TObject& root) {
            return p->get_object(*reach(root));
          };
          std::unique_ptr<core::TObject> probe = cls->Create();
          self(self, nested_reach(*probe)->ClassType(), path + p->name + ".", nested_reach);
          continue;
        }
        std::unique_ptr<core::TObject> a = cls->Create();
        std::unique_ptr<core::TObject> b = cls->Create();
        ASSERT_TRUE(same(*a, *b)) << path << p->name;
        ASSERT_TRUE(ChangeValue(*p, *reach(*b))) << cls->Name() << " " << path << p->name;
        EXPECT_FALSE(same(*a, *b)) << cls->Name() << " " << path << p->name;
        EXPECT_FALSE(same(*b, *a)) << cls->Name() << " " << path << p->name;
        ++checked;
      }
    };
    check(check, cls, "", Reach([](core::TObject& root) { return &root; }));
  }
  EXPECT_GE(checked, 40);
  // Other classes have no such test and are walked property by property.
  EXPECT_EQ(prepared_detail::SameValueTestFor(typeid(TfrxHighlight)), nullptr);
  EXPECT_EQ(prepared_detail::SameValueTestFor(typeid(TfrxMemoView)), nullptr);
}

// The objects a placed object holds through its nested properties, itself first.
void CollectValues(core::TObject& object, std::vector<core::TObject*>& out) {
  out.push_back(&object);
  const core::ClassInfo* cls = object.ClassType();
  if (!cls) return;
  for (const core::PropInfo* p : cls->Properties()) {
    if (p->kind != TypeKind::Class || p->role != core::ObjectRole::Nested || !p->get_object) {
      continue;
    }
    if (core::TObject* value = p->get_object(object)) CollectValues(*value, out);
  }
}

// Any property of any object in the layout (nested values included) set through the
// property table to a value of its kind: the writer reads most of them straight from the
// members, and must see what the getters give.
TEST(DifferenceWriter, ChangesThroughThePropertyTableGiveTheGeneralPathsText) {
  Layout l;
  TfrxPreviewPages& pages = l.report.PreviewPages();
  pages.Initialize();
  pages.AddSourcePage(l.page);
  std::vector<std::unique_ptr<DifferenceWriter>> writers;
  for (TfrxComponent* object : l.objects) {
    writers.push_back(std::make_unique<DifferenceWriter>(*pages.SourceCopy(object)));
  }
  TfrxXMLSerializer serializer;
  std::mt19937 random(31);
  const std::vector<std::string> texts = {"",  "x",  "a & b",      "<\"Ёж\">", "line\r\nnext",
                                          "[Name]", "Memo1OnBeforePrint", " "};
  const std::vector<double> numbers = {0, 1e-7, 0.5, 2, 18.9, -3.25, 1.0 / 3, 1e6};
  int written = 0;
  int changed = 0;
  for (int round = 0; round < 2000; ++round) {
    // Change a few properties of one object, then compare every object.
    const size_t which = random() % l.objects.size();
    std::vector<core::TObject*> values;
    CollectValues(*l.objects[which], values);
    for (int step = 0; step < 3; ++step) {
      core::TObject* target = values[random() % values.size()];
      if (!target->ClassType() || target->ClassType()->Properties().empty()) continue;
      const auto& props = target->ClassType()->Properties();
      const core::PropInfo& p = *props[random() % props.size()];
      if (p.name == "Name" || p.name == "Parent") continue;
      try {
        if (p.IsOrdinal() && p.set_ordinal) {
          int64_t v = static_cast<int64_t>(random() % 4);
          if (p.kind == TypeKind::Enumeration && p.enum_info && !p.enum_info->names.empty()) {
            v %= static_cast<int64_t>(p.enum_info->names.size());
          } else if (random() % 2) {
            v = p.get_ordinal(*target) + static_cast<int64_t>(random() % 300) - 150;
          }
          p.set_ordinal(*target, v);
        } else if (p.kind == TypeKind::Float && p.set_float) {
          p.set_float(*target, numbers[random() % numbers.size()]);
        } else if ((p.kind == TypeKind::String || p.kind == TypeKind::WString) && p.set_string) {
          p.set_string(*target, texts[random() % texts.size()]);
        } else {
          continue;
        }
        ++changed;
      } catch (const core::Exception&) {
        // out of the property's range: nothing changed
      }
    }
    for (size_t i = 0; i < l.objects.size(); ++i) {
      const std::string general =
          FullDiff(serializer, *l.objects[i], pages.SourceCopy(l.objects[i]));
      std::string fast;
      writers[i]->Append(serializer, *l.objects[i], fast);
      ASSERT_EQ(fast, general) << "round " << round << ", " << l.objects[i]->Name();
      written += general.empty() ? 0 : 1;
    }
  }
  EXPECT_GT(changed, 3000);
  EXPECT_GT(written, 5000);
}

// For every class that can be made, a property held in a member reads the same at the
// member's offset (taken in one object) as through its getter in another object, after
// values set through the table: the writer relies on it for every class it meets.
TEST(DifferenceWriter, MemberOffsetsReadWhatTheGettersGiveInEveryClass) {
  RegisterReportClasses();
  std::mt19937 random(11);
  int checked = 0;
  for (const core::ClassInfo* cls : core::ClassRegistry::Instance().Classes()) {
    if (!cls->CanCreate()) continue;
    std::unique_ptr<core::TObject> first = cls->Create();
    std::unique_ptr<core::TObject> second = cls->Create();
    if (!first || !second) continue;
    const auto* start_first = static_cast<const char*>(dynamic_cast<const void*>(first.get()));
    const auto* start_second = static_cast<const char*>(dynamic_cast<const void*>(second.get()));
    for (const core::PropInfo* p : cls->Properties()) {
      if (p->field_type == core::FieldType::None) continue;
      const ptrdiff_t offset = static_cast<const char*>(p->field_address(*first)) - start_first;
      const void* at = start_second + offset;
      for (int round = 0; round < 4; ++round) {
        try {
          if (core::IsOrdinalField(p->field_type)) {
            if (p->set_ordinal) p->set_ordinal(*second, static_cast<int64_t>(random() % 70000) - 1000);
            ASSERT_EQ(core::ReadOrdinalField(p->field_type, at), p->get_ordinal(*second))
                << cls->Name() << "." << p->name;
          } else if (p->field_type == core::FieldType::Double) {
            if (p->set_float) p->set_float(*second, static_cast<double>(random() % 1000) / 7);
            ASSERT_EQ(*static_cast<const double*>(at), p->get_float(*second))
                << cls->Name() << "." << p->name;
          } else if (p->field_type == core::FieldType::Object) {
            // A nested value in a member: the object at the offset is the one the getter
            // gives, of the exact class it has in the first object.
            const core::TObject* value = p->get_object(*second);
            ASSERT_EQ(static_cast<const void*>(value), at) << cls->Name() << "." << p->name;
            ASSERT_EQ(typeid(*value), typeid(*p->get_object(*first)))
                << cls->Name() << "." << p->name;
          } else {
            if (p->set_string) p->set_string(*second, std::string(random() % 40, 'q'));
            ASSERT_EQ(*static_cast<const std::string*>(at), p->get_string(*second))
                << cls->Name() << "." << p->name;
          }
          ++checked;
        } catch (const core::Exception&) {
          // out of range for the property
        }
      }
    }
  }
  EXPECT_GT(checked, 500);
}

// Every stored property of a nested value held in a member (a memo's frame and its lines,
// its font, its hyperlink), changed alone, is written as the general path writes it: the
// writer compares those values through their members where they lie in the holder, and
// must see each of them.
TEST(DifferenceWriter, EachPropertyOfANestedValueInAMemberIsSeenAlone) {
  using Reach = std::function<core::TObject*(core::TObject&)>;
  struct Target {
    size_t object;  // index in Layout::objects
    Reach reach;
    const core::PropInfo* prop;
    std::string path;
  };
  std::vector<Target> targets;
  {
    Layout l;
    auto collect = [&](auto& self, size_t object, core::TObject& value, const Reach& reach,
                       const std::string& path) -> void {
      for (const core::PropInfo* p : value.ClassType()->Properties()) {
        if (!p->stored) continue;
        if (p->kind == TypeKind::Class) {
          if (p->field_type != core::FieldType::Object) continue;
          const Reach nested = [reach, p](core::TObject& root) {
            return p->get_object(*reach(root));
          };
          self(self, object, *p->get_object(value), nested, path + p->name + ".");
        } else if (!path.empty()) {
          targets.push_back({object, reach, p, path + p->name});
        }
      }
    };
    for (size_t i = 0; i < l.objects.size(); ++i) {
      collect(collect, i, *l.objects[i], Reach([](core::TObject& root) { return &root; }), "");
    }
  }
  int written = 0;
  for (const Target& target : targets) {
    Layout l;
    l.other->SetParentFont(false);  // its font is stored
    TfrxPreviewPages& pages = l.report.PreviewPages();
    pages.Initialize();
    pages.AddSourcePage(l.page);
    TfrxComponent& object = *l.objects[target.object];
    const TfrxComponent& source = *pages.SourceCopy(&object);
    DifferenceWriter writer(source);
    if (!ChangeValue(*target.prop, *target.reach(object))) continue;
    TfrxXMLSerializer serializer;
    std::string fast;
    writer.Append(serializer, object, fast);
    const std::string general = FullDiff(serializer, object, &source);
    ASSERT_EQ(fast, general) << object.Name() << "." << target.path;
    written += general.empty() ? 0 : 1;
  }
  // Frames (4 lines each) on five views, fonts on the memos and the band, hyperlinks.
  EXPECT_GT(targets.size(), 150u);
  EXPECT_GT(written, 100);
}

// A string member of the same length as the source's that differs in one byte, at every
// place, for lengths that the comparison takes in different pieces (bytes, two 4-byte or
// two 8-byte words that overlap, memcmp).
TEST(DifferenceWriter, AStringOfTheSourcesLengthDifferingInOneByteIsSeen) {
  int written = 0;
  for (size_t length = 1; length <= 20; ++length) {
    std::string name;
    for (size_t i = 0; i < length; ++i) name += static_cast<char>('A' + i);
    for (size_t at = 0; at <= length; ++at) {
      Layout l;
      l.other->Font().name = name;  // its font is its own
      TfrxPreviewPages& pages = l.report.PreviewPages();
      pages.Initialize();
      pages.AddSourcePage(l.page);
      const TfrxComponent& source = *pages.SourceCopy(l.other);
      DifferenceWriter writer(source);
      std::string changed = name;
      if (at < length) changed[at] = 'z';  // at == length: unchanged
      l.other->Font().name = changed;
      TfrxXMLSerializer serializer;
      std::string fast;
      writer.Append(serializer, *l.other, fast);
      ASSERT_EQ(fast, FullDiff(serializer, *l.other, &source)) << changed;
      EXPECT_EQ(fast.empty(), at == length) << changed << ": " << fast;
      written += fast.empty() ? 0 : 1;
    }
  }
  EXPECT_EQ(written, 210);
}

TEST(DifferenceWriter, FloatTextOfHundredthsIsTheGeneralText) {
  std::vector<double> values = {0.0,    -0.0,    1,       -1,      37.8,     83.15,    720,
                                0.01,   -0.01,   0.07,    0.1 + 0.2, 1.005,  2.675,    1e-4,
                                0.00011, 1.0 / 3, 99999.99, 12345678901.23, 9999999999999.99,
                                1e13,   1e13 + 0.5, -1e13, 1e15, 4.35e-7, 18.8976377952756,
                                1122.51968503937, 0.5, 10.1, 100, 1e12 + 0.01};
  std::mt19937_64 random(42);
  for (int i = 0; i < 20000; ++i) {
    const int64_t n = static_cast<int64_t>(random() % 2000000000) - 1000000000;
    values.push_back(static_cast<double>(n) / 100);
    values.push_back(static_cast<double>(n) / 100 + 1e-9);
    values.push_back(static_cast<double>(n) * 0.01);  // not always n / 100
    values.push_back(std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 60)));
    // A few doubles away from a hundredth, as sums and products leave them.
    double near = static_cast<double>(n) / 100;
    for (int step = static_cast<int>(random() % 40); step > 0; --step) {
      near = std::nextafter(near, random() % 2 ? 1e300 : -1e300);
    }
    values.push_back(near);
  }
  // Positions summed row after row and page after page, as a run places its bands.
  for (double height : {18.9, 33.0, 18.8976377952756, 0.1, 15.12}) {
    double top = 83.15;
    for (int row = 0; row < 3000; ++row) {
      top += height;
      values.push_back(top);
      values.push_back(-top);
      values.push_back(top / 1000);
      values.push_back(top * 1e7);
    }
  }
  // Just below and above powers of ten, where the number of integer digits changes.
  for (double power = 1e-4; power < 1e14; power *= 10) {
    double below = power;
    double above = power;
    for (int step = 0; step < 30; ++step) {
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, 1e300);
      values.push_back(below);
      values.push_back(above);
      values.push_back(-below);
    }
  }
  const core::FormatSettings saved = core::DefaultFormatSettings();
  for (const std::string separator : {".", ","}) {
    core::FormatSettings settings = saved;
    settings.DecimalSeparator = separator;
    core::SetDefaultFormatSettings(settings);
    for (double value : values) {
      std::string text = "x=";
      prepared_detail::AppendFloatText(text, value);
      ASSERT_EQ(text, "x=" + FloatText(value)) << std::hexfloat << value;
    }
  }
  core::SetDefaultFormatSettings(saved);
}

// Values that are no hundredths go through their digits rounded to 15: random doubles of
// every magnitude, subnormal to the largest, sums of heights, and decimals of 16
// digits ending in 5 (whose own shortest text is the rounding boundary), each against the
// serializer's general conversion.
TEST(DifferenceWriter, FloatTextOfAnyValueIsTheGeneralConversion) {
  std::vector<double> values = {1e-4, 9.99999999999999e-5, 1e15, 999999999999999.9, 1e14,
                                0.999999999999999944, 9.9999999999999995, 1.0000000000000002,
                                123456789012345.6, 0.30000000000000004, 5e-324, 1.7e308};
  std::mt19937_64 random(77);
  for (int i = 0; i < 40000; ++i) {
    const double mantissa = std::ldexp(static_cast<double>(random() >> 11), -53);
    values.push_back(std::ldexp(0.5 + mantissa / 2, static_cast<int>(random() % 70) - 16));
    // Any magnitude, written in exponential notation below 10^-4 and from 10^15 on.
    values.push_back(std::ldexp(0.5 + mantissa / 2, static_cast<int>(random() % 2100) - 1070));
    // 16 significant digits ending in 5 at a random decimal exponent.
    std::string decimal = std::to_string(1 + random() % 9);
    decimal += '.';
    for (int d = 0; d < 14; ++d) decimal += static_cast<char>('0' + random() % 10);
    decimal += "5e" + std::to_string(static_cast<int>(random() % 20) - 5);
    values.push_back(std::strtod(decimal.c_str(), nullptr));
    // A digit off a 15-digit decimal either way.
    values.push_back(std::nextafter(values.back(), random() % 2 ? 1e300 : -1e300));
    // Odd multiples of small powers of two: the exact product with a power of ten may lie
    // exactly halfway between two 15-digit decimals (1.000030517578125 = 1 + 2^-15).
    const int shift = 10 + static_cast<int>(random() % 40);
    values.push_back(std::ldexp(static_cast<double>((random() % (uint64_t{1} << 52)) | 1),
                                -shift));
    values.push_back(1 + std::ldexp(static_cast<double>(random() % 64 * 2 + 1), -15 - static_cast<int>(random() % 4)));
  }
  // Just below and above the powers of ten that change the number of integer digits.
  for (double power = 1e-4; power <= 1e15; power *= 10) {
    double below = power;
    double above = power;
    for (int step = 0; step < 200; ++step) {
      values.push_back(below = std::nextafter(below, 0.0));
      values.push_back(above = std::nextafter(above, 1e300));
    }
  }
  double top = 0;
  for (int row = 0; row < 5000; ++row) values.push_back(top += 37.79527559055118 / 3);
  const core::FormatSettings saved = core::DefaultFormatSettings();
  for (const std::string separator : {".", ","}) {
    core::FormatSettings settings = saved;
    settings.DecimalSeparator = separator;
    core::SetDefaultFormatSettings(settings);
    for (double value : values) {
      for (double signed_value : {value, -value}) {
        std::string text = "x=";
        prepared_detail::AppendFloatText(text, signed_value);
        ASSERT_EQ(text, "x=" + core::FloatToStr(signed_value, settings))
            << std::hexfloat << signed_value;
      }
    }
  }
  core::SetDefaultFormatSettings(saved);
}

}  // namespace
}  // namespace lgoty::report
