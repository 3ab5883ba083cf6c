#include "report/text_layout.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/string_list.h"
#include "core/utf8_text.h"
#include "report/graphics.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

// 128 KB of character positions, allocated once per layout object.
constexpr size_t kScratchPositions = 128 * 1024 / sizeof(double);

class ApproximateMeasurer final : public TfrxTextMeasurer {
 public:
  FontMetrics Metrics(const CanvasFont& font) override {
    double em = font.MeasureHeight();
    return {em * 0.9, em * 0.2};
  }
  void CharPositions(const CanvasFont& font, std::u32string_view text,
                     std::vector<double>& positions) override {
    double advance = font.MeasureHeight() * 0.55;
    positions.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) positions[i] = advance * static_cast<double>(i + 1);
  }
};

std::mutex g_measurer_mutex;
std::unique_ptr<TfrxTextMeasurer> g_measurer;
// Counts the default measurers installed: a new one may take the address of the old.
std::atomic<uint64_t> g_measurer_generation{0};
std::atomic<TfrxTextMeasurer*> g_measurer_pointer{nullptr};  // g_measurer's, once made

// Letter classes of the syllable rules (upper case).
constexpr std::u32string_view kVowels = U"АЕЁИОУЫЭЮЯ";
constexpr std::u32string_view kConsonants = U"БВГДЖЗЙКЛМНПРСТФХЦЧШЩЬЪ";
constexpr std::u32string_view kWordEnds = U" .,-;";

bool IsVowel(char32_t c) { return kVowels.find(c) != std::u32string_view::npos; }
bool IsConsonant(char32_t c) { return kConsonants.find(c) != std::u32string_view::npos; }
bool IsSign(char32_t c) { return c == U'Ь' || c == U'Ъ'; }

char32_t UpperRussian(char32_t c) {
  if (c >= U'а' && c <= U'я') return c - (U'а' - U'А');
  if (c == U'ё') return U'Ё';
  return c;
}

// Places inside an upper-cased word where a syllable break may go: k means the break
// falls before word[k]. Ascending.
std::vector<size_t> SyllableBreaks(std::u32string_view word) {
  std::vector<size_t> breaks;
  if (word.size() <= 3) return breaks;
  auto has_vowel = [](std::u32string_view part) {
    return std::any_of(part.begin(), part.end(), IsVowel);
  };
  for (size_t k = 2; k + 1 < word.size(); ++k) {
    char32_t c = word[k - 1], next = word[k];
    bool possible = false;
    if (IsConsonant(c)) {
      possible = (IsConsonant(next) && !IsSign(next));
    } else if (IsVowel(c)) {
      bool doubled = k + 2 < word.size() && next == word[k + 1] && IsConsonant(next) &&
                     IsVowel(word[k + 2]);
      possible = (IsVowel(next) || IsConsonant(next)) && next != U'Й' && !doubled;
    }
    if (possible && has_vowel(word.substr(0, k)) && has_vowel(word.substr(k))) {
      breaks.push_back(k);
    }
  }
  return breaks;
}

std::u32string LowerAscii(std::u32string_view text) {
  std::u32string out(text);
  for (auto& c : out) {
    if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
  }
  return out;
}

// The value of a colour attribute: "#RRGGBB" or a colour name without its "cl" prefix.
bool ParseTagColor(std::u32string_view value, TColor& color) {
  while (!value.empty() && (value.front() == U'"' || value.front() == U'\'')) {
    value.remove_prefix(1);
  }
  while (!value.empty() && (value.back() == U'"' || value.back() == U'\'')) {
    value.remove_suffix(1);
  }
  std::string text = core::Utf32ToUtf8(value);
  if (!text.empty() && text[0] == '#') {
    uint32_t rgb = 0;
    if (text.size() < 2 || text.size() > 7) return false;
    for (size_t i = 1; i < text.size(); ++i) {
      char c = text[i];
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0) return false;
      rgb = rgb * 16 + static_cast<uint32_t>(digit);
    }
    color = static_cast<TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    return true;
  }
  return ColorFromName("cl" + text, color);
}

// The code points of text into out, whose storage is reused from text to text: what
// core::Utf8ToUtf32 gives, ill-formed bytes becoming U+FFFD one byte at a time.
void DecodeUtf8Into(std::string_view text, std::u32string& out) {
  // At most one code point per byte: written in place, then cut to what was written.
  out.resize(text.size());
  char32_t* const first = out.data();
  char32_t* dst = first;
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      *dst++ = byte;
      ++i;
      continue;
    }
    // Two-byte sequences (Cyrillic, Latin-1 letters) in place: a lead byte of C2 to DF with
    // one continuation byte is always well-formed and never overlong.
    if (byte >= 0xC2 && byte <= 0xDF && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if ((next & 0xC0) == 0x80) {
        *dst++ = (static_cast<char32_t>(byte & 0x1F) << 6) | (next & 0x3F);
        i += 2;
        continue;
      }
    }
    char32_t code = 0;
    const size_t length = core::DecodeUtf8(text.substr(i), &code);
    *dst++ = length == 0 ? U'\uFFFD' : code;
    i += length == 0 ? 1 : length;
  }
  out.resize(static_cast<size_t>(dst - first));
}

// The code point at text[i] as DecodeUtf8Into reads it; i moves past it.
inline char32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x80) {
    ++i;
    return byte;
  }
  if (byte >= 0xC2 && byte <= 0xDF && i + 1 < text.size() &&
      (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
    const char32_t c = (static_cast<char32_t>(byte & 0x1F) << 6) |
                       (static_cast<unsigned char>(text[i + 1]) & 0x3F);
    i += 2;
    return c;
  }
  char32_t code = 0;
  const size_t length = core::DecodeUtf8(text.substr(i), &code);
  i += length == 0 ? 1 : length;
  return length == 0 ? U'\uFFFD' : code;
}

// The ASCII bytes a scan of a memo's line stops at (TfrxDrawText::ScanPlainLine): CR and
// LF always, '<' too when tags are read.
constexpr std::array<bool, 128> ScanStops(bool tags) {
  std::array<bool, 128> stops{};
  stops['\r'] = stops['\n'] = true;
  stops['<'] = tags;
  return stops;
}
constexpr std::array<bool, 128> kBreakStops = ScanStops(false);
constexpr std::array<bool, 128> kBreakAndTagStops = ScanStops(true);

// Whether a line holds at most one character, as NextCodePoint reads them.
bool AtMostOneChar(std::string_view line) {
  if (line.empty()) return true;
  size_t i = 0;
  NextCodePoint(line, i);
  return i >= line.size();
}

// The number of source lines of a memo's lines, or -1 when one of them holds a line break
// of its own.
int MemoParagraphs(const core::TStringList& lines) {
  // The text as a memo's Text gives it is the lines joined by CR LF, without one after the
  // last. Cut again at its breaks it gives back the lines themselves, except that a last
  // empty line adds nothing (its break was the text's trailing one).
  const int count = lines.Count();
  int paragraphs = count;
  if (count > 0 && lines[count - 1].empty()) --paragraphs;
  for (int i = 0; i < paragraphs; ++i) {
    const std::string& line = lines[i];
    if (std::memchr(line.data(), '\n', line.size()) != nullptr ||
        std::memchr(line.data(), '\r', line.size()) != nullptr) {
      return -1;
    }
  }
  return paragraphs;
}

}  // namespace

