// The table dataset between other objects: a master dataset, a missing production index, a
// tag that refuses a key.
#include <gtest/gtest.h>

#include "data/database_error.h"
#include "dbf/dbf_header.h"
#include "dbf/index_errors.h"
#include "platform/file.h"
#include "tests/dbf/table_dataset_support.h"

namespace lgoty::dbf {
namespace {

using testing::CreateRegister;
using testing::Famil;
using testing::FillRegister;
using testing::OpenTable;
using testing::ScratchFolder;
using testing::Walk;
using Names = std::vector<std::string>;

TEST(MasterDetail, DetailFollowsTheMasterRecordThroughItsIndexRange) {
  ScratchFolder folder;
  // Masters and details are both registers: a detail row belongs to the master of its IMJA.
  const std::string masters = folder.File("masters.dbf");
  const std::string details = folder.File("details.dbf");
  CreateRegister(masters);
  CreateRegister(details);
  auto master = OpenTable(masters);
  master->AppendRecord({"Петр"});
  master->AppendRecord({"Анна"});
  master->AppendRecord({"Никто"});
  auto detail = OpenTable(details);
  FillRegister(*detail);
  detail->BuildIndex("IMJA", "IMJA", TIndexOptionSet{TIndexOption::ixExpression});
  detail->SetIndexName("IMJA");

  data::TDataSource master_source(master.get());
  detail->SetMasterFields("FAMIL");
  detail->SetMasterSource(&master_source);
  master->First();
  EXPECT_EQ(Walk(*detail), (Names{"ИВАНОВ", "СИДОРОВ"}));
  master->Next();
  EXPECT_EQ(Walk(*detail), (Names{"ИВАНОВА"}));
  master->Next();
  EXPECT_TRUE(detail->IsEmpty());
  detail->SetMasterSource(nullptr);
  detail->First();
  EXPECT_EQ(Walk(*detail).size(), 6u);
}

TEST(MasterDetail, ALinkBackToItselfIsRefused) {
  ScratchFolder folder;
  CreateRegister(folder.File("a.dbf"));
  CreateRegister(folder.File("b.dbf"));
  auto a = OpenTable(folder.File("a.dbf"));
  auto b = OpenTable(folder.File("b.dbf"));
  data::TDataSource a_source(a.get());
  data::TDataSource b_source(b.get());
  try {
    a->SetMasterSource(&a_source);
    FAIL() << "no error";
  } catch (const data::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Circular datalinks are not allowed");
  }
  b->SetMasterSource(&a_source);
  EXPECT_THROW(a->SetMasterSource(&b_source), data::EDatabaseError);
  b->SetMasterSource(nullptr);
}

TEST(TableDataset, MissingProductionIndexAsksWhetherToDropTheLink) {
  ScratchFolder folder;
  const std::string path = folder.File("reg.dbf");
  CreateRegister(path);
  {
    auto table = OpenTable(path);
    FillRegister(*table);
    table->BuildIndex("FAMIL", "FAMIL", TIndexOptionSet{16});
  }
  ASSERT_TRUE(platform::DeleteFile(folder.File("reg.mdx")));
  TDbf table;
  table.SetTableName(path);
  table.SetExclusive(true);
  int asked = 0;
  table.OnIndexMissing = [&](TDbf&, bool& delete_link) {
    ++asked;
    delete_link = false;
  };
  int after_open = 0;
  table.AfterOpen = [&](data::TDataSet&) { ++after_open; };
  // Keeping the link gives the open up quietly.
  EXPECT_NO_THROW(table.Open());
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(after_open, 0);
  EXPECT_EQ(table.DbfFile(), nullptr);
  table.OnIndexMissing = [&](TDbf&, bool&) { ++asked; };
  table.Open();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(after_open, 1);
  EXPECT_EQ(table.Indexes().Count(), 0);
  EXPECT_EQ(Walk(table).size(), 6u);
  table.Close();
  EXPECT_EQ(testing::At(testing::Bytes(path), dbf_layout::kProductionIndexOffset), 0);
}

TEST(TableDataset, KeyViolationOnPostKeepsTheRecordInEditState) {
  ScratchFolder folder;
  const std::string path = folder.File("reg.dbf");
  CreateRegister(path);
  auto table = OpenTable(path);
  FillRegister(*table);
  table->BuildIndex("FAMIL", "FAMIL", TIndexOptionSet{TIndexOption::ixPrimary});
  table->SetIndexName("FAMIL");
  table->First();
  table->Edit();
  table->FieldByName("FAMIL").SetAsString("ПЕТРОВ");
  EXPECT_THROW(table->Post(), EDbfKeyViolation);
  EXPECT_EQ(table->State(), data::TDataSetState::dsEdit);
  table->Cancel();
  EXPECT_EQ(Famil(*table), "АБРАМОВ");
  table->Append();
  table->FieldByName("FAMIL").SetAsString("СИДОРОВ");
  EXPECT_THROW(table->Post(), EDbfKeyViolation);
  EXPECT_EQ(table->State(), data::TDataSetState::dsInsert);
  table->Cancel();
  EXPECT_EQ(table->RecordCount() > 0, true);
  EXPECT_EQ(table->DbfFile()->RecordCount(), 6u);
}

TEST(TableDataset, ReadOnlyTableRefusesEditsAndTagRemoval) {
  ScratchFolder folder;
  const std::string path = folder.File("reg.dbf");
  CreateRegister(path);
  {
    auto table = OpenTable(path);
    FillRegister(*table);
    table->BuildIndex("FAMIL", "FAMIL", TIndexOptionSet{16});
  }
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.SetExclusive(true);
  table.Open();
  EXPECT_FALSE(table.CanModifyTable());
  EXPECT_THROW(table.Edit(), data::EDatabaseError);
  EXPECT_THROW(table.RemoveIndex("FAMIL"), EDbfError);
}

}  // namespace
}  // namespace lgoty::dbf

namespace lgoty::dbf {
namespace {

TEST(TableDataset, TagBuiltOnASharedTableIsOpenToTheOtherUsers) {
  testing::ScratchFolder folder;
  const std::string path = folder.File("reg.dbf");
  testing::CreateRegister(path);
  auto first = testing::OpenTable(path, false);
  testing::FillRegister(*first);
  first->BuildIndex("FAMIL", "FAMIL", TIndexOptionSet{16});
  auto second = testing::OpenTable(path, false);
  second->SetIndexName("FAMIL");
  EXPECT_EQ(testing::Walk(*second).front(), "АБРАМОВ");
  // Both keep the tag current.
  second->AppendRecord({"ААРОН"});
  first->SetIndexName("FAMIL");
  EXPECT_EQ(testing::Walk(*first).front(), "ААРОН");
}

TEST(TableDataset, MemoryStorageCreatesAndKeepsItsTable) {
  TDbf table;
  table.SetStorage(TDbfStorage::stoMemory);
  table.SetTableName("memory.dbf");
  table.FieldDefs().Add("NAME", data::TFieldType::ftString, 10);
  table.FieldDefs().Add("NOTE", data::TFieldType::ftMemo);
  int created = 0;
  table.BeforeAutoCreate = [&](TDbf&, bool&) { ++created; };
  table.Open();
  table.AppendRecord({"один", "заметка"});
  table.AppendRecord({"два"});
  table.Close();
  table.Open();
  EXPECT_EQ(created, 1);
  EXPECT_EQ(table.RecordCount(), 2);
  EXPECT_EQ(table.FieldByName("NOTE").AsString(), "заметка");
}

}  // namespace
}  // namespace lgoty::dbf
