// Tables written by other tools (tests/fixtures/dbf, provenance in its README) read with our
// engine and compared, header fact by fact and value by value, with what dbfread read from
// them.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/json.h"
#include "dbf_test_support.h"
#include "interop_support.h"

namespace lgoty::dbf {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(LGOTY_SOURCE_DIR) / "tests/fixtures/dbf";

core::JsonValue LoadJson(const std::filesystem::path& path) {
  const std::vector<std::byte> bytes = platform::ReadWholeFile(path.string());
  return core::ParseJson(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

class Fixture : public ::testing::TestWithParam<const char*> {};

TEST_P(Fixture, ReadsAsDbfreadDid) {
  const std::string name = GetParam();
  const core::JsonValue expected = LoadJson(kFixtures / (name + ".dbfread.json"));
  // Work on copies: opening a table may rewrite its header.
  testing::ScratchFolder dir;
  for (const char* ext : {".dbf", ".dbt", ".fpt"}) {
    const auto source = kFixtures / (name + ext);
    if (std::filesystem::exists(source))
      std::filesystem::copy_file(source, dir.File(name + ext));
  }
  TDbfFile file;
  const interop::EngineTable table = interop::ReadWithEngine(file, dir.File(name + ".dbf"));

  const core::JsonValue& header = *expected.Find("header");
  EXPECT_EQ(table.header_length, static_cast<size_t>(header.Find("header_length")->AsDouble()));
  EXPECT_EQ(table.record_length, static_cast<size_t>(header.Find("record_length")->AsDouble()));
  EXPECT_EQ(table.ldid, std::stoi(header.Find("ldid")->AsString(), nullptr, 16));
  EXPECT_EQ(table.code_page, 866);
  const auto& fields = expected.Find("fields")->Items();
  ASSERT_EQ(table.fields.size(), fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    const TDbfFieldDef& def = *table.fields[i];
    EXPECT_EQ(def.FieldName(), fields[i].Find("name")->AsString());
    EXPECT_EQ(std::string(1, static_cast<char>(def.NativeFieldType())),
              fields[i].Find("type")->AsString());
    EXPECT_EQ(def.Size(), static_cast<int>(fields[i].Find("length")->AsDouble()));
    EXPECT_EQ(def.Precision(), static_cast<int>(fields[i].Find("decimals")->AsDouble()));
    EXPECT_EQ(def.Offset(), static_cast<int>(fields[i].Find("offset")->AsDouble()));
  }

  const auto& records = expected.Find("records")->Items();
  ASSERT_EQ(table.records.size(), records.size());
  EXPECT_EQ(table.records.size(), static_cast<size_t>(header.Find("records")->AsDouble()));
  for (size_t r = 0; r < records.size(); ++r) {
    const interop::EngineRecord& ours = table.records[r];
    EXPECT_EQ(ours.deleted, records[r].Find("_deleted")->AsBoolean()) << "record " << r + 1;
    for (const TDbfFieldDef* def : table.fields) {
      const core::JsonValue* want = records[r].Find(def->FieldName());
      ASSERT_NE(want, nullptr) << def->FieldName();
      interop::ExpectSameValue(static_cast<char>(def->NativeFieldType()), *want,
                               ours.values.at(def->FieldName()),
                               name + " record " + std::to_string(r + 1) + " " + def->FieldName());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OtherWriters, Fixture,
                         ::testing::Values("pydbf_db3", "pydbf_db3_memo", "pydbf_fp_memo",
                                           "pydbf_vfp_memo", "perl_db4_memo", "xb_reg"));

TEST(FixtureLevels, VersionBytesGiveTheDialect) {
  struct Case {
    const char* name;
    int level;
  };
  // A dBASE III file with a language driver byte opens as level 4.
  for (const Case& c : {Case{"pydbf_db3", 4}, Case{"pydbf_fp_memo", 25},
                        Case{"pydbf_vfp_memo", 25}, Case{"perl_db4_memo", 4}}) {
    testing::ScratchFolder dir;
    for (const char* ext : {".dbf", ".dbt", ".fpt"}) {
      const auto source = kFixtures / (std::string(c.name) + ext);
      if (std::filesystem::exists(source))
        std::filesystem::copy_file(source, dir.File(std::string(c.name) + ext));
    }
    TDbfFile file;
    file.SetFileName(dir.File(std::string(c.name) + ".dbf"));
    file.SetMode(TFileAccessMode::amReadOnly);
    file.Open();
    EXPECT_EQ(file.TableLevel(), c.level) << c.name;
  }
}

}  // namespace
}  // namespace lgoty::dbf
