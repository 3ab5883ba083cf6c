// Expressions and designators of the program builder: the priority climb over the operands
// and operators of an IL "expr", type inference, and name resolution of designators.
#include <charconv>

#include "core/text_format.h"
#include "script/designator.h"
#include "script/parser.h"
#include "script/program_builder.h"

namespace lgoty::script {

namespace {

struct OpRule {
  const char* text;
  TfsOp op;
  int priority;  // lower binds tighter
};

// The operator table: one entry per operator text of the IL "op" elements.
constexpr OpRule kOpRules[] = {
    {">", TfsOp::Great, 4},    {"<", TfsOp::Less, 4},      {"<=", TfsOp::LessEq, 4},
    {">=", TfsOp::GreatEq, 4}, {"<>", TfsOp::NonEq, 4},    {"=", TfsOp::Eq, 4},
    {"+", TfsOp::Plus, 3},     {"-", TfsOp::Minus, 3},     {"OR", TfsOp::Or, 3},
    {"XOR", TfsOp::Xor, 3},    {"*", TfsOp::Mul, 2},       {"/", TfsOp::DivFloat, 2},
    {"DIV", TfsOp::DivInt, 2}, {"MOD", TfsOp::Mod, 2},     {"AND", TfsOp::And, 2},
    {"SHL", TfsOp::Shl, 2},    {"SHR", TfsOp::Shr, 2},     {"NOT", TfsOp::Not, 1},
    {"UNMINUS", TfsOp::UnMinus, 1}, {"IN", TfsOp::In, 4},  {"IS", TfsOp::Is, 4},
    {"STRCAT", TfsOp::StrCat, 3},
};

const OpRule* FindOp(const std::string& text) {
  const std::string upper = core::AsciiUpper(text);
  for (const auto& r : kOpRules) {
    if (upper == r.text) return &r;
  }
  return nullptr;
}

bool IsComparison(TfsOp op) {
  return op == TfsOp::Great || op == TfsOp::Less || op == TfsOp::LessEq || op == TfsOp::GreatEq ||
         op == TfsOp::NonEq || op == TfsOp::Eq;
}

bool IsNumeric(TfsVarType t) {
  return t == TfsVarType::fvtInt || t == TfsVarType::fvtFloat || t == TfsVarType::fvtInt64 ||
         t == TfsVarType::fvtEnum;
}
bool IsText(TfsVarType t) { return t == TfsVarType::fvtString || t == TfsVarType::fvtChar; }

Variant ParseNumber(const std::string& text, bool& ok) {
  ok = true;
  if (!text.empty() && text[0] == '$') {
    uint64_t v = 0;
    for (size_t i = 1; i < text.size(); ++i) {
      char c = text[i];
      int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      if (v > (UINT64_MAX >> 4)) {
        ok = false;
        return Variant();
      }
      v = v * 16 + static_cast<uint64_t>(d);
    }
    if (v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
    if (v <= UINT32_MAX && text.size() <= 9) return Variant(static_cast<int64_t>(v));
    return Variant(static_cast<int64_t>(v));
  }
  if (text.find_first_of(".eE") == std::string::npos) {
    int64_t v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc() && p == text.data() + text.size()) {
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant(v);
    }
  }
  double d = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec == std::errc::result_out_of_range) {
    ok = false;
    return Variant();
  }
  if (ec != std::errc()) ok = false;
  return Variant(d);
}

}  // namespace

