#include "sql/query_cells.h"

#include <sqlite3.h>

#include <charconv>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "sql/iso_date.h"

namespace lgoty::sql {

using core::Variant;
using data::TFieldType;
using Kind = core::Variant::Kind;

namespace {

std::string NumberText(double value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

TQueryCell IntegerCell(Kind kind, int64_t value) {
  TQueryCell cell;
  cell.kind = kind;
  cell.integer = value;
  return cell;
}

TQueryCell RealCell(Kind kind, double value) {
  TQueryCell cell;
  cell.kind = kind;
  cell.real = value;
  return cell;
}

// An integer column's value: Integer when 32 bits hold it, else Int64.
TQueryCell OrdinalCell(int64_t value) {
  const bool fits = value >= std::numeric_limits<int32_t>::min() &&
                    value <= std::numeric_limits<int32_t>::max();
  return IntegerCell(fits ? Kind::Integer : Kind::Int64, value);
}

}  // namespace

void TQueryCells::AddBlock() { cells_.push_back(std::make_unique<TQueryCell[]>(kCellsPerBlock)); }

const char* TQueryCells::KeepText(std::string_view text) {
  if (text.size() > std::numeric_limits<uint32_t>::max()) {
    throw std::length_error("a query value is too long to keep");
  }
  if (text.size() > text_left_) {
    // A long text gets a block of its own; the current block stays in use for short ones.
    if (text.size() > kTextBlock / 4) {
      char* own = texts_.emplace_back(new char[text.size()]).get();
      std::memcpy(own, text.data(), text.size());
      return own;
    }
    texts_.emplace_back(new char[kTextBlock]);
    text_at_ = texts_.back().get();
    text_left_ = kTextBlock;
  }
  char* at = text_at_;
  std::memcpy(at, text.data(), text.size());
  text_at_ += text.size();
  text_left_ -= text.size();
  return at;
}

TQueryCell TQueryCells::TextCell(std::string_view text) {
  TQueryCell cell;
  cell.kind = Kind::String;
  cell.size = static_cast<uint32_t>(text.size());
  cell.text = text.empty() ? nullptr : KeepText(text);
  return cell;
}

void TQueryCells::AppendRaw(const TSqlStatement::TStoredValue& stored) {
  switch (stored.type) {
    case SQLITE_INTEGER: Next() = IntegerCell(Kind::Int64, stored.integer); break;
    case SQLITE_FLOAT: Next() = RealCell(Kind::Double, stored.real); break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const TQueryCell cell = TextCell(stored.bytes);
      Next() = cell;
      break;
    }
    default: Next() = TQueryCell{}; break;
  }
}

// CanonicalValue(raw value of stored, type), cell for cell.
void TQueryCells::AppendCanonical(const TSqlStatement::TStoredValue& stored, TFieldType type) {
  const bool text = stored.type == SQLITE_TEXT || stored.type == SQLITE_BLOB;
  const bool real = stored.type == SQLITE_FLOAT;
  if (!text && !real && stored.type != SQLITE_INTEGER) {
    Next() = TQueryCell{};
    return;
  }
  TQueryCell cell;  // Null
  switch (type) {
    case TFieldType::ftString: case TFieldType::ftMemo: case TFieldType::ftBlob:
      if (text) cell = TextCell(stored.bytes);
      else if (real) cell = TextCell(NumberText(stored.real));
      else cell = TextCell(std::to_string(stored.integer));
      break;
    case TFieldType::ftSmallint: case TFieldType::ftInteger:
      if (!text) cell = OrdinalCell(real ? static_cast<int64_t>(stored.real) : stored.integer);
      break;
    case TFieldType::ftLargeint:
      if (!text) {
        cell = IntegerCell(Kind::Int64, real ? static_cast<int64_t>(stored.real) : stored.integer);
      }
      break;
    case TFieldType::ftFloat: case TFieldType::ftCurrency:
      if (!text) {
        cell = RealCell(Kind::Double, real ? stored.real : static_cast<double>(stored.integer));
      }
      break;
    case TFieldType::ftBoolean:
      if (!text) cell = IntegerCell(Kind::Boolean, (real ? stored.real != 0 : stored.integer != 0));
      break;
    case TFieldType::ftDate: case TFieldType::ftDateTime: {
      core::TDateTime value = 0;
      if (text && ParseIsoDateTime(stored.bytes, value)) cell = RealCell(Kind::Date, value);
      break;
    }
    default:
      AppendRaw(stored);
      return;
  }
  Next() = cell;
}

void TQueryCells::Set(size_t index, const Variant& value) {
  TQueryCell cell;
  cell.kind = value.kind();
  switch (value.kind()) {
    case Kind::Empty: case Kind::Null:
      break;
    case Kind::Smallint: case Kind::Integer: case Kind::Int64: case Kind::Currency:
    case Kind::Boolean:
      cell.integer = value.ordinal();
      break;
    case Kind::Double: case Kind::Date:
      cell.real = value.real();
      break;
    case Kind::String:
      cell = TextCell(value.text());
      break;
    case Kind::Object: case Kind::Array:
      throw std::logic_error("a query keeps no objects or arrays");
  }
  cells_[index >> kCellShift][index & (kCellsPerBlock - 1)] = cell;
}

bool TQueryCells::Read(size_t index, Variant& out) const {
  const TQueryCell& cell = (*this)[index];
  switch (cell.kind) {
    case Kind::Empty: case Kind::Null: return false;
    case Kind::Smallint: out = Variant::FromSmallint(static_cast<int16_t>(cell.integer)); break;
    case Kind::Integer: out = Variant(static_cast<int32_t>(cell.integer)); break;
    case Kind::Int64: out = Variant(cell.integer); break;
    case Kind::Currency: out = Variant::FromCurrency(cell.integer); break;
    case Kind::Boolean: out = Variant(cell.integer != 0); break;
    case Kind::Double: out = Variant(cell.real); break;
    case Kind::Date: out = Variant::FromDate(cell.real); break;
    case Kind::String: out.AssignText(std::string_view(cell.text, cell.size)); break;
    case Kind::Object: case Kind::Array: return false;  // never kept
  }
  return true;
}

Variant TQueryCells::Value(size_t index) const {
  Variant value;
  if (!Read(index, value)) return (*this)[index].kind == Kind::Empty ? Variant() : Variant::Null();
  return value;
}

void TQueryCells::Clear() {
  cells_.clear();
  cells_.shrink_to_fit();
  size_ = 0;
  texts_.clear();
  texts_.shrink_to_fit();
  text_at_ = nullptr;
  text_left_ = 0;
}

Variant CanonicalValue(Variant raw, TFieldType type) {
  if (raw.IsNull()) return raw;
  const bool text = raw.IsString();
  switch (type) {
    case TFieldType::ftString: case TFieldType::ftMemo: case TFieldType::ftBlob:
      if (text) return raw;
      if (raw.kind() == Kind::Double) return Variant(NumberText(raw.real()));
      return Variant(std::to_string(raw.ordinal()));
    case TFieldType::ftSmallint: case TFieldType::ftInteger: {
      if (text) return Variant::Null();
      const int64_t v = raw.kind() == Kind::Double ? static_cast<int64_t>(raw.real())
                                                   : raw.ordinal();
      if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        return Variant(v);
      }
      return Variant(static_cast<int32_t>(v));
    }
    case TFieldType::ftLargeint:
      if (text) return Variant::Null();
      if (raw.kind() == Kind::Double) return Variant(static_cast<int64_t>(raw.real()));
      return raw;
    case TFieldType::ftFloat: case TFieldType::ftCurrency:
      if (text) return Variant::Null();
      if (raw.kind() == Kind::Double) return raw;
      return Variant(static_cast<double>(raw.ordinal()));
    case TFieldType::ftBoolean:
      if (text) return Variant::Null();
      return Variant(raw.kind() == Kind::Double ? raw.real() != 0 : raw.ordinal() != 0);
    case TFieldType::ftDate: case TFieldType::ftDateTime: {
      core::TDateTime value = 0;
      if (text && ParseIsoDateTime(raw.text(), value)) return Variant::FromDate(value);
      return Variant::Null();
    }
    default:
      return raw;
  }
}

}  // namespace lgoty::sql
