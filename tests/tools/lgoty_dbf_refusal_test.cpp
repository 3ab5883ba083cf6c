// Commands refused by lgoty-dbf leave every file of the table byte for byte as it was.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/tools/tool_test_support.h"

namespace lgoty::tools {
namespace {

using Bytes = std::vector<std::byte>;

class RefusedCommands : public ToolTest {
 protected:
  // A level-4 register with a memo field, three rows and two tags.
  void MakeTable() {
    table_ = File("reg.dbf");
    ASSERT_EQ(Run("lgoty-dbf", "create " + table_ +
                                   " --level 4 --ldid 0x65 FAMIL:C:20 SUMPAY:N:10:2 PRIM:M:10")
                  .status,
              0);
    const Result appended = Run("lgoty-dbf", "append " + table_,
                                "{\"FAMIL\":\"Иванов\",\"SUMPAY\":10,\"PRIM\":\"первая\"}\n"
                                "{\"FAMIL\":\"Петров\",\"SUMPAY\":20}\n"
                                "{\"FAMIL\":\"Сидоров\",\"SUMPAY\":30}\n");
    ASSERT_EQ(appended.status, 0) << appended.err;
    ASSERT_EQ(Run("lgoty-dbf", "index " + table_ + " --tag FAMIL --expr FAMIL").status, 0);
    ASSERT_EQ(Run("lgoty-dbf", "index " + table_ + " --tag SUMPAY --expr SUMPAY").status, 0);
  }
  std::string Mdx() const { return File("reg.mdx"); }
  std::string Dbt() const { return File("reg.dbt"); }

  static void PutU16(const std::string& path, size_t offset, unsigned value) {
    Bytes bytes = platform::ReadWholeFile(path);
    bytes.at(offset) = static_cast<std::byte>(value & 0xFF);
    bytes.at(offset + 1) = static_cast<std::byte>(value >> 8);
    platform::WriteWholeFile(path, bytes);
  }

  // Runs a command that must be refused and checks that no file changed.
  void ExpectRefusedUnchanged(const std::string& args, const std::string& input = "") {
    const Bytes dbf = platform::ReadWholeFile(table_);
    const Bytes mdx = platform::ReadWholeFile(Mdx());
    const Bytes dbt = platform::ReadWholeFile(Dbt());
    const Result r = Run("lgoty-dbf", args, input);
    EXPECT_EQ(r.status, 1) << args << "\n" << r.out << r.err;
    EXPECT_FALSE(r.err.empty()) << args;
    EXPECT_EQ(platform::ReadWholeFile(table_), dbf) << args;
    EXPECT_EQ(platform::ReadWholeFile(Mdx()), mdx) << args;
    EXPECT_EQ(platform::ReadWholeFile(Dbt()), dbt) << args;
  }

  std::string table_;
};

TEST_F(RefusedCommands, HeaderThatDisagreesWithItsDescriptorsIsNeverWritten) {
  MakeTable();
  const Bytes sound = platform::ReadWholeFile(table_);
  const unsigned header_length = 32 + 3 * 32 + 1;
  const unsigned record_length = 1 + 20 + 10 + 10;

  PutU16(table_, 8, 0xFFFF);  // header length beyond the end of the file
  ExpectRefusedUnchanged("set " + table_ + " 1 FAMIL=X");
  ExpectRefusedUnchanged("set " + table_ + " 1 FAMIL=X --shared");
  ExpectRefusedUnchanged("append " + table_, "{\"FAMIL\":\"X\"}\n");
  EXPECT_EQ(Run("lgoty-dbf", "dump " + table_).status, 1);
  PutU16(table_, 8, header_length);

  PutU16(table_, 10, 0xFFFF);  // record length larger than the fields
  ExpectRefusedUnchanged("delete " + table_ + " 1");
  PutU16(table_, 10, record_length - 1);  // and smaller
  ExpectRefusedUnchanged("delete " + table_ + " 1 --shared");
  PutU16(table_, 10, record_length);

  PutU16(table_, 8, 32);  // header length without any descriptor
  ExpectRefusedUnchanged("set " + table_ + " 1 FAMIL=X");
  ExpectRefusedUnchanged("index " + table_ + " --tag NEW --expr FAMIL");
  const Result info = Run("lgoty-dbf", "info " + table_);
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("Invalid DBF file."), std::string::npos) << info.err;

