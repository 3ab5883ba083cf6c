#include <gtest/gtest.h>

#include "data/database_error.h"
#include "data/typed_fields.h"
#include "data_test_support.h"

namespace lgoty::data {
namespace {

using testing::FillRegister;
using Calls = std::vector<std::string>;

template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const core::Exception& e) {
    return e.Message();
  }
  return "(no exception)";
}

// Hooks every Before/After event and OnNewRecord into one list.
void RecordEvents(TDataSet& ds, Calls& log) {
  auto note = [&log](const char* name) { return [&log, name](TDataSet&) { log.push_back(name); }; };
  ds.BeforeOpen = note("BeforeOpen");
  ds.AfterOpen = note("AfterOpen");
  ds.BeforeClose = note("BeforeClose");
  ds.AfterClose = note("AfterClose");
  ds.BeforeInsert = note("BeforeInsert");
  ds.AfterInsert = note("AfterInsert");
  ds.BeforeEdit = note("BeforeEdit");
  ds.AfterEdit = note("AfterEdit");
  ds.BeforePost = note("BeforePost");
  ds.AfterPost = note("AfterPost");
  ds.BeforeCancel = note("BeforeCancel");
  ds.AfterCancel = note("AfterCancel");
  ds.BeforeDelete = note("BeforeDelete");
  ds.AfterDelete = note("AfterDelete");
  ds.BeforeScroll = note("BeforeScroll");
  ds.AfterScroll = note("AfterScroll");
  ds.BeforeRefresh = note("BeforeRefresh");
  ds.AfterRefresh = note("AfterRefresh");
  ds.OnNewRecord = note("OnNewRecord");
}

