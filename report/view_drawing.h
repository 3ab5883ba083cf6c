// Drawing of views on a canvas: memos (fill, text, frame, shadow), lines, shapes and
// pictures. A prepared page is drawn by calling DrawView for each of its views; the screen,
// the printer, PDF and PNG differ only in the canvas.
#pragma once

#include "report/canvas.h"

namespace lgoty::report {

class TfrxDrawText;
class TfrxFrame;
class TfrxView;
class TfrxCustomFill;

// Draws a view at its absolute position (its own Left/Top plus those of its parents up to
// the page) times the scale, plus the offset, all in report units. Memos are laid out with
// the given layout (taking its lock), or with DefaultDrawText() when it is null. Views
// that are not visible draw nothing; subreports and unknown kinds draw their fill and frame.
void DrawView(const TfrxView& view, TfrxCanvas& canvas, double scale_x = 1, double scale_y = 1,
              double offset_x = 0, double offset_y = 0, TfrxDrawText* layout = nullptr);

// The pieces, for callers that draw their own objects (a page frame, a band fill).
// rect is where the object's box lies (its shadow, when drawn, is inside it).
void DrawFill(const TfrxCustomFill& fill, const CanvasRect& rect, TfrxCanvas& canvas);
void DrawFrame(const TfrxFrame& frame, const CanvasRect& rect, TfrxCanvas& canvas,
               double scale = 1);
void DrawShadow(const TfrxFrame& frame, const CanvasRect& rect, TfrxCanvas& canvas,
                double scale = 1);

// The bytes of an image file inside a picture's stored data, which may carry a graphic
// class name (a length byte and the name) and a 32-bit size before the file. Empty when no
// candidate decodes on the canvas.
std::string_view PictureImageBytes(std::string_view data, TfrxCanvas& canvas);

}  // namespace lgoty::report
