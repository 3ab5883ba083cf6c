#include "sql/sort_key_cache.h"

#include <algorithm>
#include <cstring>

#include "core/locale.h"
#include "core/utf8_text.h"

namespace lgoty::sql {

namespace {

constexpr size_t kFirstSlots = 1024;

bool WellFormedUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t code = 0;
    const size_t length = core::DecodeUtf8(text.substr(i), &code);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// Eight bytes at a time, each word mixed in by a multiply; the length goes in first.
uint64_t HashText(std::string_view text) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  uint64_t hash = text.size() * kMultiplier;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
  }
  if (i < text.size()) {
    // The last eight bytes, overlapping the words already taken; a short text byte by byte.
    uint64_t word = 0;
    if (text.size() >= 8) {
      std::memcpy(&word, text.data() + text.size() - 8, 8);
    } else {
      for (; i < text.size(); ++i) word = (word << 8) | static_cast<unsigned char>(text[i]);
    }
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
  }
  return hash ^ (hash >> 32);
}

int Sign(int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

}  // namespace

void TSortKeyCache::Clear() {
  slots_.assign(kFirstSlots, Slot{});
  storage_.clear();
  count_ = 0;
}

void TSortKeyCache::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.text_size == kEmpty) continue;
    size_t at = slot.hash & mask;
    while (slots_[at].text_size != kEmpty) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

bool TSortKeyCache::Key(std::string_view text, uint32_t& key_at, uint32_t& key_size) {
  if (text.size() > kLongestCachedText) return false;
  const uint64_t hash = HashText(text);
  const size_t mask = slots_.size() - 1;
  size_t at = hash & mask;
  for (;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.text_size == kEmpty) break;
    if (slot.hash == hash && slot.text_size == text.size() &&
        std::memcmp(storage_.data() + slot.text_at, text.data(), text.size()) == 0) {
      key_at = slot.key_at;
      key_size = slot.key_size;
      return true;
    }
  }
  if (!WellFormedUtf8(text)) return false;
  const std::string made = core::CollationKey(text, true);
  Slot& slot = slots_[at];
  slot.hash = hash;
  slot.text_at = static_cast<uint32_t>(storage_.size());
  slot.text_size = static_cast<uint32_t>(text.size());
  storage_.append(text);
  slot.key_at = static_cast<uint32_t>(storage_.size());
  slot.key_size = static_cast<uint32_t>(made.size());
  storage_.append(made);
  key_at = slot.key_at;
  key_size = slot.key_size;
  if (++count_ * 2 > slots_.size()) Grow();
  return true;
}

int TSortKeyCache::Compare(std::string_view a, std::string_view b) {
  if (a == b) return 0;  // the same code points are equal at every collation level
  const uint64_t generation = core::CollationGeneration();
  if (slots_.empty() || generation != generation_ ||
      storage_.size() + slots_.size() * sizeof(Slot) > kBudgetBytes) {
    Clear();
    generation_ = generation;
  }
  uint32_t at_a = 0, size_a = 0, at_b = 0, size_b = 0;
  if (!Key(a, at_a, size_a) || !Key(b, at_b, size_b)) return core::AnsiCompareText(a, b);
  const std::string_view key_a(storage_.data() + at_a, size_a);
  const std::string_view key_b(storage_.data() + at_b, size_b);
  // Keys hold no zero byte; a key that is a proper prefix of the other sorts first.
  const size_t common = std::min(key_a.size(), key_b.size());
  const int bytes = std::memcmp(key_a.data(), key_b.data(), common);
  if (bytes != 0) return Sign(bytes);
  return key_a.size() < key_b.size() ? -1 : key_a.size() > key_b.size() ? 1 : 0;
}

}  // namespace lgoty::sql
