// Arbitrary memo text (tags, broken UTF-8, long words) laid out with every option, split
// and drawn on a canvas that draws nothing. The first bytes choose the options.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "report/text_layout.h"

namespace {

class NullCanvas final : public lgoty::report::TfrxCanvas {
 public:
  void BeginPage(double, double) override {}
  void EndPage() override {}
  void DrawText(double, double, std::string_view, const lgoty::report::CanvasFont&, double,
                double) override {}
  void DrawLine(lgoty::report::CanvasPoint, lgoty::report::CanvasPoint,
                const lgoty::report::CanvasPen&) override {}
  void FillRect(const lgoty::report::CanvasRect&, const lgoty::report::CanvasBrush&) override {}
  void FillGradient(const lgoty::report::CanvasRect&, lgoty::report::TColor,
                    lgoty::report::TColor, lgoty::report::TfrxGradientStyle) override {}
  void DrawRect(const lgoty::report::CanvasRect&, const lgoty::report::CanvasPen&,
                const lgoty::report::CanvasBrush&, double) override {}
  void DrawEllipse(const lgoty::report::CanvasRect&, const lgoty::report::CanvasPen&,
                   const lgoty::report::CanvasBrush&) override {}
  void DrawPolygon(const std::vector<lgoty::report::CanvasPoint>&,
                   const lgoty::report::CanvasPen&, const lgoty::report::CanvasBrush&) override {}
  bool PictureSize(std::string_view, double&, double&) override { return false; }
  bool DrawPicture(const lgoty::report::CanvasRect&, std::string_view) override { return false; }
  void PushClip(const lgoty::report::CanvasRect&) override {}
  void PopClip() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lgoty::report;
  if (size < 4) return 0;
  uint8_t flags = data[0];
  double width = data[1];
  double height = data[2];
  int rotation = data[3] * 3;
  std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);

  TfrxDrawText layout;
  DrawTextLock lock(layout);
  layout.SetFont(CanvasFont{});
  layout.SetOptions(flags & 1, flags & 2, rotation, true, flags & 4, flags & 8, false);
  layout.SetGaps((flags & 16) ? -5 : 2, (flags & 32) ? 1.5 : 0, (flags & 64) ? 7 : 0);
  CanvasRect rect{0, 0, width, height};
  layout.SetDimensions(rect, rect);
  layout.SetText(text, flags & 128);
  layout.SetParaBreaks(flags & 1, flags & 2);
  (void)layout.TextHeight();
  (void)layout.TextWidth();
  PartTextResult part = layout.PartText();
  layout.SetText(part.rest);
  NullCanvas canvas;
  layout.DrawText(canvas, static_cast<TfrxHAlign>(flags % 4), static_cast<TfrxVAlign>(flags % 3),
                  flags & 4);
  return 0;
}
