// Helpers of the index tests: tables with a few fields, records written field by field, and
// walks of a tag in index order.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbf_file.h"
#include "dbf/index_file.h"
#include "tests/dbf/dbf_test_support.h"

namespace lgoty::dbf::testing {

struct IndexFieldDesc {
  const char* name;
  char letter;
  int length;
  int decimals;
};

inline TDbfFieldDefs IndexDefs(int level, std::initializer_list<IndexFieldDesc> fields) {
  TDbfFieldDefs defs(level);
  for (const IndexFieldDesc& f : fields) {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(f.name);
    def.SetNative(static_cast<uint8_t>(f.letter), f.length, f.decimals);
  }
  return defs;
}

inline std::unique_ptr<TDbfFile> CreateIndexTable(const std::string& path, const TDbfFieldDefs& defs,
                                                  uint8_t ldid, int level = kTableLevel4) {
  auto file = std::make_unique<TDbfFile>();
  file->SetFileName(path);
  file->SetTableLevel(level);
  file->SetMode(TFileAccessMode::amExclusiveNew);
  file->Create(defs, ldid, 512);
  return file;
}

inline std::unique_ptr<TDbfFile> OpenIndexTable(const std::string& path, TFileAccessMode mode,
                                                TLocaleErrorHandler on_locale = nullptr) {
  auto file = std::make_unique<TDbfFile>();
  file->SetFileName(path);
  file->SetMode(mode);
  if (on_locale) file->SetOnLocaleError(std::move(on_locale));
  file->Open();
  return file;
}

// Writes text (bytes of the table code page) into a C field, padded with spaces.
inline void PutText(const TDbfFile& file, std::vector<std::byte>& record, const char* field,
                    const std::string& text) {
  const TDbfFieldDef& def = *file.FieldDefs().Find(field);
  for (int i = 0; i < def.Size(); ++i)
    record[static_cast<size_t>(def.Offset() + i)] =
        static_cast<std::byte>(i < static_cast<int>(text.size()) ? text[static_cast<size_t>(i)] : ' ');
}

// Writes a number into an N field as right-aligned text with the field's decimals.
inline void PutNumber(const TDbfFile& file, std::vector<std::byte>& record, const char* field,
                      double value) {
  const TDbfFieldDef& def = *file.FieldDefs().Find(field);
  char text[64];
  std::snprintf(text, sizeof text, "%*.*f", def.Size(), def.Precision(), value);
  for (int i = 0; i < def.Size(); ++i)
    record[static_cast<size_t>(def.Offset() + i)] = static_cast<std::byte>(text[i]);
}

inline std::vector<std::byte> NewRecord(const TDbfFile& file) {
  std::vector<std::byte> record(file.RecordSize());
  file.InitRecord(record);
  return record;
}

// Record numbers of the selected tag from first to last.
inline std::vector<uint32_t> WalkForward(TIndexFile& index) {
  std::vector<uint32_t> out;
  for (bool ok = index.First(); ok; ok = index.Next()) out.push_back(index.RecNo());
  return out;
}

inline std::vector<uint32_t> WalkBackward(TIndexFile& index) {
  std::vector<uint32_t> out;
  for (bool ok = index.Last(); ok; ok = index.Prior()) out.push_back(index.RecNo());
  return out;
}

inline std::vector<std::byte> KeyBytes(const std::string& text) {
  std::vector<std::byte> out;
  for (char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}

}  // namespace lgoty::dbf::testing
