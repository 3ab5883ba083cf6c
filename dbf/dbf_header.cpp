#include "dbf/dbf_header.h"

#include <algorithm>
#include <cstring>

#include "core/ascii_text.h"
#include "core/date_time.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/language_drivers.h"

namespace lgoty::dbf {

using namespace dbf_layout;

namespace {

// The ASCII text of a NUL-padded name field, cut at the first NUL.
std::string NameFrom(std::span<const std::byte> bytes) {
  std::string name;
  for (std::byte b : bytes) {
    if (b == std::byte{0}) break;
    name.push_back(static_cast<char>(b));
  }
  // Some writers pad names with spaces instead of NULs.
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return core::AsciiUpper(name);
}

void PutName(std::byte* out, const std::string& name, size_t max_chars) {
  size_t n = std::min(name.size(), max_chars);
  for (size_t i = 0; i < n; ++i) {
    out[i] = static_cast<std::byte>(core::AsciiUpper(name[i]));
  }
}

bool RaisesFoxProVersion(uint8_t letter) {
  return letter == '+' || letter == '0' || letter == 'O' || letter == 'T' || letter == 'Y';
}

}  // namespace

int TableLevelFromVersion(uint8_t version, uint8_t language_driver) {
  if (version == kVersionVisualFoxPro || version == kVersionVisualFoxProAutoInc) {
    return kTableLevelFoxPro;
  }
  switch (version & 0x07) {
    case 3:
      return language_driver != 0 ? kTableLevel4 : kTableLevel3;
    case 4:
      return kTableLevel7;
    case 2:
    case 5:
      return kTableLevelFoxPro;
    default:
      return 0;
  }
}

size_t HeaderBaseSize(int table_level) {
  return table_level == kTableLevel7 ? kLevel7BaseHeaderSize : kBaseHeaderSize;
}

size_t DescriptorSize(int table_level) {
  return table_level == kTableLevel7 ? kLevel7DescriptorSize : kDescriptorSize;
}

bool HasMemoFields(const TDbfFieldDefs& defs) {
  for (int i = 0; i < defs.Count(); ++i) {
    if (defs[i].IsBlob()) return true;
  }
  return false;
}

TParsedDescriptors ParseFieldDescriptors(std::span<const std::byte> header, int table_level,
                                         TDbfFieldDefs& defs) {
  TParsedDescriptors parsed;
  const size_t base = HeaderBaseSize(table_level);
  const size_t size = DescriptorSize(table_level);
  const bool level7 = table_level == kTableLevel7;
  const bool foxpro = table_level == kTableLevelFoxPro;
  const size_t to_try = header.size() > base ? (header.size() - base) / size : 0;

  defs.Clear();
  std::vector<bool> nullable;
  size_t position = base;
  int record_length = 1;
  for (size_t i = 0; i < to_try; ++i) {
    if (header[position] == kTerminator) break;
    if (i >= static_cast<size_t>(kMaxFieldCount)) {
      throw EDbfError(InvalidFieldCountMessage(static_cast<long long>(i) + 1));
    }
    std::span<const std::byte> d = header.subspan(position, size);
    std::string name;
    uint8_t letter = 0;
    int length = 0;
    int decimals = 0;
    uint8_t flags = 0;
    uint32_t autoinc_next = 0;
    if (level7) {
      name = NameFrom(d.first(kLevel7NameSizeInDescriptor));
      letter = core::GetU8(d, kLevel7TypeOffset);
      length = core::GetU8(d, kLevel7LengthOffset);
      decimals = core::GetU8(d, kLevel7DecimalsOffset);
      autoinc_next = core::GetU32LE(d, kLevel7AutoIncOffset);
    } else {
      name = NameFrom(d.first(kNameSize));
      letter = core::GetU8(d, kTypeOffset);
      length = core::GetU8(d, kLengthOffset);
      decimals = core::GetU8(d, kDecimalsOffset);
      flags = core::GetU8(d, kFoxProFlagsOffset);
      if (foxpro && (letter == 'C' || letter == 'c')) {
        length += 256 * decimals;
        decimals = 0;
      }
    }
    // A field of no bytes has no place in the record; keys and values built from it
    // would copy from nowhere.
    if (name.empty() || length == 0) throw EDbfError(kInvalidDbfFile);
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(name);
    def.SetNative(letter, length, decimals);
    if (def.NativeFieldType() == 0) throw EDbfError(kInvalidDbfFile);
    // The record layout follows the lengths stored in the file. A letter whose size rule
    // asks for more bytes than the file gives its field (a 4-byte date) would have every
    // read and write reach into the next field: such a file is refused. A field wider than
    // its rule (a 25-digit number) is read and written through its first bytes.
    if (def.Size() > length) throw EDbfError(kInvalidDbfFile);
    def.SetOffset(record_length);
    record_length += length;
    if (level7) {
      def.SetAutoIncNext(autoinc_next);
      if (def.NativeFieldType() == '+') parsed.has_autoinc = true;
    }
    nullable.push_back(foxpro && (flags & kFoxProNullableFlag) != 0);
    int index = defs.Count() - 1;
    if (def.IsDbaseLock()) parsed.lock_field = index;
    if (def.IsNullFlags()) parsed.null_flags_field = index;
    position += size;
  }
  // The loop stops at the terminator or after the last descriptor that fits; either way
  // position is where the terminator belongs.
  parsed.terminated = position < header.size() && header[position] == kTerminator;
  parsed.terminator_position = position;
  parsed.record_length = record_length;

  if (parsed.null_flags_field >= 0) {
    const TDbfFieldDef& flags_field = defs[parsed.null_flags_field];
    const int bits = flags_field.Size() * 8;
    int next_bit = 0;
    for (int i = 0; i < defs.Count(); ++i) {
      if (i == parsed.null_flags_field || !nullable[static_cast<size_t>(i)]) continue;
      // A bit beyond the flags field would be read outside it; such a field has no bit.
      defs[i].SetNullPosition(next_bit < bits ? next_bit : -1);
      ++next_bit;
    }
  }
  return parsed;
}

void ReadFieldProperties(std::span<const std::byte> header, size_t terminator_position,
                         TDbfFieldDefs& defs) {
  const size_t p = terminator_position + 1;
  if (p + kPropertyBlockHeaderSize >= header.size()) return;
  const size_t count = core::GetU16LE(header, p + kPropertyCountOffset);
  const size_t first = p + core::GetU16LE(header, p + kPropertyFirstEntryOffset);
  for (size_t i = 0; i < count; ++i) {
    size_t entry = first + i * kPropertyEntrySize;
    if (entry + kPropertyEntrySize > header.size()) throw EDbfError(kInvalidDbfFile);
    int field = core::GetU16LE(header, entry + kPropertyFieldOffset);
    if (field == 0 || field > defs.Count()) continue;
    TDbfFieldDef& def = defs[field - 1];
    uint8_t kind = core::GetU8(header, entry + kPropertyKindOffset);
    if (kind == kPropertyRequired) {
      def.SetRequired(true);
      continue;
    }
    if (kind != kPropertyMinimum && kind != kPropertyMaximum && kind != kPropertyDefault) {
      continue;
    }
    size_t data = p + core::GetU16LE(header, entry + kPropertyDataOffset);
    size_t length = core::GetU16LE(header, entry + kPropertyDataLengthOffset);
    if (data > header.size() || length > header.size() - data) {
      throw EDbfError(kInvalidDbfFile);
    }
    std::span<std::byte> target = kind == kPropertyMinimum   ? def.MinBuf()
                                  : kind == kPropertyMaximum ? def.MaxBuf()
                                                             : def.DefaultBuf();
    std::fill(target.begin(), target.end(), std::byte{0});
    size_t n = std::min(length, target.size());
    std::memcpy(target.data(), header.data() + data, n);
    if (kind == kPropertyMinimum) def.SetHasMin(true);
    if (kind == kPropertyMaximum) def.SetHasMax(true);
    if (kind == kPropertyDefault) def.SetHasDefault(true);
  }
}

void StampHeaderDate(std::span<std::byte> header) {
  int year = 0, month = 0, day = 0;
  core::DecodeDate(core::Date(), year, month, day);
  core::PutU8(header, kYearOffset, static_cast<uint8_t>((year - 1900) & 0xFF));
  core::PutU8(header, kMonthOffset, static_cast<uint8_t>(month));
  core::PutU8(header, kDayOffset, static_cast<uint8_t>(day));
}

std::vector<std::byte> BuildHeader(TDbfFieldDefs& defs, int table_level, uint8_t ldid) {
  const int count = defs.Count();
  if (count < 1 || count > kMaxFieldCount) throw EDbfError(InvalidFieldCountMessage(count));
  const bool level7 = table_level == kTableLevel7;
  const bool foxpro = table_level == kTableLevelFoxPro;
  const size_t base = HeaderBaseSize(table_level);
  const size_t size = DescriptorSize(table_level);
  size_t header_length = base + size * static_cast<size_t>(count) + 1;
  if (foxpro) header_length += kFoxProBacklinkSize;
  if (header_length > kMaxHeaderLength) throw EDbfError(InvalidFieldCountMessage(count));
  const int record_length = defs.AssignOffsets();
  if (static_cast<size_t>(record_length) > kMaxRecordLength) {
    throw EDbfError(InvalidRecordLengthMessage(record_length));
  }

  std::vector<std::byte> header(header_length, std::byte{0});
  uint8_t version = level7 ? kVersionLevel7 : foxpro ? kVersionFoxPro : kVersionLevel3;
  if (level7) {
    const TLanguageDriver& driver = LanguageDriverOf(ldid);
    std::string name = BuildLevel7LanguageName(driver.code_page, driver.locale, false);
    PutName(header.data() + kLevel7NameOffset, name, kLevel7NameMaxChars);
  } else if (table_level != kTableLevel3) {
    core::PutU8(header, kLanguageDriverOffset, ldid);
  }

  bool has_autoinc = false;
  for (int i = 0; i < count; ++i) {
    const TDbfFieldDef& def = defs[i];
    std::byte* d = header.data() + base + static_cast<size_t>(i) * size;
    const uint8_t letter = def.NativeFieldType();
    if (level7) {
      PutName(d, def.FieldName(), kLevel7FieldNameMaxChars);
      core::PutU8(d + kLevel7TypeOffset, letter);
      core::PutU8(d + kLevel7LengthOffset, static_cast<uint8_t>(def.Size() & 0xFF));
      core::PutU8(d + kLevel7DecimalsOffset, static_cast<uint8_t>(def.Precision()));
      core::PutU32LE(d + kLevel7AutoIncOffset, def.AutoIncNext());
    } else {
      PutName(d, def.FieldName(), kNameMaxChars);
      core::PutU8(d + kTypeOffset, letter);
      core::PutU8(d + kLengthOffset, static_cast<uint8_t>(def.Size() & 0xFF));
      if (foxpro) {
        core::PutU32LE(d + kFoxProFieldOffset, static_cast<uint32_t>(def.Offset()));
        uint8_t decimals = letter == 'C' ? static_cast<uint8_t>(def.Size() >> 8)
                                         : static_cast<uint8_t>(def.Precision());
        core::PutU8(d + kDecimalsOffset, decimals);
      } else {
        core::PutU8(d + kDecimalsOffset, static_cast<uint8_t>(def.Precision()));
      }
    }
    if (foxpro && RaisesFoxProVersion(letter)) {
      if (letter == '+') has_autoinc = true;
      version = has_autoinc ? kVersionVisualFoxProAutoInc : kVersionVisualFoxPro;
    }
  }
  header[base + static_cast<size_t>(count) * size] = kTerminator;

  if (HasMemoFields(defs)) {
    if (table_level == kTableLevel3) {
      version |= kMemoBit;
    } else if (foxpro) {
      if (version == kVersionFoxPro) version = kVersionFoxProMemo;
    } else {
      version |= kDbaseIVMemoBits;
    }
  }
  core::PutU8(header, kVersionOffset, version);
  StampHeaderDate(header);
  core::PutU32LE(header, kRecordCountOffset, 0);
  core::PutU16LE(header, kHeaderLengthOffset, static_cast<uint16_t>(header_length));
  core::PutU16LE(header, kRecordLengthOffset, static_cast<uint16_t>(record_length));
  return header;
}

}  // namespace lgoty::dbf
