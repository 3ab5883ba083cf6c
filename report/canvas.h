// The two surfaces through which the report engine reaches fonts and drawing without knowing
// the window system: a text measurer (advances of characters at 600 units per inch) and a
// canvas (text, lines, rectangles, fills, shapes, pictures, clipping and pages) in report
// units. render/ implements both with QtGui; tests use fixed fakes.
//
// Units. Canvas coordinates are report units: pixels at 96 per inch, floats, as components
// store them; the canvas owner maps them to its device. Measuring works at 600 units per
// inch (kDefPPI), so one report pixel is 6.25 measuring units (kMeasureScale).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/enums.h"
#include "report/units.h"

namespace lgoty::report {

class TfrxFont;

inline constexpr int kDefPPI = 600;
inline constexpr int kScrPPI = 96;
inline constexpr double kMeasureScale = static_cast<double>(kDefPPI) / kScrPPI;  // 6.25

// A font as the object model describes it, reduced to what measuring and drawing need.
// The size is in points (a TfrxFont of height -13 pixels is 10 points), so one value serves
// every resolution.
struct CanvasFont {
  std::string name = "Arial";
  double size = 10;
  uint32_t style = 0;  // font_style bits: bold, italic, underline, strike-out
  int charset = kDefaultCharset;
  TColor color = clBlack;

  static CanvasFont From(const TfrxFont& font);
  // The height in measuring units as the layout uses it: round(size * 600 / 72).
  int MeasureHeight() const;
  bool operator==(const CanvasFont&) const = default;
};

// Vertical metrics of a font in measuring units (600 per inch).
struct FontMetrics {
  double ascent = 0;   // baseline to the top of the cell
  double descent = 0;  // baseline to the bottom of the cell
};

// Measures text at 600 units per inch with hinting off, so results depend only on the font
// files. Implementations may cache; they are not required to be thread-safe (the layout
// that owns one locks around its use).
class TfrxTextMeasurer {
 public:
  virtual ~TfrxTextMeasurer() = default;

  virtual FontMetrics Metrics(const CanvasFont& font) = 0;
  // positions receives one entry per character of text (UTF-32): the advance from the start
  // of the run to the end of that character, in measuring units. One call per run; a canvas
  // must draw the run exactly as wide as its measurer measured it.
  virtual void CharPositions(const CanvasFont& font, std::u32string_view text,
                             std::vector<double>& positions) = 0;
  // The advance of the whole run (the last position, or 0).
  double TextExtent(const CanvasFont& font, std::u32string_view text);
  // Whether a run's positions are the running sums, from 0 and left to right, of its
  // characters' advances, each the one position CharPositions gives that character alone
  // (no kerning or shaping across characters). A layout may then keep the advances of the
  // characters it has met and sum a run itself, to the same last bit.
  virtual bool AddsCharAdvances() const { return false; }
};

struct CanvasRect {
  double left = 0, top = 0, right = 0, bottom = 0;
  double Width() const { return right - left; }
  double Height() const { return bottom - top; }
  bool operator==(const CanvasRect&) const = default;
};

struct CanvasPoint {
  double x = 0, y = 0;
};

// Line style for lines, frames and outlines. Styles the canvas does not draw as such
// (fsDouble is two lines drawn by the caller) are drawn solid; fsAltDot and fsSquare are dot
// patterns.
struct CanvasPen {
  TColor color = clBlack;
  double width = 1;  // report units; 0 draws the thinnest line the device has
  TfrxFrameStyle style = TfrxFrameStyle::fsSolid;
  bool operator==(const CanvasPen&) const = default;
};

// Area fill: a solid colour or a hatch of fore_color over back_color. clTransparent
// colours draw nothing (a hatch over a transparent back colour leaves the gaps alone).
struct CanvasBrush {
  TColor fore_color = clBlack;
  TColor back_color = clTransparent;
  TBrushStyle style = TBrushStyle::bsSolid;  // bsSolid fills with back_color; bsClear: nothing
};

class TfrxCanvas {
 public:
  virtual ~TfrxCanvas() = default;

  // Pages, in report units. A canvas that draws into one fixed surface (a preview page
  // widget) may ignore them apart from clearing the page.
  virtual void BeginPage(double width, double height) = 0;
  virtual void EndPage() = 0;

  // Text run with its baseline starting at (x, y); UTF-8. char_spacing is added after every
  // character (report units); rotation turns the run counter-clockwise about (x, y) in
  // degrees. Underline and strike-out come from the font's style.
  virtual void DrawText(double x, double y, std::string_view text, const CanvasFont& font,
                        double char_spacing = 0, double rotation = 0) = 0;
  // The same run given as code points (what the text layout holds). Canvases that work on
  // code points take it as it is; the others get it as UTF-8 through DrawText.
  virtual void DrawChars(double x, double y, std::u32string_view chars, const CanvasFont& font,
                         double char_spacing = 0, double rotation = 0);
  virtual void DrawLine(CanvasPoint from, CanvasPoint to, const CanvasPen& pen) = 0;
  // The four sides of a frame in one pen, as four DrawLine calls in this order draw them:
  // left and right (top to bottom), top and bottom (left to right). A canvas may draw them
  // in one go when that gives what the four lines give.
  virtual void DrawFrameSides(const CanvasRect& rect, const CanvasPen& pen);
  virtual void FillRect(const CanvasRect& rect, const CanvasBrush& brush) = 0;
  // Colour gradient over the rectangle in one of the fill's gradient styles.
  virtual void FillGradient(const CanvasRect& rect, TColor start_color, TColor end_color,
                            TfrxGradientStyle style) = 0;
  // Outlined and filled figures; a pen with a transparent colour draws no outline.
  virtual void DrawRect(const CanvasRect& rect, const CanvasPen& pen, const CanvasBrush& brush,
                        double corner_radius = 0) = 0;
  virtual void DrawEllipse(const CanvasRect& rect, const CanvasPen& pen,
                           const CanvasBrush& brush) = 0;
  virtual void DrawPolygon(const std::vector<CanvasPoint>& points, const CanvasPen& pen,
                           const CanvasBrush& brush) = 0;
  // Pictures are the encoded bytes of an image file (PNG, JPEG, BMP, GIF, ...).
  // PictureSize gives the natural size in report units; both return false when the bytes
  // do not decode, in which case nothing is drawn.
  virtual bool PictureSize(std::string_view image, double& width, double& height) = 0;
  virtual bool DrawPicture(const CanvasRect& rect, std::string_view image) = 0;

  // Clipping nests: PushClip intersects with the current clip, PopClip restores it.
  virtual void PushClip(const CanvasRect& rect) = 0;
  virtual void PopClip() = 0;
};

// 0x00RRGGBB of a colour: Windows values are 0x00BBGGRR; system colours (0x80000000 |
// index) are resolved to the classic desktop scheme. clTransparent has no RGB (returns 0).
uint32_t ColorToRGB(TColor color);
// A colour by its identifier ("clRed", any letter case); false when unknown.
bool ColorFromName(std::string_view name, TColor& color);


}  // namespace lgoty::report
