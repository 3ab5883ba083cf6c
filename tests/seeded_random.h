#pragma once

#include <cstdint>

namespace lgoty::testing {

// A small linear congruential generator for randomised tests: the same seed gives the same
// cases on every machine and standard library, so a failure can be run again as it was.
class SeededRandom {
 public:
  explicit SeededRandom(uint64_t seed = 12345) : state_(seed) {}

  // A number in [0, n); n must not be 0.
  uint32_t Below(uint32_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33) % n;
  }

 private:
  uint64_t state_;
};

}  // namespace lgoty::testing
