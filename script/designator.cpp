#include "script/designator.h"

#include "core/utf8_text.h"

#include "core/text_format.h"
#include "script/interpreter.h"

namespace lgoty::script {

Variant RunProcedure(TfsProcVariable& proc, std::vector<Variant>& args);

void TfsExpr::Assign(const Variant&) { throw EScriptError("Left side cannot be assigned to"); }

void TfsDesignatorPart::Write(const Variant&, const Variant&) {
  throw EScriptError("Left side cannot be assigned to");
}

Variant TfsDesignatorPart::Update(const Variant& container, const Variant&) { return container; }

bool Utf8CharAt(const std::string& text, int64_t index, size_t& offset, size_t& length) {
  if (index < 1) return false;
  const size_t at = core::Utf8Offset(text, static_cast<size_t>(index - 1));
  if (at >= text.size()) return false;
  offset = at;
  length = core::Utf8NextChar(text, at) - at;
  return true;
}

core::TObject* ObjectOf(const Variant& value, const std::string& member) {
  if (value.IsObject() && value.AsObject() != nullptr) return value.AsObject();
  throw EScriptError("Object reference is nil (member '" + member + "')");
}

// --- TfsDesignator

Variant TfsDesignator::EvalPrefix(size_t count) {
  Variant v;
  for (size_t i = 0; i < count; ++i) v = parts[i]->Read(v);
  return v;
}

Variant TfsDesignator::Eval() { return EvalPrefix(parts.size()); }

void TfsDesignator::AssignPrefix(size_t count, const Variant& value) {
  TfsDesignatorPart& last = *parts[count - 1];
  Variant parent = EvalPrefix(count - 1);
  if (last.IsElement()) {
    if (count < 2) throw EScriptError("Left side cannot be assigned to");
    AssignPrefix(count - 1, last.Update(parent, value));
  } else {
    last.Write(parent, value);
  }
}

void TfsDesignator::Assign(const Variant& value) { AssignPrefix(parts.size(), value); }

TfsCustomVariable* TfsDesignator::SimpleVariable() const {
  if (parts.size() != 1) return nullptr;
  auto* v = dynamic_cast<TfsVariablePart*>(parts[0].get());
  return v != nullptr ? v->variable : nullptr;
}

// --- parts

TfsVariablePart::TfsVariablePart(TfsCustomVariable* v) : variable(v) {
  type = v->Type();
  assignable = !v->read_only;
  name = v->Name();
}

Variant TfsProcCallPart::Read(const Variant&) {
  std::vector<Variant> values;
  values.reserve(args.size());
  for (auto& a : args) values.push_back(a->Eval());
  Variant result = RunProcedure(*proc, values);
  for (size_t i = 0; i < var_targets.size() && i < values.size(); ++i) {
    if (var_targets[i] != nullptr) var_targets[i]->Assign(values[i]);
  }
  return result;
}

void TfsMethodPart::CollectArgs(std::vector<Variant>& params) {
  params.reserve(args.size() + 1);
  for (auto& a : args) {
    if (method->is_macro) {
      params.emplace_back(a->source);
    } else {
      params.push_back(a->Eval());
    }
  }
  // Late-bound calls reach here unchecked: handlers always get one value per parameter.
  const auto& formal = method->params;
  if (params.size() < static_cast<size_t>(method->RequiredParams())) {
    throw EScriptError("Not enough actual parameters");
  }
  if (params.size() > formal.size()) throw EScriptError("Too many actual parameters");
  for (size_t i = params.size(); i < formal.size(); ++i) params.push_back(formal[i]->default_value);
}

namespace {

// Host functions can build texts of any length (Format, Insert, SetLength); the runtime's
// limit keeps a script from doubling a text until memory runs out.
void CheckSize(const Variant& v, TfsScript* script) {
  if (v.IsString() && script != nullptr && v.text().size() > script->runtime().max_string) {
    throw EScriptError("String too long");
  }
}

}  // namespace

void TfsMethodPart::WriteBack(const std::vector<Variant>& params) {
  for (size_t i = 0; i < var_targets.size() && i < params.size(); ++i) {
    if (var_targets[i] == nullptr) continue;
    CheckSize(params[i], script);
    var_targets[i]->Assign(params[i]);
  }
}

// The list as CollectArgs builds it: one text per argument (defaults included), nothing the
// handler has changed since.
bool TfsMethodPart::MacroParamsIntact() const {
  if (macro_params_.size() != args.size()) return false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!macro_params_[i].IsString() || macro_params_[i].text() != args[i]->source) return false;
  }
  return true;
}

