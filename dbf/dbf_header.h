// The header of a data file (".dbf"): main header, field descriptor array and, at level 7,
// the field property block. Parsing and building are pure functions over bytes; TDbfFile
// does the file work around them.
//
// Main header:
//
//   offset  width  meaning
//   0       1      version byte (table level, memo presence; tables below)
//   1       3      date of last update: year - 1900, month 1-12, day 1-31
//   4       4      number of records, little-endian
//   8       2      header length = offset of the first record, little-endian
//   10      2      record length including the deletion flag byte, little-endian
//   12      16     reserved, zero
//   28      1      production index flag: nonzero when a ".mdx" of the table's name belongs to it
//   29      1      language driver ID (levels 3, 4, 25)
//   30      2      reserved, zero
//   32      32     level 7 only: language driver name, ASCII, NUL-padded (at most 31 written)
//   64      4      level 7 only: reserved, zero
//
// Field descriptors follow at the header base size (32, or 68 at level 7), one per field,
// ended by the byte 0x0D. FoxPro headers have 263 more zero bytes after it; level 7 may have
// the property block there.
//
// 32-byte descriptor (levels 3, 4, 25):
//
//   offset  width  meaning
//   0       11     field name, ASCII, NUL-padded (at most 10 written)
//   11      1      type letter
//   12      4      FoxPro: offset of the field in the record (deletion flag = 0); else zero
//   16      1      field length
//   17      1      decimal count; for a FoxPro C field the high byte of the length
//   18      1      FoxPro flags: 0x02 = the field is nullable
//   19      13     reserved, zero
//
// 48-byte descriptor (level 7):
//
//   offset  width  meaning
//   0       32     field name, ASCII, NUL-padded (at most 31 written)
//   32      1      type letter
//   33      1      field length
//   34      1      decimal count
//   35      7      reserved, zero
//   42      4      next auto-increment value of a + field, little-endian
//   46      2      reserved, zero
//
// Level-7 property block at P = (terminator position + 1), present when P + 16 is below the
// header length:
//
//   P + 0   2   number of standard property entries
//   P + 2   2   offset of the first entry, relative to P
//   entries of 15 bytes: +2 (2) field number, 1-based; +4 (1) kind: 1 required, 2 minimum,
//   3 maximum, 4 default; +11 (2) data offset relative to P; +13 (2) data length.
//
// Version byte and table level:
//
//   on open                                 on create   no memo         with memo
//   low 3 bits 3: level 4 when byte 29      level 3     0x03            0x83
//     is nonzero, else level 3              level 4     0x03            0x8B
//   low 3 bits 4: level 7                   level 7     0x04            0x8C
//   low 3 bits 2 or 5, 0x30, 0x31: 25       level 25    0x02, 0x30 with + 0 O T Y fields,
//   anything else: invalid file                         0x31 with a + field; with memo
//                                                       0x02 becomes 0xF5
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dbf/field_defs.h"

