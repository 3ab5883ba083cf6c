// The verifier of index files: walks every tag of an index and reports each broken
// invariant of dbf/index_tag.h, and, against the table, every entry whose key is not its
// record's and every record missing from a tag that must hold it:
//   - kind none: every record (deleted ones too) exactly once;
//   - kind distinct: every record not marked deleted exactly once, no deleted record;
//   - kind unique: no record twice and no key twice (which record holds a key depends on
//     the order of the changes, so a record may be missing).
// Used by `lgoty-dbf check` and by the randomized tests. Never throws for bad bytes: damage
// is reported as a problem.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lgoty::dbf {

class TIndexFile;
class TIndexTag;

struct TIndexCheckOptions {
  bool check_records = true;   // compare with the table's records
  size_t max_problems = 50;    // stop listing after this many
};

// Problems of one tag ("tag NAME: ..."), empty when it is sound.
std::vector<std::string> CheckIndexTag(TIndexFile& index, TIndexTag& tag,
                                       const TIndexCheckOptions& options = {});
// Problems of every tag of index.
std::vector<std::string> CheckIndexFile(TIndexFile& index, const TIndexCheckOptions& options = {});

}  // namespace lgoty::dbf
