// The locale collation of an ORDER BY compares the same few texts many times: a sort of n
// rows makes about n log n comparisons over the distinct surnames, names and patronymics of
// a register. Comparing collation keys, made once per distinct text and kept here, gives the
// collator's order (a key's memcmp order is the collator's order by construction) at the
// cost of two look-ups in an open-addressed table.
//
// Texts that are byte for byte equal compare equal without a look-up. Long texts and texts
// that are not well-formed UTF-8 are compared by the collator directly, and the cache empties
// itself when it holds more than kBudgetBytes, so a table of long distinct texts cannot grow
// it without bound. Keys belong to a collation language: a change of language empties it.
// One cache serves one connection; it is not for several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lgoty::sql {

class TSortKeyCache {
 public:
  static constexpr size_t kLongestCachedText = 256;
  static constexpr size_t kBudgetBytes = 8u << 20;

  // -1, 0 or 1 as core::AnsiCompareText(a, b) gives it.
  int Compare(std::string_view a, std::string_view b);

  // Distinct texts held.
  size_t Size() const { return count_; }

 private:
  // A text and its key, both in storage_; an empty slot has text_size kEmpty.
  struct Slot {
    uint64_t hash = 0;
    uint32_t text_at = 0, text_size = kEmpty, key_at = 0, key_size = 0;
  };
  static constexpr uint32_t kEmpty = UINT32_MAX;

  // Where the key of text stands in storage_, made on first use; false when text is not
  // cached (too long or not well-formed).
  bool Key(std::string_view text, uint32_t& key_at, uint32_t& key_size);
  void Clear();
  void Grow();

  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::string storage_;
  size_t count_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace lgoty::sql
