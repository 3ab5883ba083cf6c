#include "dbf/field_codec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "core/date_time.h"
#include "core/format_settings.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/number_text.h"

namespace lgoty::dbf {
namespace {

using data::TFieldType;

// A table of one field (plus "_NULLFLAGS" when asked) and a blank record for it.
class OneField {
 public:
  OneField(int level, char letter, int size, int precision = 0, bool nullable = false)
      : defs_(level) {
    TDbfFieldDef& def = defs_.Add();
    def.SetFieldName("F");
    def.SetNative(static_cast<uint8_t>(letter), size, precision);
    if (nullable) {
      TDbfFieldDef& flags = defs_.Add();
      flags.SetFieldName("_NULLFLAGS");
      flags.SetNative('0', 1, 0);
      def.SetNullPosition(0);
    }
    record_ = BuildBlankRecord(defs_, static_cast<size_t>(defs_.AssignOffsets()));
  }

  const TDbfFieldDefs& defs() const { return defs_; }
  const TDbfFieldDef& def() const { return defs_[0]; }
  std::byte* field() { return record_.data() + 1; }

  void SetText(const char* text) {
    ASSERT_EQ(std::strlen(text), static_cast<size_t>(def().Size()));
    std::memcpy(field(), text, std::strlen(text));
  }
  void SetBytes(std::initializer_list<int> bytes) {
    ASSERT_EQ(bytes.size(), static_cast<size_t>(def().Size()));
    size_t i = 0;
    for (int b : bytes) field()[i++] = static_cast<std::byte>(b);
  }
  std::string Text() const {
    return std::string(reinterpret_cast<const char*>(record_.data() + 1),
                       static_cast<size_t>(def().Size()));
  }
  std::vector<int> Bytes() const {
    std::vector<int> bytes;
    for (int i = 0; i < def().Size(); ++i) bytes.push_back(static_cast<int>(record_[1 + i]));
    return bytes;
  }

  bool Get(TFieldType type, TFieldValue* out) {
    return GetFieldData(defs_, def(), type, record_, out);
  }
  bool IsNull() { return !Get(def().FieldType(), nullptr); }
  TFieldValue Value(TFieldType type) {
    TFieldValue v;
    EXPECT_TRUE(Get(type, &v));
    return v;
  }
  void Put(TFieldType type, const TFieldValue* value) {
    SetFieldData(defs_, def(), type, record_, value);
  }
  void PutInteger(TFieldType type, int64_t value) {
    TFieldValue v;
    v.integer = value;
    Put(type, &v);
  }
  void PutReal(TFieldType type, double value) {
    TFieldValue v;
    v.real = value;
    Put(type, &v);
  }
  uint8_t NullFlags() const { return static_cast<uint8_t>(record_.back()); }
  std::vector<std::byte>& record() { return record_; }

