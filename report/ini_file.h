// TIniFile: the settings file a template script may read and write.
//
// File layout (text, bytes kept as they are, lines end in CR LF when written):
//   ; comment                     kept where it stands
//   [Section]                     blanks around the name are dropped
//   Key=Value                     blanks around the key and the value are dropped
// Section and key names compare without regard to letter case; the first of two equal
// names wins. Lines before the first section and lines that are neither a section nor a
// pair are kept as they are and written back unchanged.
//
// The whole file is read when the object is made (a missing file is an empty one). TIniFile
// writes the file again after every change, as a profile file is written; TMemIniFile
// only on UpdateFile. Reading never fails on the file's contents; a file that cannot be
// written raises the platform's error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "core/string_list.h"

namespace lgoty::report {

class TIniFile : public core::TObject {
 public:
  explicit TIniFile(std::string file_name);
  const char* ClassName() const override { return "TIniFile"; }
  const std::string& FileName() const { return file_name_; }

  std::string ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  // Decimal or hexadecimal ("$1F", "0x1F"); the default when the text is not a number.
  int64_t ReadInteger(std::string_view section, std::string_view ident, int64_t def) const;
  void WriteInteger(std::string_view section, std::string_view ident, int64_t value);
  // Read as an integer: not 0 is true. Written as "1" or "0".
  bool ReadBool(std::string_view section, std::string_view ident, bool def) const;
  void WriteBool(std::string_view section, std::string_view ident, bool value);
  // In the user's number format.
  double ReadFloat(std::string_view section, std::string_view ident, double def) const;
  void WriteFloat(std::string_view section, std::string_view ident, double value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view ident) const;
  // Key names of a section; the sections' names; "Key=Value" lines of a section.
  void ReadSection(std::string_view section, core::TStringList& out) const;
  void ReadSections(core::TStringList& out) const;
  void ReadSectionValues(std::string_view section, core::TStringList& out) const;
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view ident);
  // Writes the file as it is now.
  void UpdateFile();

 protected:
  TIniFile(std::string file_name, bool write_through);

 private:
  struct Line {
    std::string key;   // empty: a raw line
    std::string text;  // the value, or the whole raw line
  };
  struct Section {
    std::string name;  // empty for the lines before the first section
    bool header = false;
    std::vector<Line> lines;
  };
  const Section* FindSection(std::string_view name) const;
  const Line* FindLine(std::string_view section, std::string_view ident) const;
  void Changed();

  std::string file_name_;
  bool write_through_;
  std::vector<Section> sections_;
};

// The same file kept in memory until UpdateFile.
class TMemIniFile final : public TIniFile {
 public:
  explicit TMemIniFile(std::string file_name) : TIniFile(std::move(file_name), false) {}
  const char* ClassName() const override { return "TMemIniFile"; }
};

}  // namespace lgoty::report
