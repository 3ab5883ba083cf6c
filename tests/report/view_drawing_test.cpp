// Views on a recording canvas: where frames, shadows, lines, shapes and pictures go.
#include <gtest/gtest.h>

#include "report/bands.h"
#include "report/graphics.h"
#include "report/view_drawing.h"
#include "report/views.h"
#include "tests/report/recording_canvas.h"

namespace lgoty::report {
namespace {

bool Same(CanvasPoint a, CanvasPoint b) { return a.x == b.x && a.y == b.y; }

TEST(ViewDrawing, FrameSidesUseTheirOwnLinesAndADoubleSideIsTwoLines) {
  TfrxShapeView plain;  // only for a frame object
  TfrxFrame& frame = plain.Frame();
  frame.typ = frame_typ::ftLeft | frame_typ::ftBottom;
  frame.left_line.color = 0x0000FF;
  frame.left_line.width = 2;
  frame.bottom_line.style = TfrxFrameStyle::fsDouble;
  RecordingCanvas canvas;
  DrawFrame(frame, {10, 20, 110, 70}, canvas);
  ASSERT_EQ(canvas.lines.size(), 3u);
  EXPECT_TRUE(Same(canvas.lines[0].first, {10, 20}));
  EXPECT_TRUE(Same(canvas.lines[0].second, {10, 70}));
  EXPECT_EQ(canvas.pens[0].color, 0x0000FF);
  EXPECT_EQ(canvas.pens[0].width, 2);
  // The double bottom: one width above and one below the edge, drawn solid.
  EXPECT_EQ(canvas.lines[1].first.y, 69);
  EXPECT_EQ(canvas.lines[2].first.y, 71);
  EXPECT_EQ(canvas.pens[1].style, TfrxFrameStyle::fsSolid);
}

TEST(ViewDrawing, MemoInsideABandDrawsAtItsAbsolutePositionWithShadowFillTextAndFrame) {
  TfrxMasterData band;
  band.SetBounds(0, 100, 700, 30);
  auto* memo = band.Add(std::make_unique<TfrxMemoView>());
  memo->SetBounds(10, 5, 100, 20);
  memo->SetText("Текст");
  memo->SetFillColor(0x00FFFF);
  memo->Frame().typ = frame_typ::kAll;
  memo->Frame().drop_shadow = true;
  memo->Frame().shadow_width = 3;
  RecordingCanvas canvas;
  DrawView(*memo, canvas, 1, 1, 50, 0);
  // Shadow strips (right and bottom), then the fill of the box that leaves them free.
  ASSERT_EQ(canvas.fills.size(), 3u);
  EXPECT_EQ(canvas.fills[0], (CanvasRect{157, 108, 160, 125}));
  EXPECT_EQ(canvas.fills[1], (CanvasRect{63, 122, 160, 125}));
  EXPECT_EQ(canvas.fills[2], (CanvasRect{60, 105, 157, 122}));
  EXPECT_EQ(canvas.brushes[2].back_color, 0x00FFFF);
  ASSERT_EQ(canvas.texts.size(), 1u);
  EXPECT_EQ(canvas.texts[0].text, "Текст");
  EXPECT_GE(canvas.texts[0].x, 60 + memo->gap_x);
  EXPECT_EQ(canvas.lines.size(), 4u);
  // The text is clipped to the box (the gaps are the text's own margin).
  ASSERT_EQ(canvas.clips.size(), 1u);
  EXPECT_EQ(canvas.clips[0], (CanvasRect{60, 105, 157, 122}));
  EXPECT_EQ(canvas.pops, 1);

  memo->SetVisible(false);
  RecordingCanvas hidden;
  DrawView(*memo, hidden);
  EXPECT_TRUE(hidden.fills.empty() && hidden.texts.empty() && hidden.lines.empty());
}

TEST(ViewDrawing, LineViewIsVerticalUnlessWiderThanHighAndDrawsArrows) {
  TfrxLineView line;
  line.SetBounds(10, 10, 0, 50);
  RecordingCanvas vertical;
  DrawView(line, vertical);
  ASSERT_EQ(vertical.lines.size(), 1u);
  EXPECT_TRUE(Same(vertical.lines[0].second, {10, 60}));

  line.SetBounds(10, 10, 80, 3);
  line.arrow_end = true;
  line.arrow_solid = true;
  RecordingCanvas horizontal;
  DrawView(line, horizontal);
  ASSERT_EQ(horizontal.lines.size(), 1u);
  EXPECT_TRUE(Same(horizontal.lines[0].second, {90, 10}));
  ASSERT_EQ(horizontal.polygons.size(), 1u);
  EXPECT_TRUE(Same(horizontal.polygons[0][0], {90, 10}));
  EXPECT_NEAR(horizontal.polygons[0][1].x, 70, 1e-9);  // ArrowLength 20 back from the tip

  line.diagonal = true;
  line.arrow_end = false;
  RecordingCanvas diagonal;
  DrawView(line, diagonal);
  EXPECT_TRUE(Same(diagonal.lines[0].second, {90, 13}));
}

TEST(ViewDrawing, ShapesBecomeRectanglesEllipsesAndPolygons) {
  TfrxShapeView shape;
  shape.SetBounds(0, 0, 40, 20);
  RecordingCanvas canvas;
  DrawView(shape, canvas);
  shape.shape = TfrxShapeKind::skEllipse;
  DrawView(shape, canvas);
  shape.shape = TfrxShapeKind::skTriangle;
  DrawView(shape, canvas);
  shape.shape = TfrxShapeKind::skDiamond;
  DrawView(shape, canvas);
  shape.shape = TfrxShapeKind::skDiagonal1;
  DrawView(shape, canvas);
  EXPECT_EQ(canvas.rects.size(), 2u);
  ASSERT_EQ(canvas.polygons.size(), 2u);
  EXPECT_TRUE(Same(canvas.polygons[0][0], {20, 0}));
  EXPECT_EQ(canvas.polygons[1].size(), 4u);
  ASSERT_EQ(canvas.lines.size(), 1u);
  EXPECT_TRUE(Same(canvas.lines[0].first, {0, 20}));
}

TEST(ViewDrawing, PictureKeepsItsAspectAndSkipsAClassNameAndSizeBeforeTheFile) {
  TfrxPictureView picture;
  picture.SetBounds(0, 0, 100, 100);
  picture.Picture().data = std::string("\x09TPngImage", 10) + std::string("\x07\0\0\0", 4) + "IMGdata";
  RecordingCanvas canvas;
  DrawView(picture, canvas);
  ASSERT_EQ(canvas.pictures.size(), 1u);
  EXPECT_EQ(canvas.pictures[0], (CanvasRect{0, 0, 100, 50}));  // 40 x 20 scaled by 2.5
  picture.stretched = false;
  picture.center = true;
  DrawView(picture, canvas);
  EXPECT_EQ(canvas.pictures[1], (CanvasRect{30, 40, 70, 60}));
  // A length byte beyond the data, and bytes that decode as nothing.
  EXPECT_TRUE(PictureImageBytes("\xFFshort", canvas).empty());
  EXPECT_TRUE(PictureImageBytes("", canvas).empty());
  EXPECT_EQ(PictureImageBytes("IMG", canvas), "IMG");
}

}  // namespace
}  // namespace lgoty::report
