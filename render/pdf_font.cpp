#include "render/pdf_font.h"

#include <QString>
#include <algorithm>
#include <set>

#include "render/pdf_file.h"

namespace lgoty::render {
namespace {


uint16_t U16(const QByteArray& data, qsizetype at) {
  if (at < 0 || at + 2 > data.size()) return 0;
  return static_cast<uint16_t>((static_cast<uint8_t>(data[at]) << 8) |
                               static_cast<uint8_t>(data[at + 1]));
}

uint32_t U32(const QByteArray& data, qsizetype at) {
  return (static_cast<uint32_t>(U16(data, at)) << 16) | U16(data, at + 2);
}

void PutU16(std::string& out, uint32_t value) {
  out += static_cast<char>((value >> 8) & 0xFF);
  out += static_cast<char>(value & 0xFF);
}

void PutU32(std::string& out, uint32_t value) {
  PutU16(out, value >> 16);
  PutU16(out, value & 0xFFFF);
}

uint32_t TableChecksum(std::string_view table) {
  uint32_t sum = 0;
  for (size_t i = 0; i < table.size(); i += 4) {
    uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k) {
      word <<= 8;
      if (i + k < table.size()) word |= static_cast<uint8_t>(table[i + k]);
    }
    sum += word;
  }
  return sum;
}

// The glyphs a composite glyph is made of (none for a simple glyph).
std::vector<uint16_t> Components(const QByteArray& glyf, uint32_t start, uint32_t end) {
  std::vector<uint16_t> out;
  if (end < start + 10 || static_cast<int16_t>(U16(glyf, start)) >= 0) return out;
  qsizetype at = start + 10;
  constexpr uint16_t kWords = 0x0001, kScale = 0x0008, kMore = 0x0020, kXYScale = 0x0040,
                     kTwoByTwo = 0x0080;
  for (int guard = 0; guard < 64 && at + 4 <= static_cast<qsizetype>(end); ++guard) {
    const uint16_t flags = U16(glyf, at);
    out.push_back(U16(glyf, at + 2));
    at += 4 + ((flags & kWords) ? 4 : 2);
    if (flags & kScale) at += 2;
    else if (flags & kXYScale) at += 4;
    else if (flags & kTwoByTwo) at += 8;
    if (!(flags & kMore)) break;
  }
  return out;
}

void AppendHex4(std::string& out, uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

}  // namespace

PdfFont::PdfFont(const QRawFont& raw, std::string subset_tag)
    : raw_(raw), subset_tag_(std::move(subset_tag)), low_(kLowRange, Glyph{kNotLookedUp, 0}) {
  valid_ = raw_.isValid();
  if (!valid_) return;
  units_per_em_ = raw_.unitsPerEm() > 0 ? raw_.unitsPerEm() : 1000;
  raw_.setPixelSize(units_per_em_);
  const double to_thousandths = 1000 / units_per_em_;
  ascent_ = raw_.ascent() * to_thousandths;
  descent_ = raw_.descent() * to_thousandths;
  underline_position_ = raw_.underlinePosition() * to_thousandths;
  line_thickness_ = std::max(1.0, raw_.lineThickness() * to_thousandths);
  strike_out_position_ = raw_.xHeight() * to_thousandths / 2;
  if (strike_out_position_ <= 0) strike_out_position_ = ascent_ / 3;
}

PdfFont::Glyph PdfFont::LookUpGlyph(char32_t c) {
  Glyph* slot = nullptr;
  if (c < kLowRange) {
    slot = &low_[c];
    if (slot->id != kNotLookedUp) return *slot;
  } else if (auto it = other_.find(c); it != other_.end()) {
    return it->second;
  }
  Glyph glyph;
  if (valid_) {
    const QList<quint32> ids = raw_.glyphIndexesForString(QString::fromUcs4(&c, 1));
    if (ids.size() == 1 && ids[0] < kNotLookedUp) glyph.id = static_cast<uint16_t>(ids[0]);
    const QList<QPointF> advances =
        raw_.advancesForGlyphIndexes(QList<quint32>{glyph.id}, QRawFont::UseDesignMetrics);
    if (!advances.isEmpty()) glyph.width = advances[0].x() * 1000 / units_per_em_;
  }
  if (slot) {
    *slot = glyph;
  } else {
    other_.emplace(c, glyph);
  }
  used_.emplace(glyph.id, c);
  widths_.emplace(glyph.id, glyph.width);
  return glyph;
}

std::string PdfFont::PostScriptName() const {
  std::string name;
  const QByteArray table = raw_.fontTable("name");
  const uint16_t count = U16(table, 2), strings = U16(table, 4);
  for (uint16_t i = 0; i < count && name.empty(); ++i) {
    const qsizetype record = 6 + qsizetype{i} * 12;
    const uint16_t platform = U16(table, record), name_id = U16(table, record + 6);
    const uint16_t length = U16(table, record + 8), offset = U16(table, record + 10);
    if (name_id != 6 || strings + offset + length > table.size()) continue;
    const qsizetype at = qsizetype{strings} + offset;
    if (platform == 3 || platform == 0) {
      for (qsizetype k = 0; k + 1 < length; k += 2) name += static_cast<char>(U16(table, at + k));
    } else if (platform == 1) {
      name.assign(table.constData() + at, length);
    }
  }
  if (name.empty()) {
    name = (raw_.familyName() + QLatin1Char('-') + raw_.styleName()).toStdString();
  }
  // PDF names written plainly: letters, digits and a few marks.
  std::string clean;
  for (char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        c == '-' || c == '_' || c == '.') {
      clean += c;
    }
  }
  return clean.empty() ? std::string("Font") : clean;
}

