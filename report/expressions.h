// TfrxExpressions: how a report evaluates expressions.
//
// Calc(expression):
//   1. ResolveName(expression): a bare data field, system variable, host value, report
//      variable, global variable or script variable never reaches the compiler.
//   2. Otherwise the expression cache: each distinct text (letter case ignored outside its
//      quoted strings) is wrapped into a function "fr3fN" in the report's script language,
//      compiled once into a small program whose parent is the report's script (so it sees
//      the report's objects and functions) and run on later calls. The cache is emptied
//      whenever the report's script is prepared.
//   3. The function runs with the report program's main-program flag cleared.
//   4. Errors: a division by zero is ignored when EngineOptions.IgnoreDevByZero is on (the
//      value is Null). Otherwise the message, prefixed with the name of the object being
//      processed, goes to the report's error list and is raised as EExpressionError.
//      CalcFromScript prefixes clErrorInExp instead and does not list it. An error of an
//      expression evaluated inside another one (a variable's value, an IIF branch) rises
//      unlisted and the outermost Calc lists it once.
//
// ResolveName(name), first success wins:
//   data field      `DataSet."FIELD"`: the field's value; Null becomes "", false or 0 by
//                   the field's type when EngineOptions.ConvertNulls is on;
//   system variable Date Time Page Page# TotalPages TotalPages# Line Line# CopyName#
//                   (from State(); CopyName# is the global variable "CopyName0");
//   host value      on_get_value;
//   report variable a string holding CR LF is returned as it is, another string is an
//                   expression (Calc), other values are returned as they are;
//   global variable as it is;
//   script variable of the report's script (procedures and methods do not count).
//
// What a text is (a data field's data set and field, a system variable, an identifier, its
// compiled function) is worked out once per exact text and remembered until the cache is
// emptied; what the names stand for (data sets, variables, host values) is asked on every
// call, in the order above. A caller that evaluates the same text again and again (a memo's
// bracketed expression) keeps a TfrxCalcSite so that even the lookup by text is skipped.
// A text that is one bracketed name, "<NAME>" (see BracketedName), compiles to the call
// Get('NAME') in PascalScript: while Get is the report's own and no run budget, line hook
// or stop request is in force, Get is called directly instead, with the same result,
// errors and nesting limit.
// The texts an expression's function hands back while it runs (IIF's arguments, the names
// given to Get) get sites of their own, kept with the running expression's entry and found
// there by their text: the same function hands back the same few texts on every call.
//
// Self-reference: a report variable whose expression needs its own value (directly or
// through other variables) is refused with clVarSelfRef; expressions nest at most
// kMaxNesting levels deep (clExprTooDeep). Both go to the error list.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/exception.h"
#include "core/variant.h"
#include "report/field_slot.h"
#include "report/run_state.h"
#include "report/variables.h"

namespace lgoty::script {
class TfsScript;
class TfsExpr;
class TfsConstExpr;
enum class TfsOp : uint8_t;
}

namespace lgoty::report {

class TfrxReport;
class TfrxReportComponent;
class TfrxDataSet;
class TfrxReportScript;
class TfrxAggregateList;

// An expression that could not be compiled or failed while running.
class EExpressionError : public core::Exception {
 public:
  using core::Exception::Exception;
  const char* ClassName() const noexcept override { return "EExpressionError"; }
};

// One field of the current row of a data set.
struct TfrxDataField {
  core::Variant value;       // as the data set gives it (Null stays Null)
  std::string display_text;  // the field's display text
  bool is_blob = false;      // a memo or binary field
  enum class Kind { kOther, kNumeric, kString, kBoolean } kind = Kind::kOther;
};

// A place that evaluates one text every time (see Calc(text, site)): remembers what the
// text was found to be. Emptying the expression cache makes it forget.
class TfrxCalcSite {
 private:
  friend class TfrxExpressions;
  const void* entry_ = nullptr;
  uint64_t epoch_ = 0;
  // Where Calc(text, site, out) reads a data field before exchanging it with out: the two
  // keep the storage of the texts read so far.
  core::Variant spare_;
};

class TfrxExpressions {
 public:
  // Nested Calc levels (variables evaluating variables, IIF branches, aggregate values).
  static constexpr int kMaxNesting = 32;

