// NDX files exchanged with other tools, and a production index shared by two processes.
//   - xb_reg_imja.ndx, written by another implementation, walks in the order it walks it;
//     the defective xb_reg_famil.ndx is read without a crash;
//   - NDX files this engine writes on a C20 key and on a numeric key (built in bulk, then
//     changed key by key) are read by Perl's XBase module with the same keys in the same order;
//   - two processes appending to a shared table with a production index leave an index that
//     the verifier passes and that lists every row.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "core/code_page.h"
#include "core/byte_codec.h"
#include "dbf/index_check.h"
#include "dbf/index_keys.h"
#include "tests/dbf/index_test_support.h"

namespace lgoty::dbf {
namespace {

using testing::Bytes;
using testing::ScratchFolder;

const std::string kFixtures = std::string(LGOTY_SOURCE_DIR) + "/tests/fixtures/dbf/";

std::string CopyFixture(const ScratchFolder& folder, const std::string& name) {
  const std::string to = folder.File(name);
  std::filesystem::copy_file(kFixtures + name, to);
  std::filesystem::permissions(to, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  return to;
}

std::unique_ptr<TIndexFile> OpenNdx(TDbfFile& table, const std::string& path, TFileAccessMode mode) {
  auto ndx = std::make_unique<TIndexFile>(table);
  ndx->SetFileName(path);
  ndx->SetMode(mode);
  ndx->Open();
  return ndx;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Our walk of an NDX as the oracle prints it: record number, TAB, key (hex or number).
std::vector<std::string> OurWalk(TIndexFile& ndx) {
  std::vector<std::string> lines;
  const bool numeric = ndx.SelectedTag()->Header().key_type == 'N';
  for (bool ok = ndx.First(); ok; ok = ndx.Next()) {
    std::span<const std::byte> key = ndx.SelectedTag()->CurrentKey();
    std::string text;
    if (numeric) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%.15g", DecodeNdxNumericKey(key));
      text = buffer;
    } else {
      static const char* const kHex = "0123456789abcdef";
      for (std::byte b : key) {
        text.push_back(kHex[static_cast<uint8_t>(b) >> 4]);
        text.push_back(kHex[static_cast<uint8_t>(b) & 15]);
      }
    }
    lines.push_back(std::to_string(ndx.RecNo()) + "\t" + text);
  }
  return lines;
}

// Perl's walk; numbers re-printed with %.15g like ours. Empty when the oracle cannot run.
std::vector<std::string> PerlWalk(const std::string& ndx, bool numeric) {
  const std::string command = "perl " + std::string(LGOTY_SOURCE_DIR) +
                              "/tests/dbf/oracles/xbase_ndx_walk.pl '" + ndx + "' 2>&1";
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return lines;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (numeric) {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos) {
        char number[64];
        std::snprintf(number, sizeof number, "%.15g", std::strtod(line.c_str() + tab + 1, nullptr));
        line = line.substr(0, tab + 1) + number;
      }
    }
    lines.push_back(line);
  }
  if (pclose(pipe) != 0) lines.clear();
  return lines;
}

TEST(NdxInterop, AForeignIndexWalksInItsOwnOrder) {
  ScratchFolder folder;
  const std::string dbf = CopyFixture(folder, "xb_reg.dbf");
  const std::string ndx_path = CopyFixture(folder, "xb_reg_imja.ndx");
  auto table = testing::OpenIndexTable(dbf, TFileAccessMode::amReadOnly);
  auto ndx = OpenNdx(*table, ndx_path, TFileAccessMode::amReadOnly);
  EXPECT_FALSE(ndx->IsMdx());
  EXPECT_EQ(ndx->SelectedTag()->Header().expression, "IMJA");
  std::ifstream walk(kFixtures + "xb_reg_imja.ndx.walk.tsv");
  std::vector<std::pair<uint32_t, std::string>> expected;
  for (std::string line; std::getline(walk, line);) {
    const size_t tab = line.find('\t');
    expected.emplace_back(static_cast<uint32_t>(std::stoul(line.substr(0, tab))),
                          Trimmed(line.substr(tab + 1)));
  }
  ASSERT_EQ(expected.size(), 1000u);
  size_t i = 0;
  for (bool ok = ndx->First(); ok; ok = ndx->Next(), ++i) {
    ASSERT_LT(i, expected.size());
    EXPECT_EQ(ndx->RecNo(), expected[i].first) << i;
    std::span<const std::byte> key = ndx->SelectedTag()->CurrentKey();
    EXPECT_EQ(Trimmed(core::ToUtf8(866, std::string(reinterpret_cast<const char*>(key.data()),
                                                     key.size()))),
              expected[i].second)
        << i;
  }
  EXPECT_EQ(i, expected.size());
  // The tree as written satisfies the verifier too, searches included.
  EXPECT_EQ(CheckIndexTag(*ndx, *ndx->SelectedTag()), std::vector<std::string>{});
  EXPECT_TRUE(ndx->Search(std::as_bytes(std::span("\x80\xa3", 2)), true));
  EXPECT_EQ(ndx->RecNo(), expected[0].first);
}

TEST(NdxInterop, TheDefectiveForeignIndexIsReadWithoutACrash) {
  ScratchFolder folder;
  const std::string dbf = CopyFixture(folder, "xb_reg.dbf");
  const std::string ndx_path = CopyFixture(folder, "xb_reg_famil.ndx");
  auto table = testing::OpenIndexTable(dbf, TFileAccessMode::amReadOnly);
  try {
    auto ndx = OpenNdx(*table, ndx_path, TFileAccessMode::amReadOnly);
    size_t steps = 0;
    try {
      for (bool ok = ndx->First(); ok && steps < 5000; ok = ndx->Next()) ++steps;
    } catch (const EDbfError&) {
    }
    // Entries read at the header's entry length are not the keys of their records.
    EXPECT_FALSE(CheckIndexTag(*ndx, *ndx->SelectedTag()).empty());
  } catch (const EDbfError&) {
    SUCCEED() << "refused on open";
  }
}

class NdxWritten : public ::testing::Test {
 protected:
  void SetUp() override {
    dbf_ = CopyFixture(folder_, "xb_reg.dbf");
    table_ = testing::OpenIndexTable(dbf_, TFileAccessMode::amExclusiveExisting);
  }
  TIndexFile& Build(const std::string& name, const std::string& expression) {
    auto ndx = std::make_unique<TIndexFile>(*table_);
    ndx->SetFileName(folder_.File(name));
    ndx->SetMode(TFileAccessMode::amExclusiveNew);
    ndx->Open();
    ndx->CreateTag(expression, name, {});
    TIndexFile& result = *ndx;
    table_->AddIndex(std::move(ndx));
    return result;
  }
  // Appends rows that land all over the tree (key by key, with page splits).
  void AppendRows(int count) {
    for (int i = 0; i < count; ++i) {
      std::vector<std::byte> record = testing::NewRecord(*table_);
      testing::PutText(*table_, record, "IMJA", std::string(1, static_cast<char>(0x80 + i % 32)) +
                                                    std::to_string(i * 37 % 101));
      testing::PutNumber(*table_, record, "SUMPAY", (i * 7919 % 2000) - 1000.25);
      table_->Insert(record);
    }
  }
  ScratchFolder folder_;
  std::string dbf_;
  std::unique_ptr<TDbfFile> table_;
};

TEST_F(NdxWritten, HeaderFieldsOfACharacterAndANumericIndex) {
  Build("imja.ndx", "IMJA");
  Build("sum.ndx", "SUMPAY");
  table_->Close();
  const std::vector<std::byte> c = Bytes(folder_.File("imja.ndx"));
  EXPECT_EQ(core::GetU16LE(c.data() + 10), 0x5800);
  EXPECT_EQ(core::GetU16LE(c.data() + 12), 20);
  EXPECT_EQ(core::GetU16LE(c.data() + 14), 18);
  EXPECT_EQ(core::GetU16LE(c.data() + 16), 0);
  EXPECT_EQ(core::GetU16LE(c.data() + 18), 28);
  EXPECT_EQ(core::GetU32LE(c.data() + 4) * 512, c.size());  // pages in the file
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.data() + 24)), "IMJA");
  const std::vector<std::byte> n = Bytes(folder_.File("sum.ndx"));
  EXPECT_EQ(static_cast<int>(n[9]), 'N');
  EXPECT_EQ(core::GetU16LE(n.data() + 12), 8);
  EXPECT_EQ(core::GetU16LE(n.data() + 14), 31);
  EXPECT_EQ(core::GetU16LE(n.data() + 16), 1);
  EXPECT_EQ(core::GetU16LE(n.data() + 18), 16);
}