std::string PdfFont::SubsetFace() {
  const QByteArray head = raw_.fontTable("head");
  const QByteArray maxp = raw_.fontTable("maxp");
  const QByteArray loca = raw_.fontTable("loca");
  const QByteArray glyf = raw_.fontTable("glyf");
  if (head.size() < 54 || maxp.size() < 6 || loca.isEmpty() || glyf.isEmpty()) return {};
  const bool long_offsets = U16(head, 50) == 1;
  const uint32_t glyph_count = U16(maxp, 4);
  if (loca.size() < (glyph_count + 1) * (long_offsets ? 4 : 2)) return {};
  auto offset = [&](uint32_t g) -> uint32_t {
    return long_offsets ? U32(loca, g * 4) : uint32_t{U16(loca, g * 2)} * 2;
  };
  // The glyphs drawn, the missing box, and what composites among them are made of.
  std::set<uint16_t> keep{0};
  std::vector<uint16_t> pending;
  for (const auto& [glyph, c] : used_) pending.push_back(glyph);
  while (!pending.empty()) {
    const uint16_t g = pending.back();
    pending.pop_back();
    if (g >= glyph_count || (!keep.insert(g).second && g != 0)) continue;
    const uint32_t start = offset(g), end = offset(g + 1);
    if (end > static_cast<uint32_t>(glyf.size()) || start > end) continue;
    for (uint16_t part : Components(glyf, start, end)) {
      if (!keep.count(part)) pending.push_back(part);
    }
  }
  std::string new_glyf, new_loca;
  for (uint32_t g = 0; g < glyph_count; ++g) {
    if (long_offsets) PutU32(new_loca, static_cast<uint32_t>(new_glyf.size()));
    else PutU16(new_loca, static_cast<uint32_t>(new_glyf.size() / 2));
    if (!keep.count(static_cast<uint16_t>(g))) continue;
    const uint32_t start = offset(g), end = offset(g + 1);
    if (end > static_cast<uint32_t>(glyf.size()) || start >= end) continue;
    new_glyf.append(glyf.constData() + start, end - start);
    while (new_glyf.size() % 4) new_glyf += '\0';
  }
  if (long_offsets) PutU32(new_loca, static_cast<uint32_t>(new_glyf.size()));
  else PutU16(new_loca, static_cast<uint32_t>(new_glyf.size() / 2));
  if (!long_offsets && new_glyf.size() / 2 > 0xFFFF) return {};

  std::string new_head(head.constData(), static_cast<size_t>(head.size()));
  for (int i = 8; i < 12; ++i) new_head[static_cast<size_t>(i)] = '\0';  // checkSumAdjustment
  struct Table {
    const char* tag;
    std::string data;
  };
  std::vector<Table> tables;
  auto copy = [&](const char* tag) {
    const QByteArray data = raw_.fontTable(tag);
    if (!data.isEmpty()) tables.push_back({tag, std::string(data.constData(), data.size())});
  };
  copy("cvt ");
  copy("fpgm");
  tables.push_back({"glyf", std::move(new_glyf)});
  tables.push_back({"head", std::move(new_head)});
  copy("hhea");
  copy("hmtx");
  tables.push_back({"loca", std::move(new_loca)});
  tables.push_back({"maxp", std::string(maxp.constData(), static_cast<size_t>(maxp.size()))});
  copy("prep");
  std::sort(tables.begin(), tables.end(),
            [](const Table& a, const Table& b) { return std::string_view(a.tag, 4) <
                                                        std::string_view(b.tag, 4); });
  const uint16_t count = static_cast<uint16_t>(tables.size());
  uint16_t power = 1, selector = 0;
  while (power * 2 <= count) {
    power *= 2;
    ++selector;
  }
  std::string out;
  PutU32(out, 0x00010000);
  PutU16(out, count);
  PutU16(out, power * 16);
  PutU16(out, selector);
  PutU16(out, count * 16 - power * 16);
  uint32_t at = 12 + 16 * uint32_t{count};
  for (const Table& table : tables) {
    out.append(table.tag, 4);
    PutU32(out, TableChecksum(table.data));
    PutU32(out, at);
    PutU32(out, static_cast<uint32_t>(table.data.size()));
    at += static_cast<uint32_t>((table.data.size() + 3) / 4 * 4);
  }
  for (const Table& table : tables) {
    out += table.data;
    while (out.size() % 4) out += '\0';
  }
  return out;
}

