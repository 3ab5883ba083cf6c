// libFuzzer entry: arbitrary bytes as a table with a memo file (see dbf_fuzz_driver.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/dbf_fuzz_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lgoty::fuzz::RunDbfOpenInput(data, size);
  return 0;
}
