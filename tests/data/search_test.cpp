#include <gtest/gtest.h>

#include "data/database_error.h"
#include "data_test_support.h"

namespace lgoty::data {
namespace {

using testing::FillRegister;
using Calls = std::vector<std::string>;

std::string Current(TDataSet& ds) { return ds.FieldByName("FAMIL").AsString(); }

TEST(DataSetLocate, ExactMatchIsCaseSensitiveUnlessAsked) {
  TMemoryDataSet ds;
  FillRegister(ds);
  EXPECT_TRUE(ds.Locate("FAMIL", "ПЕТРОВ", {}));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_FALSE(ds.Locate("FAMIL", "петров", {}));
  EXPECT_EQ(ds.RecNo(), 3);  // a failed search leaves the record
  EXPECT_TRUE(ds.Locate("FAMIL", "петров", {.loCaseInsensitive = true}));
  EXPECT_TRUE(ds.Locate("FAMIL", "ИВАНОВА", {.loCaseInsensitive = true}));
  EXPECT_EQ(Current(ds), "Иванова");
  // Without partial keys a prefix does not match.
  EXPECT_FALSE(ds.Locate("FAMIL", "СИДОР", {}));
}

TEST(DataSetLocate, PartialKeyMatchesTheFirstCharactersOfTheFieldText) {
  TMemoryDataSet ds;
  FillRegister(ds);
  EXPECT_TRUE(ds.Locate("FAMIL", "СИД", {.loPartialKey = true}));
  EXPECT_EQ(Current(ds), "СИДОРОВ");
  // The first record in order whose text starts with the key.
  EXPECT_TRUE(ds.Locate("FAMIL", "Иван", {.loPartialKey = true}));
  EXPECT_EQ(Current(ds), "Иванова");
  EXPECT_TRUE(ds.Locate("FAMIL", "иван", {.loCaseInsensitive = true, .loPartialKey = true}));
  EXPECT_EQ(Current(ds), "ИВАНОВ");
  // A key longer than the text never matches; an empty one matches the first record.
  EXPECT_FALSE(ds.Locate("FAMIL", "СИДОРОВИЧ", {.loPartialKey = true}));
  ds.Last();
  EXPECT_TRUE(ds.Locate("FAMIL", "", {.loPartialKey = true}));
  EXPECT_EQ(ds.RecNo(), 1);
}

TEST(DataSetLocate, SeveralKeyFieldsAndNonTextFieldsCompareValues) {
  TMemoryDataSet ds;
  FillRegister(ds);
  EXPECT_TRUE(ds.Locate("FAMIL;IMJA", core::Variant::Array({"Иванова", "Анна"}), {}));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_FALSE(ds.Locate("FAMIL;IMJA", core::Variant::Array({"Иванова", "Петр"}), {}));
  EXPECT_TRUE(ds.Locate("SUMPAY", 7.25, {}));
  EXPECT_EQ(Current(ds), "СИДОРОВ");
  EXPECT_TRUE(ds.Locate("KOL", "5", {}));  // text that is a number compares as the number
  EXPECT_EQ(Current(ds), "Abbot");
  EXPECT_TRUE(ds.Locate("DATERCPT", core::Variant::Null(), {}));
  EXPECT_EQ(Current(ds), "ПЕТРОВ");
  EXPECT_FALSE(ds.Locate("KOL", "abc", {}));
  EXPECT_THROW(ds.Locate("NOPE", 1, {}), EDatabaseError);
}

TEST(DataSetLocate, SuccessScrollsAndTheLinkedGridSeesOneChange) {
  TMemoryDataSet ds;
  FillRegister(ds);
  TDataSource source(&ds);
  testing::RecordingLink grid;
  grid.SetDataSource(&source);
  Calls log;
  ds.BeforeScroll = [&](TDataSet&) { log.push_back("before"); };
  ds.AfterScroll = [&](TDataSet&) { log.push_back("after"); };
  grid.Take();
  EXPECT_TRUE(ds.Locate("FAMIL", "Abbot", {}));
  EXPECT_EQ(log, (Calls{"before", "after"}));
  EXPECT_EQ(grid.Take(), (Calls{"check", "changed"}));
  EXPECT_EQ(grid.rows, (Calls{"*Abbot"}));
  log.clear();
  EXPECT_FALSE(ds.Locate("FAMIL", "Zed", {}));
  EXPECT_EQ(log, (Calls{"before"}));
  EXPECT_EQ(grid.Take(), (Calls{"check"}));
  // The scan did not disturb the window: moving on works from the current record.
  ds.Prior();
  EXPECT_EQ(Current(ds), "СИДОРОВ");
}

TEST(DataSetLookup, ReturnsResultFieldsWithoutMoving) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.Next();
  EXPECT_EQ(ds.Lookup("FAMIL", "ПЕТРОВ", "IMJA").AsString(), "Иван");
  core::Variant both = ds.Lookup("KOL", 4, "FAMIL;SUMPAY");
  ASSERT_TRUE(both.IsArray());
  EXPECT_EQ(both.At(0).AsString(), "СИДОРОВ");
  EXPECT_DOUBLE_EQ(both.At(1).AsDouble(), 7.25);
  EXPECT_TRUE(ds.Lookup("FAMIL", "Zed", "IMJA").IsNull());
  EXPECT_TRUE(ds.Lookup("FAMIL", core::Variant::Null(), "IMJA").IsNull());
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Next();
  EXPECT_EQ(ds.RecNo(), 3);
}

TEST(DataSetBookmarks, GoToCompareAndFree) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.Next();
  TBookmark second = ds.GetBookmark();
  ds.MoveBy(2);
  TBookmark fourth = ds.GetBookmark();
  EXPECT_EQ(ds.CompareBookmarks(second, fourth), -1);
  EXPECT_EQ(ds.CompareBookmarks(fourth, second), 1);
  EXPECT_EQ(ds.CompareBookmarks(second, second), 0);
  TBookmark none;
  EXPECT_EQ(ds.CompareBookmarks(none, second), 1);
  EXPECT_EQ(ds.CompareBookmarks(second, none), -1);
  EXPECT_EQ(ds.CompareBookmarks(none, none), 0);
  ds.GotoBookmark(second);
  EXPECT_EQ(Current(ds), "Иванова");
  EXPECT_TRUE(ds.BookmarkValid(fourth));
  // Inserting before a bookmarked record keeps the bookmark on that record.
  ds.First();
  ds.InsertRecord({"ПЕРВЫЙ"});
  ds.GotoBookmark(fourth);
  EXPECT_EQ(Current(ds), "СИДОРОВ");
  EXPECT_EQ(ds.RecNo(), 5);
  ds.Delete();
  EXPECT_FALSE(ds.BookmarkValid(fourth));
  EXPECT_THROW(ds.GotoBookmark(fourth), EDatabaseError);
  EXPECT_EQ(Current(ds), "Abbot");  // a failed go-to leaves the record
  ds.FreeBookmark(second);
  EXPECT_TRUE(second.IsEmpty());
  ds.GotoBookmark(second);  // an empty bookmark goes nowhere
  EXPECT_EQ(Current(ds), "Abbot");
}

