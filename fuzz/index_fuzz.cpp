// libFuzzer entry: arbitrary bytes as an index file (see index_fuzz_driver.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/index_fuzz_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lgoty::fuzz::RunIndexInput(data, size);
  return 0;
}
