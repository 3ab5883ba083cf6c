// Variant storage, conversions between kinds and type names. Arithmetic, logic and
// comparison live in variant_ops.cpp.
#include "core/variant.h"

#include <cmath>
#include <limits>
#include <utility>

#include "core/exception.h"
#include "core/text_format.h"

namespace lgoty::core {

struct Variant::ArrayData {
  int32_t low = 0;
  std::vector<Variant> elements;
};

namespace {

constexpr double kTwoPow63 = 9223372036854775808.0;
constexpr int64_t kCurrencyScale = 10'000;

[[noreturn]] void ThrowCannotConvert(uint16_t from, uint16_t to) {
  throw EVariantError(std::string("Could not convert variant of type (") + VarTypeName(from) +
                      ") into type (" + VarTypeName(to) + ")");
}

[[noreturn]] void ThrowTextCannotConvert(uint16_t to) {
  throw EConvertError(std::string("Could not convert variant of type (String) into type (") +
                      VarTypeName(to) + ")");
}

[[noreturn]] void ThrowOverflow(uint16_t from, uint16_t to) {
  throw EVariantError(std::string("Overflow while converting variant of type (") +
                      VarTypeName(from) + ") into type (" + VarTypeName(to) + ")");
}

// Rounds half to even (the rounding of the platform's variant conversions) and checks the
// 64-bit range; false for NaN, infinities and values out of range.
bool RoundToInt64(double value, int64_t& out) {
  if (!std::isfinite(value)) return false;
  double whole = std::floor(value);
  double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  if (whole < -kTwoPow63 || whole >= kTwoPow63) return false;
  out = static_cast<int64_t>(whole);
  return true;
}

// The integer value of v (rounded), for conversions to the integer kind `target`.
int64_t ToInt64For(const Variant& v, uint16_t target, const FormatSettings& fs) {
  switch (v.kind()) {
    case Variant::Kind::Empty:
      return 0;
    case Variant::Kind::Smallint:
    case Variant::Kind::Integer:
    case Variant::Kind::Int64:
      return v.ordinal();
    case Variant::Kind::Boolean:
      return v.ordinal() != 0 ? -1 : 0;
    case Variant::Kind::Currency: {
      // Exact half-to-even rounding of the scaled value.
      int64_t scaled = v.ordinal();
      int64_t quotient = scaled / kCurrencyScale;
      int64_t remainder = scaled % kCurrencyScale;
      int64_t twice = 2 * (remainder < 0 ? -remainder : remainder);
      int64_t step = scaled < 0 ? -1 : 1;
      if (twice > kCurrencyScale || (twice == kCurrencyScale && quotient % 2 != 0)) {
        quotient += step;
      }
      return quotient;
    }
    case Variant::Kind::Double:
    case Variant::Kind::Date: {
      int64_t out = 0;
      if (!RoundToInt64(v.real(), out)) ThrowOverflow(v.Type(), target);
      return out;
    }
    case Variant::Kind::String: {
      int64_t out = 0;
      if (TryStrToInt64(v.text(), out)) return out;
      double real = 0;
      if (!TryStrToFloat(v.text(), real, fs)) ThrowTextCannotConvert(target);
      if (!RoundToInt64(real, out)) ThrowOverflow(varString, target);
      return out;
    }
    case Variant::Kind::Null:
    case Variant::Kind::Object:
    case Variant::Kind::Array:
      break;
  }
  ThrowCannotConvert(v.Type(), target);
}

// DateToStr when the short date pattern is day, month and year of two, two and four digits
// with one separator that the pattern writes as it is ("dd.mm.yyyy", "DD-MM-YYYY"): the
// digits written directly, as the pattern's runs write them. False for any other pattern
// or a year outside 0..9999, which DateToStr then writes.
bool ShortDateText(TDateTime value, const FormatSettings& fs, std::string& out) {
  const std::string& f = fs.ShortDateFormat;
  auto is = [&f](size_t from, size_t to, char letter) {
    for (size_t i = from; i < to; ++i) {
      if ((f[i] | 0x20) != letter) return false;
    }
    return true;
  };
  const char sep = f.size() == 10 ? f[2] : 0;
  const bool plain_sep = sep == '.' || sep == '-' || sep == ' ' || sep == ',';
  if (!plain_sep || f[5] != sep || !is(0, 2, 'd') || !is(3, 5, 'm') || !is(6, 10, 'y')) return false;
  int year = 0, month = 0, day = 0;
  DecodeDate(value, year, month, day);
  if (year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99) return false;
  char text[10] = {static_cast<char>('0' + day / 10),   static_cast<char>('0' + day % 10),   sep,
                   static_cast<char>('0' + month / 10), static_cast<char>('0' + month % 10), sep,
                   static_cast<char>('0' + year / 1000), static_cast<char>('0' + year / 100 % 10),
                   static_cast<char>('0' + year / 10 % 10), static_cast<char>('0' + year % 10)};
  out.assign(text, sizeof text);
  return true;
}

std::string DateText(TDateTime value, const FormatSettings& fs) {
  if (TimeOf(value) == 0) {
    std::string text;
    if (ShortDateText(value, fs, text)) return text;
    return DateToStr(value, fs);
  }
  if (DateOf(value) == 0) return TimeToStr(value, fs);
  return DateTimeToStr(value, fs);
}

}  // namespace

// ---- Construction, copying, destruction ------------------------------------------------

Variant::Variant(bool value) : kind_(Kind::Boolean), int_(value ? 1 : 0) {}
Variant::Variant(int32_t value) : kind_(Kind::Integer), int_(value) {}
Variant::Variant(int64_t value) : kind_(Kind::Int64), int_(value) {}
Variant::Variant(double value) : kind_(Kind::Double), real_(value) {}
Variant::Variant(std::string value)
    : kind_(Kind::String), string_(new std::string(std::move(value))) {}
Variant::Variant(std::string_view value)
    : kind_(Kind::String), string_(new std::string(value)) {}
Variant::Variant(const char* value)
    : kind_(Kind::String), string_(new std::string(value != nullptr ? value : "")) {}
Variant::Variant(TObject* object) : kind_(Kind::Object), object_(object) {}

Variant Variant::Null() {
  Variant v;
  v.kind_ = Kind::Null;
  return v;
}

Variant Variant::FromSmallint(int16_t value) {
  Variant v;
  v.kind_ = Kind::Smallint;
  v.int_ = value;
  return v;
}

Variant Variant::FromCurrency(int64_t scaled_by_10000) {
  Variant v;
  v.kind_ = Kind::Currency;
  v.int_ = scaled_by_10000;
  return v;
}

Variant Variant::FromCurrency(double value) {
  int64_t scaled = 0;
  if (!RoundToInt64(value * kCurrencyScale, scaled)) ThrowOverflow(varDouble, varCurrency);
  return FromCurrency(scaled);
}

Variant Variant::FromDate(TDateTime value) {
  Variant v;
  v.kind_ = Kind::Date;
  v.real_ = value;
  return v;
}

Variant Variant::Array(std::vector<Variant> elements, int32_t low_bound) {
  // The high bound low + size - 1 must be an int32 as well.
  if (static_cast<int64_t>(low_bound) + static_cast<int64_t>(elements.size()) - 1 >
      std::numeric_limits<int32_t>::max()) {
    throw EVariantError("Variant array bounds out of range");
  }
  Variant v;
  v.array_ = new ArrayData{low_bound, std::move(elements)};
  v.kind_ = Kind::Array;
  return v;
}

Variant::Variant(const Variant& other) : kind_(other.kind_) {
  switch (other.kind_) {
    case Kind::String:
      string_ = new std::string(*other.string_);
      break;
    case Kind::Array:
      array_ = new ArrayData(*other.array_);
      break;
    default:
      CopyScalarFrom(other);
      break;
  }
}

void Variant::CopyScalarFrom(const Variant& other) noexcept {
  kind_ = other.kind_;
  switch (other.kind_) {
    case Kind::Double:
    case Kind::Date:
      real_ = other.real_;
      break;
    case Kind::Object:
      object_ = other.object_;
      break;
    default:
      int_ = other.int_;
      break;
  }
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    // A text over a text reuses this one's storage (a value assigned row after row
    // allocates nothing once its buffer is large enough); neither can live inside the other.
    if (kind_ == Kind::String && other.kind_ == Kind::String) {
      string_->assign(*other.string_);
      return *this;
    }
    // A scalar over a non-owning value: nothing to release, nothing to allocate.
    if (kind_ != Kind::String && kind_ != Kind::Array && other.kind_ != Kind::String &&
        other.kind_ != Kind::Array) {
      CopyScalarFrom(other);
      return *this;
    }
    // A text over a value that owns nothing: the new text is this one's at once (a field
    // read into an empty Variant, once per field of every row).
    if (kind_ != Kind::String && kind_ != Kind::Array && other.kind_ == Kind::String) {
      std::string* text = new std::string(*other.string_);
      kind_ = Kind::String;
      string_ = text;
      return *this;
    }
    // Copy first: other may live inside this variant's own array.
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant& Variant::MoveOverOwned(Variant& other) noexcept {
  if (this != &other) {
    // Take other out before releasing: other may live inside this variant's own array.
    Variant taken(std::move(other));
    Release();
    StealFrom(taken);
  }
  return *this;
}

void Variant::AssignText(std::string_view text) {
  if (kind_ == Kind::String) {
    string_->assign(text.data(), text.size());
    return;
  }
  // Made before releasing: the text may lie inside this variant's own array.
  std::string* made = new std::string(text);
  Release();
  kind_ = Kind::String;
  string_ = made;
}

void Variant::Release() {
  if (kind_ == Kind::String) delete string_;
  if (kind_ == Kind::Array) delete array_;
  kind_ = Kind::Empty;
  int_ = 0;
}

// ---- Kind queries ------------------------------------------------------------------------

uint16_t Variant::Type() const {
  switch (kind_) {
    case Kind::Empty: return varEmpty;
    case Kind::Null: return varNull;
    case Kind::Smallint: return varSmallint;
    case Kind::Integer: return varInteger;
    case Kind::Int64: return varInt64;
    case Kind::Double: return varDouble;
    case Kind::Currency: return varCurrency;
    case Kind::Date: return varDate;
    case Kind::Boolean: return varBoolean;
    case Kind::String: return varString;
    case Kind::Object: return varDispatch;
    case Kind::Array: return varArray | varVariant;
  }
  return varEmpty;
}

bool Variant::IsOrdinal() const {
  return kind_ == Kind::Smallint || kind_ == Kind::Integer || kind_ == Kind::Int64;
}

bool Variant::IsNumeric() const {
  return IsOrdinal() || kind_ == Kind::Double || kind_ == Kind::Currency || kind_ == Kind::Date;
}

// ---- Conversions -------------------------------------------------------------------------

bool Variant::AsBoolean(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::Empty: return false;
    case Kind::Boolean:
    case Kind::Smallint:
    case Kind::Integer:
    case Kind::Int64:
    case Kind::Currency: return int_ != 0;
    case Kind::Double:
    case Kind::Date: return real_ != 0;
    case Kind::String: {
      bool out = false;
      if (!TryStrToBool(*string_, out, fs)) ThrowTextCannotConvert(varBoolean);
      return out;
    }
    default: break;
  }
  ThrowCannotConvert(Type(), varBoolean);
}

int32_t Variant::AsInteger(const FormatSettings& fs) const {
  int64_t value = ToInt64For(*this, varInteger, fs);
  if (value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    ThrowOverflow(Type(), varInteger);
  }
  return static_cast<int32_t>(value);
}

int64_t Variant::AsInt64(const FormatSettings& fs) const {
  return ToInt64For(*this, varInt64, fs);
}

double Variant::AsDouble(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::Empty: return 0;
    case Kind::Boolean: return int_ != 0 ? -1 : 0;
    case Kind::Smallint:
    case Kind::Integer:
    case Kind::Int64: return static_cast<double>(int_);
    case Kind::Currency: return static_cast<double>(int_) / kCurrencyScale;
    case Kind::Double:
    case Kind::Date: return real_;
    case Kind::String: {
      double out = 0;
      if (!TryStrToFloat(*string_, out, fs)) ThrowTextCannotConvert(varDouble);
      return out;
    }
    default: break;
  }
  ThrowCannotConvert(Type(), varDouble);
}

