#include "render/fonts.h"

#include <array>

#include "core/ascii_text.h"

namespace lgoty::render {
namespace {

struct FaceMapping {
  std::string_view face;
  const char* family;
};

// Faces fontconfig leaves to its generic fallback (a face of other metrics).
constexpr std::array<FaceMapping, 3> kOwnMappings{{
    {"Tahoma", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"Microsoft Sans Serif", "Liberation Sans"},
}};

}  // namespace

QString FamilyFor(std::string_view face_name) {
  for (const FaceMapping& mapping : kOwnMappings) {
    if (core::AsciiSameText(face_name, mapping.face)) return QString::fromLatin1(mapping.family);
  }
  return QString::fromUtf8(face_name.data(), static_cast<qsizetype>(face_name.size()));
}

QFont MakeFont(const report::CanvasFont& font) {
  QFont result(FamilyFor(font.name));
  result.setHintingPreference(QFont::PreferNoHinting);
  result.setStyleStrategy(QFont::PreferOutline);
  // No kerning: measured lines are the sums of the characters' advances, and drawn lines
  // must be exactly as wide.
  result.setKerning(false);
  result.setBold(font.style & report::font_style::fsBold);
  result.setItalic(font.style & report::font_style::fsItalic);
  result.setUnderline(font.style & report::font_style::fsUnderline);
  result.setStrikeOut(font.style & report::font_style::fsStrikeOut);
  return result;
}

}  // namespace lgoty::render
