// Line breaking, tags, heights, widths, splitting and drawing of the text layout, measured
// by a fixed fake so that every line list is exact: a character of a 10-point font advances
// 100 units (16 pixels fit 2.56 characters: 6.25 units a pixel), bold ones 150.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <random>

#include "report/graphics.h"
#include "report/text_layout.h"
#include "report/views.h"
#include "tests/report/recording_canvas.h"

namespace lgoty::report {
namespace {

class FixedMeasurer final : public TfrxTextMeasurer {
 public:
  static double Advance(const CanvasFont& font) {
    return font.size * 10 * ((font.style & font_style::fsBold) ? 1.5 : 1.0);
  }
  FontMetrics Metrics(const CanvasFont& font) override {
    return {font.MeasureHeight() * 0.8, font.MeasureHeight() * 0.2};
  }
  void CharPositions(const CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override {
    positions.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) positions[i] = Advance(font) * double(i + 1);
  }
};

using Texts = std::vector<std::string>;

class TextLayout : public ::testing::Test {
 protected:
  // A layout `chars` characters of 100 units wide (a fraction lets the last one overflow).
  void Setup(double chars, bool word_break = false, bool html = false, int rotation = 0) {
    layout.SetFont(CanvasFont{});
    layout.SetOptions(true, html, rotation, true, true, word_break, false);
    layout.SetGaps(2, 0, 0);
    CanvasRect rect{0, 0, chars * 100 / kMeasureScale, 200};
    layout.SetDimensions(rect, rect);
  }
  Texts Lay(std::string_view text) {
    layout.SetText(text);
    return layout.LineTexts();
  }

