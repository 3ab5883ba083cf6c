// A canvas that writes a PDF file: one PDF page per BeginPage/EndPage, sized as asked, fonts
// embedded (only the glyphs used) and text kept as text (it can be searched and extracted).
//
// The page content is written by this canvas itself, not by a painter: a long report has
// thousands of pages of a few hundred cells each, and a general painter engine spends most
// of its time on state it writes again for every text run. Here each page's content stream
// says only what changes (colour, line width, font), consecutive lines of one pen are
// stroked as one path, and a clip is written only when something drawn inside it would
// reach outside it (a cell's text that fits its cell needs none).
#pragma once

#include <QImage>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "render/decoded_picture.h"
#include "render/pdf_file.h"
#include "report/canvas.h"

namespace lgoty::render {

class PdfFont;

class PdfCanvas final : public report::TfrxCanvas {
 public:
  explicit PdfCanvas(const QString& file_name);
  ~PdfCanvas() override;
  PdfCanvas(const PdfCanvas&) = delete;
  PdfCanvas& operator=(const PdfCanvas&) = delete;

  void BeginPage(double width, double height) override;
  void EndPage() override;
  // Finishes the file; false when it could not be written. A canvas without pages writes
  // an empty A4 page.
  bool Finish();
  int PageCount() const { return static_cast<int>(page_ids_.size()); }
  // Writes every text run the general way (the same bytes; tests compare the two).
  void UseGeneralPathOnly(bool general) { general_only_ = general; }
  // Writes the four sides of a frame, drawn one after another with one solid pen, as one
  // rectangle (on by default; tests turn it off to compare).
  void JoinFrameSides(bool join) { join_sides_ = join; }
  // Writes the glyph ids of text runs as hexadecimal strings instead of literal ones (off
  // by default; tests compare the two).
  void WriteHexStrings(bool hex) { hex_strings_ = hex; }

  void DrawText(double x, double y, std::string_view text, const report::CanvasFont& font,
                double char_spacing = 0, double rotation = 0) override;
  void DrawChars(double x, double y, std::u32string_view chars, const report::CanvasFont& font,
                 double char_spacing = 0, double rotation = 0) override;
  void DrawLine(report::CanvasPoint from, report::CanvasPoint to,
                const report::CanvasPen& pen) override;
  void DrawFrameSides(const report::CanvasRect& rect, const report::CanvasPen& pen) override;
  void FillRect(const report::CanvasRect& rect, const report::CanvasBrush& brush) override;
  void FillGradient(const report::CanvasRect& rect, report::TColor start_color,
                    report::TColor end_color, report::TfrxGradientStyle style) override;
  void DrawRect(const report::CanvasRect& rect, const report::CanvasPen& pen,
                const report::CanvasBrush& brush, double corner_radius = 0) override;
  void DrawEllipse(const report::CanvasRect& rect, const report::CanvasPen& pen,
                   const report::CanvasBrush& brush) override;
  void DrawPolygon(const std::vector<report::CanvasPoint>& points, const report::CanvasPen& pen,
                   const report::CanvasBrush& brush) override;
  bool PictureSize(std::string_view image, double& width, double& height) override;
  bool DrawPicture(const report::CanvasRect& rect, std::string_view image) override;
  void PushClip(const report::CanvasRect& rect) override;
  void PopClip() override;

 private:
  // What the content stream has set, so that only changes are written. Saved and put back
  // with the clips (q ... Q).
  struct State {
    int64_t stroke = -1, fill = -1;  // RGB; -1: not set
    // The colours stroke and fill were last asked for with (their RGB is stroke and fill);
    // meaningful once those are set.
    report::TColor stroke_color{}, fill_color{};
    double line_width = -1;
    int cap = -1;
    std::string dash;
    int pen_style = -1;  // the style the line width, cap and dash were set for; -1: none
    int font = -1;
    double font_size = -1;
    double char_spacing = 0;
  };
  struct Clip {
    report::CanvasRect rect;  // intersected with the levels below
    bool written = false;
    State saved;
  };