  // The report owns this object (TfrxReport::Expressions()) and outlives it.
  explicit TfrxExpressions(TfrxReport& report);
  ~TfrxExpressions();
  TfrxExpressions(const TfrxExpressions&) = delete;
  TfrxExpressions& operator=(const TfrxExpressions&) = delete;

  TfrxReport& Report() const { return report_; }
  TfrxRunState& State() { return state_; }
  TfrxReportScript& Script() { return *script_; }
  TfrxAggregateList& Aggregates() { return *aggregates_; }
  TfrxVariables& Variables() { return variables_; }

  core::Variant Calc(std::string_view expression);
  // Calc for a caller that always passes the same text with the same site.
  core::Variant Calc(std::string_view expression, TfrxCalcSite& site);
  // That Calc written into out: when it raises, out stays as it was. A data field's value is
  // read into storage out and the site hold in turn (no text allocated row after row).
  void Calc(std::string_view expression, TfrxCalcSite& site, core::Variant& out);
  core::Variant CalcFromScript(std::string_view expression);
  // Calc for a text handed back by the expression being evaluated (a macro's argument):
  // the same result as Calc, with the text's site remembered by the running expression.
  core::Variant CalcArgument(std::string_view expression);
  // CalcArgument of a text that is one bracketed name, "<NAME>" (see Calc: such a text
  // calls Get directly whenever that gives what the compiled call gives).
  core::Variant CalcGetArgument(std::string_view expression, std::string_view name);
  // The report's IIF of three argument texts: the condition's value decides which of the
  // other two is evaluated (CalcArgument); any error gives Null.
  core::Variant Iif(std::string_view condition, std::string_view if_true, std::string_view if_false);
  bool ResolveName(std::string_view name, core::Variant& value);
  // The script function Get: ResolveName; an unknown aggregate call is evaluated with
  // Calc; any other unknown name adds "clUnknownVar NAME" to the error list and gives Null.
  core::Variant Get(std::string_view name);
  void Set(std::string_view name, const core::Variant& value) { variables_.Set(name, value); }

  // The data set known to the report under that user name (letter case ignored), nullptr
  // when none.
  TfrxDataSet* FindDataSet(std::string_view user_name) const;
  // A field of the data set's current row; false when the data set lacks the field.
  bool ReadField(TfrxDataSet& data_set, const std::string& field, TfrxDataField& out) const;
  // A field's value with ConvertNulls applied; false when the data set lacks the field.
  bool FieldValue(TfrxDataSet& data_set, const std::string& field, core::Variant& value) const;
  // FieldValue for a caller that always passes the same field name with the same slot.
  bool FieldValue(TfrxDataSet& data_set, const std::string& field, TfrxFieldSlot& slot,
                  core::Variant& value) const;

  // Custom values from the host, asked after the system variables: true when it knows the
  // name.
  std::function<bool(std::string_view name, core::Variant& value)> on_get_value;

  // What a print may change on an object: its rectangle and, for views, TagStr and
  // Hyperlink.Value. The engine's BeforePrint saves them, its AfterPrint puts them back.
  // texts = false leaves TagStr and Hyperlink.Value to the caller (a memo's are saved and
  // put back with its lines, by MemoBeforePrint and MemoAfterPrint).
  void SaveForPrint(const TfrxReportComponent& object, bool texts = true);
  void RestoreAfterPrint(TfrxReportComponent& object);

  // The expression cache.
  void ClearCache();
  // Functions compiled since the cache was last emptied.
  int CachedCount() const { return static_cast<int>(compiled_.size()); }

