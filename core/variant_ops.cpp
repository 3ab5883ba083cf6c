// Variant arithmetic, logic and comparison. Every binary operation first brings its
// operands to a Number (one of five numeric classes); the class pair decides the result
// kind, so the widening rules stay in one place (Arith) instead of in every operator.
#include <cmath>
#include <limits>

#include "core/exception.h"
#include "core/locale.h"
#include "core/text_format.h"
#include "core/variant.h"

namespace lgoty::core {
namespace {

constexpr int64_t kCurrencyScale = 10'000;
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// Numeric classes in rising order of "generality" for the plain widening rules.
enum class NumClass { Int32, Int64, Currency, Double, Date };

struct Number {
  NumClass cls = NumClass::Int32;
  int64_t i = 0;   // Int32, Int64, Currency (scaled by 10 000)
  double d = 0;    // Double, Date
};

Number MakeInt(int64_t value, bool force64 = false) {
  Number n;
  n.cls = (force64 || value < kInt32Min || value > kInt32Max) ? NumClass::Int64 : NumClass::Int32;
  n.i = value;
  return n;
}

Number MakeReal(double value, NumClass cls = NumClass::Double) {
  Number n;
  n.cls = cls;
  n.d = value;
  return n;
}

Number MakeCurrency(int64_t scaled) {
  Number n;
  n.cls = NumClass::Currency;
  n.i = scaled;
  return n;
}

bool IsInteger(const Number& n) { return n.cls == NumClass::Int32 || n.cls == NumClass::Int64; }

double ToReal(const Number& n) {
  switch (n.cls) {
    case NumClass::Int32:
    case NumClass::Int64: return static_cast<double>(n.i);
    case NumClass::Currency: return static_cast<double>(n.i) / kCurrencyScale;
    case NumClass::Double:
    case NumClass::Date: break;
  }
  return n.d;
}

Variant ToVariant(const Number& n) {
  switch (n.cls) {
    case NumClass::Int32: return Variant(static_cast<int32_t>(n.i));
    case NumClass::Int64: return Variant(n.i);
    case NumClass::Currency: return Variant::FromCurrency(n.i);
    case NumClass::Double: return Variant(n.d);
    case NumClass::Date: return Variant::FromDate(n.d);
  }
  return Variant();
}

[[noreturn]] void ThrowNotNumber(const Variant& v) {
  std::string message = std::string("Could not convert variant of type (") +
                        VarTypeName(v.Type()) + ") into type (Double)";
  if (v.IsString()) throw EConvertError(message);
  throw EVariantError(message);
}

// REQUIRES: v is not Null.
Number ToNumber(const Variant& v, const FormatSettings& fs) {
  switch (v.kind()) {
    case Variant::Kind::Empty: return MakeInt(0);
    case Variant::Kind::Boolean: return MakeInt(v.ordinal() != 0 ? -1 : 0);
    case Variant::Kind::Smallint:
    case Variant::Kind::Integer: return MakeInt(v.ordinal());
    case Variant::Kind::Int64: return MakeInt(v.ordinal(), true);
    case Variant::Kind::Currency: return MakeCurrency(v.ordinal());
    case Variant::Kind::Double: return MakeReal(v.real());
    case Variant::Kind::Date: return MakeReal(v.real(), NumClass::Date);
    case Variant::Kind::String: {
      Variant number;
      if (!TryStrToVarNumber(v.text(), number, fs)) ThrowNotNumber(v);
      return ToNumber(number, fs);
    }
    default: break;
  }
  ThrowNotNumber(v);
}

// A Double result; infinity out of finite operands is an overflow, not a value.
Number CheckedReal(double result, double a, double b, NumClass cls = NumClass::Double) {
  if (std::isinf(result) && std::isfinite(a) && std::isfinite(b)) {
    throw EMathError("Floating point overflow");
  }
  return MakeReal(result, cls);
}

enum class ArithOp { Add, Sub, Mul };

double RealOp(ArithOp op, double a, double b) {
  switch (op) {
    case ArithOp::Add: return a + b;
    case ArithOp::Sub: return a - b;
    case ArithOp::Mul: return a * b;
  }
  return 0;
}

Number RealArith(ArithOp op, const Number& a, const Number& b, NumClass cls = NumClass::Double) {
  double x = ToReal(a);
  double y = ToReal(b);
  return CheckedReal(RealOp(op, x, y), x, y, cls);
}

// Half-to-even division of a 128-bit product by the currency scale.
bool CurrencyProduct(int64_t a, int64_t b, int64_t& out) {
  __int128 product = static_cast<__int128>(a) * b;
  __int128 quotient = product / kCurrencyScale;
  __int128 remainder = product % kCurrencyScale;
  __int128 twice = 2 * (remainder < 0 ? -remainder : remainder);
  if (twice > kCurrencyScale || (twice == kCurrencyScale && quotient % 2 != 0)) {
    quotient += product < 0 ? -1 : 1;
  }
  if (quotient < std::numeric_limits<int64_t>::min() ||
      quotient > std::numeric_limits<int64_t>::max()) {
    return false;
  }
  out = static_cast<int64_t>(quotient);
  return true;
}

bool IntOp(ArithOp op, int64_t a, int64_t b, int64_t& out) {
  switch (op) {
    case ArithOp::Add: return !__builtin_add_overflow(a, b, &out);
    case ArithOp::Sub: return !__builtin_sub_overflow(a, b, &out);
    case ArithOp::Mul: return !__builtin_mul_overflow(a, b, &out);
  }
  return false;
}

Number Arith(ArithOp op, const Number& a, const Number& b) {
  bool a_date = a.cls == NumClass::Date;
  bool b_date = b.cls == NumClass::Date;
  if (a_date || b_date) {
    // Date +/- number moves the date; Date - Date is a day count; anything else is plain.
    if (op == ArithOp::Add) return RealArith(op, a, b, NumClass::Date);
    if (op == ArithOp::Sub) {
      return RealArith(op, a, b, a_date && b_date ? NumClass::Double : NumClass::Date);
    }
    return RealArith(op, a, b);
  }
  if (a.cls == NumClass::Double || b.cls == NumClass::Double) return RealArith(op, a, b);
  if (a.cls == NumClass::Currency || b.cls == NumClass::Currency) {
    int64_t out = 0;
    if (op == ArithOp::Mul) {
      bool ok = (a.cls == NumClass::Currency && b.cls == NumClass::Currency)
                    ? CurrencyProduct(a.i, b.i, out)
                    : IntOp(op, a.i, b.i, out);  // one side is a plain integer
      if (ok) return MakeCurrency(out);
      return RealArith(op, a, b);
    }
    int64_t x = a.i;
    int64_t y = b.i;
    bool ok = true;
    if (a.cls != NumClass::Currency) ok = !__builtin_mul_overflow(a.i, kCurrencyScale, &x);
    if (ok && b.cls != NumClass::Currency) ok = !__builtin_mul_overflow(b.i, kCurrencyScale, &y);
    if (ok && IntOp(op, x, y, out)) return MakeCurrency(out);
    return RealArith(op, a, b);
  }
  int64_t out = 0;
  if (!IntOp(op, a.i, b.i, out)) return RealArith(op, a, b);
  return MakeInt(out, a.cls == NumClass::Int64 || b.cls == NumClass::Int64);
}

// Banker's rounding of a real to int64, EVariantError when out of range.
int64_t RoundReal(double value, uint16_t from) {
  if (std::isfinite(value)) {
    double whole = std::floor(value);
    double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole >= -9223372036854775808.0 && whole < 9223372036854775808.0) {
      return static_cast<int64_t>(whole);
    }
  }
  throw EVariantError(std::string("Overflow while converting variant of type (") +
                      VarTypeName(from) + ") into type (Int64)");
}

// The integer operand of div, mod, shifts and bitwise logic: rounded, keeping whether it
// asks for 64 bits.
Number ToIntegerNumber(const Variant& v, const FormatSettings& fs) {
  Number n = ToNumber(v, fs);
  switch (n.cls) {
    case NumClass::Int32:
    case NumClass::Int64: return n;
    case NumClass::Currency: return MakeInt(Variant::FromCurrency(n.i).AsInt64(fs));
    case NumClass::Double:
    case NumClass::Date: return MakeInt(RoundReal(n.d, v.Type()));
  }
  return n;
}

bool Wide(const Number& a, const Number& b) {
  return a.cls == NumClass::Int64 || b.cls == NumClass::Int64;
}

Variant IntResult(int64_t value, bool wide) { return ToVariant(MakeInt(value, wide)); }

enum class LogicOp { And, Or, Xor };

bool IsLogicalOperand(const Variant& v) {
  return v.kind() == Variant::Kind::Boolean || v.IsEmpty() || v.IsString();
}

Variant Logic(LogicOp op, const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  bool any_boolean = a.kind() == Variant::Kind::Boolean || b.kind() == Variant::Kind::Boolean;
  if (any_boolean && IsLogicalOperand(a) && IsLogicalOperand(b)) {
    bool x = a.AsBoolean(fs);
    bool y = b.AsBoolean(fs);
    switch (op) {
      case LogicOp::And: return Variant(x && y);
      case LogicOp::Or: return Variant(x || y);
      case LogicOp::Xor: return Variant(x != y);
    }
  }
  Number x = ToIntegerNumber(a, fs);
  Number y = ToIntegerNumber(b, fs);
  int64_t result = 0;
  switch (op) {
    case LogicOp::And: result = x.i & y.i; break;
    case LogicOp::Or: result = x.i | y.i; break;
    case LogicOp::Xor: result = x.i ^ y.i; break;
  }
  return IntResult(result, Wide(x, y));
}

Variant Shift(bool left, const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  Number x = ToIntegerNumber(a, fs);
  Number count = ToIntegerNumber(b, fs);
  if (x.cls == NumClass::Int64) {
    uint64_t bits = static_cast<uint64_t>(x.i);
    unsigned n = static_cast<unsigned>(count.i & 63);
    return Variant(static_cast<int64_t>(left ? bits << n : bits >> n));
  }
  uint32_t bits = static_cast<uint32_t>(x.i);
  unsigned n = static_cast<unsigned>(count.i & 31);
  return Variant(static_cast<int32_t>(left ? bits << n : bits >> n));
}

// ---- Comparison helpers --------------------------------------------------------------

VarCompareResult FromSign(int sign) {
  if (sign < 0) return VarCompareResult::Less;
  if (sign > 0) return VarCompareResult::Greater;
  return VarCompareResult::Equal;
}

VarCompareResult CompareTexts(std::string_view a, std::string_view b) {
  int sign = AnsiCompareStr(a, b);
  if (sign == 0 && a != b) sign = a < b ? -1 : 1;
  return FromSign(sign);
}

VarCompareResult CompareNumbers(const Number& a, const Number& b) {
  if (IsInteger(a) && IsInteger(b)) return FromSign(a.i < b.i ? -1 : (a.i > b.i ? 1 : 0));
  bool currency_pair = (a.cls == NumClass::Currency || IsInteger(a)) &&
                       (b.cls == NumClass::Currency || IsInteger(b));
  if (currency_pair) {
    __int128 x = a.cls == NumClass::Currency ? a.i : static_cast<__int128>(a.i) * kCurrencyScale;
    __int128 y = b.cls == NumClass::Currency ? b.i : static_cast<__int128>(b.i) * kCurrencyScale;
    return FromSign(x < y ? -1 : (x > y ? 1 : 0));
  }
  double x = ToReal(a);
  double y = ToReal(b);
  if (std::isnan(x) || std::isnan(y)) return VarCompareResult::NotEqual;
  return FromSign(x < y ? -1 : (x > y ? 1 : 0));
}

VarCompareResult Reverse(VarCompareResult r) {
  if (r == VarCompareResult::Less) return VarCompareResult::Greater;
  if (r == VarCompareResult::Greater) return VarCompareResult::Less;
  return r;
}

// text against a number-like value (not Null, Empty, String, Object or Array).
VarCompareResult CompareTextWith(const std::string& text, const Variant& other,
                                 const FormatSettings& fs) {
  Variant number;
  if (TryStrToVarNumber(text, number, fs)) {
    return CompareNumbers(ToNumber(number, fs), ToNumber(other, fs));
  }
  if (other.kind() == Variant::Kind::Date) {
    TDateTime date = 0;
    if (TryStrToDateTime(text, date, fs)) {
      return CompareNumbers(MakeReal(date), MakeReal(other.real()));
    }
  }
  if (other.kind() == Variant::Kind::Boolean) {
    bool flag = false;
    if (TryStrToBool(text, flag, fs)) {
      return CompareNumbers(MakeInt(flag ? -1 : 0), MakeInt(other.ordinal() != 0 ? -1 : 0));
    }
  }
  return CompareTexts(text, other.AsString(fs));
}

bool IsNumberLike(const Variant& v) {
  return v.IsNumeric() || v.kind() == Variant::Kind::Boolean;
}

}  // namespace

