#include "script/interpreter.h"

#include <algorithm>

#include "script/language_registry.h"
#include "script/parser.h"
#include "script/program_builder.h"
#include "script/statements.h"

namespace lgoty::script {

// --- runtime

void TfsRuntime::Slow(TfsScript& script, const std::string* unit, int line, int column) {
  if (step_limit != 0 && steps > step_limit) throw EScriptAbort("Script step limit exceeded");
  if (steps >= next_check) {
    next_check = steps + 1024;
    if (step_limit != 0 && next_check > step_limit + 1) next_check = step_limit + 1;
    if (has_deadline && std::chrono::steady_clock::now() > deadline) throw EScriptAbort("Script time limit exceeded");
  }
  if (terminate_request.load(std::memory_order_relaxed)) {
    script.MainProgram()->Terminate();
    return;
  }
  if (on_run_line) {
    on_run_line(unit != nullptr ? *unit : std::string(), std::to_string(line) + ":" + std::to_string(column));
  }
}

// Calls a script procedure with argument values; var parameter values come back in args.
Variant RunProcedure(TfsProcVariable& proc, std::vector<Variant>& args) {
  TfsScript& prog = *proc.program;
  TfsRuntime& rt = prog.runtime();
  if (rt.depth >= rt.max_depth) {
    throw EScriptError("Call depth limit exceeded (" + std::to_string(rt.max_depth) + " nested calls)");
  }
  // A recursive call keeps the caller's values of the procedure's own variables.
  std::vector<Variant> saved;
  const bool recursive = proc.executing;
  std::vector<TfsCustomVariable*> own;
  if (recursive) {
    own = prog.OwnVariables();
    saved.reserve(own.size());
    for (TfsCustomVariable* v : own) saved.push_back(v->Raw());
  }
  for (size_t i = 0; i < proc.param_items.size(); ++i) {
    TfsParamItem* p = proc.param_items[i];
    p->SetValue(i < args.size() ? args[i] : p->default_value);
  }
  if (proc.result != nullptr) proc.result->Raw() = Variant();
  TfsScript* main = prog.MainProgram();
  TfsScript* previous = main != nullptr ? main->prog_running : nullptr;
  if (main != nullptr) main->prog_running = &prog;
  const bool was_executing = proc.executing;
  proc.executing = true;
  ++rt.depth;
  TfsExecFlags saved_flags = prog.flags;
  prog.flags = TfsExecFlags();
  struct Leave {
    TfsProcVariable& proc;
    TfsScript& prog;
    TfsScript* main;
    TfsScript* previous;
    TfsRuntime& rt;
    bool was_executing;
    std::vector<TfsCustomVariable*>& own;
    std::vector<Variant>& saved;
    TfsExecFlags flags;
    ~Leave() {
      --rt.depth;
      proc.executing = was_executing;
      if (main != nullptr) main->prog_running = previous;
      prog.flags = flags;
      for (size_t i = 0; i < own.size() && i < saved.size(); ++i) own[i]->Raw() = std::move(saved[i]);
    }
  };
  Variant result;
  {
    Leave leave{proc, prog, main, previous, rt, was_executing, own, saved, saved_flags};
    if (prog.statement) prog.statement->RunItems();
    if (proc.result != nullptr) result = proc.result->Raw();
    for (size_t i = 0; i < proc.param_items.size() && i < args.size(); ++i) {
      if (proc.param_items[i]->is_var) args[i] = proc.param_items[i]->Raw();
    }
  }
  return proc.is_function ? result : Variant::Null();
}

// --- TfsScript

TfsScript::TfsScript(TfsScript* parent)
    : parent_(parent), runtime_(parent != nullptr ? parent->runtime_ : std::make_shared<TfsRuntime>()) {}

TfsScript::~TfsScript() {
  statement.reset();
  // Items refer to each other (classes to ancestors by name only), so any order is fine.
  items_.clear();
}

TfsScript* TfsScript::MainProgram() {
  for (TfsScript* s = this; s != nullptr; s = s->parent_) {
    if (s->main_prog) return s;
  }
  return nullptr;
}

const std::vector<TfsCustomVariable*>& TfsScript::OwnVariables() const {
  if (!own_cache_valid_) {
    own_cache_.clear();
    for (const auto& [name, item] : declared_) {
      if (dynamic_cast<TfsProcVariable*>(item) == nullptr) own_cache_.push_back(item);
    }
    own_cache_valid_ = true;
  }
  return own_cache_;
}

TfsCustomVariable* TfsScript::AddItem(std::unique_ptr<TfsCustomVariable> item, bool host) {
  TfsCustomVariable* raw = item.get();
  own_cache_valid_ = false;
  ++names_generation_;
  if (host) {
    raw->added_by = registrant;
    host_.emplace(raw->UpperName(), raw);
  } else {
    declared_.emplace(raw->UpperName(), raw);
  }
  items_.push_back(std::move(item));
  return raw;
}

TfsCustomVariable* TfsScript::FindLocal(const std::string& name) const {
  const std::string upper = core::AsciiUpper(name);
  auto it = declared_.find(upper);
  if (it != declared_.end()) return it->second;
  auto h = host_.find(upper);
  return h != host_.end() ? h->second : nullptr;
}

TfsCustomVariable* TfsScript::FindDeclared(const std::string& name) const {
  auto it = declared_.find(core::AsciiUpper(name));
  return it != declared_.end() ? it->second : nullptr;
}

TfsCustomVariable* TfsScript::Find(const std::string& name) const {
  const std::string upper = core::AsciiUpper(name);
  for (const TfsScript* s = this; s != nullptr; s = s->parent_) {
    auto it = s->declared_.find(upper);
    if (it != s->declared_.end()) return it->second;
    auto h = s->host_.find(upper);
    if (h != s->host_.end()) return h->second;
  }
  return nullptr;
}

TfsClassVariable* TfsScript::FindClass(const std::string& name) const {
  const std::string upper = core::AsciiUpper(name);
  for (const TfsScript* s = this; s != nullptr; s = s->parent_) {
    auto [b, e] = s->host_.equal_range(upper);
    for (auto it = b; it != e; ++it) {
      if (auto* c = dynamic_cast<TfsClassVariable*>(it->second)) return c;
    }
  }
  return nullptr;
}

bool TfsScript::ClassInherits(const std::string& derived, const std::string& base) const {
  const std::string target = core::AsciiUpper(base);
  const TfsClassVariable* cls = FindClass(derived);
  if (cls == nullptr) return core::AsciiUpper(derived) == target;
  for (int guard = 0; cls != nullptr && guard < 256; ++guard) {
    if (cls->UpperName() == target) return true;
    if (cls->Ancestor().empty()) break;
    cls = FindClass(cls->Ancestor());
  }
  return false;
}

void TfsScript::Clear() {
  statement.reset();
  declared_.clear();
  own_cache_valid_ = false;
  ++names_generation_;
  event_objects.clear();
  std::erase_if(items_, [this](const std::unique_ptr<TfsCustomVariable>& item) {
    for (const auto& [name, h] : host_) {
      if (h == item.get()) return false;
    }
    return true;
  });
  error_msg_.clear();
  error_pos_.clear();
  error_unit_.clear();
  il_xml_.clear();
}

void TfsScript::RemoveItems(const void* owner) {
  ++names_generation_;
  std::erase_if(host_, [owner](const auto& entry) { return entry.second->added_by == owner; });
  std::erase_if(items_, [owner](const std::unique_ptr<TfsCustomVariable>& item) {
    return item->added_by == owner && item->added_by != nullptr;
  });
}

TfsType TfsScript::ResolveType(const std::string& type_name) const {
  TfsVarType code;
  if (BuiltinTypeCode(type_name, code)) return {code, ""};
  if (TfsCustomVariable* item = Find(type_name)) {
    if (auto* cls = dynamic_cast<TfsClassVariable*>(item)) return {TfsVarType::fvtClass, cls->Name()};
    if (dynamic_cast<TfsTypeVariable*>(item) != nullptr) return item->Type();
  }
  return {TfsVarType::fvtVariant, type_name};
}

bool TfsScript::Compile() {
  Clear();
  IlParseOptions options;
  options.extended_chars = extended_chars;
  options.unit_request = on_get_unit;
  options.include_path = include_path;
  IlParseResult parsed = TfsILParser::MakeILTree(lines_, syntax_type, options);
  if (!parsed.error.empty()) {
    error_msg_ = parsed.error;
    error_pos_ = parsed.error_pos;
    error_unit_ = parsed.error_unit;
    return false;
  }
  il_xml_ = IlToXml(*parsed.root);
  try {
    TfsProgramBuilder builder(*this, lines_, FindLanguage(parsed.language)->DeclareVars());
    builder.Build(*parsed.root);
  } catch (const EBuildError& e) {
    error_msg_ = e.Message();
    error_pos_ = std::to_string(e.line) + ":" + std::to_string(e.column);
    error_unit_ = e.unit;
    statement.reset();
    return false;
  }
  return true;
}

void TfsScript::ResetFlags() { flags = TfsExecFlags(); }

void TfsScript::Execute() {
  TfsRuntime& rt = runtime();
  rt.terminate_request.store(false, std::memory_order_relaxed);
  rt.steps = 0;
  rt.next_check = 1;
  rt.depth = 0;
  ResetFlags();
  main_prog = true;
  running_ = true;
  struct Done {
    TfsScript& s;
    ~Done() {
      s.running_ = false;
      s.flags.exit = false;
    }
  } done{*this};
  if (statement) statement->RunItems();
}

void TfsScript::SetTimeLimit(std::chrono::milliseconds limit) {
  runtime().has_deadline = limit.count() > 0;
  runtime().deadline = std::chrono::steady_clock::now() + limit;
}

void TfsScript::Terminate() {
  flags.terminated = true;
  flags.exit = true;
  for (const auto& item : items_) {
    if (auto* p = dynamic_cast<TfsProcVariable*>(item.get())) p->program->Terminate();
  }
}

Variant TfsScript::CallFunction(const std::string& name, const Variant& params, bool search_parents) {
  Variant copy = params;
  return CallFunction1(name, copy, search_parents);
}

Variant TfsScript::CallFunction1(const std::string& name, Variant& params, bool search_parents) {
  TfsCustomVariable* item = search_parents ? Find(name) : FindLocal(name);
  auto* proc = dynamic_cast<TfsProcVariable*>(item);
  if (proc == nullptr) return Variant::Null();
  std::vector<Variant> args;
  if (params.IsArray()) {
    args = params.Elements();
  } else if (!params.IsEmpty()) {
    args.push_back(params);
  }
  TfsRuntime& rt = runtime();
  const bool outermost = !running_ && rt.depth == 0;
  if (outermost) {
    rt.terminate_request.store(false, std::memory_order_relaxed);
    rt.steps = 0;
    rt.next_check = 1;
    ResetFlags();
  }
  Variant result = RunProcedure(*proc, args);
  if (params.IsArray()) {
    for (size_t i = 0; i < args.size(); ++i) params.SetAt(params.ArrayLow() + static_cast<int32_t>(i), args[i]);
  }
  if (outermost) flags = TfsExecFlags();
  return result;
}

// --- registration

TfsTypeVariable* TfsScript::AddType(const std::string& name, TfsVarType type) {
  auto t = std::make_unique<TfsTypeVariable>(name, TfsType{type, type == TfsVarType::fvtEnum ? name : ""});
  return static_cast<TfsTypeVariable*>(AddItem(std::move(t), true));
}

TfsVariable* TfsScript::AddConst(const std::string& name, const std::string& type_name, const Variant& value) {
  auto v = std::make_unique<TfsVariable>(name, ResolveType(type_name));
  v->Raw() = value;
  v->read_only = true;
  return static_cast<TfsVariable*>(AddItem(std::move(v), true));
}

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : names + ",") {
    if (c == ',') {
      size_t b = cur.find_first_not_of(" \t");
      size_t e = cur.find_last_not_of(" \t");
      if (b != std::string::npos) out.push_back(cur.substr(b, e - b + 1));
      cur.clear();
    } else {
      cur += c;
    }
  }
  return out;
}

}  // namespace

