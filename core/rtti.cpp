#include "core/rtti.h"

#include <cassert>

#include "core/ascii_text.h"
#include "core/format_settings.h"

namespace lgoty::core {
int EnumInfo::IndexOf(std::string_view element) const {
  std::string upper = AsciiUpper(element);
  for (size_t i = 0; i < names.size(); ++i) {
    if (AsciiUpper(names[i]) == upper) return static_cast<int>(i);
  }
  return -1;
}

std::string EnumInfo::NameOf(int64_t ordinal) const {
  if (ordinal < 0 || ordinal >= static_cast<int64_t>(names.size())) return std::string();
  return names[static_cast<size_t>(ordinal)];
}

const EnumInfo& BooleanEnum() {
  static const EnumInfo kBoolean{"Boolean", {"False", "True"}};
  return kBoolean;
}

// ---------------------------------------------------------------------------------------
// PropInfo

PropInfo& PropInfo::ReadOnly() {
  set_ordinal = nullptr;
  set_float = nullptr;
  set_string = nullptr;
  set_variant = nullptr;
  set_object = nullptr;
  return *this;
}

bool PropInfo::IsOrdinal() const {
  switch (kind) {
    case TypeKind::Integer:
    case TypeKind::Int64:
    case TypeKind::Char:
    case TypeKind::WChar:
    case TypeKind::Enumeration:
    case TypeKind::Set:
      return true;
    default:
      return false;
  }
}

bool PropInfo::IsEvent() const {
  return kind == TypeKind::String && type_name.size() > 5 &&
         type_name.compare(type_name.size() - 5, 5, "Event") == 0;
}

bool PropInfo::HasSetter() const {
  return set_ordinal || set_float || set_string || set_variant || set_object;
}

bool PropInfo::IsStored(const TObject& object) const {
  if (!stored) return false;
  return !stored_test || stored_test(object);
}

Variant PropInfo::GetValue(const TObject& object) const {
  switch (kind) {
    case TypeKind::Enumeration:
      if (enum_info == &BooleanEnum()) return Variant(get_ordinal(object) != 0);
      return Variant(static_cast<int32_t>(get_ordinal(object)));
    case TypeKind::Integer:
    case TypeKind::Char:
    case TypeKind::WChar:
    case TypeKind::Set:
      return Variant(static_cast<int32_t>(get_ordinal(object)));
    case TypeKind::Int64:
      return Variant(get_ordinal(object));
    case TypeKind::Float:
      return Variant(get_float(object));
    case TypeKind::String:
    case TypeKind::WString:
      return Variant(get_string(object));
    case TypeKind::Variant:
      return get_variant(object);
    case TypeKind::Class:
      return Variant(get_object ? get_object(object) : nullptr);
    default:
      return Variant();
  }
}

void PropInfo::SetValue(TObject& object, const Variant& value) const {
  const FormatSettings& fs = DefaultFormatSettings();
  if (!HasSetter()) throw Exception("Property " + name + " is read-only");
  switch (kind) {
    case TypeKind::Enumeration:
      if (value.IsString() && enum_info != &BooleanEnum()) {
        int index = enum_info ? enum_info->IndexOf(value.text()) : -1;
        if (index < 0) throw EConvertError("Invalid property value " + value.text());
        set_ordinal(object, index);
      } else if (enum_info == &BooleanEnum()) {
        set_ordinal(object, value.AsBoolean(fs) ? 1 : 0);
      } else {
        set_ordinal(object, value.AsInt64(fs));
      }
      return;
    case TypeKind::Integer:
    case TypeKind::Int64:
    case TypeKind::Char:
    case TypeKind::WChar:
    case TypeKind::Set:
      set_ordinal(object, value.AsInt64(fs));
      return;
    case TypeKind::Float:
      set_float(object, value.AsDouble(fs));
      return;
    case TypeKind::String:
    case TypeKind::WString:
      set_string(object, value.AsString(fs));
      return;
    case TypeKind::Variant:
      set_variant(object, value);
      return;
    case TypeKind::Class:
      if (!set_object) throw Exception("Property " + name + " is read-only");
      set_object(object, value.IsEmptyOrNull() ? nullptr : value.AsObject());
      return;
    default:
      throw Exception("Property " + name + " cannot be set");
  }
}

// ---------------------------------------------------------------------------------------
// ClassInfo

ClassInfo::ClassInfo(std::string name, const ClassInfo* parent, Factory factory)
    : name_(std::move(name)), parent_(parent), factory_(std::move(factory)) {}

bool ClassInfo::InheritsFrom(const ClassInfo* other) const {
  for (const ClassInfo* c = this; c; c = c->parent_) {
    if (c == other) return true;
  }
  return false;
}

bool ClassInfo::InheritsFrom(std::string_view class_name) const {
  std::string upper = AsciiUpper(class_name);
  for (const ClassInfo* c = this; c; c = c->parent_) {
    if (AsciiUpper(c->name_) == upper) return true;
  }
  return false;
}

PropInfo& ClassInfo::AddProperty(std::string name, TypeKind kind, std::string type_name) {
  PropInfo& p = own_.emplace_back();
  p.name = std::move(name);
  p.kind = kind;
  p.type_name = std::move(type_name);
  return p;
}

void ClassInfo::BuildIndex() const {
  std::call_once(index_once_, [this] {
    if (parent_) all_ = parent_->Properties();
    for (const PropInfo& p : own_) {
      std::string upper = AsciiUpper(p.name);
      bool replaced = false;
      for (auto& existing : all_) {
        if (AsciiUpper(existing->name) == upper) {
          existing = &p;
          replaced = true;
          break;
        }
      }
      if (!replaced) all_.push_back(&p);
    }
    for (const PropInfo* p : all_) by_name_[p->name] = p;
  });
}

const std::vector<const PropInfo*>& ClassInfo::Properties() const {
  BuildIndex();
  return all_;
}

const PropInfo* ClassInfo::FindProperty(std::string_view name) const {
  BuildIndex();
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------------------
// ClassRegistry

ClassRegistry& ClassRegistry::Instance() {
  static ClassRegistry registry;
  return registry;
}

ClassInfo& ClassRegistry::Register(std::string name, const ClassInfo* parent,
                                   ClassInfo::Factory factory) {
  std::lock_guard<std::mutex> lock(mutex_);
  assert(by_name_.find(name) == by_name_.end());
  ClassInfo& info = classes_.emplace_back(std::move(name), parent, std::move(factory));
  by_name_[info.Name()] = &info;
  return info;
}

const ClassInfo* ClassRegistry::Find(std::string_view name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = by_name_.find(name);
  return it == by_name_.end() ? nullptr : it->second;
}

std::vector<const ClassInfo*> ClassRegistry::Classes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<const ClassInfo*> out;
  for (const ClassInfo& c : classes_) out.push_back(&c);
  return out;
}

}  // namespace lgoty::core
