#include "render/text_measurer.h"

#include <QFontMetricsF>
#include <cmath>
#include <QTextLayout>
#include <QTextOption>

#include "render/fonts.h"
#include "report/text_layout.h"

namespace lgoty::render {

QtTextMeasurer::MeasuredFont& QtTextMeasurer::FontOf(const report::CanvasFont& font) {
  const int height = font.MeasureHeight();
  if (last_ && height == last_height_ && font.style == last_style_ && font.name == last_name_) {
    return *last_;
  }
  auto key = std::make_tuple(font.name, height, font.style);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    QFont qfont = MakeFont(font);
    qfont.setPixelSize(std::max(1, height));
    MeasuredFont measured{qfont, std::vector<double>(kLowRange, std::nan("")), {}, false, {}};
    it = fonts_.emplace(key, std::move(measured)).first;
  }
  last_name_ = font.name;
  last_height_ = height;
  last_style_ = font.style;
  last_ = &it->second;
  return it->second;
}

// The advance of one character laid out on its own with design metrics.
double QtTextMeasurer::Advance(MeasuredFont& font, char32_t c) {
  double* slot = nullptr;
  if (c < kLowRange) {
    slot = &font.low_advances[c];
    if (!std::isnan(*slot)) return *slot;
  } else if (auto it = font.other_advances.find(c); it != font.other_advances.end()) {
    return it->second;
  }
  QString qtext = QString::fromUcs4(&c, 1);
  QTextLayout layout(qtext, font.font);
  QTextOption option;
  option.setUseDesignMetrics(true);
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  // Wide enough for any line (QTextLayout keeps widths as 26.6 fixed point).
  if (line.isValid()) line.setLineWidth(3.0e7);
  layout.endLayout();
  const double advance = line.isValid() ? line.cursorToX(static_cast<int>(qtext.size())) : 0;
  if (slot) {
    *slot = advance;
  } else {
    font.other_advances.emplace(c, advance);
  }
  return advance;
}

report::FontMetrics QtTextMeasurer::Metrics(const report::CanvasFont& font) {
  std::lock_guard lock(mutex_);
  MeasuredFont& measured = FontOf(font);
  if (!measured.has_metrics) {
    QFontMetricsF metrics(measured.font);
    measured.metrics = {metrics.ascent(), metrics.descent()};
    measured.has_metrics = true;
  }
  return measured.metrics;
}

void QtTextMeasurer::CharPositions(const report::CanvasFont& font, std::u32string_view text,
                                   std::vector<double>& positions) {
  positions.resize(text.size());
  if (text.empty()) return;
  std::lock_guard lock(mutex_);
  MeasuredFont& measured = FontOf(font);
  const double* low = measured.low_advances.data();
  double x = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A character of the low range measured before is taken here, without a call.
    const char32_t c = text[i];
    if (c < kLowRange && !std::isnan(low[c])) {
      x += low[c];
    } else {
      x += Advance(measured, c);
    }
    positions[i] = x;
  }
}

void InstallTextMeasurer() {
  report::SetDefaultTextMeasurer(std::make_unique<QtTextMeasurer>());
}

}  // namespace lgoty::render
