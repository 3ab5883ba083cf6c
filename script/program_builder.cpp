// Declarations and statements. Expressions and designators: expression_builder.cpp.
#include "script/program_builder.h"

#include "script/designator.h"
#include "script/parser.h"

namespace lgoty::script {

namespace {

bool IsStatementNode(const IlNode& n) {
  switch (n.kind) {
    case IlKind::kCompoundStmt: case IlKind::kAssignStmt: case IlKind::kCallStmt:
    case IlKind::kBreak: case IlKind::kContinue: case IlKind::kExit: case IlKind::kIfStmt:
    case IlKind::kCaseStmt: case IlKind::kRepeatStmt: case IlKind::kWhileStmt:
    case IlKind::kForStmt: case IlKind::kTryStmt: case IlKind::kWith:
      return true;
    default:
      return false;
  }
}

TfsType TypeOfValue(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Boolean: return {TfsVarType::fvtBool, ""};
    case Variant::Kind::Double:
    case Variant::Kind::Currency:
    case Variant::Kind::Date: return {TfsVarType::fvtFloat, ""};
    case Variant::Kind::String: return {TfsVarType::fvtString, ""};
    case Variant::Kind::Empty:
    case Variant::Kind::Null: return {TfsVarType::fvtVariant, ""};
    case Variant::Kind::Object: return {TfsVarType::fvtClass, ""};
    case Variant::Kind::Array: return {TfsVarType::fvtArray, ""};
    default: return {TfsVarType::fvtInt, ""};
  }
}

constexpr int32_t kMaxArrayElements = 1 << 24;

}  // namespace

void TfsProgramBuilder::Error(const IlNode& at, const std::string& message) {
  throw EBuildError(message, at.line, at.column, unit_ != nullptr ? *unit_ : std::string());
}

std::string TfsProgramBuilder::SourceSpan(int offset, int end_offset) const {
  if (offset < 0 || end_offset <= offset || static_cast<size_t>(end_offset) > text_->size()) return {};
  return text_->substr(static_cast<size_t>(offset), static_cast<size_t>(end_offset - offset));
}

template <class T>
std::unique_ptr<T> TfsProgramBuilder::Make(TfsScript& scope, const IlNode& at) {
  auto s = std::make_unique<T>(&scope);
  s->line = at.line;
  s->column = at.column;
  s->unit = unit_;
  return s;
}

void TfsProgramBuilder::Build(const IlNode& root) {
  script_.statement = Make<TfsStatementList>(script_, root);
  BuildBlock(script_, root, *script_.statement);
}

void TfsProgramBuilder::BuildBlock(TfsScript& scope, const IlNode& node, TfsStatementList& body) {
  for (const auto& child : node.children) {
    const IlNode& c = *child;
    if (c.Is(IlKind::kUses)) {
      if (c.unit.empty()) continue;  // the clause itself; units were inserted before it
      const std::string* outer = unit_;
      const std::string* outer_text = text_;
      script_.unit_names.push_back(c.unit);
      unit_ = &script_.unit_names.back();
      text_ = &c.unit_source;
      BuildBlock(scope, c, body);
      unit_ = outer;
      text_ = outer_text;
    } else if (c.Is(IlKind::kConst)) {
      DeclareConst(scope, c);
    } else if (c.Is(IlKind::kVar)) {
      DeclareVar(scope, c, nullptr, false, nullptr);
    } else if (c.Is(IlKind::kProcedure) || c.Is(IlKind::kFunction)) {
      DeclareProc(scope, c);
    } else if (c.Is(IlKind::kCompoundStmt)) {
      for (const auto& s : c.children) body.items.push_back(BuildStatement(scope, *s));
    }
  }
}

void TfsProgramBuilder::CheckNew(TfsScript& scope, const IlNode& at, const std::string& name) {
  // Only the script's own declarations clash; host registrations may be shadowed.
  if (scope.FindDeclared(name) != nullptr) Error(at, "Identifier redeclared: '" + name + "'");
}

Variant TfsProgramBuilder::EvalConst(TfsScript& scope, const IlNode& expr) {
  TfsExprPtr e = BuildExpr(scope, expr);
  try {
    return e->Eval();
  } catch (const EScriptAbort&) {
    throw;
  } catch (const std::exception& ex) {
    Error(expr, ex.what());
  }
}

