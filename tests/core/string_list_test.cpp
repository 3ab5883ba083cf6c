#include "core/string_list.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/exception.h"

namespace lgoty::core {
namespace {

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

template <typename F>
std::string ListErrorOf(F&& f) {
  try {
    f();
  } catch (const EListError& e) {
    return e.Message();
  }
  return "(no exception)";
}

TEST(StringList, TextJoinsWithCrLfAndSplitsAtAnyBreak) {
  TStringList list;
  EXPECT_EQ(list.Text(), "");
  list.Add("a");
  EXPECT_EQ(list.Text(), "a\r\n");

  list.SetText("one\r\ntwo\rthree\nfour\r\n\r\n");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"one", "two", "three", "four", ""}));
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n\r\n");

  list.SetText("\n\nlast");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"", "", "last"}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, IndexErrorsCarryTheIndex) {
  TStringList list;
  list.Add("x");
  EXPECT_EQ(ListErrorOf([&] { list.Get(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ListErrorOf([&] { list.Delete(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ListErrorOf([&] { list.Insert(3, "y"); }), "List index out of bounds (3)");
  list.Insert(1, "end");
  list.Move(1, 0);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"end", "x"}));
}

TEST(StringList, SortedFindIsCaseInsensitiveByCollation) {
  TStringList list;
  list.SetSorted(true);
  for (const char* name : {"Сидоров", "иванов", "Ёлкин", "Петров", "Абрамов"}) list.Add(name);
  EXPECT_EQ(Lines(list),
            (std::vector<std::string>{"Абрамов", "Ёлкин", "иванов", "Петров", "Сидоров"}));

  int index = -1;
  EXPECT_TRUE(list.Find("ИВАНОВ", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find("Кузнецов", index));
  EXPECT_EQ(index, 3);  // where it would go
  EXPECT_EQ(list.IndexOf("петров"), 3);
  EXPECT_EQ(list.IndexOf("Нет"), -1);

  EXPECT_EQ(ListErrorOf([&] { list.Insert(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ListErrorOf([&] { list.Put(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ListErrorOf([&] { list.Exchange(0, 1); }), "Operation not allowed on sorted list");

  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("ИВАНОВ"), -1);
  EXPECT_EQ(list.IndexOf("иванов"), 2);
}

TEST(StringList, DuplicatesInSortedMode) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add("b"), 0);
  EXPECT_EQ(list.Add("a"), 0);
  EXPECT_EQ(list.Add("B"), 1);  // dupIgnore: the existing index, nothing added
  EXPECT_EQ(list.Count(), 2);

  list.SetDuplicates(Duplicates::dupError);
  EXPECT_EQ(ListErrorOf([&] { list.Add("A"); }), "String list does not allow duplicates");
  EXPECT_EQ(list.Count(), 2);

  list.SetDuplicates(Duplicates::dupAccept);
  list.Add("b");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"a", "b", "b"}));

  // Unsorted lists keep whatever is added.
  TStringList plain;
  plain.SetDuplicates(Duplicates::dupError);
  plain.Add("x");
  EXPECT_EQ(plain.Add("x"), 1);
}

TEST(StringList, NameValueLines) {
  TStringList list;
  list.SetText("Host=server\nPort=5432\nnoseparator\nEmpty=");
  EXPECT_EQ(list.Values("host"), "server");
  EXPECT_EQ(list.Values("PORT"), "5432");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.IndexOfName("noseparator"), -1);
  EXPECT_EQ(list.Names(1), "Port");
  EXPECT_EQ(list.ValueFromIndex(2), "");
  EXPECT_EQ(list.IndexOfName("Empty"), 3);

  list.SetValue("port", "1");
  EXPECT_EQ(list[1], "port=1");
  list.SetValue("New", "a=b");
  EXPECT_EQ(list.Values("new"), "a=b");
  list.SetValue("Host", "");
  EXPECT_EQ(list.IndexOfName("Host"), -1);
  EXPECT_EQ(list.Count(), 4);

  TStringList sorted;
  sorted.SetSorted(true);
  sorted.SetValue("b", "1");
  sorted.SetValue("a", "2");
  sorted.SetValue("b", "0");
  EXPECT_EQ(Lines(sorted), (std::vector<std::string>{"a=2", "b=0"}));
}

TEST(StringList, CommaTextQuotesAndRoundTrips) {
  TStringList list;
  list.SetText("plain\ntwo words\nsay \"hi\"\na,b\n");
  list.Add("");
  EXPECT_EQ(list.CommaText(), "plain,\"two words\",\"say \"\"hi\"\"\",\"a,b\",");

  TStringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(Lines(back), Lines(list));

  back.SetCommaText("  a b , \"c\",,d");
  EXPECT_EQ(Lines(back), (std::vector<std::string>{"a", "b", "c", "", "d"}));
  back.SetCommaText("\"unterminated, still one");
  EXPECT_EQ(Lines(back), (std::vector<std::string>{"unterminated, still one"}));

  TStringList single;
  single.Add("");
  EXPECT_EQ(single.CommaText(), "\"\"");
  back.SetCommaText(single.CommaText());
  EXPECT_EQ(back.Count(), 1);
}

// Splits the way a text is read line by line: a line ends at CR, LF or CR LF; a break at the
// very end adds no empty line.
std::vector<std::string> SplitByteByByte(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    out.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return out;
}

TEST(StringList, TextSplitsRandomBreaksAsReadByteByByte) {
  // Texts of every length up to past a vector width, with lone CRs, lone LFs, CR LF, LF CR
  // and breaks at either end, set again and again into the same list (fewer, then more lines).
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\xD0', '\x00', 'z'};
  TStringList list;
  for (int round = 0; round < 3000; ++round) {
    std::string text(next() % 90, 'x');
    const uint32_t breaks = next() % 4;  // from none to many line breaks
    for (char& c : text) {
      const uint32_t r = next();
      c = (breaks == 0 || r % (breaks * 3 + 1) != 0) ? alphabet[r % 3] : alphabet[3 + (r >> 4) % 2];
      if (r % 97 == 0) c = alphabet[5 + (r >> 7) % 3];
    }
    list.SetText(text);
    ASSERT_EQ(Lines(list), SplitByteByByte(text)) << "round " << round;
  }
}

TEST(StringList, TextSetAgainOverwritesTheLinesAndComparesWithoutJoining) {
  TStringList list;
  TStringList marker;
  list.AddObject("old first line", &marker);
  list.Add("second");
  list.Add("third");
  list.SetText("x\r\n\r\ny");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"x", "", "y"}));
  EXPECT_EQ(list.GetObject(0), nullptr) << "a line set from text carries no object";
  list.SetText("only");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"only"}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);

  list.SetText("a\nb");
  std::string text = "stale contents";
  list.TextTo(text);
  EXPECT_EQ(text, "a\r\nb\r\n");
  EXPECT_TRUE(list.TextEquals("a\r\nb\r\n"));
  EXPECT_FALSE(list.TextEquals("a\r\nb"));
  EXPECT_FALSE(list.TextEquals("a\r\nb\r\n\r\n"));
  EXPECT_FALSE(list.TextEquals("a\nb\r\n"));
  EXPECT_FALSE(list.TextEquals("a\r\nc\r\n"));
  TStringList empty;
  EXPECT_TRUE(empty.TextEquals(""));
  EXPECT_FALSE(empty.TextEquals("\r\n"));

  // A sorted list still sorts the lines it is given.
  TStringList sorted;
  sorted.SetSorted(true);
  sorted.SetText("b\na\nc");
  EXPECT_EQ(Lines(sorted), (std::vector<std::string>{"a", "b", "c"}));
}

