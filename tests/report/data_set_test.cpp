// The abstract data set's range rules, the callback-driven data set and the process-wide
// registry by which bands and expressions find data sets by name.
#include <gtest/gtest.h>

#include <thread>

#include "report/data_sets.h"
#include "report/pages.h"
#include "report/report.h"

namespace lgoty::report {
namespace {

// Walks a data set as the band engine does and returns the RecNo of every row visited.
std::vector<int> Walk(TfrxDataSet& ds, int limit = 100) {
  std::vector<int> rows;
  ds.First();
  while (!ds.Eof() && static_cast<int>(rows.size()) < limit) {
    rows.push_back(ds.RecNo());
    ds.Next();
  }
  return rows;
}

TEST(DataSetRange, CountRangeOfZeroIsEmptyAndOfThreeStopsOnTheLastRow) {
  TfrxUserDataSet ds;
  ds.range_end = TfrxRangeEnd::reCount;
  ds.range_end_count = 0;
  ds.First();
  EXPECT_TRUE(ds.Eof());

  ds.range_end_count = 3;
  EXPECT_EQ(Walk(ds), (std::vector<int>{0, 1, 2}));
  // The Next after the third row leaves RecNo on it.
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.RecordCount(), 3);
  ds.range_begin = TfrxRangeBegin::rbCurrent;
  EXPECT_EQ(ds.RecordCount(), 0);
}

TEST(DataSetRange, CallbacksSeeTheMovesAndMayEndTheWalk) {
  TfrxUserDataSet ds;
  std::vector<std::string> calls;
  ds.OnFirst = [&](TfrxDataSet&) { calls.push_back("first"); };
  ds.OnNext = [&](TfrxDataSet&) { calls.push_back("next"); };
  ds.OnPrior = [&](TfrxDataSet&) { calls.push_back("prior"); };
  ds.OnCheckEOF = [&](TfrxDataSet& sender, bool& eof) { eof = sender.RecNo() >= 2; };
  EXPECT_EQ(Walk(ds), (std::vector<int>{0, 1}));
  ds.Prior();
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "next", "next", "prior"}));
  // A count range ends without OnNext.
  calls.clear();
  ds.OnCheckEOF = nullptr;
  ds.range_end = TfrxRangeEnd::reCount;
  ds.range_end_count = 1;
  EXPECT_EQ(Walk(ds), (std::vector<int>{0}));
  EXPECT_EQ(calls, (std::vector<std::string>{"first"}));
}

TEST(UserDataSet, ValuesComeFromBothCallbacksInTurn) {
  TfrxUserDataSet ds;
  ds.fields.SetText("A\r\nB\r\n");
  EXPECT_EQ(ds.FieldsCount(), 2);
  EXPECT_TRUE(ds.HasField("b"));
  EXPECT_FALSE(ds.HasField("C"));
  EXPECT_TRUE(ds.Value("A").IsNull());
  ds.OnGetValue = [](const std::string& field, core::Variant& v) { v = core::Variant(field + "1"); };
  EXPECT_EQ(ds.DisplayText("A"), "A1");
  ds.OnNewGetValue = [](TfrxUserDataSet&, const std::string& field, core::Variant& v) {
    if (field == "B") v = core::Variant(42);
  };
  EXPECT_EQ(ds.Value("A").AsString(), "A1");
  EXPECT_EQ(ds.Value("B").AsInt64(), 42);
  EXPECT_EQ(ds.DisplayWidth("A"), 10);
  EXPECT_EQ(ds.FieldType("A"), TfrxFieldType::fftNumeric);
}

TfrxUserDataSet* AddUserDataSet(TfrxReport& report, const char* name) {
  TfrxDataPage* page = report.CheckDataPage();
  auto* ds = page->Add(std::make_unique<TfrxUserDataSet>());
  ds->SetName(name);
  return ds;
}

TEST(DataSetRegistry, EachReportFindsItsOwnDataSetOfASharedName) {
  TfrxReport first, second;
  TfrxUserDataSet* a = AddUserDataSet(first, "Rows");
  TfrxUserDataSet* b = AddUserDataSet(second, "Rows");
  EXPECT_EQ(frxFindDataSet(nullptr, "ROWS", &first), a);
  EXPECT_EQ(frxFindDataSet(nullptr, "rows", &second), b);
  // A data set outside any report is found by every report.
  TfrxUserDataSet free_set;
  free_set.SetName("Host");
  EXPECT_EQ(frxFindDataSet(nullptr, "host", &second), &free_set);
  // The user name counts, not the component name; letters compare as the locale does.
  b->SetUserName("Льготники");
  EXPECT_EQ(frxFindDataSet(nullptr, "ЛЬГОТНИКИ", &second), b);
  EXPECT_EQ(frxFindDataSet(nullptr, "Rows", &second), nullptr);
  // No owner: the current reference stays; an empty name finds nothing.
  EXPECT_EQ(frxFindDataSet(a, "Льготники", nullptr), a);
  EXPECT_EQ(frxFindDataSet(a, "", &first), nullptr);
}

TEST(DataSetRegistry, DataSetsLeaveTheRegistryWhenDestroyed) {
  TfrxReport report;
  TfrxUserDataSet* ds = AddUserDataSet(report, "Gone");
  EXPECT_EQ(frxFindDataSet(nullptr, "Gone", &report), ds);
  report.Clear();
  EXPECT_EQ(frxFindDataSet(nullptr, "Gone", &report), nullptr);
  for (TfrxDataSet* live : TfrxGlobalDataSetList::Instance().Items()) EXPECT_NE(live, ds);
}

TEST(DataSetRegistry, CreationOnOtherThreadsKeepsTheListWhole) {
  const size_t before = TfrxGlobalDataSetList::Instance().Items().size();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        TfrxUserDataSet ds;
        ds.SetUserName("T");
        (void)TfrxGlobalDataSetList::Instance().Find("none", nullptr);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(TfrxGlobalDataSetList::Instance().Items().size(), before);
}

}  // namespace
}  // namespace lgoty::report
