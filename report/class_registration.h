// Helpers for the registration functions of the report classes (internal to report/).
#pragma once

#include <memory>
#include <string>

#include "core/rtti.h"
#include "report/persistent.h"

namespace lgoty::report {

// Registers class T under name with the named (already registered) parent. Abstract
// classes pass creatable = false.
template <class T>
core::ClassBuilder<T> RegisterFrxClass(const char* name, const char* parent,
                                       bool creatable = true) {
  auto& registry = core::ClassRegistry::Instance();
  const core::ClassInfo* parent_info = parent ? registry.Find(parent) : nullptr;
  core::ClassInfo::Factory factory;
  if constexpr (!std::is_abstract_v<T> && std::is_default_constructible_v<T>) {
    if (creatable) factory = [] { return std::make_unique<T>(); };
  }
  return core::ClassBuilder<T>(registry.Register(name, parent_info, std::move(factory)));
}

// Getter of a nested value object held as a member.
template <class T, class M, M T::*member>
core::TObject* NestedMember(const T& object) {
  return const_cast<M*>(&(object.*member));
}

}  // namespace lgoty::report
