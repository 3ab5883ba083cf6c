#include "report/engine_script.h"

#include <cmath>
#include <mutex>

#include "report/band_engine.h"
#include "report/bands.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "script/bound_object.h"
#include "script/interpreter.h"

namespace lgoty::report {
namespace {

using script::TfsClassVariable;
using script::TfsScript;
using script::Variant;
using P = std::vector<Variant>;

constexpr const char* kEngine = "TfrxCustomEngine";
constexpr const char* kOutline = "TfrxCustomOutline";

TfrxCustomEngine& Engine(core::TObject* o) { return script::Self<TfrxCustomEngine>(o, kEngine); }
TfrxScriptOutline& Outline(core::TObject* o) { return script::Self<TfrxScriptOutline>(o, kOutline); }

void EngineClass(TfsScript& s) {
  TfsClassVariable* c = s.FindOrAddClass(kEngine, "TObject");
  c->AddMethod("procedure AddAnchor(const Text: String)",
               [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                 Engine(o).AddAnchor(p[0].AsString());
                 return Variant();
               });
  c->AddMethod("procedure NewPage", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    Engine(o).NewPage();
    return Variant();
  });
  c->AddMethod("procedure NewColumn", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    Engine(o).NewColumn();
    return Variant();
  });
  c->AddMethod("procedure ShowBand(Band: TfrxBand)",
               [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                 auto* band = dynamic_cast<TfrxBand*>(p[0].AsObject());
                 if (band == nullptr) throw script::EScriptError("Object of class TfrxBand required");
                 Engine(o).ShowBand(band);
                 return Variant();
               });
  c->AddMethod("procedure StopReport", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    Engine(o).StopReport();
    return Variant();
  });
  c->AddMethod("function FreeSpace: Extended", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    return Variant(Engine(o).FreeSpace());
  });
  c->AddMethod("function GetAnchorPage(const Text: String): Integer",
               [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                 return Variant(static_cast<int32_t>(Engine(o).GetAnchorPage(p[0].AsString())));
               });
}

void OutlineClass(TfsScript& s) {
  TfsClassVariable* c = s.FindOrAddClass(kOutline, "TObject");
  c->AddMethod("procedure AddItem(const Text: String)",
               [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                 Outline(o).AddItem(p[0].AsString());
                 return Variant();
               });
  c->AddMethod("procedure LevelRoot", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    Outline(o).LevelRoot();
    return Variant();
  });
  c->AddMethod("procedure LevelUp", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    Outline(o).LevelUp();
    return Variant();
  });
}

void Module(TfsScript& s) {
  EngineClass(s);
  OutlineClass(s);
}

}  // namespace

void RegisterEngineScriptClasses() {
  static std::once_flag once;
  std::call_once(once, [] { script::RegisterRttiModule(&Module); });
}

void TfrxScriptOutline::AddItem(const std::string& text) {
  report_.PreviewPages().Outline().AddItem(text, static_cast<int>(std::lround(report_.Engine().CurY())));
}

void TfrxScriptOutline::LevelRoot() { report_.PreviewPages().Outline().LevelRoot(); }

void TfrxScriptOutline::LevelUp() { report_.PreviewPages().Outline().LevelUp(); }

}  // namespace lgoty::report
