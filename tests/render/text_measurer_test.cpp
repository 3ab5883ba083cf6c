// The Qt measurer with the Liberation faces: the numbers a layout builds on, and a memo
// measured end to end.
#include <gtest/gtest.h>

#include <QFontInfo>

#include <random>

#include "render/fonts.h"
#include "render/text_measurer.h"
#include "report/text_layout.h"
#include "report/views.h"
#include "tests/report/recording_canvas.h"

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

// The measurer says that its runs are sums of single characters' advances: a run's
// positions must be exactly the running sums of what each character measures alone, for
// every face, size and style and characters from every range.
TEST(QtMeasurer, RunsAreTheSumsOfSingleCharacterAdvances) {
  QtTextMeasurer measurer;
  ASSERT_TRUE(measurer.AddsCharAdvances());
  const std::u32string texts[] = {U"Иванов Иван Иванович", U"AVAW To. fi fl ffi",
                                  U"12 345,67 ₽", U"№ 5 — «ё» ∑∞ \t\U0001F600 x"};
  const char* names[] = {"Arial", "Times New Roman", "Courier New"};
  const double sizes[] = {8, 10, 10.5, 14};
  std::vector<double> run, one;
  for (const char* name : names) {
    for (double size : sizes) {
      for (uint32_t style = 0; style < 4; ++style) {
        CanvasFont font{name, size, style, report::kDefaultCharset, report::clBlack};
        for (const std::u32string& text : texts) {
          measurer.CharPositions(font, text, run);
          ASSERT_EQ(run.size(), text.size());
          double x = 0;
          for (size_t i = 0; i < text.size(); ++i) {
            QtTextMeasurer fresh;  // nothing kept from the run
            fresh.CharPositions(font, text.substr(i, 1), one);
            ASSERT_EQ(one.size(), 1u);
            x += one[0];
            EXPECT_EQ(run[i], x) << name << " " << size << " " << style << " at " << i;
          }
        }
      }
    }
  }
}

// Layouts with the Qt measurer keep its advances per font and sum them themselves: what
// they lay out and draw must be what a layout on the general path (asking the measurer
// for every run) lays out and draws, on random texts in several faces, sizes and styles,
// with tags, tabs, long words, every alignment and rotation.
TEST(QtMeasurer, LayoutsKeepingAdvancesLayOutAsTheMeasurerMeasures) {
  QtTextMeasurer measurer;
  report::TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  std::mt19937 random(1210);
  const std::string pieces[] = {
      "Иванов", " ", "Иван", "Иванович", "Ivan", "Smith-Jones", "\t", "12.03.1950", "<b>",
      "</b>", "<i>", "</i>", "<sub>", "</sub>", "<font color=\"#FF0000\">", "</font>", "№", "—",
      "∑", "переосвидетельствование", "\r\n", "ё", "W", ",", "-"};
  const CanvasFont fonts[] = {
      CanvasFont{},
      CanvasFont{"Arial", 8, report::font_style::fsBold, report::kDefaultCharset,
                 report::clBlack},
      CanvasFont{"Times New Roman", 12, report::font_style::fsItalic, 204, report::clBlack},
      CanvasFont{"Courier New", 10.5, 0, report::kDefaultCharset, report::clBlack}};
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    const uint32_t flags = random();
    const CanvasFont& font = fonts[random() % std::size(fonts)];
    const int rotations[] = {0, 0, 90, 180, 270, 30};
    const int rotation = rotations[random() % std::size(rotations)];
    const report::CanvasRect rect{2, 3, 2 + 20 + static_cast<double>(random() % 250),
                                  3 + 20 + static_cast<double>(random() % 150)};
    for (report::TfrxDrawText* layout : {&fast, &general}) {
      layout->SetFont(font);
      layout->SetOptions(!(flags & 1), flags & 2, rotation, true, true, flags & 4, false);
      layout->SetGaps(2, (flags & 8) ? 0.5 : 0, (flags & 16) ? 10 : 0);
      layout->SetDimensions(rect, rect);
    }
    EXPECT_EQ(fast.CountLines(text), general.CountLines(text)) << text;
    fast.SetText(text);
    general.SetText(text);
    EXPECT_EQ(fast.LineTexts(), general.LineTexts()) << text;
    EXPECT_EQ(fast.TextWidth(), general.TextWidth()) << text;
    report::RecordingCanvas drawn_fast, drawn_general;
    const auto halign = static_cast<report::TfrxHAlign>((flags >> 8) % 4);
    fast.DrawText(drawn_fast, halign, report::TfrxVAlign::vaTop);
    general.DrawText(drawn_general, halign, report::TfrxVAlign::vaTop);
    ASSERT_EQ(drawn_fast.texts.size(), drawn_general.texts.size()) << text;
    for (size_t i = 0; i < drawn_fast.texts.size(); ++i) {
      EXPECT_EQ(drawn_fast.texts[i].x, drawn_general.texts[i].x) << text;
      EXPECT_EQ(drawn_fast.texts[i].y, drawn_general.texts[i].y) << text;
      EXPECT_EQ(drawn_fast.texts[i].text, drawn_general.texts[i].text) << text;
    }
    if (HasFailure()) break;
  }
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
