#include "core/variant.h"

#include <gtest/gtest.h>

#include <cmath>

#include <limits>
#include <vector>

#include "core/date_time.h"
#include "core/exception.h"
#include "core/text_format.h"

namespace lgoty::core {
namespace {

using K = Variant::Kind;

const FormatSettings& Ru() {
  static const FormatSettings settings = FormatSettings::Russian();
  return settings;
}

template <typename E, typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no exception)";
}

TEST(VariantArithmetic, IntegerKindsWidenOnlyWhenNeeded) {
  Variant sum = VarAdd(2, 3);
  EXPECT_EQ(sum.kind(), K::Integer);
  EXPECT_EQ(sum.ordinal(), 5);

  EXPECT_EQ(VarAdd(Variant::FromSmallint(30000), Variant::FromSmallint(30000)).kind(), K::Integer);

  Variant big = VarAdd(std::numeric_limits<int32_t>::max(), 1);
  EXPECT_EQ(big.kind(), K::Int64);
  EXPECT_EQ(big.ordinal(), 2147483648LL);
  EXPECT_EQ(VarMul(65536, 65536).ordinal(), 4294967296LL);
  EXPECT_EQ(VarSub(int64_t{10}, 3).kind(), K::Int64);

  Variant past_int64 = VarAdd(std::numeric_limits<int64_t>::max(), 1);
  EXPECT_EQ(past_int64.kind(), K::Double);
  EXPECT_DOUBLE_EQ(past_int64.real(), 9223372036854775808.0);

  Variant mixed = VarAdd(1, 0.5);
  EXPECT_EQ(mixed.kind(), K::Double);
  EXPECT_DOUBLE_EQ(mixed.real(), 1.5);
  // Boolean true counts as -1.
  EXPECT_EQ(VarAdd(true, 1).ordinal(), 0);
}

TEST(VariantArithmetic, CurrencyStaysScaledAndDateMoves) {
  Variant price = Variant::FromCurrency(1.5);
  Variant triple = VarMul(price, 3);
  EXPECT_EQ(triple.kind(), K::Currency);
  EXPECT_EQ(triple.ordinal(), 45000);
  EXPECT_EQ(VarMul(price, price).ordinal(), 22500);
  // 0.0001 * 0.5 rounds half to even: 0.00005 -> 0.0000, 0.00015 -> 0.0002.
  EXPECT_EQ(VarMul(Variant::FromCurrency(int64_t{1}), Variant::FromCurrency(0.5)).ordinal(), 0);
  EXPECT_EQ(VarMul(Variant::FromCurrency(int64_t{3}), Variant::FromCurrency(0.5)).ordinal(), 2);
  EXPECT_EQ(VarAdd(price, 1).ordinal(), 25000);
  EXPECT_EQ(VarAdd(price, 0.25).kind(), K::Double);

  Variant day = Variant::FromDate(EncodeDate(2024, 2, 28));
  Variant next = VarAdd(day, 1);
  EXPECT_EQ(next.kind(), K::Date);
  EXPECT_DOUBLE_EQ(next.real(), EncodeDate(2024, 2, 29));
  EXPECT_EQ(VarSub(day, 0.5).kind(), K::Date);
  Variant span = VarSub(next, day);
  EXPECT_EQ(span.kind(), K::Double);
  EXPECT_DOUBLE_EQ(span.real(), 1.0);
}

TEST(VariantArithmetic, NullPropagatesEmptyCountsAsZero) {
  Variant null = Variant::Null();
  EXPECT_TRUE(VarAdd(null, 1).IsNull());
  EXPECT_TRUE(VarMul(2.5, null).IsNull());
  EXPECT_TRUE(VarDiv(null, 0).IsNull());
  EXPECT_TRUE(VarIntDiv(1, null).IsNull());
  EXPECT_TRUE(VarAnd(null, true).IsNull());
  EXPECT_TRUE(VarNot(null).IsNull());
  EXPECT_TRUE(VarNeg(null).IsNull());
  EXPECT_TRUE(VarAdd(Variant(), null).IsNull());

  EXPECT_EQ(VarAdd(Variant(), 7).ordinal(), 7);
  EXPECT_EQ(VarAdd(Variant(), "x").text(), "x");
}