TEST_F(NdxWritten, PerlXBaseReadsTheSameKeysInTheSameOrder) {
  // Built in bulk.
  TIndexFile& imja = Build("imja.ndx", "IMJA");
  TIndexFile& sum = Build("sum.ndx", "SUMPAY");
  std::vector<std::string> ours_c = OurWalk(imja);
  std::vector<std::string> ours_n = OurWalk(sum);
  EXPECT_EQ(ours_c.size(), 1000u);
  table_->Close();  // everything on disk before the oracle reads
  const std::vector<std::string> perl_c = PerlWalk(folder_.File("imja.ndx"), false);
  if (perl_c.empty()) GTEST_SKIP() << "Perl's XBase module is not available";
  EXPECT_EQ(perl_c, ours_c);
  EXPECT_EQ(PerlWalk(folder_.File("sum.ndx"), true), ours_n);

  // Then changed key by key: 600 appends split pages all over both trees.
  table_ = testing::OpenIndexTable(dbf_, TFileAccessMode::amExclusiveExisting);
  auto c = OpenNdx(*table_, folder_.File("imja.ndx"), TFileAccessMode::amExclusiveExisting);
  auto n = OpenNdx(*table_, folder_.File("sum.ndx"), TFileAccessMode::amExclusiveExisting);
  TIndexFile& c_ref = *c;
  TIndexFile& n_ref = *n;
  table_->AddIndex(std::move(c));
  table_->AddIndex(std::move(n));
  AppendRows(600);
  EXPECT_EQ(CheckIndexFile(c_ref), std::vector<std::string>{});
  EXPECT_EQ(CheckIndexFile(n_ref), std::vector<std::string>{});
  ours_c = OurWalk(c_ref);
  ours_n = OurWalk(n_ref);
  EXPECT_EQ(ours_c.size(), 1600u);
  table_->Close();
  EXPECT_EQ(PerlWalk(folder_.File("imja.ndx"), false), ours_c);
  EXPECT_EQ(PerlWalk(folder_.File("sum.ndx"), true), ours_n);
}

