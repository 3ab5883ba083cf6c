#include "report/prepared_object_recycler.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "report/attribute_reading.h"
#include "report/bands.h"
#include "report/component.h"
#include "report/graphics.h"
#include "report/pages.h"
#include "report/prepared_pages_detail.h"
#include "report/reference_properties.h"
#include "report/serializer.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

using core::PropInfo;
using core::TypeKind;

bool IsReference(const PropInfo& p) {
  return p.kind == TypeKind::Class && p.role == core::ObjectRole::Reference && p.get_object &&
         p.set_object;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

constexpr size_t kMaxNamesPerAlias = 64;

bool IsLines(std::string_view name) {
  return name == "Text" || name == "Memo.Text" || name == "u" || name == "x";
}

}  // namespace

PreparedObjectRecycler::PreparedObjectRecycler() = default;

PreparedObjectRecycler::~PreparedObjectRecycler() { Clear(); }

void PreparedObjectRecycler::BeginPage() {
  building_.page = nullptr;
  building_.objects.clear();
}

void PreparedObjectRecycler::EndPage(const TfrxReportPage* page) {
  if (!page) {
    building_.objects.clear();
    return;
  }
  building_.page = page;
  pages_.push_back(std::move(building_));
  building_ = PageNotes{};
  if (!spare_.empty()) {
    building_.objects = std::move(spare_.back());
    spare_.pop_back();
  }
}

PreparedObjectRecycler::Alias& PreparedObjectRecycler::AliasOf(
    const TfrxComponent& source, const ReferenceProperties& reference,
    TfrxXMLSerializer& serializer) {
  auto [at, added] = aliases_.try_emplace(&source);
  Alias& alias = at->second;
  if (!added) return alias;
  const core::ClassInfo* cls = source.ClassType();
  if (!reference.Compiled() || !cls || !cls->CanCreate()) return alias;
  std::unique_ptr<core::TObject> created = cls->Create();
  auto* base = CachedCast<TfrxComponent>(created.get());
  auto* memo = CachedCast<TfrxCustomMemoView>(base);
  auto* band = CachedCast<TfrxBand>(base);
  if (!memo && !band) return alias;
  created.release();
  alias.base.reset(base);
  alias.memo = memo != nullptr;
  alias.font = cls->FindProperty("Font");
  // The base: a new object with the reference applied, its references unresolved.
  reference.CopyTo(*base);
  std::string remaining;
  bool recyclable = true;
  for (const ReferenceProperties::Remaining& attribute : reference.RemainingAttributes()) {
    const PropInfo* p = attribute.name.find('.') == std::string_view::npos
                            ? cls->FindProperty(attribute.name)
                            : nullptr;
    if (p && IsReference(*p)) {
      alias.references.push_back({std::string(attribute.name), std::string(attribute.whole)});
    } else if (!alias.memo || !IsLines(attribute.name)) {
      recyclable = false;
    }
    if (!remaining.empty()) remaining += ' ';
    remaining += attribute.whole;
  }
  serializer.ApplyItemAttributes(remaining, *base, nullptr);
  prepared_detail::SetNameQuietly(*base, source.Name());
  alias.font_copies = reference.CopiesInto(alias.font);
  alias.recyclable = recyclable && alias.font != nullptr;
  if (memo) {
    const core::TStringList& lines = memo->Lines();
    for (int i = 0; i < lines.Count() && !alias.marker_lines; ++i) {
      alias.marker_lines = lines[i].find('[') != std::string::npos;
    }
  } else if (auto* brush = dynamic_cast<const TfrxBrushFill*>(&band->Fill());
             !brush || !brush->IsEmpty()) {
    // Every band of the alias gets a fill memo when loaded: none is kept.
    alias.recyclable = false;
  }
  return alias;
}

