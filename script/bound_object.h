// The instance a host binding was called on, as the class the binding was written for.
#pragma once

#include <string>

#include "core/object.h"
#include "script/interpreter.h"

namespace lgoty::script {

// The instance as a T; EScriptError "Object of class <class_name> required" when the script
// called the member on nil or on an object of another class.
template <class T>
T& Self(core::TObject* instance, const char* class_name) {
  auto* self = dynamic_cast<T*>(instance);
  if (self == nullptr) throw EScriptError(std::string("Object of class ") + class_name + " required");
  return *self;
}

}  // namespace lgoty::script