int64_t Variant::AsCurrency(const FormatSettings& fs) const {
  int64_t scaled = 0;
  switch (kind_) {
    case Kind::Currency: return int_;
    case Kind::Empty: return 0;
    case Kind::Boolean: return int_ != 0 ? -kCurrencyScale : 0;
    case Kind::Smallint:
    case Kind::Integer:
    case Kind::Int64:
      if (__builtin_mul_overflow(int_, kCurrencyScale, &scaled)) {
        ThrowOverflow(Type(), varCurrency);
      }
      return scaled;
    case Kind::Double:
    case Kind::Date:
      if (!RoundToInt64(real_ * kCurrencyScale, scaled)) ThrowOverflow(Type(), varCurrency);
      return scaled;
    case Kind::String:
      if (!TryStrToCurr(*string_, scaled, fs)) ThrowTextCannotConvert(varCurrency);
      return scaled;
    default: break;
  }
  ThrowCannotConvert(Type(), varCurrency);
}

TDateTime Variant::AsDate(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::Date: return real_;
    case Kind::String: {
      TDateTime out = 0;
      if (TryStrToDateTime(*string_, out, fs)) return out;
      if (TryStrToFloat(*string_, out, fs)) return out;
      ThrowTextCannotConvert(varDate);
    }
    case Kind::Null:
    case Kind::Object:
    case Kind::Array: ThrowCannotConvert(Type(), varDate);
    default: return AsDouble(fs);
  }
}

