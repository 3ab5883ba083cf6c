// Variant: the dynamically typed value that fields, report variables, expressions and
// scripts exchange. The kinds and their codes are those of OLE Automation variants, so that
// scripts see the usual varXXX numbers.
//
// Conventions (OLE Automation variant rules as the rest of the system expects them):
//   Kinds: Empty, Null, Smallint (16-bit), Integer (32-bit), Int64, Double, Currency (64-bit
//   integer scaled by 10 000), Date (TDateTime), Boolean, String (UTF-8), Object (non-owning
//   TObject*), Array (of variants, with a low bound).
//
//   Conversion to number: Empty is 0, Null raises EVariantError ("Could not convert variant
//   of type (Null) into type (Double)"), Boolean true is -1 and false 0, Date is its day
//   count, String is parsed with the settings' decimal separator (integer text stays
//   integer) or raises EConvertError. Object and Array raise EVariantError.
//   Conversion to text: Empty is "", Null raises EVariantError (VarToStr gives ""), Boolean
//   is "True"/"False", numbers use FloatToStr (general format), Date uses DateTimeToStr
//   (date only when the time is 0, time only when the date is 0).
//   Conversion to Boolean: numbers are true when non-zero, text "True"/"False" (any case) or
//   a number.
//
//   Arithmetic (+ - * div mod, unary -):
//     - Null in either operand gives Null (Empty counts as 0 or "").
//     - String + String concatenates. String op number converts the string to a number (a
//       conversion error is raised when it is not one) and the result is numeric.
//     - Integer op integer stays integer: Smallint/Integer widen to Integer, to Int64 when
//       either is Int64 or the result overflows 32 bits. Any Double makes the result Double;
//       Currency with integer or Currency is Currency (multiplication too), with Double is
//       Double. Date + number is Date, Date - Date is Double. Boolean counts as an integer
//       (-1/0).
//     - "/" always divides as Double (VarDiv); division by zero raises EMathError
//       ("Division by zero" for integers, "Floating point division by zero" for "/").
//     - div and mod are integer division and remainder on values rounded to integers
//       (banker's rounding, as the platform's variant rules do).
//     - and, or, xor, not: logical when both are Boolean, bitwise on integers otherwise.
//   Comparison (VarCompare): Null compared with anything is "not equal" except Null = Null
//     only for equality tests (VarSameValue); String with String compares as text
//     (case-sensitive, locale collation); numbers numerically; String with number converts
//     the string to a number; Boolean with Boolean as -1/0; Empty equals "" and 0.
//
// Decisions taken where the rules above leave room:
//   - Text that is not a number makes a comparison with a number compare the two texts
//     (the number in its FloatToStr form); against a Date the text is also tried as a date,
//     against a Boolean as "True"/"False".
//   - Texts that the collation finds equal but whose bytes differ are ordered by their
//     bytes, so only identical texts compare Equal.
//   - Int64 or Currency results that overflow 64 bits become Double; "/" and Double
//     arithmetic that overflows to infinity raises EMathError "Floating point overflow".
//     Int64 div -1 of the smallest Int64 raises EMathError "Integer overflow".
//   - A conversion to an integer kind out of its range raises EVariantError
//     "Overflow while converting variant of type (Double) into type (Integer)".
//   - and/or/xor are logical when one side is Boolean and the other Boolean, Empty or text
//     ("True"/"False"); not on text is bitwise for integer text, logical for "True"/"False".
//   - Objects compare Equal only to the same object (a null object also equals Empty and 0);
//     arrays compare Equal when bounds and all elements are the same value.
//   - Empty op Empty in arithmetic gives Integer 0; unary minus keeps Date a Date.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/date_time.h"
#include "core/format_settings.h"
#include "core/object.h"

namespace lgoty::core {

// OLE Automation type codes.
enum VarType : uint16_t {
  varEmpty = 0x0000,
  varNull = 0x0001,
  varSmallint = 0x0002,
  varInteger = 0x0003,
  varSingle = 0x0004,
  varDouble = 0x0005,
  varCurrency = 0x0006,
  varDate = 0x0007,
  varOleStr = 0x0008,
  varDispatch = 0x0009,
  varError = 0x000A,
  varBoolean = 0x000B,
  varVariant = 0x000C,
  varUnknown = 0x000D,
  varShortInt = 0x0010,
  varByte = 0x0011,
  varWord = 0x0012,
  varLongWord = 0x0013,
  varInt64 = 0x0014,
  varStrArg = 0x0048,
  varString = 0x0100,
  varAny = 0x0101,
  varTypeMask = 0x0FFF,
  varArray = 0x2000,
  varByRef = 0x4000,
};

class Variant {
 public:
  // The kinds a Variant actually holds (a subset of VarType).
  enum class Kind : uint8_t {
    Empty, Null, Smallint, Integer, Int64, Double, Currency, Date, Boolean, String, Object,
    Array
  };

  Variant() = default;
  Variant(bool value);
  Variant(int32_t value);
  Variant(int64_t value);
  Variant(double value);
  Variant(std::string value);
  Variant(std::string_view value);
  Variant(const char* value);
  Variant(TObject* object);

  static Variant Null();
  static Variant FromSmallint(int16_t value);
  static Variant FromCurrency(int64_t scaled_by_10000);
  static Variant FromCurrency(double value);
  static Variant FromDate(TDateTime value);
  // Elements low_bound .. low_bound + size - 1.
  static Variant Array(std::vector<Variant> elements, int32_t low_bound = 0);