TEST(DataSetEditing, EventsComeInBeforeAfterPairsInOperationOrder) {
  TMemoryDataSet ds;
  FillRegister(ds);
  Calls log;
  RecordEvents(ds, log);
  ds.Close();
  EXPECT_EQ(log, (Calls{"BeforeClose", "AfterClose"}));
  log.clear();
  ds.Open();
  EXPECT_EQ(log, (Calls{"BeforeOpen", "AfterOpen", "AfterScroll"}));
  log.clear();
  ds.Next();
  EXPECT_EQ(log, (Calls{"BeforeScroll", "AfterScroll"}));
  log.clear();
  ds.Edit();
  ds.FieldByName("KOL").SetAsInteger(9);
  ds.Post();
  EXPECT_EQ(log, (Calls{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
  log.clear();
  ds.Insert();
  ds.Cancel();
  EXPECT_EQ(log, (Calls{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert",
                        "AfterScroll", "BeforeCancel", "AfterCancel"}));
  log.clear();
  ds.Delete();
  EXPECT_EQ(log, (Calls{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
  log.clear();
  ds.Refresh();
  EXPECT_EQ(log, (Calls{"BeforeRefresh", "AfterRefresh"}));
  log.clear();
  // A scroll step while editing posts the modified record first.
  ds.Edit();
  ds.FieldByName("KOL").SetAsInteger(10);
  ds.Next();
  EXPECT_EQ(log, (Calls{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeScroll",
                        "AfterScroll"}));
}

TEST(DataSetEditing, FieldsAreWritableOnlyInEditOrInsertState) {
  TMemoryDataSet ds;
  FillRegister(ds);
  EXPECT_EQ(ErrorOf([&] { ds.FieldByName("IMJA").SetAsString("X"); }),
            "Dataset not in edit or insert mode");
  EXPECT_EQ(ErrorOf([&] { ds.Post(); }), "Dataset not in edit or insert mode");
  ds.Cancel();  // nothing to cancel: no error
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  ds.FieldByName("FAMIL").SetReadOnly(true);
  ds.Edit();
  EXPECT_EQ(ErrorOf([&] { ds.FieldByName("FAMIL").SetAsString("X"); }),
            "Field 'FAMIL' cannot be modified");
  ds.Cancel();
}

TEST(DataSetEditing, PostStoresCancelRestoresAndModifiedTracksAssignments) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.MoveBy(2);
  ds.Edit();
  EXPECT_FALSE(ds.Modified());
  ds.FieldByName("SUMPAY").SetAsFloat(12.5);
  EXPECT_TRUE(ds.Modified());
  ds.Cancel();
  EXPECT_DOUBLE_EQ(ds.FieldByName("SUMPAY").AsFloat(), 0.0);
  ds.Edit();
  ds.FieldByName("SUMPAY").SetAsFloat(12.5);
  ds.FieldByName("DATERCPT").SetAsDateTime(core::EncodeDate(2022, 3, 4));
  ds.Post();
  EXPECT_FALSE(ds.Modified());
  ds.First();
  ds.MoveBy(2);
  EXPECT_DOUBLE_EQ(ds.FieldByName("SUMPAY").AsFloat(), 12.5);
  EXPECT_EQ(ds.FieldByName("DATERCPT").AsDateTime(), core::EncodeDate(2022, 3, 4));
  // An unmodified edit is cancelled by the next browse step, not posted.
  Calls log;
  ds.AfterPost = [&](TDataSet&) { log.push_back("post"); };
  ds.AfterCancel = [&](TDataSet&) { log.push_back("cancel"); };
  ds.Edit();
  ds.Next();
  EXPECT_EQ(log, (Calls{"cancel"}));
}

TEST(DataSetEditing, InsertGoesBeforeTheCurrentRecordAndAppendAtTheEnd) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.MoveBy(1);
  ds.Insert();
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  EXPECT_TRUE(ds.FieldByName("FAMIL").IsNull());
  ds.FieldByName("FAMIL").SetAsString("ВСТАВКА");
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Append();
  ds.FieldByName("FAMIL").SetAsString("КОНЕЦ");
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 7);
  EXPECT_EQ(ds.RecordCount(), 7);
  Calls names;
  for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(ds.FieldByName("FAMIL").AsString());
  EXPECT_EQ(names, (Calls{"ИВАНОВ", "ВСТАВКА", "Иванова", "ПЕТРОВ", "СИДОРОВ", "Abbot",
                          "КОНЕЦ"}));
  // Cancelling an insert puts the current record back where it was.
  ds.SetRecNo(3);
  ds.Insert();
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "Иванова");
  EXPECT_EQ(ds.RecordCount(), 7);
}

TEST(DataSetEditing, CopyingARowThroughAppendStoresAnIdenticalRow) {
  TMemoryDataSet ds;
  FillRegister(ds);
  std::vector<core::Variant> values;
  for (int i = 0; i < ds.FieldCount(); ++i) values.push_back(ds.Fields()[i].Value());
  ds.Append();
  for (int i = 0; i < ds.FieldCount(); ++i) ds.Fields()[i].SetValue(values[i]);
  EXPECT_TRUE(ds.Modified());
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 6);
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "ИВАНОВ");
  EXPECT_EQ(ds.FieldByName("DATERCPT").AsDateTime(), core::EncodeDate(2020, 1, 15));
}

TEST(DataSetEditing, DeleteMovesToTheNextRecordOrThePriorAtTheEnd) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.Next();
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "ПЕТРОВ");
  ds.Last();
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "СИДОРОВ");
  EXPECT_EQ(ds.RecordCount(), 3);
  // Delete during an insert cancels the insert.
  ds.Insert();
  ds.Delete();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.RecordCount(), 3);
  while (!ds.IsEmpty()) ds.Delete();
  EXPECT_TRUE(ds.BOF());
  EXPECT_TRUE(ds.Eof());
  // Edit on an empty dataset inserts.
  ds.Edit();
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
}

TEST(DataSetEditing, ReadOnlyDatasetAndRequiredFieldsAreRefused) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.SetReadOnly(true);
  EXPECT_EQ(ErrorOf([&] { ds.Edit(); }), "Cannot modify a read-only dataset");
  EXPECT_EQ(ErrorOf([&] { ds.Append(); }), "Cannot modify a read-only dataset");
  EXPECT_EQ(ErrorOf([&] { ds.Delete(); }), "Cannot modify a read-only dataset");
  ds.SetReadOnly(false);
  ds.FieldByName("FAMIL").SetRequired(true);
  ds.Append();
  EXPECT_EQ(ErrorOf([&] { ds.Post(); }), "Field 'FAMIL' must have a value");
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  ds.FieldByName("FAMIL").SetAsString("ЯКОВЛЕВ");
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 6);
}

