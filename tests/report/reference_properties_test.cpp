// A rebuilt prepared-page object started from its compiled reference (plain values copied
// from a prototype, the rest applied as text) must equal the object the whole reference
// text builds, with and without stored differences on top.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "report/bands.h"
#include "report/graphics.h"
#include "report/pages.h"
#include "report/reference_properties.h"
#include "report/serializer.h"
#include "report/views.h"
#include "tests/report/tree_compare.h"

namespace lgoty::report {
namespace {

struct Built {
  std::unique_ptr<TfrxReportPage> page = std::make_unique<TfrxReportPage>();
  TfrxCustomMemoView* memo = nullptr;
};

// The memo inside a band of a page, as a rebuilt page holds it.
Built Build(const ReferenceProperties* compiled, const std::string& reference,
            const std::string& differences) {
  Built built;
  built.page->SetName("Page1");
  auto* band =
      static_cast<TfrxMasterData*>(built.page->Adopt(std::make_unique<TfrxMasterData>()));
  band->SetName("MasterData1");
  built.memo = static_cast<TfrxCustomMemoView*>(band->Adopt(std::make_unique<TfrxMemoView>()));
  TfrxXMLSerializer serializer;
  if (compiled) {
    compiled->CopyTo(*built.memo);
    std::string text;
    compiled->AppendRemainingText(text, differences);
    serializer.ApplyItemAttributes(text + " " + differences, *built.memo, built.page.get());
  } else {
    serializer.ApplyItemAttributes(reference + " " + differences, *built.memo, built.page.get());
  }
  return built;
}

TEST(ReferenceProperties, CompiledReferenceBuildsTheSameObjectAsItsText) {
  TfrxMemoView source;
  source.SetBounds(12.5, 3.25, 140.75, 33);
  source.SetText("Первая строка\r\nвторая & <третья>");
  source.Font().name = "Times New Roman";
  source.Font().height = -16;
  source.Font().style = font_style::fsBold | font_style::fsItalic;
  source.SetParentFont(false);
  source.Frame().typ = 15;
  source.Frame().width = 2.5;
  source.SetFillType(TfrxFillType::ftGradient);
  auto& gradient = static_cast<TfrxGradientFill&>(source.Fill());
  gradient.start_color = 0x00FF00;
  gradient.gradient_style = TfrxGradientStyle::gsVertCenter;
  source.halign = TfrxHAlign::haRight;
  source.word_wrap = false;
  source.on_before_print = "Memo1OnBeforePrint";
  source.tag_str = "метка";
  source.visibility = visibility::vsPreview;

  TfrxXMLSerializer writer;
  const std::string reference = writer.WriteAttributes(source, "");
  ASSERT_NE(reference.find("Fill.StartColor"), std::string::npos) << reference;
  TfrxXMLSerializer reader;
  const ReferenceProperties compiled(TfrxMemoView::StaticClass(), reference, reader);
  // Texts stay text; plain values do not.
  EXPECT_NE(compiled.RemainingText().find("Text="), std::string::npos);
  EXPECT_EQ(compiled.RemainingText().find("Font.Name"), std::string::npos)
      << compiled.RemainingText();

  const std::string changed = "t=\"50\" h=\"20\" Text=\"2\" Font.Style=\"0\" HAlign=\"haCenter\"";
  // A value that only mentions an attribute name sets nothing by it.
  const std::string mention = "TagStr=\"x Text= y\" OnBeforePrint=\"Other\"";
  for (const std::string& differences : {std::string(), changed, mention}) {
    SCOPED_TRACE(differences);
    Built expected = Build(nullptr, reference, differences);
    Built actual = Build(&compiled, reference, differences);
    testing::ExpectSameTree(*expected.page, *actual.page);
    EXPECT_EQ(actual.memo->Text(), expected.memo->Text());
    EXPECT_EQ(actual.memo->FillType(), TfrxFillType::ftGradient);
  }
  // What the differences set again is left out of the remaining text; the rest stays in
  // its order.
  std::string kept;
  compiled.AppendRemainingText(kept, changed);
  EXPECT_EQ(kept.find("Text="), std::string::npos) << kept;
  std::string all;
  compiled.AppendRemainingText(all, mention);
  EXPECT_EQ(all, compiled.RemainingText());
  // A nested object of another class than the prototype's (a fill type changed by the
  // differences) takes the text's values, not the prototype's.
  const std::string other_fill = "FillType=\"ftBrush\" Fill.BackColor=\"255\"";
  Built expected = Build(nullptr, reference, other_fill);
  Built actual = Build(&compiled, reference, other_fill);
  testing::ExpectSameTree(*expected.page, *actual.page);
}

// A compiled reference serves object after object: each built from it, also after objects
// whose nested fill was replaced by their differences, equals the one its text builds.
TEST(ReferenceProperties, ReusedReferenceBuildsEveryObjectAlike) {
  TfrxMemoView source;
  source.SetBounds(1, 2, 30, 4);
  source.Font().name = "Arial";
  source.Font().height = -9;
  source.SetParentFont(false);
  source.Frame().typ = 3;
  source.SetFillType(TfrxFillType::ftGlass);
  source.halign = TfrxHAlign::haCenter;
  source.SetText("[x]");
  TfrxXMLSerializer writer;
  const std::string reference = writer.WriteAttributes(source, "");
  TfrxXMLSerializer reader;
  const ReferenceProperties compiled(TfrxMemoView::StaticClass(), reference, reader);
  const std::vector<std::string> differences = {
      "", "FillType=\"ftBrush\" Fill.BackColor=\"255\"", "Font.Height=\"-20\" t=\"5\"",
      "FillType=\"ftGradient\" Fill.StartColor=\"65280\"", "Frame.Typ=\"0\" Text=\"y\"",
      "HAlign=\"haRight\""};
  for (int round = 0; round < 3; ++round) {
    for (const std::string& changed : differences) {
      SCOPED_TRACE(changed);
      Built expected = Build(nullptr, reference, changed);
      Built actual = Build(&compiled, reference, changed);
      testing::ExpectSameTree(*expected.page, *actual.page);
    }
  }
}

// Copying the values inside one nested object sets what applying that object's attributes
// of the reference text sets, and nothing else, for each nested object of the class.
TEST(ReferenceProperties, NestedCopiesSetWhatTheNestedAttributesSet) {
  TfrxMemoView source;
  source.Font().name = "Courier New";
  source.Font().height = -11;
  source.Font().color = 0x0000FF;
  source.Font().charset = 204;
  source.Font().pitch = TFontPitch::fpFixed;
  source.SetParentFont(false);
  source.Frame().typ = 5;
  source.Frame().SetWidth(1.5);
  source.Frame().top_line.color = 0x00FF00;
  source.Frame().drop_shadow = true;
  source.DisplayFormat().format_str = "%2.2n";
  source.DisplayFormat().kind = TfrxFormatKind::fkNumeric;
  source.Hyperlink().value = "http://x/?a=1";
  source.SetFillColor(0x123456);
  source.gap_x = 5;

  TfrxXMLSerializer writer;
  const std::string reference = writer.WriteAttributes(source, "");
  TfrxXMLSerializer reader;
  const ReferenceProperties compiled(TfrxMemoView::StaticClass(), reference, reader);
  const core::ClassInfo* cls = TfrxMemoView::StaticClass();
  int compared = 0;
  for (const char* nested : {"Font", "Frame", "DisplayFormat", "Hyperlink", "Fill", "GapX"}) {
    SCOPED_TRACE(nested);
    const std::string prefix = std::string(nested) + ".";
    std::string attributes;
    ForEachAttribute(reference, [&](const XmlAttribute& attribute) {
      if (attribute.name.substr(0, prefix.size()) == prefix) {
        attributes += ' ';
        attributes += attribute.whole;
      }
    });
    TfrxMemoView expected;
    TfrxXMLSerializer applier;
    applier.ApplyAttributes(attributes, expected);
    TfrxMemoView actual;
    compiled.CopyNestedTo(actual, cls->FindProperty(nested));
    TfrxXMLSerializer compare;
    EXPECT_EQ(compare.WriteAttributes(actual, ""), compare.WriteAttributes(expected, ""));
    if (!attributes.empty()) ++compared;
  }
  EXPECT_EQ(compared, 5);  // all but GapX, which is no nested object
  // Nothing for no property.
  TfrxMemoView untouched;
  compiled.CopyNestedTo(untouched, nullptr);
  EXPECT_EQ(writer.WriteAttributes(untouched, ""), writer.WriteAttributes(TfrxMemoView(), ""));
}

}  // namespace
}  // namespace lgoty::report
