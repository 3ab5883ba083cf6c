#include "core/text_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "core/exception.h"
#include "core/variant.h"

namespace lgoty::core {
namespace {

// The Russian thousands separator, U+00A0.
#define NBSP "\xC2\xA0"

const FormatSettings& Ru() {
  static const FormatSettings settings = FormatSettings::Russian();
  return settings;
}

const FormatSettings& En() {
  static const FormatSettings settings = FormatSettings::English();
  return settings;
}

std::string Fmt(std::string_view format, std::vector<Variant> args, const FormatSettings& fs) {
  return Format(format, args, fs);
}

template <typename F>
std::string ConvertErrorOf(F&& f) {
  try {
    f();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "(no exception)";
}

TEST(FloatToStr, ShortestTextWithFifteenSignificantDigits) {
  EXPECT_EQ(FloatToStr(0.1 + 0.2, Ru()), "0,3");
  EXPECT_EQ(FloatToStr(0.1 + 0.2, En()), "0.3");
  EXPECT_EQ(FloatToStr(1.0 / 3, Ru()), "0,333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3, En()), "0.666666666666667");
  EXPECT_EQ(FloatToStr(-2.5, Ru()), "-2,5");
  EXPECT_EQ(FloatToStr(100, Ru()), "100");
  EXPECT_EQ(FloatToStr(1234567.5, Ru()), "1234567,5");  // never grouped
  EXPECT_EQ(FloatToStr(-0.0, Ru()), "0");
}

TEST(FloatToStr, ExponentFormFromExponent15AndBelowMinus4) {
  EXPECT_EQ(FloatToStr(123456789012345678.0, Ru()), "1,23456789012346E17");
  EXPECT_EQ(FloatToStr(1e15, En()), "1E15");
  EXPECT_EQ(FloatToStr(1e14, En()), "100000000000000");
  EXPECT_EQ(FloatToStr(1.5e20, Ru()), "1,5E20");
  EXPECT_EQ(FloatToStr(0.0001, Ru()), "0,0001");
  EXPECT_EQ(FloatToStr(1e-5, Ru()), "1E-5");
  EXPECT_EQ(FloatToStr(-1.25e-7, En()), "-1.25E-7");
  EXPECT_EQ(FloatToStr(1e300, Ru()), "1E300");
  EXPECT_EQ(FloatToStr(1e-300, Ru()), "1E-300");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN(), Ru()), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity(), Ru()), "-INF");
}

TEST(FloatToStrF, FixedNumberCurrencyAndExponentForms) {
  EXPECT_EQ(FloatToStrF(1234567.891, FloatFormat::ffNumber, 15, 2, Ru()), "1" NBSP "234" NBSP "567,89");
  EXPECT_EQ(FloatToStrF(1234567.891, FloatFormat::ffNumber, 15, 2, En()), "1,234,567.89");
  EXPECT_EQ(FloatToStrF(-1234567.891, FloatFormat::ffCurrency, 15, 2, Ru()),
            "-1" NBSP "234" NBSP "567,89 р.");
  EXPECT_EQ(FloatToStrF(1, FloatFormat::ffCurrency, 15, 2, Ru()), "1,00 р.");
  EXPECT_EQ(FloatToStrF(-12.5, FloatFormat::ffCurrency, 15, 2, En()), "($12.50)");
  EXPECT_EQ(FloatToStrF(12.5, FloatFormat::ffCurrency, 15, 2, En()), "$12.50");
  EXPECT_EQ(FloatToStrF(1234.5, FloatFormat::ffExponent, 15, 3, Ru()), "1,23450000000000E+003");
  EXPECT_EQ(FloatToStrF(0, FloatFormat::ffExponent, 15, 3, En()), "0.00000000000000E+000");
  EXPECT_EQ(FloatToStrF(-1234.5, FloatFormat::ffExponent, 4, 0, En()), "-1.235E+3");
  EXPECT_EQ(FloatToStrF(12345.678, FloatFormat::ffGeneral, 4, 0, En()), "1.235E4");
  EXPECT_EQ(FloatToStrF(-0.001, FloatFormat::ffFixed, 15, 2, Ru()), "0,00");
  EXPECT_EQ(FloatToStrF(2.5, FloatFormat::ffFixed, 15, 0, Ru()), "3");
  // More integer digits than the precision: general form instead of invented digits.
  EXPECT_EQ(FloatToStrF(1e20, FloatFormat::ffFixed, 15, 2, En()), "1E20");
}

TEST(CurrToStr, ShowsUpToFourDecimals) {
  EXPECT_EQ(CurrToStr(12345, Ru()), "1,2345");
  EXPECT_EQ(CurrToStr(-10000, En()), "-1");
  EXPECT_EQ(CurrToStr(-1, En()), "-0.0001");
  EXPECT_EQ(CurrToStr(INT64_MIN, En()), "-922337203685477.5808");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0xDEADBEEFull, 2), "DEADBEEF");
}

