// Randomized runs: thousands of appends, edits, deletions and recalls against a table whose
// production index has character, numeric, descending, distinct and unique tags. After every
// batch the verifier must find nothing, and each tag must list the records in the order a
// plain sort of the table gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "dbf/collation.h"
#include "dbf/index_check.h"
#include "tests/dbf/index_test_support.h"

namespace lgoty::dbf {
namespace {

using testing::IndexDefs;
using testing::ScratchFolder;

constexpr uint8_t kLdid = 0x26;  // code page 866 with a weights table of its own

struct Row {
  std::string name;
  double amount = 0;
  std::string code;
  bool deleted = false;
};

class RandomIndexRun {
 public:
  explicit RandomIndexRun(uint32_t seed, TFileAccessMode reopen_mode)
      : rng_(seed), reopen_mode_(reopen_mode) {}

  void Run(int batches, int ops_per_batch, int initial_rows) {
    const std::string path = folder_.File("rand.dbf");
    table_ = testing::CreateIndexTable(
        path, IndexDefs(4, {{"NAME", 'C', 40, 0}, {"AMOUNT", 'N', 10, 2}, {"CODE", 'C', 6, 0}}),
        kLdid);
    for (int i = 0; i < initial_rows; ++i) Append();
    // Tags built in bulk over the first rows; every later change goes key by key.
    TIndexFile* index = ProductionIndexOf(*table_, true);
    index->CreateTag("NAME", "NAME", {});
    index->CreateTag("AMOUNT", "AMOUNT", {});
    index->CreateTag("NAME", "NAMEDESC", {TIndexKind::ikNone, true, false});
    index->CreateTag("CODE", "CODE", {TIndexKind::ikDistinct, false, false});
    index->CreateTag("UPPER(CODE)", "UCODE", {TIndexKind::ikUnique, false, true});
    Verify("after the bulk build");
    for (int b = 0; b < batches; ++b) {
      for (int i = 0; i < ops_per_batch; ++i) Step();
      Verify("after batch " + std::to_string(b));
      if (b % 4 == 3) {
        table_->Close();
        table_ = testing::OpenIndexTable(path, reopen_mode_);
        ASSERT_NE(ProductionIndexOf(*table_, false), nullptr);
        Verify("after reopening");
      }
    }
  }

 private:
  std::string RandomName() {
    static const char* const kSyllables[] = {"\x80\xa0", "\xa1\xae", "\xa2\xa8", "\xa3\xe0",
                                             "ka", "Mo", "\xa5", "\x85", "lu", "\xe0\xa0"};
    std::string name;
    const int parts = 1 + static_cast<int>(rng_() % 4);
    for (int i = 0; i < parts; ++i) name += kSyllables[rng_() % 10];
    if (rng_() % 5 == 0) name = std::string(30, 'Z') + name;  // long keys, deep trees
    return name;
  }
  double RandomAmount() {
    // Whole cents, as the N10.2 field stores them; small values straddle zero and 0.1.
    const int kind = static_cast<int>(rng_() % 5);
    if (kind == 0) return 0;
    const int range = kind == 1 ? 40 : 200000;
    return static_cast<double>(static_cast<int>(rng_() % range) - range / 2) / 100.0;
  }
  std::string RandomCode() { return "C" + std::to_string(rng_() % 3000); }

  void Fill(std::vector<std::byte>& record, const Row& row) {
    testing::PutText(*table_, record, "NAME", row.name);
    testing::PutNumber(*table_, record, "AMOUNT", row.amount);
    testing::PutText(*table_, record, "CODE", row.code);
    record[0] = row.deleted ? std::byte{'*'} : std::byte{' '};
  }

  bool CodeTaken(const std::string& code, size_t except) const {
    for (size_t i = 0; i < rows_.size(); ++i)
      if (i != except && !rows_[i].deleted && rows_[i].code == code) return true;
    return false;
  }

  void Append() {
    Row row{RandomName(), RandomAmount(), RandomCode(), false};
    const bool indexed = ProductionIndexOf(*table_, false) != nullptr;
    // The rows the distinct tag is built over must have distinct codes.
    while (!indexed && CodeTaken(row.code, SIZE_MAX)) row.code = RandomCode();
    std::vector<std::byte> record = testing::NewRecord(*table_);
    Fill(record, row);
    const bool clash = CodeTaken(row.code, SIZE_MAX);
    try {
      table_->Insert(record);
      ASSERT_FALSE(clash) << "a duplicate code was accepted";
      rows_.push_back(row);
    } catch (const EDbfKeyViolation&) {
      ASSERT_TRUE(clash) << "a fresh code was refused";
      // A refused key leaves the table as it was.
      ASSERT_EQ(table_->RecordCount(), rows_.size());
    }
  }

