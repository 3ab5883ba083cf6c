#include "render/pdf_canvas.h"

#include <QPageSize>
#include <QRawFont>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/rounding.h"
#include "core/utf8_text.h"
#include "render/fonts.h"
#include "render/pdf_font.h"

namespace lgoty::render {

using report::CanvasBrush;
using report::CanvasFont;
using report::CanvasPen;
using report::CanvasPoint;
using report::CanvasRect;
using report::TBrushStyle;
using report::TColor;
using report::TfrxFrameStyle;

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kPointsPerUnit = 72.0 / report::kScrPPI;
// Distance between the lines of a hatch, in report units (a screen's 8 pixels).
constexpr double kHatchStep = 8;
// Bezier control distance for a quarter circle of radius 1.
constexpr double kKappa = 0.5522847498;

// The page size in points; a size within a fraction of a millimetre of a standard paper
// takes that paper's exact size (A4 stays A4).
QSizeF PaperPoints(double width, double height) {
  const bool landscape = width > height;
  if (landscape) std::swap(width, height);
  QSizeF size(std::max(1.0, width) * kMillimetresPerInch / report::kScrPPI,
              std::max(1.0, height) * kMillimetresPerInch / report::kScrPPI);
  QSizeF points = QPageSize(size, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch)
                      .size(QPageSize::Point);
  if (landscape) points.transpose();
  return points;
}

CanvasRect Normalized(const CanvasRect& r) {
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
          std::max(r.top, r.bottom)};
}

void AppendColor(std::string& out, TColor color) {
  const uint32_t rgb = report::ColorToRGB(color);
  AppendNumber(out, ((rgb >> 16) & 0xFF) / 255.0, 3);
  out += ' ';
  AppendNumber(out, ((rgb >> 8) & 0xFF) / 255.0, 3);
  out += ' ';
  AppendNumber(out, (rgb & 0xFF) / 255.0, 3);
}

// The dash pattern of a line style in units of the line width, as a painter draws it.
std::string DashOf(TfrxFrameStyle style, double width) {
  std::vector<double> pattern;
  switch (style) {
    case TfrxFrameStyle::fsDash: pattern = {4, 2}; break;
    case TfrxFrameStyle::fsDot: pattern = {1, 2}; break;
    case TfrxFrameStyle::fsDashDot: pattern = {4, 2, 1, 2}; break;
    case TfrxFrameStyle::fsDashDotDot: pattern = {4, 2, 1, 2, 1, 2}; break;
    case TfrxFrameStyle::fsAltDot:
    case TfrxFrameStyle::fsSquare: pattern = {1, 1}; break;
    case TfrxFrameStyle::fsSolid:
    case TfrxFrameStyle::fsDouble: break;
  }
  std::string out = "[";
  for (double d : pattern) {
    AppendNumber(out, d * std::max(width, 1.0));
    out += ' ';
  }
  out += "] 0";
  return out;
}

char* WriteHexGlyph(char* out, uint16_t glyph) {
  static const char kDigits[] = "0123456789ABCDEF";
  out[0] = kDigits[glyph >> 12];
  out[1] = kDigits[(glyph >> 8) & 0xF];
  out[2] = kDigits[(glyph >> 4) & 0xF];
  out[3] = kDigits[glyph & 0xF];
  return out + 4;
}

// A byte of a literal string as written: the delimiters and the backslash take a backslash,
// and so do the line ends (a reader takes a bare CR, LF or CR LF in a string for one LF).
// Every other byte stands for itself. kEscapes: the letter after the backslash, or 0.
constexpr std::array<char, 256> kEscapes = [] {
  std::array<char, 256> escapes{};
  escapes['('] = '(';
  escapes[')'] = ')';
  escapes['\\'] = '\\';
  escapes['\r'] = 'r';
  escapes['\n'] = 'n';
  return escapes;
}();

char* WriteLiteralByte(char* out, uint8_t byte) {
  if (const char escape = kEscapes[byte]; escape != 0) {
    out[0] = '\\';
    out[1] = escape;
    return out + 2;
  }
  *out = static_cast<char>(byte);
  return out + 1;
}

std::string SubsetTag(int index) {
  std::string tag(6, 'A');
  for (int i = 5; i >= 0 && index > 0; --i) {
    tag[static_cast<size_t>(i)] = static_cast<char>('A' + index % 26);
    index /= 26;
  }
  return tag;
}

}  // namespace

PdfCanvas::PdfCanvas(const QString& file_name) {
  open_ = file_.Open(file_name.toStdString());
  if (open_) {
    pages_id_ = file_.Reserve();
    resources_id_ = file_.Reserve();
  }
}

PdfCanvas::~PdfCanvas() { Finish(); }

// ---------------------------------------------------------------------------------------
// Pages

void PdfCanvas::BeginPage(double width, double height) {
  if (!open_ || finished_) return;
  if (in_page_) EndPage();
  const QSizeF points = PaperPoints(width, height);
  page_width_ = points.width();
  page_height_ = points.height();
  in_page_ = true;
  content_.clear();
  state_ = State{};
  clips_.clear();
  stroke_pending_ = false;
  held_count_ = 0;
  // Report units from the top left corner, y downwards.
  AppendNumber(content_, kPointsPerUnit, 4);
  content_ += " 0 0 ";
  AppendNumber(content_, -kPointsPerUnit, 4);
  content_ += " 0 ";
  AppendNumber(content_, page_height_, 3);
  content_ += " cm\n";
}

