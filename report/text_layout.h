// Text layout of memos: breaks a memo's text into lines for its width, measures them, gives
// the band engine the height and width a memo needs and the part of a text that fits a
// split band, and draws the lines on a canvas. One layout object serves every memo of a
// report (TfrxReport::DrawText()); DefaultDrawText() serves memos without a report. Every
// sequence of calls (font, options, gaps, dimensions, text, then results) runs under the
// object's lock.
//
// Measuring happens at 600 units per inch (kDefPPI); gaps and rectangles are report pixels
// (96 per inch), so one pixel is kMeasureScale = 6.25 measuring units.
//
// Line list invariants:
//   1. every source line of the text gives at least one line (an empty one gives one);
//   2. the first line of a source line carries kParaStart, its last one kParaEnd;
//   3. text and attrs of a line have the same length;
//   4. source positions index the source line with its tags, so that the part of a text
//      that did not fit can be cut from the source without losing tags.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/recursive_lock.h"
#include "report/canvas.h"

namespace lgoty::core {
class TStringList;
}

namespace lgoty::report {

class TfrxCustomMemoView;
class TfrxFont;

// Style of one character after HTML-like tags are read.
struct TextCharAttr {
  enum Script : uint8_t { kNormal, kSub, kSup };
  uint32_t style = 0;  // font_style bits
  TColor color = clBlack;
  Script script = kNormal;
  bool nowrap = false;
  bool operator==(const TextCharAttr&) const = default;
};

struct TextLine {
  static constexpr uint32_t kParaStart = 1, kParaEnd = 2;
  std::u32string text;
  std::vector<TextCharAttr> attrs;
  uint32_t flags = 0;
  size_t paragraph = 0;     // index of the source line
  size_t source_begin = 0;  // source position of the line's first character
  size_t source_end = 0;    // source position after its last character (the '-' excluded)
  size_t source_next = 0;   // where the next line of the paragraph starts in the source
  bool hyphenated = false;  // a '-' was appended by word break
};

struct PartTextResult {
  std::string fitting;       // the source text of the lines that fit (CR LF between lines)
  std::string rest;          // the source text that did not fit
  bool inside_paragraph = false;  // the split fell inside a source line
};

class TfrxDrawText {
 public:
  // measurer is borrowed and must outlive the layout; null uses DefaultTextMeasurer() at
  // the time of each measurement.
  explicit TfrxDrawText(TfrxTextMeasurer* measurer = nullptr);
  TfrxDrawText(const TfrxDrawText&) = delete;
  TfrxDrawText& operator=(const TfrxDrawText&) = delete;

  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  void SetFont(const CanvasFont& font);
  // SetFont of CanvasFont::From(font) with its size times scale; a font the layout has
  // already is recognised without building it.
  void SetFont(const TfrxFont& font, double scale = 1);
  void SetOptions(bool word_wrap, bool html_tags, int rotation, bool wysiwyg, bool clipped,
                  bool word_break, bool rtl);
  void SetGaps(double line_spacing, double char_spacing, double paragraph_gap);
  // Both rectangles in report pixels: the first is laid out in, the second drawn in.
  void SetDimensions(const CanvasRect& text_rect, const CanvasRect& draw_rect);
  // Source lines (UTF-8). full_width gives every line the full width (no paragraph gap).
  void SetText(const std::vector<std::string>& lines, bool full_width = false);
  // Text whose lines are joined by CR LF (or LF); a trailing line end adds no line.
  void SetText(std::string_view text, bool full_width = false);
  // SetText of a memo's lines joined as its Text gives them (no last line break), taken
  // line by line as CountLines(TStringList) takes them.
  void SetText(const core::TStringList& lines, bool full_width = false);
  // Clears the paragraph start of the first line (first) and the paragraph end of the last
  // line (last): the text continues from, or into, another part.
  void SetParaBreaks(bool first, bool last);

  // The number of lines SetText would make of a text, without making them (the line list
  // is left empty). Sets nothing but what the count needs; TextHeight stays 0 after it.
  size_t CountLines(std::string_view text, bool full_width = false);
  // CountLines of a memo's lines joined as its Text gives them (no last line break): the
  // lines are counted one by one, joined (in a buffer the layout keeps) only when one of
  // them holds a line break of its own.
  size_t CountLines(const core::TStringList& lines, bool full_width = false);