TEST(DataSetBookmarks, AnUnpostedRecordHasNoBookmark) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.Append();
  EXPECT_TRUE(ds.GetBookmark().IsEmpty());
  ds.Cancel();
  EXPECT_FALSE(ds.GetBookmark().IsEmpty());
}

TEST(DataSetFilter, OnFilterRecordHidesRecordsFromNavigationCountsAndSearch) {
  TMemoryDataSet ds;
  FillRegister(ds);
  Calls states;
  ds.OnFilterRecord = [&](TDataSet& d, bool& accept) {
    states.push_back(d.State() == TDataSetState::dsFilter ? "filter" : "other");
    accept = d.FieldByName("SUMPAY").AsFloat() >= 7;
  };
  ds.SetRecNo(3);  // ПЕТРОВ, SUMPAY 0: hidden by the filter below
  ds.SetFiltered(true);
  EXPECT_EQ(Current(ds), "СИДОРОВ");  // the next visible record
  EXPECT_EQ(states.front(), "filter");
  EXPECT_EQ(ds.RecordCount(), 3);
  EXPECT_EQ(ds.RecNo(), -1);
  Calls names;
  for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(Current(ds));
  EXPECT_EQ(names, (Calls{"ИВАНОВ", "Иванова", "СИДОРОВ"}));
  EXPECT_FALSE(ds.Locate("FAMIL", "Abbot", {}));
  // A filter that hides everything leaves an empty dataset.
  ds.OnFilterRecord = [](TDataSet&, bool& accept) { accept = false; };
  ds.Refresh();
  EXPECT_TRUE(ds.IsEmpty());
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 5);
  EXPECT_FALSE(ds.IsEmpty());
}