// The handler's call as every read makes it: its result checked, var arguments written back.
Variant TfsMethodPart::CallHandler(core::TObject* instance, const std::string& name,
                                   std::vector<Variant>& params) {
  Variant result = method->handler(instance, cls, name, params);
  CheckSize(result, script);
  WriteBack(params);
  return result;
}

Variant TfsMethodPart::ReadMacro(core::TObject* instance) {
  if (!macro_ready_) {
    macro_params_.clear();
    CollectArgs(macro_params_);
    // Late-bound calls may get default values appended: such a list is built per call.
    if (!MacroParamsIntact()) {
      std::vector<Variant> params = std::move(macro_params_);
      macro_params_.clear();
      return CallHandler(instance, method->UpperName(), params);
    }
    macro_ready_ = true;
  }
  macro_busy_ = true;
  // Whatever the handler did to its arguments, the next call starts from the texts again.
  struct Release {
    TfsMethodPart& part;
    ~Release() {
      part.macro_busy_ = false;
      part.macro_ready_ = part.MacroParamsIntact();
    }
  } release{*this};
  return CallHandler(instance, method->UpperName(), macro_params_);
}

Variant TfsMethodPart::ReadPlain(core::TObject* instance) {
  // The same steps as the general call, on a list whose room is kept between calls; a call
  // nested in this one (recursion through the handler) builds its own list.
  call_busy_ = true;
  struct Release {
    TfsMethodPart& part;
    ~Release() {
      part.call_params_.clear();
      part.call_busy_ = false;
    }
  } release{*this};
  CollectArgs(call_params_);
  return CallHandler(instance, method->UpperName(), call_params_);
}

Variant TfsMethodPart::Read(const Variant& parent) {
  core::TObject* instance = parent.IsObject() ? parent.AsObject() : nullptr;
  if (method->is_macro && !method->is_index && method->handler && !macro_busy_) return ReadMacro(instance);
  if (!method->is_index && method->handler && !call_busy_) return ReadPlain(instance);
  std::vector<Variant> params;
  CollectArgs(params);
  if (!method->handler) return Variant(0);
  // The indexed form's name is built per call; the plain name is passed as it is kept.
  std::string indexed;
  if (method->is_index) indexed = method->UpperName() + ".GET";
  return CallHandler(instance, method->is_index ? indexed : method->UpperName(), params);
}

void TfsMethodPart::Write(const Variant& parent, const Variant& value) {
  core::TObject* instance = parent.IsObject() ? parent.AsObject() : nullptr;
  std::vector<Variant> params;
  CollectArgs(params);
  params.push_back(value);
  if (!method->handler) return;
  method->handler(instance, cls, method->UpperName() + ".SET", params);
}

Variant TfsPropertyPart::Read(const Variant& parent) {
  return property->Get(ObjectOf(parent, property->Name()), cls);
}

void TfsPropertyPart::Write(const Variant& parent, const Variant& value) {
  property->Set(ObjectOf(parent, property->Name()), cls, value);
}

void TfsEventPart::Write(const Variant& parent, const Variant& value) {
  core::TObject* instance = ObjectOf(parent, event->Name());
  // nil is the constant for "no object": as "0", it disconnects the event.
  const bool nil = value.kind() == Variant::Kind::Object && value.AsObject() == nullptr;
  std::string text = nil ? std::string("0") : core::VarToStr(value);
  if (text == "0") {
    if (event->published != nullptr) {
      event->published->SetValue(*instance, Variant(""));
    } else if (event->setter) {
      event->setter(instance, nullptr);
    }
    return;
  }
  TfsCustomVariable* target = script->Find(text);
  auto* proc = dynamic_cast<TfsProcVariable*>(target);
  if (proc == nullptr) throw EScriptError("Event handler must be a procedure");
  if (event->published != nullptr) {
    event->published->SetValue(*instance, Variant(proc->Name()));
    return;
  }
  // The event object lives as long as the script; the handler the object keeps holds it
  // weakly, so a call after the script is gone does nothing.
  auto holder = std::make_shared<TfsProcVariable*>(proc);
  script->event_objects.push_back(holder);
  std::weak_ptr<TfsProcVariable*> weak = holder;
  if (event->setter) {
    event->setter(instance, [weak](std::vector<Variant>& event_args) -> Variant {
      auto alive = weak.lock();
      if (!alive) return Variant();
      return RunProcedure(**alive, event_args);
    });
  }
}

