// The list report's preview built again from page settings for all pages, through the real
// windows offscreen: Ctrl+S, the dialog "параметры", the preview, "Настройки страницы" turned
// to landscape for all pages, and the dialog shown again for the new run. The operator's
// answer there decides the new pages; closing it without ОК, or cancelling the run in the
// preview, brings back the former pages and settings, and the preview stays usable.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "core/format_settings.h"
#include "report/pages.h"
#include "report/report.h"
#include "tests/app/register_files.h"
#include "tests/ui/qt_test_support.h"
#include "ui/page_settings_form.h"
#include "ui/preview.h"
#include "ui/preview_document.h"
#include "ui/preview_form.h"
#include "ui/preview_workspace.h"

namespace lgoty::app {
namespace {

using testing::Person;
using lgoty::testing::VisibleTopLevel;

// What the preview shows once it is idle.
struct Shown {
  std::vector<QString> pages;  // every text of every page, one string per page
  std::vector<QSize> sizes;    // the document's page sizes
  std::vector<QSize> laid_out; // the page area's sizes
  int count = 0;
  int page_no = 0;
  QString count_label;
  QString status;
  QImage view;  // the page area as drawn
  bool landscape_template = false;
  QString All() const {
    QString all;
    for (const QString& p : pages) all += p;
    return all;
  }
};

// How the operator answers one build again.
struct Rebuild {
  enum class Answer { kOk, kEscape, kCloseWindow };
  Answer answer = Answer::kOk;
  bool more_than_zero = true;
  // Presses Escape in the preview (Закрыть reading "Отмена") once the run has made two
  // pages, after trying the page-changing commands.
  bool cancel_while_working = false;
};

// Plays the operator: answers "параметры" (checked, ОК) for the first build, then for every
// planned rebuild opens the page settings, turns to landscape for all pages and answers the
// dialog as planned; records what the preview shows after each run and closes it with Escape.
class Operator {
 public:
  std::vector<Rebuild> plan;

  bool forced_close = false;
  int dialogs = 0;
  int settings_forms = 0;
  std::vector<QString> messages;
  std::vector<Shown> shown;  // after the first build and after each rebuild
  // The navigator and the status bar while the rebuild's dialog is up.
  QString count_under_dialog, status_under_dialog;
  // Seen while the rebuild was working.
  bool cancelled = false;
  QString close_text_while_working;
  int file_names_asked = 0;
  bool rebuild_refused = false;
  bool open_refused = false;
  bool window_stayed = false;

  void Start() {
    deadline_.start();
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
    timer_.start();
  }

 private:
  // The plan entry of the rebuild under way (or next), while there is one.
  const Rebuild* Current() const {
    const size_t index = shown.empty() ? plan.size() : shown.size() - 1;
    return index < plan.size() ? &plan[index] : nullptr;
  }