void TfsProgramBuilder::DeclareConst(TfsScript& scope, const IlNode& n) {
  const IlNode* ident = n.Find(IlKind::kIdent);
  const IlNode* expr = n.Find(IlKind::kExpr);
  if (ident == nullptr || expr == nullptr) Error(n, "Identifier expected");
  CheckNew(scope, *ident, ident->text);
  Variant value = EvalConst(scope, *expr);
  auto v = std::make_unique<TfsVariable>(ident->text, TypeOfValue(value));
  v->Raw() = value;
  v->read_only = true;
  v->line = ident->line;
  v->column = ident->column;
  scope.AddItem(std::move(v), false);
}

TfsType TfsProgramBuilder::DeclaredType(TfsScript& scope, const IlNode& at, const std::string& name) {
  TfsVarType code;
  if (BuiltinTypeCode(name, code)) return {code, ""};
  TfsCustomVariable* item = scope.Find(name);
  if (auto* cls = dynamic_cast<TfsClassVariable*>(item)) return {TfsVarType::fvtClass, cls->Name()};
  if (dynamic_cast<TfsTypeVariable*>(item) != nullptr) return item->Type();
  Error(at, "Unknown type: '" + name + "'");
}

void TfsProgramBuilder::DeclareVar(TfsScript& scope, const IlNode& n, TfsScript* param_scope, bool is_var_param,
                                   std::vector<TfsParamItem*>* params) {
  const IlNode* type_node = n.Find(IlKind::kType);
  if (type_node == nullptr) Error(n, "Identifier expected");
  const IlNode* array = n.Find(IlKind::kArray);
  TfsType type = DeclaredType(scope, *type_node, type_node->text);
  Variant initial;
  bool has_initial = false;
  if (array != nullptr) {
    // Each dim is "low..high" or a count (0..count-1); nested arrays for several dims.
    std::vector<std::pair<int64_t, int64_t>> bounds;
    for (const auto& dim : array->children) {
      if (!dim->Is(IlKind::kDim)) continue;
      std::vector<const IlNode*> exprs;
      for (const auto& e : dim->children) {
        if (e->Is(IlKind::kExpr)) exprs.push_back(e.get());
      }
      if (exprs.empty()) continue;
      int64_t lo = 0, hi = 0;
      try {
        if (exprs.size() == 1) {
          hi = EvalConst(scope, *exprs[0]).AsInt64() - 1;
        } else {
          lo = EvalConst(scope, *exprs[0]).AsInt64();
          hi = EvalConst(scope, *exprs[1]).AsInt64();
        }
      } catch (const EBuildError&) {
        throw;
      } catch (const std::exception& e) {
        Error(*dim, e.what());
      }
      if (hi < lo - 1 || hi - lo + 1 > kMaxArrayElements || lo < INT32_MIN || hi > INT32_MAX) {
        Error(*dim, "Array bounds out of range");
      }
      bounds.emplace_back(lo, hi);
    }
    int64_t total = 1;
    for (auto& [lo, hi] : bounds) {
      total *= (hi - lo + 1);
      if (total > kMaxArrayElements) Error(*array, "Array bounds out of range");
    }
    Variant element = type.code == TfsVarType::fvtClass ? Variant() : ConvertForType(type.code, Variant());
    for (auto it = bounds.rbegin(); it != bounds.rend(); ++it) {
      std::vector<Variant> items(static_cast<size_t>(it->second - it->first + 1), element);
      element = Variant::Array(std::move(items), static_cast<int32_t>(it->first));
    }
    initial = bounds.empty() ? Variant::Array({}) : element;
    has_initial = true;
    type = {TfsVarType::fvtArray, ""};
  }
  if (const IlNode* init = n.Find(IlKind::kInit)) {
    if (const IlNode* e = init->Find(IlKind::kExpr)) {
      initial = EvalConst(scope, *e);
      has_initial = true;
    }
  }
  for (const auto& c : n.children) {
    if (!c->Is(IlKind::kIdent)) continue;
    TfsScript& target = param_scope != nullptr ? *param_scope : scope;
    CheckNew(target, *c, c->text);
    std::unique_ptr<TfsVariable> v;
    if (params != nullptr) {
      auto p = std::make_unique<TfsParamItem>(c->text, type, is_var_param, has_initial && array == nullptr,
                                              has_initial ? ConvertForType(type.code, initial) : Variant());
      params->push_back(p.get());
      v = std::move(p);
    } else {
      v = std::make_unique<TfsVariable>(c->text, type);
    }
    v->line = c->line;
    v->column = c->column;
    v->Raw() = has_initial ? (array != nullptr ? initial : ConvertForType(type.code, initial))
                           : (type.code == TfsVarType::fvtClass || type.code == TfsVarType::fvtVariant
                                  ? Variant()
                                  : ConvertForType(type.code, Variant()));
    target.AddItem(std::move(v), false);
  }
}

