// The list report run with a screen: the dialog of templates/spisok1.fr3 as a Qt window over
// a small register, the pages in the preview as they are made, a cancelled dialog, and the
// run's errors reaching the caller once the window has closed.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>

#include "render/prepared_pages_export.h"
#include "report/dialog_host.h"
#include "report/prepared_pages.h"
#include "report/query_data_sets.h"
#include "report/expressions.h"
#include "report/report.h"
#include "sql/ado_connection.h"
#include "tests/app/register_files.h"
#include "tests/ui/qt_test_support.h"
#include "ui/preview.h"
#include "ui/preview_form.h"
#include "ui/report_preview.h"

namespace lgoty::ui {
namespace {

const std::string kTemplate = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";

// What the operator does in each window, asked every few milliseconds by a timer while the
// modal windows are up; a stuck test closes everything after the tries run out.
struct Operator {
  enum class Dialog { Ok, Cancel } dialog = Dialog::Ok;
  bool saw_dialog = false;
  int preview_pages = -1;
  bool escape_sent = false;
  bool forced_close = false;

  void Start() {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [this, timer] {
      if (++tries_ > 4000) {
        forced_close = true;
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
        return;
      }
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (auto* button = modal->findChild<QAbstractButton*>("Button1")) {
        saw_dialog = true;
        if (dialog == Dialog::Ok) {
          button->click();
        } else {
          QTest::keyClick(modal, Qt::Key_Escape);
        }
        return;
      }
      auto* form = qobject_cast<TfrxPreviewForm*>(modal);
      // A preview without pages is left alone: it must close by itself.
      if (form && !form->Preview()->Working() && form->Preview()->PageCount() > 0 &&
          !escape_sent) {
        preview_pages = form->Preview()->PageCount();
        escape_sent = true;
        QTest::keyClick(form, Qt::Key_Escape);
      }
    });
    timer_ = timer;
    timer->start();
  }
  ~Operator() { delete timer_; }

 private:
  int tries_ = 0;
  QTimer* timer_ = nullptr;
};

class ReportPreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApp();
    folder_ = app::testing::TestFolder("report_preview");
    std::vector<app::testing::Person> people;
    for (int i = 0; i < 70; ++i) {
      app::testing::Person p;
      p.famil = "Фамилия" + std::to_string(100 + i);
      p.sumpay = i % 2 ? "120.50" : "7.00";  // every row above 0: all seventy are listed
      people.push_back(p);
    }
    app::testing::WriteRegister(folder_ + "reg.dbf", app::testing::MedicinesFields(), people);
    connection_.SetLoginPrompt(false);
    connection_.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder_ +
                                    "\";Extended Properties=dBASE IV;");
    connection_.Open();
    ado_.SetDefaultDatabase(&connection_);
  }

  void Load(const std::string& table) {
    report_.LoadFromFile(kTemplate, true);
    ASSERT_EQ(report_.Errors().Count(), 0);
    auto& vars = report_.Expressions().Variables();
    vars.Set("OFName", core::Variant("'" + table + "'"));
    vars.Set("OFile", core::Variant("'" + table + ".dbf'"));
    vars.Set("vid", core::Variant("'Лекарственное обеспечение'"));
    vars.Set("usl", core::Variant("''"));
  }

  std::string folder_;
  sql::TAdoConnection connection_;
  report::TfrxADOComponents ado_;
  report::TfrxReport report_;
};

TEST_F(ReportPreviewTest, PagesOfTheListAreShownAndTheHostIsPutBack) {
  Load("reg");
  report::DialogHost* none = nullptr;
  ASSERT_EQ(report_.GetDialogHost(), none);
  Operator op;
  op.Start();
  ShowReport(report_, nullptr);
  EXPECT_TRUE(op.saw_dialog);
  const int pages = report_.PreviewPages().Count();
  EXPECT_GE(pages, 2);  // seventy rows do not fit one page
  EXPECT_EQ(op.preview_pages, pages);
  EXPECT_EQ(report_.GetDialogHost(), none);
  EXPECT_FALSE(op.forced_close);

  // One look at the first page as an image (kept under the build folder).
  const std::string out = std::string(LGOTY_BINARY_DIR) + "/report_preview_pages";
  EXPECT_TRUE(render::ExportPng(report_, out, 96));
}

TEST_F(ReportPreviewTest, ACancelledDialogClosesTheWindowAtOnce) {
  Load("reg");
  Operator op;
  op.dialog = Operator::Dialog::Cancel;
  op.Start();
  ShowReport(report_, nullptr);
  EXPECT_TRUE(op.saw_dialog);
  EXPECT_FALSE(op.escape_sent);
  EXPECT_FALSE(op.forced_close);  // the preview closed by itself
  EXPECT_EQ(report_.PreviewPages().Count(), 0);
}

TEST_F(ReportPreviewTest, ErrorsOfTheRunReachTheCallerAfterTheWindowClosed) {
  Load("no_such_register");
  Operator op;
  op.Start();
  try {
    ShowReport(report_, nullptr);
    FAIL() << "no error reached the caller";
  } catch (const std::exception& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(report_.GetDialogHost(), nullptr);
}

}  // namespace
}  // namespace lgoty::ui
