#include "dbf/expression_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "core/date_time.h"
#include "core/locale.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_file.h"
#include "dbf/dbf_parser.h"
#include "dbf/field_codec.h"
#include "dbf/index_keys.h"
#include "platform/file.h"

namespace lgoty::dbf {
namespace {

using data::TFieldType;

// Expressions without fields, evaluated once; the ANSI code page is 1251.
class ConstantExpression : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetSystemCodePages({1251, 866});
    core::SetCollationLanguage("ru");
  }
  const TExprValue& Eval(const std::string& text) {
    parser_.CompileExpression(text);
    return parser_.Evaluate({});
  }
  std::string Text(const std::string& text) { return std::string(Eval(text).Text()); }
  std::string Error(const std::string& text) {
    try {
      parser_.CompileExpression(text);
    } catch (const EParserException& e) {
      return e.what();
    }
    return "(compiled)";
  }
  TCustomExpressionParser parser_;
};

TEST_F(ConstantExpression, OperatorsOfOnePrecedenceTakeEverythingAfterTheLeftmost) {
  EXPECT_EQ(Eval("2 + 3 * 4").integer, 14);
  EXPECT_EQ(Eval("2 * 3 + 4").integer, 14);
  EXPECT_EQ(Eval("10 - 2 - 3").integer, 11);
  EXPECT_EQ(Eval("(10 - 2) - 3").integer, 5);
  EXPECT_EQ(Eval("((2))").integer, 2);
}

TEST_F(ConstantExpression, OrIsLooserThanAndWhichIsLooserThanNotAndComparisons) {
  EXPECT_EQ(Eval("1 = 1 OR 1 = 2 AND 1 = 2").boolean, 1);  // a OR (b AND c)
  EXPECT_EQ(Eval("NOT 1 = 2").boolean, 1);                 // NOT (1 = 2)
  EXPECT_EQ(Eval("NOT 1 = 1 AND 2 = 2").boolean, 0);       // (NOT 1 = 1) AND ...
  EXPECT_EQ(Eval("NOT NOT 1 = 1").boolean, 1);
  EXPECT_EQ(Eval("not TRUE or false").boolean, 0);
}

TEST_F(ConstantExpression, RunsOfSignsCollapseToOneSign) {
  EXPECT_EQ(Eval("-5 + 2").integer, -3);
  EXPECT_EQ(Eval("2 - -3").integer, 5);
  EXPECT_EQ(Eval("--4").integer, 4);
  EXPECT_EQ(Eval("3 * -+-2").integer, 6);
  EXPECT_DOUBLE_EQ(Eval("-1.5").real, -1.5);
  EXPECT_EQ(Text("STR(-5, 3)"), " -5");
}

TEST_F(ConstantExpression, OverloadsFollowTheOperandTypes) {
  EXPECT_EQ(Eval("1 + 2").type, TExpressionType::etInteger);
  EXPECT_EQ(Eval("7 / 2").integer, 3);
  EXPECT_DOUBLE_EQ(Eval("7.0 / 2").real, 3.5);
  EXPECT_DOUBLE_EQ(Eval("1 + 2.5").real, 3.5);
  EXPECT_EQ(Eval("3000000000 + 1").type, TExpressionType::etLargeInt);
  EXPECT_EQ(Eval("3000000000 + 1").large, 3000000001LL);
  EXPECT_EQ(Eval("$1F + 1").integer, 32);
  EXPECT_DOUBLE_EQ(Eval("1.5e2").real, 150.0);
  EXPECT_DOUBLE_EQ(Eval(".5 * 4").real, 2.0);
  EXPECT_EQ(Text("'AB' + \"CD\""), "ABCD");
  EXPECT_EQ(Eval("2 < 2.5").boolean, 1);
  EXPECT_EQ(Eval("3000000000 > 1").boolean, 1);
  EXPECT_EQ(Eval("3000000000 = 3000000000.0").boolean, 1);
}