void TfsProgramBuilder::DeclareProc(TfsScript& scope, const IlNode& n) {
  const IlNode* name = n.Find(IlKind::kName);
  if (name == nullptr) Error(n, "Identifier expected");
  const bool is_function = n.Is(IlKind::kFunction);
  CheckNew(scope, *name, name->text);
  TfsType result_type{TfsVarType::fvtVariant, ""};
  if (is_function) {
    const IlNode* type = n.Find(IlKind::kType);
    if (type == nullptr) Error(n, "Identifier expected");
    result_type = DeclaredType(scope, *type, type->text);
  }
  auto proc = std::make_unique<TfsProcVariable>(name->text, result_type, is_function, &scope);
  TfsProcVariable* p = proc.get();
  p->line = name->line;
  p->column = name->column;
  scope.AddItem(std::move(proc), false);
  TfsScript& inner = *p->program;
  if (const IlNode* params = n.Find(IlKind::kParameters)) {
    bool next_is_var = false;
    for (const auto& c : params->children) {
      if (c->Is(IlKind::kVarParams)) {
        next_is_var = true;
      } else if (c->Is(IlKind::kVar)) {
        std::vector<TfsParamItem*> items;
        DeclareVar(scope, *c, &inner, next_is_var, &items);
        for (TfsParamItem* item : items) {
          p->param_items.push_back(item);
          p->params.push_back(std::make_unique<TfsParamItem>(item->Name(), item->Type(), item->is_var,
                                                             item->optional, item->default_value));
        }
        next_is_var = false;
      }
    }
  }
  if (is_function) {
    auto result = std::make_unique<TfsVariable>("Result", result_type);
    result->Raw() = Variant();
    p->result = inner.AddItem(std::move(result), false);
  }
  inner.statement = Make<TfsStatementList>(inner, n);
  functions_.push_back(p);
  struct Pop {
    std::vector<TfsProcVariable*>& v;
    ~Pop() { v.pop_back(); }
  } pop{functions_};
  // Hidden with-variables of an enclosing body are not visible inside a nested procedure.
  std::vector<WithEntry> outer_withs;
  outer_withs.swap(withs_);
  struct RestoreWiths {
    std::vector<WithEntry>& w;
    std::vector<WithEntry>& saved;
    ~RestoreWiths() { w.swap(saved); }
  } restore{withs_, outer_withs};
  BuildBlock(inner, n, *inner.statement);
}