  FixedMeasurer measurer;
  TfrxDrawText layout{&measurer};
};

TEST_F(TextLayout, BreaksAtTheLastBlankThatFitsAndDropsIt) {
  Setup(6.5);
  EXPECT_EQ(Lay("ab cd ef gh"), (Texts{"ab cd", "ef gh"}));
  EXPECT_EQ(Lay("aaa bbb ccc"), (Texts{"aaa", "bbb", "ccc"}));
  ASSERT_EQ(layout.Lines().size(), 3u);
  EXPECT_EQ(layout.Lines()[0].flags, TextLine::kParaStart);
  EXPECT_EQ(layout.Lines()[1].flags, 0u);
  EXPECT_EQ(layout.Lines()[2].flags, TextLine::kParaEnd);
}

TEST_F(TextLayout, WordLongerThanTheLineIsCutBeforeTheCharacterThatOverflows) {
  Setup(6.5);
  EXPECT_EQ(Lay("abcdefghij"), (Texts{"abcdef", "ghij"}));
  EXPECT_EQ(Lay("xy abcdefghijklm"), (Texts{"xy", "abcdef", "ghijkl", "m"}));
}

TEST_F(TextLayout, CharacterWiderThanTheLineStandsOnItsOwnLine) {
  Setup(0.5);
  EXPECT_EQ(Lay("abc"), (Texts{"a", "b", "c"}));
}

TEST_F(TextLayout, EveryEmptySourceLineStillTakesALine) {
  Setup(6.5);
  EXPECT_EQ(Lay("a\r\n\r\nb"), (Texts{"a", "", "b"}));
  EXPECT_EQ(layout.Lines()[1].flags, TextLine::kParaStart | TextLine::kParaEnd);
  EXPECT_EQ(Lay(""), Texts{});
  EXPECT_DOUBLE_EQ(layout.TextHeight(), 0);
  // Without word wrap a paragraph stays one line whatever its width.
  layout.SetOptions(false, false, 0, true, true, false, false);
  EXPECT_EQ(Lay("aaa bbb ccc ddd"), Texts{"aaa bbb ccc ddd"});
}

TEST_F(TextLayout, WordBreakHyphenatesRussianWordsAtTheLongestSyllableThatFits) {
  Setup(10, true);
  EXPECT_EQ(Lay("это переносимость"), (Texts{"это пере-", "носимость"}));
  EXPECT_TRUE(layout.Lines()[0].hyphenated);
  Setup(6.25, true);
  EXPECT_EQ(Lay("переносимость"), (Texts{"пере-", "носи-", "мость"}));
  // "вой-на": no break between a vowel and Й.
  Setup(4.5, true);
  EXPECT_EQ(Lay("война"), (Texts{"вой-", "на"}));
  // Without word break the same word is cut by width.
  Setup(6.25, false);
  EXPECT_EQ(Lay("переносимость"), (Texts{"перено", "симост", "ь"}));
}

TEST_F(TextLayout, NoSyllableBreakBeforeADoubledConsonantAndAVowel) {
  // "ма-сса" is refused; "мас-" does not fit, so the word is cut by width instead.
  Setup(3.5, true);
  EXPECT_EQ(Lay("масса"), (Texts{"мас", "са"}));
  Setup(4.5, true);
  EXPECT_EQ(Lay("масса"), (Texts{"мас-", "са"}));
  // Parts of one letter, parts without a vowel and Latin words are never hyphenated.
  Setup(2.5, true);
  EXPECT_EQ(Lay("abcdef"), (Texts{"ab", "cd", "ef"}));
}

TEST_F(TextLayout, HtmlTagsStyleCharactersAndAreRemoved) {
  Setup(100, false, true);
  EXPECT_EQ(Lay("<b>b</b><i>i</i><U>u</U><strike>s</strike>n"), Texts{"biusn"});
  const TextLine& line = layout.Lines()[0];
  EXPECT_EQ(line.attrs[0].style, font_style::fsBold);
  EXPECT_EQ(line.attrs[1].style, font_style::fsItalic);
  EXPECT_EQ(line.attrs[2].style, font_style::fsUnderline);
  EXPECT_EQ(line.attrs[3].style, font_style::fsStrikeOut);
  EXPECT_EQ(line.attrs[4].style, 0u);

  EXPECT_EQ(Lay("<font color=\"#FF0000\">r<font color=blue>b</font>r</font>k"), Texts{"rbrk"});
  const TextLine& colored = layout.Lines()[0];
  EXPECT_EQ(colored.attrs[0].color, 0x0000FF);
  EXPECT_EQ(colored.attrs[1].color, 0xFF0000);
  EXPECT_EQ(colored.attrs[2].color, 0x0000FF);
  EXPECT_EQ(colored.attrs[3].color, clBlack);

  EXPECT_EQ(Lay("H<sub>2</sub>O x<sup>2</sup> a<p>b"), Texts{"H2O x2 a<p>b"});
  const TextLine& scripts = layout.Lines()[0];
  EXPECT_EQ(scripts.attrs[1].script, TextCharAttr::kSub);
  EXPECT_EQ(scripts.attrs[5].script, TextCharAttr::kSup);
  EXPECT_EQ(layout.FontFor(scripts.attrs[1]).size, 7);

  // Tags are text when they are not allowed.
  Setup(100, false, false);
  EXPECT_EQ(Lay("<b>x</b>"), Texts{"<b>x</b>"});
}

TEST_F(TextLayout, NoWrapSpansAreNeverBrokenAtTheirBlanks) {
  Setup(8.5, false, true);
  EXPECT_EQ(Lay("aa bb cc dd"), (Texts{"aa bb cc", "dd"}));
  EXPECT_EQ(Lay("aa <nowrap>bb cc dd</nowrap>"), (Texts{"aa", "bb cc dd"}));
}

TEST_F(TextLayout, WidthsMeasureTagStylesPieceByPieceWithSpacingAndParagraphGap) {
  Setup(100, false, true);
  Lay("<b>ab</b>cd");
  EXPECT_DOUBLE_EQ(layout.TextWidth(), (150 * 2 + 100 * 2) / kMeasureScale);
  layout.SetGaps(2, 1, 10);
  Lay("abcd\r\nabcde");
  // The widest line: 5 characters with 1 pixel of spacing each; the gap only counts on
  // paragraph starts, which both lines are.
  EXPECT_DOUBLE_EQ(layout.TextWidth(), 500 / kMeasureScale + 5 + 10);
  layout.SetParaBreaks(true, false);
  Lay("abcdefgh");
  layout.SetParaBreaks(true, false);
  EXPECT_DOUBLE_EQ(layout.TextWidth(), 800 / kMeasureScale + 8);
}

TEST_F(TextLayout, ParagraphGapNarrowsOnlyTheFirstLine) {
  Setup(6.5);
  layout.SetGaps(2, 0, 100 / kMeasureScale);  // one character
  EXPECT_EQ(Lay("abcdefghijkl"), (Texts{"abcde", "fghijk", "l"}));
  layout.SetText("abcdefghijkl", true);
  EXPECT_EQ(layout.LineTexts(), (Texts{"abcdef", "ghijkl"}));
}

TEST_F(TextLayout, HeightCountsLinesAndANegativeSpacingSparesTheLastLine) {
  Setup(6.5);
  Lay("a\r\nb\r\nc");
  EXPECT_DOUBLE_EQ(layout.TextHeight(), 3 * (83 / 6.25 + 2));
  layout.SetGaps(-3, 0, 0);
  EXPECT_DOUBLE_EQ(layout.TextHeight(), 3 * (83 / 6.25 - 3) + 3);
}

TEST_F(TextLayout, RotationByNinetyDegreesLaysOutAlongTheHeight) {
  layout.SetFont(CanvasFont{});
  layout.SetOptions(true, false, 450, true, false, false, false);
  EXPECT_EQ(layout.Rotation(), 90);
  CanvasRect rect{10, 20, 40, 20 + 12.5 * 100 / kMeasureScale};
  layout.SetDimensions(rect, rect);
  EXPECT_EQ(Lay("abcdefghijklmno"), (Texts{"abcdefghijkl", "mno"}));

  RecordingCanvas canvas;
  layout.DrawText(canvas, TfrxHAlign::haLeft, TfrxVAlign::vaTop);
  ASSERT_EQ(canvas.texts.size(), 2u);
  // The first line starts at the bottom-left corner and runs upwards; the next line lies
  // to its right.
  double ascent = 83 * 0.8 / 6.25;
  EXPECT_NEAR(canvas.texts[0].x, 10 + ascent, 1e-9);
  EXPECT_NEAR(canvas.texts[0].y, rect.bottom, 1e-9);
  EXPECT_EQ(canvas.texts[0].rotation, 90);
  EXPECT_NEAR(canvas.texts[1].x, 10 + ascent + layout.LineHeight(), 1e-9);
}

TEST_F(TextLayout, PartTextSplitsAParagraphAndTheRestKeepsItsTags) {
  Setup(3.5, false, true);
  // Bold characters are 150 units wide: 80 pixels hold "aaa", and two lines of 15.28 fit.
  layout.SetDimensions({0, 0, 80, 31}, {0, 0, 80, 31});
  Lay("<b>aaa bbb ccc</b>\r\nddd");
  PartTextResult part = layout.PartText();
  EXPECT_EQ(part.fitting, "<b>aaa bbb");
  EXPECT_EQ(part.rest, "<b>ccc</b>\r\nddd");
  EXPECT_TRUE(part.inside_paragraph);

  // The continuation no longer starts a paragraph.
  layout.SetText(part.rest);
  layout.SetParaBreaks(true, false);
  EXPECT_EQ(layout.LineTexts(), (Texts{"ccc", "ddd"}));
  EXPECT_EQ(layout.Lines()[0].flags, TextLine::kParaEnd);
  EXPECT_EQ(layout.Lines()[0].attrs[0].style, font_style::fsBold);

  // A split at the end of a paragraph.
  layout.SetDimensions({0, 0, 80, 46}, {0, 0, 80, 46});
  Lay("aaa bbb ccc\r\nddd");
  part = layout.PartText();
  EXPECT_EQ(part.fitting, "aaa bbb ccc");
  EXPECT_EQ(part.rest, "ddd");
  EXPECT_FALSE(part.inside_paragraph);

  // Everything fits; nothing fits.
  layout.SetDimensions({0, 0, 56, 500}, {0, 0, 56, 500});
  Lay("aaa bbb");
  EXPECT_EQ(layout.PartText().rest, "");
  layout.SetDimensions({0, 0, 56, 5}, {0, 0, 56, 5});
  Lay("aaa bbb");
  EXPECT_EQ(layout.PartText().fitting, "");
  EXPECT_EQ(layout.PartText().rest, "aaa bbb");
}

TEST_F(TextLayout, PartTextKeepsTheHyphenOfASplitWord) {
  Setup(6.25, true);
  layout.SetDimensions({0, 0, 100, 16}, {0, 0, 100, 16});
  Lay("переносимость");
  PartTextResult part = layout.PartText();
  EXPECT_EQ(part.fitting, "пере-");
  EXPECT_EQ(part.rest, "носимость");
  EXPECT_TRUE(part.inside_paragraph);
}

TEST_F(TextLayout, DrawingAlignsLinesAndJustifiesAllButTheLastLineOfAParagraph) {
  Setup(9.5);
  CanvasRect rect{100, 50, 100 + 9.5 * 16, 250};
  layout.SetDimensions(rect, rect);
  Lay("aa bb cc dd");  // "aa bb cc", "dd"
  const double w = 16;  // one character in pixels
  const double ascent = 83 * 0.8 / 6.25;

  RecordingCanvas right;
  layout.DrawText(right, TfrxHAlign::haRight, TfrxVAlign::vaBottom);
  ASSERT_EQ(right.texts.size(), 2u);
  EXPECT_NEAR(right.texts[0].x, rect.right - 8 * w, 1e-9);
  EXPECT_NEAR(right.texts[1].x, rect.right - 2 * w, 1e-9);
  EXPECT_NEAR(right.texts[1].y, rect.bottom - layout.LineHeight() + ascent, 1e-9);
  ASSERT_EQ(right.clips.size(), 1u);
  EXPECT_EQ(right.pops, 1);

  RecordingCanvas center;
  layout.DrawText(center, TfrxHAlign::haCenter, TfrxVAlign::vaCenter);
  EXPECT_NEAR(center.texts[1].x, rect.left + (9.5 - 2) * w / 2, 1e-9);
  EXPECT_NEAR(center.texts[0].y, rect.top + (200 - layout.TextHeight()) / 2 + ascent, 1e-9);

  RecordingCanvas block;
  layout.DrawText(block, TfrxHAlign::haBlock, TfrxVAlign::vaTop);
  // Words of the first line are spread over the width; the last line stays left.
  ASSERT_EQ(block.texts.size(), 4u);
  EXPECT_EQ(block.texts[0].text, "aa");
  EXPECT_EQ(block.texts[2].text, "cc");
  EXPECT_NEAR(block.texts[0].x, rect.left, 1e-9);
  EXPECT_NEAR(block.texts[2].x + 2 * w, rect.right, 1e-9);
  EXPECT_NEAR(block.texts[3].x, rect.left, 1e-9);
  EXPECT_EQ(block.texts[3].text, "dd");
}

TEST_F(TextLayout, DrawingSplitsRunsByStyleAndRaisesSuperscripts) {
  Setup(100, false, true);
  Lay("a<b>b</b>c<sup>2</sup>");
  RecordingCanvas canvas;
  layout.DrawText(canvas, TfrxHAlign::haLeft, TfrxVAlign::vaTop);
  ASSERT_EQ(canvas.texts.size(), 4u);
  EXPECT_EQ(canvas.texts[1].text, "b");
  EXPECT_EQ(canvas.texts[1].font.style, font_style::fsBold);
  EXPECT_NEAR(canvas.texts[2].x, canvas.texts[1].x + 150 / 6.25, 1e-9);
  EXPECT_LT(canvas.texts[3].y, canvas.texts[2].y);
  EXPECT_EQ(canvas.texts[3].font.size, 7);
}

TEST_F(TextLayout, TextWithLineEndsLaysOutAsItsSourceLinesGivenOneByOne) {
  // CR LF, CR and LF end a line, a trailing end adds none; tags, wrapping, empty lines.
  const std::pair<std::string, Texts> cases[] = {
      {"", {}},
      {"\r\n", {""}},
      {"ab cd ef gh", {"ab cd ef gh"}},
      {"ab\r\ncd\ref\ngh", {"ab", "cd", "ef", "gh"}},
      {"ab\n\n\rcd\r\n", {"ab", "", "", "cd"}},
      {"\r\r\nx", {"", "", "x"}},
      {"<b>bold text</b> here\r\nplain <i>and it</i> wraps", {"<b>bold text</b> here",
                                                            "plain <i>and it</i> wraps"}},
  };
  for (bool html : {false, true}) {
    Setup(6.5, true, html);
    for (const auto& [text, lines] : cases) {
      SCOPED_TRACE(text);
      layout.SetText(text);
      const std::vector<TextLine> from_text = layout.Lines();
      const std::string full = layout.FullText();
      layout.SetText(lines);
      const std::vector<TextLine>& from_lines = layout.Lines();
      ASSERT_EQ(from_text.size(), from_lines.size());
      for (size_t i = 0; i < from_text.size(); ++i) {
        EXPECT_EQ(from_text[i].text, from_lines[i].text);
        EXPECT_EQ(from_text[i].attrs, from_lines[i].attrs);
        EXPECT_EQ(from_text[i].flags, from_lines[i].flags);
        EXPECT_EQ(from_text[i].paragraph, from_lines[i].paragraph);
        EXPECT_EQ(from_text[i].source_begin, from_lines[i].source_begin);
        EXPECT_EQ(from_text[i].source_next, from_lines[i].source_next);
      }
      EXPECT_EQ(full, layout.FullText());
      EXPECT_EQ(layout.CountLines(text), from_text.size());
    }
  }
}

TEST(MemoLayout, OneLineArialTenWithFrameNeedsEighteenPixels) {
  FixedMeasurer measurer;
  TfrxDrawText layout(&measurer);
  TfrxMemoView memo;
  memo.SetBounds(0, 0, 200, 10);
  memo.SetText("Иванов");
  memo.Frame().typ = frame_typ::kAll;
  EXPECT_EQ(CalcMemoHeight(memo, layout), 18);
  // Two lines, a drop shadow of 4.
  memo.SetText("Иванов\r\nПетров");
  memo.Frame().drop_shadow = true;
  EXPECT_EQ(CalcMemoHeight(memo, layout), std::round(2 * (83 / 6.25 + 2) + 2 + 0.5 + 4));
  // Width: 6 characters of 16 pixels, 2 * GapX, half of the side lines, the shadow.
  EXPECT_EQ(CalcMemoWidth(memo, layout), std::round(96 + 4 + 0 + 0.5 + 4));
}

TEST(MemoLayout, PartTextOfAMemoUsesItsHeightLessGapsAndFrame) {
  FixedMeasurer measurer;
  TfrxDrawText layout(&measurer);
  TfrxMemoView memo;
  memo.SetBounds(0, 0, 4 + 3.5 * 16, 10);
  memo.SetText("aaa bbb ccc");
  memo.Frame().typ = frame_typ::kAll;
  // 2 + 2 * 15.28 + 0.5 = 33.06 holds two lines.
  PartTextResult part = CalcMemoPartText(memo, 34, layout);
  EXPECT_EQ(part.fitting, "aaa bbb");
  EXPECT_EQ(part.rest, "ccc");
  part = CalcMemoPartText(memo, 32, layout);
  EXPECT_EQ(part.rest, "bbb ccc");
}


TEST(TextLayoutGarbage, RandomTextWithEveryOptionKeepsTheLineInvariants) {
  FixedMeasurer measurer;
  TfrxDrawText layout(&measurer);
  std::mt19937 random(12345);
  const std::string alphabet[] = {"a", " ", "<", ">", "<b>", "</b>", "<nowrap>", "</font>",
                                  "<font color=#12>", "\r\n", "\xD0", "ё", "переносим", "-"};
  for (int round = 0; round < 400; ++round) {
    std::string text;
    int pieces = static_cast<int>(random() % 40);
    for (int i = 0; i < pieces; ++i) text += alphabet[random() % std::size(alphabet)];
    uint32_t flags = random();
    layout.SetFont(CanvasFont{});
    layout.SetOptions(flags & 1, flags & 2, static_cast<int>(random() % 720) - 360, true,
                      flags & 4, flags & 8, false);
    layout.SetGaps((flags & 16) ? -5 : 2, (flags & 32) ? 1.5 : 0, (flags & 64) ? 30 : 0);
    CanvasRect rect{0, 0, static_cast<double>(random() % 80), static_cast<double>(random() % 80)};
    layout.SetDimensions(rect, rect);
    layout.SetText(text, flags & 128);
    size_t paragraphs = 0;
    for (const TextLine& line : layout.Lines()) {
      ASSERT_EQ(line.text.size(), line.attrs.size());
      ASSERT_LE(line.source_begin, line.source_next);
      paragraphs += (line.flags & TextLine::kParaStart) != 0;
    }
    PartTextResult part = layout.PartText();
    // Whatever was split off, the pieces hold every visible character of the text.
    if (!(flags & 2) && !(flags & 8)) {
      std::string joined = part.fitting + part.rest;
      size_t letters = 0, joined_letters = 0;
      for (char c : text) letters += c == 'a';
      for (char c : joined) joined_letters += c == 'a';
      EXPECT_EQ(letters, joined_letters) << text;
    }
    RecordingCanvas canvas;
    layout.DrawText(canvas, static_cast<TfrxHAlign>(flags % 4),
                    static_cast<TfrxVAlign>((flags >> 8) % 3), flags & 4);
    EXPECT_EQ(canvas.clips.size(), static_cast<size_t>(canvas.pops));
    (void)paragraphs;
  }
}

}  // namespace
}  // namespace lgoty::report