  // Report pixels.
  double TextHeight() const;
  // The height of count lines (TextHeight is the height of the line list).
  double HeightOfLines(size_t count) const;
  double TextWidth();
  // Height of one line: font height / 6.25 + line spacing.
  double LineHeight() const;
  // Splits off the lines that fit the text rectangle's height.
  PartTextResult PartText() const;
  // Draws the line list in the drawing rectangle with the alignments. underlines draws a
  // rule under every line position down to the rectangle's bottom, as ruled paper.
  void DrawText(TfrxCanvas& canvas, TfrxHAlign halign, TfrxVAlign valign,
                bool underlines = false, const CanvasPen& underline_pen = {});

  const std::vector<TextLine>& Lines() const {
    Expand();
    return lines_;
  }
  // Lines as UTF-8, for callers that only need the texts.
  std::vector<std::string> LineTexts() const;
  const std::string& FullText() const { return full_text_; }
  const CanvasFont& Font() const { return font_; }
  int Rotation() const { return rotation_; }

  // The font of a character with its tag style (sub- and superscripts are smaller).
  CanvasFont FontFor(const TextCharAttr& attr) const;

  // Lays out and draws every text the general way: tags read even from a text without
  // any, each drawn line measured again. The results are the same; tests compare them.
  void UseGeneralPathOnly(bool general) { general_only_ = general; }

 private:
  struct Paragraph {
    std::u32string text;
    std::vector<TextCharAttr> attrs;
    std::vector<size_t> source;  // source position of each character
    size_t source_length = 0;
  };