void TfsScript::AddEnum(const std::string& type_name, const std::string& names) {
  AddType(type_name, TfsVarType::fvtEnum);
  int32_t n = 0;
  for (const std::string& name : SplitNames(names)) {
    auto v = std::make_unique<TfsVariable>(name, TfsType{TfsVarType::fvtEnum, type_name});
    v->Raw() = Variant(n++);
    v->read_only = true;
    AddItem(std::move(v), true);
  }
}

void TfsScript::AddEnumSet(const std::string& type_name, const std::string& names) {
  AddType(type_name, TfsVarType::fvtEnum);
  int64_t bit = 1;
  for (const std::string& name : SplitNames(names)) {
    auto v = std::make_unique<TfsVariable>(name, TfsType{TfsVarType::fvtEnum, type_name});
    v->Raw() = bit <= INT32_MAX ? Variant(static_cast<int32_t>(bit)) : Variant(bit);
    v->read_only = true;
    AddItem(std::move(v), true);
    if (bit < (int64_t{1} << 62)) bit <<= 1;
  }
}

TfsVariable* TfsScript::AddVariable(const std::string& name, const std::string& type_name, const Variant& value) {
  auto v = std::make_unique<TfsVariable>(name, ResolveType(type_name));
  v->Raw() = value;
  v->on_get_value = on_get_var_value;
  return static_cast<TfsVariable*>(AddItem(std::move(v), true));
}

