#include "report/view_drawing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "report/graphics.h"
#include "report/pages.h"
#include "report/text_layout.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

CanvasBrush SolidBrush(TColor color) {
  CanvasBrush brush;
  brush.back_color = color;
  return brush;
}

const CanvasBrush kNoBrush{clBlack, clTransparent, TBrushStyle::bsClear};

CanvasPen PenOf(const TfrxFrameLine& line, double scale) {
  CanvasPen pen;
  pen.color = line.color;
  pen.width = line.width * scale;
  pen.style = line.style;
  return pen;
}

CanvasPen PenOf(const TfrxFrame& frame, double scale) {
  CanvasPen pen;
  pen.color = frame.color;
  pen.width = frame.width * scale;
  pen.style = frame.style;
  return pen;
}

// One frame side. A double line is two lines of the given width, one on each side of the
// geometric line, with one width between them.
void DrawSide(TfrxCanvas& canvas, CanvasPoint from, CanvasPoint to, const CanvasPen& pen,
              bool vertical) {
  if (pen.style != TfrxFrameStyle::fsDouble) {
    canvas.DrawLine(from, to, pen);
    return;
  }
  double d = pen.width;
  CanvasPen solid = pen;
  solid.style = TfrxFrameStyle::fsSolid;
  for (double sign : {-1.0, 1.0}) {
    CanvasPoint a = from, b = to;
    if (vertical) {
      a.x += sign * d;
      b.x += sign * d;
    } else {
      a.y += sign * d;
      b.y += sign * d;
    }
    canvas.DrawLine(a, b, solid);
  }
}

// The position of a component on its page: its own plus its parents' up to the page.
CanvasPoint AbsolutePosition(const TfrxComponent& component) {
  CanvasPoint at{component.Left(), component.Top()};
  for (const TfrxComponent* p = component.Parent(); p && !CachedCast<const TfrxPage>(p);
       p = p->Parent()) {
    at.x += p->Left();
    at.y += p->Top();
  }
  return at;
}

CanvasRect Inset(const CanvasRect& rect, double dx, double dy) {
  return {rect.left + dx, rect.top + dy, rect.right - dx, rect.bottom - dy};
}

// The box of a view with a drop shadow leaves the shadow's width free at the right and the
// bottom.
CanvasRect BoxOf(const TfrxFrame& frame, const CanvasRect& rect, double scale) {
  if (!frame.drop_shadow) return rect;
  double shadow = frame.shadow_width * scale;
  return {rect.left, rect.top, rect.right - shadow, rect.bottom - shadow};
}

void DrawMemo(const TfrxCustomMemoView& memo, const CanvasRect& rect, double scale_x,
              double scale_y, TfrxCanvas& canvas, TfrxDrawText& layout) {
  const TfrxFrame& frame = memo.Frame();
  DrawShadow(frame, rect, canvas, scale_x);
  CanvasRect box = BoxOf(frame, rect, scale_x);
  DrawFill(memo.Fill(), box, canvas);
  // The memo's Text is empty when it has no lines or one empty line.
  const core::TStringList& lines = memo.Lines();
  const bool empty = lines.Count() == 0 || (lines.Count() == 1 && lines[0].empty());
  if (!empty || memo.underlines) {
    DrawTextLock lock(layout);
    layout.SetFont(memo.Font(), scale_y);
    // Text is clipped to the box here, not by the layout to the box less the gaps, so that
    // descenders reaching into the gaps stay visible.
    layout.SetOptions(memo.word_wrap, memo.allow_html_tags, memo.rotation, memo.wysiwyg, false,
                      memo.word_break, memo.rtl_reading);
    layout.SetGaps(memo.line_spacing * scale_y, memo.char_spacing * scale_x,
                   memo.paragraph_gap * scale_x);
    CanvasRect text_rect = Inset(box, memo.gap_x * scale_x, memo.gap_y * scale_y);
    layout.SetDimensions(text_rect, text_rect);
    layout.SetText(lines);
    layout.SetParaBreaks(memo.first_para_break, memo.last_para_break);
    if (memo.clipped) canvas.PushClip(box);
    layout.DrawText(canvas, memo.halign, memo.valign, memo.underlines, PenOf(frame, scale_x));
    if (memo.clipped) canvas.PopClip();
  }
  DrawFrame(frame, box, canvas, scale_x);
}

