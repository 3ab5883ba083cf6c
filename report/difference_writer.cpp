#include "report/difference_writer.h"

#include <cmath>
#include <string_view>

#include "core/code_page.h"
#include "core/format_settings.h"
#include "core/locale.h"
#include "core/string_list.h"
#include "core/text_format.h"
#include "core/xml_document.h"
#include "report/component.h"
#include "report/persistent.h"
#include "report/prepared_pages_detail.h"
#include "report/prop_data.h"
#include "report/serializer.h"
#include "report/views.h"

namespace lgoty::report::prepared_detail {
namespace {

using core::ObjectRole;
using core::PropInfo;
using core::TypeKind;

// The serializer's threshold for a float that differs from the ancestor's.
constexpr double kFloatTolerance = 1e-6;
constexpr std::string_view kCachedPictureData = "Picture.PropData";

std::string Escaped(std::string_view utf8) { return core::StrToXML(ToAnsi(utf8)); }

// The properties the serializer writes at all: the rest (never stored, methods, arrays,
// records, objects it does not stream) are left out of a group.
bool Streamed(const PropInfo& p) {
  if (!p.stored) return false;
  if (p.IsOrdinal()) return static_cast<bool>(p.get_ordinal);
  switch (p.kind) {
    case TypeKind::Float:
      return static_cast<bool>(p.get_float);
    case TypeKind::String:
    case TypeKind::WString:
      return static_cast<bool>(p.get_string);
    case TypeKind::Variant:
      return static_cast<bool>(p.get_variant);
    case TypeKind::Class:
      return p.get_object && (p.role == ObjectRole::Reference ||
                              p.role == ObjectRole::StringList || p.role == ObjectRole::Nested);
    default:
      return false;
  }
}

std::string StripTrailingCrLf(std::string text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
    text.resize(text.size() - 2);
  }
  return text;
}

std::string VariantText(const core::Variant& v) {
  return v.IsEmptyOrNull() ? std::string() : v.AsString(core::DefaultFormatSettings());
}

std::string ReferenceName(const core::TObject* value) {
  auto* target = dynamic_cast<const TfrxComponent*>(value);
  return target ? target->Name() : std::string();
}

}  // namespace

DifferenceWriter::DifferenceWriter(const TfrxComponent& source)
    : source_(source),
      root_(Walk(source, "")),
      picture_(source.ClassType() &&
               source.ClassType()->InheritsFrom(TfrxPictureView::StaticClass())) {}

DifferenceWriter::~DifferenceWriter() = default;

std::unique_ptr<DifferenceWriter::Group> DifferenceWriter::Walk(const core::TObject& source,
                                                                const std::string& prefix) {
  auto group = std::make_unique<Group>();
  group->source = &source;
  group->cls = source.ClassType();
  group->type = &typeid(source);
  group->prefix = prefix;
  if (!group->cls) return group;
  for (const PropInfo* p : group->cls->Properties()) {
    if (!Streamed(*p)) continue;
    Entry entry;
    entry.prop = p;
    entry.kind = p->kind;
    entry.ordinal_kind = p->IsOrdinal();
    if (p->stored_test) entry.stored_test = &p->stored_test;
    entry.name = prefix + p->name;
    if (entry.ordinal_kind) {
      entry.get_ordinal = p->get_ordinal;
      entry.ordinal = p->get_ordinal(source);
    } else if (p->kind == TypeKind::Float) {
      entry.get_float = p->get_float;
      entry.number = p->get_float(source);
    } else if (p->kind == TypeKind::String || p->kind == TypeKind::WString) {
      entry.text = p->get_string(source);
    } else if (p->kind == TypeKind::Class && p->role == ObjectRole::StringList) {
      entry.name += ".Text";
      if (auto* list = dynamic_cast<const core::TStringList*>(p->get_object(source))) {
        entry.has_list = true;
        entry.text = list->Text();
      }
    } else if (p->kind == TypeKind::Class && p->role == ObjectRole::Nested) {
      if (const core::TObject* value = p->get_object(source)) {
        entry.group = Walk(*value, entry.name + ".");
      }
    }
    // Attributes the store keeps under other names are dropped from the difference.
    if (IsGeometry(entry.name)) continue;
    group->entries.push_back(std::move(entry));
  }
  if (auto* persistent = dynamic_cast<const TfrxPersistent*>(&source)) {
    group->persistent = true;
    group->text_name = prefix + "Text";
    group->defined_name = prefix + "PropData";
    std::string text;
    if (persistent->TextAttribute(text)) group->text = std::move(text);
    group->writes_defined = !persistent->WritesNestedElements();
    if (group->writes_defined) {
      PropValue::Properties defined;
      persistent->WriteDefinedProperties(defined);
      if (!defined.empty()) group->defined = EncodePropData(defined);
    }
  }
  return group;
}