const PreparedObjectRecycler::Restore& PreparedObjectRecycler::RestoreFor(Alias& alias,
                                                                         std::string_view name) {
  for (const Alias::NamedRestore& known : alias.restores) {
    if (known.name == name) return known.restore;
  }
  // Names past the usual handful (a damaged file's, in every letter case) are not
  // remembered: an object with one is not kept.
  static const Restore kRefusedRestore;
  if (alias.restores.size() >= kMaxNamesPerAlias) return kRefusedRestore;
  Restore restore;
  const core::ClassInfo* cls = alias.base->ClassType();
  if (name == "l" || name == "Left") {
    restore.kind = RestoreKind::kLeft;
    if (name.size() == 1) restore.direct = DirectKind::kLeft;
  } else if (name == "t" || name == "Top") {
    restore.kind = RestoreKind::kTop;
    if (name.size() == 1) restore.direct = DirectKind::kTop;
  } else if (name == "w" || name == "Width") {
    restore.kind = RestoreKind::kWidth;
    if (name.size() == 1) restore.direct = DirectKind::kWidth;
  } else if (name == "h" || name == "Height") {
    restore.kind = RestoreKind::kHeight;
    if (name.size() == 1) restore.direct = DirectKind::kHeight;
  } else if (IsLines(name)) {
    // A band's lines: an unknown name, refused.
    if (alias.memo) restore.kind = RestoreKind::kLines;
    if (alias.memo && (name == "Text" || name == "u")) restore.direct = DirectKind::kText;
  } else if (StartsWith(name, "Font.") || name == "Name") {
    restore.kind = RestoreKind::kNothing;
  } else if (StartsWith(name, "Fill.") || name == "FillType" || name == "Color" ||
             name == "BrushStyle") {
    // A band's fill may have added a fill memo: refused.
    if (alias.memo) restore.kind = RestoreKind::kFill;
  } else if (StartsWith(name, "Frame.")) {
    if (alias.memo) restore.kind = RestoreKind::kFrame;
  } else if (name.find('.') == std::string_view::npos) {
    const PropInfo* p = cls->FindProperty(name);
    if (p && IsPlainValue(*p)) {
      restore = {RestoreKind::kPlain, p};
    } else if (p && IsReference(*p)) {
      restore = {RestoreKind::kReference, p, DirectKind::kReference};
    }
  }
  return alias.restores.emplace_back(Alias::NamedRestore{std::string(name), restore}).restore;
}

PreparedObjectRecycler::Changes PreparedObjectRecycler::ChangesOf(Alias& alias,
                                                                  std::string_view differences,
                                                                  Applying* applying) {
  Changes changes;
  auto add = [&](const Restore& restore) {
    if (restore.kind == RestoreKind::kRefused || changes.count == kMaxRestores) {
      changes.refused = true;
      return;
    }
    if (restore.kind != RestoreKind::kNothing) changes.restores[changes.count++] = &restore;
  };
  // The reference's references are applied before the differences: those go through the
  // serializer, which resolves them after all.
  if (applying) applying->direct = alias.references.empty();
  ForEachAttribute(differences, [&](const XmlAttribute& attribute) {
    const Restore& restore = RestoreFor(alias, attribute.name);
    add(restore);
    if (!applying || !applying->direct) return;
    if (restore.direct == DirectKind::kNone || applying->count == kMaxDirect) {
      applying->direct = false;
      return;
    }
    applying->attributes[applying->count++] = {restore.direct, attribute.value.data(),
                                               attribute.value.size(), attribute.whole.data(),
                                               attribute.whole.size()};
  });
  // The reference's references not set by the differences are resolved on this page too.
  for (const ReferenceAttribute& reference : alias.references) {
    bool overridden = false;
    ForEachAttribute(differences, [&](const XmlAttribute& attribute) {
      overridden = overridden || attribute.name == reference.name;
    });
    if (!overridden) add(RestoreFor(alias, reference.name));
  }
  return changes;
}