  PutU16(table_, 8, header_length - 1);  // the terminator falls outside the header
  ExpectRefusedUnchanged("set " + table_ + " 2 SUMPAY=1");
  PutU16(table_, 8, header_length);
  EXPECT_EQ(platform::ReadWholeFile(table_), sound);

  // Undamaged, the same command goes through.
  EXPECT_EQ(Run("lgoty-dbf", "set " + table_ + " 1 FAMIL=X").status, 0);
}

TEST_F(RefusedCommands, FieldOfNoBytesIsRefusedAtOpen) {
  MakeTable();
  // FAMIL (the first descriptor, length at byte 16) becomes 0 bytes long; the record length
  // follows so that only the empty field is wrong.
  Bytes bytes = platform::ReadWholeFile(table_);
  bytes.at(32 + 16) = std::byte{0};
  platform::WriteWholeFile(table_, bytes);
  PutU16(table_, 10, 1 + 10 + 10);
  for (const std::string& args :
       {"seek " + table_ + " --index SUMPAY 20", "dump " + table_ + " --index FAMIL",
        "check " + table_, "info " + table_}) {
    const Result r = Run("lgoty-dbf", args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find("Invalid DBF file."), std::string::npos) << args << r.err;
  }
  ExpectRefusedUnchanged("append " + table_, "{\"FAMIL\":\"X\"}\n");
}

TEST_F(RefusedCommands, AppendRefusedByADamagedTagTakesBackKeysAndMemoBlocks) {
  MakeTable();
  // The root page of the second tag (SUMPAY) becomes page 0, inside the file header.
  Bytes mdx = platform::ReadWholeFile(Mdx());
  const size_t entry = 544 + 32;
  const size_t unit = static_cast<size_t>(mdx.at(entry)) | static_cast<size_t>(mdx.at(entry + 1)) << 8;
  for (size_t i = 0; i < 4; ++i) mdx.at(unit * 512 + i) = std::byte{0};
  platform::WriteWholeFile(Mdx(), mdx);

  for (const char* mode : {"", " --shared"}) {
    SCOPED_TRACE(mode);
    ExpectRefusedUnchanged("append " + table_ + mode,
                           "{\"FAMIL\":\"Яковлев\",\"SUMPAY\":5,\"PRIM\":\"заметка\"}\n");
    ExpectRefusedUnchanged("set " + table_ + " 2 FAMIL=Абрамов SUMPAY=7 PRIM=новая" + mode);
  }
  // The first tag still lists exactly the three rows.
  const Result dump = Run("lgoty-dbf", "dump " + table_ + " --index FAMIL --from А");
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(Lines(dump.out).size(), 3u);
}

// Damage that an append meets while it splits a page is reported as damage of the index
// file, with the file's name and the page, and the refused append changes no file.
TEST_F(RefusedCommands, DamageMetDuringASplitNamesTheFileAndChangesNothing) {
  table_ = File("reg.dbf");
  ASSERT_EQ(Run("lgoty-dbf", "create " + table_ + " --level 4 --ldid 0x65 NAME:C:20 PRIM:M:10")
                .status,
            0);
  // A C(20) key makes 24-byte entries, 42 to a page: 41 rows fill the root leaf to one key
  // short of its capacity, which is what a full inner page holds.
  std::string rows;
  for (int i = 0; i < 41; ++i) rows += "{\"NAME\":\"K" + std::to_string(100 + i) + "\"}\n";
  ASSERT_EQ(Run("lgoty-dbf", "append " + table_, rows).status, 0);
  ASSERT_EQ(Run("lgoty-dbf", "index " + table_ + " --tag NAME --expr NAME").status, 0);
  const Bytes sound = platform::ReadWholeFile(Mdx());
  auto u32 = [](const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b.at(at)) | static_cast<uint32_t>(b.at(at + 1)) << 8 |
           static_cast<uint32_t>(b.at(at + 2)) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
  };
  const size_t root = size_t{u32(sound, u32(sound, 544) * 512)} * 512;
  ASSERT_EQ(u32(sound, root), 41u);
  ASSERT_EQ(u32(sound, root + 8 + 41 * 24), 0u);