TEST(FormatFloat, RoundsHalfAwayFromZeroOnTheDecimalDigits) {
  EXPECT_EQ(FormatFloat("0", 0.5, Ru()), "1");
  EXPECT_EQ(FormatFloat("0", 1.5, Ru()), "2");
  EXPECT_EQ(FormatFloat("0", 2.5, Ru()), "3");
  EXPECT_EQ(FormatFloat("0", -0.5, Ru()), "-1");
  EXPECT_EQ(FormatFloat("0", -0.4, Ru()), "0");  // no sign on a result that rounds to zero
  EXPECT_EQ(FormatFloat("0.00", -0.001, En()), "0.00");
  EXPECT_EQ(FormatFloat("0.00", 1.005, Ru()), "1,01");  // stored as 1.00499999999999989...
  EXPECT_EQ(FormatFloat("0.00", 2.675, En()), "2.68");
  EXPECT_EQ(FormatFloat("0.00", 0.125, En()), "0.13");
  EXPECT_EQ(FormatFloat("0.00", 0.1 + 0.2, Ru()), "0,30");
  EXPECT_EQ(FormatFloat("0.00", 9.995, En()), "10.00");
  EXPECT_EQ(FormatFloat("0.00", -0.0, Ru()), "0,00");
}

TEST(FormatFloat, PlaceholdersGroupingAndLiterals) {
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891, Ru()), "1" NBSP "234" NBSP "567,89");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891, En()), "1,234,567.89");
  EXPECT_EQ(FormatFloat("#,##0.00", -1234.5, En()), "-1,234.50");
  EXPECT_EQ(FormatFloat("#,##0", 999.5, En()), "1,000");
  EXPECT_EQ(FormatFloat("00000", 42, En()), "00042");
  EXPECT_EQ(FormatFloat("#.##", 0.5, Ru()), ",5");
  EXPECT_EQ(FormatFloat("#.##", 0, Ru()), "");
  EXPECT_EQ(FormatFloat("0.##", 1, Ru()), "1");
  EXPECT_EQ(FormatFloat("0.0#", 1.25, En()), "1.25");
  EXPECT_EQ(FormatFloat("0.0#", 1.2, En()), "1.2");
  EXPECT_EQ(FormatFloat(".00", 12.5, En()), "12.50");
  EXPECT_EQ(FormatFloat("000-00", 12345, En()), "123-45");
  EXPECT_EQ(FormatFloat("0.00 'руб.'", 5, Ru()), "5,00 руб.");
  EXPECT_EQ(FormatFloat("\"#\"0", 7, Ru()), "#7");
  EXPECT_EQ(FormatFloat("", 2.5, Ru()), "2,5");
}

TEST(FormatFloat, SectionsForNegativeAndZero) {
  EXPECT_EQ(FormatFloat("0.0;(0.0);'zero'", 1.25, En()), "1.3");
  EXPECT_EQ(FormatFloat("0.0;(0.0);'zero'", -1.25, En()), "(1.3)");
  EXPECT_EQ(FormatFloat("0.0;(0.0);'zero'", 0, En()), "zero");
  // The section is picked by the sign of the value, before rounding.
  EXPECT_EQ(FormatFloat("0;-0;'zero'", -0.4, En()), "-0");
  // An empty section falls back to the first, which then writes the sign.
  EXPECT_EQ(FormatFloat("0.0;;'zero'", -2, En()), "-2.0");
  EXPECT_EQ(FormatFloat("0.0;'neg'", 0, En()), "0.0");
  EXPECT_EQ(FormatFloat("0.0;'neg'", -3, En()), "neg");
}

