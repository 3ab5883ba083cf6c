// The order of an ORDER BY over text columns, worked out by the table scan itself instead of
// SQLite's sorter: the scan gathers each ordering column's values, the distinct values of a
// column are sorted once by the collation and numbered (values the collation holds equal get
// the same number, NULL gets 0), and the rows are then sorted by those numbers - a handful of
// integer comparisons per pair of rows instead of a collation call per column.
//
// The result is the order SQLite's sorter gives the same rows: its sort is stable (rows the
// terms hold equal keep the order in which the scan met them), NULL comes before every text,
// and a descending term reverses the comparison of its values only. The collation must be a
// consistent order (the locale collation is); a value's text is compared as the scan would
// hand it to SQLite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lgoty::sql {

// One ORDER BY term: the column (0-based, as declared) and its direction.
struct TOrderTerm {
  int column = 0;
  bool descending = false;
};

// "3,0d,1" for columns 3 ascending, 0 descending, 1 ascending; what travels in idxStr.
std::string EncodeOrderTerms(const std::vector<TOrderTerm>& terms);
// False for a text EncodeOrderTerms did not make.
bool DecodeOrderTerms(std::string_view text, std::vector<TOrderTerm>& terms);

// The values of one ordering column, row after row. Values are kept once each, by their
// stored bytes; the text the collation compares is made from them when the order is worked out.
class TOrderColumn {
 public:
  void AddNull() { ids_.push_back(0); }
  void Add(std::string_view stored);

  size_t Rows() const { return ids_.size(); }
  size_t Distinct() const { return stored_.size(); }

  // The rank of each row's value: 0 for NULL, else 1 + the number of distinct classes of
  // values before it. to_text makes the compared text from stored bytes; compare is the
  // collation (<0, 0, >0).
  std::vector<uint32_t> Ranks(
      const std::function<std::string(std::string_view)>& to_text,
      const std::function<int(std::string_view, std::string_view)>& compare) const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  std::vector<uint32_t> ids_;  // per row: 0 for NULL, else 1 + index in stored_
  std::unordered_map<std::string, uint32_t, Hash, std::equal_to<>> index_;
  std::vector<const std::string*> stored_;  // the distinct values, keys of index_
};

// The rows (0-based, in scan order) in the order of the terms: ranks[t][row] is the rank
// of row's value of term t. Rows whose ranks fit one 64-bit number together are sorted by
// that number; others as OrderRowsByComparison sorts them, with the same result.
std::vector<uint32_t> OrderRows(const std::vector<std::vector<uint32_t>>& ranks,
                                const std::vector<bool>& descending, size_t rows);
// The same order by a stable sort that compares the ranks term by term.
std::vector<uint32_t> OrderRowsByComparison(const std::vector<std::vector<uint32_t>>& ranks,
                                            const std::vector<bool>& descending, size_t rows);

}  // namespace lgoty::sql
