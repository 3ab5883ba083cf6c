#include "script/expression.h"

#include "script/interpreter.h"

namespace lgoty::script {

namespace {

using core::DefaultFormatSettings;
using core::FormatSettings;
using VarFn = Variant (*)(const Variant&, const Variant&, const FormatSettings&);

class TBinaryNode : public TfsExpr {
 public:
  TBinaryNode(TfsExprPtr l, TfsExprPtr r) : left(std::move(l)), right(std::move(r)) {}
  TfsExprPtr left, right;
};

template <VarFn Fn>
class TArithNode : public TBinaryNode {
 public:
  using TBinaryNode::TBinaryNode;
  Variant Eval() override {
    Variant a = left->Eval();
    return Fn(a, right->Eval(), DefaultFormatSettings());
  }
};

// Integer operands stay on a fast path; anything else (and every error) goes through the
// variant rules.
enum class IntOp { Minus, Mul, Div, Mod };

template <IntOp Op, VarFn Fn>
class TIntArithNode : public TBinaryNode {
 public:
  using TBinaryNode::TBinaryNode;
  Variant Eval() override {
    Variant a = left->Eval();
    Variant b = right->Eval();
    if (a.kind() == Variant::Kind::Integer && b.kind() == Variant::Kind::Integer) {
      const int64_t x = a.ordinal(), y = b.ordinal();
      int64_t r = 0;
      bool ok = true;
      switch (Op) {
        case IntOp::Minus: r = x - y; break;
        case IntOp::Mul: r = x * y; break;
        case IntOp::Div: ok = y != 0; r = ok ? x / y : 0; break;
        case IntOp::Mod: ok = y != 0; r = ok ? x % y : 0; break;
      }
      if (ok && r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
    }
    return Fn(a, b, DefaultFormatSettings());
  }
};

class TPlusNode : public TBinaryNode {
 public:
  TPlusNode(TfsExprPtr l, TfsExprPtr r, size_t max_string)
      : TBinaryNode(std::move(l), std::move(r)), max_string(max_string) {}
  Variant Eval() override {
    Variant a = left->Eval();
    Variant b = right->Eval();
    if (a.kind() == Variant::Kind::Integer && b.kind() == Variant::Kind::Integer) {
      int64_t sum = a.ordinal() + b.ordinal();
      if (sum >= INT32_MIN && sum <= INT32_MAX) return Variant(static_cast<int32_t>(sum));
    }
    Variant r = core::VarAdd(a, b, DefaultFormatSettings());
    if (r.IsString() && r.text().size() > max_string) throw EScriptError("String too long");
    return r;
  }
  size_t max_string;
};

class TStrCatNode : public TBinaryNode {
 public:
  using TBinaryNode::TBinaryNode;
  Variant Eval() override {
    Variant a = left->Eval();
    Variant b = right->Eval();
    if (a.IsString()) return Variant(a.text() + core::VarToStr(b));
    return core::VarAdd(a, b, DefaultFormatSettings());
  }
};

// The rule of one comparison operator: integers compared as they are, = and <> by
// VarSameValue (Null = Null holds), the others by VarCompare.
template <TfsOp Op>
Variant Compare(const Variant& a, const Variant& b) {
  if (a.kind() == Variant::Kind::Integer && b.kind() == Variant::Kind::Integer) {
    const int64_t x = a.ordinal(), y = b.ordinal();
    switch (Op) {
      case TfsOp::Great: return Variant(x > y);
      case TfsOp::Less: return Variant(x < y);
      case TfsOp::LessEq: return Variant(x <= y);
      case TfsOp::GreatEq: return Variant(x >= y);
      case TfsOp::NonEq: return Variant(x != y);
      default: return Variant(x == y);
    }
  }
  if constexpr (Op == TfsOp::Eq) return Variant(core::VarSameValue(a, b));
  if constexpr (Op == TfsOp::NonEq) return Variant(!core::VarSameValue(a, b));
  core::VarCompareResult r = core::VarCompare(a, b);
  using R = core::VarCompareResult;
  switch (Op) {
    case TfsOp::Great: return Variant(r == R::Greater);
    case TfsOp::Less: return Variant(r == R::Less);
    case TfsOp::LessEq: return Variant(r == R::Less || r == R::Equal);
    case TfsOp::GreatEq: return Variant(r == R::Greater || r == R::Equal);
    default: return Variant(false);
  }
}

template <TfsOp Op>
class TCompareNode : public TfsCompareExpr {
 public:
  TCompareNode(TfsExprPtr l, TfsExprPtr r) : TfsCompareExpr(Op, std::move(l), std::move(r)) {}
  Variant Eval() override {
    Variant a = left->Eval();
    Variant b = right->Eval();
    return Compare<Op>(a, b);
  }
};

bool IsFalse(const Variant& v) { return v.kind() == Variant::Kind::Boolean && v.ordinal() == 0; }
bool IsTrue(const Variant& v) { return v.kind() == Variant::Kind::Boolean && v.ordinal() != 0; }

class TAndNode : public TBinaryNode {
 public:
  TAndNode(TfsExprPtr l, TfsExprPtr r, bool short_circuit)
      : TBinaryNode(std::move(l), std::move(r)), short_circuit(short_circuit) {}
  Variant Eval() override {
    Variant a = left->Eval();
    if (short_circuit && IsFalse(a)) return a;
    return core::VarAnd(a, right->Eval(), DefaultFormatSettings());
  }
  bool short_circuit;
};

class TOrNode : public TBinaryNode {
 public:
  TOrNode(TfsExprPtr l, TfsExprPtr r, bool short_circuit)
      : TBinaryNode(std::move(l), std::move(r)), short_circuit(short_circuit) {}
  Variant Eval() override {
    Variant a = left->Eval();
    if (short_circuit && IsTrue(a)) return a;
    return core::VarOr(a, right->Eval(), DefaultFormatSettings());
  }
  bool short_circuit;
};

class TInNode : public TBinaryNode {
 public:
  using TBinaryNode::TBinaryNode;
  Variant Eval() override {
    Variant a = left->Eval();
    if (auto* set = dynamic_cast<TfsSetExpr*>(right.get())) return Variant(set->Contains(a));
    Variant b = right->Eval();
    if (!b.IsArray()) throw EScriptError("Set or array expected after 'in'");
    for (const Variant& e : b.Elements()) {
      if (core::VarSameValue(a, e)) return Variant(true);
    }
    return Variant(false);
  }
};

class TIsNode : public TfsExpr {
 public:
  TIsNode(TfsExprPtr l, std::string class_name, TfsScript& script)
      : left(std::move(l)), class_name(std::move(class_name)), script(script) {}
  Variant Eval() override {
    Variant a = left->Eval();
    if (!a.IsObject() || a.AsObject() == nullptr) return Variant(false);
    std::string actual = a.AsObject()->ClassName();
    if (script.ClassInherits(actual, class_name)) return Variant(true);
    const core::ClassInfo* info = core::ClassRegistry::Instance().Find(actual);
    return Variant(info != nullptr && info->InheritsFrom(class_name));
  }
  TfsExprPtr left;
  std::string class_name;
  TfsScript& script;
};

class TNotNode : public TfsExpr {
 public:
  explicit TNotNode(TfsExprPtr e) : operand(std::move(e)) {}
  Variant Eval() override { return core::VarNot(operand->Eval(), DefaultFormatSettings()); }
  TfsExprPtr operand;
};

class TUnMinusNode : public TfsExpr {
 public:
  explicit TUnMinusNode(TfsExprPtr e) : operand(std::move(e)) {}
  Variant Eval() override { return core::VarNeg(operand->Eval(), DefaultFormatSettings()); }
  TfsExprPtr operand;
};

}  // namespace

Variant TfsSetExpr::Eval() {
  std::vector<Variant> values;
  for (auto& item : items) {
    if (!item.high) {
      values.push_back(item.low->Eval());
      continue;
    }
    int64_t lo = item.low->Eval().AsInt64();
    int64_t hi = item.high->Eval().AsInt64();
    if (hi - lo > 65536) throw EScriptError("Set range too large");
    for (int64_t v = lo; v <= hi; ++v) values.emplace_back(v >= INT32_MIN && v <= INT32_MAX ? Variant(static_cast<int32_t>(v)) : Variant(v));
  }
  return Variant::Array(std::move(values));
}

bool TfsSetExpr::Contains(const Variant& v) {
  for (auto& item : items) {
    if (!item.high) {
      if (core::VarSameValue(v, item.low->Eval())) return true;
      continue;
    }
    Variant lo = item.low->Eval();
    Variant hi = item.high->Eval();
    using R = core::VarCompareResult;
    R a = core::VarCompare(v, lo);
    R b = core::VarCompare(v, hi);
    if ((a == R::Greater || a == R::Equal) && (b == R::Less || b == R::Equal)) return true;
  }
  return false;
}

TfsExprPtr MakeBinary(TfsOp op, TfsExprPtr l, TfsExprPtr r, TfsScript& script) {
  const bool both_bool = l->type.code == TfsVarType::fvtBool && r->type.code == TfsVarType::fvtBool;
  switch (op) {
    case TfsOp::Great: return std::make_unique<TCompareNode<TfsOp::Great>>(std::move(l), std::move(r));
    case TfsOp::Less: return std::make_unique<TCompareNode<TfsOp::Less>>(std::move(l), std::move(r));
    case TfsOp::LessEq: return std::make_unique<TCompareNode<TfsOp::LessEq>>(std::move(l), std::move(r));
    case TfsOp::GreatEq: return std::make_unique<TCompareNode<TfsOp::GreatEq>>(std::move(l), std::move(r));
    case TfsOp::NonEq: return std::make_unique<TCompareNode<TfsOp::NonEq>>(std::move(l), std::move(r));
    case TfsOp::Eq: return std::make_unique<TCompareNode<TfsOp::Eq>>(std::move(l), std::move(r));
    case TfsOp::Plus:
      return std::make_unique<TPlusNode>(std::move(l), std::move(r), script.runtime().max_string);
    case TfsOp::StrCat: return std::make_unique<TStrCatNode>(std::move(l), std::move(r));
    case TfsOp::Minus: return std::make_unique<TIntArithNode<IntOp::Minus, core::VarSub>>(std::move(l), std::move(r));
    case TfsOp::Or: return std::make_unique<TOrNode>(std::move(l), std::move(r), both_bool);
    case TfsOp::Xor: return std::make_unique<TArithNode<core::VarXor>>(std::move(l), std::move(r));
    case TfsOp::Mul: return std::make_unique<TIntArithNode<IntOp::Mul, core::VarMul>>(std::move(l), std::move(r));
    case TfsOp::DivFloat: return std::make_unique<TArithNode<core::VarDiv>>(std::move(l), std::move(r));
    case TfsOp::DivInt: return std::make_unique<TIntArithNode<IntOp::Div, core::VarIntDiv>>(std::move(l), std::move(r));
    case TfsOp::Mod: return std::make_unique<TIntArithNode<IntOp::Mod, core::VarMod>>(std::move(l), std::move(r));
    case TfsOp::And: return std::make_unique<TAndNode>(std::move(l), std::move(r), both_bool);
    case TfsOp::Shl: return std::make_unique<TArithNode<core::VarShl>>(std::move(l), std::move(r));
    case TfsOp::Shr: return std::make_unique<TArithNode<core::VarShr>>(std::move(l), std::move(r));
    case TfsOp::In: return std::make_unique<TInNode>(std::move(l), std::move(r));
    case TfsOp::Is: {
      std::string name = r->type.name;
      return std::make_unique<TIsNode>(std::move(l), std::move(name), script);
    }
    default:
      throw EScriptError("Invalid operator");
  }
}

Variant CompareValues(TfsOp op, const Variant& a, const Variant& b) {
  switch (op) {
    case TfsOp::Great: return Compare<TfsOp::Great>(a, b);
    case TfsOp::Less: return Compare<TfsOp::Less>(a, b);
    case TfsOp::LessEq: return Compare<TfsOp::LessEq>(a, b);
    case TfsOp::GreatEq: return Compare<TfsOp::GreatEq>(a, b);
    case TfsOp::NonEq: return Compare<TfsOp::NonEq>(a, b);
    case TfsOp::Eq: return Compare<TfsOp::Eq>(a, b);
    default: throw EScriptError("Invalid operator");
  }
}

TfsExprPtr MakeUnary(TfsOp op, TfsExprPtr operand, TfsScript&) {
  if (op == TfsOp::Not) return std::make_unique<TNotNode>(std::move(operand));
  return std::make_unique<TUnMinusNode>(std::move(operand));
}

}  // namespace lgoty::script
