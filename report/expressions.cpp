#include "report/expressions.h"

#include <algorithm>
#include <atomic>
#include <typeinfo>

#include "core/locale.h"
#include "report/aggregates.h"
#include "report/data_sets.h"
#include "report/macro_argument.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/views.h"
#include "report/resources.h"
#include "report/type_cast.h"
#include "script/designator.h"
#include "script/expression.h"
#include "script/interpreter.h"
#include "script/statements.h"
#include "script/variables.h"

namespace lgoty::report {

using core::Variant;

void TfrxRunState::StartNow() {
  core::TDateTime now = core::Now();
  start_date = core::DateOf(now);
  start_time = core::TimeOf(now);
}

namespace {

// The value of a PascalScript literal as the host writes variables: a decimal integer of
// up to nine digits, or a text in single quotes without a quote inside. False for anything
// else, which goes to the compiler. Saves running a compiled function for every use.
bool PascalLiteral(std::string_view text, Variant& value) {
  if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
    const std::string_view inner = text.substr(1, text.size() - 2);
    if (inner.find('\'') != std::string_view::npos || inner.find_first_of("\r\n") != std::string_view::npos) {
      return false;
    }
    value = Variant(std::string(inner));
    return true;
  }
  if (text.empty() || text.size() > 9) return false;
  int32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  value = Variant(n);
  return true;
}

bool IsDivisionByZero(std::string_view message) {
  return core::AnsiLowerCase(message).find("division by zero") != std::string::npos;
}

// The wrapper that turns an expression into a function of the script language.
std::string WrapExpression(const std::string& language, const std::string& name,
                           std::string_view expression) {
  std::string e(expression);
  if (SameName(language, "C++Script")) return "Variant " + name + "() { return " + e + "; } {}";
  if (SameName(language, "BasicScript")) {
    return "function " + name + "\r\nreturn " + e + "\r\nend function";
  }
  if (SameName(language, "JScript")) return "function " + name + "() { return " + e + "; }";
  return "function " + name + ": Variant; begin Result := " + e + " end; begin end.";
}

// The expression of "Result := <expression>" when that is the whole body of the function
// and its result is a Variant (stored as it is); nullptr otherwise.
script::TfsExpr* ResultExpression(script::TfsScript& program, const std::string& function_name) {
  auto* proc = dynamic_cast<script::TfsProcVariable*>(program.FindLocal(function_name));
  if (proc == nullptr || !proc->is_function || proc->result == nullptr || !proc->program->statement) return nullptr;
  if (proc->result->Type().code != script::TfsVarType::fvtVariant || !proc->param_items.empty()) return nullptr;
  const auto& items = proc->program->statement->items;
  if (items.size() != 1) return nullptr;
  auto* assignment = dynamic_cast<script::TfsAssignmentStmt*>(items[0].get());
  if (assignment == nullptr || !assignment->value) return nullptr;
  auto* target = dynamic_cast<script::TfsVariableExpr*>(assignment->target.get());
  const script::TfsCustomVariable* variable = target != nullptr ? target->variable : nullptr;
  if (variable == nullptr) {
    if (auto* d = dynamic_cast<script::TfsDesignator*>(assignment->target.get())) variable = d->SimpleVariable();
  }
  if (variable != proc->result) return nullptr;
  // The result must be a plain variable: a hooked or read-only one could change the value.
  auto* plain = dynamic_cast<const script::TfsVariable*>(variable);
  if (plain == nullptr || plain->read_only || typeid(*plain) != typeid(script::TfsVariable)) return nullptr;
  return assignment->value.get();
}

// When `e` calls `get` (the report's Get) with one constant text and writes nothing back:
// the part of the call.
const script::TfsMethodPart* GetCallOf(const script::TfsExpr& e, const script::TfsCustomVariable* get) {
  auto* call = dynamic_cast<const script::TfsDesignator*>(&e);
  if (get == nullptr || call == nullptr || call->parts.size() != 1) return nullptr;
  auto* part = dynamic_cast<const script::TfsMethodPart*>(call->parts[0].get());
  if (part == nullptr || part->method != get || !part->method->handler || part->method->is_macro ||
      part->method->is_index || part->args.size() != 1 || part->method->params.size() != 1) {
    return nullptr;
  }
  if (!part->var_targets.empty() && part->var_targets[0] != nullptr) return nullptr;
  auto* name = dynamic_cast<const script::TfsConstExpr*>(part->args[0].get());
  if (name == nullptr || !name->value.IsString()) return nullptr;
  return part;
}

// The key under which an expression's function is cached: letter case is ignored in names
// and keywords, not in quoted strings ('abc' and 'ABC' are different values) nor in a
// bracketed name, "<...>" up to its closing bracket (nested brackets and quotes as the
// parser reads them): <vid> becomes Get('vid'), whose argument a script's own Get sees as
// written. A "<" that is an operator keeps the rest of the text as written too, which only
// costs a function more.
std::string CacheKey(std::string_view expression) {
  std::string key;
  key.reserve(expression.size());
  size_t run = 0;  // start of the text not yet copied
  char quote = 0;  // in a quoted string outside brackets
  int depth = 0;   // in a bracketed name: nesting depth
  char inner = 0;  // a quoted string inside the brackets
  for (size_t i = 0; i < expression.size(); ++i) {
    const char c = expression[i];
    if (depth > 0) {
      if (inner != 0) {
        if (c == inner) inner = 0;
      } else if (c == '\'' || c == '"') {
        inner = c;
      } else if (c == '<' || c == '[') {
        ++depth;
      } else if ((c == '>' || c == ']') && --depth == 0) {
        key.append(expression.substr(run, i + 1 - run));
        run = i + 1;
      }
    } else if (quote == 0 && (c == '\'' || c == '"' || c == '<')) {
      key += core::AnsiUpperCase(expression.substr(run, i - run));
      run = i;
      if (c == '<') {
        depth = 1;
      } else {
        quote = c;
      }
    } else if (quote != 0 && c == quote) {
      key.append(expression.substr(run, i + 1 - run));
      quote = 0;
      run = i + 1;
    }
  }
  if (quote != 0 || depth > 0) {
    key.append(expression.substr(run));
  } else {
    key += core::AnsiUpperCase(expression.substr(run));
  }
  return key;
}

// A fresh generation number for a TfrxCalcSite, never given out twice in the process.
uint64_t NextEpoch() {
  static std::atomic<uint64_t> counter{0};
  return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

// A counter that is raised for the length of a scope.
struct DepthGuard {
  int& depth;
  explicit DepthGuard(int& d) : depth(d) { ++depth; }
  ~DepthGuard() { --depth; }
};

}  // namespace

TfrxExpressions::TfrxExpressions(TfrxReport& report)
    : report_(report),
      variables_(&report.Variables()),
      script_(std::make_unique<TfrxReportScript>(report, *this)),
      aggregates_(std::make_unique<TfrxAggregateList>(*this)) {
  state_.StartNow();
  epoch_ = NextEpoch();
}

TfrxExpressions::~TfrxExpressions() {
  // The compiled expressions are children of the report's program: free them first.
  ClearCache();
}

void TfrxExpressions::ClearCache() {
  ForgetInfos();
  if (info_users_ > 0) {
    // A host value or variable that prepares the script empties the cache while an
    // expression runs, possibly one of these functions (its program, its IIF argument
    // texts): they are freed with the retired entries, once the evaluation is done.
    for (auto& [key, compiled] : compiled_) retired_compiled_.push_back(std::move(compiled));
  }
  compiled_.clear();
}

void TfrxExpressions::ForgetInfos() {
  epoch_ = NextEpoch();
  if (info_users_ > 0) {
    for (auto& [text, info] : infos_) {
      info->compiled = nullptr;
      retired_.push_back(std::move(info));
    }
  }
  infos_.clear();
}

void TfrxExpressions::FreeRetired() {
  retired_.clear();
  retired_compiled_.clear();
}

TfrxExpressions::TextInfo& TfrxExpressions::Info(std::string_view text) {
  if (auto it = infos_.find(text); it != infos_.end()) return *it->second;
  if (infos_.size() >= kMaxInfos) ForgetInfos();
  auto info = std::make_unique<TextInfo>();
  if (size_t dot = text.find(".\""); dot != std::string_view::npos && text.size() >= dot + 3) {
    info->field_form = true;
    info->data_set_name.assign(text.substr(0, dot));
    info->field_name.assign(text.substr(dot + 2, text.size() - dot - 3));
  }
  if (!text.empty() && text.size() <= 11) {
    static constexpr std::pair<std::string_view, SystemName> kSystem[] = {
        {"DATE", SystemName::kDate},          {"TIME", SystemName::kTime},
        {"PAGE", SystemName::kPage},          {"PAGE#", SystemName::kPagePhysical},
        {"TOTALPAGES", SystemName::kTotalPages}, {"TOTALPAGES#", SystemName::kTotalPagesAll},
        {"LINE", SystemName::kLine},          {"LINE#", SystemName::kLineAll},
        {"COPYNAME#", SystemName::kCopyName}};
    for (const auto& [upper, id] : kSystem) {
      if (SameName(text, upper)) info->system = id;
    }
  }
  info->ident = IsValidIdent(text);
  info->ascii = IsAsciiName(text);
  if (std::string_view name = BracketedName(text); !name.empty()) {
    info->get_form = true;
    info->get_name.assign(name);
  }
  TextInfo& out = *info;
  infos_.emplace(std::string(text), std::move(info));
  return out;
}

TfrxExpressions::TextInfo& TfrxExpressions::InfoAt(std::string_view text, TfrxCalcSite* site) {
  if (site != nullptr && site->epoch_ == epoch_) {
    return *static_cast<TextInfo*>(const_cast<void*>(site->entry_));
  }
  TextInfo& info = Info(text);
  if (site != nullptr) {
    site->entry_ = &info;
    site->epoch_ = epoch_;
  }
  return info;
}

TfrxCalcSite* TfrxExpressions::ArgumentSiteFor(std::string_view text) {
  if (running_ == nullptr) return nullptr;
  std::vector<ArgumentSite>& sites = running_->argument_sites;
  for (ArgumentSite& s : sites) {
    if (s.text == text) return &s.site;
  }
  if (sites.size() >= kMaxArgumentSites) return nullptr;
  return &sites.emplace_back(ArgumentSite{std::string(text), {}}).site;
}

Variant TfrxExpressions::Calc(std::string_view expression) { return CalcImpl(expression, false, nullptr); }

Variant TfrxExpressions::CalcArgument(std::string_view expression) {
  return CalcImpl(expression, false, ArgumentSiteFor(expression));
}

Variant TfrxExpressions::CalcGetArgument(std::string_view expression, std::string_view) {
  return CalcArgument(expression);
}

bool TfrxExpressions::GetFormAllowed() {
  // The compiled call counts steps, checks the deadline and the run-line hook, and refuses
  // past the call depth limit: with any of them in force it runs as compiled.
  const script::TfsRuntime& rt = script_->Program().runtime();
  if (rt.step_limit != 0 || rt.has_deadline || rt.on_run_line ||
      rt.terminate_request.load(std::memory_order_relaxed) || rt.depth >= rt.max_depth) {
    return false;
  }
  return script_->BracketsCallOwnGet();
}

Variant TfrxExpressions::Iif(std::string_view condition, std::string_view if_true, std::string_view if_false) {
  try {
    const Variant cond = CalcArgument(condition);
    return CalcArgument(IifTrue(cond) ? if_true : if_false);
  } catch (const core::Exception&) {
    return Variant::Null();
  }
}

Variant TfrxExpressions::IifAt(const std::string* args, TfrxCalcSite* sites) {
  try {
    const Variant cond = CalcImpl(args[0], false, &sites[0]);
    const size_t pick = IifTrue(cond) ? 1 : 2;
    return CalcImpl(args[pick], false, &sites[pick]);
  } catch (const core::Exception&) {
    return Variant::Null();
  }
}

Variant TfrxExpressions::Calc(std::string_view expression, TfrxCalcSite& site) {
  return CalcImpl(expression, false, &site);
}

void TfrxExpressions::Calc(std::string_view expression, TfrxCalcSite& site, Variant& out) {
  {
    InfoUse use(*this);
    TextInfo& info = InfoAt(expression, &site);
    // A data field is what Resolve tries first, and FieldValue always answers for it.
    if (info.field_form) {
      if (TfrxDataSet* ds = BoundDataSet(info)) {
        FieldValue(*ds, info.field_name, info.field_slot, site.spare_);
        out.Swap(site.spare_);
        return;
      }
    }
  }
  out = CalcImpl(expression, false, &site);
}

Variant TfrxExpressions::CalcFromScript(std::string_view expression) {
  return CalcImpl(expression, true, nullptr);
}

void TfrxExpressions::Refuse(const std::string& message) {
  report_.Errors().Add(message);
  throw EExpressionError(message);
}

Variant TfrxExpressions::CalcImpl(std::string_view expression, bool from_script, TfrxCalcSite* site) {
  InfoUse use(*this);
  TextInfo* info = &InfoAt(expression, site);
  Variant value;
  if (Resolve(*info, expression, value)) return value;
  // "<NAME>": Get(NAME) stands for its function (the entry lives as long as `use`).
  const bool get_form = info->get_form && GetFormAllowed();

  const bool nested = depth_ > 0;
  if (depth_ >= kMaxNesting) {
    Refuse(frxGet("clExprTooDeep") + " '" + std::string(expression) + "'");
  }
  DepthGuard guard(depth_);

  std::string error;
  // Resolving may have emptied the cache (a host value or variable running a script that
  // prepares it): the entry then holds no function and is compiled anew.
  Compiled* compiled = get_form ? nullptr : info->compiled;
  if (compiled == nullptr && !get_form) {
    compiled = Compile(expression, error);
    if (compiled != nullptr) info->compiled = compiled;
  }
  if (compiled != nullptr || get_form) {
    script::TfsScript& main = script_->Program();
    const bool saved_main = main.main_prog;
    main.main_prog = false;
    TextInfo* const saved_running = running_;
    running_ = info;
    try {
      if (get_form) {
        // As the compiled call runs it: one level of the script's call depth, and a text
        // longer than the runtime allows refused as the call refuses a host's result.
        script::TfsRuntime& rt = main.runtime();
        DepthGuard depth(rt.depth);
        value = GetAt(info->get_name, &info->get_site);
        if (value.IsString() && value.text().size() > rt.max_string) {
          value = Variant::Null();
          throw script::EScriptError("String too long");
        }
      } else {
        value = Run(*compiled, *info);
      }
    } catch (const core::Exception& e) {
      error = e.what();
      value = Variant::Null();
    } catch (...) {
      main.main_prog = saved_main;
      running_ = saved_running;
      throw;  // a run budget ran out: the run stops
    }
    main.main_prog = saved_main;
    running_ = saved_running;
  }
  if (error.empty()) return value;

  if (IsDivisionByZero(error) && report_.engine_options.ignore_dev_by_zero) return value;
  if (from_script) throw EExpressionError(frxGet("clErrorInExp") + error);
  if (nested) throw EExpressionError(error);
  std::string text = state_.current_object.empty() ? error : state_.current_object + ": " + error;
  report_.Errors().Add(text);
  throw EExpressionError(text);
}

TfrxExpressions::Compiled* TfrxExpressions::Compile(std::string_view expression,
                                                    std::string& error) {
  std::string upper = CacheKey(expression);
  if (auto it = compiled_.find(upper); it != compiled_.end()) return it->second.get();

  script_->EnsureRegistered();
  auto entry = std::make_unique<Compiled>();
  entry->function_name = "fr3f" + std::to_string(compiled_.size());
  entry->program = std::make_unique<script::TfsScript>(&script_->Program());
  entry->program->extended_chars = true;
  entry->program->syntax_type = report_.script_language;
  entry->program->SetLines(WrapExpression(report_.script_language, entry->function_name, expression));
  bool ok = false;
  std::string message;
  try {
    ok = entry->program->Compile();
    message = entry->program->ErrorMessage();
  } catch (const core::Exception& e) {
    message = e.what();  // an unknown script language
  }
  if (!ok) {
    error = frxGet("clExprError") + " '" + std::string(expression) + "': " + message;
    return nullptr;
  }
  entry->result = ResultExpression(*entry->program, entry->function_name);
  // A call of the report's IIF with its three arguments and nothing written back.
  if (auto* call = dynamic_cast<script::TfsDesignator*>(entry->result);
      call != nullptr && call->parts.size() == 1 && script_->IifMethod() != nullptr) {
    auto* part = dynamic_cast<script::TfsMethodPart*>(call->parts[0].get());
    if (part != nullptr && part->method == script_->IifMethod() && part->method->handler &&
        part->args.size() == 3 && std::all_of(part->var_targets.begin(), part->var_targets.end(),
                                              [](const auto* t) { return t == nullptr; })) {
      entry->iif = true;
      for (size_t i = 0; i < 3; ++i) entry->iif_args[i] = part->args[i]->source;
    }
  }
  // A comparison of a Get call with a constant, on either side.
  if (auto* cmp = dynamic_cast<script::TfsCompareExpr*>(entry->result); cmp != nullptr && cmp->left && cmp->right) {
    const script::TfsCustomVariable* get = script_->GetMethod();
    const script::TfsMethodPart* call = GetCallOf(*cmp->left, get);
    const script::TfsExpr* other = cmp->right.get();
    entry->get_on_left = call != nullptr;
    if (call == nullptr) {
      call = GetCallOf(*cmp->right, get);
      other = cmp->left.get();
    }
    auto* constant = dynamic_cast<const script::TfsConstExpr*>(other);
    if (call != nullptr && constant != nullptr) {
      entry->compare_get = true;
      entry->compare_op = cmp->op;
      entry->get_name = static_cast<const script::TfsConstExpr&>(*call->args[0]).value.text();
      entry->compare_constant = constant;
      entry->get_script = call->script;
    }
  }
  Compiled* raw = entry.get();
  compiled_.emplace(std::move(upper), std::move(entry));
  return raw;
}

Variant TfrxExpressions::Run(Compiled& compiled, TextInfo& info) {
  if (compiled.result != nullptr) {
    script::TfsRuntime& rt = compiled.program->runtime();
    if (rt.step_limit == 0 && !rt.has_deadline && !rt.on_run_line &&
        !rt.terminate_request.load(std::memory_order_relaxed) && rt.depth < rt.max_depth) {
      // The call's frame counts one level of depth; the rest of it (flags, step count,
      // the result variable) has no effect on what the expression gives.
      DepthGuard depth(rt.depth);
      if (compiled.compare_get) {
        // Get's handler called as the method part calls it (its text refused past the
        // limit), the constant as its node gives it, the two compared by the operator's rule.
        const Variant got = GetAt(compiled.get_name, &info.compare_site);
        if (got.IsString() && compiled.get_script != nullptr &&
            got.text().size() > compiled.get_script->runtime().max_string) {
          throw script::EScriptError("String too long");
        }
        const Variant& constant = compiled.compare_constant->value;
        return compiled.get_on_left ? script::CompareValues(compiled.compare_op, got, constant)
                                    : script::CompareValues(compiled.compare_op, constant, got);
      }
      if (!compiled.iif) return compiled.result->Eval();
      // IIF's handler called as the method part calls it, without the part: its result
      // refused past the runtime's text limit, nothing to write back.
      Variant value = IifAt(compiled.iif_args, info.iif_sites);
      if (value.IsString() && value.text().size() > rt.max_string) throw script::EScriptError("String too long");
      return value;
    }
  }
  return compiled.program->CallFunction(compiled.function_name);
}

TfrxDataSet* TfrxExpressions::FindDataSet(std::string_view user_name) const {
  for (const auto& item : report_.DataSets()) {
    TfrxDataSet* ds = item->data_set.Get();
    if (ds != nullptr && SameVariableName(ds->UserName(), user_name)) return ds;
  }
  return nullptr;
}

bool TfrxExpressions::ResolveName(std::string_view name, Variant& value) {
  InfoUse use(*this);
  return Resolve(Info(name), name, value);
}

TfrxDataSet* TfrxExpressions::BoundDataSet(TextInfo& info) const {
  const auto& items = report_.DataSets();
  DataSetBinding& b = info.data_set;
  const uint64_t names = TfrxDataSet::NamesGeneration();
  if (b.names == names && (b.found ? b.checked <= items.size() : b.checked == items.size())) {
    size_t i = 0;
    while (i < b.checked && items[i]->data_set.Get() == b.listed[i]) ++i;
    if (i == b.checked) return b.found ? b.listed[i - 1] : nullptr;
  }
  b.names = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    TfrxDataSet* ds = items[i]->data_set.Get();
    if (i < kMaxBoundPosition) b.listed[i] = ds;
    if (ds != nullptr && SameVariableName(ds->UserName(), info.data_set_name)) {
      if (i < kMaxBoundPosition) {
        b.names = names;
        b.checked = i + 1;
        b.found = true;
      }
      return ds;
    }
  }
  // No match (a text such as <A."F"> that only looks like a field, or a data set not listed
  // yet): kept too, while the list is short enough to be compared whole.
  if (items.size() <= kMaxBoundPosition) {
    b.names = names;
    b.checked = items.size();
    b.found = false;
  }
  return nullptr;
}