TEST(FormatFloat, ScientificAndHugeValues) {
  EXPECT_EQ(FormatFloat("0.00E+00", 1234.5, Ru()), "1,23E+03");
  EXPECT_EQ(FormatFloat("00.00E+00", 1234.5, En()), "12.35E+02");
  EXPECT_EQ(FormatFloat("0.00E-00", 1234.5, En()), "1.23E03");
  EXPECT_EQ(FormatFloat("0.00E+00", 0.000123, En()), "1.23E-04");
  EXPECT_EQ(FormatFloat("0.00E+00", 0, En()), "0.00E+00");
  EXPECT_EQ(FormatFloat("0.00", 1e300, Ru()), "1E300");
  EXPECT_EQ(FormatFloat("0.00", 1e-300, Ru()), "0,00");
  EXPECT_EQ(FormatFloat("0", 123456789012345678.0, En()), "123456789012346000");
  EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::infinity(), En()), "INF");
}

TEST(Format, NumericDirectivesUseTheSettings) {
  EXPECT_EQ(Fmt("%2.2n", {1234567.891}, Ru()), "1" NBSP "234" NBSP "567,89");
  EXPECT_EQ(Fmt("%2.2n", {1234567.891}, En()), "1,234,567.89");
  EXPECT_EQ(Fmt("%n", {-1234.5}, En()), "-1,234.50");
  EXPECT_EQ(Fmt("%.0n", {1234.5}, En()), "1,235");
  EXPECT_EQ(Fmt("%f|%.0f|%.0f|%5.1f", {1.005, 2.5, 0.5, 3.14159}, Ru()), "1,01|3|1|  3,1");
  EXPECT_EQ(Fmt("%e", {1234.5}, Ru()), "1,23450000000000E+003");
  EXPECT_EQ(Fmt("%.2e", {-0.000123}, En()), "-1.2E-004");
  EXPECT_EQ(Fmt("%g|%g|%.3g", {1e20, 0.1, 1234.5}, En()), "1E20|0.1|1.23E3");
  EXPECT_EQ(Fmt("%m", {-12.5}, Ru()), "-12,50 р.");
  EXPECT_EQ(Fmt("%m", {-12.5}, En()), "($12.50)");
  EXPECT_EQ(Fmt("%m", {Variant::FromCurrency(int64_t{123456})}, Ru()), "12,35 р.");
}

TEST(Format, IntegerStringAndPointerDirectives) {
  EXPECT_EQ(Fmt("%d|%.5d|%8.5d|%x|%.4x|%u",
                {int32_t{-42}, int32_t{-42}, int32_t{-42}, int32_t{255}, int32_t{255}, int32_t{-1}},
                En()),
            "-42|-00042|  -00042|FF|00FF|4294967295");
  EXPECT_EQ(Fmt("%x", {int64_t{-1}}, En()), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Fmt("%5s|%-5s|%.2s|", {"ab", "ab", "abcdef"}, En()), "   ab|ab   |ab|");
  // Width and precision count characters, not bytes.
  EXPECT_EQ(Fmt("[%5s][%.2s]", {"Жук", "Жук"}, Ru()), "[  Жук][Жу]");
  EXPECT_EQ(Fmt("%s", {2.5}, Ru()), "2,5");
  EXPECT_EQ(Fmt("%p", {int32_t{0x1234}}, En()), "00001234");
  EXPECT_EQ(Fmt("100%% %D", {int32_t{7}}, En()), "100% 7");
}

TEST(Format, IndexAndStarTakeArguments) {
  EXPECT_EQ(Fmt("%1:s %0:s %s", {"a", "b", "c"}, En()), "b a b");
  EXPECT_EQ(Fmt("%*d|%-*d|%.*f", {int32_t{5}, int32_t{42}, int32_t{4}, int32_t{7}, int32_t{2}, 3.14159},
                Ru()),
            "   42|7   |3,14");
}

TEST(Format, BadDirectivesAndArgumentsRaiseConvertError) {
  const std::string expected = "Format '%d' invalid or incompatible with argument";
  EXPECT_EQ(ConvertErrorOf([] { Fmt("%d", {1.5}, En()); }), expected);
  EXPECT_EQ(ConvertErrorOf([] { Fmt("%d", {}, En()); }), expected);
  EXPECT_EQ(ConvertErrorOf([] { Fmt("%d", {"12"}, En()); }), expected);
  EXPECT_EQ(ConvertErrorOf([] { Fmt("%f", {int32_t{5}}, En()); }),
            "Format '%f' invalid or incompatible with argument");
  EXPECT_THROW(Fmt("%z", {int32_t{1}}, En()), EConvertError);
  EXPECT_THROW(Fmt("abc %", {int32_t{1}}, En()), EConvertError);
  EXPECT_THROW(Fmt("%5.", {int32_t{1}}, En()), EConvertError);
  EXPECT_THROW(Fmt("%s", {Variant::Null()}, En()), EConvertError);
  EXPECT_THROW(Fmt("%*d", {"x", int32_t{1}}, En()), EConvertError);
  EXPECT_THROW(Fmt("%3:d", {int32_t{1}}, En()), EConvertError);
  // Absurd widths are clamped, not allocated.
  EXPECT_EQ(Fmt("%999999999d", {int32_t{1}}, En()).size(), 65536u);
}