void PdfCanvas::EndPage() {
  if (!in_page_) return;
  FlushStroke();
  while (!clips_.empty()) PopClip();
  in_page_ = false;
  const int content_id = file_.Reserve(), page_id = file_.Reserve();
  // The content goes to the file's writing thread; the next page starts with as much room.
  const size_t capacity = content_.capacity();
  file_.WriteStream(content_id, "", std::move(content_));
  content_ = std::string();
  content_.reserve(capacity);
  std::string page = "<< /Type /Page /Parent " + std::to_string(pages_id_) +
                     " 0 R /Resources " + std::to_string(resources_id_) +
                     " 0 R /MediaBox [0 0 ";
  AppendNumber(page, page_width_, 3);
  page += ' ';
  AppendNumber(page, page_height_, 3);
  page += "] /Contents " + std::to_string(content_id) + " 0 R >>";
  file_.WriteObject(page_id, page);
  page_ids_.push_back(page_id);
}

void PdfCanvas::EnsurePage() {
  if (!in_page_ && open_ && !finished_) {
    BeginPage(210 / kMillimetresPerInch * report::kScrPPI,
              297 / kMillimetresPerInch * report::kScrPPI);
  }
}

std::string PdfCanvas::ResourcesDictionary() const {
  std::string out = "<< /ProcSet [/PDF /Text /ImageC] /Font <<";
  for (size_t i = 0; i < fonts_.size(); ++i) {
    out += " /F" + std::to_string(i) + " " + std::to_string(fonts_[i].id) + " 0 R";
  }
  out += " >> /XObject <<";
  for (size_t i = 0; i < image_ids_.size(); ++i) {
    out += " /Im" + std::to_string(i) + " " + std::to_string(image_ids_[i]) + " 0 R";
  }
  out += " >> /Shading <<";
  for (size_t i = 0; i < shading_ids_.size(); ++i) {
    out += " /Sh" + std::to_string(i) + " " + std::to_string(shading_ids_[i]) + " 0 R";
  }
  out += " >> >>";
  return out;
}

bool PdfCanvas::Finish() {
  if (finished_) return open_ && !file_.Failed();
  if (!open_) {
    finished_ = true;
    return false;
  }
  if (in_page_) EndPage();
  if (page_ids_.empty()) {
    EnsurePage();
    EndPage();
  }
  finished_ = true;
  for (FontEntry& entry : fonts_) entry.font->Write(file_, entry.id);
  file_.WriteObject(resources_id_, ResourcesDictionary());
  std::string kids;
  for (int id : page_ids_) kids += std::to_string(id) + " 0 R ";
  file_.WriteObject(pages_id_, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                                   std::to_string(page_ids_.size()) + " >>");
  const int catalog = file_.Reserve(), info = file_.Reserve();
  file_.WriteObject(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages_id_) + " 0 R >>");
  file_.WriteObject(info, "<< /Creator (lgoty) /Producer (lgoty) >>");
  return file_.Close(catalog, info);
}

// ---------------------------------------------------------------------------------------
// State

void PdfCanvas::Number(double value) { numbers_.Append(content_, value); }

void PdfCanvas::Point(double x, double y) {
  char text[2 * NumberCache::kRoom + 2];
  char* at = numbers_.Write(text, x);
  *at++ = ' ';
  at = numbers_.Write(at, y);
  *at++ = ' ';
  content_.append(text, static_cast<size_t>(at - text));
}

void PdfCanvas::FlushStroke() {
  if (!stroke_pending_) return;
  WriteHeld();
  content_ += "S\n";
  stroke_pending_ = false;
}

bool PdfCanvas::ClipHolds(double left, double top, double right, double bottom) const {
  if (clips_.empty() || clips_.back().written) return true;
  constexpr double kSlack = 0.01;
  const CanvasRect& inner = clips_.back().rect;
  return left >= inner.left - kSlack && right <= inner.right + kSlack &&
         top >= inner.top - kSlack && bottom <= inner.bottom + kSlack;
}

void PdfCanvas::NeedClip(double left, double top, double right, double bottom) {
  if (ClipHolds(left, top, right, bottom)) return;
  FlushStroke();
  // The levels below the innermost one are written first; written levels are a prefix.
  for (Clip& clip : clips_) {
    if (clip.written) continue;
    clip.saved = state_;
    clip.written = true;
    content_ += "q ";
    Point(clip.rect.left, clip.rect.top);
    Point(clip.rect.Width(), clip.rect.Height());
    content_ += "re W n\n";
  }
}

