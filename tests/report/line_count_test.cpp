// Counting the lines of a text (what a stretching memo's height needs) must give the
// number of lines the full layout makes, whatever the text, its tags and the options: the
// band engine sizes memos by the count and draws them from the full layout. Measured by a
// fake whose advance differs from character to character, so that break places depend on
// which characters a line holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/string_list.h"
#include "report/graphics.h"
#include "report/text_layout.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

class VaryingMeasurer final : public TfrxTextMeasurer {
 public:
  static double Advance(const CanvasFont& font, char32_t c) {
    const double base = 30 + static_cast<double>(c % 7) * 15;
    return base * font.size / 10 * ((font.style & font_style::fsBold) ? 1.5 : 1.0);
  }
  FontMetrics Metrics(const CanvasFont& font) override {
    return {font.MeasureHeight() * 0.8, font.MeasureHeight() * 0.2};
  }
  void CharPositions(const CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override {
    positions.resize(text.size());
    double x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      x += Advance(font, text[i]);
      positions[i] = x;
    }
  }
};

struct Options {
  double width = 100;  // report pixels
  bool word_wrap = true, html = false, word_break = false, full_width = false;
  int rotation = 0;
  double char_spacing = 0, paragraph_gap = 0;
};

void Apply(TfrxDrawText& layout, const Options& o) {
  CanvasFont font;
  layout.SetFont(font);
  layout.SetOptions(o.word_wrap, o.html, o.rotation, true, true, o.word_break, false);
  layout.SetGaps(2, o.char_spacing, o.paragraph_gap);
  const CanvasRect rect = o.rotation == 90 ? CanvasRect{0, 0, 300, o.width}
                                           : CanvasRect{0, 0, o.width, 300};
  layout.SetDimensions(rect, rect);
}

// Options drawn at random, in the same order of draws whatever is chosen (character
// spacing drawn only when asked, so that a test's sequence of cases stays as it was).
Options RandomOptions(std::mt19937& random, bool with_char_spacing) {
  Options o;
  o.width = 4 + static_cast<double>(random() % 200);
  o.word_wrap = random() % 8 != 0;
  o.html = random() % 2 == 0;
  o.word_break = random() % 2 == 0;
  o.full_width = random() % 4 == 0;
  o.rotation = random() % 6 == 0 ? 90 : 0;
  if (with_char_spacing) o.char_spacing = random() % 3 == 0 ? 1.5 : 0;
  o.paragraph_gap = random() % 3 == 0 ? 10 : 0;
  return o;
}

// The shortcut's count of memo lines against the lines the general layout makes of their text.
void ExpectMemoCountAsGeneral(TfrxDrawText& fast, TfrxDrawText& general, const core::TStringList& lines,
                              const Options& o, int round) {
  std::string text;
  lines.JoinedTo(text);
  Apply(general, o);
  general.SetText(text, o.full_width);
  Apply(fast, o);
  EXPECT_EQ(fast.CountLines(lines, o.full_width), general.Lines().size())
      << "round " << round << " text \"" << text << "\"";
}

void ExpectSameCount(TfrxDrawText& layout, const Options& o, const std::string& text) {
  Apply(layout, o);
  layout.SetText(text, o.full_width);
  const size_t full = layout.Lines().size();
  const double full_height = layout.TextHeight();
  Apply(layout, o);
  const size_t counted = layout.CountLines(text, o.full_width);
  EXPECT_EQ(counted, full) << "text \"" << text << "\" width " << o.width << " html " << o.html
                           << " word break " << o.word_break << " wrap " << o.word_wrap;
  EXPECT_DOUBLE_EQ(layout.HeightOfLines(counted), full_height);
}