 private:
  // An entry stays once its object is restored (inactive), so that the next print of the
  // object reuses it and its strings' storage instead of allocating them again.
  struct SavedPrint {
    bool active = false;
    double left = 0, top = 0, width = 0, height = 0;
    bool view = false;
    std::string tag_str, hyperlink_value;
  };
  static constexpr size_t kMaxSavedPrints = 4096;  // inactive entries go past this many
  struct Compiled {
    std::unique_ptr<script::TfsScript> program;
    std::string function_name;
    // The expression the function's one statement assigns to its Variant result: evaluated
    // on its own it gives what calling the function gives, without the call's frame.
    script::TfsExpr* result = nullptr;
    // When the result is a call of the report's IIF: its three argument texts, evaluated by
    // Iif as the call's handler would (see Run).
    bool iif = false;
    std::string iif_args[3];
    // When the result compares a call of the report's Get with a constant text as its one
    // argument (<NAME> = 1, 'A' <> <NAME>) and another constant: evaluated by Get and the
    // operator's own rule (see Run). The constant belongs to the program.
    bool compare_get = false;
    script::TfsOp compare_op{};
    bool get_on_left = false;
    std::string get_name;
    const script::TfsConstExpr* compare_constant = nullptr;
    script::TfsScript* get_script = nullptr;  // its runtime limits Get's text
  };
  enum class SystemName : uint8_t {
    kNone, kDate, kTime, kPage, kPagePhysical, kTotalPages, kTotalPagesAll, kLine, kLineAll, kCopyName
  };
  // A text handed back by an expression's function and what it was found to be.
  struct ArgumentSite {
    std::string text;
    TfrxCalcSite site;
  };
  // An expression hands back only a few texts; past that many they are looked up by text.
  static constexpr size_t kMaxArgumentSites = 16;
  // What the search for a field text's data set found, kept while
  // TfrxDataSet::NamesGeneration() is `names` and the report's list holds the same data sets
  // in the entries the search looked at: up to the one found (first match wins, so only
  // those before it and itself matter), or all of them when none matched.
  static constexpr size_t kMaxBoundPosition = 4;
  struct DataSetBinding {
    uint64_t names = 0;  // 0: nothing kept
    size_t checked = 0;  // list entries looked at
    bool found = false;  // the last of them is the data set
    TfrxDataSet* listed[kMaxBoundPosition] = {};
  };
  // What an exact text is, independent of the report's state.
  struct TextInfo {
    bool field_form = false;  // DataSet."FIELD"
    std::string data_set_name, field_name;
    // Where the data set and field were found last (a hint checked on every use).
    DataSetBinding data_set;
    TfrxFieldSlot field_slot;
    SystemName system = SystemName::kNone;
    bool ident = false;
    bool ascii = false;  // the text has no byte past ASCII (variable names compare faster)
    // What the report's variables held for this name while TfrxVariable::NamesGeneration()
    // was `variables_generation` and the list had `variables_count` entries (0: not known):
    // no entry (`variable` null), or exactly one, `variable`. Either stays true while both
    // stay the same (an entry that is the only one of its name is found first wherever a
    // reordering puts it), and asking the list again costs a comparison per entry; most
    // texts are no variable at all.
    uint64_t variables_generation = 0;
    size_t variables_count = 0;
    TfrxVariable* variable = nullptr;
    // "<NAME>": NAME, and where Get's lookup of NAME keeps what it found.
    bool get_form = false;
    std::string get_name;
    TfrxCalcSite get_site;
    Compiled* compiled = nullptr;  // owned by compiled_; set once it compiled
    std::vector<ArgumentSite> argument_sites;  // texts its function handed back
    // When Run evaluates the function's IIF or Get comparison itself: the sites of the
    // argument texts and of Get's name, by position. The entry's function changes only when
    // the cache is emptied, which also makes every site's generation stale, so a site always
    // names the entry of the text now at its position and needs no search by text.
    TfrxCalcSite iif_sites[3];
    TfrxCalcSite compare_site;
  };
  // Holds TextInfo entries in use: they are not freed before it ends.
  struct InfoUse {
    TfrxExpressions& owner;
    explicit InfoUse(TfrxExpressions& o) : owner(o) { ++owner.info_users_; }
    // Inline: every evaluation passes here, and there is seldom anything retired to free.
    ~InfoUse() {
      if (--owner.info_users_ == 0 && (!owner.retired_.empty() || !owner.retired_compiled_.empty())) [[unlikely]] {
        owner.FreeRetired();
      }
    }
  };
  // Frees the entries and functions retired while evaluations were under way. Kept out of
  // line so that ~InfoUse stays small enough to be inlined everywhere.
  [[gnu::noinline]] void FreeRetired();
  TextInfo& Info(std::string_view text);
  // The entry of a text, through the site when it remembers one of this generation.
  TextInfo& InfoAt(std::string_view text, TfrxCalcSite* site);
  // The site of a text handed back by the expression running now; nullptr when none runs
  // or it already keeps as many as it may.
  TfrxCalcSite* ArgumentSiteFor(std::string_view text);
  void ForgetInfos();
  bool Resolve(TextInfo& info, std::string_view name, core::Variant& value);
  // FindDataSet(info.data_set_name) through the info's binding.
  TfrxDataSet* BoundDataSet(TextInfo& info) const;
  core::Variant CalcImpl(std::string_view expression, bool from_script, TfrxCalcSite* site);
  // Runs the compiled function (or evaluates its result expression directly when no run
  // budget, line hook or stop request is in force, which are what the call would check).
  // `info` is the entry being evaluated (its sites serve the IIF arguments and Get's name).
  core::Variant Run(Compiled& compiled, TextInfo& info);
  // Iif of the three texts args[0..2], each evaluated through its site sites[i].
  core::Variant IifAt(const std::string* args, TfrxCalcSite* sites);
  // The compiled function for an expression; nullptr with `error` set when it does not
  // compile.
  Compiled* Compile(std::string_view expression, std::string& error);
  bool ResolveVariable(std::string_view name, TextInfo& info, core::Variant& value);
  // Get through the site of its name (nullptr: looked up by the text).
  core::Variant GetAt(std::string_view name, TfrxCalcSite* site);
  // Whether the text "<NAME>" may call Get directly now (see the class comment).
  bool GetFormAllowed();
  [[noreturn]] void Refuse(const std::string& message);

