#include "core/json.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/exception.h"

namespace lgoty::core {
namespace {

TEST(Json, ObjectKeepsMemberOrderAndNumberText) {
  const JsonValue v =
      ParseJson(R"( {"FAMIL": "Иванов", "SUMPAY": 1234.50, "N": -7, "OK": true, "X": null} )");
  ASSERT_EQ(v.kind(), JsonValue::Kind::Object);
  ASSERT_EQ(v.Members().size(), 5u);
  EXPECT_EQ(v.Members()[0].first, "FAMIL");
  EXPECT_EQ(v.Find("FAMIL")->AsString(), "Иванов");
  EXPECT_EQ(v.Find("SUMPAY")->Text(), "1234.50");
  int64_t n = 0;
  EXPECT_TRUE(v.Find("N")->TryAsInt64(n));
  EXPECT_EQ(n, -7);
  EXPECT_FALSE(v.Find("SUMPAY")->TryAsInt64(n));
  EXPECT_TRUE(v.Find("OK")->AsBoolean());
  EXPECT_TRUE(v.Find("X")->IsNull());
  EXPECT_EQ(v.Find("none"), nullptr);
  EXPECT_EQ(v.Serialize(),
            R"({"FAMIL":"Иванов","SUMPAY":1234.50,"N":-7,"OK":true,"X":null})");
}

TEST(Json, EscapesRoundTrip) {
  const JsonValue v = ParseJson(R"(["a\"b\\c\n\t\u0001", "\u0416\ud83d\ude00", "\/"])");
  EXPECT_EQ(v.Items()[0].AsString(), "a\"b\\c\n\t\x01");
  EXPECT_EQ(v.Items()[1].AsString(), "Ж\xF0\x9F\x98\x80");
  EXPECT_EQ(v.Items()[2].AsString(), "/");
  EXPECT_EQ(v.Serialize(), "[\"a\\\"b\\\\c\\n\\t\\u0001\",\"Ж\xF0\x9F\x98\x80\",\"/\"]");
}

TEST(Json, WriterReplacesInvalidUtf8) {
  std::string out;
  AppendJsonString(out, "A\xFF\xC3");
  EXPECT_EQ(out, "\"A\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonValue::NumberFromDouble(0.1).Text(), "0.1");
  EXPECT_TRUE(JsonValue::NumberFromDouble(std::numeric_limits<double>::quiet_NaN()).IsNull());
}

TEST(Json, MalformedTextIsRefusedWithItsOffset) {
  for (const char* bad : {"", "{", "{\"a\":}", "[1,]", "01", "1.", "-", "\"\\x\"", "tru",
                          "{\"a\" 1}", "\"\x01\"", "\"\xFF\"", "\"\\ud800\"", "[1] 2", "NaN"}) {
    EXPECT_THROW(ParseJson(bad), Exception) << bad;
  }
  try {
    ParseJson("[1, x]");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "JSON: unexpected character at offset 4");
  }
  EXPECT_THROW(ParseJson(std::string(1000, '[')), Exception);
}

}  // namespace
}  // namespace lgoty::core