// ---- two processes --------------------------------------------------------------------------

pid_t Spawn(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    int code = 0;
    try {
      code = body();
    } catch (...) {
      code = 99;
    }
    _exit(code);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SharedIndex, TwoProcessesAppendingLeaveASoundIndexOfEveryRow) {
  ScratchFolder folder;
  const std::string path = folder.File("shared.dbf");
  {
    auto table = testing::CreateIndexTable(
        path, testing::IndexDefs(4, {{"NAME", 'C', 12, 0}, {"NUM", 'N', 8, 0}}), 0x65);
    TIndexFile* mdx = ProductionIndexOf(*table, true);
    mdx->CreateTag("NAME", "NAME", {});
    mdx->CreateTag("NUM", "NUM", {TIndexKind::ikNone, true, false});
  }
  constexpr int kRows = 400;
  auto appender = [&path](char who) {
    return [&path, who]() {
      auto table = testing::OpenIndexTable(path, TFileAccessMode::amSharedExisting);
      if (!ProductionIndexOf(*table, false)) return 2;
      for (int i = 0; i < kRows; ++i) {
        std::vector<std::byte> record = testing::NewRecord(*table);
        testing::PutText(*table, record, "NAME", std::string(1, who) + std::to_string(i * 7 % kRows));
        testing::PutNumber(*table, record, "NUM", i * 2 + (who == 'a' ? 0 : 1));
        table->Insert(record);
      }
      return 0;
    };
  };
  const pid_t a = Spawn(appender('a'));
  const pid_t b = Spawn(appender('b'));
  ASSERT_EQ(Wait(a), 0);
  ASSERT_EQ(Wait(b), 0);

  auto table = testing::OpenIndexTable(path, TFileAccessMode::amExclusiveExisting);
  ASSERT_EQ(table->RecordCount(), 2u * kRows);
  TIndexFile* mdx = ProductionIndexOf(*table, false);
  ASSERT_NE(mdx, nullptr);
  EXPECT_EQ(CheckIndexFile(*mdx), std::vector<std::string>{});
  for (const char* tag : {"NAME", "NUM"}) {
    ASSERT_TRUE(mdx->SelectTag(tag));
    std::vector<uint32_t> listed = testing::WalkForward(*mdx);
    EXPECT_EQ(listed.size(), 2u * kRows) << tag;
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(std::adjacent_find(listed.begin(), listed.end()), listed.end()) << tag;
  }
}

}  // namespace
}  // namespace lgoty::dbf
