#include "dbf/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "core/locale.h"
#include "dbf/index_keys.h"
#include "dbf/language_drivers.h"

namespace lgoty::dbf {
namespace {

std::vector<std::byte> Key(int code_page, const std::string& utf8, size_t length) {
  std::string bytes = core::FromUtf8(code_page, utf8);
  bytes.resize(length, ' ');
  std::vector<std::byte> key(length);
  std::memcpy(key.data(), bytes.data(), length);
  return key;
}

std::vector<std::string> SortedUnder(const TCollationWeights& weights, int code_page,
                                     std::vector<std::string> names) {
  std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    return CompareCharacterKeys(weights, Key(code_page, a, 20), Key(code_page, b, 20)) < 0;
  });
  return names;
}

TEST(Collation, EveryTableIsAPermutationMadeForItsDriversCodePage) {
  EXPECT_EQ(CollationTables().size(), 48u);
  for (const TCollationTable& table : CollationTables()) {
    std::set<int> seen(table.weights.begin(), table.weights.end());
    EXPECT_EQ(seen.size(), 256u) << table.name;
    EXPECT_EQ(table.code_page, CodePageOfLdid(table.ldid)) << table.name;
  }
}

TEST(Collation, PlainDriversAndDriversWithoutATableUseByteOrder) {
  EXPECT_EQ(FindCollationTable(0x57)->weights, PlainByteOrder());
  EXPECT_EQ(FindCollationTable(0x13)->weights, PlainByteOrder());
  EXPECT_EQ(FindCollationTable(0x65), nullptr);
  EXPECT_EQ(&CollationWeightsOf(0x65), &PlainByteOrder());
  for (int b = 0; b < 256; ++b) EXPECT_EQ(PlainByteOrder()[static_cast<size_t>(b)], b);
}

const std::vector<std::string> kSurnames = {"Яковлев", "абрамов", "Ёлкин",  "Борисов",
                                            "Жуков",   "Иван",    "Иванов", "елкин"};

TEST(Collation, RussianDriverSortsSurnamesAlphabetically) {
  EXPECT_EQ(SortedUnder(FindCollationTable(0x26)->weights, 866, kSurnames),
            (std::vector<std::string>{"абрамов", "Борисов", "елкин", "Ёлкин", "Жуков", "Иван",
                                      "Иванов", "Яковлев"}));
}

TEST(Collation, Ldid65SortsByTheBytesOfCodePage866) {
  // 866: А-Я 0x80-0x9F, а-п 0xA0-0xAF, р-я 0xE0-0xEF, Ё 0xF0, ё 0xF1.
  EXPECT_EQ(SortedUnder(CollationWeightsOf(0x65), 866, kSurnames),
            (std::vector<std::string>{"Борисов", "Жуков", "Иван", "Иванов", "Яковлев",
                                      "абрамов", "елкин", "Ёлкин"}));
}

TEST(Collation, SpanishDriverPutsEnyeBetweenNAndO) {
  const auto& weights = FindCollationTable(0x59)->weights;
  EXPECT_EQ(SortedUnder(weights, 1252, {"oso", "ñu", "nube", "Ñandú"}),
            (std::vector<std::string>{"nube", "ñu", "Ñandú", "oso"}));
}

// The checked-in weights still agree with the language's collation for every pair of
// letters of the code page (stale or hand-edited data would not).
TEST(Collation, WeightsOfLettersFollowTheLanguagesCollation) {
  struct Case {
    uint8_t ldid;
    const char* language;
  };
  for (const Case& c : {Case{0x26, "ru"}, Case{0x59, "es"}, Case{0x1F, "cs"}}) {
    core::SetCollationLanguage(c.language);
    const TCollationTable& table = *FindCollationTable(c.ldid);
    std::vector<std::pair<int, std::string>> letters;
    for (int b = 0; b < 256; ++b) {
      const std::string utf8 = core::ToUtf8(table.code_page, std::string(1, static_cast<char>(b)));
      if (core::AnsiUpperCase(utf8) != core::AnsiLowerCase(utf8)) letters.emplace_back(b, utf8);
    }
    ASSERT_GT(letters.size(), 52u) << table.name;
    for (const auto& [a, ua] : letters) {
      for (const auto& [b, ub] : letters) {
        const int expected = core::AnsiCompareStr(ua, ub);
        const int actual = (table.weights[a] > table.weights[b]) - (table.weights[a] < table.weights[b]);
        EXPECT_EQ(actual, expected) << table.name << ": " << ua << " vs " << ub;
      }
    }
  }
  core::SetCollationLanguage("ru");
}

