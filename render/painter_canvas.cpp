#include "render/painter_canvas.h"

#include <QGlyphRun>
#include <QImage>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextLayout>

#include "render/fonts.h"

namespace lgoty::render {

using report::CanvasBrush;
using report::CanvasPen;
using report::CanvasPoint;
using report::CanvasRect;
using report::TBrushStyle;
using report::TColor;
using report::TfrxFrameStyle;

QColor ToQColor(TColor color) {
  if (color == report::clTransparent) return QColor(Qt::transparent);
  return QColor::fromRgb(report::ColorToRGB(color));
}

namespace {

QRectF ToQRect(const CanvasRect& rect) {
  return QRectF(QPointF(rect.left, rect.top), QPointF(rect.right, rect.bottom)).normalized();
}

// Null pen for transparent colours.
QPen ToQPen(const CanvasPen& pen) {
  if (pen.color == report::clTransparent) return QPen(Qt::NoPen);
  QPen result(ToQColor(pen.color));
  result.setWidthF(pen.width);
  result.setCapStyle(Qt::SquareCap);
  result.setJoinStyle(Qt::MiterJoin);
  switch (pen.style) {
    case TfrxFrameStyle::fsDash:
      result.setStyle(Qt::DashLine);
      break;
    case TfrxFrameStyle::fsDot:
      result.setStyle(Qt::DotLine);
      break;
    case TfrxFrameStyle::fsDashDot:
      result.setStyle(Qt::DashDotLine);
      break;
    case TfrxFrameStyle::fsDashDotDot:
      result.setStyle(Qt::DashDotDotLine);
      break;
    case TfrxFrameStyle::fsAltDot:
    case TfrxFrameStyle::fsSquare:
      result.setDashPattern({1, 1});
      break;
    case TfrxFrameStyle::fsSolid:
    case TfrxFrameStyle::fsDouble:
      break;
  }
  if (pen.style != TfrxFrameStyle::fsSolid && pen.style != TfrxFrameStyle::fsDouble) {
    result.setCapStyle(Qt::FlatCap);
  }
  return result;
}

Qt::BrushStyle HatchOf(TBrushStyle style) {
  switch (style) {
    case TBrushStyle::bsHorizontal: return Qt::HorPattern;
    case TBrushStyle::bsVertical: return Qt::VerPattern;
    case TBrushStyle::bsFDiagonal: return Qt::BDiagPattern;
    case TBrushStyle::bsBDiagonal: return Qt::FDiagPattern;
    case TBrushStyle::bsCross: return Qt::CrossPattern;
    case TBrushStyle::bsDiagCross: return Qt::DiagCrossPattern;
    case TBrushStyle::bsSolid:
    case TBrushStyle::bsClear: break;
  }
  return Qt::NoBrush;
}

// A brush is drawn as up to two layers: the back colour, then a hatch in the fore colour.
void FillPath(QPainter& painter, const QPainterPath& path, const CanvasBrush& brush) {
  if (brush.style == TBrushStyle::bsClear) return;
  if (brush.back_color != report::clTransparent) {
    painter.fillPath(path, ToQColor(brush.back_color));
  }
  Qt::BrushStyle hatch = HatchOf(brush.style);
  if (hatch != Qt::NoBrush && brush.fore_color != report::clTransparent) {
    painter.fillPath(path, QBrush(ToQColor(brush.fore_color), hatch));
  }
}

}  // namespace

bool PainterCanvas::DrawGlyphs(const QString& text, const QFont& font,
                               const report::CanvasFont& key, double spacing) {
  auto id = std::make_tuple(key.name, key.MeasureHeight(), key.style);
  auto it = raw_fonts_.find(id);
  if (it == raw_fonts_.end()) it = raw_fonts_.emplace(id, QRawFont::fromFont(font)).first;
  const QRawFont& raw = it->second;
  if (!raw.isValid()) return false;
  QList<quint32> glyphs = raw.glyphIndexesForString(text);
  if (glyphs.size() != text.size()) return false;  // characters beyond the basic plane
  for (qsizetype i = 0; i < glyphs.size(); ++i) {
    if (glyphs[i] == 0 && !text[i].isSpace()) return false;
  }
  QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
  QList<QPointF> positions;
  positions.reserve(glyphs.size());
  double x = 0;
  for (const QPointF& advance : advances) {
    positions.append(QPointF(x, 0));
    x += advance.x() + spacing;
  }
  QGlyphRun run;
  run.setRawFont(raw);
  run.setGlyphIndexes(glyphs);
  run.setPositions(positions);
  run.setUnderline(font.underline());
  run.setStrikeOut(font.strikeOut());
  painter_->drawGlyphRun(QPointF(0, 0), run);
  return true;
}

void PainterCanvas::DrawText(double x, double y, std::string_view text,
                             const report::CanvasFont& font, double char_spacing,
                             double rotation) {
  if (!painter_ || text.empty()) return;
  QFont qfont = MakeFont(font);
  // The text is drawn with the font the layout measured: its pixel height in measuring
  // units (600 per inch), under a transform that brings those units back to report units.
  // A font sized in report units directly would be rounded to whole pixels by Qt (13.33 to
  // 13 for 10 points), and right-aligned or centred lines would no longer end where the
  // layout put them.
  constexpr double kUnitsPerPixel = report::kMeasureScale;
  qfont.setPixelSize(std::max(1, font.MeasureHeight()));
  const double spacing = char_spacing * kUnitsPerPixel;
  const QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  painter_->save();
  painter_->translate(x, y);
  if (rotation != 0) painter_->rotate(-rotation);
  painter_->scale(1 / kUnitsPerPixel, 1 / kUnitsPerPixel);
  painter_->setPen(ToQColor(font.color));
  // Placing the glyphs directly is several times cheaper than a text layout per line, and
  // it draws the advances the measurer summed (render/text_measurer.h).
  if (!DrawGlyphs(qtext, qfont, font, spacing)) {
    if (spacing != 0) qfont.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    QTextLayout layout(qtext, qfont, painter_->device());
    QTextOption option;
    option.setUseDesignMetrics(true);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
      line.setLineWidth(3.0e7);
      layout.endLayout();
      layout.draw(painter_, QPointF(0, -line.ascent()));
    } else {
      layout.endLayout();
    }
  }
  painter_->restore();
}