bool TfrxExpressions::Resolve(TextInfo& info, std::string_view name, Variant& value) {
  // Data field: DataSet."FIELD"
  if (info.field_form) {
    if (TfrxDataSet* ds = BoundDataSet(info)) {
      if (FieldValue(*ds, info.field_name, info.field_slot, value)) return true;
    }
  }

  // System variables.
  auto number = [&value](int n) {
    value = Variant(static_cast<int32_t>(n));
    return true;
  };
  switch (info.system) {
    case SystemName::kNone:
      break;
    case SystemName::kDate:
      value = Variant::FromDate(state_.start_date);
      return true;
    case SystemName::kTime:
      value = Variant::FromDate(state_.start_time);
      return true;
    case SystemName::kPage:
      return number(state_.page);
    case SystemName::kPagePhysical:
      return number(state_.page_physical);
    case SystemName::kTotalPages:
      return number(state_.total_pages);
    case SystemName::kTotalPagesAll:
      return number(state_.total_pages_all);
    case SystemName::kLine:
      return number(state_.line);
    case SystemName::kLineAll:
      return number(state_.line_all);
    case SystemName::kCopyName: {
      std::lock_guard lock(GlobalVariablesLock());
      value = frxGlobalVariables().Get("CopyName0");
      return true;
    }
  }

  if (on_get_value && on_get_value(name, value)) return true;

  if (ResolveVariable(name, info, value)) return true;

  if (GlobalVariableCount() > 0) {
    std::lock_guard lock(GlobalVariablesLock());
    if (TfrxVariable* g = frxGlobalVariables().Find(name)) {
      value = g->value;
      return true;
    }
  }

  if (info.ident) {
    if (script::TfsCustomVariable* v = script_->FindVariable(std::string(name))) {
      value = v->GetValue();
      return true;
    }
  }
  return false;
}

