// The index definitions of a table dataset (TDbf::Indexes, also published as IndexDefs).
//
// A TDbfIndexDef names an index and its key:
//   IndexFile  the index name, trimmed: with an extension it is an .ndx file (relative to the
//              table's folder unless it has one; its spelling is kept, since file systems may
//              tell letter cases apart), without one a tag of the production index (.mdx),
//              upper-cased; names compare without regard to ASCII letter case;
//   SortField  the key expression, trimmed and upper-cased;
//   Options    the index option set (below);
//   a flag telling that the definition was filled in from the production index when the
//   table was opened (such definitions are dropped again when it closes).
//
// Index options are a set whose bits are the option ordinals, so that the set holding only
// ixExpression has the value 16.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lgoty::dbf {

enum class TIndexOption : uint8_t {
  ixPrimary = 0,
  ixUnique = 1,
  ixDescending = 2,
  ixCaseInsensitive = 3,
  ixExpression = 4,
};

class TIndexOptionSet {
 public:
  constexpr TIndexOptionSet() = default;
  constexpr explicit TIndexOptionSet(uint8_t bits) : bits_(bits) {}
  constexpr TIndexOptionSet(std::initializer_list<TIndexOption> options) {
    for (TIndexOption o : options) bits_ |= Bit(o);
  }
  constexpr bool Has(TIndexOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr void Include(TIndexOption o) { bits_ |= Bit(o); }
  constexpr uint8_t Value() const { return bits_; }
  constexpr bool operator==(const TIndexOptionSet&) const = default;

 private:
  static constexpr uint8_t Bit(TIndexOption o) { return static_cast<uint8_t>(1u << static_cast<unsigned>(o)); }
  uint8_t bits_ = 0;
};

class TDbfIndexDef {
 public:
  TDbfIndexDef(std::string_view index_file, std::string_view sort_field, TIndexOptionSet options,
               bool from_production = false);

  const std::string& IndexFile() const { return index_file_; }
  void SetIndexFile(std::string_view name);
  const std::string& SortField() const { return sort_field_; }
  void SetSortField(std::string_view expression);
  TIndexOptionSet Options() const { return options_; }
  void SetOptions(TIndexOptionSet options) { options_ = options; }
  bool FromProduction() const { return from_production_; }
  // A name with an extension: an .ndx file rather than a tag.
  bool IsNdx() const;

 private:
  std::string index_file_;
  std::string sort_field_;
  TIndexOptionSet options_;
  bool from_production_;
};

class TDbfIndexDefs {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES 0 <= index < Count().
  TDbfIndexDef& operator[](int index) { return *items_[static_cast<size_t>(index)]; }
  const TDbfIndexDef& operator[](int index) const { return *items_[static_cast<size_t>(index)]; }
  TDbfIndexDef& Add(std::string_view index_file, std::string_view sort_field,
                    TIndexOptionSet options, bool from_production = false);
  void Delete(int index);
  void Clear() { items_.clear(); }
  // The definition whose IndexFile equals name trimmed and upper-cased; nullptr when none.
  TDbfIndexDef* Find(std::string_view name);
  // The definition whose SortField equals expression trimmed and upper-cased.
  TDbfIndexDef* FindBySortField(std::string_view expression);
  // Removes the definitions filled in from the production index.
  void RemoveProductionEntries();

 private:
  std::vector<std::unique_ptr<TDbfIndexDef>> items_;
};

// Trimmed of spaces and ASCII letters upper-cased: how index names and keys are kept.
std::string NormalizeIndexText(std::string_view text);

}  // namespace lgoty::dbf
