// The multi-tag (MDX) index file: file header and tag table.
//
// The file is made of 512-byte units. The header fills the first units (2048 bytes, four
// units, for the level-4 kind; the level-7 kind needs a wider tag table, see below); after it
// come 1024-byte blocks (tag headers and tree pages), numbered by their first unit.
//
// File header:
//
//   offset  width  meaning
//   0       1      2 (level-4 kind) or 3 (level-7 kind)
//   1       3      creation date: year - 1900, month, day
//   4       16     table file name without folder and extension, at most 15 characters,
//                  NUL-padded
//   20      2      units per block: 2
//   22      2      block size in bytes: 1024
//   24      1      production flag: 1
//   25      1      tag table size: 48
//   26      1      tag table entry size: 32 (level 4), 48 (level 7)
//   28      2      number of tags in use
//   30      1      0
//   31      1      language driver ID of the table
//   32      4      next free unit (the first unit after the last block)
//   44      3      date of the last update: year - 1900, month, day
//   529     1      1
//   544     E x 48 tag table: entry i at 544 + E x i (E = entry size)
//
// Tag table entry, level-4 kind (32 bytes):
//
//   offset  width  meaning
//   0       4      unit number of the tag header block
//   4       11     tag name, upper case, at most 10 characters, NUL-terminated
//   15      1      key format: 0x10 for a plain field, 0x00 when created as an expression
//   16      1      left tag thread: 0
//   17      1      right tag thread: 0
//   18      1      backward tag thread: 0
//   19      1      2
//   20      1      key type letter 'C' or 'N'
//
// The level-7 kind has a 33-byte name field (at most 32 characters) at offset 4, so the bytes
// listed at 15-20 move to 37-42. Such an entry does not fit 32 bytes: level-7 files of this
// engine use 48-byte entries (byte 26 says so), and their header grows to 3072 bytes (six
// units) to hold the 48 entries of the table. Readers take the entry size from byte 26.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lgoty::dbf::mdx {

inline constexpr uint8_t kLevel4Kind = 2;
inline constexpr uint8_t kLevel7Kind = 3;

inline constexpr size_t kKindOffset = 0;
inline constexpr size_t kCreatedOffset = 1;
inline constexpr size_t kTableNameOffset = 4;
inline constexpr size_t kTableNameWidth = 16;
inline constexpr size_t kUnitsPerBlockOffset = 20;
inline constexpr size_t kBlockSizeOffset = 22;
inline constexpr size_t kProductionOffset = 24;
inline constexpr size_t kTagTableSizeOffset = 25;
inline constexpr size_t kTagEntrySizeOffset = 26;
inline constexpr size_t kTagCountOffset = 28;
inline constexpr size_t kLanguageDriverOffset = 31;
inline constexpr size_t kNextFreeUnitOffset = 32;
inline constexpr size_t kUpdatedOffset = 44;
inline constexpr size_t kConstant1Offset = 529;
inline constexpr size_t kTagTableOffset = 544;

inline constexpr uint16_t kUnitsPerBlock = 2;
inline constexpr uint16_t kBlockSize = 1024;
inline constexpr uint8_t kTagTableSize = 48;
inline constexpr size_t kMaxTags = 47;
inline constexpr size_t kLevel4EntrySize = 32;
inline constexpr size_t kLevel7EntrySize = 48;
inline constexpr size_t kLevel4HeaderSize = 2048;
inline constexpr size_t kLevel7HeaderSize = 3072;

// Tag table entry fields.
inline constexpr size_t kEntryHeaderUnitOffset = 0;
inline constexpr size_t kEntryNameOffset = 4;
inline constexpr size_t kLevel4NameWidth = 11;
inline constexpr size_t kLevel7NameWidth = 33;
// The fields after the name, relative to the end of the name field.
inline constexpr size_t kAfterKeyFormat = 0;
inline constexpr size_t kAfterThreads = 1;  // three bytes
inline constexpr size_t kAfterConstant2 = 4;
inline constexpr size_t kAfterKeyType = 5;

inline constexpr uint8_t kKeyFormatField = 0x10;
inline constexpr uint8_t kKeyFormatExpression = 0x00;

}  // namespace lgoty::dbf::mdx