  void EnsurePage();
  // Whether a box needs no clip written: none is pending, or the box lies inside the
  // innermost one.
  bool ClipHolds(double left, double top, double right, double bottom) const;
  // Writes the clips still pending when the box does not lie inside the innermost one.
  void NeedClip(double left, double top, double right, double bottom);
  // Writes the lines held back and strokes the path.
  void FlushStroke();
  // A line of the path being gathered: its ends as given, and in hundredths of a unit as
  // they are written (what the rectangle test compares).
  struct Segment {
    double from_x, from_y, to_x, to_y;
    int64_t x1, y1, x2, y2;
  };
  // Holds a line back while it and the next ones may still be the sides of a rectangle;
  // four that are go out as one "re", else the oldest goes out as a line.
  void HoldSegment(const Segment& segment);
  void WriteSegment(double from_x, double from_y, double to_x, double to_y);
  void WriteHeld();
  // The rectangle four lines are the four sides of (in any order and direction), with
  // some width and height: its edges in hundredths, and its left and top edges as given.
  struct Frame {
    int64_t left, top, right, bottom;
    double left_value, top_value;
  };
  static bool FrameOf(const Segment* sides, Frame& frame);
  static Segment SegmentOf(report::CanvasPoint from, report::CanvasPoint to);
  // Writes a frame's rectangle ("x y w h re").
  void WriteFrame(const Frame& frame);
  void SetStroke(const report::CanvasPen& pen);
  void SetFill(report::TColor color);
  void Number(double value);
  void Point(double x, double y);
  // Path operators for the shapes; the path is then filled or stroked by FillAndStroke.
  std::string RectPath(const report::CanvasRect& rect, double radius) const;
  std::string EllipsePath(const report::CanvasRect& rect) const;
  void FillAndStroke(const std::string& path, const report::CanvasRect& box,
                     const report::CanvasPen& pen, const report::CanvasBrush& brush);
  void Hatch(const std::string& path, const report::CanvasRect& box, report::TColor color,
             report::TBrushStyle style);
  int FontIndex(const report::CanvasFont& font);
  // A text run of code points; surrogates and values above U+10FFFF draw as U+FFFD.
  void DrawRun(double x, double y, std::u32string_view chars, const report::CanvasFont& font,
               double char_spacing, double rotation);
  // A run's text object written the general way: font, spacing and matrix as needed.
  void WriteRun(double x, double y, std::string_view glyphs, int index, double size,
                double char_spacing, double rotation);
  int ImageObject(std::string_view image);
  std::string ResourcesDictionary() const;

  PdfFile file_;
  bool open_ = false;
  bool finished_ = false;
  int pages_id_ = 0, resources_id_ = 0;
  std::vector<int> page_ids_;

  bool in_page_ = false;
  double page_width_ = 0, page_height_ = 0;  // points
  std::string content_;
  NumberCache numbers_;  // the page's coordinates as written lately
  bool stroke_pending_ = false;
  Segment held_[4] = {};
  int held_count_ = 0;
  State state_;
  std::vector<Clip> clips_;

  struct FontEntry {
    std::unique_ptr<PdfFont> font;
    int id = 0;
  };
  std::vector<FontEntry> fonts_;
  std::map<std::pair<std::string, uint32_t>, int> font_by_key_;  // face name, style bits
  std::map<std::string, int> font_by_face_;  // the face file's family and style
  // The font asked for last (runs of one font follow each other): its key and index.
  std::string last_font_name_;
  uint32_t last_font_style_ = 0;
  int last_font_index_ = -1;
  // A character's glyph id as a literal string writes it (two to four bytes) and its
  // advance in thousandths of the em; length 0 until the glyph is looked up.
  struct LiteralGlyph {
    char bytes[4] = {};
    uint8_t length = 0;
    double width = 0;
  };
  static constexpr char32_t kLiteralRange = 0x500;  // Latin and Cyrillic
  std::vector<std::vector<LiteralGlyph>> literal_glyphs_;  // by font index
  std::u32string chars_;  // DrawText's run decoded, kept for its room
  // A run's text object as DrawRun writes it (run_room_ characters), kept for its room.
  std::unique_ptr<char[]> run_text_;
  size_t run_room_ = 0;
  std::map<std::string, int> images_;        // encoded bytes -> image object
  std::vector<int> image_ids_;
  std::vector<int> shading_ids_;
  DecodedPicture picture_;
  bool general_only_ = false;
  bool join_sides_ = true;
  bool hex_strings_ = false;
};

}  // namespace lgoty::render