 private:
  TDbfFieldDefs defs_;
  std::vector<std::byte> record_;
};

// ---- text fields ------------------------------------------------------------------------------

TEST(FieldCodec, CharacterFieldTrimsTrailingSpacesForStringsAndBothSidesOtherwise) {
  OneField f(4, 'C', 6);
  f.SetText("  AB  ");
  EXPECT_EQ(f.Value(TFieldType::ftString).text, "  AB");
  f.SetText("  12  ");
  EXPECT_EQ(f.Value(TFieldType::ftInteger).integer, 12);
  f.SetText("      ");
  EXPECT_TRUE(f.IsNull());
  TFieldValue v;
  v.text = "stale";
  EXPECT_FALSE(f.Get(TFieldType::ftString, &v));
  EXPECT_EQ(v.text, "");
}

TEST(FieldCodec, StringIsCutOrPaddedToTheFieldLength) {
  OneField f(4, 'C', 4);
  TFieldValue v;
  v.text = "ABCDEF";
  f.Put(TFieldType::ftString, &v);
  EXPECT_EQ(f.Text(), "ABCD");
  v.text = "\x8f\xa5";  // two cp866 bytes, copied as they are
  f.Put(TFieldType::ftString, &v);
  EXPECT_EQ(f.Text(), "\x8f\xa5  ");
  f.Put(TFieldType::ftString, nullptr);
  EXPECT_EQ(f.Text(), "    ");
}

TEST(FieldCodec, FloatIsWrittenWithAPointWhateverTheLocale) {
  core::SetDefaultFormatSettings(core::FormatSettings::Russian());
  OneField f(4, 'N', 6, 2);
  f.PutReal(TFieldType::ftFloat, 3.14159);
  EXPECT_EQ(f.Text(), "  3.14");
  EXPECT_DOUBLE_EQ(f.Value(TFieldType::ftFloat).real, 3.14);
  f.PutReal(TFieldType::ftFloat, -0.004);
  EXPECT_EQ(f.Text(), "  0.00");
  f.PutReal(TFieldType::ftFloat, 2.675);
  EXPECT_EQ(f.Text(), "  2.68");
  f.PutReal(TFieldType::ftFloat, -12.5);
  EXPECT_EQ(f.Text(), "-12.50");
  core::SetDefaultFormatSettings(core::FormatSettings::English());
}

TEST(FieldCodec, DecimalsThatDoNotFitAreDroppedButDigitsAreNeverCut) {
  OneField f(4, 'N', 6, 2);
  f.PutReal(TFieldType::ftFloat, 12345.678);
  EXPECT_EQ(f.Text(), "12345.");
  EXPECT_DOUBLE_EQ(f.Value(TFieldType::ftFloat).real, 12345);
  f.SetText("  1.50");
  EXPECT_THROW(f.PutReal(TFieldType::ftFloat, 1234567.0), EDbfError);
  EXPECT_THROW(f.PutReal(TFieldType::ftFloat, NAN), EDbfError);
  EXPECT_EQ(f.Text(), "  1.50") << "a refused value leaves the field unchanged";
}

TEST(FieldCodec, IntegersAreRightAlignedAndBlockNumbersZeroPadded) {
  OneField n(4, 'N', 5);
  n.PutInteger(TFieldType::ftInteger, -42);
  EXPECT_EQ(n.Text(), "  -42");
  n.PutInteger(TFieldType::ftSmallint, 7);
  EXPECT_EQ(n.Text(), "    7");
  EXPECT_THROW(n.PutInteger(TFieldType::ftInteger, 123456), EDbfError);
  EXPECT_THROW(n.PutInteger(TFieldType::ftInteger, -12345), EDbfError);
  n.PutInteger(TFieldType::ftInteger, -1234);
  EXPECT_EQ(n.Text(), "-1234");

  OneField memo(4, 'M', 10);
  memo.PutInteger(TFieldType::ftInteger, 12);
  EXPECT_EQ(memo.Text(), "0000000012");
  EXPECT_EQ(memo.Value(TFieldType::ftInteger).integer, 12);
  memo.PutInteger(TFieldType::ftInteger, -5);
  EXPECT_EQ(memo.Text(), "-000000005");
  memo.PutInteger(TFieldType::ftLargeint, 12);
  EXPECT_EQ(memo.Text(), "        12");
  memo.SetText("          ");
  EXPECT_TRUE(memo.IsNull());
}

TEST(FieldCodec, TextThatIsNoNumberReadsAsZero) {
  OneField f(4, 'N', 8, 2);
  for (const char* text : {"   3,14 ", "     abc", "  1.2.3 ", "     nan", "     inf", "    -   "}) {
    f.SetText(text);
    EXPECT_EQ(f.Value(TFieldType::ftFloat).real, 0.0) << text;
  }
  f.SetText("  -1e2  ");
  EXPECT_EQ(f.Value(TFieldType::ftFloat).real, -100.0);
  f.SetText("   +.25 ");
  EXPECT_EQ(f.Value(TFieldType::ftFloat).real, 0.25);
  OneField i(4, 'N', 12);
  i.SetText(" 99999999999");
  EXPECT_EQ(i.Value(TFieldType::ftInteger).integer, 0) << "does not fit 32 bits";
  EXPECT_EQ(i.Value(TFieldType::ftLargeint).integer, 99999999999);
  i.SetText("         1.5");
  EXPECT_EQ(i.Value(TFieldType::ftInteger).integer, 0);
}

TEST(FieldCodec, DatesAreYearMonthDayAndImpossibleDatesReadAsZero) {
  OneField f(4, 'D', 8);
  f.SetText("20240229");
  EXPECT_EQ(f.Value(TFieldType::ftDate).real, core::EncodeDate(2024, 2, 29));
  f.SetText("20230230");
  EXPECT_EQ(f.Value(TFieldType::ftDate).real, 0.0);
  f.SetText("2023XX15");
  EXPECT_EQ(f.Value(TFieldType::ftDate).real, core::EncodeDate(2023, 1, 15));
  f.SetText("        ");
  EXPECT_TRUE(f.IsNull());
  f.PutReal(TFieldType::ftDate, core::EncodeDate(1999, 7, 4) + 0.75);
  EXPECT_EQ(f.Text(), "19990704");
  f.PutReal(TFieldType::ftDateTime, core::EncodeDate(5, 1, 2));
  EXPECT_EQ(f.Text(), "00050102");
}

TEST(FieldCodec, LogicalIsTrueOnlyForT) {
  OneField f(4, 'L', 1);
  f.SetText("t");
  EXPECT_EQ(f.Value(TFieldType::ftBoolean).integer, 1);
  f.SetText("Y");
  EXPECT_EQ(f.Value(TFieldType::ftBoolean).integer, 0);
  f.SetText(" ");
  EXPECT_TRUE(f.IsNull());
  f.PutInteger(TFieldType::ftBoolean, 1);
  EXPECT_EQ(f.Text(), "T");
  f.PutInteger(TFieldType::ftBoolean, 0);
  EXPECT_EQ(f.Text(), "F");
}

// ---- binary fields ----------------------------------------------------------------------------

TEST(FieldCodec, Level7IntegerIsBigEndianWithBit31Inverted) {
  OneField f(7, 'I', 4);
  f.SetBytes({0x80, 0x00, 0x00, 0x05});
  EXPECT_EQ(f.Value(TFieldType::ftInteger).integer, 5);
  f.SetBytes({0x7F, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(f.Value(TFieldType::ftInteger).integer, -1);
  f.SetBytes({0, 0, 0, 0});
  EXPECT_TRUE(f.IsNull());
  f.PutInteger(TFieldType::ftInteger, 0);
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0x80, 0, 0, 0}));
  f.PutInteger(TFieldType::ftInteger, -2);
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0x7F, 0xFF, 0xFF, 0xFE}));
  f.Put(TFieldType::ftInteger, nullptr);
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_THROW(f.PutInteger(TFieldType::ftLargeint, int64_t{1} << 40), EDbfError);
}