void PdfCanvas::SetStroke(const CanvasPen& pen) {
  // Cap and dash follow from the style and the width: a pen like the last one sets nothing.
  // The pen of the last line (nearly always) is known by its colour, without its RGB.
  if (state_.stroke >= 0 && pen.color == state_.stroke_color &&
      pen.width == state_.line_width && static_cast<int>(pen.style) == state_.pen_style) {
    return;
  }
  const int64_t rgb = report::ColorToRGB(pen.color);
  if (rgb == state_.stroke) state_.stroke_color = pen.color;
  if (rgb == state_.stroke && pen.width == state_.line_width &&
      static_cast<int>(pen.style) == state_.pen_style) {
    return;
  }
  const int cap = pen.style == TfrxFrameStyle::fsSolid || pen.style == TfrxFrameStyle::fsDouble
                      ? 2
                      : 0;
  std::string dash = DashOf(pen.style, pen.width);
  if (rgb == state_.stroke && pen.width == state_.line_width && cap == state_.cap &&
      dash == state_.dash) {
    state_.pen_style = static_cast<int>(pen.style);
    return;
  }
  FlushStroke();
  if (rgb != state_.stroke) {
    AppendColor(content_, pen.color);
    content_ += " RG\n";
    state_.stroke = rgb;
    state_.stroke_color = pen.color;
  }
  if (pen.width != state_.line_width) {
    Number(std::max(0.0, pen.width));
    content_ += " w\n";
    state_.line_width = pen.width;
  }
  if (cap != state_.cap) {
    content_ += std::to_string(cap) + " J\n";
    state_.cap = cap;
  }
  if (dash != state_.dash) {
    content_ += dash + " d\n";
    state_.dash = std::move(dash);
  }
  state_.pen_style = static_cast<int>(pen.style);
}

void PdfCanvas::SetFill(TColor color) {
  if (state_.fill >= 0 && color == state_.fill_color) return;
  const int64_t rgb = report::ColorToRGB(color);
  state_.fill_color = color;
  if (rgb == state_.fill) return;
  FlushStroke();
  AppendColor(content_, color);
  content_ += " rg\n";
  state_.fill = rgb;
}

// ---------------------------------------------------------------------------------------
// Text

int PdfCanvas::FontIndex(const CanvasFont& font) {
  const uint32_t style = font.style & (report::font_style::fsBold | report::font_style::fsItalic);
  if (last_font_index_ >= 0 && style == last_font_style_ && font.name == last_font_name_) {
    return last_font_index_;
  }
  auto key = std::make_pair(font.name, style);
  if (auto it = font_by_key_.find(key); it != font_by_key_.end()) {
    last_font_name_ = font.name;
    last_font_style_ = style;
    last_font_index_ = it->second;
    return it->second;
  }
  CanvasFont plain = font;
  plain.style = style;
  QFont qfont = MakeFont(plain);
  qfont.setPixelSize(100);
  const QRawFont raw = QRawFont::fromFont(qfont);
  const std::string face = (raw.familyName() + QLatin1Char('/') + raw.styleName()).toStdString();
  int index;
  if (auto it = font_by_face_.find(face); it != font_by_face_.end()) {
    index = it->second;
  } else {
    index = static_cast<int>(fonts_.size());
    fonts_.push_back({std::make_unique<PdfFont>(raw, SubsetTag(index)), file_.Reserve()});
    font_by_face_.emplace(face, index);
  }
  font_by_key_.emplace(std::move(key), index);
  last_font_name_ = font.name;
  last_font_style_ = style;
  last_font_index_ = index;
  return index;
}

void PdfCanvas::DrawText(double x, double y, std::string_view text, const CanvasFont& font,
                         double char_spacing, double rotation) {
  if (!open_ || text.empty() || font.color == report::clTransparent) return;
  // A byte that starts no well-formed sequence is one U+FFFD.
  chars_.clear();
  size_t i = 0;
  while (i < text.size()) {
    char32_t c = 0;
    const size_t length = core::DecodeUtf8(text.substr(i), &c);
    chars_.push_back(length == 0 ? U'\uFFFD' : c);
    i += length == 0 ? 1 : length;
  }
  DrawRun(x, y, chars_, font, char_spacing, rotation);
}

void PdfCanvas::DrawChars(double x, double y, std::u32string_view chars, const CanvasFont& font,
                          double char_spacing, double rotation) {
  if (!open_ || chars.empty() || font.color == report::clTransparent) return;
  DrawRun(x, y, chars, font, char_spacing, rotation);
}

