// The List report command through the real windows, offscreen: the main window with its own
// Qt port, Ctrl+S, the dialog "параметры", the preview of the prepared pages, the file dialog
// and message boxes. An operator polls the top-level windows from a timer inside the event
// loops and answers whichever window is up.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "core/format_settings.h"
#include "platform/file.h"
#include "tests/app/register_files.h"
#include "tests/ui/qt_test_support.h"
#include "ui/preview.h"
#include "ui/preview_document.h"
#include "ui/preview_form.h"

namespace lgoty::app {
namespace {

using testing::Person;
using lgoty::testing::VisibleTopLevel;

// Plays the operator: answers the file dialog, the dialog "параметры", message boxes, and
// reads the preview once the run has finished, then closes it with Escape.
class Operator {
 public:
  std::optional<std::string> file_answer;  // nullopt: the file dialog is cancelled
  bool more_than_zero = true;              // the check box "Больше 0" as the operator leaves it
  std::function<void()> during_run;        // called once while the dialog "параметры" is up

  bool saw_file_dialog = false;
  bool saw_dialog = false;
  bool dialog_over_preview = false;  // the dialog's owner is the preview (not the main window)
  bool saw_preview = false;
  bool forced_close = false;
  std::vector<QString> messages;
  std::vector<QString> pages;  // every text of every page, one string per page
  QString count_label;

  void Start() {
    deadline_.start();
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
    timer_.start();
  }
  QString All() const {
    QString all;
    for (const QString& p : pages) all += p;
    return all;
  }

 private:
  void Step() {
    // A stuck run is ended after a minute rather than hanging the test program.
    if (deadline_.elapsed() > 60000) {
      forced_close = true;
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
      return;
    }
    if (auto* files = qobject_cast<QFileDialog*>(
            VisibleTopLevel([](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; }))) {
      saw_file_dialog = true;
      if (file_answer) {
        files->selectFile(QString::fromStdString(*file_answer));
        static_cast<QDialog*>(files)->accept();  // public as a QDialog
      } else {
        files->reject();
      }
      return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(
            VisibleTopLevel([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }))) {
      messages.push_back(box->text());
      box->accept();
      return;
    }
    if (QWidget* dialog = VisibleTopLevel(
            [](QWidget* w) { return w->windowTitle() == QString::fromUtf8("параметры"); })) {
      if (saw_dialog) return;
      saw_dialog = true;
      dialog_over_preview = dialog->parentWidget() != nullptr &&
                            qobject_cast<ui::TfrxPreviewForm*>(dialog->parentWidget()->window());
      if (during_run) during_run();
      auto* box = dialog->findChild<QCheckBox*>();
      QPushButton* ok = nullptr;
      for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == QString::fromUtf8("ОК")) ok = b;
      if (!box || !ok) {
        ADD_FAILURE() << "the dialog has no check box or no ОК button";
        dialog->close();
        return;
      }
      if (box->isChecked() != more_than_zero) box->click();
      ok->click();
      return;
    }
    auto* form = qobject_cast<ui::TfrxPreviewForm*>(VisibleTopLevel(
        [](QWidget* w) { return qobject_cast<ui::TfrxPreviewForm*>(w) != nullptr; }));
    // The window is on screen a moment before its run starts (and puts up the dialog): a
    // preview is read only after the dialog of its run was answered.
    if (!form || !saw_dialog || form->Preview()->Working() || saw_preview) return;
    saw_preview = true;
    ui::PreviewDocument* document = form->Preview()->Document();
    for (int i = 0; i < form->Preview()->PageCount(); ++i) {
      QString text;
      for (const ui::PreviewTextRun& run : document->PageTexts(i)) text += run.text + "\n";
      pages.push_back(text);
    }
    count_label = form->PageCountLabel()->text();
    QTest::keyClick(form, Qt::Key_Escape);
  }

