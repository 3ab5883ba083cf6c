// What a template script reaches the running report's engine and outline by: the objects
// Engine and Outline, and their script classes
//
//   TfrxCustomEngine   AddAnchor(Text) NewPage NewColumn ShowBand(Band) StopReport
//                      FreeSpace GetAnchorPage(Text)
//   TfrxCustomOutline  AddItem(Text) LevelRoot LevelUp
//
// The classes are a registration module of the interpreter; the report's script adds the
// two objects with the report's own.
#pragma once

#include <string>

#include "core/object.h"

namespace lgoty::report {

class TfrxReport;

// Adds the two classes to the interpreter's process-wide list (once).
void RegisterEngineScriptClasses();

// The outline of the report's prepared pages as a script sees it. An entry added from a
// script is placed at the engine's current Y on the current page and becomes the level
// that later entries go under, until LevelUp.
class TfrxScriptOutline final : public core::TObject {
 public:
  explicit TfrxScriptOutline(TfrxReport& report) : report_(report) {}
  const char* ClassName() const override { return "TfrxCustomOutline"; }

  void AddItem(const std::string& text);
  void LevelRoot();
  void LevelUp();

 private:
  TfrxReport& report_;
};

}  // namespace lgoty::report
