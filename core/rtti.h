// Run-time type information: a registry of classes (name -> factory, ancestor) and, per
// class, the table of its published properties. The template serializer, prepared pages and
// the script host bindings work from these tables; nothing else reflects on objects.
//
// A property has a name, a kind, a type name, for ordinal kinds an optional declared default
// (a value equal to it is not written to templates; without one the value is always
// written), a stored flag or stored test, a getter and (unless read-only) a setter.
// ClassInfo::Properties() lists the properties of a class in declaration order, base class
// first; a class that declares a property its ancestor already has replaces the ancestor's
// entry in place.
//
// Kinds and their accessors:
//   Integer, Int64, Char, WChar, Enumeration (Boolean included), Set -> ordinal (int64_t);
//     an enumeration or set names its element type (EnumInfo), a set value is a bit mask
//     with element n at bit n.
//   Float -> double.   String, WString -> std::string (UTF-8 in memory).
//   Variant -> Variant.
//   Class -> TObject*; the role says what the object is to its owner:
//     Nested (a value object owned by the holder: font, frame, fill; never replaced),
//     Reference (a non-owning link to another registered object, set by name on load),
//     StringList / WideStringList (a TStringList owned by the holder).
//   Method (host-side event pointer), Array, Record: carried in the table but not streamed.
// Script event properties ("OnBeforePrint") are String properties whose type name is an
// event type (IsEvent()): their value is the name of a script procedure.
//
// Registration happens in explicit registration functions (each layer has one, run once);
// tables are read-only afterwards and may be read from any thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/ascii_text.h"
#include "core/exception.h"
#include "core/object.h"
#include "core/variant.h"

namespace lgoty::core {

enum class TypeKind {
  Integer, Int64, Char, WChar, Enumeration, Set, Float, String, WString, Variant, Class,
  Method, Array, Record
};

enum class ObjectRole { None, Nested, Reference, StringList, WideStringList };

// How a property declared over a member (Field, Enum, Set, Event) is held in it; None for
// a property reached through functions and for member types other than these. Object: a
// nested value object that is itself a member of the holder (MemberObject), whose
// field_address is the object.
enum class FieldType : uint8_t {
  None, Bool, Int8, UInt8, Int16, UInt16, Int32, UInt32, Int64, Double, String, Object
};

// Orders names without regard to ASCII letter case (no allocation; usable for lookups by
// string_view).
struct AsciiCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
      const auto x = static_cast<unsigned char>(AsciiUpper(a[i]));
      const auto y = static_cast<unsigned char>(AsciiUpper(b[i]));
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
};

// An enumeration type with its element names in ordinal order.
struct EnumInfo {
  std::string name;
  std::vector<std::string> names;
  // Ordinal of an element name (ASCII case-insensitive), -1 when unknown.
  int IndexOf(std::string_view element) const;
  // Element name of an ordinal; "" when out of range.
  std::string NameOf(int64_t ordinal) const;
};
// "Boolean": False, True.
const EnumInfo& BooleanEnum();

class ClassInfo;

inline bool IsOrdinalField(FieldType type) {
  return type != FieldType::None && type != FieldType::Double && type != FieldType::String &&
         type != FieldType::Object;
}

// The value get_ordinal gives for an ordinal member at address. REQUIRES IsOrdinalField.
inline int64_t ReadOrdinalField(FieldType type, const void* address) {
  switch (type) {
    case FieldType::Bool:
      return *static_cast<const bool*>(address) ? 1 : 0;
    case FieldType::Int8:
      return *static_cast<const int8_t*>(address);
    case FieldType::UInt8:
      return *static_cast<const uint8_t*>(address);
    case FieldType::Int16:
      return *static_cast<const int16_t*>(address);
    case FieldType::UInt16:
      return *static_cast<const uint16_t*>(address);
    case FieldType::Int32:
      return *static_cast<const int32_t*>(address);
    case FieldType::UInt32:
      return *static_cast<const uint32_t*>(address);
    default:
      return *static_cast<const int64_t*>(address);
  }
}