TfsStatementPtr TfsProgramBuilder::BuildStatement(TfsScript& scope, const IlNode& n) {
  switch (n.kind) {
    case IlKind::kCompoundStmt: return BuildList(scope, n, 0, n.children.size());
    case IlKind::kAssignStmt: return BuildAssign(scope, n);
    case IlKind::kCallStmt: {
      auto s = Make<TfsCallStmt>(scope, n);
      const IlNode* d = n.Find(IlKind::kDsgn);
      if (d == nullptr) Error(n, "Statement expected");
      s->call = BuildDesignator(scope, *d);
      return s;
    }
    case IlKind::kBreak: return Make<TfsBreakStmt>(scope, n);
    case IlKind::kContinue: return Make<TfsContinueStmt>(scope, n);
    case IlKind::kExit: return Make<TfsExitStmt>(scope, n);
    case IlKind::kIfStmt: {
      auto s = Make<TfsIfStmt>(scope, n);
      const IlNode* cond = n.Find(IlKind::kExpr);
      if (cond == nullptr) Error(n, "Expression expected");
      s->condition = BuildExpr(scope, *cond);
      if (const IlNode* t = n.Find(IlKind::kThenStmt); t != nullptr && !t->children.empty()) {
        s->then_part = BuildStatement(scope, *t->children[0]);
      }
      if (const IlNode* e = n.Find(IlKind::kElseStmt); e != nullptr && !e->children.empty()) {
        s->else_part = BuildStatement(scope, *e->children[0]);
      }
      return s;
    }
    case IlKind::kCaseStmt: return BuildCase(scope, n);
    case IlKind::kRepeatStmt: {
      auto s = Make<TfsRepeatStmt>(scope, n);
      if (n.children.empty() || !n.children.back()->Is(IlKind::kExpr)) Error(n, "Expression expected");
      s->body = BuildList(scope, n, 0, n.children.size() - 1);
      s->condition = BuildExpr(scope, *n.children.back());
      return s;
    }
    case IlKind::kWhileStmt: {
      auto s = Make<TfsWhileStmt>(scope, n);
      if (n.children.empty() || !n.children[0]->Is(IlKind::kExpr)) Error(n, "Expression expected");
      s->condition = BuildExpr(scope, *n.children[0]);
      if (n.children.size() > 1) s->body = BuildStatement(scope, *n.children[1]);
      return s;
    }
    case IlKind::kForStmt: return BuildFor(scope, n);
    case IlKind::kTryStmt: return BuildTry(scope, n);
    case IlKind::kWith: return BuildWith(scope, n);
    default: break;
  }
  Error(n, "Statement expected");
}

std::unique_ptr<TfsStatementList> TfsProgramBuilder::BuildList(TfsScript& scope, const IlNode& n, size_t from,
                                                               size_t to) {
  auto list = Make<TfsStatementList>(scope, n);
  for (size_t i = from; i < to && i < n.children.size(); ++i) {
    if (IsStatementNode(*n.children[i])) list->items.push_back(BuildStatement(scope, *n.children[i]));
  }
  return list;
}

TfsStatementPtr TfsProgramBuilder::BuildCase(TfsScript& scope, const IlNode& n) {
  auto s = Make<TfsCaseStmt>(scope, n);
  const IlNode* sel = n.Find(IlKind::kExpr);
  if (sel == nullptr) Error(n, "Expression expected");
  s->selector = BuildExpr(scope, *sel);
  for (const auto& c : n.children) {
    if (c->Is(IlKind::kCaseSelector)) {
      TfsCaseSelector cs;
      const IlNode* set = c->Find(IlKind::kSet);
      if (set == nullptr) Error(*c, "Expression expected");
      cs.set = BuildSet(scope, *set);
      for (const auto& st : c->children) {
        if (IsStatementNode(*st)) cs.body = BuildStatement(scope, *st);
      }
      s->selectors.push_back(std::move(cs));
    } else if (c->Is(IlKind::kElseStmt) && !c->children.empty()) {
      s->else_part = BuildStatement(scope, *c->children[0]);
    }
  }
  return s;
}

TfsStatementPtr TfsProgramBuilder::BuildTry(TfsScript& scope, const IlNode& n) {
  auto s = Make<TfsTryStmt>(scope, n);
  size_t handler_at = n.children.size();
  for (size_t i = 0; i < n.children.size(); ++i) {
    if (n.children[i]->Is(IlKind::kFinallyStmt) || n.children[i]->Is(IlKind::kExceptStmt)) handler_at = i;
  }
  if (handler_at == n.children.size()) Error(n, "'FINALLY' or 'EXCEPT' expected");
  s->body = BuildList(scope, n, 0, handler_at);
  const IlNode& h = *n.children[handler_at];
  s->is_except = h.Is(IlKind::kExceptStmt);
  s->handler = BuildList(scope, h, 0, h.children.size());
  return s;
}

