// The built-in operators and functions of key and filter expressions, as one table of rows.
//
// Evaluation never fails: integer division by zero gives 0, integer arithmetic wraps around
// (two's complement) instead of overflowing, and float arithmetic follows IEEE (infinities and
// NaN). A filter or key is computed for every record, and one odd record must not stop a scan
// or an index build.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>

#include "core/date_time.h"
#include "dbf/expression_text.h"
#include "dbf/expression_words.h"

namespace lgoty::dbf {
namespace {

using T = TExpressionType;

// STR never makes a text longer than this, whatever length or decimals are asked.
constexpr int64_t kMaxStrLength = 255;
constexpr int kMaxStrDecimals = 30;
// Without a length, STR of a float gives at most this many characters.
constexpr size_t kDefaultStrLength = 18;

constexpr int kArithmeticPrecedence = 40;
constexpr int kComparePrecedence = 80;
constexpr int kNotPrecedence = 85;
constexpr int kAndPrecedence = 90;
constexpr int kOrPrecedence = 100;
// The signs made from runs of + and - bind tighter than any binary operator.
constexpr int kSignPrecedence = 20;

// ---- reading and writing slots by signature letter, decided at compile time ---------------

template <char Letter>
auto Get(const TExprValue& v) {
  if constexpr (Letter == 'I') return v.integer;
  else if constexpr (Letter == 'L') return v.large;
  else return v.real;
}

template <char A, char B>
constexpr char ArithmeticResult() {
  if constexpr (A == 'F' || B == 'F') return 'F';
  else if constexpr (A == 'L' || B == 'L') return 'L';
  else return 'I';
}

constexpr TExpressionType TypeOf(char letter) {
  switch (letter) {
    case 'I': return T::etInteger;
    case 'L': return T::etLargeInt;
    case 'F': return T::etFloat;
    case 'S': return T::etString;
    case 'B': return T::etBoolean;
    default: return T::etDateTime;
  }
}

template <char R, typename V>
void Put(TExprValue& out, V value) {
  if constexpr (R == 'I') out.integer = static_cast<int32_t>(value);
  else if constexpr (R == 'L') out.large = static_cast<int64_t>(value);
  else out.real = static_cast<double>(value);
}

// Wrapping integer arithmetic (computed unsigned, so overflow is defined).
template <typename Int>
Int WrapAdd(Int a, Int b) {
  using U = std::make_unsigned_t<Int>;
  return static_cast<Int>(static_cast<U>(a) + static_cast<U>(b));
}
template <typename Int>
Int WrapSub(Int a, Int b) {
  using U = std::make_unsigned_t<Int>;
  return static_cast<Int>(static_cast<U>(a) - static_cast<U>(b));
}
template <typename Int>
Int WrapMul(Int a, Int b) {
  using U = std::make_unsigned_t<Int>;
  return static_cast<Int>(static_cast<U>(a) * static_cast<U>(b));
}
template <typename Int>
Int SafeDiv(Int a, Int b) {
  if (b == 0) return 0;
  if (b == -1) return WrapSub<Int>(0, a);
  return a / b;
}

struct AddOp {
  template <typename V> static V Apply(V a, V b) {
    if constexpr (std::is_integral_v<V>) return WrapAdd(a, b); else return a + b;
  }
};
struct SubOp {
  template <typename V> static V Apply(V a, V b) {
    if constexpr (std::is_integral_v<V>) return WrapSub(a, b); else return a - b;
  }
};
struct MulOp {
  template <typename V> static V Apply(V a, V b) {
    if constexpr (std::is_integral_v<V>) return WrapMul(a, b); else return a * b;
  }
};
struct DivOp {
  template <typename V> static V Apply(V a, V b) {
    if constexpr (std::is_integral_v<V>) return SafeDiv(a, b); else return a / b;
  }
};

template <char R>
using ValueOf = std::conditional_t<R == 'I', int32_t, std::conditional_t<R == 'L', int64_t, double>>;

template <char A, char B, typename Op>
void Arithmetic(TExprStep& step) {
  constexpr char R = ArithmeticResult<A, B>();
  using V = ValueOf<R>;
  Put<R>(*step.result, Op::Apply(static_cast<V>(Get<A>(*step.args[0])),
                                 static_cast<V>(Get<B>(*step.args[1]))));
}

template <char A, char B, typename Cmp>
void CompareNumbers(TExprStep& step) {
  constexpr char R = ArithmeticResult<A, B>();
  using V = ValueOf<R>;
  step.result->boolean =
      Cmp{}(static_cast<V>(Get<A>(*step.args[0])), static_cast<V>(Get<B>(*step.args[1]))) ? 1
                                                                                            : 0;
}

template <char A>
void Negate(TExprStep& step) {
  if constexpr (A == 'F') Put<A>(*step.result, -Get<A>(*step.args[0]));
  else Put<A>(*step.result, WrapSub<ValueOf<A>>(0, Get<A>(*step.args[0])));
}

template <char A>
void Identity(TExprStep& step) {
  Put<A>(*step.result, Get<A>(*step.args[0]));
}

// ---- strings --------------------------------------------------------------------------------

void Concatenate(TExprStep& step) {
  const std::string_view a = step.args[0]->Text();
  const std::string_view b = step.args[1]->Text();
  char* dest = step.result->ReserveText(a.size() + b.size());
  if (!a.empty()) std::memcpy(dest, a.data(), a.size());
  if (!b.empty()) std::memcpy(dest + a.size(), b.data(), b.size());
  step.result->CommitText(a.size() + b.size());
}

template <bool IgnoreCase, typename Cmp>
void CompareStrings(TExprStep& step) {
  const int order =
      step.context->Compare(step.args[0]->Text(), step.args[1]->Text(), IgnoreCase);
  step.result->boolean = Cmp{}(order, 0) ? 1 : 0;
}

// Equality with the star patterns of partial comparison: "*x*" contains, "*x" ends with,
// "x*" starts with, anything else plain equality.
bool PartialEqual(const TExpressionContext& context, std::string_view value,
                  std::string_view pattern, bool ignore_case) {
  const bool lead = !pattern.empty() && pattern.front() == '*';
  const bool trail = pattern.size() >= 2 && pattern.back() == '*';
  if (lead && trail) {
    const std::string_view inner = pattern.substr(1, pattern.size() - 2);
    if (inner.size() > value.size()) return false;
    for (size_t at = 0; at + inner.size() <= value.size(); ++at) {
      if (context.Equal(value.substr(at, inner.size()), inner, ignore_case)) return true;
    }
    return false;
  }
  if (lead) {
    const std::string_view rest = pattern.substr(1);
    return rest.size() <= value.size() &&
           context.Equal(value.substr(value.size() - rest.size()), rest, ignore_case);
  }
  if (trail) {
    const std::string_view head = pattern.substr(0, pattern.size() - 1);
    return head.size() <= value.size() &&
           context.Equal(value.substr(0, head.size()), head, ignore_case);
  }
  return context.Equal(value, pattern, ignore_case);
}

template <bool IgnoreCase, bool Partial, bool Negated>
void EqualStrings(TExprStep& step) {
  const std::string_view a = step.args[0]->Text();
  const std::string_view b = step.args[1]->Text();
  const bool equal = Partial ? PartialEqual(*step.context, a, b, IgnoreCase)
                             : step.context->Equal(a, b, IgnoreCase);
  step.result->boolean = (equal != Negated) ? 1 : 0;
}

void PutPadded(TExprValue& out, std::string_view text, int64_t width) {
  if (width < 0) {
    out.SetText(text);
    return;
  }
  const auto w = static_cast<size_t>(width);
  if (text.size() >= w) {
    out.SetText(text.substr(0, w));
    return;
  }
  char* dest = out.ReserveText(w);
  const size_t pad = w - text.size();
  std::memset(dest, ' ', pad);
  std::memcpy(dest + pad, text.data(), text.size());
  out.CommitText(w);
}

int64_t ClampLength(int32_t length) { return std::clamp<int64_t>(length, 0, kMaxStrLength); }

// STR(float [, length [, decimals]]).
void StrFloat(TExprStep& step) {
  const int decimals =
      step.arg_count >= 3 ? std::clamp(step.args[2]->integer, 0, kMaxStrDecimals) : 0;
  char text[512];
  int n = std::snprintf(text, sizeof text, "%.*f", decimals, step.args[0]->real);
  n = std::clamp(n, 0, static_cast<int>(sizeof text) - 1);
  // The separator is '.' whatever the C library's locale says.
  if (decimals > 0 && n > decimals && std::isfinite(step.args[0]->real)) text[n - decimals - 1] = '.';
  std::string_view view(text, static_cast<size_t>(n));
  if (step.arg_count >= 2) {
    PutPadded(*step.result, view, ClampLength(step.args[1]->integer));
  } else {
    step.result->SetText(view.substr(0, std::min(view.size(), kDefaultStrLength)));
  }
}

// STR(integer [, length [, decimals]]).
void StrInteger(TExprStep& step) {
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", step.args[0]->integer);
  const std::string_view view(digits, static_cast<size_t>(std::max(n, 0)));
  if (step.arg_count < 2) {
    step.result->SetText(view);
    return;
  }
  const int64_t width = ClampLength(step.args[1]->integer);
  const int64_t decimals =
      step.arg_count >= 3 ? std::clamp<int64_t>(step.args[2]->integer, 0, kMaxStrLength) : 0;
  PutPadded(*step.result, view, width);
  if (decimals == 0) return;
  const size_t base = step.result->length;
  char* dest = step.result->ReserveText(base + 1 + static_cast<size_t>(decimals));
  dest[base] = '.';
  std::memset(dest + base + 1, '0', static_cast<size_t>(decimals));
  step.result->CommitText(base + 1 + static_cast<size_t>(decimals));
}

void DateToString(TExprStep& step) {
  const double value = step.args[0]->real;
  if (std::isnan(value)) {
    step.result->SetText("        ");
    return;
  }
  int year = 0, month = 0, day = 0;
  core::DecodeDate(value, year, month, day);
  char text[40];
  const int n = std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  step.result->SetText(std::string_view(text, static_cast<size_t>(std::clamp(n, 0, 39))));
}

void SubString(TExprStep& step) {
  const std::string_view text = step.args[0]->Text();
  const int64_t start = std::max<int64_t>(step.args[1]->integer, 1) - 1;
  const int64_t count = std::max<int64_t>(step.args[2]->integer, 0);
  if (start >= static_cast<int64_t>(text.size())) {
    step.result->SetText({});
    return;
  }
  const auto from = static_cast<size_t>(start);
  step.result->SetText(text.substr(from, std::min<size_t>(static_cast<size_t>(count),
                                                          text.size() - from)));
}

void UpperCase(TExprStep& step) { step.context->UpperCase(step.args[0]->Text(), *step.result); }
void LowerCase(TExprStep& step) { step.context->LowerCase(step.args[0]->Text(), *step.result); }

void Not(TExprStep& step) { step.result->boolean = step.args[0]->boolean ? 0 : 1; }
void And(TExprStep& step) {
  step.result->boolean = (step.args[0]->boolean && step.args[1]->boolean) ? 1 : 0;
}
void Or(TExprStep& step) {
  step.result->boolean = (step.args[0]->boolean || step.args[1]->boolean) ? 1 : 0;
}

// ---- the table ------------------------------------------------------------------------------

using Rows = std::vector<std::unique_ptr<TExprWord>>;

void Row(Rows& rows, const char* name, const char* short_name, int precedence, TExprFunc func,
         TExpressionType result, size_t min_args, const char* signature,
         TStringCompareSet set = TStringCompareSet::Any, bool prefix = false) {
  rows.push_back(std::make_unique<TFunction>(name, short_name, precedence, func, result,
                                             min_args, signature, set, prefix));
}

template <char A, char B, typename Op>
void ArithmeticRow(Rows& rows, const char* name) {
  constexpr char sig[] = {A, B, '\0'};
  Row(rows, name, "", kArithmeticPrecedence, &Arithmetic<A, B, Op>,
      TypeOf(ArithmeticResult<A, B>()), 2, sig);
}

template <typename Op>
void ArithmeticRows(Rows& rows, const char* name) {
  ArithmeticRow<'I', 'I', Op>(rows, name);
  ArithmeticRow<'I', 'L', Op>(rows, name);
  ArithmeticRow<'L', 'L', Op>(rows, name);
  ArithmeticRow<'L', 'I', Op>(rows, name);
  ArithmeticRow<'F', 'F', Op>(rows, name);
  ArithmeticRow<'F', 'I', Op>(rows, name);
  ArithmeticRow<'I', 'F', Op>(rows, name);
  ArithmeticRow<'F', 'L', Op>(rows, name);
  ArithmeticRow<'L', 'F', Op>(rows, name);
}

template <char A, char B, typename Cmp>
void CompareRow(Rows& rows, const char* name) {
  constexpr char sig[] = {A, B, '\0'};
  Row(rows, name, "", kComparePrecedence, &CompareNumbers<A, B, Cmp>, T::etBoolean, 2, sig);
}

template <typename Cmp>
void NumericCompareRows(Rows& rows, const char* name) {
  CompareRow<'F', 'F', Cmp>(rows, name);
  CompareRow<'F', 'I', Cmp>(rows, name);
  CompareRow<'I', 'F', Cmp>(rows, name);
  CompareRow<'I', 'I', Cmp>(rows, name);
  CompareRow<'L', 'L', Cmp>(rows, name);
  CompareRow<'L', 'F', Cmp>(rows, name);
  CompareRow<'L', 'I', Cmp>(rows, name);
  CompareRow<'F', 'L', Cmp>(rows, name);
  CompareRow<'I', 'L', Cmp>(rows, name);
}

template <typename Cmp>
void CompareRows(Rows& rows, const char* name) {
  NumericCompareRows<Cmp>(rows, name);
  using S = TStringCompareSet;
  Row(rows, name, "", kComparePrecedence, &CompareStrings<false, Cmp>, T::etBoolean, 2, "SS",
      S::Sensitive);
  Row(rows, name, "", kComparePrecedence, &CompareStrings<false, Cmp>, T::etBoolean, 2, "SS",
      S::SensitivePartial);
  Row(rows, name, "", kComparePrecedence, &CompareStrings<true, Cmp>, T::etBoolean, 2, "SS",
      S::Insensitive);
  Row(rows, name, "", kComparePrecedence, &CompareStrings<true, Cmp>, T::etBoolean, 2, "SS",
      S::InsensitivePartial);
}

template <bool Negated>
void EqualityRows(Rows& rows, const char* name) {
  NumericCompareRows<std::conditional_t<Negated, std::not_equal_to<>, std::equal_to<>>>(rows,
                                                                                        name);
  using S = TStringCompareSet;
  Row(rows, name, "", kComparePrecedence, &EqualStrings<false, false, Negated>, T::etBoolean, 2,
      "SS", S::Sensitive);
  Row(rows, name, "", kComparePrecedence, &EqualStrings<false, true, Negated>, T::etBoolean, 2,
      "SS", S::SensitivePartial);
  Row(rows, name, "", kComparePrecedence, &EqualStrings<true, false, Negated>, T::etBoolean, 2,
      "SS", S::Insensitive);
  Row(rows, name, "", kComparePrecedence, &EqualStrings<true, true, Negated>, T::etBoolean, 2,
      "SS", S::InsensitivePartial);
}

template <char A>
void SignRows(Rows& rows) {
  constexpr char sig[] = {A, '\0'};
  Row(rows, "-", "", kSignPrecedence, &Negate<A>, TypeOf(A), 1, sig, TStringCompareSet::Any,
      true);
  Row(rows, "+", "", kSignPrecedence, &Identity<A>, TypeOf(A), 1, sig, TStringCompareSet::Any,
      true);
}

Rows MakeBuiltinWords() {
  Rows rows;
  Row(rows, "+", "", kArithmeticPrecedence, &Concatenate, T::etString, 2, "SS");
  ArithmeticRows<AddOp>(rows, "+");
  ArithmeticRows<SubOp>(rows, "-");
  ArithmeticRows<MulOp>(rows, "*");
  ArithmeticRows<DivOp>(rows, "/");
  SignRows<'I'>(rows);
  SignRows<'L'>(rows);
  SignRows<'F'>(rows);

  EqualityRows<false>(rows, "=");
  EqualityRows<true>(rows, "<>");
  CompareRows<std::less<>>(rows, "<");
  CompareRows<std::greater<>>(rows, ">");
  CompareRows<std::less_equal<>>(rows, "<=");
  CompareRows<std::greater_equal<>>(rows, ">=");

  Row(rows, "NOT", "", kNotPrecedence, &Not, T::etBoolean, 1, "B", TStringCompareSet::Any, true);
  Row(rows, "AND", "", kAndPrecedence, &And, T::etBoolean, 2, "BB");
  Row(rows, "OR", "", kOrPrecedence, &Or, T::etBoolean, 2, "BB");

  Row(rows, "STR", "", 0, &StrFloat, T::etString, 1, "FII");
  Row(rows, "STR", "", 0, &StrInteger, T::etString, 1, "III");
  Row(rows, "DTOS", "", 0, &DateToString, T::etString, 1, "D");
  Row(rows, "SUBSTR", "SUBS", 0, &SubString, T::etString, 3, "SII");
  Row(rows, "UPPERCASE", "UPPER", 0, &UpperCase, T::etString, 1, "S");
  Row(rows, "LOWERCASE", "LOWER", 0, &LowerCase, T::etString, 1, "S");

  // Boolean constants are written as the names TRUE and FALSE.
  rows.push_back(std::make_unique<TBooleanConstant>("TRUE", true));
  rows.push_back(std::make_unique<TBooleanConstant>("FALSE", false));
  return rows;
}

}  // namespace

std::span<const std::unique_ptr<TExprWord>> BuiltinWords() {
  static const Rows rows = MakeBuiltinWords();
  return rows;
}

}  // namespace lgoty::dbf