// ---- Arithmetic ------------------------------------------------------------------------

Variant VarAdd(const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (a.IsString() && (b.IsString() || b.IsEmpty())) {
    return b.IsEmpty() ? a : Variant(a.text() + b.text());
  }
  if (a.IsEmpty() && b.IsString()) return b;
  return ToVariant(Arith(ArithOp::Add, ToNumber(a, fs), ToNumber(b, fs)));
}

Variant VarSub(const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  return ToVariant(Arith(ArithOp::Sub, ToNumber(a, fs), ToNumber(b, fs)));
}

Variant VarMul(const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  return ToVariant(Arith(ArithOp::Mul, ToNumber(a, fs), ToNumber(b, fs)));
}

Variant VarDiv(const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  double x = ToReal(ToNumber(a, fs));
  double y = ToReal(ToNumber(b, fs));
  if (y == 0) {
    if (x == 0 || std::isnan(x)) throw EMathError("Invalid floating point operation");
    throw EMathError("Floating point division by zero");
  }
  return ToVariant(CheckedReal(x / y, x, y));
}

Variant VarIntDiv(const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  Number x = ToIntegerNumber(a, fs);
  Number y = ToIntegerNumber(b, fs);
  if (y.i == 0) throw EMathError("Division by zero");
  if (x.i == std::numeric_limits<int64_t>::min() && y.i == -1) {
    throw EMathError("Integer overflow");
  }
  return IntResult(x.i / y.i, Wide(x, y));
}

