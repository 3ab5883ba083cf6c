// lgoty-sql run as a program: JSON lines, CSV, the table list, and errors on standard error.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>

#include "sql_fixture.h"

namespace lgoty::sql {
namespace {

using testing::Cell;

struct Output {
  int status = -1;
  std::string text;
};

Output RunTool(const std::string& arguments) {
  const std::string command =
      std::string(LGOTY_BINARY_DIR) + "/bin/lgoty-sql " + arguments + " 2>&1";
  Output out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, n);
  const int status = pclose(pipe);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST(LgotySqlTool, PrintsRowsAsJsonLinesOrCsvAndReportsErrors) {
  testing::ScratchFolder folder;
  testing::MakeTable(folder.File("reg.dbf"),
                     {{"FAMIL", 'C', 20, 0}, {"SUMPAY", 'N', 10, 2}, {"D", 'D', 8, 0}},
                     {{{Cell("Ёлкин, \"А\""), Cell("1.50"), Cell("20240229")}},
                      {{Cell("Елкин"), Cell(), Cell()}}});
  const std::string where = "'" + folder.Path() + "' ";

  Output json = RunTool(where + "\"select * from 'reg' ORDER BY FAMIL \"");
  EXPECT_EQ(json.status, 0) << json.text;
  EXPECT_EQ(json.text,
            "{\"FAMIL\":\"Елкин\",\"SUMPAY\":null,\"D\":null}\n"
            "{\"FAMIL\":\"Ёлкин, \\\"А\\\"\",\"SUMPAY\":1.5,\"D\":\"2024-02-29\"}\n");

  Output csv = RunTool("--csv " + where + "\"select * from reg where SUMPAY > 0\"");
  EXPECT_EQ(csv.status, 0) << csv.text;
  EXPECT_EQ(csv.text, "FAMIL,SUMPAY,D\n\"Ёлкин, \"\"А\"\"\",1.5,2024-02-29\n");

  Output tables = RunTool("--tables " + where);
  EXPECT_EQ(tables.text,
            "{\"TABLE_CATALOG\":null,\"TABLE_SCHEMA\":null,\"TABLE_NAME\":\"reg\","
            "\"TABLE_TYPE\":\"TABLE\"}\n");

  Output param = RunTool("--param 'n=Елкин' " + where + "\"select count(*) AS C from reg where FAMIL = :n\"");
  EXPECT_EQ(param.text, "{\"C\":1}\n");

  Output refused = RunTool(where + "\"DELETE FROM reg\"");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.text.find("DELETE is not allowed"), std::string::npos) << refused.text;

  Output missing = RunTool("/no/such/folder/ \"select 1\"");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.text.find("/no/such/folder/"), std::string::npos);

  EXPECT_EQ(RunTool("").status, 2);
}

TEST(LgotySqlTool, HelpAndTimeLimitsOutsideTheirRangeAreAnswered) {
  testing::ScratchFolder folder;
  testing::MakeTable(folder.File("reg.dbf"), {{"FAMIL", 'C', 20, 0}}, {{{Cell("A")}}});
  const std::string where = "'" + folder.Path() + "' ";
  for (const char* help : {"--help", "-h"}) {
    const Output out = RunTool(help);
    EXPECT_EQ(out.status, 0) << help;
    EXPECT_EQ(out.text.rfind("usage: lgoty-sql", 0), 0u) << out.text;
  }
  for (const char* bad : {"-1", "99999999999", "86401", "3s", "", "1.5"}) {
    const Output out = RunTool(std::string("--timeout '") + bad + "' " + where + "\"select 1\"");
    EXPECT_EQ(out.status, 2) << bad;
    EXPECT_NE(out.text.find("bad time limit"), std::string::npos) << bad << out.text;
  }
  for (const char* good : {"0", "86400", "3"}) {
    const Output out = RunTool(std::string("--timeout ") + good + " " + where + "\"select count(*) AS C from reg\"");
    EXPECT_EQ(out.status, 0) << good << out.text;
    EXPECT_EQ(out.text, "{\"C\":1}\n");
  }
  const Output big = RunTool("--timeout 3 " + where + "\"SELECT length(printf('%.*c',2000000000,'x'))\"");
  EXPECT_EQ(big.status, 1);
  EXPECT_NE(big.text.find("too big"), std::string::npos) << big.text;
}

}  // namespace
}  // namespace lgoty::sql
