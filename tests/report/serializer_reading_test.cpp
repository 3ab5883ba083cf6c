// Reading attributes takes short cuts for what the store writes most (numbers and texts
// without entities, references looked up among the objects of a page). Each must read
// exactly what the general reading gives: a value whose first character is written as a
// character entity takes the general way, so the two are read side by side.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "report/bands.h"
#include "report/pages.h"
#include "report/serializer.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

// raw with its first character as "&#N;": the same value, read the general way. (A value
// that starts with an entity is read the general way already.)
std::string Entity(const std::string& raw) {
  if (raw.empty() || raw[0] == '&') return raw;
  return "&#" + std::to_string(static_cast<unsigned char>(raw[0])) + ";" + raw.substr(1);
}

struct Read {
  double left = 0;
  double gap_x = 0;
  std::string text;
  std::string errors;
};

Read ReadMemo(const std::string& attributes) {
  TfrxMemoView memo;
  memo.SetLeft(-7);
  memo.gap_x = -7;
  TfrxXMLSerializer serializer;
  serializer.ApplyAttributes(attributes, memo);
  return Read{memo.Left(), memo.gap_x, memo.Text(), serializer.Errors().Text()};
}

TEST(SerializerReading, NumbersReadAsTheGeneralReadingReadsThem) {
  std::vector<std::string> raws = {
      "0",        "-0",       "12,5",     "12.5",       "1 234,5",     " 83,15 ",   "720",
      "1e3",      "1E-5",     "-3,5e+2",  "+5",         ".5",          "5.",        "0x10",
      "abc",      "12.5.3",   "1,2,3",    "inf",        "-INF",        "nan",       "1e400",
      "-1e-400",  "4,35E-7",  "99999999999999,98",      "0,30000000000000004",  "1 e 3",
      "123456789012345678901234567890123456789012345678",  // exactly the short limit
      "1234567890123456789012345678901234567890123456789,5", "--1", "1-", "\t5"};
  std::mt19937_64 random(3);
  for (int i = 0; i < 300; ++i) {
    char text[64];
    const double value = std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 70)) *
                         (random() % 2 ? 1 : -1);
    std::snprintf(text, sizeof text, "%.*g", static_cast<int>(random() % 18) + 1, value);
    std::string raw = text;
    for (char& c : raw) {
      if (c == '.' && random() % 2) c = ',';
    }
    raws.push_back(raw);
  }
  for (const std::string& raw : raws) {
    const Read fast = ReadMemo("l=\"" + raw + "\" GapX=\"" + raw + "\"");
    const Read general = ReadMemo("l=\"" + Entity(raw) + "\" GapX=\"" + Entity(raw) + "\"");
    EXPECT_EQ(std::memcmp(&fast.left, &general.left, sizeof(double)), 0)
        << raw << ": " << fast.left << " / " << general.left;
    EXPECT_EQ(std::memcmp(&fast.gap_x, &general.gap_x, sizeof(double)), 0)
        << raw << ": " << fast.gap_x << " / " << general.gap_x;
    EXPECT_EQ(fast.errors, general.errors) << raw;
  }
  // The readings did differ from the start values and some did fail.
  EXPECT_EQ(ReadMemo("l=\"83,15\"").left, 83.15);
  EXPECT_FALSE(ReadMemo("l=\"abc\"").errors.empty());
}

TEST(SerializerReading, MemoTextsReadAsTheGeneralReadingReadsThem) {
  const std::vector<std::string> raws = {
      "a",  "Иванов Иван",  "49 989,64",    "line&#13;&#10;next", "&amp;&lt;&gt;&quot;",
      "x&", "&",  "a&b",    "tab\there",    "[Name] [Sum]",       std::string(300, 'w'),
      "&#1234;", "ab&#", "\x01"};
  for (const std::string& raw : raws) {
    for (const char* name : {"Text", "u", "x"}) {
      const Read fast = ReadMemo(std::string(name) + "=\"" + raw + "\"");
      const Read general = ReadMemo(std::string(name) + "=\"" + Entity(raw) + "\"");
      EXPECT_EQ(fast.text, general.text) << name << "=" << raw;
    }
  }
  EXPECT_EQ(ReadMemo("Text=\"a&amp;b\"").text, "a&b");
  EXPECT_EQ(ReadMemo("u=\"Сумма\"").text, "Сумма");
}

