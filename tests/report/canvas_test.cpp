// Helpers every canvas shares: colours of the object model and the text conversions.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lgoty::report
