// lgoty --list-report REGISTER --pdf OUT [--all], run as the program: the PDF's text holds
// every listed row in surname order with its cells, the summary and the page footers; a
// missing register or template ends with status 1 and leaves no file; the register's bytes
// are unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/register_files.h"
#include "tests/render/command_output.h"

namespace lgoty::app {
namespace {

using testing::Person;

const std::string kProgram = std::string(LGOTY_BINARY_DIR) + "/bin/lgoty";

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Row {
  int line = 0;
  int k = 0;           // the person: surname "Фамилия<100+k>", name "Имя<k>"
  std::string number;  // the prescription or work order cell
  std::string amount;  // the amount cell as printed
};

class ListReportBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  // 130 people written in scrambled order; every fourth has a zero amount.
  std::string Register(const std::vector<std::string>& fields) {
    std::vector<Person> people;
    for (int i = 0; i < 130; ++i) {
      const int k = (i * 53) % 130;
      Person p;
      p.famil = "Фамилия" + std::to_string(100 + k);
      p.imja = "Имя" + std::to_string(k);
      p.sumpay = k % 4 == 0 ? "0.00" : std::to_string(k) + ".25";
      p.number = "Н" + std::to_string(5000 + k);
      people.push_back(p);
    }
    const std::string path = folder_ + "reg.dbf";
    testing::WriteRegister(path, fields, people);
    return path;
  }
  // Runs the program; its status, with standard error kept in err_.
  int Run(const std::string& program, const std::string& args) {
    const std::string err = folder_ + "stderr.txt";
    const int status = std::system(("cd '" + folder_ + "' && '" + program + "' " + args + " 2>'" +
                                    err + "'").c_str());
    err_ = Bytes(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Text(const std::string& pdf) {
    return lgoty::testing::CommandOutput("pdftotext -layout '" + pdf + "' -");
  }
  // The rows of the text in order: "line  Фамилия1xx Имяk  number  amount".
  static std::vector<Row> Rows(const std::string& text) {
    static const std::regex row(
        R"(^\s*(\d+)\s+Фамилия(\d+) Имя(\d+)\s+(Н\d+)?\s+(\d[\d ]*,\d\d)\s*$)");
    std::vector<Row> rows;
    std::istringstream lines(text);
    std::string line;
    std::smatch m;
    while (std::getline(lines, line)) {
      if (!std::regex_match(line, m, row)) continue;
      Row r{std::stoi(m[1]), std::stoi(m[2]) - 100, m[4], m[5]};
      EXPECT_EQ(std::stoi(m[3]), r.k) << line;  // name and surname of one person
      rows.push_back(r);
    }
    return rows;
  }
  static std::string Amount(int k) { return k % 4 == 0 ? "0,00" : std::to_string(k) + ",25"; }
  static std::vector<std::string> Footers(const std::string& text) {
    static const std::regex footer(R"(страница (\d+) из (\d+))");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), footer);
         it != std::sregex_iterator(); ++it)
      found.push_back(it->str());
    return found;
  }

  std::string folder_;
  std::string err_;
};

