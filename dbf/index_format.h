// Byte layouts shared by the two index formats: the tag header and the tree pages.
//
// An index file is made of 512-byte units. NDX files use one unit per page and page numbers;
// MDX files use blocks of two units (1024 bytes) and address them by unit number. Either way
// page p of a tree starts at byte p x 512, which is also where its lock range starts.
//
// Tag header (the block of an MDX tag, or page 0 of an NDX file):
//
//   offset  width  meaning
//   0       4      root page (unit number in MDX, page number in NDX)
//   4       4      NDX: number of pages in the file (the next free page); MDX: 0
//   8       1      MDX key flags: 0x08 descending, 0x10 character key, 0x40 unique,
//                  0x60 distinct; NDX: 0
//   9       1      key type letter, 'C' or 'N'
//   10      2      NDX: 0x5800; MDX: 0
//   12      2      key length
//   14      2      maximum number of entries per page
//   16      2      NDX numeric key: 1; otherwise 0
//   18      2      entry length = (key length + pointer part + 3) rounded down to 4
//   20      2      2
//   22      1      0
//   23      1      uniqueness: 0 none, 1 unique, 0x21 distinct
//   24      220    key expression text, NUL-terminated (at most 219 characters)
//   244     2      0
//   246     1      1
//   248     8      0
//
// MDX tree page (1024 bytes):
//
//   offset  width  meaning
//   0       4      number of keys on the page
//   4       4      0 (reserved for the tree; this engine writes and ignores it)
//   8 + i x L      entry i: 4-byte pointer (record number on a leaf, unit number of the
//                  child block on an inner page), then the key
//
// NDX tree page (512 bytes):
//
//   offset  width  meaning
//   0       4      number of keys on the page
//   4 + i x L      entry i: 4-byte child page (0 on a leaf), 4-byte record number (0 on an
//                  inner page), then the key
//
// Inner pages hold one pointer more than keys: entry number "key count" has a pointer and no
// key. An MDX page is inner when that pointer is nonzero and the key count is below the
// maximum; an NDX page is inner when its first child page number is nonzero. The key of an
// inner entry is the greatest key of the subtree it points to.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lgoty::dbf {

inline constexpr size_t kIndexUnitSize = 512;

enum class TIndexFormat : uint8_t { ifMdx, ifNdx };

namespace tag_header {
inline constexpr size_t kRootOffset = 0;
inline constexpr size_t kPageCountOffset = 4;
inline constexpr size_t kKeyFlagsOffset = 8;
inline constexpr size_t kKeyTypeOffset = 9;
inline constexpr size_t kNdxMagicOffset = 10;
inline constexpr size_t kKeyLengthOffset = 12;
inline constexpr size_t kMaxEntriesOffset = 14;
inline constexpr size_t kNumericFlagOffset = 16;
inline constexpr size_t kEntryLengthOffset = 18;
inline constexpr size_t kConstant2Offset = 20;
inline constexpr size_t kUniquenessOffset = 23;
inline constexpr size_t kExpressionOffset = 24;
inline constexpr size_t kExpressionWidth = 220;
inline constexpr size_t kMaxExpressionLength = kExpressionWidth - 1;
inline constexpr size_t kConstant1Offset = 246;
inline constexpr size_t kSize = 256;  // bytes that carry meaning

inline constexpr uint16_t kNdxMagic = 0x5800;
inline constexpr uint8_t kFlagDescending = 0x08;
inline constexpr uint8_t kFlagCharacter = 0x10;
inline constexpr uint8_t kFlagUnique = 0x40;
inline constexpr uint8_t kFlagDistinct = 0x60;
inline constexpr uint8_t kUniquenessNone = 0;
inline constexpr uint8_t kUniquenessUnique = 1;
inline constexpr uint8_t kUniquenessDistinct = 0x21;
}  // namespace tag_header

// Geometry of a tree page of one format.
struct TIndexPageGeometry {
  size_t page_size;     // 1024 (MDX) or 512 (NDX)
  size_t page_header;   // 8 (MDX) or 4 (NDX)
  size_t pointer_part;  // 4 (MDX) or 8 (NDX) bytes before the key in an entry
  size_t units;         // units per page: 2 (MDX) or 1 (NDX)
};

inline constexpr TIndexPageGeometry kMdxPageGeometry{1024, 8, 4, 2};
inline constexpr TIndexPageGeometry kNdxPageGeometry{512, 4, 8, 1};

inline constexpr const TIndexPageGeometry& PageGeometryOf(TIndexFormat format) {
  return format == TIndexFormat::ifMdx ? kMdxPageGeometry : kNdxPageGeometry;
}

inline constexpr size_t EntryLengthFor(TIndexFormat format, size_t key_length) {
  return (key_length + PageGeometryOf(format).pointer_part + 3) & ~size_t{3};
}
inline constexpr size_t MaxEntriesFor(TIndexFormat format, size_t entry_length) {
  const TIndexPageGeometry& g = PageGeometryOf(format);
  return (g.page_size - g.page_header) / entry_length;
}

}  // namespace lgoty::dbf
