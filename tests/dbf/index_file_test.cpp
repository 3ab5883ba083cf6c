// Index files byte by byte (MDX header, tag table, tag header, pages), key lengths and entry
// sizes, tag kinds and orders, the cursor, tag deletion and re-creation, the locale question,
// the verifier on damaged pages, and inputs the index fuzzer once found.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/date_time.h"
#include "core/byte_codec.h"
#include "dbf/dbf_header.h"
#include "dbf/index_check.h"
#include "dbf/index_keys.h"
#include "dbf/mdx_format.h"
#include "fuzz/index_fuzz_driver.h"
#include "tests/dbf/index_test_support.h"

namespace lgoty::dbf {
namespace {

using testing::At;
using testing::Bytes;
using testing::IndexDefs;
using testing::KeyBytes;
using testing::ScratchFolder;

uint32_t U32(const std::vector<std::byte>& b, size_t at) { return core::GetU32LE(b.data() + at); }
uint16_t U16(const std::vector<std::byte>& b, size_t at) { return core::GetU16LE(b.data() + at); }
std::string Str(const std::vector<std::byte>& b, size_t at) {
  return std::string(reinterpret_cast<const char*>(b.data() + at));
}

// A level-4 table NAMES(NAME C20, AMOUNT N10.2, CODE C6) holding the given names.
class IndexFileTest : public ::testing::Test {
 protected:
  void MakeTable(std::initializer_list<const char*> names, uint8_t ldid = 0x26,
                 int level = kTableLevel4) {
    path_ = folder_.File("names.dbf");
    table_ = testing::CreateIndexTable(
        path_, IndexDefs(level, {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 10, 2}, {"CODE", 'C', 6, 0}}),
        ldid, level);
    double amount = 1;
    for (const char* name : names) Append(name, amount++);
  }
  uint32_t Append(const std::string& name, double amount, const std::string& code = "") {
    std::vector<std::byte> record = testing::NewRecord(*table_);
    testing::PutText(*table_, record, "NAME", name);
    testing::PutNumber(*table_, record, "AMOUNT", amount);
    testing::PutText(*table_, record, "CODE", code);
    return table_->Insert(record);
  }
  void Edit(uint32_t n, const std::string& name) {
    std::vector<std::byte> record(table_->RecordSize());
    table_->LockRecord(n, record);
    testing::PutText(*table_, record, "NAME", name);
    table_->UnlockRecord(n, record);
  }
  TIndexFile& Mdx() { return *ProductionIndexOf(*table_, true); }
  std::string MdxPath() const { return folder_.File("names.mdx"); }

