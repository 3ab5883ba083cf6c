#include "report/serializer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "core/code_page.h"
#include "core/format_settings.h"
#include "core/locale.h"
#include "core/text_format.h"
#include "core/variant.h"
#include "report/attribute_reading.h"
#include "report/component.h"
#include "report/report.h"
#include "report/resources.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using core::ObjectRole;
using core::PropInfo;
using core::TypeKind;

// Floats closer than this to the ancestor's value count as unchanged.
constexpr double kAncestorFloatTolerance = 1e-6;

std::string ToAnsi(std::string_view utf8) {
  return core::FromUtf8(core::AnsiCodePage(), utf8);
}

// One trailing CR LF of a list's text is not stored.
std::string StripTrailingCrLf(std::string text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
    text.resize(text.size() - 2);
  }
  return text;
}

void AppendAttribute(std::string& out, const std::string& prefix, std::string_view name,
                     std::string_view escaped) {
  out += ' ';
  out += prefix;
  out += name;
  out += "=\"";
  out += escaped;
  out += '"';
}

}  // namespace

TfrxXMLSerializer::TfrxXMLSerializer() {
  // Element names are looked up in the class registry.
  RegisterReportClasses();
  errors_.SetSorted(true);
  errors_.SetDuplicates(core::Duplicates::dupIgnore);
}

void TfrxXMLSerializer::AddError(const std::string& message) { errors_.Add(message); }

std::string TfrxXMLSerializer::DecodeString(std::string_view raw) const {
  // Without entities the raw value is the text, and ASCII reads the same in every code page
  // (names of objects, above all).
  if (raw.find('&') == std::string_view::npos &&
      std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(raw);
  }
  std::string text = core::XMLToStr(raw);
  return old_format ? core::ToUtf8(core::AnsiCodePage(), text) : text;
}

// ---------------------------------------------------------------------------------------
// Writing

