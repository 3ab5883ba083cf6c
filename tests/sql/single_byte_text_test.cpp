// The table conversion of single-byte text gives the code page's own ToUtf8 of the whole
// text, for every installed single-byte code page and any bytes, in a reused buffer.
#include "sql/single_byte_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lgoty::sql {
namespace {

TEST(SingleByteText, ConvertsAsTheCodePageDoesForEveryInstalledOne) {
  uint64_t state = 77;
  auto below = [&state](uint32_t n) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33) % n;
  };
  int tables = 0;
  for (int number : core::InstalledCodePages()) {
    const core::CodePage* code_page = core::FindCodePage(number);
    ASSERT_NE(code_page, nullptr);
    if (!code_page->IsSingleByte()) continue;
    SCOPED_TRACE(number);
    ++tables;
    const TSingleByteText table(*code_page);
    std::vector<char> buffer(50, 'x');  // left over from an earlier, longer value
    // Every byte alone, then random texts: ASCII only, high bytes only, and mixed.
    for (int byte = 0; byte < 256; ++byte) {
      const std::string text(1, static_cast<char>(byte));
      ASSERT_EQ(table.Convert(text, buffer), code_page->ToUtf8(text)) << byte;
    }
    for (int round = 0; round < 500; ++round) {
      std::string text(below(40), ' ');
      const uint32_t kind = below(3);
      for (char& c : text) {
        const uint32_t byte = kind == 0 ? below(128) : kind == 1 ? 128 + below(128) : below(256);
        c = static_cast<char>(byte);
      }
      ASSERT_EQ(table.Convert(text, buffer), code_page->ToUtf8(text));
    }
  }
  EXPECT_GT(tables, 10);
}

}  // namespace
}  // namespace lgoty::sql
