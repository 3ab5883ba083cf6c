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

// Members of every width and signedness a property may be held in.
enum class Tiny : uint8_t { A, B, C };
enum class Wide : int64_t { A, B };
const EnumInfo kTinyEnum{"TTiny", {"tA", "tB", "tC"}};

class TFields : public TBase {
 public:
  const char* ClassName() const override { return "TRttiTestFields"; }
  int8_t i8_ = 0;
  uint8_t u8_ = 0;
  int16_t i16_ = 0;
  uint16_t u16_ = 0;
  unsigned u32_ = 0;
  uint32_t set_ = 0;
  Tiny tiny_ = Tiny::A;
  Wide wide_ = Wide::A;
  double ratio_ = 0;
  float single_ = 0;
  std::string hint_;
  void SetHint(std::string value) { hint_ = "[" + value + "]"; }
  Variant any_;
  double Half() const { return ratio_ / 2; }
};

TEST(Rtti, MemberReadsGiveWhatTheGettersGive) {
  RegisterTestClasses();
  static std::once_flag once;
  static const ClassInfo* info = nullptr;
  std::call_once(once, [] {
    ClassInfo& fields = ClassRegistry::Instance().Register(
        "TRttiTestFields", base_info, [] { return std::make_unique<TFields>(); });
    ClassBuilder<TFields> b(fields);
    b.Field("I8", &TFields::i8_);
    b.Field("U8", &TFields::u8_);
    b.Field("I16", &TFields::i16_);
    b.Field("U16", &TFields::u16_);
    b.Field("U32", &TFields::u32_);
    b.Set("Set", &TFields::set_, kTinyEnum, "TTinies");
    b.Enum("Tiny", &TFields::tiny_, kTinyEnum);
    b.Field("Ratio", &TFields::ratio_);
    b.Field("Single", &TFields::single_);
    b.Field("Hint", &TFields::hint_, &TFields::SetHint);
    b.Field("Any", &TFields::any_);
    b.Prop("Half", &TFields::Half, nullptr);  // not over a member
    info = &fields;
  });
  // An enumeration the builder cannot hold as an Integer still maps to its underlying type.
  static_assert(FieldTypeOf<Wide>() == FieldType::Int64);
  static_assert(FieldTypeOf<Tiny>() == FieldType::UInt8);
  static_assert(FieldTypeOf<uint64_t>() == FieldType::None);

  EXPECT_EQ(info->FindProperty("Single")->field_type, FieldType::None);  // float
  EXPECT_EQ(info->FindProperty("Any")->field_type, FieldType::None);
  EXPECT_EQ(info->FindProperty("Half")->field_type, FieldType::None);
  EXPECT_FALSE(info->FindProperty("Half")->HasSetter());
  EXPECT_EQ(info->FindProperty("Visible")->field_type, FieldType::Bool);
  EXPECT_EQ(info->FindProperty("Tag")->field_type, FieldType::Int32);
  EXPECT_EQ(info->FindProperty("Hint")->field_type, FieldType::String);

  // Values at and past each type's limits, as the setters leave them; the member read at
  // the offset taken from one object must give the getter's value in another.
  const int64_t values[] = {0, 1, -1, 2, 127, -128, 255, 32767, -32768, 65535, 2147483647,
                            -2147483647 - 1, 4294967295LL};
  TFields first;
  TFields second;
  const auto* base_of_first = reinterpret_cast<const char*>(dynamic_cast<const void*>(&first));
  const auto* base_of_second = reinterpret_cast<const char*>(dynamic_cast<const void*>(&second));
  int checked = 0;
  for (const PropInfo* p : info->Properties()) {
    if (p->field_type == FieldType::None) continue;
    ASSERT_TRUE(p->field_address);
    const ptrdiff_t offset =
        static_cast<const char*>(p->field_address(first)) - base_of_first;
    const void* address = base_of_second + offset;
    if (IsOrdinalField(p->field_type)) {
      for (int64_t v : values) {
        try {
          p->set_ordinal(second, v);
        } catch (const EConvertError&) {
          continue;  // out of the type's range
        }
        EXPECT_EQ(ReadOrdinalField(p->field_type, address), p->get_ordinal(second))
            << p->name << " " << v;
        ++checked;
      }
    } else if (p->field_type == FieldType::Double) {
      for (double v : {0.0, -1.5, 1e300, 0.1}) {
        p->set_float(second, v);
        EXPECT_EQ(*static_cast<const double*>(address), p->get_float(second)) << p->name;
        ++checked;
      }
    } else {
      for (const char* v : {"", "x", "a much longer text than fits in place"}) {
        p->set_string(second, v);
        EXPECT_EQ(*static_cast<const std::string*>(address), p->get_string(second)) << p->name;
        ++checked;
      }
    }
  }
  // Name, Tag, Visible, I8 .. U32, Set, Tiny, Ratio, Hint.
  EXPECT_GT(checked, 50);
  EXPECT_EQ(second.u8_, 255);
  EXPECT_EQ(second.hint_, "[a much longer text than fits in place]");
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
