#include "report/difference_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "core/code_page.h"
#include "core/format_settings.h"
#include "core/locale.h"
#include "core/string_list.h"
#include "core/text_format.h"
#include "core/xml_document.h"
#include "report/component.h"
#include "report/graphics.h"
#include "report/persistent.h"
#include "report/prepared_pages_detail.h"
#include "report/prop_data.h"
#include "report/serializer.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report::prepared_detail {
namespace {

using core::ObjectRole;
using core::PropInfo;
using core::TypeKind;

// The serializer's threshold for a float that differs from the ancestor's.
constexpr double kFloatTolerance = 1e-6;
constexpr std::string_view kCachedPictureData = "Picture.PropData";

std::string Escaped(std::string_view utf8) { return core::StrToXML(ToAnsi(utf8)); }

// The escaping leaves a text without these characters as it is.
constexpr bool NeedsEscaping(unsigned char c) {
  return c == 0 || c == 10 || c == 13 || c == '"' || c == '&' || c == '<' || c == '>';
}

// For every byte: bit 0 when the escaping changes it, bit 1 when it is not ASCII.
constexpr unsigned char kEscaped = 1;
constexpr unsigned char kNotAscii = 2;
struct ByteClasses {
  unsigned char of[256] = {};
  constexpr ByteClasses() {
    for (int c = 0; c < 256; ++c) {
      of[c] = static_cast<unsigned char>((NeedsEscaping(static_cast<unsigned char>(c)) ? kEscaped : 0) |
                                         (c >= 0x80 ? kNotAscii : 0));
    }
  }
};
constexpr ByteClasses kByteClasses;

// Whether a byte of text belongs to one of the classes.
bool AnyOf(std::string_view text, unsigned char classes) {
  unsigned char found = 0;
  for (char c : text) found |= kByteClasses.of[static_cast<unsigned char>(c)];
  return (found & classes) != 0;
}

bool Unescaped(std::string_view text) { return !AnyOf(text, kEscaped); }

// ASCII reads the same in the ANSI code page: such a text is written as it is.
bool Plain(std::string_view text) { return !AnyOf(text, kEscaped | kNotAscii); }

// name="value" with value in the ANSI code page, escaped.
void AppendAnsiAttribute(std::string& out, std::string_view name, std::string_view utf8) {
  if (Plain(utf8)) {
    AppendAttribute(out, name, utf8);
  } else {
    AppendAttribute(out, name, Escaped(utf8));
  }
}

// name="value" with value kept in UTF-8, escaped.
void AppendUtf8Attribute(std::string& out, std::string_view name, std::string_view utf8) {
  if (Unescaped(utf8)) {
    AppendAttribute(out, name, utf8);
  } else {
    AppendAttribute(out, name, core::StrToXML(utf8));
  }
}

// Whole-value tests of the nested classes, over every property their classes stream.
template <class T>
bool SameByOperator(const core::TObject& a, const core::TObject& b) {
  return static_cast<const T&>(a) == static_cast<const T&>(b);
}

bool SameBrushFill(const core::TObject& a, const core::TObject& b) {
  const auto& x = static_cast<const TfrxBrushFill&>(a);
  const auto& y = static_cast<const TfrxBrushFill&>(b);
  return x.back_color == y.back_color && x.fore_color == y.fore_color && x.style == y.style;
}

bool SameGradientFill(const core::TObject& a, const core::TObject& b) {
  const auto& x = static_cast<const TfrxGradientFill&>(a);
  const auto& y = static_cast<const TfrxGradientFill&>(b);
  return x.start_color == y.start_color && x.end_color == y.end_color &&
         x.gradient_style == y.gradient_style;
}

bool SameGlassFill(const core::TObject& a, const core::TObject& b) {
  const auto& x = static_cast<const TfrxGlassFill&>(a);
  const auto& y = static_cast<const TfrxGlassFill&>(b);
  return x.color == y.color && x.blend == y.blend && x.hatch == y.hatch &&
         x.orientation == y.orientation;
}

bool SameFormat(const core::TObject& a, const core::TObject& b) {
  const auto& x = static_cast<const TfrxFormat&>(a);
  const auto& y = static_cast<const TfrxFormat&>(b);
  return x.kind == y.kind && x.format_str == y.format_str &&
         x.decimal_separator == y.decimal_separator &&
         x.thousand_separator == y.thousand_separator;
}

bool SameHyperlink(const core::TObject& a, const core::TObject& b) {
  const auto& x = static_cast<const TfrxHyperlink&>(a);
  const auto& y = static_cast<const TfrxHyperlink&>(b);
  return x.kind == y.kind && x.value == y.value && x.expression == y.expression &&
         x.detail_report == y.detail_report && x.detail_page == y.detail_page &&
         x.report_variable == y.report_variable && x.tab_caption == y.tab_caption &&
         x.values_separator == y.values_separator;
}

bool SameFillGaps(const core::TObject& a, const core::TObject& b) {
  const auto& x = static_cast<const TfrxFillGaps&>(a);
  const auto& y = static_cast<const TfrxFillGaps&>(b);
  return x.top == y.top && x.left == y.left && x.bottom == y.bottom && x.right == y.right;
}

// The properties the serializer writes at all: the rest (never stored, methods, arrays,
// records, objects it does not stream) are left out of a group.
bool Streamed(const PropInfo& p) {
  if (!p.stored) return false;
  if (p.IsOrdinal()) return static_cast<bool>(p.get_ordinal);
  switch (p.kind) {
    case TypeKind::Float:
      return static_cast<bool>(p.get_float);
    case TypeKind::String:
    case TypeKind::WString:
      return static_cast<bool>(p.get_string);
    case TypeKind::Variant:
      return static_cast<bool>(p.get_variant);
    case TypeKind::Class:
      return p.get_object && (p.role == ObjectRole::Reference ||
                              p.role == ObjectRole::StringList || p.role == ObjectRole::Nested);
    default:
      return false;
  }
}

std::string StripTrailingCrLf(std::string text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
    text.resize(text.size() - 2);
  }
  return text;
}