std::string TfrxXMLSerializer::WriteAttributes(const core::TObject& object,
                                               const std::string& prefix,
                                               const core::TObject* ancestor) {
  std::string out;
  const core::ClassInfo* info = object.ClassType();
  if (!info) return out;
  // Values are compared with the ancestor's through the same property table, so an object
  // of another class cannot serve as the ancestor.
  if (ancestor && ancestor->ClassType() != info) ancestor = nullptr;
  const core::FormatSettings& fs = core::DefaultFormatSettings();
  for (const PropInfo* p : info->Properties()) {
    if (!p->IsStored(object)) continue;
    switch (p->kind) {
      case TypeKind::Integer:
      case TypeKind::Int64:
      case TypeKind::Char:
      case TypeKind::WChar:
      case TypeKind::Set:
      case TypeKind::Enumeration: {
        int64_t v = p->get_ordinal(object);
        if (!serialize_default_values) {
          if (ancestor) {
            if (p->get_ordinal(*ancestor) == v) break;
          } else if (p->default_ordinal && *p->default_ordinal == v) {
            break;
          }
        }
        std::string text;
        if (p->kind == TypeKind::Enumeration && p->enum_info) text = p->enum_info->NameOf(v);
        if (text.empty()) text = std::to_string(v);
        AppendAttribute(out, prefix, p->name, text);
        break;
      }
      case TypeKind::Float: {
        double v = p->get_float(object);
        if (ancestor && !serialize_default_values &&
            std::fabs(v - p->get_float(*ancestor)) < kAncestorFloatTolerance) {
          break;
        }
        AppendAttribute(out, prefix, p->name, core::FloatToStr(v, fs));
        break;
      }
      case TypeKind::String:
      case TypeKind::WString: {
        std::string v = p->get_string(object);
        if (!serialize_default_values) {
          if (ancestor ? v == p->get_string(*ancestor) : v.empty()) break;
        }
        AppendAttribute(out, prefix, p->name, core::StrToXML(ToAnsi(v)));
        break;
      }
      case TypeKind::Variant: {
        auto text_of = [&fs](const core::Variant& v) {
          return v.IsEmptyOrNull() ? std::string() : v.AsString(fs);
        };
        std::string text = text_of(p->get_variant(object));
        if (ancestor && !serialize_default_values && text == text_of(p->get_variant(*ancestor))) {
          break;
        }
        AppendAttribute(out, prefix, p->name, core::StrToXML(ToAnsi(text)));
        break;
      }
      case TypeKind::Class: {
        if (!p->get_object) break;
        core::TObject* value = p->get_object(object);
        core::TObject* ancestor_value = ancestor ? p->get_object(*ancestor) : nullptr;
        switch (p->role) {
          case ObjectRole::Reference: {
            auto* target = dynamic_cast<TfrxComponent*>(value);
            std::string name = target ? target->Name() : std::string();
            auto* ancestor_target = dynamic_cast<TfrxComponent*>(ancestor_value);
            if (ancestor) {
              std::string ancestor_name = ancestor_target ? ancestor_target->Name() : std::string();
              if (name.empty()) {
                // An empty reference is only worth writing when it undoes the ancestor's.
                if (!ancestor_name.empty()) AppendAttribute(out, prefix, p->name, "nil");
                break;
              }
              if (!serialize_default_values && core::SameText(name, ancestor_name)) break;
            }
            if (!name.empty()) {
              AppendAttribute(out, prefix, p->name, core::StrToXML(ToAnsi(name)));
            }
            break;
          }
          case ObjectRole::StringList: {
            auto* list = dynamic_cast<core::TStringList*>(value);
            if (!list) break;
            if (ancestor && !serialize_default_values) {
              auto* ancestor_list = dynamic_cast<core::TStringList*>(ancestor_value);
              if (ancestor_list && ancestor_list->Text() == list->Text()) break;
            }
            AppendAttribute(out, prefix, p->name + ".Text",
                            core::StrToXML(ToAnsi(StripTrailingCrLf(list->Text()))));
            break;
          }
          case ObjectRole::Nested:
            if (value) out += WriteAttributes(*value, prefix + p->name + ".", ancestor_value);
            break;
          default:
            break;
        }
        break;
      }
      default:
        break;
    }
  }
  auto* persistent = dynamic_cast<const TfrxPersistent*>(&object);
  if (!persistent) return out;
  auto* ancestor_persistent = dynamic_cast<const TfrxPersistent*>(ancestor);
  std::string text;
  if (persistent->TextAttribute(text)) {
    std::string ancestor_text;
    bool same = ancestor_persistent && !serialize_default_values &&
                ancestor_persistent->TextAttribute(ancestor_text) && ancestor_text == text;
    if (!same) AppendAttribute(out, prefix, "Text", core::StrToXML(text));
  }
  // Components that write nested elements keep no binary-defined properties.
  if (!persistent->WritesNestedElements()) {
    PropValue::Properties defined;
    persistent->WriteDefinedProperties(defined);
    if (!defined.empty()) {
      std::string bytes = EncodePropData(defined);
      if (!bytes.empty() && ancestor_persistent) {
        PropValue::Properties ancestor_defined;
        ancestor_persistent->WriteDefinedProperties(ancestor_defined);
        if (!ancestor_defined.empty() && EncodePropData(ancestor_defined) == bytes) bytes.clear();
      }
      if (!bytes.empty()) AppendAttribute(out, prefix, "PropData", BytesToHex(bytes));
    }
  }
  return out;
}

void TfrxXMLSerializer::WriteTree(const TfrxComponent& component, bool save_children,
                                  core::TfrxXMLItem* item) {
  item->SetName(component.ClassName());
  // The root is written in full even against an ancestor: loading clears the report's own
  // properties and collections, so values left out as "unchanged" would come back as
  // defaults rather than as the ancestor's.
  item->SetText(WriteAttributes(component, ""));
  struct Frame {
    const TfrxComponent* component;
    core::TfrxXMLItem* item;
  };
  auto write_nested = [this](const TfrxComponent& c, core::TfrxXMLItem* it) {
    if (handle_nested_properties && c.HandlesNestedItems()) c.WriteNestedItems(it, *this);
  };
  write_nested(component, item);
  if (save_children) {
    std::vector<Frame> stack{{&component, item}};
    // Depth first, children in order: each frame writes all children of its component.
    while (!stack.empty()) {
      Frame f = stack.back();
      stack.pop_back();
      std::vector<Frame> next;
      for (int i = 0; i < f.component->ObjectCount(); ++i) {
        const TfrxComponent* child = f.component->Object(i);
        if (child->IsHidden()) continue;
        core::TfrxXMLItem* child_item = f.item->Add();
        // Against an ancestor, a component that came from it is written as "inherited"
        // with only what differs from its counterpart there.
        const TfrxComponent* counterpart = nullptr;
        bool from_ancestor = ancestor_tree && child->IsInherited();
        if (from_ancestor && !child->Name().empty()) {
          counterpart = ancestor_tree->FindObject(child->Name());
        }
        child_item->SetName(from_ancestor ? "inherited" : child->ClassName());
        std::string text = "Name=\"" + core::StrToXML(ToAnsi(child->Name())) + "\"";
        text += WriteAttributes(*child, "", counterpart);
        child_item->SetText(std::move(text));
        write_nested(*child, child_item);
        next.push_back({child, child_item});
      }
      stack.insert(stack.end(), next.rbegin(), next.rend());
    }
  }
  if (on_save_custom_data && component.Parent() == nullptr) {
    core::TfrxXMLItem* custom = item->Add();
    custom->SetName("FrxCustomData");
    on_save_custom_data(custom);
  }
}

