// Arbitrary bytes loaded as a report template: the XML reader, the tree reader with its
// attribute parsing, and a save of whatever was read. Nothing may crash or hang; malformed
// input ends in the report's error list.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/stream.h"
#include "report/report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lgoty::report::TfrxReport report;
  report.engine_options.new_silent_mode = lgoty::report::TfrxSilentMode::simSilent;
  lgoty::core::TMemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
  report.LoadFromStream(in);
  lgoty::core::TMemoryStream out;
  report.SaveToStream(out);
  return 0;
}