  ScratchFolder folder_;
  std::string path_;
  std::unique_ptr<TDbfFile> table_;
};

// ---- bytes of a new file --------------------------------------------------------------------

TEST_F(IndexFileTest, MdxHeaderTagEntryAndTagHeaderHoldTheirFields) {
  MakeTable({"Bob", "Al"});
  Mdx().CreateTag("NAME", "name", {});
  table_->Close();
  EXPECT_EQ(At(Bytes(path_), dbf_layout::kProductionIndexOffset), 1);
  const std::vector<std::byte> b = Bytes(MdxPath());
  int year = 0, month = 0, day = 0;
  core::DecodeDate(core::Date(), year, month, day);
  EXPECT_EQ(At(b, 0), 2);
  EXPECT_EQ(At(b, 1), year - 1900);
  EXPECT_EQ(At(b, 2), month);
  EXPECT_EQ(At(b, 3), day);
  EXPECT_EQ(Str(b, 4), "names");
  EXPECT_EQ(U16(b, 20), 2);
  EXPECT_EQ(U16(b, 22), 1024);
  EXPECT_EQ(At(b, 24), 1);
  EXPECT_EQ(At(b, 25), 0x30);
  EXPECT_EQ(At(b, 26), 32);
  EXPECT_EQ(U16(b, 28), 1);
  EXPECT_EQ(At(b, 30), 0);
  EXPECT_EQ(At(b, 31), 0x26);
  EXPECT_EQ(At(b, 44), year - 1900);
  EXPECT_EQ(At(b, 529), 1);
  // Tag table entry 0: header block at unit 4 (the first after the 2048-byte header).
  EXPECT_EQ(U32(b, 544), 4u);
  EXPECT_EQ(Str(b, 548), "NAME");
  EXPECT_EQ(At(b, 544 + 15), 0x10);
  EXPECT_EQ(At(b, 544 + 16), 0);
  EXPECT_EQ(At(b, 544 + 17), 0);
  EXPECT_EQ(At(b, 544 + 18), 0);
  EXPECT_EQ(At(b, 544 + 19), 2);
  EXPECT_EQ(At(b, 544 + 20), 'C');
  EXPECT_EQ(At(b, 544 + 32), 0);  // no second entry
  // Tag header block.
  const size_t t = 4 * 512;
  const uint32_t root = U32(b, t + 0);
  EXPECT_EQ(root, 6u);  // the block after the tag header
  EXPECT_EQ(U32(b, t + 4), 0u);
  EXPECT_EQ(At(b, t + 8), 0x10);
  EXPECT_EQ(At(b, t + 9), 'C');
  EXPECT_EQ(U16(b, t + 10), 0);
  EXPECT_EQ(U16(b, t + 12), 20);
  EXPECT_EQ(U16(b, t + 14), 42);  // (1024 - 8) / 24
  EXPECT_EQ(U16(b, t + 16), 0);
  EXPECT_EQ(U16(b, t + 18), 24);  // (20 + 4 + 3) rounded down to 4
  EXPECT_EQ(U16(b, t + 20), 2);
  EXPECT_EQ(At(b, t + 22), 0);
  EXPECT_EQ(At(b, t + 23), 0);
  EXPECT_EQ(Str(b, t + 24), "NAME");
  EXPECT_EQ(U16(b, t + 244), 0);
  EXPECT_EQ(At(b, t + 246), 1);
  for (size_t i = 248; i < 256; ++i) EXPECT_EQ(At(b, t + i), 0) << i;
  // Next free unit after the root leaf; the leaf holds Al (2) then Bob (1).
  EXPECT_EQ(U32(b, 32), 8u);
  EXPECT_EQ(b.size(), 8u * 512);
  const size_t p = root * 512;
  EXPECT_EQ(U32(b, p), 2u);
  EXPECT_EQ(U32(b, p + 8), 2u);
  EXPECT_EQ(Str(b, p + 12).substr(0, 20), "Al                  ");
  EXPECT_EQ(U32(b, p + 8 + 24), 1u);
  EXPECT_EQ(U32(b, p + 8 + 48), 0u);  // a leaf: no pointer after the last key
}

TEST_F(IndexFileTest, KeyFlagsAndKindBytesFollowTheOptions) {
  MakeTable({"A"});
  TIndexFile& mdx = Mdx();
  mdx.CreateTag("NAME", "DESC", {TIndexKind::ikNone, true, false});
  mdx.CreateTag("NAME", "UNIQ", {TIndexKind::ikUnique, false, false});
  mdx.CreateTag("NAME", "DIST", {TIndexKind::ikDistinct, false, false});
  mdx.CreateTag("AMOUNT", "AMT", {});
  mdx.CreateTag("UPPER(NAME)", "EXPR", {TIndexKind::ikNone, false, true});
  table_->Close();
  const std::vector<std::byte> b = Bytes(MdxPath());
  ASSERT_EQ(U16(b, 28), 5);
  auto flags = [&](size_t i) { return At(b, U32(b, 544 + 32 * i) * 512 + 8); };
  auto uniqueness = [&](size_t i) { return At(b, U32(b, 544 + 32 * i) * 512 + 23); };
  EXPECT_EQ(flags(0), 0x18);
  EXPECT_EQ(uniqueness(0), 0);
  EXPECT_EQ(flags(1), 0x50);
  EXPECT_EQ(uniqueness(1), 1);
  EXPECT_EQ(flags(2), 0x70);
  EXPECT_EQ(uniqueness(2), 0x21);
  EXPECT_EQ(flags(3), 0x00);
  EXPECT_EQ(At(b, 544 + 3 * 32 + 20), 'N');
  const size_t amt = U32(b, 544 + 3 * 32) * 512;
  EXPECT_EQ(U16(b, amt + 12), 12);
  EXPECT_EQ(U16(b, amt + 18), 16);
  EXPECT_EQ(U16(b, amt + 14), 63);
  EXPECT_EQ(At(b, 544 + 3 * 32 + 15), 0x10);
  EXPECT_EQ(At(b, 544 + 4 * 32 + 15), 0x00);  // created with the expression option
  // The numeric key of record 1 (AMOUNT 1.00) in the numeric MDX encoding.
  const size_t root = U32(b, amt) * 512;
  EXPECT_EQ(At(b, root + 12), 0x35);
  EXPECT_EQ(At(b, root + 13), 0x09);
  EXPECT_EQ(At(b, root + 14), 0x10);
}

TEST(IndexGeometry, KeyLengthsGiveEntryLengthsAndEntriesPerPage) {
  struct Case {
    TIndexFormat format;
    size_t key, entry, per_page;
  };
  for (const Case& c : {Case{TIndexFormat::ifMdx, 20, 24, 42}, Case{TIndexFormat::ifNdx, 20, 28, 18},
                        Case{TIndexFormat::ifMdx, 12, 16, 63}, Case{TIndexFormat::ifNdx, 8, 16, 31},
                        Case{TIndexFormat::ifMdx, 100, 104, 9}, Case{TIndexFormat::ifNdx, 100, 108, 4},
                        Case{TIndexFormat::ifMdx, 1, 8, 127}, Case{TIndexFormat::ifNdx, 25, 36, 14}}) {
    EXPECT_EQ(EntryLengthFor(c.format, c.key), c.entry) << c.key;
    EXPECT_EQ(MaxEntriesFor(c.format, c.entry), c.per_page) << c.key;
  }
}

TEST_F(IndexFileTest, Level7TablesGetTheLevel7KindWithWideTagNames) {
  MakeTable({"A"}, 0x26, kTableLevel7);
  Mdx().CreateTag("NAME", "a_rather_long_tag_name_of_30", {});
  table_->Close();
  const std::vector<std::byte> b = Bytes(MdxPath());
  EXPECT_EQ(At(b, 0), 3);
  EXPECT_EQ(At(b, 26), 48);
  EXPECT_EQ(U32(b, 544), 6u);  // after the 3072-byte header
  EXPECT_EQ(Str(b, 548), "A_RATHER_LONG_TAG_NAME_OF_30");
  EXPECT_EQ(At(b, 544 + 37), 0x10);
  EXPECT_EQ(At(b, 544 + 41), 2);
  EXPECT_EQ(At(b, 544 + 42), 'C');
  table_ = testing::OpenIndexTable(path_, TFileAccessMode::amExclusiveExisting);
  TIndexFile* mdx = ProductionIndexOf(*table_, false);
  ASSERT_NE(mdx, nullptr);
  EXPECT_EQ(mdx->TagNames(), std::vector<std::string>{"A_RATHER_LONG_TAG_NAME_OF_30"});
  EXPECT_TRUE(mdx->SelectTag("a_rather_long_tag_name_of_30"));
  EXPECT_TRUE(mdx->First());
}

// ---- tags: creation limits, deletion, growth ------------------------------------------------

TEST_F(IndexFileTest, DeletingAndRecreatingATagGrowsTheFileByItsBlocks) {
  MakeTable({"Bob", "Al", "Cy"});
  Mdx().CreateTag("NAME", "NAME", {});
  Mdx().CreateTag("CODE", "CODE", {});
  table_->Close();
  const size_t before = Bytes(MdxPath()).size();
  table_ = testing::OpenIndexTable(path_, TFileAccessMode::amExclusiveExisting);
  Mdx().CreateTag("NAME", "NAME", {});  // replaces the tag of that name
  table_->Close();
  const std::vector<std::byte> b = Bytes(MdxPath());
  EXPECT_EQ(b.size(), before + 2 * 1024);  // a new tag header block and a new root
  EXPECT_EQ(U16(b, 28), 2);
  EXPECT_EQ(Str(b, 548), "CODE");  // later entries moved down
  EXPECT_EQ(Str(b, 548 + 32), "NAME");
  EXPECT_EQ(U32(b, 544 + 32) * 512, before);
  table_ = testing::OpenIndexTable(path_, TFileAccessMode::amExclusiveExisting);
  ASSERT_TRUE(Mdx().SelectTag("NAME"));
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{2, 1, 3}));
  Mdx().DeleteTag("code");
  Mdx().DeleteTag("NAME");
  EXPECT_EQ(Mdx().TagCount(), 0u);
  table_->Close();
  const std::vector<std::byte> after = Bytes(MdxPath());
  EXPECT_EQ(U16(after, 28), 0);
  for (size_t i = 544; i < 544 + 64; ++i) EXPECT_EQ(At(after, i), 0) << i;
}