TEST(FieldCodec, FoxProIntegerIsLittleEndianAndNeverNull) {
  OneField f(25, 'I', 4);
  f.SetBytes({0, 0, 0, 0});
  EXPECT_FALSE(f.IsNull());
  f.PutInteger(TFieldType::ftInteger, -2);
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(f.Value(TFieldType::ftFloat).real, -2.0);
}

TEST(FieldCodec, OrderedDoubleStoresZeroWithTheSignBit) {
  OneField f(7, 'O', 8);
  f.PutReal(TFieldType::ftFloat, 0.0);
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0x80, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(f.IsNull());
  f.PutReal(TFieldType::ftFloat, 1.0);  // 3F F0 00.. with the sign bit set
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
  f.PutReal(TFieldType::ftFloat, -1.0);  // BF F0 00.. inverted
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(f.Value(TFieldType::ftFloat).real, -1.0);
  f.PutReal(TFieldType::ftFloat, -0.0);
  EXPECT_FALSE(f.IsNull()) << "negative zero must not become the null pattern";
  EXPECT_TRUE(std::signbit(f.Value(TFieldType::ftFloat).real));
  for (double v : {1e-300, -123.456, 1e300, 42.0}) {
    f.PutReal(TFieldType::ftFloat, v);
    EXPECT_EQ(f.Value(TFieldType::ftFloat).real, v);
  }
  f.SetBytes({0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_TRUE(f.IsNull());
}

TEST(FieldCodec, TimestampCountsMillisecondsSinceYearOneBigEndian) {
  OneField f(7, '@', 8);
  const double when = core::EncodeDate(2024, 3, 15) + core::EncodeTime(13, 45, 30, 250);
  f.PutReal(TFieldType::ftDateTime, when);
  const double msecs = core::DateTimeToMSecs(when);
  uint64_t bits = 0;
  for (int b : f.Bytes()) bits = (bits << 8) | static_cast<uint64_t>(b);
  EXPECT_EQ(std::bit_cast<double>(bits), msecs);
  EXPECT_NEAR(f.Value(TFieldType::ftDateTime).real, when, 1e-9);
  f.Put(TFieldType::ftDateTime, nullptr);
  EXPECT_TRUE(f.IsNull());
  // 1 January 0001 00:00:00.000 is day number 1, so one day of milliseconds.
  f.PutReal(TFieldType::ftDateTime, core::EncodeDate(1, 1, 1));
  bits = 0;
  for (int b : f.Bytes()) bits = (bits << 8) | static_cast<uint64_t>(b);
  EXPECT_EQ(std::bit_cast<double>(bits), 86'400'000.0);
}

TEST(FieldCodec, TimestampHandlingDateTimeStoresTheValueItself) {
  TDbfFieldDefs defs(7, TDateTimeHandling::dtDateTime);
  TDbfFieldDef& def = defs.Add();
  def.SetNative('@', 8, 0);
  std::vector<std::byte> record = BuildBlankRecord(defs, static_cast<size_t>(defs.AssignOffsets()));
  TFieldValue v;
  v.real = 45000.5;
  SetFieldData(defs, def, TFieldType::ftDateTime, record, &v);
  EXPECT_EQ(core::GetU64BE(record.data() + 1), std::bit_cast<uint64_t>(45000.5));
}

TEST(FieldCodec, GarbageTimestampsReadAsTheZeroDateTime) {
  OneField f(7, '@', 8);
  f.SetBytes({0x7F, 0xF8, 0, 0, 0, 0, 0, 1});  // NaN
  EXPECT_EQ(f.Value(TFieldType::ftDateTime).real, 0.0);
  f.SetBytes({0xC0, 0, 0, 0, 0, 0, 0, 0});  // negative
  EXPECT_EQ(f.Value(TFieldType::ftDateTime).real, 0.0);
  EXPECT_THROW(f.PutReal(TFieldType::ftDateTime, NAN), EDbfError);
}

TEST(FieldCodec, FoxProDateTimeIsJulianDayAndMilliseconds) {
  OneField f(25, 'T', 8);
  const double when = core::EncodeDate(2000, 1, 1) + core::EncodeTime(12, 0, 0, 0);
  f.PutReal(TFieldType::ftDateTime, when);
  // 1 January 2000 is Julian day 2451545 (0x00256859); noon is 43 200 000 ms (0x02932E00).
  EXPECT_EQ(f.Bytes(), (std::vector<int>{0x59, 0x68, 0x25, 0x00, 0x00, 0x2E, 0x93, 0x02}));
  EXPECT_DOUBLE_EQ(f.Value(TFieldType::ftDateTime).real, when);
  f.Put(TFieldType::ftDateTime, nullptr);
  EXPECT_TRUE(f.IsNull());
}

TEST(FieldCodec, CurrencyIsScaledBy10000) {
  OneField f(25, 'Y', 8, 4);
  f.PutReal(TFieldType::ftCurrency, 12.34567);
  EXPECT_EQ(core::GetI64LE(f.field()), 123456);
  EXPECT_DOUBLE_EQ(f.Value(TFieldType::ftCurrency).real, 12.3456);
  EXPECT_EQ(f.Value(TFieldType::ftBCD).integer, 123456);
  f.PutReal(TFieldType::ftCurrency, -1.00009);
  EXPECT_EQ(core::GetI64LE(f.field()), -10000) << "truncated toward zero";
  TFieldValue bcd;
  bcd.integer = 77;
  f.Put(TFieldType::ftBCD, &bcd);
  EXPECT_EQ(core::GetI64LE(f.field()), 77);
  f.Put(TFieldType::ftBCD, nullptr);
  EXPECT_EQ(core::GetI64LE(f.field()), 0);
  EXPECT_FALSE(f.IsNull());
}

TEST(FieldCodec, FoxProMemoBlockNumberIsFourByteLittleEndian) {
  OneField f(25, 'M', 4);
  EXPECT_TRUE(f.IsNull());
  f.PutInteger(TFieldType::ftInteger, 0x01020304);
  EXPECT_EQ(f.Bytes(), (std::vector<int>{4, 3, 2, 1}));
  EXPECT_EQ(f.Value(TFieldType::ftMemo).integer, 0x01020304);
}

TEST(FieldCodec, FoxProBIsAPlainDouble) {
  OneField f(25, 'B', 8, 2);
  f.PutReal(TFieldType::ftFloat, 2.5);
  EXPECT_EQ(core::GetDoubleLE(f.field()), 2.5);
  EXPECT_FALSE(f.IsNull());
}

TEST(FieldCodec, BinaryFieldNarrowerThanItsEncodingStaysInsideTheField) {
  // Level 25 keeps the size a file gives a B field; 2 bytes cannot hold a double.
  TDbfFieldDefs defs(25);
  TDbfFieldDef& narrow = defs.Add();
  narrow.SetNative('B', 2, 0);
  TDbfFieldDef& next = defs.Add();
  next.SetNative('C', 6, 0);
  std::vector<std::byte> record = BuildBlankRecord(defs, static_cast<size_t>(defs.AssignOffsets()));
  std::memcpy(record.data() + next.Offset(), "SENTRY", 6);
  TFieldValue v;
  v.real = 1.5;
  SetFieldData(defs, narrow, TFieldType::ftFloat, record, &v);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + next.Offset()), 6), "SENTRY");
  EXPECT_TRUE(GetFieldData(defs, narrow, TFieldType::ftFloat, record, &v));
  EXPECT_EQ(v.real, 2.0) << "kept as text without decimals";
}