// Keeping and putting back lines without their text, compared with what the text gives:
// JoinedEquals answers as Text less its last break compared whole; a copy and an exchange
// carry lines, objects and lines with breaks of their own exactly, and notify only a list
// whose lines changed.
TEST(StringList, LinesKeptAndPutBackAsTheyAreAndComparedAsTheJoinedText) {
  const std::vector<std::string> pieces = {"", "a", "Иванов", "x\r\ny", "\r", "\n", " ", "[n]"};
  TStringList marker;
  std::mt19937 random(91226);
  auto random_list = [&](TStringList& list) {
    list.Clear();
    const int count = static_cast<int>(random() % 5);
    for (int i = 0; i < count; ++i) {
      std::string line = pieces[random() % pieces.size()];
      if (random() % 2 == 0) line += pieces[random() % pieces.size()];
      list.AddObject(line, random() % 4 == 0 ? &marker : nullptr);
    }
  };
  auto items = [](const TStringList& list) {
    std::vector<std::pair<std::string, TObject*>> out;
    for (int i = 0; i < list.Count(); ++i) out.emplace_back(list[i], list.GetObject(i));
    return out;
  };
  auto joined = [](const TStringList& list) {
    std::string text = list.Text();
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    return text;
  };
  for (int round = 0; round < 2000; ++round) {
    TStringList a, b;
    random_list(a);
    random_list(b);
    // Against the other list's text, against its own, and against its own cut or extended.
    for (const std::string& text : {joined(b), joined(a), joined(a) + "\r\n", joined(a) + "x",
                                    joined(a).substr(0, joined(a).size() / 2)}) {
      EXPECT_EQ(a.JoinedEquals(text), joined(a) == text) << "round " << round;
    }
    const auto a_items = items(a), b_items = items(b);
    EXPECT_EQ(a.SameLines(b), a_items == b_items);

    int a_changes = 0, b_changes = 0;
    a.OnChange = [&] { ++a_changes; };
    b.OnChange = [&] { ++b_changes; };
    a.SwapLines(b);
    EXPECT_EQ(items(a), b_items);
    EXPECT_EQ(items(b), a_items);
    EXPECT_EQ(a_changes, a_items == b_items ? 0 : 1);
    EXPECT_EQ(b_changes, a_items == b_items ? 0 : 1);

    a_changes = 0;
    a.CopyLinesFrom(b);  // a gets its own lines back
    EXPECT_EQ(items(a), a_items);
    EXPECT_EQ(items(b), a_items) << "the copy leaves its source as it is";
    EXPECT_EQ(a_changes, a_items == b_items ? 0 : 1);
    if (HasFailure()) break;
  }

  TStringList sorted, plain;
  sorted.SetSorted(true);
  EXPECT_EQ(ListErrorOf([&] { plain.SwapLines(sorted); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ListErrorOf([&] { sorted.CopyLinesFrom(plain); }), "Operation not allowed on sorted list");
}

TEST(StringList, OnChangeFiresOncePerUpdateBlock) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&] { ++changes; };
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(changes, 2);

  list.BeginUpdate();
  list.SetText("x\ny\nz");  // nested update inside
  list.Delete(0);
  EXPECT_EQ(changes, 2);
  list.EndUpdate();
  EXPECT_EQ(changes, 3);

  list.BeginUpdate();
  list.EndUpdate();
  EXPECT_EQ(changes, 3);  // nothing changed, nothing reported
  list.EndUpdate();       // unbalanced: ignored

  TStringList empty;
  empty.OnChange = [&] { ++changes; };
  empty.Clear();
  EXPECT_EQ(changes, 3);
  list.SetText("a");
  EXPECT_EQ(changes, 4);

  TStringList copy;
  copy.Assign(list);
  copy.AddStrings(copy);
  EXPECT_EQ(Lines(copy), (std::vector<std::string>{"a", "a"}));
}

}  // namespace
}  // namespace lgoty::core
