// The query's kept cells: a value stored straight in a field type's canonical form must read
// back as the Variant conversion of the raw value gives it, for every type and storage class,
// and cells and texts must survive the store's block boundaries.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "sql/query_cells.h"
#include "tests/seeded_random.h"

namespace lgoty::sql {
namespace {

using core::Variant;
using data::TFieldType;
using Stored = TSqlStatement::TStoredValue;

// The raw Variant of a stored value, as the dataset made it before converting.
Variant RawOf(const Stored& stored) {
  switch (stored.type) {
    case SQLITE_INTEGER: return Variant(static_cast<int64_t>(stored.integer));
    case SQLITE_FLOAT: return Variant(stored.real);
    case SQLITE_TEXT: case SQLITE_BLOB: return Variant(std::string(stored.bytes));
    default: return Variant::Null();
  }
}

// Same kind and the same value bit for bit (a double's sign of zero included).
void ExpectSame(const Variant& got, const Variant& want) {
  ASSERT_EQ(static_cast<int>(got.kind()), static_cast<int>(want.kind()));
  switch (want.kind()) {
    case Variant::Kind::String:
      EXPECT_EQ(got.text(), want.text());
      break;
    case Variant::Kind::Double: case Variant::Kind::Date: {
      const double a = got.real(), b = want.real();
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << a << " vs " << b;
      break;
    }
    case Variant::Kind::Empty: case Variant::Kind::Null:
      break;
    default:
      EXPECT_EQ(got.ordinal(), want.ordinal());
      break;
  }
}

// Values of every storage class, the awkward ones first, then random ones; texts keep
// their bytes alive in `texts`.
std::vector<Stored> SampleValues(std::vector<std::string>& texts) {
  texts = {"", "Ёлкин", "2023-07-15", "2023-07-15 10:20:30", "2023-07-15 10:20:30.250",
           "2023-02-30", "15.07.2023", "12", "-3.5", std::string("a\0b", 3), "  ",
           std::string(300, 'x')};
  testing::SeededRandom random(7);
  for (int i = 0; i < 40; ++i) {
    std::string text;
    const uint32_t length = random.Below(40);
    for (uint32_t k = 0; k < length; ++k) text += static_cast<char>(random.Below(256));
    texts.push_back(text);
  }
  std::vector<Stored> values;
  values.push_back(Stored{});  // NULL
  for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{INT32_MAX}, int64_t{INT32_MAX} + 1,
                    int64_t{INT32_MIN}, int64_t{INT32_MIN} - 1, INT64_MAX, INT64_MIN}) {
    Stored v;
    v.type = SQLITE_INTEGER;
    v.integer = n;
    values.push_back(v);
  }
  for (double d : {0.0, -0.0, 0.5, -2.75, 1e15, -4294967296.5, 2147483647.9, 1e-300, 123.456}) {
    Stored v;
    v.type = SQLITE_FLOAT;
    v.real = d;
    values.push_back(v);
  }
  for (int i = 0; i < 200; ++i) {
    Stored v;
    v.type = SQLITE_INTEGER;
    v.integer = static_cast<int64_t>(random.Below(UINT32_MAX)) * (random.Below(2) ? 1 : -1) *
                (random.Below(3) == 0 ? 65536 : 1);
    values.push_back(v);
    Stored r;
    r.type = SQLITE_FLOAT;
    r.real = (static_cast<double>(random.Below(2000000)) - 1000000.0) / (1 + random.Below(1000));
    values.push_back(r);
  }
  for (const std::string& text : texts) {
    for (int type : {SQLITE_TEXT, SQLITE_BLOB}) {
      Stored v;
      v.type = type;
      v.bytes = text;
      values.push_back(v);
    }
  }
  return values;
}

TEST(QueryCells, CanonicalCellsReadAsTheVariantConversion) {
  std::vector<std::string> texts;
  const std::vector<Stored> values = SampleValues(texts);
  // Every type a declared column has, and two that keep the raw value.
  const TFieldType types[] = {TFieldType::ftString,  TFieldType::ftMemo,     TFieldType::ftBlob,
                              TFieldType::ftSmallint, TFieldType::ftInteger, TFieldType::ftLargeint,
                              TFieldType::ftFloat,   TFieldType::ftCurrency, TFieldType::ftBoolean,
                              TFieldType::ftDate,    TFieldType::ftDateTime, TFieldType::ftWord,
                              TFieldType::ftTime};
  TQueryCells cells;
  std::vector<Variant> expected;
  for (TFieldType type : types) {
    for (const Stored& value : values) {
      cells.AppendCanonical(value, type);
      expected.push_back(CanonicalValue(RawOf(value), type));
      cells.AppendRaw(value);
      expected.push_back(RawOf(value));
    }
  }
  ASSERT_EQ(cells.Size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("cell " + std::to_string(i));
    ExpectSame(cells.Value(i), expected[i]);
    // Whatever the Variant held before (a text's storage is reused for a text).
    for (const Variant& before : {Variant("left over"), Variant(std::string(200, 'z')), Variant(int32_t{5}),
                                  Variant(), Variant::Array({Variant("element")})}) {
      Variant read = before;
      EXPECT_EQ(cells.Read(i, read), !expected[i].IsEmptyOrNull());
      if (!expected[i].IsEmptyOrNull()) ExpectSame(read, expected[i]);
    }
  }
}

// Many cells and long texts: values cross the cell blocks and the text blocks (and texts
// that take a block of their own sit between short ones); replacing a cell keeps the others.
TEST(QueryCells, KeepValuesAcrossBlocksAndReplaceCells) {
  testing::SeededRandom random(11);
  TQueryCells cells;
  std::vector<Variant> expected;
  for (int i = 0; i < 30000; ++i) {
    Stored v;
    if (random.Below(5) == 0) {
      v.type = SQLITE_INTEGER;
      v.integer = random.Below(1000000);
      cells.AppendCanonical(v, TFieldType::ftInteger);
      expected.push_back(Variant(static_cast<int32_t>(v.integer)));
      continue;
    }
    const uint32_t length = random.Below(50) == 0 ? 60000 + random.Below(300000) : random.Below(64);
    std::string text(length, ' ');
    for (char& c : text) c = static_cast<char>('A' + random.Below(26));
    v.type = SQLITE_TEXT;
    v.bytes = text;
    cells.AppendCanonical(v, TFieldType::ftMemo);
    expected.push_back(Variant(text));
  }
  for (int i = 0; i < 500; ++i) {
    const size_t at = random.Below(static_cast<uint32_t>(expected.size()));
    Variant value = random.Below(3) == 0   ? Variant::Null()
                    : random.Below(2) == 0 ? Variant::FromDate(45000.25 + i)
                                           : Variant(std::string(random.Below(100), 'q'));
    cells.Set(at, value);
    expected[at] = value;
  }
  ASSERT_EQ(cells.Size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("cell " + std::to_string(i));
    ExpectSame(cells.Value(i), expected[i]);
  }
  cells.Clear();
  EXPECT_EQ(cells.Size(), 0u);
  Stored v;
  v.type = SQLITE_TEXT;
  v.bytes = "после";
  cells.AppendCanonical(v, TFieldType::ftString);
  ExpectSame(cells.Value(0), Variant("после"));
}

}  // namespace
}  // namespace lgoty::sql
