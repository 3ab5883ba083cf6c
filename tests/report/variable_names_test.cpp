// Variable and data-set names compare without regard to letter case: ASCII names by their
// letters, names beyond ASCII through the locale's case folding, and the two kinds never
// equal each other. The comparison classifies names a word at a time and skips classifying
// the second name when the first is ASCII; it must answer as classifying both byte by byte
// does, whatever the names' lengths and where their bytes past ASCII stand.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/ascii_text.h"
#include "core/locale.h"
#include "report/variables.h"

namespace lgoty::report {
namespace {

bool IsAsciiByteByByte(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Both names classified, then compared as their kinds say.
bool SameNameClassifyingBoth(std::string_view a, std::string_view b) {
  const bool ascii_a = IsAsciiByteByByte(a), ascii_b = IsAsciiByteByByte(b);
  if (ascii_a && ascii_b) return core::AsciiSameText(a, b);
  if (ascii_a != ascii_b) return false;
  return core::AnsiSameText(a, b);
}

TEST(VariableNames, HandPickedNamesCompareAsTheirKindsSay) {
  const std::vector<std::pair<std::string, std::string>> equal = {
      {"vid", "VID"}, {"ADOQuery1", "adoquery1"}, {"", ""}, {"Отчёт", "ОТЧЁТ"}, {"usl", "Usl"},
      {"a_long_name_past_eight", "A_LONG_NAME_PAST_EIGHT"}};
  const std::vector<std::pair<std::string, std::string>> different = {
      {"vid", "vid2"}, {"vid", "вид"}, {"ab", "\xD0\xB0"}, {"abcdefgh", "abcdefg\xD0"},
      {"\xD0\xB0", "ab"}, {"Отчёт", "Отчет"}, {"a", ""}, {"IIF(<vid>=1, 1, 2)", "vid"}};
  for (const auto& [a, b] : equal) {
    EXPECT_TRUE(SameVariableName(a, b)) << a << " / " << b;
    EXPECT_TRUE(SameVariableName(b, a)) << b << " / " << a;
  }
  for (const auto& [a, b] : different) {
    EXPECT_FALSE(SameVariableName(a, b)) << a << " / " << b;
    EXPECT_FALSE(SameVariableName(b, a)) << b << " / " << a;
  }
}

TEST(VariableNames, RandomNamesCompareAsWhenBothAreClassified) {
  const std::vector<std::string> pieces = {"a", "A", "z", "Z", "_", "1", " ", "<", "\"", "ж", "Ж",
                                           "ё", "Ё", "\x80", "\xFF", "\xD0", "é", "É"};
  std::mt19937 random(17092026);
  for (int round = 0; round < 20000; ++round) {
    std::string a;
    const int length = static_cast<int>(random() % 20);
    // Mostly one letter case apart, so that equal names are common.
    for (int k = 0; k < length; ++k) a += pieces[random() % pieces.size()];
    std::string b = random() % 2 ? core::AsciiUpper(a) : a;
    if (random() % 4 == 0) {
      b.clear();
      const int other = static_cast<int>(random() % 20);
      for (int k = 0; k < other; ++k) b += pieces[random() % pieces.size()];
    }
    ASSERT_EQ(SameVariableName(a, b), SameNameClassifyingBoth(a, b)) << a << " / " << b;
    ASSERT_EQ(SameVariableName(b, a), SameNameClassifyingBoth(b, a)) << b << " / " << a;
  }
}

// A list finds an entry by any letter case of its name, the first of equal names, and
// nothing for a text that is no name in it (the long texts expressions ask about).
TEST(VariableNames, ListFindsTheFirstEntryOfAName) {
  TfrxVariables list;
  list.Set("OFile", core::Variant(1));
  list.Set(" Категория", core::Variant(2));
  list.Set("Отчёт", core::Variant(3));
  list.Set("vid", core::Variant(4));
  EXPECT_EQ(list.IndexOf("VID"), 3);
  EXPECT_EQ(list.IndexOf("отчЁт"), 2);
  EXPECT_EQ(list.IndexOf(" категория"), 1);
  EXPECT_EQ(list.IndexOf("ofile"), 0);
  EXPECT_EQ(list.IndexOf("IIF(<vid>=1,<ADOQuery1.\"RECEPT\">,IIF(<vid>=2,<ADOQuery1.\"NARYD\">, ''))"), -1);
  EXPECT_EQ(list.IndexOf("vi"), -1);
  EXPECT_EQ(list.IndexOf(""), -1);
}

// The list's search with the name's kind given by the caller (as expressions give it, worked
// out once per text) finds what comparing with every entry in turn finds.
TEST(VariableNames, ListSearchWithTheKindGivenFindsWhatComparingEachEntryFinds) {
  const std::vector<std::string> pieces = {"a", "B", "1", " ", "<", "\"", "ж", "Ж", "ё", "\xD0", "é"};
  std::mt19937 random(10122026);
  auto name = [&] {
    std::string out;
    const int length = static_cast<int>(random() % 6);
    for (int k = 0; k < length; ++k) out += pieces[random() % pieces.size()];
    return out;
  };
  for (int round = 0; round < 300; ++round) {
    TfrxVariables list;
    for (int i = static_cast<int>(random() % 8); i > 0; --i) list.Set(name(), core::Variant(i));
    const int count = list.Count();
    // Entries renamed behind the list's back may repeat a name.
    if (count > 1) list.Item(static_cast<int>(random() % count)).SetName(list.Item(0).Name());
    for (int probe = 0; probe < 20; ++probe) {
      std::string wanted = probe % 3 == 0 && count > 0 ? list.Item(static_cast<int>(random() % count)).Name() : name();
      if (random() % 2) wanted = core::AsciiUpper(wanted);
      int expected = -1;
      for (int i = 0; i < list.Count() && expected < 0; ++i) {
        if (SameNameClassifyingBoth(list.Item(i).Name(), wanted)) expected = i;
      }
      ASSERT_EQ(list.IndexOf(wanted, IsAsciiByteByByte(wanted)), expected) << wanted;
      ASSERT_EQ(list.IndexOf(wanted), expected) << wanted;
    }
  }
}

}  // namespace
}  // namespace lgoty::report
