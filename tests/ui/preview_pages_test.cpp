// The preview window over a prepared report: pages saved and loaded again through the
// toolbar (.fp3) show the same, and page settings change the page and the view draws it
// again; for all pages they change the template and the report is built again.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QRadioButton>
#include <QMenu>
#include <QTemporaryDir>

#include "report/pages.h"
#include "report/prepared_pages.h"
#include "tests/render/small_report.h"
#include "tests/ui/qt_test_support.h"
#include "ui/page_settings_form.h"
#include "ui/prepared_pages_document.h"
#include "ui/preview_form.h"
#include "ui/preview_workspace.h"

namespace lgoty::ui {
namespace {

struct AppFirst {
  AppFirst() { lgoty::testing::TestApp(); }
};

// A prepared report in a preview window that is up and laid out.
struct ReportWindow {
  AppFirst app;
  report::TfrxReport& report;
  PreparedPagesDocument document;
  TfrxPreviewForm form;
  explicit ReportWindow(report::TfrxReport& r) : report(r), document(r) {
    report.preview_options.maximized = false;
    form.resize(1200, 800);
    form.Init(&report, &document);
    form.show();
    QApplication::processEvents();
  }
  TfrxPreview& preview() { return *form.Preview(); }
  // Page `index` drawn at zoom 1 as the preview draws it.
  QImage PageImage(int index) {
    QImage image(document.PageSize(index), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    document.DrawPage(index, painter, 1.0, QPointF(0, 0));
    return image;
  }
  QStringList Texts(int index) {
    QStringList texts;
    for (const PreviewTextRun& run : document.PageTexts(index)) texts << run.text;
    return texts;
  }
};

TEST(PreviewPages, SavedThroughTheToolbarAndLoadedAgainTheSamePagesShow) {
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  QTemporaryDir dir;
  const QString base = dir.path() + "/list";
  std::vector<QImage> images;
  std::vector<QStringList> texts;
  std::vector<QSize> sizes;
  {
    ReportWindow window(small.Report());
    ASSERT_EQ(window.document.PageCount(), 4);
    for (int i = 0; i < 4; ++i) {
      images.push_back(window.PageImage(i));
      texts.push_back(window.Texts(i));
      sizes.push_back(window.document.PageSize(i));
    }
    window.preview().ask_save_name = [&](const QString& filter, const QString&) {
      EXPECT_TRUE(filter.contains("*.fp3")) << filter.toStdString();
      return base;  // typed without an extension: .fp3 is added
    };
    // The first item of the Save button's menu saves the prepared report.
    ASSERT_FALSE(window.form.SaveMenu()->actions().isEmpty());
    window.form.SaveMenu()->actions()[0]->trigger();
    EXPECT_TRUE(QFileInfo::exists(base + ".fp3"));
  }

  report::TfrxReport other;
  ReportWindow loaded(other);
  EXPECT_EQ(loaded.preview().PageCount(), 0);
  loaded.preview().ask_open_name = [&](const QString& filter) {
    EXPECT_TRUE(filter.contains("*.fp3")) << filter.toStdString();
    return base + ".fp3";
  };
  loaded.form.Action("Open")->trigger();
  ASSERT_EQ(loaded.preview().PageCount(), 4);
  EXPECT_EQ(loaded.preview().PageNo(), 1);
  EXPECT_TRUE(loaded.form.PageCountLabel()->text().contains("4"))
      << loaded.form.PageCountLabel()->text().toStdString();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(loaded.document.PageSize(i), sizes[i]) << i;
    EXPECT_EQ(loaded.Texts(i), texts[i]) << i;
    EXPECT_TRUE(loaded.PageImage(i) == images[i]) << "page " << i + 1 << " draws differently";
    EXPECT_EQ(loaded.preview().Workspace()->PageSize(i), sizes[i]);
  }
  EXPECT_TRUE(loaded.Texts(0).contains("Страница 1 из 4")) << loaded.Texts(0).join('|').toStdString();
}

// Opens the page settings of the current page and turns it to landscape, for the current
// page or for all.
void TurnToLandscape(ReportWindow& window, bool all_pages) {
  bool seen = false;
  lgoty::testing::WhenModal([&](QWidget* modal) {
    auto* form = qobject_cast<TfrxPageSettingsForm*>(modal);
    ASSERT_NE(form, nullptr);
    seen = true;
    EXPECT_EQ(form->windowTitle(), "Настройки страницы");
    form->Landscape()->setChecked(true);
    form->ApplyToAll()->setChecked(all_pages);
    form->accept();
  });
  window.form.Action("PageSetup")->trigger();
  EXPECT_TRUE(seen);
}

TEST(PreviewPages, PageSettingsOfTheCurrentPageChangeItAndTheViewDrawsItAgain) {
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  ReportWindow window(small.Report());
  window.preview().SetPageNo(2);
  QApplication::processEvents();
  const QSize portrait = window.document.PageSize(1);
  ASSERT_GT(portrait.height(), portrait.width());
  const QImage before = window.preview().Workspace()->viewport()->grab().toImage();

  TurnToLandscape(window, false);
  QApplication::processEvents();
  EXPECT_EQ(window.document.PageSize(1), portrait.transposed());
  EXPECT_EQ(window.document.PageSize(0), portrait);  // the other pages stay as they were
  EXPECT_EQ(window.document.PageSize(2), portrait);
  EXPECT_EQ(window.preview().Workspace()->PageSize(1), portrait.transposed());
  EXPECT_EQ(window.preview().PageNo(), 2);
  const QImage after = window.preview().Workspace()->viewport()->grab().toImage();
  EXPECT_FALSE(after == before) << "the view was not drawn again";
  // The page keeps its content, now on the wider sheet.
  EXPECT_TRUE(window.Texts(1).contains("Строка льготника"));
}

report::TfrxReportPage& TemplatePage(report::TfrxReport& report, const char* name) {
  auto* page = dynamic_cast<report::TfrxReportPage*>(report.FindByName(name));
  EXPECT_NE(page, nullptr) << name;
  return *page;
}

// Applied to all pages, the settings go to the template and the report is built again: the
// five rows of 400 pixels went two to a portrait page and go one to a landscape page.
TEST(PreviewPages, PageSettingsForAllPagesChangeTheTemplateAndBuildTheReportAgain) {
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  ReportWindow window(small.Report());
  ASSERT_EQ(window.document.PageCount(), 4);
  const QSize portrait = window.document.PageSize(0);
  ASSERT_GT(portrait.height(), portrait.width());
  QStringList messages;
  window.preview().show_message = [&](const QString& text) { messages << text; };
  window.preview().SetPageNo(2);

  TurnToLandscape(window, true);
  EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
  EXPECT_FALSE(window.preview().Working());
  for (const char* name : {"Page1", "Page2"}) {
    report::TfrxReportPage& page = TemplatePage(small.Report(), name);
    EXPECT_EQ(page.Orientation(), report::TPrinterOrientation::poLandscape) << name;
    EXPECT_GT(page.PaperWidth(), page.PaperHeight()) << name;
  }
  ASSERT_EQ(window.document.PageCount(), 6);
  EXPECT_EQ(window.preview().PageCount(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(window.document.PageSize(i), portrait.transposed()) << i;
    EXPECT_EQ(window.preview().Workspace()->PageSize(i), portrait.transposed()) << i;
  }
  EXPECT_TRUE(window.Texts(0).contains("Страница 1 из 6")) << window.Texts(0).join('|').toStdString();
  EXPECT_EQ(window.Texts(0).count("Строка льготника"), 1);
  EXPECT_EQ(window.preview().PageNo(), 2);
  EXPECT_TRUE(window.form.PageCountLabel()->text().contains("6"));
  EXPECT_EQ(small.Report().Errors().Count(), 0);
}

// A run that fails shows its error and leaves the template and the pages as they were.
TEST(PreviewPages, PageSettingsForAllPagesWithAFailingRunKeepTheFormerPages) {
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  ReportWindow window(small.Report());
  const QSize portrait = window.document.PageSize(0);
  const QStringList first_texts = window.Texts(0);
  small.Report().script_text.SetText("begin\r\n  Undeclared := ;\r\nend.");
  QStringList messages;
  window.preview().show_message = [&](const QString& text) { messages << text; };

  TurnToLandscape(window, true);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_FALSE(messages[0].isEmpty());
  EXPECT_FALSE(window.preview().Working());
  EXPECT_EQ(TemplatePage(small.Report(), "Page1").Orientation(),
            report::TPrinterOrientation::poPortrait);
  EXPECT_EQ(TemplatePage(small.Report(), "Page2").Orientation(),
            report::TPrinterOrientation::poLandscape);
  ASSERT_EQ(window.document.PageCount(), 4);
  EXPECT_EQ(window.document.PageSize(0), portrait);
  EXPECT_EQ(window.preview().Workspace()->PageSize(0), portrait);
  EXPECT_EQ(window.Texts(0), first_texts);
  // Shown once, in the preview; not left for the caller to report again.
  EXPECT_EQ(small.Report().Errors().Count(), 0);
}

// Pages loaded from a prepared-report file have no template to build from: they change in
// place, whether the window's report is empty or has a template of its own.
TEST(PreviewPages, PageSettingsForAllPagesOfALoadedFileChangeThePages) {
  QTemporaryDir dir;
  const std::string path = (dir.path() + "/list.fp3").toStdString();
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  small.Report().PreviewPages().SaveToFile(path);
  const QSize portrait = PreparedPagesDocument(small.Report()).PageSize(0);

  report::TfrxReport empty;
  testing::SmallReport with_template;
  for (report::TfrxReport* report : {&empty, &with_template.Report()}) {
    ReportWindow window(*report);
    ASSERT_TRUE(window.preview().LoadFromFile(QString::fromStdString(path)));
    TurnToLandscape(window, true);
    ASSERT_EQ(window.document.PageCount(), 4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(window.document.PageSize(i), portrait.transposed()) << i;
      EXPECT_EQ(window.preview().Workspace()->PageSize(i), portrait.transposed()) << i;
    }
    EXPECT_TRUE(window.Texts(0).contains("Страница 1 из 4"));
  }
  EXPECT_EQ(TemplatePage(with_template.Report(), "Page1").Orientation(),
            report::TPrinterOrientation::poPortrait);
}

}  // namespace
}  // namespace lgoty::ui
