// A canvas that writes a PDF file: one PDF page per BeginPage/EndPage, sized as asked, fonts
// embedded and text kept as text (it can be searched and extracted).
#pragma once

#include <QPainter>
#include <QPdfWriter>
#include <QString>

#include "render/painter_canvas.h"

namespace lgoty::render {

class PdfCanvas final : public PainterCanvas {
 public:
  // resolution: device units per inch inside the PDF (coordinates are rounded to them).
  explicit PdfCanvas(const QString& file_name, int resolution = 1200);
  ~PdfCanvas() override;
  PdfCanvas(const PdfCanvas&) = delete;
  PdfCanvas& operator=(const PdfCanvas&) = delete;

  void BeginPage(double width, double height) override;
  void EndPage() override;
  // Finishes the file; false when it could not be written. A canvas without pages writes
  // an empty A4 page.
  bool Finish();
  int PageCount() const { return pages_; }

 private:
  QPdfWriter writer_;
  QPainter painter_;
  int pages_ = 0;
  bool finished_ = false;
  bool failed_ = false;
};

}  // namespace lgoty::render