TEST_F(ConstantExpression, IntegerArithmeticNeverTraps) {
  EXPECT_EQ(Eval("7 / 0").integer, 0);
  EXPECT_EQ(Eval("2147483647 + 1").integer, INT_MIN);
  EXPECT_EQ(Eval("(-2147483647 - 1) / -1").integer, INT_MIN);
  EXPECT_TRUE(std::isinf(Eval("1.0 / 0").real));
}

TEST_F(ConstantExpression, FunctionResults) {
  EXPECT_EQ(Text("STR(3.14159, 8, 2)"), "    3.14");
  EXPECT_EQ(Text("STR(5, 4, 2)"), "   5.00");
  EXPECT_EQ(Text("STR(3.7)"), "4");
  EXPECT_EQ(Text("STR(2.5, 6, 1)"), "   2.5");
  EXPECT_EQ(Text("STR(123456.5, 3)"), "123");
  EXPECT_EQ(Text("STR(123456, 3)"), "123");
  EXPECT_EQ(Text("STR(1.0e30)").size(), 18u);
  EXPECT_EQ(Text("STR(1, 100000)").size(), 255u);
  EXPECT_EQ(Text("SUBSTR('ABCDEF', 5, 10)"), "EF");
  EXPECT_EQ(Text("SUBS('ABCDEF', 2, 3)"), "BCD");
  EXPECT_EQ(Text("SUBSTR('ABC', 9, 1)"), "");
  EXPECT_EQ(Text("SUBSTR('ABC', 0, -1)"), "");
  EXPECT_EQ(Text("UPPER('abc') + lowercase('DEF')"), "ABCdef");
  // Case mapping of Cyrillic in the ANSI code page (1251).
  EXPECT_EQ(core::ToUtf8(1251, Text("UPPERCASE('иванов ё')")), "ИВАНОВ Ё");
}

TEST_F(ConstantExpression, StringComparisonIsLocaleAwareAndCaseInsensitiveByDefault) {
  EXPECT_EQ(Eval("'abc' = 'ABC'").boolean, 1);
  EXPECT_EQ(Eval("'Я' > 'а'").boolean, 1);  // bytes: 0xDF < 0xE0
  EXPECT_EQ(Eval("'AB' <> 'AB'").boolean, 0);
  EXPECT_EQ(Eval("'ЁЛКА' = 'ёлка'").boolean, 1);
  EXPECT_EQ(Eval("'ёлка' = 'елка'").boolean, 0);  // accents count
  EXPECT_EQ(Eval("'ёлка' > 'елка'").boolean, 1);
  parser_.SetCaseInsensitive(false);
  EXPECT_EQ(Eval("'abc' = 'ABC'").boolean, 0);
  EXPECT_EQ(Eval("'abc' < 'abd'").boolean, 1);
}

TEST_F(ConstantExpression, SettingsRecompileTheCurrentExpression) {
  parser_.CompileExpression("'ABC' = 'AB*'");
  EXPECT_EQ(parser_.Evaluate({}).boolean, 0);
  parser_.SetPartialMatch(true);
  EXPECT_EQ(parser_.Evaluate({}).boolean, 1);
}

TEST_F(ConstantExpression, PartialComparisonLooksForStarsInTheRightOperand) {
  parser_.SetPartialMatch(true);
  EXPECT_EQ(Eval("'ABC' = 'AB*'").boolean, 1);
  EXPECT_EQ(Eval("'XAB' = 'AB*'").boolean, 0);
  EXPECT_EQ(Eval("'XAB' = '*AB'").boolean, 1);
  EXPECT_EQ(Eval("'XABY' = '*ab*'").boolean, 1);
  EXPECT_EQ(Eval("'XAY' = '*AB*'").boolean, 0);
  EXPECT_EQ(Eval("'A' = 'AB*'").boolean, 0);
  EXPECT_EQ(Eval("'ABC' <> 'AB*'").boolean, 0);
  EXPECT_EQ(Eval("'AB*' = 'ABC'").boolean, 0);  // only the right operand is a pattern
}