// The FieldType of a member type (enumerations by their underlying type).
template <class F>
constexpr FieldType FieldTypeOf() {
  if constexpr (std::is_enum_v<F>) {
    return FieldTypeOf<std::underlying_type_t<F>>();
  } else if constexpr (std::is_same_v<F, bool>) {
    return FieldType::Bool;
  } else if constexpr (std::is_integral_v<F>) {
    if constexpr (sizeof(F) == 1) return std::is_signed_v<F> ? FieldType::Int8 : FieldType::UInt8;
    if constexpr (sizeof(F) == 2) {
      return std::is_signed_v<F> ? FieldType::Int16 : FieldType::UInt16;
    }
    if constexpr (sizeof(F) == 4) {
      return std::is_signed_v<F> ? FieldType::Int32 : FieldType::UInt32;
    }
    if constexpr (sizeof(F) == 8 && std::is_signed_v<F>) return FieldType::Int64;
    return FieldType::None;
  } else if constexpr (std::is_same_v<F, double>) {
    return FieldType::Double;
  } else if constexpr (std::is_same_v<F, std::string>) {
    return FieldType::String;
  } else {
    return FieldType::None;
  }
}

class PropInfo {
 public:
  std::string name;
  TypeKind kind = TypeKind::Integer;
  std::string type_name;
  const EnumInfo* enum_info = nullptr;      // Enumeration and Set
  ObjectRole role = ObjectRole::None;       // Class
  std::string class_name;                   // Class: the declared class of the value
  std::optional<int64_t> default_ordinal;   // ordinal kinds
  bool stored = true;
  std::function<bool(const TObject&)> stored_test;

  std::function<int64_t(const TObject&)> get_ordinal;
  std::function<void(TObject&, int64_t)> set_ordinal;
  std::function<double(const TObject&)> get_float;
  std::function<void(TObject&, double)> set_float;
  std::function<std::string(const TObject&)> get_string;
  std::function<void(TObject&, const std::string&)> set_string;
  std::function<Variant(const TObject&)> get_variant;
  std::function<void(TObject&, const Variant&)> set_variant;
  std::function<TObject*(const TObject&)> get_object;
  std::function<void(TObject&, TObject*)> set_object;
  // A property held in a member: the member's address in an object of the class. Within
  // objects of one dynamic type the member lies at one offset from the object's start, so
  // a reader that compares many such objects takes the offset once and reads the member
  // directly (ReadOrdinalField; a String member is a std::string) instead of calling the
  // getter, which gives the same value.
  FieldType field_type = FieldType::None;
  std::function<const void*(const TObject&)> field_address;

  // Fluent declaration helpers.
  PropInfo& Default(int64_t value) {
    default_ordinal = value;
    return *this;
  }
  PropInfo& NoDefault() {
    default_ordinal.reset();
    return *this;
  }
  PropInfo& Stored(bool value) {
    stored = value;
    return *this;
  }
  PropInfo& StoredIf(std::function<bool(const TObject&)> test) {
    stored_test = std::move(test);
    return *this;
  }
  PropInfo& TypeName(std::string value) {
    type_name = std::move(value);
    return *this;
  }
  PropInfo& ReadOnly();

  bool IsOrdinal() const;
  bool IsEvent() const;
  bool HasSetter() const;
  // The stored flag and the stored test.
  bool IsStored(const TObject& object) const;
  // Generic access for scripts: ordinal kinds as integers (Boolean as Boolean), Float as
  // Double, strings as String, objects as object references. SetValue throws
  // EConvertError/EVariantError when the value does not convert, and core::Exception
  // ("Property X is read-only") without a setter.
  Variant GetValue(const TObject& object) const;
  void SetValue(TObject& object, const Variant& value) const;
};

class ClassInfo {
 public:
  using Factory = std::function<std::unique_ptr<TObject>()>;

  ClassInfo(std::string name, const ClassInfo* parent, Factory factory);
  ClassInfo(const ClassInfo&) = delete;
  ClassInfo& operator=(const ClassInfo&) = delete;