std::string Variant::AsString(const FormatSettings& fs) const {
  switch (kind_) {
    case Kind::Empty: return "";
    case Kind::String: return *string_;
    case Kind::Boolean:
      if (int_ != 0) return fs.TrueBoolStr.empty() ? "True" : fs.TrueBoolStr;
      return fs.FalseBoolStr.empty() ? "False" : fs.FalseBoolStr;
    case Kind::Smallint:
    case Kind::Integer:
    case Kind::Int64: return IntToStr(int_);
    case Kind::Double: return FloatToStr(real_, fs);
    case Kind::Currency: return CurrToStr(int_, fs);
    case Kind::Date: return DateText(real_, fs);
    default: break;
  }
  ThrowCannotConvert(Type(), varString);
}

TObject* Variant::AsObject() const {
  if (kind_ == Kind::Object) return object_;
  if (kind_ == Kind::Empty || kind_ == Kind::Null) return nullptr;
  ThrowCannotConvert(Type(), varDispatch);
}

const std::string& Variant::text() const {
  if (kind_ != Kind::String) ThrowCannotConvert(Type(), varString);
  return *string_;
}

// ---- Arrays ------------------------------------------------------------------------------

int32_t Variant::ArrayLow() const {
  if (kind_ != Kind::Array) throw EVariantError("Variant is not an array");
  return array_->low;
}