TEST_F(ConstantExpression, ResultTypeCodesAndLengths) {
  struct Case {
    const char* text;
    int code;
    size_t length;
  };
  for (const Case& c : {Case{"1", 0, 4}, Case{"'ab' + 'c'", 1, 3}, Case{"1 < 2", 2, 1},
                        Case{"3000000000", 3, 8}, Case{"1.5", 4, 8}}) {
    parser_.CompileExpression(c.text);
    EXPECT_EQ(parser_.ResultTypeCode(), c.code) << c.text;
    EXPECT_EQ(parser_.ResultLength(), c.length) << c.text;
  }
}

TEST_F(ConstantExpression, SyntaxAndTypeErrorsCarryTheirMessages) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"1 2", "Missing operator between '1' and '2'"},
      {"'a' UPPER('b')", "Missing operator between 'a' and 'UPPER'"},
      {"1 + (", "Missing closing bracket"},
      {"(1)(2)", "Missing operator between )("},
      {"(1) 2", "Missing operator between ) and constant/variable"},
      {"1 (2)", "Missing operator between constant/variable and ("},
      {"(1 + 2", "Unequal brackets"},
      {"1 + 2)", "Unequal brackets"},
      {"", "Operator/function missing"},
      {"1, 2", "Operator/function missing"},
      {"()", "Operator/function missing"},
      {"1 +", "Function or operand has too few arguments"},
      {"* 2", "Function or operand has too few arguments"},
      {"STR()", "Function or operand has too few arguments"},
      {"SUBSTR('a', 1)", "Function or operand has too few arguments"},
      {"UPPER", "Function or operand has too few arguments"},
      {"TRUE NOT FALSE", "Function or operand has too many arguments"},
      {"STR(1, 2, 3, 4)", "Function or operand has too many arguments"},
      {"UPPER(1)", "Argument type mismatch"},
      {"'a' + 1", "Argument type mismatch"},
      {"1 AND 2", "Argument type mismatch"},
      {"FOO(1)", "No function with this name, remove brackets for variable"},
      {"FOO", "Unknown variable 'FOO' found."},
      {"^ 1", "Unknown variable '^' found."},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(Error(text), message) << text;
  EXPECT_FALSE(parser_.IsCompiled());
}

TEST_F(ConstantExpression, DeepNestingIsRefusedInsteadOfExhaustingTheStack) {
  EXPECT_EQ(Error(std::string(5000, '-') + "1"), "(compiled)");
  std::string nested;
  for (int i = 0; i < 2000; ++i) nested += "-(1 + ";
  nested += "1" + std::string(2000, ')');
  EXPECT_EQ(Error(nested), "Expression nested too deeply");
}

TEST_F(ConstantExpression, TokensOfStringsNumbersAndSymbols) {
  EXPECT_EQ(Text("'a\"b'"), "a\"b");
  EXPECT_EQ(Text("\"it's\""), "it's");
  EXPECT_EQ(Text("'unclosed"), "unclosed");
  EXPECT_EQ(Eval("1e5").type, TExpressionType::etFloat);
  EXPECT_DOUBLE_EQ(Eval("1.5e-2").real, 0.015);
  EXPECT_EQ(Eval("$ff").integer, 255);
  EXPECT_EQ(Eval("99999999999999999999").type, TExpressionType::etFloat);
  EXPECT_EQ(Eval("1\t<>\n2").boolean, 1);
  EXPECT_EQ(Eval("1<=2").boolean, 1);
  EXPECT_EQ(Eval("2>=3").boolean, 0);
  EXPECT_EQ(Error("$"), "Unknown variable '$' found.");
  EXPECT_EQ(Error("1 =< 2"), "Unknown variable '=<' found.");
  EXPECT_EQ(Error("1 != 2"), "Unknown variable '!=' found.");
  EXPECT_EQ(Error("1 && 2"), "Unknown variable '&&' found.");
  EXPECT_EQ(Error("_X1"), "Unknown variable '_X1' found.");
  EXPECT_EQ(Error("1e"), "Unknown variable 'e' found.");
}