Variant VarMod(const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  Number x = ToIntegerNumber(a, fs);
  Number y = ToIntegerNumber(b, fs);
  if (y.i == 0) throw EMathError("Division by zero");
  int64_t result = y.i == -1 ? 0 : x.i % y.i;
  return IntResult(result, Wide(x, y));
}

Variant VarAnd(const Variant& a, const Variant& b, const FormatSettings& fs) {
  return Logic(LogicOp::And, a, b, fs);
}

Variant VarOr(const Variant& a, const Variant& b, const FormatSettings& fs) {
  return Logic(LogicOp::Or, a, b, fs);
}

Variant VarXor(const Variant& a, const Variant& b, const FormatSettings& fs) {
  return Logic(LogicOp::Xor, a, b, fs);
}

Variant VarShl(const Variant& a, const Variant& b, const FormatSettings& fs) {
  return Shift(true, a, b, fs);
}

Variant VarShr(const Variant& a, const Variant& b, const FormatSettings& fs) {
  return Shift(false, a, b, fs);
}

Variant VarNot(const Variant& a, const FormatSettings& fs) {
  if (a.IsNull()) return Variant::Null();
  if (a.kind() == Variant::Kind::Boolean) return Variant(a.ordinal() == 0);
  if (a.IsString()) {
    Variant number;
    bool flag = false;
    if (!TryStrToVarNumber(a.text(), number, fs) && TryStrToBool(a.text(), flag, fs)) {
      return Variant(!flag);
    }
  }
  Number x = ToIntegerNumber(a, fs);
  return IntResult(~x.i, x.cls == NumClass::Int64);
}

