// Inputs the dbf_open_fuzz target once found, replayed through the same driver. They are the
// files named dbf-open-* in tests/fixtures/dbf/fuzz/, each named after what went wrong.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/byte_codec.h"
#include "fuzz/dbf_fuzz_driver.h"
#include "platform/file.h"

namespace lgoty::dbf {
namespace {

TEST(FuzzRegression, EveryFoundInputIsHandled) {
  const std::filesystem::path folder =
      std::filesystem::path(LGOTY_SOURCE_DIR) / "tests/fixtures/dbf/fuzz";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("dbf-open-", 0) != 0) continue;
    const std::vector<std::byte> input = platform::ReadWholeFile(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_NO_THROW(fuzz::RunDbfOpenInput(reinterpret_cast<const uint8_t*>(input.data()),
                                          input.size()));
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

// A memo header whose next-free block number is garbage far beyond the end of the file:
// a new value goes at the end of the file instead of terabytes further on.
TEST(FuzzRegression, MemoValueOfDamagedHeaderGoesToTheEndOfTheFile) {
  platform::MemoryFile table("t.dbf");
  platform::MemoryFile memo("t.dbt");
  {
    TDbfFieldDefs defs(kTableLevel4);
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName("NOTE");
    def.SetNative('M', 10, 0);
    TDbfFile file;
    file.SetFileName("t.dbf");
    file.SetMode(TFileAccessMode::amMemoryNew);
    file.SetMemoryStream(&table);
    file.SetMemoMemoryStream(&memo);
    file.Create(defs, 0x65, 512);
    file.Close();
  }
  ASSERT_GE(memo.Contents().size(), 4u);
  core::PutU32LE(memo.Contents().data(), 0x7FFF'0000u);
  TDbfFile file;
  file.SetFileName("t.dbf");
  file.SetMode(TFileAccessMode::amMemoryExisting);
  file.SetMemoryStream(&table);
  file.SetMemoMemoryStream(&memo);
  file.Open();
  const std::byte text[] = {std::byte{'h'}, std::byte{'i'}};
  const uint32_t block = file.MemoFile()->WriteValue(text, 0, 0);
  EXPECT_EQ(block, 1u);
  EXPECT_EQ(memo.Contents().size(), 1024u);
  EXPECT_EQ(file.MemoFile()->ReadValue(block).data.size(), 2u);
}

}  // namespace
}  // namespace lgoty::dbf