// ---- null flags and blank records -------------------------------------------------------------

TEST(FieldCodec, NullBitDecidesTheNullTestAndFollowsWrites) {
  OneField f(25, 'I', 4, 0, /*nullable=*/true);
  EXPECT_EQ(f.NullFlags(), 0);
  EXPECT_FALSE(f.IsNull()) << "blank record: the bit is clear";
  f.Put(TFieldType::ftInteger, nullptr);
  EXPECT_EQ(f.NullFlags(), 1);
  EXPECT_TRUE(f.IsNull());
  TFieldValue v;
  EXPECT_TRUE(f.Get(TFieldType::ftInteger, &v)) << "with an output place the bytes decide";
  f.PutInteger(TFieldType::ftInteger, 9);
  EXPECT_EQ(f.NullFlags(), 0);
  EXPECT_FALSE(f.IsNull());
  EXPECT_THROW(f.PutInteger(TFieldType::ftLargeint, int64_t{1} << 40), EDbfError);
  EXPECT_EQ(f.NullFlags(), 0) << "a refused value does not touch the null bit";
}

TEST(FieldCodec, BlankRecordZeroesBinaryFieldsAndCopiesDefaults) {
  TDbfFieldDefs defs(7);
  auto add = [&](const char* name, char letter, int size) -> TDbfFieldDef& {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(name);
    def.SetNative(static_cast<uint8_t>(letter), size, 0);
    return def;
  };
  add("NAME", 'C', 3);
  add("ID", '+', 4);
  add("STAMP", '@', 8);
  add("AMOUNT", 'O', 8);
  TDbfFieldDef& with_default = add("CNT", 'I', 4);
  EncodeAutoIncValue(with_default.DefaultBuf().data(), 3);
  with_default.SetHasDefault(true);
  add("WHEN", 'D', 8);
  const std::vector<std::byte> record =
      BuildBlankRecord(defs, static_cast<size_t>(defs.AssignOffsets()));
  std::vector<int> bytes;
  for (std::byte b : record) bytes.push_back(static_cast<int>(b));
  const std::vector<int> expected = {
      ' ', ' ', ' ', ' ',                     // deletion flag, NAME
      0, 0, 0, 0,                             // ID
      0, 0, 0, 0, 0, 0, 0, 0,                 // STAMP
      0, 0, 0, 0, 0, 0, 0, 0,                 // AMOUNT
      0x80, 0, 0, 3,                          // CNT default
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', // WHEN
  };
  EXPECT_EQ(bytes, expected);
}

