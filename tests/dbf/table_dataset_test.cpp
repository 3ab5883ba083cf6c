#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "core/code_page.h"
#include "data/database_error.h"
#include "core/byte_codec.h"
#include "dbf/dbf_parser.h"
#include "dbf/dbf_header.h"
#include "dbf/index_check.h"
#include "dbf/index_file.h"
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

constexpr TIndexOptionSet kExpressionOnly{16};

struct Register : ::testing::Test {
  ScratchFolder folder;
  std::string path = folder.File("reg.dbf");
  std::unique_ptr<TDbf> table;
  void SetUp() override {
    CreateRegister(path);
    table = OpenTable(path);
    FillRegister(*table);
  }
  void BuildSurnameIndex() {
    table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
    table->SetIndexName("FAMIL");
  }
  bool LocateSurname(const std::string& key, bool partial) {
    return table->Locate("FAMIL", core::Variant(key), data::TLocateOptions{false, partial});
  }
};

TEST_F(Register, ExpressionOptionAloneIsTheValueSixteen) {
  EXPECT_EQ(kExpressionOnly, (TIndexOptionSet{TIndexOption::ixExpression}));
}

TEST_F(Register, PartialLocateOnTheSurnameIndexLandsOnTheNextSurname) {
  BuildSurnameIndex();
  EXPECT_EQ(Walk(*table),
            (Names{"АБРАМОВ", "ИВАНОВ", "ИВАНОВА", "ИВАНОВСКИЙ", "ПЕТРОВ", "СИДОРОВ"}));
  ASSERT_TRUE(LocateSurname("ИВ", true));
  EXPECT_EQ(Famil(*table), "ИВАНОВ");
  // No surname starts with ИВБ: the next one in index order.
  ASSERT_TRUE(LocateSurname("ИВБ", true));
  EXPECT_EQ(Famil(*table), "ПЕТРОВ");
  // Past the last key the search fails and the record stays.
  EXPECT_FALSE(LocateSurname("ЯЯ", true));
  EXPECT_EQ(Famil(*table), "ПЕТРОВ");
  // Without the partial option only an equal key is found.
  EXPECT_FALSE(LocateSurname("ИВАНОВС", false));
  ASSERT_TRUE(LocateSurname("ИВАНОВА", false));
  EXPECT_EQ(table->FieldByName("IMJA").AsString(), "Анна");
}

TEST_F(Register, LocateSkipsDeletedRecordsAndComparesTheKeyAgain) {
  BuildSurnameIndex();
  ASSERT_TRUE(LocateSurname("ИВАНОВ", false));
  table->Delete();
  // The exact search lands on the deleted ИВАНОВ, skips it and finds ИВАНОВА: not equal.
  EXPECT_FALSE(LocateSurname("ИВАНОВ", false));
  ASSERT_TRUE(LocateSurname("ИВАНОВ", true));
  EXPECT_EQ(Famil(*table), "ИВАНОВА");
}

TEST_F(Register, LocateWithoutAUsableIndexScansAndHonoursCaseInsensitivity) {
  BuildSurnameIndex();
  // IMJA has no index: the records are scanned in the current (surname) order.
  EXPECT_FALSE(table->Locate("IMJA", core::Variant("петр"), {}));
  ASSERT_TRUE(table->Locate("IMJA", core::Variant("петр"), data::TLocateOptions{true, false}));
  EXPECT_EQ(Famil(*table), "ИВАНОВ");
  ASSERT_TRUE(table->Locate("IMJA", core::Variant("Юр"), data::TLocateOptions{false, true}));
  EXPECT_EQ(Famil(*table), "ИВАНОВСКИЙ");
  // A key list that is no index expression scans too.
  ASSERT_TRUE(table->Locate("FAMIL;IMJA",
                            core::Variant::Array({core::Variant("сидоров"), core::Variant("петр")}),
                            data::TLocateOptions{true, false}));
  EXPECT_EQ(table->FieldByName("SUMPAY").AsFloat(), 50.0);
}

TEST_F(Register, LocateUsesAnIndexOfTheSameKeyWhileInPhysicalOrder) {
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  ASSERT_EQ(table->IndexName(), "");
  ASSERT_TRUE(LocateSurname("ИВБ", true));
  EXPECT_EQ(Famil(*table), "ПЕТРОВ");
  // The dataset stays in physical order, positioned on that record.
  EXPECT_EQ(table->RecNo(), 1);
  table->Next();
  EXPECT_EQ(Famil(*table), "АБРАМОВ");
  const core::Variant name = table->Lookup("FAMIL", core::Variant("СИДОРОВ"), "IMJA");
  EXPECT_EQ(name.AsString(), "Петр");
  EXPECT_EQ(Famil(*table), "АБРАМОВ");
}