TfrxTextMeasurer& DefaultTextMeasurer() {
  // Asked for every measured text: the installed one is read without the lock.
  if (TfrxTextMeasurer* installed = g_measurer_pointer.load(std::memory_order_acquire)) {
    return *installed;
  }
  std::lock_guard lock(g_measurer_mutex);
  if (!g_measurer) {
    g_measurer = std::make_unique<ApproximateMeasurer>();
    g_measurer_pointer.store(g_measurer.get(), std::memory_order_release);
  }
  return *g_measurer;
}

void SetDefaultTextMeasurer(std::unique_ptr<TfrxTextMeasurer> measurer) {
  std::lock_guard lock(g_measurer_mutex);
  g_measurer = std::move(measurer);
  g_measurer_pointer.store(g_measurer.get(), std::memory_order_release);
  g_measurer_generation.fetch_add(1, std::memory_order_relaxed);
}

TfrxDrawText& DefaultDrawText() {
  static TfrxDrawText instance;
  return instance;
}

TfrxDrawText::TfrxDrawText(TfrxTextMeasurer* measurer)
    : measurer_(measurer), font_em_(font_.MeasureHeight()) {
  scratch_.reserve(kScratchPositions);
}

TfrxTextMeasurer& TfrxDrawText::Measurer() const {
  return measurer_ ? *measurer_ : DefaultTextMeasurer();
}

TfrxDrawText::MeasurerStamp TfrxDrawText::StampOf(const TfrxTextMeasurer& measurer) const {
  return {&measurer, measurer_ ? 0 : g_measurer_generation.load(std::memory_order_relaxed)};
}

void TfrxDrawText::SetFont(const CanvasFont& font) {
  if (!(font_ == font)) {
    font_ = font;
    font_em_ = font_.MeasureHeight();
    advances_measurer_ = {};  // the lines' advances were measured with the old font
    font_table_ = nullptr;
  }
}

void TfrxDrawText::SetFont(const TfrxFont& font, double scale) {
  // CanvasFont::From gives the size as the whole points of the font, as a double; the
  // size of the last height and scale is kept (memos of one font follow each other).
  if (font.height != sized_height_ || !(scale == sized_scale_)) {
    sized_height_ = font.height;
    sized_scale_ = scale;
    sized_size_ = static_cast<double>(font.Size()) * scale;
  }
  const double size = sized_size_;
  if (font_.size == size && font_.style == font.style && font_.color == font.color &&
      font_.charset == font.charset && font_.name == font.name) {
    return;
  }
  CanvasFont canvas_font = CanvasFont::From(font);
  canvas_font.size = size;
  SetFont(canvas_font);
}

TfrxDrawText::FontAdvances* TfrxDrawText::AdvancesOf(const CanvasFont& font) {
  if (general_only_) return nullptr;
  TfrxTextMeasurer& measurer = Measurer();
  const MeasurerStamp stamp = StampOf(measurer);
  if (!(tables_measurer_ == stamp)) {
    tables_.clear();
    font_table_ = nullptr;
    tables_measurer_ = stamp;
    tables_serve_ = measurer.AddsCharAdvances();
  }
  if (!tables_serve_) return nullptr;
  const bool own = &font == &font_;
  if (own && font_table_) return font_table_;
  FontAdvances* found = nullptr;
  for (const auto& table : tables_) {
    if (table->font == font) {
      found = table.get();
      break;
    }
  }
  if (!found) {
    if (tables_.size() == kMaxTables) {
      tables_.clear();
      font_table_ = nullptr;
    }
    auto table = std::make_unique<FontAdvances>();
    table->font = font;
    table->low.assign(kTableRange, std::nan(""));
    found = table.get();
    tables_.push_back(std::move(table));
  }
  if (own || font == font_) font_table_ = found;
  return found;
}

inline TfrxDrawText::FontAdvances* TfrxDrawText::OwnAdvances() {
  // font_table_ is set only under the stamp of a measurer that adds advances, and cleared
  // whenever the font or that measurer changes; the stamp is compared as AdvancesOf
  // compares it (no default measurer yet gives a null one, which no table holds for).
  if (font_table_ != nullptr && !general_only_) {
    const MeasurerStamp stamp =
        measurer_ != nullptr
            ? MeasurerStamp{measurer_, 0}
            : MeasurerStamp{g_measurer_pointer.load(std::memory_order_acquire),
                            g_measurer_generation.load(std::memory_order_relaxed)};
    if (stamp == tables_measurer_) return font_table_;
  }
  return AdvancesOf(font_);
}

double TfrxDrawText::MeasureChar(FontAdvances& table, char32_t c) {
  if (c >= kTableRange) {
    if (auto it = table.other.find(c); it != table.other.end()) return it->second;
  }
  Measurer().CharPositions(table.font, std::u32string_view(&c, 1), char_positions_);
  const double advance = char_positions_.empty() ? 0 : char_positions_.front();
  if (c < kTableRange) {
    table.low[c] = advance;
  } else {
    table.other.emplace(c, advance);
  }
  return advance;
}

void TfrxDrawText::RunPositions(const CanvasFont& font, std::u32string_view text,
                                std::vector<double>& positions) {
  FontAdvances* table = AdvancesOf(font);
  if (!table) {
    Measurer().CharPositions(font, text, positions);
    return;
  }
  const size_t n = text.size();
  positions.resize(n);
  const double* low = table->low.data();
  double* out = positions.data();
  // The measurer's sum: from 0, one advance after the other.
  double x = 0;
  for (size_t i = 0; i < n; ++i) {
    const char32_t c = text[i];
    double advance = c < kTableRange ? low[c] : std::nan("");
    if (std::isnan(advance)) advance = MeasureChar(*table, c);
    x += advance;
    out[i] = x;
  }
}

void TfrxDrawText::DecodeAndMeasure(std::string_view line, FontAdvances& table,
                                    std::u32string& out, std::vector<double>& positions) {
  // DecodeUtf8Into and RunPositions in one pass: at most one character per byte, written
  // in place and cut to what was written.
  const size_t size = line.size();
  // Grown only: cutting them to the characters at the end costs nothing.
  if (out.size() < size) out.resize(size);
  if (positions.size() < size) positions.resize(size);
  char32_t* const first = out.data();
  char32_t* dst = first;
  double* at = positions.data();
  const double* low = table.low.data();
  double x = 0;
  size_t i = 0;
  while (i < size) {
    const char32_t c = NextCodePoint(line, i);
    *dst++ = c;
    double advance = c < kTableRange ? low[c] : std::nan("");
    if (std::isnan(advance)) advance = MeasureChar(table, c);
    x += advance;
    *at++ = x;
  }
  const auto n = static_cast<size_t>(dst - first);
  out.resize(n);
  positions.resize(n);
}

double TfrxDrawText::DecodedExtent(std::string_view line, FontAdvances& table, size_t& count) {
  const double* low = table.low.data();
  double x = 0;
  size_t n = 0;
  for (size_t i = 0; i < line.size(); ++n) {
    const char32_t c = NextCodePoint(line, i);
    double advance = c < kTableRange ? low[c] : std::nan("");
    if (std::isnan(advance)) advance = MeasureChar(table, c);
    x += advance;
  }
  count = n;
  return x;
}

bool TfrxDrawText::DecodeMeasured(std::string_view line, std::u32string& out) {
  // A line without tags that is broken at all is measured in the memo's own font.
  if (!word_wrap_ || (html_ && std::memchr(line.data(), '<', line.size()) != nullptr)) {
    return false;
  }
  FontAdvances* table = OwnAdvances();
  if (!table) return false;
  DecodeAndMeasure(line, *table, out, scratch_);
  return true;
}