bool TfrxExpressions::ResolveVariable(std::string_view name, TextInfo& info, Variant& value) {
  const uint64_t names = TfrxVariable::NamesGeneration();
  const size_t count = static_cast<size_t>(variables_.Count());
  TfrxVariable* v = nullptr;
  if (info.variables_generation == names && info.variables_count == count) {
    v = info.variable;
  } else {
    const int index = variables_.IndexOf(name, info.ascii);
    v = index < 0 ? nullptr : &variables_.Item(index);
    // An entry is kept only when no other entry has its name.
    const bool kept = index < 0 || variables_.IndexOf(name, info.ascii, index + 1) < 0;
    info.variables_generation = kept ? names : 0;
    info.variables_count = count;
    info.variable = v;
  }
  if (v == nullptr) return false;
  if (!v->value.IsString()) {
    value = v->value;
    return true;
  }
  const std::string& text = v->value.text();
  if (text.find("\r\n") != std::string::npos) {
    value = v->value;
    return true;
  }
  // A blank expression has no value (a variable the host has not set yet).
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
    value = Variant::Null();
    return true;
  }
  if (SameName(report_.script_language, "PascalScript") && PascalLiteral(text, value)) return true;
  for (const void* e : evaluating_) {
    if (e == v) Refuse(frxGet("clVarSelfRef") + " " + v->Name());
  }
  evaluating_.push_back(v);
  struct Pop {
    std::vector<const void*>& stack;
    ~Pop() { stack.pop_back(); }
  } pop{evaluating_};
  // The variable may be renamed or removed while its value is evaluated: copy the text.
  std::string expression = text;
  value = Calc(expression);
  return true;
}