  const std::string& Name() const { return name_; }
  const ClassInfo* Parent() const { return parent_; }
  bool InheritsFrom(const ClassInfo* other) const;
  bool InheritsFrom(std::string_view class_name) const;
  bool CanCreate() const { return static_cast<bool>(factory_); }
  // A new instance; nullptr for an abstract class.
  std::unique_ptr<TObject> Create() const { return factory_ ? factory_() : nullptr; }

  // All published properties, base class first, in declaration order.
  const std::vector<const PropInfo*>& Properties() const;
  // ASCII case-insensitive; nullptr when the class has no such property.
  const PropInfo* FindProperty(std::string_view name) const;
  // The class's own declarations.
  PropInfo& AddProperty(std::string name, TypeKind kind, std::string type_name);

 private:
  void BuildIndex() const;

  std::string name_;
  const ClassInfo* parent_;
  Factory factory_;
  std::deque<PropInfo> own_;
  mutable std::once_flag index_once_;
  mutable std::vector<const PropInfo*> all_;
  mutable std::map<std::string, const PropInfo*, AsciiCaseLess> by_name_;
};

class ClassRegistry {
 public:
  static ClassRegistry& Instance();
  // Registers a class; REQUIRES the name is new and parent (when given) registered.
  ClassInfo& Register(std::string name, const ClassInfo* parent, ClassInfo::Factory factory);
  // Case-insensitive (ASCII); nullptr when not registered.
  const ClassInfo* Find(std::string_view name) const;
  std::vector<const ClassInfo*> Classes() const;

 private:
  mutable std::mutex mutex_;
  std::deque<ClassInfo> classes_;
  std::map<std::string, ClassInfo*, AsciiCaseLess> by_name_;
};

// Typed registration of a class's properties over its members.
//   ClassBuilder<TfrxMemoView> b(info);
//   b.Field("GapX", &TfrxMemoView::gap_x_).StoredIf(...);
//   b.Enum("HAlign", &TfrxMemoView::halign_, kHAlignEnum).Default(0);
//   b.Prop("PaperWidth", &TfrxReportPage::PaperWidth, &TfrxReportPage::SetPaperWidth);
// Field types: bool (Boolean), int/int16 (Integer), int64_t (Int64), double (Float),
// std::string (String), Variant.
template <class T>
class ClassBuilder {
 public:
  explicit ClassBuilder(ClassInfo& info) : info_(info) {}
  ClassInfo& Info() { return info_; }