TEST_F(ConstantExpression, ResultPointerShowsTheValueInItsBinaryForm) {
  Eval("6 * 7");
  EXPECT_EQ(*static_cast<const int32_t*>(parser_.ResultPointer()), 42);
  Eval("1 < 2");
  EXPECT_EQ(*static_cast<const uint8_t*>(parser_.ResultPointer()), 1);
  Eval("0.5 * 3");
  EXPECT_DOUBLE_EQ(*static_cast<const double*>(parser_.ResultPointer()), 1.5);
  Eval("'x' + 'yz'");
  EXPECT_STREQ(static_cast<const char*>(parser_.ResultPointer()), "xyz");
}

TEST_F(ConstantExpression, CaseSensitivePartialComparisonKeepsCase) {
  parser_.SetCaseInsensitive(false);
  parser_.SetPartialMatch(true);
  EXPECT_EQ(Eval("'ABC' = 'AB*'").boolean, 1);
  EXPECT_EQ(Eval("'abc' = 'AB*'").boolean, 0);
  EXPECT_EQ(Eval("'xABy' = '*AB*'").boolean, 1);
  EXPECT_EQ(Eval("'xaby' = '*AB*'").boolean, 0);
}

TEST(ExpressionWords, SignaturesLongerThanSixLettersAreRefused) {
  auto make = [](const char* signature) {
    return TFunction("F", "", 0, nullptr, TExpressionType::etInteger, 0, signature);
  };
  EXPECT_NO_THROW(make("IIIIII"));
  try {
    make("IIIIIII");
    FAIL();
  } catch (const EParserException& e) {
    EXPECT_STREQ(e.what(), "Too many arguments");
  }
}

TEST(ExpressionWords, DefinedVariablesAreReadAtEveryEvaluation) {
  TCustomExpressionParser parser;
  int32_t counter = 1;
  std::string name = "abc";
  parser.DefineWord(std::make_unique<TIntegerVariable>("COUNTER", &counter));
  parser.DefineWord(std::make_unique<TStringVariable>("NAME", &name));
  parser.CompileExpression("counter * 10");
  EXPECT_EQ(parser.Evaluate({}).integer, 10);
  counter = 4;
  EXPECT_EQ(parser.Evaluate({}).integer, 40);
  parser.CompileExpression("upper(name)");
  EXPECT_EQ(parser.Evaluate({}).Text(), "ABC");
  EXPECT_EQ(*static_cast<const char*>(parser.ResultPointer()), 'A');
}

// A register-like table in code page 866, read by filters (translated to 1251) and keys (raw).
class TableExpression : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetSystemCodePages({1251, 866});
    core::SetCollationLanguage("ru");
    Add("FAMIL", 'C', 20);
    Add("IMJA", 'C', 10);
    Add("AGE", 'N', 3);
    Add("SUMMA", 'N', 10, 2);
    Add("BIG", 'N', 15);
    Add("BIRTH", 'D', 8);
    Add("FLAG", 'L', 1);
    Add("NOTE", 'M', 10);
    record_length_ = static_cast<size_t>(defs_.AssignOffsets());
  }
  void Add(const char* name, char letter, int size, int precision = 0) {
    TDbfFieldDef& def = defs_.Add();
    def.SetFieldName(name);
    def.SetNative(static_cast<uint8_t>(letter), size, precision);
  }
  std::vector<std::byte> Record(const std::string& famil_utf8, int age = 0,
                                core::TDateTime birth = 0) {
    std::vector<std::byte> record = BuildBlankRecord(defs_, record_length_);
    SetFieldVariant(defs_, *defs_.Find("FAMIL"), TFieldType::ftString, record,
                    core::Variant(core::FromUtf8(866, famil_utf8)));
    SetFieldVariant(defs_, *defs_.Find("IMJA"), TFieldType::ftString, record,
                    core::Variant(core::FromUtf8(866, "Пётр")));
    SetFieldVariant(defs_, *defs_.Find("AGE"), TFieldType::ftSmallint, record,
                    core::Variant(age));
    SetFieldVariant(defs_, *defs_.Find("SUMMA"), TFieldType::ftFloat, record,
                    core::Variant(12.5));
    SetFieldVariant(defs_, *defs_.Find("BIG"), TFieldType::ftLargeint, record,
                    core::Variant(int64_t{123456789012}));
    SetFieldVariant(defs_, *defs_.Find("FLAG"), TFieldType::ftBoolean, record,
                    core::Variant(true));
    if (birth != 0) {
      SetFieldVariant(defs_, *defs_.Find("BIRTH"), TFieldType::ftDate, record,
                      core::Variant::FromDate(birth));
    }
    return record;
  }
  static std::string AsText(std::span<const std::byte> bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  TDbfFieldDefs defs_{kTableLevel4};
  size_t record_length_ = 0;
};

