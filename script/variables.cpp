#include "script/variables.h"

#include "script/interpreter.h"
#include "script/parser.h"

namespace lgoty::script {

std::string TfsType::Reported() const {
  switch (code) {
    case TfsVarType::fvtInt: return "Integer";
    case TfsVarType::fvtBool: return "Boolean";
    case TfsVarType::fvtFloat: return "Extended";
    case TfsVarType::fvtChar: return "Char";
    case TfsVarType::fvtString: return "String";
    case TfsVarType::fvtClass: return name;
    case TfsVarType::fvtArray: return "Array";
    case TfsVarType::fvtVariant: return "Variant";
    case TfsVarType::fvtEnum: return name;
    case TfsVarType::fvtConstructor: return "Variant";
    case TfsVarType::fvtInt64: return "Int64";
  }
  return "Variant";
}

TfsCustomVariable::TfsCustomVariable(std::string name, TfsType type)
    : name_(std::move(name)), upper_name_(core::AsciiUpper(name_)), type_(std::move(type)) {}

TfsCustomVariable::~TfsCustomVariable() = default;

int TfsCustomVariable::RequiredParams() const {
  int n = 0;
  for (const auto& p : params) {
    if (!p->optional) ++n;
  }
  return n;
}

Variant ConvertForType(TfsVarType type, const Variant& value) {
  switch (type) {
    case TfsVarType::fvtInt:
      if (value.kind() == Variant::Kind::Integer) return value;
      if (value.IsEmptyOrNull()) return Variant(0);
      return Variant(value.AsInteger());
    case TfsVarType::fvtBool:
      if (value.kind() == Variant::Kind::Boolean) return value;
      if (value.IsEmptyOrNull()) return Variant(false);
      return Variant(value.AsBoolean());
    case TfsVarType::fvtFloat:
      if (value.kind() == Variant::Kind::Double || value.kind() == Variant::Kind::Date) return value;
      if (value.IsEmptyOrNull()) return Variant(0.0);
      return Variant(value.AsDouble());
    case TfsVarType::fvtString:
    case TfsVarType::fvtChar:
      if (value.IsString()) return value;
      return Variant(core::VarToStr(value));
    case TfsVarType::fvtInt64:
      if (value.IsEmptyOrNull()) return Variant(int64_t{0});
      return Variant(value.AsInt64());
    default:
      return value;
  }
}

Variant TfsVariable::GetValue() {
  if (on_get_value) {
    Variant v = on_get_value(name_, type_, value_);
    if (!v.IsNull()) return v;
  }
  return value_;
}

void TfsVariable::SetValue(const Variant& value) {
  if (read_only) return;
  value_ = ConvertForType(type_.code, value);
}

void TfsStringVariable::SetValue(const Variant& value) { value_ = Variant(core::VarToStr(value)); }

TfsProcVariable::TfsProcVariable(std::string name, TfsType type, bool is_function, TfsScript* parent)
    : TfsCustomVariable(std::move(name), std::move(type)),
      is_function(is_function),
      program(std::make_unique<TfsScript>(parent)) {
  read_only = true;
}

TfsProcVariable::~TfsProcVariable() = default;

bool BuiltinTypeCode(std::string_view name, TfsVarType& out) {
  struct Entry {
    const char* name;
    TfsVarType code;
  };
  static constexpr Entry kTypes[] = {
      {"BYTE", TfsVarType::fvtInt},        {"WORD", TfsVarType::fvtInt},
      {"INTEGER", TfsVarType::fvtInt},     {"LONGINT", TfsVarType::fvtInt},
      {"CARDINAL", TfsVarType::fvtInt},    {"TCOLOR", TfsVarType::fvtInt},
      {"TALPHACOLOR", TfsVarType::fvtInt}, {"SMALLINT", TfsVarType::fvtInt},
      {"SHORTINT", TfsVarType::fvtInt},    {"LONGWORD", TfsVarType::fvtInt},
      {"BOOLEAN", TfsVarType::fvtBool},    {"BOOL", TfsVarType::fvtBool},
      {"REAL", TfsVarType::fvtFloat},      {"SINGLE", TfsVarType::fvtFloat},
      {"DOUBLE", TfsVarType::fvtFloat},    {"EXTENDED", TfsVarType::fvtFloat},
      {"CURRENCY", TfsVarType::fvtFloat},  {"TDATE", TfsVarType::fvtFloat},
      {"TTIME", TfsVarType::fvtFloat},     {"TDATETIME", TfsVarType::fvtFloat},
      {"CHAR", TfsVarType::fvtChar},       {"STRING", TfsVarType::fvtString},
      {"VARIANT", TfsVarType::fvtVariant}, {"POINTER", TfsVarType::fvtVariant},
      {"ARRAY", TfsVarType::fvtArray},     {"CONSTRUCTOR", TfsVarType::fvtConstructor},
      {"INT64", TfsVarType::fvtInt64},
  };
  std::string upper = core::AsciiUpper(name);
  for (const auto& t : kTypes) {
    if (upper == t.name) {
      out = t.code;
      return true;
    }
  }
  return false;
}

bool TypesCompatible(const TfsType& target, const TfsType& value, TfsCompatUse use,
                     const std::function<bool(const std::string&, const std::string&)>& inherits) {
  using T = TfsVarType;
  const T v = value.code;
  if (v == T::fvtVariant) return target.code != T::fvtConstructor;
  switch (target.code) {
    case T::fvtInt:
    case T::fvtInt64:
      // 64-bit integer targets take what integer targets take (an Int64 variable could
      // otherwise never be assigned).
      return v == T::fvtInt || v == T::fvtEnum || v == T::fvtInt64 ||
             (v == T::fvtFloat && use == TfsCompatUse::Operand);
    case T::fvtBool:
      return v == T::fvtBool;
    case T::fvtFloat:
      return v == T::fvtInt || v == T::fvtFloat || v == T::fvtInt64;
    case T::fvtChar:
    case T::fvtString:
      return v == T::fvtChar || v == T::fvtString;
    case T::fvtClass:
      if (v != T::fvtClass) return false;
      return core::AsciiUpper(target.name) == core::AsciiUpper(value.name) || value.name.empty() ||
             (inherits && inherits(value.name, target.name));
    case T::fvtArray:
      return v == T::fvtArray;
    case T::fvtVariant:
      return true;
    case T::fvtEnum:
      return v == T::fvtInt || v == T::fvtInt64 ||
             (v == T::fvtEnum && core::AsciiUpper(target.name) == core::AsciiUpper(value.name));
    case T::fvtConstructor:
      return false;
  }
  return false;
}

}  // namespace lgoty::script