  // A pointer after the last key makes the leaf a full inner page: the append splits it and
  // then follows the pointer, which leads far outside the file.
  Bytes mdx = sound;
  mdx.at(root + 8 + 41 * 24 + 3) = std::byte{0x7F};
  platform::WriteWholeFile(Mdx(), mdx);
  for (const char* mode : {"", " --shared"}) {
    SCOPED_TRACE(mode);
    ExpectRefusedUnchanged("append " + table_ + mode, "{\"NAME\":\"Z\",\"PRIM\":\"x\"}\n");
    const Result r = Run("lgoty-dbf", "append " + table_ + mode, "{\"NAME\":\"Z\"}\n");
    EXPECT_NE(r.err.find("Damaged index file reg.mdx: page 2130706432 lies outside the file."),
              std::string::npos)
        << r.err;
  }

  // The next free unit of the file header lies far beyond the file: the 42nd key fills the
  // leaf, and the page that the split for the 43rd needs cannot be taken.
  mdx = sound;
  mdx.at(32 + 3) = std::byte{0x10};
  platform::WriteWholeFile(Mdx(), mdx);
  ASSERT_EQ(Run("lgoty-dbf", "append " + table_, "{\"NAME\":\"K200\"}\n").status, 0);
  // An append leaves the table ending with its last record; the next open for writing adds
  // the end-of-file byte after it, refused or not. From then on nothing changes.
  const Result r = Run("lgoty-dbf", "append " + table_, "{\"NAME\":\"K300\"}\n");
  EXPECT_NE(r.err.find("Damaged index file reg.mdx: the next free page"), std::string::npos)
      << r.err;
  ExpectRefusedUnchanged("append " + table_, "{\"NAME\":\"K300\"}\n");
  ExpectRefusedUnchanged("append --shared " + table_, "{\"NAME\":\"K300\"}\n");
}

TEST_F(RefusedCommands, RefusedDistinctKeyLeavesTheMemoValueWhole) {
  MakeTable();
  ASSERT_EQ(Run("lgoty-dbf", "index " + table_ + " --tag UFAM --expr FAMIL --distinct").status, 0);
  ExpectRefusedUnchanged("set " + table_ + " 1 FAMIL=Петров PRIM=другая");
  ExpectRefusedUnchanged("append " + table_, "{\"FAMIL\":\"Петров\",\"PRIM\":\"третья\"}\n");
  const Result dump = Run("lgoty-dbf", "dump " + table_);
  EXPECT_NE(dump.out.find("\"PRIM\":\"первая\""), std::string::npos) << dump.out;
}

TEST_F(RefusedCommands, IndexOfAnotherLanguageIsNeitherLeftStaleNorCalledSound) {
  table_ = File("reg.dbf");
  ASSERT_EQ(Run("lgoty-dbf", "create " + table_ + " --level 4 --ldid 0x26 FAMIL:C:10 PRIM:M:10")
                .status,
            0);
  ASSERT_EQ(Run("lgoty-dbf", "append " + table_, "{\"FAMIL\":\"B\"}\n").status, 0);
  ASSERT_EQ(Run("lgoty-dbf", "index " + table_ + " --tag FAMIL --expr FAMIL").status, 0);
  EXPECT_EQ(Run("lgoty-dbf", "check " + table_).status, 0);
  Bytes mdx = platform::ReadWholeFile(Mdx());
  mdx.at(31) = std::byte{0x65};  // the language driver the index was ordered for
  platform::WriteWholeFile(Mdx(), mdx);

  const Result check = Run("lgoty-dbf", "check " + table_);
  EXPECT_EQ(check.status, 1);
  EXPECT_NE(check.out.find("language driver 0x65 differs from the table's 0x26"), std::string::npos)
      << check.out;
  ExpectRefusedUnchanged("append " + table_, "{\"FAMIL\":\"A\",\"PRIM\":\"x\"}\n");
  ExpectRefusedUnchanged("append --shared " + table_, "{\"FAMIL\":\"A\"}\n");
  ExpectRefusedUnchanged("set " + table_ + " 1 FAMIL=C");
  ExpectRefusedUnchanged("delete " + table_ + " 1");
  const Result r = Run("lgoty-dbf", "append " + table_, "{\"FAMIL\":\"A\"}\n");
  EXPECT_NE(r.err.find("cannot be kept up to date"), std::string::npos) << r.err;
  // Reading it is still possible.
  EXPECT_EQ(Run("lgoty-dbf", "seek " + table_ + " --index FAMIL B").status, 0);
}

}  // namespace
}  // namespace lgoty::tools