TEST(DataSetEditing, ValidationRefusesAValueAndChangeEventsFollowStoredOnes) {
  TMemoryDataSet ds;
  FillRegister(ds);
  TField& kol = ds.FieldByName("KOL");
  Calls log;
  kol.OnValidate = [&](TField&, const core::Variant& value) {
    if (value.AsInteger() < 0) throw EDatabaseError("negative");
    log.push_back("validate");
  };
  kol.OnChange = [&](TField& field) { log.push_back("change " + field.AsString()); };
  ds.Edit();
  EXPECT_EQ(ErrorOf([&] { kol.SetAsInteger(-1); }), "negative");
  EXPECT_EQ(kol.AsInteger(), 1);
  kol.SetAsInteger(3);
  EXPECT_EQ(log, (Calls{"validate", "change 3"}));
  ds.Cancel();
}

TEST(DataSetEditing, ErrorEventsMayRetryTheOperation) {
  // A dataset whose post fails once, as a locked record or full disk would.
  struct FlakyDataSet : TMemoryDataSet {
    int failures = 0;
    void InternalPost() override {
      if (failures-- > 0) throw EDatabaseError("Record locked.");
      TMemoryDataSet::InternalPost();
    }
  } ds;
  FillRegister(ds);
  ds.failures = 1;
  ds.Edit();
  ds.FieldByName("KOL").SetAsInteger(42);
  EXPECT_EQ(ErrorOf([&] { ds.Post(); }), "Record locked.");
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  ds.failures = 1;
  std::string seen;
  ds.OnPostError = [&](TDataSet&, const core::Exception& error, bool& retry) {
    seen = error.Message();
    retry = true;
  };
  ds.Post();
  EXPECT_EQ(seen, "Record locked.");
  EXPECT_EQ(ds.FieldByName("KOL").AsInteger(), 42);
}

TEST(DataSetEditing, OnNewRecordFillsDefaultsAndAFailureLeavesNoRecord) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.OnNewRecord = [](TDataSet& d) { d.FieldByName("KOL").SetAsInteger(100); };
  ds.Append();
  EXPECT_EQ(ds.FieldByName("KOL").AsInteger(), 100);
  EXPECT_FALSE(ds.Modified());
  ds.Cancel();
  ds.OnNewRecord = [](TDataSet&) { throw EDatabaseError("no"); };
  ds.SetRecNo(2);
  EXPECT_EQ(ErrorOf([&] { ds.Insert(); }), "no");
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "Иванова");
  EXPECT_EQ(ds.RecordCount(), 5);
}

TEST(DataSetEditing, CalculatedFieldsAreComputedPerRecordAndReadOnlyOutsideTheEvent) {
  TMemoryDataSet ds;
  ds.FieldDefs().Add("A", TFieldType::ftInteger);
  ds.FieldDefs().Add("B", TFieldType::ftInteger);
  ds.CreatePersistentField(ds.FieldDefs()[0]);
  ds.CreatePersistentField(ds.FieldDefs()[1]);
  TField& sum = ds.AddField(std::make_unique<TIntegerField>("SUM"));
  sum.SetFieldKind(TFieldKind::fkCalculated);
  Calls states;
  ds.OnCalcFields = [&](TDataSet& d) {
    states.push_back(d.State() == TDataSetState::dsCalcFields ? "calc" : "other");
    d.FieldByName("SUM").SetAsInteger(d.FieldByName("A").AsInteger() +
                                      d.FieldByName("B").AsInteger());
  };
  ds.Open();
  ds.AppendRecord({1, 2});
  ds.AppendRecord({10, 20});
  ds.First();
  EXPECT_EQ(sum.AsInteger(), 3);
  ds.Next();
  EXPECT_EQ(sum.AsInteger(), 30);
  EXPECT_EQ(sum.FieldNo(), 0);
  EXPECT_EQ(states.front(), "calc");
  ds.Edit();
  EXPECT_EQ(ErrorOf([&] { sum.SetAsInteger(1); }), "Field 'SUM' cannot be modified");
  ds.FieldByName("A").SetAsInteger(11);
  ds.Post();
  EXPECT_EQ(sum.AsInteger(), 31);
  // Found through Lookup too (calculated on the record found).
  EXPECT_EQ(ds.Lookup("A", 1, "SUM").AsInteger(), 3);
}

}  // namespace
}  // namespace lgoty::data
