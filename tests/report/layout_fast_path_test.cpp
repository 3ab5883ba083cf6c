// The layout's fast paths (texts without tags read without the tag reader, drawn lines
// taking the advances SetText measured, storage kept from text to text) against the
// general path of a layout that is told to take it, on random texts: both must give the
// same lines, heights, widths, parts and drawing calls, to the last bit.
#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include "core/utf8_text.h"
#include "report/text_layout.h"
#include "tests/report/recording_canvas.h"

namespace lgoty::report {
namespace {

// Uneven fractional advances, so that a position summed from another start or in another
// order would differ in its last bits.
class UnevenMeasurer final : public TfrxTextMeasurer {
 public:
  explicit UnevenMeasurer(double factor = 1) : factor_(factor) {}
  FontMetrics Metrics(const CanvasFont& font) override {
    return {font.MeasureHeight() * 0.81 * factor_, font.MeasureHeight() * 0.23};
  }
  void CharPositions(const CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override {
    positions.resize(text.size());
    const double scale = font.size / 10 * ((font.style & font_style::fsBold) ? 1.37 : 1.0);
    double x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      x += (31.7 + static_cast<double>(text[i] % 13) * 7.13) * scale * factor_;
      positions[i] = x;
    }
  }

 private:
  double factor_;
};

void ExpectSameLines(const TfrxDrawText& fast, const TfrxDrawText& general,
                     const std::string& text) {
  ASSERT_EQ(fast.Lines().size(), general.Lines().size()) << text;
  for (size_t i = 0; i < fast.Lines().size(); ++i) {
    const TextLine& a = fast.Lines()[i];
    const TextLine& b = general.Lines()[i];
    EXPECT_EQ(a.text, b.text) << text;
    EXPECT_TRUE(a.attrs == b.attrs) << text;
    EXPECT_EQ(a.flags, b.flags) << text;
    EXPECT_EQ(a.paragraph, b.paragraph) << text;
    EXPECT_EQ(a.source_begin, b.source_begin) << text;
    EXPECT_EQ(a.source_end, b.source_end) << text;
    EXPECT_EQ(a.source_next, b.source_next) << text;
    EXPECT_EQ(a.hyphenated, b.hyphenated) << text;
  }
  EXPECT_EQ(fast.FullText(), general.FullText()) << text;
}

void ExpectSameDrawing(const RecordingCanvas& a, const RecordingCanvas& b,
                       const std::string& text) {
  ASSERT_EQ(a.texts.size(), b.texts.size()) << text;
  for (size_t i = 0; i < a.texts.size(); ++i) {
    // Exact: the PDF writes what it is given, so a last-bit difference may change a digit.
    EXPECT_EQ(a.texts[i].x, b.texts[i].x) << text;
    EXPECT_EQ(a.texts[i].y, b.texts[i].y) << text;
    EXPECT_EQ(a.texts[i].text, b.texts[i].text) << text;
    EXPECT_TRUE(a.texts[i].font == b.texts[i].font) << text;
    EXPECT_EQ(a.texts[i].rotation, b.texts[i].rotation) << text;
  }
  EXPECT_EQ(a.lines.size(), b.lines.size()) << text;
  EXPECT_EQ(a.clips, b.clips) << text;
}

const CanvasFont kFonts[] = {
    CanvasFont{},
    CanvasFont{"Times New Roman", 14, font_style::fsBold, kDefaultCharset, clBlack},
    CanvasFont{"Courier New", 8, font_style::fsItalic, kDefaultCharset, static_cast<TColor>(0x0000FF)},
};

TEST(LayoutFastPath, RandomTextsGiveWhatTheGeneralPathGives) {
  UnevenMeasurer measurer;
  TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  std::mt19937 random(20261209);
  const std::string pieces[] = {
      "a", "word", " ", "  ", "\t", "-", ".", ",", "Иванов", "ё", "переносимость",
      "Long-long-longword", "abcdefghijklmnopqrstuvwxyz", "<b>", "</b>", "<i>", "</i>",
      "<sub>", "</sub>", "<sup>", "</sup>", "<nowrap>", "</nowrap>", "<font color=\"#FF0000\">",
      "</font>", "<", ">", "<x>", "\r\n", "\n", "\r", "\xD0", "€", "12 345,67"};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    const uint32_t flags = random();
    const CanvasFont& font = kFonts[random() % std::size(kFonts)];
    const int rotations[] = {0, 0, 0, 90, 180, 270, 45};
    const int rotation = rotations[random() % std::size(rotations)];
    const CanvasRect rect{3, 4, 3 + static_cast<double>(random() % 200),
                          4 + static_cast<double>(random() % 120)};
    for (TfrxDrawText* layout : {&fast, &general}) {
      layout->SetFont(font);
      layout->SetOptions(!(flags & 1), flags & 2, rotation, true, flags & 4, flags & 8, false);
      layout->SetGaps((flags & 16) ? -3 : 2, (flags & 32) ? 1.5 : 0, (flags & 64) ? 12 : 0);
      layout->SetDimensions(rect, rect);
    }
    // Now and then the fast layout counts a text first, which empties its line list.
    if (flags & 0x10000) fast.CountLines(text + "x y z");
    fast.SetText(text, flags & 128);
    general.SetText(text, flags & 128);
    ExpectSameLines(fast, general, text);
    EXPECT_EQ(fast.CountLines(text, flags & 128), general.Lines().size()) << text;
    fast.SetText(text, flags & 128);
    EXPECT_EQ(fast.TextHeight(), general.TextHeight()) << text;
    EXPECT_EQ(fast.TextWidth(), general.TextWidth()) << text;
    const PartTextResult part_fast = fast.PartText(), part_general = general.PartText();
    EXPECT_EQ(part_fast.fitting, part_general.fitting) << text;
    EXPECT_EQ(part_fast.rest, part_general.rest) << text;
    // A font set after the text must not draw with the advances of the old one.
    if (flags & 0x20000) {
      const CanvasFont& other = kFonts[random() % std::size(kFonts)];
      fast.SetFont(other);
      general.SetFont(other);
    }
    RecordingCanvas drawn_fast, drawn_general;
    const auto halign = static_cast<TfrxHAlign>((flags >> 8) % 4);
    const auto valign = static_cast<TfrxVAlign>((flags >> 12) % 3);
    fast.DrawText(drawn_fast, halign, valign, flags & 0x40000);
    general.DrawText(drawn_general, halign, valign, flags & 0x40000);
    ExpectSameDrawing(drawn_fast, drawn_general, text);
  }
}

TEST(LayoutFastPath, SourceLinesGivenAsAListKeepTheirStorageAndResults) {
  UnevenMeasurer measurer;
  TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  // From many lines to few and back: the lines beyond a shorter text must be gone.
  const std::vector<std::vector<std::string>> texts = {
      {"one two three four five six seven", "", "Петров Пётр Петрович", "x"},
      {"a"},
      {},
      {"<b>bold</b> and plain words here", "second\tline", "третья строка текста"},
      {"short"}};
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& lines : texts) {
      for (TfrxDrawText* layout : {&fast, &general}) {
        layout->SetFont(kFonts[pass]);
        layout->SetOptions(true, pass == 1, 0, true, true, pass == 1, false);
        layout->SetDimensions({0, 0, 60, 100}, {0, 0, 60, 100});
        layout->SetText(lines);
      }
      ExpectSameLines(fast, general, lines.empty() ? "" : lines[0]);
      RecordingCanvas drawn_fast, drawn_general;
      fast.DrawText(drawn_fast, TfrxHAlign::haBlock, TfrxVAlign::vaTop);
      general.DrawText(drawn_general, TfrxHAlign::haBlock, TfrxVAlign::vaTop);
      ExpectSameDrawing(drawn_fast, drawn_general, lines.empty() ? "" : lines[0]);
    }
  }
}

