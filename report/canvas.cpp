#include "report/canvas.h"

#include <array>
#include <cmath>

#include "core/ascii_text.h"
#include "core/rounding.h"
#include "core/utf8_text.h"
#include "report/graphics.h"

namespace lgoty::report {

CanvasFont CanvasFont::From(const TfrxFont& font) {
  CanvasFont result;
  result.name = font.name;
  result.size = font.Size();
  result.style = font.style;
  result.charset = font.charset;
  result.color = font.color;
  return result;
}

int CanvasFont::MeasureHeight() const {
  // Rounded half away from zero as lround does (asked for every run and line).
  const double height = size * kDefPPI / 72.0;
  if (!(std::fabs(height) < 2e9)) return static_cast<int>(std::lround(height));
  return static_cast<int>(core::RoundHalfAwayFromZero(height));
}

double TfrxTextMeasurer::TextExtent(const CanvasFont& font, std::u32string_view text) {
  if (text.empty()) return 0;
  std::vector<double> positions;
  CharPositions(font, text, positions);
  return positions.empty() ? 0 : positions.back();
}

namespace {

struct NamedColor {
  const char* name;
  TColor value;
};

// The colour identifiers templates and tags use (values 0x00BBGGRR).
constexpr std::array<NamedColor, 24> kNamedColors{{
    {"clBlack", 0x000000},     {"clMaroon", 0x000080}, {"clGreen", 0x008000},
    {"clOlive", 0x008080},     {"clNavy", 0x800000},   {"clPurple", 0x800080},
    {"clTeal", 0x808000},      {"clGray", 0x808080},   {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},       {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},      {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},     {"clLtGray", 0xC0C0C0}, {"clDkGray", 0x808080},
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},   {"clNone", 0x1FFFFFFF}, {"clTransparent", clTransparent},
}};

// The classic desktop scheme for system colours, by index (0x00RRGGBB).
constexpr std::array<uint32_t, 31> kSystemColors{{
    0xC0C0C0, 0x008080, 0x000080, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x000080, 0xFFFFFF, 0xC0C0C0,
    0x808080, 0x808080, 0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xDFDFDF, 0x000000,
    0xFFFFE1, 0xB5B5B5, 0x0000FF, 0x1084D0, 0xB5D5FF, 0x316AC5, 0xF0F0F0,
}};

}  // namespace

uint32_t ColorToRGB(TColor color) {
  if (color == clTransparent) return 0;
  auto value = static_cast<uint32_t>(color);
  if (value & 0x80000000u) {
    uint32_t index = value & 0xFF;
    return index < kSystemColors.size() ? kSystemColors[index] : 0;
  }
  return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

bool ColorFromName(std::string_view name, TColor& color) {
  for (const auto& named : kNamedColors) {
    if (core::AsciiSameText(name, named.name)) {
      color = named.value;
      return true;
    }
  }
  return false;
}

void TfrxCanvas::DrawFrameSides(const CanvasRect& rect, const CanvasPen& pen) {
  const double l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  DrawLine({l, t}, {l, b}, pen);
  DrawLine({r, t}, {r, b}, pen);
  DrawLine({l, t}, {r, t}, pen);
  DrawLine({l, b}, {r, b}, pen);
}

void TfrxCanvas::DrawChars(double x, double y, std::u32string_view chars,
                           const CanvasFont& font, double char_spacing, double rotation) {
  DrawText(x, y, core::Utf32ToUtf8(chars), font, char_spacing, rotation);
}

}  // namespace lgoty::report