TfsVariable* TfsScript::AddObject(const std::string& name, core::TObject* object) {
  std::string class_name = object != nullptr ? object->ClassName() : "TObject";
  auto v = std::make_unique<TfsVariable>(name, TfsType{TfsVarType::fvtClass, class_name});
  v->Raw() = Variant(object);
  v->read_only = true;
  return static_cast<TfsVariable*>(AddItem(std::move(v), true));
}

TfsClassVariable* TfsScript::FindOrAddClass(const std::string& name, const std::string& ancestor) {
  if (TfsClassVariable* existing = FindClass(name)) return existing;
  return AddClass(name, ancestor);
}

TfsClassVariable* TfsScript::AddClass(const std::string& name, const std::string& ancestor) {
  if (FindClass(name) != nullptr) return nullptr;
  const core::ClassInfo* rtti = core::ClassRegistry::Instance().Find(name);
  auto c = std::make_unique<TfsClassVariable>(name, ancestor, rtti);
  c->script = this;
  if (TfsClassVariable* parent_class = FindClass(ancestor)) c->SetDefaultProperty(parent_class->DefaultProperty());
  return static_cast<TfsClassVariable*>(AddItem(std::move(c), true));
}

TfsMethodHelper* TfsScript::AddMethod(const std::string& declaration, TfsCallMethod handler,
                                      const std::string& category, const std::string& description) {
  auto lookup = [this](const std::string& n) -> const TfsCustomVariable* { return Find(n); };
  auto m = std::make_unique<TfsMethodHelper>(declaration, std::move(handler), lookup);
  m->category = category;
  m->description = description;
  return static_cast<TfsMethodHelper*>(AddItem(std::move(m), true));
}

