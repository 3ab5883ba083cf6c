// A canvas that paints pages into images at a chosen resolution (96 dpi gives one image
// pixel per report unit) and saves them as PNG. Lines and fills are drawn without
// antialiasing, so edges land on whole pixels; text is antialiased.
#pragma once

#include <QImage>
#include <QPainter>
#include <QString>
#include <vector>

#include "render/painter_canvas.h"

namespace lgoty::render {

class ImageCanvas final : public PainterCanvas {
 public:
  explicit ImageCanvas(double dpi = report::kScrPPI);
  ~ImageCanvas() override;
  ImageCanvas(const ImageCanvas&) = delete;
  ImageCanvas& operator=(const ImageCanvas&) = delete;

  // A page starts white.
  void BeginPage(double width, double height) override;
  void EndPage() override;

  const std::vector<QImage>& Pages() const { return pages_; }
  // false when the page does not exist or the file could not be written.
  bool SavePng(size_t page, const QString& file_name) const;

 private:
  double dpi_;
  QImage image_;
  QPainter painter_;
  std::vector<QImage> pages_;
};

}  // namespace lgoty::render
