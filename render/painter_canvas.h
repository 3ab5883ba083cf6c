// The report canvas over any QPainter: the preview draws a page into a widget with it, the
// printer into a printer, and the PDF and PNG canvases own a painter of their own. The
// painter's transform maps report units (pixels at 96 per inch) to its device; the canvas
// never changes that mapping for longer than one call.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <map>
#include <string>
#include <tuple>

#include "render/decoded_picture.h"
#include "report/canvas.h"

namespace lgoty::render {

class PainterCanvas : public report::TfrxCanvas {
 public:
  // painter is borrowed and may be set later; drawing without one does nothing.
  explicit PainterCanvas(QPainter* painter = nullptr) : painter_(painter) {}

  void SetPainter(QPainter* painter) { painter_ = painter; }
  QPainter* Painter() const { return painter_; }

  // A canvas over a painter that someone else owns has no pages of its own.
  void BeginPage(double, double) override {}
  void EndPage() override {}

  void DrawText(double x, double y, std::string_view text, const report::CanvasFont& font,
                double char_spacing = 0, double rotation = 0) override;
  void DrawLine(report::CanvasPoint from, report::CanvasPoint to,
                const report::CanvasPen& pen) override;
  void FillRect(const report::CanvasRect& rect, const report::CanvasBrush& brush) override;
  void FillGradient(const report::CanvasRect& rect, report::TColor start_color,
                    report::TColor end_color, report::TfrxGradientStyle style) override;
  void DrawRect(const report::CanvasRect& rect, const report::CanvasPen& pen,
                const report::CanvasBrush& brush, double corner_radius = 0) override;
  void DrawEllipse(const report::CanvasRect& rect, const report::CanvasPen& pen,
                   const report::CanvasBrush& brush) override;
  void DrawPolygon(const std::vector<report::CanvasPoint>& points, const report::CanvasPen& pen,
                   const report::CanvasBrush& brush) override;
  bool PictureSize(std::string_view image, double& width, double& height) override;
  bool DrawPicture(const report::CanvasRect& rect, std::string_view image) override;
  void PushClip(const report::CanvasRect& rect) override;
  void PopClip() override;

 protected:
  // Clip levels still open (a page owner closes them before ending a page).
  int clip_depth_ = 0;

 private:
  void FillAndStroke(const QPainterPath& path, const report::CanvasPen& pen,
                     const report::CanvasBrush& brush);
  // Draws the run as glyphs placed by their design advances, the way the layout measured
  // them; false (nothing drawn) when the font lacks a character and Qt's text layout must
  // find another font for it.
  bool DrawGlyphs(const QString& text, const QFont& font, const report::CanvasFont& key,
                  double spacing);

  // The image bytes last decoded: a picture's size is asked for just before it is drawn.

  QPainter* painter_;
  DecodedPicture picture_;
  // The fonts met so far as raw fonts, by face name, measuring height and style.
  std::map<std::tuple<std::string, int, uint32_t>, QRawFont> raw_fonts_;
};

QColor ToQColor(report::TColor color);

}  // namespace lgoty::render
