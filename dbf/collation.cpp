#include "dbf/collation.h"

#include <algorithm>

namespace lgoty::dbf {
namespace {

const TCollationTable kTables[] = {
#include "dbf/collation_tables.inc"
};

TCollationWeights MakeIdentity() {
  TCollationWeights weights{};
  for (size_t b = 0; b < weights.size(); ++b) weights[b] = static_cast<uint8_t>(b);
  return weights;
}

}  // namespace

const TCollationWeights& PlainByteOrder() {
  static const TCollationWeights identity = MakeIdentity();
  return identity;
}

const TCollationTable* FindCollationTable(uint8_t ldid) {
  for (const TCollationTable& table : kTables) {
    if (table.ldid == ldid) return &table;
  }
  return nullptr;
}

std::span<const TCollationTable> CollationTables() { return kTables; }

const TCollationWeights& CollationWeightsOf(uint8_t ldid) {
  const TCollationTable* table = FindCollationTable(ldid);
  return table != nullptr ? table->weights : PlainByteOrder();
}

int CompareCharacterKeys(const TCollationWeights& weights, std::span<const std::byte> a,
                         std::span<const std::byte> b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = weights[static_cast<uint8_t>(a[i])];
    const uint8_t y = weights[static_cast<uint8_t>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void MakeSortKey(const TCollationWeights& weights, std::span<const std::byte> key,
                 std::span<std::byte> out) {
  const size_t n = std::min(key.size(), out.size());
  for (size_t i = 0; i < n; ++i) out[i] = std::byte{weights[static_cast<uint8_t>(key[i])]};
}

}  // namespace lgoty::dbf
