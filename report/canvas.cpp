#include "report/canvas.h"

#include <array>
#include <cmath>

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
  return static_cast<int>(std::lround(size * kDefPPI / 72.0));
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

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

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
    if (EqualsIgnoringAsciiCase(name, named.name)) {
      color = named.value;
      return true;
    }
  }
  return false;
}

std::u32string Utf8ToUtf32(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    int extra;
    char32_t cp;
    if (b < 0x80) {
      extra = 0;
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      out.push_back(U'\uFFFD');
      ++i;
      continue;
    }
    bool ok = i + extra < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(U'\uFFFD');
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

std::string Utf32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = U'\uFFFD';
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace lgoty::report
