// The root of every object that scripts, templates and variants can refer to. The class
// registry and property tables (RTTI) are built on top of it; a variant holding an object
// reference holds a non-owning TObject pointer.
#pragma once

namespace lgoty::core {

class ClassInfo;

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
  // The registered class name ("TfrxMemoView"); "TObject" for the root.
  virtual const char* ClassName() const { return "TObject"; }
  // The class's run-time type information (core/rtti.h); nullptr for classes that publish
  // no properties.
  virtual const ClassInfo* ClassType() const { return nullptr; }
};

}  // namespace lgoty::core