  TfrxReport& report_;
  TfrxRunState state_;
  TfrxVariables variables_;
  std::unique_ptr<TfrxReportScript> script_;
  std::unique_ptr<TfrxAggregateList> aggregates_;
  // Text upper-cased outside its quoted strings -> function.
  std::map<std::string, std::unique_ptr<Compiled>> compiled_;
  // Functions dropped from the cache while an evaluation was under way (see ClearCache).
  std::vector<std::unique_ptr<Compiled>> retired_compiled_;
  // Exact text -> what it is. Looked up by the text in place (a string_view) so that a hit
  // copies nothing. Bounded: texts built at run time could grow it without end.
  static constexpr size_t kMaxInfos = 4096;
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, std::unique_ptr<TextInfo>, TextHash, std::equal_to<>> infos_;
  // Entries forgotten while some were in use: freed when the last user is done.
  std::vector<std::unique_ptr<TextInfo>> retired_;
  int info_users_ = 0;
  // The entry whose function runs now (innermost); kept alive by the InfoUse of its Calc.
  TextInfo* running_ = nullptr;
  // Which generation of infos_ a TfrxCalcSite saw; unique in the process, so that a site
  // never mistakes another report's entry for this one's.
  uint64_t epoch_ = 0;
  int depth_ = 0;
  std::vector<const void*> evaluating_;  // report variables being evaluated
  std::unordered_map<const TfrxReportComponent*, SavedPrint> saved_prints_;
};

}  // namespace lgoty::report