TEST_F(Register, LocateOnANumericTagSearchesTheEncodedNumber) {
  table->BuildIndex("SUMPAY", "SUMPAY", {});
  table->SetIndexName("SUMPAY");
  ASSERT_TRUE(table->Locate("SUMPAY", core::Variant(30.0), {}));
  EXPECT_EQ(Famil(*table), "ИВАНОВА");
  EXPECT_FALSE(table->Locate("SUMPAY", core::Variant(35.0), {}));
  ASSERT_TRUE(table->Locate("SUMPAY", core::Variant(35.0), data::TLocateOptions{false, true}));
  EXPECT_EQ(Famil(*table), "ИВАНОВ");
  EXPECT_FALSE(table->Locate("SUMPAY", core::Variant("abc"), {}));
  EXPECT_EQ(Famil(*table), "ИВАНОВ");
}

TEST_F(Register, EmptyIndexNameKeepsTheRecordInPhysicalOrder) {
  BuildSurnameIndex();
  ASSERT_TRUE(LocateSurname("ИВАНОВА", false));
  table->SetIndexName("");
  EXPECT_EQ(Famil(*table), "ИВАНОВА");
  EXPECT_EQ(table->RecNo(), 3);
  table->Next();
  EXPECT_EQ(Famil(*table), "ИВАНОВ");
}

TEST_F(Register, UnknownIndexNameFallsBackToPhysicalOrderThenRaises) {
  BuildSurnameIndex();
  table->Last();
  try {
    table->SetIndexName("NOSUCH");
    FAIL() << "no error";
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), "Index \"NOSUCH\" does not exist.");
  }
  EXPECT_EQ(table->IndexName(), "");
  EXPECT_EQ(Famil(*table), "СИДОРОВ");
  EXPECT_EQ(Walk(*table).front(), "ПЕТРОВ");
}

TEST_F(Register, RecordCountInPhysicalOrderCountsDeletedRecords) {
  table->First();
  table->Delete();
  EXPECT_EQ(Famil(*table), "АБРАМОВ");
  EXPECT_EQ(table->RecordCount(), 6);
  EXPECT_EQ(Walk(*table).size(), 5u);
  table->SetShowDeleted(true);
  EXPECT_EQ(Walk(*table).size(), 6u);
  table->First();
  EXPECT_EQ(table->RecNo(), 1);
  table->SetRecNo(4);
  EXPECT_EQ(Famil(*table), "ИВАНОВ");
}

TEST_F(Register, BookmarksAreRecordNumbers) {
  BuildSurnameIndex();
  ASSERT_TRUE(LocateSurname("ПЕТРОВ", false));
  const data::TBookmark mark = table->GetBookmark();
  EXPECT_EQ(mark.Bytes(), std::string("\x01\x00\x00\x00", 4));
  table->First();
  table->GotoBookmark(mark);
  EXPECT_EQ(Famil(*table), "ПЕТРОВ");
  table->GotoBookmark(data::TBookmark(std::string("\xFF\xFF\xFF\xFF", 4)));
  EXPECT_EQ(Famil(*table), "СИДОРОВ");
  table->GotoBookmark(data::TBookmark(std::string(4, '\0')));
  EXPECT_EQ(Famil(*table), "АБРАМОВ");
  EXPECT_EQ(table->CompareBookmarks(mark, data::TBookmark(std::string("\x02\x00\x00\x00", 4))), -1);
}

TEST_F(Register, RemovingTheLastTagDeletesTheProductionIndexAndClearsTheFlag) {
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  table->BuildIndex("IMJA", "IMJA", kExpressionOnly);
  const std::string mdx = folder.File("reg.mdx");
  ASSERT_TRUE(platform::FileExists(mdx));
  table->RemoveIndex("imja");
  EXPECT_TRUE(platform::FileExists(mdx));
  table->RemoveIndex("NOSUCH");  // unknown: nothing happens
  table->RemoveIndex("FAMIL");
  EXPECT_FALSE(platform::FileExists(mdx));
  EXPECT_EQ(table->Indexes().Count(), 0);
  table->Close();
  EXPECT_EQ(testing::At(testing::Bytes(path), dbf_layout::kProductionIndexOffset), 0);
}

