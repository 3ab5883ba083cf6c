// A TrueType face embedded in a PDF file as a composite font: text is written as two-byte
// glyph numbers (Identity-H), the widths come from the face's design advances (the same
// advances the text measurer sums), and a ToUnicode map gives every glyph its character
// back, so that the text can be searched and extracted (Cyrillic included). Only the glyphs
// that were drawn are embedded: the face's glyph table is rewritten with the other glyphs
// left empty, so glyph numbers stay those of the face.
#pragma once

#include <QRawFont>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace lgoty::render {

class PdfFile;

class PdfFont {
 public:
  struct Glyph {
    uint16_t id = 0;
    double width = 0;  // advance in thousandths of the em
  };

  // raw: any size; the face is re-read at its design size.
  PdfFont(const QRawFont& raw, std::string subset_tag);

  bool IsValid() const { return valid_; }
  // The glyph of a character, noted as used; glyph 0 (the face's "missing" box) with its
  // advance for a character the face lacks.
  Glyph GlyphOf(char32_t c) {
    // A character looked up before in the low range is taken here, without a call.
    if (c < kLowRange && low_[c].id != kNotLookedUp) return low_[c];
    return LookUpGlyph(c);
  }
  // Underline and strike-out placement in thousandths of the em, positive above the
  // baseline for the strike-out and below it for the underline.
  double UnderlinePosition() const { return underline_position_; }
  double StrikeOutPosition() const { return strike_out_position_; }
  double LineThickness() const { return line_thickness_; }
  double Ascent() const { return ascent_; }    // thousandths of the em, above the baseline
  double Descent() const { return descent_; }  // below it, positive

  // Writes the font dictionary as object font_id with its descendant font, descriptor,
  // embedded face and ToUnicode map (new objects of file).
  void Write(PdfFile& file, int font_id);

 private:
  static constexpr char32_t kLowRange = 0x500;  // Latin and Cyrillic
  static constexpr uint16_t kNotLookedUp = 0xFFFF;

  Glyph LookUpGlyph(char32_t c);
  std::string SubsetFace();
  std::string PostScriptName() const;

  QRawFont raw_;
  bool valid_ = false;
  std::string subset_tag_;
  double units_per_em_ = 1000;
  double underline_position_ = 100, strike_out_position_ = 250, line_thickness_ = 50;
  double ascent_ = 800, descent_ = 200;
  std::vector<Glyph> low_;  // by character below kLowRange; id 0xFFFF: not looked up yet
  std::unordered_map<char32_t, Glyph> other_;
  std::map<uint16_t, char32_t> used_;  // glyph -> the first character drawn with it
  std::map<uint16_t, double> widths_;
};

}  // namespace lgoty::render
