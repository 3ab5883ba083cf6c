// lgoty-dbf's dataset commands run as a program: locate and dumps through TDbf.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace lgoty::tools {
namespace {

const std::string kBin = std::string(LGOTY_BINARY_DIR) + "/bin/";

struct Output {
  int status = -1;
  std::string text;
};

Output Shell(const std::string& command) {
  Output result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) result.text.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

size_t CountLines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

class DatasetCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "lgoty-tds-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
    table_ = dir_ + "reg.dbf";
    ASSERT_EQ(Shell(kBin + "lgoty-dbf create " + table_ +
                    " --level 4 --ldid 0x65 FAMIL:C:20 IMJA:C:15 SUMPAY:N:12:2")
                  .status,
              0);
    const char* rows =
        "{\"FAMIL\":\"ПЕТРОВ\",\"IMJA\":\"Иван\",\"SUMPAY\":1}\n"
        "{\"FAMIL\":\"ИВАНОВ\",\"IMJA\":\"Петр\",\"SUMPAY\":2}\n"
        "{\"FAMIL\":\"ИВАНОВА\",\"IMJA\":\"Анна\",\"SUMPAY\":3}\n"
        "{\"FAMIL\":\"СИДОРОВ\",\"IMJA\":\"петр\",\"SUMPAY\":4}\n";
    ASSERT_EQ(Shell("printf '%s' '" + std::string(rows) + "' | " + kBin + "lgoty-dbf append " +
                    table_)
                  .status,
              0);
    ASSERT_EQ(Shell(kBin + "lgoty-dbf index " + table_ + " --tag FAMIL --expr FAMIL").status, 0);
    ASSERT_EQ(Shell(kBin + "lgoty-dbf delete " + table_ + " 2").status, 0);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  Output Dbf(const std::string& args) { return Shell(kBin + "lgoty-dbf " + args); }

  std::string dir_, table_;
};

TEST_F(DatasetCommands, LocateOnTheTagLandsOnTheNextVisibleSurname) {
  // ИВАНОВ (record 2) is deleted: the partial key ИВ lands on ИВАНОВА.
  Output found = Dbf("locate " + table_ + " FAMIL ИВ --partial");
  EXPECT_EQ(found.status, 0);
  EXPECT_NE(found.text.find("\"_recno\":3"), std::string::npos) << found.text;
  found = Dbf("locate " + table_ + " FAMIL ИВАНОВ");
  EXPECT_EQ(found.status, 1) << found.text;
  EXPECT_EQ(found.text, "");
  found = Dbf("locate " + table_ + " FAMIL ЯЯ --partial");
  EXPECT_EQ(found.status, 1);
}

TEST_F(DatasetCommands, LocateByScanHonoursCaseInsensitivity) {
  Output found = Dbf("locate " + table_ + " IMJA петр");
  EXPECT_EQ(found.status, 0);
  EXPECT_NE(found.text.find("\"_recno\":4"), std::string::npos) << found.text;
  found = Dbf("locate " + table_ + " \"FAMIL;IMJA\" \"петров;иван\" --case-insensitive");
  EXPECT_EQ(found.status, 0);
  EXPECT_NE(found.text.find("\"_recno\":1"), std::string::npos) << found.text;
  EXPECT_EQ(Dbf("locate " + table_ + " \"FAMIL;IMJA\" ПЕТРОВ").status, 1);
}

TEST_F(DatasetCommands, DumpsFollowTheIndexFilterOptionsAndDeletedRule) {
  Output dump = Dbf("dump " + table_ + " --index FAMIL");
  EXPECT_EQ(CountLines(dump.text), 3u) << dump.text;
  EXPECT_LT(dump.text.find("ИВАНОВА"), dump.text.find("ПЕТРОВ"));
  EXPECT_EQ(CountLines(Dbf("dump " + table_ + " --index FAMIL --show-deleted").text), 4u);
  EXPECT_EQ(CountLines(Dbf("dump " + table_ + " --filter \"IMJA = 'ПЕТР'\"").text), 0u);
  EXPECT_EQ(CountLines(
                Dbf("dump " + table_ + " --filter \"IMJA = 'ПЕТР'\" --case-insensitive").text),
            1u);
  EXPECT_EQ(CountLines(Dbf("dump " + table_ +
                           " --filter \"IMJA = 'ПЕТР'\" --case-insensitive --show-deleted")
                           .text),
            2u);
  const Output bad = Dbf("dump " + table_ + " --index NOSUCH");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.text.find("Index \"NOSUCH\" does not exist."), std::string::npos);
}

}  // namespace
}  // namespace lgoty::tools
