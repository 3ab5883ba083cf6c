// The text measurer over Qt's font engine: fonts at their 600-units-per-inch pixel height
// (10 points = 83 units), hinting off and design metrics, so advances are fractional and the
// same on every desktop that has the same font files.
//
// A run's positions are the sums of its characters' advances: fonts are used without
// kerning (render::MakeFont), here and when text is drawn, so a line is drawn exactly as
// wide as it was measured. Each character's advance is measured once per font and kept;
// shaping every run again cost more than the rest of a report run together.
#pragma once

#include <QFont>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "report/canvas.h"

namespace lgoty::render {

// Needs a QGuiApplication (the font database). Thread-safe.
class QtTextMeasurer final : public report::TfrxTextMeasurer {
 public:
  report::FontMetrics Metrics(const report::CanvasFont& font) override;
  void CharPositions(const report::CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override;

 private:
  struct MeasuredFont {
    QFont font;
    std::vector<double> low_advances;  // characters below kLowRange; NaN until measured
    std::unordered_map<char32_t, double> other_advances;
  };
  // Latin, Cyrillic and the punctuation blocks up to U+2200 go into a plain array.
  static constexpr char32_t kLowRange = 0x2200;

  MeasuredFont& FontOf(const report::CanvasFont& font);
  static double Advance(MeasuredFont& font, char32_t c);

  std::mutex mutex_;
  std::map<std::tuple<std::string, int, uint32_t>, MeasuredFont> fonts_;
};

// Makes a QtTextMeasurer the default measurer of every report layout (call once at start,
// after the QGuiApplication exists).
void InstallTextMeasurer();

}  // namespace lgoty::render
