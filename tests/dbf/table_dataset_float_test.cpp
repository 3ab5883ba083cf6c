// Float fields of a table dataset read their number straight from the record (no Variant):
// the number must be the one the Variant way gives, bit for bit, in every state a field is
// read in.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/byte_codec.h"
#include "data/typed_fields.h"
#include "platform/file.h"
#include "tests/dbf/table_dataset_support.h"

namespace lgoty::dbf {
namespace {

using testing::CreateRegister;
using testing::FillRegister;
using testing::OpenTable;
using testing::ScratchFolder;

// What AsFloat gave before the shortcut: the Variant, null as 0.
double ThroughVariant(const data::TField& field) {
  const core::Variant value = field.AsVariant();
  return value.IsEmptyOrNull() ? 0 : value.AsDouble();
}

void ExpectSameBits(double got, double want, const std::string& where) {
  EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want))
      << where << ": " << got << " vs " << want;
}

// A FoxPro table with nullable fields: AMT N8.2 (null bit 0), DBL B8 (null bit 1), CUR Y8,
// and the _NullFlags byte.
constexpr size_t kFoxRecordLength = 1 + 8 + 8 + 8 + 1;

struct FoxRow {
  char flag;
  const char* amt;  // 8 characters
  double dbl;
  int64_t cur;      // scaled by 10 000
  uint8_t nulls;
};

void WriteFoxTable(const std::string& path, const std::vector<FoxRow>& rows) {
  const size_t header_length = 32 + 4 * 32 + 1 + 263;
  std::vector<std::byte> bytes(header_length, std::byte{0});
  bytes[0] = std::byte{0x30};
  bytes[29] = std::byte{0x65};
  core::PutU32LE(bytes, 4, static_cast<uint32_t>(rows.size()));
  core::PutU16LE(bytes, 8, static_cast<uint16_t>(header_length));
  core::PutU16LE(bytes, 10, static_cast<uint16_t>(kFoxRecordLength));
  const std::tuple<const char*, char, int, int, int> fields[] = {
      {"AMT", 'N', 8, 2, 2}, {"DBL", 'B', 8, 0, 2}, {"CUR", 'Y', 8, 4, 0},
      {"_NullFlags", '0', 1, 0, 5}};
  size_t at = 32;
  uint32_t offset = 1;
  for (auto& [name, letter, length, decimals, flags] : fields) {
    for (size_t i = 0; name[i] != 0; ++i) bytes[at + i] = static_cast<std::byte>(name[i]);
    bytes[at + 11] = static_cast<std::byte>(letter);
    core::PutU32LE(bytes, at + 12, offset);
    bytes[at + 16] = static_cast<std::byte>(length);
    bytes[at + 17] = static_cast<std::byte>(decimals);
    bytes[at + 18] = static_cast<std::byte>(flags);
    offset += static_cast<uint32_t>(length);
    at += 32;
  }
  bytes[at] = std::byte{0x0D};
  for (const FoxRow& row : rows) {
    std::vector<std::byte> record(kFoxRecordLength);
    record[0] = static_cast<std::byte>(row.flag);
    std::memcpy(record.data() + 1, row.amt, 8);
    std::memcpy(record.data() + 9, &row.dbl, 8);
    std::memcpy(record.data() + 17, &row.cur, 8);
    record[25] = static_cast<std::byte>(row.nulls);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  bytes.push_back(std::byte{0x1A});
  platform::WriteWholeFile(path, bytes);
}

TEST(TableDatasetFloat, NumbersNullBitsBlanksAndCurrencyReadAsTheVariantWayReadsThem) {
  ScratchFolder folder;
  const std::string path = folder.File("fox.dbf");
  WriteFoxTable(path, {
                          {' ', "   12.50", -3.25, 12345678, 0},
                          {' ', "   12.50", 7.5, -1, 0x03},  // both amounts null by bit
                          {' ', "        ", 0.0, 0, 0},      // blank number, no bit
                          {' ', "   -0.00", -0.0, 5, 0},
                          {' ', "    1e-2", 1e300, 0, 0},     // not the plain layout
                          {' ', "  **.**", 2.0, 0, 0},        // overflow stars
                      });
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  data::TField& amt = table.FieldByName("AMT");
  data::TField& dbl = table.FieldByName("DBL");
  data::TField& cur = table.FieldByName("CUR");
  ASSERT_NE(dynamic_cast<data::TFloatField*>(&amt), nullptr);
  ASSERT_NE(dynamic_cast<data::TFloatField*>(&dbl), nullptr);
  std::vector<double> amounts;
  int n = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    ++n;
    for (data::TField* field : {&amt, &dbl, &cur}) {
      ExpectSameBits(field->AsFloat(), ThroughVariant(*field),
                     field->FieldName() + " of record " + std::to_string(n));
    }
    amounts.push_back(amt.AsFloat());
  }
  ASSERT_EQ(n, 6);
  EXPECT_EQ(amounts[0], 12.5);
  EXPECT_EQ(amounts[1], 0.0);
  EXPECT_EQ(amounts[2], 0.0);
  table.First();
  EXPECT_EQ(dbl.AsFloat(), -3.25);
  EXPECT_NEAR(cur.AsFloat(), 1234.5678, 1e-9);
  table.Next();
  EXPECT_TRUE(amt.IsNull());
  EXPECT_TRUE(dbl.IsNull());
  EXPECT_EQ(dbl.AsFloat(), 0.0);
}

