// The preview window offscreen over a document of plain pages: zoom box texts and parsing,
// the navigator's bounds, keys and wheel, search from the start and onwards, the outline,
// the toolbar's visibility rules, the working state and closing.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QWheelEvent>

#include "qt_test_support.h"
#include "report/report.h"
#include "ui/preview_form.h"
#include "ui/preview_layout.h"
#include "ui/preview_workspace.h"

namespace lgoty::ui {
namespace {

using lgoty::testing::TestApp;

// Pages of A4 at 96 dpi; page N holds the texts "Страница N" and "строка N.K" for K = 1..3.
class PlainDocument : public PreviewDocument {
 public:
  explicit PlainDocument(int count) : count_(count) {}
  int PageCount() override { return count_; }
  QSize PageSize(int index) override {
    return index >= 0 && index < count_ ? QSize(794, 1123) : QSize();
  }
  void DrawPage(int index, QPainter& painter, double zoom, QPointF offset) override {
    ++draws;
    painter.save();
    painter.translate(offset);
    painter.scale(zoom, zoom);
    for (const PreviewTextRun& run : PageTexts(index)) painter.drawText(run.rect, run.text);
    painter.restore();
  }
  std::vector<PreviewTextRun> PageTexts(int index) override {
    std::vector<PreviewTextRun> runs;
    runs.push_back({QString("Страница %1").arg(index + 1), QRectF(40, 40, 200, 20)});
    for (int k = 1; k <= 3; ++k)
      runs.push_back({QString("строка %1.%2").arg(index + 1).arg(k), QRectF(40, 80 + 300 * k, 200, 20)});
    return runs;
  }
  std::vector<PreviewOutlineNode> Outline() override {
    PreviewOutlineNode group{"Группа", 0, 0, {}};
    group.children.push_back({"Итоги", count_ - 1, 500, {}});
    return {group};
  }
  void SaveToFile(const std::string&) override {}
  bool LoadFromFile(const std::string&) override { return false; }

  int draws = 0;

