// Machine facts and file-name helpers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/file.h"
#include "platform/system.h"
#include "tests/platform/test_support.h"

namespace lgoty::platform {
namespace {

TEST(PathHelpers, SplitFolderNameAndExtension) {
  struct Case {
    std::string path, folder, name, ext, changed;
  };
  const Case cases[] = {
      {"a/b/c.dbf", "a/b/", "c.dbf", ".dbf", "a/b/c.mdx"},
      {"/data/spisok1.fr3", "/data/", "spisok1.fr3", ".fr3", "/data/spisok1.mdx"},
      {"C:\\base\\lgoty.DBF", "C:\\base\\", "lgoty.DBF", ".DBF", "C:\\base\\lgoty.mdx"},
      {"mixed/dir\\x.y.z", "mixed/dir\\", "x.y.z", ".z", "mixed/dir\\x.y.mdx"},
      {"dir.d/noext", "dir.d/", "noext", "", "dir.d/noext.mdx"},
      {"folder/", "folder/", "", "", "folder/.mdx"},
      {"plain", "", "plain", "", "plain.mdx"},
      {"", "", "", "", ".mdx"},
      {"trailing.", "", "trailing.", ".", "trailing.mdx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ExtractFilePath(c.path), c.folder);
    EXPECT_EQ(ExtractFileName(c.path), c.name);
    EXPECT_EQ(ExtractFileExt(c.path), c.ext);
    EXPECT_EQ(ChangeFileExt(c.path, ".mdx"), c.changed);
  }
  EXPECT_EQ(ChangeFileExt("a/b.dbf", ""), "a/b");
}

TEST(System, CreateTempFileMakesDistinctEmptyFilesInTheTempFolder) {
  testing::ScratchFolder folder;
  const char* saved = getenv("TMPDIR");
  const std::string old = saved ? saved : "";
  setenv("TMPDIR", folder.Path().c_str(), 1);
  const std::string first = CreateTempFile("lgt");
  const std::string second = CreateTempFile("lgt");
  const std::string sneaky = CreateTempFile("../escape");
  setenv("TMPDIR", (folder.Path() + "/missing").c_str(), 1);
  EXPECT_THROW(CreateTempFile("x"), EFileError);
  if (saved) {
    setenv("TMPDIR", old.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second, sneaky}) {
    EXPECT_EQ(ExtractFilePath(path), folder.Path() + "/") << path;
    EXPECT_TRUE(FileExists(path)) << path;
    EXPECT_TRUE(ReadWholeFile(path).empty()) << path;
  }
  EXPECT_EQ(ExtractFileName(first).rfind("lgt", 0), 0u);
}

TEST(System, ComputerAndProgramFacts) {
  const std::string computer = ComputerName();
  EXPECT_LE(computer.size(), 15u);
  EXPECT_EQ(computer.find_first_of("abcdefghijklmnopqrstuvwxyz."), std::string::npos) << computer;

  EXPECT_EQ(ProgramName(), "platform_tests");
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(FileExists(folder + "platform_tests"));
}

}  // namespace
}  // namespace lgoty::platform
