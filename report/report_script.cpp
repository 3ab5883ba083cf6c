#include "report/report_script.h"

#include <algorithm>
#include <mutex>

#include "core/ascii_text.h"
#include "core/text_format.h"
#include "core/text_trim.h"
#include "report/aggregates.h"
#include "report/bands.h"
#include "report/data_set_script.h"
#include "report/data_sets.h"
#include "report/band_engine.h"
#include "report/engine_script.h"
#include "report/file_helper_script.h"
#include "report/enums.h"
#include "report/expressions.h"
#include "report/macro_argument.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/resources.h"
#include "report/units.h"
#include "report/variables.h"
#include "report/views.h"
#include "script/bindings.h"
#include "script/bound_object.h"
#include "script/interpreter.h"
#include "script/system_library.h"

namespace lgoty::report {

using core::Variant;
using script::TfsClassVariable;
using script::TfsScript;
using P = std::vector<Variant>;

namespace {

std::mutex& ModulesLock() {
  static std::mutex lock;
  return lock;
}

std::vector<TfrxScriptModule>& Modules() {
  static std::vector<TfrxScriptModule> modules;
  return modules;
}

TfrxComponent& Component(core::TObject* o) { return script::Self<TfrxComponent>(o, "TfrxComponent"); }

bool IsSetter(const std::string& upper_name) {
  return upper_name.size() > 4 && upper_name.compare(upper_name.size() - 4, 4, ".SET") == 0;
}

// The sum of `coordinate` over the component and its parents up to its page.
double AbsCoordinate(const TfrxComponent& c, double (TfrxComponent::*coordinate)() const) {
  double sum = 0;
  for (const TfrxComponent* p = &c; p != nullptr && dynamic_cast<const TfrxPage*>(p) == nullptr &&
                                     dynamic_cast<const TfrxReport*>(p) == nullptr;
       p = p->Parent()) {
    sum += (p->*coordinate)();
  }
  return sum;
}

// Splits the source text of a macro argument list element (already one argument).
std::string Trimmed(const Variant& v) {
  return v.IsString() ? std::string(core::Trim(v.text())) : std::string();
}

// The variant that a date function reads: a date, or a text or number converted to one.
core::TDateTime AsDate(const Variant& v) { return v.AsDate(core::DefaultFormatSettings()); }

}  // namespace

void RegisterReportScriptModule(TfrxScriptModule module) {
  std::lock_guard lock(ModulesLock());
  auto& modules = Modules();
  if (std::find(modules.begin(), modules.end(), module) == modules.end()) modules.push_back(module);
}

TfrxReportScript::TfrxReportScript(TfrxReport& report, TfrxExpressions& expressions)
    : report_(report), expressions_(expressions), program_(std::make_unique<TfsScript>()) {
  program_->extended_chars = true;
}

TfrxReportScript::~TfrxReportScript() = default;

void TfrxReportScript::EnsureRegistered() {
  if (!registered_) Register();
}

void TfrxReportScript::Unprepare() {
  expressions_.ClearCache();
  program_->Clear();
  program_->RemoveItems(this);
  value_variable_ = nullptr;
  get_method_ = nullptr;
  iif_method_ = nullptr;
  own_get_.known = false;
  registered_ = false;
  prepared_ = false;
}

bool TfrxReportScript::CallProcedure(const std::string& name, std::vector<Variant>& args) {
  if (!prepared_) return false;
  if (dynamic_cast<script::TfsProcVariable*>(program_->Find(name)) == nullptr) return false;
  Variant params = Variant::Array(args);
  program_->CallFunction1(name, params, false);
  for (size_t i = 0; i < args.size(); ++i) args[i] = params.At(static_cast<int32_t>(i));
  return true;
}

bool TfrxReportScript::Prepare() {
  Unprepare();
  report_.SetScriptProcedureCall(
      [this](const std::string& name, std::vector<Variant>& args) { return CallProcedure(name, args); });
  Register();
  program_->syntax_type = report_.script_language;
  program_->SetLines(report_.script_text.Text());
  error_message_.clear();
  error_pos_.clear();
  try {
    prepared_ = program_->Compile();
    if (!prepared_) {
      error_message_ = program_->ErrorMessage();
      error_pos_ = program_->ErrorPos();
    }
  } catch (const core::Exception& e) {
    prepared_ = false;
    error_message_ = e.what();
  }
  return prepared_;
}

void TfrxReportScript::RunMainBlock() {
  if (prepared_) program_->Execute();
}

script::TfsCustomVariable* TfrxReportScript::FindVariable(const std::string& name) const {
  script::TfsCustomVariable* v = program_->Find(name);
  if (v == nullptr) return nullptr;
  if (dynamic_cast<script::TfsProcVariable*>(v) != nullptr ||
      dynamic_cast<script::TfsMethodHelper*>(v) != nullptr ||
      dynamic_cast<TfsClassVariable*>(v) != nullptr ||
      dynamic_cast<script::TfsTypeVariable*>(v) != nullptr ||
      dynamic_cast<script::TfsPropertyHelper*>(v) != nullptr) {
    return nullptr;
  }
  return v;
}

void TfrxReportScript::SetSelf(TfrxComponent* component) {
  EnsureRegistered();
  if (auto* v = program_->FindLocal("Self")) {
    v->Raw() = Variant(static_cast<core::TObject*>(component));
    v->SetType({script::TfsVarType::fvtClass, component != nullptr ? component->ClassName() : "TObject"});
  }
}

void TfrxReportScript::SetValue(const Variant& value) {
  EnsureRegistered();
  if (value_variable_ == nullptr) return;
  Variant& held = value_variable_->Raw();
  // Memos alternate texts with numbers and dates row after row: when the kind changes, a
  // text's storage waits in spare_text_ (exchanged, not copied) instead of being freed and
  // made again, and the value is then assigned as usual.
  if (held.IsString() != value.IsString() && held.IsString() != spare_text_.IsString()) held.Swap(spare_text_);
  held = value;
}

bool TfrxReportScript::BracketsCallOwnGet() {
  EnsureRegistered();
  const std::string& current = report_.script_language;
  if (!own_get_.known || own_get_.generation != program_->NamesGeneration() || own_get_.language != current) {
    own_get_.generation = program_->NamesGeneration();
    own_get_.language = current;
    own_get_.holds = get_method_ != nullptr && core::AsciiSameText(current, "PascalScript") &&
                     program_->Find("Get") == get_method_;
    own_get_.known = true;
  }
  return own_get_.holds;
}

void TfrxReportScript::Register() {
  TfsScript& s = *program_;
  // The classes a template script reaches besides the report's objects; their published
  // properties come from the report's class registry, which must be filled first.
  RegisterReportClasses();
  RegisterDataSetScriptClasses();
  RegisterFileHelperScriptClasses();
  RegisterEngineScriptClasses();
  s.AddRTTI();
  const void* saved = s.registrant;
  s.registrant = this;
  std::vector<TfrxScriptModule> modules;
  {
    std::lock_guard lock(ModulesLock());
    modules = Modules();
  }
  for (TfrxScriptModule m : modules) m(report_, s);
  RegisterClasses();
  RegisterFunctions();
  RegisterObjects();
  s.registrant = saved;
  registered_ = true;
}

namespace {

// Registers a class of the report's class registry with its ancestors (ancestors first).
void RegisterClassChain(TfsScript& s, const core::ClassInfo* info) {
  if (info == nullptr || s.FindClass(info->Name()) != nullptr) return;
  const core::ClassInfo* parent = info->Parent();
  std::string ancestor = "TPersistent";
  if (parent != nullptr) {
    RegisterClassChain(s, parent);
    ancestor = parent->Name();
  } else if (info->InheritsFrom("TfrxComponent") || info->Name() == "TfrxComponent") {
    ancestor = "TComponent";
  }
  s.AddClass(info->Name(), ancestor);
}

void RegisterClassByName(TfsScript& s, const char* name) {
  RegisterClassChain(s, FindReportClass(name));
}

bool HasOwnMember(TfsClassVariable* c, const char* name) {
  if (c == nullptr) return true;
  for (const auto& m : c->Members()) {
    if (SameName(m->Name(), name)) return true;
  }
  return false;
}

}  // namespace

void TfrxReportScript::RegisterClasses() {
  TfsScript& s = *program_;
  TfsScript* program = program_.get();
  TfrxReportScript* self = this;
  TfrxReport* report = &report_;
  TfrxExpressions* expressions = &expressions_;

  for (const char* name : {"TfrxFont", "TfrxFrame", "TfrxFrameLine", "TfrxBrushFill", "TfrxGradientFill",
                           "TfrxGlassFill", "TfrxHyperlink", "TfrxFormat", "TfrxHighlight", "TfrxFillGaps",
                           "TfrxEngineOptions", "TfrxPreviewOptions", "TfrxPrintOptions", "TfrxReportOptions",
                           "TfrxMemoView", "TfrxSysMemoView", "TfrxPictureView", "TfrxLineView", "TfrxShapeView",
                           "TfrxSubreport", "TfrxReportPage", "TfrxDataPage", "TfrxDialogPage", "TfrxDataBand",
                           "TfrxDataSet", "TfrxReport"}) {
    RegisterClassByName(s, name);
  }
  // Every class met in the tree (data sets, dialog controls, band kinds).
  for (TfrxComponent* c : report_.AllObjects()) RegisterClassChain(s, c->ClassType());

  if (TfsClassVariable* c = s.FindClass("TfrxComponent")) {
    if (!HasOwnMember(c, "FindObject")) {
      c->AddMethod("procedure Clear", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
        TfrxComponent& component = Component(o);
        // Clearing the report would take the running script with it.
        if (component.AsReport() != nullptr) throw script::EScriptError("The report cannot be cleared by its script");
        // The objects stay alive with the report: the band that prints may be among them,
        // and the script's names for them still point at them.
        TfrxReport* report = component.Report();
        auto taken = component.TakeObjects();
        if (report != nullptr) report->KeepTakenObjects(std::move(taken));
        return Variant();
      });
      c->AddMethod("function FindObject(s: String): TfrxComponent",
                   [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                     return Variant(static_cast<core::TObject*>(Component(o).FindObject(p[0].AsString())));
                   });
      c->AddMethod("procedure SetBounds(ALeft, ATop, AWidth, AHeight: Extended)",
                   [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                     Component(o).SetBounds(p[0].AsDouble(), p[1].AsDouble(), p[2].AsDouble(), p[3].AsDouble());
                     return Variant();
                   });
      c->AddProperty("Objects", "TList", [program](core::TObject* o, TfsClassVariable*, const std::string&) {
        TfrxComponent& comp = Component(o);
        std::vector<Variant> items;
        for (int i = 0; i < comp.ObjectCount(); ++i) {
          items.emplace_back(static_cast<core::TObject*>(comp.Object(i)));
        }
        return Variant(script::NewScriptList(*program, std::move(items)));
      });
      c->AddProperty("AllObjects", "TList", [program](core::TObject* o, TfsClassVariable*, const std::string&) {
        std::vector<Variant> items;
        for (TfrxComponent* child : Component(o).AllObjects()) items.emplace_back(static_cast<core::TObject*>(child));
        return Variant(script::NewScriptList(*program, std::move(items)));
      });
      c->AddProperty("Parent", "TfrxComponent", [](core::TObject* o, TfsClassVariable*, const std::string&) {
        return Variant(static_cast<core::TObject*>(Component(o).Parent()));
      });
      c->AddProperty("Page", "TfrxPage", [](core::TObject* o, TfsClassVariable*, const std::string&) {
        return Variant(static_cast<core::TObject*>(Component(o).Page()));
      });
      c->AddProperty("AbsLeft", "Extended", [](core::TObject* o, TfsClassVariable*, const std::string&) {
        return Variant(AbsCoordinate(Component(o), &TfrxComponent::Left));
      });
      c->AddProperty("AbsTop", "Extended", [](core::TObject* o, TfsClassVariable*, const std::string&) {
        return Variant(AbsCoordinate(Component(o), &TfrxComponent::Top));
      });
    }
  }

