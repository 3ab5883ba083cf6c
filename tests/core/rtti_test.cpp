#include <gtest/gtest.h>

#include <mutex>

#include "core/rtti.h"

namespace lgoty::core {
namespace {

enum class Shade { Light, Dark, Bright };
const EnumInfo kShadeEnum{"TShade", {"shLight", "shDark", "shBright"}};

class TBase : public TObject {
 public:
  const char* ClassName() const override { return "TRttiTestBase"; }
  int tag_ = 0;
  std::string name_;
  bool visible_ = true;
};

class TDerived : public TBase {
 public:
  const char* ClassName() const override { return "TRttiTestDerived"; }
  double width_ = 0;
  Shade shade_ = Shade::Light;
  uint32_t sides_ = 0;
  std::string on_click_;
  int64_t big_ = 0;
  int set_calls_ = 0;
  double Width() const { return width_; }
  void SetWidth(double w) {
    ++set_calls_;
    width_ = w < 0 ? 0 : w;
  }
  TBase* link_ = nullptr;
};

const ClassInfo* base_info = nullptr;
const ClassInfo* derived_info = nullptr;

void RegisterTestClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto& registry = ClassRegistry::Instance();
    ClassInfo& base = registry.Register("TRttiTestBase", nullptr, nullptr);
    ClassBuilder<TBase> b(base);
    b.Field("Name", &TBase::name_);
    b.Field("Tag", &TBase::tag_).Default(0);
    b.Field("Visible", &TBase::visible_).Default(1);
    ClassInfo& derived = registry.Register("TRttiTestDerived", &base,
                                           [] { return std::make_unique<TDerived>(); });
    ClassBuilder<TDerived> d(derived);
    d.Prop("Width", &TDerived::Width, &TDerived::SetWidth);
    d.Enum("Shade", &TDerived::shade_, kShadeEnum).Default(0);
    d.Set("Sides", &TDerived::sides_, kShadeEnum, "TShades");
    d.Event("OnClick", &TDerived::on_click_);
    d.Field("Big", &TDerived::big_);
    d.Field("Tag", &TBase::tag_).Default(7);  // redeclared: replaces the base entry
    d.Reference(
        "Link", "TRttiTestBase", [](const TDerived& o) -> TObject* { return o.link_; },
        [](TDerived& o, TObject* v) { o.link_ = dynamic_cast<TBase*>(v); });
    base_info = &base;
    derived_info = &derived;
  });
}

TEST(Rtti, RegistryFindsClassesCaseInsensitivelyAndCreates) {
  RegisterTestClasses();
  auto& registry = ClassRegistry::Instance();
  EXPECT_EQ(registry.Find("trttitestderived"), derived_info);
  EXPECT_EQ(registry.Find("TNoSuchClass"), nullptr);
  EXPECT_TRUE(derived_info->InheritsFrom(base_info));
  EXPECT_TRUE(derived_info->InheritsFrom("TRTTITESTBASE"));
  EXPECT_FALSE(base_info->InheritsFrom(derived_info));
  EXPECT_FALSE(base_info->CanCreate());
  auto object = derived_info->Create();
  ASSERT_NE(object, nullptr);
  EXPECT_STREQ(object->ClassName(), "TRttiTestDerived");
}

TEST(Rtti, PropertiesAreListedBaseFirstInDeclarationOrder) {
  RegisterTestClasses();
  std::vector<std::string> names;
  for (const PropInfo* p : derived_info->Properties()) names.push_back(p->name);
  EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "Visible", "Width", "Shade",
                                              "Sides", "OnClick", "Big", "Link"}));
  EXPECT_EQ(derived_info->FindProperty("tag")->default_ordinal, 7);
  EXPECT_EQ(base_info->FindProperty("Tag")->default_ordinal, 0);
  EXPECT_EQ(base_info->FindProperty("Width"), nullptr);
}

TEST(Rtti, KindsTypeNamesAndDefaults) {
  RegisterTestClasses();
  const PropInfo* visible = derived_info->FindProperty("Visible");
  EXPECT_EQ(visible->kind, TypeKind::Enumeration);
  EXPECT_EQ(visible->type_name, "Boolean");
  EXPECT_EQ(derived_info->FindProperty("Width")->kind, TypeKind::Float);
  EXPECT_EQ(derived_info->FindProperty("Big")->kind, TypeKind::Int64);
  EXPECT_FALSE(derived_info->FindProperty("Name")->default_ordinal.has_value());
  const PropInfo* on_click = derived_info->FindProperty("OnClick");
  EXPECT_TRUE(on_click->IsEvent());
  EXPECT_FALSE(derived_info->FindProperty("Name")->IsEvent());
  EXPECT_EQ(derived_info->FindProperty("Link")->role, ObjectRole::Reference);
}

TEST(Rtti, GettersAndSettersGoThroughTheObject) {
  RegisterTestClasses();
  TDerived object;
  const PropInfo* width = derived_info->FindProperty("Width");
  width->SetValue(object, Variant(-5.0));
  EXPECT_EQ(object.width_, 0);  // the setter's own rule ran
  EXPECT_EQ(object.set_calls_, 1);
  width->set_float(object, 12.5);
  EXPECT_EQ(width->GetValue(object).AsDouble(), 12.5);

  const PropInfo* shade = derived_info->FindProperty("Shade");
  shade->SetValue(object, Variant("SHDARK"));
  EXPECT_EQ(object.shade_, Shade::Dark);
  EXPECT_THROW(shade->SetValue(object, Variant("shNone")), EConvertError);
  EXPECT_THROW(shade->set_ordinal(object, 3), EConvertError);
  EXPECT_EQ(kShadeEnum.NameOf(2), "shBright");
  EXPECT_EQ(kShadeEnum.NameOf(9), "");

  derived_info->FindProperty("Sides")->set_ordinal(object, 0xFF);
  EXPECT_EQ(object.sides_, 7u);  // only the three element bits
  derived_info->FindProperty("Visible")->SetValue(object, Variant(false));
  EXPECT_FALSE(object.visible_);
  EXPECT_TRUE(derived_info->FindProperty("Visible")->GetValue(object).kind() ==
              Variant::Kind::Boolean);
  EXPECT_THROW(derived_info->FindProperty("Tag")->set_ordinal(object, int64_t{1} << 40),
               EConvertError);

  TBase target;
  derived_info->FindProperty("Link")->SetValue(object, Variant(&target));
  EXPECT_EQ(object.link_, &target);
  EXPECT_EQ(derived_info->FindProperty("Link")->GetValue(object).AsObject(), &target);
}

TEST(Rtti, StoredFlagAndTest) {
  PropInfo p;
  TObject object;
  EXPECT_TRUE(p.IsStored(object));
  p.StoredIf([](const TObject&) { return false; });
  EXPECT_FALSE(p.IsStored(object));
  p.stored_test = nullptr;
  p.Stored(false);
  EXPECT_FALSE(p.IsStored(object));
  p.ReadOnly();
  EXPECT_FALSE(p.HasSetter());
  EXPECT_THROW(p.SetValue(object, Variant(1)), Exception);
}

}  // namespace
}  // namespace lgoty::core
