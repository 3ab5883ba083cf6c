#include "dbf/field_defs.h"

#include <gtest/gtest.h>

#include "dbf/dbf_errors.h"

namespace lgoty::dbf {
namespace {

using data::TFieldType;

TDbfFieldDef ReadDef(int level, char letter, int size, int precision) {
  TDbfFieldDef def(level);
  def.SetFieldName("f");
  def.SetNative(static_cast<uint8_t>(letter), size, precision);
  return def;
}

TEST(FieldDefs, NumericTypeFollowsLengthAndDecimals) {
  EXPECT_EQ(ReadDef(4, 'N', 4, 0).FieldType(), TFieldType::ftSmallint);
  EXPECT_EQ(ReadDef(4, 'N', 5, 0).FieldType(), TFieldType::ftInteger);
  EXPECT_EQ(ReadDef(4, 'N', 9, 0).FieldType(), TFieldType::ftInteger);
  EXPECT_EQ(ReadDef(4, 'N', 10, 0).FieldType(), TFieldType::ftLargeint);
  EXPECT_EQ(ReadDef(4, 'F', 12, 2).FieldType(), TFieldType::ftFloat);
  EXPECT_EQ(ReadDef(4, 'N', 1, 0).FieldType(), TFieldType::ftSmallint);
}

TEST(FieldDefs, LetterToDatasetTypeDependsOnLevel) {
  EXPECT_EQ(ReadDef(25, 'B', 8, 0).FieldType(), TFieldType::ftFloat);
  EXPECT_EQ(ReadDef(4, 'B', 10, 0).FieldType(), TFieldType::ftBlob);
  EXPECT_EQ(ReadDef(7, '+', 4, 0).FieldType(), TFieldType::ftAutoInc);
  EXPECT_EQ(ReadDef(4, '+', 4, 0).NativeFieldType(), 0);
  EXPECT_EQ(ReadDef(4, '+', 4, 0).FieldType(), TFieldType::ftUnknown);
  EXPECT_EQ(ReadDef(4, 'G', 10, 0).FieldType(), TFieldType::ftDBaseOle);
  EXPECT_EQ(ReadDef(7, '@', 8, 0).FieldType(), TFieldType::ftDateTime);
  EXPECT_EQ(ReadDef(25, '0', 1, 0).FieldType(), TFieldType::ftBytes);
  EXPECT_EQ(ReadDef(4, static_cast<char>(0x91), 5, 0).FieldType(), TFieldType::ftString);
  for (char unknown : {'J', 'K', 'X', '\0'}) {
    const TDbfFieldDef def = ReadDef(4, unknown, 5, 0);
    EXPECT_EQ(def.NativeFieldType(), 0) << unknown;
    EXPECT_EQ(def.FieldType(), TFieldType::ftUnknown) << unknown;
  }
}

TEST(FieldDefs, CurrencyReadsAsBcdUnlessSwitchedOff) {
  EXPECT_EQ(ReadDef(25, 'Y', 8, 4).FieldType(), TFieldType::ftBCD);
  SetCurrencyAsBCD(false);
  EXPECT_EQ(ReadDef(25, 'Y', 8, 4).FieldType(), TFieldType::ftCurrency);
  SetCurrencyAsBCD(true);
}

TEST(FieldDefs, LowerCaseLetterIsStoredUpperCased) {
  const TDbfFieldDef def = ReadDef(4, 'c', 12, 0);
  EXPECT_EQ(def.NativeFieldType(), 'C');
  EXPECT_EQ(def.FieldName(), "F");
}

struct SizeRule {
  int level;
  char letter;
  int size, precision;
  int want_size, want_precision;
};

TEST(FieldDefs, SizeRulesApplyOnEveryChange) {
  const SizeRule rules[] = {
      {7, '+', 9, 2, 4, 0},    {7, 'I', 10, 1, 4, 0},  {7, '@', 3, 2, 8, 0},
      {4, 'D', 10, 0, 8, 0},   {7, 'O', 4, 3, 8, 0},   {25, 'B', 8, 3, 8, 3},
      {4, 'B', 8, 3, 10, 0},   {4, 'C', 300, 2, 255, 0}, {25, 'C', 300, 0, 300, 0},
      {25, 'C', 70000, 0, 65535, 0}, {4, 'N', 25, 10, 20, 10}, {4, 'N', 0, 0, 1, 0},
      {4, 'N', 5, 4, 5, 3},    {4, 'F', 2, 2, 2, 0},   {25, 'M', 4, 0, 4, 0},
      {25, 'M', 10, 0, 10, 0}, {25, 'G', 7, 0, 4, 0},  {4, 'M', 4, 2, 10, 0},
      {4, 'L', 5, 1, 1, 0},    {25, 'T', 4, 0, 8, 0},  {4, 'T', 4, 0, 14, 0},
      {25, 'Y', 3, 1, 8, 4},
  };
  for (const SizeRule& r : rules) {
    const TDbfFieldDef def = ReadDef(r.level, r.letter, r.size, r.precision);
    EXPECT_EQ(def.Size(), r.want_size) << r.letter << " level " << r.level;
    EXPECT_EQ(def.Precision(), r.want_precision) << r.letter << " level " << r.level;
  }
  TDbfFieldDef def = ReadDef(4, 'N', 10, 2);
  def.SetSize(3);
  EXPECT_EQ(def.Precision(), 1);
  EXPECT_EQ(def.FieldType(), TFieldType::ftFloat);
  def.SetPrecision(0);
  EXPECT_EQ(def.FieldType(), TFieldType::ftSmallint);
}

TEST(FieldDefs, DatasetTypeChoosesLetterForLevel) {
  struct Case {
    TFieldType type;
    int level;
    char letter;
    int size, precision;
  };
  const Case cases[] = {
      {TFieldType::ftString, 4, 'C', 30, 0},     {TFieldType::ftWideString, 4, 'C', 30, 0},
      {TFieldType::ftSmallint, 4, 'N', 4, 0},    {TFieldType::ftWord, 3, 'N', 4, 0},
      {TFieldType::ftInteger, 4, 'N', 9, 0},     {TFieldType::ftInteger, 7, 'I', 4, 0},
      {TFieldType::ftFloat, 4, 'N', 18, 8},      {TFieldType::ftLargeint, 4, 'N', 18, 0},
      {TFieldType::ftBoolean, 4, 'L', 1, 0},     {TFieldType::ftCurrency, 25, 'Y', 8, 4},
      {TFieldType::ftBCD, 25, 'Y', 8, 4},        {TFieldType::ftDate, 4, 'D', 8, 0},
      {TFieldType::ftDateTime, 7, '@', 8, 0},    {TFieldType::ftDateTime, 25, 'T', 8, 0},
      {TFieldType::ftDateTime, 4, 'D', 8, 0},    {TFieldType::ftAutoInc, 7, '+', 4, 0},
      {TFieldType::ftBlob, 4, 'B', 10, 0},       {TFieldType::ftMemo, 4, 'M', 10, 0},
      {TFieldType::ftMemo, 25, 'M', 4, 0},       {TFieldType::ftDBaseOle, 4, 'G', 10, 0},
  };
  for (const Case& c : cases) {
    TDbfFieldDef def(c.level);
    def.SetFieldName("x");
    def.SetFieldType(c.type);
    EXPECT_EQ(def.NativeFieldType(), c.letter) << static_cast<int>(c.type);
    EXPECT_EQ(def.FieldType(), c.type);
    EXPECT_EQ(def.Size(), c.size) << static_cast<int>(c.type) << " level " << c.level;
    EXPECT_EQ(def.Precision(), c.precision) << static_cast<int>(c.type);
  }
  TDbfFieldDef sized(4);
  sized.SetSize(12);
  sized.SetFieldType(TFieldType::ftString);
  EXPECT_EQ(sized.Size(), 12);
}

TEST(FieldDefs, UnsupportedDatasetTypeIsRefusedWithItsOrdinalInHex) {
  TDbfFieldDef def(4);
  def.SetFieldName("Amount");
  try {
    def.SetFieldType(TFieldType::ftCurrency);
    FAIL() << "currency has no letter at level 4";
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot create field \"AMOUNT\", VCL field type 7 not supported by DBF.");
  }
  EXPECT_EQ(def.NativeFieldType(), 0);
  try {
    def.SetFieldType(TFieldType::ftADT);
    FAIL();
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot create field \"AMOUNT\", VCL field type 1A not supported by DBF.");
  }
}