void TfrxExpressions::SaveForPrint(const TfrxReportComponent& object, bool texts) {
  auto it = saved_prints_.find(&object);
  if (it == saved_prints_.end()) {
    if (saved_prints_.size() >= kMaxSavedPrints) {
      std::erase_if(saved_prints_, [](const auto& item) { return !item.second.active; });
    }
    it = saved_prints_.emplace(&object, SavedPrint()).first;
  }
  SavedPrint& s = it->second;
  s.active = true;
  s.left = object.Left();
  s.top = object.Top();
  s.width = object.Width();
  s.height = object.Height();
  s.view = false;
  if (!texts) return;
  if (const auto* view = CachedCast<const TfrxView>(&object)) {
    s.view = true;
    s.tag_str = view->tag_str;
    s.hyperlink_value = const_cast<TfrxView*>(view)->Hyperlink().value;
  }
}

void TfrxExpressions::RestoreAfterPrint(TfrxReportComponent& object) {
  auto it = saved_prints_.find(&object);
  if (it == saved_prints_.end() || !it->second.active) return;
  SavedPrint& s = it->second;
  s.active = false;
  object.SetBounds(s.left, s.top, s.width, s.height);
  if (!s.view) return;
  if (auto* view = CachedCast<TfrxView>(&object)) {
    view->tag_str = s.tag_str;
    view->Hyperlink().value = s.hyperlink_value;
  }
}

Variant TfrxExpressions::Get(std::string_view name) { return GetAt(name, ArgumentSiteFor(name)); }

Variant TfrxExpressions::GetAt(std::string_view name, TfrxCalcSite* site) {
  Variant value;
  {
    InfoUse use(*this);
    if (Resolve(InfoAt(name, site), name, value)) return value;
  }
  size_t paren = name.find('(');
  if (paren != std::string_view::npos) {
    std::string head = AsciiUpperName(name.substr(0, paren));
    size_t b = head.find_first_not_of(" \t\r\n");
    size_t e = head.find_last_not_of(" \t\r\n");
    head = b == std::string::npos ? std::string() : head.substr(b, e - b + 1);
    if (head == "SUM" || head == "MIN" || head == "MAX" || head == "AVG" || head == "COUNT") {
      return Calc(name);
    }
  }
  report_.Errors().Add(frxGet("clUnknownVar") + " " + std::string(name));
  return Variant::Null();
}

}  // namespace lgoty::report