TEST_F(IndexFileTest, The48thTagIsRefused) {
  MakeTable({"A"});
  for (int i = 0; i < 47; ++i) Mdx().CreateTag("NAME", "T" + std::to_string(i), {});
  try {
    Mdx().CreateTag("NAME", "T47", {});
    FAIL() << "a 48th tag was created";
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), "Can not create index: too many indexes in file.");
  }
  EXPECT_EQ(Mdx().TagCount(), 47u);
}

TEST_F(IndexFileTest, TagsAreNotCreatedOnASharedIndex) {
  MakeTable({"A"});
  Mdx().CreateTag("NAME", "NAME", {});
  table_->Close();
  table_ = testing::OpenIndexTable(path_, TFileAccessMode::amSharedExisting);
  try {
    Mdx().CreateTag("CODE", "CODE", {});
    FAIL();
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), "Exclusive access is required for this operation.");
  }
}

TEST_F(IndexFileTest, ExpressionsThatGiveNoKeyAreRefusedWithTheirMessages) {
  MakeTable({"A"});
  EXPECT_THROW(Mdx().CreateTag("NOSUCH", "X", {}), EDbfError);
  try {
    Mdx().CreateTag("NAME = 'A'", "X", {});
    FAIL();
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), "Invalid index type: can only be string or float.");
  }
  EXPECT_EQ(Mdx().TagCount(), 0u);
}