void TfrxXMLSerializer::WriteTree(const TfrxComponent& component, bool save_children,
                                  core::TStream& stream) {
  core::TfrxXMLDocument document;
  document.SetAutoIndent(true);
  WriteTree(component, save_children, document.Root());
  document.SaveToStream(stream);
}

// ---------------------------------------------------------------------------------------
// Reading

void TfrxXMLSerializer::ApplyAttributes(std::string_view text, core::TObject& object) {
  ForEachAttribute(text, [&](const XmlAttribute& attribute) {
    try {
      ApplyOne(attribute.name, attribute.value, object);
    } catch (const std::exception& e) {
      AddError(e.what());
    }
  });
}

void TfrxXMLSerializer::ApplyOne(std::string_view name, std::string_view raw,
                                 core::TObject& object) {
  core::TObject* target = &object;
  ObjectRole role = ObjectRole::None;
  // Walk the object-valued properties named by the leading segments.
  size_t dot;
  while ((dot = name.find('.')) != std::string_view::npos) {
    const core::ClassInfo* info = target->ClassType();
    const PropInfo* p = info ? FindPropertyCached(info, name.substr(0, dot)) : nullptr;
    if (!p || p->kind != TypeKind::Class || p->role == ObjectRole::Reference || !p->get_object) {
      return;
    }
    target = p->get_object(*target);
    if (!target) return;
    role = p->role;
    name.remove_prefix(dot + 1);
  }

  TfrxComponent* component =
      name.size() == 1 || name == "Name" ? CachedCast<TfrxComponent>(target) : nullptr;
  if (name.size() == 1 && component) {
    switch (name[0]) {
      case 'l': case 't': case 'w': case 'h': {
        double v = ParseFloatAttribute(raw);
        if (name[0] == 'l') component->SetLeft(v);
        if (name[0] == 't') component->SetTop(v);
        if (name[0] == 'w') component->SetWidth(v);
        if (name[0] == 'h') component->SetHeight(v);
        return;
      }
      case 'u':
      case 'x':
        if (auto* memo = CachedCast<TfrxCustomMemoView>(component)) {
          // Without entities the raw value is the text itself.
          if (name[0] == 'u' && raw.find('&') == std::string_view::npos) {
            memo->SetText(raw);
            return;
          }
          std::string text = core::XMLToStr(raw);
          memo->SetText(name[0] == 'u' ? text : core::ToUtf8(core::AnsiCodePage(), text));
        }
        return;
      default:
        break;
    }
  }

  if (name == "Text") {
    if (auto* list = CachedCast<core::TStringList>(target)) {
      std::string text = core::XMLToStr(raw);
      if (role == ObjectRole::WideStringList || old_format) {
        text = core::ToUtf8(core::AnsiCodePage(), text);
      }
      list->SetText(text);
      return;
    }
    if (auto* memo = CachedCast<TfrxCustomMemoView>(target)) {
      if (raw.find('&') == std::string_view::npos) {
        memo->SetText(raw);
      } else {
        memo->SetText(core::XMLToStr(raw));
      }
      return;
    }
  }
  if (name == "PropData") {
    if (auto* persistent = CachedCast<TfrxPersistent>(target)) {
      for (const auto& [prop, value] : DecodePropData(HexToBytes(raw))) {
        try {
          persistent->ReadDefinedProperty(prop, value);
        } catch (const std::exception&) {
          // Errors inside binary-defined properties are dropped.
        }
      }
    }
    return;
  }
  if (name == "Name" && component && component->AsReport()) return;

  const core::ClassInfo* info = target->ClassType();
  const PropInfo* p = info ? FindPropertyCached(info, name) : nullptr;
  if (!p || !p->HasSetter()) return;
  switch (p->kind) {
    case TypeKind::Enumeration: {
      std::string text = core::XMLToStr(raw);
      int64_t number;
      if (core::TryStrToInt64(text, number)) {
        p->set_ordinal(*target, number);
      } else {
        int index = p->enum_info ? p->enum_info->IndexOf(text) : -1;
        if (index < 0) throw core::EConvertError("Invalid property element: " + text);
        p->set_ordinal(*target, index);
      }
      return;
    }
    case TypeKind::Integer:
    case TypeKind::Int64:
    case TypeKind::Char:
    case TypeKind::WChar:
    case TypeKind::Set:
      p->set_ordinal(*target, core::StrToInt64(core::XMLToStr(raw)));
      return;
    case TypeKind::Float:
      p->set_float(*target, ParseFloatAttribute(raw));
      return;
    case TypeKind::String:
    case TypeKind::WString:
      p->set_string(*target, DecodeString(raw));
      return;
    case TypeKind::Variant:
      p->set_variant(*target, core::Variant(DecodeString(raw)));
      return;
    case TypeKind::Class:
      if (p->role == ObjectRole::Reference && p->set_object) {
        std::string target_name = DecodeString(raw);
        // "nil" clears a reference an ancestor report had set.
        if (target_name == "nil") {
          p->set_object(*target, nullptr);
        } else {
          fixups_.push_back({target, p, std::move(target_name)});
        }
      }
      return;
    default:
      return;
  }
}

