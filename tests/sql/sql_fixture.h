// Helpers of the SQL tests: a scratch folder, small tables made field by field, demo
// registers from gen_register, and a snapshot of a folder's bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "core/date_time.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "dbf/memo_file.h"
#include "platform/file.h"

namespace lgoty::sql::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lgoty-sql-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // With a trailing separator, as the register program passes its folder.
  std::string Path() const { return path_.string() + "/"; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

struct FieldSpec {
  const char* name;
  char letter;
  int size;
  int decimals;
};

// A cell: text (UTF-8) for C fields (cut to the field's width) and M fields (written to the
// memo file), a number for N, "YYYYMMDD" for D, "T"/"F" for L; nullopt leaves the field blank.
using Cell = std::optional<std::string>;

struct RowSpec {
  std::vector<Cell> cells;
  bool deleted = false;
};

// Writes a level-4 table in code page 866 (LDID 0x65).
inline void MakeTable(const std::string& path, const std::vector<FieldSpec>& fields,
                      const std::vector<RowSpec>& rows) {
  dbf::TDbfFieldDefs defs(dbf::kTableLevel4);
  for (const FieldSpec& desc : fields) {
    dbf::TDbfFieldDef& def = defs.Add();
    def.SetFieldName(desc.name);
    def.SetNative(static_cast<uint8_t>(desc.letter), desc.size, desc.decimals);
  }
  dbf::TDbfFile file;
  file.SetFileName(path);
  file.SetMode(dbf::TFileAccessMode::amExclusiveNew);
  file.Create(defs, 0x65, dbf::kDefaultMemoBlockSize);
  std::vector<std::byte> record(file.RecordSize());
  for (const RowSpec& row : rows) {
    file.InitRecord(record);
    for (size_t i = 0; i < row.cells.size() && i < fields.size(); ++i) {
      if (!row.cells[i]) continue;
      const dbf::TDbfFieldDefs& made = file.FieldDefs();
      const dbf::TDbfFieldDef& def = made[static_cast<int>(i)];
      const size_t width = static_cast<size_t>(def.Size());
      if (fields[i].letter == 'M') {
        const std::string note = core::FromUtf8(866, *row.cells[i]);
        dbf::TFieldValue block;
        block.integer = file.MemoFile()->WriteValue(
            {reinterpret_cast<const std::byte*>(note.data()), note.size()}, 0, 0);
        dbf::SetFieldData(made, def, def.FieldType(), record, &block);
        continue;
      }
      std::string bytes = fields[i].letter == 'C' ? core::FromUtf8(866, *row.cells[i])
                                                  : *row.cells[i];
      bytes.resize(std::min(bytes.size(), width));
      // Numbers right-aligned, everything else left-aligned, as the codecs store them.
      const std::string padded =
          fields[i].letter == 'N' ? std::string(width - bytes.size(), ' ') + bytes
                                  : bytes + std::string(width - bytes.size(), ' ');
      for (size_t k = 0; k < width; ++k) {
        record[static_cast<size_t>(def.Offset()) + k] = static_cast<std::byte>(padded[k]);
      }
    }
    if (row.deleted) record[0] = std::byte{'*'};
    file.Insert(record);
  }
  file.Close();
}

inline std::string GenRegister() { return std::string(LGOTY_BINARY_DIR) + "/bin/gen_register"; }

// Writes a demo register with gen_register.
inline void MakeRegister(const std::string& path, int rows, const char* kind, int seed = 7) {
  const std::string command = GenRegister() + " --rows " + std::to_string(rows) + " --seed " +
                              std::to_string(seed) + " --kind " + kind + " '" + path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

inline std::string JetConnectionString(const std::string& folder) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder +
         "\";Extended Properties=dBASE IV;";
}

// Every file of the folder with its bytes.
inline std::map<std::string, std::vector<std::byte>> FolderBytes(const std::string& folder) {
  std::map<std::string, std::vector<std::byte>> out;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    out[entry.path().filename().string()] = platform::ReadWholeFile(entry.path().string());
  }
  return out;
}

}  // namespace lgoty::sql::testing