TEST(VariantArithmetic, TextConcatenatesOrConvertsToNumber) {
  EXPECT_EQ(VarAdd("12", "3").text(), "123");
  Variant sum = VarAdd("12", 3);
  EXPECT_EQ(sum.kind(), K::Integer);
  EXPECT_EQ(sum.ordinal(), 15);
  EXPECT_EQ(VarSub("12", "3").ordinal(), 9);

  EXPECT_DOUBLE_EQ(VarAdd("1,5", 1, Ru()).real(), 2.5);
  EXPECT_THROW(VarAdd("1.5", 1, Ru()), EConvertError);
  EXPECT_EQ(MessageOf<EConvertError>([] { VarAdd("a", 1); }),
            "Could not convert variant of type (String) into type (Double)");
  EXPECT_THROW(VarAdd(Variant::Array({1}), 1), EVariantError);
}

TEST(VariantArithmetic, DivisionKindsAndErrors) {
  Variant half = VarDiv(7, 2);
  EXPECT_EQ(half.kind(), K::Double);
  EXPECT_DOUBLE_EQ(half.real(), 3.5);
  EXPECT_EQ(VarDiv(6, 3).kind(), K::Double);

  Variant quotient = VarIntDiv(7, 2);
  EXPECT_EQ(quotient.kind(), K::Integer);
  EXPECT_EQ(quotient.ordinal(), 3);
  EXPECT_EQ(VarMod(7, 2).ordinal(), 1);
  EXPECT_EQ(VarMod(-7, 2).ordinal(), -1);
  EXPECT_EQ(VarIntDiv(-7, 2).ordinal(), -3);
  // Operands are rounded half to even before dividing.
  EXPECT_EQ(VarIntDiv(2.5, 1).ordinal(), 2);
  EXPECT_EQ(VarIntDiv(3.5, 1).ordinal(), 4);
  EXPECT_EQ(VarIntDiv(std::numeric_limits<int32_t>::min(), -1).kind(), K::Int64);
  EXPECT_EQ(VarMod(std::numeric_limits<int64_t>::min(), -1).ordinal(), 0);

  EXPECT_EQ(MessageOf<EMathError>([] { VarIntDiv(1, 0); }), "Division by zero");
  EXPECT_EQ(MessageOf<EMathError>([] { VarMod(1, 0.4); }), "Division by zero");
  EXPECT_EQ(MessageOf<EMathError>([] { VarDiv(1, 0); }), "Floating point division by zero");
  EXPECT_EQ(MessageOf<EMathError>([] { VarDiv(0, 0.0); }), "Invalid floating point operation");
  EXPECT_EQ(MessageOf<EMathError>([] { VarMul(1e308, 10.0); }), "Floating point overflow");
}

TEST(VariantLogic, BooleansLogicalIntegersBitwise) {
  EXPECT_EQ(VarAnd(true, false).kind(), K::Boolean);
  EXPECT_FALSE(VarAnd(true, false).AsBoolean());
  EXPECT_TRUE(VarOr(false, true).AsBoolean());
  EXPECT_FALSE(VarXor(true, true).AsBoolean());
  EXPECT_TRUE(VarAnd(true, "True").AsBoolean());

  Variant bits = VarAnd(6, 3);
  EXPECT_EQ(bits.kind(), K::Integer);
  EXPECT_EQ(bits.ordinal(), 2);
  EXPECT_EQ(VarOr(4, 1).ordinal(), 5);
  EXPECT_EQ(VarXor(5, 1).ordinal(), 4);
  // A Boolean meeting an integer is -1 in the bitwise operation.
  EXPECT_EQ(VarAnd(true, 5).ordinal(), 5);

  EXPECT_EQ(VarNot(true).kind(), K::Boolean);
  EXPECT_FALSE(VarNot(true).AsBoolean());
  EXPECT_EQ(VarNot(0).ordinal(), -1);
  EXPECT_EQ(VarNot(5).ordinal(), -6);
  EXPECT_TRUE(VarNot("false").AsBoolean());

  EXPECT_EQ(VarShl(1, 4).ordinal(), 16);
  EXPECT_EQ(VarShr(-1, 28).ordinal(), 15);
  EXPECT_EQ(VarNeg(std::numeric_limits<int32_t>::min()).kind(), K::Int64);
  EXPECT_EQ(VarNeg(Variant::FromDate(2)).kind(), K::Date);
}