std::string VariantText(const core::Variant& v) {
  return v.IsEmptyOrNull() ? std::string() : v.AsString(core::DefaultFormatSettings());
}

const std::string& ReferenceName(const core::TObject* value) {
  static const std::string kNone;
  auto* target = CachedCast<const TfrxComponent>(value);
  return target ? target->Name() : kNone;
}

// The start of an object of any class (where member offsets count from).
const char* StartOf(const core::TObject& object) {
  return static_cast<const char*>(dynamic_cast<const void*>(&object));
}

// The bits of a member of type T at address.
template <class T>
T Bits(const char* address) {
  T bits;
  std::memcpy(&bits, address, sizeof bits);
  return bits;
}

// An entry's stored test, when it has one.
bool IsStored(const std::function<bool(const core::TObject&)>* test, const core::TObject& object) {
  return !test || (*test)(object);
}

}  // namespace

SameValueTest SameValueTestFor(const std::type_info& type) {
  if (type == typeid(TfrxFont)) return SameByOperator<TfrxFont>;
  if (type == typeid(TfrxFrame)) return SameByOperator<TfrxFrame>;
  if (type == typeid(TfrxFrameLine)) return SameByOperator<TfrxFrameLine>;
  if (type == typeid(TfrxBrushFill)) return SameBrushFill;
  if (type == typeid(TfrxGradientFill)) return SameGradientFill;
  if (type == typeid(TfrxGlassFill)) return SameGlassFill;
  if (type == typeid(TfrxFormat)) return SameFormat;
  if (type == typeid(TfrxHyperlink)) return SameHyperlink;
  if (type == typeid(TfrxFillGaps)) return SameFillGaps;
  return nullptr;
}

