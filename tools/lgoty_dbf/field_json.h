// Field values of an open table as the lgoty-dbf tool shows and takes them.
//
//   dataset type             JSON out                          JSON in
//   string                   text translated to UTF-8          string (numbers and booleans
//                                                              are written as their text)
//   small/large integer      number                            whole number or its text
//   float (N, F, O, B@25)    number                            number or its text ("." point)
//   BCD / currency (Y)       number with up to 4 decimals      number or its text
//   boolean                  true / false                      true/false, "T"/"F"/"Y"/"N"
//   date                     "YYYY-MM-DD"                      "YYYY-MM-DD" or "YYYYMMDD"
//   date-time                "YYYY-MM-DDTHH:MM:SS[.mmm]"       the same, or a date alone
//   bytes (_NULLFLAGS)       hex text                          hex text
//   memo (M)                 text                              string
//   binary memo (B, G)       text, or hex with raw             string, or hex with raw
//   null                     null                              null (or "" from the command
//                                                              line)
// A value that does not convert raises core::Exception naming the field; nothing is changed.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/json.h"
#include "dbf/dbf_file.h"

namespace lgoty::tools {

// Text between the table's code page and UTF-8. A code page this system cannot convert
// maps bytes 0x80-0xFF to U+0080-U+00FF and back, so nothing is lost.
std::string TableTextToUtf8(int code_page, std::string_view bytes);
std::string Utf8ToTableText(int code_page, std::string_view utf8);

std::string HexOf(std::span<const std::byte> bytes);

// The value of field def in record (memo values read from the table's memo file).
core::JsonValue FieldToJson(dbf::TDbfFile& file, const dbf::TDbfFieldDef& def,
                            std::span<const std::byte> record, bool raw);

// A memo value waiting to be written once every value of the input is known to be good.
struct PendingMemo {
  const dbf::TDbfFieldDef* def = nullptr;
  std::vector<std::byte> data;  // empty = no value
};

// Stores value into field def of record; a memo value is returned in pending instead.
// A value the field cannot hold as given (text longer than the field, more digits than it
// has, characters its code page lacks) is refused, unless truncate asks for what the engine
// makes of it (cut text, fewer decimals, '?' for missing characters).
void FieldFromJson(dbf::TDbfFile& file, const dbf::TDbfFieldDef& def, std::span<std::byte> record,
                   const core::JsonValue& value, bool raw, bool truncate,
                   std::vector<PendingMemo>& pending);

// Writes the pending memo values and stores their block numbers into record. With
// replace_existing the record's present values are overwritten in place when they fit.
void WritePendingMemos(dbf::TDbfFile& file, std::span<std::byte> record,
                       const std::vector<PendingMemo>& pending, bool replace_existing);

}  // namespace lgoty::tools
