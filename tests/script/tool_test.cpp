// lgoty-script as a program: ShowMessage on standard output, "LINE:COL: MESSAGE" and exit
// code 1 for a compile error, the message and exit code 2 for an uncaught run-time error.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

ToolRun RunTool(const std::string& script) {
  const fs::path tool = fs::path(LGOTY_BINARY_DIR) / "bin" / "lgoty-script";
  const fs::path dir = fs::temp_directory_path() / ("lgoty_script_tool_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "s.pas") << script;
  const std::string command = tool.string() + " " + (dir / "s.pas").string() + " --locale en_US > " +
                              (dir / "out").string() + " 2> " + (dir / "err").string();
  ToolRun r;
  const int status = std::system(command.c_str());
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto read = [](const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  r.out = read(dir / "out");
  r.err = read(dir / "err");
  fs::remove_all(dir);
  return r;
}

TEST(LgotyScript, ShowMessagePrintsAndTheExitCodesTellTheOutcome) {
  ASSERT_TRUE(fs::exists(fs::path(LGOTY_BINARY_DIR) / "bin" / "lgoty-script"));
  ToolRun ok = RunTool("begin ShowMessage('one'); ShowMessage(7 / 2); end.");
  EXPECT_EQ(ok.exit_code, 0);
  EXPECT_EQ(ok.out, "one\n3.5\n");

  ToolRun syntax = RunTool("begin\n  x := ;\nend.");
  EXPECT_EQ(syntax.exit_code, 1);
  EXPECT_EQ(syntax.err, "2:8: Expression expected\n");
  EXPECT_EQ(syntax.out, "");

  ToolRun runtime = RunTool("begin ShowMessage('before'); StrToInt('x'); ShowMessage('after'); end.");
  EXPECT_EQ(runtime.exit_code, 2);
  EXPECT_EQ(runtime.out, "before\n");
  EXPECT_EQ(runtime.err, "'x' is not a valid integer value\n");
}

}  // namespace