TEST(LineCount, HandPickedTextsCountAsTheyAreLaidOut) {
  VaryingMeasurer measurer;
  TfrxDrawText layout(&measurer);
  const std::vector<std::string> texts = {
      "", "a", "ab", " ", "  ", "Иванов Иван Иванович", "Иванов\r\nПетров", "a\r\n", "\r\n",
      "\r\n\r\n", "a\rb\nc\r\n\r\nd", "оченьдлинноеслово без пробелов вообще",
      "<b>жирный</b> и обычный текст в одной строке", "<nowrap>не переносить эту часть</nowrap> а тут можно",
      "<font color=\"#FF0000\">красный</font> <sub>2</sub> <sup>3</sup> <unknown> тег",
      "a < b > c и ещё немного текста", "ул. Ленина, д. 5, кв. 17; г. Москва-Сити",
      "12.03.1950", "1 234 567,89",
      // Ill-formed bytes, also cut short by a line end: each byte is one replacement character.
      "\xD0\r\nб", "a\xE2\x80\nb\xE2\x80", "\x80\xFF длинное слово\rещё \xF0\x9F\x98"};
  for (double width : {8.0, 16.0, 40.0, 100.0, 400.0}) {
    for (bool html : {false, true}) {
      for (bool word_break : {false, true}) {
        Options o;
        o.width = width;
        o.html = html;
        o.word_break = word_break;
        for (const std::string& text : texts) ExpectSameCount(layout, o, text);
      }
    }
  }
}

TEST(LineCount, RandomTextsCountAsTheyAreLaidOutUnderEveryOption) {
  VaryingMeasurer measurer;
  TfrxDrawText layout(&measurer);
  const std::vector<std::string> pieces = {
      "а", "б", "в", "о", "е", "й", "ь", "ст", "x", "Q", " ", " ", " ", ".", ",", "-", ";",
      "<b>", "</b>", "<i>", "<nowrap>", "</nowrap>", "<sub>", "</sub>", "<font color=\"#00FF00\">",
      "</font>", "<", ">", "\r\n", "\n", "\r", "ё", "Ы"};
  std::mt19937 random(20261209);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 60);
    for (int k = 0; k < length; ++k) text += pieces[random() % pieces.size()];
    const Options o = RandomOptions(random, true);
    ExpectSameCount(layout, o, text);
    if (HasFailure()) break;
  }
}

// Records the texts handed to CharPositions, so that a test can see which code points the
// count and the full layout read out of the same bytes.
class RecordingMeasurer final : public TfrxTextMeasurer {
 public:
  FontMetrics Metrics(const CanvasFont& font) override { return inner.Metrics(font); }
  void CharPositions(const CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override {
    texts.emplace_back(text);
    inner.CharPositions(font, text, positions);
  }
  VaryingMeasurer inner;
  std::vector<std::u32string> texts;
};

// Random bytes, well-formed or not (two-byte sequences cut short, stray continuation bytes,
// overlong and surrogate forms, line ends inside sequences): the count measures the same
// code points that the full layout measures, line for line, and counts the same lines.
TEST(LineCount, RandomBytesDecodeAsTheFullLayoutDecodesThem) {
  RecordingMeasurer measurer;
  TfrxDrawText layout(&measurer);
  const std::vector<std::string> pieces = {
      "\xD0\xB0", "\xD1\x8F", "\xC2\xA0", "\xDF\xBF", "\xC0\xAF", "\xC1\xBF", "\xC2", "\xDF",
      "\xD0", "\x80", "\xBF", "\xE2\x82\xAC", "\xE2\x82", "\xED\xA0\x80", "\xF0\x9F\x98\x80",
      "\xF8", "\xFF", "a", " ", "\r\n", "\n", "\r"};
  std::mt19937 random(7091226);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) text += pieces[random() % pieces.size()];
    Options o;
    o.width = 4 + static_cast<double>(random() % 200);
    o.word_wrap = random() % 8 != 0;
    Apply(layout, o);
    measurer.texts.clear();
    layout.SetText(text);
    const size_t full = layout.Lines().size();
    std::vector<std::u32string> full_texts = measurer.texts;
    Apply(layout, o);
    measurer.texts.clear();
    EXPECT_EQ(layout.CountLines(text), full) << "round " << round;
    // The full layout measures a paragraph of more than one character that wraps; the count
    // measures every paragraph of more than one character.
    for (const std::u32string& measured : full_texts) {
      EXPECT_NE(std::find(measurer.texts.begin(), measurer.texts.end(), measured),
                measurer.texts.end())
          << "round " << round;
    }
    if (HasFailure()) break;
  }
}

