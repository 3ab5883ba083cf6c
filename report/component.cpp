#include "report/component.h"

#include <algorithm>
#include <cassert>

#include "core/stream.h"
#include "core/xml_document.h"
#include "report/class_registration.h"
#include "report/component_changes.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/serializer.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxComponent)
LGOTY_REPORT_CLASS_IMPL(TfrxReportComponent)

namespace {
thread_local uint64_t tree_changes = 0;
}  // namespace

uint64_t ComponentTreeChanges() { return tree_changes; }

void ComponentLink::Set(TfrxComponent* target) {
  if (target == target_) return;
  if (target_) {
    auto& links = target_->links_to_me_;
    links.erase(std::remove(links.begin(), links.end(), this), links.end());
  }
  target_ = target;
  if (target_) target_->links_to_me_.push_back(this);
}

NameFilter NameFilter::Of(std::string_view name) {
  NameFilter filter;
  if (name.empty()) return filter;
  // FNV-1a over the upper-cased bytes, then mixed so that every bit of the result depends on
  // every byte; three bytes of it pick the bits.
  uint64_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(core::AsciiUpper(c));
    hash *= 1099511628211ull;
  }
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdull;
  hash ^= hash >> 33;
  hash *= 0xc4ceb9fe1a85ec53ull;
  hash ^= hash >> 33;
  for (int k = 0; k < 3; ++k) {
    const unsigned bit = static_cast<unsigned>(hash >> (8 * k)) & 255u;
    filter.bits_[bit >> 6] |= uint64_t{1} << (bit & 63u);
  }
  return filter;
}

bool IsValidIdent(std::string_view name) {
  if (name.empty()) return false;
  auto letter = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
  };
  if (!letter(static_cast<unsigned char>(name[0]))) return false;
  for (unsigned char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

TfrxComponent::TfrxComponent() = default;

TfrxComponent::~TfrxComponent() {
  if (!objects_.empty()) ++tree_changes;
  // Children go first, so that their links and names leave the report while it is intact.
  while (!objects_.empty()) {
    std::unique_ptr<TfrxComponent> child = std::move(objects_.back());
    objects_.pop_back();
    if (TfrxReport* report = Report()) child->DetachSubtree(report);
    child->parent_ = nullptr;
    child.reset();
  }
  for (ComponentLink* link : links_to_me_) link->target_ = nullptr;
  links_to_me_.clear();
}

void TfrxComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name)) {
    throw EComponentError("'" + name + "' is not a valid component name");
  }
  TfrxReport* report = Report();
  if (report && !name.empty()) {
    TfrxComponent* existing = report->FindByName(name);
    if (existing && existing != this) {
      throw EComponentError("A component named " + name + " already exists");
    }
  }
  std::string old_name = name_;
  if (report) report->UnindexName(this);
  name_ = name;
  if (report) report->IndexName(this);
  SpreadNames(NameFilter::Of(name_));
  NameChanged(old_name, name_);
}

void TfrxComponent::NameChanged(const std::string&, const std::string&) {}

void TfrxComponent::SetBounds(double left, double top, double width, double height) {
  SetLeft(left);
  SetTop(top);
  SetWidth(width);
  SetHeight(height);
}

void TfrxComponent::SetParentFont(bool value) {
  parent_font_ = value;
  if (value) ApplyParentFont();
}

void TfrxComponent::ApplyParentFont() {
  if (parent_font_ && parent_) font_.Assign(parent_->font_);
}

int TfrxComponent::IndexOf(const TfrxComponent* child) const {
  for (size_t i = 0; i < objects_.size(); ++i) {
    if (objects_[i].get() == child) return static_cast<int>(i);
  }
  return -1;
}

TfrxComponent* TfrxComponent::Adopt(std::unique_ptr<TfrxComponent> child, int index) {
  assert(child && !child->parent_ && !child->IsAncestorOf(this) && child.get() != this);
  TfrxComponent* raw = child.get();
  raw->parent_ = this;
  ++tree_changes;
  if (index < 0 || index > ObjectCount()) {
    objects_.push_back(std::move(child));
  } else {
    objects_.insert(objects_.begin() + index, std::move(child));
  }
  if (TfrxReport* report = Report()) raw->AttachSubtree(report);
  SpreadNames(raw->names_below_);
  raw->ApplyParentFont();
  return raw;
}

void TfrxComponent::SpreadNames(const NameFilter& names) {
  // An ancestor covers what its descendants cover: the first one that covers names already
  // ends the walk.
  for (TfrxComponent* c = this; c && !c->names_below_.Covers(names); c = c->parent_) {
    c->names_below_.Merge(names);
  }
}

std::unique_ptr<TfrxComponent> TfrxComponent::Release(TfrxComponent* child) {
  int index = IndexOf(child);
  if (index < 0) return nullptr;
  std::unique_ptr<TfrxComponent> owned = std::move(objects_[static_cast<size_t>(index)]);
  objects_.erase(objects_.begin() + index);
  ++tree_changes;
  if (TfrxReport* report = Report()) owned->DetachSubtree(report);
  owned->parent_ = nullptr;
  return owned;
}

