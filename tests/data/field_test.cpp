#include <gtest/gtest.h>

#include "data/database_error.h"
#include "data/typed_fields.h"
#include "data_test_support.h"

namespace lgoty::data {
namespace {

template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const core::Exception& e) {
    return e.Message();
  }
  return "(no exception)";
}

// One field of every family, one row being edited.
struct Fields : ::testing::Test {
  testing::EnglishSettings english;
  TMemoryDataSet ds;
  void SetUp() override {
    ds.FieldDefs().Add("S", TFieldType::ftString, 8);
    ds.FieldDefs().Add("I", TFieldType::ftInteger);
    ds.FieldDefs().Add("SI", TFieldType::ftSmallint);
    ds.FieldDefs().Add("L", TFieldType::ftLargeint);
    ds.FieldDefs().Add("F", TFieldType::ftFloat);
    ds.FieldDefs().Add("C", TFieldType::ftCurrency);
    TFieldDef& bcd = ds.FieldDefs().Add("N", TFieldType::ftBCD, 2);
    bcd.SetPrecision(10);
    ds.FieldDefs().Add("B", TFieldType::ftBoolean);
    ds.FieldDefs().Add("D", TFieldType::ftDate);
    ds.FieldDefs().Add("T", TFieldType::ftDateTime);
    ds.FieldDefs().Add("M", TFieldType::ftMemo);
    ds.FieldDefs().Add("BL", TFieldType::ftBlob);
    ds.Open();
    ds.Append();
  }
  TField& F(const char* name) { return ds.FieldByName(name); }
};

TEST_F(Fields, FactoryMakesTheClassOfEachType) {
  EXPECT_STREQ(F("S").ClassName(), "TStringField");
  EXPECT_STREQ(F("SI").ClassName(), "TSmallintField");
  EXPECT_STREQ(F("C").ClassName(), "TCurrencyField");
  EXPECT_STREQ(F("N").ClassName(), "TBCDField");
  EXPECT_STREQ(F("D").ClassName(), "TDateField");
  EXPECT_STREQ(F("M").ClassName(), "TMemoField");
  EXPECT_TRUE(F("M").IsBlob());
  EXPECT_TRUE(F("BL").IsBlob());
  EXPECT_FALSE(F("S").IsBlob());
  EXPECT_EQ(F("S").DisplayWidth(), 8);
  EXPECT_EQ(F("I").DisplayWidth(), 11);
  EXPECT_EQ(F("S").DisplayLabel(), "S");
  TFieldDef adt("X", TFieldType::ftADT, 0, 1);
  EXPECT_EQ(ErrorOf([&] { CreateField(adt); }), "Field 'X' is of an unknown type");
}