// A memo's lines are counted as its Text gives them: joined, without the last line break,
// so that a trailing empty line counts as Text would count it.
TEST(LineCount, MemoLinesCountAsTheMemosText) {
  VaryingMeasurer measurer;
  TfrxDrawText layout(&measurer);
  const std::vector<std::string> texts = {"",       "a",        "a\r\n",   "a\r\n\r\n",  "\r\n",
                                          "\r\n\r\n", "a\r\nb", "a\nb\r", "Иванов Иван Иванович\r\n\r\n\r\n"};
  for (const std::string& text : texts) {
    for (double width : {10.0, 60.0, 400.0}) {
      TfrxMemoView memo;
      memo.SetText(text);
      Options o;
      o.width = width;
      Apply(layout, o);
      const size_t from_text = layout.CountLines(memo.Text());
      Apply(layout, o);
      EXPECT_EQ(layout.CountLines(memo.Lines()), from_text) << "text \"" << text << "\"";
    }
  }
}

// Lines counted one by one give what their joined text gives, under every option: random
// lines with tags, Cyrillic, empty ones (a last empty line adds nothing), and lines holding a
// CR or LF of their own (counted from the joined text).
TEST(LineCount, RandomMemoLinesCountAsTheirJoinedText) {
  VaryingMeasurer measurer;
  TfrxDrawText layout(&measurer);
  const std::vector<std::string> pieces = {"", "а", "ст", "Иванов", " ", "-", "x", "<b>", "</b>",
                                           "<nowrap>", "ё ё", "\r\n", "\r", "\n", "длинноеслово"};
  std::mt19937 random(1209);
  for (int round = 0; round < 3000; ++round) {
    TfrxMemoView memo;
    const int count = static_cast<int>(random() % 5);
    for (int i = 0; i < count; ++i) {
      std::string line;
      const int length = static_cast<int>(random() % 6);
      for (int k = 0; k < length; ++k) {
        const std::string& piece = pieces[random() % pieces.size()];
        // Breaks inside a line only now and then: most lines are as SetText makes them.
        if (piece.find_first_of("\r\n") != std::string::npos && random() % 4 != 0) continue;
        line += piece;
      }
      memo.Lines().Add(line);
    }
    const Options o = RandomOptions(random, false);
    Apply(layout, o);
    const size_t from_text = layout.CountLines(memo.Text(), o.full_width);
    Apply(layout, o);
    EXPECT_EQ(layout.CountLines(memo.Lines(), o.full_width), from_text)
        << "round " << round << " text \"" << memo.Text() << "\"";
    if (HasFailure()) break;
  }
}

