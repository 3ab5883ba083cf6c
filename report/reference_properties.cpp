#include "report/reference_properties.h"

#include <algorithm>
#include <exception>

#include "report/serializer.h"

namespace lgoty::report {
namespace {

using core::PropInfo;
using core::TypeKind;

// The nested object a path leads to; nullptr when a step has none.
core::TObject* Walk(core::TObject& object, const std::vector<const PropInfo*>& path) {
  core::TObject* target = &object;
  for (const PropInfo* step : path) {
    target = step->get_object(*target);
    if (!target) return nullptr;
  }
  return target;
}

}  // namespace

bool IsPlainValue(const PropInfo& p) {
  if (p.IsOrdinal()) return p.get_ordinal && p.set_ordinal;
  switch (p.kind) {
    case TypeKind::Float:
      return p.get_float && p.set_float;
    case TypeKind::String:
    case TypeKind::WString:
      return p.get_string && p.set_string;
    case TypeKind::Variant:
      return p.get_variant && p.set_variant;
    default:
      return false;
  }
}

ReferenceProperties::~ReferenceProperties() = default;

ReferenceProperties::ReferenceProperties(const core::ClassInfo* cls, std::string_view attributes,
                                         TfrxXMLSerializer& serializer) {
  prototype_ = cls ? cls->Create() : nullptr;
  if (!prototype_) {
    remaining_.assign(attributes);
    return;
  }
  // Where each remaining attribute starts in remaining_ and how long its name is.
  std::vector<std::pair<size_t, size_t>> remaining_at;
  serializer.ApplyItemAttributes(attributes, *prototype_);
  ForEachAttribute(attributes, [&](const XmlAttribute& attribute) {
    const std::string_view name = attribute.name;
    // A dotted name walks nested objects; the last segment is the property.
    Copy copy;
    const core::ClassInfo* info = cls;
    std::string_view rest = name;
    bool plain = true;
    size_t dot;
    while (plain && (dot = rest.find('.')) != std::string_view::npos) {
      const PropInfo* p = info ? info->FindProperty(rest.substr(0, dot)) : nullptr;
      if (!p || p->kind != TypeKind::Class || p->role != core::ObjectRole::Nested ||
          !p->get_object) {
        plain = false;
        break;
      }
      copy.path.push_back(p);
      core::TObject* nested = Walk(*prototype_, copy.path);
      info = nested ? nested->ClassType() : nullptr;
      rest.remove_prefix(dot + 1);
    }
    // Texts, binary-defined properties, names and the short geometry names are more than a
    // plain value.
    if (plain && (rest.size() <= 1 || rest == "Text" || rest == "PropData" ||
                  (rest == "Name" && copy.path.empty()))) {
      plain = false;
    }
    if (plain) {
      copy.prop = info ? info->FindProperty(rest) : nullptr;
      plain = copy.prop && IsPlainValue(*copy.prop);
    }
    if (plain) {
      copy.from = Walk(*prototype_, copy.path);
      copy.from_class = copy.from ? copy.from->ClassType() : nullptr;
      if (copy.from) ReadValue(copy);
      copies_.push_back(std::move(copy));
    } else {
      if (!remaining_.empty()) remaining_ += ' ';
      remaining_at.emplace_back(remaining_.size(), name.size());
      remaining_ += attribute.whole;
    }
  });
  for (size_t k = 0; k < copies_.size(); ++k) {
    if (copies_[k].path.empty()) continue;
    const PropInfo* nested = copies_[k].path.front();
    auto at = std::find_if(nested_copies_.begin(), nested_copies_.end(),
                           [nested](const auto& entry) { return entry.first == nested; });
    if (at == nested_copies_.end()) {
      nested_copies_.emplace_back(nested, std::vector<size_t>());
      at = nested_copies_.end() - 1;
    }
    at->second.push_back(k);
  }
  // remaining_ no longer grows: views into it stay valid.
  const std::string_view all = remaining_;
  for (size_t k = 0; k < remaining_at.size(); ++k) {
    const auto [at, name_size] = remaining_at[k];
    const size_t end = k + 1 < remaining_at.size() ? remaining_at[k + 1].first - 1 : all.size();
    remaining_attributes_.push_back({all.substr(at, name_size), all.substr(at, end - at)});
  }
}

template <typename Add>
void ReferenceProperties::ForEachRemaining(std::string_view differences, Add add) const {
  // The names the differences set; past the first kMaxNames the rest is simply not skipped.
  constexpr size_t kMaxNames = 16;
  std::string_view names[kMaxNames];
  size_t count = 0;
  ForEachAttribute(differences, [&](const XmlAttribute& attribute) {
    if (count < kMaxNames) names[count++] = attribute.name;
  });
  for (const Remaining& attribute : remaining_attributes_) {
    bool overridden = false;
    for (size_t k = 0; k < count && !overridden; ++k) overridden = names[k] == attribute.name;
    if (!overridden) add(attribute.whole);
  }
}

void ReferenceProperties::AppendRemainingText(std::string& out,
                                              std::string_view differences) const {
  if (!prototype_) {
    out += remaining_;
    return;
  }
  bool first = out.empty();
  ForEachRemaining(differences, [&](std::string_view whole) {
    if (!first) out += ' ';
    first = false;
    out += whole;
  });
}

void ReferenceProperties::AppendRemainingParts(std::vector<std::string_view>& out,
                                               std::string_view differences) const {
  if (!prototype_) {
    // Not compiled: the whole text, as it came (it may end in a damaged attribute, so it
    // goes as one part).
    out.push_back(remaining_);
    return;
  }
  ForEachRemaining(differences, [&](std::string_view whole) { out.push_back(whole); });
}

void ReferenceProperties::CopyTo(core::TObject& object) const {
  if (!prototype_) return;
  const core::ClassInfo* object_class = object.ClassType();
  for (const Copy& copy : copies_) CopyOne(copy, object, object_class);
}

void ReferenceProperties::CopyNestedTo(core::TObject& object, const PropInfo* nested) const {
  if (!prototype_ || !nested) return;
  for (const auto& [first, indexes] : nested_copies_) {
    if (first != nested) continue;
    const core::ClassInfo* object_class = object.ClassType();
    for (size_t k : indexes) CopyOne(copies_[k], object, object_class);
    return;
  }
}

bool ReferenceProperties::CopiesInto(const PropInfo* nested) const {
  if (!prototype_ || !nested) return false;
  for (const auto& [first, indexes] : nested_copies_) {
    if (first == nested) return !indexes.empty();
  }
  return false;
}

void ReferenceProperties::ReadValue(Copy& copy) {
  const PropInfo& p = *copy.prop;
  try {
    switch (p.kind) {
      case TypeKind::Float:
        copy.number = p.get_float(*copy.from);
        break;
      case TypeKind::String:
      case TypeKind::WString:
        copy.text = p.get_string(*copy.from);
        break;
      case TypeKind::Variant:
        copy.variant = p.get_variant(*copy.from);
        break;
      default:
        copy.ordinal = p.get_ordinal(*copy.from);
        break;
    }
  } catch (const std::exception&) {
    copy.readable = false;
  }
}

void ReferenceProperties::CopyOne(const Copy& copy, core::TObject& object,
                                  const core::ClassInfo* object_class) const {
  const core::TObject* from = copy.from;
  if (!from) return;
  core::TObject* to = &object;
  const core::ClassInfo* to_class = object_class;
  if (!copy.path.empty()) {
    to = Walk(object, copy.path);
    if (!to) return;
    // A nested object replaced by an earlier property (a fill of another kind) may be of
    // another class than the prototype's.
    to_class = to->ClassType();
  }
  if (copy.from_class != to_class || !copy.readable) return;
  const PropInfo& p = *copy.prop;
  try {
    switch (p.kind) {
      case TypeKind::Float:
        p.set_float(*to, copy.number);
        break;
      case TypeKind::String:
      case TypeKind::WString:
        p.set_string(*to, copy.text);
        break;
      case TypeKind::Variant:
        p.set_variant(*to, copy.variant);
        break;
      default:
        p.set_ordinal(*to, copy.ordinal);
        break;
    }
  } catch (const std::exception&) {
    // A value the prototype took is refused only by a setter with other rules for a
    // fresh object; the property keeps its default, as a failed read of the text would.
  }
}

}  // namespace lgoty::report
