// Collations of character index keys: 256 weights per language driver.
//
// A character key is compared position by position over the key length, through the weights
// of the collation (a byte's weight is its rank in the alphabetical order of the code page's
// characters in the driver's language). The tables are generated data
// (dbf/collation_tables.inc, made by tools/gen_collation_tables.cpp); each is a permutation of
// 0..255, so two keys compare equal exactly when their bytes are equal. DBWINUS0 (0x57) and
// DB932JP0 (0x13) are plain byte order, and so is every language driver without a table
// (0x65 among them) and every NDX file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lgoty::dbf {

using TCollationWeights = std::array<uint8_t, 256>;

struct TCollationTable {
  uint8_t ldid;
  const char* name;       // the driver name
  int code_page;          // the code page the weights were made for
  const char* language;   // the ICU language, "" for plain byte order
  TCollationWeights weights;
};

// The identity weights.
const TCollationWeights& PlainByteOrder();
// The table of a language driver, nullptr when it has none.
const TCollationTable* FindCollationTable(uint8_t ldid);
// Every table, in the order they were generated.
std::span<const TCollationTable> CollationTables();
// The weights that order keys of a table with this language driver: its table's, or plain
// byte order when it has none.
const TCollationWeights& CollationWeightsOf(uint8_t ldid);

// -1, 0 or 1: a and b compared position by position through weights over the shorter length,
// then the shorter first.
int CompareCharacterKeys(const TCollationWeights& weights, std::span<const std::byte> a,
                         std::span<const std::byte> b);

// Sort keys for plain memcmp: each byte replaced by its weight. Ordering two sort keys with
// memcmp is the same as CompareCharacterKeys on the original keys (bulk builds sort these).
void MakeSortKey(const TCollationWeights& weights, std::span<const std::byte> key,
                 std::span<std::byte> out);

}  // namespace lgoty::dbf