TEST(FieldCodec, FieldOutsideTheRecordIsRefused) {
  TDbfFieldDefs defs(4);
  TDbfFieldDef& def = defs.Add();
  def.SetFieldName("LONG");
  def.SetNative('C', 20, 0);
  def.SetOffset(1);
  std::vector<std::byte> short_record(10, std::byte{' '});
  TFieldValue v;
  EXPECT_THROW(GetFieldData(defs, def, TFieldType::ftString, short_record, &v), EDbfError);
  EXPECT_THROW(SetFieldData(defs, def, TFieldType::ftString, short_record, &v), EDbfError);
}

TEST(FieldCodec, AutoIncValueIsBigEndianWithBit31Set) {
  std::byte field[4];
  EncodeAutoIncValue(field, 1);
  EXPECT_EQ(core::GetU32BE(field), 0x80000001u);
}

TEST(FieldCodec, VariantFormsMapNullAndKinds) {
  OneField f(4, 'N', 10, 2);
  SetFieldVariant(f.defs(), f.def(), TFieldType::ftFloat, f.record(), core::Variant(1.5));
  EXPECT_EQ(f.Text(), "      1.50");
  EXPECT_EQ(GetFieldVariant(f.defs(), f.def(), TFieldType::ftFloat, f.record()).AsDouble(), 1.5);
  SetFieldVariant(f.defs(), f.def(), TFieldType::ftFloat, f.record(), core::Variant::Null());
  EXPECT_TRUE(GetFieldVariant(f.defs(), f.def(), TFieldType::ftFloat, f.record()).IsNull());
  const core::Variant bcd =
      FieldValueToVariant(TFieldType::ftBCD, TFieldValue{123456, 0, {}});
  EXPECT_EQ(bcd.kind(), core::Variant::Kind::Currency);
  EXPECT_EQ(bcd.AsCurrency(), 123456);
}

TEST(NumberText, FixedFormattingRoundsOnTheStoredDigits) {
  std::string s;
  ASSERT_TRUE(FormatFixed(0.125, 2, s));
  EXPECT_EQ(s, "0.13");
  ASSERT_TRUE(FormatFixed(9.995, 2, s));
  EXPECT_EQ(s, "10.00");
  ASSERT_TRUE(FormatFixed(-0.5, 0, s));
  EXPECT_EQ(s, "-1");
  ASSERT_TRUE(FormatFixed(1e17, 1, s));
  EXPECT_EQ(s, "100000000000000000.0");
  ASSERT_TRUE(FormatFixed(0.0004, 3, s));
  EXPECT_EQ(s, "0.000");
  ASSERT_TRUE(FormatFixed(123.0, 0, s));
  EXPECT_EQ(s, "123");
  EXPECT_FALSE(FormatFixed(INFINITY, 2, s));
}

}  // namespace
}  // namespace lgoty::dbf
