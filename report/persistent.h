// The root of every report object and value object: run-time class information through the
// registry (core/rtti.h) and binary-defined properties (report/prop_data.h).
#pragma once

#include <string>
#include <string_view>

#include "core/object.h"
#include "core/rtti.h"
#include "report/prop_data.h"

// Declares the class's name and class information; LGOTY_REPORT_CLASS_IMPL defines them.
#define LGOTY_REPORT_CLASS(Name)                                                     \
 public:                                                                          \
  static const ::lgoty::core::ClassInfo* StaticClass();                           \
  const char* ClassName() const override { return #Name; }                        \
  const ::lgoty::core::ClassInfo* ClassType() const override { return StaticClass(); }

#define LGOTY_REPORT_CLASS_IMPL(Name)                                       \
  const ::lgoty::core::ClassInfo* Name::StaticClass() {                  \
    static const ::lgoty::core::ClassInfo* info = FindReportClass(#Name); \
    return info;                                                         \
  }

namespace lgoty::report {

// Registers every class of the report object model once (thread-safe).
void RegisterReportClasses();
// The class information of a registered report class (registering them first).
const core::ClassInfo* FindReportClass(std::string_view name);

class TfrxPersistent : public core::TObject {
 public:
  TfrxPersistent() = default;
  // Value objects (fonts, frames, options) copy; components delete these again.
  TfrxPersistent(const TfrxPersistent&) : core::TObject() {}
  TfrxPersistent& operator=(const TfrxPersistent&) { return *this; }

  // The text a memo writes as its final "Text" attribute; false for other objects.
  virtual bool TextAttribute(std::string& text) const {
    (void)text;
    return false;
  }
  // True for components that write their collections as nested elements.
  virtual bool WritesNestedElements() const { return false; }
  // Values this object streams itself, in the order they are written ("PropData").
  virtual void WriteDefinedProperties(PropValue::Properties& out) const { (void)out; }
  // One value read back; false when the name is not one of ours (it is then skipped).
  virtual bool ReadDefinedProperty(const std::string& name, const PropValue& value) {
    (void)name;
    (void)value;
    return false;
  }
};

}  // namespace lgoty::report