TEST_F(TableExpression, AFieldAloneIsTheRawKeyOfTheFieldLength) {
  TDbfIndexParser parser(defs_, 866, TIndexKeyFormat::kfMdx);
  parser.CompileExpression("FAMIL");
  EXPECT_EQ(parser.KeyType(), 'C');
  EXPECT_EQ(parser.KeyLength(), 20u);
  EXPECT_NE(parser.SingleVariable(), nullptr);
  const auto record = Record("Иванов");
  EXPECT_EQ(AsText(parser.ExtractKeyFromRecord(record)),
            core::FromUtf8(866, "Иванов") + std::string(14, ' '));
}

TEST_F(TableExpression, FiltersSeeTrimmedTextInTheAnsiCodePage) {
  TDbfParser parser(defs_, 866);
  parser.CompileExpression("famil");
  EXPECT_EQ(parser.ResultLength(), 20u);
  const auto record = Record("Иванов");
  EXPECT_EQ(parser.Evaluate(record).Text(), core::FromUtf8(1251, "Иванов"));
  parser.CompileExpression("UPPER(FAMIL) = 'ИВАНОВ'");
  EXPECT_EQ(parser.Evaluate(record).boolean, 1);
}

TEST_F(TableExpression, UpperInAKeyMapsTheRawBytesOfTheTableCodePage) {
  TDbfIndexParser parser(defs_, 866, TIndexKeyFormat::kfMdx);
  parser.CompileExpression("UPPER(FAMIL)");
  EXPECT_EQ(parser.KeyLength(), 20u);
  EXPECT_EQ(AsText(parser.ExtractKeyFromRecord(Record("иванов"))),
            core::FromUtf8(866, "ИВАНОВ") + std::string(14, ' '));
}

TEST_F(TableExpression, KeyLengthOfAnExpressionIsItsLengthOnTheBlankRecord) {
  TDbfIndexParser parser(defs_, 866, TIndexKeyFormat::kfMdx);
  parser.CompileExpression("SUBSTR(FAMIL, 1, 5) + IMJA");
  EXPECT_EQ(parser.KeyLength(), 15u);
  parser.CompileExpression("STR(AGE, 3) + 'x' + DTOS(BIRTH)");
  EXPECT_EQ(parser.KeyLength(), 12u);
  EXPECT_EQ(AsText(parser.ExtractKeyFromRecord(Record("A", 42, core::EncodeDate(1980, 2, 15)))),
            " 42x19800215");
  EXPECT_EQ(AsText(parser.ExtractKeyFromRecord(Record("A", 7))), "  7x        ");
}

// Found by fuzzing: an empty key wrote its padding through a null pointer.
TEST_F(TableExpression, AnEmptyTextKeyHasLengthZero) {
  TDbfIndexParser parser(defs_, 866, TIndexKeyFormat::kfMdx);
  parser.CompileExpression("SUBSTR(FAMIL, 1, 0)");
  EXPECT_EQ(parser.KeyLength(), 0u);
  EXPECT_TRUE(parser.ExtractKeyFromRecord(Record("Иванов")).empty());
  parser.CompileExpression("''");
  EXPECT_TRUE(parser.ExtractKeyFromRecord(Record("Иванов")).empty());
}

