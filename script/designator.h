// The kinds of designator steps the builder creates. Each knows how to read (and, when
// assignable, store) given the value of the step before it.
#pragma once

#include "script/bindings.h"
#include "script/expression.h"

namespace lgoty::script {

class TfsScript;

// A variable, constant, parameter or host variable.
class TfsVariablePart : public TfsDesignatorPart {
 public:
  explicit TfsVariablePart(TfsCustomVariable* v);
  Variant Read(const Variant&) override { return variable->GetValue(); }
  void Write(const Variant&, const Variant& value) override { variable->SetValue(value); }
  TfsCustomVariable* variable;
};

// A call of a procedure or function the script declares.
class TfsProcCallPart : public TfsDesignatorPart {
 public:
  TfsProcCallPart(TfsProcVariable* p, TfsScript* caller) : proc(p), caller(caller) {}
  Variant Read(const Variant&) override;
  TfsProcVariable* proc;
  TfsScript* caller;
};

// A host method, free function or indexed property.
class TfsMethodPart : public TfsDesignatorPart {
 public:
  TfsMethodPart(TfsMethodHelper* m, TfsClassVariable* cls, TfsScript* script)
      : method(m), cls(cls), script(script) {}
  Variant Read(const Variant& parent) override;
  void Write(const Variant& parent, const Variant& value) override;
  TfsMethodHelper* method;
  TfsClassVariable* cls;
  TfsScript* script;  // its runtime limits the size of the texts a host function returns

 private:
  void CollectArgs(std::vector<Variant>& params);
  void WriteBack(const std::vector<Variant>& params);
  Variant CallHandler(core::TObject* instance, const std::string& name,
                      std::vector<Variant>& params);
  Variant ReadMacro(core::TObject* instance);
  bool MacroParamsIntact() const;
  Variant ReadPlain(core::TObject* instance);

  // A macro's arguments are its argument texts, the same on every call: the list is built
  // once and lent to each call that is not nested in another call of this step.
  std::vector<Variant> macro_params_;
  bool macro_ready_ = false;
  bool macro_busy_ = false;
  // The argument list of a plain call, its room kept for the next one.
  std::vector<Variant> call_params_;
  bool call_busy_ = false;
};

class TfsPropertyPart : public TfsDesignatorPart {
 public:
  TfsPropertyPart(TfsPropertyHelper* p, TfsClassVariable* cls) : property(p), cls(cls) {}
  Variant Read(const Variant& parent) override;
  void Write(const Variant& parent, const Variant& value) override;
  TfsPropertyHelper* property;
  TfsClassVariable* cls;
};

class TfsEventPart : public TfsDesignatorPart {
 public:
  TfsEventPart(TfsEventHelper* e, TfsScript* script) : event(e), script(script) {}
  Variant Read(const Variant&) override { return Variant(""); }
  void Write(const Variant& parent, const Variant& value) override;
  TfsEventHelper* event;
  TfsScript* script;
};

class TfsComponentPart : public TfsDesignatorPart {
 public:
  explicit TfsComponentPart(TfsComponentHelper* c) : component(c) {}
  Variant Read(const Variant&) override { return Variant(component->component); }
  TfsComponentHelper* component;
};

// A class name used as a value (for "TStringList.Create" and "is"): a null object.
class TfsClassRefPart : public TfsDesignatorPart {
 public:
  explicit TfsClassRefPart(TfsClassVariable* c) : cls(c) {}
  Variant Read(const Variant&) override { return Variant(static_cast<core::TObject*>(nullptr)); }
  TfsClassVariable* cls;
};

// "[...]" on a string (one character, counted from 1) or an array (elements).
class TfsIndexPart : public TfsDesignatorPart {
 public:
  Variant Read(const Variant& parent) override;
  bool IsElement() const override { return true; }
  Variant Update(const Variant& container, const Variant& value) override;
};

// A member resolved at run time against the class of the object it is applied to (members
// of variant values, late binding).
class TfsLateBoundPart : public TfsDesignatorPart {
 public:
  TfsLateBoundPart(std::string member, TfsScript* script) : script(script) { name = std::move(member); }
  Variant Read(const Variant& parent) override;
  void Write(const Variant& parent, const Variant& value) override;
  TfsScript* script;

 private:
  TfsCustomVariable* Resolve(const Variant& parent, TfsClassVariable*& cls);
};

// The object of a variant value; EScriptError when it holds none (or a freed one).
core::TObject* ObjectOf(const Variant& value, const std::string& member);

// Index of the UTF-8 character i (1-based) in text: its byte offset and length; false when
// out of range.
bool Utf8CharAt(const std::string& text, int64_t index, size_t& offset, size_t& length);

}  // namespace lgoty::script