  QTimer timer_;
  QElapsedTimer deadline_;
};

class ListReportWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    lgoty::testing::TestApp();
    QFile::remove(ui::TFormPlacement::IniFileName());
    folder_ = testing::TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    main_ = std::make_unique<TFMain>(core::FormatSettings::Russian());  // the real Qt port
    main_->State().SetTemplateFolder(std::string(LGOTY_SOURCE_DIR) + "/templates");
    main_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    main_->close();
    main_.reset();
  }
  // Sixty people written in scrambled order; every fifth has a zero amount. Surnames
  // "Фамилия100".."Фамилия159" sort as their numbers.
  std::string Register(const std::vector<std::string>& fields) {
    std::vector<Person> people;
    for (int i = 0; i < 60; ++i) {
      const int k = (i * 37) % 60;
      Person p;
      p.famil = "Фамилия" + std::to_string(100 + k);
      p.imja = "Имя" + std::to_string(k);
      p.sumpay = k % 5 == 0 ? "0.00" : std::to_string(k + 1) + ".50";
      p.number = "Н" + std::to_string(5000 + k);
      people.push_back(p);
    }
    const std::string path = folder_ + "reg.dbf";
    testing::WriteRegister(path, fields, people);
    return path;
  }
  // The shortcut as the operator presses it in the search box of the active main window.
  void CtrlS() {
    main_->activateWindow();
    main_->Edit1->setFocus();
    QApplication::processEvents();
    QTest::keyClick(main_->Edit1, Qt::Key_S, Qt::ControlModifier);
  }
  std::string Surname() { return main_->State().Table1().FieldByName("FAMIL").AsString(); }

  // The rows listed, in the order the pages show them: k of every "Фамилия<100+k> Имя<k>".
  static std::vector<int> ListedRows(const QString& all) {
    std::vector<int> rows;
    int from = 0;
    const QString prefix = QString::fromUtf8("Фамилия1");
    while ((from = all.indexOf(prefix, from)) >= 0) {
      from += prefix.size() - 1;
      const int k = all.mid(from, 3).toInt() - 100;
      EXPECT_TRUE(all.mid(from + 3).startsWith(QString::fromUtf8(" Имя%1").arg(k)))
          << all.mid(from, 20).toStdString();
      rows.push_back(k);
    }
    return rows;
  }

  std::string folder_;
  std::unique_ptr<TFMain> main_;
};

TEST_F(ListReportWindows, CtrlSShowsTheDialogThenThePreviewAndTheRegisterComesBackOnItsRow) {
  main_->State().OpenRegister(Register(testing::MedicinesFields()));
  main_->State().Table1().Locate("FAMIL", core::Variant(std::string("Фамилия137")), {});
  ASSERT_EQ(Surname(), "Фамилия137");
  Operator op;
  bool shared_during_run = false;
  op.during_run = [&] {
    shared_during_run = main_->State().Table1().Active() && !main_->State().Table1().Exclusive();
  };
  op.Start();
  CtrlS();
  EXPECT_FALSE(op.forced_close);
  EXPECT_TRUE(op.messages.empty()) << op.messages[0].toStdString();
  EXPECT_TRUE(op.saw_dialog);
  EXPECT_TRUE(op.dialog_over_preview);
  ASSERT_TRUE(op.saw_preview);
  EXPECT_TRUE(shared_during_run);

  const QString all = op.All();
  EXPECT_TRUE(all.contains(QString::fromUtf8("Список льготников по услуге: ") + kMedicinesCaption))
      << all.toStdString();
  EXPECT_TRUE(all.contains(QString::fromUtf8("Рецепт")));
  EXPECT_FALSE(all.contains(QString::fromUtf8("Наряд")));
  // Amounts above zero only, in surname order, each with its number.
  std::vector<int> expected;
  for (int k = 0; k < 60; ++k)
    if (k % 5 != 0) expected.push_back(k);
  EXPECT_EQ(ListedRows(all), expected);
  EXPECT_TRUE(all.contains(QString::fromUtf8("Н5037")));
  const int n = static_cast<int>(op.pages.size());
  ASSERT_GE(n, 2);  // forty-eight rows do not fit one page
  EXPECT_TRUE(op.pages[0].contains(QString::fromUtf8("страница 1 из %1").arg(n)))
      << op.pages[0].toStdString();
  EXPECT_TRUE(op.pages[n - 1].contains(QString::fromUtf8("страница %1 из %1").arg(n)));
  EXPECT_TRUE(op.pages[n - 1].contains(QString::fromUtf8("Всего: записей - 48")));
  EXPECT_TRUE(op.count_label.contains(QString::number(n))) << op.count_label.toStdString();

  // The preview is closed: the register is exclusive again, on the same row, still shown.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(main_->State().Table1().Active());
  EXPECT_TRUE(main_->State().Table1().Exclusive());
  EXPECT_EQ(Surname(), "Фамилия137");
  const int grid_row = main_->DBGrid1->GridModel()->CurrentRow();
  EXPECT_EQ(main_->DBGrid1->GridModel()->index(grid_row, 0).data().toString(),
            QString::fromUtf8("Фамилия137"));
  EXPECT_EQ(main_->State().RegisterPath(), folder_ + "reg.dbf");
  EXPECT_EQ(main_->windowTitle(), QString::fromUtf8(kMedicinesCaption));
}