TfrxComponent* TfrxXMLSerializer::FindBelow(const TfrxComponent& scope, std::string_view name) {
  // What scope.FindObject(name) finds (the first in depth-first order, children in order,
  // names compared without regard to ASCII case), walked without a call per object and
  // comparing letters only where the lengths agree: a rebuilt page resolves a reference
  // per object among all the objects built before it.
  // Subtrees whose name filter rules the name out are passed over whole.
  const NameFilter key = NameFilter::Of(name);
  std::vector<WalkStep>& stack = walk_;
  stack.clear();
  if (scope.ObjectCount() > 0 && scope.NamesBelow().Covers(key)) stack.push_back({&scope, 0});
  while (!stack.empty()) {
    // The children of the innermost parent up to the next one with children of its own.
    const TfrxComponent* parent = stack.back().parent;
    const int count = parent->ObjectCount();
    int i = stack.back().next;
    TfrxComponent* child = nullptr;
    for (; i < count; ++i) {
      child = parent->Object(i);
      if (!child->NamesBelow().Covers(key)) continue;
      const std::string& child_name = child->Name();
      if (child_name.size() == name.size() && SameName(child_name, name)) return child;
      if (child->ObjectCount() > 0) break;
    }
    if (i == count) {
      stack.pop_back();
      continue;
    }
    stack.back().next = i + 1;
    stack.push_back({child, 0});
  }
  return nullptr;
}

void TfrxXMLSerializer::ResolveFixups(const TfrxComponent* root) {
  if (fixups_.empty()) return;
  // Taken out while resolving; the emptied list goes back for its room.
  std::vector<Fixup> fixups;
  fixups.swap(fixups_);
  const TfrxComponent* scope = root;
  if (root) {
    if (TfrxReport* report = root->Report()) scope = report;
  }
  for (const Fixup& f : fixups) {
    TfrxComponent* found = nullptr;
    if (auto* report = scope ? const_cast<TfrxComponent*>(scope)->AsReport() : nullptr) {
      found = report->FindByName(f.name);
    } else if (scope) {
      found = FindBelow(*scope, f.name);
    }
    if (found && found->ClassType() && !found->ClassType()->InheritsFrom(f.prop->class_name)) {
      found = nullptr;
    }
    if (found) f.prop->set_object(*f.object, found);
  }
  fixups.clear();
  if (fixups_.empty()) fixups_.swap(fixups);
}