Calls Visible(TDataSet& ds) {
  Calls names;
  for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(Current(ds));
  return names;
}

TEST(DataSetFilter, FilterTextSelectsRecordsWithComparisonsAndLogic) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.SetFilter("KOL > 2");
  EXPECT_EQ(ds.RecordCount(), 5);  // not filtered yet
  ds.SetFiltered(true);
  EXPECT_EQ(Visible(ds), (Calls{"ПЕТРОВ", "СИДОРОВ", "Abbot"}));
  ds.SetFilter("SUMPAY >= 7 AND NOT (KOL = 4)");  // changing the text while filtered refreshes
  EXPECT_EQ(Visible(ds), (Calls{"ИВАНОВ", "Иванова"}));
  ds.SetFilter("DATERCPT = NULL or [IMJA] = 'Tom'");
  EXPECT_EQ(Visible(ds), (Calls{"ПЕТРОВ", "Abbot"}));
  ds.SetFilter("DATERCPT < DATERCPT");  // null on a side: false
  EXPECT_TRUE(ds.IsEmpty());
  // The text and OnFilterRecord both have to accept a record.
  ds.SetFilter("KOL <= 3");
  ds.OnFilterRecord = [](TDataSet& d, bool& accept) { accept = d.FieldByName("KOL").AsInteger() != 2; };
  ds.Refresh();
  EXPECT_EQ(Visible(ds), (Calls{"ИВАНОВ", "ПЕТРОВ"}));
}

TEST(DataSetFilter, TextPatternsFollowTheFilterOptions) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.SetFiltered(true);
  ds.SetFilter("FAMIL = 'ИВАН*'");
  EXPECT_EQ(Visible(ds), (Calls{"ИВАНОВ"}));
  ds.SetFilterOptions({.foCaseInsensitive = true});
  EXPECT_EQ(Visible(ds), (Calls{"ИВАНОВ", "Иванова"}));
  ds.SetFilter("FAMIL <> 'иван*'");
  EXPECT_EQ(Visible(ds), (Calls{"ПЕТРОВ", "СИДОРОВ", "Abbot"}));
  ds.SetFilterOptions({.foCaseInsensitive = true, .foNoPartialCompare = true});
  ds.SetFilter("FAMIL = 'ИВАН*'");
  EXPECT_TRUE(ds.IsEmpty());
  ds.SetFilter("FAMIL = 'O''Neil' OR FAMIL = 'abbot'");
  EXPECT_EQ(Visible(ds), (Calls{"Abbot"}));
}

TEST(DataSetFilter, BadTextsAreRefusedWithAPositionAndKeepTheOldText) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.SetFiltered(true);
  ds.SetFilter("KOL > 3");
  auto error = [&](const std::string& text) {
    try {
      ds.SetFilter(text);
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return std::string("(no exception)");
  };
  EXPECT_EQ(error("KOL >"), "Filter expression error at position 6: operand expected");
  EXPECT_EQ(error("KOL 3"), "Filter expression error at position 5: comparison operator expected");
  EXPECT_EQ(error("(KOL = 3"), "Filter expression error at position 9: ')' expected");
  EXPECT_EQ(error("FAMIL = 'abc"), "Filter expression error at position 13: unterminated text");
  EXPECT_EQ(error("NOPE = 1"), "Field 'NOPE' not found");
  EXPECT_EQ(error(std::string(5000, '(') + "KOL = 1"),
            "Filter expression error at position 201: expression nested too deeply");
  std::string chain = "KOL = 1";
  for (int i = 0; i < 10001; ++i) chain += " OR KOL = 1";
  EXPECT_NE(error(chain).find("expression too long"), std::string::npos);
  EXPECT_EQ(ds.Filter(), "KOL > 3");
  EXPECT_EQ(Visible(ds), (Calls{"СИДОРОВ", "Abbot"}));
}

TEST(DataSetFilter, ATextThatDoesNotCompileOnOpenIsDropped) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.Close();
  ds.SetFilter("NOPE = 1");  // fields are unknown while closed
  ds.SetFiltered(true);
  ds.Open();
  EXPECT_EQ(ds.Filter(), "");
  EXPECT_EQ(ds.RecordCount(), 5);
}

}  // namespace
}  // namespace lgoty::data
