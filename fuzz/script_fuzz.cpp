// Arbitrary text as a PascalScript program: compiled, and when it compiles, run with a
// small step budget, a short time budget and a low call depth limit. Errors are expected;
// crashes, hangs and unbounded memory are not.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "script/interpreter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lgoty::script;
  if (size > 16384) return 0;
  TfsScript script;
  script.AddRTTI();
  script.extended_chars = (size % 2) == 0;
  script.include_path.clear();  // no unit is read from disk
  script.on_show_message = [](const std::string&) {};
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
  return 0;
}