namespace lgoty::dbf {

namespace dbf_layout {
inline constexpr size_t kVersionOffset = 0;
inline constexpr size_t kYearOffset = 1;
inline constexpr size_t kMonthOffset = 2;
inline constexpr size_t kDayOffset = 3;
inline constexpr size_t kRecordCountOffset = 4;
inline constexpr size_t kHeaderLengthOffset = 8;
inline constexpr size_t kRecordLengthOffset = 10;
inline constexpr size_t kProductionIndexOffset = 28;
inline constexpr size_t kLanguageDriverOffset = 29;
inline constexpr size_t kLevel7NameOffset = 32;
inline constexpr size_t kLevel7NameSize = 32;
inline constexpr size_t kLevel7NameMaxChars = 31;

inline constexpr size_t kBaseHeaderSize = 32;
inline constexpr size_t kLevel7BaseHeaderSize = 68;
inline constexpr size_t kDescriptorSize = 32;
inline constexpr size_t kLevel7DescriptorSize = 48;
inline constexpr size_t kFoxProBacklinkSize = 263;
inline constexpr std::byte kTerminator{0x0D};

// 32-byte descriptor.
inline constexpr size_t kNameOffset = 0;
inline constexpr size_t kNameSize = 11;
inline constexpr size_t kNameMaxChars = 10;
inline constexpr size_t kTypeOffset = 11;
inline constexpr size_t kFoxProFieldOffset = 12;
inline constexpr size_t kLengthOffset = 16;
inline constexpr size_t kDecimalsOffset = 17;
inline constexpr size_t kFoxProFlagsOffset = 18;
inline constexpr uint8_t kFoxProNullableFlag = 0x02;

// 48-byte descriptor.
inline constexpr size_t kLevel7NameSizeInDescriptor = 32;
inline constexpr size_t kLevel7FieldNameMaxChars = 31;
inline constexpr size_t kLevel7TypeOffset = 32;
inline constexpr size_t kLevel7LengthOffset = 33;
inline constexpr size_t kLevel7DecimalsOffset = 34;
inline constexpr size_t kLevel7AutoIncOffset = 42;

// Level-7 property block.
inline constexpr size_t kPropertyBlockHeaderSize = 16;
inline constexpr size_t kPropertyCountOffset = 0;
inline constexpr size_t kPropertyFirstEntryOffset = 2;
inline constexpr size_t kPropertyEntrySize = 15;
inline constexpr size_t kPropertyFieldOffset = 2;
inline constexpr size_t kPropertyKindOffset = 4;
inline constexpr size_t kPropertyDataOffset = 11;
inline constexpr size_t kPropertyDataLengthOffset = 13;
inline constexpr uint8_t kPropertyRequired = 1;
inline constexpr uint8_t kPropertyMinimum = 2;
inline constexpr uint8_t kPropertyMaximum = 3;
inline constexpr uint8_t kPropertyDefault = 4;

inline constexpr uint8_t kMemoBit = 0x80;
inline constexpr uint8_t kDbaseIVMemoBits = 0x88;
inline constexpr uint8_t kVersionLevel3 = 0x03;
inline constexpr uint8_t kVersionLevel7 = 0x04;
inline constexpr uint8_t kVersionFoxPro = 0x02;
inline constexpr uint8_t kVersionVisualFoxPro = 0x30;
inline constexpr uint8_t kVersionVisualFoxProAutoInc = 0x31;
inline constexpr uint8_t kVersionFoxProMemo = 0xF5;

inline constexpr int kMaxFieldCount = 4095;
inline constexpr size_t kMaxHeaderLength = 0xFFFF;
inline constexpr size_t kMaxRecordLength = 0xFFFF;
}  // namespace dbf_layout

// Table level for a version byte and language driver byte; 0 when the byte is unknown.
int TableLevelFromVersion(uint8_t version, uint8_t language_driver);
size_t HeaderBaseSize(int table_level);
size_t DescriptorSize(int table_level);
// M, B (outside level 25) and G fields keep their values in a memo file.
bool HasMemoFields(const TDbfFieldDefs& defs);

// What parsing the descriptors found besides the definitions.
struct TParsedDescriptors {
  size_t terminator_position = 0;  // where the descriptor array ended (0x0D or its end)
  bool terminated = false;         // the array ended with 0x0D inside the header
  bool has_autoinc = false;
  int lock_field = -1;             // index of "_DBASELOCK", -1 when none
  int null_flags_field = -1;       // index of "_NULLFLAGS", -1 when none
  int record_length = 0;           // 1 + the sum of the field lengths
};

// Reads the descriptors of a header of header.size() bytes (the header length) into defs
// (whose level is set by the caller). Throws EDbfError "Invalid DBF file." for an empty name
// or unknown type letter, and the field count error for more than 4095 descriptors.
TParsedDescriptors ParseFieldDescriptors(std::span<const std::byte> header, int table_level,
                                         TDbfFieldDefs& defs);
// Reads the level-7 property block after the descriptor array, if there is one. Throws
// EDbfError "Invalid DBF file." when an entry points outside the header.
void ReadFieldProperties(std::span<const std::byte> header, size_t terminator_position,
                         TDbfFieldDefs& defs);

// Stamps bytes 1-3 with the local date today.
void StampHeaderDate(std::span<std::byte> header);

// A complete new header for defs at a level (record count 0, today's date). code_page and
// locale feed the level-7 name; ldid goes to byte 29 (not at level 3). Assigns the field
// offsets in defs. Throws EDbfError when the field count is outside 1..4095 or the header or
// record would exceed 65535 bytes.
std::vector<std::byte> BuildHeader(TDbfFieldDefs& defs, int table_level, uint8_t ldid);

}  // namespace lgoty::dbf
