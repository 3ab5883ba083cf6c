// The table dataset as its users drive it: the register program's open-and-close sequence,
// what a grid hears, and two programs sharing one table.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "core/code_page.h"
#include "core/byte_codec.h"
#include "dbf/dbf_header.h"
#include "dbf/index_check.h"
#include "dbf/index_file.h"
#include "platform/file.h"
#include "tests/data/data_test_support.h"
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
using Calls = std::vector<std::string>;

void StampLanguageDriver(const std::string& path, uint8_t ldid) {
  auto file = platform::DiskFile::Open(path, platform::FileAccess::ReadWrite,
                                       platform::FileShare::DenyNone,
                                       platform::FileCreate::OpenExisting);
  const std::byte byte{ldid};
  ASSERT_EQ(file->WriteAt(dbf_layout::kLanguageDriverOffset, std::span<const std::byte>(&byte, 1)),
            1u);
}

TEST(RegisterSession, OpenBuildSelectBrowseEditAppendDeleteCloseReopen) {
  ScratchFolder folder;
  const std::string path = folder.File("lgot.dbf");
  CreateRegister(path, 0x26);  // written by a program that stamped another language
  {
    auto seed = OpenTable(path);
    FillRegister(*seed);
  }
  for (int session = 0; session < 2; ++session) {
    StampLanguageDriver(path, 0x65);
    ASSERT_EQ(testing::At(testing::Bytes(path), dbf_layout::kLanguageDriverOffset), 0x65);
    TDbf table;
    table.SetTableName(path);
    table.SetExclusive(true);
    table.Open();
    table.BuildIndex("FAMIL", "FAMIL", TIndexOptionSet{16});
    table.SetIndexName("FAMIL");
    EXPECT_EQ(table.DbfFile()->EffectiveCodePage(), 866);
    // Code page 866 is the OEM code page of a Russian (or language-less) locale.
    if (core::OemCodePage() == 866) {
      EXPECT_EQ(table.TranslationMode(), TDbfTranslationMode::tmOem);
    }
    const Names order = Walk(table);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), [](const auto& a, const auto& b) {
      return core::FromUtf8(866, a) < core::FromUtf8(866, b);
    }));

    ASSERT_TRUE(table.Locate("FAMIL", core::Variant("ИВ"), data::TLocateOptions{false, true}));
    table.Edit();
    table.FieldByName("FAMIL").SetAsString(session == 0 ? "ЯКОВЛЕВ" : "БОРИСОВ");
    table.Post();
    EXPECT_EQ(Famil(table), session == 0 ? "ЯКОВЛЕВ" : "БОРИСОВ");
    table.Append();
    table.FieldByName("FAMIL").SetAsString("ГРИГОРЬЕВ");
    table.FieldByName("SUMPAY").SetAsFloat(12.5);
    table.Post();
    EXPECT_EQ(Famil(table), "ГРИГОРЬЕВ");
    ASSERT_TRUE(table.Locate("FAMIL", core::Variant(session == 0 ? "СИДОРОВ" : "ПЕТРОВ"), {}));
    table.Delete();
    // The program's close: post what is pending, close, remove what Indexes still lists.
    if (table.Modified()) table.Post();
    table.Close();
    for (int i = table.Indexes().Count() - 1; i >= 0; --i) {
      table.RemoveIndex(table.Indexes()[i].IndexFile());
    }
    EXPECT_TRUE(platform::FileExists(folder.File("lgot.mdx")));
  }

  // Reopened: the tag holds every record with its present key.
  auto table = OpenTable(path, false);
  TIndexFile* mdx = ProductionIndexOf(*table->DbfFile(), false);
  ASSERT_NE(mdx, nullptr);
  ASSERT_NE(mdx->FindTag("FAMIL"), nullptr);
  EXPECT_EQ(CheckIndexFile(*mdx), std::vector<std::string>{});
  EXPECT_EQ(table->RecordCount(), 8);
  table->SetIndexName("FAMIL");
  EXPECT_EQ(Walk(*table),
            (Names{"АБРАМОВ", "БОРИСОВ", "ГРИГОРЬЕВ", "ГРИГОРЬЕВ", "ИВАНОВСКИЙ", "ЯКОВЛЕВ"}));
}

// ---- notifications --------------------------------------------------------------------------