void PreparedObjectRecycler::Reset(Alias& alias, TfrxComponent& object, const Changes& old_changes,
                                   const Changes& new_changes) {
  // The lines, fill and frame restores are a memo's only (a band's are refused).
  TfrxComponent& base = *alias.base;
  auto memo = [&]() -> TfrxCustomMemoView& { return static_cast<TfrxCustomMemoView&>(object); };
  auto base_memo = [&]() -> const TfrxCustomMemoView& {
    return static_cast<const TfrxCustomMemoView&>(base);
  };
  // Lines with a page marker are restored whatever the last use set, unless the new
  // differences set them again.
  bool marker_lines = alias.marker_lines;
  for (uint8_t k = 0; k < new_changes.count && marker_lines; ++k) {
    marker_lines = new_changes.restores[k]->kind != RestoreKind::kLines;
  }
  if (marker_lines) memo().Lines().Assign(base_memo().Lines());
  for (uint8_t k = 0; k < old_changes.count; ++k) {
    const Restore& restore = *old_changes.restores[k];
    if (marker_lines && restore.kind == RestoreKind::kLines) continue;
    // Lines the new differences set again need no restoring first: reading a text never
    // fails. (A number may be refused by its reading, a reference may find no target:
    // those must find the base's value in place.)
    const bool set_again =
        restore.kind == RestoreKind::kLines &&
        std::find(new_changes.restores, new_changes.restores + new_changes.count, &restore) !=
            new_changes.restores + new_changes.count;
    if (set_again) continue;
    switch (restore.kind) {
      case RestoreKind::kLeft: object.SetLeft(base.Left()); break;
      case RestoreKind::kTop: object.SetTop(base.Top()); break;
      case RestoreKind::kWidth: object.SetWidth(base.Width()); break;
      case RestoreKind::kHeight: object.SetHeight(base.Height()); break;
      case RestoreKind::kLines: memo().Lines().Assign(base_memo().Lines()); break;
      case RestoreKind::kFill: memo().SetFill(base_memo().Fill()); break;
      case RestoreKind::kFrame: memo().Frame().Assign(base_memo().Frame()); break;
      case RestoreKind::kPlain: {
        const PropInfo& p = *restore.prop;
        switch (p.kind) {
          case TypeKind::Float: p.set_float(object, p.get_float(base)); break;
          case TypeKind::String:
          case TypeKind::WString: p.set_string(object, p.get_string(base)); break;
          case TypeKind::Variant: p.set_variant(object, p.get_variant(base)); break;
          default: p.set_ordinal(object, p.get_ordinal(base)); break;
        }
        break;
      }
      case RestoreKind::kReference:
        restore.prop->set_object(object, restore.prop->get_object(base));
        break;
      case RestoreKind::kNothing:
      case RestoreKind::kRefused:
        break;
    }
  }
}

void PreparedObjectRecycler::ApplyDirect(const Applying& applying, TfrxComponent& object,
                                         const TfrxComponent* root,
                                         TfrxXMLSerializer& serializer) {
  for (uint8_t k = 0; k < applying.count; ++k) {
    const DirectAttribute& attribute = applying.attributes[k];
    if (attribute.kind == DirectKind::kReference) {
      // Resolved now rather than after the others: what it finds depends on the tree built
      // so far and the names in it, which the other direct attributes do not change.
      serializer.ApplyItemAttributes(attribute.Whole(), object, root);
      continue;
    }
    // What the serializer would do with the attribute, when that is plain; anything else
    // (entities, numbers of other forms, values that fail to read) it is given, which
    // also notes the failure as it notes the failures of the others.
    if (attribute.kind == DirectKind::kText) {
      // Only a memo's text is set straight.
      auto& memo = static_cast<TfrxCustomMemoView&>(object);
      if (attribute.Value().find('&') == std::string_view::npos) {
        memo.SetText(attribute.Value());
      } else {
        serializer.ApplyAttributes(attribute.Whole(), memo);
      }
      continue;
    }
    const std::optional<double> value = ParsePlainDecimal(attribute.Value());
    if (!value) {
      serializer.ApplyAttributes(attribute.Whole(), object);
      continue;
    }
    switch (attribute.kind) {
      case DirectKind::kLeft: object.SetLeft(*value); break;
      case DirectKind::kTop: object.SetTop(*value); break;
      case DirectKind::kWidth: object.SetWidth(*value); break;
      case DirectKind::kHeight: object.SetHeight(*value); break;
      case DirectKind::kText:
      case DirectKind::kReference:
      case DirectKind::kNone: break;
    }
  }
}

