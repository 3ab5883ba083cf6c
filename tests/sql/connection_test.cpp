// Connection strings, connecting and disconnecting, and the query dataset's navigation.
#include <gtest/gtest.h>

#include "data/database_error.h"
#include "data/field.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql/connection_string.h"
#include "sql/sql_engine.h"
#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

using testing::Cell;

TEST(ConnectionString, ReadsTheListReportsStringAndKeepsUnknownKeys) {
  TConnectionString s = TConnectionString::Parse(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"C:\\Reg;s\\\";Extended Properties=dBASE "
      "IV;Mode = Share Deny None ; user id=admin;Password='a''b';;");
  EXPECT_EQ(s.GetOr("provider"), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(s.GetOr("DATA SOURCE"), "C:\\Reg;s\\");
  EXPECT_EQ(s.GetOr(kExtendedPropertiesKey), "dBASE IV");
  EXPECT_EQ(s.GetOr("Mode"), "Share Deny None");
  EXPECT_EQ(s.GetOr(kUserIdKey), "admin");
  EXPECT_EQ(s.GetOr(kPasswordKey), "a'b");
  EXPECT_EQ(s.Pairs().size(), 6u);
  // Text() reads back to the same pairs.
  TConnectionString again = TConnectionString::Parse(s.Text());
  EXPECT_EQ(again.Pairs(), s.Pairs());

  EXPECT_EQ(TConnectionString::Parse("Data Source=/x/y/").GetOr("Data Source"), "/x/y/");
  EXPECT_THROW(TConnectionString::Parse("Data Source=\"/x"), EAdoError);
  EXPECT_THROW(TConnectionString::Parse("Data Source=\"/x\" junk;"), EAdoError);
  EXPECT_THROW(TConnectionString::Parse("=value"), EAdoError);
}

TEST(AdoConnection, ConnectsWithNotificationsAndRefusesWhatItCannotServe) {
  testing::ScratchFolder folder;
  std::vector<std::string> events;
  TAdoConnection connection;
  connection.BeforeConnect = [&](TAdoConnection&) { events.push_back("before connect"); };
  connection.AfterConnect = [&](TAdoConnection&) { events.push_back("after connect"); };
  connection.BeforeDisconnect = [&](TAdoConnection&) { events.push_back("before disconnect"); };
  connection.AfterDisconnect = [&](TAdoConnection&) { events.push_back("after disconnect"); };

  connection.SetConnectionString(testing::JetConnectionString(folder.Path() + "missing/"));
  try {
    connection.Open();
    FAIL();
  } catch (const EAdoError& e) {
    EXPECT_NE(std::string(e.what()).find(folder.Path() + "missing/"), std::string::npos);
  }
  EXPECT_FALSE(connection.Connected());

  connection.SetConnectionString("Provider=SQLOLEDB;Data Source=server;");
  try {
    connection.Open();
    FAIL();
  } catch (const EAdoError& e) {
    EXPECT_NE(std::string(e.what()).find("Provider \"SQLOLEDB\" is not supported"),
              std::string::npos);
  }
  connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                 folder.Path() + ";Extended Properties=Excel 8.0;");
  EXPECT_THROW(connection.Open(), EAdoError);

  events.clear();
  connection.SetConnectionString(testing::JetConnectionString(folder.Path()));
  connection.SetConnected(true);
  EXPECT_TRUE(connection.Connected());
  EXPECT_THROW(connection.SetConnectionString("x=y"), EAdoError);
  connection.SetConnected(false);
  EXPECT_EQ(events, (std::vector<std::string>{"before connect", "after connect",
                                              "before disconnect", "after disconnect"}));
}

TEST(AdoConnection, LoginWritesUserAndPasswordIntoTheString) {
  testing::ScratchFolder folder;
  TAdoConnection connection;
  connection.SetConnectionString(testing::JetConnectionString(folder.Path()) + "User ID=old;");
  connection.OnLogin = [](TAdoConnection&, std::string& user, std::string& password) {
    EXPECT_EQ(user, "old");
    user = "clerk";
    password = "secret";
  };
  connection.SetLoginPrompt(false);
  connection.Open();
  EXPECT_EQ(TConnectionString::Parse(connection.ConnectionString()).GetOr(kUserIdKey), "old");
  connection.Close();
  connection.SetLoginPrompt(true);
  connection.Open();
  TConnectionString now = TConnectionString::Parse(connection.ConnectionString());
  EXPECT_EQ(now.GetOr(kUserIdKey), "clerk");
  EXPECT_EQ(now.GetOr(kPasswordKey), "secret");
}

TEST(AdoQuery, NavigatesBookmarksAndClosesWithItsConnection) {
  testing::ScratchFolder folder;
  testing::MakeTable(folder.File("reg.dbf"), {{"FAMIL", 'C', 20, 0}, {"N", 'N', 5, 0}},
                     {{{Cell("А"), Cell("1")}}, {{Cell("Б"), Cell("2")}}, {{Cell("В"), Cell("3")}}});
  auto connection = std::make_unique<TAdoConnection>();
  connection->SetConnectionString(testing::JetConnectionString(folder.Path()));
  TAdoQuery query;
  query.SetConnection(connection.get());
  query.SQL().Add("select FAMIL, N, N * 1.5 AS HALF, 'x' || FAMIL AS T from reg order by N");

  // Definitions are available before opening.
  ASSERT_EQ(query.FieldDefs().Count(), 4);
  EXPECT_EQ(query.FieldDefs().Find("HALF")->DataType(), data::TFieldType::ftFloat);
  EXPECT_EQ(query.FieldDefs().Find("T")->DataType(), data::TFieldType::ftString);
  EXPECT_EQ(query.FieldDefs().Find("T")->Size(), 2);

  query.Open();
  EXPECT_EQ(query.RecordCount(), 3);
  EXPECT_EQ(query.FieldByName("FAMIL").DisplayWidth(), 20);
  query.Next();
  EXPECT_EQ(query.RecNo(), 2);
  data::TBookmark mark = query.GetBookmark();
  query.Last();
  EXPECT_EQ(query.FieldByName("N").DisplayText(), "3");
  EXPECT_DOUBLE_EQ(query.FieldByName("HALF").AsFloat(), 4.5);
  query.GotoBookmark(mark);
  EXPECT_EQ(query.FieldByName("FAMIL").AsString(), "Б");
  EXPECT_EQ(query.CompareBookmarks(mark, query.GetBookmark()), 0);
  EXPECT_THROW(query.Edit(), data::EDatabaseError);

  // A change of text closes the query.
  query.SQL().Add("");
  EXPECT_FALSE(query.Active());
  query.Open();
  connection->Close();
  EXPECT_FALSE(query.Active());
  connection.reset();
  EXPECT_EQ(query.Connection(), nullptr);
  EXPECT_THROW(query.Open(), data::EDatabaseError);
}

}  // namespace
}  // namespace lgoty::sql