TEST_F(Fields, NullFieldsReadAsEmptyValuesOfEveryForm) {
  for (const char* name : {"S", "I", "F", "B", "D", "M"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(F(name).IsNull());
    EXPECT_TRUE(F(name).AsVariant().IsNull());
    EXPECT_EQ(F(name).AsString(), "");
    EXPECT_EQ(F(name).AsInteger(), 0);
    EXPECT_EQ(F(name).AsFloat(), 0.0);
    EXPECT_FALSE(F(name).AsBoolean());
  }
  EXPECT_EQ(F("M").DisplayText(), "(Memo)");
  F("I").SetAsInteger(5);
  F("I").SetAsVariant(core::Variant());
  EXPECT_TRUE(F("I").IsNull());
}

TEST_F(Fields, NumbersConvertBetweenFormsAndCheckTheirRange) {
  F("I").SetAsString("42");
  EXPECT_EQ(F("I").AsFloat(), 42.0);
  EXPECT_EQ(F("I").AsVariant().kind(), core::Variant::Kind::Integer);
  F("I").SetAsFloat(2.6);
  EXPECT_EQ(F("I").AsInteger(), 3);
  EXPECT_EQ(ErrorOf([&] { F("SI").SetAsInteger(40000); }),
            "40000 is not a valid value for field 'SI'. The allowed range is -32768 to 32767");
  EXPECT_EQ(ErrorOf([&] { F("I").SetAsString("4x"); }), "'4x' is not a valid integer value");
  EXPECT_EQ(F("I").AsInteger(), 3);  // a refused value leaves the old one
  F("L").SetAsString("9000000000");
  EXPECT_EQ(F("L").AsLargeInt(), 9000000000LL);
  F("F").SetAsString("1.5");
  EXPECT_EQ(F("F").AsFloat(), 1.5);
  EXPECT_EQ(F("F").AsString(), "1.5");
  F("N").SetAsFloat(12.345);
  EXPECT_EQ(F("N").AsVariant().kind(), core::Variant::Kind::Currency);
  EXPECT_DOUBLE_EQ(F("N").AsFloat(), 12.345);
  F("B").SetAsInteger(1);
  EXPECT_TRUE(F("B").AsBoolean());
}

TEST_F(Fields, DisplayTextFollowsFormatsAndDisplayValues) {
  auto& f = static_cast<TFloatField&>(F("F"));
  f.SetAsFloat(1234.5);
  EXPECT_EQ(f.DisplayText(), "1234.5");
  f.SetDisplayFormat("#,##0.00");
  EXPECT_EQ(f.DisplayText(), "1,234.50");
  EXPECT_EQ(f.Text(), "1,234.50");  // edit text without an edit format uses the display one
  f.SetEditFormat("0.0");
  EXPECT_EQ(f.Text(), "1234.5");
  F("C").SetAsFloat(3);
  EXPECT_EQ(F("C").DisplayText(), "$3.00");
  EXPECT_EQ(F("C").Text(), "3.00");

  auto& b = static_cast<TBooleanField&>(F("B"));
  b.SetDisplayValues("Да;Нет");
  b.SetAsString("д");
  EXPECT_TRUE(b.AsBoolean());
  EXPECT_EQ(b.DisplayText(), "Да");
  b.SetAsString("True");
  EXPECT_EQ(b.AsString(), "Да");
  EXPECT_EQ(ErrorOf([&] { b.SetAsString("maybe"); }),
            "'maybe' is not a valid boolean value for field 'B'");

  F("D").SetAsString("3/4/2021");
  EXPECT_EQ(F("D").AsDateTime(), core::EncodeDate(2021, 3, 4));
  EXPECT_EQ(F("D").DisplayText(), "3/4/2021");
  auto& t = static_cast<TDateTimeField&>(F("T"));
  t.SetAsDateTime(core::EncodeDate(2021, 3, 4) + core::EncodeTime(13, 5, 0, 0));
  EXPECT_EQ(t.DisplayText(), "3/4/2021 1:05:00 PM");
  t.SetDisplayFormat("yyyy-mm-dd hh:nn");
  EXPECT_EQ(t.DisplayText(), "2021-03-04 13:05");
  EXPECT_EQ(ErrorOf([&] { F("D").SetAsString("31/31/2021"); }), "'31/31/2021' is not a valid date");
}

TEST_F(Fields, BlobStreamsCarryTheBytesAndNeedEditMode) {
  core::TMemoryStream in(std::string("line 1\r\nline 2\0end", 18));
  F("BL").LoadFromStream(in);
  EXPECT_EQ(F("BL").AsString().size(), 18u);
  EXPECT_EQ(F("BL").DisplayText(), "(BLOB)");
  ds.Post();
  core::TMemoryStream out;
  F("BL").SaveToStream(out);
  EXPECT_EQ(out.Bytes(), std::string("line 1\r\nline 2\0end", 18));
  EXPECT_EQ(ErrorOf([&] { ds.CreateBlobStream(F("BL"), TBlobStreamMode::bmWrite); }),
            "Dataset not in edit or insert mode");
  ds.Edit();
  {
    auto stream = ds.CreateBlobStream(F("M"), TBlobStreamMode::bmReadWrite);
    stream->Write("memo");
    stream->SetPosition(0);
    EXPECT_EQ(stream->ReadRest(), "memo");
  }
  EXPECT_EQ(F("M").AsString(), "memo");
  {
    // A write stream starts empty.
    auto stream = ds.CreateBlobStream(F("M"), TBlobStreamMode::bmWrite);
    EXPECT_EQ(stream->Size(), 0);
  }
  EXPECT_TRUE(F("M").IsNull());
}

// A dataset whose table text is upper case, as if it were another code page: the program
// sees lower case.
class UpperTable : public TMemoryDataSet {
 public:
  std::string Translate(std::string_view text, bool to_table) const override {
    std::string out(text);
    for (char& c : out) {
      if (to_table && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!to_table && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
  }
  std::string Stored(const TField& field) const {
    core::Variant raw;
    GetFieldData(ActiveBuffer(), field, raw);
    return raw.AsString();
  }
};

TEST(FieldTranslation, StringAndMemoFieldsTranslateEveryReadAndWrite) {
  UpperTable ds;
  ds.FieldDefs().Add("S", TFieldType::ftString, 10);
  ds.FieldDefs().Add("M", TFieldType::ftMemo);
  ds.FieldDefs().Add("B", TFieldType::ftBytes, 4);
  ds.Open();
  ds.Append();
  ds.FieldByName("S").SetAsString("Mixed");
  ds.FieldByName("M").SetAsVariant("Memo");
  ds.FieldByName("B").SetAsString("Raw");
  EXPECT_EQ(ds.Stored(ds.FieldByName("S")), "MIXED");
  EXPECT_EQ(ds.FieldByName("S").AsString(), "mixed");
  EXPECT_EQ(ds.FieldByName("M").AsVariant().AsString(), "memo");
  EXPECT_EQ(ds.FieldByName("B").AsString(), "Raw");  // bytes are not text
  ds.FieldByName("S").SetTransliterate(false);
  EXPECT_EQ(ds.FieldByName("S").AsString(), "MIXED");
  ds.Post();
  // Locate compares the program's text.
  ds.FieldByName("S").SetTransliterate(true);
  EXPECT_TRUE(ds.Locate("S", "mixed", {}));
}

// A variant read hands the stored text over without a copy when nothing is translated: it
// must still be the text AsString gives, translated or not, and Null for a blank field.
TEST(FieldTranslation, VariantReadsAgreeWithTextReadsWithAndWithoutTranslation) {
  UpperTable ds;
  ds.FieldDefs().Add("S", TFieldType::ftString, 12);
  ds.FieldDefs().Add("M", TFieldType::ftMemo);
  ds.Open();
  ds.Append();
  ds.FieldByName("S").SetAsString("Ёлкин Mixed");
  ds.FieldByName("M").SetAsString("a long memo text, Longer than fifteen bytes");
  ds.Post();
  for (const char* name : {"S", "M"}) {
    TField& field = ds.FieldByName(name);
    for (bool translate : {true, false}) {
      field.SetTransliterate(translate);
      const core::Variant value = field.AsVariant();
      ASSERT_TRUE(value.IsString()) << name;
      EXPECT_EQ(value.text(), field.AsString()) << name << " " << translate;
      // Reading again gives the same (the stored text was not handed away).
      EXPECT_EQ(field.AsVariant().text(), value.text()) << name << " " << translate;
    }
    EXPECT_EQ(field.AsVariant().text(), ds.Stored(field)) << name;
  }
  EXPECT_EQ(ds.FieldByName("S").AsString(), "Ёлкин MIXED");  // as stored: not translated
  ds.Append();
  ds.Post();
  EXPECT_TRUE(ds.FieldByName("S").AsVariant().IsNull());
  EXPECT_TRUE(ds.FieldByName("M").AsVariant().IsNull());
}


// ReadVariant writes into a Variant that holds anything (a text's storage is reused): it
// must give what AsVariant gives, for every field class, translated or not, Null and blank.
TEST(FieldTranslation, ReadsIntoAHeldVariantGiveWhatAsVariantGives) {
  UpperTable ds;
  ds.FieldDefs().Add("S", TFieldType::ftString, 30);
  ds.FieldDefs().Add("M", TFieldType::ftMemo);
  ds.FieldDefs().Add("F", TFieldType::ftFloat);
  ds.FieldDefs().Add("I", TFieldType::ftInteger);
  ds.FieldDefs().Add("D", TFieldType::ftDate);
  ds.Open();
  const char* const texts[] = {"Ёлкин Mixed", "", "a text longer than fifteen bytes", "x"};
  for (int row = 0; row < 8; ++row) {
    ds.Append();
    if (row % 4 != 1) {
      ds.FieldByName("S").SetAsString(texts[row % 4]);
      ds.FieldByName("M").SetAsString(std::string(texts[(row + 1) % 4]) + " memo");
      ds.FieldByName("F").SetAsFloat(row * 1.25 - 3);
      ds.FieldByName("I").SetAsInteger(row - 4);
      ds.FieldByName("D").SetAsDateTime(45000 + row);
    }
    ds.Post();
  }
  const core::Variant held[] = {core::Variant(), core::Variant::Null(), core::Variant("held"),
                                core::Variant(std::string(64, 'h')), core::Variant(7.5),
                                core::Variant::Array({core::Variant("e")})};
  int compared = 0;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    for (const char* name : {"S", "M", "F", "I", "D"}) {
      TField& field = ds.FieldByName(name);
      for (bool translate : {true, false}) {
        field.SetTransliterate(translate);
        const core::Variant want = field.AsVariant();
        for (const core::Variant& before : held) {
          core::Variant got = before;
          field.ReadVariant(got);
          ASSERT_EQ(got.Type(), want.Type()) << name << " row " << ds.RecNo();
          if (!want.IsEmptyOrNull()) EXPECT_TRUE(core::VarSameValue(got, want)) << name;
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 8 * 5 * 2 * 6);
}

}  // namespace
}  // namespace lgoty::data
