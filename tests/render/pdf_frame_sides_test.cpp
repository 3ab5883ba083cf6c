// Frames whose four sides the PDF canvas writes as one rectangle, against the same drawing
// with every side written as a line: the stroked paths must cover the same segments (a
// rectangle is its four sides), everything else in the page content must be the same, and
// a table of cells renders to the same pixels.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "render/pdf_canvas.h"
#include "tests/render/command_output.h"
#include "tests/render/pdf_contents.h"

namespace lgoty::render {
namespace {

using report::CanvasFont;
using report::CanvasPen;
using report::CanvasPoint;
using report::TfrxFrameStyle;

using lgoty::testing::ReadAll;

int64_t Hundredths(const std::string& number) { return std::llround(std::stod(number) * 100); }

using Segment = std::tuple<int64_t, int64_t, int64_t, int64_t>;

Segment Normal(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  if (std::tie(x2, y2) < std::tie(x1, y1)) return {x2, y2, x1, y1};
  return {x1, y1, x2, y2};
}

// The content as a list of items: every line that is no path line as it stands, and each
// run of path lines as the sorted segments it strokes, a rectangle as its four sides.
std::vector<std::string> Items(const std::string& content, int* rectangles) {
  std::vector<std::string> items;
  std::vector<Segment> path;
  auto end_path = [&] {
    if (path.empty()) return;
    std::sort(path.begin(), path.end());
    std::ostringstream text;
    for (const auto& [a, b, c, d] : path) text << a << ',' << b << '-' << c << ',' << d << ' ';
    items.push_back(text.str());
    path.clear();
  };
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.size() == 6 && w[2] == "m" && w[5] == "l") {
      path.push_back(Normal(Hundredths(w[0]), Hundredths(w[1]), Hundredths(w[3]),
                            Hundredths(w[4])));
    } else if (w.size() == 5 && w[4] == "re") {
      ++*rectangles;
      const int64_t x = Hundredths(w[0]), y = Hundredths(w[1]);
      const int64_t r = x + Hundredths(w[2]), b = y + Hundredths(w[3]);
      path.push_back(Normal(x, y, x, b));
      path.push_back(Normal(r, y, r, b));
      path.push_back(Normal(x, y, r, y));
      path.push_back(Normal(x, b, r, b));
    } else {
      end_path();
      items.push_back(line);
    }
  }
  end_path();
  return items;
}

// Frames as a report draws them (left, right, top, bottom) and in other orders and
// directions, frames missing a side or of no width, slanted and dashed lines, pens of
// width 0, pen changes, text and clips between the sides, odd coordinates that round.
void DrawMixedFrames(PdfCanvas& canvas) {
  std::mt19937 random(77);
  const CanvasPen pens[] = {CanvasPen{},
                            CanvasPen{0x0000FF, 2},
                            CanvasPen{report::clBlack, 1, TfrxFrameStyle::fsDash},
                            CanvasPen{report::clBlack, 0},
                            CanvasPen{report::clBlack, 1, TfrxFrameStyle::fsDouble}};
  CanvasFont font;
  canvas.BeginPage(800, 600);
  for (int i = 0; i < 4000; ++i) {
    const uint32_t pick = random();
    const double x = static_cast<double>(random() % 70000) / 100 + (pick % 3 == 0 ? 0.005 : 0);
    const double y = static_cast<double>(random() % 50000) / 100;
    const double w = pick % 29 == 0 ? 0 : static_cast<double>(random() % 20000) / 100 + 0.004;
    const double h = pick % 31 == 0 ? 0.001 : static_cast<double>(random() % 5000) / 100;
    const CanvasPen& pen = pens[pick % 37 == 0 ? (pick >> 8) % 5 : (pick >> 8) % 2];
    CanvasPoint lt{x, y}, rt{x + w, y}, lb{x, y + h}, rb{x + w, y + h};
    std::vector<std::pair<CanvasPoint, CanvasPoint>> sides = {
        {lt, lb}, {rt, rb}, {lt, rt}, {lb, rb}};
    if (pick % 5 == 1) std::shuffle(sides.begin(), sides.end(), random);
    if (pick % 7 == 2) std::swap(sides[1].first, sides[1].second);
    if (pick % 11 == 3) sides.pop_back();
    if (pick % 13 == 4) sides[2].second.y += 3;  // slanted
    for (size_t s = 0; s < sides.size(); ++s) {
      if (pick % 17 == 5 && s == 2) canvas.DrawText(x + 2, y + 10, "Иванов", font);
      if (pick % 19 == 6 && s == 1) canvas.PushClip({x, y, x + 10, y + 10});
      if (pick % 23 == 7 && s == 3) canvas.DrawLine(lt, rb, pens[(pick >> 12) % 5]);
      canvas.DrawLine(sides[s].first, sides[s].second, pen);
    }
    if (pick % 19 == 6) canvas.PopClip();
    if (pick % 41 == 8) canvas.DrawText(x, y, "12 345,67", font);
    if (pick % 997 == 9) canvas.BeginPage(800, 600);
  }
  canvas.EndPage();
}