void DrawArrow(TfrxCanvas& canvas, CanvasPoint tip, CanvasPoint from, double length,
               double width, bool solid, const CanvasPen& pen) {
  double dx = tip.x - from.x, dy = tip.y - from.y;
  double norm = std::hypot(dx, dy);
  if (norm == 0) return;
  dx /= norm;
  dy /= norm;
  CanvasPoint base{tip.x - dx * length, tip.y - dy * length};
  CanvasPoint left{base.x - dy * width, base.y + dx * width};
  CanvasPoint right{base.x + dy * width, base.y - dx * width};
  if (solid) {
    canvas.DrawPolygon({tip, left, right}, pen, SolidBrush(pen.color));
  } else {
    canvas.DrawLine(left, tip, pen);
    canvas.DrawLine(right, tip, pen);
  }
}

void DrawLineView(const TfrxCustomLineView& line, const CanvasRect& rect, double scale,
                  TfrxCanvas& canvas) {
  const TfrxFrame& frame = line.Frame();
  CanvasPen pen = PenOf(frame, scale);
  CanvasPoint from{rect.left, rect.top}, to;
  if (line.diagonal) {
    to = {rect.right, rect.bottom};
  } else if (std::abs(rect.Width()) <= std::abs(rect.Height())) {
    to = {rect.left, rect.bottom};
    pen = PenOf(frame.left_line, scale);
  } else {
    to = {rect.right, rect.top};
    pen = PenOf(frame.top_line, scale);
  }
  DrawSide(canvas, from, to, pen, !line.diagonal && from.x == to.x);
  double length = line.arrow_length * scale, width = line.arrow_width * scale;
  if (line.arrow_end) DrawArrow(canvas, to, from, length, width, line.arrow_solid, pen);
  if (line.arrow_start) DrawArrow(canvas, from, to, length, width, line.arrow_solid, pen);
}

CanvasBrush BrushOf(const TfrxCustomFill& fill) {
  if (auto* brush = CachedCast<const TfrxBrushFill>(&fill)) {
    return {brush->fore_color, brush->back_color, brush->style};
  }
  if (auto* glass = CachedCast<const TfrxGlassFill>(&fill)) return SolidBrush(glass->color);
  if (auto* gradient = CachedCast<const TfrxGradientFill>(&fill)) {
    return SolidBrush(gradient->start_color);
  }
  return kNoBrush;
}

void DrawShapeView(const TfrxShapeView& shape, const CanvasRect& rect, double scale,
                   TfrxCanvas& canvas) {
  const TfrxFrame& frame = shape.Frame();
  CanvasPen pen = PenOf(frame, scale);
  CanvasBrush brush = BrushOf(shape.Fill());
  if (shape.color != clTransparent && brush.back_color == clTransparent) {
    brush.back_color = shape.color;
  }
  double l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  double cx = (l + r) / 2, cy = (t + b) / 2;
  switch (shape.shape) {
    case TfrxShapeKind::skRectangle:
      canvas.DrawRect(rect, pen, brush);
      break;
    case TfrxShapeKind::skRoundRectangle: {
      double radius = shape.curve > 0 ? shape.curve * scale
                                       : std::min(std::abs(rect.Width()), std::abs(rect.Height())) / 4;
      canvas.DrawRect(rect, pen, brush, radius);
      break;
    }
    case TfrxShapeKind::skEllipse:
      canvas.DrawEllipse(rect, pen, brush);
      break;
    case TfrxShapeKind::skTriangle:
      canvas.DrawPolygon({{cx, t}, {r, b}, {l, b}}, pen, brush);
      break;
    case TfrxShapeKind::skDiamond:
      canvas.DrawPolygon({{cx, t}, {r, cy}, {cx, b}, {l, cy}}, pen, brush);
      break;
    case TfrxShapeKind::skDiagonal1:
      canvas.DrawLine({l, b}, {r, t}, pen);
      break;
    case TfrxShapeKind::skDiagonal2:
      canvas.DrawLine({l, t}, {r, b}, pen);
      break;
  }
}

