// The quick ways of reading attributes against the general ones: numbers read from random
// decimals and from anything else, properties looked up by every name in every letter case,
// attributes applied in parts against the same attributes applied as one text, and the
// split of attribute texts against a split by plain searches.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "report/attribute_reading.h"
#include "report/bands.h"
#include "report/pages.h"
#include "report/serializer.h"
#include "report/views.h"
#include "tests/report/tree_compare.h"

namespace lgoty::report {
namespace {

// The general reading's result, or its failure.
std::optional<double> General(const std::string& raw) {
  try {
    return ParseFloatAttributeGeneral(raw);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<double> Quick(const std::string& raw) {
  try {
    return ParseFloatAttribute(raw);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void ExpectSameBits(std::optional<double> want, std::optional<double> got, const std::string& raw) {
  ASSERT_EQ(want.has_value(), got.has_value()) << '"' << raw << '"';
  if (!want) return;
  EXPECT_EQ(std::memcmp(&*want, &*got, sizeof(double)), 0)
      << '"' << raw << "\" " << *want << " != " << *got;
}

TEST(AttributeReading, PlainDecimalsReadAsTheGeneralWay) {
  std::mt19937_64 random(20261210);
  auto digits = [&](int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += static_cast<char>('0' + random() % 10);
    return out;
  };
  int quick = 0;
  for (int k = 0; k < 200000; ++k) {
    const int whole = static_cast<int>(random() % 16);
    const int fraction = static_cast<int>(random() % 17);
    std::string raw = random() % 4 == 0 ? "-" : "";
    raw += digits(whole);
    if (fraction > 0 || random() % 8 == 0) raw += random() % 2 ? ',' : '.';
    raw += digits(fraction);
    const std::optional<double> plain = ParsePlainDecimal(raw);
    const std::optional<double> general = General(raw);
    if (plain) {
      ++quick;
      ExpectSameBits(general, plain, raw);
    }
    ExpectSameBits(general, Quick(raw), raw);
  }
  // Most of them are short enough for the quick way.
  EXPECT_GT(quick, 60000);
  for (const char* raw : {"0", "-0", "0,0", "-0.000", "999999999999999", "0.999999999999999",
                          "9007199254740993", "1,7976931348623157", "123456789012345,6",
                          "0.1", "737,00835", "83,15", "18,9"}) {
    ExpectSameBits(General(raw), Quick(raw), raw);
    if (std::optional<double> plain = ParsePlainDecimal(raw)) {
      ExpectSameBits(General(raw), plain, raw);
    }
  }
}

TEST(AttributeReading, OtherTextsGoTheGeneralWay) {
  // Forms the quick way leaves alone: the result (or the failure) is the general one's.
  for (const char* raw : {"", "-", ",", "1,", ",5", ".5", "1.2.3", "1,2,3", "+1", " 1", "1 ",
                          "1 000,5", "1e5", "1E-3", "-1.5e+2", "&#49;2", "1&amp;", "inf", "nan",
                          "0x10", "--1", "1-", "12a", "1234567890123456", "00000000000000001",
                          "\t1"}) {
    SCOPED_TRACE(raw);
    const std::optional<double> plain = ParsePlainDecimal(raw);
    if (plain) ExpectSameBits(General(raw), plain, raw);
    ExpectSameBits(General(raw), Quick(raw), raw);
  }
  EXPECT_FALSE(ParsePlainDecimal("1,").has_value());
  EXPECT_FALSE(ParsePlainDecimal("1e5").has_value());
  EXPECT_FALSE(ParsePlainDecimal("1234567890123456").has_value());
  std::mt19937_64 random(7);
  const std::string alphabet = "0123456789,.- e+&#;x";
  for (int k = 0; k < 50000; ++k) {
    std::string raw;
    const int n = static_cast<int>(random() % 12);
    for (int i = 0; i < n; ++i) raw += alphabet[random() % alphabet.size()];
    ExpectSameBits(General(raw), Quick(raw), raw);
  }
}

TEST(AttributeReading, CachedLookupFindsWhatTheClassFinds) {
  RegisterReportClasses();
  std::vector<const core::ClassInfo*> classes = core::ClassRegistry::Instance().Classes();
  std::vector<std::string> names = {"", "NoSuchProperty", "Font.Name", "l", "Text",
                                    std::string(41, 'A'), std::string(40, 'B')};
  for (const core::ClassInfo* cls : classes) {
    for (const core::PropInfo* p : cls->Properties()) names.push_back(p->name);
  }
  // Every name in three letter cases, against every class, several rounds in an order that
  // changes, so that names meet in the table's slots and replace one another.
  std::vector<std::string> variants;
  for (const std::string& name : names) {
    variants.push_back(name);
    std::string lower = name, upper = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    variants.push_back(lower);
    variants.push_back(upper);
  }
  std::mt19937 random(3);
  size_t found = 0;
  for (int round = 0; round < 3; ++round) {
    std::shuffle(variants.begin(), variants.end(), random);
    for (const core::ClassInfo* cls : classes) {
      for (const std::string& name : variants) {
        const core::PropInfo* want = cls->FindProperty(name);
        ASSERT_EQ(want, FindPropertyCached(cls, name)) << cls->Name() << '.' << name;
        found += want != nullptr;
      }
    }
  }
  EXPECT_GT(found, 1000u);
}

// A memo and a band on a page, as a rebuilt page holds them.
struct Tree {
  Tree() {
    page.SetName("Page1");
    band = static_cast<TfrxMasterData*>(page.Adopt(std::make_unique<TfrxMasterData>()));
    band->SetName("MasterData1");
    memo = static_cast<TfrxMemoView*>(band->Adopt(std::make_unique<TfrxMemoView>()));
    memo->SetName("Memo1");
    other = static_cast<TfrxMemoView*>(band->Adopt(std::make_unique<TfrxMemoView>()));
    other->SetName("Memo2");
  }
  TfrxReportPage page;
  TfrxMasterData* band;
  TfrxMemoView* memo;
  TfrxMemoView* other;
};

TEST(AttributeReading, PartsApplyAsTheJoinedText) {
  // Whole attributes of every kind (references among them), and texts that end damaged.
  const std::vector<std::string> wholes = {
      "l=\"10,5\"", "Top=\"3\"", "Width=\"120.25\"", "h=\"x\"", "HAlign=\"haRight\"",
      "HAlign=\"7\"", "Font.Name=\"Times\"", "Font.Style=\"3\"", "Frame.Typ=\"15\"",
      "FillType=\"ftGradient\"", "Fill.StartColor=\"255\"", "FlowTo=\"Memo2\"",
      "FlowTo=\"Nowhere\"", "Text=\"a&#13;&#10;b\"", "u=\"plain\"", "Visible=\"False\"",
      "TagStr=\"&#60;t&#62;\"", "DisplayFormat.Kind=\"fkNumeric\"", "NoSuch=\"1\"",
      "Font.height=\"-20\"", "GapX=\"4,5\"", "Name=\"Renamed\""};
  const std::vector<std::string> tails = {"", "Text", "Top=\"5", "=\"1\"", "  ", "x y=\"2\""};
  std::mt19937 random(11);
  TfrxXMLSerializer serializer;
  for (int k = 0; k < 400; ++k) {
    std::vector<std::string> texts;
    const int count = 1 + static_cast<int>(random() % 5);
    for (int i = 0; i < count; ++i) texts.push_back(wholes[random() % wholes.size()]);
    // The last part: whole attributes and perhaps a damaged tail.
    std::string last;
    for (int i = static_cast<int>(random() % 3); i > 0; --i) {
      last += wholes[random() % wholes.size()] + " ";
    }
    last += tails[random() % tails.size()];
    texts.push_back(last);
    std::string joined;
    std::vector<std::string_view> parts;
    for (const std::string& text : texts) {
      if (!joined.empty()) joined += ' ';
      joined += text;
      parts.push_back(text);
    }
    SCOPED_TRACE(joined);
    Tree a, b;
    serializer.ApplyItemAttributes(joined, *a.memo, &a.page);
    serializer.ApplyItemAttributes(std::span<const std::string_view>(parts), *b.memo, &b.page);
    testing::ExpectSameTree(a.page, b.page);
    EXPECT_EQ(a.memo->flow_to.Get() != nullptr, b.memo->flow_to.Get() != nullptr);
  }
}

// The split as plain searches give it: the "=" and both quotes each found from where the
// last search left off.
std::vector<std::string> SplitBySearches(std::string_view text) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size()) break;
    const size_t eq = text.find('=', i);
    if (eq == std::string_view::npos) break;
    size_t name_end = eq;
    while (name_end > i && text[name_end - 1] == ' ') --name_end;
    const size_t open = text.find('"', eq + 1);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) break;
    out.push_back(std::string(text.substr(i, name_end - i)) + "|" +
                  std::string(text.substr(open + 1, close - open - 1)) + "|" +
                  std::string(text.substr(i, close + 1 - i)));
    i = close + 1;
  }
  return out;
}

TEST(AttributeReading, AttributeTextsSplitAsSearchesSplitThem) {
  std::mt19937 random(20261210);
  // Pieces of well-formed and garbled attribute texts: blanks around "=", values with
  // entities, a "=" without quotes, quotes before a "=", texts cut anywhere.
  const std::vector<std::string> pieces = {
      "l",  "Text", " ",   "=",   "\"",  "=\"",   "\"\"", "12,5", "&quot;", "a b",
      "  ", "x=",   "\"=", "Font.Name", "Памяти", "=\"\"", "h=\"33\"", "u", " = ", "\"\" "};
  std::uniform_int_distribution<size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 14);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int k = length(random); k > 0; --k) text += pieces[piece(random)];
    std::vector<std::string> got;
    ForEachAttribute(text, [&](const XmlAttribute& attribute) {
      got.push_back(std::string(attribute.name) + "|" + std::string(attribute.value) + "|" +
                    std::string(attribute.whole));
    });
    ASSERT_EQ(SplitBySearches(text), got) << "text: " << text;
  }
}

}  // namespace
}  // namespace lgoty::report