TEST(PdfFrameSides, JoinedSidesStrokeTheSegmentsOfTheLinesAndNothingElseChanges) {
  QTemporaryDir dir;
  std::vector<std::string> contents[2];
  for (int join = 0; join < 2; ++join) {
    const QString path = dir.filePath(join ? "joined.pdf" : "lines.pdf");
    {
      PdfCanvas canvas(path);
      canvas.JoinFrameSides(join == 1);
      DrawMixedFrames(canvas);
      ASSERT_TRUE(canvas.Finish());
    }
    contents[join] = lgoty::testing::InflatedPageContents(ReadAll(path));
  }
  ASSERT_EQ(contents[0].size(), contents[1].size());
  ASSERT_GE(contents[0].size(), 2u);
  int rectangles[2] = {0, 0};
  size_t bytes[2] = {0, 0};
  for (size_t page = 0; page < contents[0].size(); ++page) {
    const std::vector<std::string> lines = Items(contents[0][page], &rectangles[0]);
    const std::vector<std::string> joined = Items(contents[1][page], &rectangles[1]);
    ASSERT_EQ(lines, joined) << "page " << page;
    bytes[0] += contents[0][page].size();
    bytes[1] += contents[1][page].size();
  }
  EXPECT_EQ(rectangles[0], 0);
  EXPECT_GT(rectangles[1], 1500);  // most frames are whole, solid and wide
  EXPECT_LT(bytes[1], bytes[0] * 2 / 3);
}

// Frames drawn in one go against the same frames drawn as their four lines, among held
// lines, clips that hold a frame or cut it, pens that cannot join (dashed, of no width,
// transparent), frames of no width or height, reversed, huge or not a number, text and new
// pages: the files must be the same byte for byte.
TEST(PdfFrameSides, FramesDrawnInOneGoWriteWhatTheirFourLinesWrite) {
  QTemporaryDir dir;
  const CanvasPen pens[] = {CanvasPen{},
                            CanvasPen{0x0000FF, 2},
                            CanvasPen{report::clBlack, 1, TfrxFrameStyle::fsDash},
                            CanvasPen{report::clBlack, 0},
                            CanvasPen{report::clTransparent, 1},
                            CanvasPen{0x00FF00, 0.5, TfrxFrameStyle::fsDot}};
  CanvasFont font;
  auto write = [&](const QString& path, bool in_one_go) {
    std::mt19937 random(9151);
    PdfCanvas canvas(path);
    canvas.BeginPage(800, 600);
    for (int i = 0; i < 5000; ++i) {
      const uint32_t pick = random();
      double l = static_cast<double>(random() % 70000) / 100 + (pick % 3 == 0 ? 0.005 : 0);
      double t = static_cast<double>(random() % 50000) / 100;
      double r = l + (pick % 29 == 0 ? 0.004 : static_cast<double>(random() % 20000) / 100);
      double b = t + (pick % 31 == 0 ? 0 : static_cast<double>(random() % 5000) / 100);
      if (pick % 37 == 0) std::swap(l, r);
      if (pick % 397 == 0) b = std::nan("");
      if (pick % 401 == 0) r = 1e13;
      const CanvasPen& pen = pens[pick % 5 == 0 ? (pick >> 8) % std::size(pens) : (pick >> 8) % 2];
      if (pick % 7 == 1) canvas.DrawLine({l, t}, {l + 5, t}, pens[(pick >> 12) % 2]);
      const bool clipped = pick % 11 == 2;
      if (clipped) {
        // Around the frame, or cutting it.
        const double cut = (pick >> 16) % 2 ? 0 : 3;
        canvas.PushClip({l - 5 + cut, t - 5, r + 5, b + 5});
      }
      if (in_one_go) {
        canvas.DrawFrameSides({l, t, r, b}, pen);
      } else {
        canvas.report::TfrxCanvas::DrawFrameSides({l, t, r, b}, pen);
      }
      if (clipped && (pick >> 20) % 2) canvas.DrawText(l + 2, t + 10, "Иванов", font);
      if (clipped) canvas.PopClip();
      if (pick % 13 == 3) canvas.DrawText(l, t, "12 345,67", font);
      if (pick % 997 == 4) canvas.BeginPage(800, 600);
    }
    canvas.EndPage();
    EXPECT_TRUE(canvas.Finish());
  };
  write(dir.filePath("one_go.pdf"), true);
  write(dir.filePath("lines.pdf"), false);
  const std::string one_go = ReadAll(dir.filePath("one_go.pdf"));
  ASSERT_FALSE(one_go.empty());
  EXPECT_TRUE(one_go == ReadAll(dir.filePath("lines.pdf")));
}

