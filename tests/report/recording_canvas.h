// A canvas that records what is drawn on it, for tests of layout and view drawing.
// PictureSize accepts bytes that start with "IMG" as a 40 x 20 picture.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/canvas.h"

namespace lgoty::report {

struct TextCall {
  double x, y;
  std::string text;
  CanvasFont font;
  double rotation;
};

class RecordingCanvas final : public TfrxCanvas {
 public:
  void BeginPage(double, double) override {}
  void EndPage() override {}
  void DrawText(double x, double y, std::string_view text, const CanvasFont& font, double,
                double rotation) override {
    texts.push_back({x, y, std::string(text), font, rotation});
  }
  void DrawLine(CanvasPoint from, CanvasPoint to, const CanvasPen& pen) override {
    lines.push_back({from, to});
    pens.push_back(pen);
  }
  void FillRect(const CanvasRect& rect, const CanvasBrush& brush) override {
    fills.push_back(rect);
    brushes.push_back(brush);
  }
  void FillGradient(const CanvasRect& rect, TColor, TColor, TfrxGradientStyle) override {
    fills.push_back(rect);
  }
  void DrawRect(const CanvasRect& rect, const CanvasPen&, const CanvasBrush&, double) override {
    rects.push_back(rect);
  }
  void DrawEllipse(const CanvasRect& rect, const CanvasPen&, const CanvasBrush&) override {
    rects.push_back(rect);
  }
  void DrawPolygon(const std::vector<CanvasPoint>& points, const CanvasPen&,
                   const CanvasBrush&) override {
    polygons.push_back(points);
  }
  bool PictureSize(std::string_view image, double& w, double& h) override {
    if (image.substr(0, 3) != "IMG") return false;
    w = 40;
    h = 20;
    return true;
  }
  bool DrawPicture(const CanvasRect& rect, std::string_view) override {
    pictures.push_back(rect);
    return true;
  }
  void PushClip(const CanvasRect& rect) override { clips.push_back(rect); }
  void PopClip() override { ++pops; }

  std::vector<TextCall> texts;
  std::vector<std::pair<CanvasPoint, CanvasPoint>> lines;
  std::vector<CanvasPen> pens;
  std::vector<CanvasRect> fills, rects, pictures, clips;
  std::vector<CanvasBrush> brushes;
  std::vector<std::vector<CanvasPoint>> polygons;
  int pops = 0;
};

}  // namespace lgoty::report
