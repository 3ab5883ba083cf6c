#include "script/statements.h"

#include "script/interpreter.h"

namespace lgoty::script {

namespace {

// Loop bodies stop on break, exit and termination.
bool LoopEnds(const TfsExecFlags& f) { return f.brk || f.exit || f.terminated; }

bool Truth(const Variant& v) {
  if (v.kind() == Variant::Kind::Boolean) return v.ordinal() != 0;
  return v.AsBoolean();
}

}  // namespace

bool TfsStatement::Enter() {
  script->runtime().Tick(*script, unit, line, column);
  return !script->flags.terminated;
}

void TfsStatementList::Run() {
  if (!Enter()) return;
  RunItems();
}

void TfsStatementList::RunItems() {
  TfsExecFlags& f = script->flags;
  for (auto& item : items) {
    if (f.exit || f.terminated) return;
    item->Run();
    if (f.brk || f.cont) return;
  }
}

void TfsAssignmentStmt::Run() {
  if (!Enter()) return;
  target->Assign(value->Eval());
}

void TfsCompoundAssignStmt::Run() {
  if (!Enter()) return;
  Variant e = value->Eval();
  if (direct && op == TfsOp::Plus && e.kind() == Variant::Kind::Integer) {
    Variant& raw = variable->Raw();
    if (raw.kind() == Variant::Kind::Integer) {
      const int64_t sum = raw.ordinal() + e.ordinal();
      if (sum >= INT32_MIN && sum <= INT32_MAX) {
        raw = Variant(static_cast<int32_t>(sum));
        return;
      }
    }
  }
  Variant v = variable->GetValue();
  const core::FormatSettings& fs = core::DefaultFormatSettings();
  switch (op) {
    case TfsOp::Plus:
      if (v.kind() == Variant::Kind::Integer && e.kind() == Variant::Kind::Integer) {
        int64_t sum = v.ordinal() + e.ordinal();
        if (sum >= INT32_MIN && sum <= INT32_MAX) {
          variable->SetValue(Variant(static_cast<int32_t>(sum)));
          return;
        }
      }
      v = value_first ? core::VarAdd(e, v, fs) : core::VarAdd(v, e, fs);
      if (v.IsString() && v.text().size() > script->runtime().max_string) {
        throw EScriptError("String too long");
      }
      break;
    case TfsOp::Minus:
      v = core::VarSub(v, e, fs);
      break;
    case TfsOp::Mul:
      v = value_first ? core::VarMul(e, v, fs) : core::VarMul(v, e, fs);
      break;
    default:
      v = core::VarDiv(v, e, fs);
      break;
  }
  variable->SetValue(v);
}

void TfsCallStmt::Run() {
  if (!Enter()) return;
  call->Eval();
}

void TfsIfStmt::Run() {
  if (!Enter()) return;
  Variant c = condition->Eval();
  bool truth = c.kind() == Variant::Kind::Boolean ? c.ordinal() != 0 : false;
  if (c.kind() != Variant::Kind::Boolean && !c.IsEmptyOrNull()) truth = c.AsBoolean();
  if (truth) {
    if (then_part) then_part->Run();
  } else if (else_part) {
    else_part->Run();
  }
}

void TfsCaseStmt::Run() {
  if (!Enter()) return;
  Variant v = selector->Eval();
  for (auto& s : selectors) {
    if (s.set->Contains(v)) {
      if (s.body) s.body->Run();
      return;
    }
  }
  if (else_part) else_part->Run();
}

void TfsRepeatStmt::Run() {
  if (!Enter()) return;
  TfsExecFlags& f = script->flags;
  for (;;) {
    body->Run();
    if (LoopEnds(f)) break;
    f.cont = false;
    if (Truth(condition->Eval())) break;
  }
  f.brk = false;
}

void TfsWhileStmt::Run() {
  if (!Enter()) return;
  TfsExecFlags& f = script->flags;
  for (;;) {
    if (!Truth(condition->Eval())) break;
    if (body) {
      body->Run();
    } else {
      script->runtime().Tick(*script, unit, line, column);
    }
    if (LoopEnds(f)) break;
    f.cont = false;
  }
  f.brk = false;
}

void TfsForStmt::Run() {
  if (!Enter()) return;
  TfsExecFlags& f = script->flags;
  const int64_t first = start->Eval().AsInt64();
  const int64_t last = stop->Eval().AsInt64();
  if (down ? first < last : last < first) return;
  const uint64_t rounds = down ? static_cast<uint64_t>(first - last) + 1
                               : static_cast<uint64_t>(last - first) + 1;
  int64_t value = first;
  const bool wide = variable->Type().code == TfsVarType::fvtInt64 ||
                    variable->Type().code == TfsVarType::fvtVariant;
  for (uint64_t i = 0; i < rounds; ++i) {
    if (wide || (value >= INT32_MIN && value <= INT32_MAX)) {
      variable->SetValue(value >= INT32_MIN && value <= INT32_MAX ? Variant(static_cast<int32_t>(value))
                                                                   : Variant(value));
    } else {
      variable->SetValue(Variant(value));
    }
    if (body) {
      body->Run();
    } else {
      script->runtime().Tick(*script, unit, line, column);
    }
    if (LoopEnds(f)) break;
    f.cont = false;
    value += down ? -1 : 1;
  }
  f.brk = false;
}

void TfsTryStmt::Run() {
  if (!Enter()) return;
  TfsExecFlags& f = script->flags;
  if (!is_except) {
    // The finally part runs whatever happened; exit, break and continue requested by the
    // body are held back while it runs (so it runs completely) and restored afterwards.
    auto run_finally = [&] {
      TfsExecFlags saved = f;
      f.exit = f.brk = f.cont = false;
      handler->Run();
      f.exit = f.exit || saved.exit;
      f.brk = f.brk || saved.brk;
      f.cont = f.cont || saved.cont;
    };
    try {
      body->Run();
    } catch (const EScriptAbort&) {
      throw;
    } catch (...) {
      run_finally();
      throw;
    }
    run_finally();
    return;
  }
  std::string class_name, message;
  try {
    body->Run();
    return;
  } catch (const EScriptAbort&) {
    throw;
  } catch (const core::Exception& e) {
    class_name = e.ClassName();
    message = e.Message();
  } catch (const std::bad_alloc&) {
    class_name = "EOutOfMemory";
    message = "Out of memory";
  } catch (const std::exception& e) {
    class_name = "Exception";
    message = e.what();
  }
  auto set = [&](const char* name, const std::string& value) {
    TfsCustomVariable* v = script->Find(name);
    if (v == nullptr) {
      v = script->AddItem(std::make_unique<TfsVariable>(name, TfsType{TfsVarType::fvtVariant, ""}), false);
    }
    v->SetValue(Variant(value));
  };
  set("ExceptionClassName", class_name);
  set("ExceptionMessage", message);
  handler->Run();
}

void TfsBreakStmt::Run() {
  if (Enter()) script->flags.brk = true;
}

void TfsContinueStmt::Run() {
  if (Enter()) script->flags.cont = true;
}

void TfsExitStmt::Run() {
  if (Enter()) script->flags.exit = true;
}

void TfsWithStmt::Run() {
  if (!Enter()) return;
  variable->SetValue(designator->Eval());
}

}  // namespace lgoty::script