void PdfFont::Write(PdfFile& file, int font_id) {
  const int cid_id = file.Reserve(), descriptor_id = file.Reserve();
  const int unicode_id = file.Reserve();
  const std::string face = valid_ ? SubsetFace() : std::string();
  const int face_id = face.empty() ? 0 : file.Reserve();
  const std::string base = subset_tag_ + "+" + PostScriptName();

  file.WriteObject(font_id, "<< /Type /Font /Subtype /Type0 /BaseFont /" + base +
                                " /Encoding /Identity-H /DescendantFonts [" +
                                std::to_string(cid_id) + " 0 R] /ToUnicode " +
                                std::to_string(unicode_id) + " 0 R >>");

  std::string widths = "[";
  for (const auto& [glyph, width] : widths_) {
    widths += std::to_string(glyph);
    widths += " [";
    AppendNumber(widths, width, 3);
    widths += "] ";
  }
  widths += "]";
  file.WriteObject(cid_id, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + base +
                               " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                               "/Supplement 0 >> /FontDescriptor " +
                               std::to_string(descriptor_id) +
                               " 0 R /CIDToGIDMap /Identity /DW 1000 /W " + widths + " >>");

  const QByteArray head = raw_.fontTable("head");
  const double scale = 1000 / units_per_em_;
  auto box = [&](qsizetype at) {
    return static_cast<double>(static_cast<int16_t>(U16(head, at))) * scale;
  };
  std::string descriptor = "<< /Type /FontDescriptor /FontName /" + base + " /Flags ";
  const bool italic = raw_.style() != QFont::StyleNormal;
  descriptor += std::to_string(32 + (italic ? 64 : 0));
  descriptor += " /FontBBox [";
  for (qsizetype at : {36, 38, 40, 42}) {
    AppendNumber(descriptor, head.size() >= 54 ? box(at) : 0, 0);
    descriptor += ' ';
  }
  descriptor += "] /ItalicAngle ";
  descriptor += italic ? "-12" : "0";
  descriptor += " /Ascent ";
  AppendNumber(descriptor, ascent_, 0);
  descriptor += " /Descent ";
  AppendNumber(descriptor, -descent_, 0);
  descriptor += " /CapHeight ";
  AppendNumber(descriptor, ascent_, 0);
  descriptor += " /StemV 80";
  if (face_id) descriptor += " /FontFile2 " + std::to_string(face_id) + " 0 R";
  descriptor += " >>";
  file.WriteObject(descriptor_id, descriptor);
  if (face_id) {
    file.WriteStream(face_id, " /Length1 " + std::to_string(face.size()), face);
  }

  std::string map =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  std::vector<std::pair<uint16_t, char32_t>> mapped;
  for (const auto& [glyph, c] : used_) {
    if (glyph != 0) mapped.emplace_back(glyph, c);
  }
  for (size_t from = 0; from < mapped.size(); from += 100) {
    const size_t to = std::min(mapped.size(), from + 100);
    map += std::to_string(to - from) + " beginbfchar\n";
    for (size_t i = from; i < to; ++i) {
      map += '<';
      AppendHex4(map, mapped[i].first);
      map += "> <";
      const char32_t c = mapped[i].second;
      if (c > 0xFFFF) {
        const char32_t v = c - 0x10000;
        AppendHex4(map, 0xD800 + (v >> 10));
        AppendHex4(map, 0xDC00 + (v & 0x3FF));
      } else {
        AppendHex4(map, c);
      }
      map += ">\n";
    }
    map += "endbfchar\n";
  }
  map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  file.WriteStream(unicode_id, "", map);
}

}  // namespace lgoty::render