TEST_F(TableExpression, NumericKeysTakeTheEncodingOfTheFormat) {
  TDbfIndexParser mdx(defs_, 866, TIndexKeyFormat::kfMdx);
  mdx.CompileExpression("AGE");
  EXPECT_EQ(mdx.KeyType(), 'N');
  EXPECT_EQ(mdx.KeyLength(), 12u);
  std::vector<std::byte> expected(12);
  EncodeMdxIntegerKey(42, expected);
  auto key = mdx.ExtractKeyFromRecord(Record("A", 42));
  EXPECT_EQ(std::vector<std::byte>(key.begin(), key.end()), expected);

  TDbfIndexParser ndx(defs_, 866, TIndexKeyFormat::kfNdx);
  ndx.CompileExpression("SUMMA * 2");
  EXPECT_EQ(ndx.KeyLength(), 8u);
  EXPECT_DOUBLE_EQ(DecodeNdxNumericKey(ndx.ExtractKeyFromRecord(Record("A"))), 25.0);
  ndx.CompileExpression("BIG + 1");
  EXPECT_DOUBLE_EQ(DecodeNdxNumericKey(ndx.ExtractKeyFromRecord(Record("A"))), 123456789013.0);
}

TEST_F(TableExpression, FieldKindsBecomeVariableTypes) {
  TDbfParser parser(defs_, 866);
  const auto record = Record("A", 30, core::EncodeDate(2001, 12, 31));
  parser.CompileExpression("AGE + 1");
  EXPECT_EQ(parser.Evaluate(record).integer, 31);
  parser.CompileExpression("SUMMA");
  EXPECT_EQ(parser.ResultType(), TExpressionType::etFloat);
  EXPECT_DOUBLE_EQ(parser.Evaluate(record).real, 12.5);
  parser.CompileExpression("BIG");
  EXPECT_EQ(parser.ResultType(), TExpressionType::etLargeInt);
  parser.CompileExpression("FLAG AND AGE > 18");
  EXPECT_EQ(parser.Evaluate(record).boolean, 1);
  parser.CompileExpression("BIRTH");
  EXPECT_EQ(parser.ResultTypeCode(), 5);
  parser.CompileExpression("DTOS(BIRTH)");
  EXPECT_EQ(parser.Evaluate(record).Text(), "20011231");
}

TEST_F(TableExpression, StarPatternsInAFilterDependOnPartialComparison) {
  TDbfParser parser(defs_, 866);
  parser.SetPartialMatch(true);
  parser.CompileExpression("FAMIL = 'AB*'");
  auto matches = [&](const char* famil) { return parser.Evaluate(Record(famil)).boolean == 1; };
  EXPECT_TRUE(matches("AB"));
  EXPECT_TRUE(matches("ABC"));
  EXPECT_TRUE(matches("abc"));
  EXPECT_FALSE(matches("XAB"));
  parser.SetPartialMatch(false);
  EXPECT_FALSE(matches("ABC"));
  EXPECT_TRUE(matches("AB*"));
  EXPECT_TRUE(matches("ab*"));
}

TEST_F(TableExpression, RawFilterFieldsMeetConstantsInTheTableCodePage) {
  TDbfParser parser(defs_, 866);
  parser.SetStringFieldMode(TStringFieldMode::smRaw);
  parser.CompileExpression("SUBSTR(FAMIL, 1, 6) = 'Иванов' AND FAMIL > 'Иваново'");
  EXPECT_EQ(parser.Evaluate(Record("Иванов")).boolean, 0);
  EXPECT_EQ(parser.Evaluate(Record("Ивановская")).boolean, 1);
  parser.CompileExpression("FAMIL");
  EXPECT_EQ(parser.Evaluate(Record("Ли")).length, 20u);
  // Back to translated: the same text now reads trimmed.
  parser.SetStringFieldMode(TStringFieldMode::smTranslated);
  EXPECT_EQ(parser.Evaluate(Record("Ли")).Text(), core::FromUtf8(1251, "Ли"));
}

