#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/folder.h"
#include "tests/platform/test_support.h"

namespace lgoty::platform {
namespace {

TEST(Folder, ListsTheRegularFilesByName) {
  testing::ScratchFolder scratch;
  const std::filesystem::path root = scratch.Path();
  std::ofstream(root / "b.dbf") << "x";
  std::ofstream(root / "A.DBF") << "x";
  std::filesystem::create_directory(root / "sub.dbf");
  std::filesystem::create_symlink(root / "b.dbf", root / "link.dbf");

  EXPECT_TRUE(DirectoryExists(root.string()));
  EXPECT_TRUE(DirectoryExists((root / "sub.dbf").string()));
  EXPECT_FALSE(DirectoryExists((root / "b.dbf").string()));
  EXPECT_FALSE(DirectoryExists((root / "none").string()));

  std::error_code error;
  std::vector<std::string> names = FilesInFolder(root.string(), error);
  EXPECT_FALSE(error);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.DBF", "b.dbf", "link.dbf"}));

  EXPECT_TRUE(FilesInFolder((root / "none").string(), error).empty());
  EXPECT_TRUE(error);
}

}  // namespace
}  // namespace lgoty::platform