  void Edit(size_t i, Row changed) {
    const uint32_t n = static_cast<uint32_t>(i + 1);
    std::vector<std::byte> record(table_->RecordSize());
    table_->LockRecord(n, record);
    if (changed.deleted && !rows_[i].deleted) table_->RecordDeleted(n, record);
    Fill(record, changed);
    const bool clash = !changed.deleted && CodeTaken(changed.code, i) &&
                       (rows_[i].deleted || changed.code != rows_[i].code);
    try {
      table_->UnlockRecord(n, record);
      ASSERT_FALSE(clash);
      rows_[i] = changed;
    } catch (const EDbfKeyViolation&) {
      ASSERT_TRUE(clash);
      table_->CancelRecordLock(n);
    }
  }

  void Step() {
    const int what = static_cast<int>(rng_() % 10);
    if (rows_.empty() || what < 4) return Append();
    const size_t i = rng_() % rows_.size();
    Row changed = rows_[i];
    if (what < 8) {
      switch (rng_() % 3) {
        case 0: changed.name = RandomName(); break;
        case 1: changed.amount = RandomAmount(); break;
        default: changed.code = RandomCode(); break;
      }
    } else {
      changed.deleted = !changed.deleted;  // delete or recall
    }
    Edit(i, changed);
  }

  // The expected order of a tag: record numbers sorted by key then record number.
  template <typename Less>
  std::vector<uint32_t> Expected(bool live_only, Less less) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < rows_.size(); ++i)
      if (!live_only || !rows_[i].deleted) out.push_back(static_cast<uint32_t>(i + 1));
    std::stable_sort(out.begin(), out.end(),
                     [&](uint32_t a, uint32_t b) { return less(rows_[a - 1], rows_[b - 1]); });
    return out;
  }

  static int CompareNames(const std::string& a, const std::string& b) {
    std::string pa = a, pb = b;
    pa.resize(40, ' ');
    pb.resize(40, ' ');
    return CompareCharacterKeys(CollationWeightsOf(kLdid),
                                std::as_bytes(std::span(pa.data(), pa.size())),
                                std::as_bytes(std::span(pb.data(), pb.size())));
  }

  void Verify(const std::string& when) {
    TIndexFile& index = *ProductionIndexOf(*table_, false);
    const std::vector<std::string> problems = CheckIndexFile(index);
    ASSERT_TRUE(problems.empty()) << when << ": " << problems.front();

    ASSERT_TRUE(index.SelectTag("NAME"));
    EXPECT_EQ(testing::WalkForward(index),
              Expected(false, [](const Row& a, const Row& b) { return CompareNames(a.name, b.name) < 0; }))
        << when;
    ASSERT_TRUE(index.SelectTag("namedesc"));
    std::vector<uint32_t> desc = testing::WalkForward(index);
    EXPECT_EQ(desc, Expected(false, [](const Row& a, const Row& b) {
                return CompareNames(a.name, b.name) > 0;
              })) << when;
    std::vector<uint32_t> back = testing::WalkBackward(index);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, desc) << when;
    ASSERT_TRUE(index.SelectTag("AMOUNT"));
    EXPECT_EQ(testing::WalkForward(index),
              Expected(false, [](const Row& a, const Row& b) { return a.amount < b.amount; }))
        << when;
    ASSERT_TRUE(index.SelectTag("CODE"));
    EXPECT_EQ(testing::WalkForward(index),
              Expected(true, [](const Row& a, const Row& b) { return a.code < b.code; }))
        << when;
  }

  ScratchFolder folder_;
  std::mt19937 rng_;
  TFileAccessMode reopen_mode_;
  std::unique_ptr<TDbfFile> table_;
  std::vector<Row> rows_;
};

TEST(IndexRandom, ThousandsOfChangesKeepEveryTagSortedAndComplete) {
  RandomIndexRun run(20261208, TFileAccessMode::amExclusiveExisting);
  run.Run(16, 300, 400);
}

TEST(IndexRandom, ChangesOnASharedTableKeepEveryTagSortedAndComplete) {
  RandomIndexRun run(77, TFileAccessMode::amSharedExisting);
  run.Run(8, 250, 0);
}

}  // namespace
}  // namespace lgoty::dbf
