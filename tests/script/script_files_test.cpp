// Scripts with their expected output: the golden scripts of the interpreter and the
// differential programs whose expected output Free Pascal produced (fpc/generate.py).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "script_runner.h"

namespace lgoty::script {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs every NAME.pas of the folder and compares with NAME.out; returns the count.
int CheckFolder(const fs::path& folder) {
  testing::EnglishSettings english;
  int count = 0;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".pas") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& pas : files) {
    SCOPED_TRACE(pas.filename().string());
    fs::path out = pas;
    out.replace_extension(".out");
    EXPECT_TRUE(fs::exists(out));
    testing::RunResult r = testing::RunScript(ReadFile(pas));
    std::string actual = r.compiled ? r.Output() : "compile error " + r.error_pos + ": " + r.error + "\n";
    EXPECT_EQ(actual, ReadFile(out));
    ++count;
  }
  return count;
}

TEST(GoldenScripts, PrintTheirExpectedOutput) {
  EXPECT_GE(CheckFolder(fs::path(LGOTY_SOURCE_DIR) / "tests/script/golden"), 8);
}

TEST(DifferentialPrograms, PrintWhatFreePascalPrinted) {
  EXPECT_GE(CheckFolder(fs::path(LGOTY_SOURCE_DIR) / "tests/script/fpc"), 40);
}

}  // namespace
}  // namespace lgoty::script
