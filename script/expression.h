// Expression trees (TfsExpression) and designators, as the program builder makes them and
// execution evaluates them. Every node knows its build-time type and where it began.
//
// Operators and their priorities (lower binds tighter), as the builder climbs them:
//   not, unary minus 1;  * / div mod and shl shr 2;  + - or xor 3;
//   > < <= >= <> = in is 4.
// "and"/"or" on two booleans are evaluated short-circuit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "script/variables.h"

namespace lgoty::script {

class TfsScript;
class TfsClassVariable;

class TfsExpr {
 public:
  virtual ~TfsExpr() = default;
  virtual Variant Eval() = 0;
  // Stores into the expression when it is a variable access (var parameters, assignment).
  virtual bool CanAssign() const { return false; }
  virtual void Assign(const Variant& value);
  TfsType type;
  int line = 0, column = 0;
  std::string source;  // the expression's source text (macro arguments)
};
using TfsExprPtr = std::unique_ptr<TfsExpr>;

class TfsConstExpr : public TfsExpr {
 public:
  explicit TfsConstExpr(Variant v) : value(std::move(v)) {}
  Variant Eval() override { return value; }
  Variant value;
};

// A set constructor: values and inclusive ranges; evaluated as an array of its values when
// used outside "in".
class TfsSetExpr : public TfsExpr {
 public:
  struct Item {
    TfsExprPtr low, high;  // high is null for a single value
  };
  std::vector<Item> items;
  Variant Eval() override;
  bool Contains(const Variant& v);
};

enum class TfsOp : uint8_t {
  None, Great, Less, LessEq, GreatEq, NonEq, Eq, Plus, Minus, Or, Xor, Mul, DivFloat, DivInt,
  Mod, And, Shl, Shr, LeftBracket, RightBracket, Not, UnMinus, In, Is, StrCat
};

// A comparison (> < <= >= <> =) of two operands, evaluated left first.
class TfsCompareExpr : public TfsExpr {
 public:
  TfsCompareExpr(TfsOp op, TfsExprPtr l, TfsExprPtr r) : op(op), left(std::move(l)), right(std::move(r)) {}
  const TfsOp op;
  TfsExprPtr left, right;
};

// The value of `a op b` for a comparison operator, by the rule its node applies; another
// operator raises EScriptError.
Variant CompareValues(TfsOp op, const Variant& a, const Variant& b);

// Creates the node of a binary operator (both operand types already checked).
TfsExprPtr MakeBinary(TfsOp op, TfsExprPtr left, TfsExprPtr right, TfsScript& script);
TfsExprPtr MakeUnary(TfsOp op, TfsExprPtr operand, TfsScript& script);

// --- designators

class TfsDesignator;

// One step of a designator chain. `parent` is the value of the previous step (Empty for
// the first).
class TfsDesignatorPart {
 public:
  virtual ~TfsDesignatorPart() = default;
  virtual Variant Read(const Variant& parent) = 0;
  // Plain store; a part that cannot be assigned is refused by the builder.
  virtual void Write(const Variant& parent, const Variant& value);
  // Element access inside a container (string character, array element): a store makes a
  // new container that is then stored through the previous part.
  virtual bool IsElement() const { return false; }
  virtual Variant Update(const Variant& container, const Variant& value);
  TfsType type;
  bool assignable = false;
  std::string name;
  std::vector<TfsExprPtr> args;
  // Per argument: the designator to write back after a call (var parameters), or null.
  std::vector<TfsExpr*> var_targets;
};

class TfsDesignator : public TfsExpr {
 public:
  Variant Eval() override;
  bool CanAssign() const override { return !parts.empty() && parts.back()->assignable; }
  void Assign(const Variant& value) override;
  std::vector<std::unique_ptr<TfsDesignatorPart>> parts;
  TfsCustomVariable* SimpleVariable() const;  // a lone ordinary variable, else null

 private:
  Variant EvalPrefix(size_t count);
  void AssignPrefix(size_t count, const Variant& value);
};

// A designator that is one plain variable (the common case, evaluated without the chain).
// For the script's own variables (no value hook) the stored value is read directly.
class TfsVariableExpr : public TfsExpr {
 public:
  explicit TfsVariableExpr(TfsCustomVariable* v, bool direct = false) : direct(direct), variable(v) {}
  Variant Eval() override { return direct ? variable->Raw() : variable->GetValue(); }
  bool direct;
  bool CanAssign() const override { return !variable->read_only; }
  void Assign(const Variant& value) override { variable->SetValue(value); }
  TfsCustomVariable* variable;
};

}  // namespace lgoty::script