void TfsScript::AddComponent(const std::string& name, core::TObject* container,
                             const std::vector<std::pair<std::string, core::TObject*>>& owned,
                             const std::string& ancestor) {
  std::string class_name = container != nullptr ? container->ClassName() : "TComponent";
  TfsClassVariable* cls = FindClass(class_name);
  if (cls == nullptr) cls = AddClass(class_name, ancestor);
  for (const auto& [child_name, child] : owned) {
    if (cls->FindMember(child_name) == nullptr) {
      cls->AddComponent(child_name, child, child != nullptr ? child->ClassName() : "TObject");
    }
  }
  AddObject(name, container);
}

namespace {

std::vector<TfsRttiModule>& Modules() {
  static std::vector<TfsRttiModule> modules;
  return modules;
}

}  // namespace

void RegisterRttiModule(TfsRttiModule module) {
  auto& m = Modules();
  if (std::find(m.begin(), m.end(), module) == m.end()) m.push_back(module);
}

void RegisterSystemLibrary();

const std::vector<TfsRttiModule>& RttiModules() {
  RegisterSystemLibrary();
  return Modules();
}

void TfsScript::AddRTTI() {
  const auto& modules = RttiModules();
  for (size_t i = 0; i < modules.size(); ++i) {
    if (std::find(modules_added_.begin(), modules_added_.end(), static_cast<int>(i)) != modules_added_.end()) {
      continue;
    }
    modules_added_.push_back(static_cast<int>(i));
    modules[i](*this);
  }
}

}  // namespace lgoty::script
