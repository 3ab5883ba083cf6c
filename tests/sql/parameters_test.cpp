// Parameter markers in query texts and how parameter values bind.
#include <gtest/gtest.h>

#include "core/date_time.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql/parameters.h"
#include "sql/sql_engine.h"
#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

using data::TFieldType;
using testing::Cell;

TEST(SqlMarkers, NamedMarkersBecomeNumberedOnesAndDoubledColonIsLiteral) {
  TParsedSql p = ParseSqlMarkers("select * from t where a = :p and b > :Q or c = :p");
  EXPECT_EQ(p.text, "select * from t where a = ?1 and b > ?2 or c = ?1");
  EXPECT_EQ(p.names, (std::vector<std::string>{"p", "Q"}));

  p = ParseSqlMarkers("select '::x :y' , \"a:b\", `c:d`, e::f, :\"my name\")");
  EXPECT_EQ(p.text, "select '::x :y' , \"a:b\", `c:d`, e:f, ?1)");
  EXPECT_EQ(p.names, (std::vector<std::string>{"my name"}));

  // A colon before a terminator names nothing; names end at , ; ) and line breaks.
  p = ParseSqlMarkers("f(:a,:b);:c\r\n: x");
  EXPECT_EQ(p.text, "f(?1,?2);?3\r\n: x");
  EXPECT_EQ(p.names.size(), 3u);
}

TEST(SqlMarkers, ParseSqlKeepsTypesAndValuesOfNamesThatStay) {
  TParameters params;
  params.ParseSQL("where a = :a and b = :b");
  ASSERT_EQ(params.Count(), 2);
  params.ParamByName("A").SetDataType(TFieldType::ftInteger);
  params.ParamByName("a").SetValue(core::Variant(5));
  params.ParseSQL("where b = :b and a = :a and c = :c");
  ASSERT_EQ(params.Count(), 3);
  EXPECT_EQ(params[0].Name(), "b");
  EXPECT_EQ(params[1].DataType(), TFieldType::ftInteger);
  EXPECT_EQ(params[1].Value().AsInteger(), 5);
  EXPECT_TRUE(params[2].Value().IsEmpty());
  try {
    params.ParamByName("zz");
    FAIL();
  } catch (const ESqlError& e) {
    EXPECT_STREQ(e.what(), "Parameter \"zz\" not found");
  }
}

class QueryParameters : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeTable(folder_.File("reg.dbf"),
                       {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 10, 2}, {"DATERCPT", 'D', 8, 0},
                        {"NUM", 'N', 6, 0}, {"OK", 'L', 1, 0}},
                       {{{Cell("Иванов"), Cell("10.50"), Cell("20240115"), Cell("7"), Cell("T")}},
                        {{Cell("Петров"), Cell("99.00"), Cell("20230301"), Cell("12"), Cell("F")}},
                        {{Cell("Сидоров"), Cell(), Cell(), Cell(), Cell()}}});
    connection_.SetConnectionString(testing::JetConnectionString(folder_.Path()));
    query_.SetConnection(&connection_);
  }

  int CountWhere(const std::string& where) {
    query_.Close();
    query_.SQL().SetText("select * from reg where " + where);
    return -1;  // the caller binds, then calls Rows()
  }
  int Rows() {
    query_.Close();
    query_.Open();
    return query_.RecordCount();
  }

  testing::ScratchFolder folder_;
  TAdoConnection connection_;
  TAdoQuery query_;
};

TEST_F(QueryParameters, ValuesBindWithTheirTypes) {
  CountWhere("SUMPAY > :amount");
  ASSERT_EQ(query_.Parameters().Count(), 1);
  TParameter& amount = query_.Parameters().ParamByName("amount");
  amount.SetDataType(TFieldType::ftFloat);
  amount.SetValue(core::Variant("10.4"));  // text converted to the parameter's type
  EXPECT_EQ(Rows(), 2);

  CountWhere("DATERCPT >= :since");
  TParameter& since = query_.Parameters().ParamByName("since");
  since.SetDataType(TFieldType::ftDate);
  since.SetValue(core::Variant::FromDate(core::EncodeDate(2024, 1, 1)));
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(query_.FieldByName("FAMIL").AsString(), "Иванов");
  EXPECT_EQ(query_.FieldByName("DATERCPT").AsDateTime(), core::EncodeDate(2024, 1, 15));

  CountWhere("NUM = :n AND OK = :ok");
  query_.Parameters().ParamByName("n").SetDataType(TFieldType::ftInteger);
  query_.Parameters().ParamByName("n").SetValue(core::Variant("12"));
  query_.Parameters().ParamByName("ok").SetDataType(TFieldType::ftBoolean);
  query_.Parameters().ParamByName("ok").SetValue(core::Variant(false));
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(query_.FieldByName("OK").AsVariant().kind(), core::Variant::Kind::Boolean);

  // Without a type the value's own kind decides; a text compares with text.
  CountWhere("FAMIL = :name");
  query_.Parameters().ParamByName("name").SetValue(core::Variant("сидоров"));
  EXPECT_EQ(Rows(), 1);
  EXPECT_TRUE(query_.FieldByName("SUMPAY").IsNull());
  EXPECT_TRUE(query_.FieldByName("OK").IsNull());
}

TEST_F(QueryParameters, MissingOrImpossibleValuesAreErrors) {
  CountWhere("SUMPAY > :amount");
  try {
    Rows();
    FAIL() << "opened without a parameter value";
  } catch (const ESqlError& e) {
    EXPECT_STREQ(e.what(), "Parameter \"amount\" has no value");
  }
  EXPECT_FALSE(query_.Active());

  TParameter& amount = query_.Parameters().ParamByName("amount");
  amount.SetDataType(TFieldType::ftInteger);
  amount.SetValue(core::Variant("ten"));
  EXPECT_THROW(Rows(), ESqlError);

  // Null binds SQL NULL (nothing compares greater than it) unless the parameter refuses it.
  amount.SetValue(core::Variant::Null());
  EXPECT_EQ(Rows(), 0);
  amount.Attributes().paNullable = false;
  EXPECT_THROW(Rows(), ESqlError);

  // A marker whose parameter was removed from the list.
  query_.Close();
  query_.Parameters().Clear();
  try {
    Rows();
    FAIL();
  } catch (const ESqlError& e) {
    EXPECT_STREQ(e.what(), "Parameter \"amount\" not found");
  }
}

}  // namespace
}  // namespace lgoty::sql