int32_t Variant::ArrayHigh() const {
  return ArrayLow() + static_cast<int32_t>(array_->elements.size()) - 1;
}

int32_t Variant::ArrayLength() const {
  ArrayLow();
  return static_cast<int32_t>(array_->elements.size());
}

const Variant& Variant::At(int32_t index) const {
  int64_t offset = static_cast<int64_t>(index) - ArrayLow();
  if (offset < 0 || offset >= static_cast<int64_t>(array_->elements.size())) {
    throw EVariantError("Variant or safe array index out of bounds");
  }
  return array_->elements[static_cast<size_t>(offset)];
}

void Variant::SetAt(int32_t index, Variant value) {
  int64_t offset = static_cast<int64_t>(index) - ArrayLow();
  if (offset < 0 || offset >= static_cast<int64_t>(array_->elements.size())) {
    throw EVariantError("Variant or safe array index out of bounds");
  }
  array_->elements[static_cast<size_t>(offset)] = std::move(value);
}

const std::vector<Variant>& Variant::Elements() const {
  ArrayLow();
  return array_->elements;
}

// ---- Free functions ----------------------------------------------------------------------

bool TryStrToVarNumber(std::string_view text, Variant& out, const FormatSettings& fs) {
  int64_t integer = 0;
  if (TryStrToInt64(text, integer)) {
    if (integer >= std::numeric_limits<int32_t>::min() &&
        integer <= std::numeric_limits<int32_t>::max()) {
      out = Variant(static_cast<int32_t>(integer));
    } else {
      out = Variant(integer);
    }
    return true;
  }
  double real = 0;
  if (TryStrToFloat(text, real, fs)) {
    out = Variant(real);
    return true;
  }
  return false;
}