// A measurer whose runs are sums of its characters' advances, so that the layout keeps
// the advances and counts plain lines in one pass over their bytes.
class AddingMeasurer final : public TfrxTextMeasurer {
 public:
  bool AddsCharAdvances() const override { return true; }
  FontMetrics Metrics(const CanvasFont& font) override { return inner.Metrics(font); }
  void CharPositions(const CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override {
    inner.CharPositions(font, text, positions);
  }
  VaryingMeasurer inner;
};

// Memo lines counted by the one-pass shortcut (plain lines that fit, long ones, tags, a
// break found after a long or tagged line, ill-formed bytes next to breaks) give the count
// of their joined text on the general path.
TEST(LineCount, ShortcutForMemoLinesCountsAsTheGeneralPath) {
  AddingMeasurer measurer;
  TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  const std::vector<std::string> pieces = {
      "",     "а",      "Иванов", " ",        "x",   "12.03.1950", "<b>", "</b>", "<",
      "\r\n", "\r",     "\n",     "\xD0",     "\xE2\x82", "\x80", "\xF0\x9F\x98\x80", "ё ё",
      "длинноеслово", "ул. Ленина, д. 5"};
  std::mt19937 random(31337);
  for (int round = 0; round < 4000; ++round) {
    core::TStringList lines;
    const int count = static_cast<int>(random() % 4);
    for (int i = 0; i < count; ++i) {
      std::string line;
      const int length = static_cast<int>(random() % 5);
      for (int k = 0; k < length; ++k) {
        const std::string& piece = pieces[random() % pieces.size()];
        if (piece.find_first_of("\r\n") != std::string::npos && random() % 3 != 0) continue;
        line += piece;
      }
      lines.Add(line);
    }
    ExpectMemoCountAsGeneral(fast, general, lines, RandomOptions(random, true), round);
    EXPECT_TRUE(fast.Lines().empty());
    if (HasFailure()) break;
  }
}

// The one-pass scan of memo lines reads bytes as the general decoder does: two-byte
// sequences at the edges of their ranges (leads C2 and DF, continuations 80 and BF), leads
// C0, C1 and E0 that start no two-byte character, a lead followed by a byte just outside
// the continuation range (7F, C0) or by nothing, stray continuations, longer sequences;
// and a line of one character wider than the room still counts one line.
TEST(LineCount, ShortcutForMemoLinesDecodesRandomBytesAsTheGeneralPath) {
  AddingMeasurer measurer;
  TfrxDrawText fast(&measurer), general(&measurer);
  general.UseGeneralPathOnly(true);
  const std::vector<std::string> pieces = {
      "\xC2\x80", "\xDF\xBF", "\xD0\xB0", "\xD1\x8F", "\xC2\x7F", "\xDF\xC0", "\xC0\x80",
      "\xC1\xBF", "\xE0\xA0\x80", "\xE2\x82\xAC", "\xC2",     "\xDF",     "\x80",     "\xBF",
      "\xF0\x9F\x98\x80", "\xFF", "a", "W", " ", "<", "\r"};
  std::mt19937 random(20261210);
  for (int round = 0; round < 4000; ++round) {
    core::TStringList lines;
    const int count = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < count; ++i) {
      std::string line;
      const int length = static_cast<int>(random() % 7);
      for (int k = 0; k < length; ++k) line += pieces[random() % pieces.size()];
      lines.Add(line);
    }
    Options o = RandomOptions(random, false);
    if (random() % 3 == 0) o.width = 1;  // narrower than any one character
    ExpectMemoCountAsGeneral(fast, general, lines, o, round);
    if (HasFailure()) break;
  }
}

// A memo's height from the count equals the height of its full layout, with its frame,
// gaps and spacing around the text.
TEST(LineCount, MemoHeightEqualsTheFullLayoutsHeight) {
  VaryingMeasurer measurer;
  TfrxDrawText layout(&measurer);
  const std::vector<std::string> texts = {"", "Иванов", "Иванов Иван Иванович, 12.03.1950",
                                          "a\r\nb\r\n", "<b>Петров</b> Пётр Петрович"};
  for (const std::string& text : texts) {
    for (double width : {20.0, 60.0, 300.0}) {
      for (bool html : {false, true}) {
        TfrxMemoView memo;
        memo.SetBounds(0, 0, width, 10);
        memo.SetText(text);
        memo.allow_html_tags = html;
        memo.word_break = true;
        memo.gap_x = 2;
        memo.gap_y = 1;
        memo.line_spacing = html ? -1 : 3;
        memo.paragraph_gap = html ? 5 : 0;
        memo.Frame().typ = frame_typ::kAll;
        memo.Frame().width = 2;
        double full = 0;
        {
          DrawTextLock lock(layout);
          PrepareMemoLayout(memo, layout);
          full = layout.TextHeight();
        }
        const double padding = 2 * memo.gap_y + (memo.Frame().width - 1) / 2 +
                               memo.Frame().width / 2;
        EXPECT_EQ(CalcMemoHeight(memo, layout), std::round(full + padding))
            << text << " width " << width << " html " << html;
      }
    }
  }
}

}  // namespace
}  // namespace lgoty::report