Variant TfsIndexPart::Read(const Variant& parent) {
  if (parent.IsString()) {
    int64_t index = args[0]->Eval().AsInt64();
    size_t offset = 0, length = 0;
    if (!Utf8CharAt(parent.text(), index, offset, length)) {
      throw EScriptError("String index out of range (" + std::to_string(index) + ")");
    }
    return Variant(parent.text().substr(offset, length));
  }
  if (!parent.IsArray()) throw EScriptError("Array type required");
  Variant v = parent;
  for (auto& a : args) {
    if (!v.IsArray()) throw EScriptError("Array type required");
    int64_t index = a->Eval().AsInt64();
    if (index < v.ArrayLow() || index > v.ArrayHigh()) {
      throw EScriptError("Variant or safe array index out of bounds");
    }
    Variant next = v.At(static_cast<int32_t>(index));
    v = std::move(next);
  }
  return v;
}

namespace {

Variant SetElement(const Variant& container, const std::vector<int64_t>& indexes, size_t at,
                   const Variant& value) {
  if (!container.IsArray()) throw EScriptError("Array type required");
  int64_t index = indexes[at];
  if (index < container.ArrayLow() || index > container.ArrayHigh()) {
    throw EScriptError("Variant or safe array index out of bounds");
  }
  Variant copy = container;
  const int32_t i = static_cast<int32_t>(index);
  if (at + 1 == indexes.size()) {
    copy.SetAt(i, value);
  } else {
    copy.SetAt(i, SetElement(container.At(i), indexes, at + 1, value));
  }
  return copy;
}

}  // namespace

Variant TfsIndexPart::Update(const Variant& container, const Variant& value) {
  if (container.IsString()) {
    int64_t index = args[0]->Eval().AsInt64();
    size_t offset = 0, length = 0;
    if (!Utf8CharAt(container.text(), index, offset, length)) {
      throw EScriptError("String index out of range (" + std::to_string(index) + ")");
    }
    std::string stored = core::VarToStr(value);
    size_t first = 0, first_length = 0;
    if (!Utf8CharAt(stored, 1, first, first_length)) return container;
    std::string text = container.text();
    text.replace(offset, length, stored.substr(0, first_length));
    return Variant(std::move(text));
  }
  std::vector<int64_t> indexes;
  for (auto& a : args) indexes.push_back(a->Eval().AsInt64());
  return SetElement(container, indexes, 0, value);
}

TfsCustomVariable* TfsLateBoundPart::Resolve(const Variant& parent, TfsClassVariable*& cls) {
  core::TObject* object = ObjectOf(parent, name);
  cls = script->FindClass(object->ClassName());
  if (cls == nullptr) {
    const core::ClassInfo* info = core::ClassRegistry::Instance().Find(object->ClassName());
    for (; info != nullptr && cls == nullptr; info = info->Parent()) cls = script->FindClass(info->Name());
  }
  TfsCustomVariable* member = cls != nullptr ? cls->FindMember(name) : nullptr;
  if (member == nullptr) throw EScriptError("Undeclared identifier: '" + name + "'");
  return member;
}

Variant TfsLateBoundPart::Read(const Variant& parent) {
  TfsClassVariable* cls = nullptr;
  TfsCustomVariable* member = Resolve(parent, cls);
  if (auto* m = dynamic_cast<TfsMethodHelper*>(member)) {
    TfsMethodPart part(m, cls, script);
    part.args = std::move(args);
    part.var_targets = var_targets;
    struct Restore {
      TfsMethodPart& part;
      std::vector<TfsExprPtr>& args;
      ~Restore() { args = std::move(part.args); }
    } restore{part, args};
    return part.Read(parent);
  }
  if (auto* p = dynamic_cast<TfsPropertyHelper*>(member)) return p->Get(ObjectOf(parent, name), cls);
  if (auto* c = dynamic_cast<TfsComponentHelper*>(member)) return Variant(c->component);
  return Variant("");
}

void TfsLateBoundPart::Write(const Variant& parent, const Variant& value) {
  TfsClassVariable* cls = nullptr;
  TfsCustomVariable* member = Resolve(parent, cls);
  if (auto* p = dynamic_cast<TfsPropertyHelper*>(member)) {
    p->Set(ObjectOf(parent, name), cls, value);
  } else if (auto* e = dynamic_cast<TfsEventHelper*>(member)) {
    TfsEventPart part(e, script);
    part.Write(parent, value);
  } else if (auto* m = dynamic_cast<TfsMethodHelper*>(member); m != nullptr && m->is_index) {
    TfsMethodPart part(m, cls, script);
    part.args = std::move(args);
    struct Restore {
      TfsMethodPart& part;
      std::vector<TfsExprPtr>& args;
      ~Restore() { args = std::move(part.args); }
    } restore{part, args};
    part.Write(parent, value);
  } else {
    throw EScriptError("Left side cannot be assigned to");
  }
}

}  // namespace lgoty::script