TfrxComponent* PreparedObjectRecycler::Reuse(const TfrxComponent& source,
                                             const ReferenceProperties& reference,
                                             std::string_view differences, TfrxComponent& parent,
                                             const TfrxComponent* root,
                                             TfrxXMLSerializer& serializer) {
  Alias& alias = AliasOf(source, reference, serializer);
  if (!alias.recyclable || alias.kept.empty()) return nullptr;
  Applying applying;
  Changes changes = ChangesOf(alias, differences, &applying);
  Alias::Kept kept = std::move(alias.kept.back());
  alias.kept.pop_back();
  TfrxComponent* object = kept.object.get();
  try {
    Reset(alias, *object, kept.changes, changes);
  } catch (const std::exception&) {
    // A value the base took is refused only by a setter with other rules; the object is
    // dropped and a new one built instead.
    return nullptr;
  }
  parent.Adopt(std::move(kept.object));
  // The font as a new object gets it: the parent's when adopted, then the reference's. A
  // font is all plain values, so what the reference makes of the parent's font is known
  // from the last object of the alias with a parent font like this one.
  TfrxFont& font = object->Font();
  if (object->ParentFont() && !alias.font_copies) {
    // Adopted, it took the parent's font, and the reference changes nothing in it.
  } else if (alias.font_result && *alias.font_from == parent.Font()) {
    font.Assign(*alias.font_result);
  } else {
    font.Assign(parent.Font());
    reference.CopyNestedTo(*object, alias.font);
    if (!alias.font_result) {
      alias.font_from = std::make_unique<TfrxFont>();
      alias.font_result = std::make_unique<TfrxFont>();
    }
    alias.font_from->Assign(parent.Font());
    alias.font_result->Assign(font);
  }
  if (applying.direct) {
    ApplyDirect(applying, *object, root, serializer);
  } else if (alias.references.empty()) {
    serializer.ApplyItemAttributes(differences, *object, root);
  } else {
    // The references not set again by the differences, then the differences, as if joined
    // by blanks.
    std::vector<std::string_view> parts;
    for (const ReferenceAttribute& attribute : alias.references) {
      bool overridden = false;
      ForEachAttribute(differences, [&](const XmlAttribute& set) {
        overridden = overridden || set.name == attribute.name;
      });
      if (!overridden) parts.push_back(attribute.whole);
    }
    parts.push_back(differences);
    serializer.ApplyItemAttributes(parts, *object, root);
  }
  // Mostly the name it had: only the differences set another.
  if (object->Name() != source.Name()) prepared_detail::SetNameQuietly(*object, source.Name());
  building_.objects.push_back(Noted{object, &alias, changes});
  ++reused_;
  return object;
}

void PreparedObjectRecycler::Keep(TfrxComponent& object, const TfrxComponent& source,
                                  const ReferenceProperties& reference,
                                  std::string_view differences, TfrxXMLSerializer& serializer) {
  Alias& alias = AliasOf(source, reference, serializer);
  if (!alias.recyclable || object.ClassType() != alias.base->ClassType()) return;
  building_.objects.push_back(Noted{&object, &alias, ChangesOf(alias, differences)});
}

void PreparedObjectRecycler::Recycle(std::unique_ptr<TfrxReportPage> page) {
  if (!page) return;
  auto at = std::find_if(pages_.begin(), pages_.end(),
                         [&](const PageNotes& notes) { return notes.page == page.get(); });
  if (at != pages_.end()) {
    std::vector<Noted> objects = std::move(at->objects);
    pages_.erase(at);
    // Last built first: children leave before their parents, each from the end of its
    // parent's list.
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
      TfrxComponent* object = it->object;
      TfrxComponent* parent = object->Parent();
      if (it->changes.refused || !parent || object->ObjectCount() > 0) continue;
      std::unique_ptr<TfrxComponent> owned = parent->Release(object);
      if (owned) it->alias->kept.push_back(Alias::Kept{std::move(owned), it->changes});
    }
    objects.clear();
    spare_.push_back(std::move(objects));
  }
  page.reset();
}

void PreparedObjectRecycler::Clear() {
  pages_.clear();
  building_ = PageNotes{};
  spare_.clear();
  aliases_.clear();
}

size_t PreparedObjectRecycler::KeptCount() const {
  size_t count = 0;
  for (const auto& [source, alias] : aliases_) count += alias.kept.size();
  return count;
}

}  // namespace lgoty::report