  TfrxTextMeasurer& Measurer() const;
  // Which measurer measured: its address and, for the default one, how many defaults had
  // been installed (a new one may take the address of the old).
  struct MeasurerStamp {
    const TfrxTextMeasurer* measurer = nullptr;
    uint64_t generation = 0;
    bool operator==(const MeasurerStamp&) const = default;
  };
  MeasurerStamp StampOf(const TfrxTextMeasurer& measurer) const;
  // SetText in two steps: the line list emptied and the widths taken, then each source
  // line read and broken.
  void StartText(bool full_width);
  // Empties the line list and the source lines, keeping their storage.
  void ClearText();
  // Ends the line list and the source lines at line_count_ and source_count_.
  void FinishText();
  void AddSourceLine(std::string_view line);
  // AddSourceLine's shortcut for a source line without tags or line breaks that fits the
  // first line's width: decodes it into source and makes its one line; false (nothing
  // added) when the line is not such a line or the shortcut does not serve (the general
  // path, spacing, a measurer that does not add advances, a character not measured yet).
  bool AddFittingLine(std::string_view line, std::u32string& source);
  // AddFittingLine's first half: decodes the line into source and its positions into
  // fit_advances_; false when the line is not such a line.
  bool MeasureFittingLine(std::string_view line, std::u32string& source);
  // Its second half for the last source line: its advances appended to advances_ (when it
  // has more than one character) and its line made.
  void KeepFittingLine();
  // Its second half: the one line of sources_[paragraph], every character in style base,
  // with its advances at advance_at (or kNoAdvances), at the end of the line list.
  void MakeFittingLine(size_t paragraph, size_t advance_at, const TextCharAttr& base) const;
  // The style of a character without tags in the layout's font.
  TextCharAttr OwnStyle() const;
  // Makes the line list of a single-line text (single_): its one line as MakeFittingLine
  // makes it, with single_flags_. Nothing for other texts.
  void Expand() const;
  // The general rest of AddSourceLine: decodes the line into source and breaks it.
  void BreakSourceLine(std::string_view line, std::u32string& source);
  bool SwapsAxes() const;
  // HeightOfLines with the line height given.
  double HeightOf(size_t count, double line_height) const;
  // Reads the tags of source into paragraph (whose storage is reused).
  void ReadTags(const std::u32string& source, Paragraph& paragraph) const;
  // A line at the end of the line list, with the storage of a line of an earlier text.
  TextLine& NewLine();
  // measured: the paragraph has no tags and scratch_ holds its positions in font_
  // (DecodeMeasured).
  void BreakParagraph(size_t index, const std::u32string& source, double first_width,
                      double full_width, bool measured);
  // The lines one source line (UTF-8) gives.
  size_t CountSourceLine(std::string_view line, double first_width, double full_width);
  size_t CountParagraphLines(const std::u32string& source, double first_width,
                             double full_width, bool measured);
  // Advances of the characters met so far in one font, when the measurer's run positions
  // are sums of single characters' advances (TfrxTextMeasurer::AddsCharAdvances): a run is
  // then summed here, in the measurer's order, without asking it. The tables belong to the
  // layout and are used under its lock like the rest of it.
  struct FontAdvances {
    CanvasFont font;
    std::vector<double> low;  // characters below kTableRange; NaN until measured
    std::unordered_map<char32_t, double> other;
  };
  // Latin, Cyrillic and the punctuation blocks up to U+2200 go into the plain array.
  static constexpr char32_t kTableRange = 0x2200;
  // More fonts than this (a preview zoomed many times) start the tables afresh.
  static constexpr size_t kMaxTables = 32;
  // The table of font, or null when the measurer does not add advances (or the general
  // path is taken).
  FontAdvances* AdvancesOf(const CanvasFont& font);
  // AdvancesOf(font_), answered without a call while the table found last for font_ still
  // holds (same font, same measurer, the general path not asked for).
  FontAdvances* OwnAdvances();
  // The advance of c, measured by the measurer and kept.
  double MeasureChar(FontAdvances& table, char32_t c);
  // What Measurer().CharPositions(font, text, positions) gives, from the tables when they
  // serve.
  void RunPositions(const CanvasFont& font, std::u32string_view text,
                    std::vector<double>& positions);
  // DecodeUtf8Into line, out and RunPositions(table.font, out, positions) in one pass.
  void DecodeAndMeasure(std::string_view line, FontAdvances& table, std::u32string& out,
                        std::vector<double>& positions);
  // The last position of a line (UTF-8) in table's font, as DecodeAndMeasure would give it,
  // without storing anything; count receives the number of characters.
  double DecodedExtent(std::string_view line, FontAdvances& table, size_t& count);
  // What the line count's shortcut makes of a source line (UTF-8) of a memo's lines.
  enum class PlainLine {
    kFits,   // no break, no tag: one line
    kLong,   // no break, no tag, but wider than the first line's width
    kBreak,  // a CR or LF of its own
    kTag,    // a '<' with tags read (the rest of the line not looked at)
  };
  // Decodes a line and sums its advances in table's font as DecodedExtent does, looking for
  // line breaks and tags on the way; stops at the first of them.
  PlainLine ScanPlainLine(std::string_view line, FontAdvances& table, double first_width);
  // Decodes a source line into out with its positions in font_ in scratch_, when the line
  // is to be broken, has no tags and the tables serve; false (nothing done) otherwise.
  bool DecodeMeasured(std::string_view line, std::u32string& out);
  // The advance of a whole run (its last position, or 0), as TextExtent gives it.
  double RunExtent(const CanvasFont& font, std::u32string_view text);
  // Absolute advance after each character of the paragraph, measured run by run.
  void MeasureParagraph(const Paragraph& paragraph, std::vector<double>& positions);
  // Advance of one line, run by run, without spacing; fills positions when given. attrs
  // holds the style of each character, or is null for the line of a single-line text.
  double MeasureLine(std::u32string_view text, const TextCharAttr* attrs,
                     std::vector<double>* positions);
  std::string OpeningTags(const TextCharAttr& attr) const;
  std::string SourceRange(size_t paragraph, size_t begin, size_t end) const;

