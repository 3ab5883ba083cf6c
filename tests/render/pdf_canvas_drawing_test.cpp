// What the PDF canvas draws, read back by rendering the file at 96 dpi (one pixel per
// report unit): fills, frames, pictures and gradients where they were drawn, text cut at
// its clip when it reaches outside and whole when it fits, and state (colours, pens,
// fonts) right again after a clip is left.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QFile>
#include <cmath>
#include <iomanip>
#include <iterator>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "render/pdf_canvas.h"
#include "render/pdf_file.h"
#include "tests/render/command_output.h"
#include "tests/render/pdf_contents.h"

namespace lgoty::render {
namespace {

using report::CanvasBrush;
using report::CanvasFont;
using report::CanvasPen;

bool HavePdfToPpm() { return !lgoty::testing::CommandOutput("command -v pdftoppm").empty(); }

QImage Rendered(const QString& pdf, const QString& stem) {
  lgoty::testing::CommandOutput("pdftoppm -r 96 -png -singlefile '" + pdf.toStdString() +
                                "' '" + stem.toStdString() + "'");
  return QImage(stem + ".png").convertToFormat(QImage::Format_RGB32);
}

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

int DarkIn(const QImage& image, int left, int top, int right, int bottom) {
  int dark = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) dark += qGray(image.pixel(x, y)) < 128;
  }
  return dark;
}

std::string PngOf(QColor color, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return std::string(png.constData(), static_cast<size_t>(png.size()));
}

TEST(PdfCanvasDrawing, ShapesPicturesAndClippedTextLandWhereDrawn) {
  if (!HavePdfToPpm()) GTEST_SKIP() << "poppler-utils is not installed (scripts/setup)";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("shapes.pdf");
  CanvasFont font;
  font.size = 20;
  {
    PdfCanvas canvas(path);
    canvas.BeginPage(400, 300);
    canvas.FillRect({20, 20, 60, 50}, CanvasBrush{report::clBlack, 0x0000FF});  // red
    // A text far wider than its clip: nothing of it right of the clip.
    canvas.PushClip({100, 20, 140, 60});
    canvas.DrawText(100, 50, "WWWWWWWWWWWW", font);
    canvas.PopClip();
    // The same inside a clip it fits: drawn whole.
    canvas.PushClip({100, 80, 390, 120});
    canvas.DrawText(100, 110, "WWWW", font);
    canvas.PopClip();
    // Colour and pen after a written clip: the clip's state must not leak.
    canvas.PushClip({20, 200, 30, 210});
    CanvasPen green{0x00FF00, 6};
    canvas.DrawLine({0, 205}, {60, 205}, green);
    canvas.PopClip();
    CanvasPen blue{0xFF0000, 4};
    canvas.DrawLine({200, 150}, {300, 150}, blue);
    canvas.DrawLine({200, 170}, {300, 170}, blue);
    std::string picture = PngOf(QColor(0, 255, 0), 4, 4);
    double w = 0, h = 0;
    ASSERT_TRUE(canvas.PictureSize(picture, w, h));
    EXPECT_EQ(w, 4);
    EXPECT_FALSE(canvas.DrawPicture({0, 0, 5, 5}, "no picture"));
    EXPECT_TRUE(canvas.DrawPicture({20, 240, 60, 280}, picture));
    canvas.FillGradient({320, 200, 380, 280}, 0x000000, 0xFFFFFF,
                        report::TfrxGradientStyle::gsHorizontal);
    canvas.EndPage();
    ASSERT_TRUE(canvas.Finish());
  }
  const QImage page = Rendered(path, dir.filePath("shapes"));
  ASSERT_EQ(page.width(), 400);
  ASSERT_EQ(page.height(), 300);
  EXPECT_EQ(Pixel(page, 40, 35), 0xFF0000u);
  EXPECT_EQ(Pixel(page, 65, 35), 0xFFFFFFu);
  EXPECT_GT(DarkIn(page, 100, 20, 140, 60), 50);
  EXPECT_EQ(DarkIn(page, 142, 20, 400, 60), 0);
  EXPECT_GT(DarkIn(page, 160, 80, 200, 120), 50);  // the fitting text's later letters
  EXPECT_EQ(Pixel(page, 25, 205), 0x00FF00u);
  EXPECT_EQ(Pixel(page, 40, 205), 0xFFFFFFu);   // clipped
  EXPECT_EQ(Pixel(page, 250, 150), 0x0000FFu);  // blue lines, 4 wide
  EXPECT_EQ(Pixel(page, 250, 170), 0x0000FFu);
  EXPECT_EQ(Pixel(page, 250, 160), 0xFFFFFFu);
  EXPECT_EQ(Pixel(page, 40, 260), 0x00FF00u);
  EXPECT_LT(qGray(page.pixel(322, 240)), 40);   // gradient: dark on the left ...
  EXPECT_GT(qGray(page.pixel(378, 240)), 215);  // ... light on the right
}