class FormatDateTimeTest : public ::testing::Test {
 protected:
  // Thursday 29 February 2024, 13:05:07.089.
  const TDateTime moment_ = EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 7, 89);
  const TDateTime midnight_ = EncodeDate(2024, 2, 29);
};

TEST_F(FormatDateTimeTest, RussianPatterns) {
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy", moment_, Ru()), "29.02.2024");
  EXPECT_EQ(FormatDateTime("d mmmm yyyy", moment_, Ru()), "29 Февраль 2024");
  EXPECT_EQ(FormatDateTime("hh:nn:ss", moment_, Ru()), "13:05:07");
  EXPECT_EQ(FormatDateTime("c", moment_, Ru()), "29.02.2024 13:05:07");
  EXPECT_EQ(FormatDateTime("c", midnight_, Ru()), "29.02.2024");
  EXPECT_EQ(FormatDateTime("ddd, dddd; mmm", moment_, Ru()), "Чт, четверг; фев");
  EXPECT_EQ(FormatDateTime("dddddd", moment_, Ru()), "29 Февраль 2024");
  EXPECT_EQ(FormatDateTime("d/m/yy t", EncodeDate(2001, 3, 5) + 0.375, Ru()), "5.3.01 9:00");
  EXPECT_EQ(DateTimeToStr(moment_, Ru()), "29.02.2024 13:05:07");
  EXPECT_EQ(DateTimeToStr(midnight_, Ru()), "29.02.2024");
  EXPECT_EQ(DateToStr(moment_, Ru()), "29.02.2024");
  EXPECT_EQ(TimeToStr(moment_, Ru()), "13:05:07");
  EXPECT_EQ(DateTimeToStr(-1.25, Ru()), "29.12.1899 6:00:00");
}

TEST_F(FormatDateTimeTest, EnglishPatternsAndTwelveHourClock) {
  EXPECT_EQ(FormatDateTime("c", moment_, En()), "2/29/2024 1:05:07 PM");
  EXPECT_EQ(FormatDateTime("ddddd|dddddd", moment_, En()), "2/29/2024|Thursday, February 29, 2024");
  EXPECT_EQ(FormatDateTime("t|tt", moment_, En()), "1:05 PM|1:05:07 PM");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", moment_, En()), "1:05 pm");
  EXPECT_EQ(FormatDateTime("hh:mm AM/PM", moment_, En()), "01:05 PM");
  EXPECT_EQ(FormatDateTime("H:NN A/P", moment_, En()), "1:05 P");
  EXPECT_EQ(FormatDateTime("h:nn ampm", moment_, En()), "1:05 PM");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(0, 30, 0, 0), En()), "12:30 am");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(12, 30, 0, 0), En()), "12:30 pm");
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz z", moment_, En()), "13:05:07.089 89");
  EXPECT_EQ(FormatDateTime("yy yyyy m mm", moment_, En()), "24 2024 2 02");
  EXPECT_EQ(TimeToStr(0.5, En()), "12:00:00 PM");
}

TEST_F(FormatDateTimeTest, LiteralsAndMinutesAfterHours) {
  EXPECT_EQ(FormatDateTime("\"h is\" 'hh' hh", moment_, En()), "h is hh 13");
  // "m" after an hour token means minutes, even with literal text between them.
  EXPECT_EQ(FormatDateTime("hh \"x\" mm", moment_, En()), "13 x 05");
  EXPECT_EQ(FormatDateTime("mm/dd hh", moment_, En()), "02/29 13");
  // The 24-hour "hh" is not turned into 12-hour by an AM/PM after a later hour token.
  EXPECT_EQ(FormatDateTime("hh h am/pm", moment_, En()), "13 1 pm");
  EXPECT_EQ(FormatDateTime("", midnight_, En()), "2/29/2024");
  EXPECT_EQ(FormatDateTime("yyyy", 1e300, En()), "0000");
}

