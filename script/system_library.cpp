#include "script/system_library.h"

#include <mutex>

namespace lgoty::script {

TfsCallMethod Fn(TfsFunction f) {
  return [f](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& params) {
    return f(params);
  };
}

Variant BlankOfVarType(int var_type) {
  switch (var_type & core::varTypeMask) {
    case core::varSmallint:
    case core::varInteger:
    case core::varShortInt:
    case core::varByte:
    case core::varWord:
    case core::varLongWord:
      return Variant(0);
    case core::varInt64:
      return Variant(int64_t{0});
    case core::varSingle:
    case core::varDouble:
      return Variant(0.0);
    case core::varCurrency:
      return Variant::FromCurrency(int64_t{0});
    case core::varDate:
      return Variant::FromDate(0.0);
    case core::varBoolean:
      return Variant(false);
    case core::varOleStr:
    case core::varString:
      return Variant("");
    default:
      return Variant();
  }
}

void RegisterSystemTypes(TfsScript& s) {
  using T = TfsVarType;
  const std::pair<const char*, T> types[] = {
      {"Byte", T::fvtInt},       {"Word", T::fvtInt},      {"Integer", T::fvtInt},
      {"Longint", T::fvtInt},    {"Cardinal", T::fvtInt},  {"TColor", T::fvtInt},
      {"TAlphaColor", T::fvtInt}, {"Boolean", T::fvtBool}, {"Real", T::fvtFloat},
      {"Single", T::fvtFloat},   {"Double", T::fvtFloat},  {"Extended", T::fvtFloat},
      {"Currency", T::fvtFloat}, {"TDate", T::fvtFloat},   {"TTime", T::fvtFloat},
      {"TDateTime", T::fvtFloat}, {"Char", T::fvtChar},    {"String", T::fvtString},
      {"Variant", T::fvtVariant}, {"Pointer", T::fvtVariant}, {"Array", T::fvtArray},
      {"Constructor", T::fvtConstructor}, {"Int64", T::fvtInt64},
  };
  for (const auto& [name, code] : types) s.AddType(name, code);

  s.AddConst("True", "Boolean", Variant(true));
  s.AddConst("False", "Boolean", Variant(false));
  s.AddConst("nil", "Variant", Variant(static_cast<core::TObject*>(nullptr)));
  s.AddConst("Null", "Variant", Variant::Null());
  const std::pair<const char*, int> codes[] = {
      {"varEmpty", core::varEmpty},       {"varNull", core::varNull},
      {"varSmallint", core::varSmallint}, {"varInteger", core::varInteger},
      {"varSingle", core::varSingle},     {"varDouble", core::varDouble},
      {"varCurrency", core::varCurrency}, {"varDate", core::varDate},
      {"varOleStr", core::varOleStr},     {"varDispatch", core::varDispatch},
      {"varError", core::varError},       {"varBoolean", core::varBoolean},
      {"varVariant", core::varVariant},   {"varUnknown", core::varUnknown},
      {"varShortInt", core::varShortInt}, {"varByte", core::varByte},
      {"varWord", core::varWord},         {"varLongWord", core::varLongWord},
      {"varInt64", core::varInt64},       {"varStrArg", core::varStrArg},
      {"varString", core::varString},     {"varAny", core::varAny},
      {"varTypeMask", core::varTypeMask}, {"varArray", core::varArray},
      {"varByRef", core::varByRef},
  };
  for (const auto& [name, value] : codes) s.AddConst(name, "Integer", Variant(static_cast<int32_t>(value)));
  s.AddVariable("ExceptionClassName", "String", Variant(""));
  s.AddVariable("ExceptionMessage", "String", Variant(""));
}

namespace {

void SystemModule(TfsScript& s) {
  RegisterSystemTypes(s);
  RegisterStringFunctions(s);
  RegisterConvFunctions(s);
  RegisterDateMathFunctions(s);
  RegisterOtherFunctions(s);
  RegisterBasicClasses(s);
  RegisterStringListClasses(s);
  RegisterStreamClasses(s);
}

}  // namespace

void RegisterSystemLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { RegisterRttiModule(&SystemModule); });
}

}  // namespace lgoty::script