void TfrxXMLSerializer::ReadChildren(TfrxComponent& parent, core::TfrxXMLItem* item,
                                     std::vector<TfrxComponent*>& loaded) {
  auto& registry = core::ClassRegistry::Instance();
  TfrxReport* report = parent.Report();
  for (int i = 0; i < item->Count(); ++i) {
    core::TfrxXMLItem* child_item = item->Items(i);
    const std::string& element = child_item->Name();
    if (element == "FrxCustomData") {
      if (on_get_custom_data) on_get_custom_data(child_item);
      continue;
    }
    if (handle_nested_properties && parent.HandlesNestedItems() &&
        parent.ReadNestedItem(child_item, *this)) {
      continue;
    }
    std::string name;
    try {
      name = DecodeString(child_item->Attribute("Name"));
    } catch (const std::exception& e) {
      AddError(e.what());
    }
    TfrxComponent* component = nullptr;
    bool inherited = element == "inherited";
    const core::ClassInfo* info = inherited ? nullptr : registry.Find(element);
    if (!inherited &&
        (!info || !info->CanCreate() || !info->InheritsFrom(TfrxComponent::StaticClass()))) {
      AddError(frxGet("xrCantFindClass") + " " + element);
      continue;
    }
    if (!name.empty()) {
      TfrxComponent* existing = report ? report->FindByName(name) : parent.FindObject(name);
      // An object of the same name is reused (loading into an existing tree), but never one
      // that would make the tree a cycle.
      if (existing && (inherited || existing->ClassType() == info) && existing != &parent &&
          !existing->IsAncestorOf(&parent) && existing->Parent() == &parent) {
        component = existing;
      }
    }
    if (!component) {
      if (inherited) continue;
      std::unique_ptr<core::TObject> object = info->Create();
      auto* created = dynamic_cast<TfrxComponent*>(object.get());
      if (!created) continue;
      object.release();
      component = parent.Adopt(std::unique_ptr<TfrxComponent>(created));
    }
    component->SetLoading(true);
    loaded.push_back(component);
    ApplyAttributes(child_item->Text(), *component);
    ReadChildren(*component, child_item, loaded);
  }
}

void TfrxXMLSerializer::ReadTree(TfrxComponent& root, core::TfrxXMLItem* item) {
  std::vector<TfrxComponent*> loaded;
  ApplyAttributes(item->Text(), root);
  ReadChildren(root, item, loaded);
  ResolveFixups(&root);
  for (TfrxComponent* component : loaded) {
    component->SetLoading(false);
    component->Loaded();
  }
}

void TfrxXMLSerializer::ReadTree(TfrxComponent& root, core::TStream& stream) {
  core::TfrxXMLDocument document;
  std::exception_ptr failure;
  try {
    document.LoadFromStream(stream, false);
  } catch (const core::TfrxInvalidXMLException&) {
    // Malformed markup: the elements read before the fault are still applied, then the
    // fault is reported.
    failure = std::current_exception();
  }
  old_format = document.OldVersion();
  if (!document.Root()->Name().empty()) ReadTree(root, document.Root());
  if (failure) std::rethrow_exception(failure);
}

std::unique_ptr<TfrxComponent> TfrxXMLSerializer::CreateFromText(std::string_view text) {
  size_t blank = text.find(' ');
  std::string_view class_name = text.substr(0, blank);
  const core::ClassInfo* info = core::ClassRegistry::Instance().Find(class_name);
  if (!info || !info->CanCreate() || !info->InheritsFrom(TfrxComponent::StaticClass())) {
    AddError(frxGet("xrCantFindClass") + " " + std::string(class_name));
    return nullptr;
  }
  std::unique_ptr<core::TObject> object = info->Create();
  auto* component = dynamic_cast<TfrxComponent*>(object.get());
  if (!component) return nullptr;
  object.release();
  std::unique_ptr<TfrxComponent> result(component);
  if (blank != std::string_view::npos) ApplyAttributes(text.substr(blank + 1), *result);
  return result;
}

void TfrxXMLSerializer::ApplyItemAttributes(std::string_view text, core::TObject& object,
                                            const TfrxComponent* root) {
  ApplyItemAttributes(std::span<const std::string_view>(&text, 1), object, root);
}

void TfrxXMLSerializer::ApplyItemAttributes(std::span<const std::string_view> parts,
                                            core::TObject& object, const TfrxComponent* root) {
  // The references of a tree being read wait for the whole tree, and these are resolved
  // now: the waiting ones are set aside meanwhile.
  std::vector<Fixup> outer;
  if (!fixups_.empty()) outer.swap(fixups_);
  for (std::string_view part : parts) ApplyAttributes(part, object);
  ResolveFixups(root);
  if (!outer.empty()) fixups_.swap(outer);
}

}  // namespace lgoty::report
