// The commands of lgoty-dbf. Each writes JSON lines to out and throws (core::Exception or an
// engine error) on failure; the caller prints the message and exits non-zero. Commands that
// change a table check all their input before the first write.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace lgoty::tools {

struct TableOptions {
  bool shared = false;  // open shared instead of exclusive (commands that write)
  bool raw = false;     // binary memos as hexadecimal text
  bool truncate = false;  // store what fits of values too long or too precise for their field
};

void InfoCommand(const std::string& path, std::ostream& out);
void DumpCommand(const std::string& path, bool with_deleted, const TableOptions& options,
                 std::ostream& out);
// Records that are not deleted, how many of them hold a non-zero value, and the sum.
void SumCommand(const std::string& path, const std::string& field, std::ostream& out);

struct FieldSpec {
  std::string name;
  char letter = 'C';
  int length = 0;
  int decimals = 0;
};
// Parses "NAME:LETTER:LEN[:DEC]".
FieldSpec ParseFieldSpec(const std::string& text);
void CreateCommand(const std::string& path, int level, uint8_t ldid,
                   const std::vector<FieldSpec>& fields, bool overwrite, std::ostream& out);

// One JSON object per non-empty line of in.
void AppendCommand(const std::string& path, std::istream& in, const TableOptions& options,
                   std::ostream& out);
void SetCommand(const std::string& path, uint32_t recno,
                const std::vector<std::pair<std::string, std::string>>& assignments,
                const TableOptions& options, std::ostream& out);
void DeleteCommand(const std::string& path, uint32_t recno, const TableOptions& options,
                   std::ostream& out);

}  // namespace lgoty::tools