TfsType TfsProgramBuilder::CheckBinary(const IlNode& at, TfsOp op, const TfsType& l, const TfsType& r) {
  using T = TfsVarType;
  const TfsType boolean{T::fvtBool, ""};
  if (op == TfsOp::Is) {
    if (r.code != T::fvtClass || (l.code != T::fvtClass && l.code != T::fvtVariant)) Error(at, "Incompatible types");
    return boolean;
  }
  if (op == TfsOp::In) return boolean;
  const bool variant = l.code == T::fvtVariant || r.code == T::fvtVariant;
  if (!variant) {
    auto inherits = [this](const std::string& a, const std::string& b) { return Inherits(a, b); };
    bool ok = TypesCompatible(l, r, TfsCompatUse::Operand, inherits) ||
              TypesCompatible(r, l, TfsCompatUse::Operand, inherits) ||
              // text with a number follows the variant rules at run time
              (IsText(l.code) && IsNumeric(r.code)) || (IsNumeric(l.code) && IsText(r.code));
    if (!ok) Error(at, "Incompatible types");
    auto only = [&](std::initializer_list<TfsOp> allowed) {
      for (TfsOp a : allowed) {
        if (a == op) return;
      }
      Error(at, "Incompatible types");
    };
    if (l.code == T::fvtBool || r.code == T::fvtBool) {
      only({TfsOp::NonEq, TfsOp::Eq, TfsOp::Or, TfsOp::Xor, TfsOp::And});
    }
    if (IsText(l.code) || IsText(r.code)) {
      only({TfsOp::Great, TfsOp::Less, TfsOp::LessEq, TfsOp::GreatEq, TfsOp::NonEq, TfsOp::Eq, TfsOp::Plus,
            TfsOp::StrCat});
    }
    if (l.code == T::fvtClass || r.code == T::fvtClass || l.code == T::fvtArray || r.code == T::fvtArray) {
      only({TfsOp::NonEq, TfsOp::Eq});
    }
  }
  if (IsComparison(op)) return boolean;
  if (op == TfsOp::DivFloat) {
    return variant ? TfsType{T::fvtVariant, ""} : TfsType{T::fvtFloat, ""};
  }
  if ((l.code == T::fvtInt && r.code == T::fvtFloat) || (l.code == T::fvtFloat && r.code == T::fvtInt)) {
    return {T::fvtFloat, ""};
  }
  if (op == TfsOp::DivInt || op == TfsOp::Mod || op == TfsOp::Shl || op == TfsOp::Shr) {
    if (l.code == T::fvtFloat || r.code == T::fvtFloat) Error(at, "Incompatible types");
  }
  return l;
}

void TfsProgramBuilder::RequireIndex(const TfsExpr& value) {
  // Set literals are arrays too, but only designators name a stored array that wants an index.
  const bool designator =
      dynamic_cast<const TfsVariableExpr*>(&value) != nullptr || dynamic_cast<const TfsDesignator*>(&value) != nullptr;
  if (designator && value.type.code == TfsVarType::fvtArray) {
    throw EBuildError("Index required", value.line, value.column, unit_ != nullptr ? *unit_ : std::string());
  }
}

void TfsProgramBuilder::RequireIndexFor(const TfsType& target, const TfsExpr& value) {
  if (target.code != TfsVarType::fvtArray && target.code != TfsVarType::fvtVariant) RequireIndex(value);
}