namespace {

// The place of the 15th significant digit of a magnitude: 10^(k - 15) for the k with
// 10^(k - 1) <= magnitude < 10^k; 0 outside the range the short cut takes.
double FifteenthDigitUnit(double magnitude) {
  static constexpr double kPowers[] = {1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5,
                                       1e6,  1e7,  1e8,  1e9, 1e10, 1e11, 1e12, 1e13};
  for (double power : kPowers) {
    if (magnitude < power) return power * 1e-15;
  }
  return 0;
}

constexpr int kSignificant = 15;  // the general format's significant digits

// Appends, as the general format lays out a value of at most 15 significant digits, the
// digits[0, count) (the first not 0) times 10^(exponent - count): in fixed notation for
// exponents from -3 to 15, else as "d,dddE-nn" (no plus sign, no leading zeros).
void AppendGeneralDigits(std::string& out, bool negative, const char* digits, int count, int exponent) {
  while (count > 1 && digits[count - 1] == '0') --count;
  if (negative) out += '-';
  if (exponent > kSignificant || exponent < -3) {
    out += digits[0];
    if (count > 1) {
      out += core::DefaultFormatSettings().DecimalSeparator;
      out.append(digits + 1, static_cast<size_t>(count - 1));
    }
    out += 'E';
    const int power = exponent - 1;
    if (power < 0) out += '-';
    char text[8];
    const auto [end, error] = std::to_chars(text, text + sizeof text, power < 0 ? -power : power);
    (void)error;  // a double's decimal exponent has at most 3 digits
    out.append(text, end);
    return;
  }
  if (exponent <= 0) {
    out += '0';
    out += core::DefaultFormatSettings().DecimalSeparator;
    out.append(static_cast<size_t>(-exponent), '0');
    out.append(digits, static_cast<size_t>(count));
    return;
  }
  if (count <= exponent) {
    out.append(digits, static_cast<size_t>(count));
    out.append(static_cast<size_t>(exponent - count), '0');
    return;
  }
  out.append(digits, static_cast<size_t>(exponent));
  out += core::DefaultFormatSettings().DecimalSeparator;
  out.append(digits + exponent, static_cast<size_t>(count - exponent));
}

// The rounding error e of the product p = fl(a * b): a * b = p + e exactly (Dekker's
// product: the halves of 26 and 27 bits that the splitting gives multiply without
// rounding).
double ProductError(double a, double b, double p) {
#if defined(__FMA__) || defined(FP_FAST_FMA)
  // Where the compiler may fuse a multiplication and an addition it may fuse the
  // splitting's too; the fused form is exact by itself.
  return std::fma(a, b, -p);
#else
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  double t = kSplitter * a;
  const double a_high = t - (t - a);
  const double a_low = a - a_high;
  t = kSplitter * b;
  const double b_high = t - (t - b);
  const double b_low = b - b_high;
  return ((a_high * b_high - p) + a_high * b_low + a_low * b_high) + a_low * b_low;
#endif
}

// Appends FloatText(value) from the value's 15 significant digits, rounded from its exact
// binary value, for magnitudes from 10^-4 up to 10^15; false (nothing appended) outside
// them and when the value lies too near the middle of two 15-digit decimals to decide.
//
// With 10^(E-1) <= |v| < 10^E, the digits are the integer N nearest to the exact product
// T = |v| * 10^(15 - E) (a power of ten a double holds exactly). Below 2^50 the rounded
// product p = fl(T) holds every half of an integer exactly, and rounding is monotonic: T
// and p lie on the same side of each half, unless p is one. So N is the integer nearest to
// p; for a p that ends in .5 (sums of positions just off a hundredth often give one) the
// sign of the product's rounding error says on which side T lies, and a T that is a half
// itself is left undecided.
bool AppendFifteenDigits(std::string& out, double value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                       1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                       1e14, 1e15, 1e16, 1e17, 1e18};
  // The upper bounds 10^E for E = -3 .. 15; doubles of the negative powers lie above the
  // powers themselves, so the test m < bound places every double by its true magnitude
  // (and a misplaced one gives an N out of range below, left to the general path).
  static constexpr double kBounds[] = {1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,
                                       1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
                                       1e11, 1e12, 1e13, 1e14, 1e15};
  const double m = std::fabs(value);
  if (!(m >= kFastFloatMin && m < 1e15)) return false;
  int exponent = -3;
  while (!(m < kBounds[exponent + 3])) ++exponent;
  const double power = kPowers[kSignificant - exponent];
  const double p = m * power;
  if (!(p < 1e15)) return false;
  double n = 0;
  if (p - std::floor(p) == 0.5) {  // p - floor(p) is exact
    const double error = ProductError(m, power, p);
    if (error == 0) return false;
    n = error > 0 ? std::floor(p) + 1 : std::floor(p);
  } else {
    n = std::nearbyint(p);
  }
  if (n < 1e14) return false;
  char digits[24];
  if (n == 1e15) {  // rounded up to the next power of ten
    digits[0] = '1';
    AppendGeneralDigits(out, std::signbit(value), digits, 1, exponent + 1);
    return true;
  }
  const auto [end, error] =
      std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(n));
  if (error != std::errc() || end - digits != kSignificant) return false;
  AppendGeneralDigits(out, std::signbit(value), digits, kSignificant, exponent);
  return true;
}

// Appends FloatText(value) when the value's shortest text (std::to_chars, scientific) gives
// its digits; false (nothing appended) when the general conversion must decide.
//
// FloatText writes the value's 15 significant digits, correctly rounded, without trailing
// zeros (AppendGeneralDigits lays them out). When the shortest text s
// that reads back as the value v has at most 15 digits, those are the digits (the comment
// in AppendFloatText). With 16 or 17 digits, the rounding boundary b of the 15th digit
// (15 digits and a 5) decides as for v unless b lies between s and v or is s: b between
// them would be a text of at most as many digits as s, nearer to v, that reads back as v,
// and s is the shortest, nearest such text. Only s == b (16 digits ending in 5) is left
// to the general conversion, which rounds v itself.
bool AppendShortestDigits(std::string& out, double value) {
  char text[40];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific);
  if (error != std::errc()) return false;
  // "d.ddde+xx" or "de-xx": the digits without the point, then the exponent.
  char digits[24];
  int count = 0;
  const char* p = text;
  for (; p != end && *p != 'e'; ++p) {
    if (*p != '.') {
      if (count == static_cast<int>(sizeof digits)) return false;
      digits[count++] = *p;
    }
  }
  if (p == end || count == 0) return false;
  int exponent10 = 0;
  const char* exponent_start = p + 1;
  if (exponent_start != end && *exponent_start == '+') ++exponent_start;
  const auto [exponent_end, exponent_error] = std::from_chars(exponent_start, end, exponent10);
  if (exponent_error != std::errc() || exponent_end != end) return false;
  int exponent = exponent10 + 1;  // digits before the decimal point
  if (count > kSignificant) {
    if (count == kSignificant + 1 && digits[kSignificant] == '5') return false;
    const bool up = digits[kSignificant] >= '5';
    count = kSignificant;
    if (up) {
      int i = count - 1;
      while (i >= 0 && digits[i] == '9') --i;
      if (i < 0) {
        digits[0] = '1';
        count = 1;
        ++exponent;
      } else {
        ++digits[i];
        count = i + 1;
      }
    }
  }
  AppendGeneralDigits(out, std::signbit(value), digits, count, exponent);
  return true;
}

}  // namespace