TEST_F(ListReportWindows, UncheckedListsZeroAmountsAndDentalHeadsTheWorkOrderColumn) {
  main_->State().OpenRegister(Register(testing::DentalFields()));
  Operator op;
  op.more_than_zero = false;
  op.Start();
  CtrlS();
  EXPECT_FALSE(op.forced_close);
  EXPECT_TRUE(op.messages.empty()) << op.messages[0].toStdString();
  ASSERT_TRUE(op.saw_preview);
  const QString all = op.All();
  EXPECT_TRUE(all.contains(QString::fromUtf8("Наряд")));
  EXPECT_FALSE(all.contains(QString::fromUtf8("Рецепт")));
  std::vector<int> expected;
  for (int k = 0; k < 60; ++k) expected.push_back(k);
  EXPECT_EQ(ListedRows(all), expected);  // the zero amounts (k = 0, 5, ...) are there
  EXPECT_TRUE(all.contains(QString::fromUtf8("Н5005")));  // the work order of a zero row
  EXPECT_TRUE(main_->State().Table1().Exclusive());
}

TEST_F(ListReportWindows, WithoutARegisterTheFileDialogChoosesItForThisReportOnly) {
  const std::string path = Register(testing::MedicinesFields());
  Operator op;
  op.file_answer = path;
  op.Start();
  CtrlS();
  EXPECT_FALSE(op.forced_close);
  EXPECT_TRUE(op.messages.empty()) << op.messages[0].toStdString();
  EXPECT_TRUE(op.saw_file_dialog);
  ASSERT_TRUE(op.saw_preview);
  const QString all = op.All();
  EXPECT_EQ(ListedRows(all).size(), 48u);
  // vid is 0: neither the column heading nor the number and date cells are filled.
  EXPECT_FALSE(all.contains(QString::fromUtf8("Рецепт")));
  EXPECT_FALSE(all.contains(QString::fromUtf8("Н50")));
  // Nothing is open: the service named is the program's title.
  EXPECT_TRUE(all.contains(QString::fromUtf8("Список льготников по услуге: ") +
                           QString::fromUtf8(main_->State().Caption().c_str()) + "\n"))
      << all.left(300).toStdString();
  // The file was for the report only: nothing is open afterwards.
  EXPECT_EQ(main_->State().RegisterPath(), "");
  EXPECT_FALSE(main_->State().Table1().Active());
}

TEST_F(ListReportWindows, CancellingTheFileDialogEndsQuietly) {
  Operator op;
  op.Start();
  CtrlS();
  EXPECT_TRUE(op.saw_file_dialog);
  EXPECT_FALSE(op.saw_dialog);
  EXPECT_FALSE(op.saw_preview);
  EXPECT_TRUE(op.messages.empty());
  EXPECT_EQ(main_->State().RegisterPath(), "");
}

TEST_F(ListReportWindows, AMissingTemplateIsNamedAndNoPreviewShows) {
  main_->State().OpenRegister(Register(testing::MedicinesFields()));
  main_->State().SetTemplateFolder(folder_ + "nowhere");
  Operator op;
  op.Start();
  CtrlS();
  ASSERT_EQ(op.messages.size(), 1u);
  EXPECT_EQ(op.messages[0].toStdString(),
            "Шаблон \"" + folder_ + "nowhere/spisok1.fr3\" не найден ");
  EXPECT_FALSE(op.saw_dialog);
  EXPECT_FALSE(op.saw_preview);
  EXPECT_TRUE(main_->State().Table1().Exclusive());
}

TEST_F(ListReportWindows, ARegisterHeldByAnotherProgramIsAnErrorAndTheProgramStaysUsable) {
  const std::string path = Register(testing::MedicinesFields());
  {
    // Another program holds the file and lets nobody else in.
    auto other = platform::DiskFile::Open(path, platform::FileAccess::ReadWrite,
                                          platform::FileShare::DenyReadWrite,
                                          platform::FileCreate::OpenExisting);
    Operator op;
    op.file_answer = path;
    op.Start();
    CtrlS();
    EXPECT_FALSE(op.forced_close);
    EXPECT_FALSE(op.saw_preview && !op.pages.empty() && op.All().contains(QString::fromUtf8("Фамилия1")))
        << "the held register was read";
    ASSERT_FALSE(op.messages.empty());
    EXPECT_FALSE(op.messages.back().isEmpty());
    EXPECT_TRUE(op.messages.back().contains(QString::fromUtf8("used by another process")))
        << op.messages.back().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(main_->State().RegisterPath(), "");
  }
  // Released: the same command now lists the register.
  Operator op;
  op.file_answer = path;
  op.Start();
  CtrlS();
  EXPECT_TRUE(op.messages.empty()) << op.messages[0].toStdString();
  ASSERT_TRUE(op.saw_preview);
  EXPECT_EQ(ListedRows(op.All()).size(), 48u);
}

}  // namespace
}  // namespace lgoty::app
