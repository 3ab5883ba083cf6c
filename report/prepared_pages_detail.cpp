#include "report/prepared_pages_detail.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <vector>

#include "core/code_page.h"
#include "core/format_settings.h"
#include "core/text_format.h"
#include "core/text_trim.h"
#include "report/bands.h"
#include "report/component.h"
#include "report/difference_writer.h"
#include "report/serializer.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report::prepared_detail {
namespace {

// Item texts start with their first attribute, as the reader gives them back.
std::string Trimmed(const std::string& text) { return std::string(core::TrimLeft(text, " ")); }

}  // namespace

bool PictureInCache(const TfrxComponent& object) {
  auto* picture = CachedCast<const TfrxPictureView>(&object);
  return picture && picture->image_index > 0;
}

std::string FloatText(double value) {
  const core::FormatSettings& fs = core::DefaultFormatSettings();
  // The general format's 15 significant digits are the shortest text that reads back as
  // the same double whenever that text has at most 15 of them: no other decimal of 15
  // digits reads back as that double. Positions and sizes (37.8, 83.15, 720) are such
  // values, in the range where the general format is not exponential; the shortest text
  // is found several times faster than the general conversion.
  if (value == 0) return "0";  // negative zero too
  const double magnitude = std::fabs(value);
  if (magnitude >= kFastFloatMin && magnitude < kFastFloatMax) {
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error == std::errc()) {
      const std::string_view shortest(text, static_cast<size_t>(end - text));
      int significant = 0;
      bool leading = true;
      int pending_zeros = 0;  // zeros after the last non-zero digit so far
      for (char c : shortest) {
        if (c < '0' || c > '9') continue;
        if (c == '0') {
          if (!leading) ++pending_zeros;
          continue;
        }
        leading = false;
        significant += pending_zeros + 1;
        pending_zeros = 0;
      }
      if (significant <= 15) {
        const size_t point = shortest.find('.');
        if (point == std::string_view::npos) return std::string(shortest);
        std::string out(shortest.substr(0, point));
        out += fs.DecimalSeparator;
        out += shortest.substr(point + 1);
        return out;
      }
    }
  }
  return core::FloatToStr(value, fs);
}

int RoundToInt(double value) {
  if (!std::isfinite(value)) return 0;
  double r = std::round(value);
  if (r > 2147483647.0) return 2147483647;
  if (r < -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(r);
}

int IntAttribute(const core::TfrxXMLItem* item, std::string_view name) {
  int64_t value = 0;
  std::string text;
  try {
    text = item->Attribute(name);
  } catch (const std::exception&) {
    return 0;
  }
  if (!core::TryStrToInt64(text, value) || value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int>(value);
}

double FloatAttribute(const core::TfrxXMLItem* item, std::string_view name) {
  std::string text;
  try {
    text = item->Attribute(name);
  } catch (const std::exception&) {
    return 0;
  }
  std::string cleaned;
  for (char c : text) {
    if (c == ' ') continue;
    cleaned += c == ',' ? '.' : c;
  }
  double value = 0;
  const char* end = cleaned.data() + cleaned.size();
  auto [ptr, ec] = std::from_chars(cleaned.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return 0;
  return value;
}

std::string ToAnsi(std::string_view utf8) { return core::FromUtf8(core::AnsiCodePage(), utf8); }

bool PrintableInPreview(const TfrxComponent& object) {
  if (auto* view = CachedCast<const TfrxView>(&object)) {
    return view->printable && (view->visibility & visibility::vsPreview) != 0;
  }
  return true;
}

void SetNameQuietly(TfrxComponent& object, const std::string& name) {
  try {
    object.SetName(name);
  } catch (const std::exception&) {
    // A name that is no identifier (a damaged file's) leaves the object unnamed.
  }
}

std::string ReferenceText(TfrxXMLSerializer& serializer, const TfrxComponent& copy) {
  return std::string(copy.ClassName()) + serializer.WriteAttributes(copy, "");
}

void AppendGeometryDifferences(std::string& out, const TfrxComponent& object,
                               const TfrxComponent* source) {
  auto geometry = [&](char name, double value, double source_value) {
    if (source && std::fabs(value - source_value) < 1e-6) return;
    AppendAttribute(out, std::string_view(&name, 1), FloatText(value));
  };
  geometry('l', object.Left(), source ? source->Left() : 0);
  geometry('t', object.Top(), source ? source->Top() : 0);
  geometry('w', object.Width(), source ? source->Width() : 0);
  geometry('h', object.Height(), source ? source->Height() : 0);
}

std::string FullDiff(TfrxXMLSerializer& serializer, const TfrxComponent& object,
                     const TfrxComponent* source) {
  std::string out;
  AppendGeometryDifferences(out, object, source);
  const std::string text = serializer.WriteAttributes(object, "", source);
  const bool cached_picture = PictureInCache(object);
  ForEachAttribute(text, [&](const XmlAttribute& attribute) {
    if (IsGeometry(attribute.name)) return;
    if (cached_picture && attribute.name == "Picture.PropData") return;
    AppendAttribute(out, attribute.name, attribute.value);
  });
  return Trimmed(std::move(out));
}

std::string PartialDiff(TfrxXMLSerializer& serializer, const TfrxComponent& object,
                        const TfrxComponent& source) {
  std::string out;
  auto differs = [](double a, double b) { return std::fabs(a - b) > kPositionTolerance; };
  // Positions through AppendFloatText (difference_writer.h): FloatText's digits without the
  // general conversion for the usual hundredths.
  auto position = [&out](char name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendFloatText(out, value);
    out += '"';
  };
  if (differs(object.Left(), source.Left())) position('l', object.Left());
  if (CachedCast<const TfrxBand>(&object) || differs(object.Top(), source.Top())) {
    position('t', object.Top());
  }
  auto* memo = CachedCast<const TfrxCustomMemoView>(&object);
  if (!(memo && memo->auto_width) && differs(object.Width(), source.Width())) {
    position('w', object.Width());
  }
  if (differs(object.Height(), source.Height())) position('h', object.Height());
  if (object.Visible() != source.Visible()) {
    AppendAttribute(out, "Visible", object.Visible() ? "True" : "False");
  }
  if (!object.ParentFont()) out += serializer.WriteAttributes(object.Font(), "Font.");
  if (object.ParentFont() != source.ParentFont()) {
    AppendAttribute(out, "ParentFont", object.ParentFont() ? "True" : "False");
  }
  if (object.tag != source.tag) AppendAttribute(out, "Tag", std::to_string(object.tag));
  return Trimmed(std::move(out));
}

}  // namespace lgoty::report::prepared_detail
