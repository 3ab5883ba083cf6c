// Arbitrary text as a PascalScript program: compiled, and when it compiles, run with a
// small step budget, a short time budget and a low call depth limit. Errors are expected;
// crashes, hangs and unbounded memory are not.
//
// The system library is registered once into a parent script; each input gets a fresh
// child script that finds the library through its parent (as procedure scripts find their
// declaring script), and the objects the input created are dropped after the run.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "script/interpreter.h"

namespace {

lgoty::script::TfsScript& Library() {
  static lgoty::script::TfsScript* library = [] {
    auto* s = new lgoty::script::TfsScript();
    s->AddRTTI();
    s->include_path.clear();  // no unit is read from disk
    s->on_show_message = [](const std::string&) {};
    return s;
  }();
  return *library;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lgoty::script;
  if (size > 16384) return 0;
  TfsScript& library = Library();
  {
    TfsScript script(&library);
    script.extended_chars = (size % 2) == 0;
    script.include_path.clear();
    script.SetStepLimit(20000);
    script.SetTimeLimit(std::chrono::milliseconds(500));
    script.SetMaxCallDepth(64);
    script.SetMaxStringLength(1 << 20);
    script.SetLines(std::string(reinterpret_cast<const char*>(data), size));
    try {
      if (script.Compile()) script.Execute();
    } catch (const std::exception&) {
      // Script errors, budget overruns and unknown languages are all ordinary outcomes.
    }
  }
  library.created_objects.clear();
  library.flags = TfsExecFlags();
  return 0;
}