TEST_F(Register, RemovingATagNeedsAnExclusiveTable) {
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  table->Close();
  table->SetExclusive(false);
  table->Open();
  try {
    table->RemoveIndex("FAMIL");
    FAIL() << "no error";
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), kNeedExclusiveAccess);
  }
  // Rebuilding an existing tag deletes it first, which a shared table refuses as well.
  try {
    table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
    FAIL() << "no error";
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), kNeedExclusiveAccess);
  }
}

TEST_F(Register, BuildingAnExistingTagBuildsItAnewFromEveryRecord) {
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  table->Close();
  // Records the tag never heard of: written by a program that did not open the index.
  {
    TDbfFile file;
    file.SetFileName(path);
    file.SetMode(TFileAccessMode::amExclusiveExisting);
    file.SetProductionIndexOpener(
        [](const std::string&, TFileAccessMode, int) { return std::unique_ptr<TRecordIndex>(); });
    file.Open();
    std::vector<std::byte> record(file.RecordSize());
    file.InitRecord(record);
    const std::string name = core::FromUtf8(866, "ААА");
    std::copy(name.begin(), name.end(), reinterpret_cast<char*>(record.data()) + 1);
    file.Insert(record);
  }
  table->Open();
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  table->SetIndexName("FAMIL");
  EXPECT_EQ(Walk(*table).front(), "ААА");
  EXPECT_EQ(table->Indexes().Count(), 1);
  TIndexFile* mdx = ProductionIndexOf(*table->DbfFile(), false);
  ASSERT_NE(mdx, nullptr);
  EXPECT_EQ(mdx->TagCount(), 1u);
  EXPECT_EQ(CheckIndexFile(*mdx), std::vector<std::string>{});
}

TEST_F(Register, ProductionTagsLeaveIndexesOnClose) {
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  ASSERT_EQ(table->Indexes().Count(), 1);
  EXPECT_EQ(table->Indexes()[0].IndexFile(), "FAMIL");
  EXPECT_EQ(table->Indexes()[0].SortField(), "FAMIL");
  table->Close();
  EXPECT_EQ(table->Indexes().Count(), 0);
  table->Open();
  ASSERT_EQ(table->Indexes().Count(), 1);
  EXPECT_TRUE(table->Indexes()[0].FromProduction());
  EXPECT_TRUE(table->Indexes()[0].Options().Has(TIndexOption::ixExpression));
}

TEST_F(Register, NdxIndexLivesNextToTheTableAndIsReopenedFromIndexes) {
  table->BuildIndex("names.ndx", "IMJA", {});
  const std::string ndx = folder.File("names.ndx");
  ASSERT_TRUE(platform::FileExists(ndx));
  table->SetIndexName("names.ndx");
  EXPECT_EQ(Walk(*table).front(), "ИВАНОВА");  // Анна
  EXPECT_EQ(table->IndexFieldNames(), "IMJA");
  table->Close();
  ASSERT_EQ(table->Indexes().Count(), 1);
  table->Open();
  table->SetIndexName("names.ndx");
  EXPECT_EQ(Walk(*table).front(), "ИВАНОВА");
  table->RemoveIndex("names.ndx");
  EXPECT_FALSE(platform::FileExists(ndx));
  EXPECT_EQ(table->IndexName(), "");
}

TEST_F(Register, FilterTextWithOptionsAndShowDeleted) {
  table->SetFilter("IMJA = 'петр'");
  table->SetFiltered(true);
  EXPECT_EQ(Walk(*table), Names{});
  table->SetFilterOptions(data::TFilterOptions{true, false});
  EXPECT_EQ(Walk(*table), (Names{"ИВАНОВ", "СИДОРОВ"}));
  table->First();
  table->Delete();
  EXPECT_EQ(Walk(*table), (Names{"СИДОРОВ"}));
  table->SetShowDeleted(true);
  EXPECT_EQ(Walk(*table), (Names{"ИВАНОВ", "СИДОРОВ"}));
  // A text that does not compile is refused and the old one stays.
  EXPECT_ANY_THROW(table->SetFilter("IMJA = "));
  EXPECT_EQ(table->Filter(), "IMJA = 'петр'");
}