void PdfCanvas::DrawRun(double x, double y, std::u32string_view chars, const CanvasFont& font,
                        double char_spacing, double rotation) {
  EnsurePage();
  const int index = FontIndex(font);
  PdfFont& face = *fonts_[static_cast<size_t>(index)].font;
  // The size the layout measured with: its pixel height in measuring units, in report units.
  const double size = std::max(1, font.MeasureHeight()) / report::kMeasureScale;
  // Most runs go out as "BT\n1 0 0 -1 x y Tm (glyphs) Tj\nET\n" (see below): the run's
  // buffer holds that text object's start, then the run's string of two-byte glyph ids,
  // delimiters included, then room for its end. The string is written in place: as a
  // literal string, half the length of four hexadecimal digits a glyph (less to write and
  // to compress); a byte that needs escaping takes two, so four a glyph is room enough.
  static constexpr char kBegin[] = "BT\n1 0 0 -1 ";
  static constexpr char kEnd[] = " Tj\nET\n";
  constexpr size_t kHeadRoom = (sizeof kBegin - 1) + 2 * NumberCache::kRoom + 5;
  const size_t room = kHeadRoom + 4 * chars.size() + 2 + (sizeof kEnd - 1);
  if (run_room_ < room) {
    run_room_ = std::max(room, 2 * run_room_);
    run_text_ = std::make_unique_for_overwrite<char[]>(run_room_);
  }
  char* const head = run_text_.get();
  std::memcpy(head, kBegin, sizeof kBegin - 1);
  char* out = numbers_.Write(head + sizeof kBegin - 1, x);
  *out++ = ' ';
  out = numbers_.Write(out, y);
  std::memcpy(out, " Tm ", 4);
  out += 4;
  char* const glyphs_begin = out;
  *out++ = hex_strings_ ? '<' : '(';
  double advance = 0;
  // Latin and Cyrillic characters of a literal string: their bytes as written and their
  // advances, kept per font (the glyph looked up, and so noted as used, the first time).
  LiteralGlyph* literals = nullptr;
  if (!hex_strings_ && !general_only_) {
    if (literal_glyphs_.size() <= static_cast<size_t>(index)) {
      literal_glyphs_.resize(static_cast<size_t>(index) + 1);
    }
    std::vector<LiteralGlyph>& table = literal_glyphs_[static_cast<size_t>(index)];
    if (table.empty()) table.resize(kLiteralRange);
    literals = table.data();
  }
  const char32_t* p = chars.data();
  const char32_t* const end = p + chars.size();
  while (p < end) {
    // The stretch of kept characters, then one other.
    if (literals) {
      for (; p < end && *p < kLiteralRange; ++p) {
        LiteralGlyph& literal = literals[*p];
        if (literal.length == 0) {
          const PdfFont::Glyph glyph = face.GlyphOf(*p);
          char* bytes_end = WriteLiteralByte(literal.bytes, static_cast<uint8_t>(glyph.id >> 8));
          bytes_end = WriteLiteralByte(bytes_end, static_cast<uint8_t>(glyph.id & 0xFF));
          literal.length = static_cast<uint8_t>(bytes_end - literal.bytes);
          literal.width = glyph.width;
        }
        // All four bytes (the room a glyph has in the string), of which length count.
        std::memcpy(out, literal.bytes, sizeof literal.bytes);
        out += literal.length;
        advance += literal.width * size / 1000 + char_spacing;
      }
      if (p == end) break;
    }
    char32_t c = *p++;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = U'\uFFFD';
    const PdfFont::Glyph glyph = face.GlyphOf(c);
    if (hex_strings_) {
      out = WriteHexGlyph(out, glyph.id);
    } else {
      out = WriteLiteralByte(out, static_cast<uint8_t>(glyph.id >> 8));
      out = WriteLiteralByte(out, static_cast<uint8_t>(glyph.id & 0xFF));
    }
    advance += glyph.width * size / 1000 + char_spacing;
  }
  *out++ = hex_strings_ ? '>' : ')';
  const std::string_view glyphs(glyphs_begin, static_cast<size_t>(out - glyphs_begin));
  if (rotation != 0) {
    NeedClip(-1e9, -1e9, 1e9, 1e9);
  } else {
    NeedClip(x, y - face.Ascent() * size / 1000, x + advance, y + face.Descent() * size / 1000);
  }
  SetFill(font.color);
  if (stroke_pending_) FlushStroke();
  if (!general_only_ && rotation == 0 && state_.font == index && state_.font_size == size &&
      state_.char_spacing == char_spacing) {
    // Most runs: an upright run in the font and spacing set before, written as the general
    // path below writes it, all of it from the run's buffer in one piece.
    std::memcpy(out, kEnd, sizeof kEnd - 1);
    content_.append(head, static_cast<size_t>(out + (sizeof kEnd - 1) - head));
  } else {
    WriteRun(x, y, glyphs, index, size, char_spacing, rotation);
  }
  const bool underline = font.style & report::font_style::fsUnderline;
  const bool strike_out = font.style & report::font_style::fsStrikeOut;
  if (!underline && !strike_out) return;
  double cos_a = 1, sin_a = 0;
  if (rotation != 0) {
    const double angle = rotation * std::numbers::pi / 180;
    cos_a = std::cos(angle);
    sin_a = std::sin(angle);
  }
  const double thickness = face.LineThickness() * size / 1000;
  auto bar = [&](double offset) {  // offset below the baseline
    // Along the run's direction: x' = x + t cos, y' = y - t sin (y runs downwards).
    const double ox = x + offset * sin_a, oy = y + offset * cos_a;
    const double half = thickness / 2;
    CanvasPoint corners[4] = {{ox - half * sin_a, oy - half * cos_a},
                              {ox + advance * cos_a - half * sin_a,
                               oy - advance * sin_a - half * cos_a},
                              {ox + advance * cos_a + half * sin_a,
                               oy - advance * sin_a + half * cos_a},
                              {ox + half * sin_a, oy + half * cos_a}};
    Point(corners[0].x, corners[0].y);
    content_ += "m ";
    for (int i = 1; i < 4; ++i) {
      Point(corners[i].x, corners[i].y);
      content_ += "l ";
    }
    content_ += "h f\n";
  };
  if (underline) bar(face.UnderlinePosition() * size / 1000);
  if (strike_out) bar(-face.StrikeOutPosition() * size / 1000);
}

