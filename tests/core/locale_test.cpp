#include "core/locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace lgoty::core {
namespace {

// Restores the default language after a test changes it.
class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCollationLanguage("ru"); }
  void TearDown() override { SetCollationLanguage("ru"); }
};

int KeyCompare(const std::string& a, const std::string& b) {
  const int result = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (result != 0) return result < 0 ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TEST_F(LocaleTest, CaseMappingCoversCyrillicAndYo) {
  EXPECT_EQ(CollationLanguage(), "ru");
  EXPECT_EQ(AnsiUpperCase("ёжик"), "ЁЖИК");
  EXPECT_EQ(AnsiLowerCase("ЁЖИК Pётр"), "ёжик pётр");
  EXPECT_EQ(AnsiUpperCase("Иванов-Петров 12 abc"), "ИВАНОВ-ПЕТРОВ 12 ABC");
  EXPECT_EQ(AnsiUpperCase(""), "");
}

TEST_F(LocaleTest, CaseMappingFollowsTheLanguage) {
  EXPECT_EQ(AnsiUpperCase("i"), "I");
  SetCollationLanguage("tr");
  EXPECT_EQ(CollationLanguage(), "tr");
  EXPECT_EQ(AnsiUpperCase("i"), "İ");
  EXPECT_EQ(AnsiLowerCase("I"), "ı");
  SetCollationLanguage("");
  EXPECT_EQ(CollationLanguage(), "ru");
}

TEST_F(LocaleTest, CompareTextIgnoresCaseOnly) {
  EXPECT_EQ(AnsiCompareText("ИВАНОВ", "иванов"), 0);
  EXPECT_TRUE(AnsiSameText("Пётр", "ПЁТР"));
  EXPECT_FALSE(AnsiSameText("Пётр", "Петр"));  // ё and е differ, though they sort together
  EXPECT_FALSE(AnsiSameText("Иванов", "Иванова"));
  EXPECT_LT(AnsiCompareText("абв", "АБГ"), 0);
  EXPECT_GT(AnsiCompareText("Я", "а"), 0);
  EXPECT_NE(AnsiCompareStr("ИВАНОВ", "иванов"), 0);
  EXPECT_LT(AnsiCompareStr("иванов", "Иванов"), 0);  // lower case first at the tertiary level
  EXPECT_EQ(AnsiCompareStr("Иванов", "Иванов"), 0);
}

TEST_F(LocaleTest, RussianSurnamesSortWithYoAmongYe) {
  const std::vector<std::string> expected = {"Ёжиков", "Ежов",     "Елизаров", "Елкин",  "Ёлкин",
                                             "Елкина", "Ельцин",   "Емельянов", "Ерёмин", "Жуков",
                                             "Яковлев"};
  std::vector<std::string> names = expected;
  std::reverse(names.begin(), names.end());
  std::rotate(names.begin(), names.begin() + 4, names.end());
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return AnsiCompareStr(a, b) < 0; });
  EXPECT_EQ(names, expected);
  // The same order through case-insensitive comparison and through sort keys.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return KeyCompare(CollationKey(a, true), CollationKey(b, true)) < 0;
  });
  EXPECT_EQ(names, expected);
}

TEST_F(LocaleTest, CollationKeysAgreeWithComparison) {
  const std::vector<std::string> texts = {"", "а", "А", "ё", "е", "Ёлкин", "елкин", "ЕЛКИН",
                                          "abc", "ABC", "a b", "ab", "Z", "я", "1", "10", "9"};
  for (const std::string& a : texts) {
    for (const std::string& b : texts) {
      EXPECT_EQ(KeyCompare(CollationKey(a, true), CollationKey(b, true)), AnsiCompareText(a, b))
          << a << " / " << b;
      EXPECT_EQ(KeyCompare(CollationKey(a, false), CollationKey(b, false)), AnsiCompareStr(a, b))
          << a << " / " << b;
    }
  }
  for (const std::string& text : texts) {
    EXPECT_EQ(CollationKey(text, false).find('\0'), std::string::npos) << text;
  }
  EXPECT_EQ(CollationKey("Петров", true), CollationKey("ПЕТРОВ", true));
  EXPECT_NE(CollationKey("Петров", false), CollationKey("ПЕТРОВ", false));
}