TEST_F(Register, FilterThatDoesNotCompileIsDroppedOnOpen) {
  table->Close();
  table->SetFilter("NOSUCH > 1");
  table->SetFiltered(true);
  table->Open();
  EXPECT_EQ(table->Filter(), "");
  EXPECT_EQ(Walk(*table).size(), 6u);
}

TEST(TableDataset, DuplicateFieldNamesGetNumberSuffixes) {
  ScratchFolder folder;
  const std::string path = folder.File("dup.dbf");
  TDbfFieldDefs defs(kTableLevel4);
  for (const char* name : {"A", "B", "A", "A"}) {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(name);
    def.SetNative('C', 5, 0);
  }
  TDbfFile file;
  file.SetFileName(path);
  file.SetMode(TFileAccessMode::amExclusiveNew);
  file.Create(defs, 0x65, 512);
  file.Close();
  TDbf table;
  table.SetTableName(path);
  EXPECT_EQ(table.FieldDefs().Count(), 4);
  table.Open();
  EXPECT_EQ(table.GetFieldNames(), (Names{"A", "B", "A2", "A3"}));
  EXPECT_EQ(table.DbfFile()->FieldDefs()[2].FieldName(), "A2");
}

TEST(TableDataset, DefaultsOfThePublishedProperties) {
  TDbf table;
  EXPECT_EQ(table.TableLevel(), 4);
  EXPECT_FALSE(table.Exclusive());
  EXPECT_FALSE(table.ReadOnly());
  EXPECT_FALSE(table.ShowDeleted());
  EXPECT_EQ(table.IndexName(), "");
  EXPECT_EQ(table.OpenMode(), TDbfOpenMode::omNormal);
  EXPECT_EQ(table.Storage(), TDbfStorage::stoFile);
  EXPECT_EQ(table.DateTimeHandling(), TDateTimeHandling::dtBDETimeStamp);
  EXPECT_EQ(table.Version(), "1.00");
  table.SetTableName("/data/regs\\\\reg.dbf");
  EXPECT_EQ(table.FilePath(), "/data/regs/");
  EXPECT_EQ(table.TableName(), "reg.dbf");
  EXPECT_EQ(table.FilePathFull(), "/data/regs/");
  table.SetFilePath("sub");
  EXPECT_EQ(table.FilePathFull().back(), '/');
  EXPECT_NE(table.FilePathFull().find("/sub/"), std::string::npos);
}

TEST(TableDataset, AutoCreateMakesTheTableFromFieldDefinitions) {
  ScratchFolder folder;
  TDbf table;
  table.SetTableName(folder.File("new.dbf"));
  table.SetOpenMode(TDbfOpenMode::omAutoCreate);
  table.SetLanguageID(0x65);
  table.FieldDefs().Add("NAME", data::TFieldType::ftString, 12);
  table.FieldDefs().Add("AMOUNT", data::TFieldType::ftFloat);
  table.FieldDefs().Add("NOTE", data::TFieldType::ftMemo);
  bool asked = false;
  table.BeforeAutoCreate = [&](TDbf&, bool&) { asked = true; };
  table.Open();
  EXPECT_TRUE(asked);
  table.AppendRecord({"Иванов", 1.5, "длинная заметка"});
  table.Close();
  table.Open();
  EXPECT_EQ(table.FieldByName("NAME").AsString(), "Иванов");
  EXPECT_EQ(table.FieldByName("NOTE").AsString(), "длинная заметка");
  EXPECT_EQ(table.DbfFile()->LanguageId(), 0x65);

  TDbf declined;
  declined.SetTableName(folder.File("never.dbf"));
  declined.SetOpenMode(TDbfOpenMode::omAutoCreate);
  declined.FieldDefs().Add("NAME", data::TFieldType::ftString, 8);
  declined.BeforeAutoCreate = [](TDbf&, bool& do_create) { do_create = false; };
  std::vector<std::string> events;
  declined.BeforeOpen = [&](data::TDataSet&) { events.push_back("before"); };
  declined.AfterOpen = [&](data::TDataSet&) { events.push_back("after"); };
  EXPECT_NO_THROW(declined.Open());
  EXPECT_FALSE(declined.Active());
  EXPECT_EQ(declined.State(), data::TDataSetState::dsInactive);
  EXPECT_EQ(events, std::vector<std::string>{"before"});
  EXPECT_FALSE(platform::FileExists(folder.File("never.dbf")));
  // Nothing stays half open: allowing the creation now opens the table normally.
  declined.BeforeAutoCreate = nullptr;
  declined.Open();
  EXPECT_TRUE(declined.Active());
  EXPECT_EQ(events, (std::vector<std::string>{"before", "before", "after"}));
}

