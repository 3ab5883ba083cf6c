#include <gtest/gtest.h>

#include "data/database_error.h"
#include "data_test_support.h"

namespace lgoty::data {
namespace {

using testing::FillRegister;
using testing::RecordingLink;
using Calls = std::vector<std::string>;

struct Linked : ::testing::Test {
  TMemoryDataSet ds;
  TDataSource source;
  RecordingLink grid;
  void SetUp() override {
    FillRegister(ds);
    source.SetDataSet(&ds);
    grid.SetBufferCount(3);
    grid.SetDataSource(&source);
    grid.Take();
  }
};

TEST_F(Linked, ScrollingSendsOneScrollPerMove) {
  // Every browse step first lets controls finish their input ("check").
  ds.Next();
  EXPECT_EQ(grid.Take(), (Calls{"check", "scrolled(0)"}));
  ds.MoveBy(2);
  EXPECT_EQ(grid.Take(), (Calls{"check", "scrolled(1)"}));
  ds.First();
  EXPECT_EQ(grid.Take(), (Calls{"check", "changed"}));
  ds.First();  // at BOF nothing moves but the window is re-read
  EXPECT_EQ(grid.Take(), (Calls{"check", "changed"}));
  ds.Prior();  // already at BOF: nothing to show
  EXPECT_EQ(grid.Take(), (Calls{"check"}));
}

TEST_F(Linked, EditPostAndCancelSendStateRecordAndFieldChanges) {
  ds.Edit();
  EXPECT_EQ(grid.Take(), (Calls{"check", "editing", "record"}));
  ds.FieldByName("IMJA").SetAsString("Павел");
  EXPECT_EQ(grid.Take(), (Calls{"field(IMJA)"}));
  ds.Post();
  EXPECT_EQ(grid.Take(), (Calls{"update", "browsing", "changed"}));
  EXPECT_EQ(grid.rows[0], "*ИВАНОВ");

  ds.Edit();
  ds.FieldByName("IMJA").SetAsString("X");
  grid.Take();
  ds.Cancel();
  EXPECT_EQ(grid.Take(), (Calls{"check", "browsing", "changed"}));
  EXPECT_EQ(ds.FieldByName("IMJA").AsString(), "Павел");
}

TEST_F(Linked, InsertAppendAndDeleteReReadTheWindow) {
  ds.Next();
  grid.Take();
  ds.Insert();
  EXPECT_EQ(grid.Take(), (Calls{"check", "editing", "changed"}));
  ds.FieldByName("FAMIL").SetAsString("НОВЫЙ");
  ds.Post();
  EXPECT_EQ(grid.Take(), (Calls{"field(FAMIL)", "update", "browsing", "changed"}));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_EQ(grid.rows, (Calls{"ИВАНОВ", "*НОВЫЙ", "Иванова"}));

  ds.Delete();
  EXPECT_EQ(grid.Take(), (Calls{"check", "changed"}));
  EXPECT_EQ(grid.rows, (Calls{"ИВАНОВ", "*Иванова", "ПЕТРОВ"}));

  ds.Append();
  EXPECT_EQ(grid.Take(), (Calls{"check", "editing", "changed"}));
  ds.Cancel();
  EXPECT_EQ(grid.Take(), (Calls{"check", "browsing", "changed"}));
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "Abbot");
}

TEST_F(Linked, RefreshAndOpenCloseSendChangedAndActivity) {
  ds.Refresh();
  EXPECT_EQ(grid.Take(), (Calls{"check", "changed"}));
  ds.Close();
  EXPECT_EQ(grid.Take(), (Calls{"inactive"}));
  ds.Open();
  EXPECT_EQ(grid.Take(), (Calls{"active", "changed"}));
  EXPECT_EQ(grid.rows, (Calls{"*ИВАНОВ", "Иванова", "ПЕТРОВ"}));
}

TEST_F(Linked, DisabledControlsHearNothingThenOneDataSetChange) {
  ds.DisableControls();
  ds.DisableControls();
  EXPECT_TRUE(ds.ControlsDisabled());
  for (ds.First(); !ds.Eof(); ds.Next()) {
  }
  ds.Edit();
  ds.FieldByName("KOL").SetAsInteger(50);
  ds.Post();
  ds.First();
  ds.EnableControls();
  EXPECT_EQ(grid.Take(), Calls{});
  ds.EnableControls();
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(grid.Take(), (Calls{"changed"}));
  EXPECT_EQ(grid.rows, (Calls{"*ИВАНОВ", "Иванова", "ПЕТРОВ"}));
  // Unbalanced EnableControls does nothing.
  ds.EnableControls();
  EXPECT_EQ(grid.Take(), Calls{});
}

TEST_F(Linked, StateLeftChangedWhileDisabledIsAnnouncedBeforeTheDataSetChange) {
  ds.DisableControls();
  ds.Edit();
  ds.EnableControls();
  EXPECT_EQ(grid.Take(), (Calls{"editing", "changed"}));
}

TEST_F(Linked, DataSourceEventsAndDisabledSource) {
  int data_changes = 0;
  int state_changes = 0;
  TField* changed_field = nullptr;
  source.OnDataChange = [&](TDataSource&, TField* field) {
    ++data_changes;
    changed_field = field;
  };
  source.OnStateChange = [&](TDataSource&) { ++state_changes; };
  ds.Next();
  EXPECT_EQ(data_changes, 1);
  ds.Edit();
  EXPECT_EQ(state_changes, 1);
  EXPECT_EQ(source.State(), TDataSetState::dsEdit);
  ds.FieldByName("KOL").SetAsInteger(7);
  EXPECT_EQ(changed_field, &ds.FieldByName("KOL"));
  ds.Cancel();
  grid.Take();

  source.SetEnabled(false);
  EXPECT_EQ(grid.Take(), (Calls{"inactive"}));
  EXPECT_EQ(source.State(), TDataSetState::dsInactive);
  ds.Next();
  EXPECT_EQ(grid.Take(), Calls{});
  source.SetEnabled(true);
  EXPECT_EQ(grid.Take(), (Calls{"active"}));
  source.OnDataChange = nullptr;  // the counters go out of scope before the fixture
  source.OnStateChange = nullptr;
}

TEST_F(Linked, LinkEditGoesThroughAutoEditAndReadOnlyLinksNeverEdit) {
  EXPECT_TRUE(grid.Edit());
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  ds.Cancel();
  source.SetAutoEdit(false);
  EXPECT_FALSE(grid.Edit());
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  source.SetAutoEdit(true);
  grid.SetReadOnly(true);
  EXPECT_FALSE(grid.Edit());
  ds.Edit();
  EXPECT_FALSE(grid.Editing());
}

TEST(DataLinkLifetime, DestroyingEitherSideUnlinksTheOther) {
  RecordingLink link;
  {
    TMemoryDataSet ds;
    FillRegister(ds);
    TDataSource source(&ds);
    link.SetDataSource(&source);
    EXPECT_TRUE(link.Active());
    {
      RecordingLink short_lived;
      short_lived.SetBufferCount(4);
      short_lived.SetDataSource(&source);
    }
    ds.Next();  // the gone link is not called
    source.SetDataSet(nullptr);
    EXPECT_FALSE(link.Active());
    source.SetDataSet(&ds);
    EXPECT_TRUE(link.Active());
  }
  EXPECT_EQ(link.DataSource(), nullptr);
  EXPECT_FALSE(link.Active());
}

}  // namespace
}  // namespace lgoty::data