std::string VarToStr(const Variant& v, const FormatSettings& fs) {
  if (v.IsEmptyOrNull()) return "";
  return v.AsString(fs);
}

Variant VarAsType(const Variant& v, uint16_t var_type, const FormatSettings& fs) {
  auto ranged = [&](int64_t low, int64_t high) {
    int64_t value = ToInt64For(v, var_type, fs);
    if (value < low || value > high) ThrowOverflow(v.Type(), var_type);
    return value;
  };
  switch (var_type) {
    case varEmpty: return Variant();
    case varNull: return Variant::Null();
    case varVariant:
    case varAny: return v;
    case varSmallint:
      return Variant::FromSmallint(static_cast<int16_t>(ranged(-32768, 32767)));
    case varShortInt: return Variant(static_cast<int32_t>(ranged(-128, 127)));
    case varByte: return Variant(static_cast<int32_t>(ranged(0, 255)));
    case varWord: return Variant(static_cast<int32_t>(ranged(0, 65535)));
    case varLongWord: return Variant(ranged(0, 4294967295LL));
    case varInteger: return Variant(v.AsInteger(fs));
    case varInt64: return Variant(v.AsInt64(fs));
    case varSingle:
    case varDouble: return Variant(v.AsDouble(fs));
    case varCurrency: return Variant::FromCurrency(v.AsCurrency(fs));
    case varDate: return Variant::FromDate(v.AsDate(fs));
    case varBoolean: return Variant(v.AsBoolean(fs));
    case varOleStr:
    case varStrArg:
    case varString: return Variant(v.AsString(fs));
    case varDispatch:
    case varUnknown: return Variant(v.AsObject());
    default: break;
  }
  if (var_type == (varArray | varVariant) && v.IsArray()) return v;
  throw EVariantError("Invalid variant type conversion");
}

const char* VarTypeName(uint16_t var_type) {
  switch (var_type) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varSmallint: return "Smallint";
    case varInteger: return "Integer";
    case varSingle: return "Single";
    case varDouble: return "Double";
    case varCurrency: return "Currency";
    case varDate: return "Date";
    case varOleStr: return "OleStr";
    case varDispatch: return "Dispatch";
    case varError: return "Error";
    case varBoolean: return "Boolean";
    case varVariant: return "Variant";
    case varUnknown: return "Unknown";
    case varShortInt: return "ShortInt";
    case varByte: return "Byte";
    case varWord: return "Word";
    case varLongWord: return "LongWord";
    case varInt64: return "Int64";
    case varStrArg: return "StrArg";
    case varString: return "String";
    case varAny: return "Any";
    case varArray | varVariant: return "Array Variant";
    case varArray | varInteger: return "Array Integer";
    case varArray | varDouble: return "Array Double";
    case varArray | varString: return "Array String";
    case varArray | varByte: return "Array Byte";
    default: break;
  }
  if ((var_type & varArray) != 0) return "Array";
  return "Unknown type";
}

}  // namespace lgoty::core
