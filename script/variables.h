// Script variables: everything a name can stand for in a script is a TfsCustomVariable in
// the items of the script that declares it (variables, constants, parameters, procedures,
// type names, and the host's registrations: classes, methods, properties, events).
//
// Type codes (TfsVarType) and the names a type code reports:
//   0 integer "Integer"  1 boolean "Boolean"  2 floating "Extended"  3 character "Char"
//   4 string "String"    5 class (the class name)  6 array "Array"  7 variant "Variant"
//   8 enumeration (its type name)  9 constructor "Variant"  10 64-bit integer "Int64"
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/variant.h"

namespace lgoty::script {

using core::Variant;

enum class TfsVarType : uint8_t {
  fvtInt = 0, fvtBool = 1, fvtFloat = 2, fvtChar = 3, fvtString = 4, fvtClass = 5,
  fvtArray = 6, fvtVariant = 7, fvtEnum = 8, fvtConstructor = 9, fvtInt64 = 10
};

// A type as the builder checks it: the code and, for classes and enumerations, the name.
struct TfsType {
  TfsVarType code = TfsVarType::fvtVariant;
  std::string name;
  std::string Reported() const;
};

class TfsScript;
class TfsParamItem;

class TfsCustomVariable {
 public:
  TfsCustomVariable(std::string name, TfsType type);
  virtual ~TfsCustomVariable();
  TfsCustomVariable(const TfsCustomVariable&) = delete;
  TfsCustomVariable& operator=(const TfsCustomVariable&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& UpperName() const { return upper_name_; }
  const TfsType& Type() const { return type_; }
  void SetType(TfsType t) { type_ = std::move(t); }

  virtual Variant GetValue() { return value_; }
  virtual void SetValue(const Variant& value) { value_ = value; }
  // The stored value without hooks or conversion (saving and restoring around recursion).
  Variant& Raw() { return value_; }

  bool read_only = false;
  bool needs_result = false;
  int line = 0, column = 0;
  // The registrant (a host object, a module); nullptr for the script's own declarations.
  const void* added_by = nullptr;
  std::vector<std::unique_ptr<TfsParamItem>> params;
  // Count of parameters without a default.
  int RequiredParams() const;

 protected:
  std::string name_;
  std::string upper_name_;
  TfsType type_;
  Variant value_;
};

// Asked on every read of a host variable: (name, type, stored value) -> value; a Null answer
// keeps the stored value.
using TfsValueRequest =
    std::function<Variant(const std::string& name, const TfsType& type, const Variant& stored)>;

// An ordinary variable: stores convert to its type; a read-only one ignores stores.
class TfsVariable : public TfsCustomVariable {
 public:
  using TfsCustomVariable::TfsCustomVariable;
  Variant GetValue() override;
  void SetValue(const Variant& value) override;
  TfsValueRequest on_get_value;
};

// Holds a string as given ("@" references, internal texts).
class TfsStringVariable : public TfsCustomVariable {
 public:
  explicit TfsStringVariable(std::string name)
      : TfsCustomVariable(std::move(name), {TfsVarType::fvtString, ""}) {}
  void SetValue(const Variant& value) override;
};

// A registered type name.
class TfsTypeVariable : public TfsCustomVariable {
 public:
  using TfsCustomVariable::TfsCustomVariable;
};

class TfsParamItem : public TfsVariable {
 public:
  TfsParamItem(std::string name, TfsType type, bool is_var, bool optional, Variant default_value)
      : TfsVariable(std::move(name), std::move(type)),
        is_var(is_var),
        optional(optional),
        default_value(std::move(default_value)) {}
  bool is_var;
  bool optional;
  Variant default_value;
};

// A procedure or function declared by the script: its own nested script holds the
// parameters (the params items point into it), the locals, the statements and, for a
// function, "Result".
class TfsProcVariable : public TfsCustomVariable {
 public:
  TfsProcVariable(std::string name, TfsType type, bool is_function, TfsScript* parent);
  ~TfsProcVariable() override;
  bool is_function;
  bool executing = false;
  std::unique_ptr<TfsScript> program;
  TfsCustomVariable* result = nullptr;
  // Parameter items in order (owned by the nested script).
  std::vector<TfsParamItem*> param_items;
};

// Converts a value to what a variable of that type stores (integer: 32-bit integer,
// boolean, floating: double unless it is a date, string); others are kept as given.
Variant ConvertForType(TfsVarType type, const Variant& value);
// The type code of a declared type name that is one of the built-in names; false when the
// name is no built-in type.
bool BuiltinTypeCode(std::string_view name, TfsVarType& out);

enum class TfsCompatUse { Operand, Assignment };
// Whether a value of type `value` fits a target of type `target` (the compatibility table).
// `inherits(derived, base)` answers class ancestry by registered class names.
bool TypesCompatible(const TfsType& target, const TfsType& value, TfsCompatUse use,
                     const std::function<bool(const std::string&, const std::string&)>& inherits);

}  // namespace lgoty::script