namespace lgoty::data {
namespace {

// A dataset that takes its master record from a data source.
struct DetailDataSet : TMemoryDataSet {
  TDataSource* master = nullptr;
  TDataSource* GetDataSource() const override { return master; }
};

TEST(DataSourceLinks, ASourceCannotFeedADatasetWhoseMasterChainLeadsBackToIt) {
  DetailDataSet a;
  DetailDataSet b;
  TDataSource source_a;
  TDataSource source_b(&b);
  a.master = &source_b;  // a's master is b
  b.master = &source_a;  // b's master is whatever source_a shows
  EXPECT_TRUE(source_a.IsLinkedTo(&b));
  EXPECT_TRUE(source_a.IsLinkedTo(&a));
  try {
    source_a.SetDataSet(&a);
    FAIL() << "no exception";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Circular datalinks are not allowed");
  }
  EXPECT_EQ(source_a.DataSet(), nullptr);
  b.master = nullptr;
  source_a.SetDataSet(&a);
  EXPECT_EQ(source_a.DataSet(), &a);
}

}  // namespace
}  // namespace lgoty::data

namespace lgoty::data {
namespace {

TEST(DataLinkLifetime, DestroyingAnOpenDatasetFiresNoEventsAndDeactivatesLinks) {
  TDataSource source;
  testing::RecordingLink link;
  link.SetDataSource(&source);
  int events = 0;
  {
    auto ds = std::make_unique<TMemoryDataSet>();
    testing::FillRegister(*ds);
    ds->BeforeClose = [&](TDataSet&) { ++events; };
    ds->AfterClose = [&](TDataSet&) { ++events; };
    source.SetDataSet(ds.get());
    ds->Edit();
    link.Take();
  }
  EXPECT_EQ(events, 0);
  EXPECT_EQ(source.DataSet(), nullptr);
  EXPECT_EQ(source.State(), TDataSetState::dsInactive);
  EXPECT_EQ(link.Take(), (std::vector<std::string>{"inactive", "browsing"}));
}

}  // namespace
}  // namespace lgoty::data

namespace lgoty::data {
namespace {

// A link that leaves its source the first time it hears of a change.
struct LeavingLink : TDataLink {
  int heard = 0;
  void DataSetChanged() override {
    ++heard;
    SetDataSource(nullptr);
  }
};

TEST(DataLinkLifetime, ALinkLeavingDuringANotificationDoesNotStarveTheOthers) {
  TMemoryDataSet ds;
  testing::FillRegister(ds);
  TDataSource source(&ds);
  LeavingLink leaving;
  testing::RecordingLink staying;
  leaving.SetDataSource(&source);
  staying.SetDataSource(&source);
  staying.Take();
  ds.First();
  EXPECT_EQ(leaving.heard, 1);
  EXPECT_EQ(leaving.DataSource(), nullptr);
  EXPECT_EQ(staying.Take(), (std::vector<std::string>{"check", "changed"}));
  ds.Last();
  EXPECT_EQ(leaving.heard, 1);
  EXPECT_EQ(staying.Take(), (std::vector<std::string>{"check", "changed"}));
}

}  // namespace
}  // namespace lgoty::data