TEST(PdfCanvasDrawing, CharactersOutsideOneFaceAndEmptyFilesStayValid) {
  if (!HavePdfToPpm()) GTEST_SKIP() << "poppler-utils is not installed (scripts/setup)";
  QTemporaryDir dir;
  const QString path = dir.filePath("mixed.pdf");
  {
    PdfCanvas canvas(path);
    canvas.BeginPage(400, 100);
    CanvasFont serif;
    serif.name = "Times New Roman";
    serif.style = report::font_style::fsItalic | report::font_style::fsUnderline;
    canvas.DrawText(10, 40, "Ёлка № 5 (über)", serif);
    CanvasFont sans;
    canvas.DrawText(10, 80, "Ёлка № 5", sans, 1.5, 10);
    canvas.EndPage();
    ASSERT_TRUE(canvas.Finish());
  }
  const std::string text =
      lgoty::testing::CommandOutput("pdftotext '" + path.toStdString() + "' - 2>&1");
  EXPECT_NE(text.find("Ёлка № 5 (über)"), std::string::npos) << text;
  EXPECT_EQ(text.find("Error"), std::string::npos) << text;

  const QString empty = dir.filePath("empty.pdf");
  {
    PdfCanvas canvas(empty);
    EXPECT_TRUE(canvas.Finish());
    EXPECT_EQ(canvas.PageCount(), 1);
  }
  const std::string info =
      lgoty::testing::CommandOutput("pdfinfo '" + empty.toStdString() + "' 2>&1");
  EXPECT_NE(info.find("Pages:           1"), std::string::npos) << info;
  EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
}

TEST(PdfCanvasDrawing, NumbersAreWrittenShortAndExact) {
  auto text = [](double value, int decimals) {
    std::string out;
    AppendNumber(out, value, decimals);
    return out;
  };
  EXPECT_EQ(text(12.5, 2), "12.5");
  EXPECT_EQ(text(-3.25, 2), "-3.25");
  EXPECT_EQ(text(841.8898, 3), "841.89");
  EXPECT_EQ(text(0.004, 2), "0");
  EXPECT_EQ(text(-0.004, 2), "0");
  EXPECT_EQ(text(7.0, 2), "7");
  EXPECT_EQ(text(0.05, 2), "0.05");
  EXPECT_EQ(text(1000.999, 2), "1001");
  EXPECT_EQ(text(1e13 + 0.5, 2), "10000000000000.5");
  EXPECT_EQ(text(std::nan(""), 2), "0");
}

