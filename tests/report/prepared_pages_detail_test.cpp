// The texts under which prepared pages store objects must stay what they have always been
// (saved prepared reports are compared and reloaded byte for byte): the fast float text
// must give exactly the general conversion's digits, and the difference texts must keep
// their attributes in the serializer's order without the long geometry names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/format_settings.h"
#include "core/text_format.h"
#include "report/bands.h"
#include "report/pages.h"
#include "report/prepared_pages_detail.h"
#include "report/serializer.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using prepared_detail::FloatText;

std::string General(double value) {
  return core::FloatToStr(value, core::DefaultFormatSettings());
}

TEST(PreparedPagesDetail, FloatTextIsTheGeneralConversionEverywhere) {
  std::vector<double> values = {0.0,     -0.0,   1,       -1,     37.8,   83.15,
                                720,     0.1,    0.2,     0.3,    1.0 / 3, 2.0 / 3,
                                0.0001,  0.00011, 0.00009999, 1e-5, 123456789012345.0,
                                999999999999999.0, 1e15, 1e15 + 2, 1e16, 4.35e-7,
                                0.1 + 0.2, 1e14 + 0.5, 99999999999999.98,
                                -737.00835, 18.8976377952756, 1122.51968503937};
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 20000; ++i) {
    // Report positions: hundredths of a pixel, millimetres turned into pixels, and doubles
    // of every magnitude and digit count.
    values.push_back(std::round(unit(random) * 300000) / 100);
    values.push_back(std::round(unit(random) * 3000) * 96 / 25.4 / 10);
    values.push_back(std::ldexp(unit(random) - 0.5, static_cast<int>(random() % 120) - 60));
  }
  for (double value : values) {
    EXPECT_EQ(FloatText(value), General(value)) << std::hexfloat << value;
  }
}

TEST(PreparedPagesDetail, FloatTextUsesTheCurrentDecimalSeparator) {
  const core::FormatSettings saved = core::DefaultFormatSettings();
  core::FormatSettings comma_settings = saved;
  comma_settings.DecimalSeparator = ",";
  core::SetDefaultFormatSettings(comma_settings);
  const std::string comma = FloatText(83.15);
  const std::string comma_general = General(83.15);
  core::SetDefaultFormatSettings(saved);
  EXPECT_EQ(comma, "83,15");
  EXPECT_EQ(comma, comma_general);
}

TEST(PreparedPagesDetail, FullDifferenceKeepsShortGeometryFirstAndTheSerializersOrder) {
  TfrxXMLSerializer serializer;
  TfrxReportPage page;
  auto* band = static_cast<TfrxMasterData*>(page.Adopt(std::make_unique<TfrxMasterData>()));
  auto* source = static_cast<TfrxMemoView*>(band->Adopt(std::make_unique<TfrxMemoView>()));
  source->SetBounds(10, 20, 100, 18.9);
  source->SetText("[A]");
  TfrxMemoView placed;
  placed.SetBounds(10, 83.15, 100, 33);
  placed.SetText("Иванов");
  placed.SetParentFont(false);
  placed.Font().name = "Times New Roman";
  const std::string diff = prepared_detail::FullDiff(serializer, placed, source);
  // Left and Width are the source's; Top and Height differ and come short, first.
  const std::string top = "t=\"" + General(83.15) + "\" h=\"33\" ";
  EXPECT_EQ(diff.rfind(top, 0), 0u) << diff;
  EXPECT_EQ(diff.find("Top="), std::string::npos) << diff;
  EXPECT_EQ(diff.find("Height="), std::string::npos) << diff;
  const size_t font = diff.find("Font.Name=\"Times New Roman\"");
  const size_t text = diff.find("Text=\"");
  ASSERT_NE(font, std::string::npos) << diff;
  ASSERT_NE(text, std::string::npos) << diff;
  EXPECT_LT(font, text) << diff;
  // Against no source: every geometry value and the class defaults' differences.
  const std::string full = prepared_detail::FullDiff(serializer, placed, nullptr);
  const std::string all = "l=\"10\" t=\"" + General(83.15) + "\" w=\"100\" h=\"33\" ";
  EXPECT_EQ(full.rfind(all, 0), 0u) << full;
}

TEST(PreparedPagesDetail, CachedCastAgreesWithTheLanguagesCastOnStoredClasses) {
  TfrxMemoView memo;
  TfrxPictureView picture;
  TfrxMasterData band;
  EXPECT_EQ(CachedCast<TfrxPictureView>(&memo), nullptr);
  EXPECT_EQ(CachedCast<TfrxPictureView>(&picture), &picture);
  EXPECT_EQ(CachedCast<const TfrxView>(static_cast<const TfrxComponent*>(&memo)),
            &memo);
  EXPECT_EQ(CachedCast<TfrxView>(&band), nullptr);  // a band is no view
  // A view that does not print in preview is left out of the stored pages; a band prints.
  memo.visibility = visibility::vsPrint;
  EXPECT_FALSE(prepared_detail::PrintableInPreview(memo));
  EXPECT_TRUE(prepared_detail::PrintableInPreview(band));
}

TEST(PreparedPagesDetail, FindObjectTakesTheFirstInTreeOrderIgnoringLetterCase) {
  TfrxReportPage page;
  auto* first_band = page.Adopt(std::make_unique<TfrxMasterData>());
  first_band->SetName("Band1");
  auto* inner = first_band->Adopt(std::make_unique<TfrxMemoView>());
  inner->SetName("Memo1");
  auto* second_band = page.Adopt(std::make_unique<TfrxMasterData>());
  second_band->SetName("Band2");
  auto* later = second_band->Adopt(std::make_unique<TfrxMemoView>());
  later->SetName("Memo2");
  EXPECT_EQ(page.FindObject("memo1"), inner);
  EXPECT_EQ(page.FindObject("MEMO2"), later);
  EXPECT_EQ(page.FindObject("band2"), second_band);
  EXPECT_EQ(page.FindObject("Page1"), nullptr);  // the object itself is not searched
  EXPECT_EQ(page.FindObject("Memo"), nullptr);
  EXPECT_EQ(first_band->FindObject("Memo2"), nullptr);  // only below the object
}

}  // namespace
}  // namespace lgoty::report
