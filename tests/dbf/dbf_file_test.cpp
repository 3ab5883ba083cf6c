#include "dbf/dbf_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>
#include <tuple>

#include "core/date_time.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/field_codec.h"
#include "dbf/language_drivers.h"
#include "dbf_test_support.h"

namespace lgoty::dbf {
namespace {

using testing::At;
using testing::Bytes;
using testing::ScratchFolder;
using testing::Text;

struct FieldDesc {
  const char* name;
  char letter;
  int length;
  int decimals;
};

TDbfFieldDefs Defs(int level, std::initializer_list<FieldDesc> fields) {
  TDbfFieldDefs defs(level);
  for (const FieldDesc& f : fields) {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(f.name);
    def.SetNative(static_cast<uint8_t>(f.letter), f.length, f.decimals);
  }
  return defs;
}

void CreateTable(const std::string& path, int level, const TDbfFieldDefs& defs,
                 uint8_t ldid = 0x65) {
  TDbfFile file;
  file.SetFileName(path);
  file.SetTableLevel(level);
  file.SetMode(TFileAccessMode::amExclusiveNew);
  file.Create(defs, ldid, 512);
  file.Close();
}

std::unique_ptr<TDbfFile> OpenTable(const std::string& path, TFileAccessMode mode) {
  auto file = std::make_unique<TDbfFile>();
  file->SetFileName(path);
  file->SetMode(mode);
  file->Open();
  return file;
}

// A record of the one-C-field tables of these tests.
std::vector<std::byte> NameRecord(const TDbfFile& file, const std::string& text) {
  std::vector<std::byte> record(file.RecordSize());
  file.InitRecord(record);
  for (size_t i = 0; i < text.size() && i + 1 < record.size(); ++i) {
    record[1 + i] = static_cast<std::byte>(text[i]);
  }
  return record;
}

std::string FieldText(std::span<const std::byte> record, size_t offset, size_t length) {
  std::string s;
  for (size_t i = 0; i < length; ++i) s.push_back(static_cast<char>(record[offset + i]));
  return s;
}

void ExpectDatedToday(const std::vector<std::byte>& bytes) {
  int year = 0, month = 0, day = 0;
  core::DecodeDate(core::Date(), year, month, day);
  EXPECT_EQ(At(bytes, 1), year - 1900);
  EXPECT_EQ(At(bytes, 2), month);
  EXPECT_EQ(At(bytes, 3), day);
}

const std::string kTenSpaces(10, ' ');

TEST(DbfFile, CreatingALevel4TableWithOneCharFieldGivesThe65ByteHeader) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  CreateTable(path, 4, Defs(4, {{"name", 'C', 10, 0}}), 0x65);
  const auto bytes = Bytes(path);
  ASSERT_EQ(bytes.size(), 66u) << "header and the end-of-file byte";
  EXPECT_EQ(At(bytes, 0), 0x03);
  ExpectDatedToday(bytes);
  EXPECT_EQ(core::GetU32LE(bytes, 4), 0u);
  EXPECT_EQ(core::GetU16LE(bytes, 8), 65u);
  EXPECT_EQ(core::GetU16LE(bytes, 10), 11u);
  EXPECT_EQ(At(bytes, 28), 0);
  EXPECT_EQ(At(bytes, 29), 0x65);
  EXPECT_EQ(FieldText(bytes, 32, 4), "NAME");
  for (size_t i = 36; i < 43; ++i) EXPECT_EQ(At(bytes, i), 0) << i;
  EXPECT_EQ(At(bytes, 43), 'C');
  EXPECT_EQ(At(bytes, 48), 10);
  EXPECT_EQ(At(bytes, 49), 0);
  EXPECT_EQ(At(bytes, 64), 0x0D);
  EXPECT_EQ(At(bytes, 65), 0x1A);
}

TEST(DbfFile, VersionByteOfNewTablesFollowsLevelAndMemoFields) {
  struct Case {
    int level;
    bool memo;
    char extra;  // another field letter, or 0
    int version;
    size_t header_length;
    const char* memo_ext;
  };
  const Case cases[] = {
      {3, false, 0, 0x03, 65, nullptr},      {3, true, 0, 0x83, 97, ".dbt"},
      {4, false, 0, 0x03, 65, nullptr},      {4, true, 0, 0x8B, 97, ".dbt"},
      {7, false, 0, 0x04, 117, nullptr},     {7, true, 0, 0x8C, 165, ".dbt"},
      {25, false, 0, 0x02, 328, nullptr},    {25, true, 0, 0xF5, 360, ".fpt"},
      {25, false, 'T', 0x30, 360, nullptr},  {25, true, 'T', 0x30, 392, ".fpt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "level " << c.level << " memo " << c.memo);
    ScratchFolder dir;
    const std::string path = dir.File("v.dbf");
    TDbfFieldDefs defs = Defs(c.level, {{"NAME", 'C', 10, 0}});
    auto add = [&defs](const char* name, char letter, int length) {
      TDbfFieldDef& def = defs.Add();
      def.SetFieldName(name);
      def.SetNative(static_cast<uint8_t>(letter), length, 0);
    };
    if (c.memo) add("NOTES", 'M', 10);
    if (c.extra) add("WHEN", c.extra, 8);
    CreateTable(path, c.level, defs);
    const auto bytes = Bytes(path);
    EXPECT_EQ(At(bytes, 0), c.version);
    EXPECT_EQ(core::GetU16LE(bytes, 8), c.header_length);
    EXPECT_EQ(platform::FileExists(dir.File("v.dbt")), c.memo_ext && c.level != 25);
    EXPECT_EQ(platform::FileExists(dir.File("v.fpt")), c.memo_ext && c.level == 25);
    auto table = OpenTable(path, TFileAccessMode::amReadOnly);
    EXPECT_EQ(table->TableLevel(), c.level);
    EXPECT_EQ(table->FieldDefs().Count(), defs.Count());
  }
}

TEST(DbfFile, FoxProDescriptorsCarryOffsetsAndLongCharLengths) {
  ScratchFolder dir;
  const std::string path = dir.File("fox.dbf");
  CreateTable(path, 25, Defs(25, {{"A", 'C', 5, 0}, {"LONG", 'C', 300, 0}}), 0x65);
  const auto bytes = Bytes(path);
  EXPECT_EQ(core::GetU32LE(bytes, 32 + 12), 1u);
  EXPECT_EQ(core::GetU32LE(bytes, 64 + 12), 6u);
  EXPECT_EQ(At(bytes, 64 + 16), 300 & 0xFF);
  EXPECT_EQ(At(bytes, 64 + 17), 1);
  EXPECT_EQ(core::GetU16LE(bytes, 10), 306u);
  auto table = OpenTable(path, TFileAccessMode::amReadOnly);
  EXPECT_EQ(table->FieldDefs()[1].Size(), 300);
  EXPECT_EQ(table->FieldDefs()[1].Offset(), 6);
}

TEST(DbfFile, Level7TablesNameTheirLanguageDriver) {
  ScratchFolder dir;
  const std::string path = dir.File("l7.dbf");
  CreateTable(path, 7, Defs(7, {{"A_LONG_FIELD_NAME", 'C', 5, 0}}), 0xC9);
  const auto bytes = Bytes(path);
  EXPECT_EQ(FieldText(bytes, 32, 10), std::string("DB1251RU0") + '\0');
  EXPECT_EQ(FieldText(bytes, 68, 17), "A_LONG_FIELD_NAME");
  auto table = OpenTable(path, TFileAccessMode::amReadOnly);
  EXPECT_EQ(table->TableLevel(), 7);
  EXPECT_EQ(table->TableCodePage(), 1251);
  EXPECT_EQ(table->LanguageId(), 0xC9);
  EXPECT_EQ(table->Level7LanguageName(), "DB1251RU0");
}

TEST(DbfFile, LanguageDriverByteTurnsALevel3TableIntoLevel4) {
  ScratchFolder dir;
  const std::string path = dir.File("d3.dbf");
  CreateTable(path, 3, Defs(3, {{"NAME", 'C', 10, 0}}));
  EXPECT_EQ(At(Bytes(path), 29), 0) << "level 3 writes no language driver";
  {
    auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
    EXPECT_EQ(table->TableLevel(), 3);
    EXPECT_EQ(table->TableCodePage(), 0);
    EXPECT_EQ(table->EffectiveCodePage(), DbfGlobals().default_code_page);
  }
  auto bytes = Bytes(path);
  bytes[29] = std::byte{0x65};
  platform::WriteWholeFile(path, bytes);
  auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
  EXPECT_EQ(table->TableLevel(), 4);
  EXPECT_EQ(table->TableCodePage(), 866);
  EXPECT_EQ(table->EffectiveCodePage(), 866);
}

TEST(DbfFile, AppendsInExclusiveModeReachTheHeaderAtClose) {
  ScratchFolder dir;
  const std::string path = dir.File("ex.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}}));
  auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
  auto r1 = NameRecord(*table, "one");
  auto r2 = NameRecord(*table, "two");
  EXPECT_EQ(table->Insert(r1), 1u);
  EXPECT_EQ(table->Insert(r2), 2u);
  EXPECT_EQ(table->RecordCount(), 2u);
  auto bytes = Bytes(path);
  EXPECT_EQ(core::GetU32LE(bytes, 4), 0u) << "the count waits for close";
  ASSERT_EQ(bytes.size(), 65u + 22) << "the file ends with the last record, no 0x1A";
  EXPECT_EQ(FieldText(bytes, 65 + 11, 11), " two       ");
  table->Close();
  bytes = Bytes(path);
  EXPECT_EQ(core::GetU32LE(bytes, 4), 2u);
  ExpectDatedToday(bytes);

  table = OpenTable(path, TFileAccessMode::amReadOnly);
  std::vector<std::byte> buffer(table->RecordSize());
  ASSERT_EQ(table->ReadRecord(1, buffer), 11u);
  EXPECT_EQ(buffer, r1);
}

TEST(DbfFile, MemoryTablesLiveInTheirStreamAndReopenAfterCreate) {
  platform::MemoryFile memory;
  TDbfFile table;
  table.SetMode(TFileAccessMode::amMemoryNew);
  table.SetMemoryStream(&memory);
  table.Create(Defs(4, {{"NAME", 'C', 10, 0}}), 0x65, 512);
  auto record = NameRecord(table, "mem");
  table.Insert(record);
  table.Close();
  EXPECT_EQ(core::GetU32LE(memory.Contents(), 4), 1u);
  // The mode Create left behind would empty the stream; opening takes the existing one.
  table.Open();
  ASSERT_TRUE(table.Active());
  EXPECT_EQ(table.Mode(), TFileAccessMode::amMemoryExisting);
  EXPECT_EQ(table.RecordCount(), 1u);
  std::vector<std::byte> buffer(table.RecordSize());
  table.ReadRecord(1, buffer);
  EXPECT_EQ(buffer, record);
}

TEST(DbfFile, OpenRepairsACountBehindTheFileAndStampsTheDate) {
  ScratchFolder dir;
  const std::string path = dir.File("repair.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}}));
  {
    auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
    for (const char* name : {"a", "b", "c"}) {
      auto r = NameRecord(*table, name);
      table->Insert(r);
    }
  }
  auto bytes = Bytes(path);
  core::PutU32LE(bytes, 4, 1);
  bytes[1] = std::byte{90};
  bytes[2] = std::byte{1};
  bytes[3] = std::byte{1};
  platform::WriteWholeFile(path, bytes);
  {
    auto table = OpenTable(path, TFileAccessMode::amSharedExisting);
    EXPECT_EQ(table->RecordCount(), 3u);
    // Shared: the repaired header is on disk at once, with the end-of-file byte.
    auto now = Bytes(path);
    EXPECT_EQ(core::GetU32LE(now, 4), 3u);
    ExpectDatedToday(now);
    EXPECT_EQ(now.size(), 65u + 33 + 1);
    EXPECT_EQ(At(now, now.size() - 1), 0x1A);
  }
}

TEST(DbfFile, ATableCutOffInTheMiddleOfARecordOpensWithEveryCompleteRecord) {
  ScratchFolder dir;
  const std::string path = dir.File("cut.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}}));
  {
    auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
    for (const char* name : {"a", "b", "c"}) {
      auto r = NameRecord(*table, name);
      table->Insert(r);
    }
  }
  auto bytes = Bytes(path);
  bytes.resize(65 + 11 * 2 + 5);  // the third append was cut off
  platform::WriteWholeFile(path, bytes);
  {
    auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
    EXPECT_EQ(table->RecordCount(), 2u);
    std::vector<std::byte> buffer(11);
    ASSERT_EQ(table->ReadRecord(2, buffer), 11u);
    EXPECT_EQ(FieldText(buffer, 1, 1), "b");
    // Appending after the repair puts the record where the cut one began.
    auto r = NameRecord(*table, "d");
    EXPECT_EQ(table->Insert(r), 3u);
  }
  bytes = Bytes(path);
  EXPECT_EQ(core::GetU32LE(bytes, 4), 3u);
  EXPECT_EQ(FieldText(bytes, 65 + 22 + 1, 1), "d");
}

// A level-4 header written by hand: fields (name, letter, length) and room for `slots`
// descriptors in the header length.
std::vector<std::byte> HandMadeTable(std::vector<std::tuple<std::string, char, int>> fields,
                                     size_t slots, int records) {
  const size_t header_length = 32 + 32 * slots + 1;
  int record_length = 1;
  for (auto& f : fields) record_length += std::get<2>(f);
  std::vector<std::byte> bytes(header_length + static_cast<size_t>(records * record_length),
                               std::byte{' '});
  std::fill(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(header_length),
            std::byte{0});
  bytes[0] = std::byte{0x03};
  bytes[29] = std::byte{0x65};
  core::PutU32LE(bytes, 4, static_cast<uint32_t>(records));
  core::PutU16LE(bytes, 8, static_cast<uint16_t>(header_length));
  core::PutU16LE(bytes, 10, static_cast<uint16_t>(record_length));
  size_t at = 32;
  for (auto& [name, letter, length] : fields) {
    for (size_t i = 0; i < name.size(); ++i) bytes[at + i] = static_cast<std::byte>(name[i]);
    bytes[at + 11] = static_cast<std::byte>(letter);
    bytes[at + 16] = static_cast<std::byte>(length);
    at += 32;
  }
  bytes[at] = std::byte{0x0D};
  return bytes;
}

TEST(DbfFile, DescriptorsEndAtAnEarlyTerminator) {
  ScratchFolder dir;
  const std::string path = dir.File("early.dbf");
  platform::WriteWholeFile(path, HandMadeTable({{"ONE", 'C', 4}, {"two", 'N', 3}}, 5, 2));
  auto table = OpenTable(path, TFileAccessMode::amReadOnly);
  ASSERT_EQ(table->FieldDefs().Count(), 2);
  EXPECT_EQ(table->FieldDefs()[1].FieldName(), "TWO");
  EXPECT_EQ(table->FieldDefs()[1].Offset(), 5);
  EXPECT_EQ(table->HeaderSize(), 32u + 5 * 32 + 1);
  EXPECT_EQ(table->RecordCount(), 2u);
}

// Level 7: ID (I, required) and NAME (C 10, default "DEFAULTVAL") in a property block.
std::vector<std::byte> Level7TableWithProperties() {
  const size_t p = 68 + 2 * 48 + 1;
  const size_t header_length = p + 46 + 10;
  std::vector<std::byte> bytes(header_length, std::byte{0});
  bytes[0] = std::byte{0x04};
  core::PutU16LE(bytes, 8, static_cast<uint16_t>(header_length));
  core::PutU16LE(bytes, 10, 15);
  const std::string driver = "DB866RU0";
  for (size_t i = 0; i < driver.size(); ++i) bytes[32 + i] = static_cast<std::byte>(driver[i]);
  bytes[68] = std::byte{'I'};
  bytes[68 + 1] = std::byte{'D'};
  bytes[68 + 32] = std::byte{'I'};
  bytes[68 + 33] = std::byte{4};
  const std::string name = "NAME";
  for (size_t i = 0; i < name.size(); ++i) bytes[116 + i] = static_cast<std::byte>(name[i]);
  bytes[116 + 32] = std::byte{'C'};
  bytes[116 + 33] = std::byte{10};
  bytes[p - 1] = std::byte{0x0D};
  core::PutU16LE(bytes, p, 2);
  core::PutU16LE(bytes, p + 2, 16);
  core::PutU16LE(bytes, p + 16 + 2, 2);
  bytes[p + 16 + 4] = std::byte{4};
  core::PutU16LE(bytes, p + 16 + 11, 46);
  core::PutU16LE(bytes, p + 16 + 13, 10);
  core::PutU16LE(bytes, p + 31 + 2, 1);
  bytes[p + 31 + 4] = std::byte{1};
  const std::string value = "DEFAULTVAL";
  for (size_t i = 0; i < value.size(); ++i) bytes[p + 46 + i] = static_cast<std::byte>(value[i]);
  return bytes;
}

TEST(DbfFile, Level7PropertyBlockGivesRequiredFlagsAndDefaults) {
  ScratchFolder dir;
  const std::string path = dir.File("props.dbf");
  platform::WriteWholeFile(path, Level7TableWithProperties());
  {
    auto table = OpenTable(path, TFileAccessMode::amReadOnly);
    EXPECT_EQ(table->TableCodePage(), 866);
    EXPECT_EQ(table->LanguageId(), 0x26);
    ASSERT_EQ(table->FieldDefs().Count(), 2);
    EXPECT_TRUE(table->FieldDefs()[0].Required());
    EXPECT_FALSE(table->FieldDefs()[1].Required());
    ASSERT_TRUE(table->FieldDefs()[1].HasDefault());
    EXPECT_EQ(FieldText(table->BlankRecord(), 5, 10), "DEFAULTVAL");
  }
  auto bytes = Level7TableWithProperties();
  core::PutU16LE(bytes, 68 + 96 + 1 + 16 + 11, 400);  // data far outside the header
  platform::WriteWholeFile(path, bytes);
  EXPECT_THROW(OpenTable(path, TFileAccessMode::amReadOnly), EDbfError);
}

TEST(DbfFile, NullableFoxProFieldsGetBitsInTheNullFlagsField) {
  ScratchFolder dir;
  const std::string path = dir.File("nulls.dbf");
  const size_t header_length = 32 + 4 * 32 + 1 + 263;
  std::vector<std::byte> bytes(header_length, std::byte{0});
  bytes[0] = std::byte{0x30};
  bytes[29] = std::byte{0x65};
  core::PutU16LE(bytes, 8, static_cast<uint16_t>(header_length));
  core::PutU16LE(bytes, 10, 1 + 5 + 5 + 3 + 1);
  const std::tuple<const char*, char, int, int> fields[] = {
      {"A", 'C', 5, 2}, {"B", 'N', 5, 0}, {"C", 'C', 3, 2}, {"_NullFlags", '0', 1, 0}};
  size_t at = 32;
  for (auto& [name, letter, length, flags] : fields) {
    for (size_t i = 0; name[i] != 0; ++i) bytes[at + i] = static_cast<std::byte>(name[i]);
    bytes[at + 11] = static_cast<std::byte>(letter);
    bytes[at + 16] = static_cast<std::byte>(length);
    bytes[at + 18] = static_cast<std::byte>(flags);
    at += 32;
  }
  bytes[at] = std::byte{0x0D};
  platform::WriteWholeFile(path, bytes);
  auto table = OpenTable(path, TFileAccessMode::amReadOnly);
  EXPECT_EQ(table->TableLevel(), 25);
  EXPECT_EQ(table->NullFlagsField(), 3);
  EXPECT_EQ(table->FieldDefs()[0].NullPosition(), 0);
  EXPECT_EQ(table->FieldDefs()[1].NullPosition(), -1);
  EXPECT_EQ(table->FieldDefs()[2].NullPosition(), 1);
  EXPECT_EQ(table->FieldDefs()[3].FieldName(), "_NULLFLAGS");
}

TEST(DbfFile, InvalidHeadersAreRefusedWithTheEnginesMessage) {
  ScratchFolder dir;
  const std::string path = dir.File("bad.dbf");
  auto expect_invalid = [&](std::vector<std::byte> bytes, const char* why) {
    platform::WriteWholeFile(path, bytes);
    TDbfFile table;
    table.SetFileName(path);
    table.SetMode(TFileAccessMode::amReadOnly);
    try {
      table.Open();
      ADD_FAILURE() << why << ": opened";
    } catch (const EDbfError& e) {
      EXPECT_STREQ(e.what(), "Invalid DBF file.") << why;
    }
    EXPECT_FALSE(table.Active()) << why;
  };
  auto good = HandMadeTable({{"ONE", 'C', 4}}, 1, 1);
  auto bytes = good;
  bytes[0] = std::byte{0x01};
  expect_invalid(bytes, "unknown version byte");
  bytes = HandMadeTable({{"", 'C', 4}}, 1, 1);
  expect_invalid(bytes, "empty field name");
  bytes = HandMadeTable({{"ONE", 'J', 4}}, 1, 1);
  expect_invalid(bytes, "unknown type letter");
  bytes = good;
  core::PutU16LE(bytes, 10, 3);
  expect_invalid(bytes, "fields longer than the record");
  bytes = HandMadeTable({{"WHEN", 'D', 4}, {"NEXT", 'C', 4}}, 2, 1);
  expect_invalid(bytes, "a date field too narrow for its encoding");
  bytes = good;
  core::PutU16LE(bytes, 8, 20);
  expect_invalid(bytes, "header shorter than its fixed part");
  expect_invalid(std::vector<std::byte>(12, std::byte{0x03}), "file shorter than its header");
}

TEST(DbfFile, ZeroLengthsAbandonTheOpenSilently) {
  ScratchFolder dir;
  const std::string path = dir.File("zero.dbf");
  auto bytes = HandMadeTable({{"ONE", 'C', 4}}, 1, 1);
  core::PutU16LE(bytes, 10, 0);
  platform::WriteWholeFile(path, bytes);
  TDbfFile table;
  table.SetFileName(path);
  table.SetMode(TFileAccessMode::amExclusiveExisting);
  EXPECT_NO_THROW(table.Open());
  EXPECT_TRUE(table.OpenAbandoned());
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(Bytes(path), bytes) << "nothing was rewritten";
}

TEST(DbfFile, GarbageHeadersNeverCrashTheReader) {
  ScratchFolder dir;
  const std::string path = dir.File("fuzz.dbf");
  auto base = HandMadeTable({{"ONE", 'C', 4}, {"N", 'N', 5}, {"D", 'D', 8}}, 3, 3);
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    auto bytes = base;
    int flips = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < flips; ++i) {
      bytes[random() % 140] = static_cast<std::byte>(random() & 0xFF);
    }
    platform::WriteWholeFile(path, bytes);
    TDbfFile table;
    table.SetFileName(path);
    table.SetMode(TFileAccessMode::amReadOnly);
    try {
      table.Open();
      if (table.Active()) {
        std::vector<std::byte> record(table.RecordSize());
        for (uint32_t n = 1; n <= table.RecordCount(); ++n) table.ReadRecord(n, record);
      }
    } catch (const EDbfError&) {
    }
  }
}

TEST(DbfFile, FieldCountsOutsideTheLimitsAreRefused) {
  ScratchFolder dir;
  TDbfFieldDefs defs(4);
  for (int i = 0; i < 4096; ++i) {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName("F" + std::to_string(i));
    def.SetNative('C', 1, 0);
  }
  TDbfFile table;
  table.SetFileName(dir.File("wide.dbf"));
  table.SetMode(TFileAccessMode::amExclusiveNew);
  try {
    table.Create(defs, 0, 512);
    FAIL();
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), "Invalid field count: 4096 (must be between 1 and 4095).");
  }
  EXPECT_FALSE(platform::FileExists(dir.File("wide.dbf"))) << "refused before touching disk";
  EXPECT_THROW(table.Create(TDbfFieldDefs(4), 0, 512), EDbfError);
}

TEST(DbfFile, MissingProductionIndexClearsTheFlagUnlessTheHandlerRefuses) {
  ScratchFolder dir;
  const std::string path = dir.File("mdx.dbf");
  auto bytes = HandMadeTable({{"ONE", 'C', 4}}, 1, 1);
  bytes[28] = std::byte{1};
  platform::WriteWholeFile(path, bytes);
  {
    TDbfFile table;
    table.SetFileName(path);
    table.SetMode(TFileAccessMode::amSharedExisting);
    table.SetOnIndexMissing([](bool& delete_link) { delete_link = false; });
    table.Open();
    EXPECT_TRUE(table.OpenAbandoned());
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(At(Bytes(path), 28), 1);
  }
  bool asked = false;
  TDbfFile table;
  table.SetFileName(path);
  table.SetMode(TFileAccessMode::amSharedExisting);
  table.SetOnIndexMissing([&](bool& delete_link) {
    asked = true;
    EXPECT_TRUE(delete_link);
  });
  table.Open();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(At(Bytes(path), 28), 0);
}

TEST(DbfFile, ReadOnlyOpenWritesNothing) {
  ScratchFolder dir;
  const std::string path = dir.File("ro.dbf");
  auto bytes = HandMadeTable({{"ONE", 'C', 4}}, 1, 2);
  core::PutU32LE(bytes, 4, 0);
  platform::WriteWholeFile(path, bytes);
  {
    auto table = OpenTable(path, TFileAccessMode::amReadOnly);
    EXPECT_EQ(table->RecordCount(), 2u);
  }
  EXPECT_EQ(Bytes(path), bytes);
}

TEST(DbfFile, EditingKeepsTheOldImageAndTheDbaseLockFieldNamesTheUser) {
  ScratchFolder dir;
  const std::string path = dir.File("lock.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}, {"_DBASELOCK", 'C', 30, 0}}));
  auto table = OpenTable(path, TFileAccessMode::amSharedExisting);
  ASSERT_EQ(table->LockField(), 1);
  auto record = NameRecord(*table, "before");
  table->Insert(record);

  std::vector<std::byte> buffer(table->RecordSize());
  table->LockRecord(1, buffer);
  EXPECT_EQ(FieldText(table->OldImage(), 1, 6), "before");
  // The counter of a new record counts on from the blank record's spaces.
  EXPECT_EQ(core::GetU16LE(table->OldImage().data() + 11), 0x2021u) << "filled once by the append";
  EXPECT_EQ(core::GetU16LE(buffer.data() + 11), 0x2022u);
  const std::string& user = DbfGlobals().user_name;
  EXPECT_EQ(FieldText(buffer, 19, user.size()), user);
  EXPECT_EQ(FieldText(buffer, 19 + user.size(), 22 - user.size()),
            std::string(22 - user.size(), ' '));
  std::vector<std::byte> on_disk(table->RecordSize());
  table->ReadAt(table->RecordPosition(1), on_disk);
  EXPECT_EQ(on_disk, buffer) << "the lock field is written at once";

  for (size_t i = 0; i < 5; ++i) buffer[1 + i] = std::byte{'A'};
  table->UnlockRecord(1, buffer);
  table->ReadAt(table->RecordPosition(1), on_disk);
  EXPECT_EQ(FieldText(on_disk, 1, 6), "AAAAAe");
}

// An index that logs what the data file asks of it and refuses keys on request.
class FakeIndex : public TRecordIndex {
 public:
  FakeIndex(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  void Insert(uint32_t n, std::span<const std::byte> record) override {
    Log("insert", n, record);
    if (refuse_) throw EDbfError("Key violation in " + name_);
    if (fail_write_) write_error_ = true;
  }
  void Update(uint32_t n, std::span<const std::byte> old_record,
              std::span<const std::byte> new_record) override {
    log_.push_back(name_ + " update " + std::to_string(n) + " " + Key(old_record) + "->" +
                   Key(new_record));
    if (refuse_) throw EDbfError("Key violation in " + name_);
  }
  void Delete(uint32_t n, std::span<const std::byte> record) override {
    Log("delete", n, record);
  }
  void RecordDeleted(uint32_t n, std::span<const std::byte> record) override {
    Log("deleted", n, record);
  }
  bool WriteError() const override { return write_error_; }
  void ResetWriteError() override { write_error_ = false; }
  TPagedFile* File() override { return nullptr; }

  bool refuse_ = false;
  bool fail_write_ = false;

 private:
  static std::string Key(std::span<const std::byte> record) {
    std::string key = FieldText(record, 1, 10);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    return key;
  }
  void Log(const char* what, uint32_t n, std::span<const std::byte> record) {
    log_.push_back(name_ + " " + what + " " + std::to_string(n) + " " + Key(record));
  }
  std::string name_;
  std::vector<std::string>& log_;
  bool write_error_ = false;
};

TEST(DbfFile, RefusedKeysAreRolledBackInReverseOrderAndNothingIsWritten) {
  ScratchFolder dir;
  const std::string path = dir.File("idx.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}}));
  auto table = OpenTable(path, TFileAccessMode::amSharedExisting);
  std::vector<std::string> log;
  auto owned_a = std::make_unique<FakeIndex>("A", log);
  auto owned_b = std::make_unique<FakeIndex>("B", log);
  auto owned_c = std::make_unique<FakeIndex>("C", log);
  FakeIndex* c = owned_c.get();
  table->AddIndex(std::move(owned_a));
  table->AddIndex(std::move(owned_b));
  table->AddIndex(std::move(owned_c));

  auto first = NameRecord(*table, "first");
  EXPECT_EQ(table->Insert(first), 1u);
  log.clear();

  // Append refused by the last index: the earlier keys go, in reverse order.
  c->refuse_ = true;
  auto second = NameRecord(*table, "second");
  EXPECT_THROW(table->Insert(second), EDbfError);
  EXPECT_EQ(log, (std::vector<std::string>{"A insert 2 second", "B insert 2 second",
                                           "C insert 2 second", "B delete 2 second",
                                           "A delete 2 second"}));
  EXPECT_EQ(table->RecordCount(), 1u);
  auto other = OpenTable(path, TFileAccessMode::amSharedExisting);
  EXPECT_EQ(core::GetU32LE(Bytes(path), 4), 1u);
  std::vector<std::byte> buffer(table->RecordSize());
  EXPECT_NO_THROW(other->LockRecord(2, buffer)) << "the append's record lock was released";
  other->CancelRecordLock(2);

  // Edit refused: the indexes already changed are changed back; the record stays locked
  // and unwritten.
  log.clear();
  table->LockRecord(1, buffer);
  auto edited = NameRecord(*table, "renamed");
  try {
    table->UnlockRecord(1, edited);
    FAIL();
  } catch (const EDbfError& e) {
    EXPECT_STREQ(e.what(), "Key violation in C");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"A update 1 first->renamed", "B update 1 first->renamed",
                                           "C update 1 first->renamed", "B update 1 renamed->first",
                                           "A update 1 renamed->first"}));
  EXPECT_THROW(other->LockRecord(1, buffer), EDbfError);
  std::vector<std::byte> on_disk(table->RecordSize());
  table->ReadAt(table->RecordPosition(1), on_disk);
  EXPECT_EQ(on_disk, first);

  // Accepted: every index updated, the record written and unlocked.
  c->refuse_ = false;
  log.clear();
  table->UnlockRecord(1, edited);
  EXPECT_EQ(log.size(), 3u);
  table->ReadAt(table->RecordPosition(1), on_disk);
  EXPECT_EQ(on_disk, edited);
  EXPECT_NO_THROW(other->LockRecord(1, buffer));

  log.clear();
  table->RecordDeleted(1, edited);
  EXPECT_EQ(log, (std::vector<std::string>{"A deleted 1 renamed", "B deleted 1 renamed",
                                           "C deleted 1 renamed"}));
}

TEST(DbfFile, WriteErrorsOnAppendRestoreTheCountAndSayWhatHappened) {
  platform::MemoryFile memory;
  TDbfFile table;
  table.SetMode(TFileAccessMode::amMemoryNew);
  table.SetMemoryStream(&memory);
  table.Create(Defs(4, {{"NAME", 'C', 10, 0}}), 0x65, 512);
  std::vector<std::string> log;
  auto owned = std::make_unique<FakeIndex>("A", log);
  FakeIndex* index = owned.get();
  table.AddIndex(std::move(owned));
  auto record = NameRecord(table, "one");
  ASSERT_EQ(table.Insert(record), 1u);

  // The index cannot store its key.
  index->fail_write_ = true;
  try {
    table.Insert(record);
    FAIL();
  } catch (const EDbfWriteError& e) {
    EXPECT_STREQ(e.what(), "Error while writing occurred; indexes probably corrupted. (Disk full?)");
  }
  EXPECT_EQ(log.back(), "A delete 2 one");
  EXPECT_FALSE(index->WriteError());
  index->fail_write_ = false;

  // The disk is full: only part of the record fits.
  memory.SetCapacity(memory.Contents().size() + 4);
  log.clear();
  try {
    table.Insert(record);
    FAIL();
  } catch (const EDbfWriteError& e) {
    EXPECT_STREQ(e.what(), "Error while writing occurred. (Disk full?)");
  }
  EXPECT_EQ(core::GetU32LE(table.Header(), 4), 1u);
  EXPECT_EQ(table.RecordCount(), 1u);
  EXPECT_EQ(log.back(), "A delete 2 one") << "no key points at the missing record";
  EXPECT_FALSE(table.WriteError());

  memory.SetCapacity(UINT64_MAX);
  EXPECT_EQ(table.Insert(record), 2u);
}

TEST(DbfFile, Level7AutoIncrementValuesComeFromTheHeader) {
  ScratchFolder dir;
  const std::string path = dir.File("auto.dbf");
  TDbfFieldDefs defs = Defs(7, {{"ID", '+', 4, 0}, {"NAME", 'C', 10, 0}});
  defs[0].SetAutoIncNext(1);
  CreateTable(path, 7, defs, 0xC9);
  for (auto mode : {TFileAccessMode::amSharedExisting, TFileAccessMode::amExclusiveExisting}) {
    auto table = OpenTable(path, mode);
    ASSERT_TRUE(table->HasAutoInc());
    std::vector<std::byte> record(table->RecordSize());
    table->InitRecord(record);
    table->Insert(record);
  }
  auto table = OpenTable(path, TFileAccessMode::amReadOnly);
  EXPECT_EQ(core::GetU32LE(table->Header(), 68 + 42), 3u);
  std::vector<std::byte> record(table->RecordSize());
  for (uint32_t n = 1; n <= 2; ++n) {
    table->ReadRecord(n, record);
    TFieldValue value;
    ASSERT_TRUE(GetFieldData(table->FieldDefs(), table->FieldDefs()[0],
                             data::TFieldType::ftAutoInc, record, &value));
    EXPECT_EQ(value.integer, static_cast<int64_t>(n));
  }
}

TEST(DbfFile, MemoFieldsUseTheMemoFileOrReadEmptyWithoutIt) {
  ScratchFolder dir;
  const std::string path = dir.File("memo.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}}));
  uint32_t block = 0;
  {
    auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
    ASSERT_NE(table->MemoFile(), nullptr);
    block = table->MemoFile()->WriteValue(Text("a long note"), 0, 0);
    EXPECT_EQ(block, 1u);
  }
  {
    auto table = OpenTable(path, TFileAccessMode::amReadOnly);
    EXPECT_EQ(table->MemoFile()->ReadValue(block).data, Text("a long note"));
  }
  platform::DeleteFile(dir.File("memo.dbt"));
  auto table = OpenTable(path, TFileAccessMode::amExclusiveExisting);
  ASSERT_NE(table->MemoFile(), nullptr);
  EXPECT_TRUE(table->MemoFile()->ReadValue(block).data.empty());
  EXPECT_FALSE(platform::FileExists(dir.File("memo.dbt"))) << "a missing memo file stays missing";
}

TEST(DbfFile, TemporaryExclusiveCoversTheMemoFile) {
  ScratchFolder dir;
  const std::string path = dir.File("sw.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}}));
  auto table = OpenTable(path, TFileAccessMode::amSharedExisting);
  auto open_for_writing = [](const std::string& p) {
    return platform::DiskFile::Open(p, platform::FileAccess::ReadWrite,
                                    platform::FileShare::DenyNone,
                                    platform::FileCreate::OpenExisting);
  };
  table->TryExclusive();
  EXPECT_THROW(open_for_writing(path), platform::ESharingViolation);
  EXPECT_THROW(open_for_writing(dir.File("sw.dbt")), platform::ESharingViolation);
  table->EndExclusive();
  EXPECT_NO_THROW(open_for_writing(path));
  EXPECT_NO_THROW(open_for_writing(dir.File("sw.dbt")));
  EXPECT_EQ(table->Mode(), TFileAccessMode::amSharedExisting);
}

// ---- two processes -------------------------------------------------------------------------

// Runs body in a child process; returns its exit code.
template <typename Body>
pid_t Spawn(Body body) {
  pid_t pid = fork();
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

TEST(DbfFile, TwoProcessesAppendingToOneSharedTableGetDistinctRecords) {
  ScratchFolder dir;
  const std::string path = dir.File("shared.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}}));
  auto appender = [&](char who) {
    return [&path, who]() {
      auto table = OpenTable(path, TFileAccessMode::amSharedExisting);
      for (int i = 0; i < 500; ++i) {
        auto record = NameRecord(*table, std::string(1, who) + std::to_string(i));
        table->Insert(record);
      }
      return 0;
    };
  };
  pid_t a = Spawn(appender('a'));
  pid_t b = Spawn(appender('b'));
  ASSERT_EQ(Wait(a), 0);
  ASSERT_EQ(Wait(b), 0);

  auto table = OpenTable(path, TFileAccessMode::amReadOnly);
  ASSERT_EQ(table->RecordCount(), 1000u);
  EXPECT_EQ(core::GetU32LE(table->Header(), 4), 1000u);
  std::set<std::string> names;
  std::vector<std::byte> record(table->RecordSize());
  for (uint32_t n = 1; n <= 1000; ++n) {
    ASSERT_EQ(table->ReadRecord(n, record), record.size());
    EXPECT_EQ(At(record, 0), ' ') << n;
    std::string name = FieldText(record, 1, 10);
    names.insert(name.substr(0, name.find(' ')));
  }
  EXPECT_EQ(names.size(), 1000u);
  EXPECT_TRUE(names.count("a499") && names.count("b0"));
}

TEST(DbfFile, ARecordLockedInOneProcessIsRefusedInAnotherAtOnce) {
  ScratchFolder dir;
  const std::string path = dir.File("proc.dbf");
  CreateTable(path, 4, Defs(4, {{"NAME", 'C', 10, 0}}));
  auto table = OpenTable(path, TFileAccessMode::amSharedExisting);
  auto r = NameRecord(*table, "x");
  table->Insert(r);
  std::vector<std::byte> buffer(table->RecordSize());
  table->LockRecord(1, buffer);
  pid_t child = Spawn([&path]() {
    auto other = OpenTable(path, TFileAccessMode::amSharedExisting);
    std::vector<std::byte> b(other->RecordSize());
    try {
      other->LockRecord(1, b);
      return 1;
    } catch (const EDbfError& e) {
      return std::string(e.what()) == "Record locked." ? 0 : 2;
    }
  });
  EXPECT_EQ(Wait(child), 0);
}

}  // namespace
}  // namespace lgoty::dbf
