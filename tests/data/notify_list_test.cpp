#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/notify_list.h"

namespace lgoty::data {
namespace {

struct Listener {
  std::string name;
};

std::vector<std::string> Names(TNotifyList<Listener>& list) {
  std::vector<std::string> out;
  list.ForEach([&](Listener* l) { out.push_back(l->name); });
  return out;
}

TEST(NotifyList, RemovalsAndAdditionsDuringWalksAndTheCompactionAfterThem) {
  Listener a{"a"}, b{"b"}, c{"c"}, d{"d"};
  TNotifyList<Listener> list;
  EXPECT_TRUE(Names(list).empty());
  EXPECT_TRUE(list.Empty());
  list.Add(&a);
  list.Add(&b);
  list.Add(&c);

  // a removes itself and c, and adds d: b and d hear the rest of the walk.
  std::vector<std::string> heard;
  list.ForEach([&](Listener* l) {
    heard.push_back(l->name);
    if (l == &a) {
      list.Remove(&a);
      list.Remove(&c);
      list.Add(&d);
    }
  });
  EXPECT_EQ(heard, (std::vector<std::string>{"a", "b", "d"}));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"b", "d"}));

  // A removal in a nested walk leaves its hole until the outer walk ends (closing it sooner
  // would shift the listeners under the outer walk, which would skip one).
  Listener e{"e"};
  list.Add(&e);
  heard.clear();
  list.ForEach([&](Listener* outer) {
    heard.push_back(outer->name);
    if (outer == &b) {
      list.ForEach([&](Listener* inner) {
        if (inner == &b) list.Remove(&b);
      });
    }
  });
  EXPECT_EQ(heard, (std::vector<std::string>{"b", "d", "e"}));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"d", "e"}));
  list.Remove(&d);
  list.Remove(&e);
  EXPECT_TRUE(list.Empty());
  list.Add(&c);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"c"}));
  EXPECT_EQ(list.Release(), (std::vector<Listener*>{&c}));
  EXPECT_TRUE(Names(list).empty());
}

}  // namespace
}  // namespace lgoty::data
