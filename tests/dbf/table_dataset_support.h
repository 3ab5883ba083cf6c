// Helpers of the table dataset tests: a small register table made through the engine and
// opened as a TDbf.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/variant.h"
#include "dbf/dbf_file.h"
#include "dbf/table_dataset.h"
#include "tests/dbf/dbf_test_support.h"

namespace lgoty::dbf::testing {

// A level-4 register in code page 866 (LDID 0x65): FAMIL C20, IMJA C15, SUMPAY N12.2.
inline void CreateRegister(const std::string& path, uint8_t ldid = 0x65) {
  TDbfFieldDefs defs(kTableLevel4);
  auto add = [&](const char* name, char letter, int size, int decimals) {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(name);
    def.SetNative(static_cast<uint8_t>(letter), size, decimals);
  };
  add("FAMIL", 'C', 20, 0);
  add("IMJA", 'C', 15, 0);
  add("SUMPAY", 'N', 12, 2);
  TDbfFile file;
  file.SetFileName(path);
  file.SetTableLevel(kTableLevel4);
  file.SetMode(TFileAccessMode::amExclusiveNew);
  file.Create(defs, ldid, 512);
  file.Close();
}

inline std::unique_ptr<TDbf> OpenTable(const std::string& path, bool exclusive = true) {
  auto table = std::make_unique<TDbf>();
  table->SetTableName(path);
  table->SetExclusive(exclusive);
  table->Open();
  return table;
}

// The register rows, appended in this physical order (record numbers 1..6).
inline void FillRegister(TDbf& table) {
  const std::vector<std::vector<core::Variant>> rows = {
      {"ПЕТРОВ", "Иван", 10.0},  {"АБРАМОВ", "Олег", 20.0}, {"ИВАНОВА", "Анна", 30.0},
      {"ИВАНОВ", "Петр", 40.0},  {"СИДОРОВ", "Петр", 50.0}, {"ИВАНОВСКИЙ", "Юрий", 60.0}};
  for (const auto& row : rows) table.AppendRecord(row);
}

inline std::string Famil(const TDbf& table) { return table.FieldByName("FAMIL").AsString(); }

// FAMIL of every visible record from the first to the last, in the dataset's order.
inline std::vector<std::string> Walk(TDbf& table) {
  std::vector<std::string> out;
  for (table.First(); !table.Eof(); table.Next()) out.push_back(Famil(table));
  return out;
}

}  // namespace lgoty::dbf::testing
