#include "dbf/decimal_field_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dbf/field_codec.h"
#include "dbf/field_defs.h"

namespace lgoty::dbf {
namespace {

// What a reader made of one text: refused, null, or a value (compared bit for bit).
struct Reading {
  bool accepted = false;
  bool null = false;
  double value = 0;
  bool operator==(const Reading& o) const {
    return accepted == o.accepted && null == o.null &&
           std::bit_cast<uint64_t>(value) == std::bit_cast<uint64_t>(o.value);
  }
};

std::ostream& operator<<(std::ostream& out, const Reading& r) {
  if (!r.accepted) return out << "refused";
  if (r.null) return out << "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", r.value);
  return out << text;
}

// The field text after 16 bytes of other fields, which the reader loads with the field and
// must ignore: digits, signs and points that would change the value if they were read.
Reading Fixed(const std::string& text, int decimals) {
  const FixedDecimalReader reader(text.size(), decimals);
  if (!reader.Usable()) return {};
  const std::string buffer = "9-9.9-9.9-9.9-9." + text;
  Reading r;
  r.accepted = reader.Read(buffer.data() + 16, r.value, r.null);
  return r;
}

Reading Plain(const std::string& text) {
  Reading r;
  r.accepted = ParsePlainDecimal(text.data(), text.size(), r.value, r.null);
  return r;
}

// The field codec's reading of the text in an N field of its width.
Reading Codec(const std::string& text, int decimals) {
  TDbfFieldDefs defs(4);
  TDbfFieldDef& def = defs.Add();
  def.SetFieldName("F");
  def.SetNative('N', static_cast<int>(text.size()), decimals);
  std::vector<std::byte> record = BuildBlankRecord(defs, static_cast<size_t>(defs.AssignOffsets()));
  std::memcpy(record.data() + 1, text.data(), text.size());
  TFieldValue value;
  Reading r;
  r.accepted = true;
  r.null = !GetFieldData(defs, defs[0], data::TFieldType::ftFloat, record, &value);
  if (!r.null) r.value = value.real;
  return r;
}

Reading Value(double v) { return {true, false, v}; }
const Reading kNull{true, true, 0};
const Reading kRefused{};

TEST(DecimalFieldScanTest, WriterLayoutsReadWithTheirValues) {
  EXPECT_EQ(Fixed("     1234.56", 2), Value(1234.56));
  EXPECT_EQ(Fixed("     -150.25", 2), Value(-150.25));
  EXPECT_EQ(Fixed("        0.10", 2), Value(0.1));
  EXPECT_EQ(Fixed("-999999999.99", 2), Value(-999999999.99));
  EXPECT_EQ(Fixed("         .50", 2), Value(0.5));
  EXPECT_EQ(Fixed("        -.50", 2), Value(-0.5));
  EXPECT_EQ(Fixed("    12", 0), Value(12));
  EXPECT_EQ(Fixed("   -12", 0), Value(-12));
  EXPECT_EQ(Fixed("7", 0), Value(7));
  EXPECT_EQ(Fixed("123456789012345", 0), Value(123456789012345.0));
  EXPECT_EQ(Fixed("12345678901234.5", 1), Value(12345678901234.5));
  EXPECT_EQ(Fixed(".123456789012345", 15), Value(0.123456789012345));
  // Negative zero stays negative zero, as the common parse has it.
  EXPECT_EQ(Fixed("       -0.00", 2), Value(-0.0));
  EXPECT_EQ(Fixed("            ", 2), kNull);
  EXPECT_EQ(Fixed("   ", 0), kNull);
}

TEST(DecimalFieldScanTest, OtherTextsAreLeftToTheSlowerReaders) {
  EXPECT_EQ(Fixed("1234.56     ", 2), kRefused);  // left-aligned
  EXPECT_EQ(Fixed("      1234.5", 2), kRefused);  // decimals differ from the field's
  EXPECT_EQ(Fixed("     1234.5 ", 2), kRefused);
  EXPECT_EQ(Fixed("       1234", 2), kRefused);
  EXPECT_EQ(Fixed("    +1234.56", 2), kRefused);
  EXPECT_EQ(Fixed("************", 2), kRefused);  // overflow stars
  EXPECT_EQ(Fixed("  1.2346e+03", 4), kRefused);
  EXPECT_EQ(Fixed("    12 34.56", 2), kRefused);
  EXPECT_EQ(Fixed("   - 1234.56", 2), kRefused);
  EXPECT_EQ(Fixed("-    1234.56", 2), kRefused);
  EXPECT_EQ(Fixed("   --1234.56", 2), kRefused);
  EXPECT_EQ(Fixed("   12-34.56", 2), kRefused);
  EXPECT_EQ(Fixed("   1234.5-6", 2), kRefused);
  EXPECT_EQ(Fixed("   1234,56", 2), kRefused);
  EXPECT_EQ(Fixed("         -.", 0), kRefused);
  EXPECT_EQ(Fixed("   -", 0), kRefused);
  EXPECT_EQ(Fixed(std::string("   12\0.56", 9), 2), kRefused);
  EXPECT_EQ(Fixed("   12\xB3.56", 2), kRefused);  // a byte that is a digit once 0x80 is off
  EXPECT_EQ(Fixed("\xA0\xA0\xA0" "12.56", 2), kRefused);
  // Layouts it does not cover at all.
  EXPECT_FALSE(FixedDecimalReader(17, 2).Usable());
  EXPECT_FALSE(FixedDecimalReader(16, 0).Usable());  // 16 digits
  EXPECT_FALSE(FixedDecimalReader(5, 5).Usable());   // no place for the point
  EXPECT_FALSE(FixedDecimalReader(0, 0).Usable());
}

TEST(DecimalFieldScanTest, CommonParseFollowsTheCodec) {
  for (const char* text : {"  1234.5    ", "   -0.25", " +7 ", "12", "   .5", "  5.  ", "    "})
    EXPECT_EQ(Plain(text), Codec(text, 2)) << '"' << text << '"';
  for (const char* text : {"1.2e3", "****", "1 2", "1234567890123456", "-", " . ", "1..2"})
    EXPECT_EQ(Plain(text), kRefused) << '"' << text << '"';
}

// Random texts of every width and decimals, made mostly of the characters numbers are made
// of: whatever the fixed reader accepts, the common parse and the codec read the same way;
// whatever the common parse accepts, the codec reads the same way.
TEST(DecimalFieldScanTest, ReadersAgreeWithTheCodecOnRandomTexts) {
  std::mt19937 random(20241209);
  const std::string alphabet = "          0123456789012345678901234567890123456789--..+*e\x01";
  int fixed_accepted = 0;
  for (int width = 1; width <= 18; ++width) {
    for (int decimals = 0; decimals <= std::min(width - 1, 16); ++decimals) {
      for (int n = 0; n < 400; ++n) {
        std::string text(static_cast<size_t>(width), ' ');
        bool layout = false;
        if (n % 2 == 0) {
          // A number as a writer lays it out, sometimes with one character spoiled.
          const double magnitude = std::pow(10.0, static_cast<int>(random() % 16));
          const double v = (static_cast<double>(random()) / random.max() - 0.3) * magnitude;
          char formatted[64];
          std::snprintf(formatted, sizeof formatted, "%*.*f", width, decimals, v);
          if (std::strlen(formatted) != static_cast<size_t>(width)) continue;
          text = formatted;
          layout = n % 8 != 0;
          if (!layout) text[random() % text.size()] = alphabet[random() % alphabet.size()];
        } else {
          for (char& c : text) c = alphabet[random() % alphabet.size()];
        }
        const Reading fixed = Fixed(text, decimals);
        const Reading plain = Plain(text);
        if (layout && FixedDecimalReader(text.size(), decimals).Usable()) {
          ASSERT_TRUE(fixed.accepted) << '"' << text << "\" decimals " << decimals;
        }
        if (fixed.accepted) {
          ++fixed_accepted;
          ASSERT_EQ(fixed, plain) << '"' << text << "\" decimals " << decimals;
        }
        if (plain.accepted) {
          ASSERT_EQ(plain, Codec(text, decimals)) << '"' << text << '"';
        }
      }
    }
  }
  EXPECT_GT(fixed_accepted, 5000);
}

}  // namespace
}  // namespace lgoty::dbf