  if (TfsClassVariable* c = s.FindClass("TfrxView"); c != nullptr && c->FindMember("TagStr") == nullptr) {
    c->AddProperty(
        "TagStr", "String",
        [](core::TObject* o, TfsClassVariable*, const std::string&) {
          return Variant(script::Self<TfrxView>(o, "TfrxView").tag_str);
        },
        [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
          script::Self<TfrxView>(o, "TfrxView").tag_str = v.AsString();
        });
  }

  if (TfsClassVariable* c = s.FindClass("TfrxStretcheable"); c != nullptr && !HasOwnMember(c, "CalcHeight")) {
    c->AddMethod("function CalcHeight: Extended", [self](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
      TfrxComponent& comp = Component(o);
      return Variant(self->on_calc_height ? self->on_calc_height(comp) : comp.Height());
    });
  }

  if (TfsClassVariable* c = s.FindClass("TfrxCustomMemoView"); c != nullptr && !HasOwnMember(c, "CalcWidth")) {
    auto memo = [](core::TObject* o) -> TfrxCustomMemoView& { return script::Self<TfrxCustomMemoView>(o, "TfrxCustomMemoView"); };
    c->AddMethod("function CalcWidth: Extended", [self](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
      TfrxComponent& comp = Component(o);
      return Variant(self->on_calc_width ? self->on_calc_width(comp) : comp.Width());
    });
    for (const char* name : {"Text", "AnsiText"}) {
      c->AddProperty(
          name, "String",
          [memo](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(memo(o).Text()); },
          [memo](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
            memo(o).SetText(v.AsString());
          });
    }
    c->AddProperty("Lines", "TStrings", [memo](core::TObject* o, TfsClassVariable*, const std::string&) {
      return Variant(static_cast<core::TObject*>(&memo(o).Lines()));
    });
    c->AddProperty(
        "Value", "Variant", [memo](core::TObject* o, TfsClassVariable*, const std::string&) { return memo(o).value; },
        [memo](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) { memo(o).value = v; });
  }