// ---- kinds and orders -----------------------------------------------------------------------

TEST_F(IndexFileTest, EqualKeysOfAPlainTagStayInRecordOrder) {
  MakeTable({"Same", "Other", "Same"});
  Mdx().CreateTag("NAME", "NAME", {});
  Append("Same", 9);
  Append("Same", 9);
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{2, 1, 3, 4, 5}));
  Edit(1, "Zed");
  Edit(1, "Same");  // back among its equals, in record order
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{2, 1, 3, 4, 5}));
}

TEST_F(IndexFileTest, UniqueTagsKeepTheFirstRecordDistinctTagsRefuseTheSecond) {
  MakeTable({"Ann", "Bob"});
  Mdx().CreateTag("NAME", "UNIQ", {TIndexKind::ikUnique, false, false});
  Mdx().CreateTag("NAME", "DIST", {TIndexKind::ikDistinct, false, false});
  try {
    Append("Bob", 3);
    FAIL() << "a second Bob was accepted";
  } catch (const EDbfKeyViolation& e) {
    EXPECT_STREQ(e.what(),
                 "Key violation. (Key already present in file).\r\nIndex: DIST\r\nRecord=2 Key='Bob'.");
  }
  EXPECT_EQ(table_->RecordCount(), 2u);  // the table and the unique tag are as they were
  ASSERT_TRUE(Mdx().SelectTag("UNIQ"));
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{1, 2}));
  // Without the distinct tag a second Bob is simply left out of the unique one.
  Mdx().DeleteTag("DIST");
  EXPECT_EQ(Append("Bob", 3), 3u);
  ASSERT_TRUE(Mdx().SelectTag("UNIQ"));
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{1, 2}));
  EXPECT_TRUE(CheckIndexFile(Mdx()).empty());
}