Variant VarNeg(const Variant& a, const FormatSettings& fs) {
  if (a.IsNull()) return Variant::Null();
  Number x = ToNumber(a, fs);
  switch (x.cls) {
    case NumClass::Int32:
    case NumClass::Int64:
    case NumClass::Currency:
      if (x.i != std::numeric_limits<int64_t>::min()) {
        Number result = x.cls == NumClass::Currency ? MakeCurrency(-x.i)
                                                    : MakeInt(-x.i, x.cls == NumClass::Int64);
        return ToVariant(result);
      }
      return Variant(-ToReal(x));
    case NumClass::Double:
    case NumClass::Date: return ToVariant(MakeReal(-x.d, x.cls));
  }
  return Variant();
}

// ---- Comparison -------------------------------------------------------------------------

VarCompareResult VarCompare(const Variant& a, const Variant& b, const FormatSettings& fs) {
  using Kind = Variant::Kind;
  if (a.IsNull() || b.IsNull()) return VarCompareResult::NotEqual;

  if (a.IsObject() || b.IsObject()) {
    auto null_like = [](const Variant& v) {
      return v.IsEmpty() || (v.IsObject() && v.AsObject() == nullptr) ||
             (v.IsOrdinal() && v.ordinal() == 0);
    };
    if (a.IsObject() && b.IsObject()) {
      return a.AsObject() == b.AsObject() ? VarCompareResult::Equal : VarCompareResult::NotEqual;
    }
    return null_like(a) && null_like(b) ? VarCompareResult::Equal : VarCompareResult::NotEqual;
  }

  if (a.IsArray() || b.IsArray()) {
    if (!a.IsArray() || !b.IsArray() || a.ArrayLow() != b.ArrayLow() ||
        a.ArrayLength() != b.ArrayLength()) {
      return VarCompareResult::NotEqual;
    }
    for (int32_t i = 0; i < a.ArrayLength(); ++i) {
      if (!VarSameValue(a.Elements()[i], b.Elements()[i], fs)) return VarCompareResult::NotEqual;
    }
    return VarCompareResult::Equal;
  }

  // Empty is "" against text and 0 against everything else.
  if (a.IsEmpty() && b.IsEmpty()) return VarCompareResult::Equal;
  if (a.IsString() && b.IsString()) return CompareTexts(a.text(), b.text());
  if (a.IsEmpty() && b.IsString()) return CompareTexts("", b.text());
  if (a.IsString() && b.IsEmpty()) return CompareTexts(a.text(), "");
  if (a.IsString()) return CompareTextWith(a.text(), b, fs);
  if (b.IsString()) return Reverse(CompareTextWith(b.text(), a, fs));

  if ((IsNumberLike(a) || a.kind() == Kind::Empty) && (IsNumberLike(b) || b.kind() == Kind::Empty)) {
    return CompareNumbers(ToNumber(a, fs), ToNumber(b, fs));
  }
  return VarCompareResult::NotEqual;
}

bool VarSameValue(const Variant& a, const Variant& b, const FormatSettings& fs) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
  return VarCompare(a, b, fs) == VarCompareResult::Equal;
}

}  // namespace lgoty::core