  core::RecursiveLock mutex_;
  TfrxTextMeasurer* measurer_;
  CanvasFont font_;
  int font_em_;  // font_.MeasureHeight(), asked for the line height of every measured memo
  // SetFont(TfrxFont)'s last font height and scale, and the size they give.
  int sized_height_ = 0;
  double sized_scale_ = std::nan(""), sized_size_ = 0;
  bool word_wrap_ = true, html_ = false, wysiwyg_ = true, clipped_ = true,
       word_break_ = false, rtl_ = false;
  int rotation_ = 0;
  double line_spacing_ = 2, char_spacing_ = 0, paragraph_gap_ = 0;
  CanvasRect text_rect_, draw_rect_;
  std::vector<std::u32string> sources_;
  // The line list, and lines of earlier texts kept for their storage. Mutable: the line of a
  // single-line text is made on the first call that reads the list (Expand), const ones
  // included.
  mutable std::vector<TextLine> lines_;
  mutable std::vector<TextLine> spare_lines_;
  // Lines and source lines of the text being set.
  mutable size_t line_count_ = 0;
  size_t source_count_ = 0;
  // A text of one source line that MeasureFittingLine took: sources_[0] and fit_advances_
  // hold it, lines_, line_notes_ and advances_ nothing of it (entries of earlier texts), single_flags_ its
  // line's flags and single_style_ the style of its characters (the font's when it was
  // set: a font set after the text changes the font it is drawn in, not its style).
  mutable bool single_ = false;
  uint32_t single_flags_ = 0;
  TextCharAttr single_style_;
  std::vector<std::u32string> spare_sources_;
  Paragraph paragraph_;  // the paragraph with tags being broken
  // The advances (positions without spacing, measuring units) of the lines whose first
  // character starts their paragraph, as SetText measured them: the positions DrawText
  // would measure again. line_notes_[line].advance_at indexes advances_, or is kNoAdvances.
  // They hold while the font and measurer they were measured with do.
  static constexpr size_t kNoAdvances = static_cast<size_t>(-1);
  struct LineNote {
    size_t advance_at = kNoAdvances;
    bool one_style = false;  // every character of the line has the memo's own style
  };
  std::vector<double> advances_;
  mutable std::vector<LineNote> line_notes_;
  // The positions of the line MeasureFittingLine took last (fit_room_ of them, grown only).
  std::unique_ptr<double[]> fit_advances_;
  size_t fit_room_ = 0;
  MeasurerStamp advances_measurer_;  // none: the advances do not hold
  // The ascent DrawText asked last, with its font and measurer.
  CanvasFont ascent_font_;
  MeasurerStamp ascent_measurer_;
  double ascent_ = 0;
  bool general_only_ = false;
  std::string full_text_;
  std::vector<double> scratch_;  // character positions, reused between paragraphs
  std::vector<double> run_;      // positions of one run, reused by CountLines
  std::u32string paragraph_source_;  // the paragraph CountLines is at
  std::string lines_text_;           // the joined lines CountLines(TStringList) counts
  std::vector<double> line_positions_;  // DrawText's positions of one line
  std::vector<double> char_positions_;  // one character's position, measured for a table
  std::vector<double> extent_positions_;  // RunExtent's positions
  std::vector<std::unique_ptr<FontAdvances>> tables_;
  MeasurerStamp tables_measurer_;  // the measurer the tables hold for
  bool tables_serve_ = false;      // that measurer adds advances
  FontAdvances* font_table_ = nullptr;  // the table of font_, once asked for
  // The widths SetText breaks its source lines to, in measuring units.
  double text_width_ = 0, text_first_width_ = 0;
};

// The locked-scope helper: std::lock_guard over a layout.
using DrawTextLock = std::lock_guard<TfrxDrawText>;

// The layout for memos without a report (process-wide; lock it like any other).
TfrxDrawText& DefaultDrawText();

// The measurer layouts use unless they were given one. Until a program installs a real one
// (render::InstallTextMeasurer), an approximation serves: every character advances
// 0.55 em, ascent 0.9 em, descent 0.2 em; good enough for headless tools, not for output.
TfrxTextMeasurer& DefaultTextMeasurer();
// Replaces the default measurer (at start-up, before any layout is used).
void SetDefaultTextMeasurer(std::unique_ptr<TfrxTextMeasurer> measurer);

// Fills the layout with a memo: its font, options, gaps, text rectangle (its frame rectangle
// less the gaps; 10000 x 10000 pixels with AutoWidth) and text. The caller holds the lock.
void PrepareMemoLayout(const TfrxCustomMemoView& memo, TfrxDrawText& layout);
// The height a memo needs when it stretches, and the width it needs with AutoWidth, in
// report pixels rounded to whole pixels (both take the layout's lock).
double CalcMemoHeight(const TfrxCustomMemoView& memo, TfrxDrawText& layout);
double CalcMemoWidth(const TfrxCustomMemoView& memo, TfrxDrawText& layout);
// The part of a memo's text that fits the given height (of the memo's frame, in pixels),
// and the rest.
PartTextResult CalcMemoPartText(const TfrxCustomMemoView& memo, double height,
                                TfrxDrawText& layout);

}  // namespace lgoty::report
