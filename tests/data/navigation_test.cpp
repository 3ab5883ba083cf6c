#include <gtest/gtest.h>

#include "data/database_error.h"
#include "data/typed_fields.h"
#include "data_test_support.h"

namespace lgoty::data {
namespace {

using testing::FillRegister;

template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const core::Exception& e) {
    return e.Message();
  }
  return "(no exception)";
}

std::vector<std::string> Surnames(TDataSet& ds) {
  std::vector<std::string> out;
  for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName("FAMIL").AsString());
  return out;
}

TEST(DataSetNavigation, OpenShowsTheFirstRecordWithBofSet) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.Close();
  ds.Open();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(ds.BOF());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "ИВАНОВ");
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.RecordCount(), 5);
  EXPECT_EQ(ds.FieldCount(), 5);
}

TEST(DataSetNavigation, NextAndPriorStopAtTheEndsAndSetTheFlags) {
  TMemoryDataSet ds;
  FillRegister(ds);
  EXPECT_EQ(Surnames(ds),
            (std::vector<std::string>{"ИВАНОВ", "Иванова", "ПЕТРОВ", "СИДОРОВ", "Abbot"}));
  // After the loop: on the last record with EOF set; Next again stays there.
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "Abbot");
  ds.Next();
  EXPECT_EQ(ds.RecNo(), 5);
  ds.Prior();
  EXPECT_FALSE(ds.Eof());
  EXPECT_FALSE(ds.BOF());
  EXPECT_EQ(ds.RecNo(), 4);
  ds.First();
  ds.Prior();
  EXPECT_TRUE(ds.BOF());
  EXPECT_EQ(ds.RecNo(), 1);
  ds.Next();
  EXPECT_FALSE(ds.BOF());
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  EXPECT_FALSE(ds.BOF());
  EXPECT_EQ(ds.FieldByName("KOL").AsInteger(), 5);
}

TEST(DataSetNavigation, MoveByReportsHowFarItGot) {
  TMemoryDataSet ds;
  FillRegister(ds);
  EXPECT_EQ(ds.MoveBy(3), 3);
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_EQ(ds.MoveBy(10), 1);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.MoveBy(-10), -4);
  EXPECT_TRUE(ds.BOF());
  EXPECT_EQ(ds.MoveBy(0), 0);
  ds.SetRecNo(3);
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "ПЕТРОВ");
}

TEST(DataSetNavigation, EmptyDatasetHasBothFlagsAndNullFields) {
  TMemoryDataSet ds;
  ds.FieldDefs().Add("NAME", TFieldType::ftString, 10);
  ds.FieldDefs().Add("N", TFieldType::ftInteger);
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.BOF());
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.FieldByName("NAME").IsNull());
  EXPECT_EQ(ds.FieldByName("N").AsInteger(), 0);
  EXPECT_EQ(ds.RecNo(), 0);
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_TRUE(ds.GetBookmark().IsEmpty());
  ds.Next();
  ds.Prior();
  ds.Last();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ErrorOf([&] { ds.Delete(); }), "Cannot perform this operation on an empty dataset");
}

TEST(DataSetNavigation, ClosedDatasetRefusesOperationsWithTheClassicText) {
  TMemoryDataSet ds;
  FillRegister(ds);
  ds.Close();
  const std::string closed = "Cannot perform this operation on a closed dataset";
  EXPECT_EQ(ErrorOf([&] { ds.Next(); }), closed);
  EXPECT_EQ(ErrorOf([&] { ds.First(); }), closed);
  EXPECT_EQ(ErrorOf([&] { ds.Delete(); }), closed);
  EXPECT_EQ(ErrorOf([&] { ds.Edit(); }), closed);
  EXPECT_EQ(ErrorOf([&] { ds.RecordCount(); }), closed);
  EXPECT_EQ(ErrorOf([&] { ds.Locate("FAMIL", "X", {}); }), closed);
  // Default fields go with the cursor; the rows stay for the next open.
  EXPECT_EQ(ds.FieldCount(), 0);
  EXPECT_EQ(ds.FieldDefs().Count(), 5);
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 5);
}

