// The List report command without windows: the register's folder as the connection, the
// template beside the program, the five variables, the register shared for the run and
// exclusive again afterwards, a file chosen for the report only forgotten again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/register_state.h"
#include "core/format_settings.h"
#include "report/batch_dialog_host.h"
#include "report/expressions.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/views.h"
#include "tests/app/register_files.h"
#include "tests/app/scripted_port.h"

namespace lgoty::app {
namespace {

using testing::Person;

// Every memo text of every prepared page, in page order, one string per page.
std::vector<std::string> PageTexts(report::TfrxReport& report) {
  std::vector<std::string> pages;
  report::TfrxPreviewPages& prepared = report.PreviewPages();
  for (int i = 0; i < prepared.Count(); ++i) {
    std::string text;
    report::TfrxReportPage* page = prepared.Page(i);
    if (!page) continue;
    for (report::TfrxComponent* c : page->AllObjects())
      if (auto* memo = dynamic_cast<report::TfrxCustomMemoView*>(c)) text += memo->Text() + "\n";
    pages.push_back(text);
  }
  return pages;
}

class ListReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    state_.SetTemplateFolder(std::string(LGOTY_SOURCE_DIR) + "/templates");
    port_.show_report = [this](report::TfrxReport& report) {
      shared_during_run_ = !state_.Table1().Active() || !state_.Table1().Exclusive();
      vid_ = report.Calc("vid");
      report::BatchDialogHost dialogs;
      dialogs.Set(std::string("CheckBox1.Checked=") + (checked_ ? "True" : "False"));
      report.SetDialogHost(&dialogs);
      prepared_ = report.Prepare(true);
      report.SetDialogHost(nullptr);
      for (int i = 0; i < report.Errors().Count(); ++i) errors_.push_back(report.Errors()[i]);
      pages_ = PageTexts(report);
    };
  }
  std::string Register(const std::vector<std::string>& fields = testing::MedicinesFields()) {
    const std::string path = folder_ + "reg.dbf";
    testing::WriteRegister(path, fields,
                           {{"Сидоров", "100.00", "Олег", "ЛС 1"},
                            {"Абрамов", "0.00", "Пётр", "ЛС 2"},
                            {"Петров", "50.50", "Иван", "ЛС 3"}});
    return path;
  }
  std::string All() const {
    std::string all;
    for (const std::string& p : pages_) all += p;
    return all;
  }

  std::string folder_;
  testing::ScriptedPort port_;
  TRegisterState state_{port_, "lgoty", core::FormatSettings::Russian()};
  bool checked_ = true;
  bool shared_during_run_ = false;
  bool prepared_ = false;
  core::Variant vid_;
  std::vector<std::string> errors_;
  std::vector<std::string> pages_;
};

TEST_F(ListReportTest, OpenMedicinesRegisterIsListedSharedAndComesBackExclusiveOnItsRow) {
  state_.OpenRegister(Register());
  state_.Edit1Change("Пет");
  state_.fr31Click();
  ASSERT_TRUE(port_.messages.empty()) << port_.messages[0].text;
  ASSERT_EQ(port_.reports_shown, 1);
  EXPECT_TRUE(prepared_);
  EXPECT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(shared_during_run_);
  EXPECT_EQ(vid_.AsInteger(), 1);
  EXPECT_EQ(state_.ADOCon().ConnectionString(),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder_ +
                "\";Extended Properties=dBASE IV;");
  ASSERT_FALSE(pages_.empty());
  const std::string all = All();
  EXPECT_NE(all.find("Список льготников по услуге: " + std::string(kMedicinesCaption)), std::string::npos) << all;
  EXPECT_NE(all.find("Рецепт"), std::string::npos);
  // Amounts above 0 only, in surname order.
  EXPECT_EQ(all.find("Абрамов"), std::string::npos) << all;
  const size_t petrov = all.find("Петров Иван"), sidorov = all.find("Сидоров Олег");
  ASSERT_NE(petrov, std::string::npos) << all;
  ASSERT_NE(sidorov, std::string::npos) << all;
  EXPECT_LT(petrov, sidorov);
  EXPECT_NE(all.find("страница 1 из 1"), std::string::npos) << all;
  // Exclusive again, on the row it was on, kind and caption kept.
  EXPECT_TRUE(state_.Table1().Active());
  EXPECT_TRUE(state_.Table1().Exclusive());
  EXPECT_EQ(state_.Table1().FieldByName("FAMIL").AsString(), "Петров");
  EXPECT_EQ(state_.Kind(), TRegisterKind::kMedicines);
  EXPECT_EQ(state_.Caption(), kMedicinesCaption);
}