  Variant(const Variant&);
  // Moves, destruction and swaps of values that own nothing (all but texts and arrays)
  // are a copy of the kind and the 8 bytes: inline, without a call.
  Variant(Variant&& other) noexcept { StealFrom(other); }
  Variant& operator=(const Variant&);
  Variant& operator=(Variant&& other) noexcept {
    if (Owns()) return MoveOverOwned(other);
    if (this != &other) StealFrom(other);
    return *this;
  }
  ~Variant() {
    if (Owns()) Release();
  }
  void Swap(Variant& other) noexcept {
    std::swap(kind_, other.kind_);
    std::swap(bits_, other.bits_);
  }
  // Makes the value the text; a text held already keeps its storage (nothing is allocated
  // when it has room), which a value read into the same Variant row after row relies on.
  void AssignText(std::string_view text);

  Kind kind() const { return kind_; }
  // The OLE type code (varString for text, varDispatch for objects, varArray|varVariant for
  // arrays).
  uint16_t Type() const;
  bool IsEmpty() const { return kind_ == Kind::Empty; }
  bool IsNull() const { return kind_ == Kind::Null; }
  bool IsEmptyOrNull() const { return kind_ == Kind::Empty || kind_ == Kind::Null; }
  bool IsString() const { return kind_ == Kind::String; }
  bool IsArray() const { return kind_ == Kind::Array; }
  bool IsObject() const { return kind_ == Kind::Object; }
  // Smallint, Integer, Int64.
  bool IsOrdinal() const;
  // Ordinal, Double, Currency, Date (not Boolean).
  bool IsNumeric() const;

  // Conversions; rules in the header comment. They throw EVariantError or EConvertError.
  bool AsBoolean(const FormatSettings& fs = DefaultFormatSettings()) const;
  int32_t AsInteger(const FormatSettings& fs = DefaultFormatSettings()) const;
  int64_t AsInt64(const FormatSettings& fs = DefaultFormatSettings()) const;
  double AsDouble(const FormatSettings& fs = DefaultFormatSettings()) const;
  int64_t AsCurrency(const FormatSettings& fs = DefaultFormatSettings()) const;
  TDateTime AsDate(const FormatSettings& fs = DefaultFormatSettings()) const;
  std::string AsString(const FormatSettings& fs = DefaultFormatSettings()) const;
  TObject* AsObject() const;

  // Direct access without conversion; REQUIRES the matching kind.
  int64_t ordinal() const { return int_; }
  double real() const { return real_; }
  const std::string& text() const;

  // Arrays. ArrayLength/Low/High throw EVariantError when not an array; At/SetAt also on an
  // index out of bounds ("Variant or safe array index out of bounds").
  int32_t ArrayLow() const;
  int32_t ArrayHigh() const;
  int32_t ArrayLength() const;
  const Variant& At(int32_t index) const;
  void SetAt(int32_t index, Variant value);
  const std::vector<Variant>& Elements() const;

 private:
  struct ArrayData;
  bool Owns() const { return kind_ == Kind::String || kind_ == Kind::Array; }
  void Release();
  Variant& MoveOverOwned(Variant& other) noexcept;
  // Takes other's value (this must own nothing); other is left Empty.
  void StealFrom(Variant& other) noexcept {
    kind_ = other.kind_;
    bits_ = other.bits_;
    other.kind_ = Kind::Empty;
    other.bits_ = 0;
  }
  // Takes other's kind and its value held in place (every kind but String and Array).
  void CopyScalarFrom(const Variant& other) noexcept;

  Kind kind_ = Kind::Empty;
  union {
    int64_t int_ = 0;   // Smallint, Integer, Int64, Currency (scaled), Boolean (0/1)
    double real_;       // Double, Date
    TObject* object_;
    std::string* string_;     // owned
    ArrayData* array_;        // owned
    uint64_t bits_;     // whichever of the above: what moves and swaps copy
  };
};

enum class VarCompareResult { Less, Equal, Greater, NotEqual };

// Arithmetic and logic by the rules in the header comment.
Variant VarAdd(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarSub(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarMul(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarDiv(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarIntDiv(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarMod(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarAnd(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarOr(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarXor(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarShl(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarShr(const Variant& a, const Variant& b, const FormatSettings& fs = DefaultFormatSettings());
Variant VarNot(const Variant& a, const FormatSettings& fs = DefaultFormatSettings());
Variant VarNeg(const Variant& a, const FormatSettings& fs = DefaultFormatSettings());

VarCompareResult VarCompare(const Variant& a, const Variant& b,
                            const FormatSettings& fs = DefaultFormatSettings());
// Equality as scripts test it: Null = Null is true, Null = anything else false.
bool VarSameValue(const Variant& a, const Variant& b,
                  const FormatSettings& fs = DefaultFormatSettings());

// The number a text stands for: integer text gives Integer (Int64 when it needs 64 bits),
// other numeric text (settings' decimal separator) Double. False when it is no number.
bool TryStrToVarNumber(std::string_view text, Variant& out,
                       const FormatSettings& fs = DefaultFormatSettings());

// Text of a variant where Null and Empty are "".
std::string VarToStr(const Variant& v, const FormatSettings& fs = DefaultFormatSettings());
// Conversion to the kind of an OLE type code (varInteger, varDouble, varString, ...).
Variant VarAsType(const Variant& v, uint16_t var_type,
                  const FormatSettings& fs = DefaultFormatSettings());
// "Null", "Integer", "String" ... as in conversion error texts.
const char* VarTypeName(uint16_t var_type);

}  // namespace lgoty::core
