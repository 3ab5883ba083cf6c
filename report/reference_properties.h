// The properties a rebuilt prepared-page object starts from, compiled once per source copy.
//
// A prepared page stores an object as its alias and the attributes that differ from its
// source copy; rebuilding the page starts every object from the source copy's complete
// attribute text (its "reference text"). Parsing that text again for every object of
// every page (property lookup by name, numbers and enumeration names from text) costs more
// than the rest of a rebuild. Compiled, the reference text becomes a list of properties
// with their values held by a prototype object that the text was applied to once: plain
// values (ordinals, floats, strings, variants, also inside nested objects such as the font
// or the frame) are copied from the prototype through the property table, in the text's
// order; what is more than a plain value (memo and string-list texts, binary-defined
// properties, references to other objects, the short geometry names) stays text and is
// applied by the serializer together with the stored differences, so that references
// are resolved among the page's objects as before.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/rtti.h"

namespace lgoty::report {

class TfrxXMLSerializer;

// A property whose value can be read and set through the property table as a plain value:
// an ordinal, a float, a string or a variant with both accessors.
bool IsPlainValue(const core::PropInfo& p);

class ReferenceProperties {
 public:
  // cls: the source copy's class; attributes: its reference text without the class name.
  ReferenceProperties(const core::ClassInfo* cls, std::string_view attributes,
                      TfrxXMLSerializer& serializer);
  ~ReferenceProperties();
  ReferenceProperties(const ReferenceProperties&) = delete;
  ReferenceProperties& operator=(const ReferenceProperties&) = delete;

  // Sets the plain values on a new object of the class.
  void CopyTo(core::TObject& object) const;
  // Sets only the plain values inside the nested object that property nested leads to
  // (the font, say), in the same order.
  void CopyNestedTo(core::TObject& object, const core::PropInfo* nested) const;
  // Whether CopyNestedTo(object, nested) sets anything.
  bool CopiesInto(const core::PropInfo* nested) const;
  // False when the class could not be made: everything stayed text.
  bool Compiled() const { return prototype_ != nullptr; }
  // The attributes left as text, to be applied before the stored differences.
  const std::string& RemainingText() const { return remaining_; }
  // Appends to out the attributes left as text that the stored differences do not set
  // again (those would only be read to be replaced: a memo's text, above all).
  // differences: an attribute text as stored in a page item.
  void AppendRemainingText(std::string& out, std::string_view differences) const;
  // The same attributes one by one (name="value"), for TfrxXMLSerializer's
  // ApplyItemAttributes of parts.
  void AppendRemainingParts(std::vector<std::string_view>& out,
                            std::string_view differences) const;

  struct Remaining {
    std::string_view name;   // inside the remaining text
    std::string_view whole;  // name="value", inside the remaining text
  };
  // The attributes left as text, one by one.
  const std::vector<Remaining>& RemainingAttributes() const { return remaining_attributes_; }

 private:
  struct Copy {
    std::vector<const core::PropInfo*> path;  // nested objects leading to prop
    const core::PropInfo* prop = nullptr;
    // What path leads to in the prototype, and its class: the prototype does not change
    // once compiled.
    const core::TObject* from = nullptr;
    const core::ClassInfo* from_class = nullptr;
    // The prototype's value, read once (the member of prop's kind); readable false when
    // reading it failed, so that nothing is set, as a failed read at every copy would.
    bool readable = true;
    int64_t ordinal = 0;
    double number = 0;
    std::string text;
    core::Variant variant;
  };

  // Calls add(whole) for each attribute left as text that differences do not set again.
  template <typename Add>
  void ForEachRemaining(std::string_view differences, Add add) const;
  // Reads copy's value from the prototype (copy.from).
  static void ReadValue(Copy& copy);
  // object_class: object's class, read once for all the copies into it.
  void CopyOne(const Copy& copy, core::TObject& object,
               const core::ClassInfo* object_class) const;

  std::unique_ptr<core::TObject> prototype_;
  std::vector<Copy> copies_;
  // For each nested object the copies go into, the copies that start with it, in order.
  std::vector<std::pair<const core::PropInfo*, std::vector<size_t>>> nested_copies_;
  std::string remaining_;
  std::vector<Remaining> remaining_attributes_;
};

}  // namespace lgoty::report