TEST(DataSetNavigation, UnknownFieldNamesGiveTheFieldNotFoundText) {
  TMemoryDataSet ds;
  FillRegister(ds);
  EXPECT_EQ(ErrorOf([&] { ds.FieldByName("NOPE"); }), "Field 'NOPE' not found");
  EXPECT_EQ(ds.FindField("nope"), nullptr);
  // Names compare without regard to case.
  EXPECT_EQ(&ds.FieldByName("famil"), &ds.FieldByName("FAMIL"));
  EXPECT_EQ(ErrorOf([&] { ds.GetFieldList("FAMIL; X"); }), "Field 'X' not found");
  EXPECT_EQ(ds.GetFieldList("FAMIL; IMJA").size(), 2u);
}

TEST(DataSetNavigation, PersistentFieldsBindByNameAndSurviveClose) {
  TMemoryDataSet ds;
  ds.FieldDefs().Add("A", TFieldType::ftInteger);
  ds.FieldDefs().Add("B", TFieldType::ftString, 5);
  TField& b = ds.CreatePersistentField(ds.FieldDefs()[1]);
  ds.Open();
  EXPECT_EQ(ds.FieldCount(), 1);
  EXPECT_EQ(b.FieldNo(), 2);
  ds.AppendRecord({"xy"});
  EXPECT_EQ(b.AsString(), "xy");
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 1);

  TMemoryDataSet other;
  other.FieldDefs().Add("A", TFieldType::ftInteger);
  other.AddField(std::make_unique<TStringField>("MISSING", 5));
  EXPECT_EQ(ErrorOf([&] { other.Open(); }), "Field 'MISSING' not found");
  EXPECT_FALSE(other.Active());
}

TEST(DataSetNavigation, GridWindowHoldsConsecutiveRecordsAroundTheCurrentOne) {
  TMemoryDataSet ds;
  FillRegister(ds);
  TDataSource source(&ds);
  testing::RecordingLink grid;
  grid.SetBufferCount(3);
  grid.SetDataSource(&source);
  ds.First();
  EXPECT_EQ(grid.rows, (std::vector<std::string>{"*ИВАНОВ", "Иванова", "ПЕТРОВ"}));
  ds.Next();
  ds.Next();
  EXPECT_EQ(grid.rows, (std::vector<std::string>{"ИВАНОВ", "Иванова", "*ПЕТРОВ"}));
  ds.Next();  // one fetch past the window: the slice moves one row down
  EXPECT_EQ(grid.calls.back(), "scrolled(1)");
  EXPECT_EQ(grid.rows, (std::vector<std::string>{"Иванова", "ПЕТРОВ", "*СИДОРОВ"}));
  ds.Last();
  EXPECT_EQ(grid.rows, (std::vector<std::string>{"ПЕТРОВ", "СИДОРОВ", "*Abbot"}));
  ds.MoveBy(-2);
  EXPECT_EQ(grid.rows, (std::vector<std::string>{"*ПЕТРОВ", "СИДОРОВ", "Abbot"}));
  ds.Prior();
  EXPECT_EQ(grid.calls.back(), "scrolled(-1)");
  EXPECT_EQ(grid.rows, (std::vector<std::string>{"*Иванова", "ПЕТРОВ", "СИДОРОВ"}));
  // Reading rows through the link leaves the current record where it was.
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "Иванова");
  EXPECT_EQ(ds.RecNo(), 2);
}

TEST(DataSetNavigation, GrowingAndShrinkingTheWindowKeepsTheCurrentRecord) {
  TMemoryDataSet ds;
  FillRegister(ds);
  TDataSource source(&ds);
  testing::RecordingLink grid;
  grid.SetDataSource(&source);
  ds.MoveBy(3);
  grid.SetBufferCount(4);
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "СИДОРОВ");
  EXPECT_EQ(grid.RecordCount(), 4);
  grid.SetBufferCount(2);
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "СИДОРОВ");
  EXPECT_EQ(grid.RecordCount(), 2);
  ds.Next();
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "Abbot");
  ds.Prior();
  ds.Prior();
  EXPECT_EQ(ds.FieldByName("FAMIL").AsString(), "ПЕТРОВ");
}

}  // namespace
}  // namespace lgoty::data
