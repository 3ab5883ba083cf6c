// DifferenceWriter: the text under which a placed object is stored in prepared pages, what
// differs from its source copy, written without going through the serializer's general
// path for every property.
//
// A source copy never changes once it is linked, so its class's stored properties are
// walked once, each with the copy's value and its attribute name ("Font.Name") ready. A
// placed object is then compared with those values property by property, and only what
// differs is formatted. The text is the one FullDiff (prepared_pages_detail.h) gives for
// the same object and source: the serializer's formats, order and filters. Where the fast
// comparison does not apply (another class than the copy's, a nested value of another
// class, default values written), that part goes through the serializer as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "core/rtti.h"
#include "report/prop_data.h"

namespace lgoty::report {

class TfrxComponent;
class TfrxPersistent;
class TfrxXMLSerializer;

namespace prepared_detail {

// Nested values whose classes compare all their streamed properties at once: the test for
// the exact class type (nullptr for other classes). Two values it finds the same have no
// property that differs, so their group writes nothing and is not walked.
using SameValueTest = bool (*)(const core::TObject& a, const core::TObject& b);
SameValueTest SameValueTestFor(const std::type_info& type);

// A float as FloatText (prepared_pages_detail.h) writes it, appended; values that are a
// whole number of hundredths (positions and sizes in the usual units) without the general
// conversion.
void AppendFloatText(std::string& out, double value);

class DifferenceWriter {
 public:
  // REQUIRES source outlives the writer and does not change afterwards.
  explicit DifferenceWriter(const TfrxComponent& source);
  ~DifferenceWriter();
  DifferenceWriter(const DifferenceWriter&) = delete;
  DifferenceWriter& operator=(const DifferenceWriter&) = delete;

  // Appends what FullDiff(serializer, object, &source) returns. Not reentrant: the writer
  // keeps its working buffers between calls (one thread builds the pages).
  void Append(TfrxXMLSerializer& serializer, const TfrxComponent& object,
              std::string& out) const;

 private:
  struct Group;
  // What the walk over a placed object reads of a property is copied here, next to the
  // source's value: the property tables are large and scattered, the entries are not.
  struct Entry {
    const core::PropInfo* prop = nullptr;
    core::TypeKind kind = core::TypeKind::Integer;
    bool ordinal_kind = false;
    const std::function<bool(const core::TObject&)>* stored_test = nullptr;  // when it has one
    // A property held in a member: how, and the member's offset from the start of the
    // group's object (the same in every object of the group's dynamic type); the member is
    // read there instead of through the getter.
    core::FieldType field = core::FieldType::None;
    std::ptrdiff_t offset = 0;
    std::function<int64_t(const core::TObject&)> get_ordinal;  // ordinal kinds
    std::function<double(const core::TObject&)> get_float;     // floats
    // How AppendGroup settles the entry without AppendEntry when its value is the source's
    // (entries not held in members; see Settled).
    enum class Quick : std::uint8_t { None, Ordinal, String, Nested, Reference };
    Quick quick = Quick::None;
    std::string name;  // the attribute's name with its prefix
    // The source's value: ordinal kinds, floats, strings and string list texts.
    int64_t ordinal = 0;
    double number = 0;
    std::string text;
    bool has_list = false;         // string lists: the source holds a list
    std::unique_ptr<Group> group;  // nested objects: the source's value, walked
  };
  // The properties of one object of the source (the copy or a nested value of it).
  struct Group {
    const core::TObject* source = nullptr;
    const core::ClassInfo* cls = nullptr;
    const std::type_info* type = nullptr;
    std::string prefix;
    std::vector<Entry> entries;
    // The entries held in members, as the source's raw bits, and the source's strings:
    // when the placed object's members all hold the same bits, none of those entries can
    // be written, and only the others (in their order) are walked. A member whose bits
    // differ may still hold an equal value (a float within the tolerance, -0): then every
    // entry is walked and compared by value. A nested value held in a member of the object
    // (a frame, a font), whose class writes nothing but its properties and holds them all
    // in members, has its members among the group's, where they lie in the object, instead
    // of an entry among the others.
    //
    // The members' bytes are compared in words: a word starts at a member byte, its bytes
    // that belong to no member are masked out, and it ends at or before the group's last
    // member byte, so that it lies inside the object.
    struct Word {
      std::uint32_t offset = 0;
      std::uint8_t width = 8;  // 8, 4, 2 or 1 bytes
      std::uint64_t mask = 0;
      std::uint64_t bits = 0;  // the source's bytes under the mask
    };
    std::vector<Word> same_words;   // 8 bytes wide
    std::vector<Word> same_narrow;  // the last words, narrower
    // String members empty in the source (most events), and the others with the source's.
    std::vector<std::uint32_t> same_empty;
    std::vector<std::pair<std::uint32_t, const std::string*>> same_text;
    std::vector<const Entry*> others;  // the entries not held in members
    // The source's final attributes: its text ("Text") and binary-defined properties.
    bool persistent = false;
    std::optional<std::string> text;
    std::string text_name;     // prefix + "Text"
    bool writes_defined = false;
    std::string defined_name;  // prefix + "PropData"
    std::string defined;  // encoded; empty when the source has none
    SameValueTest same = nullptr;  // nested values: the whole-value test of the class
  };

  static std::unique_ptr<Group> Walk(const core::TObject& source, const std::string& prefix);
  static void IndexMembers(Group& group);
  // Whether a nested value's group, held in a member of its holder, is compared through
  // its members where they lie in the holder (see IndexMembers).
  static bool Flattens(const Group& nested);
  // The end of the members of a group that flattens, from its object's start.
  static std::uint32_t MembersExtent(const Group& nested);
  // Adds the members of a group that flattens, its object at base in the holder, to into's.
  static void AddMembers(const Group& nested, std::uint32_t base,
                         std::vector<std::uint32_t>& bytes, Group& into);
  // Whether every member the group's entries are held in has the source's bits in object
  // (starting at start).
  static bool MembersSame(const Group& group, const char* start);
  // Whether an entry not held in a member certainly writes nothing for object: its value
  // is the source's (or, for a nested value or a reference, it is not stored). False
  // leaves the entry to AppendEntry, which decides.
  static bool Settled(const Group& group, const Entry& entry, const core::TObject& object);
  static bool NestedSettled(const Entry& entry, const core::TObject& object);
  void AppendEntry(TfrxXMLSerializer& serializer, const Group& group, const Entry& entry,
                   const core::TObject& object, const char* start, bool cached_picture,
                   std::string& out) const;
  void AppendGroup(TfrxXMLSerializer& serializer, const Group& group,
                   const core::TObject& object, bool cached_picture, std::string& out) const;

  const TfrxComponent& source_;
  std::unique_ptr<Group> root_;
  bool picture_;  // the source's class keeps pictures (in the picture cache when placed)
  // Working buffers, kept so that their room is reused: the attributes being written, a
  // persistent object's text and its binary-defined properties.
  mutable std::string attributes_;
  mutable std::string text_;
  mutable PropValue::Properties defined_;
};

}  // namespace prepared_detail
}  // namespace lgoty::report
