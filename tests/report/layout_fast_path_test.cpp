// The layout's fast paths (texts without tags read without the tag reader, drawn lines
// taking the advances SetText measured, storage kept from text to text, advances of a
// measurer that adds them kept per font and summed by the layout, lines measured as they
// are decoded) against the general path of a layout that is told to take it, on random
// texts: both must give the same lines, heights, widths, parts and drawing calls, to the
// last bit.
#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include "core/string_list.h"
#include "core/utf8_text.h"
#include "report/graphics.h"
#include "report/text_layout.h"
#include "tests/report/recording_canvas.h"

namespace lgoty::report {
namespace {

// Uneven fractional advances, so that a position summed from another start or in another
// order would differ in its last bits. With adds, it says that its positions are sums of
// single characters' advances (they are), so that layouts keep the advances themselves.
class UnevenMeasurer final : public TfrxTextMeasurer {
 public:
  explicit UnevenMeasurer(double factor = 1, bool adds = false) : factor_(factor), adds_(adds) {}
  bool AddsCharAdvances() const override { return adds_; }
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
  bool adds_;
};

// Advances that depend on the character before (as kerning would): a run's positions are
// not sums of single characters' advances, so no layout may keep advances of its own.
class KerningMeasurer final : public TfrxTextMeasurer {
 public:
  FontMetrics Metrics(const CanvasFont& font) override {
    return {font.MeasureHeight() * 0.77, font.MeasureHeight() * 0.21};
  }
  void CharPositions(const CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override {
    positions.resize(text.size());
    double x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const double kern = i > 0 && (text[i - 1] + text[i]) % 3 == 0 ? -9.37 : 0;
      x += (35.3 + static_cast<double>(text[i] % 11) * 5.9) * font.size / 10 + kern;
      positions[i] = x;
    }
  }
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
  ASSERT_EQ(a.lines.size(), b.lines.size()) << text;
  for (size_t i = 0; i < a.lines.size(); ++i) {
    EXPECT_EQ(a.lines[i].first.x, b.lines[i].first.x) << text;
    EXPECT_EQ(a.lines[i].first.y, b.lines[i].first.y) << text;
    EXPECT_EQ(a.lines[i].second.x, b.lines[i].second.x) << text;
    EXPECT_EQ(a.lines[i].second.y, b.lines[i].second.y) << text;
  }
  EXPECT_EQ(a.clips, b.clips) << text;
}

const CanvasFont kFonts[] = {
    CanvasFont{},
    CanvasFont{"Times New Roman", 14, font_style::fsBold, kDefaultCharset, clBlack},
    CanvasFont{"Courier New", 8, font_style::fsItalic, kDefaultCharset, static_cast<TColor>(0x0000FF)},
    CanvasFont{"Arial", 10.5, font_style::fsUnderline, kDefaultCharset, clBlack},
    CanvasFont{"Times New Roman", 20, font_style::fsBold | font_style::fsItalic, 204, clBlack},
};

// Random texts of every kind under random options, laid out, counted, measured, split and
// drawn by a layout on its fast paths and by one on the general path.
void CompareRandomTexts(TfrxTextMeasurer& measurer, uint32_t seed) {
  TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  std::mt19937 random(seed);
  const std::string pieces[] = {
      "a", "word", " ", "  ", "\t", "-", ".", ",", "Иванов", "ё", "переносимость",
      "Long-long-longword", "abcdefghijklmnopqrstuvwxyz", "<b>", "</b>", "<i>", "</i>",
      "<sub>", "</sub>", "<sup>", "</sup>", "<nowrap>", "</nowrap>", "<font color=\"#FF0000\">",
      "</font>", "<", ">", "<x>", "\r\n", "\n", "\r", "\xD0", "€", "12 345,67",
      "№ 5", "∑∞", "\xF0\x9F\x98\x80", "Σ", "\xE2\x82"};
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
    if (::testing::Test::HasFailure()) break;
  }
}

TEST(LayoutFastPath, RandomTextsGiveWhatTheGeneralPathGives) {
  UnevenMeasurer measurer;
  CompareRandomTexts(measurer, 20261209);
}

// The layout sums the advances it keeps per font as the measurer sums them, and keeps
// none for a measurer whose positions are not such sums.
TEST(LayoutFastPath, KeptAdvancesGiveWhatTheMeasurerGives) {
  UnevenMeasurer adding(1, true);
  CompareRandomTexts(adding, 20261210);
  KerningMeasurer kerning;
  CompareRandomTexts(kerning, 20261211);
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
  // text out and drawing it, the new one measuring twice as wide. Measurers that add
  // advances leave them in the layout's tables, which must not outlive them.
  TfrxDrawText fast, general;
  general.UseGeneralPathOnly(true);
  for (int round = 0; round < 6; ++round) {
    const bool adds = round % 2 == 1;
    SetDefaultTextMeasurer(std::make_unique<UnevenMeasurer>(1, adds));
    for (TfrxDrawText* layout : {&fast, &general}) {
      layout->SetFont(CanvasFont{});
      layout->SetOptions(true, false, 0, true, true, false, false);
      layout->SetDimensions({0, 0, 300, 100}, {0, 0, 300, 100});
      layout->SetText("Сидорова Анна Павловна, 12 345,67");
    }
    // Freed first, so that the new one may well take the old one's address.
    SetDefaultTextMeasurer(nullptr);
    SetDefaultTextMeasurer(std::make_unique<UnevenMeasurer>(2 + round, adds));
    RecordingCanvas drawn_fast, drawn_general;
    fast.DrawText(drawn_fast, TfrxHAlign::haRight, TfrxVAlign::vaCenter);
    general.DrawText(drawn_general, TfrxHAlign::haRight, TfrxVAlign::vaCenter);
    ExpectSameDrawing(drawn_fast, drawn_general, "default measurer");
    // Counted and laid out again with the new measurer: its advances, not the old ones.
    const std::string text = "Сидорова Анна Павловна, 12 345,67 and more words";
    EXPECT_EQ(fast.CountLines(text), general.CountLines(text)) << round;
    fast.SetText(text);
    general.SetText(text);
    ExpectSameLines(fast, general, text);
    EXPECT_EQ(fast.TextWidth(), general.TextWidth()) << round;
  }
  SetDefaultTextMeasurer(nullptr);
}

// A memo's lines are laid out as its joined Text would be: random lines with tags,
// Cyrillic, empty ones (a last empty line adds nothing) and breaks of their own.
TEST(LayoutFastPath, MemoLinesLayOutAsTheirJoinedText) {
  UnevenMeasurer measurer(1, true);
  TfrxDrawText from_lines(&measurer), from_text(&measurer);
  from_text.UseGeneralPathOnly(true);
  const std::string pieces[] = {"",    "а",  "Иванов", " ",    "x y", "<b>",  "</b>", "ё ё",
                                "\r\n", "\r", "\n",     "\t",   "∑",   "длинноеслово"};
  std::mt19937 random(4411);
  for (int round = 0; round < 2000; ++round) {
    core::TStringList lines;
    const int count = static_cast<int>(random() % 5);
    for (int i = 0; i < count; ++i) {
      std::string line;
      const int length = static_cast<int>(random() % 6);
      for (int k = 0; k < length; ++k) {
        const std::string& piece = pieces[random() % std::size(pieces)];
        if (piece.find_first_of("\r\n") != std::string::npos && random() % 4 != 0) continue;
        line += piece;
      }
      lines.Add(line);
    }
    std::string text;
    lines.JoinedTo(text);
    const CanvasFont& font = kFonts[random() % std::size(kFonts)];
    const bool html = random() % 2 == 0, word_break = random() % 3 == 0;
    const CanvasRect rect{0, 0, 20 + static_cast<double>(random() % 150), 200};
    for (TfrxDrawText* layout : {&from_lines, &from_text}) {
      layout->SetFont(font);
      layout->SetOptions(true, html, 0, true, true, word_break, false);
      layout->SetDimensions(rect, rect);
    }
    from_lines.SetText(lines);
    from_text.SetText(text);
    ExpectSameLines(from_lines, from_text, text);
    const PartTextResult a = from_lines.PartText(), b = from_text.PartText();
    EXPECT_EQ(a.fitting, b.fitting) << text;
    EXPECT_EQ(a.rest, b.rest) << text;
    if (HasFailure()) break;
  }
}

// Memo lines that mostly fit their width (the shortcut that decodes, measures and makes
// the one line of a plain line in one pass), some just as wide as the width, some wider,
// with tags, line breaks of their own, spacing, characters measured for the first time and
// ill-formed bytes, drawn in
// every alignment, now and then after a change of font: what the general path gives.
TEST(LayoutFastPath, LinesThatFitGiveWhatTheGeneralPathGives) {
  UnevenMeasurer measurer(1, true);
  TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  const std::string pieces[] = {"Иванов", " ", "И.", "12 345,67", "a", "\t", "<b>", "</b>", "<",
                                "ё",      "∑",  "\xD0", "\xF0\x9F\x98\x80", "Ж", "x",  "W", "\r\n", "\n"};
  std::mt19937 random(60613);
  for (int round = 0; round < 4000; ++round) {
    core::TStringList lines;
    const int count = static_cast<int>(random() % 4);
    for (int i = 0; i < count; ++i) {
      std::string line;
      const int length = static_cast<int>(random() % 5);
      for (int k = 0; k < length; ++k) line += pieces[random() % std::size(pieces)];
      lines.Add(line);
    }
    std::string text;
    lines.JoinedTo(text);
    const uint32_t flags = random();
    const CanvasFont& font = kFonts[random() % std::size(kFonts)];
    // Widths from narrow to wide, and the width the general path gives the text itself.
    double width = 4 + static_cast<double>(random() % 400) / 2;
    const double height = static_cast<double>(random() % 90);
    for (int pass = 0; pass < 2; ++pass) {
      for (TfrxDrawText* layout : {&fast, &general}) {
        const CanvasRect rect{2, 3, 2 + width, 3 + height};
        layout->SetFont(font);
        layout->SetOptions(!(flags & 1), flags & 2, 0, true, flags & 4, flags & 8, false);
        layout->SetGaps(2, (flags & 0x30) == 0x30 ? 1.5 : 0, (flags & 64) ? 5 : 0);
        layout->SetDimensions(rect, rect);
        layout->SetText(lines, flags & 128);
      }
      if (pass == 0 && (flags & 0x100)) width = general.TextWidth();
      if (pass == 0 && !(flags & 0x100)) break;
    }
    ExpectSameLines(fast, general, text);
    EXPECT_EQ(fast.TextWidth(), general.TextWidth()) << text;
    const PartTextResult part_fast = fast.PartText(), part_general = general.PartText();
    EXPECT_EQ(part_fast.fitting, part_general.fitting) << text;
    EXPECT_EQ(part_fast.rest, part_general.rest) << text;
    if (flags & 0x200) {
      const CanvasFont& other = kFonts[random() % std::size(kFonts)];
      fast.SetFont(other);
      general.SetFont(other);
    }
    RecordingCanvas drawn_fast, drawn_general;
    const auto halign = static_cast<TfrxHAlign>((flags >> 12) % 4);
    const auto valign = static_cast<TfrxVAlign>((flags >> 16) % 3);
    fast.DrawText(drawn_fast, halign, valign);
    general.DrawText(drawn_general, halign, valign);
    ExpectSameDrawing(drawn_fast, drawn_general, text);
    if (HasFailure()) break;
  }
}

// A memo of one line that fits keeps no line list until one is asked for: drawn straight
// away, split, measured, given paragraph breaks, or followed by texts of many lines (which
// must not show its line, nor it theirs), it gives what the general path gives, in every
// order of those calls.
TEST(LayoutFastPath, SingleLinesGiveWhatTheGeneralPathGivesInAnyOrder) {
  UnevenMeasurer measurer(1, true);
  TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  const std::string pieces[] = {"Иванов", " ", "И.", "12 345,67", "a", "<b>", "</b>", "ё", "∑",
                                "\xD0",  "W",  "  ", "\r\n", "x y"};
  std::mt19937 random(80914);
  for (int round = 0; round < 4000; ++round) {
    core::TStringList lines;
    // Mostly one line (now and then with an empty one after it, which adds nothing).
    const int count = random() % 5 == 0 ? static_cast<int>(random() % 4) : 1;
    for (int i = 0; i < count; ++i) {
      std::string line;
      const int length = static_cast<int>(random() % 5);
      for (int k = 0; k < length; ++k) line += pieces[random() % std::size(pieces)];
      lines.Add(line);
    }
    if (random() % 6 == 0) lines.Add("");
    std::string text;
    lines.JoinedTo(text);
    const uint32_t flags = random();
    const CanvasFont& font = kFonts[random() % std::size(kFonts)];
    const int rotations[] = {0, 0, 0, 90, 270, 30};
    const int rotation = rotations[random() % std::size(rotations)];
    const CanvasRect rect{2, 3, 2 + static_cast<double>(random() % 300) / 2,
                          3 + static_cast<double>(random() % 60)};
    for (TfrxDrawText* layout : {&fast, &general}) {
      layout->SetFont(font);
      layout->SetOptions(!(flags & 1), flags & 2, rotation, true, flags & 4, flags & 8, false);
      layout->SetGaps((flags & 16) ? -2 : 2, 0, (flags & 32) ? 7 : 0);
      layout->SetDimensions(rect, rect);
      layout->SetText(lines, flags & 64);
      layout->SetParaBreaks(flags & 128, flags & 256);
    }
    if (flags & 0x200) {
      const CanvasFont& other = kFonts[random() % std::size(kFonts)];
      fast.SetFont(other);
      general.SetFont(other);
    }
    EXPECT_EQ(fast.TextHeight(), general.TextHeight()) << text;
    const auto halign = static_cast<TfrxHAlign>((flags >> 12) % 4);
    const auto valign = static_cast<TfrxVAlign>((flags >> 16) % 3);
    auto expect_same_drawing = [&] {
      RecordingCanvas drawn_fast, drawn_general;
      fast.DrawText(drawn_fast, halign, valign, flags & 0x400);
      general.DrawText(drawn_general, halign, valign, flags & 0x400);
      ExpectSameDrawing(drawn_fast, drawn_general, text);
    };
    switch ((flags >> 20) % 4) {
      case 0:  // drawn before anything reads the lines, then read
        expect_same_drawing();
        ExpectSameLines(fast, general, text);
        break;
      case 1:  // split first, then drawn
        EXPECT_EQ(fast.PartText().rest, general.PartText().rest) << text;
        expect_same_drawing();
        break;
      case 2:  // measured first, then drawn
        EXPECT_EQ(fast.TextWidth(), general.TextWidth()) << text;
        expect_same_drawing();
        break;
      case 3:  // counted: the text is gone from both
        EXPECT_EQ(fast.CountLines(text), general.CountLines(text)) << text;
        EXPECT_TRUE(fast.Lines().empty()) << text;
        expect_same_drawing();
        break;
    }
    ExpectSameLines(fast, general, text);
    EXPECT_EQ(fast.LineTexts(), general.LineTexts()) << text;
    if (HasFailure()) break;
  }
}

// A memo's font is set without building it when the layout has it already: whatever the
// order of fonts, the layout ends with the font CanvasFont::From gives, scaled.
TEST(LayoutFastPath, MemoFontsSetAsTheirCanvasFonts) {
  UnevenMeasurer measurer(1, true);
  TfrxDrawText layout(&measurer);
  std::mt19937 random(5);
  const char* names[] = {"Arial", "Times New Roman", "Arial ", "arial"};
  const double scales[] = {1, 1, 0.5, 1.25, 2};
  for (int round = 0; round < 500; ++round) {
    TfrxFont font;
    font.name = names[random() % std::size(names)];
    font.SetSize(8 + static_cast<int>(random() % 3));
    font.style = random() % 4;
    font.color = random() % 3 == 0 ? static_cast<TColor>(0x0000FF) : clBlack;
    font.charset = random() % 3 == 0 ? 204 : kDefaultCharset;
    const double scale = scales[random() % std::size(scales)];
    layout.SetFont(font, scale);
    CanvasFont expected = CanvasFont::From(font);
    expected.size *= scale;
    ASSERT_TRUE(layout.Font() == expected) << round;
    // The advances follow the font: a line counted after the change measures in it.
    layout.SetOptions(true, false, 0, true, true, false, false);
    layout.SetDimensions({0, 0, 40, 100}, {0, 0, 40, 100});
    TfrxDrawText general(&measurer);
    general.UseGeneralPathOnly(true);
    general.SetFont(expected);
    general.SetOptions(true, false, 0, true, true, false, false);
    general.SetDimensions({0, 0, 40, 100}, {0, 0, 40, 100});
    const std::string text = "Петров Пётр Петрович Wide Words";
    EXPECT_EQ(layout.CountLines(text), general.CountLines(text)) << round;
  }
}

}  // namespace
}  // namespace lgoty::report