void PdfCanvas::WriteRun(double x, double y, std::string_view glyphs, int index, double size,
                         double char_spacing, double rotation) {
  content_ += "BT\n";
  if (state_.font != index || state_.font_size != size) {
    content_ += "/F" + std::to_string(index) + ' ';
    Number(size);
    content_ += " Tf\n";
    state_.font = index;
    state_.font_size = size;
  }
  if (state_.char_spacing != char_spacing) {
    Number(char_spacing);
    content_ += " Tc\n";
    state_.char_spacing = char_spacing;
  }
  // y runs downwards on the page; the text matrix turns the glyphs upright again.
  // Upright runs (nearly all) skip the trigonometry: cos 0 and sin 0 are exactly 1 and 0.
  double cos_a = 1, sin_a = 0;
  if (rotation != 0) {
    const double angle = rotation * std::numbers::pi / 180;
    cos_a = std::cos(angle);
    sin_a = std::sin(angle);
  }
  if (rotation == 0) {
    content_ += "1 0 0 -1 ";
  } else {
    AppendNumber(content_, cos_a, 5);
    content_ += ' ';
    AppendNumber(content_, -sin_a, 5);
    content_ += ' ';
    AppendNumber(content_, -sin_a, 5);
    content_ += ' ';
    AppendNumber(content_, -cos_a, 5);
    content_ += ' ';
  }
  Point(x, y);
  content_ += "Tm ";
  content_ += glyphs;
  content_ += " Tj\nET\n";
}

// ---------------------------------------------------------------------------------------
// Lines and shapes

void PdfCanvas::DrawLine(CanvasPoint from, CanvasPoint to, const CanvasPen& pen) {
  if (!open_ || pen.color == report::clTransparent) return;
  EnsurePage();
  const double half = std::max(pen.width, 1.0) / 2;
  NeedClip(std::min(from.x, to.x) - half, std::min(from.y, to.y) - half,
           std::max(from.x, to.x) + half, std::max(from.y, to.y) + half);
  SetStroke(pen);
  stroke_pending_ = true;
  // A frame's four sides, stroked with square caps, cover exactly what its rectangle
  // stroked with mitred corners covers (the default join, which the canvas never changes;
  // a right angle is far inside the miter limit): one "re" instead of four "m l" lines.
  // Solid pens only (a dash pattern would start again at each side) and of some width.
  auto in_range = [](double v) { return std::fabs(v) < 1e12; };  // false for NaN too
  if (join_sides_ && state_.cap == 2 && state_.line_width > 0 && in_range(from.x) &&
      in_range(from.y) && in_range(to.x) && in_range(to.y)) {
    HoldSegment(SegmentOf(from, to));
    return;
  }
  WriteHeld();
  WriteSegment(from.x, from.y, to.x, to.y);
}

PdfCanvas::Segment PdfCanvas::SegmentOf(CanvasPoint from, CanvasPoint to) {
  auto hundredths = [](double v) { return core::RoundHalfAwayFromZero(v * 100); };
  return {from.x, from.y, to.x, to.y, hundredths(from.x), hundredths(from.y), hundredths(to.x),
          hundredths(to.y)};
}

void PdfCanvas::DrawFrameSides(const CanvasRect& rect, const CanvasPen& pen) {
  // What DrawLine does four times over when the four sides go out as one rectangle: no
  // lines held before them, no clip to write for any of them (each side's box lies inside
  // the clip when the box of all four does), a solid pen of some width. Anything else is
  // drawn as the four lines.
  const double l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  auto in_range = [](double v) { return std::fabs(v) < 1e12; };  // false for NaN too
  const double half = std::max(pen.width, 1.0) / 2;
  if (general_only_ || !join_sides_ || !open_ || pen.color == report::clTransparent) {
    TfrxCanvas::DrawFrameSides(rect, pen);
    return;
  }
  EnsurePage();  // a page begun here starts without clips and held lines
  if (!in_page_ || held_count_ != 0 || !in_range(l) || !in_range(t) || !in_range(r) ||
      !in_range(b) ||
      !ClipHolds(std::min(l, r) - half, std::min(t, b) - half, std::max(l, r) + half,
                 std::max(t, b) + half)) {
    TfrxCanvas::DrawFrameSides(rect, pen);
    return;
  }
  SetStroke(pen);
  // What FrameOf makes of the four sides: they are a rectangle when its edges differ in
  // hundredths, and its left and top edges as given are those of the side with the
  // smaller rounded edge.
  auto hundredths = [](double v) { return core::RoundHalfAwayFromZero(v * 100); };
  const int64_t hl = hundredths(l), ht = hundredths(t), hr = hundredths(r), hb = hundredths(b);
  // SetStroke wrote out whatever it flushed, so the held lines are still none; the lines
  // drawn now would find the stroke set and the clip holding them.
  if (state_.cap != 2 || !(state_.line_width > 0) || hl == hr || ht == hb) {
    TfrxCanvas::DrawFrameSides(rect, pen);
    return;
  }
  stroke_pending_ = true;
  WriteFrame({std::min(hl, hr), std::min(ht, hb), std::max(hl, hr), std::max(ht, hb),
              hl < hr ? l : r, ht < hb ? t : b});
}