TEST(VariantConversion, TextFollowsTheSettings) {
  EXPECT_DOUBLE_EQ(Variant("1,5").AsDouble(Ru()), 1.5);
  EXPECT_THROW(Variant("1.5").AsDouble(Ru()), EConvertError);
  EXPECT_DOUBLE_EQ(Variant("1.5").AsDouble(FormatSettings::English()), 1.5);
  EXPECT_EQ(Variant(1.5).AsString(Ru()), "1,5");
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_DOUBLE_EQ(Variant(true).AsDouble(), -1.0);
  EXPECT_EQ(Variant(int64_t{-42}).AsString(), "-42");
  EXPECT_EQ(Variant::FromCurrency(12.5).AsString(Ru()), "12,5");
  EXPECT_EQ(Variant::FromDate(EncodeDate(2020, 1, 2)).AsString(Ru()), "02.01.2020");

  EXPECT_EQ(MessageOf<EVariantError>([] { Variant::Null().AsString(); }),
            "Could not convert variant of type (Null) into type (String)");
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant::Null().AsDouble(); }),
            "Could not convert variant of type (Null) into type (Double)");
  EXPECT_EQ(VarToStr(Variant::Null()), "");
  EXPECT_EQ(Variant().AsString(), "");
  EXPECT_EQ(Variant().AsInteger(), 0);

  EXPECT_EQ(Variant(2.5).AsInteger(), 2);
  EXPECT_EQ(Variant(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant(-2.5).AsInteger(), -2);
  EXPECT_EQ(Variant("2,5").AsInteger(Ru()), 2);
  EXPECT_EQ(Variant::FromCurrency(int64_t{25000}).AsInt64(), 2);
  EXPECT_EQ(MessageOf<EVariantError>([] { Variant(1e10).AsInteger(); }),
            "Overflow while converting variant of type (Double) into type (Integer)");
  EXPECT_EQ(Variant("1,25").AsCurrency(Ru()), 12500);
  EXPECT_TRUE(Variant("TRUE").AsBoolean());
  EXPECT_THROW(Variant("maybe").AsBoolean(), EConvertError);
}

TEST(VariantConversion, AsTypeAndTypeNames) {
  Variant twelve = VarAsType("12", varInteger);
  EXPECT_EQ(twelve.kind(), K::Integer);
  EXPECT_EQ(twelve.ordinal(), 12);
  EXPECT_EQ(VarAsType(1.5, varString, Ru()).text(), "1,5");
  EXPECT_EQ(VarAsType(7, varSmallint).kind(), K::Smallint);
  EXPECT_THROW(VarAsType(70000, varSmallint), EVariantError);
  EXPECT_THROW(VarAsType(-1, varByte), EVariantError);
  EXPECT_THROW(VarAsType(1, 0x0FFE), EVariantError);
  EXPECT_EQ(VarAsType(1, varDate).kind(), K::Date);

  EXPECT_STREQ(VarTypeName(Variant(1).Type()), "Integer");
  EXPECT_STREQ(VarTypeName(Variant("s").Type()), "String");
  EXPECT_STREQ(VarTypeName(Variant::Array({}).Type()), "Array Variant");
}

TEST(VariantCompare, NumbersTextsAndMixtures) {
  EXPECT_EQ(VarCompare(2, 10), VarCompareResult::Less);
  EXPECT_EQ(VarCompare("2", "10"), VarCompareResult::Greater);  // as texts
  EXPECT_EQ(VarCompare("10", 9), VarCompareResult::Greater);    // text made a number
  EXPECT_EQ(VarCompare(9, "10"), VarCompareResult::Less);
  EXPECT_EQ(VarCompare("1,5", 1.5, Ru()), VarCompareResult::Equal);
  EXPECT_EQ(VarCompare("abc", 1), VarCompareResult::Greater);   // not a number: as texts
  EXPECT_EQ(VarCompare(Variant::FromCurrency(1.5), 1.5), VarCompareResult::Equal);
  EXPECT_EQ(VarCompare(int64_t{1} << 60, (int64_t{1} << 60) + 1), VarCompareResult::Less);
  EXPECT_EQ(VarCompare(true, false), VarCompareResult::Less);  // -1 < 0
  EXPECT_EQ(VarCompare(Variant::FromDate(EncodeDate(2020, 1, 2)), "02.01.2020", Ru()),
            VarCompareResult::Equal);

  EXPECT_TRUE(VarSameValue(Variant(), ""));
  EXPECT_TRUE(VarSameValue(Variant(), 0));
  EXPECT_FALSE(VarSameValue("a", "A"));
}