namespace {

// Whether FloatText(value) is the text of a whole number n of hundredths, and which: a
// value that is n / 100 for a whole n of at most 15 digits reads back from the text of
// n / 100 (a decimal of at most 15 significant digits); no other decimal of at most 15
// digits reads back as the same double, so that text, less its trailing zeros, is the
// shortest one, which FloatText writes.
//
// A value within a fifth of the 15th digit's unit u of such an n / 100 (a sum of
// positions that picked up rounding errors, 120.95000000000002) has no text of at most
// 15 digits that reads back as it: that text would be a multiple of u (or of u / 10 just
// below a power of ten, where the value cannot be) within u / 5 + half a double's spacing
// (less than u / 8) of n / 100, which is a multiple of u too. FloatText then writes the
// value rounded to 15 significant digits, the multiple of u nearest to it: n / 100.
bool WholeHundredths(double value, int64_t& n) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= kFastFloatMin && magnitude < 1e13)) return false;
  n = static_cast<int64_t>(std::round(value * 100));
  const double hundredths = static_cast<double>(n) / 100;
  return n != 0 && (hundredths == value ||
                    std::fabs(value - hundredths) <= 0.2 * FifteenthDigitUnit(magnitude));
}

// Room for the text of any n WholeHundredths gives: a sign, 13 digits, a decimal
// separator of up to kSeparatorRoom bytes and two digits.
constexpr size_t kSeparatorRoom = 8;
constexpr size_t kHundredthsRoom = 16 + kSeparatorRoom;

// Writes the text of n hundredths at p (kHundredthsRoom bytes) and returns its end;
// nullptr (nothing written) with a longer decimal separator.
char* PutHundredths(char* p, int64_t n) {
  const std::string& separator = core::DefaultFormatSettings().DecimalSeparator;
  if (separator.size() > kSeparatorRoom) return nullptr;
  const uint64_t whole = n < 0 ? static_cast<uint64_t>(-n) : static_cast<uint64_t>(n);
  if (n < 0) *p++ = '-';
  p = std::to_chars(p, p + 14, whole / 100).ptr;  // at most 13 digits
  const auto cents = static_cast<unsigned>(whole % 100);
  if (cents != 0) {
    if (!separator.empty()) std::memcpy(p, separator.data(), separator.size());
    p += separator.size();
    *p++ = static_cast<char>('0' + cents / 10);
    if (cents % 10 != 0) *p++ = static_cast<char>('0' + cents % 10);
  }
  return p;
}

}  // namespace

void AppendFloatText(std::string& out, double value) {
  int64_t n = 0;
  if (WholeHundredths(value, n)) {
    char text[kHundredthsRoom];
    if (const char* end = PutHundredths(text, n)) {
      out.append(text, static_cast<size_t>(end - text));
    } else {
      out += FloatText(value);
    }
    return;
  }
  // Subnormal values hold fewer than 15 significant digits: their shortest text is not
  // their 15-digit one.
  if (std::isnormal(value) &&
      (AppendFifteenDigits(out, value) || AppendShortestDigits(out, value))) {
    return;
  }
  out += FloatText(value);
}

DifferenceWriter::DifferenceWriter(const TfrxComponent& source)
    : source_(source),
      root_(Walk(source, "")),
      picture_(source.ClassType() &&
               source.ClassType()->InheritsFrom(TfrxPictureView::StaticClass())) {}

DifferenceWriter::~DifferenceWriter() = default;