bool PdfCanvas::FrameOf(const Segment* sides, Frame& frame) {
  // Two vertical sides (x, from y to y) and two horizontal ones (y, from x to x).
  const Segment* vertical[2];
  const Segment* horizontal[2];
  int verticals = 0, horizontals = 0;
  for (int i = 0; i < 4; ++i) {
    const Segment& s = sides[i];
    if (s.x1 == s.x2 && s.y1 != s.y2) {
      if (verticals == 2) return false;
      vertical[verticals++] = &s;
    } else if (s.y1 == s.y2 && s.x1 != s.x2) {
      if (horizontals == 2) return false;
      horizontal[horizontals++] = &s;
    } else {
      return false;  // slanted or of no length
    }
  }
  if (vertical[0]->x1 > vertical[1]->x1) std::swap(vertical[0], vertical[1]);
  if (horizontal[0]->y1 > horizontal[1]->y1) std::swap(horizontal[0], horizontal[1]);
  frame.left = vertical[0]->x1;
  frame.right = vertical[1]->x1;
  frame.top = horizontal[0]->y1;
  frame.bottom = horizontal[1]->y1;
  if (frame.left == frame.right || frame.top == frame.bottom) return false;
  for (const Segment* v : vertical) {
    if (std::min(v->y1, v->y2) != frame.top || std::max(v->y1, v->y2) != frame.bottom) {
      return false;
    }
  }
  for (const Segment* h : horizontal) {
    if (std::min(h->x1, h->x2) != frame.left || std::max(h->x1, h->x2) != frame.right) {
      return false;
    }
  }
  frame.left_value = vertical[0]->from_x;
  frame.top_value = horizontal[0]->from_y;
  return true;
}

void PdfCanvas::WriteFrame(const Frame& frame) {
  // The corner as the lines would have written it, and the size from the rounded edges:
  // the sides land where the lines' rounded ends would have put them. A size goes
  // through the number cache as hundredths / 100, which rounds back to the same
  // hundredths (|size| < 2^50, so the division's error is far below half of one); a
  // table's cells come back to the same few widths and heights.
  char text[4 * NumberCache::kRoom + 8];
  char* at = numbers_.Write(text, frame.left_value);
  *at++ = ' ';
  at = numbers_.Write(at, frame.top_value);
  *at++ = ' ';
  at = numbers_.Write(at, static_cast<double>(frame.right - frame.left) / 100);
  *at++ = ' ';
  at = numbers_.Write(at, static_cast<double>(frame.bottom - frame.top) / 100);
  std::memcpy(at, " re\n", 4);
  content_.append(text, static_cast<size_t>(at + 4 - text));
}

void PdfCanvas::HoldSegment(const Segment& segment) {
  held_[held_count_++] = segment;
  if (held_count_ < 4) return;
  Frame frame;
  if (FrameOf(held_, frame)) {
    WriteFrame(frame);
    held_count_ = 0;
    return;
  }
  WriteSegment(held_[0].from_x, held_[0].from_y, held_[0].to_x, held_[0].to_y);
  std::copy(held_ + 1, held_ + 4, held_);
  held_count_ = 3;
}

void PdfCanvas::WriteSegment(double from_x, double from_y, double to_x, double to_y) {
  // Lines of one pen in a row are stroked as one path: "x y m x y l", put together here
  // and appended in one piece (frames draw a great many).
  char text[4 * NumberCache::kRoom + 8];
  char* at = numbers_.Write(text, from_x);
  *at++ = ' ';
  at = numbers_.Write(at, from_y);
  std::memcpy(at, " m ", 3);
  at = numbers_.Write(at + 3, to_x);
  *at++ = ' ';
  at = numbers_.Write(at, to_y);
  std::memcpy(at, " l\n", 3);
  content_.append(text, static_cast<size_t>(at + 3 - text));
}

void PdfCanvas::WriteHeld() {
  for (int i = 0; i < held_count_; ++i) {
    WriteSegment(held_[i].from_x, held_[i].from_y, held_[i].to_x, held_[i].to_y);
  }
  held_count_ = 0;
}

std::string PdfCanvas::RectPath(const CanvasRect& rect, double radius) const {
  const CanvasRect r = Normalized(rect);
  std::string out;
  radius = std::min({radius, r.Width() / 2, r.Height() / 2});
  if (radius <= 0) {
    AppendNumber(out, r.left);
    out += ' ';
    AppendNumber(out, r.top);
    out += ' ';
    AppendNumber(out, r.Width());
    out += ' ';
    AppendNumber(out, r.Height());
    out += " re\n";
    return out;
  }
  const double k = radius * (1 - kKappa);
  auto point = [&](double x, double y) {
    AppendNumber(out, x);
    out += ' ';
    AppendNumber(out, y);
    out += ' ';
  };
  point(r.left + radius, r.top);
  out += "m ";
  point(r.right - radius, r.top);
  out += "l ";
  point(r.right - k, r.top);
  point(r.right, r.top + k);
  point(r.right, r.top + radius);
  out += "c ";
  point(r.right, r.bottom - radius);
  out += "l ";
  point(r.right, r.bottom - k);
  point(r.right - k, r.bottom);
  point(r.right - radius, r.bottom);
  out += "c ";
  point(r.left + radius, r.bottom);
  out += "l ";
  point(r.left + k, r.bottom);
  point(r.left, r.bottom - k);
  point(r.left, r.bottom - radius);
  out += "c ";
  point(r.left, r.top + radius);
  out += "l ";
  point(r.left, r.top + k);
  point(r.left + k, r.top);
  point(r.left + radius, r.top);
  out += "c h\n";
  return out;
}