// The digits a number must get: the value rounded to the decimals, as an integer, split
// into its whole part and its fraction without trailing zeros.
std::string ExpectedNumber(int64_t scaled, int decimals) {
  if (scaled == 0) return "0";
  std::string sign = scaled < 0 ? "-" : "";
  uint64_t magnitude = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : scaled;
  uint64_t unit = 1;
  for (int i = 0; i < decimals; ++i) unit *= 10;
  std::string fraction = decimals == 0 ? "" : std::to_string(magnitude % unit);
  fraction.insert(0, static_cast<size_t>(decimals) - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return sign + std::to_string(magnitude / unit) + (fraction.empty() ? "" : "." + fraction);
}

TEST(PdfCanvasDrawing, NumbersOfEveryMagnitudeKeepTheirDigits) {
  std::mt19937_64 random(20261209);
  for (int decimals = 0; decimals <= 5; ++decimals) {
    double unit = std::pow(10.0, decimals);
    for (int i = 0; i < 4000; ++i) {
      // Magnitudes from 1e-5 to 1e11, both signs, exact multiples of the last decimal
      // and values between them.
      const int digits = static_cast<int>(random() % 16);
      int64_t scaled = static_cast<int64_t>(random() % 1'000'000'000'000'000ULL);
      int64_t limit = 1;
      for (int d = 0; d < digits; ++d) limit *= 10;
      scaled %= limit;
      if (random() % 2) scaled = -scaled;
      double value = static_cast<double>(scaled) / unit;
      if (std::fabs(value) >= 1e11) continue;
      std::string out;
      AppendNumber(out, value, decimals);
      const int64_t expected = std::llround(value * unit);
      ASSERT_EQ(out, ExpectedNumber(expected, decimals)) << value << " with " << decimals;
    }
  }
  std::string appended = "x ";
  AppendNumber(appended, -1234.5, 2);
  EXPECT_EQ(appended, "x -1234.5");
}

// Values on and next to the halfway point between two last digits, and fractions of all
// lengths: the hand rounding must agree with llround (half away from zero) everywhere.
TEST(PdfCanvasDrawing, NumbersRoundHalfwayValuesAsLlround) {
  std::mt19937_64 random(20261210);
  for (int decimals = 0; decimals <= 5; ++decimals) {
    const double unit = std::pow(10.0, decimals);
    for (int i = 0; i < 20000; ++i) {
      const int64_t whole = static_cast<int64_t>(random() % 100'000'000ULL) >>
                            static_cast<int>(random() % 27);
      double value = (static_cast<double>(whole) + 0.5) / unit;
      switch (random() % 4) {
        case 0: value = std::nextafter(value, 0.0); break;
        case 1: value = std::nextafter(value, 1e300); break;
        case 2: value = static_cast<double>(random() % 1'000'000'000ULL) / 1e6; break;
        default: break;
      }
      if (random() % 2) value = -value;
      std::string out;
      AppendNumber(out, value, decimals);
      ASSERT_EQ(out, ExpectedNumber(std::llround(value * unit), decimals))
          << std::setprecision(20) << value << " with " << decimals;
    }
  }
  std::string out;
  AppendNumber(out, 0.49999999999999994, 0);
  EXPECT_EQ(out, "0");
  out.clear();
  AppendNumber(out, -2.5, 0);
  EXPECT_EQ(out, "-3");
}

// The cache writes what AppendNumber writes, appending or at a pointer: values met again,
// values that push each other out of a slot, signed zeros, non-finite and huge values too
// long to keep.
TEST(PdfCanvasDrawing, CachedNumbersAreWrittenAsByTheGeneralPath) {
  std::mt19937_64 random(20261211);
  std::vector<double> pool;
  for (int i = 0; i < 600; ++i) {
    pool.push_back(static_cast<double>(static_cast<int64_t>(random() % 2'000'000) - 1'000'000) /
                   static_cast<double>(1 + random() % 1000));
  }
  pool.insert(pool.end(), {0.0, -0.0, 0.004, -0.004, 0.005, 1e30, -1e30, 1e11 + 0.125,
                           std::nan(""), HUGE_VAL, -HUGE_VAL, 1e-300, 1e60, -9.99e59, 1e61});
  NumberCache cache;
  std::string cached = "q ", general = "q ";
  for (int i = 0; i < 50000; ++i) {
    // Mostly a few dozen values, now and then any of the pool.
    const size_t index = random() % 4 == 0 ? random() % pool.size() : random() % 40;
    if (random() % 2 == 0) {
      cache.Append(cached, pool[index]);
    } else {
      // Marks past the end of the written text must not show.
      char text[NumberCache::kRoom + 1];
      std::memset(text, '#', sizeof text);
      cached.append(text, static_cast<size_t>(cache.Write(text, pool[index]) - text));
    }
    cached += ' ';
    AppendNumber(general, pool[index], 2);
    general += ' ';
  }
  ASSERT_EQ(cached, general);
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PdfCanvasDrawing, RunsGivenAsCodePointsWriteTheFileTheirUtf8Writes) {
  QTemporaryDir dir;
  CanvasFont sans;
  CanvasFont bold = sans;
  bold.style = report::font_style::fsBold;
  CanvasFont serif;
  serif.name = "Times New Roman";
  serif.size = 14;
  // Fonts changing back and forth, an underlined run, a rotated one, an ill-formed byte
  // (drawn as U+FFFD) and a surrogate code point (the same).
  const std::u32string chars[] = {U"Ёлка № 5", U"Sum 12.50", U"\uFFFD!", U"über"};
  const std::string utf8[] = {"Ёлка № 5", "Sum 12.50", "\xFF!", "über"};
  const CanvasFont* fonts[] = {&sans, &bold, &serif, &sans};
  auto write = [&](const QString& path, bool code_points) {
    PdfCanvas canvas(path);
    canvas.BeginPage(400, 300);
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < 4; ++i) {
        const double y = 20 + 60 * round + 12 * i;
        const double rotation = round == 2 && i == 1 ? 15 : 0;
        if (code_points) {
          canvas.DrawChars(10, y, chars[i], *fonts[i], 0.5 * round, rotation);
        } else {
          canvas.DrawText(10, y, utf8[i], *fonts[i], 0.5 * round, rotation);
        }
      }
    }
    if (code_points) {
      canvas.DrawChars(200, 250, std::u32string(1, static_cast<char32_t>(0xD800)), serif);
    } else {
      canvas.DrawText(200, 250, "\xEF\xBF\xBD", serif);  // U+FFFD
    }
    canvas.EndPage();
    EXPECT_TRUE(canvas.Finish());
  };
  write(dir.filePath("utf8.pdf"), false);
  write(dir.filePath("chars.pdf"), true);
  const QByteArray from_utf8 = FileBytes(dir.filePath("utf8.pdf"));
  const QByteArray from_chars = FileBytes(dir.filePath("chars.pdf"));
  ASSERT_FALSE(from_utf8.isEmpty());
  EXPECT_EQ(from_utf8, from_chars);
}

// Runs written in one piece (upright, font and spacing as before) against the general way,
// among font and spacing changes, rotated and underlined runs, colours, lines and clips
// at random: the files must be the same byte for byte.
TEST(PdfCanvasDrawing, RunsInOnePieceWriteWhatTheGeneralPathWrites) {
  QTemporaryDir dir;
  CanvasFont fonts[3];
  fonts[1].name = "Times New Roman";
  fonts[1].size = 14;
  fonts[2].style = report::font_style::fsBold | report::font_style::fsUnderline;
  fonts[2].color = 0x0000FF;
  // A long run now and then: the canvas's run buffer grows between short ones.
  const std::u32string texts[] = {U"Иванов И. И.", U"12 345,67", U"x", U"über-long word",
                                  std::u32string(700, U'ж') + U"(end)"};
  auto write = [&](const QString& path, bool general) {
    std::mt19937 random(4242);
    PdfCanvas canvas(path);
    canvas.UseGeneralPathOnly(general);
    canvas.BeginPage(600, 800);
    for (int i = 0; i < 3000; ++i) {
      const uint32_t pick = random();
      const double x = static_cast<double>(random() % 5000) / 10;
      const double y = static_cast<double>(random() % 700) + 0.5 * (pick & 1);
      if (pick % 7 == 0) {
        canvas.DrawLine({x, y}, {x + 40, y}, CanvasPen{});
        continue;
      }
      if (pick % 11 == 0) canvas.PushClip({x, y, x + 30, y + 10});
      if (pick % 13 == 0 && (pick & 2)) canvas.PopClip();
      const double spacing = pick % 5 == 0 ? 0.5 : 0;
      const double rotation = pick % 17 == 0 ? 90 : 0;
      canvas.DrawChars(x, y, texts[(pick >> 8) % std::size(texts)], fonts[(pick >> 4) % 3],
                       spacing, rotation);
      if (pick % 300 == 0) canvas.BeginPage(600, 800);
    }
    canvas.EndPage();
    EXPECT_TRUE(canvas.Finish());
  };
  write(dir.filePath("pieces.pdf"), false);
  write(dir.filePath("general.pdf"), true);
  const QByteArray pieces = FileBytes(dir.filePath("pieces.pdf"));
  ASSERT_FALSE(pieces.isEmpty());
  EXPECT_EQ(pieces, FileBytes(dir.filePath("general.pdf")));
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// A system colour and the plain colour of the same RGB are one stroke or fill colour: the
// content sets a colour when its RGB changes and only then, whichever of the two comes, and
// after a clip is left its colours are those from before it.
TEST(PdfCanvasDrawing, ColoursAreSetWhenTheirRgbChanges) {
  QTemporaryDir dir;
  const report::TColor system = static_cast<report::TColor>(0x80000005);
  const uint32_t rgb = report::ColorToRGB(system);
  const auto plain =
      static_cast<report::TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
  ASSERT_NE(plain, system);
  const report::TColor other = rgb == 0x0000FF ? 0x00FF00 : 0xFF0000;
  const QString path = dir.filePath("colours.pdf");
  {
    PdfCanvas canvas(path);
    canvas.BeginPage(600, 800);
    CanvasFont font;
    double y = 20;
    // Text (fill) and lines (stroke) in turn: plain, system, plain, other, system, and the
    // same inside a clip that is written (the text reaches outside it) and then left.
    for (const report::TColor color : {plain, system, plain, other, system}) {
      font.color = color;
      canvas.DrawText(10, y, "Иванов", font);
      canvas.DrawLine({10, y + 2}, {200, y + 2}, CanvasPen{color, 1});
      y += 20;
    }
    canvas.PushClip({0, y - 12, 20, y + 12});
    font.color = other;
    canvas.DrawText(10, y, "Петров Пётр", font);
    canvas.DrawLine({10, y + 2}, {200, y + 2}, CanvasPen{other, 1});
    canvas.PopClip();
    font.color = system;
    canvas.DrawText(10, y + 20, "Сидоров", font);
    canvas.DrawLine({10, y + 22}, {200, y + 22}, CanvasPen{system, 1});
    // The colours set inside the clip are gone with it: they are set again.
    font.color = other;
    canvas.DrawText(10, y + 40, "Кузнецов", font);
    canvas.DrawLine({10, y + 42}, {200, y + 42}, CanvasPen{other, 1});
    canvas.EndPage();
    ASSERT_TRUE(canvas.Finish());
  }
  const std::vector<std::string> pages = lgoty::testing::InflatedPageContents(
      lgoty::testing::ReadAll(path));
  ASSERT_EQ(pages.size(), 1u);
  // Fill: plain, other, system, other inside the clip, none for the system colour after
  // it (what the fill was before the clip), other again.
  EXPECT_EQ(Occurrences(pages[0], " rg\n"), 5u) << pages[0];
  // Stroke: the same.
  EXPECT_EQ(Occurrences(pages[0], " RG\n"), 5u) << pages[0];
}

TEST(PdfCanvasDrawing, APenOfAnotherStyleAfterOneOfTheSameWidthAndColourIsDashed) {
  if (!HavePdfToPpm()) GTEST_SKIP() << "poppler-utils is not installed (scripts/setup)";
  QTemporaryDir dir;
  const QString path = dir.filePath("pens.pdf");
  {
    PdfCanvas canvas(path);
    canvas.BeginPage(400, 100);
    const CanvasPen solid{report::clBlack, 2, report::TfrxFrameStyle::fsSolid};
    CanvasPen dotted = solid;
    dotted.style = report::TfrxFrameStyle::fsDot;
    canvas.DrawLine({20, 20}, {380, 20}, solid);
    canvas.DrawLine({20, 50}, {380, 50}, dotted);
    canvas.DrawLine({20, 80}, {380, 80}, solid);
    canvas.EndPage();
    ASSERT_TRUE(canvas.Finish());
  }
  const QImage page = Rendered(path, dir.filePath("pens"));
  ASSERT_FALSE(page.isNull());
  EXPECT_GT(DarkIn(page, 30, 19, 370, 22), 600);  // solid: dark all along
  const int dotted = DarkIn(page, 30, 49, 370, 52);
  EXPECT_GT(dotted, 100);
  EXPECT_LT(dotted, 500);  // dots with gaps between them
  EXPECT_GT(DarkIn(page, 30, 79, 370, 82), 600);  // solid again
}

}  // namespace
}  // namespace lgoty::render
