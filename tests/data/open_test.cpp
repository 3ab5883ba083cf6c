#include <gtest/gtest.h>

#include "data/database_error.h"
#include "data_test_support.h"

namespace lgoty::data {
namespace {

using testing::RecordingLink;

// A memory dataset whose open can be given up, or can fail, from inside InternalOpen.
struct GivingUpDataSet : TMemoryDataSet {
  enum class Outcome { kOpen, kAbandon, kFail } outcome = Outcome::kOpen;
  int closes = 0;

 protected:
  void InternalOpen() override {
    TMemoryDataSet::InternalOpen();
    if (outcome == Outcome::kAbandon) throw EOpenAbandoned("declined");
    if (outcome == Outcome::kFail) throw EDatabaseError("broken");
  }
  void InternalClose() override {
    ++closes;
    TMemoryDataSet::InternalClose();
  }
};

TEST(DataSetOpen, AnAbandonedOpenIsQuietAndLeavesTheDatasetClosed) {
  GivingUpDataSet ds;
  ds.FieldDefs().Add("FAMIL", TFieldType::ftString, 20);
  TDataSource source(&ds);
  RecordingLink grid;
  grid.SetDataSource(&source);
  grid.Take();
  std::vector<std::string> events;
  ds.BeforeOpen = [&](TDataSet&) { events.push_back("before"); };
  ds.AfterOpen = [&](TDataSet&) { events.push_back("after"); };

  ds.outcome = GivingUpDataSet::Outcome::kAbandon;
  EXPECT_NO_THROW(ds.Open());
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.State(), TDataSetState::dsInactive);
  EXPECT_EQ(ds.closes, 1) << "what was half opened is released";
  EXPECT_EQ(events, std::vector<std::string>{"before"});
  EXPECT_TRUE(grid.Take().empty()) << "links never saw the dataset active";
  EXPECT_EQ(ds.FieldCount(), 0);
  EXPECT_THROW(ds.First(), EDatabaseError);

  // A real failure still reaches the caller, and a later open works normally.
  ds.outcome = GivingUpDataSet::Outcome::kFail;
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  EXPECT_TRUE(grid.Take().empty());
  grid.SetDataSource(nullptr);  // the recording link cannot paint an empty dataset
  ds.outcome = GivingUpDataSet::Outcome::kOpen;
  ds.Open();
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(events, (std::vector<std::string>{"before", "before", "before", "after"}));
}

// A dataset whose definition fill routine asks for FieldDefs() of itself while closed.
struct SelfAskingDataSet : TMemoryDataSet {
  int fills = 0;

 protected:
  void InternalInitFieldDefs() override {
    ++fills;
    TFieldDefs& defs = FieldDefs();  // the list being filled, not a fresh fill
    defs.Clear();
    defs.Add("FAMIL", TFieldType::ftString, 20);
    if (fills == 2) throw EDatabaseError("the source went away");
  }
};

TEST(DataSetOpen, FieldDefsAskedFromTheirOwnFillRoutineDoNotRecurse) {
  SelfAskingDataSet ds;
  EXPECT_EQ(ds.FieldDefs().Count(), 1);
  EXPECT_EQ(ds.fills, 1);
  EXPECT_EQ(ds.FieldDefs().Count(), 1);
  EXPECT_EQ(ds.fills, 1) << "filled lists are not filled again";

  // A fill that fails does not leave the guard set: the next question fills again.
  ds.FieldDefs().SetUpdated(false);
  EXPECT_THROW(ds.FieldDefs(), EDatabaseError);
  EXPECT_EQ(ds.FieldDefs().Count(), 1);
  EXPECT_EQ(ds.fills, 3);
}

}  // namespace
}  // namespace lgoty::data