  if (TfsClassVariable* c = s.FindClass("TfrxEngineOptions"); c != nullptr && c->FindMember("DestroyForms") == nullptr) {
    c->AddProperty(
        "DestroyForms", "Boolean",
        [](core::TObject* o, TfsClassVariable*, const std::string&) {
          return Variant(script::Self<TfrxEngineOptions>(o, "TfrxEngineOptions").destroy_forms);
        },
        [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
          script::Self<TfrxEngineOptions>(o, "TfrxEngineOptions").destroy_forms = v.AsBoolean();
        });
  }

  // The variable lists: the report's Variables, frxGlobalVariables and script-made ones.
  TfsClassVariable* vars = s.FindClass("TfrxVariables");
  if (vars == nullptr) vars = s.AddClass("TfrxVariables", "TPersistent");
  if (vars != nullptr && !HasOwnMember(vars, "Variables")) {
    vars->AddConstructor("constructor Create", [program](core::TObject*, TfsClassVariable*, const std::string&, P&) {
      program->created_objects.push_back(std::make_unique<TfrxVariables>());
      return Variant(program->created_objects.back().get());
    });
    vars->AddDefaultProperty(
        "Variables", "String", "Variant", [](core::TObject* o, TfsClassVariable*, const std::string& name, P& p) {
          auto& list = script::Self<TfrxVariables>(o, "TfrxVariables");
          const bool global = &list == &frxGlobalVariables();
          std::unique_lock<std::mutex> lock;
          if (global) lock = std::unique_lock(GlobalVariablesLock());
          if (IsSetter(name)) {
            list.Set(p[0].AsString(), p[1]);
            return Variant();
          }
          return list.Get(p[0].AsString());
        });
  }
  if (s.FindClass("TfrxArray") == nullptr) {
    if (TfsClassVariable* arr = s.AddClass("TfrxArray", "TfrxVariables")) {
      arr->AddConstructor("constructor Create", [program](core::TObject*, TfsClassVariable*, const std::string&, P&) {
        program->created_objects.push_back(std::make_unique<TfrxVariables>());
        return Variant(program->created_objects.back().get());
      });
    }
  }