TfsExprPtr TfsProgramBuilder::BuildExpr(TfsScript& scope, const IlNode& expr) {
  const auto& items = expr.children;
  int operators = 0;
  for (const auto& c : items) {
    if (c->Is(IlKind::kOp) && ++operators > kMaxOperatorsPerExpression) Error(expr, "Expression too complex");
  }
  size_t pos = 0;
  // Operands with their prefix operators.
  std::function<TfsExprPtr()> unary = [&]() -> TfsExprPtr {
    if (pos >= items.size()) Error(expr, "Expression expected");
    const IlNode& n = *items[pos];
    if (n.Is(IlKind::kOp)) {
      const OpRule* rule = FindOp(n.text);
      if (rule == nullptr || (rule->op != TfsOp::Not && rule->op != TfsOp::UnMinus)) {
        Error(n, "Expression expected");
      }
      ++pos;
      TfsExprPtr operand = unary();
      RequireIndex(*operand);
      const TfsVarType t = operand->type.code;
      if (rule->op == TfsOp::Not) {
        if (!(t == TfsVarType::fvtBool || t == TfsVarType::fvtInt || t == TfsVarType::fvtInt64 ||
              t == TfsVarType::fvtVariant)) {
          Error(n, "Incompatible types");
        }
      } else if (!(IsNumeric(t) || t == TfsVarType::fvtVariant)) {
        Error(n, "Incompatible types");
      }
      TfsType type = operand->type;
      auto e = MakeUnary(rule->op, std::move(operand), script_);
      e->type = type;
      e->line = n.line;
      e->column = n.column;
      return e;
    }
    ++pos;
    return BuildOperand(scope, n);
  };
  std::function<TfsExprPtr(int)> binary = [&](int max_priority) -> TfsExprPtr {
    TfsExprPtr left = unary();
    while (pos < items.size() && items[pos]->Is(IlKind::kOp)) {
      const IlNode& op_node = *items[pos];
      const OpRule* rule = FindOp(op_node.text);
      if (rule == nullptr || rule->priority == 1) Error(op_node, "Expression expected");
      if (rule->priority > max_priority) break;
      ++pos;
      TfsExprPtr right = binary(rule->priority - 1);
      // Whole arrays may only be compared with each other (or with a variant that may hold one).
      if (rule->op == TfsOp::In) {
        RequireIndex(*left);
      } else if (rule->op != TfsOp::Is) {
        const bool comparison = rule->op == TfsOp::Eq || rule->op == TfsOp::NonEq;
        auto holds_array = [](const TfsExpr& e) {
          return e.type.code == TfsVarType::fvtArray || e.type.code == TfsVarType::fvtVariant;
        };
        if (!comparison || !holds_array(*right)) RequireIndex(*left);
        if (!comparison || !holds_array(*left)) RequireIndex(*right);
      }
      TfsType type = CheckBinary(op_node, rule->op, left->type, right->type);
      const int line = left->line, column = left->column;
      left = MakeBinary(rule->op, std::move(left), std::move(right), script_);
      left->type = type;
      left->line = line;
      left->column = column;
    }
    return left;
  };
  TfsExprPtr e = binary(4);
  if (pos != items.size()) Error(*items[pos], "Expression expected");
  e->source = SourceSpan(expr.offset, expr.end_offset);
  return e;
}

TfsExprPtr TfsProgramBuilder::BuildOperand(TfsScript& scope, const IlNode& n) {
  TfsExprPtr e;
  if (n.Is(IlKind::kNumber)) {
    bool ok = true;
    Variant v = ParseNumber(n.text, ok);
    if (!ok) Error(n, "Invalid number: " + n.text);
    auto c = std::make_unique<TfsConstExpr>(v);
    c->type = {v.kind() == Variant::Kind::Double ? TfsVarType::fvtFloat : TfsVarType::fvtInt, ""};
    e = std::move(c);
  } else if (n.Is(IlKind::kString)) {
    std::string text = n.text;
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') text = text.substr(1, text.size() - 2);
    auto c = std::make_unique<TfsConstExpr>(Variant(text));
    c->type = {TfsVarType::fvtString, ""};
    e = std::move(c);
  } else if (n.Is(IlKind::kExpr)) {
    e = BuildExpr(scope, n);
  } else if (n.Is(IlKind::kSet)) {
    e = BuildSet(scope, n);
  } else if (n.Is(IlKind::kDsgn)) {
    e = BuildDesignator(scope, n);
  } else {
    Error(n, "Expression expected");
  }
  e->line = n.line;
  e->column = n.column;
  if (e->source.empty()) e->source = SourceSpan(n.offset, n.end_offset);
  return e;
}

std::unique_ptr<TfsSetExpr> TfsProgramBuilder::BuildSet(TfsScript& scope, const IlNode& set) {
  auto s = std::make_unique<TfsSetExpr>();
  s->type = {TfsVarType::fvtArray, ""};
  s->line = set.line;
  s->column = set.column;
  bool range_next = false;
  for (const auto& c : set.children) {
    if (c->Is(IlKind::kRange)) {
      range_next = true;
    } else if (c->Is(IlKind::kExpr)) {
      if (range_next && !s->items.empty()) {
        s->items.back().high = BuildExpr(scope, *c);
      } else {
        s->items.push_back({BuildExpr(scope, *c), nullptr});
      }
      range_next = false;
    }
  }
  return s;
}