// The register with a calculated float beside SUMPAY: every way a field is read (the active
// record, an edit, the record a filter tests, the record being calculated) reads its own
// buffer.
struct RegisterFloats : ::testing::Test {
  ScratchFolder folder;
  std::string path = folder.File("reg.dbf");
  void SetUp() override {
    CreateRegister(path);
    auto table = OpenTable(path);
    FillRegister(*table);
  }
};

TEST_F(RegisterFloats, EditFilterAndCalculatedFieldsReadTheirOwnRecord) {
  TDbf table;
  table.SetTableName(path);
  for (int i = 0; i < table.FieldDefs().Count(); ++i)
    table.CreatePersistentField(table.FieldDefs()[i]);
  data::TField& half = table.AddField(std::make_unique<data::TFloatField>("HALF"));
  half.SetFieldKind(data::TFieldKind::fkCalculated);
  std::vector<double> calculated_from;
  table.OnCalcFields = [&](data::TDataSet& d) {
    const double sumpay = d.FieldByName("SUMPAY").AsFloat();
    calculated_from.push_back(sumpay);
    d.FieldByName("HALF").SetAsFloat(sumpay / 2);
  };
  std::vector<double> tested;
  table.OnFilterRecord = [&](data::TDataSet& d, bool& accept) {
    const double sumpay = d.FieldByName("SUMPAY").AsFloat();
    tested.push_back(sumpay);
    accept = sumpay > 25;
  };
  table.Open();
  data::TField& sumpay = table.FieldByName("SUMPAY");

  std::vector<double> halves;
  for (table.First(); !table.Eof(); table.Next()) halves.push_back(half.AsFloat());
  EXPECT_EQ(halves, (std::vector<double>{5, 10, 15, 20, 25, 30}));
  EXPECT_EQ(calculated_from.front(), 10.0);

  table.SetFiltered(true);
  std::vector<double> shown;
  for (table.First(); !table.Eof(); table.Next()) shown.push_back(sumpay.AsFloat());
  EXPECT_EQ(shown, (std::vector<double>{30, 40, 50, 60}));
  EXPECT_NE(std::find(tested.begin(), tested.end(), 10.0), tested.end());

  table.First();
  table.Edit();
  sumpay.SetAsFloat(99.5);
  EXPECT_EQ(sumpay.AsFloat(), 99.5);
  sumpay.Clear();
  EXPECT_EQ(sumpay.AsFloat(), 0.0);
  EXPECT_TRUE(sumpay.IsNull());
  table.Cancel();
  EXPECT_EQ(sumpay.AsFloat(), 30.0);
}

}  // namespace
}  // namespace lgoty::dbf
