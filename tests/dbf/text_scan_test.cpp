// The shortcuts of reading stored text: trailing blanks stepped over a word at a time. It
// must give exactly what the general way (a byte loop) gives on varied, random input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "dbf/field_codec.h"

namespace lgoty::dbf {
namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint32_t Below(uint32_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33) % n;
  }

 private:
  uint64_t state_;
};

TEST(TextScan, TrailingBlanksAsAByteLoopFindsThem) {
  Random random(5);
  // Blanks, bytes that differ from a blank in one bit or sit next to it, zero and high bytes.
  const char alphabet[] = {' ', ' ', ' ', ' ', 'a', '\0', '\x20' ^ 1, '!', '\x1f', '\xa0',
                           '\xff', '\xe0'};
  for (int round = 0; round < 20000; ++round) {
    std::string field(random.Below(41), ' ');
    for (char& c : field) c = alphabet[random.Below(sizeof alphabet)];
    // Often a text with a long blank tail, as fields are stored.
    if (random.Below(2) == 0) field.append(random.Below(30), ' ');
    const char* begin = field.data();
    const char* expected = begin + field.size();
    while (expected > begin && expected[-1] == ' ') --expected;
    ASSERT_EQ(TrimTrailingBlanks(begin, begin + field.size()) - begin, expected - begin)
        << '"' << field << '"';
  }
  EXPECT_EQ(TrimTrailingBlanks(nullptr, nullptr), nullptr);
}

}  // namespace
}  // namespace lgoty::dbf
