// Host bindings: how scripts reach host classes and functions.
//
// A class (TfsClassVariable) lists its members in registration order; lookup compares names
// ignoring case and continues in the ancestor class. Members:
//   TfsMethodHelper    a method or free function parsed from its PascalScript declaration
//                      ("function Copy(s: String; from, count: Integer): String"); indexed
//                      properties are methods with the index flag, called with ".GET" or
//                      ".SET" appended to the name;
//   TfsPropertyHelper  get/set handlers, or a published property of the class's RTTI table;
//   TfsEventHelper     connects a script procedure to an object's event;
//   TfsComponentHelper an owned component returned as an object of its class.
// Every handler receives the instance (nullptr for free functions and class-level calls),
// the class, the member name in upper case and the parameter values; var parameters are
// written back from the parameter vector after the call.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/object.h"
#include "core/rtti.h"
#include "script/variables.h"

namespace lgoty::script {

class TfsClassVariable;

using TfsCallMethod = std::function<Variant(core::TObject* instance, TfsClassVariable* cls,
                                            const std::string& upper_name,
                                            std::vector<Variant>& params)>;
using TfsGetValue = std::function<Variant(core::TObject* instance, TfsClassVariable* cls,
                                          const std::string& upper_name)>;
using TfsSetValue = std::function<void(core::TObject* instance, TfsClassVariable* cls,
                                       const std::string& upper_name, const Variant& value)>;

// A connected event as the host object holds it: calling it runs the script procedure with
// the event's arguments (and does nothing once the script is gone).
using TfsEventHandler = std::function<Variant(std::vector<Variant>& args)>;
// Stores a handler into an instance's event (an empty handler disconnects it).
using TfsEventSetter = std::function<void(core::TObject* instance, TfsEventHandler handler)>;

class TfsMethodHelper : public TfsCustomVariable {
 public:
  // Parses the declaration; throws core::Exception "Invalid declaration: ..." when it is
  // not one. `lookup` resolves default values that name constants or variables.
  TfsMethodHelper(const std::string& declaration, TfsCallMethod handler,
                  const std::function<const TfsCustomVariable*(const std::string&)>& lookup);
  std::string declaration;
  TfsCallMethod handler;
  bool is_macro = false;
  bool is_index = false;
  bool is_constructor = false;
  std::string category;
  std::string description;
  // Declared result type name ("" for procedures); resolved against the script's types by
  // the builder.
  std::string result_type_name;
};

class TfsPropertyHelper : public TfsCustomVariable {
 public:
  TfsPropertyHelper(std::string name, TfsType type) : TfsCustomVariable(std::move(name), std::move(type)) {}
  TfsGetValue getter;
  TfsSetValue setter;
  const core::PropInfo* published = nullptr;  // read and written through RTTI
  Variant Get(core::TObject* instance, TfsClassVariable* cls);
  void Set(core::TObject* instance, TfsClassVariable* cls, const Variant& value);
};

class TfsEventHelper : public TfsCustomVariable {
 public:
  TfsEventHelper(std::string name, TfsEventSetter setter)
      : TfsCustomVariable(std::move(name), {TfsVarType::fvtString, ""}), setter(std::move(setter)) {}
  TfsEventSetter setter;
  // RTTI event properties store the procedure's name instead of a handler.
  const core::PropInfo* published = nullptr;
};

class TfsComponentHelper : public TfsCustomVariable {
 public:
  TfsComponentHelper(std::string name, core::TObject* component, std::string class_name)
      : TfsCustomVariable(std::move(name), {TfsVarType::fvtClass, std::move(class_name)}),
        component(component) {}
  core::TObject* component;
};

class TfsClassVariable : public TfsCustomVariable {
 public:
  TfsClassVariable(std::string name, std::string ancestor, const core::ClassInfo* rtti);
  ~TfsClassVariable() override;

  const std::string& Ancestor() const { return ancestor_; }
  const core::ClassInfo* Rtti() const { return rtti_; }
  // The script the class lives in (for ancestor lookup).
  TfsScript* script = nullptr;

  TfsMethodHelper* AddMethod(const std::string& declaration, TfsCallMethod handler);
  // "constructor Create(...)": registered as a function returning the type "Constructor".
  TfsMethodHelper* AddConstructor(const std::string& declaration, TfsCallMethod handler);
  TfsPropertyHelper* AddProperty(const std::string& name, const std::string& type_name,
                                 TfsGetValue getter, TfsSetValue setter = nullptr);
  // Registered as an index method "function NAME(p0: T0; p1: T1...): TYPE".
  TfsMethodHelper* AddIndexProperty(const std::string& name, const std::string& param_types,
                                    const std::string& type_name, TfsCallMethod handler,
                                    bool read_only = false);
  TfsMethodHelper* AddDefaultProperty(const std::string& name, const std::string& param_types,
                                      const std::string& type_name, TfsCallMethod handler,
                                      bool read_only = false);
  TfsEventHelper* AddEvent(const std::string& name, TfsEventSetter setter);
  TfsComponentHelper* AddComponent(const std::string& name, core::TObject* component,
                                   const std::string& class_name);

  // Own members, then the ancestors'.
  TfsCustomVariable* FindMember(const std::string& name) const;
  TfsMethodHelper* DefaultProperty() const;
  void SetDefaultProperty(TfsMethodHelper* m) { default_property_ = m; }
  const std::vector<std::unique_ptr<TfsCustomVariable>>& Members() const { return members_; }

 private:
  TfsCustomVariable* Own(const std::string& upper) const;
  std::string ancestor_;
  const core::ClassInfo* rtti_;
  std::vector<std::unique_ptr<TfsCustomVariable>> members_;
  TfsMethodHelper* default_property_ = nullptr;
};

}  // namespace lgoty::script