 private:
  int count_;
};

struct AppFirst {
  AppFirst() { TestApp(); }
};

struct PreviewWindow {
  AppFirst app;  // before any widget
  report::TfrxReport report;
  PlainDocument document;
  TfrxPreviewForm form;
  std::vector<QString> messages;
  explicit PreviewWindow(int pages = 5, uint32_t buttons = report::kDefaultPreviewButtons)
      : document(pages) {
    report.preview_options.buttons = buttons;
    report.preview_options.maximized = false;
    form.resize(1200, 800);
    form.Init(&report, &document);
    form.Preview()->show_message = [this](const QString& text) { messages.push_back(text); };
    form.show();
    QApplication::processEvents();
  }
  TfrxPreview& preview() { return *form.Preview(); }
};

TEST(ZoomBox, TextsAndParsing) {
  TestApp();
  EXPECT_EQ(ZoomItems(), (QStringList{"25%", "50%", "75%", "100%", "150%", "200%", "По ширине",
                                      "Страница целиком"}));
  double zoom = 0;
  ASSERT_TRUE(ParseZoomText(" 75 %", zoom));
  EXPECT_DOUBLE_EQ(zoom, 0.75);
  ASSERT_TRUE(ParseZoomText("12,5", zoom));
  EXPECT_DOUBLE_EQ(zoom, 0.125);
  ASSERT_TRUE(ParseZoomText("150%", zoom));
  EXPECT_DOUBLE_EQ(zoom, 1.5);
  EXPECT_FALSE(ParseZoomText("abc", zoom));
  EXPECT_FALSE(ParseZoomText("%", zoom));
  EXPECT_EQ(ZoomText(0.754), "75%");
  EXPECT_EQ(ZoomText(1.5), "150%");
}

TEST(PreviewForm, ZoomBoxAppliesTypedAndChosenZooms) {
  PreviewWindow window;
  EXPECT_EQ(window.form.ZoomBox()->currentText(), "100%");
  window.form.ApplyZoomText("75 %");
  EXPECT_DOUBLE_EQ(window.preview().Zoom(), 0.75);
  EXPECT_EQ(window.form.ZoomBox()->currentText(), "75%");
  window.form.ApplyZoomText("10");
  EXPECT_DOUBLE_EQ(window.preview().Zoom(), 0.25);
  EXPECT_EQ(window.form.ZoomBox()->currentText(), "25%");

  window.form.ApplyZoomText("По ширине");
  EXPECT_EQ(window.preview().ZoomMode(), report::TfrxZoomMode::zmPageWidth);
  double expected = (window.preview().Workspace()->width() -
                     window.preview().Workspace()->verticalScrollBar()->sizeHint().width() - 26) /
                    794.0;
  EXPECT_NEAR(window.preview().Zoom(), expected, 1e-9);
  window.form.ApplyZoomText("Страница целиком");
  EXPECT_EQ(window.preview().ZoomMode(), report::TfrxZoomMode::zmWholePage);
  EXPECT_LT(window.preview().Zoom(), expected);
  // Typing Enter in the box applies what was typed.
  window.form.ZoomBox()->setEditText("200%");
  QTest::keyClick(window.form.ZoomBox()->lineEdit(), Qt::Key_Return);
  EXPECT_DOUBLE_EQ(window.preview().Zoom(), 2.0);
  EXPECT_EQ(window.preview().ZoomMode(), report::TfrxZoomMode::zmDefault);
  // An operator's keys reach the box itself (its line edit is only the focus proxy), and a
  // text that is none of the items is applied too; the box then shows the zoom it gave.
  window.form.ZoomBox()->setEditText("120");
  QTest::keyClick(window.form.ZoomBox(), Qt::Key_Return);
  EXPECT_DOUBLE_EQ(window.preview().Zoom(), 1.2);
  EXPECT_EQ(window.form.ZoomBox()->currentText(), "120%");
  window.form.ZoomBox()->setEditText("-40%");
  QTest::keyClick(window.form.ZoomBox(), Qt::Key_Return);
  EXPECT_GT(window.preview().Zoom(), 0);
  EXPECT_EQ(window.form.ZoomBox()->currentText(), ZoomText(window.preview().Zoom()));
  const double before = window.preview().Zoom();
  window.form.ZoomBox()->setEditText("abc");
  QTest::keyClick(window.form.ZoomBox(), Qt::Key_Return);
  EXPECT_DOUBLE_EQ(window.preview().Zoom(), before);
  EXPECT_EQ(window.form.ZoomBox()->currentText(), ZoomText(before));
}

TEST(PreviewForm, CtrlWheelZoomsByTenthsNotBelowPointThree) {
  PreviewWindow window;
  window.preview().SetZoom(0.35);
  QWidget* area = window.preview().Workspace()->viewport();
  QWheelEvent down(QPointF(10, 10), area->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
                   Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(area, &down);
  EXPECT_NEAR(window.preview().Zoom(), 0.3, 1e-9);
  QApplication::sendEvent(area, &down);
  EXPECT_NEAR(window.preview().Zoom(), 0.3, 1e-9);
  QWheelEvent up(QPointF(10, 10), area->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 240),
                 Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(area, &up);
  EXPECT_NEAR(window.preview().Zoom(), 0.5, 1e-9);

  // Without Ctrl the wheel scrolls 20 pixels a notch.
  int before = window.preview().Workspace()->verticalScrollBar()->value();
  QWheelEvent scroll(QPointF(10, 10), area->mapToGlobal(QPointF(10, 10)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(area, &scroll);
  EXPECT_EQ(window.preview().Workspace()->verticalScrollBar()->value(), before + 20);
}

TEST(PreviewForm, NavigatorStaysWithinThePages) {
  PreviewWindow window(5);
  EXPECT_EQ(window.form.PageCountLabel()->text(), "из 5");
  EXPECT_EQ(window.form.StatusPanel(0)->text(), "Страница 1 из 5");
  window.form.PageBox()->setText("0");
  window.form.GoToTypedPage();
  EXPECT_EQ(window.preview().PageNo(), 1);
  window.form.PageBox()->setText("99");
  window.form.GoToTypedPage();
  EXPECT_EQ(window.preview().PageNo(), 5);
  EXPECT_EQ(window.form.PageBox()->text(), "5");
  EXPECT_EQ(window.form.StatusPanel(0)->text(), "Страница 5 из 5");
  window.form.Action("Next")->trigger();
  EXPECT_EQ(window.preview().PageNo(), 5);
  window.form.Action("Prior")->trigger();
  EXPECT_EQ(window.preview().PageNo(), 4);
  window.form.Action("First")->trigger();
  EXPECT_EQ(window.preview().PageNo(), 1);
  window.form.Action("Prior")->trigger();
  EXPECT_EQ(window.preview().PageNo(), 1);
  // The page is brought to the top of the page area.
  window.form.Action("Last")->trigger();
  EXPECT_EQ(window.preview().Workspace()->verticalScrollBar()->value(),
            std::min(window.preview().Workspace()->Layout().PageRect(4).top() - kPageGap,
                     window.preview().Workspace()->verticalScrollBar()->maximum()));
}

TEST(PreviewForm, PageKeysScrollAndPage) {
  PreviewWindow window(5);
  QWidget* area = window.preview().Workspace();
  QScrollBar* bar = window.preview().Workspace()->verticalScrollBar();
  int before = bar->value();
  QTest::keyClick(area, Qt::Key_Down);
  EXPECT_EQ(bar->value(), before + 8);
  QTest::keyClick(area, Qt::Key_PageDown);
  EXPECT_EQ(bar->value(), before + 308);
  QTest::keyClick(area, Qt::Key_End);
  EXPECT_EQ(window.preview().PageNo(), 5);
  QTest::keyClick(area, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(window.preview().PageNo(), 4);
  QTest::keyClick(area, Qt::Key_Home);
  EXPECT_EQ(window.preview().PageNo(), 1);
}

TEST(PageLayout, RowsTakeWhatFitsAndAreCentred) {
  PageLayout layout;
  std::vector<QSize> a4(3, QSize(794, 1123));
  layout.Build(a4, 2000, false);
  // Two pages fit in 2000 pixels (10 + 794 + 10 + 794 + 10), the third starts a row.
  EXPECT_EQ(layout.PageRect(0).top(), 10);
  EXPECT_EQ(layout.PageRect(1).top(), 10);
  EXPECT_EQ(layout.PageRect(2).top(), 10 + 1123 + 10);
  int row_width = 794 * 2 + 10;
  EXPECT_EQ(layout.PageRect(0).left(), (2000 - row_width) / 2);
  EXPECT_EQ(layout.PageRect(1).left(), layout.PageRect(0).left() + 794 + 10);
  EXPECT_EQ(layout.PageRect(2).left(), (2000 - 794) / 2);
  layout.Build(a4, 2600, false);
  EXPECT_EQ(layout.PageRect(2).top(), 10);
  // Narrower than a page: one page a row, 10 from the left.
  layout.Build(a4, 300, false);
  EXPECT_EQ(layout.PageRect(1).left(), 10);
  EXPECT_EQ(layout.PagesIn(QRect(0, 1200, 300, 10)), std::vector<int>{1});
  EXPECT_EQ(layout.PageAt(QPoint(100, 2400)), 2);
}

TEST(PreviewForm, FindsFromTheStartAndThenOnwards) {
  PreviewWindow window(4);
  window.preview().SetPageNo(3);
  ASSERT_TRUE(window.preview().FindText("СТРОКА 2.", true, false));
  EXPECT_EQ(window.preview().HitPage(), 2);
  EXPECT_EQ(window.preview().PageNo(), 2);
  EXPECT_EQ(window.preview().HitRect(), QRectF(40, 380, 200, 20));
  ASSERT_TRUE(window.preview().FindNext());
  EXPECT_EQ(window.preview().HitPage(), 2);
  EXPECT_EQ(window.preview().HitRect(), QRectF(40, 680, 200, 20));
  // F3 repeats the search.
  QTest::keyClick(&window.form, Qt::Key_F3);
  EXPECT_EQ(window.preview().HitRect(), QRectF(40, 980, 200, 20));
  EXPECT_FALSE(window.preview().FindNext());
  EXPECT_EQ(window.messages, std::vector<QString>{"Текст не найден"});

  // Not from the start: the search begins on the current page; letter case can matter.
  window.preview().SetPageNo(4);
  EXPECT_TRUE(window.preview().FindText("Страница", false, true));
  EXPECT_EQ(window.preview().HitPage(), 4);
  EXPECT_FALSE(window.preview().FindText("СТРАНИЦА", true, true));
}

TEST(PreviewForm, FindDialogSearchesWhatWasTyped) {
  PreviewWindow window(3);
  lgoty::testing::WhenModal([](QWidget* modal) {
    auto* text = modal->findChild<QLineEdit*>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(modal->windowTitle(), "Искать текст");
    text->setText("строка 3.1");
    static_cast<QDialog*>(modal)->accept();
  });
  window.preview().Find();
  EXPECT_EQ(window.preview().HitPage(), 3);
}

TEST(PreviewForm, OutlineClickGoesToItsPage) {
  PreviewWindow window(6);
  window.form.Action("Outline")->trigger();
  EXPECT_TRUE(window.preview().OutlineVisible());
  QTreeWidget* tree = window.preview().OutlineTree();
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  QApplication::processEvents();
  QTreeWidgetItem* totals = tree->topLevelItem(0)->child(0);
  ASSERT_NE(totals, nullptr);
  EXPECT_TRUE(tree->topLevelItem(0)->isExpanded());
  QRect at = tree->visualItemRect(totals);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at.center());
  EXPECT_EQ(window.preview().PageNo(), 6);
  // Thumbnails replace the outline and the reverse.
  window.form.Action("Thumbnails")->trigger();
  EXPECT_TRUE(window.preview().ThumbnailVisible());
  EXPECT_FALSE(window.preview().OutlineVisible());
  EXPECT_FALSE(window.form.Action("Outline")->isChecked());
}

TEST(PreviewForm, ButtonsFollowPreviewOptions) {
  using report::kDefaultPreviewButtons;
  PreviewWindow all;
  for (const char* name : {"Print", "Open", "Save", "Find", "ZoomIn", "ZoomOut", "FullScreen",
                           "Outline", "Thumbnails", "PageSetup", "Edit", "First", "Last",
                           "QuickPdf", "Close"})
    EXPECT_TRUE(all.form.Action(name)->isVisible()) << name;
  EXPECT_FALSE(all.form.Action("Email")->isVisible());
  EXPECT_EQ(all.form.Action("Close")->text(), "Закрыть");
  EXPECT_EQ(all.form.Action("Print")->toolTip(), "Печать отчета");
  ASSERT_EQ(all.form.SaveMenu()->actions().size(), 3);  // fp3, separator, PDF
  EXPECT_EQ(all.form.SaveMenu()->actions()[0]->text(), "Готовый отчет...");
  EXPECT_TRUE(all.form.SaveMenu()->actions()[1]->isSeparator());
  EXPECT_EQ(all.form.windowTitle(), "Предварительный просмотр");

  uint32_t some = (1u << pbPrint) | (1u << pbNavigator) | (1u << pbZoom) |
                  (1u << pbNoFullScreen) | (1u << pbNoClose) | (1u << pbSave);
  PreviewWindow few(3, some);
  EXPECT_TRUE(few.form.Action("Print")->isVisible());
  EXPECT_FALSE(few.form.Action("Open")->isVisible());
  EXPECT_FALSE(few.form.Action("Find")->isVisible());
  EXPECT_FALSE(few.form.Action("FullScreen")->isVisible());
  EXPECT_FALSE(few.form.Action("Close")->isVisible());
  EXPECT_EQ(few.form.SaveMenu()->actions().size(), 1);
  QMenu* menu = few.form.BuildContextMenu();
  QStringList texts;
  for (QAction* action : menu->actions()) texts << action->text();
  EXPECT_TRUE(texts.contains("Печать отчета"));
  EXPECT_FALSE(texts.contains("Найти текст"));
  menu->close();
}

TEST(PreviewForm, EscapeClosesEvenWithoutTheCloseButton) {
  uint32_t no_close = report::kDefaultPreviewButtons | (1u << pbNoClose);
  PreviewWindow window(2, no_close);
  ASSERT_TRUE(window.form.isVisible());
  QTest::keyClick(&window.form, Qt::Key_Escape);
  EXPECT_FALSE(window.form.isVisible());
}

TEST(PreviewForm, CaptionIsTheReportName) {
  TestApp();
  report::TfrxReport report;
  report.report_options.name = "Список льготников";
  PlainDocument document(1);
  TfrxPreviewForm form;
  form.Init(&report, &document);
  EXPECT_EQ(form.windowTitle(), "Список льготников");
}

TEST(PreviewForm, WhileBuildingPagesAppearAndCloseCancels) {
  PreviewWindow window(0);
  int made = 0;
  bool stopped = false;
  bool cancel_text_seen = false;
  window.form.ShowModal([&](TfrxPreview& preview) {
    EXPECT_TRUE(preview.Working());
    for (made = 0; made < 400;) {
      window.document = PlainDocument(++made);
      preview.PageAdded(made);
      if (made == 1) {
        EXPECT_EQ(preview.PageCount(), 1);
        cancel_text_seen = window.form.Action("Close")->text() == "Отмена";
        // Closing the window while building only cancels.
        window.form.close();
        EXPECT_TRUE(window.form.isVisible());
      }
      if (preview.Terminated()) {
        stopped = true;
        break;
      }
    }
    EXPECT_TRUE(preview.CancelButton()->isVisible());
    // Runs once the build is over and the window's own loop goes on.
    QTimer::singleShot(0, &window.form, [&] { window.form.close(); });
  });
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(cancel_text_seen);
  EXPECT_EQ(made, 1);
}

}  // namespace
}  // namespace lgoty::ui