TEST_F(IndexFileTest, ARefusedEditPutsTheOldKeysBackInEveryTag) {
  MakeTable({"Ann", "Bob"});
  Mdx().CreateTag("NAME", "NAME", {});
  Mdx().CreateTag("NAME", "DIST", {TIndexKind::ikDistinct, false, false});
  EXPECT_THROW(Edit(1, "Bob"), EDbfKeyViolation);
  table_->CancelRecordLock(1);
  for (const char* tag : {"NAME", "DIST"}) {
    ASSERT_TRUE(Mdx().SelectTag(tag));
    EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{1, 2})) << tag;
  }
  EXPECT_TRUE(CheckIndexFile(Mdx()).empty());
}

TEST_F(IndexFileTest, DistinctTagsDropDeletedRecords) {
  MakeTable({"Ann", "Bob"});
  Mdx().CreateTag("NAME", "DIST", {TIndexKind::ikDistinct, false, false});
  std::vector<std::byte> record(table_->RecordSize());
  table_->LockRecord(1, record);
  table_->RecordDeleted(1, record);
  record[0] = std::byte{'*'};
  table_->UnlockRecord(1, record);
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{2}));
  EXPECT_EQ(Append("Ann", 5), 3u);  // the key is free again
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{3, 2}));
}

TEST_F(IndexFileTest, NumericMdxKeysOrderNegativesZeroThenPositives) {
  MakeTable({});
  for (double v : {0.05, 0.0, -3.0, 12.5, -0.01, 0.5, 0.0, 1e6}) Append("x", v);
  Mdx().CreateTag("AMOUNT", "AMT", {});
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{3, 5, 2, 7, 1, 6, 4, 8}));
  Mdx().CreateTag("AMOUNT", "AMTD", {TIndexKind::ikNone, true, false});
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{8, 4, 6, 1, 2, 7, 5, 3}));
}

TEST_F(IndexFileTest, Ldid65OrdersSurnamesByCodePage866Bytes) {
  // Code page 866: Я = 0x9F, а = 0xA0, я = 0xEF, Ё = 0xF0.
  MakeTable({"\xf0\xab\xaa\xa8\xad", "\x9f\xaa\xae\xa2", "\xa0\xa1\xa0", "\x80\xa1\xa0"}, 0x65);
  Mdx().CreateTag("NAME", "FAMIL", {});
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{4, 2, 3, 1}));
}

// ---- cursor ---------------------------------------------------------------------------------