TfsStatementPtr TfsProgramBuilder::BuildFor(TfsScript& scope, const IlNode& n) {
  auto s = Make<TfsForStmt>(scope, n);
  const IlNode* ident = n.Find(IlKind::kIdent);
  if (ident == nullptr) Error(n, "Identifier expected");
  TfsCustomVariable* v = scope.Find(ident->text);
  if (v == nullptr) {
    if (declare_vars_) Error(*ident, "Undeclared identifier: '" + ident->text + "'");
    v = scope.AddItem(std::make_unique<TfsVariable>(ident->text, TfsType{TfsVarType::fvtVariant, ""}), false);
  }
  const TfsVarType code = v->Type().code;
  if (dynamic_cast<TfsVariable*>(v) == nullptr || v->read_only ||
      !(code == TfsVarType::fvtInt || code == TfsVarType::fvtFloat || code == TfsVarType::fvtVariant ||
        code == TfsVarType::fvtInt64)) {
    Error(*ident, "For loop variable must be numeric variable");
  }
  s->variable = v;
  std::vector<const IlNode*> exprs;
  const IlNode* body = nullptr;
  for (const auto& c : n.children) {
    if (c->Is(IlKind::kExpr)) {
      exprs.push_back(c.get());
    } else if (c->Is(IlKind::kDownTo)) {
      s->down = true;
    } else if (IsStatementNode(*c)) {
      body = c.get();
    }
  }
  if (exprs.size() != 2) Error(n, "Expression expected");
  s->start = BuildExpr(scope, *exprs[0]);
  s->stop = BuildExpr(scope, *exprs[1]);
  for (const IlNode* e : exprs) {
    const TfsType& t = (e == exprs[0] ? s->start : s->stop)->type;
    RequireIndex(*(e == exprs[0] ? s->start : s->stop));
    if (!TypesCompatible(v->Type(), t, TfsCompatUse::Operand,
                         [this](const std::string& a, const std::string& b) { return Inherits(a, b); })) {
      Error(*e, "Incompatible types: '" + v->Type().Reported() + "', '" + t.Reported() + "'");
    }
  }
  if (body != nullptr) s->body = BuildStatement(scope, *body);
  return s;
}

TfsStatementPtr TfsProgramBuilder::BuildWith(TfsScript& scope, const IlNode& n) {
  auto list = Make<TfsStatementList>(scope, n);
  size_t pushed = 0;
  struct Pop {
    std::vector<WithEntry>& w;
    size_t& count;
    ~Pop() { w.resize(w.size() - count); }
  } pop{withs_, pushed};
  const IlNode* body = nullptr;
  for (const auto& c : n.children) {
    if (!c->Is(IlKind::kDsgn)) {
      if (IsStatementNode(*c)) body = c.get();
      continue;
    }
    TfsExprPtr d = BuildDesignator(scope, *c);
    if (d->type.code != TfsVarType::fvtClass && d->type.code != TfsVarType::fvtVariant) {
      Error(*c, "Class type required");
    }
    std::string hidden;
    for (int i = 0;; ++i) {
      hidden = "_WithList_" + std::to_string(i);
      if (scope.FindLocal(hidden) == nullptr) break;
    }
    TfsCustomVariable* v = scope.AddItem(std::make_unique<TfsVariable>(hidden, d->type), false);
    auto w = Make<TfsWithStmt>(scope, *c);
    w->variable = v;
    w->designator = std::move(d);
    list->items.push_back(std::move(w));
    withs_.push_back({v});
    ++pushed;
  }
  if (body != nullptr) list->items.push_back(BuildStatement(scope, *body));
  return list;
}

