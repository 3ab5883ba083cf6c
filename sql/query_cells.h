// The rows a query dataset keeps, without a Variant per value: a cell of 16 bytes holds a
// value's kind and its number, or where its text stands in blocks of text kept by the store.
// A result of a hundred thousand rows of register columns then costs two allocations per
// 4096 cells and per 256 KiB of text instead of two per text value (the Variant's string and
// its buffer), and its memory is a third of what Variants take. A read makes the Variant the
// dataset hands out, as the copy of a kept Variant did.
//
// The canonical form of a field type (what the dataset's fields exchange) is made straight
// from the value SQLite stored (CanonicalCell); CanonicalValue is the same conversion on
// Variants, for the values of expression columns whose type is known only at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/variant.h"
#include "data/field_defs.h"
#include "sql/sql_engine.h"

namespace lgoty::sql {

// A kept value: Null, Integer, Int64, Double, Date, Boolean or String (the kinds a query's
// fields hold); Smallint and Currency are kept too. A text points into its store's blocks.
struct TQueryCell {
  core::Variant::Kind kind = core::Variant::Kind::Null;
  uint32_t size = 0;  // bytes of a text
  union {
    int64_t integer = 0;  // Smallint, Integer, Int64, Currency (scaled), Boolean (0/1)
    double real;          // Double, Date
    const char* text;     // String
  };
};

class TQueryCells {
 public:
  TQueryCells() = default;
  TQueryCells(TQueryCells&&) noexcept = default;
  TQueryCells& operator=(TQueryCells&&) noexcept = default;

  size_t Size() const { return size_; }
  const TQueryCell& operator[](size_t index) const {
    return cells_[index >> kCellShift][index & (kCellsPerBlock - 1)];
  }

  // The stored value in the canonical form of type (see CanonicalValue).
  void AppendCanonical(const TSqlStatement::TStoredValue& stored, data::TFieldType type);
  // The stored value as it is: Int64, Double, String (text and blob) or Null.
  void AppendRaw(const TSqlStatement::TStoredValue& stored);
  // Replaces a cell by a value (Empty, Null, numbers, Date, Boolean, String).
  void Set(size_t index, const core::Variant& value);

  // False for Null (and Empty); else out = the value (a text into out's own storage).
  bool Read(size_t index, core::Variant& out) const;
  // The value, Null for a Null cell.
  core::Variant Value(size_t index) const;

  void Clear();

 private:
  static constexpr size_t kCellShift = 12;
  static constexpr size_t kCellsPerBlock = size_t{1} << kCellShift;
  static constexpr size_t kTextBlock = 256u << 10;

  // The cell after the last, in a new block when the last block is full.
  TQueryCell& Next() {
    const size_t block = size_ >> kCellShift;
    if (block == cells_.size()) AddBlock();
    return cells_[block][size_++ & (kCellsPerBlock - 1)];
  }
  void AddBlock();
  const char* KeepText(std::string_view text);
  TQueryCell TextCell(std::string_view text);

  std::vector<std::unique_ptr<TQueryCell[]>> cells_;
  size_t size_ = 0;
  std::vector<std::unique_ptr<char[]>> texts_;
  char* text_at_ = nullptr;
  size_t text_left_ = 0;
};

// The canonical Variant of type for a raw value (Int64, Double, String or Null): Null stays
// Null, a value that cannot be read as the type becomes Null. Strings, memos and blobs keep
// text and give numbers as text; integer types take numbers (Integer when 32 bits hold it,
// else Int64), floats and currency Double, booleans non-zero, dates ISO text.
core::Variant CanonicalValue(core::Variant raw, data::TFieldType type);

}  // namespace lgoty::sql
