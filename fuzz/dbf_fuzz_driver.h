// The body of the dbf_open_fuzz target, shared with the regression test that replays the
// inputs the fuzzer once found.
//
// Arbitrary bytes as a table and its memo file: open, read every record, decode every field
// as every kind of value, and read every memo the records point at; optionally append a
// record with a memo and read again. The engine must answer with its own errors
// (core::Exception and what derives from it), never crash, hang or leak.
//
// Input layout: bytes 0-1 (little-endian) choose where the rest splits into the data file
// and the memo file; byte 2 bit 0 picks the date-time handling, bit 1 the append.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/byte_codec.h"
#include "core/exception.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "platform/file.h"

namespace lgoty::fuzz {
namespace detail {

using lgoty::data::TFieldType;
namespace dbf = lgoty::dbf;

constexpr TFieldType kRequests[] = {
    TFieldType::ftString, TFieldType::ftSmallint, TFieldType::ftInteger,
    TFieldType::ftLargeint, TFieldType::ftBoolean, TFieldType::ftFloat,
    TFieldType::ftCurrency, TFieldType::ftBCD, TFieldType::ftDate, TFieldType::ftDateTime,
    TFieldType::ftMemo, TFieldType::ftBytes};

inline void ReadTable(dbf::TDbfFile& file) {
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  std::vector<std::byte> record(file.RecordSize());
  dbf::TFieldValue value;
  const uint32_t count = file.RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (file.ReadRecord(n, record) < record.size()) break;
    for (int i = 0; i < defs.Count(); ++i) {
      const dbf::TDbfFieldDef& def = defs[i];
      dbf::IsFieldNull(defs, def, record);
      for (TFieldType type : kRequests) dbf::GetFieldData(defs, def, type, record, &value);
      if (def.IsBlob() && file.MemoFile() &&
          dbf::GetFieldData(defs, def, TFieldType::ftInteger, record, &value) &&
          value.integer > 0 && value.integer <= UINT32_MAX) {
        file.MemoFile()->ReadValue(static_cast<uint32_t>(value.integer));
      }
    }
  }
}

inline void AppendOne(dbf::TDbfFile& file) {
  std::vector<std::byte> record(file.BlankRecord().begin(), file.BlankRecord().end());
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  for (int i = 0; i < defs.Count(); ++i) {
    const dbf::TDbfFieldDef& def = defs[i];
    dbf::TFieldValue value;
    value.integer = 12;
    value.real = 3.25;
    value.text = "AB";
    if (def.IsBlob() && file.MemoFile()) {
      const std::byte memo[] = {std::byte{'x'}, std::byte{'y'}};
      value.integer = file.MemoFile()->WriteValue(memo, 0, 0);
    }
    dbf::SetFieldData(defs, def, def.FieldType(), record, &value);
  }
  file.Insert(record);
}

}  // namespace detail

// Runs one input; returns normally unless the engine misbehaves.
inline void RunDbfOpenInput(const uint8_t* data, size_t size) {
  namespace dbf = lgoty::dbf;
  if (size < 3) return;
  const size_t rest = size - 3;
  const size_t split = lgoty::core::GetU16LE(reinterpret_cast<const std::byte*>(data)) % (rest + 1);
  const uint8_t flags = data[2];
  const auto* bytes = reinterpret_cast<const std::byte*>(data + 3);
  lgoty::platform::MemoryFile table("fuzz.dbf", std::vector<std::byte>(bytes, bytes + split));
  lgoty::platform::MemoryFile memo("fuzz.dbt",
                                   std::vector<std::byte>(bytes + split, bytes + rest));
  try {
    dbf::TDbfFile file;
    file.SetFileName("fuzz.dbf");
    file.SetMode(dbf::TFileAccessMode::amMemoryExisting);
    file.SetMemoryStream(&table);
    file.SetMemoMemoryStream(&memo);
    file.SetDateTimeHandling((flags & 1) ? dbf::TDateTimeHandling::dtDateTime
                                         : dbf::TDateTimeHandling::dtBDETimeStamp);
    file.Open();
    if (file.Active()) {
      detail::ReadTable(file);
      if (flags & 2) {
        detail::AppendOne(file);
        detail::ReadTable(file);
      }
      file.Close();
    }
  } catch (const lgoty::core::Exception&) {
    // The engine's own refusal of a bad file or value.
  }
}

}  // namespace lgoty::fuzz
