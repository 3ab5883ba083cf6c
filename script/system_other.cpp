// ctOther: counters, errors, messages, random numbers, validation, arrays, automation.
#include <random>

#include "core/text_format.h"
#include "script/interpreter.h"
#include "script/system_library.h"

namespace lgoty::script {

namespace {

using P = std::vector<Variant>;

std::mt19937_64& Generator() {
  thread_local std::mt19937_64 generator(5489u);
  return generator;
}

Variant Inc(P& p) {
  p[0] = core::VarAdd(p[0], p[1]);
  return Variant();
}
Variant Dec(P& p) {
  p[0] = core::VarSub(p[0], p[1]);
  return Variant();
}
Variant RaiseException(P& p) { throw core::Exception(core::VarToStr(p[0])); }
Variant Randomize(P&) {
  Generator().seed(std::random_device{}());
  return Variant();
}
Variant Random(P&) {
  return Variant(std::uniform_real_distribution<double>(0.0, 1.0)(Generator()));
}
Variant ValidInt(P& p) {
  int32_t v = 0;
  return Variant(core::TryStrToInt(core::VarToStr(p[0]), v));
}
Variant ValidFloat(P& p) {
  double v = 0;
  return Variant(core::TryStrToFloat(core::VarToStr(p[0]), v, core::DefaultFormatSettings()));
}
Variant ValidDate(P& p) {
  core::TDateTime v = 0;
  return Variant(core::TryStrToDate(core::VarToStr(p[0]), v, core::DefaultFormatSettings()));
}
// The text up to and including the last path delimiter; a pure string operation.
Variant ExtractFilePath(P& p) {
  const std::string s = core::VarToStr(p[0]);
  size_t at = s.find_last_of("\\/:");
  return Variant(at == std::string::npos ? std::string() : s.substr(0, at + 1));
}
Variant CreateOleObject(P& p) {
  throw EScriptError("CreateOleObject: automation objects are not available ('" + core::VarToStr(p[0]) + "')");
}

Variant MakeArray(const std::vector<std::pair<int64_t, int64_t>>& bounds, size_t at, const Variant& blank) {
  if (at == bounds.size()) return blank;
  const auto [lo, hi] = bounds[at];
  std::vector<Variant> items;
  items.reserve(static_cast<size_t>(hi - lo + 1));
  for (int64_t i = lo; i <= hi; ++i) items.push_back(MakeArray(bounds, at + 1, blank));
  return Variant::Array(std::move(items), static_cast<int32_t>(lo));
}

// Bounds: [low1, high1, low2, high2, ...]; nested arrays for several dimensions.
Variant VarArrayCreate(P& p) {
  if (!p[0].IsArray() || p[0].ArrayLength() == 0 || p[0].ArrayLength() % 2 != 0) {
    throw EScriptError("VarArrayCreate: bounds must be pairs of low and high");
  }
  std::vector<std::pair<int64_t, int64_t>> bounds;
  int64_t total = 1;
  const auto& e = p[0].Elements();
  for (size_t i = 0; i + 1 < e.size(); i += 2) {
    int64_t lo = e[i].AsInt64(), hi = e[i + 1].AsInt64();
    if (lo < INT32_MIN || hi > INT32_MAX || hi < lo - 1) throw EScriptError("VarArrayCreate: bounds out of range");
    total *= (hi - lo + 1);
    if (total > kMaxScriptArray) throw EScriptError("VarArrayCreate: array too large");
    bounds.emplace_back(lo, hi);
  }
  return MakeArray(bounds, 0, BlankOfVarType(static_cast<int>(p[1].AsInt64())));
}

Variant VarType(P& p) { return Variant(static_cast<int32_t>(p[0].Type())); }

}  // namespace

void RegisterOtherFunctions(TfsScript& s) {
  const char* c = "ctOther";
  s.AddMethod("procedure Inc(var i: Integer; incr: Integer = 1)", Fn(Inc), c);
  s.AddMethod("procedure Dec(var i: Integer; decr: Integer = 1)", Fn(Dec), c);
  s.AddMethod("procedure RaiseException(Param: String)", Fn(RaiseException), c);
  TfsScript* script = &s;
  s.AddMethod("procedure ShowMessage(Msg: Variant)",
              [script](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                if (script->on_show_message) script->on_show_message(core::VarToStr(p[0]));
                return Variant();
              },
              c);
  s.AddMethod("procedure Randomize", Fn(Randomize), c);
  s.AddMethod("function Random: Extended", Fn(Random), c);
  s.AddMethod("function ValidInt(cInt: String): Boolean", Fn(ValidInt), c);
  s.AddMethod("function ValidFloat(cFlt: String): Boolean", Fn(ValidFloat), c);
  s.AddMethod("function ValidDate(cDate: String): Boolean", Fn(ValidDate), c);
  s.AddMethod("function ExtractFilePath(const FileName: string): string;", Fn(ExtractFilePath), c);
  s.AddMethod("function CreateOleObject(ClassName: String): Variant", Fn(CreateOleObject), c);
  s.AddMethod("function VarArrayCreate(Bounds: Array; Typ: Integer): Variant", Fn(VarArrayCreate), c);
  s.AddMethod("function VarType(V: Variant): Integer", Fn(VarType), c);
}

}  // namespace lgoty::script