  void Step() {
    if (deadline_.elapsed() > 60000) {
      forced_close = true;
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
      return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(
            VisibleTopLevel([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }))) {
      messages.push_back(box->text());
      box->accept();
      return;
    }
    if (auto* settings = qobject_cast<ui::TfrxPageSettingsForm*>(VisibleTopLevel([](QWidget* w) {
          return qobject_cast<ui::TfrxPageSettingsForm*>(w) != nullptr;
        }))) {
      ++settings_forms;
      EXPECT_EQ(settings->windowTitle(), QString::fromUtf8("Настройки страницы"));
      settings->Landscape()->setChecked(true);
      settings->ApplyToAll()->setChecked(true);
      settings->accept();
      return;
    }
    if (QWidget* dialog = VisibleTopLevel(
            [](QWidget* w) { return w->windowTitle() == QString::fromUtf8("параметры"); })) {
      if (dialog == answered_) return;
      answered_ = dialog;
      ++dialogs;
      if (dialogs == 2 && form_) {
        count_under_dialog = form_->PageCountLabel()->text();
        status_under_dialog = form_->StatusPanel(0)->text();
      }
      Answer(dialog, dialogs == 1 ? Rebuild() : (Current() ? *Current() : Rebuild()));
      return;
    }
    form_ = qobject_cast<ui::TfrxPreviewForm*>(VisibleTopLevel(
        [](QWidget* w) { return qobject_cast<ui::TfrxPreviewForm*>(w) != nullptr; }));
    if (!form_) return;
    ui::TfrxPreview* preview = form_->Preview();
    if (!watching_) {
      watching_ = true;
      QObject::connect(preview, &ui::TfrxPreview::pageChanged,
                       [this](int, int count) { WhileWorking(count); });
    }
    // The window is on screen a moment before its first run starts: nothing to read until
    // that run's dialog was answered.
    if (preview->Working() || in_settings_ || dialogs == 0) return;
    // Idle after the first build, or after the rebuild the last page settings started.
    if (shown.size() != static_cast<size_t>(settings_forms)) return;
    shown.push_back(Read(*form_));
    if (shown.size() > plan.size()) {
      QTest::keyClick(form_, Qt::Key_Escape);
      return;
    }
    // From the event loop, not from this timer: the settings form and the run inside it
    // are answered by later steps.
    in_settings_ = true;
    QTimer::singleShot(0, form_, [this] {
      form_->Action("PageSetup")->trigger();
      in_settings_ = false;
    });
  }

  void Answer(QWidget* dialog, const Rebuild& how) {
    switch (how.answer) {
      case Rebuild::Answer::kEscape:
        QTest::keyClick(dialog, Qt::Key_Escape);
        return;
      case Rebuild::Answer::kCloseWindow:
        dialog->close();
        return;
      case Rebuild::Answer::kOk:
        break;
    }
    auto* box = dialog->findChild<QCheckBox*>();
    QPushButton* ok = nullptr;
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->text() == QString::fromUtf8("ОК")) ok = b;
    if (!box || !ok) {
      ADD_FAILURE() << "the dialog has no check box or no ОК button";
      dialog->close();
      return;
    }
    if (box->isChecked() != how.more_than_zero) box->click();
    ok->click();
  }

  // A page of the rebuild has been made (the engine is inside the run).
  void WhileWorking(int count) {
    ui::TfrxPreview* preview = form_->Preview();
    const Rebuild* how = Current();
    if (!preview->Working() || dialogs < 2 || !how || !how->cancel_while_working || cancelled ||
        count < 2)
      return;
    close_text_while_working = form_->Action("Close")->text();
    // Commands that change pages do nothing now: no file name is asked, no form opens.
    preview->ask_save_name = [this](const QString&, const QString&) {
      ++file_names_asked;
      return QString();
    };
    preview->ask_open_name = [this](const QString&) {
      ++file_names_asked;
      return QString();
    };
    preview->SaveToFile();
    preview->LoadFromFile();
    preview->ExportPdf();
    form_->Action("Save")->trigger();
    form_->Action("Open")->trigger();
    preview->PageSetupDlg();  // a form opened here would be counted by Step
    open_refused = !preview->LoadFromFile(QString::fromUtf8("/nonexistent/x.fp3"));
    rebuild_refused = !preview->BuildAgain();
    cancelled = true;
    QTest::keyClick(form_, Qt::Key_Escape);
    window_stayed = form_->isVisible();
  }

  static Shown Read(ui::TfrxPreviewForm& form) {
    Shown s;
    ui::TfrxPreview& preview = *form.Preview();
    ui::PreviewDocument& document = *preview.Document();
    s.count = preview.PageCount();
    EXPECT_EQ(preview.Workspace()->PageCount(), s.count);
    for (int i = 0; i < s.count; ++i) {
      QString text;
      for (const ui::PreviewTextRun& run : document.PageTexts(i)) text += run.text + "\n";
      s.pages.push_back(text);
      s.sizes.push_back(document.PageSize(i));
      s.laid_out.push_back(preview.Workspace()->PageSize(i));
    }
    s.page_no = preview.PageNo();
    s.count_label = form.PageCountLabel()->text();
    s.status = form.StatusPanel(0)->text();
    s.view = preview.Workspace()->viewport()->grab().toImage();
    if (auto* page = dynamic_cast<report::TfrxReportPage*>(preview.Report()->FindByName("Page1")))
      s.landscape_template = page->Orientation() == report::TPrinterOrientation::poLandscape;
    else
      ADD_FAILURE() << "the template has no Page1";
    return s;
  }