std::unique_ptr<DifferenceWriter::Group> DifferenceWriter::Walk(const core::TObject& source,
                                                                const std::string& prefix) {
  auto group = std::make_unique<Group>();
  group->source = &source;
  group->cls = source.ClassType();
  group->type = &typeid(source);
  group->prefix = prefix;
  group->same = SameValueTestFor(typeid(source));
  if (!group->cls) return group;
  for (const PropInfo* p : group->cls->Properties()) {
    if (!Streamed(*p)) continue;
    Entry entry;
    entry.prop = p;
    entry.kind = p->kind;
    entry.ordinal_kind = p->IsOrdinal();
    if (p->stored_test) entry.stored_test = &p->stored_test;
    entry.name = prefix + p->name;
    if (p->field_type != core::FieldType::None && p->field_address) {
      entry.field = p->field_type;
      entry.offset = static_cast<const char*>(p->field_address(source)) - StartOf(source);
    }
    if (entry.ordinal_kind) {
      entry.get_ordinal = p->get_ordinal;
      entry.ordinal = p->get_ordinal(source);
    } else if (p->kind == TypeKind::Float) {
      entry.get_float = p->get_float;
      entry.number = p->get_float(source);
    } else if (p->kind == TypeKind::String || p->kind == TypeKind::WString) {
      entry.text = p->get_string(source);
    } else if (p->kind == TypeKind::Class && p->role == ObjectRole::StringList) {
      entry.name += ".Text";
      if (auto* list = dynamic_cast<const core::TStringList*>(p->get_object(source))) {
        entry.has_list = true;
        entry.text = list->Text();
      }
    } else if (p->kind == TypeKind::Class && p->role == ObjectRole::Nested) {
      if (const core::TObject* value = p->get_object(source)) {
        entry.group = Walk(*value, entry.name + ".");
      }
    }
    // Attributes the store keeps under other names are dropped from the difference.
    if (IsGeometry(entry.name)) continue;
    group->entries.push_back(std::move(entry));
  }
  IndexMembers(*group);
  if (auto* persistent = dynamic_cast<const TfrxPersistent*>(&source)) {
    group->persistent = true;
    group->text_name = prefix + "Text";
    group->defined_name = prefix + "PropData";
    std::string text;
    if (persistent->TextAttribute(text)) group->text = std::move(text);
    group->writes_defined = !persistent->WritesNestedElements();
    if (group->writes_defined) {
      PropValue::Properties defined;
      persistent->WriteDefinedProperties(defined);
      if (!defined.empty()) group->defined = EncodePropData(defined);
    }
  }
  return group;
}

void DifferenceWriter::Append(TfrxXMLSerializer& serializer, const TfrxComponent& object,
                              std::string& out) const {
  if (serializer.serialize_default_values || typeid(object) != *root_->type ||
      object.ClassType() != root_->cls || !root_->cls) {
    out += FullDiff(serializer, object, &source_);
    return;
  }
  // Written into a buffer that keeps its room, then copied once: the item's text is made
  // at its size instead of growing attribute by attribute.
  std::string& text = attributes_;
  text.clear();
  auto geometry = [&](char name, double value, double source_value) {
    if (std::fabs(value - source_value) < 1e-6) return;
    int64_t n = 0;
    char attribute[kHundredthsRoom + 5] = {' ', name, '=', '"'};
    if (WholeHundredths(value, n)) {  // the usual case, appended in one piece
      if (char* end = PutHundredths(attribute + 4, n)) {
        *end++ = '"';
        text.append(attribute, static_cast<size_t>(end - attribute));
        return;
      }
    }
    text += ' ';
    text += name;
    text += "=\"";
    AppendFloatText(text, value);
    text += '"';
  };
  geometry('l', object.Left(), source_.Left());
  geometry('t', object.Top(), source_.Top());
  geometry('w', object.Width(), source_.Width());
  geometry('h', object.Height(), source_.Height());
  AppendGroup(serializer, *root_, object, picture_ && PictureInCache(object), text);
  size_t blanks = 0;
  while (blanks < text.size() && text[blanks] == ' ') ++blanks;
  if (out.empty() && text.size() - blanks > out.capacity()) {
    // A new item's text: made at its size in one allocation (appending to the empty string
    // takes the general path of growing it).
    out = std::string(text, blanks);
  } else {
    out.append(text, blanks, std::string::npos);
  }
}

namespace {

size_t FieldWidth(core::FieldType type) {
  switch (type) {
    case core::FieldType::Bool:
    case core::FieldType::Int8:
    case core::FieldType::UInt8:
      return 1;
    case core::FieldType::Int16:
    case core::FieldType::UInt16:
      return 2;
    case core::FieldType::Int32:
    case core::FieldType::UInt32:
      return 4;
    default:  // Int64, Double
      return 8;
  }
}

// The bytes of a word of width bytes at address, in a 64-bit value (the rest zero).
std::uint64_t WordBits(const char* address, std::uint8_t width) {
  switch (width) {
    case 8:
      return Bits<std::uint64_t>(address);
    case 4:
      return Bits<std::uint32_t>(address);
    case 2:
      return Bits<std::uint16_t>(address);
    default:
      return Bits<std::uint8_t>(address);
  }
}

}  // namespace