void DifferenceWriter::Append(TfrxXMLSerializer& serializer, const TfrxComponent& object,
                              std::string& out) const {
  const size_t start = out.size();
  if (serializer.serialize_default_values || typeid(object) != *root_->type ||
      object.ClassType() != root_->cls || !root_->cls) {
    out += FullDiff(serializer, object, &source_);
    return;
  }
  AppendGeometryDifferences(out, object, &source_);
  AppendGroup(serializer, *root_, object, picture_ && PictureInCache(object), out);
  size_t blanks = 0;
  while (start + blanks < out.size() && out[start + blanks] == ' ') ++blanks;
  out.erase(start, blanks);
}

void DifferenceWriter::AppendGroup(TfrxXMLSerializer& serializer, const Group& group,
                                   const core::TObject& object, bool cached_picture,
                                   std::string& out) const {
  for (const Entry& entry : group.entries) {
    if (entry.stored_test && !(*entry.stored_test)(object)) continue;
    if (entry.ordinal_kind) {
      const int64_t v = entry.get_ordinal(object);
      if (v == entry.ordinal) continue;
      const PropInfo* p = entry.prop;
      if (p->kind == TypeKind::Enumeration && p->enum_info && v >= 0 &&
          v < static_cast<int64_t>(p->enum_info->names.size()) &&
          !p->enum_info->names[static_cast<size_t>(v)].empty()) {
        AppendAttribute(out, entry.name, p->enum_info->names[static_cast<size_t>(v)]);
      } else {
        AppendAttribute(out, entry.name, std::to_string(v));
      }
      continue;
    }
    const PropInfo* p = entry.prop;
    switch (entry.kind) {
      case TypeKind::Float: {
        const double v = entry.get_float(object);
        if (std::fabs(v - entry.number) < kFloatTolerance) break;
        AppendAttribute(out, entry.name, core::FloatToStr(v, core::DefaultFormatSettings()));
        break;
      }
      case TypeKind::String:
      case TypeKind::WString: {
        const std::string v = p->get_string(object);
        if (v == entry.text) break;
        AppendAttribute(out, entry.name, Escaped(v));
        break;
      }
      case TypeKind::Variant: {
        // Variant texts follow the current format settings: both sides are taken now.
        const std::string text = VariantText(p->get_variant(object));
        if (text == VariantText(p->get_variant(*group.source))) break;
        AppendAttribute(out, entry.name, Escaped(text));
        break;
      }
      case TypeKind::Class: {
        const core::TObject* value = p->get_object(object);
        if (p->role == ObjectRole::Reference) {
          // A target's name may change; both sides are taken now.
          const std::string name = ReferenceName(value);
          const std::string source_name = ReferenceName(p->get_object(*group.source));
          if (name.empty()) {
            if (!source_name.empty()) AppendAttribute(out, entry.name, "nil");
          } else if (!core::SameText(name, source_name)) {
            AppendAttribute(out, entry.name, Escaped(name));
          }
        } else if (p->role == ObjectRole::StringList) {
          auto* list = dynamic_cast<const core::TStringList*>(value);
          if (!list) break;
          std::string text = list->Text();
          if (entry.has_list && text == entry.text) break;
          AppendAttribute(out, entry.name, Escaped(StripTrailingCrLf(std::move(text))));
        } else if (value) {
          const Group* nested = entry.group.get();
          if (nested && nested->cls && value->ClassType() == nested->cls &&
              typeid(*value) == *nested->type) {
            AppendGroup(serializer, *nested, *value, cached_picture, out);
          } else {
            out += serializer.WriteAttributes(*value, group.prefix + p->name + ".",
                                              p->get_object(*group.source));
          }
        }
        break;
      }
      default:
        break;
    }
  }
  if (!group.persistent) return;
  // Of the group's source's dynamic type (checked before the group was entered), so a
  // persistent object too.
  const auto& persistent = static_cast<const TfrxPersistent&>(object);
  std::string text;
  if (persistent.TextAttribute(text) && !(group.text && *group.text == text)) {
    AppendAttribute(out, group.text_name, core::StrToXML(text));
  }
  if (!group.writes_defined) return;
  if (cached_picture && group.defined_name == kCachedPictureData) return;
  PropValue::Properties defined;
  persistent.WriteDefinedProperties(defined);
  if (defined.empty()) return;
  const std::string bytes = EncodePropData(defined);
  if (bytes.empty() || bytes == group.defined) return;
  AppendAttribute(out, group.defined_name, BytesToHex(bytes));
}

}  // namespace lgoty::report::prepared_detail
