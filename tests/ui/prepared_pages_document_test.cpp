// The prepared pages of a report as the preview's document: pages and sizes from the store,
// a page drawn through the painter canvas, its texts for the search, .fp3 files.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "report/prepared_pages.h"
#include "report/print_loop.h"
#include "tests/render/small_report.h"
#include "tests/ui/qt_test_support.h"
#include "ui/prepared_pages_document.h"

namespace lgoty::ui {
namespace {

bool HasDarkPixel(const QImage& image, const QRect& area) {
  for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y) {
    for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x) {
      if (qGray(image.pixel(x, y)) < 128) return true;
    }
  }
  return false;
}

class PreparedPagesDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApp();
    ASSERT_TRUE(small_.Report().Prepare(true));
  }
  testing::SmallReport small_;
};

TEST_F(PreparedPagesDocumentTest, PagesAndSizesComeFromTheStore) {
  PreparedPagesDocument document(small_.Report());
  ASSERT_EQ(document.PageCount(), 4);
  EXPECT_NEAR(document.PageSize(0).width(), 794, 1);
  EXPECT_NEAR(document.PageSize(0).height(), 1123, 1);
  EXPECT_NEAR(document.PageSize(3).width(), 1123, 1);
  EXPECT_TRUE(document.PageSize(4).isEmpty());
  EXPECT_TRUE(document.PageSize(-1).isEmpty());
  // The store is read on every call: a cleared store is an empty document.
  small_.Report().PreviewPages().Clear();
  EXPECT_EQ(document.PageCount(), 0);
  EXPECT_TRUE(document.PageTexts(0).empty());
}

TEST_F(PreparedPagesDocumentTest, TextsAreWhereThePageDrawsThem) {
  PreparedPagesDocument document(small_.Report());
  std::vector<PreviewTextRun> texts = document.PageTexts(0);
  const PreviewTextRun* row = nullptr;
  const PreviewTextRun* footer = nullptr;
  for (const PreviewTextRun& run : texts) {
    if (run.text == "Строка льготника" && !row) row = &run;
    if (run.text.startsWith("Страница")) footer = &run;
  }
  ASSERT_NE(row, nullptr);
  ASSERT_NE(footer, nullptr);
  EXPECT_EQ(footer->text, "Страница 1 из 4");
  // 10 mm of margin come before the band's place.
  EXPECT_NEAR(row->rect.left(), 37.8, 0.5);

  // Drawn at zoom 1/2 with an offset of (20, 30): the text shows inside its record's rect
  // moved the same way, and the page outside the bands stays white.
  QImage image(500, 650, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    document.DrawPage(0, painter, 0.5, QPointF(20, 30));
  }
  auto place = [](const QRectF& r) {
    return QRect(int(r.left() / 2 + 20), int(r.top() / 2 + 30), int(r.width() / 2),
                 int(r.height() / 2));
  };
  EXPECT_TRUE(HasDarkPixel(image, place(row->rect)));
  EXPECT_TRUE(HasDarkPixel(image, place(footer->rect)));
  EXPECT_FALSE(HasDarkPixel(image, QRect(0, 0, 500, 30 + 17)));  // the top margin
  EXPECT_FALSE(HasDarkPixel(image, QRect(0, 0, 20 + 17, 650)));  // the left margin
}

TEST_F(PreparedPagesDocumentTest, SavedPagesLoadIntoAnotherReport) {
  PreparedPagesDocument document(small_.Report());
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/pages.fp3";
  document.SaveToFile(path);
  report::TfrxReport other;
  PreparedPagesDocument loaded(other);
  EXPECT_FALSE(loaded.LoadFromFile(path + ".missing"));
  ASSERT_TRUE(loaded.LoadFromFile(path));
  EXPECT_EQ(loaded.PageCount(), 4);
  EXPECT_EQ(loaded.PageTexts(3).at(0).text, "Альбомная страница");
  // The print loop sees the same pages, the last one lying on its side.
  report::PrintPageSource* source = loaded.PrintSource();
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->Count(), 4);
  EXPECT_NEAR(source->PageInfo(3).width_mm, 297, 0.5);
  EXPECT_NEAR(source->PageInfo(0).width_mm, 210, 0.5);
}

}  // namespace
}  // namespace lgoty::ui