void DrawPictureView(const TfrxPictureView& view, const CanvasRect& rect, double scale,
                     TfrxCanvas& canvas) {
  const TfrxFrame& frame = view.Frame();
  DrawShadow(frame, rect, canvas, scale);
  CanvasRect box = BoxOf(frame, rect, scale);
  DrawFill(view.Fill(), box, canvas);
  const std::string& data = view.Picture().data;
  std::string_view image = PictureImageBytes(data, canvas);
  double natural_w = 0, natural_h = 0;
  if (!image.empty() && canvas.PictureSize(image, natural_w, natural_h) && natural_w > 0 &&
      natural_h > 0) {
    double w = natural_w * scale, h = natural_h * scale;
    if (view.stretched) {
      w = box.Width();
      h = box.Height();
      if (view.keep_aspect_ratio) {
        double k = std::min(box.Width() / natural_w, box.Height() / natural_h);
        w = natural_w * k;
        h = natural_h * k;
      }
    }
    double left = box.left, top = box.top;
    if (view.center) {
      left += (box.Width() - w) / 2;
      top += (box.Height() - h) / 2;
    }
    canvas.PushClip(box);
    canvas.DrawPicture({left, top, left + w, top + h}, image);
    canvas.PopClip();
  }
  DrawFrame(frame, box, canvas, scale);
}

}  // namespace

void DrawFill(const TfrxCustomFill& fill, const CanvasRect& rect, TfrxCanvas& canvas) {
  if (auto* brush = CachedCast<const TfrxBrushFill>(&fill)) {
    if (brush->IsEmpty()) return;
    canvas.FillRect(rect, {brush->fore_color, brush->back_color, brush->style});
  } else if (auto* gradient = CachedCast<const TfrxGradientFill>(&fill)) {
    canvas.FillGradient(rect, gradient->start_color, gradient->end_color,
                        gradient->gradient_style);
  } else if (auto* glass = CachedCast<const TfrxGlassFill>(&fill)) {
    // The colour, and over one half of it the colour blended towards white.
    canvas.FillRect(rect, SolidBrush(glass->color));
    uint32_t rgb = ColorToRGB(glass->color);
    double blend = std::clamp(glass->blend, 0.0, 1.0);
    auto lighten = [&](int shift) {
      double c = (rgb >> shift) & 0xFF;
      return static_cast<uint32_t>(std::lround(c + (255 - c) * blend));
    };
    TColor light = static_cast<TColor>(lighten(16) | (lighten(8) << 8) | (lighten(0) << 16));
    CanvasRect half = rect;
    switch (glass->orientation) {
      case TfrxFillOrientation::foHorizontal:
        half.bottom = rect.top + rect.Height() / 2;
        break;
      case TfrxFillOrientation::foHorizontalMirror:
        half.top = rect.top + rect.Height() / 2;
        break;
      case TfrxFillOrientation::foVertical:
        half.right = rect.left + rect.Width() / 2;
        break;
      case TfrxFillOrientation::foVerticalMirror:
        half.left = rect.left + rect.Width() / 2;
        break;
    }
    canvas.FillRect(half, SolidBrush(light));
    if (glass->hatch) {
      canvas.FillRect(rect, {light, clTransparent, TBrushStyle::bsBDiagonal});
    }
  }
}