  if (TfsClassVariable* c = s.FindClass("TfrxReport"); c != nullptr && !HasOwnMember(c, "Calc")) {
    c->AddMethod("function Calc(const Expr: String): Variant",
                 [expressions](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                   return expressions->CalcFromScript(p[0].AsString());
                 });
    c->AddMethod("function GetDataset(const Alias: String): TfrxDataSet",
                 [expressions](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                   return Variant(static_cast<core::TObject*>(expressions->FindDataSet(p[0].AsString())));
                 });
    c->AddMethod("function LoadFromFile(const FileName: String): Boolean",
                 [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                   return Variant(script::Self<TfrxReport>(o, "TfrxReport").LoadFromFile(p[0].AsString()));
                 });
    c->AddMethod("procedure SaveToFile(const FileName: String)",
                 [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                   script::Self<TfrxReport>(o, "TfrxReport").SaveToFile(p[0].AsString());
                   return Variant();
                 });
    c->AddMethod("procedure ShowReport", [self](core::TObject*, TfsClassVariable*, const std::string&, P&) {
      if (self->on_show_report) self->on_show_report();
      return Variant();
    });
    c->AddProperty(
        "Terminated", "Boolean",
        [report](core::TObject*, TfsClassVariable*, const std::string&) { return Variant(report->Terminated()); },
        [report](core::TObject*, TfsClassVariable*, const std::string&, const Variant& v) {
          report->SetTerminated(v.AsBoolean());
        });
    c->AddProperty("Variables", "TfrxVariables", [expressions](core::TObject*, TfsClassVariable*, const std::string&) {
      return Variant(static_cast<core::TObject*>(&expressions->Variables()));
    });
  }

