// The binary-defined property stream inside PropData attributes.
#include <gtest/gtest.h>

#include <cmath>

#include "report/prop_data.h"

namespace lgoty::report {
namespace {

TEST(PropData, DesignerPositionBytes) {
  PropValue::Properties entries{{"pLeft", PropValue::Int(64)}, {"pTop", PropValue::Int(300)}};
  std::string bytes = EncodePropData(entries);
  EXPECT_EQ(BytesToHex(bytes), "05704C65667402400470546F70032C01");
  PropValue::Properties read = DecodePropData(HexToBytes("05704C65667402400470546F70032C01"));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].first, "pTop");
  EXPECT_EQ(read[1].second.integer, 300);
}

TEST(PropData, ValuesOfEveryKindRoundTrip) {
  PropValue real;
  real.type = PropValue::Type::Float;
  real.real = -1234.5678;
  PropValue flag;
  flag.type = PropValue::Type::Boolean;
  flag.integer = 1;
  PropValue ident;
  ident.type = PropValue::Type::Ident;
  ident.text = "ftInteger";
  PropValue collection;
  collection.type = PropValue::Type::Collection;
  collection.items.push_back({{"Name", PropValue::Str("p1")}, {"Value", PropValue::Int(-7)}});
  collection.items.push_back({{"Name", PropValue::Str("параметр")}});
  PropValue::Properties entries{{"Real", real},
                                {"Flag", flag},
                                {"Type", ident},
                                {"Big", PropValue::Int(int64_t{1} << 40)},
                                {"Data", PropValue::Bin(std::string("\0\1\2", 3))},
                                {"Long", PropValue::Str(std::string(300, 'x'))},
                                {"Params", collection}};
  PropValue::Properties read = DecodePropData(EncodePropData(entries));
  ASSERT_EQ(read.size(), entries.size());
  EXPECT_EQ(read[0].second.real, -1234.5678);
  EXPECT_EQ(read[1].second.integer, 1);
  EXPECT_EQ(read[2].second.text, "ftInteger");
  EXPECT_EQ(read[3].second.integer, int64_t{1} << 40);
  EXPECT_EQ(read[4].second.text, std::string("\0\1\2", 3));
  EXPECT_EQ(read[5].second.text.size(), 300u);
  ASSERT_EQ(read[6].second.items.size(), 2u);
  EXPECT_EQ(read[6].second.items[0][1].second.integer, -7);
  EXPECT_EQ(read[6].second.items[1][0].second.text, "параметр");
}

TEST(PropData, ExtendedFloats) {
  for (double v : {0.0, 1.0, -2.5, 1e300, 5e-320, 0.1}) {
    unsigned char raw[10];
    DoubleToExtended(v, raw);
    EXPECT_EQ(ExtendedToDouble(raw), v) << v;
  }
  unsigned char one[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(ExtendedToDouble(one), 1.0);
  unsigned char inf[10];
  DoubleToExtended(HUGE_VAL, inf);
  EXPECT_TRUE(std::isinf(ExtendedToDouble(inf)));
}

TEST(PropData, TruncatedOrUnknownDataKeepsWhatCameBefore) {
  std::string good = EncodePropData({{"pLeft", PropValue::Int(64)}});
  for (size_t cut = 0; cut < 6; ++cut) {
    std::string bytes = good + EncodePropData({{"pTop", PropValue::Str("abcdef")}});
    bytes.resize(bytes.size() - cut - 1);
    PropValue::Properties read = DecodePropData(bytes);
    ASSERT_EQ(read.size(), 1u) << cut;
    EXPECT_EQ(read[0].second.integer, 64);
  }
  EXPECT_EQ(DecodePropData(good + "\x01X\x7F").size(), 1u);        // unknown tag
  EXPECT_EQ(DecodePropData(good + "\x01X\x0A\xFF\xFF\xFF\x7F").size(), 1u);  // huge length
  // Nested lists deeper than any real stream are refused, not recursed into.
  std::string deep = "\x01X";
  for (int i = 0; i < 10000; ++i) deep += '\x01';
  EXPECT_TRUE(DecodePropData(deep).empty());
  EXPECT_EQ(HexToBytes("0a0BzZ"), std::string("\x0A\x0B"));
}

}  // namespace
}  // namespace lgoty::report
