#include "render/image_canvas.h"

#include <cmath>

namespace lgoty::render {

ImageCanvas::ImageCanvas(double dpi) : dpi_(dpi > 0 ? dpi : report::kScrPPI) {}

ImageCanvas::~ImageCanvas() {
  if (painter_.isActive()) painter_.end();
}

void ImageCanvas::BeginPage(double width, double height) {
  if (painter_.isActive()) EndPage();
  double scale = dpi_ / report::kScrPPI;
  int w = std::max(1, static_cast<int>(std::ceil(width * scale - 1e-6)));
  int h = std::max(1, static_cast<int>(std::ceil(height * scale - 1e-6)));
  image_ = QImage(w, h, QImage::Format_RGB32);
  int dots_per_metre = static_cast<int>(std::lround(dpi_ / 0.0254));
  image_.setDotsPerMeterX(dots_per_metre);
  image_.setDotsPerMeterY(dots_per_metre);
  image_.fill(Qt::white);
  painter_.begin(&image_);
  painter_.scale(scale, scale);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  SetPainter(&painter_);
}

void ImageCanvas::EndPage() {
  if (!painter_.isActive()) return;
  while (clip_depth_ > 0) PopClip();
  SetPainter(nullptr);
  painter_.end();
  pages_.push_back(image_);
}

bool ImageCanvas::SavePng(size_t page, const QString& file_name) const {
  if (page >= pages_.size()) return false;
  return pages_[page].save(file_name, "PNG");
}

}  // namespace lgoty::render
