// Helpers shared by the files of the prepared-pages store: item names, attribute
// conversions and the difference texts under which objects are stored.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "core/rtti.h"
#include "core/xml_document.h"

namespace lgoty::report {

class TfrxComponent;
class TfrxXMLSerializer;

namespace prepared_detail {

inline constexpr std::string_view kRootName = "preparedreport";
inline constexpr std::string_view kPreviewPages = "previewpages";
inline constexpr std::string_view kSourcePages = "sourcepages";
inline constexpr std::string_view kDictionary = "dictionary";
inline constexpr std::string_view kOutline = "outline";
inline constexpr std::string_view kAnchors = "anchors";
inline constexpr std::string_view kLogicalPageNumbers = "logicalpagenumbers";
inline constexpr std::string_view kPictureCache = "picturecache";
inline constexpr std::string_view kReport = "report";
inline constexpr std::string_view kCutted = "cutted";
// An output page built from source page N is the item "page" + N; N has at most this many
// digits.
inline const std::string kPagePrefix = "page";
inline constexpr size_t kMaxSourceDigits = 5;
// Positions closer than this to the source's count as unchanged in a first-pass item.
inline constexpr double kPositionTolerance = 0.0001;

// A float as the serializer writes it (core::FloatToStr: general format, 15 significant
// digits, the current decimal separator), with a fast path for the usual positions and
// sizes: magnitudes from kFastFloatMin up to kFastFloatMax.
inline constexpr double kFastFloatMin = 1e-4;
inline constexpr double kFastFloatMax = 1e15;
std::string FloatText(double value);

int RoundToInt(double value);
int IntAttribute(const core::TfrxXMLItem* item, std::string_view name);
// A float with '.' or ',' as the decimal separator; 0 when it does not convert.
double FloatAttribute(const core::TfrxXMLItem* item, std::string_view name);
std::string ToAnsi(std::string_view utf8);

// Views print in preview when Printable and their Visibility holds vsPreview; other
// objects always do.
bool PrintableInPreview(const TfrxComponent& object);
// A view whose picture lives in the picture cache: its bytes are not repeated in the item.
bool PictureInCache(const TfrxComponent& object);
// Appends  name="raw"  (raw already escaped) to an item's attribute text.
inline void AppendAttribute(std::string& out, std::string_view name, std::string_view raw) {
  // Made at its size at once: the page store appends some ten of these per placed object.
  const size_t at = out.size();
  out.resize(at + name.size() + raw.size() + 4);
  char* p = out.data() + at;
  *p++ = ' ';
  std::memcpy(p, name.data(), name.size());
  p += name.size();
  *p++ = '=';
  *p++ = '"';
  if (!raw.empty()) std::memcpy(p, raw.data(), raw.size());
  p[raw.size()] = '"';
}
// Position and size are stored under their short names (l, t, w, h) instead.
inline bool IsGeometry(std::string_view name) {
  return name == "Left" || name == "Top" || name == "Width" || name == "Height";
}
// Appends l, t, w, h for the position and size that differ from source (all four without
// a source).
void AppendGeometryDifferences(std::string& out, const TfrxComponent& object,
                               const TfrxComponent* source);
// Sets a name, ignoring a name the component refuses (a damaged file's).
void SetNameQuietly(TfrxComponent& object, const std::string& name);
// Class name, a blank and every published property of a source copy: the start of every
// object rebuilt from it.
std::string ReferenceText(TfrxXMLSerializer& serializer, const TfrxComponent& copy);
// The attributes of object that differ from source (from the class defaults without a
// source), with position and size as l, t, w, h. The general path: every property is
// written by the serializer, then filtered; the store writes the same text for a linked
// source with DifferenceWriter (difference_writer.h).
std::string FullDiff(TfrxXMLSerializer& serializer, const TfrxComponent& object,
                     const TfrxComponent* source);
// What the first pass of a double-pass run keeps: position, size, Visible, the font when
// it is the object's own, ParentFont and Tag.
std::string PartialDiff(TfrxXMLSerializer& serializer, const TfrxComponent& object,
                        const TfrxComponent& source);

}  // namespace prepared_detail
}  // namespace lgoty::report