namespace {

// Offsets of members are kept in 32 bits, with room for the widest word after them.
bool OffsetFits(std::ptrdiff_t offset) {
  return offset >= 0 && offset <= std::numeric_limits<std::int32_t>::max() - 8;
}

}  // namespace

bool DifferenceWriter::Flattens(const Group& nested) {
  // Its class's whole-value test is what says that a value of it writes nothing but its
  // properties (no text, no binary-defined data): the groups NestedSettled settles by it.
  return nested.same && nested.cls && nested.others.empty() && !nested.text &&
         nested.defined.empty();
}

std::uint32_t DifferenceWriter::MembersExtent(const Group& nested) {
  std::uint32_t extent = 0;
  for (const Entry& entry : nested.entries) {
    const auto offset = static_cast<std::uint32_t>(entry.offset);
    const std::uint32_t end =
        entry.field == core::FieldType::Object
            ? offset + MembersExtent(*entry.group)
            : offset + static_cast<std::uint32_t>(entry.field == core::FieldType::String
                                                      ? sizeof(std::string)
                                                      : FieldWidth(entry.field));
    extent = std::max(extent, end);
  }
  return extent;
}

void DifferenceWriter::AddMembers(const Group& nested, std::uint32_t base,
                                  std::vector<std::uint32_t>& bytes, Group& into) {
  for (const Entry& entry : nested.entries) {
    // Every entry of a group that flattens is held in a member (its others are empty).
    const std::uint32_t offset = base + static_cast<std::uint32_t>(entry.offset);
    if (entry.field == core::FieldType::Object) {
      AddMembers(*entry.group, offset, bytes, into);
    } else if (entry.field == core::FieldType::String) {
      if (entry.text.empty()) {
        into.same_empty.push_back(offset);
      } else {
        into.same_text.emplace_back(offset, &entry.text);
      }
    } else {
      for (size_t i = 0; i < FieldWidth(entry.field); ++i) {
        bytes.push_back(offset + static_cast<std::uint32_t>(i));
      }
    }
  }
}

void DifferenceWriter::IndexMembers(Group& group) {
  const char* start = StartOf(*group.source);
  std::vector<std::uint32_t> bytes;  // offsets of the bytes of the compared members
  for (Entry& entry : group.entries) {
    // A nested value held in a member whose own properties are all held in members is
    // compared through them, where they lie in the holder: when they all hold the
    // source's bits, the value's group writes nothing, whether it is stored or not.
    const bool held =
        entry.field != core::FieldType::None && OffsetFits(entry.offset) &&
        (entry.field != core::FieldType::Object ||
         (entry.group && Flattens(*entry.group) &&
          OffsetFits(entry.offset + static_cast<std::ptrdiff_t>(MembersExtent(*entry.group)))));
    if (!held) {
      group.others.push_back(&entry);
      const PropInfo& p = *entry.prop;
      if (entry.ordinal_kind) {
        entry.quick = Entry::Quick::Ordinal;
      } else if (p.kind == TypeKind::String || p.kind == TypeKind::WString) {
        entry.quick = Entry::Quick::String;
      } else if (p.kind == TypeKind::Class && p.role == ObjectRole::Nested) {
        entry.quick = Entry::Quick::Nested;
      } else if (p.kind == TypeKind::Class && p.role == ObjectRole::Reference) {
        entry.quick = Entry::Quick::Reference;
      }
      continue;
    }
    const auto offset = static_cast<std::uint32_t>(entry.offset);
    if (entry.field == core::FieldType::Object) {
      AddMembers(*entry.group, offset, bytes, group);
      continue;
    }
    if (entry.field == core::FieldType::String) {
      if (entry.text.empty()) {
        group.same_empty.push_back(offset);
      } else {
        group.same_text.emplace_back(offset, &entry.text);
      }
      continue;
    }
    for (size_t i = 0; i < FieldWidth(entry.field); ++i) {
      bytes.push_back(offset + static_cast<std::uint32_t>(i));
    }
  }
  std::sort(bytes.begin(), bytes.end());
  bytes.erase(std::unique(bytes.begin(), bytes.end()), bytes.end());
  for (size_t i = 0; i < bytes.size();) {
    Group::Word word;
    word.offset = bytes[i];
    const std::uint32_t room = bytes.back() - word.offset + 1;  // up to the last member byte
    word.width = room >= 8 ? 8 : room >= 4 ? 4 : room >= 2 ? 2 : 1;
    for (; i < bytes.size() && bytes[i] < word.offset + word.width; ++i) {
      word.mask |= std::uint64_t{0xFF} << (8 * (bytes[i] - word.offset));
    }
    word.bits = WordBits(start + word.offset, word.width) & word.mask;
    (word.width == 8 ? group.same_words : group.same_narrow).push_back(word);
  }
}