TEST_F(ListReportBatch, MedicinesListsAmountsAboveZeroInSurnameOrderWithTheirCells) {
  const std::string reg = Register(testing::MedicinesFields());
  const std::string before = Bytes(reg);
  ASSERT_EQ(Run(kProgram, "--list-report reg.dbf --pdf list.pdf"), 0) << err_;
  const std::string text = Text(folder_ + "list.pdf");
  EXPECT_NE(text.find("Список льготников по услуге: Льготное обеспечение лекарственными препаратами"),
            std::string::npos) << text;
  EXPECT_NE(text.find("Рецепт"), std::string::npos);
  std::vector<Row> rows = Rows(text);
  int expected_k = 0, line = 0;
  double total = 0;
  for (const Row& r : rows) {
    while (expected_k % 4 == 0) ++expected_k;  // zero amounts are left out
    EXPECT_EQ(r.line, ++line);
    EXPECT_EQ(r.k, expected_k);
    EXPECT_EQ(r.number, "Н" + std::to_string(5000 + r.k));
    EXPECT_EQ(r.amount, Amount(r.k));
    total += r.k + 0.25;
    ++expected_k;
  }
  EXPECT_EQ(rows.size(), 97u);  // 130 less the 33 zero amounts
  char summary[96];
  std::snprintf(summary, sizeof summary, "Всего: записей - 97 на сумму : %.2f", total);
  std::string wanted = summary;
  wanted.replace(wanted.rfind('.'), 1, ",");
  EXPECT_NE(text.find(wanted), std::string::npos) << wanted << "\n" << text;
  const std::vector<std::string> footers = Footers(text);
  ASSERT_GE(footers.size(), 2u);
  for (size_t i = 0; i < footers.size(); ++i)
    EXPECT_EQ(footers[i], "страница " + std::to_string(i + 1) + " из " +
                              std::to_string(footers.size()));
  const std::string pages = lgoty::testing::CommandOutput("pdfinfo '" + folder_ + "list.pdf'");
  EXPECT_NE(pages.find("Pages:           " + std::to_string(footers.size())), std::string::npos)
      << pages;
  // Closed and unchanged: every record is where it was (the first open builds the production
  // index and the table engine ends the file with its end mark), and a second run, which
  // opens it exclusively again, leaves the bytes exactly as they are.
  const std::string after = Bytes(reg);
  ASSERT_GE(after.size(), before.size());
  EXPECT_EQ(after.substr(32, before.size() - 32), before.substr(32));
  std::filesystem::remove(folder_ + "list.pdf");
  ASSERT_EQ(Run(kProgram, "--list-report reg.dbf --pdf list.pdf"), 0) << err_;
  EXPECT_TRUE(Bytes(reg) == after);
}

TEST_F(ListReportBatch, DentalWithAllListsZeroAmountsAndTheWorkOrders) {
  Register(testing::DentalFields());
  ASSERT_EQ(Run(kProgram, "--list-report '" + folder_ + "reg.dbf' --pdf zuby.pdf --all"), 0)
      << err_;
  const std::string text = Text(folder_ + "zuby.pdf");
  EXPECT_NE(text.find("Список льготников по услуге: Изготовление и ремонт зубных протезов"),
            std::string::npos) << text;
  EXPECT_NE(text.find("Наряд"), std::string::npos);
  EXPECT_EQ(text.find("Рецепт"), std::string::npos);
  const std::vector<Row> rows = Rows(text);
  ASSERT_EQ(rows.size(), 130u);
  for (int k = 0; k < 130; ++k) {
    EXPECT_EQ(rows[k].line, k + 1);
    EXPECT_EQ(rows[k].k, k);
    EXPECT_EQ(rows[k].number, "Н" + std::to_string(5000 + k));
    EXPECT_EQ(rows[k].amount, Amount(k));
  }
  EXPECT_NE(text.find("Всего: записей - 130 на сумму"), std::string::npos);
  const std::vector<std::string> footers = Footers(text);
  ASSERT_GE(footers.size(), 3u);
  EXPECT_EQ(footers.back(), "страница " + std::to_string(footers.size()) + " из " +
                                std::to_string(footers.size()));
}

TEST_F(ListReportBatch, AMissingRegisterOrTemplateEndsWithStatusOneAndNoFile) {
  EXPECT_EQ(Run(kProgram, "--list-report absent.dbf --pdf out.pdf"), 1);
  EXPECT_NE(err_.find("absent.dbf"), std::string::npos) << err_;
  EXPECT_FALSE(std::filesystem::exists(folder_ + "out.pdf"));

  // The program copied to a folder without the template beside it.
  Register(testing::MedicinesFields());
  const std::string copy = folder_ + "lgoty";
  std::filesystem::copy_file(kProgram, copy);
  EXPECT_EQ(Run(copy, "--list-report reg.dbf --pdf out.pdf"), 1);
  EXPECT_NE(err_.find("Шаблон \"" + folder_ + "spisok1.fr3\" не найден"), std::string::npos)
      << err_;
  EXPECT_FALSE(std::filesystem::exists(folder_ + "out.pdf"));
  EXPECT_FALSE(std::filesystem::exists(folder_ + "out.pdf.partial"));
}

}  // namespace
}  // namespace lgoty::app