std::string PdfCanvas::EllipsePath(const CanvasRect& rect) const {
  const CanvasRect r = Normalized(rect);
  const double cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  const double rx = r.Width() / 2, ry = r.Height() / 2;
  const double kx = rx * kKappa, ky = ry * kKappa;
  std::string out;
  auto point = [&](double x, double y) {
    AppendNumber(out, x);
    out += ' ';
    AppendNumber(out, y);
    out += ' ';
  };
  point(cx + rx, cy);
  out += "m ";
  point(cx + rx, cy + ky);
  point(cx + kx, cy + ry);
  point(cx, cy + ry);
  out += "c ";
  point(cx - kx, cy + ry);
  point(cx - rx, cy + ky);
  point(cx - rx, cy);
  out += "c ";
  point(cx - rx, cy - ky);
  point(cx - kx, cy - ry);
  point(cx, cy - ry);
  out += "c ";
  point(cx + kx, cy - ry);
  point(cx + rx, cy - ky);
  point(cx + rx, cy);
  out += "c h\n";
  return out;
}

void PdfCanvas::Hatch(const std::string& path, const CanvasRect& box, TColor color,
                      TBrushStyle style) {
  const State saved = state_;
  content_ += "q\n" + path + "W n\n";
  SetStroke(CanvasPen{color, 0.5, TfrxFrameStyle::fsSolid});
  const CanvasRect r = Normalized(box);
  const bool horizontal = style == TBrushStyle::bsHorizontal || style == TBrushStyle::bsCross;
  const bool vertical = style == TBrushStyle::bsVertical || style == TBrushStyle::bsCross;
  const bool rising = style == TBrushStyle::bsFDiagonal || style == TBrushStyle::bsDiagCross;
  const bool falling = style == TBrushStyle::bsBDiagonal || style == TBrushStyle::bsDiagCross;
  auto line = [&](double x1, double y1, double x2, double y2) {
    Point(x1, y1);
    content_ += "m ";
    Point(x2, y2);
    content_ += "l\n";
  };
  if (horizontal) {
    for (double y = r.top + kHatchStep / 2; y < r.bottom; y += kHatchStep) {
      line(r.left, y, r.right, y);
    }
  }
  if (vertical) {
    for (double x = r.left + kHatchStep / 2; x < r.right; x += kHatchStep) {
      line(x, r.top, x, r.bottom);
    }
  }
  const double h = r.Height();
  for (double d = -h; d < r.Width(); d += kHatchStep) {
    if (rising) line(r.left + d, r.bottom, r.left + d + h, r.top);
    if (falling) line(r.left + d, r.top, r.left + d + h, r.bottom);
  }
  content_ += "S\nQ\n";
  state_ = saved;
}

void PdfCanvas::FillAndStroke(const std::string& path, const CanvasRect& box, const CanvasPen& pen,
                              const CanvasBrush& brush) {
  const CanvasRect r = Normalized(box);
  const double half = pen.color == report::clTransparent ? 0 : std::max(pen.width, 1.0) / 2;
  NeedClip(r.left - half, r.top - half, r.right + half, r.bottom + half);
  FlushStroke();
  if (brush.style != TBrushStyle::bsClear) {
    if (brush.back_color != report::clTransparent) {
      SetFill(brush.back_color);
      content_ += path + "f\n";
    }
    if (brush.style != TBrushStyle::bsSolid && brush.fore_color != report::clTransparent) {
      Hatch(path, r, brush.fore_color, brush.style);
    }
  }
  if (pen.color != report::clTransparent) {
    SetStroke(pen);
    content_ += path + "S\n";
  }
}

void PdfCanvas::FillRect(const CanvasRect& rect, const CanvasBrush& brush) {
  if (!open_) return;
  EnsurePage();
  FillAndStroke(RectPath(rect, 0), rect, CanvasPen{report::clTransparent}, brush);
}

void PdfCanvas::DrawRect(const CanvasRect& rect, const CanvasPen& pen, const CanvasBrush& brush,
                         double corner_radius) {
  if (!open_) return;
  EnsurePage();
  FillAndStroke(RectPath(rect, corner_radius), rect, pen, brush);
}

void PdfCanvas::DrawEllipse(const CanvasRect& rect, const CanvasPen& pen,
                            const CanvasBrush& brush) {
  if (!open_) return;
  EnsurePage();
  FillAndStroke(EllipsePath(rect), rect, pen, brush);
}

void PdfCanvas::DrawPolygon(const std::vector<CanvasPoint>& points, const CanvasPen& pen,
                            const CanvasBrush& brush) {
  if (!open_ || points.size() < 2) return;
  EnsurePage();
  std::string path;
  CanvasRect box{points[0].x, points[0].y, points[0].x, points[0].y};
  for (size_t i = 0; i < points.size(); ++i) {
    AppendNumber(path, points[i].x);
    path += ' ';
    AppendNumber(path, points[i].y);
    path += i == 0 ? " m " : " l ";
    box = {std::min(box.left, points[i].x), std::min(box.top, points[i].y),
           std::max(box.right, points[i].x), std::max(box.bottom, points[i].y)};
  }
  path += "h\n";
  FillAndStroke(path, box, pen, brush);
}

