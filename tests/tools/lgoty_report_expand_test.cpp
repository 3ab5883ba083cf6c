// lgoty-report expand run as a program: the list template over a small register folder
// (the OK handler's query opened on its first row), variables given as expression texts,
// and the error list with its exit status.
#include <gtest/gtest.h>

#include "../app/register_files.h"
#include "tool_test_support.h"

namespace lgoty::tools {
namespace {

const std::string kTemplate = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";

class LgotyReportExpand : public ToolTest {
 protected:
  // A medicines register: the blank surname reads as Null through the query, a zero
  // amount is left out by the template's "Больше 0" check box.
  void WriteReg() {
    app::testing::WriteRegister(File("reg.dbf"), app::testing::MedicinesFields(),
                                {{"Яковлев", "150.00", "Пётр", "ЛС 000003"},
                                 {"Борисова", "0.00", "Анна", "ЛС 000002"},
                                 {"Андреев", "1234.50", "Олег", "ЛС 000001"},
                                 {"", "20.00", "Нина", "ЛС 000004"}});
  }
  Result Expand(const std::string& args) { return Run("lgoty-report", "expand " + args); }
};

TEST_F(LgotyReportExpand, TheListTemplatesQueryOnItsFirstRow) {
  WriteReg();
  const std::string base = kTemplate + " --connection " + dir_ +
                           " --var \"OFName='reg'\" --var \"usl='Лекарства'\" --call Button1OnClick --first-row";
  const std::string texts =
      " '[ADOQuery1.\"FAMIL\"]|[ADOQuery1.\"IMJA\"]|[ADOQuery1.\"SUMPAY\"]'"
      " '[IIF(<vid>=1,<ADOQuery1.\"RECEPT\">,IIF(<vid>=2,<ADOQuery1.\"NARYD\">, '\"''\"'))]'"
      " 'По услуге: [usl]'";
  // Null sorts first: the row without a surname prints an empty surname.
  Result r = Expand(base + " --var vid=1" + texts);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "|Нина|20\nЛС 000004\nПо услуге: Лекарства\n");
  // The register kind chooses the number column; vid 0 prints none.
  r = Expand(base + " --var vid=0" + texts);
  EXPECT_EQ(r.out, "|Нина|20\n\nПо услуге: Лекарства\n");
  EXPECT_EQ(r.status, 0);
  // A dental register's column is not in a medicines register: the error is listed.
  r = Expand(base + " --var vid=2" + texts);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("NARYD"), std::string::npos) << r.err;
}

TEST_F(LgotyReportExpand, WithoutTheOkHandlerTheQueryHasNoTextToOpen) {
  WriteReg();
  Result r = Expand(kTemplate + " --connection " + dir_ +
                    " --var \"OFName='reg'\" --var vid=1 --first-row '[ADOQuery1.\"FAMIL\"]'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err, "");
}

TEST_F(LgotyReportExpand, WithoutATemplateVariablesAreExpressionTexts) {
  Result r = Expand("--var \"t='a b'\" --var n=2 --var \"e=<n>*10\" '[t]' '[<n>+1]' '<[e]>' '[IIF(1=1,'\"'[x]'\"','\"'y'\"')]' '[1+'");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "a b\n3\n<20>\n[x]\n[1+\n");
}

TEST_F(LgotyReportExpand, ErrorsGoToStandardErrorWithExitStatusOne) {
  Result r = Expand("'[<Nope>]' '[1 +* 2]' ok");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\n\nok\n");
  EXPECT_NE(r.err.find("Неизвестная переменная или поле БД: Nope"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Ошибка в выражении '1 +* 2'"), std::string::npos) << r.err;
  // A variable that needs its own value is refused, not evaluated without end.
  r = Expand("--var \"a=<a>+1\" '[a]'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\n");
  EXPECT_NE(r.err, "");
}

TEST_F(LgotyReportExpand, BadArgumentsAndAMissingFolderAreRefused) {
  EXPECT_EQ(Expand("--bogus x").status, 2);
  EXPECT_EQ(Expand("--var =1 x").status, 2);
  Result r = Expand(kTemplate + " --connection " + dir_ + "missing/ x");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");
}

}  // namespace
}  // namespace lgoty::tools