TEST(VariantCompare, NullOnlyEqualsNullInEqualityTests) {
  Variant null = Variant::Null();
  EXPECT_EQ(VarCompare(null, 1), VarCompareResult::NotEqual);
  EXPECT_EQ(VarCompare(0, null), VarCompareResult::NotEqual);
  EXPECT_EQ(VarCompare(null, null), VarCompareResult::NotEqual);
  EXPECT_TRUE(VarSameValue(null, null));
  EXPECT_FALSE(VarSameValue(null, Variant()));
  EXPECT_FALSE(VarSameValue(null, ""));
}

TEST(VariantCompare, CyrillicTextsUseTheCollation) {
  // In byte order "ё" (D1 91) comes after "ж" (D0 B6); the Russian collation puts it with "е".
  EXPECT_EQ(VarCompare("ёж", "жук"), VarCompareResult::Less);
  EXPECT_EQ(VarCompare("Яблоко", "арбуз"), VarCompareResult::Greater);
  EXPECT_EQ(VarCompare("Иванов", "Иванова"), VarCompareResult::Less);
  EXPECT_EQ(VarCompare("Петров", "Петров"), VarCompareResult::Equal);
  // "ё" written as "е" plus a combining diaeresis collates as "ё"; equality still needs
  // the same bytes.
  EXPECT_FALSE(VarSameValue("\u0435\u0308", "\u0451"));
  EXPECT_NE(VarCompare("\u0435\u0308", "\u0451"), VarCompareResult::Equal);
}

TEST(VariantArray, BoundsAccessAndCopies) {
  Variant array = Variant::Array({10, "b", 2.5}, 1);
  EXPECT_EQ(array.Type(), varArray | varVariant);
  EXPECT_EQ(array.ArrayLow(), 1);
  EXPECT_EQ(array.ArrayHigh(), 3);
  EXPECT_EQ(array.At(1).ordinal(), 10);
  EXPECT_EQ(MessageOf<EVariantError>([&] { array.At(0); }),
            "Variant or safe array index out of bounds");
  EXPECT_THROW(array.SetAt(4, 1), EVariantError);
  EXPECT_THROW(Variant(1).ArrayLength(), EVariantError);

  Variant copy = array;
  copy.SetAt(2, "changed");
  EXPECT_EQ(array.At(2).text(), "b");
  EXPECT_EQ(copy.At(2).text(), "changed");
  EXPECT_FALSE(VarSameValue(array, copy));
  copy.SetAt(2, "b");
  EXPECT_TRUE(VarSameValue(array, copy));

  // Assigning an element of the array to the array itself keeps the element alive.
  Variant nested = Variant::Array({Variant::Array({"inner"})});
  nested = nested.At(0);
  EXPECT_EQ(nested.At(0).text(), "inner");
  nested = std::move(const_cast<Variant&>(nested.At(0)));
  EXPECT_EQ(nested.text(), "inner");

  Variant moved = std::move(copy);
  EXPECT_EQ(moved.ArrayLength(), 3);
  EXPECT_TRUE(copy.IsEmpty());
}

TEST(VariantAssignment, EveryKindOverEveryOtherKeepsTheValueAndItsKind) {
  const std::string long_text(100, 'x');
  const Variant values[] = {Variant(),  Variant::Null(), Variant(int32_t{7}), Variant(int64_t{1} << 40),
                            Variant(2.5), Variant(true),  Variant("short"),     Variant(long_text),
                            Variant::Array({1, "a"}), Variant::FromDate(45000.25), Variant::FromCurrency(1.5)};
  for (const Variant& before : values) {
    for (const Variant& after : values) {
      Variant target = before;
      target = after;
      EXPECT_EQ(target.kind(), after.kind());
      EXPECT_EQ(target.Type(), after.Type());
      if (!after.IsEmptyOrNull()) {
        EXPECT_TRUE(VarSameValue(target, after)) << VarTypeName(after.Type());
      }
      // The copy is a copy: changing it leaves the source alone.
      if (target.IsString()) {
        target = Variant("changed");
        EXPECT_NE(after.text(), "changed");
      }
    }
  }
  Variant self("self-assigned text that is long enough to live on the heap");
  const Variant& alias = self;
  self = alias;
  EXPECT_EQ(self.text(), "self-assigned text that is long enough to live on the heap");
  // A text over a longer text, then a longer one over it: no stale tail.
  Variant text(long_text);
  const Variant shorter("ab"), longer(long_text + "!");
  text = shorter;
  EXPECT_EQ(text.text(), "ab");
  text = longer;
  EXPECT_EQ(text.text(), long_text + "!");
  // A text over a value that owns nothing holds its own copy: the source changed or gone
  // afterwards leaves it as it was assigned.
  for (const Variant& before : {Variant(), Variant::Null(), Variant(int32_t{3}), Variant(1.5)}) {
    Variant target = before;
    {
      Variant source(long_text);
      target = source;
      source = Variant("other");
    }
    EXPECT_EQ(target.text(), long_text);
  }
}