TEST_F(IndexFileTest, SearchesRangesAndRecordPositions) {
  MakeTable({"Ivanov", "Petrov", "Ivanova", "Sidorov", "Ivanenko", "Abel"});
  Mdx().CreateTag("NAME", "NAME", {});
  TIndexFile& mdx = Mdx();
  std::vector<std::byte> key = KeyBytes("Ivanova");
  key.resize(20, std::byte{' '});
  ASSERT_TRUE(mdx.Search(key, true));
  EXPECT_EQ(mdx.RecNo(), 3u);
  EXPECT_TRUE(mdx.Search(KeyBytes("Ivan"), true));  // a prefix
  EXPECT_EQ(mdx.RecNo(), 5u);
  EXPECT_FALSE(mdx.Search(KeyBytes("Karl"), true));
  EXPECT_EQ(mdx.RecNo(), 5u);  // a failed search leaves the cursor
  EXPECT_TRUE(mdx.Search(KeyBytes("Karl"), false));  // the next key not less
  EXPECT_EQ(mdx.RecNo(), 2u);
  EXPECT_FALSE(mdx.Search(KeyBytes("Zorro"), false));
  EXPECT_TRUE(mdx.GotoRecord(2));
  EXPECT_TRUE(mdx.Next());
  EXPECT_EQ(mdx.RecNo(), 4u);
  EXPECT_FALSE(mdx.Next());
  EXPECT_TRUE(mdx.Eof());
  EXPECT_TRUE(mdx.Prior());
  EXPECT_EQ(mdx.RecNo(), 4u);

  mdx.SetRange(KeyBytes("Ivan"), KeyBytes("Ivanov"));  // bounds compared over their lengths
  EXPECT_EQ(testing::WalkForward(mdx), (std::vector<uint32_t>{5, 1, 3}));
  EXPECT_EQ(testing::WalkBackward(mdx), (std::vector<uint32_t>{3, 1, 5}));
  mdx.CancelRange();
  EXPECT_EQ(testing::WalkForward(mdx), (std::vector<uint32_t>{6, 5, 1, 3, 2, 4}));

  // One leaf: the count estimate is its 6 entries; the position is 1 + the entry index.
  EXPECT_EQ(mdx.EstimatedCount(), 6u);
  ASSERT_TRUE(mdx.GotoRecord(3));
  EXPECT_EQ(mdx.EstimatedPosition(), 4u);
}

TEST_F(IndexFileTest, EstimatesWeighInnerLevelsByEntriesPerPage) {
  MakeTable({});
  for (int i = 0; i < 100; ++i) Append("K" + std::to_string(1000 + i), i);
  Mdx().CreateTag("NAME", "NAME", {});
  // 100 keys: leaves of 42, 42 and 16 under an inner root with two keys; full pages left
  // of the right edge and the edge counted as it is give the exact count.
  EXPECT_EQ(Mdx().EstimatedCount(), 100u);
  ASSERT_TRUE(Mdx().GotoRecord(50));
  EXPECT_EQ(Mdx().EstimatedPosition(), 1u + 1 * 42 + 7);
}

TEST_F(IndexFileTest, EstimatedPlacesSpanTheWholeTagAndSeekingAPlaceInvertsThem) {
  MakeTable({});
  // Keys inserted one by one in scrambled order leave pages part-full, unlike a bulk build.
  Mdx().CreateTag("NAME", "NAME", {});
  constexpr int kKeys = 6000;
  for (int i = 0; i < kKeys; ++i) {
    const int k = (i * 3877) % kKeys;  // 3877 is prime to 6000: every key once
    Append("K" + std::to_string(100000 + k), k);
  }
  const uint64_t count = Mdx().EstimatedCount();
  EXPECT_NEAR(double(count), kKeys, kKeys * 0.35);
  ASSERT_TRUE(Mdx().Last());
  EXPECT_GE(Mdx().EstimatedPosition(), count * 97 / 100);  // the end is at the end
  ASSERT_TRUE(Mdx().First());
  EXPECT_EQ(Mdx().EstimatedPosition(), 1u);
  for (const double fraction : {0.1, 0.5, 0.9}) {
    ASSERT_TRUE(Mdx().SelectedTag()->SeekPosition(uint64_t(fraction * double(count))));
    // The key reached holds its rank: K100000 + rank.
    const std::string key(reinterpret_cast<const char*>(Mdx().SelectedTag()->CurrentKey().data()),
                          7);
    const double rank = std::stod(key.substr(1)) - 100000;
    EXPECT_NEAR(rank / kKeys, fraction, 0.08) << key;
    EXPECT_NEAR(double(Mdx().EstimatedPosition()) / double(count), fraction, 0.08);
  }
}