void PdfCanvas::FillGradient(const CanvasRect& rect, TColor start_color, TColor end_color,
                             report::TfrxGradientStyle style) {
  if (!open_) return;
  EnsurePage();
  using report::TfrxGradientStyle;
  const CanvasRect r = Normalized(rect);
  auto function = [](TColor from, TColor to) {
    std::string out = "<< /FunctionType 2 /Domain [0 1] /C0 [";
    AppendColor(out, from);
    out += "] /C1 [";
    AppendColor(out, to);
    out += "] /N 1 >>";
    return out;
  };
  auto there_and_back = [&](TColor outer, TColor middle) {
    return "<< /FunctionType 3 /Domain [0 1] /Functions [" + function(outer, middle) + " " +
           function(middle, outer) + "] /Bounds [0.5] /Encode [0 1 0 1] >>";
  };
  std::string coords, fn;
  int type = 2;
  auto coordinates = [&](std::initializer_list<double> values) {
    for (double v : values) {
      AppendNumber(coords, v);
      coords += ' ';
    }
  };
  switch (style) {
    case TfrxGradientStyle::gsHorizontal:
      coordinates({r.left, r.top, r.right, r.top});
      fn = function(start_color, end_color);
      break;
    case TfrxGradientStyle::gsVertical:
      coordinates({r.left, r.top, r.left, r.bottom});
      fn = function(start_color, end_color);
      break;
    case TfrxGradientStyle::gsVertCenter:
      coordinates({r.left, r.top, r.left, r.bottom});
      fn = there_and_back(start_color, end_color);
      break;
    case TfrxGradientStyle::gsHorizCenter:
      coordinates({r.left, r.top, r.right, r.top});
      fn = there_and_back(start_color, end_color);
      break;
    case TfrxGradientStyle::gsElliptic:
    case TfrxGradientStyle::gsRectangle: {
      // The end colour in the middle, the start colour at the edges.
      type = 3;
      const double cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
      coordinates({cx, cy, 0, cx, cy, std::max(r.Width(), r.Height()) / 2});
      fn = function(end_color, start_color);
      break;
    }
  }
  const int id = file_.Reserve();
  file_.WriteObject(id, "<< /ShadingType " + std::to_string(type) +
                            " /ColorSpace /DeviceRGB /Coords [" + coords + "] /Function " + fn +
                            " /Extend [true true] >>");
  const size_t name = shading_ids_.size();
  shading_ids_.push_back(id);
  NeedClip(r.left, r.top, r.right, r.bottom);
  FlushStroke();
  content_ += "q\n" + RectPath(r, 0) + "W n\n/Sh" + std::to_string(name) + " sh\nQ\n";
}

// ---------------------------------------------------------------------------------------
// Pictures

bool PdfCanvas::PictureSize(std::string_view image, double& width, double& height) {
  return picture_.Size(image, width, height);
}

int PdfCanvas::ImageObject(std::string_view image) {
  if (auto it = images_.find(std::string(image)); it != images_.end()) return it->second;
  const QImage argb = picture_.Get(image).convertToFormat(QImage::Format_ARGB32);
  const int w = argb.width(), h = argb.height();
  std::string rgb, alpha;
  rgb.reserve(static_cast<size_t>(w) * h * 3);
  alpha.reserve(static_cast<size_t>(w) * h);
  bool transparent = false;
  for (int y = 0; y < h; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      rgb += static_cast<char>(qRed(line[x]));
      rgb += static_cast<char>(qGreen(line[x]));
      rgb += static_cast<char>(qBlue(line[x]));
      alpha += static_cast<char>(qAlpha(line[x]));
      if (qAlpha(line[x]) != 255) transparent = true;
    }
  }
  const std::string size = " /Width " + std::to_string(w) + " /Height " + std::to_string(h) +
                           " /BitsPerComponent 8 /Interpolate true";
  const int id = file_.Reserve();
  std::string dictionary = " /Type /XObject /Subtype /Image" + size + " /ColorSpace /DeviceRGB";
  if (transparent) {
    const int mask = file_.Reserve();
    file_.WriteStream(mask, " /Type /XObject /Subtype /Image" + size + " /ColorSpace /DeviceGray",
                      alpha);
    dictionary += " /SMask " + std::to_string(mask) + " 0 R";
  }
  file_.WriteStream(id, dictionary, rgb);
  const int index = static_cast<int>(image_ids_.size());
  image_ids_.push_back(id);
  images_.emplace(std::string(image), index);
  return index;
}

bool PdfCanvas::DrawPicture(const CanvasRect& rect, std::string_view image) {
  if (picture_.Get(image).isNull()) return false;
  if (!open_) return true;
  EnsurePage();
  const int index = ImageObject(image);
  const CanvasRect r = Normalized(rect);
  NeedClip(r.left, r.top, r.right, r.bottom);
  FlushStroke();
  // The image's unit square, row 0 at its top, onto the rectangle (y runs downwards).
  content_ += "q ";
  Number(r.Width());
  content_ += " 0 0 ";
  Number(-r.Height());
  content_ += ' ';
  Point(r.left, r.bottom);
  content_ += "cm /Im" + std::to_string(index) + " Do Q\n";
  return true;
}

// ---------------------------------------------------------------------------------------
// Clipping

void PdfCanvas::PushClip(const CanvasRect& rect) {
  if (!open_) return;
  EnsurePage();
  CanvasRect r = Normalized(rect);
  if (!clips_.empty()) {
    const CanvasRect& outer = clips_.back().rect;
    r = {std::max(r.left, outer.left), std::max(r.top, outer.top),
         std::min(r.right, outer.right), std::min(r.bottom, outer.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
  }
  // Made in place: a clip's saved state is set only when the clip is written.
  Clip& clip = clips_.emplace_back();
  clip.rect = r;
}

void PdfCanvas::PopClip() {
  if (clips_.empty()) return;
  if (clips_.back().written) {
    FlushStroke();
    content_ += "Q\n";
    state_ = clips_.back().saved;
  }
  clips_.pop_back();
}

}  // namespace lgoty::render
