// The text measurer over Qt's font engine: fonts at their 600-units-per-inch pixel height
// (10 points = 83 units), hinting off and design metrics, so advances are fractional and the
// same on every desktop that has the same font files.
#pragma once

#include <QFont>
#include <map>
#include <mutex>

#include "report/canvas.h"

namespace lgoty::render {

// Needs a QGuiApplication (the font database). Thread-safe.
class QtTextMeasurer final : public report::TfrxTextMeasurer {
 public:
  report::FontMetrics Metrics(const report::CanvasFont& font) override;
  void CharPositions(const report::CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override;

 private:
  const QFont& FontOf(const report::CanvasFont& font);

  std::mutex mutex_;
  std::map<std::tuple<std::string, int, uint32_t>, QFont> fonts_;
};

// Makes a QtTextMeasurer the default measurer of every report layout (call once at start,
// after the QGuiApplication exists).
void InstallTextMeasurer();

}  // namespace lgoty::render