  QTimer timer_;
  QElapsedTimer deadline_;
  QPointer<QWidget> answered_;
  ui::TfrxPreviewForm* form_ = nullptr;
  bool watching_ = false;
  bool in_settings_ = false;
};

class ListReportRebuild : public ::testing::Test {
 protected:
  void SetUp() override {
    lgoty::testing::TestApp();
    QFile::remove(ui::TFormPlacement::IniFileName());
    folder_ = testing::TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    main_ = std::make_unique<TFMain>(core::FormatSettings::Russian());
    main_->State().SetTemplateFolder(std::string(LGOTY_SOURCE_DIR) + "/templates");
    main_->show();
    QApplication::processEvents();
    // Sixty people; every fifth has a zero amount.
    std::vector<Person> people;
    for (int k = 0; k < 60; ++k) {
      Person p;
      p.famil = "Фамилия" + std::to_string(100 + k);
      p.imja = "Имя" + std::to_string(k);
      p.sumpay = k % 5 == 0 ? "0.00" : std::to_string(k + 1) + ".50";
      people.push_back(p);
    }
    const std::string path = folder_ + "reg.dbf";
    testing::WriteRegister(path, testing::MedicinesFields(), people);
    main_->State().OpenRegister(path);
  }
  void TearDown() override {
    main_->close();
    main_.reset();
  }
  void Run(Operator& op) {
    op.Start();
    main_->activateWindow();
    main_->Edit1->setFocus();
    QApplication::processEvents();
    QTest::keyClick(main_->Edit1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(op.forced_close);
    EXPECT_TRUE(op.messages.empty()) << op.messages[0].toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  static int Rows(const QString& all) { return static_cast<int>(all.count(QString::fromUtf8("Фамилия1"))); }
  // The navigator, the status bar and the page footers agree on the count.
  static void ExpectCount(const Shown& s) {
    const int n = s.count;
    ASSERT_GE(n, 1);
    EXPECT_TRUE(s.count_label.contains(QString::number(n))) << s.count_label.toStdString();
    EXPECT_EQ(s.status, QString::fromUtf8("Страница %1 из %2").arg(s.page_no).arg(n));
    EXPECT_TRUE(s.pages[0].contains(QString::fromUtf8("страница 1 из %1").arg(n)));
    EXPECT_TRUE(s.pages[n - 1].contains(QString::fromUtf8("страница %1 из %1").arg(n)));
    EXPECT_EQ(s.laid_out, s.sizes) << "the page area keeps other pages' sizes";
  }
  // The former pages, settings and view are back.
  static void ExpectSame(const Shown& after, const Shown& before) {
    EXPECT_EQ(after.count, before.count);
    EXPECT_EQ(after.pages, before.pages);
    EXPECT_EQ(after.sizes, before.sizes);
    EXPECT_EQ(after.laid_out, before.laid_out);
    EXPECT_EQ(after.count_label, before.count_label);
    EXPECT_EQ(after.status, before.status);
    EXPECT_TRUE(after.view == before.view) << "the page area draws other pages than before";
    EXPECT_FALSE(after.landscape_template);
  }

  std::string folder_;
  std::unique_ptr<TFMain> main_;
};

TEST_F(ListReportRebuild, TheDialogShowsAgainAndItsAnswerDecidesTheNewPages) {
  Operator op;
  Rebuild zero_too;
  zero_too.more_than_zero = false;
  op.plan = {zero_too};
  Run(op);
  EXPECT_EQ(op.dialogs, 2);
  EXPECT_EQ(op.settings_forms, 1);
  // The former pages are gone from the page area while the dialog asks; the count with them.
  EXPECT_EQ(op.status_under_dialog, QString::fromUtf8("Страница 1 из 0"));
  EXPECT_EQ(op.count_under_dialog, QString::fromUtf8("из 0"));
  ASSERT_EQ(op.shown.size(), 2u);
  const Shown& before = op.shown[0];
  const Shown& after = op.shown[1];
  ExpectCount(before);
  ExpectCount(after);
  EXPECT_EQ(Rows(before.All()), 48);
  EXPECT_EQ(Rows(after.All()), 60);  // the zero amounts are listed now
  EXPECT_TRUE(after.All().contains(QString::fromUtf8("Всего: записей - 60")));
  EXPECT_TRUE(after.landscape_template);
  EXPECT_FALSE(after.view == before.view) << "the page area was not drawn again";
  // More rows on shorter pages.
  EXPECT_GT(after.count, before.count);
  for (size_t i = 0; i < after.sizes.size(); ++i) {
    EXPECT_GT(after.sizes[i].width(), after.sizes[i].height()) << i;
    EXPECT_EQ(after.sizes[i], before.sizes[0].transposed()) << i;
  }
}

// Escape, or the window's close, is the modal result cancel: the run is cancelled without a
// message and the preview shows what it showed before, the template unchanged; a later
// rebuild answered with ОК builds the landscape pages.
TEST_F(ListReportRebuild, TheDialogClosedWithoutOkKeepsTheFormerPages) {
  Operator op;
  Rebuild escape, close, ok;
  escape.answer = Rebuild::Answer::kEscape;
  close.answer = Rebuild::Answer::kCloseWindow;
  op.plan = {escape, close, ok};
  Run(op);
  EXPECT_EQ(op.dialogs, 4);
  ASSERT_EQ(op.shown.size(), 4u);
  ExpectCount(op.shown[0]);
  ExpectSame(op.shown[1], op.shown[0]);
  ExpectSame(op.shown[2], op.shown[0]);
  const Shown& built = op.shown[3];
  ExpectCount(built);
  EXPECT_TRUE(built.landscape_template);
  EXPECT_EQ(Rows(built.All()), 48);
  EXPECT_GT(built.sizes[0].width(), built.sizes[0].height());
}

// Cancelled while the new pages are being made: page-changing commands are refused while the
// run works, Escape cancels instead of closing, and the former pages come back (a part of a
// report in the new settings, its totals unfinished, is not what was asked for). The
// preview is usable afterwards: the same rebuild answered without cancelling goes through.
TEST_F(ListReportRebuild, CancelledWhileWorkingTheFormerPagesComeBackAndThePreviewIsUsable) {
  Operator op;
  Rebuild cancel, ok;
  cancel.cancel_while_working = true;
  op.plan = {cancel, ok};
  Run(op);
  EXPECT_TRUE(op.cancelled) << "the rebuild never made two pages";
  EXPECT_EQ(op.close_text_while_working, QString::fromUtf8("Отмена"));
  EXPECT_EQ(op.file_names_asked, 0);
  EXPECT_EQ(op.settings_forms, 2);  // none opened while working
  EXPECT_TRUE(op.open_refused);
  EXPECT_TRUE(op.rebuild_refused);
  EXPECT_TRUE(op.window_stayed);
  ASSERT_EQ(op.shown.size(), 3u);
  ExpectCount(op.shown[0]);
  ExpectSame(op.shown[1], op.shown[0]);
  ExpectCount(op.shown[2]);
  EXPECT_TRUE(op.shown[2].landscape_template);
  EXPECT_EQ(Rows(op.shown[2].All()), 48);
}

}  // namespace
}  // namespace lgoty::app
