#include "sql/sort_key_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/locale.h"
#include "tests/seeded_random.h"

namespace lgoty::sql {
namespace {

// Texts that sit close together in the Russian order or that a shortcut could get wrong:
// letter case, ё against е, blanks, digits, Latin, punctuation, prefixes, the empty text.
const std::vector<std::string>& TrickyTexts() {
  static const std::vector<std::string> texts = {
      "", " ", "  ", "Елкин", "елкин", "ЕЛКИН", "Ёлкин", "ёлкин", "Елкина", "Ёлкина", "Ерш",
      "Ершов", "ершов", " Иванов", "Иванов", "иванов", "Иванова", "Иваненко", "Ивановa",
      "Иванов ", "Иванов1", "Иванов2", "Иванов10", "10", "9", "09", "a", "A", "b", "Z", "z",
      "Ivanov", "ivanov", "Иvanov", "-", "Иванов-Петров", "ИвановПетров", "Щук", "Шук", "Ъ",
      "ь", "Я", "я", "Ё", "Е", "е", "ё", "é", "e", "E", "ß", "ss", "\t", "Фёдор", "Федор",
      "ФёДОРОВ", "Фёдоров", "Федоров", "II-МЮ", "IV-АБ", "4501", "V-ЕЁ"};
  return texts;
}

using Random = lgoty::testing::SeededRandom;

// Random texts from an alphabet of the troublesome characters, some well-formed, some not.
std::string RandomText(Random& random, bool ill_formed) {
  static const std::vector<std::string> pieces = {
      "а", "е", "ё", "Е", "Ё", "ж", "я", "Я", "ь", "ъ", "a", "A", "z", " ", "-", "1", "0", "é",
      "\xE2\x80\x93", "ß", "ov", "ова"};
  std::string text;
  const uint32_t length = random.Below(7);
  for (uint32_t i = 0; i < length; ++i) text += pieces[random.Below(pieces.size())];
  if (ill_formed && !text.empty()) {
    static const char* bad[] = {"\xD0", "\x80", "\xFF", "\xED\xA0\x80", "\xC0\xAF"};
    text.insert(random.Below(static_cast<uint32_t>(text.size()) + 1), bad[random.Below(5)]);
  }
  return text;
}

void ExpectAgrees(TSortKeyCache& cache, const std::string& a, const std::string& b) {
  EXPECT_EQ(cache.Compare(a, b), core::AnsiCompareText(a, b)) << '"' << a << "\" \"" << b << '"';
}

TEST(SortKeyCache, AgreesWithTheCollatorOnEveryPairTwice) {
  TSortKeyCache cache;
  const auto& texts = TrickyTexts();
  // The second round compares through the keys the first one made.
  for (int round = 0; round < 2; ++round) {
    for (const std::string& a : texts) {
      for (const std::string& b : texts) ExpectAgrees(cache, a, b);
    }
  }
  EXPECT_GT(cache.Size(), texts.size() / 2);
}

TEST(SortKeyCache, AgreesWithTheCollatorOnRandomAndIllFormedTexts) {
  TSortKeyCache cache;
  Random random;
  std::vector<std::string> texts;
  for (int i = 0; i < 400; ++i) texts.push_back(RandomText(random, i % 5 == 0));
  for (size_t i = 0; i < texts.size(); ++i) {
    for (size_t j = 0; j < texts.size(); j += 7) ExpectAgrees(cache, texts[i], texts[(i + j) % texts.size()]);
  }
  // Ill-formed texts are never kept.
  EXPECT_LT(cache.Size(), texts.size());
}

TEST(SortKeyCache, LongTextsAreComparedDirectlyAndNotKept) {
  TSortKeyCache cache;
  const std::string long_a(TSortKeyCache::kLongestCachedText + 2, 'a');
  const std::string long_b = long_a.substr(1) + "Ё";
  ExpectAgrees(cache, long_a, long_b);
  ExpectAgrees(cache, long_b, long_a);
  ExpectAgrees(cache, "Ёлкин", long_a);
  EXPECT_LE(cache.Size(), 1u);
}

TEST(SortKeyCache, FollowsAChangeOfTheCollationLanguage) {
  // In Swedish "ö" sorts after "z"; in Russian (and English) it sorts with "o".
  TSortKeyCache cache;
  const std::string o_umlaut = "\xC3\xB6";
  EXPECT_LT(cache.Compare(o_umlaut, "z"), 0);
  core::SetCollationLanguage("sv");
  EXPECT_GT(cache.Compare(o_umlaut, "z"), 0);
  EXPECT_EQ(cache.Compare(o_umlaut, "z"), core::AnsiCompareText(o_umlaut, "z"));
  core::SetCollationLanguage("ru");
  EXPECT_LT(cache.Compare(o_umlaut, "z"), 0);
}

TEST(SortKeyCache, EmptiesItselfPastItsBudgetAndStillAgrees) {
  TSortKeyCache cache;
  std::string previous = "Иванов";
  size_t largest = 0;
  for (int i = 0; i < 40'000; ++i) {
    std::string text(200, 'x');
    text += std::to_string(i);
    if (i % 997 == 0) ExpectAgrees(cache, text, previous);
    else cache.Compare(text, previous);
    largest = std::max(largest, cache.Size());
    previous = std::move(text);
  }
  EXPECT_LT(cache.Size(), largest);
  EXPECT_LT(largest, 40'000u);
}

}  // namespace
}  // namespace lgoty::sql
