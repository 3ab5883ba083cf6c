// TfrxComponent: the base of every object in a report's tree (report, pages, bands, views,
// data sets, dialog controls).
//
// Ownership: a component owns its children (Objects(), in order); freeing a component frees
// its subtree. The report at the root is the owner for naming: names are unique within one
// report, compared without regard to letter case, and FindObject looks them up there.
// References between components (a band's data set, a memo's FlowTo) are ComponentLinks:
// non-owning, and cleared when the target is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/ascii_text.h"
#include "core/exception.h"
#include "report/graphics.h"
#include "report/persistent.h"

namespace lgoty::core {
class TfrxXMLItem;
}

namespace lgoty::report {

class TfrxComponent;
class TfrxReport;
class TfrxPage;
class TfrxXMLSerializer;

// Name clashes and invalid names.
class EComponentError : public core::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EComponentError"; }
};

class ComponentLink {
 public:
  ComponentLink() = default;
  ComponentLink(const ComponentLink&) = delete;
  ComponentLink& operator=(const ComponentLink&) = delete;
  ~ComponentLink() { Set(nullptr); }
  TfrxComponent* Get() const { return target_; }
  void Set(TfrxComponent* target);

 private:
  friend class TfrxComponent;
  TfrxComponent* target_ = nullptr;
};

// What names may be in a subtree: three bits of 256 for each name (ASCII letter case folded,
// as names compare), set when the name enters the subtree and never cleared. A name whose
// bits are not all set is nowhere in the subtree; set bits prove nothing (other names share
// them, or the name has left). The empty name sets no bits: every filter covers it.
class NameFilter {
 public:
  static NameFilter Of(std::string_view name);
  bool Covers(const NameFilter& other) const {
    uint64_t missing = 0;
    for (int i = 0; i < kWords; ++i) missing |= other.bits_[i] & ~bits_[i];
    return missing == 0;
  }
  void Merge(const NameFilter& other) {
    for (int i = 0; i < kWords; ++i) bits_[i] |= other.bits_[i];
  }

 private:
  static constexpr int kWords = 4;
  uint64_t bits_[kWords] = {};
};

template <class T>
class Link : public ComponentLink {
 public:
  T* Get() const { return static_cast<T*>(ComponentLink::Get()); }
  void Set(T* target) { ComponentLink::Set(target); }
};