  // Enumerations and constants of the object model.
  const ReportEnums& e = Enums();
  auto names = [](const core::EnumInfo& info) {
    std::string out;
    for (const auto& n : info.names) out += (out.empty() ? "" : ",") + n;
    return out;
  };
  const std::pair<const char*, const core::EnumInfo*> enums[] = {
      {"TfrxStretchMode", &e.stretch_mode}, {"TfrxShiftMode", &e.shift_mode}, {"TfrxDuplexMode", &e.duplex},
      {"TfrxAlign", &e.align},              {"TfrxHAlign", &e.halign},        {"TfrxVAlign", &e.valign},
      {"TfrxShapeKind", &e.shape_kind},     {"TfrxZoomMode", &e.zoom_mode},   {"TfrxPrintPages", &e.print_pages},
      {"TfrxRangeBegin", &e.range_begin},   {"TfrxRangeEnd", &e.range_end},   {"TfrxFieldType", &e.field_type},
      {"TfrxFormatKind", &e.format_kind},   {"TfrxFillType", &e.fill_type},
  };
  for (const auto& [type, info] : enums) {
    if (s.FindLocal(type) == nullptr) s.AddEnum(type, names(*info));
  }
  if (s.FindLocal("TfrxFrameStyle") == nullptr) {
    s.AddEnum("TfrxFrameStyle", "fsSolid,fsDash,fsDot,fsDashDot,fsDashDotDot,fsDouble");
  }
  if (s.FindLocal("TfrxFrameTypes") == nullptr) s.AddEnumSet("TfrxFrameTypes", names(e.frame_type));
  if (s.FindLocal("TfrxRestrictions") == nullptr) {
    s.AddEnumSet("TfrxRestrictions", "rfDontModify,rfDontSize,rfDontMove,rfDontDelete");
  }
  if (s.FindLocal("TfrxPreviewButtons") == nullptr) {
    s.AddEnumSet("TfrxPreviewButtons",
                 "pbPrint,pbLoad,pbSave,pbExport,pbZoom,pbFind,pbTree,pbPageSetup,pbRefresh,pbEdit,pbNavigator,"
                 "pbExportQuick,pbNoClose,pbNoFullScreen,pbNoEmail");
  }
  const std::pair<const char*, double> units[] = {{"fr01cm", 3.77953}, {"fr1cm", 37.7953}, {"fr01in", 9.6},
                                                  {"fr1in", 96},       {"fr1CharX", 9.6},  {"fr1CharY", 17}};
  for (const auto& [name, value] : units) {
    if (s.FindLocal(name) == nullptr) s.AddConst(name, "Extended", Variant(value));
  }
  if (s.FindLocal("clTransparent") == nullptr) s.AddConst("clTransparent", "Integer", Variant(int32_t{536870911}));
}

