#include "render/pdf_canvas.h"

#include <QPageLayout>
#include <QPageSize>

namespace lgoty::render {

namespace {

constexpr double kMillimetresPerInch = 25.4;

QPageSize PageSizeOf(double width, double height) {
  // Report units are 1/96 inch; a size within a fraction of a millimetre of a standard
  // paper takes its name (A4 stays A4).
  QSizeF size(std::max(1.0, width) * kMillimetresPerInch / report::kScrPPI,
              std::max(1.0, height) * kMillimetresPerInch / report::kScrPPI);
  return QPageSize(size, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
}

}  // namespace

PdfCanvas::PdfCanvas(const QString& file_name, int resolution) : writer_(file_name) {
  writer_.setResolution(resolution);
  writer_.setCreator(QStringLiteral("lgoty"));
  writer_.setPageMargins(QMarginsF(0, 0, 0, 0));
}

PdfCanvas::~PdfCanvas() { Finish(); }

void PdfCanvas::BeginPage(double width, double height) {
  if (finished_) return;
  // Paper sizes are portrait; a wider page is the same paper turned.
  bool landscape = width > height;
  QPageSize size = landscape ? PageSizeOf(height, width) : PageSizeOf(width, height);
  writer_.setPageSize(size);
  writer_.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  writer_.setPageMargins(QMarginsF(0, 0, 0, 0));
  if (!painter_.isActive()) {
    if (!painter_.begin(&writer_)) {
      failed_ = true;
      return;
    }
  } else if (!writer_.newPage()) {
    failed_ = true;
  }
  painter_.resetTransform();
  double scale = static_cast<double>(writer_.resolution()) / report::kScrPPI;
  painter_.scale(scale, scale);
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  SetPainter(&painter_);
  ++pages_;
}

void PdfCanvas::EndPage() {
  while (clip_depth_ > 0) PopClip();
}

bool PdfCanvas::Finish() {
  if (finished_) return !failed_;
  finished_ = true;
  if (!painter_.isActive()) {
    if (!painter_.begin(&writer_)) return false;
  }
  SetPainter(nullptr);
  if (!painter_.end()) failed_ = true;
  return !failed_;
}

}  // namespace lgoty::render