TfsStatementPtr TfsProgramBuilder::BuildAssign(TfsScript& scope, const IlNode& n) {
  const IlNode* target_node = n.Find(IlKind::kDsgn);
  const IlNode* value_node = n.Find(IlKind::kExpr);
  if (target_node == nullptr || value_node == nullptr) Error(n, "Expression expected");
  TfsExprPtr target;
  // Inside a function, its own name stands for its result.
  if (target_node->children.size() == 1 && !functions_.empty()) {
    const std::string upper = core::AsciiUpper(target_node->children[0]->text);
    for (auto it = functions_.rbegin(); it != functions_.rend(); ++it) {
      if ((*it)->UpperName() == upper && (*it)->result != nullptr) {
        auto e = std::make_unique<TfsVariableExpr>((*it)->result);
        e->type = (*it)->result->Type();
        target = std::move(e);
        break;
      }
    }
  }
  if (!target) target = BuildDesignator(scope, *target_node);
  if (!target->CanAssign()) Error(*target_node, "Left side cannot be assigned to");
  // An event takes the name of a procedure.
  auto* dsgn = dynamic_cast<TfsDesignator*>(target.get());
  if (dsgn != nullptr && dynamic_cast<TfsEventPart*>(dsgn->parts.back().get()) != nullptr) {
    auto s = Make<TfsAssignmentStmt>(scope, n);
    const IlNode* only = value_node->children.size() == 1 ? value_node->children[0].get() : nullptr;
    if (only != nullptr && only->Is(IlKind::kDsgn) && only->children.size() == 1) {
      TfsCustomVariable* item = scope.Find(only->children[0]->text);
      auto* constant = dynamic_cast<TfsVariable*>(item);
      if (constant != nullptr && constant->read_only && constant->Raw().kind() == Variant::Kind::Object &&
          constant->Raw().AsObject() == nullptr) {
        // nil, the constant for "no object", disconnects the event as 0 does.
        s->value = std::make_unique<TfsConstExpr>(Variant("0"));
      } else {
        if (dynamic_cast<TfsProcVariable*>(item) == nullptr) Error(*only, "Event handler must be a procedure");
        s->value = std::make_unique<TfsConstExpr>(Variant(item->Name()));
      }
    } else {
      s->value = BuildExpr(scope, *value_node);
      if (auto* c = dynamic_cast<TfsConstExpr*>(s->value.get())) {
        std::string text = core::VarToStr(c->value);
        if (text != "0" && dynamic_cast<TfsProcVariable*>(scope.Find(text)) == nullptr) {
          Error(*value_node, "Event handler must be a procedure");
        }
      }
    }
    s->target = std::move(target);
    return s;
  }
  // v := v op e  ->  the compound form that evaluates only e.
  TfsCustomVariable* var = nullptr;
  if (auto* ve = dynamic_cast<TfsVariableExpr*>(target.get())) var = ve->variable;
  if (var != nullptr && value_node->children.size() == 3 && value_node->children[1]->Is(IlKind::kOp)) {
    const IlNode& a = *value_node->children[0];
    const IlNode& op = *value_node->children[1];
    const IlNode& b = *value_node->children[2];
    auto same = [&](const IlNode& d) {
      return d.Is(IlKind::kDsgn) && d.children.size() == 1 && d.children[0]->Is(IlKind::kNode) &&
             scope.Find(d.children[0]->text) == var && withs_.empty();
    };
    const std::string o = core::AsciiUpper(op.text);
    TfsOp code = o == "+" ? TfsOp::Plus : o == "-" ? TfsOp::Minus : o == "*" ? TfsOp::Mul
               : o == "/" ? TfsOp::DivFloat : TfsOp::None;
    const bool textual = var->Type().code == TfsVarType::fvtString || var->Type().code == TfsVarType::fvtVariant ||
                         var->Type().code == TfsVarType::fvtChar;
    const IlNode* other = nullptr;
    bool value_first = false;
    if (code != TfsOp::None && same(a)) {
      other = &b;
    } else if ((code == TfsOp::Plus || code == TfsOp::Mul) && same(b) && !textual) {
      other = &a;
      value_first = true;
    }
    if (other != nullptr) {
      // Checked as the plain expression would be.
      TfsExprPtr full = BuildExpr(scope, *value_node);
      CheckAssignable(*value_node, var->Type(), full->type);
      auto s = std::make_unique<TfsCompoundAssignStmt>(&scope, code);
      s->line = n.line;
      s->column = n.column;
      s->unit = unit_;
      s->variable = var;
      s->value_first = value_first;
      s->direct = var->added_by == nullptr && dynamic_cast<TfsVariable*>(var) != nullptr &&
                  !static_cast<TfsVariable*>(var)->on_get_value && !var->read_only &&
                  (var->Type().code == TfsVarType::fvtInt || var->Type().code == TfsVarType::fvtVariant);
      // Build the lone operand through the expression path (it may be any operand).
      s->value = BuildOperand(scope, *other);
      return s;
    }
  }
  auto s = Make<TfsAssignmentStmt>(scope, n);
  s->value = BuildExpr(scope, *value_node);
  RequireIndexFor(target->type, *s->value);
  CheckAssignable(*value_node, target->type, s->value->type);
  s->target = std::move(target);
  return s;
}

void TfsProgramBuilder::CheckAssignable(const IlNode& at, const TfsType& target, const TfsType& value) {
  if (!TypesCompatible(target, value, TfsCompatUse::Assignment,
                       [this](const std::string& a, const std::string& b) { return Inherits(a, b); })) {
    Error(at, "Incompatible types: '" + target.Reported() + "', '" + value.Reported() + "'");
  }
}

}  // namespace lgoty::script