class TfrxComponent : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxComponent)
 public:
  TfrxComponent();
  TfrxComponent(const TfrxComponent&) = delete;
  TfrxComponent& operator=(const TfrxComponent&) = delete;
  ~TfrxComponent() override;

  const std::string& Name() const { return name_; }
  // Throws EComponentError for a name that is not an identifier or is taken in the report.
  void SetName(const std::string& name);
  std::string NameValue() const { return name_; }
  void SetNameValue(std::string name) { SetName(name); }
  // Called after the name changed (not on the first name while loading).
  virtual void NameChanged(const std::string& old_name, const std::string& new_name);

  int tag = 0;
  double Left() const { return left_; }
  double Top() const { return top_; }
  double Width() const { return width_; }
  double Height() const { return height_; }
  virtual void SetLeft(double v) { left_ = v; }
  virtual void SetTop(double v) { top_ = v; }
  virtual void SetWidth(double v) { width_ = v; }
  virtual void SetHeight(double v) { height_ = v; }
  void SetBounds(double left, double top, double width, double height);

  TfrxFont& Font() { return font_; }
  const TfrxFont& Font() const { return font_; }
  bool ParentFont() const { return parent_font_; }
  // True: the font follows the parent's font (copied now and whenever the parent changes).
  void SetParentFont(bool value);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v) { visible_ = v; }
  // The members Visible and ParentFont read, for the property tables: registered as
  // fields, they are read in place by whoever compares many objects.
  static bool TfrxComponent::*VisibleMember() { return &TfrxComponent::visible_; }
  static bool TfrxComponent::*ParentFontMember() { return &TfrxComponent::parent_font_; }

  TfrxComponent* Parent() const { return parent_; }
  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  TfrxComponent* Object(int index) const { return objects_[static_cast<size_t>(index)].get(); }
  int IndexOf(const TfrxComponent* child) const;
  // Takes a child at the end (or at index); returns it. REQUIRES child has no parent.
  TfrxComponent* Adopt(std::unique_ptr<TfrxComponent> child, int index = -1);
  template <class T>
  T* Add(std::unique_ptr<T> child) {
    return static_cast<T*>(Adopt(std::move(child)));
  }
  // Gives up a child.
  std::unique_ptr<TfrxComponent> Release(TfrxComponent* child);
  // Moves this component (which must have a parent) to the end of new_parent's list.
  // REQUIRES new_parent is not this component or one of its descendants.
  void MoveTo(TfrxComponent* new_parent, int index = -1);
  bool IsAncestorOf(const TfrxComponent* other) const;

  // All descendants, depth first (rebuilt on every call).
  std::vector<TfrxComponent*> AllObjects() const;
  // The first descendant named name (letter case ignored); nullptr when none.
  TfrxComponent* FindObject(std::string_view name) const;
  // Covers the names of this component and of all its descendants (and maybe others):
  // a subtree whose filter does not cover a name holds no object of that name.
  const NameFilter& NamesBelow() const { return names_below_; }
  // The report at the root of the tree; nullptr for a free component.
  TfrxReport* Report() const;
  virtual TfrxReport* AsReport() { return nullptr; }
  // The page that holds this component; nullptr when none.
  TfrxPage* Page() const;

  // Frees the children, except inherited ones, which are cleared recursively instead.
  virtual void Clear() { TakeObjects(); }
  // As Clear, but hands the children it removes to the caller instead of freeing them.
  virtual std::vector<std::unique_ptr<TfrxComponent>> TakeObjects();
  // Copies the published properties of another component through the template serializer
  // (its children are not copied).
  void Assign(const TfrxComponent& source);

  // The name stem for automatic names: the class name without "Tfrx" and "View".
  virtual std::string BaseName() const;
  // Gives the component the first free name BaseName() + n.
  void CreateUniqueName();

  bool IsLoading() const { return loading_; }
  void SetLoading(bool value) { loading_ = value; }
  bool IsInherited() const { return inherited_; }
  void SetInherited(bool value) { inherited_ = value; }
  // A child its parent keeps for its own drawing (a band's fill memo): never written to a
  // template.
  bool IsHidden() const { return hidden_; }
  void SetHidden(bool value) { hidden_ = value; }
  // The after-load step, run once a template load has set all attributes and references.
  virtual void Loaded() {}
  // Called by the report on every object before its script is prepared for a run.
  virtual void BeforeStartReport() {}

  // Components that write their collections as nested elements ("Datasets", "Formats").
  virtual bool HandlesNestedItems() const { return false; }
  bool WritesNestedElements() const override { return HandlesNestedItems(); }
  virtual void WriteNestedItems(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) const;
  // True when the element was one of ours and has been read.
  virtual bool ReadNestedItem(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer);

 protected:
  // The font to follow when ParentFont is set; the parent's font by default.
  void ApplyParentFont();

 private:
  friend class ComponentLink;
  friend class TfrxReport;
  void AttachSubtree(TfrxReport* report);
  void DetachSubtree(TfrxReport* report);
  // Adds names to this component's filter and its ancestors'.
  void SpreadNames(const NameFilter& names);
  TfrxComponent* FindObjectCovered(std::string_view name, const NameFilter& key) const;

  std::string name_;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TfrxFont font_;
  bool parent_font_ = true;
  bool visible_ = true;
  bool loading_ = false;
  bool inherited_ = false;
  bool hidden_ = false;
  TfrxComponent* parent_ = nullptr;
  std::vector<std::unique_ptr<TfrxComponent>> objects_;
  std::vector<ComponentLink*> links_to_me_;
  // Every ancestor's filter covers this one.
  NameFilter names_below_;
};

// Objects that take part in building a report.
class TfrxReportComponent : public TfrxComponent {
  LGOTY_REPORT_CLASS(TfrxReportComponent)
 public:
  std::string description;
};

bool IsValidIdent(std::string_view name);
// Names compare without regard to ASCII letter case.
inline std::string AsciiUpperName(std::string_view name) { return core::AsciiUpper(name); }
inline bool SameName(std::string_view a, std::string_view b) { return core::AsciiSameText(a, b); }
void RegisterComponentClasses();

}  // namespace lgoty::report
