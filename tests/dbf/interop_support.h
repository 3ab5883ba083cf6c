// Helpers of the interoperability tests: tables read with our engine into a neutral form
// (one JSON value per field), and the comparison with what another tool wrote or read.
//
// Neutral form per field letter: C and M text in UTF-8 with null as "" (other tools do not
// tell a blank text from a missing one); N as a number or null; D as "YYYY-MM-DD" or null;
// L as true/false or null.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "core/date_time.h"
#include "core/json.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "dbf/number_text.h"

namespace lgoty::dbf::interop {

struct EngineRecord {
  bool deleted = false;
  std::map<std::string, core::JsonValue> values;
};

struct EngineTable {
  int level = 0;
  uint8_t ldid = 0;
  int code_page = 0;
  size_t header_length = 0;
  size_t record_length = 0;
  std::vector<const TDbfFieldDef*> fields;  // valid while the file is open
  std::vector<EngineRecord> records;
};

inline std::string MemoText(TDbfFile& file, const TDbfFieldDef& def,
                            std::span<const std::byte> record) {
  TFieldValue block;
  if (!GetFieldData(file.FieldDefs(), def, data::TFieldType::ftInteger, record, &block) ||
      block.integer <= 0 || !file.MemoFile())
    return {};
  const TMemoValue value = file.MemoFile()->ReadValue(static_cast<uint32_t>(block.integer));
  return std::string(reinterpret_cast<const char*>(value.data.data()), value.data.size());
}

inline core::JsonValue NeutralValue(TDbfFile& file, const TDbfFieldDef& def,
                                    std::span<const std::byte> record) {
  const TDbfFieldDefs& defs = file.FieldDefs();
  const int cp = file.EffectiveCodePage();
  TFieldValue v;
  switch (def.NativeFieldType()) {
    case 'M':
      return core::JsonValue::String(core::ToUtf8(cp, MemoText(file, def, record)));
    case 'C':
      GetFieldData(defs, def, data::TFieldType::ftString, record, &v);
      return core::JsonValue::String(core::ToUtf8(cp, v.text));
    case 'N': case 'F':
      if (!GetFieldData(defs, def, data::TFieldType::ftFloat, record, &v)) return {};
      return core::JsonValue::NumberFromDouble(v.real);
    case 'L':
      if (!GetFieldData(defs, def, data::TFieldType::ftBoolean, record, &v)) return {};
      return core::JsonValue::Boolean(v.integer != 0);
    case 'D': {
      if (!GetFieldData(defs, def, data::TFieldType::ftDate, record, &v)) return {};
      int y = 0, m = 0, d = 0;
      core::DecodeDate(v.real, y, m, d);
      char text[16];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
      return core::JsonValue::String(text);
    }
    default:
      ADD_FAILURE() << "field type " << def.NativeFieldType() << " has no neutral form";
      return {};
  }
}

// Opens path read-only and reads every record. file stays open for the caller.
inline EngineTable ReadWithEngine(TDbfFile& file, const std::string& path) {
  file.SetFileName(path);
  file.SetMode(TFileAccessMode::amReadOnly);
  file.Open();
  EngineTable table;
  table.level = file.TableLevel();
  table.ldid = file.LanguageId();
  table.code_page = file.EffectiveCodePage();
  table.header_length = file.HeaderSize();
  table.record_length = file.RecordSize();
  const TDbfFieldDefs& defs = file.FieldDefs();
  for (int i = 0; i < defs.Count(); ++i) table.fields.push_back(&defs[i]);
  std::vector<std::byte> record(file.RecordSize());
  const uint32_t count = file.RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (file.ReadRecord(n, record) != record.size()) break;
    EngineRecord r;
    r.deleted = record[0] == std::byte{'*'};
    for (const TDbfFieldDef* def : table.fields)
      r.values[def->FieldName()] = NeutralValue(file, *def, record);
    table.records.push_back(std::move(r));
  }
  return table;
}

// Compares an expected value (as another tool gives it: numbers possibly as decimal text,
// blank text possibly null) with our neutral value of a field of letter.
inline void ExpectSameValue(char letter, const core::JsonValue& expected,
                            const core::JsonValue& ours, const std::string& where) {
  using Kind = core::JsonValue::Kind;
  SCOPED_TRACE(where);
  switch (letter) {
    case 'C': case 'M': {
      const std::string want = expected.IsNull() ? "" : expected.AsString();
      EXPECT_EQ(ours.AsString(), want);
      break;
    }
    case 'N': case 'F': {
      if (expected.IsNull()) {
        EXPECT_TRUE(ours.IsNull()) << ours.Serialize();
        break;
      }
      double want = 0;
      const std::string& text = expected.kind() == Kind::String ? expected.AsString()
                                                                : expected.Text();
      ASSERT_TRUE(ParseDecimal(text.data(), text.data() + text.size(), want)) << text;
      ASSERT_EQ(ours.kind(), Kind::Number) << ours.Serialize();
      EXPECT_EQ(ours.AsDouble(), want) << text;
      break;
    }
    case 'L':
      if (expected.IsNull()) {
        EXPECT_TRUE(ours.IsNull()) << ours.Serialize();
      } else {
        ASSERT_EQ(ours.kind(), Kind::Boolean) << ours.Serialize();
        EXPECT_EQ(ours.AsBoolean(), expected.AsBoolean());
      }
      break;
    case 'D':
      if (expected.IsNull()) {
        EXPECT_TRUE(ours.IsNull()) << ours.Serialize();
      } else {
        EXPECT_EQ(ours.Serialize(), expected.Serialize());
      }
      break;
    default:
      ADD_FAILURE() << "unexpected letter " << letter;
  }
}

}  // namespace lgoty::dbf::interop