// Texts of string properties and reference names, in the ANSI code page and in UTF-8, with
// and without letters beyond ASCII: read alike whether or not they start with an entity.
TEST(SerializerReading, StringsReadAsTheGeneralReadingReadsThem) {
  const std::vector<std::string> pieces = {"a", "Z", "7", " ", "_", ".", "'", "<", "\xC0", "\xFF",
                                           "\xE9", "\x80", "\xD0\x96", "\xD1\x8F", "&amp;",
                                           "&#65;", "&#1046;", "&quot;", "&lt;"};
  std::mt19937 random(17);
  int compared = 0;
  for (int i = 0; i < 2000; ++i) {
    std::string raw;
    const int length = static_cast<int>(random() % 12);
    for (int k = 0; k < length; ++k) raw += pieces[random() % pieces.size()];
    if (raw.empty() || raw[0] == '&') continue;
    for (bool old_format : {true, false}) {
      auto read = [old_format](const std::string& value) {
        TfrxMemoView memo;
        TfrxXMLSerializer serializer;
        serializer.old_format = old_format;
        serializer.ApplyAttributes("TagStr=\"" + value + "\"", memo);
        return memo.tag_str + "|" + serializer.Errors().Text();
      };
      ASSERT_EQ(read(raw), read(Entity(raw))) << raw << " " << old_format;
      ++compared;
    }
  }
  EXPECT_GT(compared, 2000);
  // A reference name read either way finds the same object.
  for (const std::string name : {"Memo1", "memo1", "Memo\xC0", "M&#101;mo1"}) {
    for (const std::string& raw : {name, Entity(name)}) {
      TfrxReportPage page;
      auto* target = static_cast<TfrxMemoView*>(page.Adopt(std::make_unique<TfrxMemoView>()));
      target->SetName("Memo1");
      auto* memo = static_cast<TfrxMemoView*>(page.Adopt(std::make_unique<TfrxMemoView>()));
      TfrxXMLSerializer serializer;
      serializer.ApplyItemAttributes("FlowTo=\"" + raw + "\"", *memo, &page);
      EXPECT_EQ(memo->flow_to.Get(), name == "Memo\xC0" ? nullptr : target) << raw;
    }
  }
}

// A page of bands and memos with names that repeat in other letter cases, at random depths.
struct Tree {
  std::unique_ptr<TfrxReportPage> page = std::make_unique<TfrxReportPage>();
  std::vector<TfrxComponent*> all;
};

Tree RandomTree(std::mt19937& random) {
  static const std::vector<std::string> kNames = {"Memo1", "MEMO1", "memo2", "Band1", "B",
                                                  "Child1", "", "Memo10", "Memo"};
  Tree tree;
  tree.all.push_back(tree.page.get());
  const int count = 1 + static_cast<int>(random() % 40);
  for (int i = 0; i < count; ++i) {
    TfrxComponent* parent = tree.all[random() % tree.all.size()];
    std::unique_ptr<TfrxComponent> object;
    if (random() % 3 == 0) {
      object = std::make_unique<TfrxMasterData>();
    } else {
      object = std::make_unique<TfrxMemoView>();
    }
    TfrxComponent* placed = parent->Adopt(std::move(object));
    // Names are set past the checks for uniqueness, as a rebuilt page sets them.
    try {
      placed->SetName(kNames[random() % kNames.size()]);
    } catch (const std::exception&) {
    }
    tree.all.push_back(placed);
  }
  return tree;
}

TEST(SerializerReading, ReferencesFindTheObjectThePagesLookupFinds) {
  std::mt19937 random(11);
  int found = 0;
  int missing = 0;
  for (int round = 0; round < 400; ++round) {
    Tree tree = RandomTree(random);
    auto* memo = static_cast<TfrxMemoView*>(tree.page->Adopt(std::make_unique<TfrxMemoView>()));
    for (const char* name : {"Memo1", "memo1", "MEMO2", "Band1", "b", "Memo10", "Nothing"}) {
      memo->flow_to.Set(nullptr);
      TfrxXMLSerializer serializer;
      serializer.ApplyItemAttributes(std::string("FlowTo=\"") + name + "\"", *memo,
                                     tree.page.get());
      TfrxComponent* expected = tree.page->FindObject(name);
      // Only a memo can be the target of FlowTo.
      if (expected && !dynamic_cast<TfrxCustomMemoView*>(expected)) expected = nullptr;
      ASSERT_EQ(memo->flow_to.Get(), expected) << "round " << round << ", " << name;
      if (expected) {
        ++found;
      } else {
        ++missing;
      }
    }
  }
  EXPECT_GT(found, 300);
  EXPECT_GT(missing, 300);
}

}  // namespace
}  // namespace lgoty::report
