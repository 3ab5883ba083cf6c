// What the PDF and PNG canvases put out: text that can be extracted again, page sizes as
// asked, and pixels where frames and fills were drawn.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "tests/render/command_output.h"
#include "render/image_canvas.h"
#include "render/pdf_canvas.h"
#include "report/graphics.h"
#include "report/view_drawing.h"
#include "report/views.h"

namespace lgoty::render {
namespace {

using report::CanvasBrush;
using report::CanvasFont;
using report::CanvasPen;
using report::CanvasRect;

// A4 in report units.
constexpr double kA4Width = 210 / 25.4 * 96, kA4Height = 297 / 25.4 * 96;

std::string RunCommand(const std::string& command) { return lgoty::testing::CommandOutput(command); }

bool HavePoppler() { return !RunCommand("command -v pdftotext pdfinfo").empty(); }

TEST(PdfCanvas, TextComesBackOutOfTheFileAndPagesHaveTheSizeAsked) {
  if (!HavePoppler()) GTEST_SKIP() << "poppler-utils is not installed (scripts/setup)";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString path = dir.filePath("page.pdf");
  {
    PdfCanvas canvas(path);
    canvas.BeginPage(kA4Width, kA4Height);
    CanvasFont arial;
    canvas.DrawText(40, 60, "Список льготников", arial);
    CanvasFont bold;
    bold.name = "Times New Roman";
    bold.style = report::font_style::fsBold;
    canvas.DrawText(40, 90, "Ivanov 1234,50", bold);
    canvas.DrawLine({40, 100}, {300, 100}, CanvasPen{});
    canvas.EndPage();
    canvas.BeginPage(kA4Height, kA4Width);  // landscape second page
    canvas.DrawText(40, 60, "Вторая страница", arial);
    canvas.EndPage();
    EXPECT_TRUE(canvas.Finish());
    EXPECT_EQ(canvas.PageCount(), 2);
  }
  std::string file = path.toStdString();
  std::string text = RunCommand("pdftotext -layout '" + file + "' -");
  EXPECT_NE(text.find("Список льготников"), std::string::npos) << text;
  EXPECT_NE(text.find("Ivanov 1234,50"), std::string::npos) << text;
  EXPECT_NE(text.find("Вторая страница"), std::string::npos) << text;
  std::string info = RunCommand("pdfinfo -f 1 -l 2 '" + file + "'");
  EXPECT_NE(info.find("Page    1 size:  595 x 842 pts (A4)"), std::string::npos) << info;
  EXPECT_NE(info.find("Page    2 size:  842 x 595 pts (A4)"), std::string::npos) << info;
  std::string fonts = RunCommand("pdffonts '" + file + "'");
  EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;
  EXPECT_NE(fonts.find("LiberationSerif-Bold"), std::string::npos) << fonts;
}

TEST(PdfCanvas, UnwritablePathFailsInsteadOfPretending) {
  PdfCanvas canvas("/nonexistent-folder/x.pdf");
  canvas.BeginPage(kA4Width, kA4Height);
  canvas.EndPage();
  EXPECT_FALSE(canvas.Finish());
}

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST(ImageCanvas, FramesAndFillsLandOnTheirPixelsAt96Dpi) {
  ImageCanvas canvas(96);
  canvas.BeginPage(200, 100);
  canvas.FillRect({20, 20, 60, 50}, CanvasBrush{report::clBlack, 0x0000FF});  // red
  CanvasPen blue{0xFF0000, 1};
  canvas.DrawLine({100, 10}, {100, 90}, blue);
  CanvasPen thick{report::clBlack, 3};
  canvas.DrawLine({120, 40}, {180, 40}, thick);
  canvas.EndPage();
  ASSERT_EQ(canvas.Pages().size(), 1u);
  const QImage& page = canvas.Pages()[0];
  EXPECT_EQ(page.width(), 200);
  EXPECT_EQ(page.height(), 100);
  EXPECT_EQ(Pixel(page, 5, 5), 0xFFFFFFu);
  EXPECT_EQ(Pixel(page, 20, 20), 0xFF0000u);
  EXPECT_EQ(Pixel(page, 59, 49), 0xFF0000u);
  EXPECT_EQ(Pixel(page, 60, 50), 0xFFFFFFu);
  EXPECT_EQ(Pixel(page, 100, 50), 0x0000FFu);
  EXPECT_EQ(Pixel(page, 102, 50), 0xFFFFFFu);
  EXPECT_EQ(Pixel(page, 150, 39), 0u);
  EXPECT_EQ(Pixel(page, 150, 40), 0u);
  EXPECT_EQ(Pixel(page, 150, 44), 0xFFFFFFu);
  EXPECT_EQ(Pixel(page, 150, 35), 0xFFFFFFu);

  QTemporaryDir dir;
  QString path = dir.filePath("page.png");
  ASSERT_TRUE(canvas.SavePng(0, path));
  QImage back(path);
  EXPECT_EQ(Pixel(back, 30, 30), 0xFF0000u);
  EXPECT_FALSE(canvas.SavePng(1, path));
}

TEST(ImageCanvas, AMemoDrawsItsFillFrameShadowAndText) {
  report::TfrxMemoView memo;
  memo.SetBounds(10, 10, 120, 40);
  memo.SetText("Иванов");
  memo.SetFillColor(0x00FFFF);  // yellow
  memo.Frame().typ = report::frame_typ::kAll;
  memo.Frame().drop_shadow = true;
  memo.Frame().shadow_color = 0x808080;
  ImageCanvas canvas(96);
  canvas.BeginPage(200, 100);
  report::DrawView(memo, canvas);
  canvas.EndPage();
  const QImage& page = canvas.Pages()[0];
  // The box is 116 x 36 (the shadow takes 4); the frame runs along its edges.
  EXPECT_EQ(Pixel(page, 10, 30), 0u);    // left side
  EXPECT_EQ(Pixel(page, 70, 10), 0u);    // top side
  EXPECT_EQ(Pixel(page, 126, 30), 0u);   // right side at 10 + 116
  EXPECT_EQ(Pixel(page, 100, 40), 0xFFFF00u);  // fill
  EXPECT_EQ(Pixel(page, 128, 30), 0x808080u);  // shadow right of the box
  EXPECT_EQ(Pixel(page, 60, 48), 0x808080u);   // and below it
  EXPECT_EQ(Pixel(page, 12, 48), 0xFFFFFFu);   // the shadow starts 4 pixels in
  // Text: dark pixels in the first line, left part, none in the empty right part.
  int dark = 0, dark_right = 0;
  for (int y = 12; y < 28; ++y) {
    for (int x = 12; x < 60; ++x) dark += qGray(page.pixel(x, y)) < 128;
    for (int x = 80; x < 124; ++x) dark_right += qGray(page.pixel(x, y)) < 128;
  }
  EXPECT_GT(dark, 20);
  EXPECT_EQ(dark_right, 0);
}

TEST(ImageCanvas, PicturesDecodeFromStoredDataWithAClassNameAndSize) {
  QImage green(4, 2, QImage::Format_RGB32);
  green.fill(QColor(0, 255, 0));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  green.save(&buffer, "PNG");
  std::string file(png.constData(), static_cast<size_t>(png.size()));
  uint32_t size = static_cast<uint32_t>(file.size());
  std::string stored = std::string("\x0ATPngObject", 11) +
                       std::string(reinterpret_cast<const char*>(&size), 4) + file;

  report::TfrxPictureView picture;
  picture.SetBounds(0, 0, 40, 40);
  picture.Picture().data = stored;
  picture.center = true;
  ImageCanvas canvas(96);
  canvas.BeginPage(50, 50);
  report::DrawView(picture, canvas);
  canvas.EndPage();
  const QImage& page = canvas.Pages()[0];
  // Kept aspect 2:1 over 40 x 40: 40 x 20, centred vertically (rows 10..29).
  EXPECT_EQ(Pixel(page, 20, 20), 0x00FF00u);
  EXPECT_EQ(Pixel(page, 20, 5), 0xFFFFFFu);
  EXPECT_EQ(Pixel(page, 20, 35), 0xFFFFFFu);

  // Garbage draws nothing and does not fail.
  picture.Picture().data = "\x05TJunk\x01\x02\x03";
  ImageCanvas other(96);
  other.BeginPage(50, 50);
  report::DrawView(picture, other);
  other.EndPage();
  EXPECT_EQ(Pixel(other.Pages()[0], 20, 20), 0xFFFFFFu);
}

}  // namespace
}  // namespace lgoty::render
