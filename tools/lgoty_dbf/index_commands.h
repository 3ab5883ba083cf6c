// The index commands of lgoty-dbf: building and dropping tags (or NDX files), walking a table
// in index order within a range, seeking a key, checking every tag, and filtering records by
// an expression. Output is JSON lines like the other commands.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "dbf/index_tag.h"

namespace lgoty::tools {

struct IndexSpec {
  std::string name;        // a tag of the production index, or an .ndx file (has an extension)
  std::string expression;
  dbf::TIndexKind kind = dbf::TIndexKind::ikNone;
  bool descending = false;
};

void IndexCommand(const std::string& path, const IndexSpec& desc, std::ostream& out);
void DropIndexCommand(const std::string& path, const std::string& name, std::ostream& out);
// Records in the order of index name, from the first key not less than from to the last key
// not greater than to (each compared over its own length, so prefixes work).
void DumpIndexCommand(const std::string& path, const std::string& name,
                      const std::optional<std::string>& from,
                      const std::optional<std::string>& to, bool raw, std::ostream& out);
// Prints the record found; false when there is none.
bool SeekCommand(const std::string& path, const std::string& name, const std::string& key,
                 bool partial, bool raw, std::ostream& out);
// One line per tag with its problems; false when any tag has one.
bool CheckCommand(const std::string& path, std::ostream& out);
void DumpFilterCommand(const std::string& path, const std::string& expression, bool with_deleted,
                       bool raw, std::ostream& out);

}  // namespace lgoty::tools