void PainterCanvas::DrawLine(CanvasPoint from, CanvasPoint to, const CanvasPen& pen) {
  if (!painter_ || pen.color == report::clTransparent) return;
  painter_->setPen(ToQPen(pen));
  painter_->drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
}

void PainterCanvas::FillRect(const CanvasRect& rect, const CanvasBrush& brush) {
  if (!painter_) return;
  QPainterPath path;
  path.addRect(ToQRect(rect));
  FillPath(*painter_, path, brush);
}

void PainterCanvas::FillGradient(const CanvasRect& rect, TColor start_color, TColor end_color,
                                 report::TfrxGradientStyle style) {
  if (!painter_) return;
  using report::TfrxGradientStyle;
  QRectF r = ToQRect(rect);
  QColor start = ToQColor(start_color), end = ToQColor(end_color);
  QBrush brush;
  switch (style) {
    case TfrxGradientStyle::gsHorizontal: {
      QLinearGradient g(r.topLeft(), r.topRight());
      g.setColorAt(0, start);
      g.setColorAt(1, end);
      brush = QBrush(g);
      break;
    }
    case TfrxGradientStyle::gsVertical: {
      QLinearGradient g(r.topLeft(), r.bottomLeft());
      g.setColorAt(0, start);
      g.setColorAt(1, end);
      brush = QBrush(g);
      break;
    }
    case TfrxGradientStyle::gsVertCenter: {
      QLinearGradient g(r.topLeft(), r.bottomLeft());
      g.setColorAt(0, start);
      g.setColorAt(0.5, end);
      g.setColorAt(1, start);
      brush = QBrush(g);
      break;
    }
    case TfrxGradientStyle::gsHorizCenter: {
      QLinearGradient g(r.topLeft(), r.topRight());
      g.setColorAt(0, start);
      g.setColorAt(0.5, end);
      g.setColorAt(1, start);
      brush = QBrush(g);
      break;
    }
    case TfrxGradientStyle::gsElliptic:
    case TfrxGradientStyle::gsRectangle: {
      // The end colour in the middle, the start colour at the edges.
      QRadialGradient g(r.center(), std::max(r.width(), r.height()) / 2);
      g.setColorAt(0, end);
      g.setColorAt(1, start);
      brush = QBrush(g);
      break;
    }
  }
  painter_->fillRect(r, brush);
}

void PainterCanvas::FillAndStroke(const QPainterPath& path, const CanvasPen& pen,
                                  const CanvasBrush& brush) {
  FillPath(*painter_, path, brush);
  if (pen.color != report::clTransparent) {
    painter_->strokePath(path, ToQPen(pen));
  }
}

void PainterCanvas::DrawRect(const CanvasRect& rect, const CanvasPen& pen,
                             const CanvasBrush& brush, double corner_radius) {
  if (!painter_) return;
  QPainterPath path;
  if (corner_radius > 0) {
    path.addRoundedRect(ToQRect(rect), corner_radius, corner_radius);
  } else {
    path.addRect(ToQRect(rect));
  }
  FillAndStroke(path, pen, brush);
}

void PainterCanvas::DrawEllipse(const CanvasRect& rect, const CanvasPen& pen,
                                const CanvasBrush& brush) {
  if (!painter_) return;
  QPainterPath path;
  path.addEllipse(ToQRect(rect));
  FillAndStroke(path, pen, brush);
}

void PainterCanvas::DrawPolygon(const std::vector<CanvasPoint>& points, const CanvasPen& pen,
                                const CanvasBrush& brush) {
  if (!painter_ || points.size() < 2) return;
  QPolygonF polygon;
  for (const CanvasPoint& p : points) polygon << QPointF(p.x, p.y);
  QPainterPath path;
  path.addPolygon(polygon);
  path.closeSubpath();
  FillAndStroke(path, pen, brush);
}

bool PainterCanvas::PictureSize(std::string_view image, double& width, double& height) {
  return picture_.Size(image, width, height);
}

bool PainterCanvas::DrawPicture(const CanvasRect& rect, std::string_view image) {
  const QImage& decoded = picture_.Get(image);
  if (decoded.isNull()) return false;
  if (painter_) {
    painter_->save();
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_->drawImage(ToQRect(rect), decoded);
    painter_->restore();
  }
  return true;
}

void PainterCanvas::PushClip(const CanvasRect& rect) {
  if (!painter_) return;
  painter_->save();
  painter_->setClipRect(ToQRect(rect), painter_->hasClipping() ? Qt::IntersectClip
                                                                : Qt::ReplaceClip);
  ++clip_depth_;
}

void PainterCanvas::PopClip() {
  if (!painter_ || clip_depth_ == 0) return;
  painter_->restore();
  --clip_depth_;
}

}  // namespace lgoty::render
