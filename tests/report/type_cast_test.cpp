// CachedCast gives what dynamic_cast gives, for objects of many classes in any order,
// through const and non-const pointers, with base parts at an offset, and on threads of
// their own.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "report/bands.h"
#include "report/pages.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

struct Left {
  virtual ~Left() = default;
  int left = 1;
};
struct Right {
  virtual ~Right() = default;
  int right = 2;
};
struct Both : Left, Right {
  int both = 3;
};
struct MoreThanBoth : Both {};

template <class To, class From>
void ExpectSameAsDynamicCast(const std::vector<From*>& objects) {
  for (From* object : objects) {
    EXPECT_EQ(CachedCast<To>(object), dynamic_cast<To*>(object));
    const From* constant = object;
    EXPECT_EQ(CachedCast<const To>(constant), dynamic_cast<const To*>(constant));
  }
}

TEST(CachedCast, AgreesWithDynamicCastOverManyClassesInTurn) {
  std::vector<std::unique_ptr<TfrxComponent>> owned;
  owned.push_back(std::make_unique<TfrxMemoView>());
  owned.push_back(std::make_unique<TfrxMasterData>());
  owned.push_back(std::make_unique<TfrxLineView>());
  owned.push_back(std::make_unique<TfrxShapeView>());
  owned.push_back(std::make_unique<TfrxPictureView>());
  owned.push_back(std::make_unique<TfrxReportPage>());
  owned.push_back(std::make_unique<TfrxPageHeader>());
  owned.push_back(std::make_unique<TfrxMemoView>());
  std::vector<TfrxComponent*> objects;
  // More classes than a table holds, over and over, so that entries are replaced.
  for (int round = 0; round < 5; ++round) {
    for (auto& object : owned) objects.push_back(object.get());
    objects.push_back(nullptr);
  }
  ExpectSameAsDynamicCast<TfrxView>(objects);
  ExpectSameAsDynamicCast<TfrxCustomMemoView>(objects);
  ExpectSameAsDynamicCast<TfrxCustomLineView>(objects);
  ExpectSameAsDynamicCast<TfrxPage>(objects);
  ExpectSameAsDynamicCast<TfrxBand>(objects);
  ExpectSameAsDynamicCast<TfrxPictureView>(objects);
}

TEST(CachedCast, FindsBasePartsAtAnOffsetAndAcrossThreads) {
  Both both;
  MoreThanBoth more;
  Left plain;
  std::vector<Left*> lefts = {&both, &plain, &more, &both, &more, &plain};
  ExpectSameAsDynamicCast<Right>(lefts);
  ExpectSameAsDynamicCast<Both>(lefts);
  Right* right = CachedCast<Right>(static_cast<Left*>(&both));
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(right->right, 2);
  EXPECT_NE(static_cast<void*>(right), static_cast<void*>(&both));  // an offset was applied
  std::vector<Right*> rights = {&both, &more, nullptr};
  ExpectSameAsDynamicCast<Left>(rights);

  // Each thread keeps its own table: both give the right answers side by side.
  bool other_ok = true;
  std::thread other([&] {
    for (int i = 0; i < 1000; ++i) {
      other_ok = other_ok && CachedCast<Right>(static_cast<Left*>(&more)) ==
                                 static_cast<Right*>(&more) &&
                 CachedCast<Right>(&plain) == nullptr;
    }
  });
  bool here_ok = true;
  for (int i = 0; i < 1000; ++i) {
    here_ok = here_ok && CachedCast<Both>(static_cast<Left*>(&both)) == &both &&
              CachedCast<Both>(&plain) == nullptr;
  }
  other.join();
  EXPECT_TRUE(other_ok);
  EXPECT_TRUE(here_ok);
}

}  // namespace
}  // namespace lgoty::report