void TfsProgramBuilder::BuildArgs(TfsScript& scope, const Step& step, TfsCustomVariable& callee,
                                  TfsDesignatorPart& part) {
  const auto& formal = callee.params;
  if (step.args.size() > formal.size()) Error(*step.at, "Too many actual parameters");
  if (static_cast<int>(step.args.size()) < callee.RequiredParams()) Error(*step.at, "Not enough actual parameters");
  auto inherits = [this](const std::string& a, const std::string& b) { return Inherits(a, b); };
  for (size_t i = 0; i < formal.size(); ++i) {
    if (i < step.args.size()) {
      TfsExprPtr arg = BuildExpr(scope, *step.args[i]);
      TfsType ft = formal[i]->Type();
      if (ft.code == TfsVarType::fvtVariant && !ft.name.empty()) ft = scope.ResolveType(ft.name);
      if (ft.code == TfsVarType::fvtClass && FindClassOrNull(ft.name) == nullptr) ft = {TfsVarType::fvtVariant, ""};
      RequireIndexFor(ft, *arg);
      if (!TypesCompatible(ft, arg->type, TfsCompatUse::Assignment, inherits)) {
        Error(*step.args[i], "Incompatible types: '" + ft.Reported() + "', '" + arg->type.Reported() + "'");
      }
      part.var_targets.push_back(formal[i]->is_var && arg->CanAssign() ? arg.get() : nullptr);
      part.args.push_back(std::move(arg));
    } else {
      auto c = std::make_unique<TfsConstExpr>(formal[i]->default_value);
      c->type = formal[i]->Type();
      c->source = core::VarToStr(formal[i]->default_value);
      part.var_targets.push_back(nullptr);
      part.args.push_back(std::move(c));
    }
  }
}

TfsClassVariable* TfsProgramBuilder::FindClassOrNull(const std::string& name) const {
  return name.empty() ? nullptr : script_.FindClass(name);
}

std::unique_ptr<TfsDesignatorPart> TfsProgramBuilder::MemberPart(TfsScript& scope, const Step& step,
                                                                 TfsClassVariable* cls, TfsCustomVariable* member) {
  std::unique_ptr<TfsDesignatorPart> part;
  if (auto* m = dynamic_cast<TfsMethodHelper*>(member)) {
    auto p = std::make_unique<TfsMethodPart>(m, cls, &script_);
    BuildArgs(scope, step, *m, *p);
    if (m->is_constructor) {
      p->type = {TfsVarType::fvtClass, cls != nullptr ? cls->Name() : m->Type().name};
    } else if (m->result_type_name.empty()) {
      p->type = {TfsVarType::fvtVariant, ""};
    } else {
      p->type = scope.ResolveType(m->result_type_name);
    }
    p->assignable = m->is_index && !m->read_only;
    part = std::move(p);
  } else if (auto* pr = dynamic_cast<TfsPropertyHelper*>(member)) {
    if (step.has_args && !step.args.empty()) Error(*step.at, "Too many actual parameters");
    auto p = std::make_unique<TfsPropertyPart>(pr, cls);
    p->type = pr->Type();
    p->assignable = !pr->read_only;
    part = std::move(p);
  } else if (auto* ev = dynamic_cast<TfsEventHelper*>(member)) {
    auto p = std::make_unique<TfsEventPart>(ev, &script_);
    p->type = {TfsVarType::fvtString, ""};
    p->assignable = true;
    part = std::move(p);
  } else if (auto* co = dynamic_cast<TfsComponentHelper*>(member)) {
    auto p = std::make_unique<TfsComponentPart>(co);
    p->type = co->Type();
    part = std::move(p);
  } else {
    Error(*step.at, "Undeclared identifier: '" + step.name + "'");
  }
  part->name = step.name;
  return part;
}