TEST_F(IndexFileTest, KeyByKeyInsertionsSplitPagesAndStaySound) {
  MakeTable({});
  Mdx().CreateTag("NAME", "NAME", {});
  for (int i = 0; i < 2000; ++i) Append("N" + std::to_string((i * 7919) % 2000), i);
  EXPECT_TRUE(CheckIndexFile(Mdx()).empty());
  const std::vector<uint32_t> order = testing::WalkForward(Mdx());
  EXPECT_EQ(order.size(), 2000u);
  std::vector<uint32_t> back = testing::WalkBackward(Mdx());
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, order);
  // The root became an inner page: the pointer after its last key is set.
  table_->Close();
  const std::vector<std::byte> b = Bytes(MdxPath());
  const size_t root = U32(b, U32(b, 544) * 512) * 512;
  const uint32_t count = U32(b, root);
  EXPECT_NE(U32(b, root + 8 + count * 24), 0u);
}

// ---- locale ---------------------------------------------------------------------------------

TEST_F(IndexFileTest, AnIndexOfAnotherLanguageRaisesTheLocaleQuestion) {
  MakeTable({"b", "a"}, 0x26);
  Mdx().CreateTag("NAME", "NAME", {});
  table_->Close();
  // The index says 0x26; the table now says DB866RU0's neighbour 0x65.
  std::vector<std::byte> dbf = Bytes(path_);
  {
    auto file = platform::DiskFile::Open(path_, platform::FileAccess::ReadWrite,
                                         platform::FileShare::DenyNone,
                                         platform::FileCreate::OpenExisting);
    const std::byte ldid[1] = {std::byte{0x65}};
    file->WriteAt(dbf_layout::kLanguageDriverOffset, ldid);
  }
  std::vector<TLocaleError> asked;
  auto open_with = [&](TLocaleSolution answer) {
    return testing::OpenIndexTable(path_, TFileAccessMode::amExclusiveExisting,
                                   [&asked, answer](TLocaleError e, TLocaleSolution& s) {
                                     EXPECT_EQ(s, TLocaleSolution::lsNotOpen);
                                     asked.push_back(e);
                                     s = answer;
                                   });
  };
  table_ = open_with(TLocaleSolution::lsNotOpen);
  EXPECT_EQ(asked, std::vector<TLocaleError>{TLocaleError::leTableIndexMismatch});
  EXPECT_EQ(table_->IndexCount(), 0u);  // the table opens without it
  table_->Close();

  table_ = open_with(TLocaleSolution::lsNoEdit);
  ASSERT_NE(ProductionIndexOf(*table_, false), nullptr);
  EXPECT_TRUE(Mdx().NoEdit());
  Append("c", 3);
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{2, 1}));  // never changed
  table_->Close();

  table_ = open_with(TLocaleSolution::lsBinary);
  ASSERT_NE(ProductionIndexOf(*table_, false), nullptr);
  EXPECT_FALSE(Mdx().NoEdit());
  Append("d", 4);
  EXPECT_EQ(testing::WalkForward(Mdx()), (std::vector<uint32_t>{2, 1, 4}));
  EXPECT_EQ(asked.size(), 3u);
}

// ---- write errors ---------------------------------------------------------------------------

TEST(IndexWriteError, AnIndexThatCannotGrowRefusesTheAppendAndTheTableStaysAsItWas) {
  platform::MemoryFile table_stream("t.dbf");
  platform::MemoryFile ndx_stream("t.ndx");
  TDbfFile table;
  table.SetFileName("t.dbf");
  table.SetMode(TFileAccessMode::amMemoryNew);
  table.SetMemoryStream(&table_stream);
  table.Create(IndexDefs(4, {{"NAME", 'C', 20, 0}}), 0x65, 512);
  auto ndx = std::make_unique<TIndexFile>(table);
  ndx->SetFileName("t.ndx");
  ndx->SetMode(TFileAccessMode::amMemoryNew);
  ndx->SetMemoryStream(&ndx_stream);
  ndx->Open();
  ndx->CreateTag("NAME", "t.ndx", {});
  TIndexFile& index = *ndx;
  table.AddIndex(std::move(ndx));
  ndx_stream.SetCapacity(ndx_stream.Size());  // the disk is full: no page can be added
  uint32_t appended = 0;
  bool refused = false;
  for (int i = 0; i < 40 && !refused; ++i) {
    std::vector<std::byte> record = testing::NewRecord(table);
    testing::PutText(table, record, "NAME", "N" + std::to_string(100 + i));
    try {
      table.Insert(record);
      ++appended;
    } catch (const EDbfWriteError& e) {
      EXPECT_STREQ(e.what(), "Error while writing occurred; indexes probably corrupted. (Disk full?)");
      refused = true;
    }
  }
  ASSERT_TRUE(refused);  // the 19th key needs a second page
  EXPECT_EQ(appended, 18u);
  EXPECT_EQ(table.RecordCount(), appended);
  EXPECT_FALSE(index.WriteError());  // reset by the data file after the rollback
}

