#include "render/text_measurer.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>

#include "render/fonts.h"
#include "report/text_layout.h"

namespace lgoty::render {

const QFont& QtTextMeasurer::FontOf(const report::CanvasFont& font) {
  auto key = std::make_tuple(font.name, font.MeasureHeight(), font.style);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    QFont qfont = MakeFont(font);
    qfont.setPixelSize(std::max(1, font.MeasureHeight()));
    it = fonts_.emplace(key, qfont).first;
  }
  return it->second;
}

report::FontMetrics QtTextMeasurer::Metrics(const report::CanvasFont& font) {
  std::lock_guard lock(mutex_);
  QFontMetricsF metrics(FontOf(font));
  return {metrics.ascent(), metrics.descent()};
}

void QtTextMeasurer::CharPositions(const report::CanvasFont& font, std::u32string_view text,
                                   std::vector<double>& positions) {
  positions.resize(text.size());
  if (text.empty()) return;
  std::lock_guard lock(mutex_);
  QString qtext = QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
  QTextLayout layout(qtext, FontOf(font));
  QTextOption option;
  option.setUseDesignMetrics(true);
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  // Wide enough for any line (QTextLayout keeps widths as 26.6 fixed point).
  if (line.isValid()) line.setLineWidth(3.0e7);
  layout.endLayout();
  // Characters beyond the basic plane take two UTF-16 units.
  int cursor = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    cursor += text[i] > 0xFFFF ? 2 : 1;
    positions[i] = line.isValid() ? line.cursorToX(cursor) : 0;
  }
}

void InstallTextMeasurer() {
  report::SetDefaultTextMeasurer(std::make_unique<QtTextMeasurer>());
}

}  // namespace lgoty::render