bool HavePdfToPpm() { return !lgoty::testing::CommandOutput("command -v pdftoppm").empty(); }

TEST(PdfFrameSides, ATableOfCellsRendersToTheSamePixels) {
  if (!HavePdfToPpm()) GTEST_SKIP() << "poppler-utils is not installed (scripts/setup)";
  QTemporaryDir dir;
  // Rows of cells at the fractional edges a report's millimetre layout gives, each cell
  // framed after its text, with a thicker and a coloured pen in some rows.
  const double columns[] = {37.8, 75.6, 173.87, 461.1, 559.38, 627.41, 699.22, 774.81};
  CanvasFont font;
  QImage pages[2][2];
  for (int join = 0; join < 2; ++join) {
    const QString path = dir.filePath(join ? "joined.pdf" : "lines.pdf");
    {
      PdfCanvas canvas(path);
      canvas.JoinFrameSides(join == 1);
      canvas.BeginPage(1122.52, 793.7);
      double top = 37.8;
      for (int row = 0; row < 30; ++row) {
        const double bottom = top + 18.9 + (row % 4 == 3 ? 15.11 : 0);
        const CanvasPen pen = row % 9 == 4   ? CanvasPen{report::clBlack, 2}
                              : row % 7 == 5 ? CanvasPen{0x0000C0, 1}
                                             : CanvasPen{};
        for (size_t c = 0; c + 1 < std::size(columns); ++c) {
          const double left = columns[c] + (c % 3 == 2 ? -0.01 : 0), right = columns[c + 1];
          canvas.DrawText(left + 2, top + 13, std::to_string(row * 10 + c), font);
          canvas.DrawLine({left, top}, {left, bottom}, pen);
          canvas.DrawLine({right, top}, {right, bottom}, pen);
          canvas.DrawLine({left, top}, {right, top}, pen);
          canvas.DrawLine({left, bottom}, {right, bottom}, pen);
        }
        top = bottom;
      }
      canvas.EndPage();
      ASSERT_TRUE(canvas.Finish());
    }
    for (int r = 0; r < 2; ++r) {
      const std::string dpi = r == 0 ? "96" : "100";
      const QString stem = dir.filePath(QString::number(join) + "-" + QString::number(r));
      lgoty::testing::CommandOutput("pdftoppm -r " + dpi + " -png -singlefile '" +
                                    path.toStdString() + "' '" + stem.toStdString() + "'");
      pages[join][r] = QImage(stem + ".png").convertToFormat(QImage::Format_RGB32);
      ASSERT_FALSE(pages[join][r].isNull());
    }
  }
  EXPECT_TRUE(pages[0][0] == pages[1][0]) << "96 dpi";
  EXPECT_TRUE(pages[0][1] == pages[1][1]) << "100 dpi";
}

}  // namespace
}  // namespace lgoty::render