struct GridOnTable : ::testing::Test {
  ScratchFolder folder;
  std::unique_ptr<TDbf> table;
  data::TDataSource source;
  data::testing::RecordingLink grid;
  void SetUp() override {
    const std::string path = folder.File("grid.dbf");
    CreateRegister(path);
    table = OpenTable(path);
    FillRegister(*table);
    table->BuildIndex("FAMIL", "FAMIL", TIndexOptionSet{16});
    table->SetIndexName("FAMIL");
    table->First();
    source.SetDataSet(table.get());
    grid.SetBufferCount(3);
    grid.SetDataSource(&source);
    grid.Take();
  }
  void TearDown() override {
    grid.SetDataSource(nullptr);
    source.SetDataSet(nullptr);
  }
};

TEST_F(GridOnTable, ScrollEditPostCancelDeleteRefreshNotifyAsAGridNeeds) {
  EXPECT_EQ(grid.rows, Calls{});
  table->Next();
  EXPECT_EQ(grid.Take(), (Calls{"check", "scrolled(0)"}));
  table->MoveBy(2);
  EXPECT_EQ(grid.Take(), (Calls{"check", "scrolled(1)"}));
  EXPECT_EQ(grid.rows, (Calls{"ИВАНОВ", "ИВАНОВА", "*ИВАНОВСКИЙ"}));

  table->Edit();
  EXPECT_EQ(grid.Take(), (Calls{"check", "editing", "record"}));
  table->FieldByName("IMJA").SetAsString("Ян");
  EXPECT_EQ(grid.Take(), (Calls{"field(IMJA)"}));
  table->Post();
  EXPECT_EQ(grid.Take(), (Calls{"update", "browsing", "changed"}));

  table->Edit();
  table->FieldByName("FAMIL").SetAsString("ЩУКИН");
  grid.Take();
  table->Cancel();
  EXPECT_EQ(grid.Take(), (Calls{"check", "browsing", "changed"}));
  EXPECT_EQ(grid.rows, (Calls{"ИВАНОВ", "ИВАНОВА", "*ИВАНОВСКИЙ"}));

  table->Delete();
  EXPECT_EQ(grid.Take(), (Calls{"check", "changed"}));
  EXPECT_EQ(grid.rows, (Calls{"ИВАНОВ", "ИВАНОВА", "*ПЕТРОВ"}));

  table->Refresh();
  EXPECT_EQ(grid.Take(), (Calls{"check", "changed"}));
}

TEST_F(GridOnTable, DisabledControlsHearNothingThenOneDataSetChange) {
  table->DisableControls();
  for (table->First(); !table->Eof(); table->Next()) {
  }
  table->Locate("FAMIL", core::Variant("П"), data::TLocateOptions{false, true});
  table->Edit();
  table->FieldByName("SUMPAY").SetAsFloat(1);
  table->Post();
  table->SetIndexName("");
  table->First();
  EXPECT_EQ(grid.Take(), Calls{});
  table->EnableControls();
  EXPECT_EQ(grid.Take(), (Calls{"changed"}));
  EXPECT_EQ(grid.rows, (Calls{"*ПЕТРОВ", "АБРАМОВ", "ИВАНОВА"}));
}

// ---- two programs ---------------------------------------------------------------------------

// Runs body in a child process; its exit status is the result (0: passed).
int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SharedTable, TwoProcessesEditDifferentRecordsAndCollideOnTheSameOne) {
  ScratchFolder folder;
  const std::string path = folder.File("shared.dbf");
  CreateRegister(path);
  {
    auto seed = OpenTable(path);
    FillRegister(*seed);
  }
  auto table = OpenTable(path, false);
  table->First();  // record 1, ПЕТРОВ
  table->Edit();   // holds the lock of record 1
  table->FieldByName("IMJA").SetAsString("Первый");

  const int child = InChild([&] {
    auto other = OpenTable(path, false);
    other->SetRecNo(2);
    other->Edit();
    other->FieldByName("IMJA").SetAsString("Второй");
    other->Post();
    other->First();
    try {
      other->Edit();
      return 1;  // the lock was not noticed
    } catch (const EDbfError& e) {
      return std::strcmp(e.what(), kRecordLocked) == 0 ? 0 : 2;
    }
  });
  EXPECT_EQ(child, 0);
  table->Post();
  table->Close();

  table->Open();
  table->First();
  EXPECT_EQ(table->FieldByName("IMJA").AsString(), "Первый");
  table->Next();
  EXPECT_EQ(table->FieldByName("IMJA").AsString(), "Второй");
  table->Close();

  // An exclusive open keeps the other writer out.
  table->SetExclusive(true);
  table->Open();
  const int refused = InChild([&] {
    try {
      auto other = OpenTable(path, false);
      return 1;
    } catch (const std::exception&) {
      return 0;
    }
  });
  EXPECT_EQ(refused, 0);
}

}  // namespace
}  // namespace lgoty::dbf
