// TfrxXMLSerializer: turns a tree of report objects into template XML and back, working
// from the classes' property tables (core/rtti.h).
//
// Writing (WriteAttributes): the stored properties in declaration order, base class first,
// as ` Name="value"`:
//   ordinal kinds   decimal (sets as bit masks, Frame.Typ with four sides is 15); enums and
//                   Booleans by element name; skipped when equal to the declared default
//   floats          general format, 15 significant digits, the current decimal separator;
//                   always written
//   strings         escaped, in the ANSI code page; skipped when empty
//   variants        their text, escaped, in the ANSI code page; always written
//   references      the target's name; skipped when unset
//   nested objects  their properties with the prefix "Prop." ("Font.Name")
//   string lists    one "Prop.Text" attribute: the text less one trailing CR LF (ANSI)
//   memo text       a final "Text" attribute, UTF-8
//   defined props   a final "PropData" attribute, hexadecimal (report/prop_data.h)
// Reading (ApplyAttributes) reverses this; a value that does not convert puts its message
// in the error list and the scan goes on. Strings and string lists read from a document
// whose header is the one this system writes (OldFormat) are in the ANSI code page,
// otherwise UTF-8; memo texts are always UTF-8. References are resolved when the whole tree
// has been read.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/rtti.h"
#include "core/stream.h"
#include "core/string_list.h"
#include "core/xml_document.h"

namespace lgoty::report {

// One attribute of an attribute text.
struct XmlAttribute {
  std::string_view name;   // without blanks before the "="
  std::string_view value;  // between the quotes, as stored (escaped)
  std::string_view whole;  // from the name to the closing quote
};

// Calls visit(const XmlAttribute&) for each attribute of an attribute text
// (name="value" name2="value2"), split as the serializer reads it: quotes inside values are
// escaped, so a quote always opens or closes a value. The split ends at the first
// attribute without a "=" or without both quotes.
template <typename Visit>
void ForEachAttribute(std::string_view text, Visit visit) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && text[i] == ' ') ++i;
    if (i >= n) break;
    // Names are short and a value's quote follows its "=": looked for letter by letter
    // before a search.
    size_t eq = i;
    while (eq < n && text[eq] != '=') ++eq;
    if (eq >= n) break;
    size_t name_end = eq;
    while (name_end > i && text[name_end - 1] == ' ') --name_end;
    const size_t open =
        eq + 1 < n && text[eq + 1] == '"' ? eq + 1 : text.find('"', eq + 1);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) break;
    visit(XmlAttribute{text.substr(i, name_end - i), text.substr(open + 1, close - open - 1),
                       text.substr(i, close + 1 - i)});
    i = close + 1;
  }
}

class TfrxComponent;
class TfrxReport;

class TfrxXMLSerializer {
 public:
  TfrxXMLSerializer();

  // The errors met while reading: sorted, each distinct message once.
  core::TStringList& Errors() { return errors_; }
  // Strings are ANSI (true) or UTF-8 (false). ReadTree from a stream sets it from the
  // document header.
  bool old_format = true;
  // Write every stored property, defaults too.
  bool serialize_default_values = false;
  // Components write and read their collections as nested elements.
  bool handle_nested_properties = true;
  // The element "FrxCustomData": handed over on reading, filled on writing.
  std::function<void(core::TfrxXMLItem*)> on_get_custom_data;
  std::function<void(core::TfrxXMLItem*)> on_save_custom_data;

  // Inherited reports: with an ancestor set, WriteTree writes only what differs from it.
  // The root is written in full (a load clears its properties); a component marked
  // inherited becomes an element "inherited" compared with the ancestor's object of the
  // same name; other components are written in full. A reference the ancestor had and this
  // object lacks is written "nil".
  const TfrxComponent* ancestor_tree = nullptr;

  // With an ancestor object of the same class, each value is written only when it differs
  // from the ancestor's (floats by at least 1e-6) instead of when it differs from the
  // declared default.
  std::string WriteAttributes(const core::TObject& object, const std::string& prefix,
                              const core::TObject* ancestor_object = nullptr);
  void ApplyAttributes(std::string_view text, core::TObject& object);

  // Writes component (the root element: no Name attribute) and, with save_children, its
  // subtree into item.
  void WriteTree(const TfrxComponent& component, bool save_children, core::TfrxXMLItem* item);
  // Builds a document (AutoIndent on) and writes it to the stream.
  void WriteTree(const TfrxComponent& component, bool save_children, core::TStream& stream);
  // Applies item to root and reads the child elements as components below it, then
  // resolves references and runs the after-load steps.
  void ReadTree(TfrxComponent& root, core::TfrxXMLItem* item);
  // Reads a document from the stream (no swapping) and then the tree. Malformed XML throws
  // core::TfrxInvalidXMLException after the elements read before the fault were applied.
  void ReadTree(TfrxComponent& root, core::TStream& stream);

  // A component of the class named before the first blank, with the attributes after it;
  // nullptr (and an error line) for a class that is not registered.
  std::unique_ptr<TfrxComponent> CreateFromText(std::string_view text);
  // Applies attributes to a collection entry and resolves its references at once among the
  // objects below root.
  void ApplyItemAttributes(std::string_view text, core::TObject& object,
                           const TfrxComponent* root = nullptr);
  // The same for the texts joined by blanks, without joining them: every part but the last
  // holds whole attributes only (name="value", as ForEachAttribute gives them).
  void ApplyItemAttributes(std::span<const std::string_view> parts, core::TObject& object,
                           const TfrxComponent* root = nullptr);
  // Applies attributes whose references are resolved with the rest of the tree.
  void ApplyDeferredAttributes(std::string_view text, core::TObject& object) {
    ApplyAttributes(text, object);
  }

 private:
  struct Fixup {
    core::TObject* object;
    const core::PropInfo* prop;
    std::string name;
  };
  void ApplyOne(std::string_view name, std::string_view raw_value, core::TObject& object);
  void ReadChildren(TfrxComponent& parent, core::TfrxXMLItem* item,
                    std::vector<TfrxComponent*>& loaded);
  void ResolveFixups(const TfrxComponent* root);
  TfrxComponent* FindBelow(const TfrxComponent& scope, std::string_view name);
  std::string DecodeString(std::string_view raw) const;
  void AddError(const std::string& message);

  core::TStringList errors_;
  std::vector<Fixup> fixups_;
  struct WalkStep {
    const TfrxComponent* parent;
    int next;
  };
  std::vector<WalkStep> walk_;  // FindBelow's stack, kept for its room
};

}  // namespace lgoty::report
