// Test helper: compiles and runs a script with the system library, collecting what
// ShowMessage shows.
#pragma once

#include <string>
#include <vector>

#include "core/format_settings.h"
#include "script/interpreter.h"

namespace lgoty::script::testing {

struct RunResult {
  bool compiled = false;
  std::string error;      // compile error message
  std::string error_pos;  // "line:column"
  std::string runtime_error;
  std::vector<std::string> shown;
  // Lines shown, each followed by "\n", then "error: MESSAGE\n" for a run-time error.
  std::string Output() const {
    std::string out;
    for (const auto& s : shown) out += s + "\n";
    if (!runtime_error.empty()) out += "error: " + runtime_error + "\n";
    return out;
  }
};

// Runs on an existing script object (the caller may register host items first).
inline RunResult RunScript(TfsScript& s, const std::string& text) {
  RunResult r;
  s.on_show_message = [&r](const std::string& m) { r.shown.push_back(m); };
  s.SetLines(text);
  r.compiled = s.Compile();
  if (!r.compiled) {
    r.error = s.ErrorMessage();
    r.error_pos = s.ErrorPos();
    s.on_show_message = nullptr;
    return r;
  }
  try {
    s.Execute();
  } catch (const std::exception& e) {
    r.runtime_error = e.what();
  }
  s.on_show_message = nullptr;  // the collector dies with this call
  return r;
}

inline RunResult RunScript(const std::string& text) {
  TfsScript s;
  s.AddRTTI();
  s.extended_chars = true;
  return RunScript(s, text);
}

// Tests fix the format settings they mean: English conventions unless they set others.
class EnglishSettings {
 public:
  EnglishSettings() : saved_(core::DefaultFormatSettings()) {
    core::SetDefaultFormatSettings(core::FormatSettings::English());
  }
  ~EnglishSettings() { core::SetDefaultFormatSettings(saved_); }

 private:
  core::FormatSettings saved_;
};

}  // namespace lgoty::script::testing
