// The system library: a registration module that gives every script the built-in types,
// the constants and variables, the function library (categories ctString, ctDate, ctConv,
// ctFormat, ctMath, ctOther) and the basic classes (objects, lists, string lists, streams,
// components).
//
// Functions touch nothing outside the script except what their declaration says:
// LoadFromFile/SaveToFile and TFileStream read and write the file named; ShowMessage goes
// to the script's on_show_message; CreateOleObject raises an error (there is no automation
// facility).
#pragma once

#include <vector>

#include "script/interpreter.h"

namespace lgoty::script {

// Handlers of free functions get only the parameter values.
using TfsFunction = Variant (*)(std::vector<Variant>& params);
TfsCallMethod Fn(TfsFunction f);

void RegisterSystemTypes(TfsScript& script);
void RegisterStringFunctions(TfsScript& script);
void RegisterConvFunctions(TfsScript& script);
void RegisterDateMathFunctions(TfsScript& script);
void RegisterOtherFunctions(TfsScript& script);
void RegisterBasicClasses(TfsScript& script);
void RegisterStringListClasses(TfsScript& script);
void RegisterStreamClasses(TfsScript& script);

// A TList object owned by the script (it lives as long as the script) holding `items`.
core::TObject* NewScriptList(TfsScript& script, std::vector<Variant> items);

// Makes a value for an element of a given variant type code (0, 0.0, "", False, Empty).
Variant BlankOfVarType(int var_type);

// Arrays a script creates are capped at this many elements.
inline constexpr int64_t kMaxScriptArray = 1 << 24;

}  // namespace lgoty::script