// ---- damage ---------------------------------------------------------------------------------

TEST_F(IndexFileTest, TheVerifierReportsDamagedPages) {
  MakeTable({});
  for (int i = 0; i < 200; ++i) Append("K" + std::to_string(5000 - i), i);
  Mdx().CreateTag("NAME", "NAME", {});
  table_->Close();
  std::vector<std::byte> b = Bytes(MdxPath());
  const size_t root = U32(b, U32(b, 544) * 512) * 512;
  // Inner key 0 of the root no longer names the greatest key of its leaf.
  b[root + 8 + 4] = std::byte{'A'};
  // And two keys of the first leaf swap places in effect.
  const size_t leaf = U32(b, root + 8) * 512;
  b[leaf + 8 + 4 + 1] = std::byte{'9'};
  platform::WriteWholeFile(MdxPath(), b);
  table_ = testing::OpenIndexTable(path_, TFileAccessMode::amExclusiveExisting);
  const std::vector<std::string> problems = CheckIndexFile(Mdx());
  ASSERT_GE(problems.size(), 2u);
  bool inner = false, order = false;
  for (const std::string& p : problems) {
    inner = inner || p.find("not the greatest key") != std::string::npos;
    order = order || p.find("out of order") != std::string::npos;
  }
  EXPECT_TRUE(inner);
  EXPECT_TRUE(order);
}

TEST_F(IndexFileTest, BadHeadersAreRefusedWithAnError) {
  MakeTable({"A"});
  Mdx().CreateTag("NAME", "NAME", {});
  table_->Close();
  std::vector<std::byte> good = Bytes(MdxPath());
  for (auto damage : std::vector<std::pair<size_t, uint8_t>>{
           {4 * 512 + 12, 200}, {4 * 512 + 18, 2}, {4 * 512 + 14, 250}, {544, 0xFF}, {28, 60}}) {
    std::vector<std::byte> b = good;
    b[damage.first] = std::byte{damage.second};
    platform::WriteWholeFile(MdxPath(), b);
    TDbfFile file;
    file.SetFileName(path_);
    file.SetMode(TFileAccessMode::amReadOnly);
    file.Open();
    EXPECT_EQ(file.IndexCount(), 0u) << damage.first;  // dropped: the table still opens
    TIndexFile index(file);
    index.SetFileName(MdxPath());
    index.SetMode(TFileAccessMode::amReadOnly);
    EXPECT_THROW(index.Open(), EDbfError) << damage.first;
  }
}

TEST(IndexFuzzRegression, EveryFoundInputIsHandled) {
  const std::filesystem::path folder =
      std::filesystem::path(LGOTY_SOURCE_DIR) / "tests/fixtures/dbf/fuzz";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("index-", 0) != 0) continue;
    const std::vector<std::byte> input = platform::ReadWholeFile(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_NO_THROW(fuzz::RunIndexInput(reinterpret_cast<const uint8_t*>(input.data()),
                                        input.size()));
    ++replayed;
  }
  EXPECT_GE(replayed, 3);
}

}  // namespace
}  // namespace lgoty::dbf