TEST(TableDataset, MemoValuesGoThroughBlobSlotsAndStreams) {
  ScratchFolder folder;
  TDbf table;
  table.SetTableName(folder.File("memo.dbf"));
  table.SetOpenMode(TDbfOpenMode::omAutoCreate);
  table.SetExclusive(true);
  table.FieldDefs().Add("NAME", data::TFieldType::ftString, 10);
  table.FieldDefs().Add("NOTE", data::TFieldType::ftMemo);
  table.Open();
  table.AppendRecord({"a", "first"});
  data::TField& note = table.FieldByName("NOTE");
  try {
    table.CreateBlobStream(note, data::TBlobStreamMode::bmWrite);
    FAIL() << "no error";
  } catch (const data::EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
  }
  table.Edit();
  {
    auto stream = table.CreateBlobStream(note, data::TBlobStreamMode::bmWrite);
    stream->Write(std::string(1500, 'x'));
  }
  table.Post();
  table.Edit();
  note.SetAsString("");
  table.Cancel();
  EXPECT_EQ(note.AsString(), std::string(1500, 'x'));
  auto reader = table.CreateBlobStream(note, data::TBlobStreamMode::bmRead);
  EXPECT_EQ(reader->Size(), 1500);
}

TEST(TableDataset, UnusableCodePageOpensUnmodifiableUnlessTheWarningSaysOtherwise) {
  ScratchFolder folder;
  const std::string path = folder.File("kam.dbf");
  CreateRegister(path, 0x68);  // code page 895, which this system cannot convert
  TDbf table;
  table.SetTableName(path);
  int warnings = 0;
  table.OnLanguageWarning = [&](TDbf&, TDbfLanguageAction&) { ++warnings; };
  table.Open();
  EXPECT_EQ(warnings, 1);
  EXPECT_FALSE(table.CanModifyTable());
  EXPECT_THROW(table.Append(), data::EDatabaseError);
  table.Close();
  table.OnLanguageWarning = [](TDbf&, TDbfLanguageAction& action) {
    action = TDbfLanguageAction::laForceOEM;
  };
  table.Open();
  EXPECT_TRUE(table.CanModifyTable());
  EXPECT_EQ(table.EffectiveCodePage(), core::OemCodePage());
}

TEST(TableDataset, ForcedCodePageReachesTheFilterAndIndexParsers) {
  ScratchFolder folder;
  const std::string path = folder.File("kam.dbf");
  CreateRegister(path, 0x68);  // code page 895, which this system cannot convert
  TDbf table;
  table.SetTableName(path);
  table.SetExclusive(true);
  table.OnLanguageWarning = [](TDbf&, TDbfLanguageAction& action) {
    action = TDbfLanguageAction::laForceOEM;
  };
  table.Open();
  FillRegister(table);
  table.BuildIndex("UIMJA", "UPPER(IMJA)", TIndexOptionSet{});
  table.Close();

  table.SetFilter("FAMIL = 'СИДОРОВ'");
  table.SetFiltered(true);
  table.Open();
  // The field bytes are OEM text; read as code page 895 they would match nothing.
  EXPECT_EQ(Walk(table), std::vector<std::string>{"СИДОРОВ"});
  // The production index was opened with the table, before the code page was forced.
  TDbfFile* file = table.DbfFile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->EffectiveCodePage(), core::OemCodePage());
  ASSERT_EQ(file->IndexCount(), 1u);
  auto* mdx = dynamic_cast<TIndexFile*>(&file->Index(0));
  ASSERT_NE(mdx, nullptr);
  ASSERT_NE(mdx->FindTag("UIMJA"), nullptr);
  EXPECT_EQ(mdx->FindTag("UIMJA")->Parser()->TableCodePage(), core::OemCodePage());
  table.SetFiltered(false);
  table.SetIndexName("UIMJA");
  EXPECT_EQ(Walk(table), (std::vector<std::string>{"ИВАНОВА", "ПЕТРОВ", "АБРАМОВ", "ИВАНОВ",
                                                   "СИДОРОВ", "ИВАНОВСКИЙ"}));
}