TEST(LayoutFastPath, SourceLinesDecodeAsTheGeneralDecoderDecodesThem) {
  // The layout decodes its source lines itself: ASCII stretches broken by Cyrillic, three-
  // and four-byte sequences, stray continuation bytes, overlong and cut sequences, the
  // bytes just below and above 0x80, at every offset and at the very end.
  UnevenMeasurer measurer;
  TfrxDrawText layout(&measurer);
  layout.SetFont(CanvasFont{});
  layout.SetOptions(false, false, 0, true, true, false, false);
  layout.SetDimensions({0, 0, 50, 50}, {0, 0, 50, 50});
  std::mt19937 random(77);
  const std::string pieces[] = {"a",        "abcdefgh", "0123456789abcdef", "\x7F", "\x80",
                                "\xBF",     "Ж",        "ё",                "€",    "\xF0\x9F\x98\x80",
                                "\xC0\xAF", "\xE2\x82", "\xF0\x9F",         "\xFF", " \t"};
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> lines(1 + random() % 3);
    for (std::string& line : lines) {
      const int count = static_cast<int>(random() % 12);
      for (int i = 0; i < count; ++i) line += pieces[random() % std::size(pieces)];
    }
    layout.SetText(lines);
    ASSERT_EQ(layout.Lines().size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(layout.Lines()[i].text, core::Utf8ToUtf32(lines[i])) << lines[i];
    }
  }
}

TEST(LayoutFastPath, ANewDefaultMeasurerDrawsWithItsOwnAdvances) {
  // Layouts without a measurer of their own: the default one is replaced between laying a
  // text out and drawing it, the new one measuring twice as wide.
  TfrxDrawText fast, general;
  general.UseGeneralPathOnly(true);
  for (int round = 0; round < 3; ++round) {
    SetDefaultTextMeasurer(std::make_unique<UnevenMeasurer>(1));
    for (TfrxDrawText* layout : {&fast, &general}) {
      layout->SetFont(CanvasFont{});
      layout->SetOptions(true, false, 0, true, true, false, false);
      layout->SetDimensions({0, 0, 300, 100}, {0, 0, 300, 100});
      layout->SetText("Сидорова Анна Павловна, 12 345,67");
    }
    // Freed first, so that the new one may well take the old one's address.
    SetDefaultTextMeasurer(nullptr);
    SetDefaultTextMeasurer(std::make_unique<UnevenMeasurer>(2 + round));
    RecordingCanvas drawn_fast, drawn_general;
    fast.DrawText(drawn_fast, TfrxHAlign::haRight, TfrxVAlign::vaCenter);
    general.DrawText(drawn_general, TfrxHAlign::haRight, TfrxVAlign::vaCenter);
    ExpectSameDrawing(drawn_fast, drawn_general, "default measurer");
  }
  SetDefaultTextMeasurer(nullptr);
}

}  // namespace
}  // namespace lgoty::report