TEST_F(TableExpression, BlankFieldsReadAsZeroFalseAndBlankDate) {
  TDbfParser parser(defs_, 866);
  parser.CompileExpression("STR(AGE) + STR(SUMMA, 5, 1) + DTOS(BIRTH) + IMJA");
  EXPECT_EQ(parser.Evaluate(parser.BlankRecord()).Text(), "0  0.0        ");
  parser.CompileExpression("FLAG");
  EXPECT_EQ(parser.Evaluate(parser.BlankRecord()).boolean, 0);
}

TEST_F(TableExpression, ARecordTooShortForItsFieldsIsAnEngineError) {
  TDbfParser parser(defs_, 866);
  parser.CompileExpression("IMJA");
  std::vector<std::byte> short_record(5, std::byte{' '});
  EXPECT_THROW(parser.Evaluate(short_record), EDbfError);
}

TEST_F(TableExpression, NamesAreBoundToFieldsOrRefused) {
  TDbfParser parser(defs_, 866);
  auto error = [&](const char* text) -> std::string {
    try {
      parser.CompileExpression(text);
    } catch (const EDbfError& e) {
      return std::string("EDbfError: ") + e.what();
    } catch (const EParserException& e) {
      return e.what();
    }
    return "(compiled)";
  };
  EXPECT_EQ(error("NOSUCH + 1"), "EDbfError: Index based on unknown field \"NOSUCH\".");
  EXPECT_EQ(error("NOTE"),
            "EDbfError: Field \"NOTE\" is an invalid field type to base index on.");
  EXPECT_EQ(error("FAMIL IMJA"), "Missing operator between 'FAMIL' and 'IMJA'");
  EXPECT_EQ(error("FAMIL(1)"), "Missing operator between constant/variable and (");
  EXPECT_EQ(error("SOMETHING(1)"), "No function with this name, remove brackets for variable");
}

TEST_F(TableExpression, IndexExpressionsMustGiveShortTextOrANumber) {
  TDbfIndexParser parser(defs_, 866, TIndexKeyFormat::kfMdx);
  auto error = [&](const std::string& text) -> std::string {
    try {
      parser.CompileExpression(text);
    } catch (const EDbfError& e) {
      return e.what();
    }
    return "(compiled)";
  };
  EXPECT_EQ(error("FLAG"), "Invalid index type: can only be string or float.");
  EXPECT_EQ(error("BIRTH"), "Invalid index type: can only be string or float.");
  const std::string six = "FAMIL+FAMIL+FAMIL+FAMIL+FAMIL+FAMIL";
  EXPECT_EQ(error(six), "Index result for \"" + six + "\" too long, >100 characters (120).");
  EXPECT_EQ(error("FAMIL+FAMIL+FAMIL+FAMIL+FAMIL"), "(compiled)");
  EXPECT_EQ(parser.KeyLength(), 100u);
}

TEST(TableParsers, ParsersOverAnOpenTableUseItsFieldsAndCodePage) {
  core::SetSystemCodePages({1251, 866});
  platform::MemoryFile memory;
  TDbfFile table;
  table.SetMode(TFileAccessMode::amMemoryNew);
  table.SetMemoryStream(&memory);
  TDbfFieldDefs defs(kTableLevel4);
  TDbfFieldDef& famil = defs.Add();
  famil.SetFieldName("FAMIL");
  famil.SetNative('C', 20, 0);
  table.Create(defs, 0x65, 512);  // code page 866
  std::vector<std::byte> record(table.RecordSize());
  table.InitRecord(record);
  const std::string petrov = core::FromUtf8(866, "Петров");
  std::memcpy(record.data() + 1, petrov.data(), petrov.size());

  auto key = MakeIndexParser(table, TIndexKeyFormat::kfMdx);
  key->CompileExpression("FAMIL");
  EXPECT_EQ(key->KeyLength(), 20u);
  const auto bytes = key->ExtractKeyFromRecord(record);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 6), petrov);

  auto filter = MakeFilterParser(table);
  filter->CompileExpression("FAMIL = 'петров'");
  EXPECT_EQ(filter->Evaluate(record).boolean, 1);
  table.Close();
}

}  // namespace
}  // namespace lgoty::dbf