// A date's text under a "dd.mm.yyyy"-like short pattern is written without the pattern
// reader: it must be FormatDateTime's text for every date, pattern case and separator, and
// other patterns must still be read.
TEST(VariantConversion, ShortDateTextsMatchTheFormattedPattern) {
  const char* const patterns[] = {"dd.mm.yyyy", "DD-MM-YYYY", "dd mm yyyy", "dd,MM,yyyy", "dd/mm/yyyy",
                                  "d.m.yyyy",   "dd.mm.yy",   "yyyy.mm.dd", "dd.mm-yyyy", "mm.dd.yyyy"};
  std::vector<double> days = {0, 1, -1, 2, 59, 60, 61, -693593, -693594, 2958465, 2958466, 45292, 36526};
  uint32_t state = 12345;
  for (int i = 0; i < 400; ++i) {
    state = state * 1103515245u + 12345u;
    days.push_back(static_cast<double>(static_cast<int32_t>(state % 3000000u) - 700000));
  }
  for (const char* pattern : patterns) {
    FormatSettings fs = DefaultFormatSettings();
    fs.ShortDateFormat = pattern;
    fs.DateSeparator = "/";
    for (double day : days) {
      EXPECT_EQ(Variant::FromDate(day).AsString(fs), DateToStr(day, fs)) << pattern << " " << day;
    }
  }
}

// Moves, swaps and AssignText over every pair of kinds give what a copy gives; a moved-from
// value is Empty, and a text assigned from inside the target itself survives.
TEST(VariantAssignment, MovesSwapsAndTextsInPlaceOverEveryKind) {
  const std::string long_text(100, 'y');
  const Variant values[] = {Variant(),  Variant::Null(), Variant(int32_t{-7}), Variant(int64_t{1} << 41),
                            Variant(-0.0), Variant(false), Variant("short"),   Variant(long_text),
                            Variant::Array({2, "b"}), Variant::FromDate(45000.5), Variant::FromCurrency(-2.5),
                            Variant::FromSmallint(-3)};
  for (const Variant& before : values) {
    for (const Variant& after : values) {
      Variant target = before, source = after;
      target = std::move(source);
      EXPECT_TRUE(source.IsEmpty());
      EXPECT_EQ(target.Type(), after.Type());
      if (!after.IsEmptyOrNull()) EXPECT_TRUE(VarSameValue(target, after)) << VarTypeName(after.Type());
      if (after.kind() == Variant::Kind::Double) EXPECT_TRUE(std::signbit(target.real()));

      Variant a = before, b = after;
      a.Swap(b);
      EXPECT_EQ(a.Type(), after.Type());
      EXPECT_EQ(b.Type(), before.Type());
      if (!after.IsEmptyOrNull()) EXPECT_TRUE(VarSameValue(a, after));
      if (!before.IsEmptyOrNull()) EXPECT_TRUE(VarSameValue(b, before));

      for (const std::string& text : {std::string(), std::string("ab"), long_text + "!"}) {
        Variant t = before;
        t.AssignText(text);
        ASSERT_TRUE(t.IsString());
        EXPECT_EQ(t.text(), text);
      }
    }
  }
  Variant self(long_text + "tail");
  self = std::move(self);
  EXPECT_EQ(self.text(), long_text + "tail");
  self.AssignText(std::string_view(self.text()).substr(50));
  EXPECT_EQ(self.text(), long_text.substr(50) + "tail");
  Variant array = Variant::Array({Variant(long_text), 1});
  array.AssignText(array.At(0).text());
  EXPECT_EQ(array.text(), long_text);
}

}  // namespace
}  // namespace lgoty::core