TEST(StrToFloat, ParsesTheLocaleDecimalSeparatorOnly) {
  double v = 0;
  EXPECT_TRUE(TryStrToFloat(" 1,5e3 ", v, Ru()));
  EXPECT_EQ(v, 1500.0);
  EXPECT_TRUE(TryStrToFloat("-,5", v, Ru()));
  EXPECT_EQ(v, -0.5);
  EXPECT_TRUE(TryStrToFloat("1,", v, Ru()));
  EXPECT_EQ(v, 1.0);
  EXPECT_TRUE(TryStrToFloat("1e-400", v, En()));
  EXPECT_EQ(v, 0.0);
  for (const char* bad : {"1.5", "", " ", ",", "1e", "1e+", "abc", "1,5,", "1 5", "1e400", "INF",
                          "NAN", "0x10"}) {
    EXPECT_FALSE(TryStrToFloat(bad, v, Ru())) << bad;
  }
  EXPECT_TRUE(TryStrToFloat("1.5", v, En()));
  EXPECT_EQ(ConvertErrorOf([] { StrToFloat("x", Ru()); }), "'x' is not a valid floating point value");
}

TEST(StrToInt, DecimalAndHexWithinRange) {
  int32_t i = 0;
  int64_t l = 0;
  EXPECT_TRUE(TryStrToInt(" -12 ", i));
  EXPECT_EQ(i, -12);
  EXPECT_TRUE(TryStrToInt("$FF", i));
  EXPECT_EQ(i, 255);
  EXPECT_TRUE(TryStrToInt("0x7fffffff", i));
  EXPECT_EQ(i, INT32_MAX);
  EXPECT_TRUE(TryStrToInt("-2147483648", i));
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_FALSE(TryStrToInt("2147483648", i));
  EXPECT_FALSE(TryStrToInt("12a", i));
  EXPECT_FALSE(TryStrToInt("", i));
  EXPECT_FALSE(TryStrToInt("1.0", i));
  EXPECT_TRUE(TryStrToInt64("9223372036854775807", l));
  EXPECT_EQ(l, INT64_MAX);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", l));
  EXPECT_EQ(ConvertErrorOf([] { StrToInt("abc"); }), "'abc' is not a valid integer value");
}

TEST(StrToCurr, RoundsToFourDecimalsExactly) {
  int64_t c = 0;
  EXPECT_TRUE(TryStrToCurr("1,23456", c, Ru()));
  EXPECT_EQ(c, 12346);
  EXPECT_TRUE(TryStrToCurr("-0,00005", c, Ru()));
  EXPECT_EQ(c, -1);
  EXPECT_TRUE(TryStrToCurr("922337203685477.5807", c, En()));
  EXPECT_EQ(c, INT64_MAX);
  EXPECT_FALSE(TryStrToCurr("922337203685477.5808", c, En()));
  EXPECT_FALSE(TryStrToCurr("1e30", c, En()));
  EXPECT_TRUE(TryStrToCurr("1e-30", c, En()));
  EXPECT_EQ(c, 0);
}

TEST(StrToDate, FollowsTheShortDateOrder) {
  TDateTime d = 0;
  EXPECT_TRUE(TryStrToDate("29.02.2024", d, Ru()));
  EXPECT_EQ(d, EncodeDate(2024, 2, 29));
  EXPECT_TRUE(TryStrToDate("2/29/2024", d, En()));
  EXPECT_EQ(d, EncodeDate(2024, 2, 29));
  EXPECT_FALSE(TryStrToDate("30.02.2024", d, Ru()));
  EXPECT_FALSE(TryStrToDate("2/29/2024", d, Ru()));
  EXPECT_FALSE(TryStrToDate("29.02.2024 x", d, Ru()));
  EXPECT_FALSE(TryStrToDate("", d, Ru()));
  EXPECT_FALSE(TryStrToDate("99999999999.1.1", d, Ru()));
  // Two-digit years fall within 50 years of now (valid while the year is 2001 .. 2048).
  EXPECT_TRUE(TryStrToDate("1.2.99", d, Ru()));
  EXPECT_EQ(d, EncodeDate(1999, 2, 1));
  EXPECT_TRUE(TryStrToDate("01.02.01", d, Ru()));
  EXPECT_EQ(d, EncodeDate(2001, 2, 1));
  // Day and month alone: the current year.
  int year, month, day;
  DecodeDate(Date(), year, month, day);
  EXPECT_TRUE(TryStrToDate("1.3", d, Ru()));
  EXPECT_EQ(d, EncodeDate(year, 3, 1));
  EXPECT_EQ(ConvertErrorOf([] { StrToDate("32.01.2024", Ru()); }), "'32.01.2024' is not a valid date");
}

