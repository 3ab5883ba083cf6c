// The Qt measurer with the Liberation faces: the numbers a layout builds on, and a memo
// measured end to end.
#include <gtest/gtest.h>

#include <QFontInfo>

#include "render/fonts.h"
#include "render/text_measurer.h"
#include "report/text_layout.h"
#include "report/views.h"

namespace lgoty::render {
namespace {

using report::CanvasFont;

TEST(FaceMapping, TemplateFacesResolveToMetricCompatibleFaces) {
  auto family = [](const char* face) {
    CanvasFont font;
    font.name = face;
    return QFontInfo(MakeFont(font)).family();
  };
  EXPECT_EQ(family("Arial"), "Liberation Sans");
  EXPECT_EQ(family("Times New Roman"), "Liberation Serif");
  EXPECT_EQ(family("Courier New"), "Liberation Mono");
  EXPECT_EQ(family("Tahoma"), "Liberation Sans");
  EXPECT_EQ(family("MS Sans Serif"), "Liberation Sans");
}

TEST(QtMeasurer, AdvancesAreUnhintedAndAddUpAlongTheRun) {
  QtTextMeasurer measurer;
  CanvasFont arial;
  std::vector<double> positions;
  measurer.CharPositions(arial, U"Иванов Ivan", positions);
  ASSERT_EQ(positions.size(), 11u);
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_GT(positions[i], positions[i - 1]);
  // Liberation Sans has Arial's advance widths: "I" is 569/2048 em, "v" 1024/2048 em, at
  // 83 units to the em.
  std::vector<double> latin;
  measurer.CharPositions(arial, U"Iv", latin);
  EXPECT_NEAR(latin[0], 83 * 569.0 / 2048, 0.05);
  EXPECT_NEAR(latin[1], 83 * (569.0 + 1024.0) / 2048, 0.05);
  // Bold is wider; a monospaced face gives equal advances.
  CanvasFont bold = arial;
  bold.style = report::font_style::fsBold;
  EXPECT_GT(measurer.TextExtent(bold, U"Иванов"), measurer.TextExtent(arial, U"Иванов"));
  CanvasFont courier;
  courier.name = "Courier New";
  measurer.CharPositions(courier, U"iW", positions);
  EXPECT_NEAR(positions[1], 2 * positions[0], 1e-6);
  report::FontMetrics metrics = measurer.Metrics(arial);
  EXPECT_NEAR(metrics.ascent, 83 * 1854.0 / 2048, 1.0);
  EXPECT_NEAR(metrics.descent, 83 * 434.0 / 2048, 1.0);
}

TEST(QtMeasurer, FontsAskedForInTurnMeasureAsEachAskedForAlone) {
  CanvasFont arial;
  CanvasFont bold = arial;
  bold.style = report::font_style::fsBold;
  CanvasFont big = arial;
  big.size = 14;
  CanvasFont times;
  times.name = "Times New Roman";
  CanvasFont arial_red = arial;  // the colour does not change the measure
  arial_red.color = static_cast<report::TColor>(0x0000FF);
  const CanvasFont* fonts[] = {&arial, &bold, &big, &times, &arial_red};
  const std::u32string text = U"Иванов Iv 12,50";
  QtTextMeasurer shared;
  for (int round = 0; round < 3; ++round) {
    for (const CanvasFont* font : fonts) {
      QtTextMeasurer alone;
      std::vector<double> expected, got;
      alone.CharPositions(*font, text, expected);
      shared.CharPositions(*font, text, got);
      EXPECT_EQ(got, expected) << font->name << " " << font->size << " " << font->style;
      const report::FontMetrics fresh = alone.Metrics(*font);
      const report::FontMetrics kept = shared.Metrics(*font);
      EXPECT_EQ(kept.ascent, fresh.ascent);
      EXPECT_EQ(kept.descent, fresh.descent);
    }
  }
  std::vector<double> arial_positions, big_positions;
  shared.CharPositions(arial, text, arial_positions);
  shared.CharPositions(big, text, big_positions);
  EXPECT_GT(big_positions.back(), arial_positions.back());
  EXPECT_GT(shared.Metrics(big).ascent, shared.Metrics(arial).ascent);
}

TEST(QtMeasurer, OneLineArialTenMemoWithAFrameNeedsEighteenPixels) {
  report::TfrxDrawText layout;  // the installed Qt measurer
  report::TfrxMemoView memo;
  memo.SetBounds(0, 0, 300, 20);
  memo.SetText("Иванов Иван Иванович");
  memo.Frame().typ = report::frame_typ::kAll;
  EXPECT_EQ(report::CalcMemoHeight(memo, layout), 18);
  // Too narrow for one line: three lines of 15.28 pixels.
  memo.SetWidth(68);
  EXPECT_EQ(report::CalcMemoHeight(memo, layout), std::round(3 * (83 / 6.25 + 2) + 2 + 0.5));
  // The height counts the lines; the full layout shows where they break.
  {
    report::DrawTextLock lock(layout);
    report::PrepareMemoLayout(memo, layout);
  }
  EXPECT_EQ(layout.LineTexts(), (std::vector<std::string>{"Иванов", "Иван", "Иванович"}));
}

}  // namespace
}  // namespace lgoty::render