void TfrxDrawText::SetOptions(bool word_wrap, bool html_tags, int rotation, bool wysiwyg,
                              bool clipped, bool word_break, bool rtl) {
  word_wrap_ = word_wrap;
  html_ = html_tags;
  rotation_ = rotation >= 0 && rotation < 360 ? rotation : ((rotation % 360) + 360) % 360;
  wysiwyg_ = wysiwyg;
  clipped_ = clipped;
  word_break_ = word_break;
  rtl_ = rtl;
}

void TfrxDrawText::SetGaps(double line_spacing, double char_spacing, double paragraph_gap) {
  line_spacing_ = line_spacing;
  char_spacing_ = char_spacing;
  paragraph_gap_ = paragraph_gap;
}

void TfrxDrawText::SetDimensions(const CanvasRect& text_rect, const CanvasRect& draw_rect) {
  text_rect_ = text_rect;
  draw_rect_ = draw_rect;
}

bool TfrxDrawText::SwapsAxes() const {
  return (rotation_ >= 90 && rotation_ <= 179) || (rotation_ >= 270 && rotation_ <= 359);
}

namespace {

// The next element of a list whose first `count` elements are in use: one kept from an
// earlier text (so its storage is reused) or a new one.
template <typename T>
T& NextSlot(std::vector<T>& items, std::vector<T>& spare, size_t& count) {
  if (count == items.size()) {
    if (spare.empty()) {
      items.emplace_back();
    } else {
      items.push_back(std::move(spare.back()));
      spare.pop_back();
    }
  }
  return items[count++];
}

// Whether FontFor gives the same font for both (without building the fonts: a run of one
// font is found character by character).
bool SameFont(const TextCharAttr& a, const TextCharAttr& b) {
  return a.style == b.style && a.color == b.color &&
         (a.script == TextCharAttr::kNormal) == (b.script == TextCharAttr::kNormal);
}

}  // namespace

TextCharAttr TfrxDrawText::OwnStyle() const {
  TextCharAttr style;
  style.style = font_.style;
  style.color = font_.color;
  return style;
}

CanvasFont TfrxDrawText::FontFor(const TextCharAttr& attr) const {
  CanvasFont font = font_;
  font.style = attr.style;
  font.color = attr.color;
  if (attr.script != TextCharAttr::kNormal) font.size = std::round(font_.size / 1.5);
  return font;
}