TfsExprPtr TfsProgramBuilder::BuildDesignator(TfsScript& scope, const IlNode& dsgn) {
  std::vector<Step> steps;
  bool addr = false;
  for (const auto& c : dsgn.children) {
    if (c->Is(IlKind::kAddr)) {
      addr = true;
    } else if (c->Is(IlKind::kNode)) {
      steps.push_back({c.get(), c->text, {}, false});
    } else if (c->Is(IlKind::kExpr)) {
      if (steps.empty()) Error(*c, "Identifier expected");
      steps.back().args.push_back(c.get());
      steps.back().has_args = true;
    }
  }
  if (steps.empty() || steps[0].name == "[") Error(dsgn, "Identifier expected");
  if (addr) {
    // "@Name" is the name as a string (event handlers are assigned by name).
    TfsCustomVariable* item = scope.Find(steps[0].name);
    if (item == nullptr || steps.size() > 1) Error(dsgn, "Variable required");
    auto c = std::make_unique<TfsConstExpr>(Variant(item->Name()));
    c->type = {TfsVarType::fvtString, ""};
    return c;
  }
  auto d = std::make_unique<TfsDesignator>();
  d->line = dsgn.line;
  d->column = dsgn.column;
  TfsType current;
  TfsClassVariable* cls = nullptr;
  auto inherits = [this](const std::string& a, const std::string& b) { return Inherits(a, b); };
  (void)inherits;

  // --- the first name
  const Step& first = steps[0];
  bool resolved = false;
  for (auto it = withs_.rbegin(); it != withs_.rend() && !resolved; ++it) {
    TfsCustomVariable* wv = it->variable;
    if (wv->Type().code == TfsVarType::fvtClass) {
      TfsClassVariable* wc = script_.FindClass(wv->Type().name);
      TfsCustomVariable* member = wc != nullptr ? wc->FindMember(first.name) : nullptr;
      if (member == nullptr) continue;
      d->parts.push_back(std::make_unique<TfsVariablePart>(wv));
      auto part = MemberPart(scope, first, wc, member);
      current = part->type;
      d->parts.push_back(std::move(part));
      resolved = true;
    } else if (scope.Find(first.name) == nullptr) {
      d->parts.push_back(std::make_unique<TfsVariablePart>(wv));
      auto part = std::make_unique<TfsLateBoundPart>(first.name, &script_);
      for (const IlNode* a : first.args) part->args.push_back(BuildExpr(scope, *a));
      part->type = {TfsVarType::fvtVariant, ""};
      part->assignable = true;
      d->parts.push_back(std::move(part));
      current = {TfsVarType::fvtVariant, ""};
      resolved = true;
    }
  }
  if (!resolved) {
    TfsCustomVariable* item = scope.Find(first.name);
    if (item == nullptr) {
      if (declare_vars_) Error(*first.at, "Undeclared identifier: '" + first.name + "'");
      item = script_.AddItem(std::make_unique<TfsVariable>(first.name, TfsType{TfsVarType::fvtVariant, ""}), false);
    }
    if (auto* proc = dynamic_cast<TfsProcVariable*>(item)) {
      auto part = std::make_unique<TfsProcCallPart>(proc, &scope);
      BuildArgs(scope, first, *proc, *part);
      part->type = proc->is_function ? proc->Type() : TfsType{TfsVarType::fvtVariant, ""};
      part->name = proc->Name();
      current = part->type;
      d->parts.push_back(std::move(part));
    } else if (auto* m = dynamic_cast<TfsMethodHelper*>(item)) {
      auto part = MemberPart(scope, first, nullptr, m);
      current = part->type;
      d->parts.push_back(std::move(part));
    } else if (auto* c = dynamic_cast<TfsClassVariable*>(item)) {
      if (first.has_args) Error(*first.at, "Too many actual parameters");
      auto part = std::make_unique<TfsClassRefPart>(c);
      part->type = {TfsVarType::fvtClass, c->Name()};
      current = part->type;
      d->parts.push_back(std::move(part));
    } else if (dynamic_cast<TfsTypeVariable*>(item) != nullptr) {
      Error(*first.at, "Variable required");
    } else {
      if (first.has_args) Error(*first.at, "Too many actual parameters");
      if (steps.size() == 1) {
        // The script's own variables and parameters have no value hook.
        const bool direct = item->added_by == nullptr && dynamic_cast<TfsVariable*>(item) != nullptr &&
                            !static_cast<TfsVariable*>(item)->on_get_value;
        auto v = std::make_unique<TfsVariableExpr>(item, direct);
        v->type = item->Type();
        v->line = dsgn.line;
        v->column = dsgn.column;
        return v;
      }
      auto part = std::make_unique<TfsVariablePart>(item);
      current = part->type;
      d->parts.push_back(std::move(part));
    }
  }

  // --- the steps that follow, each resolved against the type so far
  for (size_t i = 1; i < steps.size(); ++i) {
    Step step = steps[i];
    // An indexed property takes the index that follows it: l.Strings[2].
    if (step.name != "[" && !step.has_args && i + 1 < steps.size() && steps[i + 1].name == "[" &&
        current.code == TfsVarType::fvtClass) {
      TfsClassVariable* owner = script_.FindClass(current.name);
      auto* m = owner != nullptr ? dynamic_cast<TfsMethodHelper*>(owner->FindMember(step.name)) : nullptr;
      if (m != nullptr && m->is_index) {
        step.args = steps[i + 1].args;
        step.has_args = true;
        ++i;
      }
    }
    const TfsVarType code = current.code;
    cls = code == TfsVarType::fvtClass ? script_.FindClass(current.name) : nullptr;
    std::unique_ptr<TfsDesignatorPart> part;
    if (step.name == "[") {
      if (step.args.empty()) Error(*step.at, "Expression expected");
      if (code == TfsVarType::fvtClass && cls != nullptr) {
        TfsMethodHelper* def = cls->DefaultProperty();
        if (def == nullptr) Error(*step.at, "Class " + cls->Name() + " does not have a default property");
        part = MemberPart(scope, step, cls, def);
      } else if (code == TfsVarType::fvtString || code == TfsVarType::fvtChar) {
        if (step.args.size() != 1) Error(*step.at, "Too many actual parameters");
        part = std::make_unique<TfsIndexPart>();
        part->args.push_back(BuildExpr(scope, *step.args[0]));
        part->type = {TfsVarType::fvtChar, ""};
        part->assignable = true;
      } else if (code == TfsVarType::fvtArray || code == TfsVarType::fvtVariant) {
        part = std::make_unique<TfsIndexPart>();
        for (const IlNode* a : step.args) part->args.push_back(BuildExpr(scope, *a));
        part->type = {TfsVarType::fvtVariant, ""};
        part->assignable = true;
      } else {
        Error(*step.at, "Array type required");
      }
      part->name = "[";
    } else if (code == TfsVarType::fvtString || code == TfsVarType::fvtChar) {
      Error(*step.at, "Strings doesn't have properties or methods");
    } else if (code == TfsVarType::fvtClass && cls != nullptr && cls->FindMember(step.name) != nullptr) {
      part = MemberPart(scope, step, cls, cls->FindMember(step.name));
    } else if (code == TfsVarType::fvtVariant || (script_.late_binding && !script_.IsRunning() &&
                                                  code == TfsVarType::fvtClass)) {
      auto late = std::make_unique<TfsLateBoundPart>(step.name, &script_);
      for (const IlNode* a : step.args) late->args.push_back(BuildExpr(scope, *a));
      late->type = {TfsVarType::fvtVariant, ""};
      late->assignable = true;
      part = std::move(late);
    } else {
      Error(*step.at, "Undeclared identifier: '" + step.name + "'");
    }
    current = part->type;
    d->parts.push_back(std::move(part));
  }
  d->type = current;
  return d;
}

}  // namespace lgoty::script
