// TfrxDictionary: the aliases under which prepared pages store objects that have a copy in
// the source pages. An alias is a short prefix ("b" for bands, otherwise the lower-cased
// first letter of the object's base name: "m" for memos, "p" for pictures) and a number;
// it maps to the source path "Page" + source page index + "." + object name and to the
// source object itself.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lgoty::report {

class TfrxComponent;

class TfrxDictionary {
 public:
  struct Entry {
    std::string source_name;            // "Page0.Memo1"
    TfrxComponent* object = nullptr;    // borrowed from the source pages
  };

  TfrxDictionary() = default;
  TfrxDictionary(const TfrxDictionary& other);
  TfrxDictionary& operator=(const TfrxDictionary& other);
  TfrxDictionary(TfrxDictionary&&) noexcept = default;
  TfrxDictionary& operator=(TfrxDictionary&&) noexcept = default;

  // The first free alias for prefix: starting at 10000 the number is halved while it is
  // greater than 1 and prefix + number is still free, then counted up until it is free.
  // The first alias of a prefix is prefix + "1"; with only 4 taken the next one is 5.
  std::string CreateUniqueName(std::string_view prefix) const;
  // Adds (or replaces) an alias.
  void Add(const std::string& alias, std::string source_name, TfrxComponent* object);
  // nullptr when the alias is unknown.
  const Entry* Find(std::string_view alias) const;
  bool Contains(std::string_view alias) const { return Find(alias) != nullptr; }
  int Count() const { return static_cast<int>(entries_.size()); }
  void Clear() {
    index_.clear();
    entries_.clear();
  }

  // Sorted by alias.
  const std::map<std::string, Entry, std::less<>>& Entries() const { return entries_; }

 private:
  void RebuildIndex();

  std::map<std::string, Entry, std::less<>> entries_;
  // Every alias of entries_ hashed: a rebuilt page looks up each of its objects' aliases, and
  // the sorted map (kept for saving in alias order) costs a string comparison per tree level.
  // The keys view the map's own keys and the values point at its entries; map nodes never
  // move while they exist (moving the whole map moves the nodes with it), and entries are
  // only added (a replaced alias keeps its node) or all cleared together.
  std::unordered_map<std::string_view, const Entry*> index_;
};

}  // namespace lgoty::report