  // member may be declared in T or in one of its bases.
  template <class F, class C>
  PropInfo& Field(std::string name, F C::*member) {
    static_assert(std::is_base_of_v<C, T>);
    PropInfo& p = Declare<F>(std::move(name));
    Bind<F>(p, [member](const TObject& o) -> F { return static_cast<const T&>(o).*member; },
            [member](TObject& o, F v) { static_cast<T&>(o).*member = std::move(v); });
    SetField(p, member);
    return p;
  }
  template <class F, class C, class D>
  PropInfo& Field(std::string name, F C::*member, void (D::*setter)(F)) {
    static_assert(std::is_base_of_v<C, T> && std::is_base_of_v<D, T>);
    PropInfo& p = Declare<F>(std::move(name));
    Bind<F>(p, [member](const TObject& o) -> F { return static_cast<const T&>(o).*member; },
            [setter](TObject& o, F v) { (static_cast<T&>(o).*setter)(std::move(v)); });
    SetField(p, member);
    return p;
  }
  // getter and setter may be declared in T or in one of its bases; setter may be null.
  template <class F, class C, class D>
  PropInfo& Prop(std::string name, F (C::*getter)() const, void (D::*setter)(F)) {
    static_assert(std::is_base_of_v<C, T> && std::is_base_of_v<D, T>);
    PropInfo& p = Declare<F>(std::move(name));
    auto get = [getter](const TObject& o) -> F { return (static_cast<const T&>(o).*getter)(); };
    if (setter) {
      Bind<F>(p, get,
              [setter](TObject& o, F v) { (static_cast<T&>(o).*setter)(std::move(v)); });
    } else {
      Bind<F>(p, get, nullptr);
    }
    return p;
  }
  // A read-only property.
  template <class F, class C>
  PropInfo& Prop(std::string name, F (C::*getter)() const, std::nullptr_t) {
    static_assert(std::is_base_of_v<C, T>);
    PropInfo& p = Declare<F>(std::move(name));
    Bind<F>(p, [getter](const TObject& o) -> F { return (static_cast<const T&>(o).*getter)(); },
            nullptr);
    return p;
  }
  // A string member whose value names a script procedure.
  template <class C>
  PropInfo& Event(std::string name, std::string C::*member) {
    return Field(std::move(name), member).TypeName("TfrxNotifyEvent");
  }
  // An enumeration held in a member of enum (or integer) type E.
  template <class E, class C>
  PropInfo& Enum(std::string name, E C::*member, const EnumInfo& info) {
    static_assert(std::is_base_of_v<C, T>);
    PropInfo& p = info_.AddProperty(std::move(name), TypeKind::Enumeration, info.name);
    p.enum_info = &info;
    p.get_ordinal = [member](const TObject& o) {
      return static_cast<int64_t>(static_cast<const T&>(o).*member);
    };
    p.set_ordinal = [member, &info](TObject& o, int64_t v) {
      CheckOrdinal(info, v);
      static_cast<T&>(o).*member = static_cast<E>(v);
    };
    SetField(p, member);
    return p;
  }
  template <class E, class C, class D>
  PropInfo& Enum(std::string name, E C::*member, const EnumInfo& info, void (D::*setter)(E)) {
    PropInfo& p = Enum(std::move(name), member, info);
    p.set_ordinal = [setter, &info](TObject& o, int64_t v) {
      CheckOrdinal(info, v);
      (static_cast<T&>(o).*setter)(static_cast<E>(v));
    };
    return p;
  }
  // An enumeration reached through a getter and a setter.
  template <class E, class C, class D>
  PropInfo& EnumProp(std::string name, E (C::*getter)() const, void (D::*setter)(E),
                     const EnumInfo& info) {
    PropInfo& p = info_.AddProperty(std::move(name), TypeKind::Enumeration, info.name);
    p.enum_info = &info;
    p.get_ordinal = [getter](const TObject& o) {
      return static_cast<int64_t>((static_cast<const T&>(o).*getter)());
    };
    if (setter) {
      p.set_ordinal = [setter, &info](TObject& o, int64_t v) {
        CheckOrdinal(info, v);
        (static_cast<T&>(o).*setter)(static_cast<E>(v));
      };
    }
    return p;
  }
  // A set of an enumeration's elements held as a bit mask.
  template <class C>
  PropInfo& Set(std::string name, uint32_t C::*member, const EnumInfo& element,
                std::string type_name) {
    PropInfo& p = info_.AddProperty(std::move(name), TypeKind::Set, std::move(type_name));
    p.enum_info = &element;
    uint32_t mask = element.names.size() >= 32 ? 0xFFFFFFFFu
                                                : (1u << element.names.size()) - 1;
    p.get_ordinal = [member](const TObject& o) {
      return static_cast<int64_t>(static_cast<const T&>(o).*member);
    };
    p.set_ordinal = [member, mask](TObject& o, int64_t v) {
      static_cast<T&>(o).*member = static_cast<uint32_t>(v) & mask;
    };
    SetField(p, member);
    return p;
  }
  // An object owned by the holder (font, frame, string list ...), reached through getter.
  PropInfo& Object(std::string name, ObjectRole role, std::string class_name,
                   TObject* (*getter)(const T&)) {
    PropInfo& p = info_.AddProperty(std::move(name), TypeKind::Class, class_name);
    p.role = role;
    p.class_name = std::move(class_name);
    p.get_object = [getter](const TObject& o) { return getter(static_cast<const T&>(o)); };
    return p;
  }
  // A nested value object that is a member of the holder (of every object of the class, the
  // same member), reached through getter: also its address, as for a Field, so that a
  // reader comparing many holders finds it at one offset. REQUIRES getter returns that
  // member and nothing else (never an object held elsewhere or chosen by state).
  PropInfo& MemberObject(std::string name, std::string class_name,
                         TObject* (*getter)(const T&)) {
    PropInfo& p = Object(std::move(name), ObjectRole::Nested, std::move(class_name), getter);
    p.field_type = FieldType::Object;
    p.field_address = [getter](const TObject& o) -> const void* {
      return getter(static_cast<const T&>(o));
    };
    return p;
  }
  // A non-owning reference to another object.
  PropInfo& Reference(std::string name, std::string class_name,
                      TObject* (*getter)(const T&), void (*setter)(T&, TObject*)) {
    PropInfo& p = Object(std::move(name), ObjectRole::Reference, std::move(class_name), getter);
    p.set_object = [setter](TObject& o, TObject* v) { setter(static_cast<T&>(o), v); };
    return p;
  }

