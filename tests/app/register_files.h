// Small registers for the command and window tests, written through the table engine's data
// file as the demo generator writes them (level 4, code page 866 text).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "core/code_page.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "platform/system.h"

namespace lgoty::app::testing {

struct Person {
  std::string famil;
  std::string sumpay;  // as the file stores it ("100.00"); empty: blank
  std::string imja = "Иван";
  std::string number = "ЛС 000001";
};

// Field names of the register in order; the 8th decides the kind.
inline std::vector<std::string> MedicinesFields() {
  return {"FAMIL", "IMJA", "OTCH", "PYNKAR", "DOC_SER", "DOC_NUM", "SUMPAY", "RECEPT", "DATERCPT"};
}
inline std::vector<std::string> DentalFields() {
  return {"FAMIL", "IMJA", "OTCH", "PYNKAR", "DOC_SER", "DOC_NUM", "SUMPAY", "NARYD", "DATENRD"};
}

// Writes a register at path with the given fields (SUMPAY numeric, *DAT* date, the rest
// text) and rows. The LDID byte is `ldid` so that tests can see the stamp change it.
inline void WriteRegister(const std::string& path, const std::vector<std::string>& fields,
                          const std::vector<Person>& people, uint8_t ldid = 0x65) {
  namespace dbf = lgoty::dbf;
  std::filesystem::remove(path);
  std::filesystem::remove(platform::ChangeFileExt(path, ".mdx"));
  dbf::TDbfFieldDefs defs(dbf::kTableLevel4);
  for (const std::string& name : fields) {
    dbf::TDbfFieldDef& def = defs.Add();
    def.SetFieldName(name);
    if (name == "SUMPAY") def.SetNative('N', 12, 2);
    else if (name.rfind("DATE", 0) == 0) def.SetNative('D', 8, 0);
    else def.SetNative('C', 25, 0);
  }
  dbf::TDbfFile file;
  file.SetFileName(path);
  file.SetMode(dbf::TFileAccessMode::amExclusiveNew);
  file.SetTableLevel(dbf::kTableLevel4);
  file.Create(defs, 0x65, dbf::kDefaultMemoBlockSize);
  std::vector<std::byte> record(file.RecordSize());
  auto put_text = [&](const std::string& name, const std::string& utf8) {
    for (int i = 0; i < defs.Count(); ++i) {
      if (defs[i].FieldName() != name) continue;
      dbf::TFieldValue v;
      v.text = core::FromUtf8(866, utf8);
      dbf::SetFieldData(file.FieldDefs(), file.FieldDefs()[i], data::TFieldType::ftString, record,
                        &v);
    }
  };
  auto put_raw = [&](const std::string& name, const std::string& text) {
    for (int i = 0; i < defs.Count(); ++i) {
      const dbf::TDbfFieldDef& def = file.FieldDefs()[i];
      if (def.FieldName() != name) continue;
      const size_t width = static_cast<size_t>(def.Size());
      const std::string padded = std::string(width - text.size(), ' ') + text;
      for (size_t k = 0; k < width; ++k)
        record[static_cast<size_t>(def.Offset()) + k] = static_cast<std::byte>(padded[k]);
    }
  };
  for (const Person& p : people) {
    file.InitRecord(record);
    put_text("FAMIL", p.famil);
    put_text("IMJA", p.imja);
    put_text(fields.size() >= 8 ? fields[7] : "RECEPT", p.number);
    put_raw("SUMPAY", p.sumpay);
    file.Insert(record);
  }
  file.Close();
  // The header's language driver byte as the test wants it before the stamp, and field
  // names in the letter case asked for (the engine writes them in capitals; other tools
  // do not).
  if (FILE* f = std::fopen(path.c_str(), "r+b")) {
    std::fseek(f, 29, SEEK_SET);
    std::fputc(ldid, f);
    for (size_t i = 0; i < fields.size(); ++i) {
      std::fseek(f, static_cast<long>(32 + 32 * i), SEEK_SET);
      std::fwrite(fields[i].data(), 1, fields[i].size(), f);
    }
    std::fclose(f);
  }
}

inline int ReadByte29(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::fseek(f, 29, SEEK_SET);
  const int c = std::fgetc(f);
  std::fclose(f);
  return c;
}

// A fresh folder for one test's files. The process id is part of the name, so two test
// runs at once (two checkouts, or a developer's run beside CI) never share or delete each
// other's files; the folders a process made are removed when it exits.
inline std::string TestFolder(const std::string& name) {
  struct Made {
    std::vector<std::string> folders;
    ~Made() {
      std::error_code ignored;
      for (const std::string& folder : folders) std::filesystem::remove_all(folder, ignored);
    }
  };
  static Made made;
  const std::string folder = platform::TempFolder() + "lgoty_app_" + std::to_string(::getpid()) +
                             "_" + name + "/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  made.folders.push_back(folder);
  return folder;
}

}  // namespace lgoty::app::testing