// Comparisons of texts with the same bytes are answered without the collator: they must
// agree with the collator's own keys, for texts the collator reads in odd ways too
// (ignorable controls, ill-formed bytes, combining marks, contractions of the language).
TEST_F(LocaleTest, ComparisonsAgreeWithKeysForEqualAndUnequalBytes) {
  const std::vector<std::string> pieces = {"a", "A", "cs", "CS", "c", "s", "ё", "Е", "е",
                                           "\x01", "\xFF", "\xC0\x80", "e\xCC\x81", "\xC3\xA9", " ", "9"};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (const char* language : {"ru", "hu"}) {
    SetCollationLanguage(language);
    for (int round = 0; round < 300; ++round) {
      std::string a;
      for (uint32_t n = next() % 6; n > 0; --n) a += pieces[next() % pieces.size()];
      std::string b;
      switch (next() % 3) {
        case 0: b = std::string(a.data(), a.size()); break;  // same bytes, other storage
        case 1: b = AnsiUpperCase(a); break;
        default:
          for (uint32_t n = next() % 6; n > 0; --n) b += pieces[next() % pieces.size()];
      }
      const int text_keys = KeyCompare(CollationKey(a, true), CollationKey(b, true));
      EXPECT_EQ(AnsiCompareText(a, b), text_keys) << language << ": " << a << " / " << b;
      EXPECT_EQ(AnsiSameText(a, b), text_keys == 0) << language << ": " << a << " / " << b;
      EXPECT_EQ(AnsiCompareStr(a, b), KeyCompare(CollationKey(a, false), CollationKey(b, false)))
          << language << ": " << a << " / " << b;
    }
  }
}

TEST_F(LocaleTest, CollatorsWorkFromSeveralThreads) {
  std::vector<int> failures(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures, t] {
      for (int i = 0; i < 500; ++i) {
        if (AnsiCompareText("Ёлкин", "ЁЛКИН") != 0 || AnsiCompareStr("Елкин", "Ёлкин") >= 0) {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST_F(LocaleTest, MalformedUtf8DoesNotBreakComparison) {
  EXPECT_NO_THROW(AnsiCompareText("a\xFF", "a\xFE"));
  EXPECT_NO_THROW(CollationKey("\xC0\x80\xED\xA0\x80", false));
  EXPECT_EQ(AnsiUpperCase("a\xFF"), "A\xEF\xBF\xBD");
}

TEST(AsciiText, FoldsOnlyLatinLetters) {
  EXPECT_EQ(UpperCase("abc xyz Ёжик"), "ABC XYZ Ёжик");
  EXPECT_EQ(LowerCase("ABC Ёжик"), "abc Ёжик");
  EXPECT_EQ(CompareText("Hello", "hELLO"), 0);
  EXPECT_TRUE(SameText("Hello", "HELLO"));
  EXPECT_FALSE(SameText("ЁЖИК", "ёжик"));
  EXPECT_NE(CompareText("ЁЖИК", "ёжик"), 0);
  EXPECT_FALSE(SameText("abc", "abcd"));
}

TEST(AsciiText, ComparesBytes) {
  EXPECT_LT(CompareStr("ABC", "abc"), 0);
  EXPECT_LT(CompareStr("abc", "abcd"), 0);
  EXPECT_GT(CompareStr("b", "abc"), 0);
  // Letters fold to upper case, so '_' sorts after them; bytes above 0x7F after ASCII.
  EXPECT_LT(CompareText("a", "_"), 0);
  EXPECT_GT(CompareText("я", "z"), 0);
  EXPECT_EQ(CompareStr(std::string("a\0b", 3), std::string("a\0b", 3)), 0);
  EXPECT_LT(CompareStr(std::string("a\0b", 3), std::string("a\0c", 3)), 0);
}

}  // namespace
}  // namespace lgoty::core