  static void CheckOrdinal(const EnumInfo& info, int64_t v) {
    if (v < 0 || v >= static_cast<int64_t>(info.names.size())) {
      throw EConvertError("Value " + std::to_string(v) + " is out of range for " + info.name);
    }
  }

 private:
  template <class F>
  PropInfo& Declare(std::string name) {
    if constexpr (std::is_same_v<F, bool>) {
      PropInfo& p = info_.AddProperty(std::move(name), TypeKind::Enumeration, "Boolean");
      p.enum_info = &BooleanEnum();
      return p;
    } else if constexpr (std::is_same_v<F, int64_t>) {
      return info_.AddProperty(std::move(name), TypeKind::Int64, "Int64");
    } else if constexpr (std::is_integral_v<F>) {
      return info_.AddProperty(std::move(name), TypeKind::Integer, "Integer");
    } else if constexpr (std::is_floating_point_v<F>) {
      return info_.AddProperty(std::move(name), TypeKind::Float, "Extended");
    } else if constexpr (std::is_same_v<F, std::string>) {
      return info_.AddProperty(std::move(name), TypeKind::String, "String");
    } else {
      static_assert(std::is_same_v<F, Variant>, "unsupported property type");
      return info_.AddProperty(std::move(name), TypeKind::Variant, "Variant");
    }
  }
  // A member's type and address, for the types FieldType names.
  template <class F, class C>
  static void SetField(PropInfo& p, F C::*member) {
    constexpr FieldType type = FieldTypeOf<F>();
    if constexpr (type != FieldType::None) {
      p.field_type = type;
      p.field_address = [member](const TObject& o) -> const void* {
        return &(static_cast<const T&>(o).*member);
      };
    }
  }
  // getter and setter are called inside the property's own functions (not wrapped in
  // another std::function); setter is nullptr for a read-only property.
  template <class F, class G, class S>
  static void Bind(PropInfo& p, G getter, S setter) {
    constexpr bool kHasSetter = !std::is_null_pointer_v<S>;
    if constexpr (std::is_same_v<F, bool> || std::is_integral_v<F>) {
      p.get_ordinal = [getter](const TObject& o) { return static_cast<int64_t>(getter(o)); };
      if constexpr (kHasSetter) {
        p.set_ordinal = [setter](TObject& o, int64_t v) {
          if constexpr (std::is_same_v<F, bool>) {
            setter(o, v != 0);
          } else {
            if (v < static_cast<int64_t>(std::numeric_limits<F>::min()) ||
                v > static_cast<int64_t>(std::numeric_limits<F>::max())) {
              throw EConvertError("Value " + std::to_string(v) + " is out of range");
            }
            setter(o, static_cast<F>(v));
          }
        };
      }
    } else if constexpr (std::is_floating_point_v<F>) {
      p.get_float = [getter](const TObject& o) { return static_cast<double>(getter(o)); };
      if constexpr (kHasSetter) {
        p.set_float = [setter](TObject& o, double v) { setter(o, static_cast<F>(v)); };
      }
    } else if constexpr (std::is_same_v<F, std::string>) {
      p.get_string = std::move(getter);
      if constexpr (kHasSetter) {
        p.set_string = [setter](TObject& o, const std::string& v) { setter(o, v); };
      }
    } else {
      p.get_variant = std::move(getter);
      if constexpr (kHasSetter) {
        p.set_variant = [setter](TObject& o, const Variant& v) { setter(o, v); };
      }
    }
  }

  ClassInfo& info_;
};

}  // namespace lgoty::core