TEST(StrToTime, HoursMinutesSecondsAndAmPm) {
  TDateTime t = 0;
  EXPECT_TRUE(TryStrToTime("13:05", t, Ru()));
  EXPECT_EQ(t, EncodeTime(13, 5, 0, 0));
  EXPECT_TRUE(TryStrToTime("13:05:07,089", t, Ru()));
  EXPECT_EQ(t, EncodeTime(13, 5, 7, 89));
  EXPECT_TRUE(TryStrToTime("1:05 PM", t, En()));
  EXPECT_EQ(t, EncodeTime(13, 5, 0, 0));
  EXPECT_TRUE(TryStrToTime("12:00 am", t, En()));
  EXPECT_EQ(t, 0.0);
  EXPECT_TRUE(TryStrToTime("3 p", t, En()));
  EXPECT_EQ(t, EncodeTime(15, 0, 0, 0));
  for (const char* bad : {"13", "25:00", "13:00 PM", "12:60", "1:05 XM", "", ":"}) {
    EXPECT_FALSE(TryStrToTime(bad, t, En())) << bad;
  }
  EXPECT_EQ(ConvertErrorOf([] { StrToTime("x", Ru()); }), "'x' is not a valid time");
}

TEST(StrToDateTime, DateTimeOrEitherAlone) {
  TDateTime v = 0;
  EXPECT_TRUE(TryStrToDateTime("29.02.2024 13:05:07", v, Ru()));
  EXPECT_EQ(DateTimeToStr(v, Ru()), "29.02.2024 13:05:07");
  EXPECT_TRUE(TryStrToDateTime("2/29/2024 1:05 PM", v, En()));
  EXPECT_EQ(DateTimeToStr(v, En()), "2/29/2024 1:05:00 PM");
  EXPECT_TRUE(TryStrToDateTime("29.02.2024", v, Ru()));
  EXPECT_EQ(v, EncodeDate(2024, 2, 29));
  EXPECT_TRUE(TryStrToDateTime("6:00", v, Ru()));
  EXPECT_EQ(v, 0.25);
  EXPECT_TRUE(TryStrToDateTime("29.12.1899 6:00", v, Ru()));
  EXPECT_EQ(v, -1.25);
  EXPECT_FALSE(TryStrToDateTime("29.02.2024 25:00", v, Ru()));
  EXPECT_EQ(ConvertErrorOf([] { StrToDateTime("x", Ru()); }), "'x' is not a valid date and time");
}

TEST(StrToBool, WordsOrNumbers) {
  bool b = false;
  EXPECT_TRUE(TryStrToBool("true", b, Ru()) && b);
  EXPECT_TRUE(TryStrToBool(" FALSE ", b, Ru()) && !b);
  EXPECT_TRUE(TryStrToBool("0", b, Ru()) && !b);
  EXPECT_TRUE(TryStrToBool("2,5", b, Ru()) && b);
  EXPECT_FALSE(TryStrToBool("yes", b, Ru()));
  EXPECT_EQ(ConvertErrorOf([] { StrToBool("yes", Ru()); }), "'yes' is not a valid boolean value");
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false), "0");
  EXPECT_EQ(BoolToStr(true, true), "True");
}

TEST(FormatMaskText, InsertsLiteralsWhenTheyAreNotSaved) {
  EXPECT_EQ(FormatMaskText("99/99/0000;0;_", "12052024", Ru()), "12.05.2024");
  EXPECT_EQ(FormatMaskText("99/99/0000;0;_", "12052024", En()), "12/05/2024");
  EXPECT_EQ(FormatMaskText("99/99/0000;0;_", "1205", Ru()), "12.05.____");
  EXPECT_EQ(FormatMaskText("!99/99/0000;0;_", "1205", Ru()), "__.__.1205");
  EXPECT_EQ(FormatMaskText("\\(000\\) 000-0000;0; ", "4951234567", Ru()), "(495) 123-4567");
  EXPECT_EQ(FormatMaskText("90:00;0", "930", Ru()), "93:0 ");
  EXPECT_EQ(FormatMaskText("0_0;0", "12", Ru()), "1 2");
}

