#include "tree_compare.h"

#include <gtest/gtest.h>

#include "core/string_list.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report::testing {

void ExpectSameObject(const core::TObject& a, const core::TObject& b, const std::string& path) {
  ASSERT_STREQ(a.ClassName(), b.ClassName()) << path;
  const core::ClassInfo* info = a.ClassType();
  ASSERT_NE(info, nullptr) << path;
  for (const core::PropInfo* p : info->Properties()) {
    std::string where = path + "." + p->name;
    switch (p->kind) {
      case core::TypeKind::Class: {
        core::TObject* va = p->get_object ? p->get_object(a) : nullptr;
        core::TObject* vb = p->get_object ? p->get_object(b) : nullptr;
        ASSERT_EQ(va == nullptr, vb == nullptr) << where;
        if (!va) break;
        if (p->role == core::ObjectRole::Reference) {
          EXPECT_EQ(static_cast<TfrxComponent*>(va)->Name(),
                    static_cast<TfrxComponent*>(vb)->Name())
              << where;
        } else if (p->role == core::ObjectRole::StringList ||
                   p->role == core::ObjectRole::WideStringList) {
          EXPECT_EQ(static_cast<core::TStringList*>(va)->Text(),
                    static_cast<core::TStringList*>(vb)->Text())
              << where;
        } else {
          ExpectSameObject(*va, *vb, where);
        }
        break;
      }
      case core::TypeKind::Float:
        EXPECT_DOUBLE_EQ(p->get_float(a), p->get_float(b)) << where;
        break;
      case core::TypeKind::Variant: {
        core::Variant va = p->get_variant(a), vb = p->get_variant(b);
        EXPECT_EQ(va.kind(), vb.kind()) << where;
        EXPECT_EQ(va.IsEmptyOrNull() ? "" : va.AsString(), vb.IsEmptyOrNull() ? "" : vb.AsString())
            << where;
        break;
      }
      case core::TypeKind::String:
      case core::TypeKind::WString:
        EXPECT_EQ(p->get_string(a), p->get_string(b)) << where;
        break;
      default:
        if (p->IsOrdinal()) {
          EXPECT_EQ(p->get_ordinal(a), p->get_ordinal(b)) << where;
        }
        break;
    }
  }
  auto* pa = dynamic_cast<const TfrxPersistent*>(&a);
  auto* pb = dynamic_cast<const TfrxPersistent*>(&b);
  if (pa && pb) {
    PropValue::Properties da, db;
    pa->WriteDefinedProperties(da);
    pb->WriteDefinedProperties(db);
    EXPECT_EQ(EncodePropData(da), EncodePropData(db)) << path << ".PropData";
  }
  if (auto* ma = dynamic_cast<const TfrxCustomMemoView*>(&a)) {
    auto& mb = static_cast<const TfrxCustomMemoView&>(b);
    ASSERT_EQ(ma->Formats().size(), mb.Formats().size()) << path;
    for (size_t i = 0; i < ma->Formats().size(); ++i) {
      ExpectSameObject(*ma->Formats()[i], *mb.Formats()[i], path + ".Formats");
    }
    ASSERT_EQ(ma->Highlights().size(), mb.Highlights().size()) << path;
  }
}

void ExpectSameTree(const TfrxComponent& a, const TfrxComponent& b) {
  ExpectSameObject(a, b, a.ClassName());
  if (auto* ra = dynamic_cast<const TfrxReport*>(&a)) {
    auto& rb = static_cast<const TfrxReport&>(b);
    ASSERT_EQ(ra->DataSets().size(), rb.DataSets().size());
    for (size_t i = 0; i < ra->DataSets().size(); ++i) {
      ExpectSameObject(*ra->DataSets()[i], *rb.DataSets()[i], "Datasets");
    }
    ASSERT_EQ(ra->Variables().size(), rb.Variables().size());
    for (size_t i = 0; i < ra->Variables().size(); ++i) {
      ExpectSameObject(*ra->Variables()[i], *rb.Variables()[i], "Variables");
    }
    ASSERT_EQ(ra->Styles().size(), rb.Styles().size());
  }
  std::vector<TfrxComponent*> all_a = a.AllObjects(), all_b = b.AllObjects();
  ASSERT_EQ(all_a.size(), all_b.size());
  for (size_t i = 0; i < all_a.size(); ++i) {
    ASSERT_EQ(all_a[i]->Name(), all_b[i]->Name()) << "object " << i;
    ASSERT_EQ(all_a[i]->Parent()->Name(), all_b[i]->Parent()->Name()) << all_a[i]->Name();
    ExpectSameObject(*all_a[i], *all_b[i], all_a[i]->Name());
  }
}

}  // namespace lgoty::report::testing
