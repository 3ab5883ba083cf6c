// TfrxReportScript: the report's script program.
//
// Registration puts into the program, as the host's items owned by this object:
//   - the system library (types, constants, functions, basic classes);
//   - the report's classes: every class of every object in the report, with its ancestors,
//     as a script class with its published properties, plus the methods and properties
//     the report exposes (TfrxComponent: Clear, FindObject, SetBounds, Objects, AllObjects,
//     Parent, Page, AbsLeft, AbsTop, SaveToStream, LoadFromStream; TfrxView: TagStr;
//     TfrxStretcheable: CalcHeight; TfrxCustomMemoView: CalcWidth, Text, AnsiText, Lines,
//     Value; TfrxReport: Calc, GetDataset, LoadFromFile, SaveToFile, ShowReport,
//     Terminated, Variables; TfrxVariables: Create, Variables[]);
//   - the enumerations of the object model and the unit constants (fr1cm ...,
//     clTransparent);
//   - the objects: every named object of the report, Report, Engine and Outline
//     (report/engine_script.h), Value, Self and frxGlobalVariables;
//   - the report's functions: Get, Set, IIF, SUM, AVG, MIN, MAX, COUNT, DayOf, MonthOf,
//     YearOf;
//   - whatever the registered report script modules add (data sets, dialog controls, the
//     engine's objects). Modules run before the generic class registration, so a module
//     that registers a class first gives it its own members.
//
// Prepare() removes the previous registrations, registers anew, compiles ScriptText in
// ScriptLanguage and empties the expression cache. Calc works without Prepare: the first
// expression compiled registers what it needs (EnsureRegistered).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/variant.h"

namespace lgoty::script {
class TfsScript;
class TfsCustomVariable;
}

namespace lgoty::report {

class TfrxReport;
class TfrxComponent;
class TfrxScriptOutline;
class TfrxExpressions;

// A registration module of the report's program: adds classes, methods or objects for a
// group of report components. `program.registrant` is set so that they are removed with
// the report's own registrations.
using TfrxScriptModule = void (*)(TfrxReport& report, script::TfsScript& program);
// Adds a module to the process-wide list (once per function; thread-safe).
void RegisterReportScriptModule(TfrxScriptModule module);

class TfrxReportScript {
 public:
  TfrxReportScript(TfrxReport& report, TfrxExpressions& expressions);
  ~TfrxReportScript();
  TfrxReportScript(const TfrxReportScript&) = delete;
  TfrxReportScript& operator=(const TfrxReportScript&) = delete;

  script::TfsScript& Program() { return *program_; }

  // Registers and compiles. False with ErrorMessage() ("line:column: message" is
  // ErrorPos() and ErrorMessage()) when the script does not compile.
  bool Prepare();
  bool IsPrepared() const { return prepared_; }
  const std::string& ErrorMessage() const { return error_message_; }
  const std::string& ErrorPos() const { return error_pos_; }
  // Runs the main block of a prepared program (main-program flag on).
  void RunMainBlock();
  // Runs a procedure of the prepared program with args, leaving var arguments' values in
  // args; false (nothing ran) when the program has no procedure of that name. Prepare
  // installs this as the report's script procedure call (TfrxReport::CallScriptProcedure).
  bool CallProcedure(const std::string& name, std::vector<core::Variant>& args);

  // Registers the report's items unless they are registered.
  void EnsureRegistered();
  // Removes the report's registrations and empties the expression cache: objects are
  // about to go away (the report is cleared or loads another template).
  void Unprepare();

  // The value of a variable of the program that expressions may read: not a procedure,
  // method, class, type or property. nullptr when none.
  script::TfsCustomVariable* FindVariable(const std::string& name) const;

  // Script variables Self (the object whose event runs) and Value (the value of the
  // current expression).
  void SetSelf(TfrxComponent* component);
  void SetValue(const core::Variant& value);
  // Whether an expression "<NAME>" compiles to a call of the report's own Get: the language
  // is PascalScript and the name Get finds the report's function (a script may declare
  // its own). Registers the report's items first. Asked again when the program's names or
  // the language change.
  bool BracketsCallOwnGet();
  // The report's IIF as registered (nullptr before registration): a compiled call of it
  // may be evaluated by TfrxExpressions::Iif without the interpreter.
  const script::TfsCustomVariable* IifMethod() const { return iif_method_; }
  // The report's Get as registered (nullptr before registration).
  const script::TfsCustomVariable* GetMethod() const { return get_method_; }

  // Measuring hooks for CalcHeight and CalcWidth (text layout lives above this layer);
  // without them the object's current height and width are returned.
  std::function<double(TfrxComponent&)> on_calc_height;
  std::function<double(TfrxComponent&)> on_calc_width;
  // ShowReport from a script.
  std::function<void()> on_show_report;

 private:
  void Register();
  void RegisterClasses();
  void RegisterFunctions();
  void RegisterObjects();

  TfrxReport& report_;
  TfrxExpressions& expressions_;
  std::unique_ptr<script::TfsScript> program_;
  std::unique_ptr<TfrxScriptOutline> outline_;  // the script's Outline
  script::TfsCustomVariable* value_variable_ = nullptr;
  // A text's storage kept while Value holds a value of another kind (see SetValue).
  core::Variant spare_text_;
  // The report's Get as registered, and what BracketsCallOwnGet found for the program's
  // names generation and language it saw last.
  const script::TfsCustomVariable* get_method_ = nullptr;
  const script::TfsCustomVariable* iif_method_ = nullptr;
  struct OwnGetAnswer {
    bool known = false;
    bool holds = false;
    uint64_t generation = 0;
    std::string language;
  } own_get_;
  bool registered_ = false;
  bool prepared_ = false;
  std::string error_message_, error_pos_;
};

}  // namespace lgoty::report
