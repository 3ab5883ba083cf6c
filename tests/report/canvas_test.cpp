// Helpers every canvas shares: colours of the object model and the text conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <random>

#include "core/utf8_text.h"
#include "report/canvas.h"
#include "report/graphics.h"

namespace lgoty::report {
namespace {

TEST(CanvasColors, WindowsOrderBecomesRgbAndSystemColoursResolve) {
  EXPECT_EQ(ColorToRGB(0x0000FF), 0xFF0000u);  // clRed
  EXPECT_EQ(ColorToRGB(0x123456), 0x563412u);
  EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFFu);
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xC0C0C0u);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x800000FFu)), 0u);  // unknown index
  TColor color = 0;
  EXPECT_TRUE(ColorFromName("CLRED", color));
  EXPECT_EQ(color, 0x0000FF);
  EXPECT_FALSE(ColorFromName("clReddish", color));
}

TEST(CanvasText, Utf8RoundTripsAndBadBytesBecomeReplacementCharacters) {
  std::string text = "Иванов A \xF0\x9F\x98\x80";
  std::u32string wide = core::Utf8ToUtf32(text);
  ASSERT_EQ(wide.size(), 10u);
  EXPECT_EQ(wide[0], U'И');
  EXPECT_EQ(wide[9], U'\U0001F600');
  EXPECT_EQ(core::Utf32ToUtf8(wide), text);
  // A lead byte at the end, a stray continuation byte, an overlong form.
  EXPECT_EQ(core::Utf8ToUtf32("a\xD0"), U"a\uFFFD");
  EXPECT_EQ(core::Utf8ToUtf32("\x80z"), U"\uFFFDz");
  EXPECT_EQ(core::Utf8ToUtf32("\xC0\xAF"), U"\uFFFD\uFFFD");
}

TEST(CanvasFontFromModel, SizeInPointsAndMeasuringHeight) {
  TfrxFont font;
  font.name = "Times New Roman";
  font.style = font_style::fsBold;
  CanvasFont canvas_font = CanvasFont::From(font);
  EXPECT_EQ(canvas_font.size, 10);
  EXPECT_EQ(canvas_font.MeasureHeight(), 83);
  EXPECT_EQ(canvas_font.style, font_style::fsBold);
  EXPECT_EQ(canvas_font.name, "Times New Roman");
}

// Sizes whose height falls on, just below and just above a half, negative and fractional
// sizes: the measuring height is rounded as lround rounds it, half away from zero.
TEST(CanvasFontFromModel, MeasuringHeightRoundsAsLround) {
  std::mt19937_64 random(20261212);
  CanvasFont font;
  for (int i = 0; i < 30000; ++i) {
    const double whole = static_cast<double>(static_cast<int64_t>(random() % 20001) - 10000);
    double size = (whole + 0.5) * 72.0 / kDefPPI;
    switch (random() % 4) {
      case 0: size = std::nextafter(size, -1e9); break;
      case 1: size = std::nextafter(size, 1e9); break;
      case 2: size = static_cast<double>(random() % 1'000'000) / 1000.0; break;
      default: break;
    }
    font.size = size;
    ASSERT_EQ(font.MeasureHeight(), static_cast<int>(std::lround(size * kDefPPI / 72.0)))
        << std::setprecision(20) << size;
  }
  font.size = 0.06;  // 0.5 units
  EXPECT_EQ(font.MeasureHeight(), 1);
  font.size = -0.06;
  EXPECT_EQ(font.MeasureHeight(), -1);
}

}  // namespace
}  // namespace lgoty::report