TEST(FieldDefs, NewAutoIncrementCountsFromOne) {
  TDbfFieldDef def(7);
  def.SetFieldType(TFieldType::ftAutoInc);
  EXPECT_EQ(def.AutoIncNext(), 1u);
}

TEST(FieldDefs, ValueBuffersFollowTheSize) {
  TDbfFieldDef def = ReadDef(7, 'C', 5, 0);
  def.DefaultBuf()[0] = std::byte{'A'};
  def.MaxBuf()[4] = std::byte{'Z'};
  def.SetHasDefault(true);
  TDbfFieldDef copy(def);
  EXPECT_EQ(copy.DefaultBuf().size(), 5u);
  EXPECT_EQ(copy.DefaultBuf()[0], std::byte{'A'});
  EXPECT_EQ(copy.MaxBuf()[4], std::byte{'Z'});
  EXPECT_TRUE(copy.HasDefault());
  def.SetSize(7);
  EXPECT_EQ(def.DefaultBuf().size(), 7u);
  EXPECT_EQ(def.DefaultBuf()[0], std::byte{0});
  EXPECT_FALSE(def.HasDefault());
}

TEST(FieldDefs, CollectionFindsUpperCasedNamesAndAssignsOffsets) {
  TDbfFieldDefs defs(4);
  TDbfFieldDef& famil = defs.Add();
  famil.SetFieldName("famil");
  famil.SetNative('C', 25, 0);
  TDbfFieldDef& sum = defs.Add();
  sum.SetFieldName("SumPay");
  sum.SetNative('N', 12, 2);
  EXPECT_EQ(defs.AssignOffsets(), 1 + 25 + 12);
  EXPECT_EQ(defs[0].Offset(), 1);
  EXPECT_EQ(defs[1].Offset(), 26);
  EXPECT_EQ(defs.Find("sumpay"), &defs[1]);
  EXPECT_EQ(defs.IndexOf("FAMIL"), 0);
  EXPECT_EQ(defs.Find("none"), nullptr);
  EXPECT_EQ(defs.NullFlagsField(), nullptr);

  defs.SetTableLevel(25);
  EXPECT_EQ(defs[1].TableLevel(), 25);
  TDbfFieldDef& flags = defs.Add();
  flags.SetFieldName("_NullFlags");
  flags.SetNative('0', 1, 0);
  EXPECT_EQ(defs.NullFlagsField(), &flags);
  EXPECT_TRUE(flags.IsNullFlags());
}

TEST(FieldDefs, BlobLettersDependOnLevel) {
  EXPECT_TRUE(ReadDef(4, 'M', 10, 0).IsBlob());
  EXPECT_TRUE(ReadDef(4, 'B', 10, 0).IsBlob());
  EXPECT_FALSE(ReadDef(25, 'B', 8, 0).IsBlob());
  EXPECT_TRUE(ReadDef(25, 'G', 4, 0).IsBlob());
  EXPECT_FALSE(ReadDef(4, 'C', 10, 0).IsBlob());
}

}  // namespace
}  // namespace lgoty::dbf
