// lgoty-report as a separate process: exit codes and the printed error list.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>

#include "platform/system.h"

namespace {

const std::string kTool = std::string(LGOTY_BINARY_DIR) + "/bin/lgoty-report";

struct ToolRun {
  int status;
  std::string out;
};

ToolRun RunTool(const std::string& args) {
  ToolRun run{-1, ""};
  // The tool runs under a locale without a language: code page 1251, decimal comma.
  std::FILE* pipe =
      popen(("LC_ALL=C.UTF-8 " + kTool + " " + args + " 2>/dev/null").c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(LgotyReportTool, CheckPrintsTheErrorListOfAFreshLoad) {
  std::string path = lgoty::platform::CreateTempFile("tool_check");
  std::ofstream(path, std::ios::binary)
      << "<?xml version=\"1.0\"?><TfrxReport><TfrxFoo/>"
         "<TfrxReportPage Name=\"P\" LeftMargin=\"x\"/></TfrxReport>";
  ToolRun run = RunTool("check " + path);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "'x' is not a valid floating point value\nНе удалось найти класс TfrxFoo\n");
  std::remove(path.c_str());
}

TEST(LgotyReportTool, ShippedTemplateChecksCleanAndResavesIdentically) {
  std::string source = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";
  ToolRun check = RunTool("check " + source);
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out, "");
  std::string out = lgoty::platform::CreateTempFile("tool_resave");
  EXPECT_EQ(RunTool("resave " + source + " " + out).status, 0);
  std::ifstream a(source, std::ios::binary), b(out, std::ios::binary);
  std::string sa((std::istreambuf_iterator<char>(a)), {}), sb((std::istreambuf_iterator<char>(b)), {});
  EXPECT_EQ(sa, sb);
  std::remove(out.c_str());
  EXPECT_EQ(RunTool("check /nonexistent/x.fr3").status, 2);
  EXPECT_EQ(RunTool("bogus").status, 2);
}

}  // namespace
