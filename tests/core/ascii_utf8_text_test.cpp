#include <gtest/gtest.h>

#include <string>

#include "core/ascii_text.h"
#include "core/utf8_text.h"

namespace lgoty::core {
namespace {

TEST(AsciiText, FoldsOnlyTheAsciiLetters) {
  // Cyrillic letters (two-byte sequences) and symbols next to the letter ranges stay.
  EXPECT_EQ(AsciiUpper("abz@[`{ Жж_09"), "ABZ@[`{ Жж_09");
  EXPECT_EQ(AsciiLower("ABZ@[`{ Жж_09"), "abz@[`{ Жж_09");
  EXPECT_TRUE(AsciiSameText("MasterData1", "MASTERDATA1"));
  EXPECT_FALSE(AsciiSameText("Жж", "ЖЖ"));
  EXPECT_FALSE(AsciiSameText("ab", "abc"));
  EXPECT_EQ(AsciiUpper('\xE0'), '\xE0');
}

TEST(Utf8Text, DecodesWellFormedSequencesAndRefusesTheRest) {
  char32_t cp = 0;
  EXPECT_EQ(DecodeUtf8("A", &cp), 1u);
  EXPECT_EQ(cp, U'A');
  EXPECT_EQ(DecodeUtf8("Ж", &cp), 2u);
  EXPECT_EQ(cp, U'Ж');
  EXPECT_EQ(DecodeUtf8("\xE2\x82\xAC", &cp), 3u);  // €
  EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80", &cp), 4u);
  EXPECT_EQ(cp, char32_t{0x1F600});
  EXPECT_EQ(DecodeUtf8("\x80", &cp), 0u);               // stray continuation
  EXPECT_EQ(DecodeUtf8("\xD0", &cp), 0u);               // cut short
  EXPECT_EQ(DecodeUtf8("\xC0\xAF", &cp), 0u);           // overlong
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80", &cp), 0u);       // surrogate
  EXPECT_EQ(DecodeUtf8("\xF4\x90\x80\x80", &cp), 0u);   // above U+10FFFF
  EXPECT_EQ(Utf8SequenceLength("aЖ", 1), 2u);
  EXPECT_EQ(Utf8SequenceLength("a\xD0", 1), 0u);
}

TEST(Utf8Text, EncodesCountsAndCuts) {
  std::string out;
  for (char32_t c : {U'A', U'Ж', U'€', char32_t{0x1F600}, char32_t{0xD800}, char32_t{0x110000}})
    AppendUtf8(out, c);
  EXPECT_EQ(out, "AЖ€\xF0\x9F\x98\x80??");
  EXPECT_EQ(Utf8Length("AЖ€"), 3u);
  EXPECT_EQ(Utf8Prefix("ЖжA", 2), "Жж");
  EXPECT_EQ(Utf8Prefix("Жж", 5), "Жж");
  EXPECT_EQ(Utf8Prefix("Жж", 0), "");
  // A stray continuation byte belongs to the character before it, as Utf8Length counts.
  EXPECT_EQ(Utf8Prefix("\x80" "A\x80" "B", 1), "\x80" "A\x80");
  EXPECT_EQ(Utf8Offset("aЖb", 2), 3u);
  EXPECT_EQ(Utf8Offset("aЖb", 3), 4u);
  EXPECT_EQ(Utf8NextChar("Жa", 0), 2u);
}

TEST(Utf8Text, ConvertsToCodePointsAndLatin1) {
  EXPECT_EQ(Utf8ToUtf32("aЖ\xC0\xAF\xD0"), (std::u32string{U'a', U'Ж', 0xFFFD, 0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf32ToUtf8(std::u32string{U'a', U'Ж', 0xD800, 0x110000}), "aЖ\uFFFD\uFFFD");
  EXPECT_EQ(Latin1ToUtf8("A\xE9\xFF"), "Aé\u00FF");
  // Every byte survives the round trip; what Latin-1 cannot hold becomes one '?'.
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
  EXPECT_EQ(Utf8ToLatin1("aЖ€|\x80" "b"), "a??|?b");  // a stray byte too
}

}  // namespace
}  // namespace lgoty::core