void TfrxReportScript::RegisterFunctions() {
  TfsScript& s = *program_;
  TfrxExpressions* ex = &expressions_;
  using script::TfsClassVariable;

  get_method_ = s.AddMethod("function Get(Name: String): Variant",
              [ex](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                if (p[0].IsString()) return ex->Get(p[0].text());
                return ex->Get(p[0].AsString());
              },
              "ctOther");
  s.AddMethod("procedure Set(Name: String; Value: Variant)",
              [ex](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                ex->Set(p[0].AsString(), p[1]);
                return Variant();
              },
              "ctOther");
  iif_method_ = s.AddMethod("macrofunction IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant",
                            [ex](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                              // Macro arguments are source texts: evaluated in place, not
                              // copied. The list is this call's own, so nothing changes it
                              // while they are evaluated.
                              std::string texts[3];
                              std::string_view views[3];
                              for (size_t i = 0; i < 3; ++i) {
                                if (p[i].IsString()) {
                                  views[i] = p[i].text();
                                } else {
                                  texts[i] = p[i].AsString();
                                  views[i] = texts[i];
                                }
                              }
                              return ex->Iif(views[0], views[1], views[2]);
                            },
                            "ctOther");
  struct Aggregate {
    const char* declaration;
    TfrxAggregateFunction function;
  };
  const Aggregate aggregates[] = {
      {"macrofunction SUM(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", TfrxAggregateFunction::agSum},
      {"macrofunction AVG(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", TfrxAggregateFunction::agAvg},
      {"macrofunction MIN(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", TfrxAggregateFunction::agMin},
      {"macrofunction MAX(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", TfrxAggregateFunction::agMax},
      {"macrofunction COUNT(Band: Variant = 0; Flags: Integer = 0): Variant", TfrxAggregateFunction::agCount},
  };
  for (const auto& a : aggregates) {
    TfrxAggregateFunction function = a.function;
    s.AddMethod(
        a.declaration,
        [ex, function](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
          // Macro arguments arrive as source text; defaults arrive as the declared values.
          std::vector<std::string> args;
          for (const Variant& v : p) args.push_back(v.IsString() ? Trimmed(v) : std::string());
          std::string expression, band, flags;
          size_t i = 0;
          if (function != TfrxAggregateFunction::agCount) expression = args.size() > i ? args[i++] : "";
          band = args.size() > i ? args[i++] : "";
          flags = args.size() > i ? args[i++] : "";
          return ex->Aggregates().Value(function, expression, band, flags);
        },
        "ctAggregate");
  }
  struct DatePart {
    const char* declaration;
    const char* pattern;
  };
  for (const DatePart& d : {DatePart{"function DayOf(Date: TDateTime): Integer", "d"},
                            DatePart{"function MonthOf(Date: TDateTime): Integer", "m"},
                            DatePart{"function YearOf(Date: TDateTime): Integer", "yyyy"}}) {
    std::string pattern = d.pattern;
    s.AddMethod(
        d.declaration,
        [pattern](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
          const auto& fs = core::DefaultFormatSettings();
          return Variant(core::StrToInt(core::FormatDateTime(pattern, AsDate(p[0]), fs)));
        },
        "ctDate");
  }
}

void TfrxReportScript::RegisterObjects() {
  TfsScript& s = *program_;
  for (TfrxComponent* c : report_.AllObjects()) {
    if (c->Name().empty() || c->IsHidden()) continue;
    if (s.FindLocal(c->Name()) != nullptr) continue;
    s.AddObject(c->Name(), c);
  }
  if (s.FindLocal("Report") == nullptr) s.AddObject("Report", &report_);
  if (s.FindLocal("Engine") == nullptr) s.AddObject("Engine", &report_.Engine());
  if (s.FindLocal("Outline") == nullptr) {
    if (!outline_) outline_ = std::make_unique<TfrxScriptOutline>(report_);
    s.AddObject("Outline", outline_.get());
  }
  if (s.FindLocal("frxGlobalVariables") == nullptr) s.AddObject("frxGlobalVariables", &frxGlobalVariables());
  if (s.FindLocal("Value") == nullptr) value_variable_ = s.AddVariable("Value", "Variant", Variant::Null());
  if (s.FindLocal("Self") == nullptr) {
    s.AddVariable("Self", "TObject", Variant(static_cast<core::TObject*>(nullptr)));
  }
}

}  // namespace lgoty::report