TEST(FormatMaskText, SavedLiteralsCaseAndExtraCharacters) {
  EXPECT_EQ(FormatMaskText("00:00;1;_", "12:30", Ru()), "12:30");
  EXPECT_EQ(FormatMaskText("000-000", "12", Ru()), "12 -   ");
  EXPECT_EQ(FormatMaskText(">LL<ll", "abCD", Ru()), "ABcd");
  EXPECT_EQ(FormatMaskText(">LL<>ll", "жкЁЁ", Ru()), "ЖКЁЁ");
  EXPECT_EQ(FormatMaskText("<LL", "ЖК", Ru()), "жк");
  EXPECT_EQ(FormatMaskText("00;0", "12345", Ru()), "12345");
  EXPECT_EQ(FormatMaskText("", "abc", Ru()), "abc");
  EXPECT_EQ(FormatMaskText("00\\", "1", Ru()), "1 ");
  // Broken UTF-8 in the value passes through byte by byte.
  EXPECT_EQ(FormatMaskText(">LL", "\xD0z", Ru()), "\xD0Z");
}

TEST(Settings, LocaleNamesPickTheirConventions) {
  EXPECT_EQ(FormatSettings::ForLocale("ru_RU.UTF-8").ThousandSeparator, NBSP);
  EXPECT_EQ(FormatSettings::ForLocale("en_US.UTF-8").ShortDateFormat, "M/d/yyyy");
  EXPECT_EQ(FormatSettings::ForLocale("de_DE@euro").DecimalSeparator, ",");
  EXPECT_EQ(FormatSettings::ForLocale("de_DE@euro").ThousandSeparator, ".");
  EXPECT_EQ(FormatSettings::ForLocale("C").ShortDateFormat, "dd.mm.yyyy");
  EXPECT_EQ(FormatSettings::ForLocale("").LongMonthNames[11], "Декабрь");
  EXPECT_EQ(FormatSettings::ForLocale("POSIX").LongDayNames[0], "воскресенье");
  const TDateTime moment = EncodeDate(2024, 3, 5) + EncodeTime(17, 4, 0, 0);
  EXPECT_EQ(DateTimeToStr(moment, FormatSettings::German()), "05.03.2024 17:04:00");
  EXPECT_EQ(FormatDateTime("dddddd", moment, FormatSettings::German()), "Dienstag, 5. März 2024");
  EXPECT_EQ(FloatToStrF(1234.5, FloatFormat::ffCurrency, 15, 2, FormatSettings::German()),
            "1.234,50 €");
}

// Sets an environment variable for the life of the object and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(Settings, EnvironmentOrderIsLcAllThenNumericTimeThenLang) {
  ScopedEnv all("LC_ALL", nullptr);
  ScopedEnv numeric("LC_NUMERIC", nullptr);
  ScopedEnv time("LC_TIME", "de_DE.UTF-8");
  ScopedEnv lang("LANG", "en_US.UTF-8");
  EXPECT_EQ(LocaleLanguage(), "de");
  EXPECT_EQ(FormatSettings::FromLocale().ThousandSeparator, ".");
  {
    ScopedEnv override_all("LC_ALL", "en_GB.UTF-8");
    EXPECT_EQ(LocaleLanguage(), "en");
    EXPECT_EQ(FormatSettings::FromLocale().DecimalSeparator, ".");
  }
  ScopedEnv time_c("LC_TIME", "C");
  EXPECT_EQ(LocaleLanguage(), "");
  EXPECT_EQ(FormatSettings::FromLocale().DecimalSeparator, ",");
}

TEST(Settings, DefaultSetIsReplacedInPlace) {
  const FormatSettings saved = DefaultFormatSettings();
  const FormatSettings& current = DefaultFormatSettings();
  SetDefaultFormatSettings(En());
  EXPECT_EQ(current.DateSeparator, "/");
  EXPECT_EQ(FormatMaskText("99/99;0", "1205"), "12/05");
  SetDefaultFormatSettings(Ru());
  EXPECT_EQ(FormatMaskText("99/99;0", "1205"), "12.05");
  SetDefaultFormatSettings(saved);
}

}  // namespace
}  // namespace lgoty::core
