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
  bool AddsCharAdvances() const override { return true; }

 private:
  struct MeasuredFont {
    QFont font;
    std::vector<double> low_advances;  // characters below kLowRange; NaN until measured
    std::unordered_map<char32_t, double> other_advances;
    bool has_metrics = false;  // metrics below are measured
    report::FontMetrics metrics;
  };
  // Latin, Cyrillic and the punctuation blocks up to U+2200 go into a plain array.
  static constexpr char32_t kLowRange = 0x2200;

  MeasuredFont& FontOf(const report::CanvasFont& font);
  static double Advance(MeasuredFont& font, char32_t c);

  std::mutex mutex_;
  std::map<std::tuple<std::string, int, uint32_t>, MeasuredFont> fonts_;
  // The font asked for last (a memo's runs and lines share one): its key and entry. Map
  // entries stay where they are while others are added.
  std::string last_name_;
  int last_height_ = 0;
  uint32_t last_style_ = 0;
  MeasuredFont* last_ = nullptr;
};

// Makes a QtTextMeasurer the default measurer of every report layout (call once at start,
// after the QGuiApplication exists).
void InstallTextMeasurer();

}  // namespace lgoty::render