namespace {

// memcmp(a, b, n) == 0 for the short texts members hold (font names, delimiters) without
// the call: 8 to 16 bytes as two words that may overlap, fewer in smaller pieces.
inline bool SameBytes(const char* a, const char* b, size_t n) {
  if (n >= 8) {
    if (n > 16) return std::memcmp(a, b, n) == 0;
    return ((Bits<std::uint64_t>(a) ^ Bits<std::uint64_t>(b)) |
            (Bits<std::uint64_t>(a + n - 8) ^ Bits<std::uint64_t>(b + n - 8))) == 0;
  }
  if (n >= 4) {
    return ((Bits<std::uint32_t>(a) ^ Bits<std::uint32_t>(b)) |
            (Bits<std::uint32_t>(a + n - 4) ^ Bits<std::uint32_t>(b + n - 4))) == 0;
  }
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

bool DifferenceWriter::MembersSame(const Group& group, const char* start) {
  // Differences are gathered without a branch per member: members mostly hold the
  // source's bits.
  // A memo has some thirty words and twenty empty strings: four are taken a turn, into
  // separate sums, so that the loop's own work and the dependency chain are a quarter.
  auto word_differs = [start](const Group::Word& word) {
    return (Bits<std::uint64_t>(start + word.offset) & word.mask) ^ word.bits;
  };
  auto size_of = [start](std::uint32_t offset) {
    return reinterpret_cast<const std::string*>(start + offset)->size();
  };
  std::uint64_t differ = 0, differ1 = 0, differ2 = 0, differ3 = 0;
  const Group::Word* word = group.same_words.data();
  const Group::Word* const words_end = word + group.same_words.size();
  for (; words_end - word >= 4; word += 4) {
    differ |= word_differs(word[0]);
    differ1 |= word_differs(word[1]);
    differ2 |= word_differs(word[2]);
    differ3 |= word_differs(word[3]);
  }
  for (; word != words_end; ++word) differ |= word_differs(*word);
  for (const Group::Word& narrow : group.same_narrow) {
    differ |= (WordBits(start + narrow.offset, narrow.width) & narrow.mask) ^ narrow.bits;
  }
  const std::uint32_t* empty = group.same_empty.data();
  const std::uint32_t* const empty_end = empty + group.same_empty.size();
  for (; empty_end - empty >= 4; empty += 4) {
    differ |= size_of(empty[0]);
    differ1 |= size_of(empty[1]);
    differ2 |= size_of(empty[2]);
    differ3 |= size_of(empty[3]);
  }
  for (; empty != empty_end; ++empty) differ |= size_of(*empty);
  if ((differ | differ1 | differ2 | differ3) != 0) return false;
  for (const auto& [offset, text] : group.same_text) {
    const auto& value = *reinterpret_cast<const std::string*>(start + offset);
    if (value.size() != text->size() || !SameBytes(value.data(), text->data(), value.size())) {
      return false;
    }
  }
  return true;
}

bool DifferenceWriter::NestedSettled(const Entry& entry, const core::TObject& object) {
  // AppendEntry asks a nested value's stored test first, and writes nothing for an absent
  // value or one its class's whole-value test finds the same.
  if (!IsStored(entry.stored_test, object)) return true;
  const core::TObject* value = entry.prop->get_object(object);
  if (!value) return true;
  const Group* nested = entry.group.get();
  // A group has a whole-value test only for the classes SameValueTestFor names, whose
  // ClassType is their own class's: a value of the group's exact type has the group's class.
  return nested && nested->same && nested->cls && typeid(*value) == *nested->type &&
         nested->same(*value, *nested->source);
}

// Inline in AppendGroup's walk: most entries are settled by one getter's call.
inline bool DifferenceWriter::Settled(const Group& group, const Entry& entry,
                                      const core::TObject& object) {
  switch (entry.quick) {
    case Entry::Quick::Ordinal:
      return entry.get_ordinal(object) == entry.ordinal;
    case Entry::Quick::String:
      return entry.prop->get_string(object) == entry.text;
    case Entry::Quick::Nested:
      return NestedSettled(entry, object);
    case Entry::Quick::Reference: {
      // The same target has the same name, whatever it is now.
      if (!IsStored(entry.stored_test, object)) return true;
      const PropInfo& p = *entry.prop;
      return p.get_object(object) == p.get_object(*group.source);
    }
    default:
      return false;
  }
}

void DifferenceWriter::AppendEntry(TfrxXMLSerializer& serializer, const Group& group,
                                   const Entry& entry, const core::TObject& object,
                                   const char* start, bool cached_picture,
                                   std::string& out) const {
  if (entry.ordinal_kind) {
    const int64_t v = entry.field != core::FieldType::None
                          ? core::ReadOrdinalField(entry.field, start + entry.offset)
                          : entry.get_ordinal(object);
    if (v == entry.ordinal || !IsStored(entry.stored_test, object)) return;
    const PropInfo* p = entry.prop;
    if (p->kind == TypeKind::Enumeration && p->enum_info && v >= 0 &&
        v < static_cast<int64_t>(p->enum_info->names.size()) &&
        !p->enum_info->names[static_cast<size_t>(v)].empty()) {
      AppendAttribute(out, entry.name, p->enum_info->names[static_cast<size_t>(v)]);
    } else {
      AppendAttribute(out, entry.name, std::to_string(v));
    }
    return;
  }
  const PropInfo* p = entry.prop;
  switch (entry.kind) {
    case TypeKind::Float: {
      const double v = entry.field == core::FieldType::Double
                           ? *reinterpret_cast<const double*>(start + entry.offset)
                           : entry.get_float(object);
      if (std::fabs(v - entry.number) < kFloatTolerance) break;
      if (!IsStored(entry.stored_test, object)) break;
      AppendAttribute(out, entry.name, core::FloatToStr(v, core::DefaultFormatSettings()));
      break;
    }
    case TypeKind::String:
    case TypeKind::WString: {
      if (entry.field == core::FieldType::String) {
        const auto& v = *reinterpret_cast<const std::string*>(start + entry.offset);
        if (v == entry.text || !IsStored(entry.stored_test, object)) break;
        AppendAnsiAttribute(out, entry.name, v);
        break;
      }
      const std::string v = p->get_string(object);
      if (v == entry.text || !IsStored(entry.stored_test, object)) break;
      AppendAnsiAttribute(out, entry.name, v);
      break;
    }
    case TypeKind::Variant: {
      if (!IsStored(entry.stored_test, object)) break;
      // Variant texts follow the current format settings: both sides are taken now.
      const std::string text = VariantText(p->get_variant(object));
      if (text == VariantText(p->get_variant(*group.source))) break;
      AppendAttribute(out, entry.name, Escaped(text));
      break;
    }
    case TypeKind::Class: {
      if (!IsStored(entry.stored_test, object)) break;
      const core::TObject* value = p->get_object(object);
      if (p->role == ObjectRole::Reference) {
        // A target's name may change; both sides are taken now.
        const std::string& name = ReferenceName(value);
        const std::string& source_name = ReferenceName(p->get_object(*group.source));
        if (name.empty()) {
          if (!source_name.empty()) AppendAttribute(out, entry.name, "nil");
        } else if (!core::SameText(name, source_name)) {
          AppendAnsiAttribute(out, entry.name, name);
        }
      } else if (p->role == ObjectRole::StringList) {
        auto* list = dynamic_cast<const core::TStringList*>(value);
        if (!list) break;
        std::string text = list->Text();
        if (entry.has_list && text == entry.text) break;
        AppendAttribute(out, entry.name, Escaped(StripTrailingCrLf(std::move(text))));
      } else if (value) {
        const Group* nested = entry.group.get();
        if (nested && nested->cls && value->ClassType() == nested->cls &&
            typeid(*value) == *nested->type) {
          if (nested->same && nested->same(*value, *nested->source)) break;
          AppendGroup(serializer, *nested, *value, cached_picture, out);
        } else {
          out += serializer.WriteAttributes(*value, group.prefix + p->name + ".",
                                            p->get_object(*group.source));
        }
      }
      break;
    }
    default:
      break;
  }
}

void DifferenceWriter::AppendGroup(TfrxXMLSerializer& serializer, const Group& group,
                                   const core::TObject& object, bool cached_picture,
                                   std::string& out) const {
  // A value equal to the source's is never written, stored or not: plain values are
  // compared first and their stored test is asked only when they differ.
  const char* start = StartOf(object);
  if (MembersSame(group, start)) {
    for (const Entry* entry : group.others) {
      if (Settled(group, *entry, object)) continue;
      AppendEntry(serializer, group, *entry, object, start, cached_picture, out);
    }
  } else {
    for (const Entry& entry : group.entries) {
      AppendEntry(serializer, group, entry, object, start, cached_picture, out);
    }
  }
  if (!group.persistent) return;
  // Of the group's source's dynamic type (checked before the group was entered), so a
  // persistent object too.
  const auto& persistent = static_cast<const TfrxPersistent&>(object);
  std::string& text = text_;
  text.clear();
  if (persistent.TextAttribute(text) && !(group.text && *group.text == text)) {
    AppendUtf8Attribute(out, group.text_name, text);
  }
  if (!group.writes_defined) return;
  if (cached_picture && group.defined_name == kCachedPictureData) return;
  PropValue::Properties& defined = defined_;
  defined.clear();
  persistent.WriteDefinedProperties(defined);
  if (defined.empty()) return;
  const std::string bytes = EncodePropData(defined);
  if (bytes.empty() || bytes == group.defined) return;
  AppendAttribute(out, group.defined_name, BytesToHex(bytes));
}

}  // namespace lgoty::report::prepared_detail
