// TfsScript: a compiled script and its execution.
//
// Life of a script: the host registers its types, classes, objects and functions (they are
// the host's items and survive Clear), sets Lines, Compile()s (tokenizer -> grammar
// interpreter -> IL tree -> program builder) and Execute()s the main block; afterwards it
// calls named procedures (CallFunction) for events.
//
// Procedures own a nested TfsScript (parameters, locals, statements) whose parent is the
// script they are declared in; names are looked up through the chain of parents.
//
// Untrusted scripts: every statement counts a step. The host may set a step budget, a time
// budget and the call depth limit; RequestTerminate() may be called from any thread and
// makes the running script stop at its next statement. Exceeding a budget or the depth
// limit raises EScriptError (a budget overrun cannot be caught by the script's
// try/except).
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/object.h"
#include "script/bindings.h"
#include "script/grammar.h"
#include "script/variables.h"

namespace lgoty::script {

class TfsStatementList;

// Errors the interpreter itself raises at run time (depth limit, index range, ...).
class EScriptError : public core::Exception {
 public:
  using core::Exception::Exception;
  const char* ClassName() const noexcept override { return "EScriptError"; }
};

// Stops a script that ran out of its budget; not a core::Exception, so the script's own
// try/except does not catch it.
class EScriptAbort : public std::exception {
 public:
  explicit EScriptAbort(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// State shared by a script and all its nested procedure scripts.
struct TfsRuntime {
  std::atomic<bool> terminate_request{false};
  uint64_t steps = 0;
  uint64_t step_limit = 0;          // 0: none
  std::chrono::steady_clock::time_point deadline{};
  bool has_deadline = false;
  int depth = 0;
  int max_depth = 400;
  size_t max_string = 64u << 20;    // bytes a string result may have
  std::function<void(const std::string& unit, const std::string& pos)> on_run_line;
  // Counts a step. The common case (no budget reached, no request, no line event) stays
  // inline; the rest is in Slow().
  void Tick(TfsScript& script, const std::string* unit, int line, int column) {
    if (++steps >= next_check || terminate_request.load(std::memory_order_relaxed) || on_run_line) {
      Slow(script, unit, line, column);
    }
  }
  // The step count at which budgets are checked next.
  uint64_t next_check = 1024;

 private:
  void Slow(TfsScript& script, const std::string* unit, int line, int column);
};

struct TfsExecFlags {
  bool terminated = false;
  bool exit = false;
  bool brk = false;
  bool cont = false;
};

class TfsScript {
 public:
  explicit TfsScript(TfsScript* parent = nullptr);
  ~TfsScript();
  TfsScript(const TfsScript&) = delete;
  TfsScript& operator=(const TfsScript&) = delete;

  // --- source and compilation
  void SetLines(std::string text) { lines_ = std::move(text); }
  const std::string& Lines() const { return lines_; }
  std::string syntax_type = "PascalScript";
  std::vector<std::string> include_path{""};
  bool extended_chars = false;   // bytes 0x80..0xFF in identifiers
  bool late_binding = false;     // unknown members of objects resolved at run time
  UnitRequest on_get_unit;
  // ShowMessage's output (nothing is shown without one).
  std::function<void(const std::string& text)> on_show_message;
  TfsValueRequest on_get_var_value;

  // Drops the previous program, parses and builds. False with ErrorMessage/ErrorPos/
  // ErrorUnit set on a syntax or build error. An unknown language throws EGrammarError.
  bool Compile();
  const std::string& ErrorMessage() const { return error_msg_; }
  const std::string& ErrorPos() const { return error_pos_; }
  const std::string& ErrorUnit() const { return error_unit_; }
  // The IL tree of the last successful compilation, as XML (for diagnostics and tests).
  const std::string& IlXml() const { return il_xml_; }

  // --- execution
  void Execute();
  // Runs a script procedure or function by name with the elements of params (a variant
  // array, or a single value, or Empty for none). Null, and nothing runs, when the name is
  // not a procedure of the script.
  Variant CallFunction(const std::string& name, const Variant& params = Variant(),
                       bool search_parents = false);
  // The same, writing the values of var parameters back into params.
  Variant CallFunction1(const std::string& name, Variant& params, bool search_parents = false);
  void Terminate();
  // Thread-safe: the running script stops at its next statement.
  void RequestTerminate() { runtime().terminate_request.store(true, std::memory_order_relaxed); }
  void SetStepLimit(uint64_t steps) { runtime().step_limit = steps; }
  void SetTimeLimit(std::chrono::milliseconds limit);
  void SetMaxCallDepth(int depth) { runtime().max_depth = depth; }
  void SetMaxStringLength(size_t bytes) { runtime().max_string = bytes; }
  void SetOnRunLine(std::function<void(const std::string&, const std::string&)> f) {
    runtime().on_run_line = std::move(f);
  }
  bool Terminated() const { return flags.terminated; }
  bool IsRunning() const { return running_; }
  // Main-program flag (see ProgRunning).
  bool main_prog = false;
  // The nested script currently running (recorded on the nearest main-program script).
  TfsScript* prog_running = nullptr;
  TfsScript* MainProgram();

  // --- names
  TfsScript* Parent() const { return parent_; }
  // Own items, then the parents'. Case-insensitive.
  TfsCustomVariable* Find(const std::string& name) const;
  // Raised whenever this script's own names or registrations are added or removed: what
  // Find gave for a name stays while this and its parents' generations stay.
  uint64_t NamesGeneration() const { return names_generation_; }
  TfsCustomVariable* FindLocal(const std::string& name) const;
  // Only the script's own declarations (not the host's registrations).
  TfsCustomVariable* FindDeclared(const std::string& name) const;
  TfsClassVariable* FindClass(const std::string& name) const;
  bool ClassInherits(const std::string& derived, const std::string& base) const;
  // Drops everything the script declared itself; the host's registrations stay.
  void Clear();
  // Drops the registrations made by `owner`. The compiled program may refer to them:
  // compile again before running.
  void RemoveItems(const void* owner);

  // --- registration (the host's items)
  const void* registrant = nullptr;  // recorded as added_by of new registrations
  TfsTypeVariable* AddType(const std::string& name, TfsVarType type);
  TfsVariable* AddConst(const std::string& name, const std::string& type_name, const Variant& value);
  void AddEnum(const std::string& type_name, const std::string& names);
  void AddEnumSet(const std::string& type_name, const std::string& names);
  TfsVariable* AddVariable(const std::string& name, const std::string& type_name, const Variant& value);
  TfsVariable* AddObject(const std::string& name, core::TObject* object);
  // nullptr when a class of that name exists. Published properties of the RTTI class of
  // the same name (if any) become members.
  TfsClassVariable* AddClass(const std::string& name, const std::string& ancestor);
  // The class of that name: the one registered already, or a new one with that ancestor.
  TfsClassVariable* FindOrAddClass(const std::string& name, const std::string& ancestor);
  TfsMethodHelper* AddMethod(const std::string& declaration, TfsCallMethod handler,
                             const std::string& category = "", const std::string& description = "");
  // A container: its class (a descendant of "TComponent" unless given) with each owned
  // component as a member, and the container itself as an object.
  void AddComponent(const std::string& name, core::TObject* container,
                    const std::vector<std::pair<std::string, core::TObject*>>& owned,
                    const std::string& ancestor = "TComponent");
  // Runs every registration module once for this script.
  void AddRTTI();

  // Used by the builder and the runtime.
  TfsCustomVariable* AddItem(std::unique_ptr<TfsCustomVariable> item, bool host);
  TfsType ResolveType(const std::string& type_name) const;
  TfsRuntime& runtime() { return *runtime_; }
  TfsExecFlags flags;
  std::unique_ptr<TfsStatementList> statement;
  // Keeps connected events alive as long as the script.
  std::vector<std::shared_ptr<void>> event_objects;
  const std::string* SourceText() const { return &lines_; }
  // The script's own variables and parameters (saved and restored around recursion).
  const std::vector<TfsCustomVariable*>& OwnVariables() const;
  // Unit names that statements point to (stable storage).
  std::deque<std::string> unit_names;
  // Objects the script created (constructors); destroyed with the script.
  std::vector<std::unique_ptr<core::TObject>> created_objects;

 private:
  void ResetFlags();

  TfsScript* parent_;
  std::shared_ptr<TfsRuntime> runtime_;
  std::string lines_;
  std::string error_msg_, error_pos_, error_unit_;
  std::string il_xml_;
  bool running_ = false;
  std::vector<std::unique_ptr<TfsCustomVariable>> items_;
  std::multimap<std::string, TfsCustomVariable*> declared_;  // the script's own, by upper name
  std::multimap<std::string, TfsCustomVariable*> host_;      // registrations
  uint64_t names_generation_ = 0;
  std::vector<int> modules_added_;
  mutable std::vector<TfsCustomVariable*> own_cache_;
  mutable bool own_cache_valid_ = false;
};

// Registration modules: functions that register a group of classes or functions into a
// script. The list is process-wide and filled at start-up (the system library is always in
// it); TfsScript::AddRTTI runs each once per script.
using TfsRttiModule = void (*)(TfsScript& script);
void RegisterRttiModule(TfsRttiModule module);
const std::vector<TfsRttiModule>& RttiModules();

}  // namespace lgoty::script