TEST(Collation, SortKeysOrderLikeTheWeightedComparison) {
  const auto& weights = FindCollationTable(0x26)->weights;
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    std::vector<std::byte> a(6), b(6), sa(6), sb(6);
    for (size_t k = 0; k < 6; ++k) {
      a[k] = static_cast<std::byte>(random() % 256);
      b[k] = k < 3 ? a[k] : static_cast<std::byte>(random() % 256);
    }
    MakeSortKey(weights, a, sa);
    MakeSortKey(weights, b, sb);
    const int by_memcmp = std::memcmp(sa.data(), sb.data(), 6);
    EXPECT_EQ((by_memcmp > 0) - (by_memcmp < 0), CompareCharacterKeys(weights, a, b));
  }
}

std::vector<int> MdxKey(double value) {
  std::vector<std::byte> key(12);
  EncodeMdxNumericKey(value, key);
  return std::vector<int>(reinterpret_cast<uint8_t*>(key.data()),
                          reinterpret_cast<uint8_t*>(key.data()) + 12);
}

std::vector<int> MdxIntegerKey(int64_t value) {
  std::vector<std::byte> key(12);
  EncodeMdxIntegerKey(value, key);
  return std::vector<int>(reinterpret_cast<uint8_t*>(key.data()),
                          reinterpret_cast<uint8_t*>(key.data()) + 12);
}

TEST(NumericKeys, MdxKeyBytes) {
  using V = std::vector<int>;
  EXPECT_EQ(MdxKey(0), (V{0x34, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MdxKey(-0.0), MdxKey(0));
  EXPECT_EQ(MdxKey(0.05), (V{0x33, 0x09, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MdxKey(1), (V{0x35, 0x09, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MdxKey(-1), (V{0x35, 0x89, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MdxKey(123.45), (V{0x37, 0x19, 0x12, 0x34, 0x50, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MdxKey(10), (V{0x36, 0x09, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // Floating values keep 15 significant digits: 0.1 + 0.2 is 0.3 here.
  EXPECT_EQ(MdxKey(0.1 + 0.2), (V{0x34, 0x09, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MdxKey(1.0 / 3), (V{0x34, 0x41, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x30,
                                0, 0}));
  // Integers keep all their digits, up to 16.
  EXPECT_EQ(MdxIntegerKey(1234567890123456789),
            (V{0x47, 0x41, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0, 0}));
  EXPECT_EQ(MdxIntegerKey(-120), (V{0x37, 0x89, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MdxIntegerKey(0), MdxKey(0));
  // Beyond the exponent byte: tiny values are zero, huge ones saturate.
  EXPECT_EQ(MdxKey(1e-60), MdxKey(0));
  EXPECT_EQ(MdxKey(1e300)[0], 0xFF);
  EXPECT_EQ(MdxKey(std::nan("")), MdxKey(0));
}

TEST(NumericKeys, MdxKeysDecodeToTheirValues) {
  for (double v : {0.0, 0.05, 1.0, -1.0, 123.45, -98765.4321, 1e20, -3e-40}) {
    std::vector<std::byte> key(12);
    EncodeMdxNumericKey(v, key);
    EXPECT_DOUBLE_EQ(DecodeMdxNumericKey(key), v);
  }
}

TEST(NumericKeys, MdxKeysOrderNumericallyWithZeroBetweenSigns) {
  const std::vector<double> values = {-1e10, -123.45, -1, -0.5, -0.05, -1e-30, 0,
                                      1e-30, 0.05,    0.099, 0.1, 1,    123.45, 1e10};
  std::vector<std::vector<std::byte>> keys;
  for (double v : values) {
    keys.emplace_back(12);
    EncodeMdxNumericKey(v, keys.back());
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    for (size_t j = 0; j < keys.size(); ++j) {
      const int expected = (i > j) - (i < j);
      EXPECT_EQ(CompareMdxNumericKeys(keys[i], keys[j]), expected)
          << values[i] << " vs " << values[j];
    }
  }
}

TEST(NumericKeys, NdxKeysAreLittleEndianDoublesComparedAsNumbers) {
  std::vector<std::byte> one(8), minus(8), nan(8);
  EncodeNdxNumericKey(1.0, one);
  EXPECT_EQ(std::to_integer<int>(one[7]), 0x3F);
  EXPECT_EQ(std::to_integer<int>(one[6]), 0xF0);
  EncodeNdxNumericKey(-2.0, minus);
  EXPECT_EQ(CompareNdxNumericKeys(minus, one), -1);
  EXPECT_EQ(CompareNdxNumericKeys(one, one), 0);
  const double not_a_number = std::nan("");
  std::memcpy(nan.data(), &not_a_number, 8);
  EXPECT_EQ(CompareNdxNumericKeys(nan, minus), -1);
  EncodeNdxNumericKey(not_a_number, nan);
  EXPECT_EQ(DecodeNdxNumericKey(nan), 0.0);
}

}  // namespace
}  // namespace lgoty::dbf