TEST(TableDataset, OnTranslateReplacesTheBuiltInTranslation) {
  ScratchFolder folder;
  const std::string path = folder.File("t.dbf");
  CreateRegister(path);
  TDbf table;
  table.SetTableName(path);
  table.OnTranslate = [](TDbf&, std::string_view src, std::string& dest, bool to_table) {
    dest = to_table ? "<" + std::string(src) : std::string(src) + ">";
    return -1;
  };
  table.Open();
  table.AppendRecord({"x"});
  EXPECT_EQ(testing::Famil(table), "<x>");
}

// Every progress report of one build, as (done, total).
struct ProgressLog {
  std::vector<std::pair<uint64_t, uint64_t>> calls;
  void Attach(TDbf& table) {
    table.OnProgress = [this](TDbf&, uint64_t done, uint64_t total) {
      calls.emplace_back(done, total);
    };
  }
  // done never falls, never passes total, total never changes, and the last report is total.
  void ExpectWellFormed() const {
    ASSERT_FALSE(calls.empty());
    const uint64_t total = calls.front().second;
    uint64_t last = 0;
    for (const auto& [done, t] : calls) {
      EXPECT_EQ(t, total);
      EXPECT_LE(done, total);
      EXPECT_GE(done, last);
      last = done;
    }
    EXPECT_EQ(calls.back().first, total);
  }
};

TEST(BuildProgress, LargeTableReportsWhileReadingAndEndsAtTotal) {
  ScratchFolder folder;
  const std::string path = folder.File("big.dbf");
  CreateRegister(path);
  {
    // Written straight through the data file: tens of thousands of appends through the
    // dataset would only slow the test down.
    TDbfFile file;
    file.SetFileName(path);
    file.SetMode(TFileAccessMode::amExclusiveExisting);
    file.Open();
    std::vector<std::byte> record(file.RecordSize());
    for (uint32_t n = 0; n < 40000; ++n) {
      file.InitRecord(record);
      const std::string famil = "F" + std::to_string((n * 7919u) % 40000u);
      std::memcpy(record.data() + 1, famil.data(), famil.size());
      file.Insert(record);
    }
    file.Close();
  }
  auto table = OpenTable(path);
  ProgressLog log;
  log.Attach(*table);
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  log.ExpectWellFormed();
  // Start, two reports while reading (records 16384 and 32768), after the sort, at the end.
  ASSERT_GE(log.calls.size(), 5u);
  EXPECT_EQ(log.calls.front().first, 0u);
  EXPECT_GE(log.calls.front().second, 40000u);
  EXPECT_GT(log.calls[1].first, 0u);
  EXPECT_LT(log.calls[1].first, log.calls.back().first);

  // The index is whole after a build with reports.
  table->SetIndexName("FAMIL");
  table->First();
  EXPECT_EQ(Famil(*table), "F0");
  table->Last();
  EXPECT_EQ(Famil(*table), "F9999");
}

TEST_F(Register, BuildProgressOfTagsAndNdxFilesAndOfAnEmptyTable) {
  ProgressLog tag_log;
  tag_log.Attach(*table);
  table->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  tag_log.ExpectWellFormed();
  EXPECT_GT(tag_log.calls.back().second, 0u);

  ProgressLog ndx_log;
  ndx_log.Attach(*table);
  table->BuildIndex(folder.File("imja.ndx"), "IMJA", kExpressionOnly);
  ndx_log.ExpectWellFormed();

  // Without a handler a build runs as before, and no index file keeps the old one.
  const size_t reported = ndx_log.calls.size();
  table->OnProgress = nullptr;
  table->BuildIndex("SUMPAY", "SUMPAY", {});
  table->BuildIndex(folder.File("imja.ndx"), "IMJA", kExpressionOnly);
  EXPECT_EQ(ndx_log.calls.size(), reported);

  const std::string empty_path = folder.File("empty.dbf");
  CreateRegister(empty_path);
  auto empty = OpenTable(empty_path);
  ProgressLog empty_log;
  empty_log.Attach(*empty);
  empty->BuildIndex("FAMIL", "FAMIL", kExpressionOnly);
  empty_log.ExpectWellFormed();
  EXPECT_EQ(empty_log.calls.back(), std::make_pair(uint64_t{0}, uint64_t{0}));
}

}  // namespace
}  // namespace lgoty::dbf