TEST_F(ListReportTest, UncheckedListsZeroAmountsAndDentalShowsTheWorkOrderColumn) {
  checked_ = false;
  state_.OpenRegister(Register(testing::DentalFields()));
  state_.fr31Click();
  ASSERT_TRUE(port_.messages.empty()) << port_.messages[0].text;
  EXPECT_EQ(vid_.AsInteger(), 2);
  const std::string all = All();
  EXPECT_NE(all.find("Абрамов Пётр"), std::string::npos) << all;
  EXPECT_NE(all.find("Наряд"), std::string::npos) << all;
}

TEST_F(ListReportTest, WithoutARegisterTheFileIsChosenForTheReportOnly) {
  const std::string path = Register();
  port_.files.push_back(path);
  state_.fr31Click();
  ASSERT_TRUE(port_.messages.empty()) << port_.messages[0].text;
  EXPECT_EQ(port_.dialogs_shown, 1);
  EXPECT_EQ(port_.reports_shown, 1);
  EXPECT_EQ(vid_.AsInteger(), 0);
  EXPECT_NE(All().find("Петров Иван"), std::string::npos);
  EXPECT_EQ(state_.RegisterPath(), "");
  EXPECT_EQ(state_.RegisterFolder(), "");
  EXPECT_FALSE(state_.Table1().Active());

  port_.files.push_back(std::nullopt);  // cancelled: quietly nothing
  state_.fr31Click();
  EXPECT_EQ(port_.reports_shown, 1);
  EXPECT_TRUE(port_.messages.empty());
}

TEST_F(ListReportTest, AMissingTemplateIsNamedAndNothingIsShown) {
  state_.OpenRegister(Register());
  state_.SetTemplateFolder(folder_ + "nowhere");
  state_.fr31Click();
  EXPECT_EQ(port_.reports_shown, 0);
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "Шаблон \"" + folder_ + "nowhere/spisok1.fr3\" не найден ");
  EXPECT_TRUE(state_.Table1().Exclusive());
}

TEST_F(ListReportTest, AFailingRunIsReportedAndTheRegisterStaysUsable) {
  state_.OpenRegister(Register());
  port_.show_report = [](report::TfrxReport&) { throw core::Exception("the query failed"); };
  state_.fr31Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "the query failed.");
  EXPECT_EQ(port_.messages[0].icon, TMessageIcon::Error);
  EXPECT_TRUE(state_.Table1().Active());
  EXPECT_TRUE(state_.Table1().Exclusive());
}

TEST_F(ListReportTest, RunsAgainAfterAFailedRunAndAfterASuccessfulOne) {
  // The template is loaded afresh for every run: nothing of the last run's objects (its
  // aggregates among them) may outlive it.
  state_.OpenRegister(Register());
  const std::string path = state_.RegisterPath();
  auto run = port_.show_report;
  port_.show_report = [](report::TfrxReport& report) {
    report.Expressions().Variables().Set("OFName", core::Variant("'absent'"));
    report.Prepare(true);
    throw core::Exception("the query failed");
  };
  state_.fr31Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  port_.show_report = run;
  for (int i = 0; i < 2; ++i) {
    state_.fr31Click();
    ASSERT_EQ(port_.messages.size(), 1u) << port_.messages.back().text;
    EXPECT_TRUE(prepared_);
    EXPECT_NE(All().find("Всего: записей - 2"), std::string::npos) << All();
  }
  EXPECT_EQ(state_.RegisterPath(), path);
  EXPECT_TRUE(state_.Table1().Exclusive());
}

}  // namespace
}  // namespace lgoty::app