void TfrxComponent::MoveTo(TfrxComponent* new_parent, int index) {
  assert(parent_ && new_parent && new_parent != this && !IsAncestorOf(new_parent));
  std::unique_ptr<TfrxComponent> self = parent_->Release(this);
  new_parent->Adopt(std::move(self), index);
}

bool TfrxComponent::IsAncestorOf(const TfrxComponent* other) const {
  for (const TfrxComponent* c = other ? other->parent_ : nullptr; c; c = c->parent_) {
    if (c == this) return true;
  }
  return false;
}

void TfrxComponent::AttachSubtree(TfrxReport* report) {
  report->IndexName(this);
  for (auto& child : objects_) child->AttachSubtree(report);
}

void TfrxComponent::DetachSubtree(TfrxReport* report) {
  report->UnindexName(this);
  for (auto& child : objects_) child->DetachSubtree(report);
}

std::vector<TfrxComponent*> TfrxComponent::AllObjects() const {
  std::vector<TfrxComponent*> out;
  // Depth first, children in order.
  struct Frame {
    const TfrxComponent* c;
    size_t next;
  };
  std::vector<Frame> frames{{this, 0}};
  while (!frames.empty()) {
    Frame& f = frames.back();
    if (f.next >= f.c->objects_.size()) {
      frames.pop_back();
      continue;
    }
    TfrxComponent* child = f.c->objects_[f.next++].get();
    out.push_back(child);
    frames.push_back({child, 0});
  }
  return out;
}

TfrxComponent* TfrxComponent::FindObject(std::string_view name) const {
  return FindObjectCovered(name, NameFilter::Of(name));
}

TfrxComponent* TfrxComponent::FindObjectCovered(std::string_view name,
                                                const NameFilter& key) const {
  // Depth first, children in order, as AllObjects lists them, without building the list or
  // upper-case copies of the names, and past the subtrees whose filter rules the name out.
  for (const auto& child : objects_) {
    if (!child->names_below_.Covers(key)) continue;
    if (SameName(child->name_, name)) return child.get();
    if (TfrxComponent* found = child->FindObjectCovered(name, key)) return found;
  }
  return nullptr;
}

TfrxReport* TfrxComponent::Report() const {
  const TfrxComponent* c = this;
  while (c->parent_) c = c->parent_;
  return const_cast<TfrxComponent*>(c)->AsReport();
}

TfrxPage* TfrxComponent::Page() const {
  for (TfrxComponent* c = parent_; c; c = c->parent_) {
    if (auto* page = dynamic_cast<TfrxPage*>(c)) return page;
  }
  return nullptr;
}

std::vector<std::unique_ptr<TfrxComponent>> TfrxComponent::TakeObjects() {
  std::vector<std::unique_ptr<TfrxComponent>> taken;
  for (size_t i = objects_.size(); i-- > 0;) {
    TfrxComponent* child = objects_[i].get();
    if (child->inherited_) {
      for (auto& below : child->TakeObjects()) taken.push_back(std::move(below));
    } else {
      taken.push_back(Release(child));
    }
  }
  return taken;
}

void TfrxComponent::Assign(const TfrxComponent& source) {
  core::TfrxXMLDocument document;
  TfrxXMLSerializer writer;
  writer.WriteTree(source, false, document.Root());
  core::TMemoryStream stream;
  document.SaveToStream(stream);
  stream.SetPosition(0);
  TfrxXMLSerializer reader;
  reader.ReadTree(*this, stream);
}

std::string TfrxComponent::BaseName() const {
  std::string name = ClassName();
  if (name.compare(0, 4, "Tfrx") == 0) name.erase(0, 4);
  size_t view = name.find("View");
  if (view != std::string::npos) name.erase(view, 4);
  return name;
}

void TfrxComponent::CreateUniqueName() {
  TfrxReport* report = Report();
  std::string base = BaseName();
  for (int n = 1;; ++n) {
    std::string candidate = base + std::to_string(n);
    if (!report || !report->FindByName(candidate)) {
      SetName(candidate);
      return;
    }
  }
}

void TfrxComponent::WriteNestedItems(core::TfrxXMLItem*, TfrxXMLSerializer&) const {}

bool TfrxComponent::ReadNestedItem(core::TfrxXMLItem*, TfrxXMLSerializer&) { return false; }

void RegisterComponentClasses() {
  auto b = RegisterFrxClass<TfrxComponent>("TfrxComponent", nullptr, false);
  b.Prop("Name", &TfrxComponent::NameValue, &TfrxComponent::SetNameValue).Stored(false);
  b.Field("Tag", &TfrxComponent::tag).Default(0);
  auto r = RegisterFrxClass<TfrxReportComponent>("TfrxReportComponent", "TfrxComponent", false);
  r.Field("Description", &TfrxReportComponent::description);
}

}  // namespace lgoty::report
