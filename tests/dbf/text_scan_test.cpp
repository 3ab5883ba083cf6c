// The shortcuts of reading stored text: trailing blanks stepped over a word at a time, and a
// plain decimal read by one division. Each must give exactly what the general way gives -
// a byte loop, and from_chars - on varied, random input.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "dbf/field_codec.h"
#include "dbf/number_text.h"
#include "tests/seeded_random.h"

namespace lgoty::dbf {
namespace {

using Random = lgoty::testing::SeededRandom;

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

// What the general path makes of a text: from_chars after a leading "+".
bool GeneralDecimal(const std::string& text, double& out) {
  const char* start = !text.empty() && text[0] == '+' ? text.data() + 1 : text.data();
  const auto [ptr, ec] = std::from_chars(start, text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size() && std::isfinite(out);
}

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(TextScan, ShortDecimalsReadAsFromCharsReadsThem) {
  Random random(11);
  int fast = 0;
  for (int round = 0; round < 200000; ++round) {
    std::string text;
    switch (random.Below(8)) {
      case 0: text = "-"; break;
      case 1: text = "+"; break;
      default: break;
    }
    // Up to 17 integer digits and up to 24 decimals: both sides of the shortcut's limits.
    const uint32_t integer_digits = random.Below(18);
    for (uint32_t i = 0; i < integer_digits; ++i) text += static_cast<char>('0' + random.Below(10));
    if (random.Below(4) != 0) {
      text += '.';
      const uint32_t decimals = random.Below(4) == 0 ? random.Below(25) : random.Below(4);
      for (uint32_t i = 0; i < decimals; ++i) text += static_cast<char>('0' + random.Below(10));
    }
    double expected = 0;
    if (!GeneralDecimal(text, expected)) continue;
    double got = 12345;
    ASSERT_TRUE(ParseDecimal(text.data(), text.data() + text.size(), got)) << text;
    ASSERT_EQ(Bits(got), Bits(expected)) << text << " " << got << " " << expected;
    ++fast;
  }
  EXPECT_GT(fast, 100000);
  // Register sums, negative zero, and the forms left to the general path.
  for (const char* text : {"33907.84", "0.01", "-0", "-0.00", "5.", ".5", "-.5", "+7.25",
                           "999999999999999", "9999999999999999", "0.1234567890123456789012",
                           "1e3", "1.5E-2", "12.5.1"}) {
    const std::string s = text;
    double expected = 0, got = 0;
    const bool general = GeneralDecimal(s, expected) && s.find_first_of("eE") == std::string::npos;
    if (s.find_first_of("eE") != std::string::npos) {
      ASSERT_TRUE(ParseDecimal(s.data(), s.data() + s.size(), got)) << s;
      EXPECT_EQ(Bits(got), Bits(expected)) << s;
      continue;
    }
    ASSERT_EQ(ParseDecimal(s.data(), s.data() + s.size(), got), general) << s;
    if (general) {
      EXPECT_EQ(Bits(got), Bits(expected)) << s;
    }
  }
}

}  // namespace
}  // namespace lgoty::dbf
