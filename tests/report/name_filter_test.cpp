// Name lookups below a component pass over the subtrees whose name filter rules the name
// out. The filters must stay right through everything a tree goes through: objects added,
// renamed (also to names differing only in letter case, or to no name), cut and pasted
// elsewhere, freed, taken out and put back (as the page rebuild's recycler does). After
// every step the lookups are compared with a plain walk over AllObjects.
#include <gtest/gtest.h>

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

const std::vector<std::string> kNames = {"Memo1",  "MEMO1", "memo2", "Band1", "B",     "Child1",
                                         "",       "Memo10", "Memo", "mEmO",  "b1",    "ADOQuery1"};
// Looked up besides the names above: never given to an object.
const std::vector<std::string> kAbsent = {"Nothing", "Memo100", "ADOQuery2", "Memo11", "x"};

// The general lookup: the first of AllObjects with the name.
TfrxComponent* Scan(const TfrxComponent& scope, std::string_view name) {
  for (TfrxComponent* object : scope.AllObjects()) {
    if (SameName(object->Name(), name)) return object;
  }
  return nullptr;
}

class EditedTree {
 public:
  explicit EditedTree(unsigned seed) : random_(seed) {}

  TfrxReportPage& Page() { return *page_; }
  std::vector<TfrxComponent*> Objects() const {
    std::vector<TfrxComponent*> all = page_->AllObjects();
    all.insert(all.begin(), page_.get());
    return all;
  }
  TfrxComponent* Any() {
    std::vector<TfrxComponent*> all = Objects();
    return all[random_() % all.size()];
  }
  TfrxComponent* AnyBelow() {
    std::vector<TfrxComponent*> all = page_->AllObjects();
    return all.empty() ? nullptr : all[random_() % all.size()];
  }
  const std::string& AnyName() { return kNames[random_() % kNames.size()]; }
  // Names are set past the checks for uniqueness, as a rebuilt page sets them.
  void Name(TfrxComponent& object) {
    try {
      object.SetName(AnyName());
    } catch (const std::exception&) {
    }
  }

  // One random edit.
  void Step() {
    switch (random_() % 7) {
      case 0:
      case 1: {  // a new object, named before or after it is placed
        std::unique_ptr<TfrxComponent> object;
        if (random_() % 3 == 0) {
          object = std::make_unique<TfrxMasterData>();
        } else {
          object = std::make_unique<TfrxMemoView>();
        }
        const bool before = random_() % 2;
        if (before) Name(*object);
        TfrxComponent* parent = Any();
        const int index = static_cast<int>(random_() % (parent->ObjectCount() + 2)) - 1;
        TfrxComponent* placed = parent->Adopt(std::move(object), index);
        if (!before) Name(*placed);
        break;
      }
      case 2:
        if (TfrxComponent* object = AnyBelow()) Name(*object);
        break;
      case 3: {  // cut and paste elsewhere, at any position
        TfrxComponent* object = AnyBelow();
        TfrxComponent* target = Any();
        if (!object || target == object || object->IsAncestorOf(target)) break;
        const int index = static_cast<int>(random_() % (target->ObjectCount() + 2)) - 1;
        object->MoveTo(target, target == object->Parent() ? -1 : index);
        break;
      }
      case 4: {  // freed with its subtree
        TfrxComponent* object = AnyBelow();
        if (object && random_() % 2) object->Parent()->Release(object);
        break;
      }
      case 5: {  // taken out and kept, to be put back later
        TfrxComponent* object = AnyBelow();
        if (object) kept_.push_back(object->Parent()->Release(object));
        break;
      }
      case 6:
        if (!kept_.empty()) {
          std::unique_ptr<TfrxComponent> object = std::move(kept_.back());
          kept_.pop_back();
          if (random_() % 2) Name(*object);
          Any()->Adopt(std::move(object));
        }
        break;
    }
  }

 private:
  std::mt19937 random_;
  std::unique_ptr<TfrxReportPage> page_ = std::make_unique<TfrxReportPage>();
  std::vector<std::unique_ptr<TfrxComponent>> kept_;
};

TEST(NameFilter, EveryFilterCoversTheNamesBelowIt) {
  EditedTree tree(5);
  for (int step = 0; step < 3000; ++step) {
    tree.Step();
    for (TfrxComponent* object : tree.Objects()) {
      ASSERT_TRUE(object->NamesBelow().Covers(NameFilter::Of(object->Name()))) << step;
      for (TfrxComponent* below : object->AllObjects()) {
        ASSERT_TRUE(object->NamesBelow().Covers(below->NamesBelow())) << step;
      }
    }
  }
  // Names equal but for letter case share their bits; the empty name has none.
  EXPECT_TRUE(NameFilter::Of("Memo1").Covers(NameFilter::Of("mEMO1")));
  EXPECT_TRUE(NameFilter().Covers(NameFilter::Of("")));
  EXPECT_FALSE(NameFilter().Covers(NameFilter::Of("Memo1")));
}

TEST(NameFilter, LookupsFindWhatAPlainWalkFindsThroughEdits) {
  int found = 0;
  int missing = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    EditedTree tree(seed);
    for (int step = 0; step < 150; ++step) {
      tree.Step();
      TfrxComponent* scope = tree.Any();
      for (const std::vector<std::string>* names : {&kNames, &kAbsent}) {
        for (const std::string& name : *names) {
          TfrxComponent* expected = Scan(tree.Page(), name);
          ASSERT_EQ(tree.Page().FindObject(name), expected) << seed << "/" << step << " " << name;
          ASSERT_EQ(scope->FindObject(name), Scan(*scope, name)) << seed << "/" << step;
          (expected ? found : missing)++;

          // A reference read into a memo of the page resolves among the page's objects.
          auto* memo = dynamic_cast<TfrxMemoView*>(tree.AnyBelow());
          if (!memo || name.empty()) continue;
          memo->flow_to.Set(nullptr);
          TfrxXMLSerializer serializer;
          serializer.ApplyItemAttributes("FlowTo=\"" + name + "\"", *memo, &tree.Page());
          TfrxComponent* target = expected;
          if (target && !dynamic_cast<TfrxCustomMemoView*>(target)) target = nullptr;
          ASSERT_EQ(memo->flow_to.Get(), target) << seed << "/" << step << " " << name;
        }
      }
    }
  }
  EXPECT_GT(found, 10000);
  EXPECT_GT(missing, 10000);
}

}  // namespace
}  // namespace lgoty::report