void DrawShadow(const TfrxFrame& frame, const CanvasRect& rect, TfrxCanvas& canvas,
                double scale) {
  if (!frame.drop_shadow || frame.shadow_width <= 0) return;
  double shadow = frame.shadow_width * scale;
  CanvasBrush brush = SolidBrush(frame.shadow_color);
  canvas.FillRect({rect.right - shadow, rect.top + shadow, rect.right, rect.bottom}, brush);
  canvas.FillRect({rect.left + shadow, rect.bottom - shadow, rect.right, rect.bottom}, brush);
}

void DrawFrame(const TfrxFrame& frame, const CanvasRect& rect, TfrxCanvas& canvas,
               double scale) {
  const double l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  // A cell's frame: four single lines in one pen, which the canvas may draw in one go.
  if ((frame.typ & frame_typ::kAll) == frame_typ::kAll) {
    const CanvasPen pen = PenOf(frame.left_line, scale);
    if (pen.style != TfrxFrameStyle::fsDouble && PenOf(frame.right_line, scale) == pen &&
        PenOf(frame.top_line, scale) == pen && PenOf(frame.bottom_line, scale) == pen) {
      canvas.DrawFrameSides(rect, pen);
      return;
    }
  }
  if (frame.typ & frame_typ::ftLeft) {
    DrawSide(canvas, {l, t}, {l, b}, PenOf(frame.left_line, scale), true);
  }
  if (frame.typ & frame_typ::ftRight) {
    DrawSide(canvas, {r, t}, {r, b}, PenOf(frame.right_line, scale), true);
  }
  if (frame.typ & frame_typ::ftTop) {
    DrawSide(canvas, {l, t}, {r, t}, PenOf(frame.top_line, scale), false);
  }
  if (frame.typ & frame_typ::ftBottom) {
    DrawSide(canvas, {l, b}, {r, b}, PenOf(frame.bottom_line, scale), false);
  }
}

std::string_view PictureImageBytes(std::string_view data, TfrxCanvas& canvas) {
  double w = 0, h = 0;
  auto decodes = [&](std::string_view bytes) {
    return !bytes.empty() && canvas.PictureSize(bytes, w, h);
  };
  if (decodes(data)) return data;
  if (data.empty()) return {};
  size_t name_length = static_cast<unsigned char>(data[0]);
  if (1 + name_length > data.size()) return {};
  std::string_view after_name = data.substr(1 + name_length);
  if (decodes(after_name)) return after_name;
  if (after_name.size() > 4 && decodes(after_name.substr(4))) return after_name.substr(4);
  return {};
}

void DrawView(const TfrxView& view, TfrxCanvas& canvas, double scale_x, double scale_y,
              double offset_x, double offset_y, TfrxDrawText* layout) {
  if (!view.Visible()) return;
  const CanvasPoint at = AbsolutePosition(view);
  double left = at.x * scale_x + offset_x;
  double top = at.y * scale_y + offset_y;
  CanvasRect rect{left, top, left + view.Width() * scale_x, top + view.Height() * scale_y};
  if (auto* memo = CachedCast<const TfrxCustomMemoView>(&view)) {
    DrawMemo(*memo, rect, scale_x, scale_y, canvas, layout ? *layout : DefaultDrawText());
  } else if (auto* line = CachedCast<const TfrxCustomLineView>(&view)) {
    DrawLineView(*line, rect, scale_x, canvas);
  } else if (auto* shape = CachedCast<const TfrxShapeView>(&view)) {
    DrawShapeView(*shape, rect, scale_x, canvas);
  } else if (auto* picture = CachedCast<const TfrxPictureView>(&view)) {
    DrawPictureView(*picture, rect, scale_x, canvas);
  } else {
    DrawShadow(view.Frame(), rect, canvas, scale_x);
    CanvasRect box = BoxOf(view.Frame(), rect, scale_x);
    DrawFill(view.Fill(), box, canvas);
    DrawFrame(view.Frame(), box, canvas, scale_x);
  }
}

}  // namespace lgoty::report