void TfrxDrawText::SetText(std::string_view text, bool full_width) {
  StartText(full_width);
  // CR LF, CR or LF ends a source line; a trailing end adds none.
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    AddSourceLine(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  FinishText();
}

void TfrxDrawText::SetText(const std::vector<std::string>& lines, bool full_width) {
  StartText(full_width);
  for (const std::string& line : lines) AddSourceLine(line);
  FinishText();
}

void TfrxDrawText::SetText(const core::TStringList& lines, bool full_width) {
  // As CountLines(TStringList): the lines themselves are the source lines, but for a last
  // empty one (the joined text's trailing break); a line with a break of its own is cut
  // there too, so such lines go through the joined text. Most lines fit and are taken by
  // MeasureFittingLine, which stops at a break; only the others are searched for one here.
  const int count = lines.Count();
  const int paragraphs = count > 0 && lines[count - 1].empty() ? count - 1 : count;
  StartText(full_width);
  for (int i = 0; i < paragraphs; ++i) {
    const std::string& line = lines[i];
    full_text_ += line;
    full_text_ += "\r\n";
    std::u32string& source = NextSlot(sources_, spare_sources_, source_count_);
    if (MeasureFittingLine(line, source)) {
      if (paragraphs == 1) {
        // A memo of one line that fits (most of them) keeps it as its source line and
        // advances alone: its line is made when asked for (Expand), and DrawText draws it
        // as it is. The lines of the last text stay in lines_ as storage.
        single_ = true;
        single_flags_ = TextLine::kParaStart | TextLine::kParaEnd;
        single_style_ = OwnStyle();
        for (size_t k = 1; k < sources_.size(); ++k) {
          spare_sources_.push_back(std::move(sources_[k]));
        }
        sources_.resize(1);
        return;
      }
      KeepFittingLine();
      continue;
    }
    if (std::memchr(line.data(), '\n', line.size()) != nullptr ||
        std::memchr(line.data(), '\r', line.size()) != nullptr) {
      lines.JoinedTo(lines_text_);
      SetText(std::string_view(lines_text_), full_width);
      return;
    }
    BreakSourceLine(line, source);
  }
  FinishText();
}

void TfrxDrawText::ClearText() {
  single_ = false;
  line_count_ = source_count_ = 0;
  if (!lines_.empty() || !sources_.empty()) FinishText();
  full_text_.clear();
  advances_.clear();
  line_notes_.clear();
}

void TfrxDrawText::FinishText() {
  // The lines and source lines of the last text beyond the new one keep their storage
  // among the spares.
  for (size_t i = line_count_; i < lines_.size(); ++i) {
    spare_lines_.push_back(std::move(lines_[i]));
  }
  lines_.resize(line_count_);
  for (size_t i = source_count_; i < sources_.size(); ++i) {
    spare_sources_.push_back(std::move(sources_[i]));
  }
  sources_.resize(source_count_);
}

void TfrxDrawText::StartText(bool full_width) {
  // The lines of the last text stay until FinishText: the new lines take their storage.
  single_ = false;
  line_count_ = source_count_ = 0;
  full_text_.clear();
  advances_.clear();
  line_notes_.clear();
  advances_measurer_ = StampOf(Measurer());
  text_width_ = (SwapsAxes() ? text_rect_.Height() : text_rect_.Width()) * kMeasureScale;
  text_first_width_ = full_width ? text_width_ : text_width_ - paragraph_gap_ * kMeasureScale;
}

bool TfrxDrawText::MeasureFittingLine(std::string_view line, std::u32string& source) {
  if (general_only_ || !word_wrap_ || char_spacing_ != 0) return false;
  FontAdvances* table = OwnAdvances();
  if (!table) return false;
  // Decoded into the source line and measured into advances_ in one pass, as
  // DecodeAndMeasure decodes and measures it. A character not measured yet has a NaN
  // advance, which the sum keeps: such a line goes the general way, which measures it.
  // A tag, or a CR or LF (of a memo's line that holds one: SetText(TStringList) then takes
  // its joined text), sends the line the general way. ASCII and two-byte characters lie
  // below kTableRange.
  const bool* const stops = html_ ? kBreakAndTagStops.data() : kBreakStops.data();
  const size_t size = line.size();
  if (source.size() < size) source.resize(size);
  if (fit_room_ < size) {
    fit_room_ = std::max(size, 2 * fit_room_);
    fit_advances_ = std::make_unique_for_overwrite<double[]>(fit_room_);
  }
  char32_t* const out = source.data();
  double* const positions = fit_advances_.get();
  const double* low = table->low.data();
  const auto* const begin = reinterpret_cast<const unsigned char*>(line.data());
  const auto* const end = begin + size;
  double x = 0;
  size_t n = 0;
  for (const unsigned char* p = begin; p < end; ++n) {
    const unsigned char byte = *p;
    if (byte < 0x80) {
      if (stops[byte]) return false;
      out[n] = byte;
      x += low[byte];
      ++p;
    } else if (byte >= 0xC2 && byte <= 0xDF && p + 1 < end && (p[1] & 0xC0) == 0x80) {
      const char32_t c = (static_cast<char32_t>(byte & 0x1F) << 6) | (p[1] & 0x3F);
      out[n] = c;
      x += low[c];
      p += 2;
    } else {
      size_t i = static_cast<size_t>(p - begin);
      const char32_t c = NextCodePoint(line, i);
      p = begin + i;
      out[n] = c;
      x += c < kTableRange ? low[c] : std::nan("");
    }
    positions[n] = x;
  }
  // A line to be broken goes the general way too.
  if (std::isnan(x) || (n > 1 && x > text_first_width_)) return false;
  source.resize(n);
  return true;
}

void TfrxDrawText::KeepFittingLine() {
  // Its advances are kept when it has more than one character (a shorter one is not
  // measured).
  const std::u32string& source = sources_[source_count_ - 1];
  const size_t n = source.size();
  size_t at = kNoAdvances;
  if (n > 1) {
    at = advances_.size();
    advances_.insert(advances_.end(), fit_advances_.get(), fit_advances_.get() + n);
  }
  MakeFittingLine(source_count_ - 1, at, OwnStyle());
}

void TfrxDrawText::MakeFittingLine(size_t paragraph, size_t advance_at,
                                   const TextCharAttr& base) const {
  // The one line BreakParagraph makes of a source line that fits: the whole paragraph in
  // the memo's own style.
  const std::u32string& source = sources_[paragraph];
  const size_t n = source.size();
  TextLine& text_line = NextSlot(lines_, spare_lines_, line_count_);
  text_line.text.assign(source);
  text_line.attrs.assign(n, base);
  text_line.flags = TextLine::kParaStart | TextLine::kParaEnd;
  text_line.paragraph = paragraph;
  text_line.source_begin = 0;
  text_line.source_end = text_line.source_next = n;
  text_line.hyphenated = false;
  line_notes_.resize(line_count_);
  LineNote& note = line_notes_.back();
  note.one_style = true;
  note.advance_at = advance_at;
}

bool TfrxDrawText::AddFittingLine(std::string_view line, std::u32string& source) {
  if (!MeasureFittingLine(line, source)) return false;
  KeepFittingLine();
  return true;
}

void TfrxDrawText::Expand() const {
  if (!single_) return;
  single_ = false;
  line_count_ = 0;
  // The line made here keeps no advances (they are in fit_advances_, not advances_): it is
  // measured again when drawn, to the same positions.
  MakeFittingLine(0, kNoAdvances, single_style_);
  lines_.front().flags = single_flags_;
  for (size_t i = 1; i < lines_.size(); ++i) spare_lines_.push_back(std::move(lines_[i]));
  lines_.resize(1);
}

void TfrxDrawText::AddSourceLine(std::string_view line) {
  full_text_ += line;
  full_text_ += "\r\n";
  std::u32string& source = NextSlot(sources_, spare_sources_, source_count_);
  if (AddFittingLine(line, source)) return;
  BreakSourceLine(line, source);
}

void TfrxDrawText::BreakSourceLine(std::string_view line, std::u32string& source) {
  const bool measured = DecodeMeasured(line, source);
  if (!measured) DecodeUtf8Into(line, source);
  const size_t first = line_count_;
  BreakParagraph(source_count_ - 1, source, text_first_width_, text_width_, measured);
  lines_[first].flags |= TextLine::kParaStart;
  lines_[line_count_ - 1].flags |= TextLine::kParaEnd;
}

void TfrxDrawText::SetParaBreaks(bool first, bool last) {
  if (single_) {
    if (first) single_flags_ &= ~TextLine::kParaStart;
    if (last) single_flags_ &= ~TextLine::kParaEnd;
    return;
  }
  if (lines_.empty()) return;
  if (first) lines_.front().flags &= ~TextLine::kParaStart;
  if (last) lines_.back().flags &= ~TextLine::kParaEnd;
}

TextLine& TfrxDrawText::NewLine() {
  return NextSlot(lines_, spare_lines_, line_count_);
}

void TfrxDrawText::ReadTags(const std::u32string& source, Paragraph& paragraph) const {
  paragraph.text.clear();
  paragraph.attrs.clear();
  paragraph.source.clear();
  paragraph.source_length = source.size();
  paragraph.text.reserve(source.size());
  paragraph.attrs.reserve(source.size());
  paragraph.source.reserve(source.size());
  TextCharAttr attr;
  attr.style = font_.style;
  attr.color = font_.color;
  std::vector<TColor> colors;
  for (size_t i = 0; i < source.size(); ++i) {
    if (html_ && source[i] == U'<') {
      size_t close = source.find(U'>', i + 1);
      if (close != std::u32string::npos) {
        std::u32string tag = LowerAscii(std::u32string_view(source).substr(i + 1, close - i - 1));
        bool closing = !tag.empty() && tag[0] == U'/';
        if (closing) tag.erase(0, 1);
        std::u32string name = tag.substr(0, tag.find(U' '));
        bool taken = true;
        auto toggle = [&](uint32_t bit) {
          attr.style = closing ? attr.style & ~bit : attr.style | bit;
        };
        if (name == U"b") {
          toggle(font_style::fsBold);
        } else if (name == U"i") {
          toggle(font_style::fsItalic);
        } else if (name == U"u") {
          toggle(font_style::fsUnderline);
        } else if (name == U"strike") {
          toggle(font_style::fsStrikeOut);
        } else if (name == U"sub") {
          attr.script = closing ? TextCharAttr::kNormal : TextCharAttr::kSub;
        } else if (name == U"sup") {
          attr.script = closing ? TextCharAttr::kNormal : TextCharAttr::kSup;
        } else if (name == U"nowrap") {
          attr.nowrap = !closing;
        } else if (name == U"font") {
          if (closing) {
            if (!colors.empty()) {
              attr.color = colors.back();
              colors.pop_back();
            }
          } else {
            colors.push_back(attr.color);
            // The tag was lower-cased in place, so positions in it are positions in the
            // source, whose value keeps its letter case.
            size_t at = tag.find(U"color=");
            TColor color;
            if (at != std::u32string::npos) {
              std::u32string_view value =
                  std::u32string_view(source).substr(i + 1 + at + 6, close - (i + 1 + at + 6));
              size_t end = value.find(U' ');
              if (end != std::u32string_view::npos) value = value.substr(0, end);
              if (ParseTagColor(value, color)) attr.color = color;
            }
          }
        } else {
          taken = false;
        }
        if (taken) {
          i = close;
          continue;
        }
      }
    }
    paragraph.text.push_back(source[i]);
    paragraph.attrs.push_back(attr);
    paragraph.source.push_back(i);
  }
}

void TfrxDrawText::MeasureParagraph(const Paragraph& paragraph, std::vector<double>& positions) {
  size_t n = paragraph.text.size();
  positions.resize(n);
  std::vector<double>& run = run_;
  double offset = 0;
  size_t start = 0;
  while (start < n) {
    CanvasFont font = FontFor(paragraph.attrs[start]);
    size_t end = start + 1;
    while (end < n && SameFont(paragraph.attrs[end], paragraph.attrs[start])) ++end;
    RunPositions(font, std::u32string_view(paragraph.text).substr(start, end - start), run);
    for (size_t i = start; i < end; ++i) {
      double advance = i - start < run.size() ? run[i - start] : (run.empty() ? 0 : run.back());
      positions[i] = offset + advance;
    }
    offset = positions[end - 1];
    start = end;
  }
  double spacing = char_spacing_ * kMeasureScale;
  if (spacing != 0) {
    for (size_t i = 0; i < n; ++i) positions[i] += spacing * static_cast<double>(i + 1);
  }
}

double TfrxDrawText::MeasureLine(std::u32string_view text, const TextCharAttr* attrs,
                                 std::vector<double>* positions) {
  size_t n = text.size();
  if (positions) positions->resize(n);
  auto attr_at = [&](size_t i) -> const TextCharAttr& {
    return attrs ? attrs[i] : single_style_;
  };
  std::vector<double>& run = run_;
  double offset = 0;
  size_t start = 0;
  while (start < n) {
    CanvasFont font = FontFor(attr_at(start));
    size_t end = start + 1;
    while (end < n && SameFont(attr_at(end), attr_at(start))) ++end;
    RunPositions(font, text.substr(start, end - start), run);
    double last = run.empty() ? 0 : run.back();
    if (positions) {
      for (size_t i = start; i < end; ++i) {
        (*positions)[i] = offset + (i - start < run.size() ? run[i - start] : last);
      }
    }
    offset += last;
    start = end;
  }
  return offset;
}

namespace {

// The break places of one paragraph: hands emit(begin, end, next, hyphen) each line in
// turn. text is the paragraph without its tags, attr_at(i) the style of character i and
// pos the absolute advance after each character; font_of(attr) the font of a style.
// Shared by the full layout and by the line count, so that both break alike.
template <class AttrAt, class FontOf, class Extent, class Emit>
void BreakLines(const std::u32string_view text, const AttrAt& attr_at, const FontOf& font_of,
                const std::vector<double>& pos, const Extent& extent, double char_spacing,
                bool word_break, double first_width, double full_width, const Emit& emit) {
  const size_t n = text.size();
  auto width = [&](size_t begin, size_t end) {
    return (end == 0 ? 0 : pos[end - 1]) - (begin == 0 ? 0 : pos[begin - 1]);
  };
  // Offers the word starting at word_start to the syllable rules: the end of the longest
  // first part that, with its hyphen, keeps the line from line_start within available.
  auto hyphenate = [&](size_t word_start, size_t line_start, double available, size_t& end) {
    size_t word_end = word_start;
    while (word_end < n && kWordEnds.find(text[word_end]) == std::u32string_view::npos) {
      if (attr_at(word_end).nowrap) return false;
      ++word_end;
    }
    std::u32string word;
    for (size_t i = word_start; i < word_end; ++i) word.push_back(UpperRussian(text[i]));
    std::vector<size_t> breaks = SyllableBreaks(word);
    for (auto it = breaks.rbegin(); it != breaks.rend(); ++it) {
      size_t k = word_start + *it;
      double hyphen = extent(font_of(attr_at(k - 1)), U"-") + char_spacing;
      if (width(line_start, k) + hyphen <= available) {
        end = k;
        return true;
      }
    }
    return false;
  };

  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t start = 0, blank = kNone, i = 0;
  double available = first_width;
  while (i < n) {
    if (text[i] == U' ' && !attr_at(i).nowrap && i > start) blank = i;
    if (width(start, i + 1) > available) {
      size_t end = i, next = i, syllable_end = 0;
      bool hyphen = false;
      if (blank != kNone) {
        end = blank;
        next = blank + 1;
        if (word_break && hyphenate(blank + 1, start, available, syllable_end)) {
          end = next = syllable_end;
          hyphen = true;
        }
      } else if (i == start) {
        end = next = i + 1;
      } else if (word_break && hyphenate(start, start, available, syllable_end)) {
        end = next = syllable_end;
        hyphen = true;
      }
      emit(start, end, next, hyphen);
      start = i = next;
      blank = kNone;
      available = full_width;
      continue;
    }
    ++i;
  }
  if (start < n) emit(start, n, n, false);
}

}  // namespace

double TfrxDrawText::RunExtent(const CanvasFont& font, std::u32string_view text) {
  if (text.empty()) return 0;
  RunPositions(font, text, extent_positions_);
  return extent_positions_.empty() ? 0 : extent_positions_.back();
}

void TfrxDrawText::BreakParagraph(size_t index, const std::u32string& source, double first_width,
                                  double full_width, bool measured) {
  // A paragraph without tags is its own text, every character in the memo's style at its
  // own source position: read as such instead of through ReadTags.
  const bool plain = !general_only_ && !(html_ && source.find(U'<') != std::u32string::npos);
  Paragraph& paragraph = paragraph_;
  if (!plain) ReadTags(source, paragraph);
  TextCharAttr base;
  base.style = font_.style;
  base.color = font_.color;
  const std::u32string& text = plain ? source : paragraph.text;
  const size_t n = text.size();
  const size_t source_length = plain ? n : paragraph.source_length;
  auto source_at = [&](size_t i) {
    return i >= n ? source_length : plain ? i : paragraph.source[i];
  };
  auto attr_at = [&](size_t i) -> const TextCharAttr& {
    return plain ? base : paragraph.attrs[i];
  };
  std::vector<double>& pos = scratch_;
  // pos holds the advances DrawText would measure for a line from the paragraph's start.
  bool keep_advances = false;
  auto emit = [&](size_t begin, size_t end, size_t next, bool hyphen) {
    TextLine& line = NewLine();
    line.text.assign(text, begin, end - begin);
    if (plain) {
      line.attrs.assign(end - begin, base);
    } else {
      line.attrs.assign(paragraph.attrs.begin() + static_cast<ptrdiff_t>(begin),
                        paragraph.attrs.begin() + static_cast<ptrdiff_t>(end));
    }
    if (hyphen) {
      line.text.push_back(U'-');
      line.attrs.push_back(line.attrs.empty() ? TextCharAttr{} : line.attrs.back());
    }
    line.flags = 0;
    line.paragraph = index;
    line.source_begin = source_at(begin);
    line.source_end = end > 0 && end <= n ? source_at(end - 1) + 1 : line.source_begin;
    line.source_next = source_at(next);
    line.hyphenated = hyphen;
    line_notes_.resize(line_count_);
    LineNote& note = line_notes_.back();
    note.one_style = plain && !general_only_;
    note.advance_at = kNoAdvances;
    if (keep_advances && begin == 0 && !hyphen) {
      note.advance_at = advances_.size();
      advances_.insert(advances_.end(), pos.begin(), pos.begin() + static_cast<ptrdiff_t>(end));
    }
  };

  if (!word_wrap_ || n <= 1) {
    emit(0, n, n, false);
    return;
  }
  if (plain) {
    // One style: one run, measured in one call, as MeasureParagraph measures it (unless
    // it was measured as it was decoded). FontFor(base) is the memo's own font: taken as
    // it is, without a copy.
    if (!measured) {
      RunPositions(font_, text, pos);
      if (pos.size() != n) {
        const double last = pos.empty() ? 0 : pos.back();
        pos.resize(n, last);
      }
    }
    const double spacing = char_spacing_ * kMeasureScale;
    if (spacing != 0) {
      for (size_t i = 0; i < n; ++i) pos[i] += spacing * static_cast<double>(i + 1);
    }
  } else {
    MeasureParagraph(paragraph, pos);
  }
  // With spacing, pos holds more than the advances.
  keep_advances = !general_only_ && char_spacing_ == 0;
  if (pos[n - 1] <= first_width) {
    emit(0, n, n, false);
    return;
  }
  auto extent = [&](const CanvasFont& font, std::u32string_view run) {
    return RunExtent(font, run);
  };
  BreakLines(
      text, attr_at, [&](const TextCharAttr& attr) { return FontFor(attr); }, pos, extent,
      char_spacing_ * kMeasureScale, word_break_, first_width, full_width, emit);
}

size_t TfrxDrawText::CountSourceLine(std::string_view line, double first_width,
                                     double full_width) {
  // Every source line gives one line when lines are not broken.
  if (!word_wrap_) return 1;
  // Most lines fit: without spacing their last position, summed as the characters are
  // decoded, tells so before any of them is stored.
  if (char_spacing_ == 0 &&
      !(html_ && std::memchr(line.data(), '<', line.size()) != nullptr)) {
    if (FontAdvances* table = OwnAdvances()) {
      size_t n = 0;
      const double extent = DecodedExtent(line, *table, n);
      if (n <= 1 || extent <= first_width) return 1;
    }
  }
  const bool measured = DecodeMeasured(line, paragraph_source_);
  if (!measured) DecodeUtf8Into(line, paragraph_source_);
  return CountParagraphLines(paragraph_source_, first_width, full_width, measured);
}

size_t TfrxDrawText::CountParagraphLines(const std::u32string& source, double first_width,
                                         double full_width, bool measured) {
  auto extent = [&](const CanvasFont& font, std::u32string_view run) {
    return RunExtent(font, run);
  };
  // Tags change the characters and their styles: such a paragraph is read as the full
  // layout reads it.
  if (general_only_ || (html_ && source.find(U'<') != std::u32string::npos)) {
    Paragraph& paragraph = paragraph_;
    ReadTags(source, paragraph);
    const size_t n = paragraph.text.size();
    if (!word_wrap_ || n <= 1) return 1;
    std::vector<double>& pos = scratch_;
    MeasureParagraph(paragraph, pos);
    if (pos[n - 1] <= first_width) return 1;
    size_t count = 0;
    BreakLines(
        paragraph.text, [&](size_t i) -> const TextCharAttr& { return paragraph.attrs[i]; },
        [&](const TextCharAttr& attr) { return FontFor(attr); }, pos, extent,
        char_spacing_ * kMeasureScale, word_break_, first_width, full_width,
        [&](size_t, size_t, size_t, bool) { ++count; });
    return count;
  }
  // Without tags every character has the memo's own style: one run, measured in one call,
  // as MeasureParagraph measures a paragraph of one style.
  const size_t n = source.size();
  if (!word_wrap_ || n <= 1) return 1;
  TextCharAttr attr;
  attr.style = font_.style;
  attr.color = font_.color;
  const CanvasFont& font = font_;  // what FontFor(attr) gives, without a copy
  std::vector<double>& pos = scratch_;
  const double spacing = char_spacing_ * kMeasureScale;
  if (!measured) {
    RunPositions(font, source, pos);
    // A measurer that gave fewer positions than characters: the rest stand at its last.
    if (pos.size() != n) {
      const double last = pos.empty() ? 0 : pos.back();
      pos.resize(n, last);
    }
  }
  if (spacing != 0) {
    for (size_t i = 0; i < n; ++i) pos[i] += spacing * static_cast<double>(i + 1);
  }
  if (pos[n - 1] <= first_width) return 1;
  size_t count = 0;
  BreakLines(
      source, [&](size_t) -> const TextCharAttr& { return attr; },
      [&](const TextCharAttr&) -> const CanvasFont& { return font; }, pos, extent, spacing,
      word_break_, first_width, full_width, [&](size_t, size_t, size_t, bool) { ++count; });
  return count;
}


size_t TfrxDrawText::CountLines(std::string_view text, bool full_width) {
  ClearText();
  const double width = (SwapsAxes() ? text_rect_.Height() : text_rect_.Width()) * kMeasureScale;
  const double first_width = full_width ? width : width - paragraph_gap_ * kMeasureScale;
  size_t count = 0;
  size_t start = 0;
  // Source lines as SetText cuts them: CR LF, CR or LF ends one; a trailing end adds none.
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    count += CountSourceLine(text.substr(start, end - start), first_width, width);
    if (end == text.size()) break;
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return count;
}

TfrxDrawText::PlainLine TfrxDrawText::ScanPlainLine(std::string_view line, FontAdvances& table,
                                                    double first_width) {
  // The ASCII bytes the scan stops at: CR and LF always, '<' with tags read. A
  // continuation byte is never below 0x80, so none of them is ever part of a sequence,
  // here or in DecodeUtf8Into.
  const bool* const stops = html_ ? kBreakAndTagStops.data() : kBreakStops.data();
  const double* low = table.low.data();
  const auto* const begin = reinterpret_cast<const unsigned char*>(line.data());
  const auto* const end = begin + line.size();
  // A character not measured yet has a NaN advance, which the sum keeps: the line is then
  // summed again, measuring as it goes, in the same order (so to the same bits). ASCII and
  // two-byte characters lie below kTableRange.
  double x = 0;
  for (const unsigned char* p = begin; p < end;) {
    const unsigned char byte = *p;
    if (byte < 0x80) {
      if (stops[byte]) return byte == '<' ? PlainLine::kTag : PlainLine::kBreak;
      x += low[byte];
      ++p;
    } else if (byte >= 0xC2 && byte <= 0xDF && p + 1 < end &&
               static_cast<signed char>(p[1]) < -0x40) {
      // A continuation byte is 0x80 to 0xBF, below -0x40 as a signed byte; lead byte and
      // continuation byte then give the code point as (byte << 6) + next - 0x3080.
      x += low[(static_cast<uint32_t>(byte) << 6) + p[1] - 0x3080];
      p += 2;
    } else {
      size_t i = static_cast<size_t>(p - begin);
      const char32_t c = NextCodePoint(line, i);
      p = begin + i;
      x += c < kTableRange ? low[c] : std::nan("");
    }
  }
  if (std::isnan(x)) {
    size_t n = 0;
    x = DecodedExtent(line, table, n);
    return n <= 1 || x <= first_width ? PlainLine::kFits : PlainLine::kLong;
  }
  // A line of one character fits whatever its width; the characters are counted only for a
  // line wider than the room.
  return x <= first_width || AtMostOneChar(line) ? PlainLine::kFits : PlainLine::kLong;
}

size_t TfrxDrawText::CountLines(const core::TStringList& lines, bool full_width) {
  ClearText();
  const double width = (SwapsAxes() ? text_rect_.Height() : text_rect_.Width()) * kMeasureScale;
  const double first_width = full_width ? width : width - paragraph_gap_ * kMeasureScale;
  // Most memos are a line or two of plain text that fits: one pass over each line decodes
  // and measures it and finds whether it holds a break or a tag (what MemoParagraphs and
  // CountSourceLine would each look for again). Any line with a break of its own sends the
  // whole text the general way below.
  if (word_wrap_ && char_spacing_ == 0) {
    if (FontAdvances* table = OwnAdvances()) {
      const int count = lines.Count();
      const int paragraphs = count > 0 && lines[count - 1].empty() ? count - 1 : count;
      size_t total = 0;
      bool broken = false;
      for (int i = 0; i < paragraphs && !broken; ++i) {
        const std::string& line = lines[i];
        switch (ScanPlainLine(line, *table, first_width)) {
          case PlainLine::kFits:
            ++total;
            break;
          case PlainLine::kTag:
            if (std::memchr(line.data(), '\n', line.size()) != nullptr ||
                std::memchr(line.data(), '\r', line.size()) != nullptr) {
              broken = true;
              break;
            }
            [[fallthrough]];
          case PlainLine::kLong:
            total += CountSourceLine(line, first_width, width);
            break;
          case PlainLine::kBreak:
            broken = true;
            break;
        }
      }
      if (!broken) return total;
    }
  }
  // The lines are counted one by one, without joining them; a line holding a CR or LF of
  // its own is cut there too: such lines are joined and counted as the text.
  const int paragraphs = MemoParagraphs(lines);
  if (paragraphs < 0) {
    lines.JoinedTo(lines_text_);
    return CountLines(std::string_view(lines_text_), full_width);
  }
  size_t total = 0;
  for (int i = 0; i < paragraphs; ++i) total += CountSourceLine(lines[i], first_width, width);
  return total;
}

double TfrxDrawText::LineHeight() const {
  return font_em_ / kMeasureScale + line_spacing_;
}

double TfrxDrawText::TextHeight() const { return HeightOfLines(single_ ? 1 : lines_.size()); }

double TfrxDrawText::HeightOfLines(size_t count) const { return HeightOf(count, LineHeight()); }

double TfrxDrawText::HeightOf(size_t count, double line_height) const {
  if (count == 0) return 0;
  double height = static_cast<double>(count) * line_height;
  if (line_spacing_ < 0) height -= line_spacing_;
  return height;
}

double TfrxDrawText::TextWidth() {
  Expand();
  double widest = 0;
  for (const TextLine& line : lines_) {
    double width = MeasureLine(line.text, line.attrs.data(), nullptr) +
                   static_cast<double>(line.text.size()) * char_spacing_ * kMeasureScale;
    if (line.flags & TextLine::kParaStart) width += paragraph_gap_ * kMeasureScale;
    widest = std::max(widest, width);
  }
  return widest / kMeasureScale;
}

std::vector<std::string> TfrxDrawText::LineTexts() const {
  Expand();
  std::vector<std::string> texts;
  texts.reserve(lines_.size());
  for (const TextLine& line : lines_) texts.push_back(core::Utf32ToUtf8(line.text));
  return texts;
}

std::string TfrxDrawText::SourceRange(size_t paragraph, size_t begin, size_t end) const {
  const std::u32string& source = sources_[paragraph];
  begin = std::min(begin, source.size());
  end = std::clamp(end, begin, source.size());
  return core::Utf32ToUtf8(std::u32string_view(source).substr(begin, end - begin));
}

std::string TfrxDrawText::OpeningTags(const TextCharAttr& attr) const {
  if (!html_) return {};
  std::string tags;
  auto added = [&](uint32_t bit) { return (attr.style & bit) && !(font_.style & bit); };
  if (added(font_style::fsBold)) tags += "<b>";
  if (added(font_style::fsItalic)) tags += "<i>";
  if (added(font_style::fsUnderline)) tags += "<u>";
  if (added(font_style::fsStrikeOut)) tags += "<strike>";
  if (attr.color != font_.color) {
    static const char kHex[] = "0123456789ABCDEF";
    uint32_t rgb = ColorToRGB(attr.color);
    std::string value = "#";
    for (int shift = 20; shift >= 0; shift -= 4) value += kHex[(rgb >> shift) & 0xF];
    tags += "<font color=\"" + value + "\">";
  }
  if (attr.script == TextCharAttr::kSub) tags += "<sub>";
  if (attr.script == TextCharAttr::kSup) tags += "<sup>";
  if (attr.nowrap) tags += "<nowrap>";
  return tags;
}

PartTextResult TfrxDrawText::PartText() const {
  Expand();
  PartTextResult result;
  double available = SwapsAxes() ? text_rect_.Width() : text_rect_.Height();
  double line_height = LineHeight();
  double last_line_extra = line_spacing_ < 0 ? -line_spacing_ : 0;
  size_t fit = 0;
  while (fit < lines_.size() &&
         static_cast<double>(fit + 1) * line_height + last_line_extra <= available + 1e-9) {
    ++fit;
  }
  auto join = [&](size_t from, size_t to, std::string& out) {
    for (size_t p = from; p < to; ++p) {
      if (!out.empty() || p > from) out += "\r\n";
      out += core::Utf32ToUtf8(sources_[p]);
    }
  };
  if (fit == lines_.size()) {
    join(0, sources_.size(), result.fitting);
    return result;
  }
  if (fit == 0) {
    join(0, sources_.size(), result.rest);
    return result;
  }
  const TextLine& next = lines_[fit];
  const TextLine& last = lines_[fit - 1];
  result.inside_paragraph = last.paragraph == next.paragraph;
  {
    if (result.inside_paragraph) {
      join(0, last.paragraph, result.fitting);
      if (last.paragraph > 0) result.fitting += "\r\n";
      result.fitting += SourceRange(last.paragraph, 0, last.source_end);
      if (last.hyphenated) result.fitting += "-";
    } else {
      join(0, last.paragraph + 1, result.fitting);
    }
  }
  if (next.source_begin == 0 && !result.inside_paragraph) {
    join(next.paragraph, sources_.size(), result.rest);
  } else {
    result.rest = (next.attrs.empty() ? std::string() : OpeningTags(next.attrs.front())) +
                  SourceRange(next.paragraph, next.source_begin, sources_[next.paragraph].size());
    std::string tail;
    join(next.paragraph + 1, sources_.size(), tail);
    if (next.paragraph + 1 < sources_.size()) result.rest += "\r\n" + tail;
  }
  return result;
}

void TfrxDrawText::DrawText(TfrxCanvas& canvas, TfrxHAlign halign, TfrxVAlign valign,
                            bool underlines, const CanvasPen& underline_pen) {
  const CanvasRect& rect = draw_rect_;
  const bool swap = SwapsAxes();
  const double frame_w = swap ? rect.Height() : rect.Width();
  const double frame_h = swap ? rect.Width() : rect.Height();
  // LineHeight, TextHeight and the em of the font from one MeasureHeight.
  const int measure_height = font_em_;
  const double line_height = measure_height / kMeasureScale + line_spacing_;
  const double text_height = HeightOf(single_ ? 1 : lines_.size(), line_height);
  double top = 0;
  if (valign == TfrxVAlign::vaBottom) top = frame_h - text_height;
  if (valign == TfrxVAlign::vaCenter) top = (frame_h - text_height) / 2;
  TfrxTextMeasurer& measurer = Measurer();
  const MeasurerStamp stamp = StampOf(measurer);
  if (!(ascent_measurer_ == stamp) || !(ascent_font_ == font_)) {
    ascent_ = measurer.Metrics(font_).ascent;
    ascent_font_ = font_;
    ascent_measurer_ = stamp;
  }
  const double ascent = ascent_ / kMeasureScale;
  const bool advances_hold = advances_measurer_ == stamp;
  const double em = measure_height / kMeasureScale;

  // Lines are placed in an unrotated frame (u right, v down) that is then turned about the
  // rectangle's centre.
  // Upright text (nearly all) skips the trigonometry: cos 0 and sin 0 are exactly 1 and 0.
  double cos_a = 1, sin_a = 0;
  if (rotation_ != 0) {
    const double angle = rotation_ * std::numbers::pi / 180.0;
    cos_a = std::cos(angle);
    sin_a = std::sin(angle);
  }
  const double cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
  auto map = [&](double u, double v) {
    double du = u - frame_w / 2, dv = v - frame_h / 2;
    return CanvasPoint{cx + du * cos_a + dv * sin_a, cy - du * sin_a + dv * cos_a};
  };

  if (clipped_) canvas.PushClip(rect);
  std::vector<double>& positions = line_positions_;
  const size_t line_total = single_ ? 1 : lines_.size();
  for (size_t index = 0; index < line_total; ++index) {
    // The line's characters, their styles (null: all base), flags and note.
    std::u32string_view text;
    const TextCharAttr* attrs = nullptr;
    uint32_t flags;
    LineNote note;
    const double* kept = nullptr;  // its advances as SetText measured them
    if (single_) {
      text = sources_.front();
      flags = single_flags_;
      note.one_style = true;
      if (text.size() > 1) kept = fit_advances_.get();
    } else {
      const TextLine& line = lines_[index];
      text = line.text;
      attrs = line.attrs.data();
      flags = line.flags;
      if (index < line_notes_.size()) note = line_notes_[index];
      if (note.advance_at != kNoAdvances) kept = advances_.data() + note.advance_at;
    }
    const size_t n = text.size();
    auto attr_at = [&](size_t i) -> const TextCharAttr& {
      return attrs ? attrs[i] : single_style_;
    };
    const double* advances;
    if (advances_hold && kept) {
      advances = kept;
    } else {
      MeasureLine(text, attrs, &positions);
      advances = positions.data();
    }
    const double spacing = char_spacing_;
    // The drawn position after character i in pixels, spacing included; worked out only
    // where it is needed (a line's width, its runs' starts).
    auto position = [&](size_t i) {
      return advances[i] / kMeasureScale + spacing * static_cast<double>(i + 1);
    };
    const double line_width = n > 0 ? position(n - 1) : 0;
    const double indent = (flags & TextLine::kParaStart) ? paragraph_gap_ : 0;
    double u0 = indent;
    double blank_extra = 0;
    switch (halign) {
      case TfrxHAlign::haLeft:
        break;
      case TfrxHAlign::haRight:
        u0 = frame_w - line_width;
        break;
      case TfrxHAlign::haCenter:
        u0 = (frame_w - line_width) / 2;
        break;
      case TfrxHAlign::haBlock: {
        size_t blanks = 0, trimmed = n;
        while (trimmed > 0 && text[trimmed - 1] == U' ') --trimmed;
        for (size_t i = 0; i < trimmed; ++i) blanks += text[i] == U' ';
        double used = trimmed > 0 ? position(trimmed - 1) : 0;
        if (!(flags & TextLine::kParaEnd) && blanks > 0 && frame_w - indent > used) {
          blank_extra = (frame_w - indent - used) / static_cast<double>(blanks);
        }
        break;
      }
    }
    const double baseline = top + static_cast<double>(index) * line_height + ascent;
    // Runs of one style; with justification every word is a run of its own.
    size_t start = 0;
    double extra = 0;
    while (start < n) {
      size_t end = start + 1;
      if (note.one_style && blank_extra == 0) {
        end = n;
      } else {
        while (end < n && attr_at(end) == attr_at(start) &&
               !(blank_extra > 0 && (text[end] == U' ') != (text[start] == U' '))) {
          ++end;
        }
      }
      bool is_blank_run = text[start] == U' ';
      if (!is_blank_run || blank_extra == 0) {
        const TextCharAttr& attr = attr_at(start);
        double shift = attr.script == TextCharAttr::kSub   ? em * 0.25
                       : attr.script == TextCharAttr::kSup ? -em * 0.35
                                                           : 0;
        double u = u0 + (start > 0 ? position(start - 1) : 0) + extra;
        CanvasPoint at = map(u, baseline + shift);
        const std::u32string_view run = text.substr(start, end - start);
        // A run in the memo's own style is drawn in its font as it is, without a copy.
        if (attr.style == font_.style && attr.color == font_.color &&
            attr.script == TextCharAttr::kNormal) {
          canvas.DrawChars(at.x, at.y, run, font_, spacing, rotation_);
        } else {
          canvas.DrawChars(at.x, at.y, run, FontFor(attr), spacing, rotation_);
        }
      } else {
        extra += blank_extra * static_cast<double>(end - start);
      }
      start = end;
    }
  }
  if (underlines && line_height > 0) {
    for (double v = top + line_height; v <= frame_h + 1e-9; v += line_height) {
      canvas.DrawLine(map(0, v), map(frame_w, v), underline_pen);
    }
  }
  if (clipped_) canvas.PopClip();
}

namespace {

inline double VerticalPadding(const TfrxCustomMemoView& memo) {
  const TfrxFrame& frame = memo.Frame();
  double padding = 2 * memo.gap_y;
  if (frame.typ & frame_typ::ftTop) padding += (frame.width - 1) / 2;
  if (frame.typ & frame_typ::ftBottom) padding += frame.width / 2;
  if (frame.drop_shadow) padding += frame.shadow_width;
  return padding;
}

double HorizontalPadding(const TfrxCustomMemoView& memo) {
  const TfrxFrame& frame = memo.Frame();
  double padding = 2 * memo.gap_x;
  if (frame.typ & frame_typ::ftLeft) padding += (frame.width - 1) / 2;
  if (frame.typ & frame_typ::ftRight) padding += frame.width / 2;
  if (frame.drop_shadow) padding += frame.shadow_width;
  return padding;
}

// Everything of a memo but its text.
void PrepareFrame(const TfrxCustomMemoView& memo, TfrxDrawText& layout, double height) {
  layout.SetFont(memo.Font());
  layout.SetOptions(memo.word_wrap, memo.allow_html_tags, memo.rotation, memo.wysiwyg,
                    memo.clipped, memo.word_break, memo.rtl_reading);
  layout.SetGaps(memo.line_spacing, memo.char_spacing, memo.paragraph_gap);
  CanvasRect rect;
  if (memo.auto_width) {
    rect = {0, 0, 10000, 10000};
  } else {
    rect = {memo.gap_x, memo.gap_y, memo.Width() - memo.gap_x, height - memo.gap_y};
  }
  layout.SetDimensions(rect, rect);
}

void PrepareWithHeight(const TfrxCustomMemoView& memo, TfrxDrawText& layout, double height) {
  PrepareFrame(memo, layout, height);
  layout.SetText(memo.Lines());
  layout.SetParaBreaks(memo.first_para_break, memo.last_para_break);
}

}  // namespace

void PrepareMemoLayout(const TfrxCustomMemoView& memo, TfrxDrawText& layout) {
  PrepareWithHeight(memo, layout, memo.Height());
}

double CalcMemoHeight(const TfrxCustomMemoView& memo, TfrxDrawText& layout) {
  DrawTextLock lock(layout);
  // The height needs only the number of lines: they are counted, not built.
  PrepareFrame(memo, layout, memo.Height());
  const size_t lines = layout.CountLines(memo.Lines());
  return std::round(layout.HeightOfLines(lines) + VerticalPadding(memo));
}

double CalcMemoWidth(const TfrxCustomMemoView& memo, TfrxDrawText& layout) {
  DrawTextLock lock(layout);
  PrepareMemoLayout(memo, layout);
  return std::round(layout.TextWidth() + HorizontalPadding(memo));
}

PartTextResult CalcMemoPartText(const TfrxCustomMemoView& memo, double height,
                                TfrxDrawText& layout) {
  DrawTextLock lock(layout);
  // The text rectangle keeps what the padding of a stretched memo would take.
  double padding = VerticalPadding(memo) - 2 * memo.gap_y;
  PrepareWithHeight(memo, layout, height - padding);
  return layout.PartText();
}

}  // namespace lgoty::report
